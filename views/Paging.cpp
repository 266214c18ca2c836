#include "views/Paging.h"

#include <algorithm>

namespace {
uint32_t Clamp32(size_t n) {
    return static_cast<uint32_t>(std::min<size_t>(n, UINT32_MAX));
}
} // namespace

void ShowFirstPage(PageWindow& page, PageButtons& buttons, size_t rowCount, uint32_t pageSize) {
    buttons.first = buttons.front = false;
    page.pageStart = 0;
    const bool morePages = rowCount > pageSize;
    buttons.next = buttons.end = morePages;
    page.pageEnd = morePages ? pageSize : Clamp32(rowCount);
    page.itemCount = page.pageEnd;
}

void HomePage(PageWindow& page, PageButtons& buttons, uint32_t pageSize) {
    buttons = {false, false, true, true};
    page = {0, pageSize, pageSize};
}

void PreviousPage(PageWindow& page, PageButtons& buttons, uint32_t pageSize) {
    if (pageSize == 0 || page.pageStart < pageSize)
        return;
    buttons.next = buttons.end = true;
    uint32_t rest = page.pageEnd % pageSize;
    if (rest == 0)
        rest = pageSize;
    page.pageEnd -= rest;
    page.pageStart -= pageSize;
    buttons.first = buttons.front = pageSize < page.pageEnd;
    page.itemCount = pageSize;
}

void NextPage(PageWindow& page, PageButtons& buttons, size_t rowCount, uint32_t pageSize) {
    if (page.pageEnd >= rowCount)
        return;
    buttons.first = buttons.front = true;
    page.pageStart = page.pageEnd;
    page.pageEnd += pageSize;
    if (page.pageEnd < rowCount) {
        buttons.next = buttons.end = true;
        page.itemCount = pageSize;
    } else {
        buttons.next = buttons.end = false;
        page.itemCount = Clamp32(rowCount - page.pageStart);
    }
}

void LastPage(PageWindow& page, PageButtons& buttons, size_t rowCount, uint32_t pageSize) {
    if (pageSize == 0 || rowCount == 0)
        return;
    buttons = {true, true, false, false};
    const uint32_t n = Clamp32(rowCount);
    page.pageEnd = n;
    const uint32_t rest = n % pageSize;
    if (rest != 0) {
        page.pageStart = n - rest;
        page.itemCount = rest;
    } else {
        page.pageStart = n - pageSize;
        page.itemCount = pageSize;
    }
}
