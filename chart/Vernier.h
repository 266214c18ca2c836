#pragma once
// The vernier dialog's rules without the dialog: what its edits show, how its pickers change
// their part of the date-time, and the checks of its OK button.
//
// On the shared value axis the lines' values are whole numbers. Where the value axis shows a
// channel's own scale they are in that channel's unit, with the decimals values are shown
// with, since its range may be 0 to 1.6.

#include "data/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the dialog was prepared with.
struct VernierPrepared {
    DateTime oldX = 0;
    double oldY = 0;
    double oldY2 = 0;
    DateTime xMin = 0, xMax = 0;
    double yMin = 0, yMax = 0;
    int decimals = 0; // of the lines' values; 0: whole numbers
};

// The decimals of the lines' values on a channel's own scale: those of every shown value.
inline constexpr int OwnScaleDecimals = 3;

// What the user left in the dialog when pressing OK.
struct VernierEntries {
    DateTime datePicker = 0; // the date picker's full date-time
    DateTime timePicker = 0; // the time picker's full date-time
    std::string yText;
    std::string y2Text;
};

enum class VernierFocus { Unchanged, YValueEdit, Y2ValueEdit };

struct VernierVerdict {
    bool accepted = false;
    std::string message; // the refusal, shown with the stop icon
    VernierFocus focus = VernierFocus::Unchanged;
    DateTime newX = 0;
    double newY = 0;
    double newY2 = 0;
};

inline constexpr std::string_view VernierTimeRefused =
    "Please select view within the scope of the time point.";
inline constexpr std::string_view VernierNotInteger = "Please enter a valid integer.";
inline constexpr std::string_view VernierNotNumber = "Please enter a valid number.";
inline constexpr std::string_view VernierValueRefused =
    "Please input the view within the scope of the Y value.";

// The edit text of a line's value: truncated toward zero, "%d" (-3.7 shows as -3); with
// decimals rounded to them (1.19999 shows as 1.200 with three).
std::string VernierEditText(double value, int decimals = 0);

// A 32-bit signed whole number: optional blanks around an optional sign and decimal digits.
std::optional<int32_t> ParseWholeNumber(std::string_view text);
// A number with up to `decimals` digits after a point: optional blanks around an optional
// sign, digits, then optionally "." and digits (".5" and "2." as well).
std::optional<double> ParseDecimalNumber(std::string_view text, int decimals);

// A picker's value with only the date, or only the time of day, replaced.
DateTime WithDate(DateTime value, int year, int month, int day);
DateTime WithTimeOfDay(DateTime value, int hour, int minute, int second, int millisecond);

// The OK button's checks in their order; the first refusal ends them. A time that was changed
// settles on the whole second it shows (the time picker keeps the prepared fraction), within
// the visible window: a second just outside it gives the window's first or last whole second.
VernierVerdict CheckVernier(const VernierPrepared& prepared, const VernierEntries& entries);
