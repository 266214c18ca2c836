#include "tools/cli/PollCommand.h"
#include "tools/simulator/SimulatorServer.h"

#include <gtest/gtest.h>

#include <sstream>

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

    int Run(std::vector<std::string> extra) {
        std::vector<std::string> args = {"--config", "/nonexistent/config.ini",
                                         "--device", server.DevicePath(),
                                         "--baud",   "9600"};
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

TEST_F(PollCommand, FailuresPrintTheWindowsMessages) {
    SimulatorFaults faults;
    faults.answerAddress = 7;
    instrument.SetFaults(faults);
    EXPECT_EQ(Run({"--address", "1", "--ticks", "1"}), 1);
    EXPECT_NE(err.str().find("Instrument no response，Instrument address:1"), std::string::npos)
        << err.str();
    EXPECT_TRUE(out.str().empty());

    err.str("");
    EXPECT_EQ(RunPollCommand({"--device", "/nonexistent/tty", "--ticks", "1"}, out, err), 1);
    EXPECT_NE(err.str().find("Serial initialization failed!"), std::string::npos) << err.str();

    EXPECT_EQ(RunPollCommand({"--channels", "0-3"}, out, err), 2);
    EXPECT_EQ(RunPollCommand({"--bogus", "1"}, out, err), 2);
}
