#pragma once
// Building a recording from a text file of single samples, one a line:
//
//     <anything>,<channel>,<value>,<yyyy-MM-dd HH:mm:ss>,<unit>
//
// Exactly five comma-separated fields; "/" in the time counts as "-"; the decimal point is ".".
// Lines whose channel, value or time do not convert are skipped silently (a title line, an
// exported data sheet). Lines are read 127 characters at most; the rest of a longer line is
// read as the next line. Samples keep the file's order; channels the order of their first line
// and that line's unit. Nothing is sorted, range-checked or filled with gap points: a value of
// -158 is taken as given and so shows as a gap.

#include "data/RecorderFile.h"
#include "data/Recording.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The longest line text read at once; what follows is read as the next line.
constexpr size_t MaxImportLineLength = 127;

// Called now and then during an import with the bytes read so far and the file's size.
using CsvImportProgress = std::function<void(uint64_t bytesRead, uint64_t fileSize)>;

// Imports the file at path into info and channels. The caller empties channels; info is
// left as it is when no line converts (sampleCount becomes 0), otherwise it spans the
// imported values and times and sampleCount counts the imported lines. The only failure is a
// file that cannot be opened ("File import failure!"); info and channels are then untouched.
std::optional<UserMessage> ImportCsvFile(const std::string& path, RecordingInfo& info,
                                         std::vector<ChannelInfo>& channels,
                                         const CsvImportProgress& progress = {});

// The notice after an import that converted no line: what a sample line looks like.
inline constexpr const char* ImportNoSampleText =
    "No line of the file was a sample. Each sample is one line of the form "
    "n,channel,value,time,unit, for example 1,3,25.5,2015-03-16 09:30:05,Mpa";

// A recording imported from scratch (info reset first).
struct CsvImport {
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    std::optional<UserMessage> failure;
};
CsvImport ImportCsvFile(const std::string& path, const CsvImportProgress& progress = {});

// One line of the import format, "\n" included: value with "%0.3f", time as
// "yyyy-MM-dd HH:mm:ss", unit bytes as given.
std::string FormatImportLine(long long serial, int channel, float value, DateTime time,
                             std::string_view unit);
