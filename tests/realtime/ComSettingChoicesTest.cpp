// The settings dialog's device list and its "O K" write of the port's device.

#include "app/realtime/ComSettingChoices.h"
#include "device/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class ComSettingChoicesTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(dir); }

    void Touch(const std::filesystem::path& path, const std::string& text = {}) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    std::filesystem::path dir = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("com-choices-" + std::to_string(getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(path);
        return path;
    }();
};

} // namespace

TEST_F(ComSettingChoicesTest, ListsAdaptersFirstAndOnlyLegacyPortsWithAUart) {
    const auto dev = dir / "dev";
    const auto sys = dir / "sys";
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS4", "tty1",
                             "ttyUSB", "ttySx", "null"})
        Touch(dev / name);
    std::filesystem::create_directories(dev / "ttyUSB9"); // a directory is no device
    Touch(sys / "ttyS0" / "type", "4\n");
    Touch(sys / "ttyS1" / "type", "0\n"); // a node without hardware
    // ttyS4: sysfs says nothing, so it stays.
    const auto devices = ListSerialDevices(dev.string(), sys.string());
    std::vector<std::string> names;
    for (const auto& d : devices)
        names.push_back(std::filesystem::path(d).filename().string());
    EXPECT_EQ(names,
              (std::vector<std::string>{"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0", "ttyS4"}));
    EXPECT_EQ(devices.front(), (dev / "ttyUSB2").string());
    EXPECT_TRUE(ListSerialDevices((dir / "missing").string(), sys.string()).empty());
}

TEST_F(ComSettingChoicesTest, OkRecordsThePortsDeviceOnlyWhenItChangesTheMapping) {
    const std::string path = (dir / "config.ini").string();
    CommDialogValues values;
    values.portIndex = 1;

    // The standard device of COM2: nothing goes into "PORTS".
    ASSERT_TRUE(SaveComSettingChoices(path, values, "/dev/ttyS1"));
    EXPECT_FALSE(IniFile::Load(path).Get("PORTS", "COM2"));

    ASSERT_TRUE(SaveComSettingChoices(path, values, "/dev/ttyUSB0"));
    EXPECT_EQ(IniFile::Load(path).Get("PORTS", "COM2"), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(path, 2), "/dev/ttyUSB0");
    EXPECT_EQ(LoadDialogValues(path).portIndex, 1);

    // Back to the standard device, and a port name that is no entry of the list.
    ASSERT_TRUE(SaveComSettingChoices(path, values, "/dev/ttyS1"));
    EXPECT_EQ(PortDevicePath(path, 2), "/dev/ttyS1");
    values.portIndex = -1;
    ASSERT_TRUE(SaveComSettingChoices(path, values, "/dev/ttyUSB3"));
    EXPECT_EQ(IniFile::Load(path).Get("COM", "port"), "-1");
    for (int port = 1; port <= 16; ++port)
        EXPECT_NE(PortDevicePath(path, port), "/dev/ttyUSB3");

    EXPECT_FALSE(SaveComSettingChoices((dir / "no-dir" / "config.ini").string(), values, ""));
}
