#include "data/Recording.h"
#include "data/Text.h"
#include "data/UnitNames.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

TEST(Comparisons, SingleTolerance) {
    EXPECT_TRUE(SameSingle(0.0f, 0.0f));
    EXPECT_FALSE(SameSingle(0.0f, 1e-30f));
    EXPECT_TRUE(SameSingle(100.0f, 100.009f));
    EXPECT_FALSE(SameSingle(100.0f, 100.011f));
    EXPECT_EQ(CompareSingle(100.011f, 100.0f), 1);
    EXPECT_EQ(CompareSingle(99.0f, 100.0f), -1);
}

TEST(Comparisons, GapMarker) {
    EXPECT_TRUE(IsGapValue(-158.0f));
    EXPECT_TRUE(IsGapValue(-158.01f));
    EXPECT_FALSE(IsGapValue(-157.9f));
    uint32_t bits;
    std::memcpy(&bits, &GapValue, sizeof bits);
    EXPECT_EQ(bits, 0xC31E0000u);
}

TEST(Comparisons, GapCountAgreesWithTheMarkerTest) {
    // Every float from well below the run of gap-like values to well above it, then values
    // far away and the special ones.
    std::vector<float> values;
    float v = GapValueRun().lowest;
    for (int i = 0; i < 3000; ++i)
        v = std::nextafter(v, -INFINITY);
    while (v < GapValueRun().highest + 0.05f) {
        values.push_back(v);
        v = std::nextafter(v, INFINITY);
    }
    for (float far : {0.0f, -0.0f, 158.0f, -157.9f, -158.1f, -1e6f, 1e-30f, INFINITY, -INFINITY,
                      NAN, std::numeric_limits<float>::denorm_min()})
        values.push_back(far);
    size_t expected = 0;
    for (float value : values) {
        EXPECT_EQ(CountGapValues({value}), IsGapValue(value) ? 1u : 0u) << value;
        expected += IsGapValue(value) ? 1 : 0;
    }
    EXPECT_GT(expected, 1000u);
    EXPECT_EQ(CountGapValues(values), expected);
    // The store counts its gap markers as it takes them, as floats and as raw words alike.
    const SampleValues stored(values);
    EXPECT_EQ(stored.GapCount(), expected);
    EXPECT_EQ(stored.CountGaps(0, stored.size()), expected);
}

TEST(Comparisons, TimesWithinAMillisecond) {
    const DateTime t = 42079.375;
    EXPECT_EQ(CompareTimes(t, t + 0.5 * OneMillisecond), 0);
    EXPECT_EQ(CompareTimes(t + 2 * OneMillisecond, t), 1);
    EXPECT_EQ(CompareTimes(t, t + 2 * OneMillisecond), -1);
}

TEST(Comparisons, DoubleTolerance) {
    EXPECT_TRUE(SameDouble(42079.375, 42079.375 + 1e-9));
    EXPECT_FALSE(SameDouble(42079.375, 42079.375 + 1e-7));
    EXPECT_FALSE(SameDouble(0.0, 1e-300));
    EXPECT_EQ(CompareDouble(2.0, 1.0), 1);
    EXPECT_EQ(CompareDouble(1.0, 1.0), 0);
}

TEST(UnitNames, TableEntriesAndFallback) {
    EXPECT_EQ(UnitNames[0], "m3/h");
    EXPECT_EQ(UnitNames[16], "mmH2O");
    EXPECT_EQ(UnitNames[49], "mH20");
    EXPECT_EQ(UnitNames[20], "%");
    EXPECT_EQ(UnitNameForCode(19), "\xA1\xE6");
    EXPECT_EQ(UnitNameForCode(300), "\xB5\xA5\xCE\xBB");
    EXPECT_EQ(UnitNameForCode(-1), UnitNames[94]);
    EXPECT_EQ(GbkToUtf8(UnitNames[19]), "℃");
    EXPECT_EQ(GbkToUtf8(UnitNames[72]), "％RH");
    EXPECT_EQ(GbkToUtf8(UnitNames[70]), "℉");
    EXPECT_EQ(GbkToUtf8(UnitNames[94]), "单位");
    EXPECT_EQ(Utf8ToGbk("％LEL"), UnitNames[60]);
}

TEST(Text, BadBytesAreReplacedNotDropped) {
    EXPECT_EQ(GbkToUtf8("a\xFF"
                        "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf8ToGbk("x\xF0\x9F\x98\x80y"), "x?y"); // an emoji GBK cannot hold
}
