// Joining recorder files into one recording, on small files laid out record by record.
#include "data/RecordingJoin.h"

#include "data/RecorderFileWriter.h"
#include "data/Text.h"
#include "data/UnitNames.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// 2015-03-16 09:00:00 in recorder seconds.
constexpr int32_t T0 = 479811600;

DateTime At(int second) {
    return RecorderSecondsToDateTime(T0 + second);
}

// One channel of a fixture file: one record of samples from `start` (seconds after the file's
// base, T0 unless given), a second apart unless given; decimal code 4, so a raw sample is its
// value.
struct ChannelShape {
    int start = 0;
    std::vector<int16_t> raw;
    int16_t unitCode = 19; // ℃
    int16_t high = 1000;
    int16_t low = 0;
    // Further records of the same block, each (start, samples).
    std::vector<std::pair<int, std::vector<int16_t>>> more{};
    uint8_t interval = 1; // seconds between samples, in every record
};

// A file of consecutive channels from firstChannel, its header window [start, end].
struct FileShape {
    std::string name;
    int firstChannel = 1;
    std::vector<ChannelShape> channels;
    int start = 0;
    int end = 0;
    bool truncated = false; // the last channel promises a block the file lacks
    int32_t base = T0;      // recorder seconds that start, end and the records count from
};

std::vector<uint8_t> Bytes(const FileShape& layout) {
    RecorderFileBuilder builder;
    const auto first = static_cast<uint8_t>(layout.firstChannel - 1);
    builder.SetChannelIndices(first, static_cast<uint8_t>(first + layout.channels.size() - 1));
    builder.SetStartTime(
        *HeaderTimeFromDateTime(RecorderSecondsToDateTime(layout.base + layout.start)));
    builder.SetEndTime(
        *HeaderTimeFromDateTime(RecorderSecondsToDateTime(layout.base + layout.end)));
    for (size_t c = 0; c < layout.channels.size(); ++c) {
        const ChannelShape& channel = layout.channels[c];
        const bool short_ = layout.truncated && c + 1 == layout.channels.size();
        builder.SetDescriptor(first + c, {channel.high, channel.low, 4, channel.unitCode,
                                          static_cast<uint16_t>(short_ ? 2 : 1)});
    }
    for (const ChannelShape& channel : layout.channels) {
        std::vector<DataRecord> records{
            {layout.base + channel.start, channel.interval, channel.raw, {}, {}}};
        for (const auto& [start, raw] : channel.more)
            records.push_back({layout.base + start, channel.interval, raw, {}, {}});
        builder.AppendBlock(records);
    }
    return builder.TakeBytes();
}

std::vector<int16_t> Ramp(int16_t from, int count) {
    std::vector<int16_t> raw;
    for (int i = 0; i < count; ++i)
        raw.push_back(static_cast<int16_t>(from + i));
    return raw;
}

// A channel whose clock is set back: a record from `start`, then one from `back`. The second is
// the block's eleventh, so that the erased bytes after its samples end it.
ChannelShape SteppingBack(int start, std::vector<int16_t> raw, int back,
                          std::vector<int16_t> after) {
    ChannelShape channel{start, std::move(raw)};
    channel.more.assign(9, {start, {}});
    channel.more.push_back({back, std::move(after)});
    return channel;
}

// The time the reader gives sample k of a record at `second`, samples a second apart.
DateTime SampleTime(int32_t second, int k) {
    return RecorderSecondsToDateTime(second) + k * OneSecond;
}

std::vector<DateTime> Seconds(int from, int to) {
    std::vector<DateTime> times;
    for (int s = from; s <= to; ++s)
        times.push_back(At(s));
    return times;
}

class RecordingJoinTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("join_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const FileShape& layout, const fs::path& folder = {}) {
        const fs::path target = (folder.empty() ? dir : folder) / layout.name;
        fs::create_directories(target.parent_path());
        EXPECT_FALSE(WriteBinaryFile(target.string(), Bytes(layout)));
        return target.string();
    }

    template <typename Times>
    static void ExpectTimes(const Times& actual, const std::vector<DateTime>& expected) {
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < actual.size(); ++i)
            EXPECT_EQ(CompareTimes(actual[i], expected[i]), 0)
                << "sample " << i << ": " << FormatDateTime(actual[i], ReadoutTimePattern);
    }

    fs::path dir;
};

TEST_F(RecordingJoinTest, OverlappingFilesKeepTheEarlierFilesSamplesInAnyGivenOrder) {
    const std::string a = Write({"a.bin", 1, {{0, Ramp(10, 10)}}, 0, 9});
    const std::string b = Write({"b.bin", 1, {{5, Ramp(50, 10)}}, 5, 14});
    std::vector<float> expected;
    for (int v = 10; v <= 19; ++v)
        expected.push_back(static_cast<float>(v));
    for (int v = 55; v <= 59; ++v)
        expected.push_back(static_cast<float>(v));

    for (const auto& paths : {std::vector{a, b}, std::vector{b, a}}) {
        JoinedRecording joined;
        std::vector<size_t> progress;
        const auto message = ReadJoinedRecording(paths, joined, {}, [&](size_t done, size_t n) {
            EXPECT_EQ(n, 2u);
            progress.push_back(done);
        });
        ASSERT_FALSE(message) << message->text;
        EXPECT_EQ(progress, (std::vector<size_t>{1, 2}));
        ASSERT_EQ(joined.channels.size(), 1u);
        ExpectTimes(joined.channels[0].times, Seconds(0, 14));
        EXPECT_EQ(joined.channels[0].values, expected);
        ASSERT_EQ(joined.files.size(), 2u);
        EXPECT_EQ(joined.files[0].path, a);
        EXPECT_EQ(joined.files[0].keptSamples, 10);
        EXPECT_EQ(joined.files[1].path, b);
        EXPECT_EQ(joined.files[1].keptSamples, 5);
        EXPECT_EQ(joined.info.sampleCount, 15);
        EXPECT_EQ(CompareTimes(joined.info.startTime, At(0)), 0);
        EXPECT_EQ(CompareTimes(joined.info.endTime, At(14)), 0);
        EXPECT_EQ(JoinedSummary(joined), "2 files, 2015-03-16 09:00:00 to 2015-03-16 09:00:14");
    }
}

TEST_F(RecordingJoinTest, SameStartTimesGoByNameAndManyFilesChainInTimeOrder) {
    // Six consecutive files written in scrambled order, two of them starting together.
    std::vector<std::string> paths;
    const int order[] = {3, 0, 5, 1, 4, 2};
    for (int k : order) {
        // f2 starts with f1 and holds the same seconds; f3 follows them.
        const int start = k <= 1 ? k * 10 : (k - 1) * 10;
        paths.push_back(Write({"f" + std::to_string(k) + ".dat",
                               1,
                               {{start, std::vector<int16_t>(10, static_cast<int16_t>(k))}},
                               start,
                               start + 9}));
    }
    JoinedRecording joined;
    ASSERT_FALSE(ReadJoinedRecording(paths, joined));
    ASSERT_EQ(joined.files.size(), 6u);
    for (size_t k = 0; k < 6; ++k)
        EXPECT_EQ(fs::path(joined.files[k].path).filename(), "f" + std::to_string(k) + ".dat");
    EXPECT_EQ(joined.files[2].keptSamples, 0); // f1 already holds every second of f2
    const ChannelInfo& channel = joined.channels.at(0);
    ExpectTimes(channel.times, Seconds(0, 49));
    EXPECT_EQ(channel.values[15], 1.0f);
    EXPECT_EQ(channel.values[25], 3.0f);
    EXPECT_EQ(joined.info.sampleCount, 50);
}

TEST_F(RecordingJoinTest, ChannelsJoinByNumberAscendingAndTheInformationIsTheUnion) {
    // a holds channel 2 only, b channels 1 to 3 right after it.
    const std::string b =
        Write({"b.bin", 1, {{5, Ramp(1, 5), 19, 200, 0}, {5, Ramp(2, 5)}, {5, Ramp(3, 5)}}, 5, 9});
    const std::string a = Write({"a.bin", 2, {{0, Ramp(20, 5), 19, 100, -50}}, 0, 4});
    JoinedRecording joined;
    ASSERT_FALSE(ReadJoinedRecording({b, a}, joined));
    ASSERT_EQ(joined.channels.size(), 3u);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(joined.channels[static_cast<size_t>(c)].channel, c + 1);
    ExpectTimes(joined.channels[0].times, Seconds(5, 9));
    ExpectTimes(joined.channels[1].times, Seconds(0, 9)); // no break: b follows a directly
    EXPECT_EQ(joined.channels[1].values.front(), 20.0f);
    EXPECT_EQ(joined.channels[1].values.back(), 6.0f);
    ExpectTimes(joined.channels[2].times, Seconds(5, 9));
    EXPECT_EQ(joined.info.valueMax, 1000.0f);
    EXPECT_EQ(joined.info.valueMin, -50.0f);
    EXPECT_EQ(joined.info.sampleCount, 20);
    EXPECT_EQ(joined.files[0].keptSamples, 5);
    EXPECT_EQ(joined.files[1].keptSamples, 15);
    // The instrument ranges own scales draw with: a channel in one file keeps its own, a
    // channel in both spans both files' ranges.
    EXPECT_EQ(joined.channels[0].rangeLow, 0.0f);
    EXPECT_EQ(joined.channels[0].rangeHigh, 200.0f);
    EXPECT_EQ(joined.channels[1].rangeLow, -50.0f);
    EXPECT_EQ(joined.channels[1].rangeHigh, 1000.0f);
}

TEST_F(RecordingJoinTest, TimeBetweenFilesBecomesABreak) {
    struct Case {
        int nextStart;
        std::vector<DateTime> gapPoints;
    };
    const Case cases[] = {
        {10, {}},               // the next second: no time left between the files
        {11, {At(10)}},         // one second missing: one point
        {12, {At(10), At(11)}}, // as the reader marks an interruption
        {3600, {At(10), At(3599)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nextStart);
        const std::string a = Write({"a.bin", 1, {{0, Ramp(1, 10)}}, 0, 9});
        const std::string b =
            Write({"b.bin", 1, {{c.nextStart, Ramp(1, 10)}}, c.nextStart, c.nextStart + 9});
        JoinedRecording joined;
        ASSERT_FALSE(ReadJoinedRecording({a, b}, joined));
        const ChannelInfo& channel = joined.channels.at(0);
        std::vector<DateTime> expected = Seconds(0, 9);
        expected.insert(expected.end(), c.gapPoints.begin(), c.gapPoints.end());
        const auto next = Seconds(c.nextStart, c.nextStart + 9);
        expected.insert(expected.end(), next.begin(), next.end());
        ExpectTimes(channel.times, expected);
        for (size_t i = 0; i < c.gapPoints.size(); ++i)
            EXPECT_EQ(channel.values[10 + i], GapValue);
        EXPECT_EQ(joined.info.sampleCount, 20); // gap points are no samples
    }
}

TEST_F(RecordingJoinTest, AFileWhoseClockStepsBackKeepsItsOrderAmongFilesMergedByTime) {
    // a's clock is set back from 09:00:14 to 09:00:00; b overlaps a's second record, c follows.
    const std::string a =
        Write({"a.bin", 1, {SteppingBack(10, Ramp(10, 5), 0, Ramp(0, 5))}, 0, 14});
    const std::string b = Write({"b.bin", 1, {{3, Ramp(100, 5)}}, 3, 7});
    const std::string c = Write({"c.bin", 1, {{20, Ramp(200, 5)}}, 20, 24});
    JoinedRecording joined;
    ASSERT_FALSE(ReadJoinedRecording({c, b, a}, joined));
    const ChannelInfo& channel = joined.channels.at(0);
    // b's 09:00:03 and :04 are a's; its :05 to :07 come before a's first sample, a's samples
    // follow in a's order, c's after them; breaks where no file has samples.
    ExpectTimes(channel.times, {At(5),  At(6),  At(7),  At(8),  At(9),  At(10), At(11), At(12),
                                At(13), At(14), At(0),  At(1),  At(2),  At(3),  At(4),  At(5),
                                At(19), At(20), At(21), At(22), At(23), At(24)});
    const float G = GapValue;
    EXPECT_EQ(channel.values, (std::vector<float>{102, 103, 104, G, G, 10,  11,  12,  13,  14, 0, 1,
                                                  2,   3,   4,   G, G, 200, 201, 202, 203, 204}));
    EXPECT_EQ(joined.files[0].keptSamples, 10);
    EXPECT_EQ(joined.files[1].keptSamples, 3);
    EXPECT_EQ(joined.files[2].keptSamples, 5);
    EXPECT_EQ(joined.info.sampleCount, 18);
}

TEST_F(RecordingJoinTest, AFileKeepsItsOwnRepeatedInstantAndDropsOnlyEarlierFilesOnes) {
    // r's second record starts at its first record's last instant, which the time arithmetic
    // puts a rounding step below the first record's: a base second where it does.
    int32_t base = T0;
    while (RecorderSecondsToDateTime(base + 3) >= SampleTime(base, 3))
        ASSERT_LT(++base, T0 + 100000);
    const std::string e = Write({"e.bin", 1, {{-3, Ramp(50, 5)}}, -3, 1, false, base});
    const std::string r =
        Write({"r.bin", 1, {{0, Ramp(0, 4), 19, 1000, 0, {{3, Ramp(10, 5)}}}}, 0, 7, false, base});
    const std::string l = Write({"l.bin", 1, {{6, Ramp(100, 5)}}, 6, 10, false, base});
    auto timesAlone = [](const std::string& path) {
        RecordingInfo info;
        std::vector<ChannelInfo> channels;
        EXPECT_FALSE(ReadRecorderFile(path, info, channels));
        return channels.at(0).times.ToVector();
    };
    const std::vector<DateTime> rAlone = timesAlone(r), lAlone = timesAlone(l);
    ASSERT_EQ(rAlone.size(), 9u); // the instant twice, read alone

    JoinedRecording joined;
    ASSERT_FALSE(ReadJoinedRecording({l, r, e}, joined));
    const ChannelInfo& channel = joined.channels.at(0);
    // All of e; r but the two seconds e holds; l from the second after r's last.
    std::vector<DateTime> expected = timesAlone(e);
    expected.insert(expected.end(), rAlone.begin() + 2, rAlone.end());
    expected.insert(expected.end(), lAlone.begin() + 2, lAlone.end());
    EXPECT_EQ(channel.times, expected);
    EXPECT_EQ(channel.values,
              (std::vector<float>{50, 51, 52, 53, 54, 2, 3, 10, 11, 12, 13, 14, 102, 103, 104}));
    EXPECT_EQ(joined.files[0].keptSamples, 5);
    EXPECT_EQ(joined.files[1].keptSamples, 7);
    EXPECT_EQ(joined.files[2].keptSamples, 3);
}

TEST_F(RecordingJoinTest, AThirdFileAtAnInstantTheSecondHoldsBesideTheFirstsBreakIsDropped) {
    // Three files starting together. f1 breaks from :08 to :09 (its gap points a second after
    // :07 and a second before :10), f2 holds every second, and f3's :09 lies a rounding step
    // below f1's break point, which lies below f2's :09: a base second where they do.
    int32_t base = T0;
    int f3Start = 1;
    auto f3Nine = [&] { return SampleTime(base + f3Start, 9 - f3Start); };
    auto breakNine = [&] { return RecorderSecondsToDateTime(base + 10) - OneSecond; };
    while (!(breakNine() <= SampleTime(base, 9) && f3Nine() < breakNine())) {
        if (++f3Start == 9) {
            f3Start = 1;
            ASSERT_LT(++base, T0 + 100000);
        }
    }
    const std::string f1 = Write(
        {"f1.bin", 1, {{0, Ramp(10, 8), 19, 1000, 0, {{10, Ramp(20, 3)}}}}, 0, 12, false, base});
    const std::string f2 = Write({"f2.bin", 1, {{0, Ramp(200, 13)}}, 0, 12, false, base});
    const std::string f3 = Write(
        {"f3.bin", 1, {{f3Start, std::vector<int16_t>(13 - f3Start, 31)}}, 0, 12, false, base});
    JoinedRecording joined;
    ASSERT_FALSE(ReadJoinedRecording({f3, f1, f2}, joined));
    const ChannelInfo& channel = joined.channels.at(0);
    ASSERT_EQ(channel.times.size(), 13u); // every second once; f2 fills f1's break
    for (int s = 0; s <= 12; ++s)
        EXPECT_EQ(CompareTimes(channel.times[static_cast<size_t>(s)],
                               RecorderSecondsToDateTime(base + s)),
                  0)
            << s;
    EXPECT_EQ(channel.values[8], 208.0f);
    EXPECT_EQ(channel.values[9], 209.0f);
    EXPECT_EQ(joined.files[0].keptSamples, 11);
    EXPECT_EQ(joined.files[1].keptSamples, 2);
    EXPECT_EQ(joined.files[2].keptSamples, 0);
    EXPECT_EQ(joined.info.sampleCount, 13);
}

TEST_F(RecordingJoinTest, BreaksStayOnlyWhereNoFileRecorded) {
    struct Case {
        const char* what;
        FileShape earlier;
        FileShape later;
        std::vector<int> samples; // seconds of the joined channel's samples, in order
        std::vector<int> gaps;    // seconds of its gap points
    };
    ChannelShape tenSeconds{0, Ramp(0, 7)};
    tenSeconds.interval = 10;
    const Case cases[] = {
        {"a later file fills the earlier one's interruption",
         {"a.bin", 1, {{0, Ramp(0, 5), 19, 1000, 0, {{10, Ramp(10, 5)}}}}, 0, 14},
         {"b.bin", 1, {{3, Ramp(100, 9)}}, 3, 11},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
         {}},
        {"a later file's interruption between an earlier file's 10-second samples",
         {"a.bin", 1, {tenSeconds}, 0, 60},
         {"b.bin", 1, {{21, Ramp(100, 4), 19, 1000, 0, {{35, Ramp(200, 4)}}}}, 21, 38},
         {0, 10, 20, 21, 22, 23, 24, 30, 35, 36, 37, 38, 40, 50, 60},
         {}},
        {"the earlier file's interruption where the later file has none either",
         {"a.bin", 1, {{0, Ramp(0, 5), 19, 1000, 0, {{10, Ramp(10, 5)}}}}, 0, 14},
         {"b.bin", 1, {{12, Ramp(100, 10)}}, 12, 21},
         {0, 1, 2, 3, 4, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21},
         {5, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        JoinedRecording joined;
        ASSERT_FALSE(ReadJoinedRecording({Write(c.earlier), Write(c.later)}, joined));
        const ChannelInfo& channel = joined.channels.at(0);
        std::vector<DateTime> samples, gaps;
        for (size_t i = 0; i < channel.times.size(); ++i)
            (IsGapValue(channel.values[i]) ? gaps : samples).push_back(channel.times[i]);
        std::vector<DateTime> expectedSamples, expectedGaps;
        for (int s : c.samples)
            expectedSamples.push_back(At(s));
        for (int s : c.gaps)
            expectedGaps.push_back(At(s));
        ExpectTimes(samples, expectedSamples);
        ExpectTimes(gaps, expectedGaps);
    }
}

TEST_F(RecordingJoinTest, AUnitConflictRefusesTheJoinNamingBothFiles) {
    const std::string a = Write({"a.bin", 1, {{0, Ramp(1, 5)}, {0, Ramp(1, 5), 19}}, 0, 4});
    const std::string b = Write({"b.bin", 1, {{5, Ramp(1, 5)}, {5, Ramp(1, 5), 20}}, 5, 9});
    JoinedRecording joined;
    const auto message = ReadJoinedRecording({b, a}, joined);
    ASSERT_TRUE(message);
    const std::string text = GbkToUtf8(message->text);
    EXPECT_NE(text.find("Channel 02"), std::string::npos) << text;
    EXPECT_LT(text.find(a), text.find(b)) << text;
    EXPECT_NE(text.find(GbkToUtf8(std::string(UnitNames[20]))), std::string::npos) << text;
    EXPECT_TRUE(joined.channels.empty());
    EXPECT_TRUE(joined.files.empty());
    EXPECT_EQ(joined.info.sampleCount, 0);
}

TEST_F(RecordingJoinTest, AFileThatDoesNotReadRefusesTheJoinWithItsNameAndMessage) {
    const std::string good1 = Write({"a.bin", 1, {{0, Ramp(1, 5)}}, 0, 4});
    const std::string good2 = Write({"c.bin", 1, {{20, Ramp(1, 5)}}, 20, 24});
    const std::string partial =
        Write({"b.bin", 1, {{10, Ramp(1, 5)}, {10, Ramp(1, 5)}}, 10, 14, true});
    const std::string missing = (dir / "gone.bin").string();
    for (const auto& [bad, readerText] :
         {std::pair{partial, "File read failure!"}, std::pair{missing, "Open file failure!"}}) {
        JoinedRecording joined;
        const auto message = ReadJoinedRecording({good1, bad, good2}, joined);
        ASSERT_TRUE(message);
        EXPECT_EQ(message->text, bad + ": " + readerText);
        EXPECT_TRUE(joined.channels.empty());
        EXPECT_TRUE(joined.files.empty());
        EXPECT_EQ(joined.info.startTime, 0);
    }
}

TEST_F(RecordingJoinTest, AFolderOfOneFileReadsExactlyAsThatFile) {
    const FileShape layouts[] = {
        {"whole.bin", 3, {{0, Ramp(1, 8)}, {2, Ramp(5, 4), 5}}, 0, 9},
        {"partial.bin", 1, {{0, Ramp(1, 5)}, {0, Ramp(1, 5)}}, 0, 4, true},
    };
    for (const FileShape& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const fs::path folder = dir / (layout.name + ".d");
        const std::string path = Write(layout, folder);
        RecordingInfo info;
        std::vector<ChannelInfo> channels;
        const auto alone = ReadRecorderFile(path, info, channels);
        JoinedRecording joined;
        const auto viaFolder = ReadRecordingPath(folder.string(), joined);
        ASSERT_EQ(alone.has_value(), viaFolder.has_value());
        if (alone) {
            EXPECT_EQ(alone->text, viaFolder->text);
        }
        EXPECT_EQ(joined.info.valueMax, info.valueMax);
        EXPECT_EQ(joined.info.valueMin, info.valueMin);
        EXPECT_EQ(joined.info.startTime, info.startTime);
        EXPECT_EQ(joined.info.endTime, info.endTime);
        EXPECT_EQ(joined.info.sampleCount, info.sampleCount);
        ASSERT_EQ(joined.channels.size(), channels.size());
        for (size_t c = 0; c < channels.size(); ++c) {
            EXPECT_EQ(joined.channels[c].channel, channels[c].channel);
            EXPECT_EQ(joined.channels[c].unit, channels[c].unit);
            EXPECT_EQ(joined.channels[c].times, channels[c].times);
            EXPECT_EQ(joined.channels[c].values, channels[c].values);
        }
        EXPECT_EQ(joined.files.size(), 1u);
    }
}

TEST_F(RecordingJoinTest, AFolderJoinsOnlyItsOwnDataFilesAndAnEmptyOneSaysSo) {
    const fs::path folder = dir / "exports";
    Write({"b.DAT", 1, {{5, Ramp(1, 5)}}, 5, 9}, folder);
    Write({"a.BIN", 1, {{0, Ramp(1, 5)}}, 0, 4}, folder);
    Write({"inner.bin", 1, {{20, Ramp(1, 5)}}, 20, 24}, folder / "sub");
    WriteBinaryFile((folder / "notes.txt").string(), {1, 2, 3});
    JoinedRecording joined;
    ASSERT_FALSE(ReadRecordingPath(folder.string(), joined));
    ASSERT_EQ(joined.files.size(), 2u);
    EXPECT_EQ(fs::path(joined.files[0].path).filename(), "a.BIN");
    EXPECT_EQ(fs::path(joined.files[1].path).filename(), "b.DAT");

    const fs::path empty = dir / "empty";
    fs::create_directories(empty / "sub.bin");
    WriteBinaryFile((empty / "readme.txt").string(), {1});
    const auto message = ReadRecordingPath(empty.string(), joined);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text, "No recorder data files (*.bin, *.dat) in " + empty.string());
    EXPECT_TRUE(joined.channels.empty());
    EXPECT_TRUE(joined.files.empty());
}

// The join's rules written out entry by entry, as plainly as they read, for the comparison with
// random folders below.
namespace reference {

struct Entry {
    DateTime time;
    float value;
    size_t file;
    size_t index;
};

struct Stretch {
    DateTime first;
    DateTime last;
    size_t file;
};

bool IsGap(float value) {
    return IsGapValue(value);
}

// A stretch of a file other than `except` from `from` to `to`.
bool Spans(const std::vector<Stretch>& stretches, DateTime from, DateTime to, size_t except) {
    if (CompareTimes(from, to) > 0)
        return false;
    for (const Stretch& s : stretches)
        if (s.file != except && CompareTimes(s.first, from) <= 0 && CompareTimes(to, s.last) <= 0)
            return true;
    return false;
}

// The step from entry `from` to entry `to` of a channel when both are samples and it goes
// forward; 0 otherwise.
DateTime Step(const ChannelInfo& channel, size_t from, size_t to) {
    if (to >= channel.times.size() || IsGap(channel.values[from]) || IsGap(channel.values[to]) ||
        CompareTimes(channel.times[to], channel.times[from]) <= 0)
        return 0;
    return channel.times[to] - channel.times[from];
}

// One channel from the files' parts in join order (null where a file lacks the channel).
ChannelInfo JoinChannel(const std::vector<const ChannelInfo*>& parts, std::vector<int32_t>& kept) {
    const size_t none = SIZE_MAX;
    std::vector<std::vector<Entry>> entries(parts.size());
    std::vector<Stretch> stretches;
    for (size_t f = 0; f < parts.size(); ++f) {
        if (!parts[f])
            continue;
        const ChannelInfo& c = *parts[f];
        bool open = false;
        for (size_t i = 0; i < c.times.size(); ++i) {
            const Entry e{c.times[i], c.values[i], f, i};
            if (IsGap(e.value)) {
                open = false;
            } else {
                if (open && CompareTimes(e.time, c.times[i - 1]) < 0)
                    open = false;
                if (!open)
                    stretches.push_back({e.time, e.time, f});
                open = true;
                stretches.back().first = std::min(stretches.back().first, e.time);
                stretches.back().last = std::max(stretches.back().last, e.time);
            }
            bool held = false;
            for (size_t g = 0; g < f && !IsGap(e.value); ++g)
                for (const Entry& x : entries[g])
                    held = held || (!IsGap(x.value) && CompareTimes(x.time, e.time) == 0);
            if (held)
                continue;
            entries[f].push_back(e);
            kept[f] += IsGap(e.value) ? 0 : 1;
        }
    }
    // The files merged: the earliest next entry, at an equal time the earlier file's.
    std::vector<Entry> merged;
    std::vector<size_t> head(parts.size(), 0);
    for (;;) {
        size_t best = none;
        for (size_t f = 0; f < parts.size(); ++f)
            if (head[f] < entries[f].size() &&
                (best == none || entries[f][head[f]].time < entries[best][head[best]].time))
                best = f;
        if (best == none)
            break;
        merged.push_back(entries[best][head[best]++]);
    }
    // Gap points between samples of another file's stretch go.
    std::vector<Entry> cleaned;
    for (size_t k = 0; k < merged.size(); ++k) {
        if (IsGap(merged[k].value)) {
            size_t before = k, after = k;
            while (before > 0 && IsGap(merged[before - 1].value))
                --before;
            while (after + 1 < merged.size() && IsGap(merged[after + 1].value))
                ++after;
            if (before > 0 && after + 1 < merged.size() &&
                Spans(stretches, merged[before - 1].time, merged[after + 1].time, merged[k].file))
                continue;
        }
        cleaned.push_back(merged[k]);
    }
    // Breaks between consecutive samples of different files where no file recorded.
    ChannelInfo out;
    for (size_t k = 0; k < cleaned.size(); ++k) {
        out.times.push_back(cleaned[k].time);
        out.values.push_back(cleaned[k].value);
        if (k + 1 == cleaned.size())
            break;
        const Entry& p = cleaned[k];
        const Entry& n = cleaned[k + 1];
        if (IsGap(p.value) || IsGap(n.value) || p.file == n.file)
            continue;
        DateTime interval = 0;
        for (DateTime step : {p.index > 0 ? Step(*parts[p.file], p.index - 1, p.index) : 0.0,
                              Step(*parts[n.file], n.index, n.index + 1)})
            if (step > 0 && (interval == 0 || step < interval))
                interval = step;
        if (interval == 0)
            interval = OneSecond;
        if (CompareTimes(n.time, p.time + interval) <= 0 || Spans(stretches, p.time, n.time, none))
            continue;
        const std::vector<DateTime> gaps =
            CompareTimes(n.time, p.time + 2 * OneSecond) <= 0
                ? std::vector<DateTime>{(p.time + n.time) / 2}
                : std::vector<DateTime>{p.time + OneSecond, n.time - OneSecond};
        for (DateTime t : gaps) {
            out.times.push_back(t);
            out.values.push_back(GapValue);
        }
    }
    return out;
}

} // namespace reference

// Random small files: one to three channels, up to six records each, one or ten seconds apart
// (sometimes zero), records that follow on, jump ahead, repeat the last instant or step back.
class RandomFolder {
public:
    explicit RandomFolder(uint64_t seed) : state_(seed) {}

    std::vector<uint8_t> File() {
        const int firstChannel = Between(1, 2);
        const int channels = Between(1, 4 - firstChannel);
        const int base = Between(0, 40);
        RecorderFileBuilder builder;
        builder.SetChannelIndices(static_cast<uint8_t>(firstChannel - 1),
                                  static_cast<uint8_t>(firstChannel + channels - 2));
        std::vector<std::vector<DataRecord>> blocks;
        int64_t earliest = INT64_MAX, latest = INT64_MIN;
        for (int c = 0; c < channels; ++c) {
            builder.SetDescriptor(static_cast<size_t>(firstChannel - 1 + c), {1000, 0, 4, 19, 1});
            std::vector<DataRecord> records;
            int time = base + Between(0, 5);
            for (int r = Between(1, 6); r > 0; --r) {
                const int pick = Between(0, 9);
                const uint8_t interval = pick < 7 ? 1 : pick < 9 ? 10 : 0;
                std::vector<int16_t> raw(static_cast<size_t>(Between(0, 8)));
                for (int16_t& v : raw)
                    v = static_cast<int16_t>(Between(0, 1000));
                records.push_back({T0 + time, interval, raw, {}, {}});
                const int last = time + interval * (static_cast<int>(raw.size()) - 1);
                if (!raw.empty()) {
                    earliest = std::min<int64_t>(earliest, time);
                    latest = std::max<int64_t>(latest, last);
                }
                const int next = Between(0, 9);
                time = next < 5   ? last + interval // on
                       : next < 7 ? last + Between(2, 30)
                       : next < 8 ? last                   // the last instant again
                                  : last - Between(1, 20); // the clock set back
            }
            blocks.push_back(std::move(records));
        }
        if (earliest == INT64_MAX)
            earliest = latest = base;
        // The header's window holds every sample, or now and then cuts some off.
        const int cut = Between(0, 5) == 0 ? Between(0, 3) : 0;
        builder.SetStartTime(*HeaderTimeFromDateTime(At(static_cast<int>(earliest) + cut)));
        builder.SetEndTime(*HeaderTimeFromDateTime(At(static_cast<int>(latest) - cut)));
        for (const auto& records : blocks)
            builder.AppendBlock(records);
        return builder.TakeBytes();
    }

    int Between(int low, int high) {
        return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1));
    }

private:
    // SplitMix64, the same on every platform.
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    uint64_t state_;
};

TEST_F(RecordingJoinTest, AgreesWithThePlainRulesOverRandomFolders) {
    int joinsCompared = 0;
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        RandomFolder random(seed);
        const fs::path folder = dir / std::to_string(seed);
        fs::create_directories(folder);
        std::vector<std::string> paths;
        for (int f = random.Between(1, 4); f > 0; --f) {
            paths.push_back((folder / ("f" + std::to_string(f) + ".bin")).string());
            const std::vector<uint8_t> bytes = random.File();
            std::ofstream(paths.back(), std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }

        struct Read {
            std::string path;
            RecordingInfo info;
            std::vector<ChannelInfo> channels;
        };
        std::vector<Read> files;
        for (const std::string& path : paths) {
            files.push_back({path, {}, {}});
            ASSERT_FALSE(ReadRecorderFile(path, files.back().info, files.back().channels));
        }
        std::stable_sort(files.begin(), files.end(), [](const Read& a, const Read& b) {
            return a.info.startTime != b.info.startTime ? a.info.startTime < b.info.startTime
                                                        : a.path < b.path;
        });
        std::vector<int32_t> kept(files.size(), 0);
        std::map<int16_t, std::vector<const ChannelInfo*>> parts;
        for (size_t f = 0; f < files.size(); ++f)
            for (const ChannelInfo& c : files[f].channels) {
                parts[c.channel].resize(files.size(), nullptr);
                parts[c.channel][f] = &c;
            }

        JoinedRecording joined;
        ASSERT_FALSE(ReadRecordingPath(folder.string(), joined));
        ASSERT_EQ(joined.channels.size(), parts.size());
        size_t c = 0;
        for (const auto& [number, channelParts] : parts) {
            SCOPED_TRACE("channel " + std::to_string(number));
            const ChannelInfo expected = reference::JoinChannel(channelParts, kept);
            const ChannelInfo& actual = joined.channels[c++];
            EXPECT_EQ(actual.channel, number);
            EXPECT_EQ(actual.times, expected.times);
            EXPECT_EQ(actual.values, expected.values);
        }
        int32_t total = 0;
        for (size_t f = 0; f < files.size(); ++f) {
            EXPECT_EQ(joined.files.at(f).path, files[f].path);
            EXPECT_EQ(joined.files.at(f).keptSamples, kept[f]) << files[f].path;
            total += kept[f];
        }
        EXPECT_EQ(joined.info.sampleCount, total);
        joinsCompared += files.size() > 1;
        if (HasFailure())
            break;
    }
    EXPECT_GT(joinsCompared, 200);
}

} // namespace
