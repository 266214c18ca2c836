// paperless-recorder-tool on a folder: the commands join its data files.
#include "data/RecorderFileWriter.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "tests/ToolProgram.h"
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class ToolJoinTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tool_join_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "days");
    }
    void TearDown() override { fs::remove_all(dir); }

    ToolResult Run(const std::vector<std::string>& args) {
        return RunTool(RECORDER_TOOL, args, dir);
    }

    // A day of two channels from start, without interruptions; each seed its own values.
    std::string Day(const std::string& name, const std::string& start, int seed) {
        const std::string path = (dir / "days" / name).string();
        const ToolResult r =
            Run({"sample", path, "--channels", "2", "--days", "1", "--start", start,
                 "--interruptions-per-day", "0", "--seed", std::to_string(seed)});
        EXPECT_EQ(r.status, 0) << r.err;
        return path;
    }

    // The sample lines of a dump, "<time>,<value>" by channel line prefix ("1,℃").
    static std::map<std::string, std::vector<std::string>> SampleLines(const std::string& dump) {
        std::map<std::string, std::vector<std::string>> lines;
        std::istringstream in(dump);
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("info,") || line.starts_with("channel,"))
                continue;
            const size_t unitEnd = line.find(',', line.find(',') + 1);
            lines[line.substr(0, unitEnd)].push_back(line.substr(unitEnd + 1));
        }
        return lines;
    }

    fs::path dir;
};

TEST_F(ToolJoinTest, AFolderDumpsAsItsFilesJoinedAndInfoListsThem) {
    // The second day's export begins an hour before the first one ends.
    const std::string second = Day("b.bin", "2015-03-16 23:00:00", 2);
    const std::string first = Day("a.bin", "2015-03-16 00:00:00", 1);
    auto expected = SampleLines(Run({"dump", first}).out);
    for (auto& [channel, lines] : SampleLines(Run({"dump", second}).out)) {
        const std::string lastHeld = expected[channel].back().substr(0, 19);
        for (const std::string& line : lines)
            if (line.substr(0, 19) > lastHeld)
                expected[channel].push_back(line);
    }
    const ToolResult joined = Run({"dump", (dir / "days").string()});
    ASSERT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(SampleLines(joined.out), expected);
    EXPECT_TRUE(joined.out.starts_with(
        "info,150.000,-20.000,2015-03-16 00:00:00,2015-03-17 22:59:59,338400\n"))
        << joined.out.substr(0, 80);

    const ToolResult info = Run({"info", (dir / "days").string()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find(
                  "Files: 2\n  " + first +
                  ": 2015-03-16 00:00:00 to 2015-03-16 23:59:59, 172800 samples kept\n  " + second +
                  ": 2015-03-16 23:00:00 to 2015-03-17 22:59:59, 165600 samples kept\n"),
              std::string::npos)
        << info.out;
}

TEST_F(ToolJoinTest, ARefusedJoinExitsWithOneNamingTheFile) {
    Day("a.bin", "2015-03-16 00:00:00", 1);
    // A file cut short after its first data block.
    const std::string cut = Day("b.bin", "2015-03-17 00:00:00", 2);
    fs::resize_file(cut, 2 * 16384);
    for (const std::string command : {"info", "dump", "csv"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args{command, (dir / "days").string()};
        if (command == "csv")
            args.push_back((dir / "out.csv").string());
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(cut + ": File read failure!"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "out.csv")); // nothing half-joined is written

    fs::create_directories(dir / "empty");
    const ToolResult empty = Run({"info", (dir / "empty").string()});
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("No recorder data files (*.bin, *.dat) in "), std::string::npos)
        << empty.err;
}

TEST_F(ToolJoinTest, MemoryRunningOutInTheJoinEndsTheCommandWithAMessageAndOne) {
    // Two files of two channels, one after the other, 0.3 days each. Reading one reserves room
    // for its four blocks a channel (262,656 bytes of times); joining them needs room for both
    // files' samples of a channel at once (414,736 bytes). Above 340,000 bytes allocations fail.
    for (const auto& [name, start] :
         {std::pair{"a.bin", "2015-03-16 00:00:00"}, std::pair{"b.bin", "2015-03-16 07:12:00"}}) {
        const ToolResult r =
            Run({"sample", (dir / "days" / name).string(), "--channels", "2", "--days", "0.3",
                 "--start", start, "--interruptions-per-day", "0"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    // The sanitizers' runtime wants to come first; the preloaded allocator goes before it.
    const std::string limited =
        "LD_PRELOAD='" ALLOCATION_LIMIT_LIBRARY "' RECORDER_ALLOCATION_LIMIT=340000"
        " ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" " RECORDER_TOOL;
    const ToolResult one = RunTool(limited, {"info", (dir / "days" / "a.bin").string()}, dir);
    EXPECT_EQ(one.status, 0) << one.err; // a file alone reads within the limit
    for (const std::string command : {"info", "dump", "csv"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> args{command, (dir / "days").string()};
        if (command == "csv")
            args.push_back((dir / "out.csv").string());
        const ToolResult r = RunTool(limited, args, dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "paperless-recorder-tool: out of memory\n");
    }
    EXPECT_FALSE(fs::exists(dir / "out.csv"));
}

} // namespace
