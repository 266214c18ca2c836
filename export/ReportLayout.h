#pragma once
// The two printed reports without a printer: page geometry of the list report (bands, rows per
// page, page count, which cells show), the texts both reports fill in, the list report's value
// callback and the colour inversion of the chart report. Lengths are millimetres.

#include "data/DateTime.h"
#include "export/CsvExport.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

enum class PageOrientation { Portrait, Landscape };

// A4, 297 x 210 mm.
constexpr double A4Long = 297;
constexpr double A4Short = 210;

// The list report: 6 mm margins; a title band of 19 mm on the first page, then on every page
// a page header of 6 mm, 6-mm record rows and a page footer of 6 mm at the bottom.
constexpr double ListMargin = 6;
constexpr double ListTitleHeight = 19;
constexpr double ListBandHeight = 6;
constexpr double ListNumberWidth = 15;
constexpr double ListTimeWidth = 30;
constexpr double ListValueWidth = 15;
constexpr int ListValueCells = 16;
// Up to this many data sheet columns (10 channels) a page is printed upright.
constexpr int ListMaxPortraitColumns = 12;

PageOrientation ListOrientation(int columnCount);

struct ListPageGeometry {
    double width = 0; // paper, as oriented
    double height = 0;
    size_t firstPageRecords = 0;
    size_t otherPageRecords = 0;
};
ListPageGeometry ListGeometry(PageOrientation orientation);

// Pages of a report of `records` records; a report without records still has its first page.
size_t ListPageCount(size_t records, const ListPageGeometry& geometry);
// The records of page p (0-based): [first, first + count).
struct RecordRange {
    size_t first = 0;
    size_t count = 0;
    friend bool operator==(const RecordRange&, const RecordRange&) = default;
};
RecordRange ListPageRecords(size_t page, size_t records, const ListPageGeometry& geometry);

// Left edge of value cell i (1..16) within the table.
constexpr double ListValueLeft(int i) {
    return ListNumberWidth + ListTimeWidth + ListValueWidth * (i - 1);
}
// TitlePort i and Value i show up to the last channel column (i <= M - 2).
constexpr bool ListValueCellShown(int i, int columnCount) {
    return i >= 1 && i <= columnCount - 2;
}

// "[Page] of [TotalPages#]": "1 of 3".
std::string PageOfPagesText(size_t page, size_t pages);

// The chart report: 5 mm margins, four objects 287 mm wide centred across an A4 landscape page;
// the tops below are measured from the top margin, so the picture ends 5 mm above the paper's
// bottom edge.
constexpr double ChartMargin = 5;
constexpr double ChartObjectWidth = 287;
struct ReportBox {
    double top = 0;
    double height = 0;
};
constexpr ReportBox ChartTitleBox{4, 8};
constexpr ReportBox ChartTimeBox{12, 8};
constexpr ReportBox ChartRegionBox{20, 8};
constexpr ReportBox ChartPictureBox{30, 170};
// Where a box starts on the paper: its top is measured from the top margin.
constexpr double ChartPaperTop(const ReportBox& box) {
    return ChartMargin + box.top;
}

// The largest rectangle of the picture's aspect ratio inside a frame, centred in it:
// {left, top, width, height} relative to the frame.
struct FitRect {
    double left = 0, top = 0, width = 0, height = 0;
};
FitRect FitKeepingAspect(double frameWidth, double frameHeight, int pictureWidth,
                         int pictureHeight);

// Texts (UTF-8). Times use "yyyy'-'MM'-'dd'-' HH':'mm':'ss':'", e.g. "2015-03-16- 08:05:09:".
inline constexpr std::string_view PrintTimePattern = "yyyy'-'MM'-'dd'-' HH':'mm':'ss':'";
inline constexpr const char* ListTitleText = "Data printing";
inline constexpr const char* ChartTitleText = "Trend diagram printing";
std::string ListPrintInfoText(DateTime now);
std::string ChartPrintTimeText(DateTime now);
std::string ChartPrintRangeText(DateTime from, DateTime to);

// The list report's value callback for record recNo (row recNo of the page): "number" and
// "dateTime" (any case) give the serial number and the time, "value%d" (lower case) with
// 1 <= k <= M - 2 the k-th channel column's text. Anything else is left unset.
std::optional<std::string> OnGetListValue(std::string_view varName, const SheetPage& page,
                                          size_t recNo);

// 255 - v for each red, green and blue byte of `pixels` packed 24-bit pixels.
void InvertRgb24(std::span<uint8_t> pixels);
