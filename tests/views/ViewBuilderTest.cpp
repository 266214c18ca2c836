#include "views/ViewBuilder.h"

#include "views/AxisTicks.h"

#include "data/UnitNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

const DateTime T0 = 42079.375; // 2015-03-16 09:00:00

ChannelInfo Channel(int16_t number, std::string unit, size_t count, double firstSecond = 0) {
    ChannelInfo c;
    c.channel = number;
    c.unit = std::move(unit);
    for (size_t i = 0; i < count; ++i) {
        c.times.push_back(T0 + (firstSecond + static_cast<double>(i)) * OneSecond);
        c.values.push_back(static_cast<float>(i % 100));
    }
    return c;
}

RecordingInfo Info(const std::vector<ChannelInfo>& channels, double spanSeconds) {
    RecordingInfo info;
    info.valueMax = 100;
    info.valueMin = -20;
    info.startTime = T0;
    info.endTime = T0 + spanSeconds * OneSecond;
    for (const auto& c : channels)
        info.sampleCount += static_cast<int32_t>(c.times.size());
    return info;
}

std::vector<std::string> Captions(const ViewBuild& build) {
    std::vector<std::string> out;
    for (const auto& c : build.columns)
        out.push_back(c.caption);
    return out;
}

} // namespace

TEST(Decimation, StepKeepsAboutAMillionPoints) {
    const std::pair<long long, int> cases[] = {
        {0, 1}, {1000000, 1}, {1000001, 2}, {2500000, 3}, {5242880, 6}};
    for (const auto& [count, step] : cases)
        EXPECT_EQ(DecimationStep(count), step) << count;
}

TEST(BuildViews, ColumnsSeriesAxesCursorsAndFirstPage) {
    const std::vector<ChannelInfo> channels = {Channel(1, std::string(UnitNames[19]), 600),
                                               Channel(3, "Mpa", 600)};
    const RecordingInfo info = Info(channels, 3600);
    int maxSet = 0, steps = 0;
    const ViewBuild b =
        BuildViews(channels, info, 500, {[&](int n) { maxSet = n; }, [&](int n) { steps += n; }});

    EXPECT_EQ(Captions(b), (std::vector<std::string>{"Serial number", "Time", "Channel 1(\xA1\xE6)",
                                                     "Channel 3(Mpa)"}));
    EXPECT_EQ(b.columns[0].width, 50);
    EXPECT_EQ(b.columns[1].width, 120);
    EXPECT_EQ(b.columns[2].width, 70);
    EXPECT_EQ(b.columnChannels, (std::vector<int16_t>{0, 1}));

    ASSERT_EQ(b.series.size(), 2u);
    EXPECT_EQ(b.series[0].title, "Channel 01");
    EXPECT_EQ(b.series[1].title, "Channel 03");
    EXPECT_EQ(b.series[1].unit, "Mpa");
    EXPECT_EQ(b.series[0].colour, 0xFFFFFFu);
    EXPECT_EQ(b.series[1].colour, 0xFF0000u);
    EXPECT_EQ(b.series[1].points.size(), 600u);

    EXPECT_EQ(b.rows.RowCount(), 600u);
    EXPECT_EQ(b.page, (PageWindow{0, 500, 500}));
    EXPECT_EQ(b.pageButtons, (PageButtons{false, false, true, true}));
    EXPECT_TRUE(b.enableFilterButton);

    EXPECT_DOUBLE_EQ(b.timeAxis.minimum, info.startTime);
    EXPECT_DOUBLE_EQ(b.timeAxis.maximum, info.endTime);
    EXPECT_NEAR(b.timeAxis.increment, 360 * OneSecond, 1e-9);
    EXPECT_DOUBLE_EQ(b.valueAxis.minimum, -30);
    EXPECT_DOUBLE_EQ(b.valueAxis.maximum, 110);
    EXPECT_DOUBLE_EQ(b.valueAxis.increment, 14);
    EXPECT_FALSE(b.xZoomStop);
    EXPECT_DOUBLE_EQ(b.timeCursorX, info.startTime);
    EXPECT_DOUBLE_EQ(b.timeCursorY, 100);
    EXPECT_DOUBLE_EQ(b.secondLineY, -20);
    EXPECT_EQ(maxSet, 3);
    EXPECT_EQ(steps, 3);
}

TEST(BuildViews, DecimatesShownSamplesButKeepsEveryGapAndEveryRow) {
    // 1,000,001 samples: every second sample is plotted, counting gap samples in the index.
    std::vector<ChannelInfo> channels = {Channel(1, "V", 1000001)};
    channels[0].values[3] = GapValue;
    channels[0].values[4] = GapValue;
    const ViewBuild b = BuildViews(channels, Info(channels, 1000001), 500);
    const auto& points = b.series[0].points;
    ASSERT_EQ(points.size(), 500001u + 1u); // even indices (4 among them is a gap) plus gap 3
    EXPECT_DOUBLE_EQ(points[0].key, channels[0].times[0]);
    EXPECT_DOUBLE_EQ(points[1].key, channels[0].times[2]);
    EXPECT_TRUE(std::isnan(points[2].value)); // index 3, never decimated
    EXPECT_TRUE(std::isnan(points[3].value)); // index 4
    EXPECT_DOUBLE_EQ(points[4].key, channels[0].times[6]);
    EXPECT_FLOAT_EQ(static_cast<float>(points[4].value), channels[0].values[6]);
    EXPECT_TRUE(b.series[0].keysAscending);
    EXPECT_EQ(b.rows.RowCount(), 1000001u - 2u); // the sheet lists every shown sample
    EXPECT_DOUBLE_EQ(b.nullLevel, -30.0);
}

TEST(BuildViews, TimeZoomStopOnlyForWindowsUnderTenSeconds) {
    const std::vector<ChannelInfo> channels = {Channel(1, "V", 5)};
    const ViewBuild narrow = BuildViews(channels, Info(channels, 5), 500);
    ASSERT_TRUE(narrow.xZoomStop);
    EXPECT_EQ(*narrow.xZoomStop, (ZoomWindow{T0, T0 + 5 * OneSecond}));
    EXPECT_FALSE(BuildViews(channels, Info(channels, 10), 500).xZoomStop);
    // Ten seconds between present-day stamps, whichever way the sum rounds, is not narrower.
    for (int second = 0; second < 50; ++second) {
        const DateTime start = T0 + second * OneSecond;
        EXPECT_FALSE(InitialTimeZoomStop(start, start + 10 * OneSecond)) << second;
        EXPECT_FALSE(InitialTimeZoomStop(start, T0 + (second + 10) * OneSecond)) << second;
    }
    EXPECT_TRUE(InitialTimeZoomStop(T0, T0 + 9.99 * OneSecond));
}

TEST(BuildViews, EmptyRecordingKeepsTheFixedColumnsOnly) {
    RecordingInfo info; // as reset after a failed read
    const ViewBuild b = BuildViews({}, info, 500);
    EXPECT_EQ(Captions(b), (std::vector<std::string>{"Serial number", "Time"}));
    EXPECT_TRUE(b.series.empty());
    EXPECT_EQ(b.rows.RowCount(), 0u);
    EXPECT_EQ(b.page, (PageWindow{0, 0, 0}));
    EXPECT_EQ(b.pageButtons, PageButtons{});
    EXPECT_DOUBLE_EQ(b.valueAxis.minimum, -10);
    EXPECT_DOUBLE_EQ(b.valueAxis.maximum, 10);
    EXPECT_DOUBLE_EQ(b.timeAxis.minimum, 0);
    EXPECT_DOUBLE_EQ(b.timeAxis.maximum, 0);
}

TEST(BuildScreenedViews, SelectedChannelsKeepTheirPositionsAndColours) {
    std::vector<ChannelInfo> channels;
    for (int16_t n = 1; n <= 6; ++n)
        channels.push_back(Channel(n, "V", 20));
    ScreeningSelection selection{T0, T0 + 19 * OneSecond, {}};
    selection.channelFlags[1] = selection.channelFlags[4] = true;
    int steps = 0;
    const ViewBuild b = BuildScreenedViews(channels, Info(channels, 19), selection, 500,
                                           {nullptr, [&](int n) { steps += n; }});
    EXPECT_EQ(Captions(b),
              (std::vector<std::string>{"Serial number", "Time", "Channel 2(V)", "Channel 5(V)"}));
    EXPECT_EQ(b.columnChannels, (std::vector<int16_t>{1, 4}));
    ASSERT_EQ(b.series.size(), 2u);
    EXPECT_EQ(b.series[0].title, "Channel02");
    EXPECT_EQ(b.series[1].title, "Channel05");
    EXPECT_EQ(b.series[0].colour, 0xFF0000u);
    EXPECT_EQ(b.series[1].colour, 0x0000FFu); // position 4 in the colour table
    EXPECT_FALSE(b.enableFilterButton);
    EXPECT_EQ(steps, 7); // one per channel of the recording, selected or not, and the last
}

TEST(BuildScreenedViews, WindowIsInclusiveWithinAMillisecond) {
    std::vector<ChannelInfo> channels = {Channel(1, "V", 0)};
    const double seconds[] = {0, 1, 2, 3, 3.002};
    for (double s : seconds) {
        channels[0].times.push_back(T0 + s * OneSecond);
        channels[0].values.push_back(static_cast<float>(s));
    }
    ScreeningSelection selection{T0 + 1 * OneSecond, T0 + 3 * OneSecond, {}};
    selection.channelFlags.fill(true);
    const ViewBuild b = BuildScreenedViews(channels, Info(channels, 4), selection, 500);
    ASSERT_EQ(b.rows.RowCount(), 3u); // 1, 2 and 3 s; 3.002 s lies 2 ms after the end
    EXPECT_EQ(b.rows.Entries(0)[0].sampleIndex, 1);
    EXPECT_EQ(b.rows.Entries(2)[0].sampleIndex, 3);
    EXPECT_EQ(b.series[0].points.size(), 3u);
    EXPECT_DOUBLE_EQ(b.timeAxis.minimum, selection.start);
    EXPECT_DOUBLE_EQ(b.timeAxis.maximum, selection.end);
    EXPECT_DOUBLE_EQ(b.timeCursorX, selection.start);
    ASSERT_TRUE(b.xZoomStop); // a 2-second window
    EXPECT_EQ(*b.xZoomStop, (ZoomWindow{selection.start, selection.end}));
}

TEST(BuildScreenedViews, WindowBeforeAChannelGivesAColumnAndAnEmptySeries) {
    const std::vector<ChannelInfo> channels = {Channel(1, "V", 10, 100), Channel(2, "V", 10)};
    ScreeningSelection selection{T0, T0 + 20 * OneSecond, {}};
    selection.channelFlags.fill(true);
    const ViewBuild b = BuildScreenedViews(channels, Info(channels, 200), selection, 500);
    EXPECT_EQ(b.columnChannels, (std::vector<int16_t>{0, 1}));
    EXPECT_TRUE(b.series[0].points.empty());
    EXPECT_EQ(b.series[1].points.size(), 10u);
}

TEST(BuildScreenedViews, DecimationCountsOnlyTheWindow) {
    // 1.5 million samples, of which the window holds 600,000: no thinning.
    const std::vector<ChannelInfo> channels = {Channel(1, "V", 1500000)};
    ScreeningSelection selection{T0, T0 + 599999 * OneSecond, {}};
    selection.channelFlags.fill(true);
    const ViewBuild b = BuildScreenedViews(channels, Info(channels, 1500000), selection, 500);
    EXPECT_EQ(b.series[0].points.size(), 600000u);
}

TEST(BuildScreenedViews, ChannelsOutsideTheFlagsAlwaysStay) {
    ScreeningSelection selection;
    EXPECT_FALSE(selection.Selects(1));
    EXPECT_TRUE(selection.Selects(17));
    EXPECT_TRUE(selection.Selects(0));
}

TEST(AxisTicks, AutomaticValueStepsAreRoundWholeNumbers) {
    const std::pair<double, double> cases[] = {{0.05, 1},  {1, 1},      {1.2, 2},    {2, 2},
                                               {3.1, 5},   {7, 10},     {10.02, 20}, {100.2, 200},
                                               {450, 500}, {5000, 5000}};
    for (const auto& [atLeast, nice] : cases)
        EXPECT_DOUBLE_EQ(NiceWholeStep(atLeast), nice) << atLeast;
}

TEST(AxisTicks, DecimalStepsForAChannelsOwnScale) {
    const std::pair<double, double> cases[] = {{0.13, 0.2}, {0.2, 0.2}, {0.031, 0.05},
                                               {0.7, 1},    {23, 50},   {0, 1}};
    for (const auto& [atLeast, nice] : cases)
        EXPECT_DOUBLE_EQ(NiceDecimalStep(atLeast), nice) << atLeast;
    const std::pair<double, int> decimals[] = {{0.2, 1}, {0.1, 1}, {0.05, 2}, {1, 0}, {50, 0}};
    for (const auto& [step, places] : decimals)
        EXPECT_EQ(StepDecimals(step), places) << step;
}

TEST(AxisTicks, TimeStepsRoundUpToReadableSteps) {
    const std::pair<double, double> cases[] = {{0.2 * OneSecond, OneSecond},
                                               {OneSecond, OneSecond},
                                               {3 * OneSecond, 5 * OneSecond},
                                               {360 * OneSecond, 600 * OneSecond},
                                               {0.1, 3.0 / 24},
                                               {1.0, 1.0},
                                               {3.0, 7.0},
                                               {45.0, 60.0},
                                               {400.0, 730.0}};
    for (const auto& [desired, nice] : cases)
        EXPECT_NEAR(NiceTimeStep(desired), nice, 1e-12) << desired;
}

TEST(AxisTicks, StepWidensUntilLabelsFit) {
    EXPECT_DOUBLE_EQ(ReadableStep(14, 140, 800, 40), 14); // ten labels fit in 20 places
    EXPECT_DOUBLE_EQ(ReadableStep(14, 140, 200, 40), 28); // five places for ten labels
    EXPECT_DOUBLE_EQ(ReadableStep(0, 50, 800, 40), 5);    // no increment: a tenth of the span
    EXPECT_DOUBLE_EQ(ReadableStep(0, 0, 800, 40), 1);     // nothing to divide
    EXPECT_DOUBLE_EQ(ReadableStep(1, 1e6, 10, 40), 1e6);  // one label at most
}

TEST(BuildScreenedViews, EverythingSelectedGivesTheLoadsViewsButTheTitles) {
    std::vector<ChannelInfo> channels = {Channel(1, "V", 30), Channel(2, "A", 25, 0.5),
                                         Channel(4, "V", 10, 7)};
    channels[1].values[3] = GapValue;
    const RecordingInfo info = Info(channels, 30);
    ScreeningSelection selection{info.startTime, info.endTime, {}};
    selection.channelFlags.fill(true);
    const ViewBuild load = BuildViews(channels, info, 10);
    const ViewBuild screened = BuildScreenedViews(channels, info, selection, 10);
    EXPECT_EQ(Captions(screened), Captions(load));
    EXPECT_EQ(screened.columnChannels, load.columnChannels);
    ASSERT_EQ(screened.rows.RowCount(), load.rows.RowCount());
    for (size_t r = 0; r < load.rows.RowCount(); ++r) {
        EXPECT_EQ(screened.rows.Time(r), load.rows.Time(r));
        EXPECT_TRUE(std::ranges::equal(screened.rows.Entries(r), load.rows.Entries(r))) << r;
    }
    ASSERT_EQ(screened.series.size(), load.series.size());
    for (size_t s = 0; s < load.series.size(); ++s) {
        EXPECT_EQ(screened.series[s].colour, load.series[s].colour);
        ASSERT_EQ(screened.series[s].points.size(), load.series[s].points.size());
        for (size_t i = 0; i < load.series[s].points.size(); ++i) {
            EXPECT_EQ(screened.series[s].points[i].key, load.series[s].points[i].key);
            EXPECT_EQ(std::isnan(screened.series[s].points[i].value),
                      std::isnan(load.series[s].points[i].value));
        }
    }
    EXPECT_EQ(load.series[2].title, "Channel 04");
    EXPECT_EQ(screened.series[2].title, "Channel04");
    EXPECT_EQ(screened.page, load.page);
    EXPECT_EQ(screened.pageButtons, load.pageButtons);
    EXPECT_DOUBLE_EQ(screened.valueAxis.minimum, load.valueAxis.minimum);
    EXPECT_DOUBLE_EQ(screened.timeAxis.maximum, load.timeAxis.maximum);
}

TEST(BuildScreenedViews, ScanStopsAtTheFirstSampleAfterTheEnd) {
    // Half a millisecond before S still counts as S; a sample after E ends the channel even
    // when later stored samples fall back into the window.
    std::vector<ChannelInfo> channels = {Channel(1, "V", 0)};
    for (double s : {0.9995, 1.0, 2.0, 5.0, 2.5}) {
        channels[0].times.push_back(T0 + s * OneSecond);
        channels[0].values.push_back(1.0f);
    }
    ScreeningSelection selection{T0 + OneSecond, T0 + 3 * OneSecond, {}};
    selection.channelFlags.fill(true);
    const ViewBuild b = BuildScreenedViews(channels, Info(channels, 5), selection, 500);
    ASSERT_EQ(b.rows.RowCount(), 2u); // 0.9995 and 1.0 share a row, then 2.0
    EXPECT_EQ(b.rows.Entries(0).size(), 2u);
    EXPECT_EQ(b.rows.Entries(1)[0].sampleIndex, 2);
    EXPECT_EQ(b.series[0].points.size(), 3u);
}

TEST(DetailOnZoom, AZoomedWindowPlotsWhatAScreeningOfItPlots) {
    // Three channels of 700,000 one-second samples in records, as a data file gives them, with
    // interruptions (gap points) and gap values among the words: the views plot every third
    // sample. A window of a little over 1,100,000 samples is plotted every second sample, one of
    // an hour every sample; both exactly as a screening of the window with those channels.
    std::vector<ChannelInfo> channels(3);
    for (size_t c = 0; c < channels.size(); ++c) {
        ChannelInfo& ch = channels[c];
        ch.channel = static_cast<int16_t>(c + 1);
        ch.unit = "V";
        ch.values.PreferDivisor(10);
        for (int start = 0; start < 700000; start += 8000) {
            if (start == 320000) {
                ch.times.push_back(T0 + (start - 1) * OneSecond);
                ch.values.push_back(GapValue);
            }
            const DateTime recordTime = RecorderSecondsToDateTime(479811600 + start);
            const auto count = static_cast<uint32_t>(std::min(8000, 700000 - start));
            ch.times.AppendRun(recordTime, OneSecond, 0, count);
            for (uint32_t k = 0; k < count; ++k)
                ch.values.push_back(k == 77 * (c + 1) ? GapValue : static_cast<float>(k % 997) / 10);
        }
    }
    const RecordingInfo info = Info(channels, 700000);
    const ViewBuild built = BuildViews(channels, info, 500);
    const std::vector<int16_t> positions = {0, 1, 2};
    ASSERT_EQ(DecimationStep(info.sampleCount), 3);
    for (const auto& [fromSecond, toSecond, step] :
         {std::tuple{100000.0, 470000.0, 2}, {300000.5, 303600.5, 1}, {-50.0, 1000.0, 1}}) {
        SCOPED_TRACE(fromSecond);
        const DateTime from = T0 + fromSecond * OneSecond, to = T0 + toSecond * OneSecond;
        ScreeningSelection selection;
        selection.start = from;
        selection.end = to;
        selection.channelFlags.fill(true);
        const ViewBuild screened = BuildScreenedViews(channels, info, selection, 500);
        ASSERT_EQ(ScreenedWindowStep(channels, positions, from, to), step);
        const auto refined = PlotScreenedWindow(channels, positions, from, to, step);
        ASSERT_EQ(refined.size(), screened.series.size());
        for (size_t s = 0; s < refined.size(); ++s) {
            const std::vector<PlotPoint>& expected = screened.series[s].points;
            ASSERT_EQ(refined[s].size(), expected.size()) << "series " << s;
            size_t nulls = 0;
            for (size_t i = 0; i < expected.size(); ++i) {
                ASSERT_EQ(refined[s][i].key, expected[i].key) << "series " << s << " point " << i;
                ASSERT_EQ(std::isnan(refined[s][i].value), std::isnan(expected[i].value));
                if (std::isnan(expected[i].value))
                    ++nulls;
                else
                    ASSERT_EQ(refined[s][i].value, expected[i].value) << "series " << s;
            }
            EXPECT_LT(expected.size(), built.series[s].points.size() + 1);
            if (step == 2) {
                EXPECT_GT(nulls, 0u); // the interruption and the gap values lie in the window
            }
        }
    }
}
