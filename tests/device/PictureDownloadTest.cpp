// The picture download against the simulator on a pseudo-terminal.

#include "device/PictureDownload.h"
#include "data/Text.h"
#include "device/PosixSerialPort.h"
#include "tools/simulator/SimulatorServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace {

std::string TestFile(const std::string& suffix) {
    return (std::filesystem::temp_directory_path() /
            ("picture-dl-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix))
        .string();
}

std::vector<uint8_t> Picture(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    return bytes;
}

// A picture file as the download reads it: a header line, then "0XHH," literals.
void WritePictureFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << "const unsigned char picture[] = { 0X00 };\r\n";
    char literal[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(literal, sizeof literal, "0X%02X,", bytes[i]);
        out << literal << (i % 16 == 15 ? "\r\n" : "");
    }
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class PictureDownloadTest : public ::testing::Test {
protected:
    std::string received = TestFile(".received");
    std::string source = TestFile(".txt");
    InstrumentSimulator instrument{[this] {
        SimulatorOptions options;
        options.pictureOutput = received;
        return options;
    }()};
    SimulatorServer server{instrument};
    std::string devicePath;
    // Short port reads, so that a block that is never acknowledged fails in seconds.
    PosixSerialPort port{[this](int32_t) { return devicePath; }, std::chrono::milliseconds(1)};
    DeviceRecords records;
    ModbusRtuImpl connection{port, records};

    // What the callbacks saw.
    int maximum = 0;
    std::vector<PictureProgress> steps;
    std::vector<std::pair<int32_t, int>> attempts;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.Open(error)) << error;
        devicePath = server.DevicePath();
        server.Start();
    }
    void TearDown() override {
        std::filesystem::remove(received);
        std::filesystem::remove(source);
    }

    UserMessage Download(int16_t slot) {
        PictureDownloadCallbacks callbacks;
        callbacks.loadSettings = [](CommSettings& s) { s = {1, 115200, 1, 8, 0, 1, {}}; };
        callbacks.progressMaximum = [this](int m) { maximum = m; };
        callbacks.advanced = [this](const PictureProgress& p) { steps.push_back(p); };
        callbacks.blockAttempt = [this](int32_t b, int a) { attempts.emplace_back(b, a); };
        return DownloadPicture(connection, source, slot, callbacks);
    }

    // The port is free again: another user can take the terminal exclusively.
    bool PortClosed() {
        PosixSerialPort other([this](int32_t) { return devicePath; });
        const bool free = other.OpenPort(1) == PortResult::Ok;
        other.ClosePort(1);
        return free && !records.linkActive;
    }
};

} // namespace

TEST(PictureBlocks, ZeroFillToWholeBlocks) {
    const std::pair<size_t, size_t> cases[] = {{1, 1}, {512, 1}, {513, 2}, {1000, 2}, {1024, 2}};
    for (const auto& [size, blocks] : cases) {
        std::vector<uint8_t> bytes(size, 0xEE);
        EXPECT_EQ(FillPictureBlocks(bytes), blocks) << size;
        EXPECT_EQ(bytes.size(), blocks * 512) << size;
        EXPECT_TRUE(std::all_of(bytes.begin() + static_cast<long>(size), bytes.end(),
                                [](uint8_t b) { return b == 0; }))
            << size;
    }
}

TEST_F(PictureDownloadTest, PicturesArriveWholeInTheirSlot) {
    struct Case {
        size_t size;
        int16_t slot;
        int blocks;
    } cases[] = {{513, 0, 2}, {1000, 5, 2}, {1, 2, 1}};
    for (const Case& c : cases) {
        const std::vector<uint8_t> picture = Picture(c.size);
        WritePictureFile(source, picture);
        steps.clear();
        const UserMessage message = Download(c.slot);
        EXPECT_EQ(message.text, "File Load success!") << GbkToUtf8(records.lastError);
        EXPECT_EQ(message.icon, MessageIcon::Information);
        EXPECT_EQ(instrument.Stats().lastPictureSlot, c.slot);
        std::vector<uint8_t> padded = picture;
        padded.resize(static_cast<size_t>(c.blocks) * 512, 0);
        EXPECT_EQ(ReadBytes(received), padded) << c.size;
        // Start, each block, end: the bar ends at its maximum.
        EXPECT_EQ(maximum, c.blocks + 2);
        ASSERT_EQ(steps.size(), static_cast<size_t>(c.blocks + 2));
        for (size_t i = 0; i < steps.size(); ++i)
            EXPECT_EQ(steps[i].position, static_cast<int>(i + 1));
        EXPECT_EQ(steps.front().stage, PictureProgress::Stage::Start);
        EXPECT_EQ(steps.back().stage, PictureProgress::Stage::End);
        EXPECT_TRUE(PortClosed());
    }
    EXPECT_EQ(instrument.Stats().picturesSaved, 3);
}

TEST_F(PictureDownloadTest, BlockNumbersWrapAfter255) {
    const std::vector<uint8_t> picture = Picture(257 * 512);
    WritePictureFile(source, picture);
    EXPECT_EQ(Download(3).text, "File Load success!");
    const std::vector<uint8_t> numbers = instrument.Stats().pictureBlockNumbers;
    ASSERT_EQ(numbers.size(), 257u);
    EXPECT_EQ(numbers[255], 255);
    EXPECT_EQ(numbers[256], 0);
    EXPECT_EQ(ReadBytes(received), picture);
}

TEST_F(PictureDownloadTest, ABlockNeverAcknowledgedEndsAfterTenAttempts) {
    WritePictureFile(source, Picture(6 * 512));
    SimulatorFaults faults;
    faults.refuseBlock = 3;
    instrument.SetFaults(faults);
    const UserMessage message = Download(0);
    EXPECT_EQ(message.text, "File Load failure!");
    EXPECT_EQ(message.icon, MessageIcon::Error);
    const std::vector<uint8_t> numbers = instrument.Stats().pictureBlockNumbers;
    EXPECT_EQ(std::count(numbers.begin(), numbers.end(), 3), 10);
    EXPECT_EQ(numbers.size(), 13u) << "nothing after block 3";
    EXPECT_EQ(instrument.Stats().pictureEnds, 0);
    EXPECT_EQ(attempts.back(), std::make_pair(3, 10));
    // Start and blocks 0 to 2 advanced the bar, nothing else did.
    EXPECT_EQ(steps.size(), 4u);
    EXPECT_TRUE(PortClosed());
}

TEST_F(PictureDownloadTest, FailuresBeforeTheTransferCloseThePort) {
    struct Case {
        std::string fileText; // empty: no file at all
        int16_t slot;
        const char* message;
    } cases[] = {
        {"", 0, "File read failure!"},
        {"0X41, 0X42 on the header line only\r\n", 0, "File read failure!"},
        {"header\n0X01, 0XZZ", 0, "File read failure!"},
        {"header\n0X01", -1, "File Load failure!"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(source);
        if (!c.fileText.empty())
            std::ofstream(source, std::ios::binary) << c.fileText;
        EXPECT_EQ(Download(c.slot).text, c.message) << c.fileText;
        EXPECT_TRUE(PortClosed()) << c.fileText;
    }
    EXPECT_EQ(maximum, 3) << "only the last file had bytes";
    EXPECT_EQ(instrument.Stats().lastPictureSlot, -1) << "no start frame was sent";

    devicePath = "/nonexistent/tty";
    EXPECT_EQ(Download(0).text, "Serial initialization failed!");
    EXPECT_FALSE(records.linkActive);
}
