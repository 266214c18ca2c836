#include "export/CsvExport.h"

#include "views/SheetRows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

const DateTime T0 = 42079 + 8.0 / 24; // 2015-03-16 08:00:00

// Every write the export makes, one string each.
struct RecordingSink : ByteSink {
    std::vector<std::string> writes;
    int failAt = -1; // index of the write that fails
    bool Write(std::string_view bytes) override {
        if (static_cast<int>(writes.size()) == failAt)
            return false;
        writes.emplace_back(bytes);
        return true;
    }
};

// One channel (number 1, "℃" as GBK) of `count` one-second samples valued 0.5, 1.5, ...
struct OneChannel {
    explicit OneChannel(size_t count) {
        ChannelInfo channel;
        channel.channel = 1;
        channel.unit = "\xA1\xE6";
        for (size_t i = 0; i < count; ++i) {
            channel.times.push_back(T0 + static_cast<double>(i) * OneSecond);
            channel.values.push_back(static_cast<float>(i) + 0.5f);
        }
        channels.push_back(channel);
        const ChannelSampleRange range{0, count, std::nullopt};
        rows = BuildSheetRows(channels, std::span(&range, 1));
    }
    SheetPage Page(size_t start, size_t count) const {
        return {channels, rows, columns, start, count};
    }
    std::vector<ChannelInfo> channels;
    SheetRows rows;
    std::vector<int16_t> columns{0};
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

size_t Lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST(CsvExport, ChunksAndProgressSteps) {
    struct Case {
        size_t rows;
        std::vector<size_t> chunkRows; // data lines per write after the header
        int progressMax;
    };
    const Case cases[] = {
        {1, {1}, 1},
        {100, {100}, 2},
        {101, {101}, 2},
        {102, {101, 1}, 2},
        {350, {101, 100, 100, 49}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        const OneChannel data(c.rows);
        RecordingSink sink;
        int max = -1, steps = 0;
        const BuildProgress progress{[&](int n) { max = n; }, [&](int n) { steps += n; }};
        EXPECT_EQ(WriteSheetPageCsv(data.Page(0, c.rows), sink, progress),
                  CsvExportResult::Written);
        ASSERT_EQ(sink.writes.size(), c.chunkRows.size() + 1);
        EXPECT_EQ(sink.writes[0], "Serial number,Time,Channel 1(\xA1\xE6)\n");
        for (size_t w = 0; w < c.chunkRows.size(); ++w)
            EXPECT_EQ(Lines(sink.writes[w + 1]), c.chunkRows[w]);
        EXPECT_EQ(max, c.progressMax);
        EXPECT_EQ(steps, static_cast<int>(c.chunkRows.size()));
    }
}

TEST(CsvExport, BytesOfThePage) {
    // Channel 1 in ℃ and channel 3 in Mpa; the second instant has no sample of channel 3.
    std::vector<ChannelInfo> channels(2);
    channels[0] = {1, "\xA1\xE6", {T0, T0 + 5 * OneSecond}, {23.5f, 23.6f}};
    channels[1] = {3, "Mpa", {T0}, {0.125f}};
    const std::vector<ChannelSampleRange> ranges{{0, 2, std::nullopt}, {1, 1, std::nullopt}};
    const SheetRows rows = BuildSheetRows(channels, ranges);
    const std::vector<int16_t> columns{0, 1};
    RecordingSink sink;
    ASSERT_EQ(WriteSheetPageCsv({channels, rows, columns, 0, 2}, sink), CsvExportResult::Written);
    std::string all;
    for (const std::string& w : sink.writes)
        all += w;
    EXPECT_EQ(all, "Serial number,Time,Channel 1(\xA1\xE6),Channel 3(Mpa)\n"
                   "1,2015-03-16 08:00:00,23.500,0.125\n"
                   "2,2015-03-16 08:00:05,23.600,-\n");
}

TEST(CsvExport, CellTextsAsTheSheetShowsThem) {
    // Hand-made rows: two entries of channel 0 in one row, rounding, the time 0.5 days.
    std::vector<ChannelInfo> channels(2);
    channels[0] = {1, "A", {0.5, 0.5}, {-0.0004f, 1234.5678f}};
    channels[1] = {2, "B", {0.5}, {7.0f}};
    SheetRows rows;
    const SheetEntry twice[] = {{0, 0}, {0, 1}, {1, 0}};
    rows.AppendRow(0.5, twice);
    const SheetEntry second[] = {{0, 1}};
    rows.AppendRow(0.5 + OneSecond, second);
    const std::vector<int16_t> columns{0, 1};
    RecordingSink sink;
    ASSERT_EQ(WriteSheetPageCsv({channels, rows, columns, 0, 2}, sink), CsvExportResult::Written);
    ASSERT_EQ(sink.writes.size(), 2u);
    EXPECT_EQ(sink.writes[1], "1,1899-12-30 12:00:00,-0.000,-\n"
                              "2,1899-12-30 12:00:01,1234.568,-\n");
}

TEST(CsvExport, SecondPageNumberedOnAndClippedToTheIndex) {
    const OneChannel data(1037);
    RecordingSink sink;
    ASSERT_EQ(WriteSheetPageCsv(data.Page(500, 500), sink), CsvExportResult::Written);
    EXPECT_TRUE(sink.writes[1].starts_with("501,2015-03-16 08:08:20,500.500\n"));
    EXPECT_TRUE(sink.writes.back().ends_with("\n1000,2015-03-16 08:16:39,999.500\n"));

    // A page reaching past the end is cut at the last row.
    sink.writes.clear();
    ASSERT_EQ(WriteSheetPageCsv(data.Page(1000, 500), sink), CsvExportResult::Written);
    ASSERT_EQ(sink.writes.size(), 2u);
    EXPECT_EQ(Lines(sink.writes[1]), 37u);
}

TEST(CsvExport, FailuresEndTheExport) {
    const OneChannel data(250);
    RecordingSink sink;
    sink.failAt = 2; // the second chunk
    int steps = 0;
    EXPECT_EQ(WriteSheetPageCsv(data.Page(0, 250), sink, {nullptr, [&](int n) { steps += n; }}),
              CsvExportResult::WriteFailed);
    EXPECT_EQ(sink.writes.size(), 2u);
    EXPECT_EQ(steps, 1);

    // Nothing at all without rows: no progress maximum, no write.
    const OneChannel none(0);
    bool maxSet = false;
    sink = {};
    EXPECT_EQ(WriteSheetPageCsv(none.Page(0, 0), sink, {[&](int) { maxSet = true; }, nullptr}),
              CsvExportResult::NothingToWrite);
    EXPECT_TRUE(sink.writes.empty());
    EXPECT_FALSE(maxSet);
}

class CsvFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("csv-export-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

TEST_F(CsvFileTest, LongerFileReplacedInPlace) {
    const std::string path = (dir_ / "page.csv").string();
    { std::ofstream(path) << std::string(100000, 'x'); }
    ::chmod(path.c_str(), 0640);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    const OneChannel data(3);
    EXPECT_EQ(ExportSheetPageCsv(data.Page(0, 3), path), CsvExportResult::Written);
    EXPECT_EQ(ReadAll(path), "Serial number,Time,Channel 1(\xA1\xE6)\n"
                             "1,2015-03-16 08:00:00,0.500\n"
                             "2,2015-03-16 08:00:01,1.500\n"
                             "3,2015-03-16 08:00:02,2.500\n");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 0777, 0640u);
}

TEST_F(CsvFileTest, UnopenablePathAndFullDisk) {
    const OneChannel data(300);
    int max = 0, steps = 0;
    const BuildProgress progress{[&](int n) { max = n; }, [&](int n) { steps += n; }};
    const std::string missing = (dir_ / "no-such-dir" / "page.csv").string();
    EXPECT_EQ(ExportSheetPageCsv(data.Page(0, 300), missing, progress),
              CsvExportResult::OpenFailed);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(max, 4); // the maximum is set before the file is opened
    EXPECT_EQ(steps, 0);

    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(ExportSheetPageCsv(data.Page(0, 300), "/dev/full", progress),
              CsvExportResult::WriteFailed);
    EXPECT_EQ(steps, 0);
}
