#pragma once
// The recorder's binary data file (".bin", ".dat") and its reader.
//
// Layout: a 16,384-byte header block, then each channel's 16,384-byte data blocks in channel
// order. Little-endian throughout except a descriptor's block count, which is big-endian.

#include "data/Recording.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace RecorderFileLayout {
constexpr size_t BlockSize = 0x4000;
constexpr uintmax_t MaxFileSize = 0xA00000; // 10,485,760 bytes
constexpr size_t LastChannelIndexOffset = 118;
constexpr size_t FirstChannelIndexOffset = 119;
constexpr size_t EndTimeOffset = 120;   // six bytes: year-2000, month, day, hour, minute, second
constexpr size_t StartTimeOffset = 126; // same layout
constexpr size_t DescriptorsOffset = 132;
constexpr size_t DescriptorSize = 36;
constexpr size_t MaxChannels = 16;
// Offsets inside a descriptor.
constexpr size_t RangeHighOffset = 2;   // int16 LE
constexpr size_t RangeLowOffset = 4;    // int16 LE
constexpr size_t DecimalCodeOffset = 6; // uint16 LE
constexpr size_t UnitCodeOffset = 8;    // int16 LE
constexpr size_t BlockCountOffset = 34; // uint16 BE
// Data records.
constexpr size_t RecordHeadSize = 12; // int32 time, uint16 next offset, uint8 interval, 5 unused
constexpr uint16_t LastRecordMark = 0xFFFF;
constexpr int MaxRecordsPerBlock = 11;
constexpr size_t EndOfDataLength = 10; // ten 0xFF bytes end the written data
} // namespace RecorderFileLayout

// One channel's descriptor in the header block, raw as the recorder writes it.
struct ChannelDescriptor {
    int16_t rangeHigh = 0;
    int16_t rangeLow = 0;
    uint16_t decimalCode = 4;
    int16_t unitCode = 0;
    uint16_t blockCount = 0;

    void EncodeTo(uint8_t* descriptor) const;
    static ChannelDescriptor Decode(const uint8_t* descriptor);
};

// Scale divisor of a descriptor's decimal code: values carry 4 - code decimals,
// 0 and codes above 4 counting as 4.
double DivisorForDecimalCode(unsigned decimalCode);

enum class MessageIcon { Information, Error, Stop, Question };

// A message the caller must show the user: caption "Paperless recorder", this text and icon.
// detail, when not empty, is the box's detail text (UTF-8), for instance the file concerned.
struct UserMessage {
    std::string text;
    MessageIcon icon = MessageIcon::Error;
    std::string detail = {};
};

// The detail of a box about a file that could not be read: the file's path, and that it is
// empty when it has 0 bytes.
std::string UnreadableFileDetail(const std::string& path);

struct LoadLogOptions {
    bool enabled = false;
    // Directory the log goes into (no trailing '/'): normally GetSettingsDirectory().
    std::string directory;
};

// Reads the data file at path into info and channels, which the caller passes in reset and
// empty. On failure returns the message to show; the recording then holds what the file gave
// up to the failure (see the failure rules in RecorderFile.cpp). Never throws.
std::optional<UserMessage> ReadRecorderFile(const std::string& path, RecordingInfo& info,
                                            std::vector<ChannelInfo>& channels,
                                            const LoadLogOptions& log = {});

// The start of the file's time window as its header block gives it, without reading the data
// blocks: where a file goes in the order of a join. Nullopt when the header does not read or
// holds no valid time.
std::optional<DateTime> ReadRecorderFileStart(const std::string& path);
