#pragma once
// The live run in the window. Owns the real-time monitor (the recorder connection, its poller
// and the run's record), the monitored channels (ActiveChannels), the live scales, the run's
// counts and contact state and the two run labels in the status line: Com, Run, the one-second
// tick, Stop, the Global figure page's contents and the points of the live series.
//
// Needs: the window (parent of its boxes), the polling timer, the Global figure page, the
// chart, the status bar, the recording on screen (read only: the series to draw into), the
// attached dialogs (the settings dialog), the worker protocol (ticks pause while a worker
// runs) and a message presenter. The views themselves change only through RecordingViews: its
// signals ask for that, and tell the window how the commands change.

#include "app/WindowDialogs.h"
#include "app/realtime/RealTimeMonitor.h"
#include "app/recording/ShownRecording.h"
#include "chart/OwnScales.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class GlobalFigurePage;
class QLabel;
class QStatusBar;
class QTimer;
class TrendChart;
class WorkerProtocol;

class LiveRun : public QObject {
    Q_OBJECT
public:
    LiveRun(QWidget* window, QTimer* timer, GlobalFigurePage* page, TrendChart* chart,
            QStatusBar* statusBar, const ShownRecording& shown, const WindowDialogs& dialogs,
            const WorkerProtocol& worker, MessagePresenter present);
    ~LiveRun() override;

    RealTimeMonitor& Monitor() { return *monitor_; }
    const std::vector<int16_t>& ActiveChannels() const { return activeChannels_; }
    QLabel* LiveStatusLabel() const { return liveStatus_; }         // the run's counts
    QLabel* NoAnswerStatusLabel() const { return noAnswerStatus_; } // "No answer since ..."
    // The config.ini of live runs and of the settings dialog.
    void SetConfigPath(const std::string& path);

    // Loads the settings dialog from config.ini and shows it modally.
    void ComSettingButtonClick();
    // Starts connecting on the poller; OnRunConnected goes on once it has.
    void RunButtonClick();
    void OnRunConnected(const LiveStartResult& result);
    // The tick asks the poller for a read; OnLiveResult shows what it gave.
    void OnTimer();
    void OnLiveResult(const LivePollResult& result);
    void ApplyLiveResult(const LivePollResult& result);
    // The last live read on the Global figure page, the trend diagram and the data sheet;
    // with a gap, each series breaks there before its new point. Not drawn: on the Global
    // figure page only (a repeated clock).
    void ShowLiveValues(std::optional<DateTime> gap = std::nullopt, bool drawn = true);
    void StopButtonClick();
    void ShowContactState();
    // The status line speaks of what is opened next, no longer of the last run.
    void HideRunStatus();

signals:
    // Commands while Run connects, and back to idle when connecting has ended.
    void Connecting();
    void ConnectEnded();
    // A run has started: the views are to become live views of these channels, with these
    // sheet columns; later the sheet's one row of live values.
    void LiveViewsStarting(const std::vector<int16_t>& activeChannels,
                           const std::vector<SheetColumn>& columns);
    void LiveSheetStarting();
    // A tick's values to become the recording on screen.
    void LiveValuesRead(const DeviceRecords& records, const std::vector<int16_t>& activeChannels);
    void Stopped();
    // The link is no longer active: stopped, or a Run failed or was cancelled.
    void RunEnded();

private:
    // The instrument reports no ranges: its alarm limits, widened to the values seen.
    void ApplyLiveScales();

    QWidget* window_;
    QTimer* timer_;
    GlobalFigurePage* page_;
    TrendChart* chart_;
    const ShownRecording& shown_;
    const WindowDialogs& dialogs_;
    const WorkerProtocol& worker_;
    MessagePresenter present_;
    QLabel* noAnswerStatus_;
    QLabel* liveStatus_;

    std::unique_ptr<RealTimeMonitor> monitor_;
    std::vector<int16_t> activeChannels_;
    LiveScales liveScales_;
    std::optional<LivePollResult> pendingLiveResult_;
    std::optional<DateTime> noAnswerSince_;
    LiveRunState liveState_;
};
