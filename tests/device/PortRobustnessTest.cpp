// The port layer on a device an earlier user left in a bad state, or that goes away under it,
// and config.ini writes that must respect what the file is.

#include "device/CommSettingsFile.h"
#include "device/IniFile.h"
#include "device/PosixSerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A pseudo-terminal whose slave side is the "serial device"; the test keeps a descriptor of
// the slave to look at its settings the way stty does.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;

    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return;
        path = ptsname(master);
        slave = open(path.c_str(), O_RDWR | O_NOCTTY);
    }
    ~Pty() {
        if (slave >= 0)
            close(slave);
        if (master >= 0)
            close(master);
    }
};

PosixSerialPort PortOn(const std::string& path, std::chrono::milliseconds wait) {
    return PosixSerialPort([path](int32_t) { return path; }, wait);
}

std::string ReadAll(int fd) {
    std::string bytes;
    char buffer[64];
    for (int i = 0; i < 20; ++i) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0)
            bytes.append(buffer, static_cast<size_t>(n));
        else
            usleep(5000);
    }
    return bytes;
}

} // namespace

TEST(PortSetUp, ClearsFlowControlAndTranslationsAnEarlierUserLeft) {
    Pty pty;
    ASSERT_GE(pty.slave, 0);
    // What `stty crtscts ixon ixoff ixany icrnl onlcr` and friends leave on a device.
    termios dirty;
    ASSERT_EQ(tcgetattr(pty.slave, &dirty), 0);
    dirty.c_cflag |= CRTSCTS;
    dirty.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | IMAXBEL;
    dirty.c_oflag |= OPOST | ONLCR | OCRNL;
    dirty.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &dirty), 0);
    termios before;
    ASSERT_EQ(tcgetattr(pty.slave, &before), 0);
    ASSERT_TRUE(before.c_iflag & IXON) << "the dirty settings took effect";

    PosixSerialPort port = PortOn(pty.path, std::chrono::milliseconds(50));
    ASSERT_EQ(port.OpenPort(1), PortResult::Ok);
    ASSERT_EQ(port.SetLineParameters(1, BaudCode::Rate9600, 0x03), PortResult::Ok);
    termios now;
    ASSERT_EQ(tcgetattr(pty.slave, &now), 0);
    EXPECT_EQ(now.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(now.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | IMAXBEL), 0u);
    EXPECT_EQ(now.c_oflag & (OPOST | ONLCR | OCRNL), 0u);
    EXPECT_EQ(now.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);

    // Binary bytes pass unchanged both ways: CR, LF, XOFF and a byte with the top bit set.
    const uint8_t frame[] = {0x01, '\r', '\n', 0x13, 0x11, 0xC5};
    ASSERT_EQ(port.Write(1, frame, sizeof frame), static_cast<int32_t>(sizeof frame));
    EXPECT_EQ(ReadAll(pty.master), std::string(reinterpret_cast<const char*>(frame), sizeof frame));
    ASSERT_EQ(write(pty.master, frame, sizeof frame), static_cast<ssize_t>(sizeof frame));
    uint8_t got[sizeof frame] = {};
    EXPECT_EQ(port.Read(1, got, sizeof got), static_cast<int32_t>(sizeof frame));
    EXPECT_EQ(std::string(got, got + sizeof got), std::string(frame, frame + sizeof frame));
    port.ClosePort(1);
}

TEST(PortRead, AHungUpDeviceEndsTheReadAtOnce) {
    Pty pty;
    ASSERT_GE(pty.slave, 0);
    // A read that would wait ten seconds for bytes that never come.
    PosixSerialPort port = PortOn(pty.path, std::chrono::seconds(10));
    ASSERT_EQ(port.OpenPort(1), PortResult::Ok);
    // What an unplugged USB adapter does to its open descriptors: poll() reports
    // POLLIN|POLLHUP and read() returns 0 bytes, for ever.
    if (ioctl(pty.slave, TIOCVHANGUP) != 0)
        GTEST_SKIP() << "hanging up a terminal needs CAP_SYS_ADMIN";
    uint8_t buffer[8];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(1, buffer, sizeof buffer), PortResult::NotOpened);
    // Far below the read's ten seconds; spinning on the hang-up used all of them.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

namespace {

class SettingsWrite : public ::testing::Test {
protected:
    std::filesystem::path dir = [] {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        auto path = std::filesystem::temp_directory_path() /
                    ("recorder-write-" + std::to_string(getpid()) + "-" + info->name());
        std::filesystem::create_directories(path);
        return path;
    }();
    void TearDown() override { std::filesystem::remove_all(dir); }

    static std::string Read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

} // namespace

TEST_F(SettingsWrite, ThroughASymlinkTheTargetChangesAndKeepsItsPermissions) {
    namespace fs = std::filesystem;
    fs::create_directories(dir / "shared");
    const fs::path target = dir / "shared" / "config.ini";
    std::ofstream(target) << "; kept\n[COM]\nport=0\n";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::path link = dir / "config.ini";
    fs::create_symlink("shared/config.ini", link); // relative, as users make them

    ASSERT_TRUE(WriteProfileString(link.string(), "COM", "port", "4"));
    EXPECT_TRUE(fs::is_symlink(link)) << "the link stays a link";
    EXPECT_EQ(Read(target), "; kept\n[COM]\nport=4\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(ReadProfileInt(link.string(), "COM", "port", 0), 4);
    // Nothing is left beside either.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "shared"), fs::directory_iterator()), 1);
}

TEST_F(SettingsWrite, AReadOnlyFileIsLeftAsItIs) {
    namespace fs = std::filesystem;
    const fs::path path = dir / "config.ini";
    std::ofstream(path) << "[COM]\nport=0\n";
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    CommDialogValues values;
    values.portIndex = 3;
    EXPECT_FALSE(SaveDialogValues(path.string(), values));
    EXPECT_EQ(Read(path), "[COM]\nport=0\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(SettingsWrite, RecordSettingsHaveASectionOfTheirOwnAndAreOffByDefault) {
    const std::string path = (dir / "config.ini").string();
    EXPECT_EQ(LoadRecordSettings(path), RecordSettings{});
    std::ofstream(path) << "[COM]\nport=2\n";
    ASSERT_TRUE(SaveRecordSettings(path, {true, "/var/tmp/runs", true, "boiler 3"}));
    EXPECT_EQ(LoadRecordSettings(path), (RecordSettings{true, "/var/tmp/runs", true, "boiler 3"}));
    EXPECT_EQ(Read(path), "[COM]\nport=2\n[RECORD]\nenabled=1\nfolder=/var/tmp/runs\narchive=1\n"
                          "recorder=boiler 3\n");
    // The archive's database has a section of its own.
    ASSERT_TRUE(SaveArchiveDatabase(path, "postgresql://op@plant/history"));
    EXPECT_EQ(LoadArchiveDatabase(path), "postgresql://op@plant/history");
    EXPECT_TRUE(Read(path).ends_with("\n[ARCHIVE]\ndatabase=postgresql://op@plant/history\n"));
}

TEST(SettingsLocation, TheProgramAndTheToolShareOnePerUserFile) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string savedValue = saved ? saved : "";
    const std::string base =
        std::filesystem::temp_directory_path() / ("recorder-xdg-" + std::to_string(getpid()));
    setenv("XDG_CONFIG_HOME", base.c_str(), 1);
    EXPECT_EQ(ConfigFilePath(), base + "/paperless-recorder/config.ini");
    EXPECT_TRUE(std::filesystem::is_directory(base + "/paperless-recorder"));
    if (saved)
        setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(base);
}
