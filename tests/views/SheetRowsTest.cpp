#include "views/SheetRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <limits>
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
    // The index reads the channels when asked: they outlive it.
    const std::vector<ChannelInfo> channels = {a, b};
    const SheetRows rows = BuildAll(channels);
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

// The merge as it was written when every row was kept: one row at a time, each channel's leading
// samples at the earliest head's instant, the row's time its first entry's.
struct ExactRow {
    DateTime time;
    std::vector<SheetEntry> entries;
    friend bool operator==(const ExactRow&, const ExactRow&) = default;
};

std::vector<ExactRow> LiteralMerge(const std::vector<ChannelInfo>& channels) {
    std::vector<std::vector<DateTime>> times;
    std::vector<std::vector<float>> values;
    for (const ChannelInfo& c : channels) {
        times.push_back(c.times.ToVector());
        values.push_back(c.values.ToVector());
    }
    std::vector<size_t> index(channels.size(), 0);
    auto settle = [&](size_t k) {
        while (index[k] < times[k].size() && IsGapValue(values[k][index[k]]))
            ++index[k];
    };
    auto head = [&](size_t k) {
        return index[k] < times[k].size() ? times[k][index[k]]
                                          : std::numeric_limits<double>::infinity();
    };
    for (size_t k = 0; k < channels.size(); ++k)
        settle(k);
    std::vector<ExactRow> rows;
    while (true) {
        DateTime earliest = std::numeric_limits<double>::infinity();
        for (size_t k = 0; k < channels.size(); ++k)
            earliest = std::min(earliest, head(k));
        if (earliest == std::numeric_limits<double>::infinity())
            return rows;
        ExactRow row{0, {}};
        for (size_t k = 0; k < channels.size(); ++k)
            while (index[k] < times[k].size() &&
                   (head(k) == earliest || SameDouble(head(k), earliest))) {
                if (row.entries.empty())
                    row.time = head(k);
                row.entries.push_back({static_cast<int16_t>(k), static_cast<int32_t>(index[k])});
                ++index[k];
                settle(k);
            }
        rows.push_back(std::move(row));
    }
}

TEST(RowIndex, RowsFoundWhenAskedAreThoseOfTheLiteralMerge) {
    // Records as the reader stores them: runs of computed times with gap points between, one
    // channel from a later start, one whose records are cut elsewhere (the same instants
    // computed from other record times), one every 2 s, one ending early, a record of interval 0
    // and a raw word that is itself a gap marker.
    std::vector<ChannelInfo> channels(6);
    const DateTime base = T0;
    const DateTime second = OneSecond;
    for (int c = 0; c < 6; ++c) {
        ChannelInfo& ch = channels[static_cast<size_t>(c)];
        ch.channel = static_cast<int16_t>(c + 1);
        ch.values.PreferDivisor(1);
        const int recordLength = c == 2 ? 170 : 300;
        const int interval = c == 3 ? 2 : 1;
        const int first = c == 1 ? 1500 : 0;
        const int last = c == 4 ? 2500 : 6000;
        for (int start = first; start < last; start += recordLength * interval) {
            if (start == 3000 && c != 3) {
                // An interruption: gap points, then the record after it.
                ch.times.push_back(base + (start - 1 + 1) * second);
                ch.values.push_back(GapValue);
                continue;
            }
            const DateTime recordTime = RecorderSecondsToDateTime(479811600 + start);
            const int count = std::min(recordLength, (last - start) / interval);
            ch.times.AppendRun(recordTime, interval * second, 0, static_cast<uint32_t>(count));
            for (int k = 0; k < count; ++k)
                ch.values.push_back(c == 5 && k == 7 ? -158.0f : static_cast<float>(k % 50));
        }
        if (c == 5)
            ch.times.AppendRun(RecorderSecondsToDateTime(479811600 + 7000), 0, 0, 5);
        while (ch.values.size() < ch.times.size())
            ch.values.push_back(1);
    }
    const std::vector<ExactRow> expected = LiteralMerge(channels);
    const SheetRows rows = BuildAll(channels);
    ASSERT_TRUE(rows.FoundWhenAsked());
    ASSERT_GT(rows.RowCount(), 2 * SheetRows::CheckpointRows);
    ASSERT_EQ(rows.RowCount(), expected.size());
    // Walked in one go, read a page at a time, and asked for one row at a time.
    std::vector<ExactRow> walked;
    rows.ForEachRow(0, rows.RowCount(), [&](size_t r, DateTime t, std::span<const SheetEntry> e) {
        EXPECT_EQ(r, walked.size());
        walked.push_back({t, {e.begin(), e.end()}});
        return true;
    });
    ASSERT_EQ(walked.size(), expected.size());
    for (size_t r = 0; r < expected.size(); ++r) {
        ASSERT_EQ(walked[r].entries, expected[r].entries) << "row " << r;
        ASSERT_EQ(std::bit_cast<uint64_t>(walked[r].time),
                  std::bit_cast<uint64_t>(expected[r].time))
            << "row " << r;
    }
    SheetRowsPage page;
    for (size_t first :
         {size_t{0}, size_t{1000}, SheetRows::CheckpointRows - 3, expected.size() - 7}) {
        rows.ReadPage(first, 500, page);
        ASSERT_EQ(page.RowCount(), std::min<size_t>(500, expected.size() - first));
        for (size_t r = first; r < first + page.RowCount(); ++r) {
            const auto entries = page.Entries(r);
            ASSERT_EQ(std::vector<SheetEntry>(entries.begin(), entries.end()), expected[r].entries);
            ASSERT_EQ(page.Time(r), expected[r].time);
        }
    }
    for (size_t r = 0; r < expected.size(); r += 97) {
        ASSERT_EQ(rows.Entries(r), expected[r].entries) << "row " << r;
        ASSERT_EQ(rows.Time(r), expected[r].time) << "row " << r;
    }
}
