#include "views/SheetCells.h"

#include "data/DateTime.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

std::string ChannelColumnCaption(const ChannelInfo& channel) {
    return "Channel " + std::to_string(channel.channel) + "(" + channel.unit + ")";
}

std::string SheetSerialText(size_t row) {
    return std::to_string(row + 1);
}

std::string SheetTimeText(DateTime time) {
    return FormatDateTime(time, SheetTimePattern);
}

namespace {

void AppendSampleValueText(std::string& out, float value) {
    // A float times 1000 is exact in a double (24 + 10 significant bits), so rounding it to a
    // whole number, ties to even, gives printf's "%0.3f" digits without printf's cost: the
    // CSV of a whole recording formats millions of values.
    const double scaled = static_cast<double>(value) * 1000.0;
    if (!(std::fabs(scaled) < 9.0e18)) { // NaN, infinities, beyond 64 bits
        char buffer[384];
        std::snprintf(buffer, sizeof buffer, "%0.3f", static_cast<double>(value));
        out += buffer;
        return;
    }
    auto whole = static_cast<uint64_t>(std::fabs(std::nearbyint(scaled)));
    char buffer[32];
    char* const end = buffer + sizeof buffer;
    char* p = end;
    for (int i = 0; i < 3; ++i, whole /= 10)
        *--p = static_cast<char>('0' + whole % 10);
    *--p = '.';
    do {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (std::signbit(scaled)) // also -0.0004, which printf writes as -0.000
        *--p = '-';
    out.append(p, end);
}

} // namespace

std::string SampleValueText(float value) {
    std::string text;
    AppendSampleValueText(text, value);
    return text;
}

namespace {

// Calls emit(value) once per channel column, walking the entries as the sheet does: the
// sample shown in the column, or nullptr for "-".
// hints, when given, holds each channel's segment of its last value, so that rows read in order
// find each value without a search.
template <typename Emit>
void WalkValueColumns(std::span<const SheetEntry> entries, std::span<const int16_t> columnChannels,
                      const std::vector<ChannelInfo>& channels, Emit&& emit,
                      std::vector<size_t>* hints = nullptr) {
    size_t next = 0;
    for (const int16_t columnPos : columnChannels) {
        if (next < entries.size() && entries[next].channelPos == columnPos) {
            const SheetEntry& entry = entries[next++];
            const auto pos = static_cast<size_t>(entry.channelPos);
            const auto index = static_cast<size_t>(entry.sampleIndex);
            if (entry.channelPos >= 0 && entry.sampleIndex >= 0 && pos < channels.size() &&
                index < channels[pos].values.size()) {
                size_t scratch = 0;
                size_t& hint = hints && pos < hints->size() ? (*hints)[pos] : scratch;
                const float value = channels[pos].values.At(index, hint);
                emit(&value);
            } else {
                emit(nullptr);
            }
        } else {
            emit(nullptr);
        }
    }
}

std::string CellText(const float* value) {
    return value ? SampleValueText(*value) : std::string("-");
}

} // namespace

void SheetValueTexts(std::span<const SheetEntry> entries, std::span<const int16_t> columnChannels,
                     const std::vector<ChannelInfo>& channels, std::vector<std::string>& texts) {
    texts.clear();
    WalkValueColumns(entries, columnChannels, channels,
                     [&](const float* value) { texts.push_back(CellText(value)); });
}

std::string SheetValueText(std::span<const SheetEntry> entries,
                           std::span<const int16_t> columnChannels,
                           const std::vector<ChannelInfo>& channels, size_t column) {
    if (column >= columnChannels.size())
        return {};
    std::optional<float> shown;
    // The walk up to this column decides which entry, if any, lands in it.
    WalkValueColumns(entries, columnChannels.first(column + 1), channels, [&](const float* value) {
        shown = value ? std::optional<float>(*value) : std::nullopt;
    });
    return CellText(shown ? &*shown : nullptr);
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

void AppendSheetCsvLine(std::string& out, size_t row, DateTime time,
                        std::span<const SheetEntry> entries,
                        std::span<const int16_t> columnChannels,
                        const std::vector<ChannelInfo>& channels, std::vector<size_t>* hints) {
    out += SheetSerialText(row);
    out += ',';
    AppendDateTime(out, time, SheetTimePattern); // SheetTimeText, appended
    WalkValueColumns(
        entries, columnChannels, channels,
        [&](const float* value) {
            out += ',';
            if (value)
                AppendSampleValueText(out, *value);
            else
                out += '-';
        },
        hints);
    out += '\n';
}

void AppendSheetCsvLine(std::string& out, const SheetRows& rows, size_t row,
                        std::span<const int16_t> columnChannels,
                        const std::vector<ChannelInfo>& channels) {
    AppendSheetCsvLine(out, row, rows.Time(row), rows.Entries(row), columnChannels, channels);
}

bool WriteSheetCsv(const SheetRows& rows, size_t first, size_t count,
                   std::span<const int16_t> columnChannels,
                   const std::vector<ChannelInfo>& channels, std::ostream& out) {
    out << SheetCsvHeader(columnChannels, channels);
    std::string chunk;
    std::vector<size_t> hints(channels.size(), 0);
    rows.ForEachRow(
        first, count, [&](size_t row, DateTime time, std::span<const SheetEntry> entries) {
            AppendSheetCsvLine(chunk, row, time, entries, columnChannels, channels, &hints);
            if (chunk.size() >= (1u << 16)) {
                out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                chunk.clear();
            }
            return static_cast<bool>(out);
        });
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    out.flush();
    return static_cast<bool>(out);
}

size_t WriteSheetCsvRowsBetween(const SheetRows& rows, DateTime from, DateTime to, size_t firstRow,
                                std::span<const int16_t> columnChannels,
                                const std::vector<ChannelInfo>& channels, std::ostream& out,
                                bool& ok) {
    // Rows ascend by time: the first at or after `from` by bisection.
    size_t low = 0, high = rows.RowCount();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (rows.Time(middle) < from)
            low = middle + 1;
        else
            high = middle;
    }
    std::string chunk;
    std::vector<size_t> hints(channels.size(), 0);
    size_t written = 0;
    rows.ForEachRow(low, rows.RowCount() - low,
                    [&](size_t, DateTime time, std::span<const SheetEntry> entries) {
                        if (!(time < to))
                            return false;
                        AppendSheetCsvLine(chunk, firstRow + written++, time, entries,
                                           columnChannels, channels, &hints);
                        if (chunk.size() >= (1u << 16)) {
                            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
                            chunk.clear();
                        }
                        return static_cast<bool>(out);
                    });
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    ok = static_cast<bool>(out);
    return written;
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
