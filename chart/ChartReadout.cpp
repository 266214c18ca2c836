#include "chart/ChartReadout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string ReadoutTitle(DateTime x) {
    return "Longitudinal vernier X: " + ReadoutSecond(x);
}

std::string ReadoutSecond(DateTime x) {
    return FormatDateTime(x, ReadoutTimePattern);
}

std::string ReadoutEntry(std::string_view title, std::string_view unit,
                         std::optional<float> value) {
    std::string text(title);
    if (!value) {
        text += NoReading;
        return text;
    }
    char number[64];
    std::snprintf(number, sizeof number, " %0.3f", static_cast<double>(*value));
    text += number;
    text += unit;
    return text;
}

long long ShownSecond(DateTime x) {
    // As the texts show it: to the nearest millisecond, then the whole second.
    const auto milliseconds = static_cast<long long>(std::llround(x * SecondsPerDay * 1000.0));
    return milliseconds >= 0 ? milliseconds / 1000 : -((-milliseconds + 999) / 1000);
}

std::string ElapsedText(DateTime a, DateTime b) {
    const long long seconds = ShownSecond(b) - ShownSecond(a);
    const long long magnitude = seconds < 0 ? -seconds : seconds;
    char text[48];
    std::snprintf(text, sizeof text, "%s%02lld:%02lld:%02lld", seconds < 0 ? "-" : "",
                  magnitude / 3600, magnitude / 60 % 60, magnitude % 60);
    return text;
}

std::string PairTitle(DateTime a, DateTime b) {
    return "A " + ReadoutSecond(a) + " \u00B7 B " + ReadoutSecond(b) + " \u00B7 \u0394t " +
           ElapsedText(a, b);
}

std::pair<DateTime, DateTime> ShownInterval(DateTime a, DateTime b) {
    const DateTime shownA = static_cast<double>(ShownSecond(a)) / SecondsPerDay;
    const DateTime shownB = static_cast<double>(ShownSecond(b)) / SecondsPerDay;
    return {std::min(shownA, shownB), std::max(shownA, shownB)};
}

std::string IntervalLines(DateTime a, DateTime b, char separator) {
    return "A" + std::string(1, separator) + ReadoutSecond(a) + "\nB" + std::string(1, separator) +
           ReadoutSecond(b) + "\n\u0394t" + std::string(1, separator) + ElapsedText(a, b) + "\n";
}

namespace {

void AppendValue(std::string& text, std::optional<double> value, std::string_view unit) {
    if (!value) {
        text += NoPairValue;
        return;
    }
    char number[64];
    // A difference that rounds to nothing reads 0.000, not -0.000.
    const double shown = std::fabs(*value) < 0.0005 ? 0.0 : *value;
    std::snprintf(number, sizeof number, "%0.3f", shown);
    text += number;
    text += unit;
}

} // namespace

std::string PairEntry(std::string_view title, std::string_view unit, std::optional<float> a,
                      std::optional<float> b) {
    std::string text(title);
    text += "  A ";
    AppendValue(text, a ? std::optional<double>(*a) : std::nullopt, unit);
    text += "  B ";
    AppendValue(text, b ? std::optional<double>(*b) : std::nullopt, unit);
    text += "  B\u2212A ";
    std::optional<double> difference;
    if (a && b)
        difference = static_cast<double>(*b) - static_cast<double>(*a);
    AppendValue(text, difference, unit);
    return text;
}
