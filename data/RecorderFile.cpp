#include "data/RecorderFile.h"

#include "data/UnitNames.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

using namespace RecorderFileLayout;

namespace {

const UserMessage OpenFailure{"Open file failure!", MessageIcon::Error};
const UserMessage TooBig{"File is too big!", MessageIcon::Information};
const UserMessage ReadFailure{"File read failure!", MessageIcon::Error};
const UserMessage FormatError{"File format error!", MessageIcon::Error};

// Closes the descriptor on every way out.
class InputFile {
public:
    explicit InputFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~InputFile() {
        if (fd_ >= 0)
            close(fd_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool Size(uintmax_t& size) const {
        struct stat st {};
        if (fstat(fd_, &st) != 0)
            return false;
        size = static_cast<uintmax_t>(st.st_size);
        return true;
    }
    // Fills the whole buffer with what the file has next, zeros after its end. False when the
    // read fails or yields no byte at all.
    bool ReadBlock(std::array<uint8_t, BlockSize>& block) {
        size_t got = 0;
        while (got < block.size()) {
            const ssize_t n = read(fd_, block.data() + got, block.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        std::fill(block.begin() + static_cast<std::ptrdiff_t>(got), block.end(), uint8_t{0});
        return got > 0;
    }

private:
    int fd_;
};

// The optional diagnostic log: GBK text, "\r\n" line ends, written as the reader goes.
class LoadLog {
public:
    explicit LoadLog(const LoadLogOptions& options) {
        if (!options.enabled)
            return;
        const std::string path =
            options.directory + "/" + FormatDateTime(NowLocal(), FileStampPattern) + "_log.txt";
        file_ = std::fopen(path.c_str(), "wb");
    }
    ~LoadLog() {
        if (file_)
            std::fclose(file_);
    }
    LoadLog(const LoadLog&) = delete;
    LoadLog& operator=(const LoadLog&) = delete;

    bool IsOpen() const { return file_ != nullptr; }

    template <typename... Args> void Line(const char* format, Args... args) {
        if (file_)
            std::fprintf(file_, format, args...);
    }

private:
    FILE* file_ = nullptr;
};

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
int16_t S16(const uint8_t* p) {
    return static_cast<int16_t>(U16(p));
}
int32_t S32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 |
                                static_cast<uint32_t>(p[3]) << 24);
}

// Header time bytes go through the same text the recorder's date would print as, so that a
// byte above 99 (a five-digit year) or month 13 is refused like any bad date.
std::optional<DateTime> HeaderTime(const uint8_t* p) {
    char text[64];
    std::snprintf(text, sizeof text, "20%02d-%02d-%02d %02d:%02d:%02d", p[0], p[1], p[2], p[3],
                  p[4], p[5]);
    return ParseDateTime(text);
}

struct ChannelRange {
    float high = 0;
    float low = 0;
    double divisor = 1;
    int rawHigh = 0; // high and low before scaling
    int rawLow = 0;
};

// State that runs across all blocks of one channel.
struct ChannelState {
    float lastGood = 0;
    int invalidRun = 0;
    int takenInRecord = 0;
    DateTime prevLast = 0;
    DateTime expectedNext = 0;
};

bool IsEndOfData(const uint8_t* p) {
    for (size_t i = 0; i < EndOfDataLength; ++i)
        if (p[i] != 0xFF)
            return false;
    return true;
}

// Random-access sequences of a record's samples as the reader stores them, computed on access:
// the time of sample k and the scaled value of the raw sample k.
template <typename Derived, typename Value> class ComputedSequence {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Value;
    using difference_type = std::ptrdiff_t;
    using pointer = const Value*;
    using reference = Value;

    Derived& operator++() {
        ++index;
        return Self();
    }
    Derived operator++(int) {
        Derived old = Self();
        ++index;
        return old;
    }
    Derived& operator--() {
        --index;
        return Self();
    }
    Derived& operator+=(difference_type n) {
        index += static_cast<size_t>(n);
        return Self();
    }
    Derived operator+(difference_type n) const {
        Derived moved = Self();
        return moved += n;
    }
    difference_type operator-(const Derived& other) const {
        return static_cast<difference_type>(index) - static_cast<difference_type>(other.index);
    }
    Value operator[](difference_type n) const { return *(*this + n); }
    Value operator*() const { return Self().At(index); }
    bool operator==(const ComputedSequence& other) const { return index == other.index; }
    auto operator<=>(const ComputedSequence& other) const { return index <=> other.index; }

    size_t index = 0;

private:
    Derived& Self() { return static_cast<Derived&>(*this); }
    const Derived& Self() const { return static_cast<const Derived&>(*this); }
};

struct SampleTimes : ComputedSequence<SampleTimes, DateTime> {
    SampleTimes(DateTime recordTime, DateTime step, size_t k) : recordTime(recordTime), step(step) {
        index = k;
    }
    DateTime At(size_t k) const { return recordTime + static_cast<int>(k) * step; }
    DateTime recordTime;
    DateTime step;
};

struct ScaledSamples : ComputedSequence<ScaledSamples, float> {
    ScaledSamples(const uint8_t* raw, double divisor, size_t k) : raw(raw), divisor(divisor) {
        index = k;
    }
    float At(size_t k) const { return static_cast<float>(S16(raw + 2 * k) / divisor); }
    const uint8_t* raw;
    double divisor;
};

class BlockWalker {
public:
    BlockWalker(int channelNumber, const ChannelRange& range, const RecordingInfo& info,
                ChannelInfo& channel, ChannelState& state, int32_t& sampleCount, LoadLog& log)
        : number_(channelNumber), range_(range), info_(info), channel_(channel), state_(state),
          sampleCount_(sampleCount), log_(log) {}

    void Walk(const std::array<uint8_t, BlockSize>& block) {
        size_t offset = 0;
        for (int recordIndex = 0; recordIndex < MaxRecordsPerBlock; ++recordIndex) {
            // A head that would reach past the block ends the block.
            if (offset + RecordHeadSize > BlockSize)
                return;
            const uint8_t* head = block.data() + offset;
            const DateTime recordTime = RecorderSecondsToDateTime(S32(head));
            const uint16_t nextOffset = U16(head + 4);
            const int interval = head[6];
            const bool lastRecord = nextOffset == LastRecordMark;
            if (!lastRecord && nextOffset >= BlockSize)
                return;
            const size_t end = lastRecord ? BlockSize : nextOffset;

            MarkGap(recordTime);
            ReadSamples(block, offset, end, recordIndex, recordTime, interval);

            if (lastRecord)
                return;
            offset = nextOffset;
        }
    }

private:
    void MarkGap(DateTime recordTime) {
        if (CompareTimes(recordTime, state_.expectedNext) != 1 || state_.takenInRecord <= 0)
            return;
        state_.lastGood = range_.low;
        state_.invalidRun = 0;
        const int versusTwoSeconds = CompareTimes(recordTime, state_.prevLast + 2 * OneSecond);
        if (versusTwoSeconds >= 0)
            Append(state_.prevLast + OneSecond, GapValue);
        if (versusTwoSeconds > 0)
            Append(recordTime - OneSecond, GapValue);
    }

    // Sample by sample as the rules say, except that runs of samples inside the time window
    // whose raw values lie inside the raw range go into the arrays in one pass: nothing in
    // such a run is dropped, replaced or logged.
    void ReadSamples(const std::array<uint8_t, BlockSize>& block, size_t offset, size_t end,
                     int recordIndex, DateTime recordTime, int interval) {
        state_.takenInRecord = 0;
        const DateTime step = interval * OneSecond;
        const size_t count = SamplePositions(block, offset, end, recordIndex);
        const long limit = (static_cast<long>(BlockSize) - 12 - static_cast<long>(offset)) / 2;
        const uint8_t* raw = block.data() + offset + RecordHeadSize;
        // Sample times grow with their index, so those inside the window are one stretch.
        const size_t firstInside = FirstSampleWhere(
            recordTime, step, count, [this](DateTime t) { return !IsBeforeWindow(t); });
        const size_t insideEnd = FirstSampleWhere(recordTime, step, count,
                                                  [this](DateTime t) { return IsAfterWindow(t); });
        size_t k = 0;
        while (k < count) {
            if (state_.takenInRecord > limit)
                return;
            if (k >= firstInside && k < insideEnd) {
                const size_t room = static_cast<size_t>(limit + 1 - state_.takenInRecord);
                const size_t runEnd = InRangeRunEnd(raw, k, std::min(insideEnd, k + room));
                if (runEnd > k) {
                    AppendRun(raw, recordTime, step, k, runEnd);
                    k = runEnd;
                    continue;
                }
            }
            ReadSample(raw, k, recordTime + static_cast<int>(k) * step, step);
            ++k;
        }
    }

    // One sample: dropped outside the time window, replaced out of the range, logged either way.
    void ReadSample(const uint8_t* raw, size_t k, DateTime t, DateTime step) {
        if (IsBeforeWindow(t) || IsAfterWindow(t)) {
            if (log_.IsOpen())
                log_.Line("\t Channel %d Filter out invalid time record: %s\r\n", number_,
                          FormatDateTime(t, AxisTimePattern).c_str());
            return;
        }
        state_.prevLast = t;
        state_.expectedNext = t + step;
        float v = static_cast<float>(S16(raw + 2 * k) / range_.divisor);
        if ((v > range_.high && CompareSingle(v, range_.high) == 1) ||
            (v < range_.low && CompareSingle(v, range_.low) == -1)) {
            if (log_.IsOpen())
                log_.Line("\t Channel %d Filter out invalid time record : %s  %0.3f\r\n", number_,
                          FormatDateTime(t, AxisTimePattern).c_str(), static_cast<double>(v));
            v = ReplaceOutOfRange();
        } else {
            state_.invalidRun = 0;
            state_.lastGood = v;
        }
        Append(t, v);
        ++sampleCount_;
        ++state_.takenInRecord;
    }

    // How many sample positions the record has: up to its end, whole samples inside the block,
    // and in a block's eleventh record up to the end-of-data pattern.
    static size_t SamplePositions(const std::array<uint8_t, BlockSize>& block, size_t offset,
                                  size_t end, int recordIndex) {
        const size_t first = offset + RecordHeadSize;
        const size_t stop = std::min(end, BlockSize - 1); // p < end and p + 2 <= BlockSize
        size_t count = stop > first ? (stop - first + 1) / 2 : 0;
        if (recordIndex == MaxRecordsPerBlock - 1)
            for (size_t k = 0; k < count; ++k) {
                const size_t p = first + 2 * k;
                if (p + EndOfDataLength <= BlockSize && p + EndOfDataLength - 1 <= end &&
                    IsEndOfData(block.data() + p))
                    return k;
            }
        return count;
    }

    // The first of the record's samples whose time meets `holds`, a test that once true stays
    // true for later samples; count when none does.
    template <typename Test>
    static size_t FirstSampleWhere(DateTime recordTime, DateTime step, size_t count, Test holds) {
        size_t low = 0, high = count;
        while (low < high) {
            const size_t middle = low + (high - low) / 2;
            if (holds(recordTime + static_cast<int>(middle) * step))
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    }

    // The end of the run of raw samples from `from` (before `to`) inside the descriptor's raw
    // range. Such a sample scales to a value inside the range, as scaling keeps the order; near
    // or beyond the ends the tolerant comparison decides, sample by sample.
    size_t InRangeRunEnd(const uint8_t* raw, size_t from, size_t to) const {
        const int rawLow = range_.rawLow, rawHigh = range_.rawHigh;
        size_t k = from;
        constexpr size_t chunk = 16; // checked without a branch each, while all are inside
        for (; k + chunk <= to; k += chunk) {
            bool inside = true;
            for (size_t i = 0; i < chunk; ++i) {
                const int sample = S16(raw + 2 * (k + i));
                inside &= (sample >= rawLow) & (sample <= rawHigh);
            }
            if (!inside)
                break;
        }
        for (; k < to; ++k) {
            const int sample = S16(raw + 2 * k);
            if (sample < rawLow || sample > rawHigh)
                break;
        }
        return k;
    }

    // Samples from..to of the record, all inside the window and the range, with the state the
    // sample-by-sample rules would leave.
    void AppendRun(const uint8_t* raw, DateTime recordTime, DateTime step, size_t from, size_t to) {
        // Appended as ranges, which compile to plain loops over the arrays' memory.
        auto& values = channel_.values;
        values.insert(values.end(), ScaledSamples{raw, range_.divisor, from},
                      ScaledSamples{raw, range_.divisor, to});
        channel_.times.insert(channel_.times.end(), SampleTimes{recordTime, step, from},
                              SampleTimes{recordTime, step, to});
        const DateTime lastTime = recordTime + static_cast<int>(to - 1) * step;
        state_.prevLast = lastTime;
        state_.expectedNext = lastTime + step;
        state_.invalidRun = 0;
        state_.lastGood = values.back();
        state_.takenInRecord += static_cast<int>(to - from);
        sampleCount_ += static_cast<int32_t>(to - from);
    }

    // The plain order test first: only a sample beyond a bound can be outside, and only then
    // does the tolerance decide.
    bool IsBeforeWindow(DateTime t) const {
        return t < info_.startTime && CompareTimes(t, info_.startTime) == -1;
    }
    bool IsAfterWindow(DateTime t) const {
        return t > info_.endTime && CompareTimes(t, info_.endTime) == 1;
    }

    // Short runs of bad values keep the last good one; from the fourth on the whole run
    // becomes the range's lower end.
    float ReplaceOutOfRange() {
        ++state_.invalidRun;
        if (state_.invalidRun <= 3)
            return state_.lastGood;
        if (state_.invalidRun == 4) {
            auto& values = channel_.values;
            const size_t n = std::min<size_t>(3, values.size());
            std::fill(values.end() - static_cast<std::ptrdiff_t>(n), values.end(), range_.low);
        }
        return range_.low;
    }

    void Append(DateTime t, float v) {
        channel_.times.push_back(t);
        channel_.values.push_back(v);
    }

    int number_;
    const ChannelRange& range_;
    const RecordingInfo& info_;
    ChannelInfo& channel_;
    ChannelState& state_;
    int32_t& sampleCount_;
    LoadLog& log_;
};

} // namespace

ChannelDescriptor ChannelDescriptor::Decode(const uint8_t* d) {
    ChannelDescriptor c;
    c.rangeHigh = static_cast<int16_t>(U16(d + RangeHighOffset));
    c.rangeLow = static_cast<int16_t>(U16(d + RangeLowOffset));
    c.decimalCode = U16(d + DecimalCodeOffset);
    c.unitCode = static_cast<int16_t>(U16(d + UnitCodeOffset));
    c.blockCount = static_cast<uint16_t>(d[BlockCountOffset] << 8 | d[BlockCountOffset + 1]);
    return c;
}

double DivisorForDecimalCode(unsigned decimalCode) {
    switch (decimalCode) {
    case 1:
        return 1000.0;
    case 2:
        return 100.0;
    case 3:
        return 10.0;
    default:
        return 1.0;
    }
}

std::optional<UserMessage> ReadRecorderFile(const std::string& path, RecordingInfo& info,
                                            std::vector<ChannelInfo>& channels,
                                            const LoadLogOptions& logOptions) {
    InputFile file(path);
    if (!file.IsOpen())
        return OpenFailure;
    uintmax_t fileSize = 0;
    if (!file.Size(fileSize))
        return ReadFailure;
    if (fileSize > MaxFileSize)
        return TooBig;

    static thread_local std::array<uint8_t, BlockSize> block;
    if (!file.ReadBlock(block))
        return ReadFailure;

    const unsigned last = block[LastChannelIndexOffset];
    const unsigned first = block[FirstChannelIndexOffset];
    if (first >= MaxChannels || last >= MaxChannels || first > last)
        return FormatError;
    const auto start = HeaderTime(block.data() + StartTimeOffset);
    const auto end = HeaderTime(block.data() + EndTimeOffset);
    if (!start || !end)
        return FormatError;
    info.startTime = *start;
    info.endTime = *end;

    LoadLog log(logOptions);

    // The descriptors live in the header block, which the data blocks will overwrite.
    std::array<uint8_t, DescriptorSize * MaxChannels> descriptors;
    std::memcpy(descriptors.data(), block.data() + DescriptorsOffset, descriptors.size());

    uintmax_t blocksLeftInFile = fileSize / BlockSize + (fileSize % BlockSize ? 1 : 0) - 1;
    for (unsigned index = first; index <= last; ++index) {
        const ChannelDescriptor d =
            ChannelDescriptor::Decode(descriptors.data() + DescriptorSize * index);
        ChannelRange range;
        range.divisor = DivisorForDecimalCode(d.decimalCode);
        range.high = static_cast<float>(d.rangeHigh / range.divisor);
        range.low = static_cast<float>(d.rangeLow / range.divisor);
        range.rawHigh = d.rangeHigh;
        range.rawLow = d.rangeLow;
        const unsigned blockCount = d.blockCount;
        const int number = static_cast<int>(index) + 1;

        log.Line("Channel %d, range: %0.3f-%0.3f\r\n", number, static_cast<double>(range.low),
                 static_cast<double>(range.high));
        if (CompareSingle(info.valueMax, range.high) != 1)
            info.valueMax = range.high;
        if (CompareSingle(info.valueMin, range.low) != -1)
            info.valueMin = range.low;

        ChannelInfo channel;
        channel.channel = static_cast<int16_t>(number);
        channel.unit = std::string(UnitNameForCode(d.unitCode));
        channel.rangeLow = range.low;
        channel.rangeHigh = range.high;
        // Room for every sample the blocks can hold plus two gap points a record, bounded by
        // what the file really has, so the arrays never grow by doubling.
        const uintmax_t blocks = std::min<uintmax_t>(blockCount, blocksLeftInFile);
        const size_t capacity = static_cast<size_t>(blocks) *
                                ((BlockSize - RecordHeadSize) / 2 + 2 * MaxRecordsPerBlock);
        channel.times.reserve(capacity);
        channel.values.reserve(capacity);

        ChannelState state;
        state.lastGood = range.low;
        BlockWalker walker(number, range, info, channel, state, info.sampleCount, log);
        for (unsigned b = 0; b < blockCount; ++b) {
            if (!file.ReadBlock(block))
                return ReadFailure;
            blocksLeftInFile -= blocksLeftInFile > 0 ? 1 : 0;
            walker.Walk(block);
        }
        channels.push_back(std::move(channel));
    }
    return std::nullopt;
}

std::string UnreadableFileDetail(const std::string& path) {
    std::string detail = "File: " + path;
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error) &&
        std::filesystem::file_size(path, error) == 0 && !error)
        detail += "\nThe file is empty (0 bytes).";
    return detail;
}

std::optional<DateTime> ReadRecorderFileStart(const std::string& path) {
    InputFile file(path);
    std::array<uint8_t, BlockSize> block;
    if (!file.IsOpen() || !file.ReadBlock(block))
        return std::nullopt;
    return HeaderTime(block.data() + StartTimeOffset);
}
