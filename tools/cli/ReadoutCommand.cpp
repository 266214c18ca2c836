// readout FILE TIME [--cursor-b TIME2] [--from TIME] [--to TIME] [--channels LIST]
// [--log[=DIR]]: the trend chart's read-out with the time cursor at TIME (and the measuring
// cursor B at TIME2: both values and their difference)
// ("yyyy-MM-dd HH:mm:ss", optionally ".zzz"), from the series the window builds (decimated as
// plotted): the legend title, then one legend entry per series in series order, UTF-8. A file
// the reader refuses gives its message after the file's name on standard error; one it gives
// up on part-way still reads out what was read, and the exit status is 1.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"
#include "tools/cli/ToolViews.h"

#include "chart/ChartReadout.h"
#include "data/Text.h"
#include "views/ViewBuilder.h"

#include <algorithm>
#include <cstdio>

namespace {

// "yyyy-MM-dd HH:mm:ss" with an optional ".zzz".
std::optional<DateTime> ParseCursorTime(std::string_view text) {
    int millisecond = 0;
    if (const size_t dot = text.find('.'); dot != std::string_view::npos) {
        const std::string_view digits = text.substr(dot + 1);
        if (digits.size() != 3 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        millisecond = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
        text = text.substr(0, dot);
    }
    const auto time = ParseDateTime(text);
    if (!time)
        return std::nullopt;
    return *time + millisecond * OneMillisecond;
}

// The lines of the read-out over the views the window builds from the recording (the screened
// views after a screening).
std::vector<std::string> ReadoutLines(ViewBuild& build, const RecordingInfo& info, DateTime x,
                                      std::optional<DateTime> b = std::nullopt) {
    std::vector<std::string> units;
    std::vector<ReadoutSeries<PlotPoint>> series;
    units.reserve(build.series.size());
    for (SeriesBuild& s : build.series) {
        // The chart keeps its points in time order, as it received them when they ascend.
        if (!s.keysAscending)
            std::stable_sort(s.points.begin(), s.points.end(),
                             [](const PlotPoint& a, const PlotPoint& b) { return a.key < b.key; });
        units.push_back(GbkToUtf8(s.unit));
    }
    for (size_t i = 0; i < build.series.size(); ++i)
        series.push_back({build.series[i].title, units[i], build.series[i].points.data(),
                          build.series[i].points.size()});
    std::vector<std::string> lines;
    if (b) {
        if (const auto texts = ReadOutPair(x, *b, series, info.valueMin - 10.0f)) {
            lines.push_back(texts->title);
            lines.insert(lines.end(), texts->entries.begin(), texts->entries.end());
            return lines;
        }
    }
    if (const auto texts = ReadOut(x, series, info.valueMin - 10.0f)) {
        lines.push_back(texts->title);
        lines.insert(lines.end(), texts->entries.begin(), texts->entries.end());
    } else {
        // A cursor at 0 reads nothing: the legend as built, an empty title and the base titles.
        lines.emplace_back();
        for (const SeriesBuild& s : build.series)
            lines.push_back(s.title);
    }
    return lines;
}

} // namespace

int RunReadoutCommand(const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    // --cursor-b TIME2 (or --cursor-b=TIME2): the measuring cursor's time.
    std::optional<DateTime> cursorB;
    for (size_t i = 0; i < rest.size(); ++i) {
        std::optional<std::string> value;
        if (rest[i] == "--cursor-b") {
            if (i + 1 >= rest.size())
                return UsageError("--cursor-b needs a time");
            value = rest[i + 1];
            rest.erase(rest.begin() + static_cast<long>(i),
                       rest.begin() + static_cast<long>(i) + 2);
        } else if (rest[i].starts_with("--cursor-b=")) {
            value = rest[i].substr(std::string_view("--cursor-b=").size());
            rest.erase(rest.begin() + static_cast<long>(i));
        } else {
            continue;
        }
        cursorB = ParseCursorTime(*value);
        if (!cursorB)
            return UsageError("not a time (\"yyyy-MM-dd HH:mm:ss[.zzz]\"): " + *value);
        --i;
    }
    ScreeningOptions screening;
    if (!TakeViewOptions(rest, screening))
        return ExitUsage;
    std::string database;
    if (!TakeDatabaseOption(rest, database))
        return ExitUsage;
    std::vector<std::string> loadArgs;
    std::vector<std::string> words;
    for (const std::string& arg : rest)
        (arg.starts_with("-") ? loadArgs : words).push_back(arg);
    if (words.size() != 2)
        return UsageError("readout needs a data file and a time (\"yyyy-MM-dd HH:mm:ss[.zzz]\")");
    const auto x = ParseCursorTime(words[1]);
    if (!x)
        return UsageError("not a time (\"yyyy-MM-dd HH:mm:ss[.zzz]\"): " + words[1]);
    loadArgs.push_back(words[0]);
    auto arguments = ParseLoadArguments(loadArgs);
    if (!arguments)
        return ExitUsage;
    arguments->database = database;
    auto file = LoadFileViews(*arguments, screening);
    if (!file)
        return ExitUsage;
    // A file the reader gave up on part-way reads out what it gave, as the window shows it;
    // the failure is already told, with the file's name.
    const int status = file->readFailure ? ExitFailure : 0;
    if (file->readFailure && file->channels.empty())
        return status;
    for (const std::string& line : ReadoutLines(file->views, file->info, *x, cursorB))
        std::printf("%s\n", line.c_str());
    return status;
}
