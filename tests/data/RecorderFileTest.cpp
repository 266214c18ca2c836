// The reader against files laid out byte by byte here, independent of the project's writer.
#include "data/RecorderFile.h"
#include "data/UnitNames.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace RecorderFileLayout;
namespace fs = std::filesystem;

// 2015-03-16 09:00:00 in recorder seconds.
constexpr int32_t T0 = 479811600;

DateTime At(int hour, int minute, int second) {
    return EncodeDateTime({2015, 3, 16, hour, minute, second}).value();
}

struct Descriptor {
    int16_t high = 1000;
    int16_t low = 0;
    uint16_t decimalCode = 4;
    int16_t unitCode = 19;
    uint16_t blockCount = 1;
};

// A data file image built field by field.
class FileImage {
public:
    explicit FileImage(size_t blocks = 1) : bytes(blocks * BlockSize, 0) {
        Header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 23, 0, 0});
    }

    void Header(uint8_t first, uint8_t last, std::array<uint8_t, 6> start,
                std::array<uint8_t, 6> end) {
        bytes[FirstChannelIndexOffset] = first;
        bytes[LastChannelIndexOffset] = last;
        std::memcpy(&bytes[StartTimeOffset], start.data(), 6);
        std::memcpy(&bytes[EndTimeOffset], end.data(), 6);
    }

    void Channel(int index, const Descriptor& d) {
        const size_t at = DescriptorsOffset + DescriptorSize * static_cast<size_t>(index);
        Put16(at + RangeHighOffset, static_cast<uint16_t>(d.high));
        Put16(at + RangeLowOffset, static_cast<uint16_t>(d.low));
        Put16(at + DecimalCodeOffset, d.decimalCode);
        Put16(at + UnitCodeOffset, static_cast<uint16_t>(d.unitCode));
        bytes[at + BlockCountOffset] = static_cast<uint8_t>(d.blockCount >> 8);
        bytes[at + BlockCountOffset + 1] = static_cast<uint8_t>(d.blockCount);
    }

    // A record at the given offset of data block `block` (0 = first block after the header).
    void Record(size_t block, size_t offset, int32_t time, uint16_t next, uint8_t interval,
                const std::vector<int16_t>& samples) {
        const size_t at = (block + 1) * BlockSize + offset;
        Grow(at + RecordHeadSize + 2 * samples.size());
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(time >> (8 * i));
        Put16(at + 4, next);
        bytes[at + 6] = interval;
        for (size_t i = 0; i < samples.size(); ++i)
            Put16(at + RecordHeadSize + 2 * i, static_cast<uint16_t>(samples[i]));
    }

    void Put16(size_t at, uint16_t v) {
        Grow(at + 2);
        bytes[at] = static_cast<uint8_t>(v);
        bytes[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    void Grow(size_t size) {
        if (bytes.size() < size)
            bytes.resize(size, 0);
    }

    std::vector<uint8_t> bytes;
};

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("reader_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::optional<UserMessage> Read(const std::vector<uint8_t>& bytes, LoadLogOptions log = {}) {
        const std::string path = (dir / "file.bin").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        info = {};
        channels.clear();
        return ReadRecorderFile(path, info, channels, log);
    }

    // The file of the format's worked example: one channel, two records, a gap between them.
    static FileImage WorkedExample() {
        FileImage f(2);
        f.Header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 9, 0, 12});
        f.Channel(0, {1000, 0, 3, 19, 1});
        f.Record(0, 0, T0, 18, 1, {253, -5, 260});
        f.Record(0, 18, T0 + 10, 0xFFFF, 1, {100});
        return f;
    }

    fs::path dir;
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
};

TEST_F(ReaderTest, WorkedExample) {
    const FileImage f = WorkedExample();
    // The image is exactly the bytes of the example.
    ASSERT_EQ(f.bytes.size(), 32768u);
    const uint8_t head[] = {0x10, 0x58, 0x99, 0x1C, 0x12, 0x00, 0x01, 0,    0,    0,    0,    0,
                            0xFD, 0x00, 0xFB, 0xFF, 0x04, 0x01, 0x1A, 0x58, 0x99, 0x1C, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(&f.bytes[BlockSize], head, sizeof head), 0);
    EXPECT_EQ(f.bytes[132 + 34], 0x00);
    EXPECT_EQ(f.bytes[132 + 35], 0x01);

    ASSERT_FALSE(Read(f.bytes).has_value());
    ASSERT_EQ(channels.size(), 1u);
    const ChannelInfo& c = channels[0];
    EXPECT_EQ(c.channel, 1);
    EXPECT_EQ(c.unit, "\xA1\xE6");
    const std::vector<DateTime> times{At(9, 0, 0), At(9, 0, 1),  At(9, 0, 2),  At(9, 0, 3),
                                      At(9, 0, 9), At(9, 0, 10), At(9, 0, 11), At(9, 0, 12)};
    const std::vector<float> values{25.3f, 25.3f, 26.0f, GapValue, GapValue, 10.0f, 0.0f, 0.0f};
    ASSERT_EQ(c.times.size(), times.size());
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_EQ(CompareTimes(c.times[i], times[i]), 0) << i;
        EXPECT_EQ(c.values[i], values[i]) << i;
    }
    EXPECT_EQ(info.valueMax, 100.0f);
    EXPECT_EQ(info.valueMin, 0.0f);
    EXPECT_EQ(CompareTimes(info.startTime, At(9, 0, 0)), 0);
    EXPECT_EQ(CompareTimes(info.endTime, At(9, 0, 12)), 0);
    EXPECT_EQ(info.sampleCount, 6);
}

TEST_F(ReaderTest, FailuresLeaveTheSpecifiedState) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* text;
        MessageIcon icon;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, "File read failure!", MessageIcon::Error});
    cases.push_back({"one byte too big", std::vector<uint8_t>(MaxFileSize + 1, 0),
                     "File is too big!", MessageIcon::Information});
    FileImage reversed;
    reversed.Header(5, 4, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 9, 0, 0});
    cases.push_back({"reversed indices", reversed.bytes, "File format error!", MessageIcon::Error});
    FileImage last16;
    last16.Header(0, 16, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 9, 0, 0});
    cases.push_back({"last index 16", last16.bytes, "File format error!", MessageIcon::Error});
    FileImage february30;
    february30.Header(0, 0, {15, 2, 30, 0, 0, 0}, {15, 3, 16, 9, 0, 0});
    cases.push_back({"30 February", february30.bytes, "File format error!", MessageIcon::Error});
    FileImage fiveDigitYear;
    fiveDigitYear.Header(0, 0, {15, 3, 16, 9, 0, 0}, {100, 3, 16, 9, 0, 0});
    cases.push_back(
        {"year byte 100", fiveDigitYear.bytes, "File format error!", MessageIcon::Error});
    FileImage hour24;
    hour24.Header(0, 0, {15, 3, 16, 24, 0, 0}, {15, 3, 16, 9, 0, 0});
    cases.push_back({"hour 24", hour24.bytes, "File format error!", MessageIcon::Error});

    for (const Case& c : cases) {
        const auto message = Read(c.bytes);
        ASSERT_TRUE(message.has_value()) << c.name;
        EXPECT_EQ(message->text, c.text) << c.name;
        EXPECT_EQ(message->icon, c.icon) << c.name;
        EXPECT_TRUE(channels.empty()) << c.name;
        EXPECT_EQ(info.startTime, 0.0) << c.name;
        EXPECT_EQ(info.sampleCount, 0) << c.name;
    }

    RecordingInfo untouched;
    const auto missing = ReadRecorderFile((dir / "missing.bin").string(), untouched, channels);
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->text, "Open file failure!");
    EXPECT_EQ(missing->icon, MessageIcon::Error);
}

TEST_F(ReaderTest, ShortFileKeepsTheChannelsFinishedBefore) {
    // Channel 1 owns one block, channel 2 promises two but the file holds one.
    FileImage f(3);
    f.Header(0, 1, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 9, 1, 0});
    f.Channel(0, {100, -20, 4, 19, 1});
    f.Channel(1, {500, 0, 4, 12, 2});
    f.Record(0, 0, T0, 0xFFFF, 1, {1, 2, 3});
    f.Record(1, 0, T0, 0xFFFF, 1, {7, 8});
    const auto message = Read(f.bytes);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->text, "File read failure!");
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].channel, 1);
    EXPECT_EQ(info.valueMax, 500.0f);
    EXPECT_EQ(info.valueMin, -20.0f);
    // Both channels' samples up to 09:01:00 are counted, the dropped one's included.
    EXPECT_EQ(info.sampleCount, 61 + 61);
}

TEST_F(ReaderTest, AFileOfExactlyTheLimitIsRead) {
    FileImage f(MaxFileSize / BlockSize);
    f.Channel(0, {1000, 0, 4, 0, 1});
    f.Record(0, 0, T0, 0xFFFF, 1, {5});
    ASSERT_EQ(f.bytes.size(), MaxFileSize);
    EXPECT_FALSE(Read(f.bytes).has_value());
    ASSERT_EQ(channels.size(), 1u);
}

TEST_F(ReaderTest, DescriptorDecoding) {
    struct Case {
        uint8_t index;
        Descriptor d;
        int16_t raw;
        float value;
        const char* unit;
    } cases[] = {
        {3, {30000, -30000, 0, 19, 1}, 12345, 12345.0f, "\xA1\xE6"},
        {0, {30000, -30000, 7, 300, 1}, 12345, 12345.0f, "\xB5\xA5\xCE\xBB"},
        {0, {30000, -30000, 2, -5, 1}, 12345, 123.45f, "\xB5\xA5\xCE\xBB"},
        {0, {30000, -30000, 1, 94, 1}, -1234, -1.234f, "\xB5\xA5\xCE\xBB"},
        {0, {30000, -30000, 3, 20, 1}, 253, 25.3f, "%"},
    };
    for (const auto& c : cases) {
        FileImage f(2);
        f.Header(c.index, c.index, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 9, 0, 0});
        f.Channel(c.index, c.d);
        f.Record(0, 0, T0, 0xFFFF, 1, {c.raw});
        ASSERT_FALSE(Read(f.bytes).has_value());
        ASSERT_EQ(channels.size(), 1u);
        EXPECT_EQ(channels[0].channel, c.index + 1);
        EXPECT_EQ(channels[0].unit, c.unit);
        ASSERT_EQ(channels[0].values.size(), 1u);
        EXPECT_EQ(channels[0].values[0], c.value);
    }
}

TEST_F(ReaderTest, BlockCountIsBigEndianAndBlocksFollowEachOther) {
    FileImage f(3);
    f.Header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 9, 0, 30});
    f.Channel(0, {1000, 0, 4, 19, 2}); // bytes 00 02
    f.Record(0, 0, T0, 0xFFFF, 1, {1});
    f.Record(1, 0, T0 + 1, 0xFFFF, 1, {2});
    ASSERT_FALSE(Read(f.bytes).has_value());
    // Each block's record runs to its block's end: 31 samples in the window from the first,
    // 30 from the second, read right after it.
    ASSERT_EQ(channels[0].values.size(), 61u);
    EXPECT_EQ(channels[0].values[0], 1.0f);
    EXPECT_EQ(channels[0].values[31], 2.0f);

    f.Channel(0, {1000, 0, 4, 19, 0x0200}); // bytes 02 00: 512 blocks
    ASSERT_TRUE(Read(f.bytes).has_value());
}

TEST_F(ReaderTest, RecordChains) {
    // nextOffset 0x4000 drops the record and the rest of its block.
    FileImage dropped(2);
    dropped.Record(0, 0, T0, 20, 1, {1, 2, 3, 4});
    dropped.Record(0, 20, T0 + 4, 0x4000, 1, {5});
    dropped.Channel(0, {});
    ASSERT_FALSE(Read(dropped.bytes).has_value());
    EXPECT_EQ(channels[0].values, (std::vector<float>{1, 2, 3, 4}));

    // 0xFFFF: samples run to the block's end (within the end time).
    FileImage toEnd(2);
    toEnd.Header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 17, 0, 0, 0});
    toEnd.Channel(0, {});
    toEnd.Record(0, 0, T0, 0xFFFF, 1, {});
    ASSERT_FALSE(Read(toEnd.bytes).has_value());
    EXPECT_EQ(channels[0].values.size(), (BlockSize - RecordHeadSize) / 2);
}

TEST_F(ReaderTest, HostileChainsStayInsideTheBlock) {
    // Offsets whose heads or samples would reach past the block, odd offsets, chains that
    // point backwards: every block ends, nothing is read outside it (ASan checks the latter).
    for (uint16_t next : {16372, 16373, 16380, 16383, 0, 1, 7, 16371}) {
        FileImage f(2);
        f.Header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 17, 9, 0, 0});
        f.Channel(0, {});
        f.Record(0, 0, T0, next, 1, {1});
        f.Grow(2 * BlockSize);
        // Fill the tail of the block with 0xFF-rich data so stray reads would show.
        for (size_t i = BlockSize + 16300; i < 2 * BlockSize; ++i)
            f.bytes[i] = 0xFF;
        EXPECT_FALSE(Read(f.bytes).has_value()) << next;
        ASSERT_EQ(channels.size(), 1u);
        EXPECT_LE(channels[0].values.size(), 11u * (BlockSize / 2)) << next;
    }
}

TEST_F(ReaderTest, GapsBetweenRecords) {
    struct Case {
        int32_t secondStart;
        std::vector<DateTime> gaps;
    } cases[] = {
        {T0 + 2, {}},                           // the next second: no gap
        {T0 + 3, {At(9, 0, 2)}},                // 2 s after the last sample: one point
        {T0 + 11, {At(9, 0, 2), At(9, 0, 10)}}, // 10 s after: two points
    };
    for (const auto& c : cases) {
        FileImage f(2);
        f.Header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 9, 0, 11});
        f.Channel(0, {});
        f.Record(0, 0, T0, 16, 1, {1, 2});
        f.Record(0, 16, c.secondStart, 0xFFFF, 1, {3});
        ASSERT_FALSE(Read(f.bytes).has_value());
        std::vector<DateTime> gaps;
        const ChannelInfo& ch = channels[0];
        for (size_t i = 0; i < ch.values.size(); ++i)
            if (IsGapValue(ch.values[i]))
                gaps.push_back(ch.times[i]);
        ASSERT_EQ(gaps.size(), c.gaps.size()) << c.secondStart - T0;
        for (size_t i = 0; i < gaps.size(); ++i)
            EXPECT_EQ(CompareTimes(gaps[i], c.gaps[i]), 0);
        EXPECT_EQ(info.sampleCount, static_cast<int32_t>(ch.values.size() - gaps.size()));
    }
}

TEST_F(ReaderTest, TimeWindowKeepsItsEnds) {
    FileImage f(2);
    f.Header(0, 0, {15, 3, 16, 9, 0, 2}, {15, 3, 16, 9, 0, 4});
    f.Channel(0, {});
    f.Record(0, 0, T0, 0xFFFF, 1, {0, 1, 2, 3, 4, 5, 6});
    ASSERT_FALSE(Read(f.bytes).has_value());
    EXPECT_EQ(channels[0].values, (std::vector<float>{2, 3, 4}));
    EXPECT_EQ(info.sampleCount, 3);
}

TEST_F(ReaderTest, OutOfRangeRuns) {
    struct Case {
        std::vector<int16_t> raw;
        std::vector<float> stored;
    } cases[] = {
        {{50, 120, 130, 40}, {50, 50, 50, 40}},
        {{50, 120, 130, 140, 150, 40}, {50, 0, 0, 0, 0, 40}},
        {{-1, 50}, {0, 50}},          // before any good value the lower end stands in
        {{100, 0, 101}, {100, 0, 0}}, // the ends themselves are in range
    };
    for (const auto& c : cases) {
        FileImage f(2);
        f.Header(0, 0, {15, 3, 16, 9, 0, 0},
                 {15, 3, 16, 9, 0, static_cast<uint8_t>(c.raw.size() - 1)});
        f.Channel(0, {100, 0, 4, 19, 1});
        f.Record(0, 0, T0, 0xFFFF, 1, c.raw);
        ASSERT_FALSE(Read(f.bytes).has_value());
        EXPECT_EQ(channels[0].values, c.stored);
    }
}

TEST_F(ReaderTest, ValuesWithinTheToleranceOfAnEndAreInRange) {
    // Range 0 to 30.000: 30.001 is within 1e-4 of the top and stays; 30.200 is not and takes
    // the last good value, here 30.001.
    FileImage f(2);
    f.Header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 9, 0, 3});
    f.Channel(0, {30000, 0, 1, 19, 1});
    f.Record(0, 0, T0, 0xFFFF, 1, {29000, 30001, 30200, 30000});
    ASSERT_FALSE(Read(f.bytes).has_value());
    const float kept = static_cast<float>(30001 / 1000.0);
    EXPECT_EQ(channels[0].values, (std::vector<float>{29.0f, kept, kept, 30.0f}));
    EXPECT_EQ(info.sampleCount, 4);
}

TEST_F(ReaderTest, ALongRecordMixesStoredReplacedAndDroppedSamples) {
    // Forty samples 0..39 a second apart, range 0..100: 120 at 20 and 130 at 37 are replaced
    // by the value before them; the window from 09:00:02 to 09:00:38 drops the first two, the
    // last one and the zeros after it.
    std::vector<int16_t> raw;
    for (int16_t k = 0; k < 40; ++k)
        raw.push_back(k);
    raw[20] = 120;
    raw[37] = 130;
    FileImage f(2);
    f.Header(0, 0, {15, 3, 16, 9, 0, 2}, {15, 3, 16, 9, 0, 38});
    f.Channel(0, {100, 0, 4, 19, 1});
    f.Record(0, 0, T0, 0xFFFF, 1, raw); // zeros after the forty up to the block's end
    ASSERT_FALSE(Read(f.bytes, {true, dir.string()}).has_value());

    std::vector<float> expected;
    for (int k = 2; k <= 38; ++k)
        expected.push_back(static_cast<float>(k == 20 ? 19 : k == 37 ? 36 : k));
    EXPECT_EQ(channels[0].values, expected);
    ASSERT_EQ(channels[0].times.size(), expected.size());
    EXPECT_EQ(channels[0].times.front(), At(9, 0, 2));
    EXPECT_EQ(channels[0].times[18], At(9, 0, 20));
    EXPECT_EQ(channels[0].times.back(), At(9, 0, 38));
    EXPECT_EQ(info.sampleCount, 37);

    std::string log;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().string().ends_with("_log.txt")) {
            std::ifstream in(e.path(), std::ios::binary);
            log.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    const std::string expectedStart =
        "Channel 1, range: 0.000-100.000\r\n"
        "\t Channel 1 Filter out invalid time record: 15-03-16 09:00:00\r\n"
        "\t Channel 1 Filter out invalid time record: 15-03-16 09:00:01\r\n"
        "\t Channel 1 Filter out invalid time record : 15-03-16 09:00:20  120.000\r\n"
        "\t Channel 1 Filter out invalid time record : 15-03-16 09:00:37  130.000\r\n"
        "\t Channel 1 Filter out invalid time record: 15-03-16 09:00:39\r\n"
        "\t Channel 1 Filter out invalid time record: 15-03-16 09:00:40\r\n";
    EXPECT_EQ(log.substr(0, expectedStart.size()), expectedStart);
}

TEST_F(ReaderTest, EndOfDataPatternOnlyInTheEleventhRecord) {
    for (int records : {11, 10}) {
        FileImage f(2);
        f.Header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 10, 0, 0});
        f.Channel(0, {30000, -30000, 4, 19, 1});
        size_t offset = 0;
        for (int r = 0; r < records; ++r) {
            const bool last = r == records - 1;
            std::vector<int16_t> samples =
                last ? std::vector<int16_t>(5, -1) : std::vector<int16_t>{static_cast<int16_t>(r)};
            const uint16_t next = last ? 0xFFFF : static_cast<uint16_t>(offset + 14);
            f.Record(0, offset, T0 + r, next, 1, samples);
            offset += 14;
        }
        ASSERT_FALSE(Read(f.bytes).has_value());
        const auto& v = channels[0].values;
        const long minusOnes = std::count(v.begin(), v.end(), -1.0f);
        if (records == 11)
            EXPECT_EQ(minusOnes, 0);
        else
            EXPECT_EQ(minusOnes, 5);
    }
}

TEST_F(ReaderTest, ChannelsKeepTheirRangeFromTheHeader) {
    ASSERT_FALSE(Read(WorkedExample().bytes).has_value());
    ASSERT_FALSE(channels.empty());
    EXPECT_EQ(channels[0].rangeLow, 0.0f);
    EXPECT_EQ(channels[0].rangeHigh, 100.0f);
}

TEST_F(ReaderTest, LoadLogOnlyWhenSwitchedOn) {
    const FileImage f = WorkedExample();
    ASSERT_FALSE(Read(f.bytes, {false, dir.string()}).has_value());
    auto logs = [&] {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().string().ends_with("_log.txt"))
                found.push_back(e.path());
        return found;
    };
    EXPECT_TRUE(logs().empty());

    ASSERT_FALSE(Read(f.bytes, {true, dir.string()}).has_value());
    const auto found = logs();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].filename().string().size(), std::string("20150316093005_log.txt").size());
    std::ifstream in(found[0], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string expected =
        "Channel 1, range: 0.000-100.000\r\n"
        "\t Channel 1 Filter out invalid time record : 15-03-16 09:00:01  -0.500\r\n";
    for (int s = 13; s <= 16; ++s)
        expected +=
            "\t Channel 1 Filter out invalid time record: 15-03-16 09:00:" + std::to_string(s) +
            "\r\n";
    EXPECT_EQ(text.substr(0, expected.size()), expected);
    // Every zero sample after the end time up to the block's end is listed.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + (BlockSize - 18 - 12) / 2 - 3);

    // A directory that cannot be written: the load goes on without a log.
    EXPECT_FALSE(Read(f.bytes, {true, (dir / "no" / "such").string()}).has_value());
    EXPECT_EQ(channels.size(), 1u);
}

} // namespace
