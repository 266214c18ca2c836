#include "data/RecorderFileWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace RecorderFileLayout;

namespace {

void Put16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

// Copies what fits of [data, data + size) to block offset `at`.
void PutClipped(std::array<uint8_t, BlockSize>& block, size_t at, const uint8_t* data,
                size_t size) {
    // A record without samples has no data to copy (and memcpy takes no null pointer).
    if (at >= BlockSize || size == 0)
        return;
    std::memcpy(block.data() + at, data, std::min(size, BlockSize - at));
}

} // namespace

void ChannelDescriptor::EncodeTo(uint8_t* d) const {
    Put16(d + RangeHighOffset, static_cast<uint16_t>(rangeHigh));
    Put16(d + RangeLowOffset, static_cast<uint16_t>(rangeLow));
    Put16(d + DecimalCodeOffset, decimalCode);
    Put16(d + UnitCodeOffset, static_cast<uint16_t>(unitCode));
    d[BlockCountOffset] = static_cast<uint8_t>(blockCount >> 8); // the one big-endian field
    d[BlockCountOffset + 1] = static_cast<uint8_t>(blockCount);
}

std::array<uint8_t, BlockSize> LayOutDataBlock(const std::vector<DataRecord>& records,
                                               uint8_t fill) {
    std::array<uint8_t, BlockSize> block;
    block.fill(fill);
    std::vector<size_t> offsets(records.size());
    size_t next = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        offsets[i] = records[i].offset.value_or(next);
        next = offsets[i] + RecordHeadSize + 2 * records[i].samples.size();
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const DataRecord& r = records[i];
        uint8_t head[RecordHeadSize] = {};
        const auto time = static_cast<uint32_t>(r.time);
        for (int b = 0; b < 4; ++b)
            head[b] = static_cast<uint8_t>(time >> (8 * b));
        const uint16_t nextOffset = r.nextOffset.value_or(
            i + 1 < records.size() ? static_cast<uint16_t>(offsets[i + 1]) : LastRecordMark);
        Put16(head + 4, nextOffset);
        head[6] = r.interval;
        PutClipped(block, offsets[i], head, sizeof head);
        std::vector<uint8_t> samples(2 * r.samples.size());
        for (size_t k = 0; k < r.samples.size(); ++k)
            Put16(samples.data() + 2 * k, static_cast<uint16_t>(r.samples[k]));
        PutClipped(block, offsets[i] + RecordHeadSize, samples.data(), samples.size());
    }
    return block;
}

RecorderFileBuilder::RecorderFileBuilder() : bytes_(BlockSize, 0) {}

void RecorderFileBuilder::SetChannelIndices(uint8_t first, uint8_t last) {
    bytes_[FirstChannelIndexOffset] = first;
    bytes_[LastChannelIndexOffset] = last;
}

void RecorderFileBuilder::SetStartTime(const HeaderTimeBytes& time) {
    std::copy(time.begin(), time.end(), bytes_.begin() + StartTimeOffset);
}

void RecorderFileBuilder::SetEndTime(const HeaderTimeBytes& time) {
    std::copy(time.begin(), time.end(), bytes_.begin() + EndTimeOffset);
}

void RecorderFileBuilder::SetDescriptor(size_t index, const ChannelDescriptor& descriptor) {
    if (index < MaxChannels)
        descriptor.EncodeTo(bytes_.data() + DescriptorsOffset + DescriptorSize * index);
}

void RecorderFileBuilder::AppendBlock(const std::vector<DataRecord>& records, uint8_t fill) {
    AppendRawBlock(LayOutDataBlock(records, fill));
}

void RecorderFileBuilder::AppendRawBlock(const std::array<uint8_t, BlockSize>& block) {
    bytes_.insert(bytes_.end(), block.begin(), block.end());
}

std::optional<HeaderTimeBytes> HeaderTimeFromDateTime(DateTime time) {
    const DateTimeFields f = DecodeDateTime(time);
    if (f.year < 2000 || f.year > 2099)
        return std::nullopt;
    return HeaderTimeBytes{static_cast<uint8_t>(f.year - 2000), static_cast<uint8_t>(f.month),
                           static_cast<uint8_t>(f.day),         static_cast<uint8_t>(f.hour),
                           static_cast<uint8_t>(f.minute),      static_cast<uint8_t>(f.second)};
}

int64_t RecorderSecondsFromDateTime(DateTime time) {
    return std::llround((time - RecorderEpoch) * SecondsPerDay);
}

std::optional<std::string> WriteBinaryFile(const std::string& path,
                                           const std::vector<uint8_t>& bytes) {
    static std::atomic<unsigned> counter{0};
    const auto failure = [&](const char* what) {
        return std::string("Cannot ") + what + " " + path + ": " + std::strerror(errno);
    };
    // The bytes go to a new file beside the target, which replaces the target only once
    // everything is on disk: a failed write never leaves a half-written file under path.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = path + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(counter++);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return failure("create");
    size_t written = 0;
    bool ok = true;
    while (ok && written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            ok = false;
        } else {
            written += static_cast<size_t>(n);
        }
    }
    ok = ok && fsync(fd) == 0;
    std::string text = ok ? std::string() : failure("write");
    if (close(fd) != 0 && ok) {
        ok = false;
        text = failure("write");
    }
    if (ok && rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        text = failure("replace");
    }
    if (ok)
        return std::nullopt;
    unlink(temp.c_str());
    return text;
}

// ---------------------------------------------------------------------------------------------
// The sample recording.

namespace {

// SplitMix64: the standard library's distributions differ between implementations, and the
// demo recording must come out byte for byte the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    long long Between(long long low, long long high) {
        return low + static_cast<long long>(Next() % static_cast<uint64_t>(high - low + 1));
    }

private:
    uint64_t state_;
};

// What each channel number measures: unit, decimals and range as the recorder stores them.
struct ChannelKind {
    int16_t unitCode;
    uint16_t decimalCode;
    int16_t rangeLow;
    int16_t rangeHigh;
};
constexpr ChannelKind ChannelKinds[MaxChannels] = {
    {19, 3, -200, 1500},  // ℃, -20.0..150.0
    {12, 1, 0, 1600},     // Mpa, 0.000..1.600
    {0, 2, 0, 25000},     // m3/h, 0.00..250.00
    {20, 3, 0, 1000},     // %, 0.0..100.0
    {22, 2, 0, 1400},     // pH, 0.00..14.00
    {72, 3, 0, 1000},     // ％RH
    {27, 2, 400, 2000},   // mA, 4.00..20.00
    {31, 4, 0, 400},      // V
    {67, 0, 0, 3000},     // rpm; decimal code 0 counts as 4
    {13, 3, -1000, 2000}, // Kpa, -100.0..200.0
    {21, 4, 0, 5000},     // ppm
    {70, 3, 320, 3000},   // ℉, 32.0..300.0
    {25, 2, 4500, 5500},  // Hz, 45.00..55.00
    {36, 3, 0, 5000},     // KW, 0.0..500.0
    {81, 2, 0, 2000},     // mg/L, 0.00..20.00
    {94, 3, 0, 10000},    // 单位, 0.0..1000.0
};

constexpr size_t MinRecordBytes = RecordHeadSize + 2; // a head and one sample
constexpr int LastRecordIndex = MaxRecordsPerBlock - 1;

struct PlannedRecord {
    int64_t time;
    size_t first; // index of its first sample in the timeline
    size_t count;
};

// Where the shared timeline's samples go: every channel records the same instants, so all
// channels share one block and record structure.
struct Plan {
    std::vector<SampleSegment> segments;
    std::vector<std::vector<PlannedRecord>> blocks;
    size_t samples = 0;
    int64_t lastTime = 0;
};

class Planner {
public:
    Planner(const SampleOptions& options, Random& random, int64_t start, size_t targetSamples,
            size_t maxBlocks, size_t lastBlockFill)
        : options_(options), random_(random), time_(start), targetSamples_(targetSamples),
          maxBlocks_(maxBlocks), lastBlockFill_(lastBlockFill) {}

    Plan Run() {
        while (!Done()) {
            const size_t length = DrawSegmentLength();
            plan_.segments.push_back({time_, 0});
            Place(length);
            if (plan_.segments.back().count == 0)
                plan_.segments.pop_back();
            if (Done())
                break;
            EndSegment();
            if (Done())
                break;
            time_ += DrawInterruption();
        }
        return std::move(plan_);
    }

private:
    bool BlockClosed() const { return plan_.blocks.empty() || pos_ >= BlockSize; }

    bool Done() const {
        if (finished_)
            return true;
        if (maxBlocks_ > 0)
            return plan_.blocks.size() == maxBlocks_ && pos_ >= lastBlockFill_;
        return plan_.samples >= targetSamples_;
    }

    size_t DrawSegmentLength() {
        if (!options_.interruptions.empty())
            return scripted_ < options_.interruptions.size()
                       ? std::max<size_t>(1, options_.interruptions[scripted_].first)
                       : SIZE_MAX;
        if (options_.interruptionsPerDay <= 0)
            return SIZE_MAX;
        const auto mean =
            static_cast<long long>(std::min(SecondsPerDay / options_.interruptionsPerDay, 1e12));
        return static_cast<size_t>(random_.Between(std::max(1LL, mean / 4), mean * 7 / 4 + 1));
    }

    // Missing seconds: one (the reader marks it with a single gap point), a short stop or a
    // long one.
    long long DrawInterruption() {
        if (!options_.interruptions.empty())
            return std::clamp<long long>(options_.interruptions[scripted_++].second, 1, 1 << 24);
        switch (random_.Between(0, 3)) {
        case 0:
            return 1;
        case 1:
            return random_.Between(2, 120);
        default:
            return random_.Between(300, 7200);
        }
    }

    void Place(size_t length) {
        bool newRecord = true;
        while (length > 0 && !Done()) {
            if (newRecord || pos_ >= BlockSize) {
                if (BlockClosed() || recordIndex_ == LastRecordIndex ||
                    BlockSize - pos_ < MinRecordBytes) {
                    if (maxBlocks_ > 0 && plan_.blocks.size() == maxBlocks_) {
                        finished_ = true;
                        return;
                    }
                    plan_.blocks.emplace_back();
                    pos_ = 0;
                    recordIndex_ = -1;
                }
                // No record without a sample: the reader would still check it for a gap.
                if (maxBlocks_ > 0 && plan_.blocks.size() == maxBlocks_ &&
                    pos_ + MinRecordBytes > lastBlockFill_) {
                    finished_ = true;
                    return;
                }
                plan_.blocks.back().push_back({time_, plan_.samples, 0});
                ++recordIndex_;
                pos_ += RecordHeadSize;
                newRecord = false;
            }
            size_t room = (BlockSize - pos_) / 2;
            if (maxBlocks_ > 0 && plan_.blocks.size() == maxBlocks_)
                room = std::min(room, (lastBlockFill_ - std::min(pos_, lastBlockFill_) + 1) / 2);
            size_t n = std::min(length, room);
            if (maxBlocks_ == 0)
                n = std::min(n, targetSamples_ - plan_.samples);
            Advance(n);
            length -= n;
        }
    }

    void Advance(size_t n) {
        plan_.blocks.back().back().count += n;
        plan_.segments.back().count += n;
        plan_.samples += n;
        pos_ += 2 * n;
        plan_.lastTime = time_ + static_cast<int64_t>(n) - 1;
        time_ += static_cast<int64_t>(n);
    }

    // The recording stops inside a block. The reader would take whatever follows the last
    // record's samples as further samples unless a new record can start there (records 1 to
    // 10) or the end-of-data pattern fits (record 11); otherwise the recorder goes on until
    // the block is full.
    void EndSegment() {
        if (pos_ >= BlockSize)
            return;
        const size_t rest = BlockSize - pos_;
        if (recordIndex_ < LastRecordIndex ? rest < MinRecordBytes : rest < EndOfDataLength)
            Advance(rest / 2);
        else if (recordIndex_ == LastRecordIndex)
            pos_ = BlockSize; // the erased rest of the block ends the record
    }

    const SampleOptions& options_;
    Random& random_;
    int64_t time_;
    size_t targetSamples_;
    size_t maxBlocks_;     // size mode: the block count of the longest channel
    size_t lastBlockFill_; // size mode: bytes written into the last block
    Plan plan_;
    bool finished_ = false;
    size_t scripted_ = 0; // interruptions taken from the options
    size_t pos_ = 0;
    int recordIndex_ = -1;
};

void AddOutOfRangeRuns(const ChannelKind& kind, double runsPerDay, Random& random,
                       std::vector<int16_t>& raw) {
    const long long low = kind.rangeLow, high = kind.rangeHigh, span = high - low;
    const double days = static_cast<double>(raw.size()) / SecondsPerDay;
    const auto runs = std::clamp<long long>(std::llround(days * runsPerDay), 1,
                                            static_cast<long long>(raw.size()));
    for (long long r = 0; r < runs; ++r) {
        // Alternately short runs (kept at the last good value) and long ones (set to low).
        const auto length =
            static_cast<size_t>(r % 2 == 0 ? random.Between(1, 3) : random.Between(4, 30));
        const auto at =
            static_cast<size_t>(random.Between(0, static_cast<long long>(raw.size()) - 1));
        const bool above = random.Between(0, 1) == 1;
        for (size_t i = at; i < std::min(raw.size(), at + length); ++i) {
            const long long margin = span / 10 + random.Between(0, span / 10);
            raw[i] = static_cast<int16_t>(above ? high + margin : low - margin);
        }
    }
}

// One channel's raw samples over the whole timeline: a slow cycle, some noise, and runs of
// out-of-range values.
std::vector<int16_t> ChannelSamples(const ChannelKind& kind, const Plan& plan,
                                    const SampleOptions& options, Random& random) {
    const long long low = kind.rangeLow, high = kind.rangeHigh, span = high - low;
    const long long middle = (low + high) / 2, amplitude = span * 3 / 10;
    const long long period = random.Between(4, 24) * 3600;
    const long long phase = random.Between(0, period - 1);
    const long long noiseLimit = span / 20 + 1, noiseStep = span / 200 + 1;
    long long noise = 0;

    std::vector<int16_t> raw;
    raw.reserve(plan.samples);
    for (const SampleSegment& segment : plan.segments) {
        for (size_t k = 0; k < segment.count; ++k) {
            const long long u = (segment.start + static_cast<long long>(k) + phase) % period;
            const long long cycle = u < period / 2 ? -amplitude + 4 * amplitude * u / period
                                                   : 3 * amplitude - 4 * amplitude * u / period;
            noise += random.Between(-noiseStep, noiseStep);
            noise = std::clamp(noise, -noiseLimit, noiseLimit);
            raw.push_back(static_cast<int16_t>(std::clamp(middle + cycle + noise, low, high)));
        }
    }

    if (options.outOfRangeRunsPerDay > 0 && !raw.empty())
        AddOutOfRangeRuns(kind, options.outOfRangeRunsPerDay, random, raw);
    // Raw -1 is the recorder's erased-memory value: five of them in a block's eleventh record
    // would read as the end of the data, so the recorder never writes it.
    std::replace(raw.begin(), raw.end(), int16_t{-1}, int16_t{0});
    return raw;
}

} // namespace

SampleOptions DemoSampleOptions() {
    SampleOptions options;
    options.seed = 20150316;
    options.channels = 3;
    options.days = 2;
    return options;
}

std::optional<std::string> GenerateSampleRecording(const SampleOptions& options,
                                                   SampleRecording& recording) {
    recording = {};
    if (options.channels < 1 || options.channels > static_cast<int>(MaxChannels))
        return "The number of channels must be 1 to 16.";
    if (options.firstChannel < 1 || options.firstChannel + options.channels - 1 > 16)
        return "The channels must be numbered 1 to 16.";
    const auto channels = static_cast<size_t>(options.channels);

    size_t targetSamples = 0, maxBlocks = 0, dataBlocks = 0;
    if (options.fileSize > 0) {
        if (options.fileSize > MaxFileSize || options.fileSize % BlockSize != 0)
            return "The file size must be a multiple of 16384 bytes, at most 10485760.";
        dataBlocks = static_cast<size_t>(options.fileSize / BlockSize) - 1;
        if (dataBlocks < channels)
            return "The file size leaves less than one block per channel.";
        maxBlocks = (dataBlocks + channels - 1) / channels;
    } else {
        if (!(options.days > 0) ||
            options.days * SecondsPerDay * 2 * static_cast<double>(channels) > MaxFileSize)
            return "The number of days must be above 0 and the samples must fit in 10485760 "
                   "bytes.";
        targetSamples =
            static_cast<size_t>(std::max(1.0, std::round(options.days * SecondsPerDay)));
    }

    const DateTime start =
        options.start != 0 ? options.start : *EncodeDateTime({2015, 3, 16, 8, 0, 0});
    const int64_t startSeconds = RecorderSecondsFromDateTime(start);
    if (startSeconds < 0 || startSeconds > INT32_MAX)
        return "The start time must lie between 2000-01-01 and 2068-01-19.";

    Random random(options.seed);
    const size_t lastBlockFill =
        maxBlocks > 0 ? static_cast<size_t>(random.Between(BlockSize / 2, BlockSize)) : 0;
    Plan plan =
        Planner(options, random, startSeconds, targetSamples, maxBlocks, lastBlockFill).Run();
    if (maxBlocks == 0) {
        maxBlocks = plan.blocks.size();
        dataBlocks = maxBlocks * channels;
    }
    if ((1 + dataBlocks) * BlockSize > MaxFileSize)
        return "The samples do not fit in 10485760 bytes: fewer days or channels.";
    // Record times are 32-bit seconds since 2000, which run out in January 2068.
    if (plan.lastTime > INT32_MAX)
        return "The recording would run past 2068-01-19, where the recorder's clock ends.";
    const auto startBytes =
        HeaderTimeFromDateTime(RecorderSecondsToDateTime(plan.segments[0].start));
    const auto endBytes = HeaderTimeFromDateTime(RecorderSecondsToDateTime(plan.lastTime));
    if (!startBytes || !endBytes)
        return "The recording would end after the year 2099."; // unreachable after the check above

    RecorderFileBuilder builder;
    const auto firstIndex = static_cast<uint8_t>(options.firstChannel - 1);
    builder.SetChannelIndices(firstIndex, static_cast<uint8_t>(firstIndex + channels - 1));
    builder.SetStartTime(*startBytes);
    builder.SetEndTime(*endBytes);

    // The longest channels come first; the others lost their oldest block.
    const size_t longChannels = dataBlocks - channels * (maxBlocks - 1);
    recording.channels.resize(channels);
    for (size_t c = 0; c < channels; ++c) {
        SampleChannel& channel = recording.channels[c];
        const size_t index = firstIndex + c;
        const ChannelKind& kind = ChannelKinds[index];
        channel.number = static_cast<int>(index) + 1;
        channel.descriptor = {kind.rangeHigh, kind.rangeLow, kind.decimalCode, kind.unitCode,
                              static_cast<uint16_t>(c < longChannels ? maxBlocks : maxBlocks - 1)};
        builder.SetDescriptor(index, channel.descriptor);
        channel.raw = ChannelSamples(kind, plan, options, random);
    }

    std::vector<DataRecord> records;
    for (SampleChannel& channel : recording.channels) {
        const size_t firstBlock = maxBlocks - channel.descriptor.blockCount;
        channel.firstStored = plan.blocks[firstBlock].front().first;
        for (size_t b = firstBlock; b < plan.blocks.size(); ++b) {
            records.clear();
            for (const PlannedRecord& r : plan.blocks[b]) {
                const auto from = channel.raw.begin() + static_cast<std::ptrdiff_t>(r.first);
                records.push_back(
                    {static_cast<int32_t>(r.time),
                     1,
                     std::vector<int16_t>(from, from + static_cast<std::ptrdiff_t>(r.count)),
                     {},
                     {}});
            }
            builder.AppendBlock(records);
        }
    }

    recording.bytes = builder.TakeBytes();
    recording.segments = std::move(plan.segments);
    recording.startTime = RecorderSecondsToDateTime(recording.segments.front().start);
    recording.endTime = RecorderSecondsToDateTime(plan.lastTime);
    return std::nullopt;
}
