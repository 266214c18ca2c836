// The device side of a live run against the instrument simulator on a pseudo-terminal, with
// the port mapped through config.ini as a user would map a USB adapter.

#include "app/realtime/RealTimeMonitor.h"
#include "data/Text.h"
#include "device/DeviceTexts.h"
#include "tools/simulator/SimulatorServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class RealTimeMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Open(error)) << error;
        server.Start();
        WriteConfig(1, {2, 5, 7}, server.DevicePath());
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void WriteConfig(int address, std::initializer_list<int> channels, const std::string& device) {
        std::ofstream out(configPath);
        out << "[COM]\nport=0\nbaudRate=3\nstopBit=0\ndataBit=3\ncheckType=0\naddress=" << address
            << "\n[CHANNEL]\n";
        for (int n = 1; n <= 16; ++n)
            out << "CH" << (n < 10 ? "0" : "") << n << "="
                << (std::find(channels.begin(), channels.end(), n) != channels.end()) << "\n";
        out << "[PORTS]\nCOM1=" << device << "\n";
    }

    InstrumentSimulator instrument{SimulatorOptions{}};
    SimulatorServer server{instrument};
    std::filesystem::path dir = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("realtime-monitor-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    std::string configPath = (dir / "config.ini").string();
};

} // namespace

TEST_F(RealTimeMonitorTest, StartsWithTheFileSettingsAndPausesWhileAWorkerRuns) {
    RealTimeMonitor monitor(configPath);
    ASSERT_EQ(monitor.Start(), std::nullopt) << GbkToUtf8(monitor.Records().lastError);
    EXPECT_TRUE(monitor.LinkActive());
    const DeviceRecords& records = monitor.Records();
    EXPECT_EQ(ActiveChannelsOf(records.commSettings), (std::vector<int16_t>{2, 5, 7}));
    EXPECT_EQ(records.commSettings.baudRate, 19200);
    for (int n : {2, 5, 7})
        EXPECT_EQ(records.channelConfig[n - 1].unitCode,
                  InstrumentSimulator::Channel(n - 1).unitCode);
    EXPECT_EQ(records.channelConfig[0].unitCode, 0) << "channel 1 is not monitored, not read";

    EXPECT_TRUE(monitor.Poll());
    EXPECT_NE(records.liveSnapshot.instrumentTime, 0.0);
    const int requests = instrument.Stats().requests;
    EXPECT_FALSE(monitor.Poll(/*workerRunning=*/true));
    EXPECT_EQ(instrument.Stats().requests, requests) << "no transaction while a worker runs";
    EXPECT_TRUE(monitor.Poll());
}

TEST_F(RealTimeMonitorTest, AFailedStartTellsWhyAndLeavesThePortFree) {
    struct Case {
        int address;
        std::string device;
        std::string message;
    };
    const Case cases[] = {
        {1, (dir / "no-such-tty").string(), std::string(DeviceText::SerialInitFailed)},
        {7, server.DevicePath(),
         "Instrument no response\xA3\xAC"
         "Instrument address:7"},
    };
    for (const Case& c : cases) {
        WriteConfig(c.address, {2}, c.device);
        RealTimeMonitor monitor(configPath);
        const auto message = monitor.Start();
        ASSERT_TRUE(message) << c.message;
        EXPECT_EQ(message->text, c.message);
        EXPECT_EQ(message->icon, MessageIcon::Error);
        EXPECT_FALSE(monitor.LinkActive());
        EXPECT_FALSE(monitor.Poll());

        // The port is closed: another connection can have it at once.
        WriteConfig(1, {2}, server.DevicePath());
        RealTimeMonitor other(configPath);
        EXPECT_EQ(other.Start(), std::nullopt) << c.message;
    }
}

TEST_F(RealTimeMonitorTest, StopFreesThePortAndTheNextStartRereadsTheFile) {
    RealTimeMonitor monitor(configPath);
    ASSERT_EQ(monitor.Start(), std::nullopt);
    {
        RealTimeMonitor other(configPath);
        EXPECT_TRUE(other.Start()) << "the running link holds the port";
    }
    monitor.Stop();
    EXPECT_FALSE(monitor.LinkActive());
    EXPECT_FALSE(monitor.Poll());

    WriteConfig(1, {16}, server.DevicePath());
    ASSERT_EQ(monitor.Start(), std::nullopt);
    EXPECT_EQ(ActiveChannelsOf(monitor.Records().commSettings), (std::vector<int16_t>{16}));
}

TEST_F(RealTimeMonitorTest, AStopFromThePollResultHandlerClosesThePortAndTheNextRunKeepsIt) {
    RealTimeMonitor monitor(configPath);
    ASSERT_EQ(monitor.Start(), std::nullopt);
    // The Stop lands after the poller's read and before it marks the read as ended: the
    // handler is where the window's queued call goes out.
    bool stopInHandler = true;
    std::vector<bool> reads;
    monitor.SetResultHandler([&](LivePollResult result) {
        reads.push_back(result.ok);
        if (std::exchange(stopInHandler, false))
            monitor.Stop();
    });
    ASSERT_TRUE(monitor.BeginPoll());
    monitor.WaitIdle();
    EXPECT_FALSE(monitor.LinkActive());
    {
        RealTimeMonitor other(configPath);
        EXPECT_EQ(other.Start(), std::nullopt) << "the stopped run freed its port";
    }

    // The next run keeps its port: every read answers, and nobody else can have the port.
    ASSERT_EQ(monitor.Start(), std::nullopt);
    for (int tick = 0; tick < 3; ++tick) {
        ASSERT_TRUE(monitor.BeginPoll());
        monitor.WaitIdle();
    }
    EXPECT_EQ(reads, (std::vector<bool>{true, true, true, true}));
    {
        RealTimeMonitor other(configPath);
        EXPECT_TRUE(other.Start()) << "the running link holds the port";
    }
    monitor.Stop();
    RealTimeMonitor other(configPath);
    EXPECT_EQ(other.Start(), std::nullopt) << "and Stop frees it";
}
