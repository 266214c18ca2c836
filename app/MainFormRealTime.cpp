// The main window's real-time monitoring: Run, the one-second tick, Stop, the settings command
// and the Global figure page. The device side and every text live in app/realtime; here they
// meet the window's views.
//
// A tick only asks the monitor's poller thread for a read; the result comes back as a queued
// call and is shown on this thread. So a silent instrument, whose read waits about a second
// for its reply, never holds up the window (the recorder's own software did the transaction
// on the user-interface thread).

#include "app/GlobalFigurePage.h"
#include "app/MainFormUnit.h"
#include "app/RealComSettingDlg.h"
#include "app/realtime/LiveViews.h"
#include "data/Text.h"
#include "device/CommSettingsFile.h"

#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include <limits>

namespace {

QString FromGbk(const std::string& text) {
    return QString::fromStdString(GbkToUtf8(text));
}

// Room above and below the lines, so that a line at its extreme does not vanish into the frame.
constexpr double ValueMarginShare = 0.05;

} // namespace

void TMainForm::ConnectRealTimeCommands() {
    realTime_ = std::make_unique<RealTimeMonitor>(ConfigFilePath());
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
    dialogs_.RealComSettingDlg = dialog;
    if (dialog)
        dialog->SetConfigPath(realTime_->ConfigPath());
}

void TMainForm::SetConfigFilePath(const std::string& path) {
    realTime_->SetConfigPath(path);
    measure_->UseConfigFile(path);
    if (dialogs_.RealComSettingDlg)
        dialogs_.RealComSettingDlg->SetConfigPath(path);
}

void TMainForm::ComSettingButtonClick() {
    if (!dialogs_.RealComSettingDlg)
        return;
    dialogs_.RealComSettingDlg->LoadFromConfig();
    dialogs_.RealComSettingDlg->exec();
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
    OnRealTimeConnecting(Commands);
    ApplyCommandStates();
    statusBeforeConnecting_ = {LiveStatusLabel->text(), LiveStatusLabel->isVisibleTo(this)};
    LiveStatusLabel->setText(QString::fromUtf8("Connecting\u2026"));
    LiveStatusLabel->show();
}

void TMainForm::OnRunConnected(const LiveStartResult& result) {
    // A worker reads the views a run replaces: the run starts once it has ended.
    if (worker_->Running()) {
        QTimer::singleShot(20, this, [this, result] { OnRunConnected(result); });
        return;
    }
    OnRealTimeConnected(Commands);
    ApplyCommandStates();
    const std::optional<UserMessage> message = realTime_->AcceptStart(result);
    // Failed, or overtaken by a Stop: the status line as it was.
    if (message || !realTime_->LinkActive()) {
        LiveStatusLabel->setText(statusBeforeConnecting_.first);
        LiveStatusLabel->setVisible(statusBeforeConnecting_.second);
        if (message)
            presentMessage_(this, *message);
        return;
    }
    const DeviceRecords& records = realTime_->Records();
    ActiveChannels = ActiveChannelsOf(records.commSettings);
    ScrollBox->ShowPanels(ActiveChannels.size());
    views_->StartLiveViews(ActiveChannels, LiveSheetColumns(ActiveChannels, records.channelConfig));
    OnRealTimeStarted(Commands, SavedPageButtons);
    ApplyCommandStates();

    realTime_->Series().Reset(ActiveChannels.size());
    liveScales_.Reset(ActiveChannels.size());
    pendingLiveResult_.reset();
    noAnswerSince_.reset();
    liveState_ = result.state;
    // The run goes on without its record; the user is told why.
    if (!result.recordError.empty())
        presentMessage_(this, {result.recordError, MessageIcon::Error});
    ShowContactState();
    views_->ShowLiveSheetRow();
    Chart->replot(QCustomPlot::rpQueuedReplot);
    Timer->start();
}

void TMainForm::OnTimer() {
    // A result that came while a worker ran is shown now, before the next read.
    if (pendingLiveResult_ && !worker_->Running()) {
        const LivePollResult result = std::move(*pendingLiveResult_);
        pendingLiveResult_.reset();
        ApplyLiveResult(result);
    }
    // Skipped while a worker runs or while the previous read has not ended.
    realTime_->BeginPoll(worker_->Running() || pendingLiveResult_.has_value());
}

void TMainForm::OnLiveResult(const LivePollResult& result) {
    if (!realTime_->Accept(result))
        return;
    // A worker reads the recording a tick replaces: the tick waits until it has ended.
    if (worker_->Running()) {
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
    ShowLiveValues(result.entry.gap, !result.entry.repeatedClock);
    ShowContactState();
}

void TMainForm::ShowContactState() {
    const LiveRunState& state = liveState_;
    QString counts = QString::fromStdString(
        TickCountsText(state.good, state.failed, state.reopens, state.repeatedClocks));
    const QString path = QFile::decodeName(QByteArray::fromStdString(state.recordPath));
    if (!state.recordError.empty())
        counts += QStringLiteral("; recording stopped: ") +
                  QFile::decodeName(QByteArray::fromStdString(state.recordError));
    else if (state.recording)
        counts += (realTime_->LinkActive() ? QStringLiteral("; recording to ")
                                           : QStringLiteral("; recorded to ")) +
                  path;
    LiveStatusLabel->setText(counts);
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
    const size_t shown =
        std::min({ActiveChannels.size(), Recording().SeriesInfos.size(), book.SeriesCount()});
    // The legend's headline belongs to the lines: without a monitored channel there is none.
    if (shown > 0)
        Chart->SetLegendTitle(QString::fromStdString(tick.legendTitle));
    for (size_t p = 0; p < shown; ++p) {
        ScrollBox->SetPanel(p, tick.panels[p]);
        QCPGraph* series = Recording().SeriesInfos[p].series;
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
    views_->SetLiveRecording(records, ActiveChannels);

    if (const auto time = book.TimeRange())
        Chart->SetTimeAxis(time->minimum, time->maximum, OneSecond);
    if (const auto value = book.ValueRange()) {
        const double margin = (value->maximum - value->minimum) * ValueMarginShare;
        Chart->SetValueAxis(value->minimum - margin, value->maximum + margin, 0);
        // With own scales a channel's span fills the part of the axis the values take.
        Chart->SetScaleSpan({value->minimum, value->maximum});
    }
    ApplyLiveScales();
    Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TMainForm::ApplyLiveScales() {
    const DeviceRecords& records = realTime_->Records();
    for (size_t p = 0; p < Recording().SeriesInfos.size() && p < ActiveChannels.size(); ++p) {
        const ChannelConfig& config =
            records.channelConfig[static_cast<size_t>(ActiveChannels[p] - 1)];
        Chart->SetSeriesScale(Recording().SeriesInfos[p].series,
                              liveScales_.Scale(p, config.lowerLimit, config.upperLimit),
                              QString::fromStdString(AxisChannelTitle(
                                  ActiveChannels[p], GbkToUtf8(LiveUnitText(config)))));
    }
}

void TMainForm::StopButtonClick() {
    Timer->stop();
    // Returns at once: a read still under way ends on the poller, which closes the port then.
    realTime_->Stop();
    pendingLiveResult_.reset();
    noAnswerSince_.reset();
    // The counts stay in the status line, the record named as written.
    ShowContactState();
    ScrollBox->HideAll();
    OnRealTimeStopped(Commands);
    ApplyCommandStates();
    Chart->SetPanAllowed(true);
}
