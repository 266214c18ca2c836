#include "views/SheetCells.h"

#include "data/DateTime.h"

#include <algorithm>
#include <cstdio>

std::string ChannelColumnCaption(const ChannelInfo& channel) {
    return "Channel " + std::to_string(channel.channel) + "(" + channel.unit + ")";
}

std::string SheetSerialText(size_t row) {
    return std::to_string(row + 1);
}

std::string SheetTimeText(DateTime time) {
    return FormatDateTime(time, SheetTimePattern);
}

std::string SampleValueText(float value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%0.3f", static_cast<double>(value));
    return buffer;
}

namespace {

// Calls emit(text) once per channel column, walking the entries as the sheet does.
template <typename Emit>
void WalkValueColumns(std::span<const SheetEntry> entries, std::span<const int16_t> columnChannels,
                      const std::vector<ChannelInfo>& channels, Emit&& emit) {
    size_t next = 0;
    for (const int16_t columnPos : columnChannels) {
        if (next < entries.size() && entries[next].channelPos == columnPos) {
            const SheetEntry& entry = entries[next++];
            const auto pos = static_cast<size_t>(entry.channelPos);
            const auto index = static_cast<size_t>(entry.sampleIndex);
            if (entry.channelPos >= 0 && entry.sampleIndex >= 0 && pos < channels.size() &&
                index < channels[pos].values.size())
                emit(SampleValueText(channels[pos].values[index]));
            else
                emit(std::string("-"));
        } else {
            emit(std::string("-"));
        }
    }
}

} // namespace

void SheetValueTexts(std::span<const SheetEntry> entries, std::span<const int16_t> columnChannels,
                     const std::vector<ChannelInfo>& channels, std::vector<std::string>& texts) {
    texts.clear();
    WalkValueColumns(entries, columnChannels, channels,
                     [&](std::string text) { texts.push_back(std::move(text)); });
}

std::string SheetValueText(std::span<const SheetEntry> entries,
                           std::span<const int16_t> columnChannels,
                           const std::vector<ChannelInfo>& channels, size_t column) {
    if (column >= columnChannels.size())
        return {};
    std::string text;
    // The walk up to this column decides which entry, if any, lands in it.
    WalkValueColumns(entries, columnChannels.first(column + 1), channels,
                     [&](std::string t) { text = std::move(t); });
    return text;
}

std::string SheetCsvHeader(std::span<const int16_t> columnChannels,
                           const std::vector<ChannelInfo>& channels) {
    std::string header = "Serial number,Time";
    for (const int16_t pos : columnChannels) {
        header += ',';
        if (pos >= 0 && static_cast<size_t>(pos) < channels.size())
            header += ChannelColumnCaption(channels[static_cast<size_t>(pos)]);
    }
    header += '\n';
    return header;
}

void AppendSheetCsvLine(std::string& out, const SheetRows& rows, size_t row,
                        std::span<const int16_t> columnChannels,
                        const std::vector<ChannelInfo>& channels) {
    out += SheetSerialText(row);
    out += ',';
    out += SheetTimeText(rows.Time(row));
    WalkValueColumns(rows.Entries(row), columnChannels, channels, [&](const std::string& text) {
        out += ',';
        out += text;
    });
    out += '\n';
}

bool WriteSheetCsv(const SheetRows& rows, size_t first, size_t count,
                   std::span<const int16_t> columnChannels,
                   const std::vector<ChannelInfo>& channels, std::ostream& out) {
    out << SheetCsvHeader(columnChannels, channels);
    const size_t last = std::min(rows.RowCount(), first + count);
    std::string chunk;
    for (size_t row = first; row < last && out; ++row) {
        AppendSheetCsvLine(chunk, rows, row, columnChannels, channels);
        if (chunk.size() >= (1u << 16)) {
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            chunk.clear();
        }
    }
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    out.flush();
    return static_cast<bool>(out);
}

bool WriteRecordingCsv(const std::vector<ChannelInfo>& channels, std::ostream& out) {
    std::vector<int16_t> columns;
    std::vector<ChannelSampleRange> ranges;
    for (size_t pos = 0; pos < channels.size(); ++pos) {
        columns.push_back(static_cast<int16_t>(pos));
        ranges.push_back({static_cast<int16_t>(pos), channels[pos].times.size(), std::nullopt});
    }
    const SheetRows rows = BuildSheetRows(channels, ranges);
    return WriteSheetCsv(rows, 0, rows.RowCount(), columns, channels, out);
}
