#include "device/CommSettingsFile.h"
#include "device/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class SettingsFile : public ::testing::Test {
protected:
    std::filesystem::path dir;
    std::string path;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("recorder-settings-" + std::to_string(getpid()) + "-" + info->name());
        std::filesystem::create_directories(dir);
        path = (dir / "config.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void Write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    CommSettings Load() const {
        CommSettings settings;
        settings.port = 99; // every field is overwritten
        LoadCommSettings(path, settings);
        return settings;
    }
};

std::array<bool, 16> Channels(std::initializer_list<int> numbers) {
    std::array<bool, 16> enabled{};
    for (int n : numbers)
        enabled[n - 1] = true;
    return enabled;
}

const std::array<bool, 16> AllChannels =
    Channels({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});

} // namespace

TEST(ProfileInt, ReadsAnOptionalMinusAndDigits) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {{"3", 3},   {"-1", -1}, {"12abc", 12}, {"abc", 0},        {"+5", 0},
                 {"- 5", 0}, {"-", 0},   {"007", 7},    {"4294967297", 1}, {"", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(ParseProfileInt(c.text), c.value) << c.text;
}

TEST_F(SettingsFile, NoFileGivesTheDefaults) {
    const CommSettings s = Load();
    EXPECT_EQ(s.port, 1);
    EXPECT_EQ(s.baudRate, 1200);
    EXPECT_EQ(s.parity, 1);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_EQ(s.address, 1);
    EXPECT_EQ(s.channelEnabled, AllChannels);

    const CommDialogValues d = LoadDialogValues(path);
    EXPECT_EQ(d.portIndex, 0);
    EXPECT_EQ(d.baudRateIndex, 3) << "the dialog shows 19200";
    EXPECT_EQ(d.stopBitIndex, 1);
    EXPECT_EQ(d.dataBitIndex, 3);
    EXPECT_EQ(d.checkTypeIndex, 1);
    EXPECT_EQ(d.addressText, "1");
    EXPECT_EQ(d.channelChecked, AllChannels);
}

TEST_F(SettingsFile, ReadsAFileTheDialogWrote) {
    // COM2, 9600 bit/s, 1 stop bit, 8 data bits, no parity, address 3, channels 1 and 2.
    std::string text = "[COM]\r\nport=1\r\nbaudRate=2\r\nstopBit=0\r\ndataBit=3\r\ncheckType=0\r\n"
                       "address=3\r\n[CHANNEL]\r\nCH01=1\r\nCH02=1\r\n";
    for (int n = 3; n <= 16; ++n)
        text += ChannelKey(n) + "=0\r\n";
    Write(text);
    const CommSettings s = Load();
    EXPECT_EQ(s.port, 2);
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.address, 3);
    EXPECT_EQ(s.channelEnabled, Channels({1, 2}));

    // The dialog writes the same file from the same choices.
    CommDialogValues values;
    values.portIndex = 1;
    values.baudRateIndex = 2;
    values.stopBitIndex = 0;
    values.dataBitIndex = 3;
    values.checkTypeIndex = 0;
    values.addressText = "3";
    values.channelChecked = Channels({1, 2});
    std::filesystem::remove(path);
    ASSERT_TRUE(SaveDialogValues(path, values));
    EXPECT_EQ(Load().channelEnabled, Channels({1, 2}));
    EXPECT_EQ(Load().baudRate, 9600);
    const std::string written = Read();
    EXPECT_NE(
        written.find("[COM]\nport=1\nbaudRate=2\nstopBit=0\ndataBit=3\ncheckType=0\naddress=3\n"
                     "[CHANNEL]\nCH01=1\nCH02=1\nCH03=0\n"),
        std::string::npos)
        << written;
}

TEST_F(SettingsFile, HandEditedValues) {
    Write("; edited by hand\n[com]\n  BAUDRATE = 9 \nport=-1\naddress=abc\ndataBit=-4\n"
          "checkType=7\nstopBit=\n[Channel]\nCH05=2\nCH06=0\nCH07=1x\n");
    const CommSettings s = Load();
    EXPECT_EQ(s.baudRate, 19200) << "out of range becomes index 3";
    EXPECT_EQ(s.port, 0) << "port=-1 asks for port number 0";
    EXPECT_EQ(s.address, 0);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.parity, 1);
    EXPECT_EQ(s.stopBits, 2) << "an empty value counts as missing";
    std::array<bool, 16> expected = AllChannels;
    expected[4] = false; // 2 is not exactly 1
    expected[5] = false;
    EXPECT_EQ(s.channelEnabled, expected);

    const CommDialogValues d = LoadDialogValues(path);
    EXPECT_EQ(d.baudRateIndex, 3);
    EXPECT_EQ(d.portIndex, -1);
    EXPECT_EQ(d.addressText, "abc");
    EXPECT_TRUE(d.channelChecked[4]) << "the dialog checks anything but 0";
    EXPECT_FALSE(d.channelChecked[5]);
}

TEST_F(SettingsFile, WritesKeepEverythingElse) {
    const std::string original = "; settings of the recorder program\r\n"
                                 "[Display]\r\nfont=Song ; size 9\r\n\r\n"
                                 "[COM]\r\n; COM2 is the USB adapter\r\nport=0\r\nAddress=5\r\n\r\n"
                                 "[PORTS]\r\nCOM2=/dev/ttyUSB0\r\n";
    Write(original);
    ASSERT_TRUE(WriteProfileString(path, "COM", "port", "1"));
    ASSERT_TRUE(WriteProfileString(path, "com", "ADDRESS", "12"));
    ASSERT_TRUE(WriteProfileString(path, "COM", "baudRate", "2"));
    ASSERT_TRUE(WriteProfileString(path, "CHANNEL", "CH01", "0"));
    EXPECT_EQ(Read(), "; settings of the recorder program\r\n"
                      "[Display]\r\nfont=Song ; size 9\r\n\r\n"
                      "[COM]\r\n; COM2 is the USB adapter\r\nport=1\r\nAddress=12\r\nbaudRate=2\r\n"
                      "\r\n[PORTS]\r\nCOM2=/dev/ttyUSB0\r\n[CHANNEL]\r\nCH01=0\r\n");
    EXPECT_EQ(ReadProfileString(path, "Display", "font", ""), "Song ; size 9");
    EXPECT_EQ(ReadProfileInt(path, "COM", "port", 7), 1);
    EXPECT_EQ(ReadProfileInt(path, "COM", "missing", 7), 7);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(SettingsFile, AFailedWriteLeavesTheFileAsItWas) {
    EXPECT_FALSE(WriteProfileString((dir / "missing" / "config.ini").string(), "COM", "port", "4"));
    Write("[COM]\nport=3\n");
    std::filesystem::permissions(dir, std::filesystem::perms::owner_read |
                                          std::filesystem::perms::owner_exec);
    const bool written = WriteProfileString(path, "COM", "port", "4");
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    EXPECT_FALSE(written);
    EXPECT_EQ(Read(), "[COM]\nport=3\n");
}

TEST_F(SettingsFile, PortsMapToDevices) {
    Write("[PORTS]\nCOM1=/dev/ttyUSB0\ncom3 = /tmp/recorder-sim \nCOM4=\n");
    EXPECT_EQ(PortDevicePath(path, 1), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(path, 2), "/dev/ttyS1");
    EXPECT_EQ(PortDevicePath(path, 3), "/tmp/recorder-sim");
    EXPECT_EQ(PortDevicePath(path, 4), "/dev/ttyS3");
    EXPECT_EQ(PortDevicePath(path, 0), "");
    EXPECT_EQ(PortDevicePath(path + ".missing", 16), "/dev/ttyS15");
}
