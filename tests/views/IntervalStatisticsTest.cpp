#include "views/IntervalStatistics.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

const DateTime T = 42079 + 9.0 / 24; // 2015-03-16 09:00:00

DateTime At(double seconds) {
    return T + seconds * OneSecond;
}

// Samples every 10 s from 09:00:00; two gaps.
ChannelInfo Fixture() {
    ChannelInfo c;
    c.channel = 2;
    c.unit = "Mpa";
    const float values[] = {1.0f, 3.0f, GapValue, 0.5f, 4.0f, 4.0f, GapValue, 2.0f};
    for (int i = 0; i < 8; ++i) {
        c.times.push_back(At(10 * i));
        c.values.push_back(values[i]);
    }
    return c;
}

std::string Csv(const IntervalStatistics& s) {
    return JoinCells(StatisticsCells(2, "Mpa", s), ',');
}

} // namespace

TEST(IntervalStatistics, CountsMinimumMaximumMeanAndDifferenceByHand) {
    const ChannelInfo c = Fixture();
    for (bool ascend : {true, false}) {
        // Whole file: 1, 3, 0.5, 4, 4, 2 (gaps left out); the first of the two maxima.
        EXPECT_EQ(Csv(StatisticsOf(c, At(0), At(70), ascend)),
                  "2,Mpa,6,0.500,2015-03-16 09:00:30,4.000,2015-03-16 09:00:40,2.417,1.000,"
                  "2.000,1.000\n");
        // Reversed ends, both included: 3, 0.5, 4.
        EXPECT_EQ(Csv(StatisticsOf(c, At(40), At(10), ascend)),
                  "2,Mpa,3,0.500,2015-03-16 09:00:30,4.000,2015-03-16 09:00:40,2.500,3.000,"
                  "4.000,1.000\n");
        // One sample; an end a hair short of a sample still includes it.
        EXPECT_EQ(Csv(StatisticsOf(c, At(9.9995), At(15), ascend)),
                  "2,Mpa,1,3.000,2015-03-16 09:00:10,3.000,2015-03-16 09:00:10,3.000,3.000,"
                  "3.000,0.000\n");
        // None: between samples, only a gap, before the file.
        EXPECT_EQ(Csv(StatisticsOf(c, At(11), At(19), ascend)), "2,Mpa,0,,,,,,,,\n");
        EXPECT_EQ(Csv(StatisticsOf(c, At(20), At(20), ascend)), "2,Mpa,0,,,,,,,,\n");
        EXPECT_EQ(Csv(StatisticsOf(c, At(-100), At(-1), ascend)), "2,Mpa,0,,,,,,,,\n");
    }
    EXPECT_TRUE(TimesAscend(c));
}

TEST(IntervalStatistics, ScansAChannelWhoseTimesDoNotAscend) {
    ChannelInfo c = Fixture();
    std::swap(c.times[1], c.times[5]); // 3.0 now at 09:00:50, 4.0 at 09:00:10
    ASSERT_FALSE(TimesAscend(c));
    const IntervalStatistics s = StatisticsOf(c, At(5), At(15), false);
    EXPECT_EQ(s.count, 1u);
    EXPECT_EQ(s.maximum, 4.0f);
}

TEST(IntervalStatistics, IndicesOfTheInterval) {
    const ChannelInfo c = Fixture();
    EXPECT_EQ(IntervalIndices(c.times, At(10), At(30)), (std::pair<size_t, size_t>{1, 4}));
    EXPECT_EQ(IntervalIndices(c.times, At(71), At(80)), (std::pair<size_t, size_t>{8, 8}));
    EXPECT_EQ(IntervalIndices({}, At(0), At(1)), (std::pair<size_t, size_t>{0, 0}));
    EXPECT_EQ(JoinCells(StatisticsColumns(), ','),
              "channel,unit,count,min,min_time,max,max_time,mean,first,last,difference\n");
}

TEST(IntervalStatistics, BisectedBlocksAgreeWithTheScanOverALongChannel) {
    // 1001 samples a second apart, a gap every 97th, the extremes more than once.
    ChannelInfo c;
    for (int i = 0; i <= 1000; ++i) {
        c.times.push_back(At(i));
        c.values.push_back(i % 97 == 13 ? GapValue : static_cast<float>((i * 37) % 101) - 50.5f);
    }
    for (const auto& [from, to] : {std::pair{0.0, 1000.0}, {3.0, 6.0}, {5.0, 998.0}}) {
        const IntervalStatistics fast = StatisticsOf(c, At(from), At(to), true);
        const IntervalStatistics scan = StatisticsOf(c, At(from), At(to), false);
        EXPECT_EQ(fast.count, scan.count) << from;
        EXPECT_EQ(fast.minimum, scan.minimum) << from;
        EXPECT_EQ(fast.minimumTime, scan.minimumTime) << from;
        EXPECT_EQ(fast.maximum, scan.maximum) << from;
        EXPECT_EQ(fast.maximumTime, scan.maximumTime) << from;
        EXPECT_NEAR(fast.mean, scan.mean, 1e-9) << from;
        EXPECT_EQ(fast.first, scan.first) << from;
        EXPECT_EQ(fast.last, scan.last) << from;
    }
}

TEST(IntervalStatistics, ValuesThatAreNotFiniteAreLeftOutLikeGapsByBothScans) {
    // Thirteen samples: the bisected scan takes four at a time and the last one alone.
    ChannelInfo clean;
    for (int i = 0; i < 13; ++i) {
        clean.times.push_back(At(i));
        clean.values.push_back(static_cast<float>((i * 5) % 13) - 4.0f);
    }
    constexpr float inf = std::numeric_limits<float>::infinity();
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), inf, -inf};
    for (float value : bad)
        for (size_t at : {size_t{0}, size_t{6}, size_t{12}, size_t{99}}) {
            // 99: all three positions at once.
            ChannelInfo withGap = clean, withValue = clean;
            for (size_t i : at == 99 ? std::vector<size_t>{0, 6, 12} : std::vector<size_t>{at}) {
                withGap.values[i] = GapValue;
                withValue.values[i] = value;
            }
            const IntervalStatistics expected = StatisticsOf(withGap, At(0), At(12), false);
            ASSERT_EQ(expected.count, at == 99 ? 10u : 12u);
            for (bool ascend : {true, false}) {
                SCOPED_TRACE(std::to_string(value) + " at " + std::to_string(at) +
                             (ascend ? ", bisected" : ", scanned"));
                const IntervalStatistics s = StatisticsOf(withValue, At(0), At(12), ascend);
                EXPECT_EQ(s.count, expected.count);
                EXPECT_EQ(s.minimum, expected.minimum);
                EXPECT_EQ(s.minimumTime, expected.minimumTime);
                EXPECT_EQ(s.maximum, expected.maximum);
                EXPECT_EQ(s.maximumTime, expected.maximumTime);
                EXPECT_DOUBLE_EQ(s.mean, expected.mean);
                EXPECT_EQ(s.first, expected.first);
                EXPECT_EQ(s.last, expected.last);
            }
        }
}
