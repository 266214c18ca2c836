// The trend chart in the main window: zoom with its stop, keyboard undo, the read-out while the
// cursor moves, and the vernier dialog of a double-click.
#include "app/Startup.h"
#include "chart/ChartReadout.h"
#include "chart/CursorMoveDlg.h"
#include "data/RecorderFileWriter.h"
#include "tests/app/RampRecording.h"

#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const DateTime T0 = RampStart;

class MainFormChartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        settings_ =
            std::make_unique<QSettings>(dir_.filePath("Korvane.conf"), QSettings::IniFormat);
        objects_ = CreateStartupObjects(*settings_);
        w = objects_->MainForm.get();
        w->SetMessagePresenter([](QWidget*, const UserMessage& m) { FAIL() << m.text; });
        w->resize(1280, 900);
        w->show();
        chart = w->Chart;
    }

    void Open(int samples) {
        const QString path = dir_.filePath("ramp.bin");
        WriteRampRecording(path, samples);
        w->OpenDataFile(path);
        chart->replot();
    }

    QPoint At(double x, double y) const {
        return {static_cast<int>(chart->xAxis->coordToPixel(x)),
                static_cast<int>(chart->yAxis->coordToPixel(y))};
    }
    void Drag(Qt::MouseButton button, QPoint from, QPoint to) {
        QTest::mousePress(chart, button, {}, from);
        QTest::mouseMove(chart, (from + to) / 2);
        QTest::mouseMove(chart, to);
        QTest::mouseRelease(chart, button, {}, to);
        chart->replot();
    }
    // A rectangle over the given seconds and the middle of the value range.
    void ZoomSeconds(double from, double to) {
        const QCPRange v = chart->yAxis->range();
        Drag(Qt::LeftButton, At(T0 + from * OneSecond, v.upper - v.size() / 4),
             At(T0 + to * OneSecond, v.lower + v.size() / 4));
    }
    double Seconds(double x) const { return (x - T0) / OneSecond; }
    QString Entry() const { return w->Recording().SeriesInfos.at(0).series->name(); }

    QTemporaryDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<StartupObjects> objects_;
    TMainForm* w = nullptr;
    TrendChart* chart = nullptr;
};

} // namespace

TEST_F(MainFormChartTest, DraggedZoomStopsAtTheFirstNarrowWindowAndKeysUndoIt) {
    Open(1234);
    ZoomSeconds(100, 160); // a minute: wide, nothing recorded
    EXPECT_TRUE(w->Recording().XZoomStopPending);
    EXPECT_NEAR(Seconds(chart->xAxis->range().lower), 100, 2);
    // The cursor sat at the start, left of the new window: it moves to the left edge, on the
    // first whole second inside the window, and the read-out follows it.
    const double edge = chart->xAxis->range().lower;
    EXPECT_GE(w->ChartTool->XValue(), edge);
    EXPECT_LT(w->ChartTool->XValue() - edge, OneSecond);
    EXPECT_EQ(FormatDateTime(w->ChartTool->XValue(), "zzz"), "000");
    EXPECT_EQ(chart->LegendTitle().toStdString(), ReadoutTitle(w->ChartTool->XValue()));

    ZoomSeconds(120, 125); // five seconds: accepted and remembered
    ASSERT_FALSE(w->Recording().XZoomStopPending);
    const QCPRange stop = chart->xAxis->range();
    EXPECT_NEAR(stop.size() / OneSecond, 5, 0.5);
    EXPECT_EQ(w->Recording().XZoomStop, (ZoomWindow{stop.lower, stop.upper}));

    ZoomSeconds(121.5, 123); // narrower again: back to the remembered window
    EXPECT_EQ(chart->xAxis->range(), stop);
    EXPECT_NEAR(chart->TimeIncrement(), stop.size() * 0.1, 1e-12);

    // Backspace restores the ranges from before the first zoom and forgets the stop.
    chart->setFocus();
    QTest::keyClick(chart, Qt::Key_Backspace);
    EXPECT_TRUE(w->Recording().XZoomStopPending);
    EXPECT_DOUBLE_EQ(chart->xAxis->range().lower, w->Recording().recordingInfo.startTime);
    ZoomSeconds(200, 260);
    QTest::keyClick(chart, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(chart->xAxis->range().upper, w->Recording().recordingInfo.endTime);
}

TEST_F(MainFormChartTest, ReadOutFollowsTheCursorFromBuildToDrag) {
    Open(1234);
    // Placed by the open at the window start plus a tenth of a second.
    EXPECT_EQ(chart->LegendTitle(), "Longitudinal vernier X: 2015-03-16 08:00:00");
    EXPECT_EQ(Entry(), "Channel 01 0.000℃");
    EXPECT_EQ(w->Recording().SeriesInfos[0].title, "Channel 01");

    // Dragging the line reads out on every move.
    const QRect area = chart->axisRect()->rect();
    const int line = static_cast<int>(chart->xAxis->coordToPixel(w->ChartTool->XValue()));
    QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(line + 3, area.center().y()));
    std::vector<QString> seen;
    for (int dx : {150, 300}) {
        QTest::mouseMove(chart, QPoint(line + dx, area.center().y()));
        seen.push_back(Entry());
        const double x = w->ChartTool->XValue();
        EXPECT_EQ(chart->LegendTitle().toStdString(), ReadoutTitle(x));
        const long nearest = std::lround(Seconds(x));
        EXPECT_EQ(Entry(), QString("Channel 01 %1℃").arg(nearest % 1000 / 10.0, 0, 'f', 3));
    }
    QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(line + 300, area.center().y()));
    EXPECT_NE(seen[0], seen[1]);

    // Another view sets the time programmatically.
    w->Views().SetTimeCursor(T0 + 1233.4 * OneSecond);
    EXPECT_DOUBLE_EQ(w->Views().TimeCursor(), T0 + 1233.4 * OneSecond);
    EXPECT_EQ(Entry(), "Channel 01 23.300℃");
    w->Views().SetTimeCursor(T0 + 1234 * OneSecond); // a second after the last sample
    EXPECT_EQ(Entry(), "Channel 01  ---");
}

TEST_F(MainFormChartTest, DragEndingBetweenSamplesShowsTheTimeAndValuesOfOneSample) {
    Open(1234); // one sample a second, value (second % 1000) / 10
    chart->xAxis->setRange(T0 + 600 * OneSecond, T0 + 610 * OneSecond);
    chart->replot();
    w->Views().SetTimeCursor(T0 + 601 * OneSecond);
    const int y = chart->axisRect()->rect().center().y();
    const QPoint from = At(w->ChartTool->XValue(), 0);
    const QPoint to = At(T0 + 605.6 * OneSecond, 0); // 08:10:05.6, nearest the sample of :06
    QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(from.x(), y));
    QTest::mouseMove(chart, QPoint(to.x(), y));
    QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(to.x(), y));
    EXPECT_EQ(chart->LegendTitle().toStdString(), ReadoutTitle(T0 + 606 * OneSecond));
    EXPECT_EQ(Entry(), "Channel 01 60.600℃");
}

TEST_F(MainFormChartTest, DoubleClickPlacesCursorsByTypedValuesOrCancels) {
    Open(1234);
    TOKBottomDlg* dialog = objects_->OKBottomDlg.get();
    const QPoint inside = chart->axisRect()->rect().center();
    const double x = w->ChartTool->XValue(), y = w->ChartTool->YValue(),
                 y2 = w->ChartTool2->YValue();

    // Cancel after ticking the second line's box changes nothing.
    bool shown = false;
    QTimer::singleShot(0, dialog, [&] {
        shown = dialog->isVisible();
        EXPECT_FALSE(chart->ZoomAllowed());
        EXPECT_EQ(dialog->YValueEdit->text(), "100");
        dialog->ShowY2->setChecked(true);
        dialog->YValueEdit->setText("50");
        dialog->CancelBtn->click();
    });
    QTest::mouseDClick(chart, Qt::LeftButton, {}, inside);
    EXPECT_TRUE(shown);
    EXPECT_EQ(w->ChartTool->XValue(), x);
    EXPECT_EQ(w->ChartTool->YValue(), y);
    EXPECT_EQ(w->ChartTool2->YValue(), y2);
    EXPECT_FALSE(dialog->ShowY2Flag);
    EXPECT_FALSE(w->ChartTool2->Active());

    // Zooming is off until 100 ms after the dialog closed, then a drag zooms again.
    EXPECT_FALSE(chart->ZoomAllowed());
    EXPECT_TRUE(w->TimerForAllowZoom->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(chart->ZoomAllowed(), 1000);
    QSignalSpy zoomed(chart, &TrendChart::Zoomed);
    ZoomSeconds(100, 400);
    EXPECT_EQ(zoomed.count(), 1);

    // OK applies the typed values and the "Show" boxes.
    QTimer::singleShot(0, dialog, [&] {
        dialog->YValueEdit->setText("50");
        dialog->Y2ValueEdit->setText("20");
        dialog->ShowY->setChecked(true);
        dialog->ShowY2->setChecked(true);
        dialog->OKBtn->click();
    });
    QTest::mouseDClick(chart, Qt::LeftButton, {}, chart->axisRect()->rect().center());
    EXPECT_EQ(w->ChartTool->YValue(), 50);
    EXPECT_EQ(w->ChartTool2->YValue(), 20);
    EXPECT_EQ(w->ChartTool->GetStyle(), ChartCursorTool::Style::Both);
    EXPECT_TRUE(w->ChartTool2->Active());
    EXPECT_TRUE(dialog->ShowY2Flag);
    QTRY_VERIFY_WITH_TIMEOUT(chart->ZoomAllowed(), 1000);
}

TEST_F(MainFormChartTest, ViewMenuOpensTheVernierDialogOverTheChart) {
    QAction* item = w->VernierMenuItem;
    EXPECT_EQ(item->text(), QStringLiteral("Vernier…"));
    EXPECT_FALSE(item->shortcut().isEmpty());
    EXPECT_TRUE(w->menuBar()->actions().at(1)->menu()->actions().contains(item));
    TOKBottomDlg* dialog = objects_->OKBottomDlg.get();
    int shown = 0;
    QTimer::singleShot(0, dialog, [&] { shown += dialog->isVisible(); });
    item->trigger(); // nothing to place the cursors on yet
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, 0);

    Open(1234);
    w->DataTableMenuItemClick();
    QTimer::singleShot(0, dialog, [&] {
        shown += dialog->isVisible();
        EXPECT_EQ(dialog->OldXValue, w->ChartTool->XValue());
        dialog->YValueEdit->setText("50");
        dialog->OKBtn->click();
    });
    item->trigger();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(w->CurrentPage, ShownPage::TrendDiagram);
    EXPECT_EQ(w->ChartTool->YValue(), 50);
}

TEST_F(MainFormChartTest, EmptyChartHasNoTickLabelsAndTheLegendSitsBesideThePlot) {
    chart->replot();
    EXPECT_FALSE(chart->xAxis->tickLabels());
    EXPECT_FALSE(chart->yAxis->tickLabels());
    Open(1234);
    EXPECT_TRUE(chart->xAxis->tickLabels());
    EXPECT_GE(chart->legend->outerRect().left(), chart->axisRect()->outerRect().right());
    // The read-out title is drawn, not hidden under the legend's background.
    const QImage picture = chart->toPixmap().toImage();
    const QRect title = chart->legend->item(0)->rect();
    int lit = 0;
    for (int y = title.top(); y <= title.bottom(); ++y)
        for (int x = title.left(); x <= title.right(); ++x)
            lit += qGray(picture.pixel(x, y)) > 128;
    EXPECT_GT(lit, 50);

    // The value axis (-10 to 110, desired increment 12) labels round steps.
    const QVector<double> ticks = chart->yAxis->tickVector();
    ASSERT_GE(ticks.size(), 2);
    const double step = ticks[1] - ticks[0];
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    EXPECT_TRUE(step == power || step == 2 * power || step == 5 * power) << step;
    for (double tick : ticks)
        EXPECT_DOUBLE_EQ(std::fmod(tick, step), 0.0) << tick;
}

TEST(VernierDialog, RefusalKeepsItOpenWithFocusAndPickersChangeTheirOwnPart) {
    TOKBottomDlg dialog;
    std::vector<std::string> messages;
    dialog.SetMessagePresenter([&](QWidget*, const UserMessage& m) { messages.push_back(m.text); });
    const DateTime x = T0 + 300.25 * OneSecond;
    dialog.PrepareVernier(x, 23.7, -3.7, T0, T0 + 600 * OneSecond, -10.5, 99.9);
    dialog.show();
    EXPECT_EQ(dialog.Y2ValueEdit->text(), "-3");

    dialog.Y2ValueEdit->setText("abc");
    dialog.OKBtn->click();
    EXPECT_EQ(messages, std::vector<std::string>{"Please enter a valid integer."});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.Y2ValueEdit);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    dialog.XValueDate->setDate(QDate(2015, 3, 17));
    EXPECT_DOUBLE_EQ(dialog.DatePickerValue(), x + 1);
    EXPECT_DOUBLE_EQ(dialog.TimePickerValue(), x);
    dialog.XValueTime->setTime(QTime(8, 1, 0));
    EXPECT_NEAR(dialog.TimePickerValue(), T0 + 60 * OneSecond, OneMillisecond / 10);
    dialog.XValueDate->setDate(QDate(2015, 3, 16));
    dialog.Y2ValueEdit->setText("-10");
    dialog.ShowY->setChecked(true);
    dialog.OKBtn->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_NEAR(dialog.NewXValue, T0 + 60 * OneSecond, OneMillisecond / 10);
    EXPECT_EQ(dialog.NewYValue, 23.7);
    EXPECT_EQ(dialog.NewY2Value, -10);
    EXPECT_TRUE(dialog.ShowYFlag);

    // Tab order as designed.
    QWidget* expected[] = {dialog.OKBtn,      dialog.CancelBtn,  dialog.YValueEdit,
                           dialog.XValueDate, dialog.XValueTime, dialog.Y2ValueEdit,
                           dialog.ShowY,      dialog.ShowY2};
    for (size_t i = 0; i + 1 < std::size(expected); ++i) {
        QWidget* next = expected[i]->nextInFocusChain();
        while (next->focusProxy() || !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, expected[i + 1]) << i;
    }
    EXPECT_EQ(dialog.Label1->text(), "Longitudinal vernier X：");
    EXPECT_EQ(dialog.CancelBtn->text(), "Cancel ");
}
