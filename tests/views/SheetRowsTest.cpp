#include "views/SheetRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

const DateTime T0 = 42079.375; // 2015-03-16 09:00:00

ChannelInfo Channel(int16_t number, std::vector<double> seconds, std::vector<float> values) {
    ChannelInfo c;
    c.channel = number;
    for (double s : seconds)
        c.times.push_back(T0 + s * OneSecond);
    c.values = std::move(values);
    return c;
}

SheetRows BuildAll(const std::vector<ChannelInfo>& channels) {
    std::vector<ChannelSampleRange> ranges;
    for (size_t p = 0; p < channels.size(); ++p)
        ranges.push_back({static_cast<int16_t>(p), channels[p].times.size(), std::nullopt});
    return BuildSheetRows(channels, ranges);
}

// Rows as (seconds after T0, entries) for readable expectations.
struct Row {
    long long second;
    std::vector<SheetEntry> entries;
    friend bool operator==(const Row&, const Row&) = default;
};

std::vector<Row> Flatten(const SheetRows& rows) {
    std::vector<Row> out;
    for (size_t r = 0; r < rows.RowCount(); ++r) {
        auto e = rows.Entries(r);
        out.push_back({std::llround((rows.Time(r) - T0) / OneSecond), {e.begin(), e.end()}});
    }
    return out;
}

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.second << "s:";
    for (const SheetEntry& e : row.entries)
        *os << " (" << e.channelPos << "," << e.sampleIndex << ")";
}

} // namespace

struct RowCase {
    const char* name;
    std::vector<ChannelInfo> channels;
    std::vector<Row> expected;
};

class RowIndex : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowIndex, BuildsSpecifiedRows) {
    EXPECT_EQ(Flatten(BuildAll(GetParam().channels)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RowIndex,
    ::testing::Values(
        RowCase{"SameInstants",
                {Channel(1, {0, 1}, {1, 2}), Channel(2, {0, 1}, {3, 4})},
                {{0, {{0, 0}, {1, 0}}}, {1, {{0, 1}, {1, 1}}}}},
        RowCase{"OneChannelAtAGap",
                {Channel(1, {0, 1, 2}, {1, GapValue, 3}), Channel(2, {0, 1, 2}, {4, 5, 6})},
                {{0, {{0, 0}, {1, 0}}}, {1, {{1, 1}}}, {2, {{0, 2}, {1, 2}}}}},
        RowCase{"EveryChannelAtAGapGivesNoRow",
                {Channel(1, {0, 1}, {1, GapValue}), Channel(2, {0, 1}, {2, -158.01f})},
                {{0, {{0, 0}, {1, 0}}}}},
        RowCase{"OneSecondApartInTimeOrder",
                {Channel(1, {1, 3}, {1, 2}), Channel(2, {0, 2}, {3, 4})},
                {{0, {{1, 0}}}, {1, {{0, 0}}}, {2, {{1, 1}}}, {3, {{0, 1}}}}},
        RowCase{"DuplicateInstantsStayAdjacent",
                {Channel(1, {0, 0, 1}, {1, 2, 3}), Channel(2, {0}, {4})},
                {{0, {{0, 0}, {0, 1}, {1, 0}}}, {1, {{0, 2}}}}},
        RowCase{"OutOfOrderTimesAreSorted",
                {Channel(1, {2, 0, 1}, {1, 2, 3}), Channel(2, {1, 0}, {4, 5})},
                {{0, {{0, 1}, {1, 1}}}, {1, {{0, 2}, {1, 0}}}, {2, {{0, 0}}}}},
        RowCase{"EmptyRecording", {}, {}},
        RowCase{
            "ChannelWithoutSamples", {Channel(1, {}, {}), Channel(2, {5}, {1})}, {{5, {{1, 0}}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RowIndex, InstantsThatDifferInTheLastBitsShareARow) {
    // Times computed along different paths land a few ulps apart; entries still ascend.
    auto a = Channel(1, {0}, {1});
    auto b = Channel(2, {0}, {2});
    b.times[0] = std::nextafter(a.times[0], 0.0);
    const SheetRows rows = BuildAll({a, b});
    ASSERT_EQ(rows.RowCount(), 1u);
    const auto entries = rows.Entries(0);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].channelPos, 0);
    EXPECT_EQ(rows.Time(0), a.times[0]); // the row's time is its first entry's
}

TEST(RowIndex, ScreenedRangeSkipsEarlySamplesAndStopsAtTheEnd) {
    const std::vector<ChannelInfo> channels = {Channel(1, {0, 1, 2, 3}, {1, 2, 3, 4})};
    const ChannelSampleRange range{0, 3, T0 + 1 * OneSecond};
    const SheetRows rows = BuildSheetRows(channels, std::span(&range, 1));
    EXPECT_EQ(Flatten(rows), (std::vector<Row>{{1, {{0, 1}}}, {2, {{0, 2}}}}));
}

TEST(RowIndex, SamplesWithoutAFiniteTimeAreLeftOut) {
    auto c = Channel(1, {0, 1}, {1, 2});
    c.times[0] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Flatten(BuildAll({c})), (std::vector<Row>{{1, {{0, 1}}}}));
}

// The literal algorithm: one record per shown sample, one sort by (time within SameDouble,
// channel position), then one merge against the time of the element that opened the row.
// Equal elements are taken in sample order.
std::vector<Row> ReferenceRows(const std::vector<ChannelInfo>& channels) {
    struct Data {
        int16_t pos;
        int32_t index;
        DateTime time;
    };
    std::vector<Data> list;
    for (size_t p = 0; p < channels.size(); ++p)
        for (size_t i = 0; i < channels[p].times.size(); ++i)
            if (!IsGapValue(channels[p].values[i]))
                list.push_back(
                    {static_cast<int16_t>(p), static_cast<int32_t>(i), channels[p].times[i]});
    std::sort(list.begin(), list.end(), [](const Data& a, const Data& b) {
        if (!SameDouble(a.time, b.time))
            return CompareTimes(a.time, b.time) < 0;
        if (a.pos != b.pos)
            return a.pos < b.pos;
        return a.index < b.index;
    });
    std::vector<Row> rows;
    DateTime opened = 0;
    for (const Data& d : list) {
        if (rows.empty() || !SameDouble(d.time, opened)) {
            opened = d.time;
            rows.push_back({std::llround((d.time - T0) / OneSecond), {}});
        }
        rows.back().entries.push_back({d.pos, d.index});
    }
    return rows;
}

TEST(RowIndex, MergeAndSortBothGiveTheSpecifiedOrder) {
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        const int channelCount = 1 + static_cast<int>(random() % 6);
        const bool shuffleOne = round % 3 == 0; // forces the full sort
        std::vector<ChannelInfo> channels;
        for (int c = 0; c < channelCount; ++c) {
            ChannelInfo ch;
            ch.channel = static_cast<int16_t>(c + 1);
            long long second = random() % 3;
            const int n = static_cast<int>(random() % 40);
            for (int i = 0; i < n; ++i) {
                // Same instants computed slightly differently, duplicates and gaps.
                const double jitter = (random() % 3) * 1e-12;
                ch.times.push_back(T0 + jitter + static_cast<double>(second) * OneSecond);
                ch.values.push_back(random() % 7 == 0 ? GapValue : static_cast<float>(i));
                second += random() % 4 == 0 ? 0 : 1 + static_cast<long long>(random() % 2);
            }
            channels.push_back(std::move(ch));
        }
        if (shuffleOne && !channels[0].times.empty()) {
            auto& ch = channels[0];
            std::vector<size_t> order(ch.times.size());
            for (size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::shuffle(order.begin(), order.end(), random);
            ChannelInfo shuffled = ch;
            for (size_t i = 0; i < order.size(); ++i) {
                shuffled.times[i] = ch.times[order[i]];
                shuffled.values[i] = ch.values[order[i]];
            }
            ch = shuffled;
        }
        const auto actual = Flatten(BuildAll(channels));
        const auto expected = ReferenceRows(channels);
        ASSERT_EQ(actual.size(), expected.size()) << "round " << round;
        for (size_t r = 0; r < actual.size(); ++r) {
            EXPECT_EQ(actual[r].second, expected[r].second) << "round " << round;
            // Duplicates of one channel may come in either sample order; compare as sets per
            // channel position, and the position order exactly.
            auto a = actual[r].entries, e = expected[r].entries;
            std::vector<int16_t> pa, pe;
            for (auto& x : a)
                pa.push_back(x.channelPos);
            for (auto& x : e)
                pe.push_back(x.channelPos);
            EXPECT_EQ(pa, pe) << "round " << round << " row " << r;
            auto bySample = [](const SheetEntry& x, const SheetEntry& y) {
                return std::pair(x.channelPos, x.sampleIndex) <
                       std::pair(y.channelPos, y.sampleIndex);
            };
            std::sort(a.begin(), a.end(), bySample);
            std::sort(e.begin(), e.end(), bySample);
            EXPECT_EQ(a, e) << "round " << round << " row " << r;
        }
    }
}
