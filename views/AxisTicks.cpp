#include "views/AxisTicks.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {
constexpr double Second = 1.0 / 86400.0;
constexpr double Minute = 60 * Second;
constexpr double Hour = 60 * Minute;
constexpr std::array<double, 24> TimeSteps = {
    Second,      2 * Second, 5 * Second, 10 * Second, 15 * Second, 30 * Second,
    Minute,      2 * Minute, 5 * Minute, 10 * Minute, 15 * Minute, 20 * Minute,
    30 * Minute, Hour,       2 * Hour,   3 * Hour,    4 * Hour,    6 * Hour,
    12 * Hour,   1.0,        2.0,        7.0,         14.0,        30.0};
} // namespace

double NiceTimeStep(double atLeast) {
    if (!std::isfinite(atLeast) || atLeast <= TimeSteps.front())
        return TimeSteps.front();
    for (double step : TimeSteps)
        if (step >= atLeast * (1 - 1e-9))
            return step;
    // Beyond a month: whole multiples of 30 days, then of a year.
    if (atLeast <= 180)
        return 30.0 * std::ceil(atLeast / 30.0 - 1e-9);
    return 365.0 * std::ceil(atLeast / 365.0 - 1e-9);
}

double ReadableStep(double desired, double span, double axisPixels, double labelPixels) {
    double step = desired;
    if (!(step > 0) || !std::isfinite(step))
        step = span > 0 && std::isfinite(span) ? span / 10 : 1;
    if (!(span > 0) || !std::isfinite(span) || !(labelPixels > 0))
        return step;
    const double maxLabels = std::max(1.0, std::floor(axisPixels / labelPixels));
    const double labels = span / step;
    if (labels > maxLabels)
        step *= std::ceil(labels / maxLabels);
    return step;
}

double NiceWholeStep(double atLeast) {
    if (!std::isfinite(atLeast) || atLeast <= 1)
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(atLeast)));
    for (double mantissa : {1.0, 2.0, 5.0, 10.0})
        if (mantissa * power >= atLeast * (1 - 1e-9))
            return mantissa * power;
    return 10 * power;
}

double NiceDecimalStep(double atLeast) {
    if (!std::isfinite(atLeast) || !(atLeast > 0))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(atLeast)));
    for (double mantissa : {1.0, 2.0, 5.0, 10.0})
        if (mantissa * power >= atLeast * (1 - 1e-9))
            return mantissa * power;
    return 10 * power;
}

int StepDecimals(double step) {
    if (!std::isfinite(step) || !(step > 0) || step >= 1 - 1e-9)
        return 0;
    return std::min(9, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}
