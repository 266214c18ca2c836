// picture FILE OUT [--width W] [--height H] [--own-scales] [--from T] [--to T] [--channels L]:
// the trend chart
// as the window draws it after opening FILE (a file, a folder, or archive:NAME with
// --db as "Open from archive" opens it; and screening it with the options), written as BMP,
// JPEG or PNG by OUT's extension; by default at the size the chart has in the window.

#include "tools/cli/Commands.h"
#include "tools/cli/WindowSupport.h"

#include "app/MainFormUnit.h"
#include "export/ChartPicture.h"

#include <QFile>

#include <cstdio>

int RunPictureCommand(const std::vector<std::string>& args) {
    const auto options = ParseWindowOptions(args, {"--width", "--height", "--own-scales"});
    if (!options)
        return ExitUsage;
    if (options->paths.size() != 2)
        return UsageError("picture needs a data file and a picture file");
    const QString out = QString::fromLocal8Bit(options->paths[1].c_str());
    const auto format = PictureFormatOf(out);
    if (!format)
        return UsageError("the picture file must end in .bmp, .jpg, .jpeg or .png");

    OffscreenWindow window;
    const bool read = window.Open(options->paths[0], options->database,
                                  {options->screening.from, options->screening.to});
    if (!window.Screen(options->screening))
        return ExitUsage;
    TMainForm& form = window.Window();
    // The option alone decides, whatever the user's config.ini remembers.
    form.Measure().ShowOwnScales(options->ownScales);
    if (form.Chart->SeriesCount() == 0) {
        if (read)
            std::fprintf(stderr, "%s: %s: No content\n", ToolName, options->paths[0].c_str());
        return ExitFailure;
    }
    QSize size = form.Chart->size();
    size.setWidth(options->width.value_or(size.width()));
    size.setHeight(options->height.value_or(size.height()));
    if (const auto error = WritePicture(form.SavePrint().ChartPicture(size), out, *format)) {
        std::fprintf(stderr, "%s: %s\n", ToolName, error->toLocal8Bit().constData());
        return ExitFailure;
    }
    return read ? 0 : ExitFailure;
}
