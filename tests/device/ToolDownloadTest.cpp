// paperless-recorder-tool download, run as a program against the simulator.

#include "tools/simulator/SimulatorServer.h"

#include <gtest/gtest.h>

#include "tests/ToolProgram.h"

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class ToolDownload : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("tool_download_" + std::to_string(getpid()));
    InstrumentSimulator instrument{[this] {
        SimulatorOptions options;
        options.pictureOutput = (dir / "received.bin").string();
        return options;
    }()};
    SimulatorServer server{instrument};

    void SetUp() override {
        fs::create_directories(dir);
        // An empty settings file: the defaults, with the options on top.
        std::ofstream(dir / "config.ini").flush();
        std::string error;
        ASSERT_TRUE(server.Open(error)) << error;
        server.Start();
    }
    void TearDown() override { fs::remove_all(dir); }

    int Run(const std::string& picture, const std::string& slot) {
        return RunTool(RECORDER_TOOL,
                       {"download", picture, slot, "--config", (dir / "config.ini").string(),
                        "--device", server.DevicePath(), "--baud", "115200"},
                       dir)
            .status;
    }
};

} // namespace

TEST_F(ToolDownload, PrintsAProgressLinePerFrame) {
    const std::string picture = (dir / "picture.txt").string();
    std::string text = "header line 0X55\n";
    for (int i = 0; i < 600; ++i)
        text += "0X" + std::string(1, "0123456789ABCDEF"[i % 16]) + "A,";
    std::ofstream(picture, std::ios::binary) << text;

    EXPECT_EQ(Run(picture, "6"), 0) << ReadText(dir / "err");
    EXPECT_EQ(ReadText(dir / "out"), "1/4 start\n2/4 block 0\n3/4 block 1\n4/4 end\n"
                                     "File Load success!\n");
    EXPECT_EQ(instrument.Stats().lastPictureSlot, 5);
    const std::string received = ReadText(dir / "received.bin");
    ASSERT_EQ(received.size(), 1024u);
    EXPECT_EQ(static_cast<uint8_t>(received[1]), 0x1A);
    EXPECT_EQ(static_cast<uint8_t>(received[600]), 0);

    std::ofstream(picture, std::ios::binary) << "0X41 only on the header line";
    EXPECT_EQ(Run(picture, "1"), 1);
    EXPECT_EQ(ReadText(dir / "out"), "");
    EXPECT_EQ(ReadText(dir / "err"), "File read failure!\n");
}

TEST_F(ToolDownload, EachRetriedAttemptIsToldOnStandardError) {
    const std::string picture = (dir / "picture.txt").string();
    std::string text = "header\n";
    for (int i = 0; i < 600; ++i)
        text += "0X5A,";
    std::ofstream(picture, std::ios::binary) << text;
    // Replies: start, block 1, block 2 (spoiled), block 2 again, end.
    SimulatorFaults faults;
    faults.corruptEvery = 3;
    instrument.SetFaults(faults);
    EXPECT_EQ(Run(picture, "1"), 0) << ReadText(dir / "err");
    EXPECT_EQ(ReadText(dir / "err"), "Block 2 of 2, attempt 2 of 10\n");
    EXPECT_EQ(ReadText(dir / "out"), "1/4 start\n2/4 block 0\n3/4 block 1\n4/4 end\n"
                                     "File Load success!\n");
}
