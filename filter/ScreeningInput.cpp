#include "filter/ScreeningInput.h"

#include "data/Recording.h"

#include <cctype>
#include <cmath>

DateTime CombinePickers(DateTime datePickerValue, DateTime timePickerValue, DateTime pickersSetTo) {
    return datePickerValue + timePickerValue - pickersSetTo;
}

DateTime DatePickerValue(DateTime pickersSetTo, DateTime day) {
    return std::floor(day) + (pickersSetTo - std::floor(pickersSetTo));
}

DateTime TimePickerValue(DateTime pickersSetTo, DateTime timeOfDay) {
    return std::floor(pickersSetTo) + (timeOfDay - std::floor(timeOfDay));
}

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Plain decimal digits up to `limit`; nullopt for anything else or a larger number.
std::optional<long long> Digits(std::string_view text, long long limit) {
    if (text.empty())
        return std::nullopt;
    long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
        if (n > limit)
            return std::nullopt;
    }
    return n;
}

} // namespace

std::optional<uint32_t> ParseItemsPerPage(std::string_view text) {
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto n = Digits(text, MaxItemsPerPage);
    if (!n || *n < MinItemsPerPage)
        return std::nullopt;
    return static_cast<uint32_t>(*n);
}

ScreeningCheck CheckScreeningEntries(DateTime start, DateTime end, std::string_view pageSizeText) {
    if (CompareTimes(start, end) != -1)
        return {ScreeningRefusal::Window, 0};
    const auto pageSize = ParseItemsPerPage(pageSizeText);
    if (!pageSize)
        return {ScreeningRefusal::PageSize, 0};
    return {ScreeningRefusal::None, *pageSize};
}

std::string_view RefusalText(ScreeningRefusal refusal) {
    switch (refusal) {
    case ScreeningRefusal::Window:
        return WindowRefusedText;
    case ScreeningRefusal::PageSize:
        return PageSizeRefusedText;
    case ScreeningRefusal::None:
        break;
    }
    return {};
}

std::optional<ChannelFlagSet> ParseChannelList(std::string_view text) {
    ChannelFlagSet flags{};
    constexpr long long Last = static_cast<long long>(flags.size());
    while (true) {
        const size_t comma = std::min(text.find(','), text.size());
        const std::string_view item = text.substr(0, comma);
        const size_t dash = item.find('-');
        const auto first = Digits(item.substr(0, dash), Last);
        const auto last =
            dash == std::string_view::npos ? first : Digits(item.substr(dash + 1), Last);
        if (!first || !last || *first < 1 || *first > *last)
            return std::nullopt;
        for (long long n = *first; n <= *last; ++n)
            flags[static_cast<size_t>(n - 1)] = true;
        if (comma == text.size())
            return flags;
        text.remove_prefix(comma + 1);
    }
}
