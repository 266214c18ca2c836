#pragma once
// The tolerant comparisons the reader, the importer and the views decide with, and the value
// that marks an interruption of a recording.

#include "data/DateTime.h"

#include <algorithm>
#include <cmath>

// A sample value that marks an interruption of the recording (bit pattern 0xC31E0000).
constexpr float GapValue = -158.0f;

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
