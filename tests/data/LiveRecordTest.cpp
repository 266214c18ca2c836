// The run record's lines, its files and where the live lines break.

#include "data/LiveRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

DateTime At(int second) {
    return EncodeDateTime({2026, 12, 10, 10, 8, 0}).value() + second * OneSecond;
}

size_t LineCount(const std::string& path) {
    std::ifstream in(path);
    size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    return lines;
}

} // namespace

TEST(LiveRecordLine, ReadsBackAsTheSameSample) {
    EXPECT_EQ(LiveRecordLine(1, 3, 25.3f, "2015-03-16 09:30:05", "\xA1\xE6"),
              "1,3,25.3,2015-03-16 09:30:05,\xA1\xE6\n");
    EXPECT_EQ(LiveRecordLine(12, 16, -158.0f, "2015-03-16 09:30:05", "Kpa"),
              "12,16,-158,2015-03-16 09:30:05,Kpa\n");
    // The shortest text that is still the same float.
    const std::string line = LiveRecordLine(1, 1, 0.1f + 0.2f, "t", "u");
    EXPECT_EQ(std::stof(line.substr(4)), 0.1f + 0.2f) << line;
}

TEST(LiveContinuity, BreaksAfterFailuresAndClockJumpsOnly) {
    LiveContinuity c;
    EXPECT_EQ(c.Failed(), std::nullopt) << "nothing to break before the first point";
    EXPECT_EQ(c.Good(At(0)), std::nullopt) << "no line before the first point either";
    EXPECT_EQ(c.Good(At(1)), std::nullopt);
    EXPECT_EQ(c.Good(At(3)), std::nullopt) << "two intervals are a late tick, not a jump";
    // An outage: the marker one interval after the last point, given once.
    const auto marker = c.Failed();
    ASSERT_TRUE(marker);
    EXPECT_NEAR(*marker, At(4), OneMillisecond);
    EXPECT_EQ(c.Failed(), std::nullopt);
    EXPECT_EQ(c.FailuresInRow(), 2);
    const auto gap = c.Good(At(9));
    ASSERT_TRUE(gap);
    EXPECT_NEAR(*gap, At(4), OneMillisecond);
    // The clock jumps forward and back.
    const auto forward = c.Good(At(20));
    ASSERT_TRUE(forward);
    EXPECT_GT(*forward, At(9));
    EXPECT_LT(*forward, At(20));
    EXPECT_TRUE(c.Good(At(5)));
    EXPECT_EQ(c.GoodTicks(), 6);
    EXPECT_EQ(c.FailedTicks(), 3);
}

TEST(LiveRecordWriter, StartsANewFilePastAMillionSamples) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("recorder-live-record-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    const std::vector<int16_t> channels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const std::vector<std::string> units(16, "Kpa");
    const std::vector<float> values(16, 1.5f);
    // Only the files are of interest here: 62,500 syncs to the disk would take minutes.
    SetRecordSyncFunction([](int) { return 0; });
    LiveRecordWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Start((dir / "runs").string(), At(0), channels, units, error)) << error;
    EXPECT_EQ(std::filesystem::path(writer.Path()).filename(), "live-20261210-100800.csv");
    // 62,500 ticks of 16 channels fill the first file exactly.
    for (int tick = 0; tick < 62'500; ++tick)
        ASSERT_TRUE(writer.WriteTick(At(tick), values));
    EXPECT_EQ(writer.Files().size(), 1u);
    ASSERT_TRUE(writer.WriteGap(At(62'500)));
    ASSERT_EQ(writer.Files().size(), 2u);
    EXPECT_EQ(std::filesystem::path(writer.Files()[1]).filename(), "live-20261210-100800-2.csv");
    writer.Close();
    EXPECT_EQ(LineCount(writer.Files()[0]), 1'000'001u) << "title and a million samples";
    EXPECT_EQ(LineCount(writer.Files()[1]), 17u);

    // A second run started in the same second gets a name of its own.
    LiveRecordWriter other;
    ASSERT_TRUE(other.Start((dir / "runs").string(), At(0), channels, units, error)) << error;
    EXPECT_NE(other.Path(), writer.Files()[0]);
    other.Close();
    // A folder that cannot be made is reported with the file's name.
    std::ofstream(dir / "plain-file") << "x";
    LiveRecordWriter refused;
    EXPECT_FALSE(refused.Start((dir / "plain-file").string(), At(0), channels, units, error));
    EXPECT_NE(error.find("plain-file"), std::string::npos) << error;
    SetRecordSyncFunction(nullptr);
    std::filesystem::remove_all(dir);
}

namespace {

// What the sync saw: how many calls, and the file's size at the last one.
std::atomic<int> syncCalls{0};
std::atomic<long long> sizeAtSync{-1};
int WatchedSync(int fd) {
    struct stat status {};
    fstat(fd, &status);
    sizeAtSync = status.st_size;
    ++syncCalls;
    return fdatasync(fd);
}
int FailingSync(int) {
    errno = EIO;
    return -1;
}

} // namespace

TEST(LiveRecordWriter, EveryTickIsSyncedToTheDiskBeforeTheWriteReturns) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("recorder-live-sync-" + std::to_string(getpid()));
    const std::vector<int16_t> channels = {1, 2};
    const std::vector<std::string> units(2, "V");
    SetRecordSyncFunction(WatchedSync);
    LiveRecordWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Start(dir.string(), At(0), channels, units, error)) << error;
    for (int tick = 0; tick < 3; ++tick) {
        const int before = syncCalls;
        ASSERT_TRUE(writer.WriteTick(At(tick), std::vector<float>{1.0f, 2.0f}));
        EXPECT_EQ(syncCalls, before + 1);
        EXPECT_EQ(sizeAtSync, static_cast<long long>(std::filesystem::file_size(writer.Path())))
            << "synced after the whole tick was written";
    }
    // A sync that fails loses the promise: the record stops with the reason.
    SetRecordSyncFunction(FailingSync);
    EXPECT_FALSE(writer.WriteTick(At(3), std::vector<float>{1.0f, 2.0f}));
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_NE(writer.ErrorText().find(std::strerror(EIO)), std::string::npos) << writer.ErrorText();
    SetRecordSyncFunction(nullptr);
    std::filesystem::remove_all(dir);
}

TEST(LiveRunLog, ATickWhoseClockIsNotLaterEntersNeitherRecordNorLines) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("recorder-live-repeat-" + std::to_string(getpid()));
    const std::vector<int16_t> channels = {1, 2};
    const std::vector<std::string> units(2, "V");
    LiveRunLog log;
    std::string error;
    ASSERT_TRUE(log.StartRecording(dir.string(), At(0), channels, units, error)) << error;
    const std::vector<float> values = {1.0f, 2.0f};
    struct Step {
        std::optional<int> second; // a good tick at this second; none: a failed tick
        bool repeated;
    };
    const Step steps[] = {
        {0, false}, {1, false},
        {1, true},                         // the clock repeats after a reconnection
        {0, true},                         // or goes back
        {2, false}, {std::nullopt, false}, // an outage: its marker at 3
        {3, true},                         // a tick at the marker's time
        {5, false},
    };
    for (const Step& step : steps) {
        if (!step.second) {
            log.Failed();
            continue;
        }
        const LiveTickEntry entry = log.Good(At(*step.second), values);
        EXPECT_EQ(entry.repeatedClock, step.repeated) << "second " << *step.second;
        if (entry.repeatedClock) {
            EXPECT_EQ(entry.gap, std::nullopt);
        }
    }
    EXPECT_EQ(log.RepeatedClocks(), 3);
    EXPECT_EQ(log.GoodTicks(), 7) << "a repeated clock is still an answer";
    EXPECT_EQ(log.FailedTicks(), 1);
    const std::string path = log.Writer().Path();
    log.Close();

    // The record holds every time once, in order: 0, 1, 2, the marker at 3, and 5.
    RecordingInfo info;
    std::vector<ChannelInfo> read;
    ASSERT_FALSE(OpenLiveRecord(path, info, read));
    ASSERT_EQ(read.size(), 2u);
    ASSERT_EQ(read[0].times.size(), 5u);
    for (size_t i = 0; i < read[0].times.size(); ++i)
        EXPECT_NEAR(read[0].times[i], At(std::array{0, 1, 2, 3, 5}[i]), OneMillisecond);
    EXPECT_EQ(read[1].values, (std::vector<float>{2.0f, 2.0f, 2.0f, GapValue, 2.0f}));
    std::filesystem::remove_all(dir);
}

TEST(LiveRecord, OpensByItsNameAndSpansMeasuredValuesOnly) {
    for (const auto& [name, record] : {std::pair{"live-20261210-100800.csv", true},
                                       {"/tmp/RUN.CSV", true},
                                       {"demo.bin", false},
                                       {"csv", false},
                                       {"a.csv.bin", false}})
        EXPECT_EQ(IsLiveRecordName(name), record) << name;

    const std::string path = std::filesystem::temp_directory_path() /
                             ("open_record_" + std::to_string(getpid()) + ".csv");
    std::ofstream(path) << "No.,Channel,Value,Time,Unit\n"
                        << LiveRecordLine(1, 2, 20.5f, "2026-12-10 10:08:00", "V")
                        << LiveRecordLine(2, 2, -158.0f, "2026-12-10 10:08:01", "V")
                        << LiveRecordLine(3, 2, 30.25f, "2026-12-10 10:08:05", "V");
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    ASSERT_FALSE(OpenLiveRecord(path, info, channels));
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].channel, 2);
    EXPECT_EQ(channels[0].values, (std::vector<float>{20.5f, -158.0f, 30.25f}));
    EXPECT_EQ(info.valueMin, 20.5f);
    EXPECT_EQ(info.valueMax, 30.25f);
    EXPECT_EQ(info.sampleCount, 3);
    std::filesystem::remove(path);

    EXPECT_TRUE(OpenLiveRecord(path, info, channels)) << "a missing record fails as the import";
}
