#pragma once
// Between the data sheet and the trend diagram: the row nearest a time on the chart, the page
// that holds a row, and the status line that tells which part of which file the sheet shows.

#include "views/Paging.h"
#include "views/SheetRows.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The row whose time lies nearest `time` (the earlier one of two equally near); nullopt when
// the index has no rows. Rows ascend by time, so this is a binary search.
std::optional<size_t> NearestRow(const SheetRows& rows, DateTime time);

// The page that holds `row`, with the paging buttons as the four paging moves would leave
// them on that page: pages start at multiples of the page size, the last one holds the rest.
void ShowPageOfRow(PageWindow& page, PageButtons& buttons, size_t row, size_t rowCount,
                   uint32_t pageSize);

// 1-based number of the page that starts at pageStart, and the number of pages (0 for no rows).
size_t PageNumber(uint32_t pageStart, uint32_t pageSize);
size_t PageCount(size_t rowCount, uint32_t pageSize);

// Of the files of a joined recording (their own time windows, in join order), the one a row at
// `time` comes from: the first whose window holds it, within a millisecond, as the join keeps
// the earlier file's sample where files overlap. Nullopt when no window holds it.
std::optional<size_t> FileOfTime(const std::vector<std::pair<DateTime, DateTime>>& fileWindows,
                                 DateTime time);

struct SheetStatus {
    std::string fileName; // UTF-8, without its folder
    size_t rowCount = 0;
    uint32_t pageStart = 0;
    uint32_t pageSize = 0;
    // Set after a screening: the window and how many channel columns the sheet has.
    std::optional<std::pair<DateTime, DateTime>> window;
    size_t channelCount = 0;
    // During and after a live run the sheet holds the latest reading, no file's rows.
    bool live = false;
    bool runEnded = false; // the run is over (stopped, or a later Run failed)
    // In a joined recording, the file of the sheet's current row (UTF-8, without its folder).
    std::string rowFileName{};
};

// "demo.bin  |  12345 rows  |  page 3 of 25" and, after a screening,
// "  |  screened 2015-03-16 12:00:00 to 2015-03-16 18:00:00, 2 channels"; in a joined
// recording "  |  row from day3.bin"; for live values "Live values  |  the latest reading",
// after the run "Live run ended  |  its last reading".
std::string SheetStatusText(const SheetStatus& status);
