// The device side and every text live in RealTimeMonitor and LiveViews; here they meet the
// window's views.
//
// A tick only asks the monitor's poller thread for a read; the result comes back as a queued
// call and is shown on this thread. So a silent instrument, whose read waits about a second
// for its reply, never holds up the window (the recorder's own software did the transaction
// on the user-interface thread).

#include "app/realtime/LiveRun.h"

#include "app/GlobalFigurePage.h"
#include "app/RealComSettingDlg.h"
#include "app/WorkerProtocol.h"
#include "app/realtime/LiveViews.h"
#include "chart/TrendChart.h"
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

LiveRun::LiveRun(QWidget* window, QTimer* timer, GlobalFigurePage* page, TrendChart* chart,
                 QStatusBar* statusBar, const ShownRecording& shown, const WindowDialogs& dialogs,
                 const WorkerProtocol& worker, MessagePresenter present)
    : window_(window), timer_(timer), page_(page), chart_(chart), shown_(shown), dialogs_(dialogs),
      worker_(worker), present_(std::move(present)),
      monitor_(std::make_unique<RealTimeMonitor>(ConfigFilePath())) {
    connect(timer_, &QTimer::timeout, this, &LiveRun::OnTimer);
    monitor_->SetResultHandler([this](LivePollResult result) {
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { OnLiveResult(result); },
            Qt::QueuedConnection);
    });

    // The run's state in the status line, in widgets of our own beside whatever else the
    // status line shows.
    noAnswerStatus_ = new QLabel(window_);
    noAnswerStatus_->setStyleSheet(QStringLiteral("QLabel { color: #FF0000; font-weight: bold; }"));
    noAnswerStatus_->hide();
    liveStatus_ = new QLabel(window_);
    liveStatus_->hide();
    statusBar->addPermanentWidget(noAnswerStatus_);
    statusBar->addPermanentWidget(liveStatus_);
}

LiveRun::~LiveRun() = default;

void LiveRun::SetConfigPath(const std::string& path) {
    monitor_->SetConfigPath(path);
    if (dialogs_.RealComSettingDlg)
        dialogs_.RealComSettingDlg->SetConfigPath(path);
}

void LiveRun::ComSettingButtonClick() {
    TRealComSettingDlg* dialog = dialogs_.RealComSettingDlg;
    if (!dialog)
        return;
    dialog->LoadFromConfig();
    dialog->exec();
}

void LiveRun::RunButtonClick() {
    // The wait for the previous run's read, the port and the connection sequence run on the
    // poller: a silent instrument costs a second, 16 channels at 1200 bit/s several.
    const bool begun = monitor_->BeginStart([this](LiveStartResult result) {
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { OnRunConnected(result); },
            Qt::QueuedConnection);
    });
    if (!begun)
        return;
    // Stop cancels the connect.
    emit Connecting();
    noAnswerStatus_->hide();
    liveStatus_->setText(QString::fromUtf8("Connecting\u2026"));
    liveStatus_->show();
}

void LiveRun::OnRunConnected(const LiveStartResult& result) {
    // A worker reads the views a run replaces: the run starts once it has ended.
    if (worker_.Running()) {
        QTimer::singleShot(20, this, [this, result] { OnRunConnected(result); });
        return;
    }
    // Overtaken by Stop, which has set the commands; or replaced by a later Run.
    if (!monitor_->ExpectsStart(result))
        return;
    emit ConnectEnded();
    const std::optional<UserMessage> message = monitor_->AcceptStart(result);
    if (message || !monitor_->LinkActive()) {
        // Nothing of an earlier run stands in the status line, as if it went on.
        liveStatus_->hide();
        emit RunEnded();
        if (message)
            present_(window_, *message);
        return;
    }
    const DeviceRecords& records = monitor_->Records();
    activeChannels_ = ActiveChannelsOf(records.commSettings);
    page_->ShowPanels(activeChannels_.size());
    emit LiveViewsStarting(activeChannels_,
                           LiveSheetColumns(activeChannels_, records.channelConfig));

    monitor_->Series().Reset(activeChannels_.size());
    liveScales_.Reset(activeChannels_.size());
    pendingLiveResult_.reset();
    noAnswerSince_.reset();
    liveState_ = result.state;
    // The run goes on without its record; the user is told why.
    if (!result.recordError.empty())
        present_(window_, {result.recordError, MessageIcon::Error});
    ShowContactState();
    emit LiveSheetStarting();
    chart_->replot(QCustomPlot::rpQueuedReplot);
    timer_->start();
}

void LiveRun::OnTimer() {
    // A result that came while a worker ran is shown now, before the next read.
    if (pendingLiveResult_ && !worker_.Running()) {
        const LivePollResult result = std::move(*pendingLiveResult_);
        pendingLiveResult_.reset();
        ApplyLiveResult(result);
    }
    // Skipped while a worker runs or while the previous read has not ended.
    monitor_->BeginPoll(worker_.Running() || pendingLiveResult_.has_value());
}

void LiveRun::OnLiveResult(const LivePollResult& result) {
    if (!monitor_->Accept(result)) {
        // A read Stop overtook after it was recorded: the counts say what the record holds.
        if (monitor_->OfStoppedRun(result)) {
            liveState_ = result.state;
            ShowContactState();
        }
        return;
    }
    // A worker reads the recording a tick replaces: the tick waits until it has ended.
    if (worker_.Running()) {
        pendingLiveResult_ = result;
        return;
    }
    ApplyLiveResult(result);
}

void LiveRun::ApplyLiveResult(const LivePollResult& result) {
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
        for (const ChartSeriesInfo& info : shown_.SeriesInfos)
            info.series->data()->clear();
        monitor_->Series().Reset(activeChannels_.size());
        liveScales_.Reset(activeChannels_.size());
    }
    ShowLiveValues(result.entry.gap, !result.entry.repeatedClock);
    ShowContactState();
}

void LiveRun::ShowContactState() {
    // Paths as the file system has them.
    liveStatus_->setText(QFile::decodeName(
        QByteArray::fromStdString(LiveStatusText(liveState_, monitor_->LinkActive()))));
    liveStatus_->show();
    const QString lost =
        noAnswerSince_ ? QString::fromStdString(NoAnswerText(*noAnswerSince_)) : QString();
    page_->SetNoAnswer(lost);
    page_->SetStale(noAnswerSince_.has_value());
    noAnswerStatus_->setText(lost);
    noAnswerStatus_->setVisible(!lost.isEmpty());
}

void LiveRun::HideRunStatus() {
    for (QLabel* runStatus : {liveStatus_, noAnswerStatus_})
        runStatus->hide();
}

void LiveRun::ShowLiveValues(std::optional<DateTime> gap, bool drawn) {
    const DeviceRecords& records = monitor_->Records();
    const LiveTick tick = MakeLiveTick(records, activeChannels_);
    page_->SetSummary(tick.summary);
    if (!drawn) {
        // A repeated clock: the values on the page only; the lines and the sheet stay.
        for (size_t p = 0; p < std::min(activeChannels_.size(), tick.panels.size()); ++p)
            page_->SetPanel(p, tick.panels[p]);
        return;
    }
    LiveSeriesBook& book = monitor_->Series();
    const std::vector<ChartSeriesInfo>& seriesInfos = shown_.SeriesInfos;
    const size_t shown = std::min({activeChannels_.size(), seriesInfos.size(), book.SeriesCount()});
    // The legend's headline belongs to the lines: without a monitored channel there is none.
    if (shown > 0)
        chart_->SetLegendTitle(QString::fromStdString(tick.legendTitle));
    for (size_t p = 0; p < shown; ++p) {
        page_->SetPanel(p, tick.panels[p]);
        QCPGraph* series = seriesInfos[p].series;
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
    emit LiveValuesRead(records, activeChannels_);

    if (const auto time = book.TimeRange())
        chart_->SetTimeAxis(time->minimum, time->maximum, OneSecond);
    if (const auto value = book.ValueRange()) {
        const double margin = (value->maximum - value->minimum) * ValueMarginShare;
        chart_->SetValueAxis(value->minimum - margin, value->maximum + margin, 0);
        // With own scales a channel's span fills the part of the axis the values take.
        chart_->SetScaleSpan({value->minimum, value->maximum});
    }
    ApplyLiveScales();
    chart_->replot(QCustomPlot::rpQueuedReplot);
}

void LiveRun::ApplyLiveScales() {
    const DeviceRecords& records = monitor_->Records();
    for (size_t p = 0; p < shown_.SeriesInfos.size() && p < activeChannels_.size(); ++p) {
        const ChannelConfig& config =
            records.channelConfig[static_cast<size_t>(activeChannels_[p] - 1)];
        const std::string unit = GbkToUtf8(LiveUnitText(config));
        chart_->SetSeriesScale(shown_.SeriesInfos[p].series,
                               liveScales_.Scale(p, config.lowerLimit, config.upperLimit),
                               QString::fromStdString(AxisChannelTitle(activeChannels_[p], unit)),
                               QString::fromStdString(unit));
    }
}

void LiveRun::StopButtonClick() {
    timer_->stop();
    const bool connecting = !monitor_->LinkActive();
    // Returns at once: a read still under way ends on the poller, which closes the port then;
    // a connect under way is cancelled.
    monitor_->Stop();
    // Recorded, not yet shown: it counts.
    if (pendingLiveResult_)
        liveState_ = pendingLiveResult_->state;
    pendingLiveResult_.reset();
    noAnswerSince_.reset();
    // The counts stay in the status line, the record named as written; a connect cancelled
    // leaves nothing there.
    if (connecting)
        HideRunStatus();
    else
        ShowContactState();
    emit RunEnded();
    page_->HideAll();
    emit Stopped();
    chart_->SetPanAllowed(true);
}
