#include "chart/Vernier.h"

#include "chart/ChartNavigation.h"
#include "chart/ChartReadout.h"
#include "data/Recording.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

std::string VernierEditText(double value, int decimals) {
    if (decimals > 0) {
        char text[64];
        const double shown = std::isfinite(value) ? value : 0;
        std::snprintf(text, sizeof text, "%.*f", decimals,
                      std::fabs(shown) < 0.5 * std::pow(10.0, -decimals) ? 0.0 : shown);
        return text;
    }
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

std::optional<double> ParseDecimalNumber(std::string_view text, int decimals) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    std::string number;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        if (text.front() == '-')
            number += '-';
        text.remove_prefix(1);
    }
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if ((whole.empty() && fraction.empty()) || !std::all_of(whole.begin(), whole.end(), digit) ||
        !std::all_of(fraction.begin(), fraction.end(), digit) ||
        fraction.size() > static_cast<size_t>(std::max(decimals, 0)) ||
        (point != std::string_view::npos && decimals <= 0))
        return std::nullopt;
    number += whole.empty() ? "0" : std::string(whole);
    if (!fraction.empty())
        number += "." + std::string(fraction);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
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

// The value truncated toward zero at that many decimals, forgiving the binary representation's last
// bits.
double TruncatedTo(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    return std::trunc(scaled + (scaled < 0 ? -1e-9 : 1e-9) * std::max(1.0, std::fabs(scaled))) /
           scale;
}

LineCheck CheckDecimalLine(const std::string& text, double oldValue, double yMin, double yMax,
                           int decimals) {
    const auto typed = ParseDecimalNumber(text, decimals);
    if (!typed)
        return {std::nullopt, VernierNotNumber};
    const double y = *typed;
    // The shown value of the old line keeps it exactly where it was.
    const auto shown = ParseDecimalNumber(VernierEditText(oldValue, decimals), decimals);
    if (shown && std::fabs(y - *shown) < 0.5 * std::pow(10.0, -decimals))
        return {oldValue, {}};
    if (y < TruncatedTo(yMin, decimals) || y > TruncatedTo(yMax, decimals))
        return {std::nullopt, VernierValueRefused};
    return {y < yMin ? yMin : y, {}};
}

LineCheck CheckLine(const std::string& text, double oldValue, double yMin, double yMax,
                    int decimals) {
    if (decimals > 0)
        return CheckDecimalLine(text, oldValue, yMin, yMax, decimals);
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
        // The time as typed is the second it shows, whatever fraction the picker kept.
        x = DraggedCursorTime(static_cast<double>(ShownSecond(x)) / SecondsPerDay,
                              {prepared.xMin, prepared.xMax});
        // A window holding no whole second: as close as it allows.
        if (CompareTimes(x, prepared.xMax) > 0)
            x = prepared.xMax;
        else if (CompareTimes(x, prepared.xMin) < 0)
            x = prepared.xMin;
    }
    const LineCheck y =
        CheckLine(entries.yText, prepared.oldY, prepared.yMin, prepared.yMax, prepared.decimals);
    if (!y.value) {
        verdict.message = y.message;
        verdict.focus = VernierFocus::YValueEdit;
        return verdict;
    }
    const LineCheck y2 =
        CheckLine(entries.y2Text, prepared.oldY2, prepared.yMin, prepared.yMax, prepared.decimals);
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
