#pragma once
// The in-memory recording every part of the program shares; with it the tolerant comparisons
// the reader, the importer and the views decide with (data/Comparisons.h).

#include "data/Comparisons.h"
#include "data/DateTime.h"
#include "data/SampleTimes.h"
#include "data/SampleValues.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

// One channel of a recording. Its times and values read like two parallel arrays; they are
// stored compactly (see SampleTimes and SampleValues), a data file's samples at about two
// bytes each.
struct ChannelInfo {
    int16_t channel = 0; // 1-based channel number
    std::string unit;    // engineering unit, GBK bytes
    SampleTimes times;   // in source order, never sorted
    SampleValues values; // values[i] belongs to times[i]; GapValue for gaps
    // The instrument range from the file header's descriptor; NaN where the source has none
    // (an import, a live record).
    float rangeLow = std::numeric_limits<float>::quiet_NaN();
    float rangeHigh = std::numeric_limits<float>::quiet_NaN();
};

// Calls visit(i, time, value) for samples [begin, end) of the channel, decoded a batch at a
// time from the compact store. A visit that returns bool stops the walk by returning false,
// and the walk then returns false.
template <class Visit>
bool ForEachSample(const ChannelInfo& channel, size_t begin, size_t end, Visit&& visit) {
    constexpr size_t Batch = 4096;
    DateTime times[Batch];
    float values[Batch];
    for (size_t from = begin; from < end; from += Batch) {
        const size_t n = std::min(Batch, end - from);
        channel.times.Copy(from, n, times);
        channel.values.Copy(from, n, values);
        for (size_t j = 0; j < n; ++j) {
            if constexpr (std::is_same_v<std::invoke_result_t<Visit&, size_t, DateTime, float>,
                                         bool>) {
                if (!visit(from + j, times[j], values[j]))
                    return false;
            } else {
                visit(from + j, times[j], values[j]);
            }
        }
    }
    return true;
}

struct RecordingInfo {
    float valueMax = 0;
    float valueMin = 0;
    DateTime startTime = 0;
    DateTime endTime = 0;
    int32_t sampleCount = 0;
};

void ResetRecordingInfo(RecordingInfo& info);

// How many of the values IsGapValue accepts, counted without its double arithmetic so that
// millions of values take a few milliseconds.
size_t CountGapValues(const std::vector<float>& values);
