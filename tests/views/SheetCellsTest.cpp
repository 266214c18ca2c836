#include "views/SheetCells.h"

#include "data/UnitNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include <sstream>

namespace {

const DateTime T0 = 42079 + (8 * 3600 + 5 * 60 + 9) * OneSecond; // 2015-03-16 08:05:09

ChannelInfo Channel(int16_t number, std::string unit, std::vector<float> values) {
    ChannelInfo c;
    c.channel = number;
    c.unit = std::move(unit);
    for (size_t i = 0; i < values.size(); ++i)
        c.times.push_back(T0 + static_cast<double>(i) * 5 * OneSecond);
    c.values = std::move(values);
    return c;
}

std::vector<std::string> Texts(std::vector<SheetEntry> entries, std::vector<int16_t> columns,
                               const std::vector<ChannelInfo>& channels) {
    std::vector<std::string> texts;
    SheetValueTexts(entries, columns, channels, texts);
    return texts;
}

} // namespace

TEST(SheetCells, SerialTimeAndValueTexts) {
    EXPECT_EQ(SheetSerialText(0), "1");
    EXPECT_EQ(SheetSerialText(1000), "1001");
    EXPECT_EQ(SheetTimeText(T0), "2015-03-16 08:05:09");
    EXPECT_EQ(SheetTimeText(0.5), "1899-12-30 12:00:00");
    const std::pair<float, const char*> values[] = {
        {1234.5678f, "1234.568"}, {-0.0004f, "-0.000"}, {23.5f, "23.500"}, {-0.125f, "-0.125"}};
    for (const auto& [v, text] : values)
        EXPECT_EQ(SampleValueText(v), text);
}

TEST(SheetCells, ValueTextsAreThoseOfPrintf) {
    // Exact ties round to even, the sign of negative zero stays, huge and non-finite values
    // take printf's own way.
    const float values[] = {0.0625f,
                            0.1875f,
                            -0.0625f,
                            0.0005f,
                            -0.0f,
                            0.0f,
                            999.9995f,
                            -158.0f,
                            1e-30f,
                            8.5e15f,
                            1e20f,
                            -3.4e38f,
                            std::numeric_limits<float>::infinity(),
                            std::nanf("")};
    for (const float v : values) {
        char expected[400];
        std::snprintf(expected, sizeof expected, "%0.3f", static_cast<double>(v));
        EXPECT_EQ(SampleValueText(v), expected) << v;
    }
}

TEST(SheetCells, ColumnsWalkTogetherWithTheEntries) {
    const std::vector<ChannelInfo> channels = {Channel(1, "V", {1.5f, 2}), Channel(2, "V", {3}),
                                               Channel(3, "V", {4.25f})};
    // Entries for positions 0 and 2 under columns for 0, 1, 2.
    EXPECT_EQ(Texts({{0, 0}, {2, 0}}, {0, 1, 2}, channels),
              (std::vector<std::string>{"1.500", "-", "4.250"}));
    // Two samples of one channel at one instant: the first shows, the second is never used, so
    // every later column shows "-".
    EXPECT_EQ(Texts({{0, 0}, {0, 1}, {1, 0}}, {0, 1, 2}, channels),
              (std::vector<std::string>{"1.500", "-", "-"}));
    // Screened columns (positions 1 and 2 only).
    EXPECT_EQ(Texts({{1, 0}}, {1, 2}, channels), (std::vector<std::string>{"3.000", "-"}));
    // An entry beyond what the recording holds shows "-" instead of reading past it.
    EXPECT_EQ(Texts({{0, 7}}, {0}, channels), (std::vector<std::string>{"-"}));
    EXPECT_EQ(Texts({}, {0, 1}, channels), (std::vector<std::string>{"-", "-"}));

    // One cell at a time gives what the whole row gives.
    const std::vector<SheetEntry> entries = {{0, 0}, {0, 1}, {2, 0}};
    const std::vector<int16_t> columns = {0, 1, 2};
    const auto row = Texts(entries, columns, channels);
    for (size_t c = 0; c < columns.size(); ++c)
        EXPECT_EQ(SheetValueText(entries, columns, channels, c), row[c]) << c;
}

TEST(SheetCsv, WholeRecordingLayout) {
    const std::vector<ChannelInfo> channels = {
        Channel(1, std::string(UnitNames[19]), {23.5f, 23.6f}),
        Channel(3, "Mpa", {0.125f, GapValue})};
    std::ostringstream out;
    ASSERT_TRUE(WriteRecordingCsv(channels, out));
    EXPECT_EQ(out.str(), "Serial number,Time,Channel 1(\xA1\xE6),Channel 3(Mpa)\n"
                         "1,2015-03-16 08:05:09,23.500,0.125\n"
                         "2,2015-03-16 08:05:14,23.600,-\n");
}

TEST(SheetCsv, PageLinesNumberAcrossPages) {
    const std::vector<ChannelInfo> channels = {Channel(2, "V", {1, 2, 3})};
    const ChannelSampleRange range{0, 3, std::nullopt};
    const SheetRows rows = BuildSheetRows(channels, std::span(&range, 1));
    const std::vector<int16_t> columns = {0};
    std::string text = SheetCsvHeader(columns, channels);
    AppendSheetCsvLine(text, rows, 2, columns, channels);
    EXPECT_EQ(text, "Serial number,Time,Channel 2(V)\n3,2015-03-16 08:05:19,3.000\n");
}

TEST(SheetCsv, EmptyRecordingIsTheHeaderAlone) {
    std::ostringstream out;
    ASSERT_TRUE(WriteRecordingCsv({}, out));
    EXPECT_EQ(out.str(), "Serial number,Time\n");
}
