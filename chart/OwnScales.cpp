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

std::optional<size_t> NextShownSeries(const std::vector<bool>& shown, size_t hidden) {
    for (size_t step = 1; step < shown.size(); ++step) {
        const size_t i = (hidden + step) % shown.size();
        if (shown[i])
            return i;
    }
    return std::nullopt;
}

namespace {

std::string ShortNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", std::fabs(value) < 0.0005 ? 0.0 : value);
    std::string number = text;
    while (number.back() == '0')
        number.pop_back();
    if (number.back() == '.')
        number.pop_back();
    return number;
}

double Luminance(RgbColour c) {
    auto linear = [](int component) {
        const double v = std::clamp(component, 0, 255) / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

} // namespace

std::string ScaleRangeText(std::string_view title, ZoomWindow range, std::string_view unit) {
    std::string text(title);
    text += "  " + ShortNumber(range.minimum) + "\u2013" + ShortNumber(range.maximum);
    if (!unit.empty()) {
        text += ' ';
        text += unit;
    }
    return text;
}

RgbColour InvertedColour(RgbColour c) {
    return {255 - c.red, 255 - c.green, 255 - c.blue};
}

double ContrastRatio(RgbColour a, RgbColour b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

RgbColour ReadableOnWhite(RgbColour colour) {
    constexpr double Needed = 4.5;
    const RgbColour white{255, 255, 255};
    RgbColour darker = colour;
    for (int percent = 100; percent >= 0 && ContrastRatio(darker, white) < Needed; --percent)
        darker = {colour.red * percent / 100, colour.green * percent / 100,
                  colour.blue * percent / 100};
    return darker;
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
