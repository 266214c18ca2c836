// Joining recorder files into one recording, on small files laid out record by record.
#include "data/RecordingJoin.h"

#include "data/RecorderFileWriter.h"
#include "data/Text.h"
#include "data/UnitNames.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// 2015-03-16 09:00:00 in recorder seconds.
constexpr int32_t T0 = 479811600;

DateTime At(int second) {
    return RecorderSecondsToDateTime(T0 + second);
}

// One channel of a fixture file: one record of one-second samples from `start` (seconds after
// T0); decimal code 4, so a raw sample is its value.
struct ChannelSpec {
    int start = 0;
    std::vector<int16_t> raw;
    int16_t unitCode = 19; // ℃
    int16_t high = 1000;
    int16_t low = 0;
    // Further records of the same block, each (start, samples).
    std::vector<std::pair<int, std::vector<int16_t>>> more{};
};

// A file of consecutive channels from firstChannel, its header window [start, end].
struct FileSpec {
    std::string name;
    int firstChannel = 1;
    std::vector<ChannelSpec> channels;
    int start = 0;
    int end = 0;
    bool truncated = false; // the last channel promises a block the file lacks
};

std::vector<uint8_t> Bytes(const FileSpec& layout) {
    RecorderFileBuilder builder;
    const auto first = static_cast<uint8_t>(layout.firstChannel - 1);
    builder.SetChannelIndices(first, static_cast<uint8_t>(first + layout.channels.size() - 1));
    builder.SetStartTime(*HeaderTimeFromDateTime(At(layout.start)));
    builder.SetEndTime(*HeaderTimeFromDateTime(At(layout.end)));
    for (size_t c = 0; c < layout.channels.size(); ++c) {
        const ChannelSpec& channel = layout.channels[c];
        const bool short_ = layout.truncated && c + 1 == layout.channels.size();
        builder.SetDescriptor(first + c, {channel.high, channel.low, 4, channel.unitCode,
                                          static_cast<uint16_t>(short_ ? 2 : 1)});
    }
    for (const ChannelSpec& channel : layout.channels) {
        std::vector<DataRecord> records{{T0 + channel.start, 1, channel.raw, {}, {}}};
        for (const auto& [start, raw] : channel.more)
            records.push_back({T0 + start, 1, raw, {}, {}});
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

    std::string Write(const FileSpec& layout, const fs::path& folder = {}) {
        const fs::path target = (folder.empty() ? dir : folder) / layout.name;
        fs::create_directories(target.parent_path());
        EXPECT_FALSE(WriteBinaryFile(target.string(), Bytes(layout)));
        return target.string();
    }

    static void ExpectTimes(const SampleTimes& actual, const std::vector<DateTime>& expected) {
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

TEST_F(RecordingJoinTest, TimesOutOfOrderInAFileStillDropOnlyHeldTimes) {
    // a's last record goes back in time (a clock set back on the recorder). It is the block's
    // eleventh, so the erased bytes after its samples end it.
    ChannelSpec backwards{10, Ramp(10, 5)};
    backwards.more.assign(9, {10, {}});
    backwards.more.push_back({0, Ramp(0, 5)});
    const std::string a = Write({"a.bin", 1, {backwards}, 0, 14});
    const std::string b = Write({"b.bin", 1, {{3, Ramp(100, 5)}}, 3, 7});
    JoinedRecording joined;
    ASSERT_FALSE(ReadJoinedRecording({a, b}, joined));
    const ChannelInfo& channel = joined.channels.at(0);
    ExpectTimes(channel.times, {At(10), At(11), At(12), At(13), At(14), At(0), At(1), At(2), At(3),
                                At(4), At(5), At(6), At(7)});
    EXPECT_EQ(channel.values[8], 3.0f);    // a's, not b's 100
    EXPECT_EQ(channel.values[10], 102.0f); // b's at 09:00:05
    EXPECT_EQ(joined.files[1].keptSamples, 3);
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
    const FileSpec layouts[] = {
        {"whole.bin", 3, {{0, Ramp(1, 8)}, {2, Ramp(5, 4), 5}}, 0, 9},
        {"partial.bin", 1, {{0, Ramp(1, 5)}, {0, Ramp(1, 5)}}, 0, 4, true},
    };
    for (const FileSpec& layout : layouts) {
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

} // namespace
