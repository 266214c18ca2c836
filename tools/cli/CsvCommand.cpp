// csv FILE OUT [--log[=DIR]] [--from TIME] [--to TIME] [--channels LIST]
//              [--page N | --page-at TIME [--page-size P]]
// The rows of the data sheet in its CSV layout: the header "Serial number,Time,Channel %d(%s)...",
// one line per row with its serial number, time and "%0.3f" values, "-" where a channel has no
// sample, '\n' line ends, unit texts as the GBK bytes the recorder uses. OUT "-" is standard
// output. Without options every row of the recording; with screening options the rows of the
// window's screened views; with --page exactly the file "Save" writes for that page, with
// --page-at the page holding the row nearest that time, as "Go to time…" shows it. A file
// the reader gives up on part-way still writes what was read, and the exit status is 1.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"
#include "tools/cli/ToolViews.h"

#include "data/RecordingJoin.h"
#include "data/Text.h"
#include "views/SheetCells.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

namespace {

// The data sheet of a folder's join, every row, as the whole join's views would show it.
int WriteFolderCsv(const std::string& folder, const std::function<std::ostream*()>& open,
                   const std::function<int(bool)>& failedWriting) {
    std::vector<std::string> files;
    auto failed = [&folder](const UserMessage& message) {
        std::fprintf(stderr, "%s: %s\n", folder.c_str(), GbkToUtf8(message.text).c_str());
        return ExitFailure;
    };
    if (auto message = ListRecorderFiles(folder, files))
        return failed(*message);
    auto allRows = [](const std::vector<ChannelInfo>& channels, std::vector<int16_t>& columns) {
        std::vector<ChannelSampleRange> ranges;
        columns.clear();
        for (size_t pos = 0; pos < channels.size(); ++pos) {
            columns.push_back(static_cast<int16_t>(pos));
            ranges.push_back({static_cast<int16_t>(pos), channels[pos].times.size(), std::nullopt});
        }
        return BuildSheetRows(channels, ranges);
    };
    std::ostream* out = nullptr;
    bool writeFailed = false;
    size_t written = 0;
    std::vector<int16_t> columns;
    std::optional<JoinedRecording> whole;
    std::optional<UserMessage> message;
    try {
        message = ReadJoinedRecordingInChunks(
            files,
            [&](const JoinedChunk& chunk) {
                const SheetRows rows = allRows(chunk.part.channels, columns);
                if (!out) {
                    if (!(out = open()))
                        return false;
                    *out << SheetCsvHeader(columns, chunk.part.channels);
                }
                bool ok = true;
                written += WriteSheetCsvRowsBetween(rows, chunk.from, chunk.to, written, columns,
                                                    chunk.part.channels, *out, ok);
                writeFailed = !ok;
                return ok;
            },
            whole);
    } catch (...) {
        // Memory running out half-way leaves no half-written file behind.
        if (out)
            failedWriting(false);
        throw;
    }
    if (message)
        return failed(*message);
    if (whole) {
        const SheetRows rows = allRows(whole->channels, columns);
        if (!(out = open()))
            return ExitFailure;
        if (!WriteSheetCsv(rows, 0, rows.RowCount(), columns, whole->channels, *out))
            return failedWriting(true);
        return 0;
    }
    if (!out)
        return ExitFailure;
    out->flush();
    if (writeFailed || !*out)
        return failedWriting(true);
    return 0;
}

} // namespace

int RunCsvCommand(const std::vector<std::string>& args) {
    std::vector<std::string> rest = args;
    ScreeningOptions screening;
    PageOptions pages;
    if (!TakeViewOptions(rest, screening, &pages))
        return ExitUsage;
    std::string database;
    if (!TakeDatabaseOption(rest, database))
        return ExitUsage;
    std::vector<std::string> loadArgs;
    std::vector<std::string> paths;
    for (const std::string& arg : rest)
        (arg.starts_with("-") && arg != "-" ? loadArgs : paths).push_back(arg);
    if (paths.size() != 2)
        return UsageError("csv needs a data file and an output file (- for standard output)");
    loadArgs.push_back(paths[0]);
    auto arguments = ParseLoadArguments(loadArgs);
    if (!arguments)
        return ExitUsage;
    arguments->database = database;
    const std::string& out = paths[1];
    // The output is opened once there is something to write.
    std::ofstream stream;
    std::ostream* sink = nullptr;
    auto open = [&]() -> std::ostream* {
        if (sink || out == "-")
            return sink = &std::cout;
        stream.open(out, std::ios::binary | std::ios::trunc);
        if (!stream) {
            std::fprintf(stderr, "%s: cannot write %s: %s\n", ToolName, out.c_str(),
                         std::strerror(errno));
            return nullptr;
        }
        return sink = &stream;
    };
    auto failedWriting = [&](bool tell) {
        if (tell)
            std::fprintf(stderr, "%s: writing %s failed\n", ToolName, out.c_str());
        if (out != "-") {
            stream.close();
            std::error_code ignored;
            std::filesystem::remove(out, ignored);
        }
        return ExitFailure;
    };

    // Every row of a folder's join goes out as it is joined, a few files at a time: a year of
    // files is never held at once.
    if (IsRecordingFolder(arguments->path) && !screening.Screens() && !pages.page &&
        !pages.pageAt && !arguments->log.enabled)
        return WriteFolderCsv(arguments->path, open, failedWriting);
    const auto file = LoadFileViews(*arguments, screening, pages.pageSize);
    if (!file)
        return ExitUsage;
    const int status = file->readFailure ? ExitFailure : 0;
    // A file that could not be read at all leaves nothing to write.
    if (file->readFailure && file->channels.empty())
        return status;
    const auto page = SelectPage(file->views.rows, pages);
    if (!page) {
        std::fprintf(stderr, "No content\n");
        return ExitFailure;
    }
    std::ostream* target = open();
    if (!target)
        return ExitFailure;
    if (!WriteSheetCsv(file->views.rows, page->first, page->count, file->views.columnChannels,
                       file->channels, *target))
        return failedWriting(true);
    return status;
}
