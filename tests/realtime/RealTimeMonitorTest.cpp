// The device side of a live run against the instrument simulator on a pseudo-terminal, with
// the port mapped through config.ini as a user would map a USB adapter.

#include "app/realtime/RealTimeMonitor.h"
#include "data/Text.h"
#include "device/DeviceTexts.h"
#include "device/PosixSerialPort.h"
#include "tools/simulator/SimulatorServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

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

TEST_F(RealTimeMonitorTest, AConnectIsCancelledByStopAndByTheEndOfTheMonitor) {
    // 16 channels at 1200 bit/s: a connect of 33 requests that takes seconds.
    {
        std::ofstream out(configPath);
        out << "[COM]\nport=0\nbaudRate=0\nstopBit=0\ndataBit=3\ncheckType=0\naddress=1\n"
               "[CHANNEL]\n";
        for (int n = 1; n <= 16; ++n)
            out << "CH" << (n < 10 ? "0" : "") << n << "=1\n";
        out << "[PORTS]\nCOM1=" << server.DevicePath()
            << "\n[RECORD]\nenabled=1\nfolder=" << (dir / "records").string() << "\n";
    }
    SimulatorFaults slow;
    slow.paceBaud = 1200;
    instrument.SetFaults(slow);
    auto connectUnderWay = [&](int requests) {
        for (int i = 0; i < 500 && instrument.Stats().requests < requests; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return instrument.Stats().requests;
    };
    auto portFree = [&] {
        PosixSerialPort port([&](int32_t) { return server.DevicePath(); });
        return port.OpenPort(1) == PortResult::Ok;
    };
    auto noRecord = [&] {
        return !std::filesystem::exists(dir / "records") ||
               std::filesystem::is_empty(dir / "records");
    };

    RealTimeMonitor monitor(configPath);
    std::optional<LiveStartResult> result;
    ASSERT_TRUE(monitor.BeginStart([&](LiveStartResult r) { result = std::move(r); }));
    const int beforeStop = connectUnderWay(3);
    monitor.Stop();
    monitor.WaitIdle();
    // The request under way was the last one.
    EXPECT_LE(instrument.Stats().requests, beforeStop + 1);
    ASSERT_TRUE(result);
    EXPECT_EQ(monitor.AcceptStart(*result), std::nullopt) << "a cancelled start tells nothing";
    EXPECT_FALSE(monitor.LinkActive());
    EXPECT_TRUE(portFree());
    EXPECT_TRUE(noRecord()) << "a run that never connected leaves no record";
    // The connection serves its next user (the picture download) at once, on a clean line.
    ASSERT_TRUE(monitor.Connection().OpenLink());
    EXPECT_TRUE(monitor.Connection().ReadIdentification())
        << GbkToUtf8(monitor.Connection().records().lastError);
    monitor.Connection().CloseLink();

    auto ended = std::make_unique<RealTimeMonitor>(configPath);
    ASSERT_TRUE(ended->BeginStart([](LiveStartResult) {}));
    const int beforeEnd = connectUnderWay(instrument.Stats().requests + 3);
    ended.reset();
    EXPECT_LE(instrument.Stats().requests, beforeEnd + 1);
    EXPECT_TRUE(portFree());
    EXPECT_TRUE(noRecord());
}
