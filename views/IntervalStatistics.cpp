#include "views/IntervalStatistics.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>
#include <cstdio>
#include <limits>

bool TimesAscend(const ChannelInfo& channel) {
    return channel.times.Ascending();
}

std::pair<size_t, size_t> IntervalIndices(const SampleTimes& times, DateTime from, DateTime to) {
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

constexpr size_t Batch = 4096; // values decoded at a time; a multiple of the four lanes

// One pass over the values of an interval of ascending samples, fed batch by batch in order:
// count, sum, minimum and maximum, with four partial sums so that the additions do not wait for
// each other. Every batch but the last holds a multiple of four values, so the additions happen
// in the same order as in one pass over the whole interval. oneByOne takes every group of four
// into the lanes one value at a time, as a scan must that met a value which is not finite.
class IntervalScan {
public:
    explicit IntervalScan(bool oneByOne = false) : oneByOne_(oneByOne) {}

    void Add(const float* values, size_t n) {
        size_t i = 0;
        if (oneByOne_) {
            for (; i + 4 <= n; i += 4)
                for (int k = 0; k < 4; ++k)
                    AddOne(values[i + static_cast<size_t>(k)], k);
        }
#if defined(__SSE2__)
        // Four samples a step in one register each: gap-free steps (nearly all) add, compare
        // and count without a branch; a step with a value near the gap level goes one by one.
        const __m128 nearBelow = _mm_set1_ps(-158.1f), nearAbove = _mm_set1_ps(-157.9f);
        for (; i + 4 <= n; i += 4) {
            const __m128 v = _mm_loadu_ps(values + i);
            const __m128 near = _mm_and_ps(_mm_cmpgt_ps(v, nearBelow), _mm_cmplt_ps(v, nearAbove));
            if (_mm_movemask_ps(near) != 0) {
                for (int k = 0; k < 4; ++k)
                    AddOne(values[i + static_cast<size_t>(k)], k);
                continue;
            }
            sumLow_ = _mm_add_pd(sumLow_, _mm_cvtps_pd(v));
            sumHigh_ = _mm_add_pd(sumHigh_, _mm_cvtps_pd(_mm_movehl_ps(v, v)));
            low_ = _mm_min_ps(low_, v);
            high_ = _mm_max_ps(high_, v);
            vectorCount_ += 4;
        }
#else
        for (; i + 4 <= n; i += 4) {
            AddOne(values[i], 0);
            AddOne(values[i + 1], 1);
            AddOne(values[i + 2], 2);
            AddOne(values[i + 3], 3);
        }
#endif
        for (; i < n; ++i)
            AddOne(values[i], 0);
    }

    // Finite floats never add up to an infinity in double precision: a sum that is not finite
    // took in a NaN or an infinity, which the registers' minimum and maximum cannot leave out.
    // Then the interval is to be scanned again one by one, which does.
    bool TookNonFinite() const {
#if defined(__SSE2__)
        double lanes[4];
        _mm_storeu_pd(lanes, sumLow_);
        _mm_storeu_pd(lanes + 2, sumHigh_);
        return !std::isfinite(lanes[0] + lanes[1] + lanes[2] + lanes[3]);
#else
        return false;
#endif
    }

    // count, minimum, maximum and mean; the times and the first and last values are the
    // caller's to find.
    IntervalStatistics Result() {
#if defined(__SSE2__)
        double lanes[4];
        _mm_storeu_pd(lanes, sumLow_);
        _mm_storeu_pd(lanes + 2, sumHigh_);
        float lows[4], highs[4];
        _mm_storeu_ps(lows, low_);
        _mm_storeu_ps(highs, high_);
        for (int k = 0; k < 4; ++k) {
            sums_[k] += lanes[k];
            minima_[k] = std::min(minima_[k], lows[k]);
            maxima_[k] = std::max(maxima_[k], highs[k]);
        }
        counts_[0] += vectorCount_;
#endif
        IntervalStatistics s;
        const size_t count = counts_[0] + counts_[1] + counts_[2] + counts_[3];
        if (count == 0)
            return s;
        s.count = count;
        s.minimum = std::min({minima_[0], minima_[1], minima_[2], minima_[3]});
        s.maximum = std::max({maxima_[0], maxima_[1], maxima_[2], maxima_[3]});
        s.mean = (sums_[0] + sums_[1] + sums_[2] + sums_[3]) / static_cast<double>(count);
        return s;
    }

private:
    static constexpr float Infinity = std::numeric_limits<float>::infinity();
    void AddOne(float v, int lane) {
        if (IsSkipped(v))
            return;
        sums_[lane] += v;
        ++counts_[lane];
        minima_[lane] = std::min(minima_[lane], v);
        maxima_[lane] = std::max(maxima_[lane], v);
    }

    bool oneByOne_;
    double sums_[4] = {0, 0, 0, 0};
    size_t counts_[4] = {0, 0, 0, 0};
    float minima_[4] = {Infinity, Infinity, Infinity, Infinity};
    float maxima_[4] = {-Infinity, -Infinity, -Infinity, -Infinity};
#if defined(__SSE2__)
    __m128d sumLow_ = _mm_setzero_pd(), sumHigh_ = _mm_setzero_pd();
    __m128 low_ = _mm_set1_ps(Infinity), high_ = _mm_set1_ps(-Infinity);
    size_t vectorCount_ = 0;
#endif
};

// The statistics of samples [begin, end) of a channel whose times ascend: one pass for count,
// sum, minimum and maximum; then the first samples at the minimum and maximum and the
// interval's first and last values, found from the ends.
IntervalStatistics ScanInterval(const ChannelInfo& channel, size_t begin, size_t end) {
    float values[Batch];
    DateTime times[Batch];
    auto scanAll = [&](bool oneByOne) {
        IntervalScan scan(oneByOne);
        for (size_t from = begin; from < end; from += Batch) {
            const size_t n = std::min(Batch, end - from);
            channel.values.Copy(from, n, values);
            scan.Add(values, n);
        }
        return scan;
    };
    IntervalScan scan = scanAll(false);
    if (scan.TookNonFinite())
        scan = scanAll(true);
    IntervalStatistics s = scan.Result();
    if (s.count == 0)
        return s;
    bool minimumFound = false, maximumFound = false, firstFound = false;
    for (size_t from = begin; from < end && !(minimumFound && maximumFound); from += Batch) {
        const size_t n = std::min(Batch, end - from);
        channel.values.Copy(from, n, values);
        channel.times.Copy(from, n, times);
        for (size_t j = 0; j < n && !(minimumFound && maximumFound); ++j) {
            const float v = values[j];
            if (IsSkipped(v))
                continue;
            if (!firstFound) {
                s.first = v;
                firstFound = true;
            }
            if (!minimumFound && v == s.minimum) {
                s.minimumTime = times[j];
                minimumFound = true;
            }
            if (!maximumFound && v == s.maximum) {
                s.maximumTime = times[j];
                maximumFound = true;
            }
        }
    }
    for (size_t to = end; to > begin;) {
        const size_t n = std::min(Batch, to - begin);
        to -= n;
        channel.values.Copy(to, n, values);
        for (size_t j = n; j > 0; --j)
            if (!IsSkipped(values[j - 1])) {
                s.last = values[j - 1];
                return s;
            }
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
        return ScanInterval(channel, begin, std::min(end, n));
    }
    Accumulator a;
    ForEachSample(channel, 0, n, [&](size_t, DateTime t, float v) {
        if (CompareTimes(t, from) >= 0 && CompareTimes(t, to) <= 0 && !IsSkipped(v))
            a.Add(v, t);
    });
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
