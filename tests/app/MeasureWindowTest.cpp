// Comparing and measuring in the window: each channel on its own scale, the measuring cursor B
// and the statistics between the cursors, on the demo recording (three channels: -20..150 ℃,
// 0..1.6 Mpa, 0..250 m3/h on a shared axis of -30..260).
#include "app/Startup.h"
#include "app/StatisticsDlg.h"
#include "chart/ChartLegend.h"
#include "chart/ChartReadout.h"
#include "views/IntervalStatistics.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const DateTime Start = 42079 + 8.0 / 24; // 2015-03-16 08:00:00

class MeasureWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_ =
            std::make_unique<QSettings>(dir_.filePath("Korvane.conf"), QSettings::IniFormat);
        objects_ = CreateStartupObjects(*settings_);
        w = objects_->MainForm.get();
        w->SetConfigFilePath(ConfigPath());
        w->SetMessagePresenter([](QWidget*, const UserMessage& m) { FAIL() << m.text; });
        w->resize(1280, 900);
        w->show();
        chart = w->Chart;
        w->OpenDataFile(QStringLiteral(RECORDER_DEMO_FILE));
        chart->replot();
    }
    std::string ConfigPath() const { return dir_.filePath("config.ini").toStdString(); }

    // The share of the plot's height over which the line of that colour is drawn.
    double LineSpan(const QImage& picture, QRgb colour) const {
        const QRect area = chart->axisRect()->rect().adjusted(3, 3, -3, -3);
        int top = area.bottom() + 1, bottom = area.top() - 1;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if ((picture.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                    break;
                }
        return bottom < top ? 0.0 : double(bottom - top + 1) / area.height();
    }
    std::vector<QString> Entries() const {
        std::vector<QString> entries;
        for (const ChartSeriesInfo& info : w->Recording().SeriesInfos)
            entries.push_back(info.series->name());
        return entries;
    }
    CheckableLegendItem* LegendItem(int series) const {
        return qobject_cast<CheckableLegendItem*>(
            chart->legend->itemWithPlottable(w->Recording().SeriesInfos.at(series).series));
    }

    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    TMainForm* w = nullptr;
    TrendChart* chart = nullptr;
};

} // namespace

TEST_F(MeasureWindowTest, OwnScalesLetEveryLineFillThePlotAndReadTheSame) {
    ASSERT_EQ(w->Recording().SeriesInfos.size(), 3u);
    EXPECT_FALSE(w->OwnScalesMenuItem->isChecked()); // off by default
    w->Views().SetTimeCursor(Start + 7200.3 * OneSecond);
    const std::vector<QString> shared = Entries();
    const QImage sharedPicture = w->SavePrint().ChartPicture();
    EXPECT_LT(LineSpan(sharedPicture, 0xFF0000), 0.01); // the pressure hugs the bottom

    w->Measure().ShowOwnScales(true);
    const QImage own = w->SavePrint().ChartPicture();
    for (QRgb colour : {0xFFFFFFu, 0xFF0000u, 0xFFFF00u})
        EXPECT_GE(LineSpan(own, colour), 0.25) << std::hex << colour;
    // Read-outs stay in real units.
    w->Views().SetTimeCursor(Start + 7200.3 * OneSecond + OneSecond);
    w->Views().SetTimeCursor(Start + 7200.3 * OneSecond);
    EXPECT_EQ(Entries(), shared);

    // The value axis shows the first channel's scale, titled and marked on the legend.
    EXPECT_EQ(chart->AxisSeries(), w->Recording().SeriesInfos[0].series);
    EXPECT_EQ(LegendItem(0)->GetAxisMarker(), CheckableLegendItem::AxisMarker::Marked);
    EXPECT_EQ(LegendItem(1)->GetAxisMarker(), CheckableLegendItem::AxisMarker::Room);
    EXPECT_FALSE(chart->yAxis->visible());
    QCPAxis* pressureAxis = w->Recording().SeriesInfos[1].series->valueAxis();
    ASSERT_NE(pressureAxis, chart->yAxis);
    EXPECT_NEAR(pressureAxis->range().lower, 0, 1e-9);
    EXPECT_NEAR(pressureAxis->range().upper, 1.6, 1e-6); // the header range is single precision

    // A click on the pressure entry's name makes it the axis channel; its box still hides it.
    const QRect entry = LegendItem(1)->outerRect();
    QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(entry.right() - 10, entry.center().y()));
    EXPECT_EQ(chart->AxisSeries(), w->Recording().SeriesInfos[1].series);
    EXPECT_TRUE(pressureAxis->visible());
    EXPECT_EQ(pressureAxis->label(), "Channel 2 (Mpa)");
    EXPECT_EQ(LegendItem(1)->GetAxisMarker(), CheckableLegendItem::AxisMarker::Marked);
    QTest::mouseClick(chart, Qt::LeftButton, {}, LegendItem(2)->CheckBoxRect().center());
    EXPECT_FALSE(w->Recording().SeriesInfos[2].series->visible());
    EXPECT_EQ(chart->AxisSeries(), w->Recording().SeriesInfos[1].series);

    // Zooming the lower half of the axis zooms every scale to its lower half.
    const QCPRange v = chart->yAxis->range();
    chart->yAxis->setRange(v.lower, v.center());
    EXPECT_NEAR(pressureAxis->range().upper, 0.8, 1e-6);
    EXPECT_NEAR(chart->AxisValueOf(chart->yAxis->range().upper), 0.8, 1e-6);

    // Back to the shared axis: one axis again, the same read-out.
    w->Measure().ShowOwnScales(false);
    EXPECT_TRUE(chart->yAxis->visible());
    EXPECT_EQ(w->Recording().SeriesInfos[1].series->valueAxis(), chart->yAxis);
    EXPECT_EQ(LegendItem(1)->GetAxisMarker(), CheckableLegendItem::AxisMarker::None);
}

TEST_F(MeasureWindowTest, TheModeIsRememberedInConfigIni) {
    w->OwnScalesMenuItem->trigger();
    EXPECT_TRUE(chart->OwnScales());
    QFile file(QString::fromStdString(ConfigPath()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("[CHART]\nownScales=1"));
    file.close();

    QSettings settings(dir_.filePath("other.conf"), QSettings::IniFormat);
    auto again = CreateStartupObjects(settings);
    again->MainForm->SetConfigFilePath(ConfigPath());
    EXPECT_TRUE(again->MainForm->OwnScalesMenuItem->isChecked());
    EXPECT_TRUE(again->MainForm->Chart->OwnScales());
    w->OwnScalesMenuItem->trigger();
    again->MainForm->SetConfigFilePath(ConfigPath());
    EXPECT_FALSE(again->MainForm->Chart->OwnScales());
}

TEST_F(MeasureWindowTest, MeasuringCursorReadsBothCursorsAndEscBringsTheSingleReadOutBack) {
    const DateTime a = Start + 3600 * OneSecond, b = Start + 9000 * OneSecond;
    w->Views().SetTimeCursor(a);
    const QString singleTitle = chart->LegendTitle();
    const std::vector<QString> single = Entries();

    w->Measure().MeasureFromHere(b);
    ASSERT_TRUE(w->ChartToolB->Active());
    EXPECT_EQ(chart->LegendTitle(),
              "A 2015-03-16 09:00:00 \u00B7 B 2015-03-16 10:30:00 \u00B7 \u0394t 01:30:00");
    // "Channel 01 59.000℃" at A: the pair entry starts with the same value.
    const QString first = Entries()[0];
    EXPECT_TRUE(first.startsWith("Channel 01  A " + single[0].mid(11))) << first.toStdString();
    EXPECT_TRUE(first.contains("  B\u2212A ")) << first.toStdString();
    // The legend widens for the longer texts instead of cutting them off.
    chart->replot();
    EXPECT_GE(chart->legend->outerRect().width(), chart->legend->minimumOuterSizeHint().width());
    const int wide = chart->legend->outerRect().width();

    // Moving A or B reads again.
    w->Views().SetTimeCursor(a + 600 * OneSecond);
    EXPECT_TRUE(chart->LegendTitle().endsWith("\u0394t 01:20:00"));

    chart->setFocus();
    QTest::keyClick(chart, Qt::Key_Escape);
    EXPECT_FALSE(w->ChartToolB->Active());
    w->Views().SetTimeCursor(a);
    EXPECT_EQ(chart->LegendTitle(), singleTitle);
    EXPECT_EQ(Entries(), single);
    chart->replot();
    EXPECT_LT(chart->legend->outerRect().width(), wide); // and narrows again

    // Shift+drag shows B and drags it.
    const QRect area = chart->axisRect()->rect();
    const QPoint from(area.left() + area.width() / 3, area.center().y());
    QTest::mousePress(chart, Qt::LeftButton, Qt::ShiftModifier, from);
    QTest::mouseMove(chart, from + QPoint(40, 0));
    QTest::mouseRelease(chart, Qt::LeftButton, Qt::ShiftModifier, from + QPoint(40, 0));
    ASSERT_TRUE(w->ChartToolB->Active());
    EXPECT_NEAR(chart->xAxis->coordToPixel(w->ChartToolB->XValue()), from.x() + 40, 1.0);
    EXPECT_TRUE(chart->LegendTitle().startsWith("A 2015-03-16 09:00:00 \u00B7 B "));
    w->Measure().HideMeasuringCursor();
    EXPECT_EQ(chart->LegendTitle(), singleTitle);
}

TEST_F(MeasureWindowTest, StatisticsTableFollowsTheCursorsAndCopiesAsTabSeparatedText) {
    const DateTime a = Start + 3600 * OneSecond, b = Start + 9000 * OneSecond;
    w->Views().SetTimeCursor(a);
    w->Measure().MeasureFromHere(b);
    w->Measure().StatisticsMenuItemClick();
    ASSERT_NE(w->Measure().StatisticsDlg(), nullptr);
    EXPECT_TRUE(w->Measure().StatisticsDlg()->isVisible());
    EXPECT_FALSE(w->Measure().StatisticsDlg()->isModal());
    // Every stored sample of the interval, not the plotted ones.
    const IntervalStatistics pressure = StatisticsOf(w->Recording().channels[1], a, b, true);
    EXPECT_EQ(pressure.count, 5401u); // one a second, both ends included, no gap there
    EXPECT_EQ(w->Measure().StatisticsDlg()->Table->rowCount(), 3);
    EXPECT_EQ(w->Measure().StatisticsDlg()->Table->item(1, 2)->text(), "5401");
    EXPECT_EQ(w->Measure().StatisticsDlg()->Table->item(1, 3)->text().toStdString(),
              StatisticsCells(2, "Mpa", pressure)[3]);

    w->Views().SetTimeCursor(b - 10 * OneSecond); // the table updates with the cursor
    EXPECT_EQ(w->Measure().StatisticsDlg()->Table->item(1, 2)->text(), "11");
    w->Measure().StatisticsDlg()->CopyButtonClick();
    const QStringList lines = QApplication::clipboard()->text().split('\n');
    EXPECT_EQ(lines[0], "channel\tunit\tcount\tmin\tmin_time\tmax\tmax_time\tmean\tfirst\tlast\t"
                        "difference");
    EXPECT_TRUE(lines[2].startsWith("2\tMpa\t11\t")) << lines[2].toStdString();

    QTest::keyClick(chart, Qt::Key_Escape); // hiding B closes the table
    EXPECT_FALSE(w->Measure().StatisticsDlg()->isVisible());
}
