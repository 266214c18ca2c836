#include "views/IntervalStatistics.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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

// A value that is no measurement: a gap, or not finite (NaN would poison every comparison, an
// infinity every sum). Both ways of scanning leave out the same values.
inline bool IsSkipped(float v) {
    return !std::isfinite(v) || IsGap(v);
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

namespace {

// One pass over [begin, end) of ascending samples: count, sum, minimum and maximum, with four
// partial sums so that the additions do not wait for each other; then the first samples at the
// minimum and maximum and the interval's first and last values, found from the ends.
IntervalStatistics ScanInterval(const float* values, const DateTime* times, size_t begin,
                                size_t end) {
    // Four lanes of partial results, so that no addition or comparison waits for the last.
    constexpr float Infinity = std::numeric_limits<float>::infinity();
    double sums[4] = {0, 0, 0, 0};
    size_t counts[4] = {0, 0, 0, 0};
    float minima[4] = {Infinity, Infinity, Infinity, Infinity};
    float maxima[4] = {-Infinity, -Infinity, -Infinity, -Infinity};
    auto add = [&](float v, int lane) {
        if (IsSkipped(v))
            return;
        sums[lane] += v;
        ++counts[lane];
        minima[lane] = std::min(minima[lane], v);
        maxima[lane] = std::max(maxima[lane], v);
    };
    size_t i = begin;
#if defined(__SSE2__)
    // Four samples a step in one register each: gap-free steps (nearly all) add, compare and
    // count without a branch; a step with a value near the gap level goes one by one.
    __m128d sumLow = _mm_setzero_pd(), sumHigh = _mm_setzero_pd();
    __m128 low = _mm_set1_ps(Infinity), high = _mm_set1_ps(-Infinity);
    const __m128 nearBelow = _mm_set1_ps(-158.1f), nearAbove = _mm_set1_ps(-157.9f);
    size_t vectorCount = 0;
    for (; i + 4 <= end; i += 4) {
        const __m128 v = _mm_loadu_ps(values + i);
        const __m128 near = _mm_and_ps(_mm_cmpgt_ps(v, nearBelow), _mm_cmplt_ps(v, nearAbove));
        if (_mm_movemask_ps(near) != 0) {
            for (int k = 0; k < 4; ++k)
                add(values[i + static_cast<size_t>(k)], k);
            continue;
        }
        sumLow = _mm_add_pd(sumLow, _mm_cvtps_pd(v));
        sumHigh = _mm_add_pd(sumHigh, _mm_cvtps_pd(_mm_movehl_ps(v, v)));
        low = _mm_min_ps(low, v);
        high = _mm_max_ps(high, v);
        vectorCount += 4;
    }
    double lanes[4];
    _mm_storeu_pd(lanes, sumLow);
    _mm_storeu_pd(lanes + 2, sumHigh);
    // Finite floats never add up to an infinity in double precision: a sum that is not finite
    // took in a NaN or an infinity, which the registers' minimum and maximum cannot leave out.
    // Then the interval is scanned again one by one, which does.
    if (!std::isfinite(lanes[0] + lanes[1] + lanes[2] + lanes[3])) {
        for (int k = 0; k < 4; ++k) {
            sums[k] = 0;
            counts[k] = 0;
            minima[k] = Infinity;
            maxima[k] = -Infinity;
        }
        for (i = begin; i + 4 <= end; i += 4)
            for (int k = 0; k < 4; ++k)
                add(values[i + static_cast<size_t>(k)], k);
    } else {
        float lows[4], highs[4];
        _mm_storeu_ps(lows, low);
        _mm_storeu_ps(highs, high);
        for (int k = 0; k < 4; ++k) {
            sums[k] += lanes[k];
            minima[k] = std::min(minima[k], lows[k]);
            maxima[k] = std::max(maxima[k], highs[k]);
        }
        counts[0] += vectorCount;
    }
#else
    for (; i + 4 <= end; i += 4) {
        add(values[i], 0);
        add(values[i + 1], 1);
        add(values[i + 2], 2);
        add(values[i + 3], 3);
    }
#endif
    for (; i < end; ++i)
        add(values[i], 0);
    const size_t count = counts[0] + counts[1] + counts[2] + counts[3];
    const float minimum = std::min({minima[0], minima[1], minima[2], minima[3]});
    const float maximum = std::max({maxima[0], maxima[1], maxima[2], maxima[3]});
    IntervalStatistics s;
    if (count == 0)
        return s;
    s.count = count;
    s.minimum = minimum;
    s.maximum = maximum;
    s.mean = (sums[0] + sums[1] + sums[2] + sums[3]) / static_cast<double>(count);
    bool minimumFound = false, maximumFound = false;
    for (size_t j = begin; j < end && !(minimumFound && maximumFound); ++j) {
        const float v = values[j];
        if (IsSkipped(v))
            continue;
        if (!minimumFound && v == minimum) {
            s.minimumTime = times[j];
            minimumFound = true;
        }
        if (!maximumFound && v == maximum) {
            s.maximumTime = times[j];
            maximumFound = true;
        }
    }
    for (size_t j = begin; j < end; ++j)
        if (!IsSkipped(values[j])) {
            s.first = values[j];
            break;
        }
    for (size_t j = end; j > begin; --j)
        if (!IsSkipped(values[j - 1])) {
            s.last = values[j - 1];
            break;
        }
    return s;
}

} // namespace

IntervalStatistics StatisticsOf(const ChannelInfo& channel, DateTime from, DateTime to,
                                bool timesAscend) {
    if (to < from)
        std::swap(from, to);
    const size_t n = std::min(channel.times.size(), channel.values.size());
    if (timesAscend) {
        auto [begin, end] = IntervalIndices(channel.times, from, to);
        return ScanInterval(channel.values.data(), channel.times.data(), begin, std::min(end, n));
    }
    Accumulator a;
    for (size_t i = 0; i < n; ++i) {
        const DateTime t = channel.times[i];
        if (CompareTimes(t, from) >= 0 && CompareTimes(t, to) <= 0 && !IsSkipped(channel.values[i]))
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
