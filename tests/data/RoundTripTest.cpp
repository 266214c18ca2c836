// Generated recordings written to disk and read back: every sample's time and scaled value,
// gap points exactly where the generator interrupted the recording, out-of-range replacement,
// and the recording's summary.
#include "data/RecorderFile.h"
#include "data/RecorderFileWriter.h"
#include "data/UnitNames.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace RecorderFileLayout;
namespace fs = std::filesystem;

struct Expected {
    std::vector<int64_t> seconds; // recorder seconds
    std::vector<float> values;
    int32_t stored = 0;
};

// What the generator did, and so what the tests below have really covered.
struct Coverage {
    int singleGapPoints = 0;
    int gapPointPairs = 0;
    int shortBadRuns = 0;
    int longBadRuns = 0;
    int channelsMissingOldestBlock = 0;
    int blocksEndedByPattern = 0;
};

// A channel as the reader must return it, worked out from the generator's segments and raw
// samples: gaps where a segment begins after a stored sample, short out-of-range runs held
// at the last good value, long ones set to the range's lower end.
Expected ExpectedChannel(const SampleRecording& r, const SampleChannel& c, Coverage& coverage) {
    const double divisor = DivisorForDecimalCode(c.descriptor.decimalCode);
    const auto low = static_cast<float>(c.descriptor.rangeLow / divisor);
    const auto high = static_cast<float>(c.descriptor.rangeHigh / divisor);
    Expected e;
    float lastGood = low;
    int badRun = 0;
    const auto endRun = [&] {
        if (badRun > 0)
            ++(badRun <= 3 ? coverage.shortBadRuns : coverage.longBadRuns);
        badRun = 0;
    };
    size_t index = 0;
    for (const SampleSegment& segment : r.segments) {
        for (size_t k = 0; k < segment.count; ++k, ++index) {
            if (index < c.firstStored)
                continue;
            const int64_t t = segment.start + static_cast<int64_t>(k);
            if (k == 0 && index > c.firstStored) {
                const int64_t last = e.seconds.back();
                e.seconds.push_back(last + 1);
                e.values.push_back(GapValue);
                if (t - last > 2) {
                    e.seconds.push_back(t - 1);
                    e.values.push_back(GapValue);
                    ++coverage.gapPointPairs;
                } else {
                    ++coverage.singleGapPoints;
                }
                endRun();
                lastGood = low;
            }
            float v = static_cast<float>(c.raw[index] / divisor);
            if (v > high || v < low) {
                ++badRun;
                if (badRun == 4)
                    std::fill(e.values.end() - 3, e.values.end(), low);
                v = badRun <= 3 ? lastGood : low;
            } else {
                endRun();
                lastGood = v;
            }
            e.seconds.push_back(t);
            e.values.push_back(v);
            ++e.stored;
        }
    }
    endRun();
    return e;
}

int BlocksEndedByPattern(const std::vector<uint8_t>& bytes) {
    int count = 0;
    for (size_t block = BlockSize; block < bytes.size(); block += BlockSize) {
        size_t offset = 0;
        int records = 1;
        while (records < MaxRecordsPerBlock) {
            const uint16_t next =
                static_cast<uint16_t>(bytes[block + offset + 4] | bytes[block + offset + 5] << 8);
            if (next == LastRecordMark)
                break;
            offset = next;
            ++records;
        }
        const auto tail = bytes.begin() + static_cast<std::ptrdiff_t>(block + BlockSize);
        if (records == MaxRecordsPerBlock &&
            std::all_of(tail - EndOfDataLength, tail, [](uint8_t b) { return b == 0xFF; }))
            ++count;
    }
    return count;
}

class RoundTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("roundtrip_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void Check(const SampleOptions& options, const char* name) {
        SCOPED_TRACE(name);
        SampleRecording r;
        ASSERT_EQ(GenerateSampleRecording(options, r), std::nullopt);
        const std::string path = (dir / "file.bin").string();
        ASSERT_EQ(WriteBinaryFile(path, r.bytes), std::nullopt);
        RecordingInfo info;
        std::vector<ChannelInfo> channels;
        ASSERT_EQ(ReadRecorderFile(path, info, channels), std::nullopt);

        ASSERT_EQ(channels.size(), r.channels.size());
        int32_t stored = 0;
        float valueMax = 0, valueMin = 0;
        for (size_t c = 0; c < channels.size(); ++c) {
            const SampleChannel& generated = r.channels[c];
            const ChannelInfo& read = channels[c];
            SCOPED_TRACE("channel " + std::to_string(generated.number));
            EXPECT_EQ(read.channel, generated.number);
            EXPECT_EQ(read.unit, UnitNameForCode(generated.descriptor.unitCode));
            const Expected e = ExpectedChannel(r, generated, coverage);
            ASSERT_EQ(read.times.size(), e.seconds.size());
            ASSERT_EQ(read.values.size(), e.values.size());
            for (size_t i = 0; i < e.seconds.size(); ++i) {
                ASSERT_EQ(CompareTimes(read.times[i], RecorderSecondsToDateTime(e.seconds[i])), 0)
                    << "sample " << i;
                ASSERT_EQ(read.values[i], e.values[i]) << "sample " << i;
            }
            stored += e.stored;
            const double divisor = DivisorForDecimalCode(generated.descriptor.decimalCode);
            valueMax =
                std::max(valueMax, static_cast<float>(generated.descriptor.rangeHigh / divisor));
            valueMin =
                std::min(valueMin, static_cast<float>(generated.descriptor.rangeLow / divisor));
            coverage.channelsMissingOldestBlock += generated.firstStored > 0 ? 1 : 0;
        }
        EXPECT_EQ(info.sampleCount, stored);
        EXPECT_EQ(info.valueMax, valueMax);
        EXPECT_EQ(info.valueMin, valueMin);
        EXPECT_EQ(CompareTimes(info.startTime, r.startTime), 0);
        EXPECT_EQ(CompareTimes(info.endTime, r.endTime), 0);
        coverage.blocksEndedByPattern += BlocksEndedByPattern(r.bytes);
    }

    fs::path dir;
    Coverage coverage;
};

TEST_F(RoundTripTest, GeneratedRecordingsReadBackAsWritten) {
    Check(DemoSampleOptions(), "demo");

    SampleOptions busy; // records end early in almost every block
    busy.channels = 1;
    busy.interruptionsPerDay = 400;
    busy.outOfRangeRunsPerDay = 60;
    Check(busy, "many interruptions");

    SampleOptions lastTwo; // channels 15 and 16: unit "单位", no gaps, no bad values
    lastTwo.channels = 2;
    lastTwo.firstChannel = 15;
    lastTwo.days = 0.25;
    lastTwo.interruptionsPerDay = 0;
    lastTwo.outOfRangeRunsPerDay = 0;
    lastTwo.start = EncodeDateTime({2066, 12, 31, 23, 0, 0}).value();
    Check(lastTwo, "last two channels");

    SampleOptions uneven; // 19 blocks for 3 channels: two of them lost their oldest block
    uneven.channels = 3;
    uneven.seed = 7;
    uneven.fileSize = 20 * BlockSize;
    uneven.interruptionsPerDay = 100;
    Check(uneven, "uneven blocks");

    EXPECT_GT(coverage.singleGapPoints, 0);
    EXPECT_GT(coverage.gapPointPairs, 0);
    EXPECT_GT(coverage.shortBadRuns, 0);
    EXPECT_GT(coverage.longBadRuns, 0);
    EXPECT_GT(coverage.channelsMissingOldestBlock, 0);
    EXPECT_GT(coverage.blocksEndedByPattern, 0);
}

TEST_F(RoundTripTest, RecordingsThatStopNearTheEndOfABlock) {
    // Where a stretch ends, what follows its samples must not read as more samples: a new
    // record needs 14 bytes, the end-of-data pattern 10; with less room the recorder goes on
    // recording until the block is full.
    SampleOptions options;
    options.channels = 2;
    std::vector<std::pair<size_t, int>> script;
    for (int i = 0; i < 10; ++i)
        script.push_back({1, 2}); // block 0: records 1 to 10, one sample each
    script.push_back({8112, 3});  // record 11: 8 bytes left, grows by 4 samples
    for (int i = 0; i < 10; ++i)
        script.push_back({1, 1}); // block 1
    script.push_back({8111, 5});  // record 11: 10 bytes left, ended by the pattern
    script.push_back({8180, 4});  // block 2, record 1: 12 bytes left, grows by 6 samples
    script.push_back({8179, 1});  // block 3: exactly room for one more record of one sample
    script.push_back({5, 9});     // one sample there, four in block 4
    options.interruptions = script;
    const size_t total = 10 + 8116 + 10 + 8111 + 8186 + 8179 + 5 + 1000;
    options.days = static_cast<double>(total) / SecondsPerDay;
    Check(options, "scripted");

    SampleRecording r;
    ASSERT_EQ(GenerateSampleRecording(options, r), std::nullopt);
    ASSERT_EQ(r.segments.size(), script.size() + 1);
    EXPECT_EQ(r.segments[10].count, 8116u);
    EXPECT_EQ(r.segments[21].count, 8111u);
    EXPECT_EQ(r.segments[22].count, 8186u);
    EXPECT_EQ(r.segments[23].count, 8179u);
    EXPECT_EQ(r.bytes.size(), (1 + 2 * 5) * BlockSize);
    EXPECT_EQ(coverage.blocksEndedByPattern, 2); // block 1 of both channels
}

TEST_F(RoundTripTest, AFileOfTheSizeLimit) {
    SampleOptions largest;
    largest.channels = 16;
    largest.fileSize = MaxFileSize;
    Check(largest, "16 channels, 10485760 bytes");
}

} // namespace
