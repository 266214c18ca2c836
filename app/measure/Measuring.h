#pragma once
// Measuring in the trend chart. Owns the read-out on the legend (time cursor A alone, or A and
// the measuring cursor B with their differences), the statistics table between the cursors,
// the "each channel on its own scale" mode with the recorded channels' scales, the vernier
// dialog's use from a double-click or the View menu, and the remembered mode in config.ini.
//
// Needs: the window (parent of the table), the chart with its cursors, the recording on screen
// (read only), the attached dialogs (the vernier dialog), the timer that allows zooming again
// after the vernier dialog, and the commands it enables: the own-scales toggle and the chart
// menu's measuring items. Asks for the trend diagram through ChartWanted.

#include "app/WindowDialogs.h"
#include "app/recording/ShownRecording.h"
#include "chart/ChartReadout.h"
#include "chart/TrendChart.h"

#include <QObject>

#include <string>
#include <vector>

class QAction;
class QTimer;
class TStatisticsDlg;

class Measuring : public QObject {
    Q_OBJECT
public:
    struct Actions {
        QAction* ownScales;   // View menu and tool bar, checkable
        QAction* measure;     // chart menu: "Measure from here"
        QAction* hideMeasure; // chart menu: "Hide measuring cursor"
        QAction* statistics;  // chart menu: "Statistics A–B..."
    };
    Measuring(QWidget* window, TrendChart* chart, const ShownRecording& shown,
              const WindowDialogs& dialogs, QTimer* timerForAllowZoom, const Actions& actions);

    // The config.ini that remembers the own-scales mode; its mode is shown at once.
    void UseConfigFile(const std::string& path);
    // The View menu's and tool bar's toggle: sets the mode and remembers it in config.ini.
    void OwnScalesMenuItemClick(bool on);
    // Sets the mode without remembering it (the tool's --own-scales).
    void ShowOwnScales(bool on);
    // The recorded channels' ranges to the chart, once the views are built.
    void ApplySeriesScales();

    // The read-out at the time cursor's X value: legend title and one entry per series.
    void ChartCursorToolChange(double xValue);
    // The vernier dialog places the cursors by typed values; zooming is off until 100 ms
    // after it has closed.
    void OnChartDoubleClick();
    // View > "Vernier…": the dialog of a double-click, over the trend diagram.
    void VernierMenuItemClick();
    void OnAllowZoom();

    // "Measure from here": cursor B at that time (settled on a whole second of the visible
    // window).
    void MeasureFromHere(double time);
    void HideMeasuringCursor();
    // A recording, or a window of it, that is no longer shown takes cursor B, the statistics
    // and the read-out with it.
    void ForgetRecording();
    // "Statistics A–B...": the non-modal table, updated as the cursors move.
    void StatisticsMenuItemClick();
    // The table's rows: one per shown series, cells as StatisticsCells gives them.
    std::vector<std::vector<std::string>> StatisticsRows() const;
    // Null until the table was first asked for.
    TStatisticsDlg* StatisticsDlg() const { return statistics_; }

signals:
    void ChartWanted();

private:
    void ConnectChart();
    void MeasureReadout();
    // The plotted series as the read-out reads them, and its texts put on the legend.
    std::vector<ReadoutSeries<QCPGraphData>> PlottedReadoutSeries() const;
    void ShowReadoutTexts(const ReadoutTexts& texts);
    void UpdateStatistics();
    bool Measurable() const;

    QWidget* window_;
    TrendChart* chart_;
    const ShownRecording& shown_;
    const WindowDialogs& dialogs_;
    QTimer* timerForAllowZoom_;
    Actions actions_;
    std::string configPath_;
    double contextMenuTime_ = 0; // where the chart menu was opened
    TStatisticsDlg* statistics_ = nullptr;
};
