#include "data/Recording.h"

#include <limits>

void ResetRecordingInfo(RecordingInfo& info) {
    info = RecordingInfo{};
}

const GapValueBounds& GapValueRun() {
    // Found from IsGapValue itself, so the two can never disagree: about a thousand floats
    // on either side of the marker.
    static const GapValueBounds bounds = [] {
        constexpr float infinity = std::numeric_limits<float>::infinity();
        GapValueBounds b{GapValue, GapValue};
        while (IsGapValue(std::nextafter(b.lowest, -infinity)))
            b.lowest = std::nextafter(b.lowest, -infinity);
        while (IsGapValue(std::nextafter(b.highest, infinity)))
            b.highest = std::nextafter(b.highest, infinity);
        return b;
    }();
    return bounds;
}

size_t CountGapValues(const std::vector<float>& values) {
    const float lowest = GapValueRun().lowest, highest = GapValueRun().highest;
    size_t count = 0;
    for (float v : values)
        count += static_cast<size_t>((v >= lowest) & (v <= highest));
    return count;
}
