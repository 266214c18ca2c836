// A folder's join taken chunk by chunk gives the data sheet rows of the whole join: each
// chunk's rows inside its stretch are the whole join's rows there, bit for bit, and together
// the chunks give every row once.
#include "data/RecorderFileWriter.h"
#include "data/RecordingJoin.h"
#include "views/SheetCells.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class JoinedChunks : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("joined-chunks-" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Sample(const std::string& name, SampleOptions options) {
        SampleRecording recording;
        EXPECT_FALSE(GenerateSampleRecording(options, recording));
        const std::string path = (dir_ / name).string();
        EXPECT_FALSE(WriteBinaryFile(path, recording.bytes));
        return path;
    }

    // The rows of a recording as text: the CSV layout over every channel, numbered from 1.
    static std::string SheetCsv(const std::vector<ChannelInfo>& channels) {
        std::ostringstream out;
        EXPECT_TRUE(WriteRecordingCsv(channels, out));
        return out.str();
    }

    std::string ChunkedCsv(const std::vector<std::string>& paths, size_t& chunks, bool& whole) {
        std::ostringstream out;
        size_t written = 0;
        chunks = 0;
        std::optional<JoinedRecording> complete;
        const auto message = ReadJoinedRecordingInChunks(
            paths,
            [&](const JoinedChunk& chunk) {
                std::vector<int16_t> columns;
                std::vector<ChannelSampleRange> ranges;
                for (size_t p = 0; p < chunk.part.channels.size(); ++p) {
                    columns.push_back(static_cast<int16_t>(p));
                    ranges.push_back(
                        {static_cast<int16_t>(p), chunk.part.channels[p].times.size(), {}});
                }
                if (chunks++ == 0)
                    out << SheetCsvHeader(columns, chunk.part.channels);
                const SheetRows rows = BuildSheetRows(chunk.part.channels, ranges);
                bool ok = true;
                written += WriteSheetCsvRowsBetween(rows, chunk.from, chunk.to, written, columns,
                                                    chunk.part.channels, out, ok);
                return ok;
            },
            complete);
        EXPECT_FALSE(message);
        whole = complete.has_value();
        if (complete)
            return SheetCsv(complete->channels);
        return out.str();
    }

    fs::path dir_;
};

SampleOptions Options(uint64_t seed, int channels, double days, const char* start) {
    SampleOptions options;
    options.seed = seed;
    options.channels = channels;
    options.days = days;
    options.start = *ParseDateTime(start);
    options.interruptionsPerDay = 12;
    return options;
}

TEST_F(JoinedChunks, GiveTheRowsOfTheWholeJoin) {
    // Exports overlapping by hours, one inside another, two starting together, one starting a
    // second before the previous ends, a channel only some files hold and a file beyond a
    // stretch without any.
    std::vector<std::string> paths = {
        Sample("a.bin", Options(1, 3, 0.3, "2015-03-16 00:00:00")),
        Sample("b.bin", Options(2, 3, 0.3, "2015-03-16 05:00:00")),
        Sample("c.bin", Options(3, 4, 0.05, "2015-03-16 06:00:00")),
        Sample("d.bin", Options(4, 2, 0.1, "2015-03-16 06:00:00")),
        Sample("e.bin", Options(5, 3, 0.1, "2015-03-16 14:23:59")),
        Sample("f.bin", Options(6, 3, 0.1, "2015-03-17 00:00:00")),
    };
    // The one-second samples of e run on from b's last minute; d's first sample meets c's.
    JoinedRecording joined;
    ASSERT_FALSE(ReadJoinedRecording(paths, joined));
    const std::string expected = SheetCsv(joined.channels);
    size_t chunks = 0;
    bool whole = false;
    const std::string actual = ChunkedCsv(paths, chunks, whole);
    EXPECT_FALSE(whole);
    EXPECT_GE(chunks, 3u);
    EXPECT_EQ(actual.size(), expected.size());
    EXPECT_TRUE(actual == expected);
}

TEST_F(JoinedChunks, AFileWhoseClockStepsBackIsJoinedWhole) {
    const std::string a = Sample("a.bin", Options(1, 2, 0.05, "2015-03-16 00:00:00"));
    // Two records, the second an hour before the first.
    RecorderFileBuilder b;
    b.SetChannelIndices(0, 0);
    b.SetStartTime({15, 3, 15, 23, 0, 0});
    b.SetEndTime({15, 3, 16, 2, 0, 0});
    b.SetDescriptor(0, {1000, 0, 3, 19, 1});
    const int32_t midnight = 479779200; // 2015-03-16 00:00:00
    std::vector<int16_t> ramp(100);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(i);
    b.AppendBlock({{midnight + 600, 1, ramp, {}, {}}, {midnight - 600, 1, ramp, {}, {}}});
    const std::string bPath = (dir_ / "b.bin").string();
    ASSERT_FALSE(WriteBinaryFile(bPath, b.Bytes()));
    JoinedRecording joined;
    ASSERT_FALSE(ReadJoinedRecording({a, bPath}, joined));
    size_t chunks = 0;
    bool whole = false;
    EXPECT_EQ(ChunkedCsv({a, bPath}, chunks, whole), SheetCsv(joined.channels));
    EXPECT_TRUE(whole);
    EXPECT_EQ(chunks, 0u);
}

TEST_F(JoinedChunks, ARefusedJoinGivesNoChunk) {
    std::vector<std::string> paths = {Sample("a.bin", Options(1, 2, 0.05, "2015-03-16 00:00:00")),
                                      (dir_ / "missing.bin").string()};
    size_t chunks = 0;
    std::optional<JoinedRecording> whole;
    const auto message = ReadJoinedRecordingInChunks(
        paths, [&](const JoinedChunk&) { return ++chunks > 0; }, whole);
    JoinedRecording joined;
    const auto expected = ReadJoinedRecording(paths, joined);
    ASSERT_TRUE(message);
    ASSERT_TRUE(expected);
    EXPECT_EQ(message->text, expected->text);
    EXPECT_EQ(chunks, 0u);
}

} // namespace
