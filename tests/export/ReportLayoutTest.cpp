#include "export/ReportLayout.h"

#include <gtest/gtest.h>

namespace {
const DateTime T0 = 42079 + 8.0 / 24; // 2015-03-16 08:00:00
} // namespace

TEST(ReportLayout, OrientationByColumnCount) {
    EXPECT_EQ(ListOrientation(3), PageOrientation::Portrait);
    EXPECT_EQ(ListOrientation(12), PageOrientation::Portrait);  // 10 channels
    EXPECT_EQ(ListOrientation(13), PageOrientation::Landscape); // 11 channels
    EXPECT_EQ(ListOrientation(18), PageOrientation::Landscape);
    // The widest upright table fits between the margins; the full one across the sheet.
    EXPECT_LE(ListValueLeft(11), A4Short - 2 * ListMargin);
    EXPECT_GT(ListValueLeft(12), A4Short - 2 * ListMargin);
    EXPECT_DOUBLE_EQ(ListValueLeft(17), A4Long - 2 * ListMargin);
}

TEST(ReportLayout, RecordsPerPageAndPageCount) {
    const ListPageGeometry portrait = ListGeometry(PageOrientation::Portrait);
    const ListPageGeometry landscape = ListGeometry(PageOrientation::Landscape);
    // 285 mm of paper height: 19 mm title, header and footer of 6 mm, 6-mm rows.
    EXPECT_EQ(portrait.firstPageRecords, 42u);
    EXPECT_EQ(portrait.otherPageRecords, 45u);
    EXPECT_EQ(landscape.firstPageRecords, 27u);
    EXPECT_EQ(landscape.otherPageRecords, 31u);

    struct Case {
        size_t records, pages;
        RecordRange last;
    };
    const Case cases[] = {
        {0, 1, {0, 0}},    {1, 1, {0, 1}},   {42, 1, {0, 42}},    {43, 2, {42, 1}},
        {87, 2, {42, 45}}, {88, 3, {87, 1}}, {500, 12, {492, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records);
        EXPECT_EQ(ListPageCount(c.records, portrait), c.pages);
        EXPECT_EQ(ListPageRecords(c.pages - 1, c.records, portrait), c.last);
        EXPECT_EQ(ListPageRecords(c.pages, c.records, portrait).count, 0u);
    }
}

TEST(ReportLayout, CellsShownUpToTheLastChannelColumn) {
    int shown = 0;
    for (int i = 1; i <= ListValueCells; ++i)
        shown += ListValueCellShown(i, 5) ? 1 : 0; // 3 channels
    EXPECT_EQ(shown, 3);
    EXPECT_TRUE(ListValueCellShown(3, 5));
    EXPECT_FALSE(ListValueCellShown(4, 5));
    EXPECT_TRUE(ListValueCellShown(16, 18));
}

TEST(ReportLayout, Texts) {
    const DateTime printed = T0 + 5 * 60 * OneSecond + 9 * OneSecond;
    EXPECT_EQ(ListPrintInfoText(printed),
              "Print time：2015-03-16- 08:05:09:               lister：");
    EXPECT_EQ(ChartPrintTimeText(printed),
              " Print time：2015-03-16- 08:05:09:               Lister：");
    EXPECT_EQ(ChartPrintRangeText(T0, T0 + 600 * OneSecond),
              " Print range：2015-03-16- 08:00:00: to 2015-03-16- 08:10:00:");
    EXPECT_EQ(PageOfPagesText(1, 3), "1 of 3");
}

TEST(ReportLayout, PictureKeepsItsAspectRatio) {
    const FitRect wide = FitKeepingAspect(287, 170, 1000, 400);
    EXPECT_DOUBLE_EQ(wide.width, 287);
    EXPECT_DOUBLE_EQ(wide.height, 114.8);
    EXPECT_DOUBLE_EQ(wide.top, (170 - 114.8) / 2);
    const FitRect tall = FitKeepingAspect(287, 170, 100, 100);
    EXPECT_DOUBLE_EQ(tall.height, 170);
    EXPECT_DOUBLE_EQ(tall.left, (287 - 170) / 2.0);
}

TEST(ReportLayout, ListValues) {
    // Three channel columns; channel 3 has no sample in the second row.
    std::vector<ChannelInfo> channels(3);
    channels[0] = {1, "A", {T0, T0 + OneSecond}, {1.25f, 2.5f}};
    channels[1] = {2, "B", {T0, T0 + OneSecond}, {-3.0f, 4.0f}};
    channels[2] = {3, "C", {T0}, {5.0f}};
    SheetRows rows;
    const SheetEntry first[] = {{0, 0}, {1, 0}, {2, 0}};
    const SheetEntry second[] = {{0, 1}, {1, 1}};
    for (int i = 0; i < 600; ++i)
        rows.AppendRow(T0 + i * OneSecond, i == 501 ? std::span<const SheetEntry>(second)
                                                    : std::span<const SheetEntry>(first));
    const std::vector<int16_t> columns{0, 1, 2};
    const SheetPage page{channels, rows, columns, 500, 100};

    struct Case {
        const char* name;
        size_t recNo;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"number", 0, "501"},
        {"Number", 1, "502"},
        {"DATETIME", 1, "2015-03-16 08:08:21"},
        {"value1", 1, "2.500"},
        {"value2", 0, "-3.000"},
        {"value3", 1, "-"},
        {"Value1", 0, std::nullopt},
        {"value4", 0, std::nullopt},
        {"value0", 0, std::nullopt},
        {"value-1", 0, std::nullopt},
        {"value", 0, std::nullopt},
        {"value1x", 0, std::nullopt},
        {"number", 100, std::nullopt}, // past the page
        {"other", 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OnGetListValue(c.name, page, c.recNo), c.value);
    }
}

TEST(ReportLayout, ColoursInverted) {
    std::vector<uint8_t> pixels{0, 0, 0, 255, 255, 255, 0, 128, 255};
    InvertRgb24(pixels);
    EXPECT_EQ(pixels, (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 255, 127, 0}));
}
