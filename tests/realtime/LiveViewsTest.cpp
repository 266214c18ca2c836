// The live views' texts and arithmetic, without a window.

#include "app/realtime/LiveViews.h"
#include "data/DateTime.h"
#include "views/SheetCells.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr std::string_view Celsius = "\xA1\xE6";          // ℃ in GBK
constexpr std::string_view CatchAll = "\xB5\xA5\xCE\xBB"; // 单位

DeviceRecords RecordsForChannels257() {
    DeviceRecords records;
    records.commSettings = {2, 9600, 1, 8, 2, 3, {}};
    for (int n : {2, 5, 7})
        records.commSettings.channelEnabled[static_cast<size_t>(n - 1)] = true;
    records.channelConfig[1] = {3, 19, 80.0f, 70.0f, 20.0f, 10.0f};
    records.channelConfig[4] = {1, 200, 1.0f, 0.5f, -0.5f, -1.0f};
    records.channelConfig[6] = {4, 20, 100, 90, 10, 0};
    LiveSnapshot& live = records.liveSnapshot;
    live.timeFields = {15, 3, 16, 8, 5, 9};
    live.instrumentTime = EncodeDateTime({2015, 3, 16, 8, 5, 9}).value();
    live.value[1] = 25.3f;
    live.value[4] = -1.25f;
    live.value[6] = 95.0f;
    for (int k : {1, 4, 6})
        EvaluateAlarms(records.channelConfig[static_cast<size_t>(k)], live, k);
    return records;
}

} // namespace

TEST(LiveViews, ActiveChannelsAscendFromTheSelection) {
    const DeviceRecords records = RecordsForChannels257();
    EXPECT_EQ(ActiveChannelsOf(records.commSettings), (std::vector<int16_t>{2, 5, 7}));
    EXPECT_TRUE(ActiveChannelsOf(CommSettings{}).empty());
}

TEST(LiveViews, PanelsFillFromTheSecondCellAndTheFirstCellLast) {
    const std::pair<size_t, PanelCell> cases[] = {
        {0, {0, 1}},  {4, {0, 5}},  {5, {1, 0}},  {10, {1, 5}},
        {11, {2, 0}}, {14, {2, 3}}, {15, {0, 0}},
    };
    for (const auto& [position, cell] : cases)
        EXPECT_EQ(PanelCellOf(position), cell) << "position " << position;
    std::set<std::pair<int, int>> cells;
    for (size_t p = 0; p < PanelCount; ++p) {
        const PanelCell c = PanelCellOf(p);
        EXPECT_TRUE(c.row < 2 || c.column < 4) << "the third row holds four panels";
        cells.insert({c.row, c.column});
    }
    EXPECT_EQ(cells.size(), size_t(PanelCount));
}

TEST(LiveViews, SummaryLineNamesTheSettingsAndTheInstrumentClock) {
    const DeviceRecords records = RecordsForChannels257();
    EXPECT_EQ(SummaryLineText(records.commSettings, records.liveSnapshot),
              "Global Figure  Address(0x03) Communication parameter(COM:2 Baud rate:9600 "
              "Stop bit:1 Data bits:8 Even)  Time(2015-03-16 08:05:09)");
    const std::pair<int32_t, std::string> parities[] = {
        {0, "None"}, {1, "Odd"}, {2, "Even"}, {7, "Even"}, {-1, "Even"}};
    for (const auto& [parity, name] : parities)
        EXPECT_EQ(ParityName(parity), name);
    CommSettings wide = records.commSettings;
    wide.address = 255;
    EXPECT_NE(SummaryLineText(wide, records.liveSnapshot).find("Address(0xff)"), std::string::npos);
}

TEST(LiveViews, UnitTextsUseTheLowByteAndTheCatchAll) {
    const std::pair<uint16_t, std::string_view> cases[] = {
        {19, Celsius}, {0x0113, Celsius}, {200, CatchAll}, {94, CatchAll}, {0, "m3/h"}};
    for (const auto& [code, text] : cases) {
        ChannelConfig config;
        config.unitCode = code;
        EXPECT_EQ(LiveUnitText(config), text) << "code " << code;
    }
}

TEST(LiveViews, PanelShowsValueLimitsAndEachAlarmOnItsOwnIndicator) {
    const DeviceRecords records = RecordsForChannels257();
    const PanelTexts two = PanelTextsOf(2, records.channelConfig[1], records.liveSnapshot);
    EXPECT_EQ(two.value, "25.300 " + std::string(Celsius));
    EXPECT_EQ(two.channel, "Channel 02");
    EXPECT_EQ(two.limits, (std::array<std::string, 4>{"80.000", "70.000", "20.000", "10.000"}));
    EXPECT_FALSE(two.AnyAlarm());

    // Below Lower raises Lower and Floor; above Cap only Cap.
    const PanelTexts five = PanelTextsOf(5, records.channelConfig[4], records.liveSnapshot);
    EXPECT_EQ(five.value, "-1.250 " + std::string(CatchAll));
    EXPECT_EQ(five.alarms, (std::array<bool, 4>{false, false, true, true}));
    const PanelTexts seven = PanelTextsOf(7, records.channelConfig[6], records.liveSnapshot);
    EXPECT_EQ(seven.alarms, (std::array<bool, 4>{false, true, false, false}));
}

TEST(LiveViews, TickTextsForLegendSeriesAndSheet) {
    const DeviceRecords records = RecordsForChannels257();
    const std::vector<int16_t> active = {2, 5, 7};
    const LiveTick tick = MakeLiveTick(records, active);
    EXPECT_EQ(tick.legendTitle, "Time:2015-03-16 08:05:09");
    EXPECT_EQ(tick.seriesTitles,
              (std::vector<std::string>{"Channel 02 25.300" + std::string(Celsius),
                                        "Channel 05 -1.250" + std::string(CatchAll),
                                        "Channel 07 95.000%"}));
    EXPECT_EQ(LiveSeriesTitle(3), "Channel 03");

    const auto columns = LiveSheetColumns(active, records.channelConfig);
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[0].caption, "Serial number");
    EXPECT_EQ(columns[1].caption, "Time");
    EXPECT_EQ(columns[2].caption, "Channel 2(" + std::string(Celsius) + ")");
    EXPECT_EQ(columns[3].caption, "Channel 5(" + std::string(CatchAll) + ")");
    EXPECT_EQ(columns[4].caption, "Channel 7(%)");
    EXPECT_EQ(columns[0].width, 50);
    EXPECT_EQ(columns[1].width, 120);
    EXPECT_EQ(columns[4].width, 80);
}

TEST(LiveViews, EachTickLeavesOneRowWithTheLatestValues) {
    DeviceRecords records = RecordsForChannels257();
    const std::vector<int16_t> active = {2, 5, 7};
    const std::vector<int16_t> columnChannels = {0, 1, 2};
    std::vector<ChannelInfo> channels;
    SheetRows rows;
    FillLiveRecording(records, active, channels, rows);
    records.liveSnapshot.value[4] = 0.125f;
    records.liveSnapshot.instrumentTime += 1.0 / 86400;
    FillLiveRecording(records, active, channels, rows);

    ASSERT_EQ(rows.RowCount(), 1u);
    ASSERT_EQ(channels.size(), 3u);
    EXPECT_EQ(channels[1].channel, 5);
    EXPECT_EQ(channels[1].unit, CatchAll);
    EXPECT_EQ(SheetTimeText(rows.Time(0)), "2015-03-16 08:05:10");
    std::vector<std::string> texts;
    SheetValueTexts(rows.Entries(0), columnChannels, channels, texts);
    EXPECT_EQ(texts, (std::vector<std::string>{"25.300", "0.125", "95.000"}));

    // Nothing monitored: still one row, without value entries.
    FillLiveRecording(records, {}, channels, rows);
    EXPECT_EQ(rows.RowCount(), 1u);
    EXPECT_TRUE(channels.empty());
    EXPECT_TRUE(rows.Entries(0).empty());
}

TEST(LiveSeriesBook, EmptiesASeriesAtThePointThatPassesItsShare) {
    struct Case {
        size_t channels, cap;
    };
    for (const Case c :
         {Case{16, 75'000}, Case{1, 1'200'000}, Case{3, 400'000}, Case{7, 171'428}}) {
        EXPECT_EQ(LiveSeriesCap(c.channels), c.cap);
        LiveSeriesBook book;
        book.Reset(c.channels);
        const size_t last = c.channels - 1;
        for (size_t i = 0; i < c.cap; ++i)
            ASSERT_FALSE(book.Add(last, i, 1.0)) << c.channels << " channels, point " << i + 1;
        EXPECT_EQ(book.PointCount(last), c.cap);
        EXPECT_TRUE(book.Add(last, double(c.cap), 1.0)) << c.channels << " channels";
        EXPECT_EQ(book.PointCount(last), 0u);
        EXPECT_FALSE(book.Add(last, double(c.cap) + 1, 1.0));
    }
}

TEST(LiveSeriesBook, ExtentCoversThePointsHeld) {
    LiveSeriesBook book;
    book.Reset(2);
    EXPECT_FALSE(book.TimeRange());
    book.Add(0, 10, 5.0);
    book.Add(1, 10, -3.0);
    book.Add(0, 9, 7.5); // a clock set back still widens the window
    EXPECT_EQ(book.TimeRange(), (LiveRange{9, 10}));
    EXPECT_EQ(book.ValueRange(), (LiveRange{-3.0, 7.5}));
}

TEST(LiveViews, StatusLineNamesTheRecordAndTheLastClockCorrection) {
    const DateTime from = EncodeDateTime({2015, 3, 16, 9, 0, 0}).value();
    const LiveClockSetBack setBack{from, from - 3600 * OneSecond, "/r/live-1.csv"};
    const std::string counts = "Ticks: 5 good, 1 failed; port reopened 0 times";
    const std::string corrected =
        "; Instrument clock set back from 2015-03-16 09:00:00 to 2015-03-16 08:00:00";
    struct Case {
        bool recording, running, corrected;
        std::string error;
        std::string expected;
    };
    const Case cases[] = {
        {false, true, false, "", counts},
        {true, true, false, "", counts + "; recording to /r/live-2.csv"},
        {true, false, false, "", counts + "; recorded to /r/live-2.csv"},
        {true, true, true, "", counts + corrected + "; recording goes on in /r/live-2.csv"},
        {true, false, true, "", counts + corrected + "; recorded to /r/live-2.csv"},
        {false, true, true, "", counts + corrected},
        {false, true, true, "disk full", counts + "; recording stopped: disk full"},
    };
    for (const Case& c : cases) {
        LiveRunState state{5, 1, 0, 0, c.recording, "/r/live-2.csv", c.error, std::nullopt, {}};
        if (c.corrected)
            state.clockSetBack = setBack;
        EXPECT_EQ(LiveStatusText(state, c.running), c.expected);
    }
}

TEST(LiveViews, StatusLineNamesTheArchiveTheRunRecordsInto) {
    const std::string counts = "Ticks: 5 good, 1 failed; port reopened 0 times";
    LiveRunState state{5, 1, 0, 0, true, "", "", std::nullopt, "archive:boiler (/a.sqlite)"};
    EXPECT_EQ(LiveStatusText(state, true), counts + "; recording into archive:boiler (/a.sqlite)");
    EXPECT_EQ(LiveStatusText(state, false), counts + "; recorded into archive:boiler (/a.sqlite)");
    state.recordPath = "/r/live-2.csv";
    EXPECT_EQ(LiveStatusText(state, true),
              counts + "; recording to /r/live-2.csv; recording into archive:boiler (/a.sqlite)");
    state.recordError = "the archive refused the tick";
    EXPECT_EQ(LiveStatusText(state, true),
              counts + "; recording stopped: the archive refused the tick");
}
