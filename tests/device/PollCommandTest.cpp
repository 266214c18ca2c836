#include "tools/cli/PollCommand.h"
#include "data/LiveRecord.h"
#include "tools/simulator/SimulatorServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

class PollCommand : public ::testing::Test {
protected:
    InstrumentSimulator instrument{[] {
        SimulatorOptions options;
        options.clock = [] { return EncodeDateTime({2015, 3, 16, 8, 5, 9}).value(); };
        return options;
    }()};
    SimulatorServer server{instrument};
    std::ostringstream out, err;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Open(error)) << error;
        server.Start();
    }

    std::filesystem::path dir = [] {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        auto path = std::filesystem::temp_directory_path() /
                    ("recorder-poll-" + std::to_string(getpid()) + "-" + info->name());
        std::filesystem::create_directories(path);
        std::ofstream(path / "config.ini") << "[COM]\naddress=1\n";
        return path;
    }();
    std::string configPath = (dir / "config.ini").string();

    void TearDown() override { std::filesystem::remove_all(dir); }

    int Run(std::vector<std::string> extra) {
        std::vector<std::string> args = {"--config",          configPath, "--device",
                                         server.DevicePath(), "--baud",   "9600"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunPollCommand(args, out, err);
    }
};

} // namespace

TEST_F(PollCommand, PrintsOneLinePerTick) {
    ASSERT_EQ(Run({"--channels", "1,3-4", "--ticks", "2", "--interval", "10"}), 0) << err.str();
    std::istringstream lines(out.str());
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        // Clock, then each channel: number, value, unit, four alarm flag characters.
        EXPECT_TRUE(line.starts_with("2015-03-16 08:05:09\tCH01 ")) << line;
        EXPECT_NE(line.find(" ℃ "), std::string::npos) << line;
        EXPECT_NE(line.find("\tCH03 "), std::string::npos) << line;
        EXPECT_NE(line.find(" Kpa "), std::string::npos) << line;
        EXPECT_NE(line.find("\tCH04 "), std::string::npos) << line;
        EXPECT_EQ(line.find("\tCH02 "), std::string::npos) << line;
        const std::string flags = line.substr(line.size() - 4);
        EXPECT_EQ(flags.find_first_not_of("UCFL-"), std::string::npos) << line;
    }
    EXPECT_EQ(count, 2);
}

TEST_F(PollCommand, FailuresPrintTheWindowsMessagesAndNameTheDevice) {
    SimulatorFaults faults;
    faults.answerAddress = 7;
    instrument.SetFaults(faults);
    EXPECT_EQ(Run({"--address", "1", "--ticks", "1"}), 1);
    // The reply came from another address: the note says so, and where, as the window's box.
    EXPECT_NE(err.str().find("Instrument no response，Instrument address:1\n  (" +
                             server.DevicePath() + ": a reply from another instrument address)"),
              std::string::npos)
        << err.str();
    EXPECT_TRUE(out.str().empty());

    err.str("");
    const std::string missing = (dir / "no-such-tty").string();
    EXPECT_EQ(
        RunPollCommand({"--config", configPath, "--device", missing, "--ticks", "1"}, out, err), 1);
    EXPECT_NE(err.str().find("Serial initialization failed!\n  (" + missing + ": no such device)"),
              std::string::npos)
        << err.str();
}

TEST_F(PollCommand, WrongOptionsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"--channels", "0-3"},
        {"--bogus", "1"},
        {"--baud", "12345"},
        {"--baud", "fast"},
        {"--record", ""},
        {"--archive", ""},
        {"--db", "/tmp/archive.sqlite"},              // the archive's place without the archive
        {"--config", (dir / "missing.ini").string()}, // last: its message is read below
    };
    for (const auto& args : cases) {
        err.str("");
        EXPECT_EQ(RunPollCommand(args, out, err), 2) << args[0] << " " << args[1];
        EXPECT_NE(err.str().find("Usage:"), std::string::npos);
    }
    EXPECT_NE(err.str().find("missing.ini"), std::string::npos) << "names the file it missed";
    EXPECT_EQ(instrument.Stats().requests, 0) << "nothing was sent";
}

TEST_F(PollCommand, AFailedTickReadsCleanlyAndTheRunGoesOn) {
    SimulatorFaults faults;
    // Identification and three channel blocks (two reads each) answer; the first live read
    // does not.
    faults.silentAfter = 7;
    faults.silentRequests = 1;
    instrument.SetFaults(faults);
    ASSERT_EQ(Run({"--channels", "1-3", "--ticks", "2", "--interval", "10"}), 0) << err.str();
    EXPECT_NE(
        err.str().find("poll: tick 1: no valid reply from " + server.DevicePath() + " (timeout)\n"),
        std::string::npos)
        << err.str();
    EXPECT_EQ(err.str().find("(:"), std::string::npos) << err.str();
    const std::string printed = out.str();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
}

TEST_F(PollCommand, TheDefaultSettingsFileIsTheProgramsOwn) {
    // No --config: the file the window's settings dialog writes, with its port mapping.
    const std::filesystem::path home = dir / "xdg";
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    std::filesystem::create_directories(home / "paperless-recorder");
    std::ofstream(home / "paperless-recorder" / "config.ini")
        << "[COM]\nport=2\nbaudRate=3\naddress=1\n[PORTS]\nCOM3=" << server.DevicePath() << "\n";
    const int status = RunPollCommand({"--channels", "1", "--ticks", "1"}, out, err);
    if (saved)
        setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(status, 0) << err.str();
    EXPECT_TRUE(out.str().starts_with("2015-03-16 08:05:09\tCH01 ")) << out.str();
}

namespace {

// A record's sample lines after its title: channel, value, time (unit left out).
struct RecordLine {
    long long n = 0;
    int channel = 0;
    float value = 0;
    std::string time;
};

std::vector<RecordLine> ReadRecord(const std::string& path, std::string& title) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<RecordLine> lines;
    std::istringstream stream(text);
    std::getline(stream, title);
    std::string line;
    while (std::getline(stream, line)) {
        RecordLine r;
        std::istringstream fields(line);
        std::string field;
        std::getline(fields, field, ',');
        r.n = std::stoll(field);
        std::getline(fields, field, ',');
        r.channel = std::stoi(field);
        std::getline(fields, field, ',');
        r.value = std::stof(field);
        std::getline(fields, r.time, ',');
        lines.push_back(r);
    }
    // Every line is whole: the file ends with its line break.
    if (!text.empty() && text.back() != '\n')
        lines.clear();
    return lines;
}

} // namespace

TEST_F(PollCommand, ARecordKilledMidRunKeepsEveryTickAndItsBreaks) {
    const std::filesystem::path folder = dir / "records";
    // The instrument's clock steps a second per live read.
    auto reads = std::make_shared<std::atomic<int>>(0);
    InstrumentSimulator stepping([reads] {
        SimulatorOptions options;
        options.clock = [reads] {
            return EncodeDateTime({2015, 3, 16, 8, 5, 9}).value() + (*reads)++ * OneSecond;
        };
        return options;
    }());
    SimulatorServer steppingServer(stepping);
    std::string error;
    ASSERT_TRUE(steppingServer.Open(error)) << error;
    steppingServer.Start();

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::ostringstream sink;
        RunPollCommand({"--config", configPath, "--device", steppingServer.DevicePath(),
                        "--channels", "1,2", "--interval", "30", "--record", folder.string()},
                       sink, sink);
        _exit(0);
    }
    auto recordPath = [&]() -> std::string {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
            return entry.path().string();
        return {};
    };
    auto waitFor = [&](auto condition) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::string title;
        while (std::chrono::steady_clock::now() < until) {
            const std::string path = recordPath();
            if (!path.empty() && condition(ReadRecord(path, title)))
                return true;
            usleep(10'000);
        }
        return false;
    };
    auto goodLines = [](const std::vector<RecordLine>& lines) {
        return std::count_if(lines.begin(), lines.end(),
                             [](const RecordLine& r) { return r.value != -158.0f; });
    };
    EXPECT_TRUE(waitFor([&](const auto& lines) { return goodLines(lines) >= 6; }));
    // Pull the cable for two reads, then let a few more ticks through and kill the tool.
    SimulatorFaults silence;
    silence.silentAfter = 0;
    silence.silentRequests = 2;
    stepping.SetFaults(silence);
    // The instrument's clock goes on while its answers do not come.
    *reads += 5;
    size_t before = 0;
    EXPECT_TRUE(waitFor([&](const auto& lines) {
        before = before ? before : lines.size();
        const auto gap = std::find_if(lines.begin(), lines.end(),
                                      [](const RecordLine& r) { return r.value == -158.0f; });
        return gap != lines.end() && std::count_if(gap, lines.end(), [](const RecordLine& r) {
                                         return r.value != -158.0f;
                                     }) >= 4;
    }));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::string path = recordPath();
    EXPECT_TRUE(std::filesystem::path(path).filename().string().starts_with("live-")) << path;
    std::string title;
    const std::vector<RecordLine> lines = ReadRecord(path, title);
    EXPECT_EQ(title, "No.,Channel,Value,Time,Unit");
    ASSERT_FALSE(lines.empty()) << "the last line is whole";
    ASSERT_EQ(lines.size() % 2, 0u) << "every tick has both channels";
    int gaps = 0;
    for (size_t i = 0; i < lines.size(); i += 2) {
        EXPECT_EQ(lines[i].n, static_cast<long long>(i + 1));
        EXPECT_EQ(lines[i].channel, 1);
        EXPECT_EQ(lines[i + 1].channel, 2);
        EXPECT_EQ(lines[i].time, lines[i + 1].time);
        EXPECT_EQ(lines[i].value == -158.0f, lines[i + 1].value == -158.0f);
        if (lines[i].value != -158.0f)
            continue;
        ++gaps;
        // The marker stands one second after the last good tick, before the next one.
        ASSERT_GE(i, 2u);
        ASSERT_LT(i + 2, lines.size());
        EXPECT_LT(lines[i - 2].time, lines[i].time);
        EXPECT_LT(lines[i].time, lines[i + 2].time);
    }
    EXPECT_EQ(gaps, 1) << "one marker for the outage";

    // Opened as File > Open does: every completed tick, the outage a gap in each channel, the
    // value range over measured values only.
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    ASSERT_FALSE(OpenLiveRecord(path, info, channels));
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(static_cast<size_t>(info.sampleCount), lines.size());
    for (const ChannelInfo& channel : channels) {
        EXPECT_EQ(channel.values.size(), lines.size() / 2);
        EXPECT_EQ(std::count(channel.values.begin(), channel.values.end(), GapValue), 1);
        EXPECT_TRUE(std::is_sorted(channel.times.begin(), channel.times.end()));
    }
    EXPECT_GT(info.valueMin, GapValue);
}

TEST_F(PollCommand, ARepeatedClockIsPrintedButNotRecorded) {
    // The fixture's instrument answers every read with the same time.
    const std::filesystem::path folder = dir / "records";
    ASSERT_EQ(
        Run({"--channels", "1,2", "--ticks", "3", "--interval", "10", "--record", folder.string()}),
        0)
        << err.str();
    const std::string printed = out.str();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 3) << "values shown as usual";
    for (int tick : {2, 3})
        EXPECT_NE(err.str().find("poll: tick " + std::to_string(tick) +
                                 ": repeated clock 2015-03-16 08:05:09, not recorded\n"),
                  std::string::npos)
            << err.str();
    std::string title;
    const auto path = std::filesystem::directory_iterator(folder)->path().string();
    const std::vector<RecordLine> lines = ReadRecord(path, title);
    ASSERT_EQ(lines.size(), 2u) << "one tick of two channels";
    EXPECT_EQ(lines[0].time, "2015-03-16 08:05:09");
}

namespace {

// An instrument whose clock moves a second every second live read, as when polled every
// 500 ms; offset shifts it (a clock set back).
struct HalfSecondInstrument {
    std::shared_ptr<std::atomic<int>> reads = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> offset = std::make_shared<std::atomic<int>>(0);
    InstrumentSimulator instrument{[this] {
        SimulatorOptions options;
        options.clock = [reads = reads, offset = offset] {
            return EncodeDateTime({2015, 3, 16, 11, 25, 20}).value() +
                   ((*reads)++ / 2 + *offset) * OneSecond;
        };
        return options;
    }()};
    SimulatorServer server{instrument};
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST_F(PollCommand, FailedTicksAmongAnsweredOnesLoseNoReading) {
    HalfSecondInstrument half;
    std::string error;
    ASSERT_TRUE(half.server.Open(error)) << error;
    half.server.Start();
    SimulatorFaults faults;
    faults.corruptEvery = 7;
    half.instrument.SetFaults(faults);
    const std::filesystem::path folder = dir / "records";
    ASSERT_EQ(
        RunPollCommand({"--config", configPath, "--device", half.server.DevicePath(), "--channels",
                        "1,2", "--ticks", "30", "--interval", "5", "--record", folder.string()},
                       out, err),
        0)
        << err.str();
    ASSERT_NE(err.str().find("no valid reply"), std::string::npos) << "faults were injected";

    // The readings printed, each second once (the second read of a second repeats its clock).
    std::vector<std::string> printed;
    for (const std::string& line : Lines(out.str()))
        if (printed.empty() || !line.starts_with(printed.back().substr(0, 19)))
            printed.push_back(line);
    std::string title;
    const auto path = std::filesystem::directory_iterator(folder)->path().string();
    const std::vector<RecordLine> lines = ReadRecord(path, title);
    ASSERT_EQ(lines.size(), 2 * printed.size()) << "no break: no second is missing";
    for (size_t i = 0; i < printed.size(); ++i) {
        EXPECT_TRUE(printed[i].starts_with(lines[2 * i].time)) << printed[i];
        char value[32];
        std::snprintf(value, sizeof value, "\tCH01 %0.3f ", lines[2 * i].value);
        EXPECT_NE(printed[i].find(value), std::string::npos) << printed[i] << " / " << value;
    }
}

TEST_F(PollCommand, AClockSetBackGoesOnInANewRecordAndSaysSo) {
    HalfSecondInstrument half;
    std::string error;
    ASSERT_TRUE(half.server.Open(error)) << error;
    half.server.Start();
    const std::filesystem::path folder = dir / "records";
    // Someone sets the instrument's clock back by an hour after a few ticks.
    std::thread setBack([&] {
        while (*half.reads < 6)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        *half.offset = -3600;
    });
    const int status =
        RunPollCommand({"--config", configPath, "--device", half.server.DevicePath(), "--channels",
                        "1", "--ticks", "16", "--interval", "20", "--record", folder.string()},
                       out, err);
    setBack.join();
    ASSERT_EQ(status, 0) << err.str();
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path().string());
    ASSERT_EQ(files.size(), 2u);
    const std::regex said("poll: tick [0-9]+: Instrument clock set back from 2015-03-16 "
                          "11:25:2[0-9] to 2015-03-16 10:25:2[0-9]; recording goes on in (.*)\n");
    std::smatch match;
    const std::string messages = err.str();
    ASSERT_TRUE(std::regex_search(messages, match, said)) << messages;
    const std::string newer = match[1];
    EXPECT_TRUE(newer == files[0] || newer == files[1]) << newer;
    // The hour after holds the ticks after the correction, in order.
    std::string title;
    const std::vector<RecordLine> after = ReadRecord(newer, title);
    ASSERT_GE(after.size(), 3u);
    EXPECT_TRUE(after.front().time.starts_with("2015-03-16 10:25:2")) << after.front().time;
    for (size_t i = 1; i < after.size(); ++i)
        EXPECT_LT(after[i - 1].time, after[i].time);
}
