#include "views/SheetLinks.h"

#include <algorithm>
#include <cmath>

std::optional<size_t> NearestRow(const SheetRows& rows, DateTime time) {
    const size_t n = rows.RowCount();
    if (n == 0 || std::isnan(time))
        return std::nullopt;
    size_t lo = 0, hi = n; // first row not earlier than time
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (rows.Time(mid) < time)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == n)
        return n - 1;
    if (lo == 0)
        return 0;
    return time - rows.Time(lo - 1) <= rows.Time(lo) - time ? lo - 1 : lo;
}

void ShowPageOfRow(PageWindow& page, PageButtons& buttons, size_t row, size_t rowCount,
                   uint32_t pageSize) {
    if (pageSize == 0 || row >= rowCount)
        return;
    const size_t start = row / pageSize * pageSize;
    const bool lastPage = start + pageSize >= rowCount;
    page.pageStart = static_cast<uint32_t>(start);
    // As "Last Page" leaves it on the last page, as "Next page" elsewhere, so that the moves
    // that follow work as they do after paging there.
    page.pageEnd = static_cast<uint32_t>(lastPage ? rowCount : start + pageSize);
    page.itemCount = static_cast<uint32_t>(std::min<size_t>(pageSize, rowCount - start));
    buttons.first = buttons.front = start > 0;
    buttons.next = buttons.end = !lastPage;
}

size_t PageNumber(uint32_t pageStart, uint32_t pageSize) {
    return pageSize == 0 ? 1 : pageStart / pageSize + 1;
}

size_t PageCount(size_t rowCount, uint32_t pageSize) {
    return pageSize == 0 ? 0 : (rowCount + pageSize - 1) / pageSize;
}

std::string SheetStatusText(const SheetStatus& status) {
    if (status.live)
        return status.runEnded ? "Live run ended  |  its last reading"
                               : "Live values  |  the latest reading";
    const size_t pages = PageCount(status.rowCount, status.pageSize);
    std::string text = status.fileName.empty() ? std::string("No file") : status.fileName;
    text += "  |  " + std::to_string(status.rowCount) + (status.rowCount == 1 ? " row" : " rows");
    text += "  |  page " +
            std::to_string(pages == 0 ? 0 : PageNumber(status.pageStart, status.pageSize)) +
            " of " + std::to_string(pages);
    if (status.window) {
        text += "  |  screened " + FormatDateTime(status.window->first, ReadoutTimePattern) +
                " to " + FormatDateTime(status.window->second, ReadoutTimePattern) + ", " +
                std::to_string(status.channelCount) +
                (status.channelCount == 1 ? " channel" : " channels");
    }
    if (!status.rowFileName.empty())
        text += "  |  row from " + status.rowFileName;
    return text;
}

std::optional<size_t> FileOfTime(const std::vector<std::pair<DateTime, DateTime>>& fileWindows,
                                 DateTime time) {
    for (size_t i = 0; i < fileWindows.size(); ++i)
        if (CompareTimes(time, fileWindows[i].first) >= 0 &&
            CompareTimes(time, fileWindows[i].second) <= 0)
            return i;
    return std::nullopt;
}
