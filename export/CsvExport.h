#pragma once
// Saving the data sheet's current page as CSV: the bytes of the sheet's CSV layout
// (views/SheetCells), written in chunks of about 100 rows through a sink that notices every
// failed write. Plain C++; the window runs it on its worker behind the progress dialog.

#include "data/Recording.h"
#include "views/SheetRows.h"
#include "views/ViewBuilder.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The current page of the data sheet: rows [pageStart, pageStart + itemCount) of the index.
struct SheetPage {
    const std::vector<ChannelInfo>& channels;
    const SheetRows& rows;
    std::span<const int16_t> columnChannels;
    size_t pageStart = 0;
    size_t itemCount = 0;

    // The page's rows read once (ReadRows), for work that visits each row's cells apart.
    std::shared_ptr<const SheetRowsPage> read = {};

    // The rows the page really shows: never past the end of the index.
    size_t RowCount() const;
    // The data sheet's column count: serial number, time and the channel columns.
    int ColumnCount() const { return static_cast<int>(columnChannels.size()) + 2; }
    void ReadRows();
    // Row `row` of the index (one of the page's).
    DateTime Time(size_t row) const;
    std::vector<SheetEntry> Entries(size_t row) const;
};

// Where the CSV bytes go. Write returns false unless every byte was taken.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool Write(std::string_view bytes) = 0;
};

// A file written with plain system calls, so that a short write, a full disk or a failed
// close is seen rather than buffered away.
class FileSink : public ByteSink {
public:
    FileSink() = default;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;
    ~FileSink() override;

    // Opens path for writing, creating it when missing, and empties it: an existing file is
    // replaced in place (same file, its permissions kept).
    bool Open(const std::string& path);
    bool Write(std::string_view bytes) override;
    // False when the system reports a write it had deferred as failed.
    bool Close();
    // errno of the last failure.
    int Error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

// Rows per write after the first one, which carries one row more.
constexpr size_t CsvChunkRows = 100;
inline constexpr const char* FileSaveFailedText = "File save failed, please try again!";

enum class CsvExportResult { Written, NothingToWrite, OpenFailed, WriteFailed };

// Writes the header line with one write, then the page's rows: a write after row j of the
// page when j is a non-zero multiple of 100 or the last row (101 rows, then 100 each, then the
// rest), each followed by progress.step(1). progress.setMax(N / 100 + 1) comes first. An empty
// index writes nothing. The first failed write ends the export.
CsvExportResult WriteSheetPageCsv(const SheetPage& page, ByteSink& sink,
                                  const BuildProgress& progress = {});

// The same into the file at path, replaced in place. A file that cannot be opened is left as
// it is; after a failed write what was written stays.
CsvExportResult ExportSheetPageCsv(const SheetPage& page, const std::string& path,
                                   const BuildProgress& progress = {});
