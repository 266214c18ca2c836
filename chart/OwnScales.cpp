#include "chart/OwnScales.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

std::optional<ZoomWindow> UsableScale(double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high) || low == high)
        return std::nullopt;
    return ZoomWindow{std::min(low, high), std::max(low, high)};
}

bool ScaleMapping::Maps() const {
    return own && std::isfinite(span.minimum) && std::isfinite(span.maximum) &&
           span.maximum > span.minimum;
}

double ScaleMapping::ToDrawn(double real) const {
    if (!Maps())
        return real;
    return span.minimum +
           (real - own->minimum) / (own->maximum - own->minimum) * (span.maximum - span.minimum);
}

double ScaleMapping::ToReal(double drawn) const {
    if (!Maps())
        return drawn;
    return own->minimum +
           (drawn - span.minimum) / (span.maximum - span.minimum) * (own->maximum - own->minimum);
}

ZoomWindow ScaleMapping::RealWindow(ZoomWindow drawn) const {
    return {ToReal(drawn.minimum), ToReal(drawn.maximum)};
}

std::string AxisChannelTitle(int channelNumber, std::string_view unit) {
    char number[32];
    std::snprintf(number, sizeof number, "Channel %d", channelNumber);
    std::string title = number;
    if (!unit.empty()) {
        title += " (";
        title += unit;
        title += ')';
    }
    return title;
}

std::optional<size_t> DefaultAxisSeries(const std::vector<bool>& shown,
                                        const std::vector<bool>& hasScale) {
    std::optional<size_t> first;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (!shown[i])
            continue;
        if (i < hasScale.size() && hasScale[i])
            return i;
        if (!first)
            first = i;
    }
    return first;
}

void LiveScales::Reset(size_t channels) {
    seen_.assign(channels, std::nullopt);
}

void LiveScales::See(size_t position, double value) {
    if (position >= seen_.size() || !std::isfinite(value))
        return;
    std::optional<ZoomWindow>& s = seen_[position];
    if (!s)
        s = ZoomWindow{value, value};
    else
        s = ZoomWindow{std::min(s->minimum, value), std::max(s->maximum, value)};
}

std::optional<ZoomWindow> LiveScales::Scale(size_t position, double lowerLimit,
                                            double upperLimit) const {
    // Limits that are no numbers leave the values seen alone.
    const bool limits = std::isfinite(lowerLimit) && std::isfinite(upperLimit);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    double low = limits ? std::min(lowerLimit, upperLimit) : nan;
    double high = limits ? std::max(lowerLimit, upperLimit) : nan;
    if (position < seen_.size() && seen_[position]) {
        low = limits ? std::min(low, seen_[position]->minimum) : seen_[position]->minimum;
        high = limits ? std::max(high, seen_[position]->maximum) : seen_[position]->maximum;
    }
    return UsableScale(low, high);
}
