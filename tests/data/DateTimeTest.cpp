#include "data/DateTime.h"

#include <gtest/gtest.h>

TEST(DateTime, DayZeroAndRecorderEpoch) {
    EXPECT_EQ(EncodeDateTime({1899, 12, 30}).value(), 0.0);
    EXPECT_EQ(EncodeDateTime({2000, 1, 1}).value(), RecorderEpoch);
    EXPECT_EQ(FormatDateTime(RecorderEpoch, ReadoutTimePattern), "2000-01-01 00:00:00");
}

TEST(DateTime, FormatsEveryPatternTheProgramUses) {
    const DateTime t = EncodeDateTime({2015, 3, 16, 8, 5, 9}).value();
    struct Case {
        std::string_view pattern;
        std::string_view text;
    } cases[] = {
        {SheetTimePattern, "2015-03-16 08:05:09"},
        {AxisTimePattern, "15-03-16 08:05:09"},
        {ReadoutTimePattern, "2015-03-16 08:05:09"},
        {FileStampPattern, "20150316080509"},
        {"yyyy'-'MM'-'dd'-' HH':'mm':'ss':'", "2015-03-16- 08:05:09:"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatDateTime(t, c.pattern), c.text) << c.pattern;
}

TEST(DateTime, RoundsToTheMillisecondBeforeSplitting) {
    // 9:00:00 reached by adding seconds one at a time lands a hair below or above.
    DateTime t = EncodeDateTime({2015, 3, 16, 8, 0, 0}).value();
    for (int i = 0; i < 3600; ++i)
        t += OneSecond;
    EXPECT_EQ(FormatDateTime(t, ReadoutTimePattern), "2015-03-16 09:00:00");
    EXPECT_EQ(FormatDateTime(EncodeDateTime({2015, 3, 16, 9}).value() - 1e-12, ReadoutTimePattern),
              "2015-03-16 09:00:00");
    // Just before midnight rounds into the next day rather than printing 24:00:00.
    EXPECT_EQ(
        FormatDateTime(EncodeDateTime({2015, 12, 31}).value() + 1 - 1e-10, ReadoutTimePattern),
        "2016-01-01 00:00:00");
}

TEST(DateTime, ParsesOnlyValidStrictTexts) {
    EXPECT_EQ(ParseDateTime("2015-03-16 09:00:12").value(),
              EncodeDateTime({2015, 3, 16, 9, 0, 12}).value());
    EXPECT_TRUE(ParseDateTime("2016-02-29 23:59:59").has_value());
    for (const char* bad : {"2015-02-30 00:00:00", "2015-13-01 00:00:00", "2015-03-32 00:00:00",
                            "2015-03-16 24:00:00", "2015-03-16 09:60:00", "2100-02-29 00:00:00",
                            "20100-03-16 09:00:00", "2015-3-16 09:00:00", "2015/03/16 09:00:00",
                            "2015-03-16 09:00:00 ", ""})
        EXPECT_FALSE(ParseDateTime(bad).has_value()) << bad;
}

TEST(DateTime, DecodeRoundTripsOverCenturies) {
    for (int year : {1900, 1999, 2000, 2015, 2024, 2099, 2400}) {
        const DateTimeFields f{year, 2, 28, 23, 59, 58};
        const DateTimeFields back = DecodeDateTime(EncodeDateTime(f).value());
        EXPECT_EQ(back.year, year);
        EXPECT_EQ(back.month, 2);
        EXPECT_EQ(back.day, 28);
        EXPECT_EQ(back.second, 58);
    }
}
