// Measuring against a bare chart and its legend, without the main window: the recording on
// screen is a value the test fills as the recording's views would.
#include "app/measure/Measuring.h"
#include "views/IntervalStatistics.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const DateTime T0 = 42079 + 8.0 / 24; // 2015-03-16 08:00:00

// One channel in ℃, a sample a second for 100 seconds reading 0.0, 0.1 ... 9.9; range 0..100.
class MeasuringTest : public ::testing::Test {
protected:
    MeasuringTest() {
        ChannelInfo channel;
        channel.channel = 1;
        channel.rangeLow = 0;
        channel.rangeHigh = 100;
        SeriesBuild series;
        for (int i = 0; i < 100; ++i) {
            channel.times.push_back(T0 + i * OneSecond);
            channel.values.push_back(static_cast<float>(i) / 10);
            series.points.push_back({T0 + i * OneSecond, i / 10.0});
        }
        shown_.channels = {channel};
        shown_.recordingInfo = {9.9f, 0.0f, T0, T0 + 99 * OneSecond, 100};
        chart_.resize(900, 600);
        chart_.SetTimeAxis(T0, T0 + 99 * OneSecond, 0);
        chart_.SetValueAxis(-10, 110, 0);
        QCPGraph* graph =
            chart_.AddSeries("Channel 01", Qt::white, TrendChart::MakeSeriesData(series));
        shown_.SeriesInfos.push_back({"Channel 01", "", graph, "\u2103", 1, 0, true});
        ownScales_.setCheckable(true); // as the window's toggle
    }
    QString Entry() const { return shown_.SeriesInfos[0].series->name(); }

    QTemporaryDir dir_;
    QWidget window_;
    TrendChart chart_;
    ShownRecording shown_;
    WindowDialogs dialogs_;
    QTimer allowZoom_;
    QAction ownScales_{"own"}, measure_{"measure"}, hide_{"hide"}, statistics_{"statistics"};
    Measuring measuring_{&window_, &chart_,     shown_,
                         dialogs_, &allowZoom_, {&ownScales_, &measure_, &hide_, &statistics_}};
};

} // namespace

TEST_F(MeasuringTest, ReadsOutAtTheCursorsAndCountsTheSamplesBetweenThem) {
    const DateTime a = T0 + 23 * OneSecond, b = T0 + 53 * OneSecond;
    chart_.Tool()->SetXValue(a);
    EXPECT_EQ(chart_.LegendTitle().toStdString(), ReadoutTitle(a));
    EXPECT_EQ(Entry(), "Channel 01 2.300\u2103");

    measuring_.MeasureFromHere(b);
    ASSERT_TRUE(chart_.ToolB()->Active());
    EXPECT_EQ(chart_.LegendTitle().toStdString(), PairTitle(a, b));
    EXPECT_TRUE(Entry().startsWith("Channel 01  A 2.300\u2103")) << Entry().toStdString();
    const auto rows = measuring_.StatisticsRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], StatisticsCells(1, "\u2103", StatisticsOf(shown_.channels[0], a, b, true)));
    EXPECT_EQ(rows[0][2], "31"); // both ends included

    measuring_.HideMeasuringCursor();
    EXPECT_EQ(chart_.LegendTitle().toStdString(), ReadoutTitle(a));
    EXPECT_EQ(Entry(), "Channel 01 2.300\u2103");

    // Live values are not measured.
    shown_.RealTimeMode = true;
    measuring_.MeasureFromHere(b);
    EXPECT_FALSE(chart_.ToolB()->Active());
}

TEST_F(MeasuringTest, OwnScalesAreRememberedAndGiveEachChannelItsRange) {
    const std::string config = dir_.filePath("config.ini").toStdString();
    measuring_.UseConfigFile(config);
    EXPECT_FALSE(chart_.OwnScales() || ownScales_.isChecked()); // off without the file
    measuring_.ApplySeriesScales();
    ownScales_.trigger();
    EXPECT_TRUE(chart_.OwnScales() && ownScales_.isChecked());
    QCPAxis* axis = shown_.SeriesInfos[0].series->valueAxis();
    ASSERT_NE(axis, chart_.yAxis);
    EXPECT_EQ(axis->label(), "Channel 1 (\u2103)");
    EXPECT_NEAR(axis->range().upper, 100, 1e-9);

    QFile file(QString::fromStdString(config));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("[CHART]\nownScales=1"));
    ownScales_.setChecked(false);
    measuring_.UseConfigFile(config);
    EXPECT_TRUE(ownScales_.isChecked());
}
