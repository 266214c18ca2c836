#include "data/CsvImport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

const std::string Celsius = "\xA1\xE6"; // GBK "℃"

DateTime At(const char* text) {
    return ParseDateTime(text).value();
}

class CsvImportFile : public ::testing::Test {
protected:
    std::string path =
        (std::filesystem::temp_directory_path() /
         ("import_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".csv"))
            .string();
    void Write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    void TearDown() override { std::remove(path.c_str()); }

    // The recording a file gives, starting from a recording info some earlier load left.
    CsvImport Import(const std::string& text) {
        Write(text);
        CsvImport result;
        result.info = Previous;
        result.failure = ImportCsvFile(path, result.info, result.channels);
        return result;
    }
    const RecordingInfo Previous{99.0f, -9.0f, 40000.0, 40001.0, 7};
};

struct Sample {
    int16_t channel;
    std::string unit;
    std::vector<DateTime> times;
    std::vector<float> values;
};

void ExpectChannels(const std::vector<ChannelInfo>& channels, const std::vector<Sample>& expected,
                    const std::string& label) {
    ASSERT_EQ(channels.size(), expected.size()) << label;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(channels[i].channel, expected[i].channel) << label;
        EXPECT_EQ(channels[i].unit, expected[i].unit) << label;
        EXPECT_EQ(channels[i].times, expected[i].times) << label;
        EXPECT_EQ(channels[i].values, expected[i].values) << label;
    }
}

} // namespace

TEST_F(CsvImportFile, LinesBecomeSamplesOfTheirChannels) {
    const DateTime t = At("2015-03-16 09:30:05");
    const DateTime t2 = At("2015-03-16 09:30:06");
    const std::string line127 = "1,2,3.5,2015-03-16 09:30:06," + std::string(99, 'u');
    struct Case {
        const char* label;
        std::string text;
        std::vector<Sample> channels;
    } cases[] = {
        {"one line",
         "1,3,25.5,2015-03-16 09:30:05," + Celsius + "\r\n",
         {{3, Celsius, {t}, {25.5f}}}},
        {"the first line's unit stays",
         "1,3,25.5,2015-03-16 09:30:05,%\n2,3,26,2015-03-16 09:30:06,mA\n",
         {{3, "%", {t, t2}, {25.5f, 26.0f}}}},
        {"slashes in the date", "1,3,25.5,2015/03/16 09:30:05,%", {{3, "%", {t}, {25.5f}}}},
        {"title and six fields skipped",
         "No.,Channel,Value,Time,Unit\n1,3,25.5,2015-03-16 09:30:05,%,x\n1,4,1,2015-03-16 "
         "09:30:05,V\n",
         {{4, "V", {t}, {1.0f}}}},
        {"fields that do not convert",
         "1,x,1,2015-03-16 09:30:05,V\n1,1,1.5.2,2015-03-16 09:30:05,V\n"
         "1,1,1,2015-02-30 09:30:05,V\n1,1,nan,2015-03-16 09:30:05,V\n"
         "1,1,1e99,2015-03-16 09:30:05,V\n1,,1,2015-03-16 09:30:05,V\n",
         {}},
        {"blanks, signs and exponents",
         "a, +5 , -1.5e2 , 2015-03-16 09:30:05 ,V",
         {{5, "V", {t}, {-150.0f}}}},
        {"channels in order of their first line, no sorting, gaps taken as values",
         "1,9,1,2015-03-16 09:30:06,A\n2,2,-158,2015-03-16 09:30:05,B\n"
         "3,9,2,2015-03-16 09:30:05,C\n",
         {{9, "A", {t2, t}, {1.0f, 2.0f}}, {2, "B", {t}, {GapValue}}}},
        {"channel number cut to 16 bits",
         "1,70000,1,2015-03-16 09:30:05,V\n"
         "1,-1,2,2015-03-16 09:30:05,V\n",
         {{4464, "V", {t}, {1.0f}}, {-1, "V", {t}, {2.0f}}}},
        {"a line of 127 characters and its CRLF",
         line127 + "\r\n1,2,4,2015-03-16 09:30:05,\n",
         {{2, std::string(99, 'u'), {t2, t}, {3.5f, 4.0f}}}},
        {"a CR at the 127th character still ends its line",
         line127.substr(0, 126) + "\r\n1,3,4,2015-03-16 09:30:05,\n",
         {{2, std::string(98, 'u'), {t2}, {3.5f}}, {3, "", {t}, {4.0f}}}},
        // Whole, it would have nine fields; the first 127 characters end with the unit.
        {"a 200-character line read as two lines",
         line127 + "1,5,2.5,2015-03-16 09:30:05," + std::string(45, 'v') + "\n",
         {{2, std::string(99, 'u'), {t2}, {3.5f}}, {5, std::string(45, 'v'), {t}, {2.5f}}}},
    };
    for (const Case& c : cases) {
        const CsvImport result = Import(c.text);
        EXPECT_FALSE(result.failure) << c.label;
        ExpectChannels(result.channels, c.channels, c.label);
        size_t samples = 0;
        for (const Sample& s : c.channels)
            samples += s.values.size();
        EXPECT_EQ(result.info.sampleCount, static_cast<int32_t>(samples)) << c.label;
    }
}

TEST_F(CsvImportFile, RecordingInfoSpansTheLinesInAnyOrder) {
    const CsvImport result = Import("1,1,5,2015-03-16 09:30:05,V\n"
                                    "2,2,-3,2015-03-16 09:30:01,V\n"
                                    "3,1,12,2015-03-16 09:30:09,V\n"
                                    "4,2,7,2015-03-16 09:30:03,V\n");
    EXPECT_EQ(result.info.startTime, At("2015-03-16 09:30:01"));
    EXPECT_EQ(result.info.endTime, At("2015-03-16 09:30:09"));
    EXPECT_EQ(result.info.valueMin, -3.0f);
    EXPECT_EQ(result.info.valueMax, 12.0f);
    EXPECT_EQ(result.info.sampleCount, 4);
    // Samples keep the file's order, backwards times included.
    EXPECT_EQ(result.channels[1].times,
              (std::vector<DateTime>{At("2015-03-16 09:30:01"), At("2015-03-16 09:30:03")}));
}

TEST_F(CsvImportFile, NothingImportedKeepsThePreviousRange) {
    for (const std::string text : {"", "No.,Channel,Value,Time,Unit\r\n\r\n"}) {
        const CsvImport result = Import(text);
        EXPECT_FALSE(result.failure);
        EXPECT_TRUE(result.channels.empty());
        EXPECT_EQ(result.info.valueMax, Previous.valueMax);
        EXPECT_EQ(result.info.valueMin, Previous.valueMin);
        EXPECT_EQ(result.info.startTime, Previous.startTime);
        EXPECT_EQ(result.info.endTime, Previous.endTime);
        EXPECT_EQ(result.info.sampleCount, 0);
    }
}

TEST_F(CsvImportFile, UnreadableFileChangesNothing) {
    for (const std::string& missing :
         {path + ".missing", std::filesystem::temp_directory_path().string()}) {
        RecordingInfo info = Previous;
        std::vector<ChannelInfo> channels(1);
        const auto failure = ImportCsvFile(missing, info, channels);
        ASSERT_TRUE(failure) << missing;
        EXPECT_EQ(failure->text, "File import failure!");
        EXPECT_EQ(failure->icon, MessageIcon::Error);
        EXPECT_EQ(info.sampleCount, Previous.sampleCount);
        EXPECT_EQ(channels.size(), 1u);
    }
    // The convenience form starts from a reset recording info.
    const CsvImport fresh = ImportCsvFile(path + ".missing");
    EXPECT_TRUE(fresh.failure);
    EXPECT_EQ(fresh.info.valueMax, 0.0f);
}

TEST_F(CsvImportFile, FormattedLinesImportAsWritten) {
    const DateTime t = At("2026-12-10 06:13:58");
    Write(FormatImportLine(1, 3, 25.5f, t, Celsius) + FormatImportLine(2, 3, GapValue, t, Celsius) +
          FormatImportLine(3, 16, -0.125f, t + OneSecond, "%"));
    EXPECT_EQ(FormatImportLine(1, 3, 25.5f, t, "%"), "1,3,25.500,2026-12-10 06:13:58,%\n");
    const CsvImport result = ImportCsvFile(path);
    ExpectChannels(result.channels,
                   {{3, Celsius, {t, t}, {25.5f, GapValue}}, {16, "%", {t + OneSecond}, {-0.125f}}},
                   "formatted");
}

TEST_F(CsvImportFile, ReportsProgressUpToTheFileSize) {
    std::string text;
    for (int i = 0; i < 70000; ++i)
        text += "1,1,1,2015-03-16 09:30:05,V\n";
    Write(text);
    std::vector<uint64_t> reports;
    uint64_t size = 0;
    const CsvImport result = ImportCsvFile(path, [&](uint64_t read, uint64_t total) {
        reports.push_back(read);
        size = total;
    });
    EXPECT_EQ(result.info.sampleCount, 70000);
    EXPECT_EQ(size, text.size());
    ASSERT_GE(reports.size(), 2u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), text.size());
}
