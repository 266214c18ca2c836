#include "filter/ScreeningInput.h"

#include "data/Recording.h"

#include <gtest/gtest.h>

namespace {

DateTime At(int year, int month, int day, int hour, int minute, int second) {
    return *EncodeDateTime({year, month, day, hour, minute, second, 0});
}

} // namespace

TEST(CombinePickers, DateFromTheDatePickerTimeFromTheTimePicker) {
    const DateTime setTo = At(2015, 3, 16, 8, 0, 0);
    struct Case {
        DateTime chosenDay;
        DateTime chosenTime; // a date-time whose time of day is chosen
        DateTime expected;
    };
    const Case cases[] = {
        {At(2015, 3, 16, 0, 0, 0), At(2015, 3, 16, 8, 0, 0), setTo}, // unchanged
        {At(2015, 3, 16, 0, 0, 0), At(1899, 12, 30, 9, 30, 0), At(2015, 3, 16, 9, 30, 0)},
        {At(2015, 3, 15, 0, 0, 0), At(2015, 3, 16, 8, 0, 0), At(2015, 3, 15, 8, 0, 0)},
        {At(2016, 2, 29, 0, 0, 0), At(2000, 1, 1, 23, 59, 59), At(2016, 2, 29, 23, 59, 59)},
    };
    for (const Case& c : cases) {
        const DateTime combined = CombinePickers(DatePickerValue(setTo, c.chosenDay),
                                                 TimePickerValue(setTo, c.chosenTime), setTo);
        EXPECT_EQ(FormatDateTime(combined, ReadoutTimePattern),
                  FormatDateTime(c.expected, ReadoutTimePattern));
        EXPECT_EQ(CompareTimes(combined, c.expected), 0);
    }
}

TEST(CheckScreeningEntries, WindowFirstThenPageSize) {
    const DateTime s = At(2015, 3, 16, 8, 0, 0);
    struct Case {
        DateTime end;
        const char* pageSize;
        ScreeningRefusal refusal;
        uint32_t itemsPerPage;
    };
    const Case cases[] = {
        {s, "500", ScreeningRefusal::Window, 0},
        {s + 0.5 * OneMillisecond, "500", ScreeningRefusal::Window, 0},
        {s - OneSecond, "500", ScreeningRefusal::Window, 0},
        {s, "abc", ScreeningRefusal::Window, 0}, // the window is checked first
        {s + 1.5 * OneMillisecond, "500", ScreeningRefusal::None, 500},
        {s + OneSecond, "99", ScreeningRefusal::PageSize, 0},
        {s + OneSecond, "10001", ScreeningRefusal::PageSize, 0},
        {s + OneSecond, "-5", ScreeningRefusal::PageSize, 0},
        {s + OneSecond, "abc", ScreeningRefusal::PageSize, 0},
        {s + OneSecond, "", ScreeningRefusal::PageSize, 0},
        {s + OneSecond, "1e3", ScreeningRefusal::PageSize, 0},
        {s + OneSecond, "99999999999999999999", ScreeningRefusal::PageSize, 0},
        {s + OneSecond, "100", ScreeningRefusal::None, 100},
        {s + OneSecond, "10000", ScreeningRefusal::None, 10000},
        {s + OneSecond, " +0250 ", ScreeningRefusal::None, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pageSize);
        const ScreeningCheck check = CheckScreeningEntries(s, c.end, c.pageSize);
        EXPECT_EQ(check.refusal, c.refusal);
        if (c.refusal == ScreeningRefusal::None) {
            EXPECT_EQ(check.itemsPerPage, c.itemsPerPage);
        }
    }
    EXPECT_EQ(RefusalText(ScreeningRefusal::Window), "the input is not correct.");
    EXPECT_EQ(RefusalText(ScreeningRefusal::PageSize),
              "Please enter an integer between 100 and 10000.");
}

TEST(ParseChannelList, NumbersAndRangesOfOneToSixteen) {
    const auto flags = ParseChannelList("1,3-5,16");
    ASSERT_TRUE(flags);
    ChannelFlagSet expected{};
    for (int n : {1, 3, 4, 5, 16})
        expected[static_cast<size_t>(n - 1)] = true;
    EXPECT_EQ(*flags, expected);
    for (const char* bad : {"", "0", "17", "1,", ",1", "5-3", "1-", "a", "1;2", "1-17", "-1"})
        EXPECT_FALSE(ParseChannelList(bad)) << bad;
}
