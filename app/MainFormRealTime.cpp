// The main window's real-time monitoring: Run, the one-second tick, Stop, the settings command
// and the Global figure page. The device side and every text live in app/realtime; here they
// meet the window's views.
//
// A tick only asks the monitor's poller thread for a read; the result comes back as a queued
// call and is shown on this thread. So a silent instrument, whose read waits about a second
// for its reply, never holds up the window (the recorder's own software did the transaction
// on the user-interface thread).

#include "app/DataSheetModel.h"
#include "app/GlobalFigurePage.h"
#include "app/MainFormUnit.h"
#include "app/RealComSettingDlg.h"
#include "app/realtime/LiveViews.h"
#include "data/Text.h"
#include "device/CommSettingsFile.h"
#include "device/IniFile.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace {

QString FromGbk(const std::string& text) {
    return QString::fromStdString(GbkToUtf8(text));
}

// Room above and below the lines, so that a line at its extreme does not vanish into the frame.
constexpr double ValueMarginShare = 0.05;

} // namespace

void TMainForm::CreateGlobalFigurePage() {
    ScrollBox = new GlobalFigurePage(SystemCaseTabSheet);
    auto* layout = new QVBoxLayout(SystemCaseTabSheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ScrollBox);
}

void TMainForm::ConnectRealTimeCommands() {
    realTime_ = std::make_unique<RealTimeMonitor>(ConfigFilePath());
    for (QAction* action : {RunButton, RunMenuItem})
        connect(action, &QAction::triggered, this, &TMainForm::RunButtonClick);
    for (QAction* action : {StopButton, StopMenuItem})
        connect(action, &QAction::triggered, this, &TMainForm::StopButtonClick);
    for (QAction* action : {ComSettingButton, ComSettingMenuItem})
        connect(action, &QAction::triggered, this, &TMainForm::ComSettingButtonClick);
    connect(Timer, &QTimer::timeout, this, &TMainForm::OnTimer);
    realTime_->SetResultHandler([this](LivePollResult result) {
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { OnLiveResult(result); },
            Qt::QueuedConnection);
    });

    // The run's state in the status line, in widgets of our own beside whatever else the
    // status line shows.
    NoAnswerStatusLabel = new QLabel(this);
    NoAnswerStatusLabel->setStyleSheet(
        QStringLiteral("QLabel { color: #FF0000; font-weight: bold; }"));
    NoAnswerStatusLabel->hide();
    LiveStatusLabel = new QLabel(this);
    LiveStatusLabel->hide();
    statusBar()->addPermanentWidget(NoAnswerStatusLabel);
    statusBar()->addPermanentWidget(LiveStatusLabel);
}

void TMainForm::AttachComSettingDialog(TRealComSettingDlg* dialog) {
    RealComSettingDlg = dialog;
    if (dialog)
        dialog->SetConfigPath(realTime_->ConfigPath());
}

void TMainForm::SetConfigFilePath(const std::string& path) {
    realTime_->SetConfigPath(path);
    ShowOwnScales(ReadProfileInt(path, "CHART", "ownScales", 0) == 1);
    if (RealComSettingDlg)
        RealComSettingDlg->SetConfigPath(path);
}

bool TMainForm::WorkerRunning() const {
    return WorkerThread.joinable();
}

void TMainForm::ComSettingButtonClick() {
    if (!RealComSettingDlg)
        return;
    RealComSettingDlg->LoadFromConfig();
    RealComSettingDlg->exec();
}

void TMainForm::RunButtonClick() {
    // The wait for the previous run's read, the port and the connection sequence run on the
    // poller: a silent instrument costs a second, 16 channels at 1200 bit/s several.
    const bool begun = realTime_->BeginStart([this](LiveStartResult result) {
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { OnRunConnected(result); },
            Qt::QueuedConnection);
    });
    if (!begun)
        return;
    // Stop cancels the connect.
    OnRealTimeConnecting(Commands);
    ApplyCommandStates();
    NoAnswerStatusLabel->hide();
    LiveStatusLabel->setText(QString::fromUtf8("Connecting\u2026"));
    LiveStatusLabel->show();
}

void TMainForm::OnRunConnected(const LiveStartResult& result) {
    // A worker reads the views a run replaces: the run starts once it has ended.
    if (WorkerRunning()) {
        QTimer::singleShot(20, this, [this, result] { OnRunConnected(result); });
        return;
    }
    // Overtaken by Stop, which has set the commands; or replaced by a later Run.
    if (!realTime_->ExpectsStart(result))
        return;
    OnRealTimeConnected(Commands);
    ApplyCommandStates();
    const std::optional<UserMessage> message = realTime_->AcceptStart(result);
    if (message || !realTime_->LinkActive()) {
        // Nothing of an earlier run stands in the status line, as if it went on.
        LiveStatusLabel->hide();
        UpdateSheetStatus();
        if (message)
            presentMessage_(this, *message);
        return;
    }
    RealTimeMode = true;
    const DeviceRecords& records = realTime_->Records();
    ActiveChannels = ActiveChannelsOf(records.commSettings);
    ScrollBox->ShowPanels(ActiveChannels.size());

    ClearViews();
    ChartTool->SetActive(false);
    ChartTool2->SetActive(false);
    Chart->SetZoomAllowed(false);
    Chart->SetPanAllowed(false);
    OnRealTimeStarted(Commands, SavedPageButtons);
    ApplyCommandStates();

    // Both axes follow the points; time labels a second apart at the least.
    Chart->SetTimeIncrement(OneSecond);
    Chart->SetValueIncrement(0);
    SetDataListColumns(LiveSheetColumns(ActiveChannels, records.channelConfig));
    for (size_t p = 0; p < ActiveChannels.size(); ++p) {
        const std::string title = LiveSeriesTitle(ActiveChannels[p]);
        QCPGraph* series = Chart->AddSeries(QString::fromStdString(title),
                                            QColor::fromRgb(ChannelColour(p)), nullptr);
        SeriesInfos.push_back({title, std::string(), series});
        ColumnChannels.push_back(static_cast<int16_t>(p));
    }
    realTime_->Series().Reset(ActiveChannels.size());
    liveScales_.Reset(ActiveChannels.size());
    pendingLiveResult_.reset();
    noAnswerSince_.reset();
    liveState_ = result.state;
    // The run goes on without its record; the user is told why.
    if (!result.recordError.empty())
        presentMessage_(this, {result.recordError, MessageIcon::Error});
    ShowContactState();
    Page.pageStart = 0;
    Page.itemCount = 1;
    DataListModel->SetPage(Page.pageStart, Page.itemCount);
    Chart->replot(QCustomPlot::rpQueuedReplot);
    Timer->start();
}

void TMainForm::OnTimer() {
    // A result that came while a worker ran is shown now, before the next read.
    if (pendingLiveResult_ && !WorkerRunning()) {
        const LivePollResult result = std::move(*pendingLiveResult_);
        pendingLiveResult_.reset();
        ApplyLiveResult(result);
    }
    // Skipped while a worker runs or while the previous read has not ended.
    realTime_->BeginPoll(WorkerRunning() || pendingLiveResult_.has_value());
}

void TMainForm::OnLiveResult(const LivePollResult& result) {
    if (!realTime_->Accept(result)) {
        // A read Stop overtook after it was recorded: the counts say what the record holds.
        if (realTime_->OfStoppedRun(result)) {
            liveState_ = result.state;
            ShowContactState();
        }
        return;
    }
    // A worker reads the recording a tick replaces: the tick waits until it has ended.
    if (WorkerRunning()) {
        pendingLiveResult_ = result;
        return;
    }
    ApplyLiveResult(result);
}

void TMainForm::ApplyLiveResult(const LivePollResult& result) {
    liveState_ = result.state;
    if (!result.ok) {
        // Nothing else changes: the views keep the last values, greyed.
        if (!noAnswerSince_)
            noAnswerSince_ = result.requested;
        ShowContactState();
        return;
    }
    noAnswerSince_.reset();
    if (result.entry.clockSetBack) {
        // The instrument's clock was set back: the lines start anew from this tick.
        for (ChartSeriesInfo& info : SeriesInfos)
            info.series->data()->clear();
        realTime_->Series().Reset(ActiveChannels.size());
        liveScales_.Reset(ActiveChannels.size());
    }
    ShowLiveValues(result.entry.gap, !result.entry.repeatedClock);
    ShowContactState();
}

void TMainForm::ShowContactState() {
    // Paths as the file system has them.
    LiveStatusLabel->setText(QFile::decodeName(
        QByteArray::fromStdString(LiveStatusText(liveState_, realTime_->LinkActive()))));
    LiveStatusLabel->show();
    const QString lost =
        noAnswerSince_ ? QString::fromStdString(NoAnswerText(*noAnswerSince_)) : QString();
    ScrollBox->SetNoAnswer(lost);
    ScrollBox->SetStale(noAnswerSince_.has_value());
    NoAnswerStatusLabel->setText(lost);
    NoAnswerStatusLabel->setVisible(!lost.isEmpty());
}

void TMainForm::ShowLiveValues(std::optional<DateTime> gap, bool drawn) {
    const DeviceRecords& records = realTime_->Records();
    const LiveTick tick = MakeLiveTick(records, ActiveChannels);
    ScrollBox->SetSummary(tick.summary);
    if (!drawn) {
        // A repeated clock: the values on the page only; the lines and the sheet stay.
        for (size_t p = 0; p < std::min(ActiveChannels.size(), tick.panels.size()); ++p)
            ScrollBox->SetPanel(p, tick.panels[p]);
        return;
    }
    LiveSeriesBook& book = realTime_->Series();
    const size_t shown = std::min({ActiveChannels.size(), SeriesInfos.size(), book.SeriesCount()});
    // The legend's headline belongs to the lines: without a monitored channel there is none.
    if (shown > 0)
        Chart->SetLegendTitle(QString::fromStdString(tick.legendTitle));
    for (size_t p = 0; p < shown; ++p) {
        ScrollBox->SetPanel(p, tick.panels[p]);
        QCPGraph* series = SeriesInfos[p].series;
        // After an outage the line starts anew instead of ramping across it.
        if (gap && book.PointCount(p) > 0) {
            const double nan = std::numeric_limits<double>::quiet_NaN();
            series->addData(*gap, nan);
            if (book.Add(p, *gap, nan))
                series->data()->clear();
        }
        series->addData(tick.time, tick.values[p]);
        liveScales_.See(p, tick.values[p]);
        series->setName(FromGbk(tick.seriesTitles[p]));
        if (book.Add(p, tick.time, tick.values[p]))
            series->data()->clear();
    }
    FillLiveRecording(records, ActiveChannels, channels, Rows);

    if (const auto time = book.TimeRange())
        Chart->SetTimeAxis(time->minimum, time->maximum, OneSecond);
    if (const auto value = book.ValueRange()) {
        const double margin = (value->maximum - value->minimum) * ValueMarginShare;
        Chart->SetValueAxis(value->minimum - margin, value->maximum + margin, 0);
        // With own scales a channel's span fills the part of the axis the values take.
        Chart->SetScaleSpan({value->minimum, value->maximum});
    }
    ApplySeriesScales();
    Chart->replot(QCustomPlot::rpQueuedReplot);
    DataListView->viewport()->update();
}

void TMainForm::StopButtonClick() {
    Timer->stop();
    const bool connecting = !realTime_->LinkActive();
    // Returns at once: a read still under way ends on the poller, which closes the port then;
    // a connect under way is cancelled.
    realTime_->Stop();
    // Recorded, not yet shown: it counts.
    if (pendingLiveResult_)
        liveState_ = pendingLiveResult_->state;
    pendingLiveResult_.reset();
    noAnswerSince_.reset();
    // The counts stay in the status line, the record named as written; a connect cancelled
    // leaves nothing there.
    if (connecting) {
        LiveStatusLabel->hide();
        NoAnswerStatusLabel->hide();
    } else {
        ShowContactState();
    }
    UpdateSheetStatus();
    ScrollBox->HideAll();
    OnRealTimeStopped(Commands);
    ApplyCommandStates();
    Chart->SetPanAllowed(true);
}
