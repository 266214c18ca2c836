#include "data/Recording.h"

#include <algorithm>
#include <cmath>

void ResetRecordingInfo(RecordingInfo& info) { info = RecordingInfo{}; }

bool SameSingle(float a, float b) {
    const double da = a, db = b;
    return std::fabs(da - db) <= 1e-4 * std::min(std::fabs(da), std::fabs(db));
}

int CompareSingle(float a, float b) {
    if (SameSingle(a, b))
        return 0;
    return a > b ? 1 : -1;
}

int CompareTimes(DateTime a, DateTime b) {
    if (std::fabs(a - b) < OneMillisecond)
        return 0;
    return a > b ? 1 : -1;
}

bool SameDouble(double a, double b) {
    return std::fabs(a - b) <= 1e-12 * std::min(std::fabs(a), std::fabs(b));
}

int CompareDouble(double a, double b) {
    if (SameDouble(a, b))
        return 0;
    return a > b ? 1 : -1;
}
