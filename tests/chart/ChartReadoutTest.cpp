#include "chart/ChartReadout.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

const DateTime T = 42079 + 10.0 / 24; // 2015-03-16 10:00:00
constexpr float GapLevel = -20.0f;    // valueMin - 10 with valueMin = -10

struct Point {
    double key;
    double value;
};

DateTime At(double seconds) {
    return T + seconds * OneSecond;
}

std::string Read(const std::vector<Point>& points, DateTime x) {
    return ReadoutEntry("Channel 01", "\xA1\xE6", // ℃ in GBK
                        ReadSeriesAt(points.data(), points.size(), x, ReadoutSecond(x), GapLevel));
}

} // namespace

TEST(FindNearestPoint, BisectionWithTheTieToTheEarlierPoint) {
    const std::vector<Point> three = {{At(0), 1}, {At(5), 2}, {At(10), 3}};
    EXPECT_EQ(FindNearestPoint(three.data(), 3, At(8)), 2u);
    EXPECT_EQ(FindNearestPoint(three.data(), 3, At(7)), 1u);
    EXPECT_EQ(FindNearestPoint(three.data(), 3, At(-100)), 0u);
    EXPECT_EQ(FindNearestPoint(three.data(), 3, At(100)), 2u);
    EXPECT_EQ(FindNearestPoint(three.data(), 0, At(0)), std::nullopt);

    // Small keys keep the distances exact, so both neighbours are equally near.
    const std::vector<Point> exact = {{1, 0}, {2, 0}, {4, 0}};
    EXPECT_EQ(FindNearestPoint(exact.data(), 3, 1.5), 0u);
    EXPECT_EQ(FindNearestPoint(exact.data(), 3, 3.0), 1u);
    EXPECT_EQ(FindNearestPoint(exact.data(), 3, 3.5), 2u);

    // Exactly on points of a long series, probed midpoints or not.
    std::vector<Point> longSeries;
    for (int i = 0; i < 10001; ++i)
        longSeries.push_back({At(i), double(i)});
    for (size_t i : {0u, 1u, 3333u, 5000u, 9999u, 10000u})
        EXPECT_EQ(FindNearestPoint(longSeries.data(), longSeries.size(), longSeries[i].key), i);
}

TEST(Readout, TitleAndEntryTexts) {
    EXPECT_EQ(ReadoutTitle(At(8.4)), "Longitudinal vernier X: 2015-03-16 10:00:08");
    EXPECT_EQ(ReadoutEntry("Channel 01", "\xA1\xE6", 23.5f), "Channel 01 23.500\xA1\xE6");
    EXPECT_EQ(ReadoutEntry("Channel 01", "\xA1\xE6", std::nullopt), "Channel 01  ---");
    EXPECT_EQ(ReadoutEntry("Channel 02", "", -0.0004f), "Channel 02 -0.000");
}

TEST(Readout, SeriesReadsWithinItsSecondsOnly) {
    const std::vector<Point> three = {{At(0), 1.25}, {At(5), 2.5}, {At(10), 3.75}};
    EXPECT_EQ(Read(three, At(8)), "Channel 01 3.750\xA1\xE6");
    EXPECT_EQ(Read(three, At(7)), "Channel 01 2.500\xA1\xE6");
    // Up to a second after the last point formats to its second and still reads it.
    EXPECT_EQ(Read(three, At(10.9)), "Channel 01 3.750\xA1\xE6");
    EXPECT_EQ(Read(three, At(11)), "Channel 01  ---");
    EXPECT_EQ(Read(three, At(-0.5)), "Channel 01  ---");
    EXPECT_EQ(Read(three, At(-1)), "Channel 01  ---");

    const std::vector<Point> single = {{At(3.2), 7}};
    EXPECT_EQ(Read(single, At(3)), "Channel 01 7.000\xA1\xE6");
    EXPECT_EQ(Read(single, At(3.9)), "Channel 01 7.000\xA1\xE6");
    EXPECT_EQ(Read(single, At(4)), "Channel 01  ---");
    EXPECT_EQ(Read({}, At(3)), "Channel 01  ---");
}

TEST(Readout, GapSamplesReadAsNoValue) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Point> gaps = {{At(0), 1}, {At(1), nan}, {At(2), GapLevel}, {At(3), -19.9}};
    EXPECT_EQ(Read(gaps, At(1)), "Channel 01  ---");
    EXPECT_EQ(Read(gaps, At(2)), "Channel 01  ---");
    EXPECT_EQ(Read(gaps, At(3)), "Channel 01 -19.900\xA1\xE6");
}

TEST(PairReadout, ValuesAtBothCursorsTheirDifferenceAndTheElapsedTime) {
    // 10:00:00 23.5, 10:00:05 gap, 10:00:10 25.25; the chart's gap points are NaN.
    const std::vector<Point> points = {
        {At(0), 23.5}, {At(5), std::numeric_limits<double>::quiet_NaN()}, {At(10), 25.25}};
    const std::vector<ReadoutSeries<Point>> series = {
        {"Channel 01", "C", points.data(), points.size()}};
    struct Case {
        double a, b;
        const char* title;
        const char* entry;
    };
    const Case cases[] = {
        {0, 10, "A 2015-03-16 10:00:00 \u00B7 B 2015-03-16 10:00:10 \u00B7 \u0394t 00:00:10",
         "Channel 01  A 23.500C  B 25.250C  B\u2212A 1.750C"},
        {10, 0, "A 2015-03-16 10:00:10 \u00B7 B 2015-03-16 10:00:00 \u00B7 \u0394t -00:00:10",
         "Channel 01  A 25.250C  B 23.500C  B\u2212A -1.750C"},
        {5, 10, "A 2015-03-16 10:00:05 \u00B7 B 2015-03-16 10:00:10 \u00B7 \u0394t 00:00:05",
         "Channel 01  A -  B 25.250C  B\u2212A -"}, // gap at A
        {0, 5.2, "A 2015-03-16 10:00:00 \u00B7 B 2015-03-16 10:00:05 \u00B7 \u0394t 00:00:05",
         "Channel 01  A 23.500C  B -  B\u2212A -"}, // gap at B
        {0, 3600, "A 2015-03-16 10:00:00 \u00B7 B 2015-03-16 11:00:00 \u00B7 \u0394t 01:00:00",
         "Channel 01  A 23.500C  B -  B\u2212A -"}, // B outside the series
        {0, 0, "A 2015-03-16 10:00:00 \u00B7 B 2015-03-16 10:00:00 \u00B7 \u0394t 00:00:00",
         "Channel 01  A 23.500C  B 23.500C  B\u2212A 0.000C"},
    };
    for (const Case& c : cases) {
        const auto texts = ReadOutPair(At(c.a), At(c.b), series, GapLevel);
        ASSERT_TRUE(texts);
        EXPECT_EQ(texts->title, c.title);
        EXPECT_EQ(texts->entries.at(0), c.entry);
    }
    EXPECT_FALSE(ReadOutPair(0.0, At(0), series, GapLevel));
}

TEST(PairReadout, ElapsedTimeCountsTheSecondsTheTitleShows) {
    // 09:00:00.9 shows as 09:00:00 and 10:30:00.1 as 10:30:00: 01:30:00 as the texts say.
    EXPECT_EQ(ElapsedText(At(-3600 + 0.9), At(1800.1)), "01:30:00");
    EXPECT_EQ(ElapsedText(At(0), At(3 * 86400 + 61)), "72:01:01");
    EXPECT_EQ(ElapsedText(At(0), At(120 * 3600)), "120:00:00");
}
