// The writer's byte layout, its file writing and the sample generator's options.
#include "data/RecorderFileWriter.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace RecorderFileLayout;
namespace fs = std::filesystem;

uint16_t Get16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

TEST(RecorderFileBuilderTest, LaysOutTheWorkedExampleByteForByte) {
    RecorderFileBuilder builder;
    builder.SetChannelIndices(0, 0);
    builder.SetEndTime({15, 3, 16, 9, 0, 12});
    builder.SetStartTime({15, 3, 16, 9, 0, 0});
    builder.SetDescriptor(0, {1000, 0, 3, 19, 1});
    builder.AppendBlock({{479811600, 1, {253, -5, 260}, {}, {}}, {479811610, 1, {100}, {}, {}}},
                        0x00);
    const std::vector<uint8_t>& f = builder.Bytes();
    ASSERT_EQ(f.size(), 32768u);

    std::vector<uint8_t> expected(32768, 0);
    const auto put = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(118, {0x00, 0x00, 0x0F, 0x03, 0x10, 0x09, 0x00, 0x0C, 0x0F, 0x03, 0x10, 0x09, 0x00, 0x00});
    put(132 + 2, {0xE8, 0x03, 0x00, 0x00, 0x03, 0x00, 0x13, 0x00});
    put(132 + 34, {0x00, 0x01});
    put(16384, {0x10, 0x58, 0x99, 0x1C, 0x12, 0x00, 0x01, 0, 0, 0, 0, 0, 0xFD, 0x00, 0xFB, 0xFF,
                0x04, 0x01});
    put(16384 + 18, {0x1A, 0x58, 0x99, 0x1C, 0xFF, 0xFF, 0x01, 0, 0, 0, 0, 0, 0x64, 0x00});
    EXPECT_EQ(f, expected);
}

TEST(RecorderFileBuilderTest, ExplicitOffsetsAndClipping) {
    // A chain pointing backwards, an odd offset and a record hanging over the block's end.
    const auto block = LayOutDataBlock({{100, 2, {7}, 0, 40},
                                        {200, 1, {8, 9}, 41, 0},
                                        {300, 1, std::vector<int16_t>(10, 5), BlockSize - 14, {}}});
    const std::vector<uint8_t> b(block.begin(), block.end());
    EXPECT_EQ(Get16(b, 4), 40);
    EXPECT_EQ(b[6], 2);
    EXPECT_EQ(Get16(b, 12), 7);
    EXPECT_EQ(b[14], 0xFF); // untouched bytes keep the fill
    EXPECT_EQ(b[41], 200);
    EXPECT_EQ(Get16(b, 45), 0);
    EXPECT_EQ(Get16(b, 53), 8);
    EXPECT_EQ(b[BlockSize - 14], 44);                    // 300 = 0x012C
    EXPECT_EQ(Get16(b, BlockSize - 10), LastRecordMark); // the last record by default
    EXPECT_EQ(Get16(b, BlockSize - 2), 5);               // the one sample that fits
}

TEST(RecorderFileBuilderTest, DescriptorsAndBlockCounts) {
    // blockCount is the one big-endian field; a descriptor may promise blocks that never come.
    RecorderFileBuilder builder;
    builder.SetChannelIndices(3, 4);
    const ChannelDescriptor d{-300, -32768, 2, 300, 0x0200};
    builder.SetDescriptor(3, d);
    builder.AppendBlock({{0, 1, {1}, {}, {}}});
    const std::vector<uint8_t>& f = builder.Bytes();
    EXPECT_EQ(f.size(), 2 * BlockSize);
    const size_t at = DescriptorsOffset + 3 * DescriptorSize;
    EXPECT_EQ(f[at + BlockCountOffset], 0x02);
    EXPECT_EQ(f[at + BlockCountOffset + 1], 0x00);
    const ChannelDescriptor back = ChannelDescriptor::Decode(f.data() + at);
    EXPECT_EQ(back.rangeHigh, d.rangeHigh);
    EXPECT_EQ(back.rangeLow, d.rangeLow);
    EXPECT_EQ(back.decimalCode, d.decimalCode);
    EXPECT_EQ(back.unitCode, d.unitCode);
    EXPECT_EQ(back.blockCount, 512);
}

TEST(RecorderFileBuilderTest, TimeConversions) {
    const DateTime t = EncodeDateTime({2015, 3, 16, 9, 0, 12}).value();
    EXPECT_EQ(HeaderTimeFromDateTime(t), (HeaderTimeBytes{15, 3, 16, 9, 0, 12}));
    // A sum of seconds a hair below the whole second still gives that second.
    EXPECT_EQ(HeaderTimeFromDateTime(RecorderSecondsToDateTime(479811612)),
              (HeaderTimeBytes{15, 3, 16, 9, 0, 12}));
    EXPECT_EQ(RecorderSecondsFromDateTime(t), 479811612);
    EXPECT_FALSE(HeaderTimeFromDateTime(EncodeDateTime({1999, 12, 31, 23, 59, 59}).value()));
    EXPECT_FALSE(HeaderTimeFromDateTime(EncodeDateTime({2100, 1, 1, 0, 0, 0}).value()));
}

class WriteBinaryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("writer_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    size_t EntriesInDir() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
    fs::path dir;
};

TEST_F(WriteBinaryFileTest, ReplacesTheTargetWhole) {
    const std::string path = (dir / "out.bin").string();
    std::ofstream(path) << std::string(100000, 'x');
    const std::vector<uint8_t> bytes{1, 2, 3};
    ASSERT_EQ(WriteBinaryFile(path, bytes), std::nullopt);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> back((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(EntriesInDir(), 1u);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_read, fs::perms::owner_read);
}

TEST_F(WriteBinaryFileTest, FailuresAreReportedAndLeaveNothingBehind) {
    const auto missingDir = WriteBinaryFile((dir / "no" / "out.bin").string(), {1});
    ASSERT_TRUE(missingDir.has_value());
    EXPECT_NE(missingDir->find("out.bin"), std::string::npos);

    // A directory in the way: the bytes are written, the final step fails.
    fs::create_directory(dir / "taken");
    fs::create_directory(dir / "taken" / "inside");
    EXPECT_TRUE(WriteBinaryFile((dir / "taken").string(), {1}).has_value());
    EXPECT_EQ(EntriesInDir(), 1u);
    EXPECT_TRUE(fs::is_directory(dir / "taken"));
}

TEST(SampleGeneratorTest, SameOptionsSameBytes) {
    SampleOptions options;
    options.days = 0.5;
    SampleRecording a, b, c;
    ASSERT_EQ(GenerateSampleRecording(options, a), std::nullopt);
    ASSERT_EQ(GenerateSampleRecording(options, b), std::nullopt);
    options.seed = 2;
    ASSERT_EQ(GenerateSampleRecording(options, c), std::nullopt);
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_NE(a.bytes, c.bytes);
}

TEST(SampleGeneratorTest, SizeGivesTheExactFileSize) {
    struct Case {
        int channels;
        uintmax_t size;
    } cases[] = {{1, 2 * BlockSize}, {3, 10 * BlockSize}, {16, MaxFileSize}, {5, 21 * BlockSize}};
    for (const auto& c : cases) {
        SampleOptions options;
        options.channels = c.channels;
        options.fileSize = c.size;
        SampleRecording r;
        ASSERT_EQ(GenerateSampleRecording(options, r), std::nullopt) << c.size;
        EXPECT_EQ(r.bytes.size(), c.size);
        // Blocks go to the first channels first and differ by at most one.
        size_t blocks = 0;
        for (const SampleChannel& channel : r.channels) {
            blocks += channel.descriptor.blockCount;
            EXPECT_LE(channel.descriptor.blockCount, r.channels[0].descriptor.blockCount);
            EXPECT_GE(channel.descriptor.blockCount + 1, r.channels[0].descriptor.blockCount);
        }
        EXPECT_EQ(blocks, c.size / BlockSize - 1);
    }
}

TEST(SampleGeneratorTest, RefusesWhatNoFileCanHold) {
    const auto with = [](auto change) {
        SampleOptions options;
        change(options);
        return options;
    };
    const SampleOptions cases[] = {
        with([](SampleOptions& o) { o.channels = 0; }),
        with([](SampleOptions& o) { o.channels = 17; }),
        with([](SampleOptions& o) { o.firstChannel = 15; }), // 4 channels from 15
        with([](SampleOptions& o) { o.fileSize = MaxFileSize + BlockSize; }),
        with([](SampleOptions& o) { o.fileSize = 3 * BlockSize + 1; }),
        with([](SampleOptions& o) { o.fileSize = 4 * BlockSize; }), // 3 blocks for 4 channels
        with([](SampleOptions& o) { o.days = 0; }),
        with([](SampleOptions& o) { o.days = 16; }),
        with([](SampleOptions& o) { // the raw samples fit, with their record heads they do not
            o.channels = 16;
            o.days = 3.78;
        }),
        with([](SampleOptions& o) {
            o.start = EncodeDateTime({1999, 12, 31, 0, 0, 0}).value();
        }),
        with([](SampleOptions& o) {
            o.start = EncodeDateTime({2070, 1, 1, 0, 0, 0}).value();
        }),
    };
    for (const SampleOptions& options : cases) {
        SampleRecording r;
        const auto error = GenerateSampleRecording(options, r);
        ASSERT_TRUE(error.has_value());
        EXPECT_FALSE(error->empty());
        EXPECT_TRUE(r.bytes.empty());
    }
}

} // namespace
