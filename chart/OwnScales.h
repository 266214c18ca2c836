#pragma once
// Each channel on its own scale. A channel's instrument range [low, high] fills the span of the
// shared value axis (the window the views were built with), so that every line uses the plot's
// height as its instrument does. The chart keeps drawing and zooming in shared-axis positions;
// a channel's real values and a drawn position convert linearly, so one zoom of the shared
// axis zooms every channel's scale by the same fraction.

#include "views/ViewBuilder.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The range as a scale, or nullopt when an end is not finite or the range is empty: such a
// channel stays on the shared axis. A range given high to low counts low to high.
std::optional<ZoomWindow> UsableScale(double low, double high);

// Real value <-> drawn position (shared-axis units) for one channel.
struct ScaleMapping {
    std::optional<ZoomWindow> own; // the channel's range; nullopt: drawn on the shared axis
    ZoomWindow span;               // the shared-axis window the range fills

    // False when the channel is drawn on the shared axis as it is.
    bool Maps() const;
    double ToDrawn(double real) const;
    double ToReal(double drawn) const;
    // The channel's real values across a drawn window (the visible part of the shared axis).
    ZoomWindow RealWindow(ZoomWindow drawn) const;
};

// The value axis title of the axis channel: "Channel 2 (Mpa)" (unit as UTF-8).
std::string AxisChannelTitle(int channelNumber, std::string_view unit);

// The axis channel by default: the first shown series with a scale of its own, else the first
// shown series; nullopt without a shown series.
std::optional<size_t> DefaultAxisSeries(const std::vector<bool>& shown,
                                        const std::vector<bool>& hasScale);

// The axis channel after the one at `hidden` was hidden: the next shown series after it,
// wrapping round; nullopt when no other series is shown.
std::optional<size_t> NextShownSeries(const std::vector<bool>& shown, size_t hidden);

// The value axis title where it shows the shared scale: it belongs to no one channel.
inline constexpr std::string_view SharedScaleTitle = "Shared scale";

// A channel's scale as a picture's legend lists it, a picture having no axis to click:
// "Channel 02  0–1.6 Mpa" (UTF-8; the ends with up to three decimals, trailing zeros dropped).
std::string ScaleRangeText(std::string_view title, ZoomWindow range, std::string_view unit);

// Colours as red, green and blue from 0 to 255.
struct RgbColour {
    int red = 0, green = 0, blue = 0;
    friend bool operator==(const RgbColour&, const RgbColour&) = default;
};
RgbColour InvertedColour(RgbColour colour);
// The contrast ratio of two colours by their relative luminance (1 to 21).
double ContrastRatio(RgbColour a, RgbColour b);
// The colour darkened, keeping its hue, until text in it reads on white: a contrast of at least
// 4.5 to 1. A colour that reads already stays.
RgbColour ReadableOnWhite(RgbColour colour);

// During a live run the instrument reports no ranges: each channel spans its Lower and Upper
// alarm limits, widened to the values seen so far in the run.
class LiveScales {
public:
    void Reset(size_t channels);
    // NaN (a break) is no value.
    void See(size_t position, double value);
    std::optional<ZoomWindow> Scale(size_t position, double lowerLimit, double upperLimit) const;

private:
    std::vector<std::optional<ZoomWindow>> seen_;
};
