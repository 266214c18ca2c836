// The readout command run as a program: the chart's read-out texts for a time, and its errors.
#include "data/RecorderFileWriter.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "tests/ToolProgram.h"
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int32_t T0 = 479811600; // 2015-03-16 09:00:00

class ReadoutCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("readout_" + std::to_string(getpid()));
        fs::create_directories(dir);
        // Channel 1 in ℃: samples at 09:00:00 to :02, a gap to 09:00:10, and 10.0 there.
        RecorderFileBuilder b;
        b.SetChannelIndices(0, 0);
        b.SetStartTime({15, 3, 16, 9, 0, 0});
        b.SetEndTime({15, 3, 16, 9, 0, 10});
        b.SetDescriptor(0, {1000, 0, 3, 19, 1});
        b.AppendBlock({{T0, 1, {253, 254, 260}, {}, {}}, {T0 + 10, 1, {100}, {}, {}}}, 0x00);
        file = (dir / "small.bin").string();
        EXPECT_EQ(WriteBinaryFile(file, b.Bytes()), std::nullopt);
    }
    void TearDown() override { fs::remove_all(dir); }

    ToolResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), "readout");
        return RunTool(RECORDER_TOOL, args, dir);
    }

    fs::path dir;
    std::string file;
};

} // namespace

TEST_F(ReadoutCommandTest, PrintsTheLegendTheChartShowsAtTheTime) {
    struct Case {
        const char* time;
        const char* out;
    };
    const Case cases[] = {
        {"2015-03-16 09:00:01", "Longitudinal vernier X: 2015-03-16 09:00:01\n"
                                "Channel 01 25.400℃\n"},
        // Nearest is the gap's first null point.
        {"2015-03-16 09:00:05", "Longitudinal vernier X: 2015-03-16 09:00:05\n"
                                "Channel 01  ---\n"},
        // Within the second of the last point.
        {"2015-03-16 09:00:10.900", "Longitudinal vernier X: 2015-03-16 09:00:10\n"
                                    "Channel 01 10.000℃\n"},
        {"2015-03-16 09:00:11", "Longitudinal vernier X: 2015-03-16 09:00:11\n"
                                "Channel 01  ---\n"},
    };
    for (const Case& c : cases) {
        const ToolResult r = Run({file, c.time});
        EXPECT_EQ(r.status, 0) << c.time << r.err;
        EXPECT_EQ(r.out, c.out) << c.time;
    }
}

TEST_F(ReadoutCommandTest, ScreeningOptionsReadTheScreenedViews) {
    struct Case {
        std::vector<std::string> options;
        const char* out;
    };
    const Case cases[] = {
        {{}, "Longitudinal vernier X: 2015-03-16 09:00:02\nChannel 01 26.000℃\n"},
        // Screened series are titled without the blank. The window ends at 09:00:01: the
        // nearest point lies in another second.
        {{"--to", "2015-03-16 09:00:01"},
         "Longitudinal vernier X: 2015-03-16 09:00:02\nChannel01  ---\n"},
        {{"--from", "2015-03-16 09:00:02"},
         "Longitudinal vernier X: 2015-03-16 09:00:02\nChannel01 26.000℃\n"},
        // Channel 1 screened out: the title alone.
        {{"--channels", "2"}, "Longitudinal vernier X: 2015-03-16 09:00:02\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{file, "2015-03-16 09:00:02"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.out) << (c.options.empty() ? "" : c.options.front());
    }
}

TEST_F(ReadoutCommandTest, FileReadPartlyReadsOutWhatWasRead) {
    // Channel 2 promises a block the file does not have: channel 1 is read, then the reader
    // gives up.
    RecorderFileBuilder b;
    b.SetChannelIndices(0, 1);
    b.SetStartTime({15, 3, 16, 9, 0, 0});
    b.SetEndTime({15, 3, 16, 9, 0, 10});
    b.SetDescriptor(0, {1000, 0, 3, 19, 1});
    b.SetDescriptor(1, {10, -10, 4, 300, 2});
    b.AppendBlock({{T0, 1, {253, 254, 260}, {}, {}}}, 0x00);
    b.AppendBlock({{T0, 1, {5, -3}, {}, {}}}, 0x00);
    const std::string cut = (dir / "cut.bin").string();
    ASSERT_EQ(WriteBinaryFile(cut, b.Bytes()), std::nullopt);
    const ToolResult r = Run({cut, "2015-03-16 09:00:01"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Longitudinal vernier X: 2015-03-16 09:00:01\nChannel 01 25.400℃\n");
    EXPECT_EQ(r.err, cut + ": File read failure!\n");
}

TEST_F(ReadoutCommandTest, RefusedFilesAndWrongArguments) {
    const std::string bad = (dir / "bad.bin").string();
    std::ofstream(bad) << "not a recording";
    ToolResult r = Run({bad, "2015-03-16 09:00:01"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(r.err.rfind(bad + ": ", 0), 0u) << r.err;

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {file},
             {file, "2015-03-16 09:00:01.5"},
             {file, "16.03.2015 09:00:01"},
             {file, "2015-03-16 09:00:01", "--channels", "x"},
             {file, "2015-03-16 09:00:01", "--from", "2015-03-16 09:00:05", "--to",
              "2015-03-16 09:00:01"},
         }) {
        r = Run(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_TRUE(r.out.empty()) << args.back();
    }
}

TEST_F(ReadoutCommandTest, SecondCursorReadsBothValuesAndTheirDifference) {
    const ToolResult r = Run({file, "2015-03-16 09:00:01", "--cursor-b", "2015-03-16 09:00:10"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "A 2015-03-16 09:00:01 \u00B7 B 2015-03-16 09:00:10 \u00B7 \u0394t 00:00:09\n"
                     "Channel 01  A 25.400℃  B 10.000℃  B\u2212A -15.400℃\n");
    // B in the gap: no value, no difference.
    const ToolResult gap = Run({file, "2015-03-16 09:00:01", "--cursor-b=2015-03-16 09:00:05"});
    EXPECT_EQ(gap.out,
              "A 2015-03-16 09:00:01 \u00B7 B 2015-03-16 09:00:05 \u00B7 \u0394t 00:00:04\n"
              "Channel 01  A 25.400℃  B -  B\u2212A -\n");
    EXPECT_EQ(Run({file, "2015-03-16 09:00:01", "--cursor-b", "soon"}).status, 2);
    EXPECT_EQ(Run({file, "2015-03-16 09:00:01", "--cursor-b"}).status, 2);
}

TEST_F(ReadoutCommandTest, StatsPrintsTheIntervalAsCsv) {
    const std::string header =
        "channel,unit,count,min,min_time,max,max_time,mean,first,last,difference\n";
    auto stats = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "stats");
        return RunTool(RECORDER_TOOL, args, dir);
    };
    // Ends in either order, both included; the gap points are no samples.
    const ToolResult all = stats({file, "2015-03-16 09:00:10", "2015-03-16 09:00:00"});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out, header + "1,℃,4,10.000,2015-03-16 09:00:10,26.000,2015-03-16 09:00:02,"
                                "21.675,25.300,10.000,-15.300\n");
    const ToolResult none = stats({file, "2015-03-16 09:00:03", "2015-03-16 09:00:09"});
    EXPECT_EQ(none.out, header + "1,℃,0,,,,,,,,\n");
    EXPECT_EQ(stats({file, "2015-03-16 09:00:00", "2015-03-16 09:00:10", "--channels", "2"}).out,
              header);
    EXPECT_EQ(stats({file, "2015-03-16 09:00:00"}).status, 2);
    EXPECT_EQ(stats({file, "2015-03-16 09:00:00", "noon"}).status, 2);
    EXPECT_EQ(
        stats({file, "2015-03-16 09:00:00", "2015-03-16 09:00:10", "--from", "2015-03-16 09:00:00"})
            .status,
        2);
    EXPECT_EQ(stats({(dir / "missing.bin").string(), "2015-03-16 09:00:00", "2015-03-16 09:00:10"})
                  .status,
              1);
}

TEST_F(ReadoutCommandTest, StatsWithChannelsAnswersAsWithoutOnAHeaderWhoseStartLiesAfterItsEnd) {
    // The header's window runs backwards: the reader keeps no sample, the channels stay.
    RecorderFileBuilder b;
    b.SetChannelIndices(0, 1);
    b.SetStartTime({15, 3, 16, 9, 0, 10});
    b.SetEndTime({15, 3, 16, 9, 0, 0});
    b.SetDescriptor(0, {1000, 0, 3, 19, 1});
    b.SetDescriptor(1, {1000, 0, 3, 20, 1});
    b.AppendBlock({{T0, 1, {253, 254, 260}, {}, {}}}, 0x00);
    b.AppendBlock({{T0, 1, {1, 2, 3}, {}, {}}}, 0x00);
    const std::string reversed = (dir / "reversed.bin").string();
    ASSERT_EQ(WriteBinaryFile(reversed, b.Bytes()), std::nullopt);
    auto stats = [&](std::vector<std::string> options) {
        std::vector<std::string> args{"stats", reversed, "2015-03-16 09:00:00",
                                      "2015-03-16 09:00:10"};
        args.insert(args.end(), options.begin(), options.end());
        return RunTool(RECORDER_TOOL, args, dir);
    };
    const ToolResult all = stats({});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out, "channel,unit,count,min,min_time,max,max_time,mean,first,last,difference\n"
                       "1,℃,0,,,,,,,,\n2,%,0,,,,,,,,\n");
    const ToolResult both = stats({"--channels", "1-2"});
    EXPECT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(both.out, all.out);
    const ToolResult second = stats({"--channels", "2"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out,
              "channel,unit,count,min,min_time,max,max_time,mean,first,last,difference\n"
              "2,%,0,,,,,,,,\n");
}
