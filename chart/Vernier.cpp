#include "chart/Vernier.h"

#include "data/Recording.h"

#include <charconv>
#include <cmath>
#include <cstdio>

std::string VernierEditText(double value) {
    const double t = std::trunc(value);
    // Values beyond the 32-bit range cannot come from the chart's axes; clamp rather than
    // overflow the conversion.
    const double clamped = std::fmax(-2147483648.0, std::fmin(2147483647.0, std::isnan(t) ? 0 : t));
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(clamped));
    return text;
}

std::optional<int32_t> ParseWholeNumber(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    // from_chars takes a minus sign but no plus sign, and a sign only once.
    const bool plus = !text.empty() && text.front() == '+';
    if (plus)
        text.remove_prefix(1);
    if (text.empty() || text.front() == '+' || (plus && text.front() == '-'))
        return std::nullopt;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

namespace {

// The whole days of a date-time; the rest is its time of day.
double DatePart(DateTime value) {
    return std::trunc(value);
}

} // namespace

DateTime WithDate(DateTime value, int year, int month, int day) {
    const auto date = EncodeDateTime({year, month, day, 0, 0, 0, 0});
    if (!date)
        return value;
    return *date + (value - DatePart(value));
}

DateTime WithTimeOfDay(DateTime value, int hour, int minute, int second, int millisecond) {
    const auto time = EncodeDateTime({1899, 12, 30, hour, minute, second, millisecond});
    if (!time)
        return value;
    return DatePart(value) + *time;
}

namespace {

struct LineCheck {
    std::optional<double> value;
    std::string_view message;
};

LineCheck CheckLine(const std::string& text, double oldValue, double yMin, double yMax) {
    const auto typed = ParseWholeNumber(text);
    if (!typed)
        return {std::nullopt, VernierNotInteger};
    const double y = *typed;
    // The shown whole number of the old value keeps the line exactly where it was.
    if (y == std::trunc(oldValue))
        return {oldValue, {}};
    if (y < std::trunc(yMin) || y > std::trunc(yMax))
        return {std::nullopt, VernierValueRefused};
    return {y < yMin ? yMin : y, {}};
}

} // namespace

VernierVerdict CheckVernier(const VernierPrepared& prepared, const VernierEntries& entries) {
    VernierVerdict verdict;
    DateTime x = entries.datePicker + entries.timePicker - prepared.oldX;
    if (CompareTimes(prepared.oldX, x) != 0) {
        const std::string text = FormatDateTime(x, ReadoutTimePattern);
        if (text > FormatDateTime(prepared.xMax, ReadoutTimePattern) ||
            text < FormatDateTime(prepared.xMin, ReadoutTimePattern)) {
            verdict.message = VernierTimeRefused;
            return verdict;
        }
        if (CompareTimes(x, prepared.xMax) > 0)
            x = prepared.xMax;
        else if (CompareTimes(x, prepared.xMin) < 0)
            x = prepared.xMin;
    }
    const LineCheck y = CheckLine(entries.yText, prepared.oldY, prepared.yMin, prepared.yMax);
    if (!y.value) {
        verdict.message = y.message;
        verdict.focus = VernierFocus::YValueEdit;
        return verdict;
    }
    const LineCheck y2 = CheckLine(entries.y2Text, prepared.oldY2, prepared.yMin, prepared.yMax);
    if (!y2.value) {
        verdict.message = y2.message;
        verdict.focus = VernierFocus::Y2ValueEdit;
        return verdict;
    }
    verdict.accepted = true;
    verdict.newX = x;
    verdict.newY = *y.value;
    verdict.newY2 = *y2.value;
    return verdict;
}
