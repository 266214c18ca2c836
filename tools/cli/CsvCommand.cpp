// csv FILE OUT [--log[=DIR]] [--from TIME] [--to TIME] [--channels LIST]
//              [--page N | --page-at TIME [--page-size P]]
// The rows of the data sheet in its CSV layout: the header "Serial number,Time,Channel %d(%s)...",
// one line per row with its serial number, time and "%0.3f" values, "-" where a channel has no
// sample, '\n' line ends, unit texts as the GBK bytes the recorder uses. OUT "-" is standard
// output. Without options every row of the recording; with screening options the rows of the
// window's screened views; with --page exactly the file "Save" writes for that page, with
// --page-at the page holding the row nearest that time, as "Go to time…" shows it. A file
// the reader gives up on part-way still writes what was read, and the exit status is 1.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"
#include "tools/cli/ToolViews.h"

#include "views/SheetCells.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

int RunCsvCommand(const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    ScreeningOptions screening;
    PageOptions pages;
    if (!TakeViewOptions(rest, screening, &pages))
        return ExitUsage;
    std::string database;
    if (!TakeDatabaseOption(rest, database))
        return ExitUsage;
    std::vector<std::string> loadArgs;
    std::vector<std::string> paths;
    for (const std::string& arg : rest)
        (arg.starts_with("-") && arg != "-" ? loadArgs : paths).push_back(arg);
    if (paths.size() != 2)
        return UsageError("csv needs a data file and an output file (- for standard output)");
    loadArgs.push_back(paths[0]);
    auto arguments = ParseLoadArguments(loadArgs);
    if (!arguments)
        return ExitUsage;
    arguments->database = database;
    const auto file = LoadFileViews(*arguments, screening, pages.pageSize);
    if (!file)
        return ExitUsage;
    const int status = file->readFailure ? ExitFailure : 0;
    // A file that could not be read at all leaves nothing to write.
    if (file->readFailure && file->channels.empty())
        return status;
    const auto page = SelectPage(file->views.rows, pages);
    if (!page) {
        std::fprintf(stderr, "No content\n");
        return ExitFailure;
    }

    auto write = [&](std::ostream& out) {
        return WriteSheetCsv(file->views.rows, page->first, page->count, file->views.columnChannels,
                             file->channels, out);
    };
    const std::string& out = paths[1];
    if (out == "-")
        return write(std::cout) ? status : ExitFailure;
    std::ofstream stream(out, std::ios::binary | std::ios::trunc);
    if (!stream) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", ToolName, out.c_str(),
                     std::strerror(errno));
        return ExitFailure;
    }
    if (!write(stream)) {
        std::fprintf(stderr, "%s: writing %s failed\n", ToolName, out.c_str());
        stream.close();
        std::error_code ignored;
        std::filesystem::remove(out, ignored);
        return ExitFailure;
    }
    return status;
}
