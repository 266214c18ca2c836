#pragma once
// Statistics of a channel between the two measuring cursors: every stored sample (not the
// chart's thinned-out points) whose time lies in the interval, both ends included within a
// millisecond, gap samples and values that are not finite (NaN, infinities) left out alike. The
// interval is found by bisection on the channel's ascending times, so a cursor move costs the
// samples of the interval, never a pass over the whole recording; a channel whose times do not
// ascend (only a hand-made import gives one) is scanned.

#include "data/Recording.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct IntervalStatistics {
    size_t count = 0; // samples in the interval, gaps and non-finite values not counted
    float minimum = 0;
    DateTime minimumTime = 0; // the first sample at the minimum
    float maximum = 0;
    DateTime maximumTime = 0; // the first sample at the maximum
    double mean = 0;
    float first = 0; // the interval's first and last values
    float last = 0;
};

// Whether times[0..n) never go down; the caller keeps it per channel.
bool TimesAscend(const ChannelInfo& channel);

// The indices [begin, end) of the samples whose time lies in [from, to] (either order) of
// ascending times.
std::pair<size_t, size_t> IntervalIndices(const std::vector<DateTime>& times, DateTime from,
                                          DateTime to);

IntervalStatistics StatisticsOf(const ChannelInfo& channel, DateTime from, DateTime to,
                                bool timesAscend);

// The table's columns; the tool's CSV header is these joined with commas.
const std::vector<std::string>& StatisticsColumns();
// One row: channel number, unit (as given), count, then the values with three decimals and the
// times as yyyy-MM-dd HH:mm:ss; empty cells where the channel has no sample in the interval.
std::vector<std::string> StatisticsCells(int channelNumber, const std::string& unit,
                                         const IntervalStatistics& statistics);
// Cells joined by a separator (',' for CSV, '\t' for the clipboard), with a line end.
std::string JoinCells(const std::vector<std::string>& cells, char separator);
