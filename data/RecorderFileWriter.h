#pragma once
// Writes recorder data files: the project's own source of test files, benchmark files and the
// bundled demo recording.
//
// Two levels. RecorderFileBuilder lays out exactly the header, descriptors, blocks and records
// it is given, malformed ones included, so tests can build precise fixtures.
// GenerateSampleRecording builds on it and produces a realistic recording: one-second samples
// over days, interruptions that the reader turns into gaps, and runs of out-of-range values.

#include "data/DateTime.h"
#include "data/RecorderFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Six header bytes: year - 2000, month, day, hour, minute, second.
using HeaderTimeBytes = std::array<uint8_t, 6>;

// The raw fields of one channel descriptor.
struct DataRecord {
    int32_t time = 0; // seconds since 2000-01-01 00:00:00 of the first sample
    uint8_t interval = 1;
    std::vector<int16_t> samples;
    // Where the record starts in its block; by default right after the previous record's
    // samples (0 for the first).
    std::optional<size_t> offset;
    // By default the next record's offset, and LastRecordMark for the block's last record.
    std::optional<uint16_t> nextOffset;
};

// One data block: its records in chain order, laid out as given. Bytes no record covers hold
// `fill`; the recorder's erased memory reads 0xFF, which is also the end-of-data pattern.
// Record bytes that would fall outside the block are left out.
std::array<uint8_t, RecorderFileLayout::BlockSize>
LayOutDataBlock(const std::vector<DataRecord>& records, uint8_t fill = 0xFF);

// Lays out a file field by field. Starts with a zeroed header block; blocks are appended in
// the order given, so a descriptor may promise more (or fewer) blocks than follow.
class RecorderFileBuilder {
public:
    RecorderFileBuilder();

    void SetChannelIndices(uint8_t first, uint8_t last);
    void SetStartTime(const HeaderTimeBytes& time);
    void SetEndTime(const HeaderTimeBytes& time);
    void SetDescriptor(size_t index, const ChannelDescriptor& descriptor);
    void AppendBlock(const std::vector<DataRecord>& records, uint8_t fill = 0xFF);
    void AppendRawBlock(const std::array<uint8_t, RecorderFileLayout::BlockSize>& block);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// Header bytes of a date-time of the years 2000..2099 (whole seconds); nullopt outside them.
std::optional<HeaderTimeBytes> HeaderTimeFromDateTime(DateTime time);
// Whole seconds since the recorder's epoch, rounded to the nearest second.
int64_t RecorderSecondsFromDateTime(DateTime time);

// Writes bytes to path through a temporary file in the same directory that replaces path only
// once everything is on disk. Returns the failure text, or nullopt on success.
std::optional<std::string> WriteBinaryFile(const std::string& path,
                                           const std::vector<uint8_t>& bytes);

struct SampleOptions {
    uint64_t seed = 1;
    int channels = 4;       // 1..16
    int firstChannel = 1;   // channel number of the first channel, 1..16
    double days = 1;        // length of the recording, unless fileSize is given
    uintmax_t fileSize = 0; // exact file size instead: whole blocks, at most the file limit
    DateTime start = 0;     // first sample; 0 means 2015-03-16 08:00:00
    double interruptionsPerDay = 3;
    // Instead of random interruptions: (samples recorded, seconds missing) in turn; after the
    // last one the recording runs to its end.
    std::vector<std::pair<size_t, int>> interruptions;
    double outOfRangeRunsPerDay = 2; // per channel
};

// The options of the bundled demo recording, demo/demo.bin.
SampleOptions DemoSampleOptions();

// A stretch of uninterrupted one-second samples.
struct SampleSegment {
    int64_t start = 0; // recorder seconds of its first sample
    size_t count = 0;
};

struct SampleChannel {
    int number = 0; // channel number, 1..16
    ChannelDescriptor descriptor;
    // One raw sample per second of the segments, in order. The file holds them from
    // firstStored on: with fewer blocks than the longest channel, the oldest were overwritten.
    std::vector<int16_t> raw;
    size_t firstStored = 0;
};

struct SampleRecording {
    std::vector<uint8_t> bytes;
    std::vector<SampleSegment> segments; // shared by every channel
    std::vector<SampleChannel> channels;
    DateTime startTime = 0; // the header's time window: first and last sample
    DateTime endTime = 0;
};

// Builds a realistic recording, deterministic for the same options. Returns the failure text
// (options out of range, more data than a file may hold), or nullopt on success.
std::optional<std::string> GenerateSampleRecording(const SampleOptions& options,
                                                   SampleRecording& recording);
