#include "views/SheetLinks.h"

#include <gtest/gtest.h>

namespace {

const DateTime T0 = 42079.375; // 2015-03-16 09:00:00

// Rows at T0 + the given seconds.
SheetRows RowsAt(std::initializer_list<double> seconds) {
    SheetRows rows;
    const SheetEntry entry{0, 0};
    for (double s : seconds)
        rows.AppendRow(T0 + s * OneSecond, std::span(&entry, 1));
    return rows;
}

} // namespace

TEST(NearestRow, PicksTheClosestRowAndTheEarlierOnATie) {
    const SheetRows rows = RowsAt({0, 10, 20, 30});
    const std::pair<double, size_t> cases[] = {{-100, 0}, {0, 0},  {4, 0},    {5, 0},
                                               {6, 1},    {20, 2}, {29.9, 3}, {1000, 3}};
    for (const auto& [second, row] : cases)
        EXPECT_EQ(NearestRow(rows, T0 + second * OneSecond), row) << second;
    EXPECT_FALSE(NearestRow(SheetRows{}, T0));
    EXPECT_FALSE(NearestRow(rows, std::nan("")));
}

TEST(ShowPageOfRow, PageAndButtonsAsPagingLeavesThem) {
    struct Case {
        size_t row, rowCount;
        PageWindow page;
        PageButtons buttons;
    };
    const Case cases[] = {
        {0, 1234, {0, 500, 500}, {false, false, true, true}},
        {499, 1234, {0, 500, 500}, {false, false, true, true}},
        {500, 1234, {500, 1000, 500}, {true, true, true, true}},
        {1233, 1234, {1000, 1234, 234}, {true, true, false, false}},
        {999, 1000, {500, 1000, 500}, {true, true, false, false}},
        {10, 20, {0, 20, 20}, {false, false, false, false}},
    };
    for (const Case& c : cases) {
        PageWindow page;
        PageButtons buttons;
        ShowPageOfRow(page, buttons, c.row, c.rowCount, 500);
        EXPECT_EQ(page, c.page) << c.row;
        EXPECT_EQ(buttons, c.buttons) << c.row;
    }
    // "Previous page" from the last page found this way lands where paging would.
    PageWindow page;
    PageButtons buttons;
    ShowPageOfRow(page, buttons, 1233, 1234, 500);
    PreviousPage(page, buttons, 500);
    EXPECT_EQ(page, (PageWindow{500, 1000, 500}));
}

TEST(SheetStatusText, FileRowsPageAndScreening) {
    SheetStatus status{"demo.bin", 1234, 500, 500, std::nullopt, 0};
    EXPECT_EQ(SheetStatusText(status), "demo.bin  |  1234 rows  |  page 2 of 3");
    status.window = {{T0 + 3 * 3600 * OneSecond, T0 + 9 * 3600 * OneSecond}};
    status.channelCount = 2;
    status.pageStart = 1000;
    EXPECT_EQ(SheetStatusText(status), "demo.bin  |  1234 rows  |  page 3 of 3  |  screened "
                                       "2015-03-16 12:00:00 to 2015-03-16 18:00:00, 2 channels");
    EXPECT_EQ(SheetStatusText({"a.bin", 0, 0, 500, std::nullopt, 0}),
              "a.bin  |  0 rows  |  page 0 of 0");
    // A live run's sheet is no page of the last file.
    EXPECT_EQ(SheetStatusText({"a.bin", 1, 0, 500, std::nullopt, 3, true}),
              "Live values  |  the latest reading");
    EXPECT_EQ(SheetStatusText({"a.bin", 1, 0, 500, std::nullopt, 3, true, true}),
              "Live run ended  |  its last reading");
    // A joined recording names the file of the current row.
    EXPECT_EQ(SheetStatusText({"2 files, ...", 20, 0, 500, std::nullopt, 1, false, false, "b.bin"}),
              "2 files, ...  |  20 rows  |  page 1 of 1  |  row from b.bin");
}

TEST(FileOfTime, TheFirstFileWhoseWindowHoldsTheRow) {
    const auto at = [](double seconds) { return T0 + seconds * OneSecond; };
    // b overlaps a by five seconds; an hour passes between b and c.
    const std::vector<std::pair<DateTime, DateTime>> files = {
        {at(0), at(9)}, {at(5), at(14)}, {at(3614), at(3623)}};
    struct Case {
        double second;
        std::optional<size_t> file;
    };
    const Case cases[] = {{0, 0},      {7, 0},
                          {9.0004, 0}, {10, 1},
                          {14, 1},     {100, std::nullopt},
                          {3614, 2},   {-1, std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(FileOfTime(files, at(c.second)), c.file) << c.second;
}
