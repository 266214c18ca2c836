#pragma once
// The in-memory recording every part of the program shares, and the tolerant comparisons
// the reader, the importer and the views decide with.

#include "data/DateTime.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// A sample value that marks an interruption of the recording (bit pattern 0xC31E0000).
constexpr float GapValue = -158.0f;

struct ChannelInfo {
    int16_t channel = 0;         // 1-based channel number
    std::string unit;            // engineering unit, GBK bytes
    std::vector<DateTime> times; // in source order, never sorted
    std::vector<float> values;   // values[i] belongs to times[i]; GapValue for gaps
    // The instrument range from the file header's descriptor; NaN where the source has none
    // (an import, a live record).
    float rangeLow = std::numeric_limits<float>::quiet_NaN();
    float rangeHigh = std::numeric_limits<float>::quiet_NaN();
};

struct RecordingInfo {
    float valueMax = 0;
    float valueMin = 0;
    DateTime startTime = 0;
    DateTime endTime = 0;
    int32_t sampleCount = 0;
};

void ResetRecordingInfo(RecordingInfo& info);

// The comparisons sit on the readers' per-sample paths, hence inline.

// |a - b| <= 1e-4 * min(|a|, |b|): exact equality only when either is 0.
inline bool SameSingle(float a, float b) {
    const double da = a, db = b;
    return std::fabs(da - db) <= 1e-4 * std::min(std::fabs(da), std::fabs(db));
}
inline int CompareSingle(float a, float b) {
    if (SameSingle(a, b))
        return 0;
    return a > b ? 1 : -1;
}
// 0 when the two instants are less than one millisecond apart.
inline int CompareTimes(DateTime a, DateTime b) {
    if (std::fabs(a - b) < OneMillisecond)
        return 0;
    return a > b ? 1 : -1;
}
// |a - b| <= 1e-12 * min(|a|, |b|).
inline bool SameDouble(double a, double b) {
    return std::fabs(a - b) <= 1e-12 * std::min(std::fabs(a), std::fabs(b));
}
inline int CompareDouble(double a, double b) {
    if (SameDouble(a, b))
        return 0;
    return a > b ? 1 : -1;
}

inline bool IsGapValue(float v) {
    return CompareSingle(v, GapValue) == 0;
}

// The floats IsGapValue accepts form one unbroken run around GapValue (the tolerance grows and
// shrinks with the distance); these are its two ends.
struct GapValueBounds {
    float lowest;
    float highest;
};
const GapValueBounds& GapValueRun();

// How many of the values IsGapValue accepts, counted without its double arithmetic so that
// millions of values take a few milliseconds.
size_t CountGapValues(const std::vector<float>& values);
