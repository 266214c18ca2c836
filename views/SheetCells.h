#pragma once
// The texts of the data sheet's cells and the CSV layout that repeats them. Unit texts stay
// GBK bytes here; the window converts them for display, the CSV file carries them unchanged.

#include "data/Recording.h"
#include "views/SheetRows.h"

#include <ostream>
#include <span>
#include <string>
#include <vector>

// Caption of a channel column: "Channel %d(%s)" with the channel number and its unit.
std::string ChannelColumnCaption(const ChannelInfo& channel);

// Serial number of row index r: r + 1, counted across pages.
std::string SheetSerialText(size_t row);
std::string SheetTimeText(DateTime time);
// "%0.3f" of the sample widened to double: 1234.5678 gives 1234.568, -0.0004 gives -0.000.
std::string SampleValueText(float value);

// The value texts of one row, one per channel column. The columns are walked together with
// the row's entries: an entry fills the column of its channel and moves the walk on; a column
// whose channel has no entry at the walk's place shows "-". An entry naming a sample the
// recording does not hold shows "-" as well.
void SheetValueTexts(std::span<const SheetEntry> entries, std::span<const int16_t> columnChannels,
                     const std::vector<ChannelInfo>& channels, std::vector<std::string>& texts);

// The text of one channel column (0-based among the channel columns) by the same walk.
std::string SheetValueText(std::span<const SheetEntry> entries,
                           std::span<const int16_t> columnChannels,
                           const std::vector<ChannelInfo>& channels, size_t column);

// CSV layout of the data sheet: 8-bit text, comma-separated, nothing quoted, every line ended
// by a single '\n'.
std::string SheetCsvHeader(std::span<const int16_t> columnChannels,
                           const std::vector<ChannelInfo>& channels);
void AppendSheetCsvLine(std::string& out, const SheetRows& rows, size_t row,
                        std::span<const int16_t> columnChannels,
                        const std::vector<ChannelInfo>& channels);
// The same for a row at hand: its number in the index, its time and entries. hints (one per
// channel, from 0) lets rows written in order find their values without a search.
void AppendSheetCsvLine(std::string& out, size_t row, DateTime time,
                        std::span<const SheetEntry> entries,
                        std::span<const int16_t> columnChannels,
                        const std::vector<ChannelInfo>& channels,
                        std::vector<size_t>* hints = nullptr);

// Writes the header and rows [first, first + count) of the index, as the CSV export of a data
// sheet page does. False when the stream fails.
bool WriteSheetCsv(const SheetRows& rows, size_t first, size_t count,
                   std::span<const int16_t> columnChannels,
                   const std::vector<ChannelInfo>& channels, std::ostream& out);

// Writes, without the header, the rows of the index whose time lies in [from, to), numbered as
// rows from firstRow on. Returns how many were written; false in ok when the stream fails.
size_t WriteSheetCsvRowsBetween(const SheetRows& rows, DateTime from, DateTime to, size_t firstRow,
                                std::span<const int16_t> columnChannels,
                                const std::vector<ChannelInfo>& channels, std::ostream& out,
                                bool& ok);

// Writes the whole recording, every row rather than one page, in the data sheet's CSV layout
// with one column per channel. False when the stream fails.
bool WriteRecordingCsv(const std::vector<ChannelInfo>& channels, std::ostream& out);
