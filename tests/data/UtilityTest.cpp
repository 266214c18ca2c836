#include "data/Utility.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

TEST(SplitText, EmptyFieldsCount) {
    std::vector<std::string> parts{"stale"};
    SplitText("1,2,,4,", ",", parts);
    EXPECT_EQ(parts, (std::vector<std::string>{"1", "2", "", "4", ""}));
    SplitText("abc", ",", parts);
    EXPECT_EQ(parts, (std::vector<std::string>{"abc"}));
    SplitText("a::b", "::", parts);
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "b"}));
}

TEST(ProgramDirectory, IsTheExecutablesDirectory) {
    const std::string dir = GetProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "/data_tests"));
}

TEST(ProgramDirectory, AnInstallationIsKnownByItsSharedFolder) {
    namespace fs = std::filesystem;
    const fs::path prefix = fs::temp_directory_path() / ("prefix_" + std::to_string(getpid()));
    fs::create_directories(prefix / "bin");
    EXPECT_FALSE(IsInstalledProgramDirectory((prefix / "bin").string()));
    fs::create_directories(prefix / "share/paperless-recorder");
    EXPECT_TRUE(IsInstalledProgramDirectory((prefix / "bin").string()));
    EXPECT_FALSE(IsInstalledProgramDirectory(""));
    // The build tree is no installation, so settings stay beside the program there.
    EXPECT_FALSE(IsInstalledProgramDirectory(GetProgramDirectory()));
    fs::remove_all(prefix);
}

class HexFile : public ::testing::Test {
protected:
    std::string path =
        (std::filesystem::temp_directory_path() /
         ("hex_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".txt"))
            .string();
    void Write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(HexFile, ReadsLiteralsAfterTheFirstLine) {
    struct Case {
        std::string text;
        bool ok;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"header 0X41\n0XFF, 0X00,\r\n0X1A", true, {0xFF, 0x00, 0x1A}},
        {"header\n0x41, 0X4", true, {}},
        {"header\n0X01,0XZZ,0X02", false, {0x01}},
        {"0X41", true, {}},
        {std::string("h\n0X01") + '\0' + "0X02", true, {0x01}},
    };
    for (const auto& c : cases) {
        Write(c.text);
        std::vector<uint8_t> bytes;
        EXPECT_EQ(LoadHexTextFile(path, bytes), c.ok) << c.text;
        EXPECT_EQ(bytes, c.bytes) << c.text;
    }
    std::vector<uint8_t> bytes{1};
    EXPECT_FALSE(LoadHexTextFile(path + ".missing", bytes));
    EXPECT_TRUE(bytes.empty());
}
