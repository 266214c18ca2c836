#pragma once
// What the archive's tests share: an archive in either database, small recorder files laid out
// record by record, and the comparison of a recording with what a join of files gives.

#include "data/RecorderFileWriter.h"
#include "data/RecordingJoin.h"
#include "data/archive/Archive.h"

#include "tests/archive/PostgresServer.h"

#include <algorithm>
#include <bit>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

enum class Backend { Sqlite, Postgres };

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

// One server for the whole test program, started when a test first needs it.
inline PostgresServer& TestServer() {
    static PostgresServer server;
    return server;
}

// A temporary folder and, in it or on the test server, an empty place for an archive.
class ArchivePlace {
public:
    ArchivePlace(Backend backend, const std::string& name) : backend_(backend) {
        dir_ = std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    ~ArchivePlace() { std::filesystem::remove_all(dir_); }

    const std::filesystem::path& Dir() const { return dir_; }

    // A new, empty database; the location to open it with. Fails the test when the server
    // cannot be had.
    std::string NewLocation(const std::string& name) {
        if (backend_ == Backend::Sqlite) {
            const std::string path = (dir_ / (name + ".sqlite")).string();
            for (const char* suffix : {"", "-wal", "-shm"})
                std::filesystem::remove(path + suffix);
            return path;
        }
        PostgresServer& server = TestServer();
        EXPECT_TRUE(server.Running()) << server.Error();
        const std::string error = server.CreateDatabase(name);
        EXPECT_EQ(error, "");
        return server.Uri(name);
    }

private:
    Backend backend_;
    std::filesystem::path dir_;
};

// 2015-03-16 09:00:00 in recorder seconds.
constexpr int32_t FixtureT0 = 479811600;

inline DateTime FixtureTime(int second) {
    return RecorderSecondsToDateTime(FixtureT0 + second);
}

// One record of a channel: its first sample `start` seconds after FixtureT0, `interval`
// seconds apart, raw values (decimal code 3: a raw 253 reads 25.3).
struct RecordSpec {
    int start = 0;
    std::vector<int16_t> raw;
    uint8_t interval = 1;
};

struct ChannelShape {
    int number = 1;
    std::vector<RecordSpec> records; // up to eleven, one block
    int16_t unitCode = 19;           // ℃
    int16_t high = 10000;
    int16_t low = -1000;
};

// A file of the given channels (numbers ascending, consecutive) and header window.
struct FileShape {
    std::string name;
    std::vector<ChannelShape> channels;
    int start = 0;
    int end = 0;
};

inline std::vector<uint8_t> FileBytes(const FileShape& shape) {
    RecorderFileBuilder builder;
    const auto first = static_cast<uint8_t>(shape.channels.front().number - 1);
    const auto last = static_cast<uint8_t>(shape.channels.back().number - 1);
    builder.SetChannelIndices(first, last);
    builder.SetStartTime(*HeaderTimeFromDateTime(FixtureTime(shape.start)));
    builder.SetEndTime(*HeaderTimeFromDateTime(FixtureTime(shape.end)));
    for (const ChannelShape& channel : shape.channels)
        builder.SetDescriptor(static_cast<size_t>(channel.number - 1),
                              {channel.high, channel.low, 3, channel.unitCode, 1});
    for (const ChannelShape& channel : shape.channels) {
        std::vector<DataRecord> records;
        for (const RecordSpec& r : channel.records)
            records.push_back({FixtureT0 + r.start, r.interval, r.raw, {}, {}});
        builder.AppendBlock(records);
    }
    return builder.TakeBytes();
}

inline std::string WriteFixture(const std::filesystem::path& dir, const FileShape& shape) {
    const std::string path = (dir / shape.name).string();
    EXPECT_EQ(WriteBinaryFile(path, FileBytes(shape)), std::nullopt);
    return path;
}

inline std::vector<int16_t> Ramp(int from, int count, int step = 1) {
    std::vector<int16_t> raw;
    for (int i = 0; i < count; ++i)
        raw.push_back(static_cast<int16_t>(from + i * step));
    return raw;
}

// The same channels, entries (times to the millisecond, values bit for bit), ranges, time
// window, value range and sample count; the files' windows and kept samples.
inline void ExpectSameRecording(const JoinedRecording& expected, const JoinedRecording& actual) {
    EXPECT_EQ(actual.info.sampleCount, expected.info.sampleCount);
    EXPECT_EQ(actual.info.valueMax, expected.info.valueMax);
    EXPECT_EQ(actual.info.valueMin, expected.info.valueMin);
    EXPECT_EQ(DateTimeToUnixMilliseconds(actual.info.startTime),
              DateTimeToUnixMilliseconds(expected.info.startTime));
    EXPECT_EQ(DateTimeToUnixMilliseconds(actual.info.endTime),
              DateTimeToUnixMilliseconds(expected.info.endTime));
    ASSERT_EQ(actual.files.size(), expected.files.size());
    for (size_t f = 0; f < expected.files.size(); ++f) {
        EXPECT_EQ(actual.files[f].path, expected.files[f].path);
        EXPECT_EQ(actual.files[f].keptSamples, expected.files[f].keptSamples)
            << expected.files[f].path;
    }
    ASSERT_EQ(actual.channels.size(), expected.channels.size());
    for (size_t c = 0; c < expected.channels.size(); ++c) {
        const ChannelInfo& e = expected.channels[c];
        const ChannelInfo& a = actual.channels[c];
        SCOPED_TRACE("channel " + std::to_string(e.channel));
        EXPECT_EQ(a.channel, e.channel);
        EXPECT_EQ(a.unit, e.unit);
        EXPECT_EQ(std::bit_cast<uint32_t>(a.rangeLow), std::bit_cast<uint32_t>(e.rangeLow));
        EXPECT_EQ(std::bit_cast<uint32_t>(a.rangeHigh), std::bit_cast<uint32_t>(e.rangeHigh));
        if (EntryCount(a) != EntryCount(e)) {
            // Where the break points lie tells most about what went wrong.
            for (const ChannelInfo* c : {&e, &a}) {
                std::string text;
                for (size_t i = 0; i < EntryCount(*c); ++i)
                    if (IsGapValue(c->values[i]))
                        text += " " + FormatDateTime(c->times[i], "HH:mm:ss.zzz");
                ADD_FAILURE() << (c == &e ? "expected" : "actual") << " break points:" << text;
            }
        }
        ASSERT_EQ(EntryCount(a), EntryCount(e));
        // Entries of one millisecond form one group whose order does not count: it is the
        // rounding noise of the files' time arithmetic (the join orders a break point and a
        // sample at the same instant by it).
        size_t differences = 0;
        for (size_t begin = 0, end; begin < EntryCount(e) && differences < 5; begin = end) {
            const int64_t ms = DateTimeToUnixMilliseconds(e.times[begin]);
            end = begin + 1;
            while (end < EntryCount(e) && DateTimeToUnixMilliseconds(e.times[end]) == ms)
                ++end;
            std::vector<uint32_t> expectedValues, actualValues;
            bool sameTimes = true;
            for (size_t i = begin; i < end; ++i) {
                sameTimes = sameTimes && DateTimeToUnixMilliseconds(a.times[i]) == ms;
                expectedValues.push_back(std::bit_cast<uint32_t>(e.values[i]));
                actualValues.push_back(std::bit_cast<uint32_t>(a.values[i]));
            }
            std::sort(expectedValues.begin(), expectedValues.end());
            std::sort(actualValues.begin(), actualValues.end());
            if (sameTimes && expectedValues == actualValues)
                continue;
            ++differences;
            ADD_FAILURE() << "entry " << begin << ": "
                          << FormatDateTime(a.times[begin], ReadoutTimePattern) << " "
                          << a.values[begin] << " for "
                          << FormatDateTime(e.times[begin], ReadoutTimePattern) << " "
                          << e.values[begin];
        }
    }
}

inline std::unique_ptr<Archive> OpenArchive(const std::string& location, bool create = true) {
    UserMessage failure;
    auto archive = Archive::Open(location, create, failure);
    EXPECT_TRUE(archive) << failure.text;
    return archive;
}
