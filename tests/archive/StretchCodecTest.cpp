// A channel's entries cut into the archive's stretches and read back.
#include "data/archive/StretchCodec.h"

#include <bit>
#include <gtest/gtest.h>

namespace {

const DateTime T0 = *EncodeDateTime({2015, 3, 16, 9, 0, 0});

ChannelInfo Channel(const std::vector<std::pair<double, float>>& secondsAndValues) {
    ChannelInfo channel;
    channel.channel = 3;
    for (const auto& [second, value] : secondsAndValues)
        AppendChannelEntry(channel, T0 + second * OneSecond, value);
    return channel;
}

// n samples from second `from`, `step` seconds apart, value(i).
template <typename Value>
std::vector<std::pair<double, float>> Samples(double from, double step, int n, Value value) {
    std::vector<std::pair<double, float>> entries;
    for (int i = 0; i < n; ++i)
        entries.emplace_back(from + i * step, value(i));
    return entries;
}

std::vector<std::pair<double, float>>
Join(std::vector<std::vector<std::pair<double, float>>> parts) {
    std::vector<std::pair<double, float>> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// One-second samples, every third half a second late.
std::vector<std::pair<double, float>> Jittery(int n) {
    std::vector<std::pair<double, float>> entries;
    for (int i = 0; i < n; ++i)
        entries.emplace_back(i + (i % 3 == 2 ? 0.5 : 0.0), static_cast<float>(i));
    return entries;
}

ChannelInfo RoundTrip(const ChannelInfo& channel, std::vector<Stretch>& stretches,
                      const TimeRange& range = {}) {
    stretches.clear();
    EncodeStretches(channel, stretches);
    ChannelInfo back;
    int64_t samples = 0;
    for (const Stretch& s : stretches)
        EXPECT_TRUE(AppendStretch(s.View(), back, range, samples));
    EXPECT_EQ(samples, SampleCount(back));
    return back;
}

// Times to the millisecond, values bit for bit.
void ExpectSameEntries(const ChannelInfo& expected, const ChannelInfo& actual) {
    ASSERT_EQ(EntryCount(actual), EntryCount(expected));
    for (size_t i = 0; i < EntryCount(expected); ++i) {
        EXPECT_EQ(DateTimeToUnixMilliseconds(actual.times[i]),
                  DateTimeToUnixMilliseconds(expected.times[i]))
            << "entry " << i;
        EXPECT_EQ(std::bit_cast<uint32_t>(actual.values[i]),
                  std::bit_cast<uint32_t>(expected.values[i]))
            << "entry " << i << ": " << actual.values[i] << " for " << expected.values[i];
    }
}

struct CodecCase {
    const char* name;
    std::vector<std::pair<double, float>> entries;
    size_t stretches; // how many the entries take
    int firstFormat;  // the first stretch's value format
    bool firstRegular;
};

TEST(StretchCodecTest, EntriesComeBackAsTheyWereInAsFewStretchesAsTheirShapeAllows) {
    const auto tenths = [](int i) { return static_cast<float>((250 + i % 40) / 10.0); };
    const CodecCase cases[] = {
        {"one-second samples with one decimal", Samples(0, 1, 100, tenths), 1, FormatInt16 + 1,
         true},
        {"ten-second samples", Samples(0, 10, 50, tenths), 1, FormatInt16 + 1, true},
        {"three decimals", Samples(0, 1, 20, [](int i) { return static_cast<float>(i / 1000.0); }),
         1, FormatInt16 + 3, true},
        {"more than a stretch holds", Samples(0, 1, 9000, tenths), 3, FormatInt16 + 1, true},
        {"values no 16-bit number gives back",
         Samples(0, 1, 10, [](int i) { return 0.1234567f * static_cast<float>(i + 1); }), 1,
         FormatFloat32, true},
        {"beyond the 16-bit range", Samples(0, 1, 10, [](int i) { return 40000.0f + i; }), 1,
         FormatFloat32, true},
        {"negative zero", Samples(0, 1, 3, [](int) { return -0.0f; }), 1, FormatFloat32, true},
        {"break points between runs",
         Join({Samples(0, 1, 10, tenths), Samples(10, 7, 2, [](int) { return GapValue; }),
               Samples(20, 1, 10, tenths)}),
         3, FormatInt16 + 1, true},
        {"a break point -158.01 counts as one",
         Join({Samples(0, 1, 10, tenths), Samples(10, 1, 1, [](int) { return -158.01f; })}), 2,
         FormatInt16 + 1, true},
        {"a jittery clock", Jittery(30), 1, FormatInt16, false},
        {"times off the millisecond grid", Samples(0.0004, 1.0003, 12, tenths), 1, FormatInt16 + 1,
         false},
        {"a clock that steps back", Join({Samples(0, 1, 10, tenths), Samples(5, 1, 10, tenths)}), 2,
         FormatInt16 + 1, true},
        {"one instant twice", Join({Samples(0, 1, 10, tenths), Samples(9, 1, 10, tenths)}), 2,
         FormatInt16 + 1, true},
    };
    for (const CodecCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ChannelInfo channel = Channel(c.entries);
        std::vector<Stretch> stretches;
        const ChannelInfo back = RoundTrip(channel, stretches);
        ExpectSameEntries(channel, back);
        EXPECT_EQ(stretches.size(), c.stretches);
        ASSERT_FALSE(stretches.empty());
        EXPECT_EQ(stretches.front().format, c.firstFormat);
        EXPECT_EQ(stretches.front().Regular(), c.firstRegular);
        for (const Stretch& s : stretches)
            EXPECT_LE(s.count, static_cast<int64_t>(MaxStretchEntries));
    }
}

TEST(StretchCodecTest, BreakPointsGetStretchesOfTheirOwn) {
    const ChannelInfo channel =
        Channel({{0, 1.0f}, {1, 2.0f}, {2, GapValue}, {8, GapValue}, {9, 3.0f}, {10, 4.0f}});
    std::vector<Stretch> stretches;
    RoundTrip(channel, stretches);
    ASSERT_EQ(stretches.size(), 3u);
    EXPECT_EQ(stretches[0].kind, StretchKind::Samples);
    EXPECT_EQ(stretches[1].kind, StretchKind::Breaks);
    EXPECT_EQ(stretches[1].count, 2);
    EXPECT_EQ(stretches[1].minTime, DateTimeToUnixMilliseconds(T0 + 2 * OneSecond));
    EXPECT_EQ(stretches[1].maxTime, DateTimeToUnixMilliseconds(T0 + 8 * OneSecond));
    EXPECT_EQ(stretches[2].kind, StretchKind::Samples);
}

TEST(StretchCodecTest, ARangeKeepsTheEntriesWithinItsEnds) {
    const ChannelInfo channel = Channel(Samples(0, 1, 100, [](int i) { return float(i); }));
    std::vector<Stretch> stretches;
    const ChannelInfo back =
        RoundTrip(channel, stretches, {T0 + 10 * OneSecond, T0 + 19 * OneSecond});
    ASSERT_EQ(EntryCount(back), 10u);
    EXPECT_EQ(back.values.front(), 10.0f);
    EXPECT_EQ(back.values.back(), 19.0f);

    ChannelInfo kept = channel;
    KeepEntriesInRange(kept, {T0 + 95 * OneSecond, std::nullopt});
    EXPECT_EQ(EntryCount(kept), 5u);
}

TEST(StretchCodecTest, AStretchWhoseBlobsDoNotFitItsCountIsRefused) {
    std::vector<Stretch> stretches;
    EncodeStretches(Channel(Samples(0, 1, 10, [](int i) { return float(i); })), stretches);
    ASSERT_EQ(stretches.size(), 1u);
    struct Damage {
        const char* name;
        void (*apply)(Stretch&);
    };
    const Damage damages[] = {
        {"values cut short", [](Stretch& s) { s.values.pop_back(); }},
        {"a count beyond the values", [](Stretch& s) { s.count = 11; }},
        {"a negative count", [](Stretch& s) { s.count = -1; }},
        {"an unknown format", [](Stretch& s) { s.format = 9; }},
        {"times that are not eight bytes each", [](Stretch& s) { s.times.assign(12, 0); }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        Stretch s = stretches.front();
        damage.apply(s);
        ChannelInfo back;
        int64_t samples = 0;
        EXPECT_FALSE(AppendStretch(s.View(), back, {}, samples));
        EXPECT_EQ(EntryCount(back), 0u);
    }
}

} // namespace
