#pragma once
// Date-times are 64-bit day counts since 1899-12-30 00:00:00; the fraction is the time of day.
// Every conversion to and from calendar fields, and every text form the program shows or
// writes, goes through this module.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using DateTime = double;

constexpr double SecondsPerDay = 86400.0;
constexpr DateTime OneSecond = 1.0 / 86400.0;
constexpr DateTime OneMillisecond = 1.0 / 86400000.0;
// The recorder counts seconds from 2000-01-01 00:00:00.
constexpr DateTime RecorderEpoch = 36526.0;

// Text patterns the program uses.
inline constexpr std::string_view SheetTimePattern = "yyyy'-'MM'-'dd HH:mm:ss";
inline constexpr std::string_view AxisTimePattern = "yy-MM-dd HH:mm:ss";
inline constexpr std::string_view ReadoutTimePattern = "yyyy-MM-dd HH:mm:ss";
inline constexpr std::string_view FileStampPattern = "yyyyMMddHHmmss";

struct DateTimeFields {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

bool IsValidDate(int year, int month, int day);
// Fails (nullopt) on any field out of range; years 1..9999 as the platform allows.
std::optional<DateTime> EncodeDateTime(const DateTimeFields& fields);
// Rounds to the nearest millisecond first, so a value a hair below a whole second
// still yields that second.
DateTimeFields DecodeDateTime(DateTime value);

// Patterns: yyyy, yy, MM, M, dd, d, HH/hh, H/h, mm, m, ss, s, zzz; text inside single quotes
// is copied literally; any other character stands for itself.
std::string FormatDateTime(DateTime value, std::string_view pattern);
// The same, appended to out: no text of its own for each of many times.
void AppendDateTime(std::string& out, DateTime value, std::string_view pattern);

// Strict "yyyy-MM-dd HH:mm:ss" (exactly that shape, four-digit year); nullopt when the text
// is not a valid date and time.
std::optional<DateTime> ParseDateTime(std::string_view text);

// Seconds since the recorder's epoch as a date-time.
inline DateTime RecorderSecondsToDateTime(long long seconds) {
    return RecorderEpoch + static_cast<double>(seconds) * OneSecond;
}

// The current local wall-clock time.
DateTime NowLocal();

// Whole milliseconds since 1970-01-01 00:00:00 of the same clock (no time zone applied): how
// stored archives keep times. A date-time rounds to the nearest millisecond, the tolerance
// within which the program takes two instants for one.
int64_t DateTimeToUnixMilliseconds(DateTime value);
DateTime UnixMillisecondsToDateTime(int64_t milliseconds);
