#include "tools/cli/ToolViews.h"

#include "data/Text.h"
#include "views/SheetLinks.h"

#include <cstdio>

namespace {

std::optional<size_t> PositiveNumber(const std::string& text) {
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    size_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + static_cast<size_t>(c - '0');
    }
    return n == 0 ? std::nullopt : std::optional<size_t>(n);
}

} // namespace

bool TakeViewOptions(std::vector<std::string>& args, ScreeningOptions& screening,
                     PageOptions* pages) {
    bool pageSizeGiven = false;
    for (size_t i = 0; i < args.size();) {
        bool malformed = false;
        auto bad = [&](const std::string& name, const std::string& value) {
            UsageError("bad value for " + name + ": " + value);
            return false;
        };
        if (auto v = TakeOptionValue(args, i, "--from", malformed)) {
            if (!(screening.from = ParseDateTime(*v)))
                return bad("--from", *v + " (yyyy-MM-dd HH:mm:ss)");
        } else if (auto v = TakeOptionValue(args, i, "--to", malformed)) {
            if (!(screening.to = ParseDateTime(*v)))
                return bad("--to", *v + " (yyyy-MM-dd HH:mm:ss)");
        } else if (auto v = TakeOptionValue(args, i, "--channels", malformed)) {
            if (!(screening.channels = ParseChannelList(*v)))
                return bad("--channels", *v + " (e.g. 1,3-5)");
        } else if (pages && (v = TakeOptionValue(args, i, "--page", malformed))) {
            if (!(pages->page = PositiveNumber(*v)))
                return bad("--page", *v);
        } else if (pages && (v = TakeOptionValue(args, i, "--page-at", malformed))) {
            if (!(pages->pageAt = ParseDateTime(*v)))
                return bad("--page-at", *v + " (yyyy-MM-dd HH:mm:ss)");
        } else if (pages && (v = TakeOptionValue(args, i, "--page-size", malformed))) {
            const auto size = ParseItemsPerPage(*v);
            if (!size)
                return bad("--page-size", *v + " (100 to 10000)");
            pages->pageSize = *size;
            pageSizeGiven = true;
        } else if (malformed) {
            UsageError(args[i] + " needs a value");
            return false;
        } else {
            ++i;
        }
    }
    if (pages && pages->page && pages->pageAt) {
        UsageError("--page and --page-at name two pages: give one");
        return false;
    }
    if (pages && pageSizeGiven && !pages->page && !pages->pageAt) {
        UsageError("--page-size goes with --page or --page-at");
        return false;
    }
    return true;
}

bool ResolveScreening(const ScreeningOptions& screening, const RecordingInfo& info,
                      ScreeningSelection& selection) {
    selection.start = screening.from.value_or(info.startTime);
    selection.end = screening.to.value_or(info.endTime);
    if (screening.channels)
        selection.channelFlags = *screening.channels;
    else
        selection.channelFlags.fill(true);
    // The dialog's own check: the start at least a millisecond before the end.
    if (CheckScreeningEntries(selection.start, selection.end, "500").refusal !=
        ScreeningRefusal::None) {
        UsageError(std::string(WindowRefusedText) + " (--from " +
                   FormatDateTime(selection.start, ReadoutTimePattern) + ", --to " +
                   FormatDateTime(selection.end, ReadoutTimePattern) + ")");
        return false;
    }
    return true;
}

ViewsOfFile LoadFileRecording(const LoadArguments& load) {
    ViewsOfFile result;
    ResetRecordingInfo(result.info);
    result.readFailure = ReadDataPath(load, result.info, result.channels, &result.files);
    if (result.readFailure)
        std::fprintf(stderr, "%s: %s\n", load.path.c_str(),
                     GbkToUtf8(result.readFailure->text).c_str());
    return result;
}

std::optional<ViewsOfFile> LoadFileViews(const LoadArguments& load,
                                         const ScreeningOptions& screening, uint32_t pageSize) {
    // Of the archive only the screening's window is read.
    LoadArguments source = load;
    if (IsArchivePath(load.path) && (screening.from || screening.to))
        source.range = {screening.from, screening.to};
    ViewsOfFile result = LoadFileRecording(source);
    if (!screening.Screens()) {
        result.views = BuildViews(result.channels, result.info, pageSize);
        return result;
    }
    ScreeningSelection selection;
    if (!ResolveScreening(screening, result.info, selection))
        return std::nullopt;
    result.views = BuildScreenedViews(result.channels, result.info, selection, pageSize);
    result.screening = selection;
    return result;
}

std::optional<PageRows> SelectPage(const SheetRows& rows, const PageOptions& pages) {
    const size_t rowCount = rows.RowCount();
    if (!pages.page && !pages.pageAt)
        return PageRows{0, rowCount};
    size_t first = 0;
    if (pages.pageAt) {
        const auto row = NearestRow(rows, *pages.pageAt);
        if (!row)
            return std::nullopt;
        first = *row;
    } else {
        first = (*pages.page - 1) * pages.pageSize;
    }
    if (first >= rowCount)
        return std::nullopt;
    PageWindow page;
    PageButtons buttons;
    ShowPageOfRow(page, buttons, first, rowCount, pages.pageSize);
    return PageRows{page.pageStart, page.itemCount};
}
