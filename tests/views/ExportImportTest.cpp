// The data sheet's CSV export and the CSV import use different layouts: an exported file,
// even one whose lines happen to have five fields, imports as an empty recording.

#include "data/CsvImport.h"
#include "views/SheetCells.h"

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
