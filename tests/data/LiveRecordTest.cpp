// The run record's lines, its files and where the live lines break.

#include "data/LiveRecord.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
