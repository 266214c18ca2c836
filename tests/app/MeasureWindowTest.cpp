// Comparing and measuring in the window: each channel on its own scale, the measuring cursor B
// and the statistics between the cursors, on the demo recording (three channels: -20..150 ℃,
// 0..1.6 Mpa, 0..250 m3/h on a shared axis of -30..260).
#include "app/Startup.h"
#include "app/StatisticsDlg.h"
#include "chart/ChartLegend.h"
#include "chart/ChartReadout.h"
#include "chart/CursorMoveDlg.h"
#include "tests/ToolProgram.h"
#include "tests/app/PictureText.h"
#include "views/IntervalStatistics.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include <sstream>

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
    int PixelOf(DateTime t) const { return static_cast<int>(chart->xAxis->coordToPixel(t)); }
    // The tool's lines for the arguments, run on the demo as a script would.
    std::vector<std::string> ToolLines(std::vector<std::string> args) const {
        args.insert(args.begin() + 1, RECORDER_DEMO_FILE);
        const ToolResult r = RunTool(RECORDER_TOOL, args, dir_.path().toStdString());
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> lines;
        std::istringstream in(r.out);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    // The legend as the window shows it: title, then one entry per series.
    std::vector<std::string> Legend() const {
        std::vector<std::string> lines = {chart->LegendTitle().toStdString()};
        for (const QString& entry : Entries())
            lines.push_back(entry.toStdString());
        return lines;
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
    // The legend holds the longer texts instead of cutting them off.
    chart->replot();
    EXPECT_GE(chart->legend->outerRect().width(), chart->legend->minimumOuterSizeHint().width());
    const int legendWidth = chart->legend->outerRect().width();

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
    EXPECT_EQ(chart->legend->outerRect().width(),
              legendWidth); // and keeps its width, as the plot does

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
    // Pasted into a report, the numbers come with their interval.
    const QStringList lines = QApplication::clipboard()->text().split('\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0], "A\t2015-03-16 10:29:50");
    EXPECT_EQ(lines[1], "B\t2015-03-16 10:30:00");
    EXPECT_EQ(lines[2], "\u0394t\t00:00:10");
    EXPECT_EQ(lines[3], "channel\tunit\tcount\tmin\tmin_time\tmax\tmax_time\tmean\tfirst\tlast\t"
                        "difference");
    EXPECT_TRUE(lines[5].startsWith("2\tMpa\t11\t")) << lines[5].toStdString();
    EXPECT_EQ(w->Measure().StatisticsDlg()->IntervalLabel->text(), chart->LegendTitle());

    QTest::keyClick(chart, Qt::Key_Escape); // hiding B closes the table
    EXPECT_FALSE(w->Measure().StatisticsDlg()->isVisible());
}

TEST_F(MeasureWindowTest, EveryPlacementSettlesOnAStoredSecondAndReadsAsTheToolDoes) {
    TOKBottomDlg* vernier = objects_->OKBottomDlg.get();
    const QRect area = chart->axisRect()->rect();
    // Types the time of day into the vernier dialog, as its sections are edited: the
    // prepared fraction of a second stays in the picker.
    auto typeTime = [&](int hour, int minute, int second) {
        QTimer::singleShot(0, vernier, [=] {
            const QTime prepared = vernier->XValueTime->time();
            vernier->XValueTime->setTime(QTime(hour, minute, second, prepared.msec()));
            vernier->OKBtn->click();
        });
        w->Measure().VernierMenuItemClick();
    };
    struct Placement {
        const char* what;
        std::function<void()> place;
        bool wholeSeconds = true; // the open's place keeps its tenth of a second
    };
    const Placement placements[] = {
        {"A as an open places it",
         [&] { w->FinishViewUpdate(w->Recording().recordingInfo.startTime, false); }, false},
        {"zoom fix-up",
         [&] {
             w->Views().SetTimeCursor(Start + 3600 * OneSecond);
             w->Measure().MeasureFromHere(Start + 5400 * OneSecond);
             // A rectangle whose left edge lies between seconds, right of the cursor A.
             chart->xAxis->setRange(Start + 4000.6 * OneSecond, Start + 4900.3 * OneSecond);
             w->ChartZoom();
         }},
        {"B by the menu", [&] { w->Measure().MeasureFromHere(Start + 7200.7 * OneSecond); }},
        {"B by Shift+drag",
         [&] {
             chart->xAxis->setRange(Start + 7000 * OneSecond, Start + 7060 * OneSecond);
             chart->replot();
             const QPoint at(PixelOf(Start + 7030.6 * OneSecond), area.center().y());
             QTest::mousePress(chart, Qt::LeftButton, Qt::ShiftModifier, at);
             QTest::mouseRelease(chart, Qt::LeftButton, Qt::ShiftModifier, at);
         }},
        {"typed whole time",
         [&] {
             w->Views().SetTimeCursor(Start + 1800 * OneSecond);
             typeTime(9, 15, 0);
         }},
        {"typed over a fraction",
         [&] {
             w->Views().SetTimeCursor(Start + 1800.6 * OneSecond);
             typeTime(9, 20, 0);
         }},
    };
    for (const Placement& p : placements) {
        w->Measure().HideMeasuringCursor();
        chart->UndoZoom();
        chart->xAxis->setRange(w->Recording().recordingInfo.startTime,
                               w->Recording().recordingInfo.endTime);
        chart->replot();
        w->Views().SetTimeCursor(Start + 600 * OneSecond);
        w->Measure().MeasureFromHere(Start + 9000 * OneSecond);
        p.place();
        ASSERT_TRUE(w->ChartToolB->Active()) << p.what;
        const DateTime a = w->ChartTool->XValue(), b = w->ChartToolB->XValue();
        for (DateTime t : {a, b}) {
            if (p.wholeSeconds || t == b) {
                EXPECT_EQ(FormatDateTime(t, "zzz"), "000") << p.what;
            }
        }
        const std::string labelA = FormatDateTime(a, ReadoutTimePattern);
        const std::string labelB = FormatDateTime(b, ReadoutTimePattern);
        EXPECT_EQ(ToolLines({"readout", labelA, "--cursor-b", labelB}), Legend()) << p.what;
        const std::vector<std::string> stats = ToolLines({"stats", labelA, labelB});
        const auto rows = w->Measure().StatisticsRows();
        ASSERT_EQ(stats.size(), rows.size() + 1) << p.what;
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(stats[i + 1] + "\n", JoinCells(rows[i], ',')) << p.what;
    }
}

TEST_F(MeasureWindowTest, ThePlotKeepsItsWidthWhileBIsShownAndHidden) {
    for (bool own : {false, true}) {
        w->Measure().ShowOwnScales(own);
        w->Views().SetTimeCursor(Start + 3600 * OneSecond);
        chart->replot();
        const int plotWidth = chart->axisRect()->width();
        // A Shift+press aimed at a moment shows B there; the plot does not narrow under the
        // mouse for the two-cursor texts.
        const DateTime aim = Start + 18000 * OneSecond;
        const QPoint at(PixelOf(aim), chart->axisRect()->rect().center().y());
        QTest::mousePress(chart, Qt::LeftButton, Qt::ShiftModifier, at);
        chart->replot();
        EXPECT_EQ(chart->axisRect()->width(), plotWidth) << own;
        QTest::mouseMove(chart, at);
        QTest::mouseRelease(chart, Qt::LeftButton, Qt::ShiftModifier, at);
        EXPECT_NEAR(PixelOf(w->ChartToolB->XValue()), at.x(), 1) << own;
        // The longer texts break into lines inside the legend instead of widening it.
        chart->replot();
        for (int i = 0; i < chart->legend->itemCount(); ++i) {
            QCPAbstractLegendItem* item = chart->legend->item(i);
            EXPECT_LE(item->minimumOuterSizeHint().width(), item->outerRect().width()) << i;
            EXPECT_TRUE(chart->legend->outerRect().contains(item->outerRect())) << i;
        }
        w->Measure().HideMeasuringCursor();
        chart->replot();
        EXPECT_EQ(chart->axisRect()->width(), plotWidth) << own;
    }
}

TEST_F(MeasureWindowTest, HidingTheAxisChannelMovesTheAxisToTheNextShownChannel) {
    w->Measure().ShowOwnScales(true);
    chart->SetAxisSeries(w->Recording().SeriesInfos[1].series);
    QTest::mouseClick(chart, Qt::LeftButton, {}, LegendItem(1)->CheckBoxRect().center());
    EXPECT_FALSE(w->Recording().SeriesInfos[1].series->visible());
    ASSERT_EQ(chart->AxisSeries(), w->Recording().SeriesInfos[2].series);
    EXPECT_FALSE(w->Recording().SeriesInfos[1].series->valueAxis()->visible());
    EXPECT_TRUE(w->Recording().SeriesInfos[2].series->valueAxis()->visible());
    EXPECT_EQ(w->Recording().SeriesInfos[2].series->valueAxis()->label(), "Channel 3 (m3/h)");
    EXPECT_EQ(LegendItem(2)->GetAxisMarker(), CheckableLegendItem::AxisMarker::Marked);
    EXPECT_EQ(LegendItem(1)->GetAxisMarker(), CheckableLegendItem::AxisMarker::Room);
    // Past the last it wraps round to the first; showing a line again leaves the axis.
    QTest::mouseClick(chart, Qt::LeftButton, {}, LegendItem(2)->CheckBoxRect().center());
    EXPECT_EQ(chart->AxisSeries(), w->Recording().SeriesInfos[0].series);
    QTest::mouseClick(chart, Qt::LeftButton, {}, LegendItem(1)->CheckBoxRect().center());
    EXPECT_EQ(chart->AxisSeries(), w->Recording().SeriesInfos[0].series);
}

TEST_F(MeasureWindowTest, ALineKeepsItsValueWhenTheAxisChannelChanges) {
    w->Measure().ShowOwnScales(true);
    chart->SetAxisSeries(w->Recording().SeriesInfos[1].series); // 0 to 1.6 Mpa
    w->ChartTool2->SetYValue(chart->DrawnOfAxisValue(1.2));
    w->ChartTool->SetYValue(chart->DrawnOfAxisValue(0.4));
    chart->SetAxisSeries(w->Recording().SeriesInfos[0].series); // -20 to 150 ℃
    EXPECT_NEAR(chart->AxisValueOf(w->ChartTool2->YValue()), 1.2, 1e-9);
    EXPECT_NEAR(chart->AxisValueOf(w->ChartTool->YValue()), 0.4, 1e-9);
    chart->SetAxisSeries(w->Recording().SeriesInfos[1].series);
    EXPECT_NEAR(chart->AxisValueOf(w->ChartTool2->YValue()), 1.2, 1e-9);
    // The shared axis keeps the lines where they are.
    w->Measure().ShowOwnScales(false);
    const double drawn = w->ChartTool2->YValue();
    chart->SetAxisSeries(w->Recording().SeriesInfos[2].series);
    EXPECT_EQ(w->ChartTool2->YValue(), drawn);
}

TEST_F(MeasureWindowTest, ALiveRecordOnOwnScalesSaysTheAxisIsTheSharedScale) {
    // A live run's record: no instrument ranges, so every line stays on the shared axis.
    const QString record = dir_.filePath("live-20261210-100800.csv");
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("No.,Channel,Value,Time,Unit\n"
               "1,1,56.1,2026-12-10 10:08:23,V\n"
               "2,2,83.78,2026-12-10 10:08:23,%\n"
               "3,1,57.2,2026-12-10 10:08:24,V\n"
               "4,2,84.5,2026-12-10 10:08:24,%\n");
    file.close();
    w->OpenDataFile(record);
    ASSERT_EQ(w->Recording().SeriesInfos.size(), 2u);
    w->Measure().ShowOwnScales(true);
    EXPECT_TRUE(chart->yAxis->visible());
    EXPECT_EQ(chart->yAxis->label(), "Shared scale");
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(LegendItem(i)->GetAxisMarker(), CheckableLegendItem::AxisMarker::Marked) << i;
    // The demo's channels have ranges: there the axis names its channel again.
    w->OpenDataFile(QStringLiteral(RECORDER_DEMO_FILE));
    EXPECT_FALSE(chart->yAxis->visible());
    EXPECT_EQ(w->Recording().SeriesInfos[0].series->valueAxis()->label(), "Channel 1 (\u2103)");
}

TEST_F(MeasureWindowTest, OpeningImportingOrScreeningHidesBAndClosesTheStatistics) {
    const QString import = dir_.filePath("samples.csv");
    QFile file(import);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("1,1,20.5,2015-03-16 08:00:00,V\n2,1,21.5,2015-03-16 08:00:01,V\n");
    file.close();
    const QString copy = dir_.filePath("demo-copy.bin"); // joins with the demo it repeats
    ASSERT_TRUE(QFile::copy(QStringLiteral(RECORDER_DEMO_FILE), copy));
    ScreeningSelection lateMorning{Start + 3600 * OneSecond, Start + 7200 * OneSecond, {}};
    lateMorning.channelFlags.fill(true);
    struct Case {
        const char* what;
        std::function<void()> replace;
    };
    const Case cases[] = {
        {"opening", [&] { w->OpenDataFile(QStringLiteral(RECORDER_DEMO_FILE)); }},
        {"joining",
         [&] {
             w->Views().OpenDataFiles({QStringLiteral(RECORDER_DEMO_FILE), copy});
         }},
        {"importing", [&] { w->ImportDataFile(import); }},
        {"screening", [&] { w->Views().ApplyScreening(lateMorning); }},
    };
    for (const Case& c : cases) {
        w->OpenDataFile(QStringLiteral(RECORDER_DEMO_FILE));
        w->Views().SetTimeCursor(Start + 3700 * OneSecond);
        w->Measure().MeasureFromHere(Start + 20000 * OneSecond);
        w->Measure().StatisticsMenuItemClick();
        ASSERT_TRUE(w->Measure().StatisticsDlg()->isVisible()) << c.what;
        c.replace();
        EXPECT_FALSE(w->ChartToolB->Active()) << c.what;
        EXPECT_FALSE(w->Measure().StatisticsDlg()->isVisible()) << c.what;
        EXPECT_TRUE(chart->LegendTitle().startsWith("Longitudinal vernier X: ")) << c.what;
    }
}

TEST_F(MeasureWindowTest, OnAChannelsOwnScaleTheVernierLinesTakeItsUnitWithDecimals) {
    TOKBottomDlg* vernier = objects_->OKBottomDlg.get();
    w->Measure().ShowOwnScales(true);
    chart->SetAxisSeries(w->Recording().SeriesInfos[1].series); // 0 to 1.6 Mpa
    // A refusal keeps the dialog open: it is said and the dialog left, so the test goes on.
    std::string refusal;
    vernier->SetMessagePresenter(
        [&](QWidget*, const UserMessage& message) { refusal = message.text; });
    QString shown;
    QTimer::singleShot(0, vernier, [&] {
        shown = vernier->Y2ValueEdit->text();
        vernier->Y2ValueEdit->setText("1.2");
        vernier->ShowY2->setChecked(true);
        vernier->OKBtn->click();
        if (vernier->isVisible())
            vernier->reject();
    });
    w->Measure().VernierMenuItemClick();
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(shown.section('.', 1).size(), 3) << shown.toStdString(); // three decimals
    EXPECT_NEAR(chart->AxisValueOf(w->ChartTool2->YValue()), 1.2, 1e-9);
    // On the shared axis whole numbers, as before.
    w->Measure().ShowOwnScales(false);
    QTimer::singleShot(0, vernier, [&] {
        shown = vernier->Y2ValueEdit->text();
        vernier->CancelBtn->click();
    });
    w->Measure().VernierMenuItemClick();
    EXPECT_FALSE(shown.contains('.')) << shown.toStdString();
}

TEST_F(MeasureWindowTest, SavedAndPrintedChartsOnOwnScalesListEveryChannelsScale) {
    w->Measure().ShowOwnScales(true);
    chart->replot();
    const QImage picture = w->SavePrint().ChartPicture();
    for (const QString& scale :
         {QString("Channel 01  -20\u2013150 \u2103"), QString("Channel 02  0\u20131.6 Mpa"),
          QString("Channel 03  0\u2013250 m3/h")})
        EXPECT_TRUE(HoldsText(picture, scale)) << scale.toStdString();
}
