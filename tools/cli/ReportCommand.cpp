// report FILE OUT.pdf [--page N] [--page-size P] | [--chart [--own-scales]], with the screening
// options
// --from, --to, --channels: the list report of page N of the data sheet (rows per page P, 500
// unless given), or with --chart the chart report, as the window's Print command lays them out
// after opening (and screening) FILE, written as PDF. FILE may be a folder, or
// archive:NAME with --db as "Open from archive" opens it.

#include "tools/cli/Commands.h"
#include "tools/cli/WindowSupport.h"

#include "app/MainFormUnit.h"
#include "export/ReportPrinting.h"

#include <cstdio>

int RunReportCommand(const std::vector<std::string>& args) {
    const auto options =
        ParseWindowOptions(args, {"--page", "--page-size", "--chart", "--own-scales"});
    if (!options)
        return ExitUsage;
    if (options->paths.size() != 2)
        return UsageError("report needs a data file and a PDF file");
    if (options->chart && (options->page || options->pageSize))
        return UsageError("--chart prints the chart: no --page or --page-size with it");
    if (options->ownScales && !options->chart)
        return UsageError("--own-scales draws the chart: it needs --chart");
    if (options->pageSize && (*options->pageSize < 100 || *options->pageSize > 10000))
        return UsageError("--page-size must be 100 to 10000");

    OffscreenWindow window;
    if (options->pageSize)
        window.SetPageSize(*options->pageSize);
    const bool read = window.Open(options->paths[0], options->database,
                                  {options->screening.from, options->screening.to});
    if (!window.Screen(options->screening))
        return ExitUsage;
    TMainForm& form = window.Window();
    // The option alone decides, whatever the user's config.ini remembers.
    form.Measure().ShowOwnScales(options->ownScales);

    if (options->chart) {
        form.ChartMenuItemClick();
    } else {
        form.DataTableMenuItemClick();
        const int page = options->page.value_or(1);
        for (int p = 1; p < page; ++p) {
            if (!form.NextPageButton->isEnabled()) {
                std::fprintf(stderr, "%s: %s has %d page(s)\n", ToolName, options->paths[0].c_str(),
                             p);
                return ExitUsage;
            }
            form.NextPageButtonClick();
        }
    }
    const QString out = QString::fromLocal8Bit(options->paths[1].c_str());
    std::optional<QString> error;
    bool shown = false;
    form.SavePrint().SetReportHook([&](QWidget*, const PrintedReport& report) {
        shown = true;
        error = WriteReportPdf(report, out);
    });
    const size_t before = window.Messages().size();
    form.PrintButtonClick();
    if (!shown) {
        for (size_t i = before; i < window.Messages().size(); ++i)
            std::fprintf(stderr, "%s: %s: %s\n", ToolName, options->paths[0].c_str(),
                         window.Messages()[i].c_str());
        return ExitFailure;
    }
    if (error) {
        std::fprintf(stderr, "%s: %s\n", ToolName, error->toLocal8Bit().constData());
        return ExitFailure;
    }
    return read ? 0 : ExitFailure;
}
