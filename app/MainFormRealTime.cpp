// The main window's real-time monitoring: Run, the one-second tick, Stop, the settings command
// and the Global figure page. The device side and every text live in app/realtime; here they
// meet the window's views.

#include "app/DataSheetModel.h"
#include "app/GlobalFigurePage.h"
#include "app/MainFormUnit.h"
#include "app/RealComSettingDlg.h"
#include "app/realtime/LiveViews.h"
#include "data/Text.h"
#include "device/CommSettingsFile.h"

#include <QAction>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

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
}

void TMainForm::AttachComSettingDialog(TRealComSettingDlg* dialog) {
    RealComSettingDlg = dialog;
    if (dialog)
        dialog->SetConfigPath(realTime_->ConfigPath());
}

void TMainForm::SetConfigFilePath(const std::string& path) {
    realTime_->SetConfigPath(path);
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
    if (const auto message = realTime_->Start()) {
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
    Page.pageStart = 0;
    Page.itemCount = 1;
    DataListModel->SetPage(Page.pageStart, Page.itemCount);
    Chart->replot(QCustomPlot::rpQueuedReplot);
    Timer->start();
}

void TMainForm::OnTimer() {
    // A failed read shows nothing: the views keep the last values.
    if (realTime_->Poll(WorkerRunning()))
        ShowLiveValues();
}

void TMainForm::ShowLiveValues() {
    const DeviceRecords& records = realTime_->Records();
    const LiveTick tick = MakeLiveTick(records, ActiveChannels);
    ScrollBox->SetSummary(tick.summary);
    Chart->SetLegendTitle(QString::fromStdString(tick.legendTitle));
    LiveSeriesBook& book = realTime_->Series();
    const size_t shown = std::min({ActiveChannels.size(), SeriesInfos.size(), book.SeriesCount()});
    for (size_t p = 0; p < shown; ++p) {
        ScrollBox->SetPanel(p, tick.panels[p]);
        QCPGraph* series = SeriesInfos[p].series;
        series->addData(tick.time, tick.values[p]);
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
    }
    Chart->replot(QCustomPlot::rpQueuedReplot);
    DataListView->viewport()->update();
}

void TMainForm::StopButtonClick() {
    Timer->stop();
    realTime_->Stop();
    ScrollBox->HideAll();
    OnRealTimeStopped(Commands);
    ApplyCommandStates();
    Chart->SetPanAllowed(true);
}
