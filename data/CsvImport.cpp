#include "data/CsvImport.h"

#include "data/Utility.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr const char* ImportFailureText = "File import failure!";
// How many lines go by between two progress reports.
constexpr uint32_t ProgressEveryLines = 1u << 16;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// from_chars takes no leading '+'.
std::string_view WithoutPlus(std::string_view text) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    return text;
}

// A decimal integer of the 32-bit range, cut to 16 bits as the channel number is stored.
std::optional<int16_t> ParseChannelNumber(std::string_view field) {
    const std::string_view text = WithoutPlus(Trimmed(field));
    int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(number)));
}

std::optional<float> ParseValue(std::string_view field) {
    const std::string_view text = WithoutPlus(Trimmed(field));
    float value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<DateTime> ParseTime(std::string& field) {
    for (char& c : field) {
        if (c == '/')
            c = '-';
    }
    return ParseDateTime(Trimmed(field));
}

// Reads the next line as the import sees it: at most MaxImportLineLength characters, ending
// after its line feed; "\r\n" counts as "\n". False at the end of the file.
bool ReadImportLine(FILE* file, char (&buffer)[MaxImportLineLength + 1], std::string_view& line) {
    if (!std::fgets(buffer, sizeof buffer, file))
        return false;
    size_t length = std::strlen(buffer);
    // A "\r" whose "\n" did not fit still ends the line as one "\n".
    if (length == MaxImportLineLength && buffer[length - 1] == '\r') {
        const int next = std::getc(file);
        if (next == '\n')
            buffer[length - 1] = '\n';
        else if (next != EOF)
            std::ungetc(next, file);
    }
    if (length >= 2 && buffer[length - 1] == '\n' && buffer[length - 2] == '\r') {
        buffer[length - 2] = '\n';
        --length;
    }
    line = std::string_view(buffer, length);
    return true;
}

std::string UnitText(std::string_view field) {
    std::string unit;
    unit.reserve(field.size());
    for (char c : field) {
        if (c != '\n')
            unit.push_back(c);
    }
    return unit;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

} // namespace

std::optional<UserMessage> ImportCsvFile(const std::string& path, RecordingInfo& info,
                                         std::vector<ChannelInfo>& channels,
                                         const CsvImportProgress& progress) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    struct stat status {};
    if (!file || fstat(fileno(file.get()), &status) != 0 || S_ISDIR(status.st_mode))
        return UserMessage{ImportFailureText, MessageIcon::Error};
    std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 20);
    const uint64_t fileSize = static_cast<uint64_t>(status.st_size);

    // Position in channels of each 16-bit channel number, so that a file of many channels
    // does not scan the list per line; -1 while the number has not been seen.
    std::vector<int32_t> positions(1 << 16, -1);
    for (size_t i = 0; i < channels.size(); ++i) {
        int32_t& slot = positions[static_cast<uint16_t>(channels[i].channel)];
        if (slot < 0)
            slot = static_cast<int32_t>(i);
    }

    char buffer[MaxImportLineLength + 1];
    std::string_view line;
    std::vector<std::string> fields;
    int32_t lineCount = 0;
    uint32_t linesRead = 0;
    while (ReadImportLine(file.get(), buffer, line)) {
        if (progress && ++linesRead % ProgressEveryLines == 0)
            progress(static_cast<uint64_t>(std::ftell(file.get())), fileSize);
        SplitText(line, ",", fields);
        if (fields.size() != 5)
            continue;
        const auto channel = ParseChannelNumber(fields[1]);
        const auto value = ParseValue(fields[2]);
        const auto time = ParseTime(fields[3]);
        if (!channel || !value || !time)
            continue;

        if (lineCount == std::numeric_limits<int32_t>::max())
            break; // the count could not say how many lines were taken
        ++lineCount;
        if (lineCount == 1) {
            info.valueMax = info.valueMin = *value;
            info.startTime = info.endTime = *time;
        } else {
            if (CompareTimes(info.startTime, *time) == 1)
                info.startTime = *time;
            else if (CompareTimes(info.endTime, *time) == -1)
                info.endTime = *time;
            if (CompareSingle(info.valueMin, *value) == 1)
                info.valueMin = *value;
            else if (CompareSingle(info.valueMax, *value) == -1)
                info.valueMax = *value;
        }

        int32_t& position = positions[static_cast<uint16_t>(*channel)];
        if (position < 0) {
            position = static_cast<int32_t>(channels.size());
            ChannelInfo added;
            added.channel = *channel;
            added.unit = UnitText(fields[4]);
            channels.push_back(std::move(added));
        }
        ChannelInfo& target = channels[static_cast<size_t>(position)];
        target.times.push_back(*time);
        target.values.push_back(*value);
    }
    info.sampleCount = lineCount;
    if (progress)
        progress(fileSize, fileSize);
    return std::nullopt;
}

CsvImport ImportCsvFile(const std::string& path, const CsvImportProgress& progress) {
    CsvImport result;
    ResetRecordingInfo(result.info);
    result.failure = ImportCsvFile(path, result.info, result.channels, progress);
    return result;
}

std::string FormatImportLine(long long serial, int channel, float value, DateTime time,
                             std::string_view unit) {
    char head[96];
    std::snprintf(head, sizeof head, "%lld,%d,%0.3f,", serial, channel, static_cast<double>(value));
    std::string line(head);
    line += FormatDateTime(time, ReadoutTimePattern);
    line += ',';
    line += unit;
    line += '\n';
    return line;
}
