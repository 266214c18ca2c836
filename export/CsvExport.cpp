#include "export/CsvExport.h"

#include "views/SheetCells.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

size_t SheetPage::RowCount() const {
    if (pageStart >= rows.RowCount())
        return 0;
    return std::min(itemCount, rows.RowCount() - pageStart);
}

void SheetPage::ReadRows() {
    auto page = std::make_shared<SheetRowsPage>();
    rows.ReadPage(pageStart, RowCount(), *page);
    read = std::move(page);
}

DateTime SheetPage::Time(size_t row) const {
    return read && read->Holds(row) ? read->Time(row) : rows.Time(row);
}

std::vector<SheetEntry> SheetPage::Entries(size_t row) const {
    if (read && read->Holds(row)) {
        const auto entries = read->Entries(row);
        return {entries.begin(), entries.end()};
    }
    return rows.Entries(row);
}

FileSink::~FileSink() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool FileSink::Open(const std::string& path) {
    if (fd_ >= 0)
        Close();
    // O_TRUNC empties an existing file without replacing it, as setting its length to 0 would.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool FileSink::Write(std::string_view bytes) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error_ = errno;
            return false;
        }
        if (written == 0) { // no progress: treat as a full device
            error_ = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool FileSink::Close() {
    if (fd_ < 0)
        return true;
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

CsvExportResult WriteSheetPageCsv(const SheetPage& page, ByteSink& sink,
                                  const BuildProgress& progress) {
    if (page.rows.Empty())
        return CsvExportResult::NothingToWrite;
    const size_t count = page.RowCount();
    if (progress.setMax)
        progress.setMax(static_cast<int>(count / CsvChunkRows + 1));
    if (!sink.Write(SheetCsvHeader(page.columnChannels, page.channels)))
        return CsvExportResult::WriteFailed;
    std::string chunk;
    std::vector<size_t> hints(page.channels.size(), 0);
    bool failed = false;
    page.rows.ForEachRow(page.pageStart, count,
                         [&](size_t row, DateTime time, std::span<const SheetEntry> entries) {
                             const size_t j = row - page.pageStart;
                             AppendSheetCsvLine(chunk, row, time, entries, page.columnChannels,
                                                page.channels, &hints);
                             if ((j != 0 && j % CsvChunkRows == 0) || j + 1 == count) {
                                 if (!sink.Write(chunk)) {
                                     failed = true;
                                     return false;
                                 }
                                 chunk.clear();
                                 if (progress.step)
                                     progress.step(1);
                             }
                             return true;
                         });
    return failed ? CsvExportResult::WriteFailed : CsvExportResult::Written;
}

CsvExportResult ExportSheetPageCsv(const SheetPage& page, const std::string& path,
                                   const BuildProgress& progress) {
    if (page.rows.Empty())
        return CsvExportResult::NothingToWrite;
    // The maximum comes before the file is opened, as the progress dialog shows it then.
    BuildProgress rest = progress;
    if (rest.setMax) {
        rest.setMax(static_cast<int>(page.RowCount() / CsvChunkRows + 1));
        rest.setMax = nullptr;
    }
    FileSink file;
    if (!file.Open(path))
        return CsvExportResult::OpenFailed;
    const CsvExportResult result = WriteSheetPageCsv(page, file, rest);
    const bool closed = file.Close();
    if (result == CsvExportResult::Written && !closed)
        return CsvExportResult::WriteFailed;
    return result;
}
