#include "views/IntervalStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

bool TimesAscend(const ChannelInfo& channel) {
    return std::is_sorted(channel.times.begin(), channel.times.end());
}

std::pair<size_t, size_t> IntervalIndices(const std::vector<DateTime>& times, DateTime from,
                                          DateTime to) {
    if (to < from)
        std::swap(from, to);
    // Both ends within a millisecond, as screening includes them.
    const auto begin = std::partition_point(
        times.begin(), times.end(), [from](DateTime t) { return CompareTimes(t, from) < 0; });
    const auto end = std::partition_point(begin, times.end(),
                                          [to](DateTime t) { return CompareTimes(t, to) <= 0; });
    return {static_cast<size_t>(begin - times.begin()), static_cast<size_t>(end - times.begin())};
}

namespace {

// A gap sample is within 1e-4 of -158: the cheap bounds rule out every other value first.
inline bool IsGap(float v) {
    return v < -157.9f && v > -158.1f && IsGapValue(v);
}

struct Accumulator {
    IntervalStatistics s;
    double sum = 0;
    void Add(float v, DateTime t) {
        if (s.count == 0) {
            s.minimum = s.maximum = s.first = v;
            s.minimumTime = s.maximumTime = t;
        } else if (v < s.minimum) {
            s.minimum = v;
            s.minimumTime = t;
        } else if (v > s.maximum) {
            s.maximum = v;
            s.maximumTime = t;
        }
        s.last = v;
        sum += v;
        ++s.count;
    }
    IntervalStatistics Result() {
        if (s.count > 0)
            s.mean = sum / static_cast<double>(s.count);
        return s;
    }
};

} // namespace

IntervalStatistics StatisticsOf(const ChannelInfo& channel, DateTime from, DateTime to,
                                bool timesAscend) {
    if (to < from)
        std::swap(from, to);
    const size_t n = std::min(channel.times.size(), channel.values.size());
    Accumulator a;
    if (timesAscend) {
        auto [begin, end] = IntervalIndices(channel.times, from, to);
        end = std::min(end, n);
        const float* values = channel.values.data();
        const DateTime* times = channel.times.data();
        for (size_t i = begin; i < end; ++i)
            if (!IsGap(values[i]))
                a.Add(values[i], times[i]);
        return a.Result();
    }
    for (size_t i = 0; i < n; ++i) {
        const DateTime t = channel.times[i];
        if (CompareTimes(t, from) >= 0 && CompareTimes(t, to) <= 0 && !IsGap(channel.values[i]))
            a.Add(channel.values[i], t);
    }
    return a.Result();
}

const std::vector<std::string>& StatisticsColumns() {
    static const std::vector<std::string> columns = {"channel",  "unit", "count",     "min",
                                                     "min_time", "max",  "max_time",  "mean",
                                                     "first",    "last", "difference"};
    return columns;
}

namespace {

std::string Value(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%0.3f", std::fabs(v) < 0.0005 ? 0.0 : v);
    return text;
}

} // namespace

std::vector<std::string> StatisticsCells(int channelNumber, const std::string& unit,
                                         const IntervalStatistics& s) {
    std::vector<std::string> cells = {std::to_string(channelNumber), unit, std::to_string(s.count)};
    if (s.count == 0) {
        cells.resize(StatisticsColumns().size());
        return cells;
    }
    cells.push_back(Value(s.minimum));
    cells.push_back(FormatDateTime(s.minimumTime, ReadoutTimePattern));
    cells.push_back(Value(s.maximum));
    cells.push_back(FormatDateTime(s.maximumTime, ReadoutTimePattern));
    cells.push_back(Value(s.mean));
    cells.push_back(Value(s.first));
    cells.push_back(Value(s.last));
    cells.push_back(Value(static_cast<double>(s.last) - static_cast<double>(s.first)));
    return cells;
}

std::string JoinCells(const std::vector<std::string>& cells, char separator) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += separator;
        line += cells[i];
    }
    line += '\n';
    return line;
}
