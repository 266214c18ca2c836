#pragma once
// What the screening dialog checks before it accepts new settings, without the dialog: the
// window from the four pickers, the window's order and the page size text. Also the channel
// list syntax ("1,3-5") of the command-line tool, which selects channels as the dialog's lists do.

#include "data/DateTime.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view WindowRefusedText = "the input is not correct.";
inline constexpr std::string_view PageSizeRefusedText =
    "Please enter an integer between 100 and 10000.";
constexpr uint32_t MinItemsPerPage = 100;
constexpr uint32_t MaxItemsPerPage = 10000;
constexpr uint32_t DefaultItemsPerPage = 500;

// A date picker and a time picker of one pair were both set to `pickersSetTo`; the date picker
// changes only the date part of its value and the time picker only the time of day, so
// date value + time value - pickersSetTo is the chosen date at the chosen time.
DateTime CombinePickers(DateTime datePickerValue, DateTime timePickerValue, DateTime pickersSetTo);
// The two pickers' values after the user chose `day` (a whole day number) in the date picker
// and `timeOfDay` (a fraction of a day) in the time picker of a pair set to `pickersSetTo`.
DateTime DatePickerValue(DateTime pickersSetTo, DateTime day);
DateTime TimePickerValue(DateTime pickersSetTo, DateTime timeOfDay);

// The page size the text names: plain decimal digits, with blanks around and a leading '+'
// allowed; nullopt for anything else and for numbers outside 100..10000 (negative ones too).
std::optional<uint32_t> ParseItemsPerPage(std::string_view text);

enum class ScreeningRefusal { None, Window, PageSize };

struct ScreeningCheck {
    ScreeningRefusal refusal = ScreeningRefusal::None;
    uint32_t itemsPerPage = 0; // valid when refusal is None
};

// The "O K" checks in their order: a window whose start is not at least 1 ms before its end,
// then a page size text that names no number in 100..10000.
ScreeningCheck CheckScreeningEntries(DateTime start, DateTime end, std::string_view pageSizeText);
// The text the user is shown for a refusal (GBK, here plain ASCII); empty for None.
std::string_view RefusalText(ScreeningRefusal refusal);

using ChannelFlagSet = std::array<bool, 16>;
// "1,3-5": channel numbers and ranges of 1..16, comma-separated; nullopt on anything else.
std::optional<ChannelFlagSet> ParseChannelList(std::string_view text);
