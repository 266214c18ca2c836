// The data sheet's CSV export and the CSV import use different layouts: an exported file,
// even one whose lines happen to have five fields, imports as an empty recording.

#include "data/CsvImport.h"
#include "views/SheetCells.h"
#include "views/ViewBuilder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

TEST(ExportImport, AnExportedSheetImportsNothing) {
    const DateTime t0 = ParseDateTime("2015-03-16 09:30:05").value();
    std::vector<ChannelInfo> channels;
    for (int16_t n = 1; n <= 3; ++n)
        channels.push_back({n, "V", {t0, t0 + OneSecond}, {1.5f * n, 2.0f}});
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("exported_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".csv"))
            .string();
    {
        std::ofstream out(path, std::ios::binary);
        ASSERT_TRUE(WriteRecordingCsv(channels, out));
    }
    const CsvImport result = ImportCsvFile(path);
    std::remove(path.c_str());
    EXPECT_FALSE(result.failure);
    EXPECT_TRUE(result.channels.empty());
    EXPECT_EQ(result.info.sampleCount, 0);
}

// The import takes any 16-bit channel number. The views show every channel; screening has
// boxes for the recorder's channels 1 to 16 only and always keeps the others.
TEST(ExportImport, ChannelsBeyondTheRecordersStayVisible) {
    const DateTime t0 = ParseDateTime("2015-03-16 09:30:05").value();
    std::vector<ChannelInfo> channels;
    RecordingInfo info{50, -1, t0, t0 + OneSecond, 0};
    for (int16_t n : {int16_t(0), int16_t(-1), int16_t(17), int16_t(4464), int16_t(1)}) {
        channels.push_back({n, "V", {t0, t0 + OneSecond}, {1.0f * n, 2.0f}});
        info.sampleCount += 2;
    }
    const ViewBuild all = BuildViews(channels, info, 500);
    EXPECT_EQ(all.series.size(), 5u);
    EXPECT_EQ(all.columns.size(), 7u);
    EXPECT_EQ(all.columns[3].caption, "Channel -1(V)");
    EXPECT_EQ(all.series[3].title, "Channel 4464");
    EXPECT_EQ(all.rows.RowCount(), 2u);

    ScreeningSelection selection{t0, t0 + OneSecond, {}};
    selection.channelFlags.fill(true);
    selection.channelFlags[0] = false;
    const ViewBuild screened = BuildScreenedViews(channels, info, selection, 500);
    std::vector<std::string> titles;
    for (const SeriesBuild& series : screened.series)
        titles.push_back(series.title);
    EXPECT_EQ(titles,
              (std::vector<std::string>{"Channel00", "Channel-01", "Channel17", "Channel4464"}));
}
