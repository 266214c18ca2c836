#pragma once
// Page arithmetic of the data sheet: which slice of the row index the sheet shows and which of
// the four paging buttons can be pressed.

#include <cstddef>
#include <cstdint>

// Enabled states of "Home page", "Previous page", "Next page" and "Last Page", in that order.
struct PageButtons {
    bool first = false;
    bool front = false;
    bool next = false;
    bool end = false;
    friend bool operator==(const PageButtons&, const PageButtons&) = default;
};

// The current page: rows [pageStart, pageStart + itemCount) of the row index. pageEnd is one
// past the page's last row after a move forward or back, the row count after "Last Page",
// and may pass the row count after a "Next page" that reaches the end.
struct PageWindow {
    uint32_t pageStart = 0;
    uint32_t pageEnd = 0;
    uint32_t itemCount = 0;
    friend bool operator==(const PageWindow&, const PageWindow&) = default;
};

// The first page after the views are built.
void ShowFirstPage(PageWindow& page, PageButtons& buttons, size_t rowCount, uint32_t pageSize);

// The four paging commands. Each is only reachable while its button is enabled; a call that
// could not move (for example "Previous page" on the first page) leaves everything as it is.
void HomePage(PageWindow& page, PageButtons& buttons, uint32_t pageSize);
void PreviousPage(PageWindow& page, PageButtons& buttons, uint32_t pageSize);
void NextPage(PageWindow& page, PageButtons& buttons, size_t rowCount, uint32_t pageSize);
void LastPage(PageWindow& page, PageButtons& buttons, size_t rowCount, uint32_t pageSize);
