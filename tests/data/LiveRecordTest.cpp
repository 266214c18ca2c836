// The run record's lines, its files and where the live lines break.

#include "data/LiveRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
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

TEST(LiveContinuity, BreaksWhereSecondsAreMissingOnly) {
    LiveContinuity c;
    c.Failed();
    EXPECT_EQ(c.Good(At(0)), std::nullopt) << "no line before the first point";
    EXPECT_EQ(c.Good(At(1)), std::nullopt);
    EXPECT_EQ(c.Good(At(3)), std::nullopt) << "a second skipped without a failure is a late tick";
    c.Failed();
    EXPECT_EQ(c.Good(At(4)), std::nullopt) << "a failed tick, but no second is missing";
    // An outage with seconds missing: the break at the first of them.
    c.Failed();
    c.Failed();
    EXPECT_EQ(c.FailuresInRow(), 2);
    const auto gap = c.Good(At(6));
    ASSERT_TRUE(gap);
    EXPECT_NEAR(*gap, At(5), OneMillisecond);
    // The clock jumps forward without a failure.
    const auto forward = c.Good(At(20));
    ASSERT_TRUE(forward);
    EXPECT_NEAR(*forward, At(7), OneMillisecond);
    // A new series: nothing to break from.
    c.Restart();
    c.Failed();
    EXPECT_EQ(c.Good(At(100)), std::nullopt);
    EXPECT_EQ(c.GoodTicks(), 7);
    EXPECT_EQ(c.FailedTicks(), 5);
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

namespace {

// Fails the sync of a folder, lets the sync of a file through.
int FailingFolderSync(int fd) {
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        errno = EIO;
        return -1;
    }
    return fdatasync(fd);
}

} // namespace

TEST(LiveRecordWriter, AFolderThatCannotBeOpenedOrSyncedStopsTheRecordAsAFailedWrite) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("recorder-live-folder-" + std::to_string(getpid()));
    const std::vector<int16_t> channels = {1};
    const std::vector<std::string> units(1, "V");
    std::string error;
    {
        // The new file's name would not survive a power cut.
        SetRecordSyncFunction(FailingFolderSync);
        LiveRecordWriter writer;
        EXPECT_FALSE(writer.Start(dir.string(), At(0), channels, units, error));
        SetRecordSyncFunction(nullptr);
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_NE(error.find(dir.string()), std::string::npos) << error;
        EXPECT_NE(error.find(std::strerror(EIO)), std::string::npos) << error;
    }
    {
        // No descriptor left for the folder once the file has the last one.
        const int lowestFree = open("/dev/null", O_RDONLY);
        ASSERT_GE(lowestFree, 0);
        close(lowestFree);
        rlimit saved{};
        ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit tight = saved;
        tight.rlim_cur = static_cast<rlim_t>(lowestFree + 1);
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
        LiveRecordWriter writer;
        const bool started = writer.Start(dir.string(), At(1), channels, units, error);
        setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_FALSE(started);
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_NE(error.find(std::strerror(EMFILE)), std::string::npos) << error;
    }
    std::filesystem::remove_all(dir);
}

namespace {

// A record as the import reads it back: per channel its times as seconds after At(0) and its
// values.
struct ReadBack {
    std::vector<int> seconds;
    std::vector<float> values;
};
ReadBack ReadChannel(const std::string& path, size_t channel) {
    RecordingInfo info;
    std::vector<ChannelInfo> read;
    ReadBack back;
    if (OpenLiveRecord(path, info, read) || read.size() <= channel)
        return back;
    for (size_t i = 0; i < read[channel].times.size(); ++i) {
        back.seconds.push_back(
            static_cast<int>(std::lround((read[channel].times[i] - At(0)) / OneSecond)));
        back.values.push_back(read[channel].values[i]);
    }
    return back;
}

// A good tick at a second (values 10 + second and 20 + second), or a failed one.
struct Step {
    std::optional<int> second; // none: a failed tick
    bool repeated = false;     // expected: a repeated clock
};
void Play(LiveRunLog& log, std::span<const Step> steps) {
    for (const Step& step : steps) {
        if (!step.second) {
            log.Failed();
            continue;
        }
        const float s = static_cast<float>(*step.second);
        const LiveTickEntry entry = log.Good(At(*step.second), std::vector<float>{10 + s, 20 + s});
        EXPECT_EQ(entry.repeatedClock, step.repeated) << "second " << *step.second;
        if (entry.repeatedClock) {
            EXPECT_EQ(entry.gap, std::nullopt);
        }
    }
}

} // namespace

TEST(LiveRunLog, EveryReadingIsRecordedOnceAndABreakOnlyStandsForMissingSeconds) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("recorder-live-repeat-" + std::to_string(getpid()));
    const std::vector<int16_t> channels = {1, 2};
    const std::vector<std::string> units(2, "V");
    LiveRunLog log;
    std::string error;
    ASSERT_TRUE(log.StartRecording(dir.string(), At(0), channels, units, error)) << error;
    const Step steps[] = {
        {0},
        {1},
        {1, true}, // the clock repeats after a reconnection
        {0, true}, // or goes back by a second or two
        {2},
        {std::nullopt},
        {3}, // a failed tick, and the next second: nothing is missing
        {std::nullopt},
        {std::nullopt},
        {6},       // seconds 4 and 5 are missing: a break before 6
        {4, true}, // two seconds back
        {std::nullopt},
        {7}, // a failed tick before the next second again
    };
    Play(log, steps);
    EXPECT_EQ(log.RepeatedClocks(), 3);
    EXPECT_EQ(log.GoodTicks(), 9) << "a repeated clock is still an answer";
    EXPECT_EQ(log.FailedTicks(), 4);
    const std::string path = log.Writer().Path();
    log.Close();

    // Every reading in order, once, with its own values; one break, at the first missing second.
    const ReadBack first = ReadChannel(path, 0), second = ReadChannel(path, 1);
    EXPECT_EQ(first.seconds, (std::vector<int>{0, 1, 2, 3, 4, 6, 7}));
    EXPECT_EQ(first.values, (std::vector<float>{10, 11, 12, 13, GapValue, 16, 17}));
    EXPECT_EQ(second.values, (std::vector<float>{20, 21, 22, 23, GapValue, 26, 27}));
    std::filesystem::remove_all(dir);
}

TEST(LiveRunLog, AClockSetBackByMoreThanTwoSecondsGoesOnInANewRecord) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("recorder-live-setback-" + std::to_string(getpid()));
    const std::vector<int16_t> channels = {1, 2};
    const std::vector<std::string> units(2, "V");
    LiveRunLog log;
    std::string error;
    ASSERT_TRUE(log.StartRecording(dir.string(), At(0), channels, units, error)) << error;
    // An hour back, after an outage; then three seconds back.
    const Step steps[] = {{3600}, {3601}, {3602}, {std::nullopt}, {1}, {2}, {3}, {0}, {1}};
    Play(log, steps);
    EXPECT_EQ(log.RepeatedClocks(), 0);
    const std::vector<std::string> files = log.Writer().Files();
    log.Close();
    ASSERT_EQ(files.size(), 3u);
    for (const std::string& file : files)
        EXPECT_TRUE(std::filesystem::path(file).filename().string().starts_with("live-")) << file;
    // Each file a series of its own, without a break at its start.
    const ReadBack parts[] = {ReadChannel(files[0], 0), ReadChannel(files[1], 0),
                              ReadChannel(files[2], 1)};
    EXPECT_EQ(parts[0].seconds, (std::vector<int>{3600, 3601, 3602}));
    EXPECT_EQ(parts[1].seconds, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(parts[1].values, (std::vector<float>{11, 12, 13}));
    EXPECT_EQ(parts[2].seconds, (std::vector<int>{0, 1}));
    EXPECT_EQ(parts[2].values, (std::vector<float>{20, 21}));
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
