#include "data/DateTime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// 1899-12-30 relative to 1970-01-01.
// Computed at compile time, so globals initialised at start-up may already convert dates.
constexpr long long DayZero = DaysFromCivil(1899, 12, 30);

// "%0*d" without printf: the CSV of a whole recording formats a time for each of its rows.
void AppendNumber(std::string& out, int value, int width) {
    if (value < 0) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
        out += buffer;
        return;
    }
    char buffer[16];
    char* const end = buffer + sizeof buffer;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (end - p < width)
        *--p = '0';
    out.append(p, end);
}

} // namespace

bool IsValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    static const int daysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int last = month == 2 && leap ? 29 : daysInMonth[month - 1];
    return day <= last;
}

std::optional<DateTime> EncodeDateTime(const DateTimeFields& f) {
    if (!IsValidDate(f.year, f.month, f.day))
        return std::nullopt;
    if (f.hour < 0 || f.hour > 23 || f.minute < 0 || f.minute > 59 || f.second < 0 ||
        f.second > 59 || f.millisecond < 0 || f.millisecond > 999)
        return std::nullopt;
    const double days = static_cast<double>(
        DaysFromCivil(f.year, static_cast<unsigned>(f.month), static_cast<unsigned>(f.day)) -
        DayZero);
    const double time =
        ((f.hour * 60.0 + f.minute) * 60.0 + f.second) / SecondsPerDay + f.millisecond / 86400000.0;
    // Before day zero the fraction still counts forward from midnight (the platform's rule).
    return days >= 0 ? days + time : days - time;
}

DateTimeFields DecodeDateTime(DateTime value) {
    DateTimeFields f;
    if (!std::isfinite(value))
        return f;
    // Work in whole milliseconds: sums of seconds are rarely exact day fractions.
    double wholeDays = std::trunc(value);
    long long ms = std::llround(std::fabs(value - wholeDays) * 86400000.0);
    if (ms >= 86400000LL) {
        ms -= 86400000LL;
        wholeDays += value >= 0 ? 1 : -1;
    }
    CivilFromDays(static_cast<long long>(wholeDays) + DayZero, f.year, f.month, f.day);
    f.millisecond = static_cast<int>(ms % 1000);
    const long long seconds = ms / 1000;
    f.second = static_cast<int>(seconds % 60);
    f.minute = static_cast<int>(seconds / 60 % 60);
    f.hour = static_cast<int>(seconds / 3600);
    return f;
}

std::string FormatDateTime(DateTime value, std::string_view pattern) {
    std::string out;
    out.reserve(pattern.size() + 8);
    AppendDateTime(out, value, pattern);
    return out;
}

void AppendDateTime(std::string& out, DateTime value, std::string_view pattern) {
    const DateTimeFields f = DecodeDateTime(value);
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'' || c == '"') {
            const size_t end = pattern.find(c, i + 1);
            const size_t stop = end == std::string_view::npos ? pattern.size() : end;
            out.append(pattern.substr(i + 1, stop - i - 1));
            i = stop == pattern.size() ? stop : stop + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        switch (c) {
        case 'y':
            if (run >= 3)
                AppendNumber(out, f.year, 4);
            else
                AppendNumber(out, f.year % 100, 2);
            break;
        case 'M':
            AppendNumber(out, f.month, run >= 2 ? 2 : 1);
            break;
        case 'd':
            AppendNumber(out, f.day, run >= 2 ? 2 : 1);
            break;
        case 'H':
        case 'h':
            AppendNumber(out, f.hour, run >= 2 ? 2 : 1);
            break;
        case 'm':
            AppendNumber(out, f.minute, run >= 2 ? 2 : 1);
            break;
        case 's':
            AppendNumber(out, f.second, run >= 2 ? 2 : 1);
            break;
        case 'z':
            AppendNumber(out, f.millisecond, run >= 3 ? 3 : 1);
            break;
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
}

std::optional<DateTime> ParseDateTime(std::string_view text) {
    // yyyy-MM-dd HH:mm:ss, nothing more and nothing less.
    static constexpr std::string_view shape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != shape.size())
        return std::nullopt;
    for (size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i])
            return std::nullopt;
    }
    auto number = [&](size_t pos, size_t len) {
        int v = 0;
        for (size_t i = 0; i < len; ++i)
            v = v * 10 + (text[pos + i] - '0');
        return v;
    };
    DateTimeFields f;
    f.year = number(0, 4);
    f.month = number(5, 2);
    f.day = number(8, 2);
    f.hour = number(11, 2);
    f.minute = number(14, 2);
    f.second = number(17, 2);
    return EncodeDateTime(f);
}

DateTime NowLocal() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    DateTimeFields f{local.tm_year + 1900,
                     local.tm_mon + 1,
                     local.tm_mday,
                     local.tm_hour,
                     local.tm_min,
                     std::min(local.tm_sec, 59),
                     static_cast<int>(ms.count())};
    return EncodeDateTime(f).value_or(0.0);
}

// 1970-01-01 00:00:00 as a date-time.
constexpr double UnixEpochDay = static_cast<double>(-DayZero);

int64_t DateTimeToUnixMilliseconds(DateTime value) {
    return std::llround((value - UnixEpochDay) * 86400000.0);
}

DateTime UnixMillisecondsToDateTime(int64_t milliseconds) {
    return UnixEpochDay + static_cast<double>(milliseconds) / 86400000.0;
}
