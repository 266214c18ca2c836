// Our master against the instrument simulator: in-process for its frame handling, over a
// pseudo-terminal for whole transactions.

#include "DeviceTestSupport.h"

#include "device/DeviceTexts.h"
#include "device/ModbusRtuImpl.h"
#include "device/PosixSerialPort.h"
#include "tools/simulator/SimulatorServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace {

std::vector<uint8_t> ReadRequest(uint8_t address, uint8_t function, int start, int count) {
    std::vector<uint8_t> frame(8);
    BuildReadRequest(frame.data(), address, function, start, count);
    return frame;
}

DateTime FixedClock() {
    return EncodeDateTime({2015, 3, 16, 8, 5, 9}).value();
}

SimulatorOptions TestOptions() {
    SimulatorOptions options;
    options.clock = FixedClock;
    return options;
}

} // namespace

TEST(SimulatorFrames, FindsFramesInNoiseAndSplitChunks) {
    InstrumentSimulator instrument(TestOptions());
    const auto request = ReadRequest(1, 3, 0x2000, 4);
    std::vector<uint8_t> noisy = {0x00, 0x01, 0xFF, 0x03};
    noisy.insert(noisy.end(), request.begin(), request.begin() + 5);
    EXPECT_TRUE(instrument.Receive(noisy).empty());
    const auto replies = instrument.Receive({request.begin() + 5, request.end()});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].size(), 13u);
    std::string error;
    uint16_t words[4];
    EXPECT_TRUE(CheckRegisterReply(1, 3, error, replies[0].data(), 13, words)) << Utf8(error);

    // Another instrument's request, a corrupted one, and a read outside the map.
    EXPECT_TRUE(instrument.Receive(ReadRequest(2, 3, 0x2000, 4)).empty());
    auto corrupted = request;
    corrupted[7] ^= 1;
    EXPECT_TRUE(instrument.Receive(corrupted).empty());
    const auto outside = instrument.Receive(ReadRequest(1, 3, 0x3000, 1));
    ASSERT_EQ(outside.size(), 1u);
    EXPECT_EQ(outside[0], WithCrc({0x01, 0x83, 0x02}));
    EXPECT_GT(instrument.Stats().discardedBytes, 0);
}

TEST(SimulatorFrames, ValuesStayInRangeAndCrossTheirLimits) {
    for (int k = 0; k < InstrumentSimulator::ChannelCount; ++k) {
        const SimulatedChannel c = InstrumentSimulator::Channel(k);
        bool above = false, below = false;
        for (double t = 0; t < 200; t += 0.5) {
            const int16_t raw = InstrumentSimulator::RawValue(k, t);
            ASSERT_LE(raw, c.centre + c.amplitude);
            ASSERT_GE(raw, c.centre - c.amplitude);
            above = above || raw > c.upper;
            below = below || raw < c.lower;
        }
        EXPECT_TRUE(above && below) << "channel " << k + 1;
    }
}

class AgainstSimulator : public ::testing::Test {
protected:
    // Counts the opens of a real port, to see the reopen after eleven failures.
    struct CountingPort final : SerialPortLayer {
        PosixSerialPort real;
        int opens = 0;
        explicit CountingPort(PortDeviceResolver resolver) : real(std::move(resolver)) {}
        int32_t OpenPort(int32_t p) override {
            ++opens;
            return real.OpenPort(p);
        }
        int32_t SetTiming(int32_t p, int32_t r, int32_t w) override {
            return real.SetTiming(p, r, w);
        }
        int32_t SetLineParameters(int32_t p, int32_t b, int32_t l) override {
            return real.SetLineParameters(p, b, l);
        }
        int32_t ClosePort(int32_t p) override { return real.ClosePort(p); }
        int32_t Write(int32_t p, const uint8_t* b, int32_t n) override {
            return real.Write(p, b, n);
        }
        int32_t Read(int32_t p, uint8_t* b, int32_t n) override { return real.Read(p, b, n); }
    };

    std::filesystem::path picturePath =
        std::filesystem::temp_directory_path() /
        ("recorder-sim-picture-" + std::to_string(getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin");
    InstrumentSimulator instrument{[this] {
        SimulatorOptions options = TestOptions();
        options.pictureOutput = picturePath.string();
        return options;
    }()};
    std::unique_ptr<SimulatorServer> server = std::make_unique<SimulatorServer>(instrument);
    std::string devicePath;
    CountingPort port{[this](int32_t) { return devicePath; }};
    DeviceRecords records;
    ModbusRtuImpl connection{port, records};

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server->Open(error)) << error;
        devicePath = server->DevicePath();
        server->Start();
        records.commSettings = {1, 19200, 1, 8, 0, 1, {}};
        records.commSettings.channelEnabled.fill(true);
        ASSERT_TRUE(connection.OpenLink()) << records.lastError;
    }
    void TearDown() override { std::filesystem::remove(picturePath); }

    void SetFaults(auto&& change) {
        SimulatorFaults faults;
        change(faults);
        instrument.SetFaults(faults);
    }
};

TEST_F(AgainstSimulator, ConnectsAndReadsLiveValues) {
    ASSERT_TRUE(connection.Connect()) << Utf8(records.lastError);
    for (int k = 0; k < 16; ++k) {
        const SimulatedChannel c = InstrumentSimulator::Channel(k);
        const ChannelConfig& config = records.channelConfig[k];
        EXPECT_EQ(config.decimalCode, c.decimalCode);
        EXPECT_EQ(config.unitCode, c.unitCode);
        EXPECT_FLOAT_EQ(config.upperLimit, static_cast<float>(ScaleRaw(c.upper, c.decimalCode)));
        EXPECT_FLOAT_EQ(config.lowerLimit, static_cast<float>(ScaleRaw(c.lower, c.decimalCode)));
    }
    ASSERT_TRUE(connection.ReadLiveValues()) << Utf8(records.lastError);
    const LiveSnapshot& live = records.liveSnapshot;
    EXPECT_EQ(live.instrumentTime, FixedClock());
    for (int k = 0; k < 16; ++k) {
        const SimulatedChannel c = InstrumentSimulator::Channel(k);
        EXPECT_LE(live.value[k], ScaleRaw(c.centre + c.amplitude, c.decimalCode) + 1e-3);
        EXPECT_GE(live.value[k], ScaleRaw(c.centre - c.amplitude, c.decimalCode) - 1e-3);
        LiveSnapshot expected = live;
        EvaluateAlarms(records.channelConfig[k], expected, k);
        EXPECT_EQ(live.aboveUpper[k], expected.aboveUpper[k]);
        EXPECT_EQ(live.belowLower[k], expected.belowLower[k]);
    }
}

TEST_F(AgainstSimulator, ASilentInstrumentTimesOut) {
    SetFaults([](SimulatorFaults& f) {
        f.silentAfter = 0;
        f.silentRequests = 1;
    });
    EXPECT_FALSE(connection.ReadLiveValues());
    EXPECT_EQ(records.lastError, DeviceText::ReceiveTimeout);
    EXPECT_TRUE(connection.ReadLiveValues()) << "answers again after its silence";
}

TEST_F(AgainstSimulator, ReplyFaultsFailWithTheirTexts) {
    SetFaults([](SimulatorFaults& f) { f.corruptEvery = 2; });
    EXPECT_TRUE(connection.ReadLiveValues());
    EXPECT_FALSE(connection.ReadLiveValues());
    EXPECT_EQ(records.lastError, DeviceText::BadCrc);
    EXPECT_TRUE(connection.ReadLiveValues());

    SetFaults([](SimulatorFaults& f) { f.answerAddress = 9; });
    EXPECT_FALSE(connection.ReadIdentification());
    EXPECT_EQ(records.lastError, DeviceText::BadReplyAddress);

    // Byte by byte at 9600 bit/s: a 49-byte reply takes about 50 ms, many bounded reads.
    SetFaults([](SimulatorFaults& f) { f.paceBaud = 9600; });
    EXPECT_TRUE(connection.ReadLiveValues()) << Utf8(records.lastError);
}

TEST_F(AgainstSimulator, TheClockIsSetBackAfterItsLiveReadsAndStaysSo) {
    SetFaults([](SimulatorFaults& f) {
        f.clockBackAfter = 2;
        f.clockBackSeconds = 3600;
    });
    std::vector<DateTime> clocks;
    for (int read = 0; read < 4; ++read) {
        ASSERT_TRUE(connection.ReadLiveValues()) << Utf8(records.lastError);
        clocks.push_back(records.liveSnapshot.instrumentTime);
    }
    EXPECT_EQ(clocks[1], FixedClock());
    EXPECT_NEAR(clocks[2], FixedClock() - 3600 * OneSecond, OneMillisecond);
    // Other faults come and go; the clock stays where it was set.
    SetFaults([](SimulatorFaults&) {});
    ASSERT_TRUE(connection.ReadLiveValues());
    EXPECT_NEAR(records.liveSnapshot.instrumentTime, clocks[3], OneMillisecond);
}

TEST_F(AgainstSimulator, AnExceptionReplyIsNotAReply) {
    // Five bytes arrive where 49 are expected: the read waits its bounded time, then fails.
    SetFaults([](SimulatorFaults& f) { f.exceptionCode = 4; });
    EXPECT_FALSE(connection.ReadLiveValues());
    EXPECT_EQ(records.lastError, DeviceText::ReceiveTimeout);
}

TEST_F(AgainstSimulator, ElevenFailuresInARowReopenThePort) {
    SetFaults([](SimulatorFaults& f) { f.corruptEvery = 1; });
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(connection.ReadLiveValues());
    EXPECT_EQ(port.opens, 1);
    EXPECT_FALSE(connection.ReadLiveValues());
    EXPECT_EQ(port.opens, 2);
    SetFaults([](SimulatorFaults&) {});
    EXPECT_TRUE(connection.ReadLiveValues()) << Utf8(records.lastError);
}

TEST_F(AgainstSimulator, TransfersAWholePicture) {
    // 1,000 picture bytes go out as two zero-filled 512-byte blocks.
    std::vector<uint8_t> picture(1000);
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<uint8_t>(i * 7 + 3);
    std::vector<uint8_t> padded = picture;
    padded.resize(1024, 0);
    ASSERT_TRUE(connection.StartPicture(2)) << Utf8(records.lastError);
    for (int32_t block = 0; block < 2; ++block)
        ASSERT_TRUE(connection.SendPictureData(std::span(padded).subspan(block * 512, 512), block))
            << Utf8(records.lastError);
    ASSERT_TRUE(connection.EndPicture()) << Utf8(records.lastError);
    std::ifstream in(picturePath, std::ios::binary);
    const std::vector<uint8_t> received{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(received, padded);
    EXPECT_EQ(instrument.Stats().picturesSaved, 1);
}

TEST_F(AgainstSimulator, AVanishedInstrumentFailsAtOnce) {
    server.reset();
    EXPECT_FALSE(connection.ReadLiveValues());
    EXPECT_EQ(records.lastError, DeviceText::PortNotOpened);
}

TEST_F(AgainstSimulator, ThePortIsOpenedExclusively) {
    PosixSerialPort other([this](int32_t) { return devicePath; });
    EXPECT_EQ(other.OpenPort(1), PortResult::InUse);
    connection.CloseLink();
    ASSERT_EQ(other.OpenPort(1), PortResult::Ok) << "closing gives the line free again";
    EXPECT_EQ(other.OpenPort(1), PortResult::InUse);
    EXPECT_EQ(other.SetLineParameters(1, 8, 0x03), PortResult::BadParameter) << "no such code";
    EXPECT_EQ(other.SetLineParameters(1, BaudCode::Rate9600, 0x23), PortResult::BadParameter);
    EXPECT_EQ(other.SetLineParameters(1, BaudCode::Rate9600, 0x1F), PortResult::Ok);
    EXPECT_EQ(other.ClosePort(1), PortResult::Ok);
    uint8_t byte;
    EXPECT_EQ(other.Read(1, &byte, 1), PortResult::NotOpened);
    EXPECT_EQ(other.Write(1, &byte, 1), PortResult::NotOpened);

    const std::string regularFile = picturePath.string();
    std::ofstream(regularFile) << "not a terminal";
    for (const std::string& path : {std::string("/nonexistent/tty"), regularFile, std::string()}) {
        PosixSerialPort missing([&](int32_t) { return path; });
        EXPECT_EQ(missing.OpenPort(1), PortResult::NoSuchPort) << path;
    }
}

TEST_F(AgainstSimulator, ParityWorksOnAPseudoTerminalLeftInAnyState) {
    // A run killed mid-way leaves its settings on the terminal; the kernel keeps PARODD while
    // dropping PARENB, and the next odd or even set-up must still succeed.
    connection.CloseLink();
    const int fd = open(devicePath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio;
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    // What an odd-parity run at 19200 bit/s sets up and never restores.
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | PARENB | PARODD;
    tio.c_iflag |= INPCK;
    cfsetspeed(&tio, B19200);
    tcsetattr(fd, TCSANOW, &tio);
    close(fd);
    for (int parity : {1, 2, 1, 0}) {
        records.commSettings.parity = parity;
        EXPECT_TRUE(connection.OpenLink()) << parity << ": " << Utf8(records.lastError);
        EXPECT_TRUE(connection.ReadLiveValues()) << parity;
        connection.CloseLink();
    }
}
