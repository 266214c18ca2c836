// The compact sample store against plain arrays: every time and value of a read, an import and a
// join compared bit for bit with a reading into two plain arrays, sample by sample, by the
// reader's rules; and the store's own operations against a vector doing the same.
#include "data/CsvImport.h"
#include "data/RecorderFile.h"
#include "data/RecorderFileWriter.h"
#include "data/RecordingJoin.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace {

using namespace RecorderFileLayout;
namespace fs = std::filesystem;

constexpr int32_t T0 = 479811600; // 2015-03-16 09:00:00

struct PlainChannel {
    std::vector<DateTime> times;
    std::vector<float> values;
};

int16_t S16(const uint8_t* p) {
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

// The reading rules sample by sample into two plain arrays: what the reader gave before its
// samples were stored compactly.
std::vector<PlainChannel> ReadPlain(const std::vector<uint8_t>& bytes) {
    auto block = [&](size_t b, size_t offset) {
        const size_t at = b * BlockSize + offset;
        return at < bytes.size() ? bytes[at] : uint8_t{0};
    };
    std::vector<uint8_t> header(BlockSize);
    for (size_t i = 0; i < BlockSize; ++i)
        header[i] = block(0, i);
    auto headerTime = [&](size_t at) {
        const uint8_t* p = header.data() + at;
        return *EncodeDateTime({2000 + p[0], p[1], p[2], p[3], p[4], p[5]});
    };
    const DateTime start = headerTime(StartTimeOffset), end = headerTime(EndTimeOffset);
    std::vector<PlainChannel> channels;
    size_t nextBlock = 1;
    for (unsigned index = header[FirstChannelIndexOffset]; index <= header[LastChannelIndexOffset];
         ++index) {
        const ChannelDescriptor d =
            ChannelDescriptor::Decode(header.data() + DescriptorsOffset + DescriptorSize * index);
        const double divisor = DivisorForDecimalCode(d.decimalCode);
        const float high = static_cast<float>(d.rangeHigh / divisor);
        const float low = static_cast<float>(d.rangeLow / divisor);
        PlainChannel c;
        float lastGood = low;
        int invalidRun = 0, taken = 0;
        DateTime prevLast = 0, expectedNext = 0;
        for (unsigned b = 0; b < d.blockCount; ++b, ++nextBlock) {
            std::vector<uint8_t> data(BlockSize);
            for (size_t i = 0; i < BlockSize; ++i)
                data[i] = block(nextBlock, i);
            size_t offset = 0;
            for (int record = 0;
                 record < MaxRecordsPerBlock && offset + RecordHeadSize <= BlockSize; ++record) {
                const uint8_t* head = data.data() + offset;
                int32_t seconds;
                std::memcpy(&seconds, head, 4);
                const DateTime recordTime = RecorderSecondsToDateTime(seconds);
                const uint16_t next = static_cast<uint16_t>(head[4] | head[5] << 8);
                const DateTime step = head[6] * OneSecond;
                if (next != LastRecordMark && next >= BlockSize)
                    break;
                const size_t recordEnd = next == LastRecordMark ? BlockSize : next;
                if (CompareTimes(recordTime, expectedNext) == 1 && taken > 0) {
                    lastGood = low;
                    invalidRun = 0;
                    const int c2 = CompareTimes(recordTime, prevLast + 2 * OneSecond);
                    if (c2 >= 0) {
                        c.times.push_back(prevLast + OneSecond);
                        c.values.push_back(GapValue);
                    }
                    if (c2 > 0) {
                        c.times.push_back(recordTime - OneSecond);
                        c.values.push_back(GapValue);
                    }
                }
                taken = 0;
                const long limit = (16372 - static_cast<long>(offset)) / 2;
                size_t k = 0;
                for (size_t p = offset + 12; p < recordEnd && p + 2 <= BlockSize; p += 2) {
                    if (record == 10 && p + 9 <= recordEnd && p + 10 <= BlockSize &&
                        std::all_of(data.begin() + static_cast<long>(p),
                                    data.begin() + static_cast<long>(p) + 10,
                                    [](uint8_t x) { return x == 0xFF; }))
                        break;
                    if (taken > limit)
                        break;
                    const DateTime t = recordTime + static_cast<int>(k) * step;
                    ++k;
                    if (CompareTimes(t, start) == -1 || CompareTimes(t, end) == 1)
                        continue;
                    prevLast = t;
                    expectedNext = t + step;
                    float v = static_cast<float>(S16(data.data() + p) / divisor);
                    if (CompareSingle(v, high) == 1 || CompareSingle(v, low) == -1) {
                        ++invalidRun;
                        if (invalidRun <= 3) {
                            v = lastGood;
                        } else {
                            if (invalidRun == 4)
                                for (size_t i =
                                         c.values.size() - std::min<size_t>(3, c.values.size());
                                     i < c.values.size(); ++i)
                                    c.values[i] = low;
                            v = low;
                        }
                    } else {
                        invalidRun = 0;
                        lastGood = v;
                    }
                    c.times.push_back(t);
                    c.values.push_back(v);
                    ++taken;
                }
                if (next == LastRecordMark)
                    break;
                offset = next;
            }
        }
        channels.push_back(std::move(c));
    }
    return channels;
}

bool SameFloatBits(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

// Every sample's time and value, bit for bit, by index and by walking the store.
void ExpectSameSamples(const ChannelInfo& stored, const PlainChannel& plain,
                       const std::string& label) {
    ASSERT_EQ(stored.times.size(), plain.times.size()) << label;
    ASSERT_EQ(stored.values.size(), plain.values.size()) << label;
    const std::vector<DateTime> times = stored.times.ToVector();
    const std::vector<float> values = stored.values.ToVector();
    size_t i = 0;
    for (auto t = stored.times.begin(), end = stored.times.end(); t != end; ++t, ++i) {
        ASSERT_TRUE(SameBits(*t, plain.times[i])) << label << ": time " << i;
        ASSERT_TRUE(SameBits(stored.times[i], plain.times[i])) << label << ": time " << i;
        ASSERT_TRUE(SameBits(times[i], plain.times[i])) << label << ": time " << i;
        ASSERT_TRUE(SameFloatBits(stored.values[i], plain.values[i])) << label << ": value " << i;
        ASSERT_TRUE(SameFloatBits(values[i], plain.values[i])) << label << ": value " << i;
    }
    size_t gaps = 0;
    for (float v : plain.values)
        gaps += IsGapValue(v) ? 1 : 0;
    EXPECT_EQ(stored.values.GapCount(), gaps) << label;
}

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("sample-store-" + std::to_string(getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const std::string path = (path_ / name).string();
        EXPECT_FALSE(WriteBinaryFile(path, bytes));
        return path;
    }
    const fs::path& Path() const { return path_; }

private:
    static inline int counter_ = 0;
    fs::path path_;
};

std::vector<int16_t> Ramp(int16_t from, size_t count, int16_t step = 1) {
    std::vector<int16_t> out;
    for (size_t i = 0; i < count; ++i)
        out.push_back(static_cast<int16_t>(from + static_cast<int>(i) * step));
    return out;
}

struct FileCase {
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<FileCase> FileCases() {
    std::vector<FileCase> cases;
    const auto header = [](uint8_t first, uint8_t last, HeaderTimeBytes start,
                           HeaderTimeBytes end) {
        RecorderFileBuilder b;
        b.SetChannelIndices(first, last);
        b.SetStartTime(start);
        b.SetEndTime(end);
        return b;
    };
    {
        // A run split by gaps: a record 2 s after the last sample (one gap point), one 10 s
        // after (two), and one that continues the grid exactly.
        RecorderFileBuilder b = header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 10, 0, 0});
        b.SetDescriptor(0, {1000, 0, 3, 19, 1});
        b.AppendBlock({{T0, 1, Ramp(10, 40), {}, {}},
                       {T0 + 41, 1, Ramp(50, 20), {}, {}},
                       {T0 + 70, 1, Ramp(90, 30), {}, {}},
                       {T0 + 100, 1, Ramp(120, 30), {}, {}}});
        cases.push_back({"RunSplitByGaps", b.TakeBytes()});
    }
    {
        // An interruption across a block boundary, intervals of 2 and 5 s, and the range's
        // replacement rules: short bad runs keep the last good value, the fourth turns the run to
        // the lower end, also across records.
        RecorderFileBuilder b = header(2, 3, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 12, 0, 0});
        b.SetDescriptor(2, {5000, -200, 2, 12, 2});
        b.SetDescriptor(3, {100, 0, 4, 20, 1});
        b.AppendBlock({{T0, 2, {100, 200, 9000, 9000, 300, -500, -500}, {}, {}},
                       {T0 + 14, 2, {-500, -500, 400, 500}, {}, {}}});
        b.AppendBlock({{T0 + 600, 5, Ramp(-100, 50, 7), {}, {}}});
        b.AppendBlock({{T0, 1, {5, 200, 6, 7, -158, 8}, {}, {}}, {T0 + 3600, 1, {9, 10}, {}, {}}});
        cases.push_back({"InterruptionAndRanges", b.TakeBytes()});
    }
    {
        // Samples before the header's start and after its end are dropped, so a record's stored
        // samples begin at a k of its middle.
        RecorderFileBuilder b = header(0, 1, {15, 3, 16, 9, 0, 30}, {15, 3, 16, 9, 1, 10});
        b.SetDescriptor(0, {30000, -30000, 1, 94, 1});
        b.SetDescriptor(1, {30000, -30000, 3, 19, 1});
        b.AppendBlock({{T0, 1, Ramp(-1000, 100, 13), {}, {}}});
        b.AppendBlock({{T0 + 20, 3, Ramp(3000, 30, -3), {}, {}}});
        cases.push_back({"OutOfWindowSamples", b.TakeBytes()});
    }
    {
        // Gap points that a divisor of 1000 cannot carry as a word; eleven records, the last
        // ended by the end-of-data pattern; a record of interval 0.
        RecorderFileBuilder b = header(0, 0, {15, 3, 16, 9, 0, 0}, {15, 3, 16, 10, 0, 0});
        b.SetDescriptor(0, {30000, -30000, 1, 19, 1});
        std::vector<DataRecord> records;
        for (int r = 0; r < 11; ++r)
            records.push_back({T0 + 7 * r,
                               static_cast<uint8_t>(r == 3 ? 0 : 1),
                               Ramp(static_cast<int16_t>(r * 100), 3),
                               {},
                               {}});
        b.AppendBlock(records, 0xFF);
        cases.push_back({"HeldGapPointsAndElevenRecords", b.TakeBytes()});
    }
    {
        SampleOptions options;
        options.channels = 5;
        options.days = 0.25;
        options.seed = 5;
        options.interruptionsPerDay = 40;
        options.outOfRangeRunsPerDay = 30;
        SampleRecording recording;
        EXPECT_FALSE(GenerateSampleRecording(options, recording));
        cases.push_back({"SampleRecording", std::move(recording.bytes)});
    }
    return cases;
}

TEST(SampleStore, ReadSamplesAreThoseOfAPlainReading) {
    TempDir dir;
    for (FileCase& c : FileCases()) {
        const std::string path = dir.Write(std::string(c.name) + ".bin", c.bytes);
        RecordingInfo info;
        std::vector<ChannelInfo> channels;
        ASSERT_FALSE(ReadRecorderFile(path, info, channels)) << c.name;
        const std::vector<PlainChannel> plain = ReadPlain(c.bytes);
        ASSERT_EQ(channels.size(), plain.size()) << c.name;
        for (size_t k = 0; k < channels.size(); ++k)
            ExpectSameSamples(channels[k], plain[k],
                              std::string(c.name) + " channel " + std::to_string(k));
        // Runs, not one time each: a record is one run, a gap point one held time.
        size_t samples = 0, runs = 0;
        for (const ChannelInfo& channel : channels) {
            samples += channel.times.size();
            runs += channel.times.Runs().size();
        }
        if (samples > 1000) {
            EXPECT_LT(runs * 20, samples) << c.name;
        }
    }
}

TEST(SampleStore, ImportedIrregularTimesAreKeptAsTheyAre) {
    TempDir dir;
    // Times out of order, repeated, a second apart and irregular; values of any precision.
    std::string text = "No.,Channel,Value,Time,Unit\n";
    std::mt19937 random(3);
    PlainChannel expected;
    for (int i = 0; i < 600; ++i) {
        const int second = i < 300 ? i : i < 400 ? 1000 - i : static_cast<int>(random() % 5000);
        const float value = i % 50 == 7
                                ? GapValue
                                : static_cast<float>(static_cast<int>(random() % 200000) - 100000) /
                                      (i % 3 == 0 ? 1000.0f : 7.0f);
        const DateTime t =
            EncodeDateTime({2015, 3, 16, 9 + second / 3600, second / 60 % 60, second % 60}).value();
        text += FormatImportLine(i + 1, 1, value, t, "Kpa");
        // What the import reads back: the line's time and its "%0.3f" value.
        char number[64];
        std::snprintf(number, sizeof number, "%0.3f", static_cast<double>(value));
        expected.times.push_back(*ParseDateTime(FormatDateTime(t, ReadoutTimePattern)));
        expected.values.push_back(std::strtof(number, nullptr));
    }
    const std::string path = (dir.Path() / "import.csv").string();
    std::ofstream(path, std::ios::binary) << text;
    CsvImport imported = ImportCsvFile(path);
    ASSERT_EQ(imported.channels.size(), 1u);
    ExpectSameSamples(imported.channels[0], expected, "import");
}

TEST(SampleStore, JoinedSamplesAreThoseOfTheFilesRead) {
    TempDir dir;
    // Three exports of one channel pair overlapping by a few minutes, the second with other
    // divisors, the third starting inside the first two.
    std::vector<std::string> paths;
    std::vector<std::vector<uint8_t>> files;
    const int starts[] = {0, 3000, 2500};
    for (int f = 0; f < 3; ++f) {
        const DateTime from = RecorderSecondsToDateTime(T0 + starts[f]);
        RecorderFileBuilder b;
        b.SetChannelIndices(0, 1);
        b.SetStartTime(*HeaderTimeFromDateTime(from));
        b.SetEndTime(*HeaderTimeFromDateTime(from + 3600 * OneSecond));
        b.SetDescriptor(0, {30000, -30000, static_cast<uint16_t>(f == 1 ? 2 : 3), 19, 1});
        b.SetDescriptor(1, {30000, -30000, 1, 12, 1});
        b.AppendBlock({{T0 + starts[f], 1, Ramp(static_cast<int16_t>(f * 1000), 1800), {}, {}},
                       {T0 + starts[f] + 1830, 1, Ramp(7, 1700, 3), {}, {}}});
        b.AppendBlock({{T0 + starts[f], 2, Ramp(-50, 1800), {}, {}}});
        files.push_back(b.TakeBytes());
        paths.push_back(dir.Write("f" + std::to_string(f) + ".bin", files.back()));
    }
    JoinedRecording joined;
    ASSERT_FALSE(ReadJoinedRecording(paths, joined));
    ASSERT_EQ(joined.channels.size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        // Every sample the join kept is bit for bit one of a file's samples at its time.
        std::vector<std::pair<uint64_t, uint32_t>> known;
        for (const auto& bytes : files) {
            const PlainChannel plain = ReadPlain(bytes)[k];
            for (size_t i = 0; i < plain.times.size(); ++i)
                known.push_back({std::bit_cast<uint64_t>(plain.times[i]),
                                 std::bit_cast<uint32_t>(plain.values[i])});
        }
        std::sort(known.begin(), known.end());
        const ChannelInfo& channel = joined.channels[k];
        size_t kept = 0;
        for (size_t i = 0; i < channel.times.size(); ++i) {
            if (IsGapValue(channel.values[i]))
                continue;
            ++kept;
            const std::pair<uint64_t, uint32_t> sample{std::bit_cast<uint64_t>(channel.times[i]),
                                                       std::bit_cast<uint32_t>(channel.values[i])};
            ASSERT_TRUE(std::binary_search(known.begin(), known.end(), sample))
                << "channel " << k << " sample " << i;
        }
        EXPECT_GT(kept, 3000u); // more than any one file holds
        EXPECT_TRUE(channel.times.Ascending());
    }
}

TEST(SampleStore, EveryRawWordScalesAsTheReaderScalesIt) {
    // The decoding loop multiplies by the inverse divisor: for every word of every divisor that
    // must be the reader's division, bit for bit.
    for (double divisor : SampleValues::Divisors) {
        std::vector<uint8_t> words;
        for (int raw = -32768; raw <= 32767; ++raw) {
            words.push_back(static_cast<uint8_t>(raw & 0xFF));
            words.push_back(static_cast<uint8_t>((raw >> 8) & 0xFF));
        }
        SampleValues values;
        values.AppendRaw(words.data(), 65536, divisor);
        const std::vector<float> decoded = values.ToVector();
        for (int raw = -32768; raw <= 32767; ++raw)
            ASSERT_TRUE(SameFloatBits(decoded[static_cast<size_t>(raw + 32768)],
                                      static_cast<float>(raw / divisor)))
                << raw << " / " << divisor;
        size_t gaps = 0;
        for (float v : decoded)
            gaps += IsGapValue(v) ? 1 : 0;
        EXPECT_EQ(values.GapCount(), gaps) << divisor;
        EXPECT_EQ(values.Segments().size(), 1u);
    }
}

// The store's operations against a vector doing the same, with random times and values that
// fall into runs and out of them.
TEST(SampleStore, OperationsAgreeWithAVector) {
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        SampleTimes times;
        SampleValues values;
        if (round % 2 == 0)
            values.PreferDivisor(SampleValues::Divisors[round % 4]);
        std::vector<DateTime> plainTimes;
        std::vector<float> plainValues;
        DateTime t = 42079.375 + round;
        for (int op = 0; op < 3000; ++op) {
            const unsigned choice = random() % 100;
            if (choice < 80) {
                // Mostly a second on, sometimes a jump, a repeat, a step back or a NaN.
                const unsigned kind = random() % 40;
                t = kind == 0   ? t + 3600 * OneSecond
                    : kind == 1 ? t
                    : kind == 2 ? t - 5 * OneSecond
                    : kind == 3 ? std::nextafter(t, 0.0)
                                : t + OneSecond;
                const DateTime pushed = kind == 4 ? std::numeric_limits<double>::quiet_NaN() : t;
                const float v = random() % 30 == 0
                                    ? GapValue
                                    : static_cast<float>(static_cast<int>(random() % 4000) - 2000) /
                                          (random() % 7 == 0 ? 7.0f : 10.0f);
                times.push_back(pushed);
                values.push_back(v);
                plainTimes.push_back(pushed);
                plainValues.push_back(v);
            } else if (choice < 85) {
                // A record's run, as the reader appends it.
                const auto count = static_cast<uint32_t>(1 + random() % 50);
                const auto k = static_cast<int32_t>(random() % 20);
                const DateTime base = t, step = (1 + random() % 3) * OneSecond;
                times.AppendRun(base, step, k, count);
                for (uint32_t j = 0; j < count; ++j) {
                    plainTimes.push_back(base +
                                         static_cast<int>(k + static_cast<int32_t>(j)) * step);
                    const float v = static_cast<float>(j) / 10.0f;
                    values.push_back(v);
                    plainValues.push_back(v);
                }
                t = plainTimes.back();
            } else if (choice < 93 && !plainTimes.empty()) {
                const size_t i = random() % plainTimes.size();
                const DateTime newTime = plainTimes[i] + (random() % 3) * OneSecond;
                const float newValue =
                    random() % 2 ? GapValue : 0.125f * static_cast<float>(random() % 100);
                times[i] = newTime;
                values[i] = newValue;
                plainTimes[i] = newTime;
                plainValues[i] = newValue;
            } else if (choice < 96 && !plainTimes.empty()) {
                const size_t n = random() % plainTimes.size();
                times.resize(n);
                values.resize(n);
                plainTimes.resize(n);
                plainValues.resize(n);
            } else if (!plainTimes.empty()) {
                // Part of one store appended to another, runs and words kept.
                const size_t from = random() % plainTimes.size();
                const size_t to = from + random() % (plainTimes.size() - from + 1);
                SampleTimes copyTimes;
                SampleValues copyValues;
                copyTimes.Append(times, from, to);
                copyValues.Append(values, from, to);
                ASSERT_EQ(copyTimes.size(), to - from);
                ASSERT_EQ(copyValues.size(), to - from);
                for (size_t i = from; i < to; ++i) {
                    ASSERT_TRUE(SameBits(copyTimes[i - from], plainTimes[i]))
                        << "round " << round << " op " << op << " time " << i;
                    ASSERT_TRUE(SameFloatBits(copyValues[i - from], plainValues[i]))
                        << "round " << round << " op " << op << " value " << i;
                }
            }
        }
        ASSERT_EQ(times.size(), plainTimes.size());
        ASSERT_EQ(values.size(), plainValues.size());
        for (size_t i = 0; i < plainTimes.size(); ++i) {
            ASSERT_TRUE(SameBits(times[i], plainTimes[i])) << "round " << round << " time " << i;
            ASSERT_TRUE(SameFloatBits(values[i], plainValues[i]))
                << "round " << round << " value " << i;
        }
        EXPECT_EQ(times.Ascending(), std::is_sorted(plainTimes.begin(), plainTimes.end()));
        EXPECT_EQ(times.Finite(), std::all_of(plainTimes.begin(), plainTimes.end(),
                                              [](DateTime x) { return std::isfinite(x); }));
        size_t gaps = 0;
        for (float v : plainValues)
            gaps += IsGapValue(v) ? 1 : 0;
        EXPECT_EQ(values.GapCount(), gaps);
        const size_t from = plainValues.size() / 3, to = plainValues.size() * 2 / 3;
        size_t inside = 0, firstGap = to;
        for (size_t i = from; i < to; ++i)
            if (IsGapValue(plainValues[i])) {
                ++inside;
                firstGap = std::min(firstGap, i);
            }
        EXPECT_EQ(values.CountGaps(from, to), inside);
        EXPECT_EQ(values.NextGap(from, to), firstGap);
        times.shrink_to_fit();
        EXPECT_EQ(times.ToVector().size(), plainTimes.size());
        for (size_t i = 0; i < plainTimes.size(); ++i)
            ASSERT_TRUE(SameBits(times[i], plainTimes[i])) << "after shrinking, time " << i;
    }
}

} // namespace
