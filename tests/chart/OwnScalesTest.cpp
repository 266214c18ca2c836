#include "chart/OwnScales.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();
// The demo's shared axis: valueMin -10 and valueMax 240, ten units beyond each.
const ZoomWindow Span{-20, 250};
} // namespace

TEST(OwnScales, MapsRealValuesOntoTheSharedSpanAndBack) {
    struct Case {
        const char* what;
        double low, high;
        double real;
        double drawn; // expected position on the shared axis
    };
    const Case cases[] = {
        {"ordinary range, bottom", 0, 1.6, 0, -20},
        {"ordinary range, top", 0, 1.6, 1.6, 250},
        {"ordinary range, middle", 0, 1.6, 0.8, 115},
        {"negative range", -50, -10, -30, 115},
        {"range given high to low", 1.6, 0, 0.4, 47.5},
        {"beyond the range extrapolates", 0, 100, 110, 277},
        {"empty range stays on the shared axis", 5, 5, 42, 42},
        {"no range stays on the shared axis", NaN, 10, 42, 42},
        {"infinite end stays on the shared axis", 0, Inf, 42, 42},
    };
    for (const Case& c : cases) {
        const ScaleMapping m{UsableScale(c.low, c.high), Span};
        EXPECT_NEAR(m.ToDrawn(c.real), c.drawn, 1e-9) << c.what;
        EXPECT_NEAR(m.ToReal(m.ToDrawn(c.real)), c.real, 1e-9) << c.what;
    }
    EXPECT_FALSE(UsableScale(5, 5));
    EXPECT_FALSE(UsableScale(0, NaN));
    // A shared span without width maps nothing.
    EXPECT_EQ((ScaleMapping{UsableScale(0, 1.6), {3, 3}}.ToDrawn(1.0)), 1.0);
}

TEST(OwnScales, ZoomingTheSharedAxisZoomsEveryScaleByTheSameFraction) {
    // The lower half of the shared axis, then a tenth in the middle.
    const ScaleMapping pressure{UsableScale(0, 1.6), Span};
    const ScaleMapping temperature{UsableScale(-10, 240), Span};
    const ScaleMapping shared{std::nullopt, Span};
    const ZoomWindow lowerHalf{-20, 115};
    EXPECT_NEAR(pressure.RealWindow(lowerHalf).minimum, 0, 1e-12);
    EXPECT_NEAR(pressure.RealWindow(lowerHalf).maximum, 0.8, 1e-12);
    EXPECT_NEAR(temperature.RealWindow(lowerHalf).maximum, 115, 1e-12);
    EXPECT_EQ(shared.RealWindow(lowerHalf), lowerHalf);
    const ZoomWindow tenth{101.5, 128.5};
    EXPECT_NEAR(pressure.RealWindow(tenth).minimum, 0.72, 1e-12);
    EXPECT_NEAR(pressure.RealWindow(tenth).maximum, 0.88, 1e-12);
}

TEST(OwnScales, AxisChannelTitleAndDefault) {
    EXPECT_EQ(AxisChannelTitle(2, "Mpa"), "Channel 2 (Mpa)");
    EXPECT_EQ(AxisChannelTitle(12, ""), "Channel 12");
    // The first shown channel with a range of its own; else the first shown.
    EXPECT_EQ(DefaultAxisSeries({false, true, true}, {true, false, true}), 2u);
    EXPECT_EQ(DefaultAxisSeries({false, true, true}, {true, false, false}), 1u);
    EXPECT_EQ(DefaultAxisSeries({false, false}, {true, true}), std::nullopt);
    // Hiding the axis channel moves the axis on to the next shown one, wrapping round.
    EXPECT_EQ(NextShownSeries({false, false, true, true}, 1), 2u);
    EXPECT_EQ(NextShownSeries({true, false, false, false}, 2), 0u);
    EXPECT_EQ(NextShownSeries({false, false, false}, 0), std::nullopt);
}

TEST(OwnScales, PicturesListEveryScaleAndAxisTextsReadOnPaper) {
    EXPECT_EQ(ScaleRangeText("Channel 02", {0, 1.6f}, "Mpa"), "Channel 02  0\u20131.6 Mpa");
    EXPECT_EQ(ScaleRangeText("Channel 01", {-20, 150}, "\u2103"),
              "Channel 01  -20\u2013150 \u2103");
    EXPECT_EQ(ScaleRangeText("Channel03", {0.72, 0.8799999}, ""), "Channel03  0.72\u20130.88");
    EXPECT_EQ(ScaleRangeText("Channel 04", {-0.0001, 2.5}, "%"), "Channel 04  0\u20132.5 %");

    const RgbColour white{255, 255, 255}, black{0, 0, 0};
    EXPECT_NEAR(ContrastRatio(white, black), 21, 1e-9);
    EXPECT_NEAR(ContrastRatio(white, white), 1, 1e-9);
    EXPECT_EQ(InvertedColour({255, 0, 0}), (RgbColour{0, 255, 255}));
    // Series colours as they print (inverted): cyan, green, yellow, grey, made dark enough.
    for (const RgbColour paper : {RgbColour{0, 255, 255}, RgbColour{0, 255, 0},
                                  RgbColour{255, 255, 0}, RgbColour{128, 128, 128}}) {
        EXPECT_LT(ContrastRatio(paper, white), 4.5);
        const RgbColour readable = ReadableOnWhite(paper);
        EXPECT_GE(ContrastRatio(readable, white), 4.5);
        // Darker only: the hue stays.
        EXPECT_LE(readable.red, paper.red);
        EXPECT_LE(readable.green, paper.green);
        EXPECT_LE(readable.blue, paper.blue);
        EXPECT_EQ(readable.red * paper.green, readable.green * paper.red);
    }
    EXPECT_EQ(ReadableOnWhite({0, 0, 255}), (RgbColour{0, 0, 255})); // blue reads already
}

TEST(OwnScales, LiveRunSpansTheAlarmLimitsWidenedByTheValuesSeen) {
    LiveScales scales;
    scales.Reset(2);
    EXPECT_EQ(scales.Scale(0, 20, 80), (ZoomWindow{20, 80}));
    scales.See(0, 50);
    scales.See(0, NaN); // a break
    EXPECT_EQ(scales.Scale(0, 20, 80), (ZoomWindow{20, 80}));
    scales.See(0, 95);
    scales.See(0, 10);
    EXPECT_EQ(scales.Scale(0, 20, 80), (ZoomWindow{10, 95}));
    // No limits set (both 0) and one value seen: from 0 to that value.
    scales.See(1, 7);
    EXPECT_EQ(scales.Scale(1, 0, 0), (ZoomWindow{0, 7}));
    EXPECT_EQ(scales.Scale(1, NaN, NaN), std::nullopt); // one value and no limits: empty
    scales.Reset(2);
    EXPECT_EQ(scales.Scale(0, 0, 0), std::nullopt); // nothing to span: the shared axis
}
