#include "chart/Vernier.h"

#include <gtest/gtest.h>

namespace {

const DateTime Day = 42079; // 2015-03-16
DateTime At(int h, int m, int s, int ms = 0) {
    return Day + *EncodeDateTime({1899, 12, 30, h, m, s, ms});
}

// The window 08:00:00.4 to 08:10:00, values -10.5 to 99.9, the cursor at 08:05:00.25 with its
// lines at 23.7 and -3.7.
VernierPrepared Prepared() {
    return {At(8, 5, 0, 250), 23.7, -3.7, At(8, 0, 0, 400), At(8, 10, 0), -10.5, 99.9};
}

// The dialog as PrepareVernier leaves it.
VernierEntries Untouched(const VernierPrepared& p) {
    return {p.oldX, p.oldX, VernierEditText(p.oldY), VernierEditText(p.oldY2)};
}

} // namespace

TEST(Vernier, UntouchedOkKeepsEveryCursorExactly) {
    const VernierPrepared p = Prepared();
    const VernierEntries e = Untouched(p);
    EXPECT_EQ(e.yText, "23");
    EXPECT_EQ(e.y2Text, "-3");
    const VernierVerdict v = CheckVernier(p, e);
    ASSERT_TRUE(v.accepted) << v.message;
    EXPECT_EQ(v.newX, p.oldX);
    EXPECT_EQ(v.newY, 23.7);
    EXPECT_EQ(v.newY2, -3.7);
}

TEST(Vernier, TimeIsCheckedToTheSecondAndSettlesOnAWholeSecondOfTheWindow) {
    const VernierPrepared p = Prepared();
    struct Case {
        DateTime time; // the time picker's value: it keeps the fraction it was prepared with
        bool accepted;
        DateTime newX;
    };
    const Case cases[] = {
        // The same second as the window's start, 08:00:00.4: its first whole second.
        {At(8, 0, 0), true, At(8, 0, 1)},
        {At(8, 0, 0, 250), true, At(8, 0, 1)},
        {At(7, 59, 59), false, 0}, // a second before the window
        {At(8, 7, 30), true, At(8, 7, 30)},
        // A whole time typed over the cursor's fraction: the second typed, not the fraction.
        {At(8, 7, 30, 250), true, At(8, 7, 30)},
        {At(8, 7, 30, 750), true, At(8, 7, 30)},
        {At(8, 10, 0, 600), true, p.xMax}, // same second as the end
        {At(8, 10, 1), false, 0},
    };
    for (const Case& c : cases) {
        VernierEntries e = Untouched(p);
        e.timePicker = c.time;
        const VernierVerdict v = CheckVernier(p, e);
        EXPECT_EQ(v.accepted, c.accepted) << FormatDateTime(c.time, "HH:mm:ss.zzz");
        if (c.accepted)
            EXPECT_NEAR(v.newX, c.newX, OneMillisecond / 10) << FormatDateTime(c.time, "HH:mm:ss");
        else
            EXPECT_EQ(v.message, VernierTimeRefused);
        EXPECT_EQ(v.focus, VernierFocus::Unchanged);
    }

    // The date picker supplies the date, the time picker the time of day.
    VernierEntries nextDay = Untouched(p);
    nextDay.datePicker = WithDate(p.oldX, 2015, 3, 17);
    EXPECT_EQ(CheckVernier(p, nextDay).message, VernierTimeRefused);
    VernierEntries both = Untouched(p);
    both.datePicker = WithDate(p.oldX, 2015, 3, 17);
    both.timePicker = WithTimeOfDay(p.oldX, 8, 1, 0, 0);
    const VernierVerdict v = CheckVernier(p, both);
    EXPECT_EQ(v.message, VernierTimeRefused); // 2015-03-17 08:01:00 lies outside

    // A window holding no whole second keeps the clamp to its edges.
    VernierPrepared narrow = Prepared();
    narrow.oldX = At(8, 0, 0, 300);
    narrow.xMin = At(8, 0, 0, 200);
    narrow.xMax = At(8, 0, 0, 900);
    VernierEntries inNarrow = Untouched(narrow);
    inNarrow.timePicker = At(8, 0, 0, 950);
    const VernierVerdict clamped = CheckVernier(narrow, inNarrow);
    ASSERT_TRUE(clamped.accepted);
    EXPECT_NEAR(clamped.newX, narrow.xMin, OneMillisecond / 10);
}

TEST(Vernier, OnAChannelsOwnScaleLinesTakeDecimals) {
    VernierPrepared p = Prepared();
    p.decimals = OwnScaleDecimals;
    p.oldY = 1.2f; // a float's 1.2 shows as 1.200 and stays where it was
    p.oldY2 = 0.25;
    p.yMin = -0.16;
    p.yMax = 1.7599;
    const VernierEntries untouched{p.oldX, p.oldX, VernierEditText(p.oldY, p.decimals),
                                   VernierEditText(p.oldY2, p.decimals)};
    EXPECT_EQ(untouched.yText, "1.200");
    EXPECT_EQ(untouched.y2Text, "0.250");
    const VernierVerdict kept = CheckVernier(p, untouched);
    ASSERT_TRUE(kept.accepted) << kept.message;
    EXPECT_EQ(kept.newY, p.oldY);

    struct Case {
        const char* text;
        std::string_view message; // empty when accepted
        double newY;
    };
    const Case cases[] = {
        {"1.2", {}, p.oldY}, // the shown value: the line stays exactly
        {"1.5", {}, 1.5},    // a decimal, in the axis channel's unit
        {" -0.1 ", {}, -0.1},
        {".75", {}, 0.75},
        {"1.759", {}, 1.759}, // the range's end at three decimals
        {"1.76", VernierValueRefused, 0},
        {"-0.16", {}, -0.16},
        {"-0.161", VernierValueRefused, 0},
        {"-0.17", VernierValueRefused, 0},
        {"1.2345", VernierNotNumber, 0}, // more decimals than values have
        {"1,5", VernierNotNumber, 0},
        {"", VernierNotNumber, 0},
        {".", VernierNotNumber, 0},
        {"1e0", VernierNotNumber, 0},
    };
    for (const Case& c : cases) {
        VernierEntries e = untouched;
        e.yText = c.text;
        const VernierVerdict v = CheckVernier(p, e);
        EXPECT_EQ(v.message, c.message) << c.text;
        if (v.accepted) {
            EXPECT_DOUBLE_EQ(v.newY, c.newY) << c.text;
        }
    }
    // Whole numbers stay the rule on the shared axis.
    EXPECT_EQ(VernierEditText(1.2f), "1");
    EXPECT_EQ(ParseDecimalNumber("1.5", 0), std::nullopt);
}

TEST(Vernier, WholeNumbersAgainstTheTruncatedRange) {
    struct Case {
        double yMin, yMax;
        const char* text;
        std::string_view message; // empty when accepted
        double newY;
    };
    const Case cases[] = {
        {2.5, 99.9, "2", {}, 2.5}, // trunc(2.5) = 2, raised to the range's start
        {2.5, 99.9, "99", {}, 99},
        {2.5, 99.9, "100", VernierValueRefused, 0},
        {-10.5, 99.9, "-10", {}, -10},
        {-10.5, 99.9, "-11", VernierValueRefused, 0},
        {-10.5, 99.9, "", VernierNotInteger, 0},
        {-10.5, 99.9, "1.5", VernierNotInteger, 0},
        {-10.5, 99.9, " 42 ", {}, 42},
    };
    for (const Case& c : cases) {
        VernierPrepared p = Prepared();
        p.yMin = c.yMin;
        p.yMax = c.yMax;
        for (bool second : {false, true}) {
            VernierEntries e = Untouched(p);
            (second ? e.y2Text : e.yText) = c.text;
            const VernierVerdict v = CheckVernier(p, e);
            EXPECT_EQ(v.message, c.message) << c.text;
            EXPECT_EQ(v.accepted, c.message.empty()) << c.text;
            if (v.accepted)
                EXPECT_EQ(second ? v.newY2 : v.newY, c.newY) << c.text;
            else
                EXPECT_EQ(v.focus, second ? VernierFocus::Y2ValueEdit : VernierFocus::YValueEdit);
        }
    }
}

TEST(Vernier, ChecksRunInOrderAndStopAtTheFirstRefusal) {
    const VernierPrepared p = Prepared();
    VernierEntries e = Untouched(p);
    e.timePicker = At(7, 0, 0);
    e.yText = "x";
    e.y2Text = "";
    EXPECT_EQ(CheckVernier(p, e).message, VernierTimeRefused);
    e.timePicker = p.oldX;
    EXPECT_EQ(CheckVernier(p, e).focus, VernierFocus::YValueEdit);
    e.yText = "23";
    EXPECT_EQ(CheckVernier(p, e).focus, VernierFocus::Y2ValueEdit);
}

TEST(Vernier, WholeNumberNotationsAndEditTexts) {
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {"12", 12},
        {" -7\t", -7},
        {"+3", 3},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", {}},
        {"", {}},
        {"  ", {}},
        {"+-1", {}},
        {"--1", {}},
        {"0x10", {}},
        {"1e3", {}},
        {"1 2", {}},
        {"-", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseWholeNumber(c.text), c.value) << '"' << c.text << '"';

    EXPECT_EQ(VernierEditText(-3.7), "-3");
    EXPECT_EQ(VernierEditText(99.9), "99");
    EXPECT_EQ(VernierEditText(-0.5), "0");

    const DateTime t = At(8, 5, 0, 250);
    EXPECT_EQ(FormatDateTime(WithDate(t, 2016, 2, 29), "yyyy-MM-dd HH:mm:ss.zzz"),
              "2016-02-29 08:05:00.250");
    EXPECT_EQ(FormatDateTime(WithTimeOfDay(t, 23, 59, 58, 0), "yyyy-MM-dd HH:mm:ss.zzz"),
              "2015-03-16 23:59:58.000");
}
