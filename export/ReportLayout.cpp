#include "export/ReportLayout.h"

#include "views/SheetCells.h"

#include <algorithm>
#include <charconv>
#include <cmath>

PageOrientation ListOrientation(int columnCount) {
    return columnCount > ListMaxPortraitColumns ? PageOrientation::Landscape
                                                : PageOrientation::Portrait;
}

ListPageGeometry ListGeometry(PageOrientation orientation) {
    ListPageGeometry g;
    g.width = orientation == PageOrientation::Portrait ? A4Short : A4Long;
    g.height = orientation == PageOrientation::Portrait ? A4Long : A4Short;
    // Every page carries the page header and the footer; the first one the title as well.
    const double body = g.height - 2 * ListMargin - 2 * ListBandHeight;
    g.otherPageRecords = static_cast<size_t>(std::floor(body / ListBandHeight + 1e-9));
    g.firstPageRecords =
        static_cast<size_t>(std::floor((body - ListTitleHeight) / ListBandHeight + 1e-9));
    return g;
}

size_t ListPageCount(size_t records, const ListPageGeometry& geometry) {
    if (records <= geometry.firstPageRecords)
        return 1;
    const size_t rest = records - geometry.firstPageRecords;
    return 1 + (rest + geometry.otherPageRecords - 1) / geometry.otherPageRecords;
}

RecordRange ListPageRecords(size_t page, size_t records, const ListPageGeometry& geometry) {
    size_t first = 0;
    size_t capacity = geometry.firstPageRecords;
    if (page > 0) {
        first = geometry.firstPageRecords + (page - 1) * geometry.otherPageRecords;
        capacity = geometry.otherPageRecords;
    }
    if (first >= records)
        return {std::min(first, records), 0};
    return {first, std::min(capacity, records - first)};
}

std::string PageOfPagesText(size_t page, size_t pages) {
    return std::to_string(page) + " of " + std::to_string(pages);
}

FitRect FitKeepingAspect(double frameWidth, double frameHeight, int pictureWidth,
                         int pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return {0, 0, 0, 0};
    const double scale =
        std::min(frameWidth / pictureWidth, frameHeight / static_cast<double>(pictureHeight));
    const double w = pictureWidth * scale;
    const double h = pictureHeight * scale;
    return {(frameWidth - w) / 2, (frameHeight - h) / 2, w, h};
}

std::string ListPrintInfoText(DateTime now) {
    return "Print time：" + FormatDateTime(now, PrintTimePattern) + "               lister：";
}

std::string ChartPrintTimeText(DateTime now) {
    return " Print time：" + FormatDateTime(now, PrintTimePattern) + "               Lister：";
}

std::string ChartPrintRangeText(DateTime from, DateTime to) {
    return " Print range：" + FormatDateTime(from, PrintTimePattern) + " to " +
           FormatDateTime(to, PrintTimePattern);
}

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

} // namespace

std::optional<std::string> OnGetListValue(std::string_view varName, const SheetPage& page,
                                          size_t recNo) {
    if (recNo >= page.RowCount())
        return std::nullopt;
    const size_t row = page.pageStart + recNo;
    if (EqualsIgnoringCase(varName, "number"))
        return SheetSerialText(row);
    if (EqualsIgnoringCase(varName, "dateTime"))
        return SheetTimeText(page.Time(row));
    constexpr std::string_view Prefix = "value";
    if (!varName.starts_with(Prefix))
        return std::nullopt;
    const std::string_view digits = varName.substr(Prefix.size());
    int k = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() ||
        digits.front() == '-')
        return std::nullopt;
    if (k < 1 || k > page.ColumnCount() - 2)
        return std::nullopt;
    return SheetValueText(page.Entries(row), page.columnChannels, page.channels,
                          static_cast<size_t>(k - 1));
}

void InvertRgb24(std::span<uint8_t> pixels) {
    for (uint8_t& v : pixels)
        v = static_cast<uint8_t>(255 - v);
}
