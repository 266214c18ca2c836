// stats FILE FROM TO [--channels LIST] [--db URL] [--log[=DIR]]: the statistics table of the trend
// chart's "Statistics A–B" with the two cursors at FROM and TO (either order, both ends included,
// "yyyy-MM-dd HH:mm:ss"), for every channel the views show (those of --channels), as CSV:
// the header line, then one line per channel; empty fields where a channel has no sample in
// the interval. A file the reader gives up on part-way prints what it read and exits with 1.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"
#include "tools/cli/ToolViews.h"

#include "data/Text.h"
#include "views/IntervalStatistics.h"

#include <algorithm>
#include <cstdio>

int RunStatsCommand(const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    ScreeningOptions screening;
    if (!TakeViewOptions(rest, screening))
        return ExitUsage;
    if (screening.from || screening.to)
        return UsageError("stats takes its interval as FROM and TO, not --from or --to");
    std::string database;
    if (!TakeDatabaseOption(rest, database))
        return ExitUsage;
    std::vector<std::string> loadArgs;
    std::vector<std::string> words;
    for (const std::string& arg : rest)
        (arg.starts_with("-") ? loadArgs : words).push_back(arg);
    if (words.size() != 3)
        return UsageError("stats needs a data file and two times (\"yyyy-MM-dd HH:mm:ss\")");
    const auto from = ParseDateTime(words[1]);
    const auto to = ParseDateTime(words[2]);
    if (!from || !to)
        return UsageError("not a time (\"yyyy-MM-dd HH:mm:ss\"): " + words[from ? 2 : 1]);
    loadArgs.push_back(words[0]);
    auto arguments = ParseLoadArguments(loadArgs);
    if (!arguments)
        return ExitUsage;
    arguments->database = database;
    // Of the archive only the interval is read.
    if (IsArchivePath(arguments->path))
        arguments->range = {std::min(*from, *to), std::max(*from, *to)};
    // The channels the chart shows, or those of --channels. Only the channels are screened:
    // the interval is FROM to TO whatever the recording's own window says (a header whose
    // start lies after its end would refuse a screening).
    const auto file = LoadFileViews(*arguments, ScreeningOptions{});
    if (!file)
        return ExitUsage;
    ScreeningSelection shown;
    if (screening.channels)
        shown.channelFlags = *screening.channels;
    else
        shown.channelFlags.fill(true);
    std::string out = JoinCells(StatisticsColumns(), ',');
    for (const SeriesBuild& series : file->views.series) {
        if (!shown.Selects(series.channel))
            continue;
        const ChannelInfo& channel = file->channels[static_cast<size_t>(series.channelPos)];
        out += JoinCells(StatisticsCells(channel.channel, GbkToUtf8(channel.unit),
                                         StatisticsOf(channel, *from, *to, TimesAscend(channel))),
                         ',');
    }
    std::fputs(out.c_str(), stdout);
    return file->readFailure ? ExitFailure : 0;
}
