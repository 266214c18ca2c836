#pragma once
// The in-memory recording every part of the program shares, and the tolerant comparisons
// the reader, the importer and the views decide with.

#include "data/DateTime.h"

#include <cstdint>
#include <string>
#include <vector>

// A sample value that marks an interruption of the recording (bit pattern 0xC31E0000).
constexpr float GapValue = -158.0f;

struct ChannelInfo {
    int16_t channel = 0;        // 1-based channel number
    std::string unit;           // engineering unit, GBK bytes
    std::vector<DateTime> times; // in source order, never sorted
    std::vector<float> values;  // values[i] belongs to times[i]; GapValue for gaps
};

struct RecordingInfo {
    float valueMax = 0;
    float valueMin = 0;
    DateTime startTime = 0;
    DateTime endTime = 0;
    int32_t sampleCount = 0;
};

void ResetRecordingInfo(RecordingInfo& info);

// |a - b| <= 1e-4 * min(|a|, |b|): exact equality only when either is 0.
bool SameSingle(float a, float b);
int CompareSingle(float a, float b);
// 0 when the two instants are less than one millisecond apart.
int CompareTimes(DateTime a, DateTime b);
// |a - b| <= 1e-12 * min(|a|, |b|).
bool SameDouble(double a, double b);
int CompareDouble(double a, double b);

inline bool IsGapValue(float v) { return CompareSingle(v, GapValue) == 0; }
