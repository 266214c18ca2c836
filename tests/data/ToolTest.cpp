// paperless-recorder-tool run as a program: exact dump output, exit statuses, messages on
// standard error, and the bundled demo recording being the writer's output.
#include "data/LiveRecord.h"
#include "data/RecorderFileWriter.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "tests/ToolProgram.h"
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int32_t T0 = 479811600; // 2015-03-16 09:00:00

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tool_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    ToolResult Run(const std::vector<std::string>& args) {
        return RunTool(RECORDER_TOOL, args, dir);
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (dir / name).string();
        EXPECT_EQ(WriteBinaryFile(path, bytes), std::nullopt);
        return path;
    }

    // Channel 1 in ℃ with an out-of-range sample and a gap; channel 2 with a unit code beyond
    // the table, whose second record ends its block.
    static RecorderFileBuilder SmallFile(uint16_t secondChannelBlocks) {
        RecorderFileBuilder b;
        b.SetChannelIndices(0, 1);
        b.SetStartTime({15, 3, 16, 9, 0, 0});
        b.SetEndTime({15, 3, 16, 9, 0, 10});
        b.SetDescriptor(0, {1000, 0, 3, 19, 1});
        b.SetDescriptor(1, {10, -10, 4, 300, secondChannelBlocks});
        b.AppendBlock({{T0, 1, {253, 1200, 260}, {}, {}}, {T0 + 10, 1, {100}, {}, {}}}, 0x00);
        b.AppendBlock({{T0, 1, {5, -3}, {}, {}}, {T0 + 2, 1, {7}, {}, 0x4000}}, 0x00);
        return b;
    }

    fs::path dir;
};

const char* const ChannelOneLines = "channel,1,℃\n"
                                    "1,℃,2015-03-16 09:00:00,25.300\n"
                                    "1,℃,2015-03-16 09:00:01,25.300\n"
                                    "1,℃,2015-03-16 09:00:02,26.000\n"
                                    "1,℃,2015-03-16 09:00:03,-158.000\n"
                                    "1,℃,2015-03-16 09:00:09,-158.000\n"
                                    "1,℃,2015-03-16 09:00:10,10.000\n";

TEST_F(ToolTest, DumpPrintsEveryStoredSample) {
    const ToolResult r = Run({"dump", Write("small.bin", SmallFile(1).Bytes())});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              std::string("info,100.000,-10.000,2015-03-16 09:00:00,2015-03-16 09:00:10,6\n") +
                  ChannelOneLines +
                  "channel,2,单位\n"
                  "2,单位,2015-03-16 09:00:00,5.000\n"
                  "2,单位,2015-03-16 09:00:01,-3.000\n");
}

TEST_F(ToolTest, DumpAfterAReaderFailure) {
    // Channel 2 promises a second block the file does not have.
    const ToolResult r = Run({"dump", Write("short.bin", SmallFile(2).Bytes())});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File read failure!\n");
    EXPECT_EQ(r.out,
              std::string("message,File read failure!\n"
                          "info,100.000,-10.000,2015-03-16 09:00:00,2015-03-16 09:00:10,6\n") +
                  ChannelOneLines);

    const ToolResult missing = Run({"dump", (dir / "missing.bin").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "message,Open file failure!\n"
                           "info,0.000,0.000,1899-12-30 00:00:00,1899-12-30 00:00:00,0\n");
}

TEST_F(ToolTest, ImportPrintsTheImportedRecordingAsDump) {
    const std::string csv = (dir / "lines.csv").string();
    std::ofstream(csv, std::ios::binary) << "No.,Channel,Value,Time,Unit\r\n"
                                            "1,3,25.5,2015/03/16 09:30:05,\xA1\xE6\r\n"
                                            "2,70000,-158,2015-03-16 09:30:01,V\r\n"
                                            "3,3,26,2015-03-16 09:30:06,mA\r\n";
    const ToolResult r = Run({"import", csv});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "info,26.000,-158.000,2015-03-16 09:30:01,2015-03-16 09:30:06,3\n"
                     "channel,3,℃\n"
                     "3,℃,2015-03-16 09:30:05,25.500\n"
                     "3,℃,2015-03-16 09:30:06,26.000\n"
                     "channel,4464,V\n"
                     "4464,V,2015-03-16 09:30:01,-158.000\n");

    const ToolResult missing = Run({"import", (dir / "missing.csv").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "File import failure!\n");
    EXPECT_EQ(missing.out, "message,File import failure!\n"
                           "info,0.000,0.000,1899-12-30 00:00:00,1899-12-30 00:00:00,0\n");
}

// A live run's record (*.csv) reads as File > Open reads it: the marker is a gap, no row.
TEST_F(ToolTest, CsvAndReadoutReadALiveRecord) {
    const std::string record = (dir / "live-20261210-100800.csv").string();
    std::ofstream(record, std::ios::binary) << "No.,Channel,Value,Time,Unit\n"
                                               "1,2,20.5,2026-12-10 10:08:00,V\n"
                                               "2,2,-158,2026-12-10 10:08:01,V\n"
                                               "3,2,30.25,2026-12-10 10:08:05,V\n";
    const ToolResult csv = Run({"csv", record, "-"});
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out, "Serial number,Time,Channel 2(V)\n"
                       "1,2026-12-10 10:08:00,20.500\n"
                       "2,2026-12-10 10:08:05,30.250\n");
    const ToolResult readout = Run({"readout", record, "2026-12-10 10:08:05"});
    EXPECT_EQ(readout.status, 0) << readout.err;
    EXPECT_EQ(readout.out, "Longitudinal vernier X: 2026-12-10 10:08:05\nChannel 02 30.250V\n");
}

// A record without samples (a run that recorded no tick) says so, whichever command reads it.
TEST_F(ToolTest, ARecordWithoutSamplesSaysSoInEveryCommand) {
    const std::string record = (dir / "live-20261210-100800.csv").string();
    std::ofstream(record, std::ios::binary) << "No.,Channel,Value,Time,Unit\n";
    const std::string said = std::string(LiveRecordEmptyText) + "\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", record},
          {"dump", record},
          {"csv", record, "-"},
          {"stats", record, "2026-12-10 10:08:00", "2026-12-10 10:09:00"}}) {
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find(said), std::string::npos) << args[0] << ": " << r.err;
    }
}

TEST_F(ToolTest, CsvWritesEveryRowInTheSheetLayout) {
    const std::string out = (dir / "small.csv").string();
    const ToolResult r = Run({"csv", Write("small.bin", SmallFile(1).Bytes()), out});
    ASSERT_EQ(r.status, 0) << r.err;
    // Gap points give no row; a channel without a sample at a row's time shows "-"; the units
    // stay GBK bytes.
    EXPECT_EQ(ReadText(out), "Serial number,Time,Channel 1(\xA1\xE6),Channel 2(\xB5\xA5\xCE\xBB)\n"
                             "1,2015-03-16 09:00:00,25.300,5.000\n"
                             "2,2015-03-16 09:00:01,25.300,-3.000\n"
                             "3,2015-03-16 09:00:02,26.000,-\n"
                             "4,2015-03-16 09:00:10,10.000,-\n");
    const ToolResult toStdout = Run({"csv", (dir / "small.bin").string(), "-"});
    EXPECT_EQ(toStdout.out, ReadText(out));

    // A file the reader fails on writes nothing.
    const std::string failed = (dir / "failed.csv").string();
    const ToolResult missing = Run({"csv", (dir / "missing.bin").string(), failed});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, (dir / "missing.bin").string() + ": Open file failure!\n");
    EXPECT_FALSE(fs::exists(failed));
    const ToolResult unwritable =
        Run({"csv", (dir / "small.bin").string(), (dir / "no" / "x.csv").string()});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos);
}

// Lines of a text, each with its '\n'.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = text.find('\n', pos);
        lines.push_back(text.substr(pos, end - pos + 1));
        pos = end + 1;
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines, size_t first, size_t last) {
    std::string text;
    for (size_t i = first; i < last; ++i)
        text += lines[i];
    return text;
}

TEST_F(ToolTest, CsvWritesPagesAndScreenedViews) {
    // Two channels sampled each second from 08:00:00 to 08:28:47: 1728 rows.
    SampleOptions options;
    options.channels = 2;
    options.days = 0.02;
    options.interruptionsPerDay = 0;
    options.outOfRangeRunsPerDay = 0;
    SampleRecording recording;
    ASSERT_FALSE(GenerateSampleRecording(options, recording));
    const std::string file = Write("rec.bin", recording.bytes);
    const ToolResult all = Run({"csv", file, "-"});
    ASSERT_EQ(all.status, 0) << all.err;
    const std::vector<std::string> lines = Lines(all.out); // header, then row r at r
    ASSERT_EQ(lines.size(), 1729u);

    struct Case {
        std::vector<std::string> options;
        size_t firstRow, endRow; // rows of the whole recording, 1-based, end exclusive
    };
    const Case pages[] = {
        {{"--page", "1"}, 1, 501},
        {{"--page", "2", "--page-size", "500"}, 501, 1001}, // serial numbers run on
        {{"--page=4"}, 1501, 1729},
        {{"--page", "2", "--page-size=1000"}, 1001, 1729},
        {{"--page", "18", "--page-size", "100"}, 1701, 1729},
        // The page holding a time: 08:10:00 is row 601, the nearest row of a time between.
        {{"--page-at", "2015-03-16 08:10:00"}, 501, 1001},
        {{"--page-at=2015-03-16 08:08:19"}, 1, 501}, // row 500, the first page's last
        {{"--page-at", "2015-03-16 08:10:00", "--page-size", "100"}, 601, 701},
        {{"--page-at", "2015-03-16 07:00:00"}, 1, 501},     // before the recording: its first
        {{"--page-at", "2015-03-17 00:00:00"}, 1501, 1729}, // after it: its last
    };
    for (const Case& c : pages) {
        std::vector<std::string> args = {"csv", file, "-"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 0) << c.options.back();
        EXPECT_EQ(r.out, lines[0] + Joined(lines, c.firstRow, c.endRow)) << c.options.back();
    }
    const std::string beyond = (dir / "beyond.csv").string();
    const ToolResult past = Run({"csv", file, beyond, "--page", "5"});
    EXPECT_EQ(past.status, 1);
    EXPECT_EQ(past.err, "No content\n");
    EXPECT_FALSE(fs::exists(beyond));

    // Ten minutes of channel 2: both ends inclusive, rows numbered from 1.
    const ToolResult screened = Run({"csv", file, "-", "--from", "2015-03-16 08:10:00", "--to",
                                     "2015-03-16 08:20:00", "--channels", "2"});
    ASSERT_EQ(screened.status, 0) << screened.err;
    const std::vector<std::string> window = Lines(screened.out);
    ASSERT_EQ(window.size(), 602u);
    EXPECT_EQ(window[0], "Serial number,Time,Channel 2(Mpa)\n");
    for (size_t r = 1; r < window.size(); r += 150) {
        const std::string& whole = lines[600 + r]; // 08:10:00 is row 601 of the recording
        const std::string channel2 = whole.substr(whole.rfind(','));
        const std::string time = whole.substr(whole.find(','), 20);
        EXPECT_EQ(window[r], std::to_string(r) + time + channel2);
    }
    // A page of the screened views; a missing --to means the recording's end.
    const ToolResult screenedPage = Run(
        {"csv", file, "-", "--from", "2015-03-16 08:28:00", "--page", "1", "--page-size", "100"});
    std::string expected = lines[0];
    for (size_t r = 1681; r < 1729; ++r)
        expected += std::to_string(r - 1680) + lines[r].substr(lines[r].find(','));
    EXPECT_EQ(screenedPage.out, expected);

    const std::vector<std::vector<std::string>> bad = {
        {"--page", "0"},
        {"--page", "x"},
        {"--page", "1", "--page-size", "99"},
        {"--page", "1", "--page-size", "10001"},
        {"--page-size", "500"},
        {"--page-at", "08:10:00"},
        {"--page-at", "2015-03-16 08:10:00", "--page", "2"},
        {"--from", "2015-03-16"},
        {"--to", "2015-03-16 08:10:00", "--from", "2015-03-16 08:10:00"},
        {"--channels", "0"},
        {"--channels", "1,"},
        {"--from"},
    };
    for (const auto& options : bad) {
        std::vector<std::string> args = {"csv", file, beyond};
        args.insert(args.end(), options.begin(), options.end());
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 2) << options[0] << " " << options.back();
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(fs::exists(beyond));
}

TEST_F(ToolTest, CsvOfAFileReadPartlyWritesWhatTheWindowShows) {
    const std::string file = Write("short.bin", SmallFile(2).Bytes());
    const ToolResult r = Run({"csv", file, "-"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, file + ": File read failure!\n");
    EXPECT_EQ(r.out, "Serial number,Time,Channel 1(\xA1\xE6)\n"
                     "1,2015-03-16 09:00:00,25.300\n"
                     "2,2015-03-16 09:00:01,25.300\n"
                     "3,2015-03-16 09:00:02,26.000\n"
                     "4,2015-03-16 09:00:10,10.000\n");
}

TEST_F(ToolTest, InfoAndTheLoadLog) {
    const std::string path = Write("small.bin", SmallFile(1).Bytes());
    fs::create_directory(dir / "logs");
    const ToolResult r = Run({"info", path, "--log=" + (dir / "logs").string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Time window: 2015-03-16 09:00:00 to 2015-03-16 09:00:10\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("Samples: 6\n"), std::string::npos);
    EXPECT_NE(r.out.find("Channel 1: ℃, range 0.0 to 100.0, 4 samples, 2 gap points"),
              std::string::npos);
    EXPECT_NE(r.out.find("Channel 2: 单位, range -10 to 10, 2 samples, 0 gap points"),
              std::string::npos);
    ASSERT_EQ(std::distance(fs::directory_iterator(dir / "logs"), {}), 1);
    const std::string log = ReadText(fs::directory_iterator(dir / "logs")->path());
    EXPECT_EQ(log.substr(0, 33), "Channel 1, range: 0.000-100.000\r\n");

    const ToolResult missing = Run({"info", (dir / "missing.bin").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "Open file failure!\n");
}

TEST_F(ToolTest, SampleWritesTheGeneratorsBytes) {
    const std::string out = (dir / "sample.bin").string();
    const ToolResult r = Run({"sample", out, "--channels", "2", "--days=0.1", "--seed", "5",
                              "--start", "2016-02-29 23:00:00", "--interruptions-per-day", "40"});
    ASSERT_EQ(r.status, 0) << r.err;
    SampleOptions options;
    options.channels = 2;
    options.days = 0.1;
    options.seed = 5;
    options.start = EncodeDateTime({2016, 2, 29, 23, 0, 0}).value();
    options.interruptionsPerDay = 40;
    SampleRecording expected;
    ASSERT_EQ(GenerateSampleRecording(options, expected), std::nullopt);
    const std::string bytes = ReadText(out);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected.bytes);
}

TEST_F(ToolTest, TheBundledDemoIsTheWritersOutput) {
    const std::string out = (dir / "demo.bin").string();
    ASSERT_EQ(Run({"sample", out, "--demo"}).status, 0);
    const std::string regenerated = ReadText(out);
    const std::string committed = ReadText(fs::path(RECORDER_SOURCE_DIR) / "demo" / "demo.bin");
    EXPECT_EQ(committed.size(), regenerated.size());
    EXPECT_TRUE(committed == regenerated);
}

TEST_F(ToolTest, WrongArgumentsExitWithTwo) {
    const std::string out = (dir / "x.bin").string();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"dump"},
        {"info", "a.bin", "b.bin"},
        {"info", "a.bin", "--verbose"},
        {"sample"},
        {"sample", out, "--channels", "17"},
        {"sample", out, "--size", "100"},
        {"sample", out, "--days", "ten"},
        {"sample", out, "--start", "2015-02-30 00:00:00"},
        {"sample", out, "--seed"},
        {"csv"},
        {"csv", "a.bin"},
        {"csv", "a.bin", "b.csv", "c.csv"},
        {"import"},
        {"import", "a.csv", "b.csv"},
        {"download", "picture.txt"},
        {"download", "picture.txt", "7"},
        {"download", "picture.txt", "0"},
        {"download", "picture.txt", "1", "--baud", "fast"},
        {"download", "picture.txt", "1", "--frobnicate", "1"},
    };
    for (const auto& args : cases) {
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Run({"sample", "--help"}).status, 0);
    EXPECT_EQ(Run({"--help"}).status, 0);
}

TEST_F(ToolTest, EveryCommandAnswersHelpWithItsOwnUsage) {
    // The commands as the tool lists them: "  NAME ARGUMENTS" under "Commands:".
    const ToolResult list = Run({"--help"});
    ASSERT_EQ(list.status, 0);
    std::vector<std::string> names;
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 2 && line.starts_with("  ") && line[2] != ' ')
            names.push_back(line.substr(2, line.find(' ', 2) - 2));
    ASSERT_GE(names.size(), 9u);
    for (const std::string& name : names)
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{name, "--help"}, {name, "-h"}}) {
            const ToolResult r = Run(args);
            EXPECT_EQ(r.status, 0) << name << " " << args.back() << ": " << r.err;
            EXPECT_TRUE(r.out.starts_with("Usage: paperless-recorder-tool " + name + " "))
                << name << ": " << r.out;
            EXPECT_EQ(r.err, "") << name;
        }
}

} // namespace
