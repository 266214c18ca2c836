#include "app/recording/RecordingViews.h"

#include "app/DataSheetModel.h"
#include "app/ProcessDlg.h"
#include "app/ServiceSwitches.h"
#include "app/WorkerProtocol.h"
#include "app/realtime/LiveViews.h"
#include "app/recording/FrozenColumns.h"
#include "app/recording/ZoomDetail.h"
#include "chart/ChartNavigation.h"
#include "chart/CursorMoveDlg.h"
#include "chart/GoToTimeDlg.h"
#include "data/CsvImport.h"
#include "data/LiveRecord.h"
#include "data/RecordingJoin.h"
#include "data/Text.h"
#include "data/Utility.h"
#include "filter/DataFilter.h"
#include "views/IntervalStatistics.h"
#include "views/SheetLinks.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QTableView>

#include <algorithm>
#include <cmath>

namespace {

// A tenth of a second as a date-time: the time cursor sits just inside the window.
constexpr DateTime CursorOffset = 1.0 / 864000.0;

ZoomWindow RangeOf(const QCPAxis* axis) {
    return {axis->range().lower, axis->range().upper};
}

void SetRange(QCPAxis* axis, ZoomWindow range) {
    if (RangeOf(axis) != range)
        axis->setRange(range.minimum, range.maximum);
}

} // namespace

RecordingViews::RecordingViews(QWidget* window, QSettings& settings, const WindowDialogs& dialogs,
                               WorkerProtocol& worker, MessagePresenter present, QTableView* sheet,
                               QWidget* sheetPage, TrendChart* chart, QAction* showInSheet)
    : window_(window), settings_(settings), dialogs_(dialogs), worker_(worker),
      present_(std::move(present)), sheet_(sheet), chart_(chart), showInSheet_(showInSheet) {
    model_ = new DataSheetModel(shown_.Rows, shown_.channels, shown_.ColumnChannels, window);
    sheet_->setModel(model_);
    frozen_ = new FrozenColumns(sheet_);
    detail_ = new ZoomDetail(shown_, chart_, this);
    connect(detail_, &ZoomDetail::SeriesChanged, this, &RecordingViews::SeriesRefined);
    CreateSheetStatus(sheetPage);
    ConnectSheetAndChart();
}

RecordingViews::~RecordingViews() {
    // Its worker reads the channels, which go before the child objects do.
    detail_->Forget();
}

QTableView* RecordingViews::FrozenListView() const {
    return frozen_->View();
}

void RecordingViews::CreateSheetStatus(QWidget* sheetPage) {
    statusLabel_ = new QLabel(sheetPage);
    statusLabel_->setContentsMargins(6, 2, 6, 2);
    statusLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    sheetPage->layout()->addWidget(statusLabel_);
    UpdateSheetStatus();
}

void RecordingViews::ConnectSheetAndChart() {
    for (QTableView* view : {sheet_, frozen_->View()}) {
        connect(view, &QWidget::customContextMenuRequested, this,
                [this] { DataListViewContextPopup(); });
        connect(view, &QAbstractItemView::doubleClicked, this,
                &RecordingViews::DataListViewDblClick);
    }
    connect(showInSheet_, &QAction::triggered, this, &RecordingViews::ShowCursorRowInSheet);
    // The status line names the file of the current row of a join.
    connect(sheet_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { UpdateSheetStatus(); });
    connect(chart_, &TrendChart::ContextMenuRequested, this,
            [this] { showInSheet_->setEnabled(!shown_.RealTimeMode && !shown_.Rows.Empty()); });
    connect(chart_, &TrendChart::Zoomed, this, &RecordingViews::ChartZoom);
    connect(chart_, &TrendChart::UndoZoomed, this, &RecordingViews::ChartUndoZoom);
    connect(chart_, &TrendChart::Scrolled, this, &RecordingViews::OnChartScroll);
}

uint32_t RecordingViews::PageSize() const {
    return dialogs_.DataFilterDlg ? dialogs_.DataFilterDlg->ItemsPerPage : DefaultItemsPerPage;
}

// Opening -----------------------------------------------------------------------------------

void RecordingViews::OpenFileButtonClick() {
    // Several files selected are joined.
    const QStringList paths = QFileDialog::getOpenFileNames(
        window_, QString(), openFileName_.isEmpty() ? QString() : QFileInfo(openFileName_).path(),
        QStringLiteral("Binary file (*.bin);;Data file(*.dat);;Live record (*.csv);;"
                       "All recordings (*.bin *.dat *.csv)"));
    if (paths.isEmpty())
        return;
    OpenDataFiles(paths);
}

void RecordingViews::OpenDataFile(const QString& path) {
    if (QFileInfo(path).isDir()) {
        OpenFolder(path);
        return;
    }
    openFileName_ = path;
    shownFileName_ = path;
    joinFileNames_.clear();
    LoadOnWorker([this] { LoadThreadProc(); });
}

void RecordingViews::OpenDataFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    if (paths.size() == 1) {
        OpenDataFile(paths.front());
        return;
    }
    openFileName_ = paths.front(); // the next file dialog starts in its folder
    shownFileName_.clear();        // a refused join shows no file
    joinFileNames_ = paths;
    LoadOnWorker([this] { JoinThreadProc(); });
    joinSummary_ = QString::fromStdString(joinedSummary_);
    joinedSummary_.clear();
    ShowRecordingTitle();
    ShowFileMarks();
    UpdateSheetStatus();
}

void RecordingViews::ShowFileMarks() {
    std::vector<TrendChart::FileMark> marks;
    for (const JoinedFile& file : joinedFiles_)
        marks.push_back(
            {file.startTime,
             QFileInfo(QFile::decodeName(QByteArray::fromStdString(file.path))).fileName()});
    chart_->SetFileMarks(marks);
}

void RecordingViews::OpenFolder(const QString& folder) {
    std::vector<std::string> files;
    if (const auto message = ListRecorderFiles(QFile::encodeName(folder).toStdString(), files)) {
        present_(window_, *message);
        return;
    }
    QStringList paths;
    for (const std::string& file : files)
        paths << QFile::decodeName(QByteArray::fromStdString(file));
    OpenDataFiles(paths);
}

void RecordingViews::OpenFolderMenuItemClick() {
    const QString folder = QFileDialog::getExistingDirectory(
        window_, QStringLiteral("Open folder"),
        openFileName_.isEmpty() ? QString() : QFileInfo(openFileName_).path());
    if (!folder.isEmpty())
        OpenFolder(folder);
}

void RecordingViews::OpenFromArchive(const ArchiveSelection& selection) {
    shownFileName_.clear(); // a failed read shows nothing
    joinFileNames_.clear();
    LoadOnWorker([this, &selection] { ArchiveThreadProc(selection); });
    joinSummary_ = QString::fromStdString(joinedSummary_);
    joinedSummary_.clear();
    ShowRecordingTitle();
    ShowFileMarks();
    UpdateSheetStatus();
}

void RecordingViews::ArchiveThreadProc(const ArchiveSelection& selection) {
    JoinedRecording joined;
    std::optional<UserMessage> message = ReadArchiveSelection(selection, joined);
    if (message) {
        worker_.ShowMessage(*message);
    } else {
        shown_.recordingInfo = joined.info;
        shown_.channels = std::move(joined.channels);
        joinedSummary_ = ArchiveSelectionSummary(selection, joined);
        joinedFiles_ = std::move(joined.files); // the files the archive took them from
    }
    BuildOnWorker(nullptr);
}

void RecordingViews::LoadOnWorker(std::function<void()> load) {
    ClearViews();
    ResetRecordingInfo(shown_.recordingInfo);
    shown_.XZoomStopPending = shown_.YZoomStopPending = true;
    shown_.RealTimeMode = false;
    loadLogEnabled_ = ReadServiceSwitch(settings_, QStringLiteral("OpenLog"));
    worker_.Run(QStringLiteral("Data are loading..."), std::move(load));
    ApplyViewBuild();
    FinishViewUpdate(shown_.recordingInfo.startTime, true);
}

void RecordingViews::LoadThreadProc() {
    const LoadLogOptions log{loadLogEnabled_, loadLogEnabled_ ? GetSettingsDirectory() : ""};
    const std::string path = QFile::encodeName(openFileName_).toStdString();
    // The live run's records are text in the import's line format, whatever the import switch.
    if (IsLiveRecordName(path)) {
        ImportOnWorker(path, true);
        return;
    }
    if (auto message = ReadRecorderFile(path, shown_.recordingInfo, shown_.channels, log)) {
        message->detail = UnreadableFileDetail(path); // the box names the file
        worker_.ShowMessage(*message);
    }
    // The views show whatever the recording holds, also after a failure.
    BuildOnWorker(nullptr);
}

void RecordingViews::JoinThreadProc() {
    const LoadLogOptions log{loadLogEnabled_, loadLogEnabled_ ? GetSettingsDirectory() : ""};
    std::vector<std::string> paths;
    for (const QString& path : joinFileNames_)
        paths.push_back(QFile::encodeName(path).toStdString());
    const auto fileText = [](size_t k, size_t n) {
        return QStringLiteral("file %1 of %2").arg(k).arg(n);
    };
    TProcessDlg* progress = dialogs_.ProcessDlg;
    progress->SetProgressMax(static_cast<int>(paths.size()));
    progress->SetProgressDetail(fileText(1, paths.size()));
    JoinedRecording joined;
    const auto message = ReadJoinedRecording(paths, joined, log, [&](size_t done, size_t total) {
        progress->SetProgressDetail(fileText(std::min(done + 1, total), total));
        progress->StepProgress(1);
    });
    if (message) {
        // Nothing of a refused join is shown; the box says so first, the file's own text in
        // its details.
        std::string detail = GbkToUtf8(message->text);
        if (!message->detail.empty())
            detail += "\n" + message->detail;
        worker_.ShowMessage({"The files were not joined.", message->icon, detail});
    } else {
        shown_.recordingInfo = joined.info;
        shown_.channels = std::move(joined.channels);
        joinedSummary_ = JoinedSummary(joined);
        joinedFiles_ = std::move(joined.files);
    }
    progress->ResetProgress();
    BuildOnWorker(nullptr);
}

void RecordingViews::ImportDataFile(const QString& path) {
    shownFileName_ = path;
    // Unlike a data file load, the recording info is kept: an import that takes no line
    // leaves the previous window and range standing.
    ClearViews();
    shown_.XZoomStopPending = shown_.YZoomStopPending = true;
    shown_.RealTimeMode = false;
    importConvertedNothing_ = false;
    worker_.Run(QStringLiteral("Data are loading..."), [this, path] { ImportThreadProc(path); });
    ApplyViewBuild();
    FinishViewUpdate(shown_.recordingInfo.startTime, true);
    // An empty chart and sheet alone do not say why: a file of other lines (the sheet's own
    // CSV, say) is read without complaint.
    if (importConvertedNothing_)
        present_(window_, {ImportNoSampleText, MessageIcon::Information});
}

void RecordingViews::ImportThreadProc(const QString& path) {
    const bool read = ImportOnWorker(QFile::encodeName(path).toStdString(), false);
    importConvertedNothing_ = read && shown_.recordingInfo.sampleCount == 0;
}

bool RecordingViews::ImportOnWorker(const std::string& path, bool liveRecord) {
    // The bar shows the share of the file read, then the build's own progress.
    constexpr int ReadSteps = 100;
    TProcessDlg* dialog = dialogs_.ProcessDlg;
    dialog->SetProgressMax(ReadSteps);
    int shown = 0;
    const auto progress = [dialog, &shown](uint64_t read, uint64_t size) {
        const int reached = size == 0 ? ReadSteps : static_cast<int>(read * ReadSteps / size);
        if (reached > shown) {
            dialog->StepProgress(reached - shown);
            shown = reached;
        }
    };
    auto message = liveRecord
                       ? OpenLiveRecord(path, shown_.recordingInfo, shown_.channels, progress)
                       : ImportCsvFile(path, shown_.recordingInfo, shown_.channels, progress);
    if (message) {
        message->detail = UnreadableFileDetail(path); // the box names the file
        worker_.ShowMessage(*message);
    }
    dialog->ResetProgress();
    BuildOnWorker(nullptr);
    return !message;
}

void RecordingViews::ShowRecordingTitle() {
    window_->setWindowTitle(joinSummary_.isEmpty()
                                ? QStringLiteral("Paperless recorder ")
                                : QStringLiteral("Paperless recorder - ") + joinSummary_);
}

// Building and clearing the views -----------------------------------------------------------

void RecordingViews::BuildOnWorker(const ScreeningSelection* selection) {
    const BuildProgress progress = worker_.Progress();
    const uint32_t pageSize = PageSize();
    pendingBuild_ = selection
                        ? BuildScreenedViews(shown_.channels, shown_.recordingInfo, *selection,
                                             pageSize, progress)
                        : BuildViews(shown_.channels, shown_.recordingInfo, pageSize, progress);
    pendingSeriesData_.clear();
    for (SeriesBuild& series : pendingBuild_->series) {
        pendingSeriesData_.push_back(TrendChart::MakeSeriesData(series));
        std::vector<PlotPoint>().swap(series.points); // the chart keeps its own copy
    }
}

void RecordingViews::ApplyViewBuild() {
    if (!pendingBuild_)
        return;
    ViewBuild& build = *pendingBuild_;

    shown_.ColumnChannels = std::move(build.columnChannels);
    shown_.Rows = std::move(build.rows);
    SetDataListColumns(build.columns);
    shown_.Page = build.page;
    model_->SetPage(shown_.Page.pageStart, shown_.Page.itemCount);

    chart_->SetTimeAxis(build.timeAxis.minimum, build.timeAxis.maximum, build.timeAxis.increment);
    chart_->SetValueAxis(build.valueAxis.minimum, build.valueAxis.maximum,
                         build.valueAxis.increment);
    chart_->SetZoomAllowed(true);
    if (build.xZoomStop) {
        shown_.XZoomStop = *build.xZoomStop;
        shown_.XZoomStopPending = false;
    }
    for (size_t i = 0; i < build.series.size(); ++i) {
        const SeriesBuild& series = build.series[i];
        QCPGraph* graph = chart_->AddSeries(QString::fromStdString(series.title),
                                            QColor::fromRgb(series.colour), pendingSeriesData_[i]);
        shown_.SeriesInfos.push_back(
            {series.title, series.unit, graph, GbkToUtf8(series.unit), series.channel,
             series.channelPos,
             TimesAscend(shown_.channels[static_cast<size_t>(series.channelPos)])});
    }
    detail_->Built(build.step, build.timeAxis.minimum, build.timeAxis.maximum);
    emit ViewsBuilt(build.pageButtons, build.enableFilterButton);
    chart_->Tool()->SetXValue(build.timeCursorX);
    chart_->Tool()->SetYValue(build.timeCursorY);
    chart_->Tool2()->SetYValue(build.secondLineY);
    pendingBuild_.reset();
    pendingSeriesData_.clear();
    chart_->replot();
    ShowPageFromItsTop();
}

void RecordingViews::SetDataListColumns(const std::vector<SheetColumn>& columns) {
    QStringList captions;
    for (const SheetColumn& column : columns)
        captions << QString::fromStdString(GbkToUtf8(column.caption));
    model_->SetColumns(captions);
    // The designed widths suit a small 8-point face whose digits are 6 pixels wide; scaled by
    // this font's digit width the times and values fit as they were meant to, and no column is
    // narrower than its caption, so every channel's unit can be read.
    const double scale =
        std::max(1.0, sheet_->fontMetrics().horizontalAdvance(QLatin1Char('0')) / 6.0);
    const QFontMetrics header(sheet_->horizontalHeader()->font());
    constexpr int CaptionPadding = 16;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const int designed =
            static_cast<int>(std::lround(columns[static_cast<size_t>(c)].width * scale));
        const int caption = header.horizontalAdvance(captions[c]) + CaptionPadding;
        sheet_->setColumnWidth(c, std::max(designed, caption));
    }
}

void RecordingViews::FinishViewUpdate(DateTime windowStart, bool afterLoadOrImport) {
    const TOKBottomDlg* vernier = dialogs_.OKBottomDlg;
    const bool showY = vernier && vernier->ShowYFlag;
    const bool showY2 = vernier && vernier->ShowY2Flag;
    ChartCursorTool* tool = chart_->Tool();
    // A recording that is not there (a refused join, a file that gave nothing) has no cursor
    // and no read-out.
    const bool recorded = !shown_.channels.empty();
    tool->SetActive(recorded);
    tool->SetStyle(showY ? ChartCursorTool::Style::Both : ChartCursorTool::Style::Vertical);
    tool->SetXValue(windowStart + CursorOffset);
    tool->SetYValue(shown_.recordingInfo.valueMax);
    chart_->Tool2()->SetActive(recorded && showY2);
    chart_->Tool2()->SetYValue(shown_.recordingInfo.valueMin);
    if (afterLoadOrImport && dialogs_.DataFilterDlg)
        dialogs_.DataFilterDlg->InitScreening(shown_.recordingInfo.startTime,
                                              shown_.recordingInfo.endTime);
    emit ViewsFinished();
}

void RecordingViews::RemoveAllSeries() {
    detail_->Forget();
    for (const ChartSeriesInfo& info : shown_.SeriesInfos)
        chart_->RemoveSeries(info.series);
    shown_.SeriesInfos.clear();
}

void RecordingViews::ClearViews() {
    detail_->Forget(); // its worker reads the channels
    emit RecordingReplaced();
    std::vector<ChannelInfo>().swap(shown_.channels);
    shown_.Rows.Clear();
    shown_.ColumnChannels.clear();
    RemoveAllSeries();
    chart_->clearGraphs();
    chart_->UndoZoom();
    chart_->ResetAxes();
    chart_->replot();
    model_->Clear();
    shown_.ShownScreening.reset();
    joinSummary_.clear();
    joinedFiles_.clear();
    ShowFileMarks();
    ShowRecordingTitle();
    UpdateSheetStatus();
    emit ViewsCleared();
    if (dialogs_.DataFilterDlg)
        dialogs_.DataFilterDlg->ResetChannelSelection();
}

// Paging and the status line ----------------------------------------------------------------

void RecordingViews::FirstPageButtonClick(PageButtons& buttons) {
    HomePage(shown_.Page, buttons, PageSize());
    ApplyPage();
}

void RecordingViews::FrontPageButtonClick(PageButtons& buttons) {
    PreviousPage(shown_.Page, buttons, PageSize());
    ApplyPage();
}

void RecordingViews::NextPageButtonClick(PageButtons& buttons) {
    NextPage(shown_.Page, buttons, shown_.Rows.RowCount(), PageSize());
    ApplyPage();
}

void RecordingViews::EndPageButtonClick(PageButtons& buttons) {
    LastPage(shown_.Page, buttons, shown_.Rows.RowCount(), PageSize());
    ApplyPage();
}

void RecordingViews::ApplyPage() {
    model_->SetPage(shown_.Page.pageStart, shown_.Page.itemCount);
    ShowPageFromItsTop();
}

void RecordingViews::ShowPageFromItsTop() {
    // A new page is shown from its first row with nothing selected, wherever the previous
    // page was scrolled to.
    sheet_->clearSelection();
    sheet_->scrollToTop();
    frozen_->View()->scrollToTop();
    UpdateSheetStatus();
}

void RecordingViews::UpdateSheetStatus() {
    if (!statusLabel_)
        return;
    SheetStatus status;
    status.fileName = joinSummary_.isEmpty() ? QFileInfo(shownFileName_).fileName().toStdString()
                                             : joinSummary_.toStdString();
    status.rowCount = shown_.Rows.RowCount();
    status.pageStart = shown_.Page.pageStart;
    status.pageSize = PageSize();
    if (shown_.ShownScreening)
        status.window = {{shown_.ShownScreening->start, shown_.ShownScreening->end}};
    status.channelCount = shown_.ColumnChannels.size();
    status.live = shown_.RealTimeMode;
    status.runEnded = !liveRunActive_;
    if (!joinedFiles_.empty() && !shown_.Rows.Empty()) {
        // The current row, or the page's first while none is current.
        const QModelIndex current = sheet_->currentIndex();
        const size_t row =
            size_t(shown_.Page.pageStart) + size_t(current.isValid() ? current.row() : 0);
        std::vector<std::pair<DateTime, DateTime>> windows;
        for (const JoinedFile& file : joinedFiles_)
            windows.emplace_back(file.startTime, file.endTime);
        if (row < shown_.Rows.RowCount())
            if (const auto file = FileOfTime(windows, shown_.Rows.Time(row)))
                status.rowFileName =
                    QFileInfo(
                        QFile::decodeName(QByteArray::fromStdString(joinedFiles_[*file].path)))
                        .fileName()
                        .toStdString();
    }
    statusLabel_->setText(QString::fromStdString(SheetStatusText(status)));
}

// Screening ---------------------------------------------------------------------------------

void RecordingViews::DataListViewContextPopup() {
    if (!shown_.RealTimeMode)
        RunScreening();
}

void RecordingViews::RunScreening() {
    // Live values are no recording to screen, also after the run has stopped.
    TDataFilterDlg* dialog = dialogs_.DataFilterDlg;
    if (shown_.RealTimeMode || shown_.channels.empty() || !dialog ||
        !dialog->AskScreeningSettings())
        return;
    ApplyScreening(dialog->Selection());
}

void RecordingViews::ApplyScreening(const ScreeningSelection& selection) {
    if (shown_.RealTimeMode || shown_.channels.empty())
        return;
    emit RecordingReplaced();
    shown_.Rows.Clear();
    shown_.ColumnChannels.clear();
    model_->Clear();
    RemoveAllSeries();
    chart_->clearGraphs();
    chart_->UndoZoom();
    chart_->ResetAxes();
    shown_.XZoomStopPending = shown_.YZoomStopPending = true;
    worker_.Run(QStringLiteral("Data are screening..."),
                [this, &selection] { BuildOnWorker(&selection); });
    shown_.ShownScreening = selection;
    ApplyViewBuild();
    FinishViewUpdate(selection.start, false);
}

// Chart navigation --------------------------------------------------------------------------

void RecordingViews::ApplyNavigation(const NavigationOutcome& outcome) {
    SetRange(chart_->xAxis, outcome.time);
    SetRange(chart_->yAxis, outcome.value);
    if (outcome.setIncrements) {
        chart_->SetTimeIncrement(outcome.timeIncrement);
        chart_->SetValueIncrement(outcome.valueIncrement);
    }
    // Moving the time cursor or its line reads out again; the second line has no read-out.
    chart_->Tool()->SetXValue(outcome.cursors.x);
    chart_->Tool()->SetYValue(outcome.cursors.y);
    chart_->Tool2()->SetYValue(outcome.cursors.y2);
    chart_->replot(QCustomPlot::rpQueuedReplot);
}

CursorPlaces RecordingViews::Cursors() const {
    return {chart_->Tool()->XValue(), chart_->Tool()->YValue(), chart_->Tool2()->YValue()};
}

void RecordingViews::ChartZoom() {
    if (shown_.RealTimeMode || shown_.channels.empty())
        return;
    ApplyNavigation(OnZoom(RangeOf(chart_->xAxis), RangeOf(chart_->yAxis), Cursors(),
                           {shown_.XZoomStop, shown_.XZoomStopPending},
                           {shown_.YZoomStop, shown_.YZoomStopPending}));
    ShowDetailOfWindow();
}

void RecordingViews::ChartUndoZoom() {
    if (shown_.RealTimeMode || shown_.channels.empty())
        return;
    ApplyNavigation(OnUndoZoom(RangeOf(chart_->xAxis), RangeOf(chart_->yAxis), Cursors(),
                               {shown_.XZoomStop, shown_.XZoomStopPending},
                               {shown_.YZoomStop, shown_.YZoomStopPending}));
    detail_->Restore();
}

void RecordingViews::OnChartScroll() {
    if (shown_.RealTimeMode || shown_.channels.empty())
        return;
    ApplyNavigation(OnScroll(RangeOf(chart_->xAxis), RangeOf(chart_->yAxis), Cursors(),
                             {shown_.XZoomStop, shown_.XZoomStopPending},
                             {shown_.YZoomStop, shown_.YZoomStopPending}));
    ShowDetailOfWindow();
}

void RecordingViews::ShowDetailOfWindow() {
    const QCPRange window = chart_->xAxis->range();
    detail_->Show(window.lower, window.upper);
}

bool RecordingViews::ShowsDetailOfWindow() const {
    return detail_->Refined();
}

// Between the sheet and the chart -----------------------------------------------------------

void RecordingViews::SetTimeCursor(DateTime time) {
    chart_->Tool()->SetXValue(time);
    chart_->ScrollTimeIntoView(time);
}

DateTime RecordingViews::TimeCursor() const {
    return chart_->Tool()->XValue();
}

void RecordingViews::DataListViewDblClick(const QModelIndex& index) {
    if (shown_.RealTimeMode || !index.isValid())
        return;
    const size_t row = size_t(shown_.Page.pageStart) + size_t(index.row());
    if (row >= shown_.Rows.RowCount())
        return;
    SetTimeCursor(shown_.Rows.Time(row));
    emit ChartWanted();
}

void RecordingViews::ShowCursorRowInSheet() {
    if (shown_.RealTimeMode)
        return;
    if (const auto row = NearestRow(shown_.Rows, TimeCursor()))
        ShowSheetRow(*row);
}

void RecordingViews::ShowSheetRow(size_t row) {
    if (row >= shown_.Rows.RowCount())
        return;
    const PageButtons buttons = TurnToRow(row);
    emit SheetPageWanted(buttons);
}

PageButtons RecordingViews::TurnToRow(size_t row) {
    PageButtons buttons;
    ShowPageOfRow(shown_.Page, buttons, row, shown_.Rows.RowCount(), PageSize());
    ApplyPage();
    const int item = static_cast<int>(row - shown_.Page.pageStart);
    sheet_->selectRow(item);
    sheet_->scrollTo(model_->index(item, 0), QAbstractItemView::PositionAtCenter);
    UpdateSheetStatus();
    return buttons;
}

void RecordingViews::GoToTimeMenuItemClick() {
    if (shown_.RealTimeMode || shown_.channels.empty())
        return;
    if (!goToTime_)
        goToTime_ = new TGoToTimeDlg(window_);
    const ScreeningSelection* screened = shown_.ShownScreening ? &*shown_.ShownScreening : nullptr;
    goToTime_->Prepare(TimeCursor(), screened ? screened->start : shown_.recordingInfo.startTime,
                       screened ? screened->end : shown_.recordingInfo.endTime);
    if (goToTime_->exec() == QDialog::Accepted)
        GoToTime(goToTime_->ChosenTime());
}

void RecordingViews::GoToTime(DateTime time) {
    if (shown_.RealTimeMode || shown_.channels.empty())
        return;
    const ZoomWindow window =
        shown_.ShownScreening
            ? ZoomWindow{shown_.ShownScreening->start, shown_.ShownScreening->end}
            : ZoomWindow{shown_.recordingInfo.startTime, shown_.recordingInfo.endTime};
    // Settled as a placed cursor settles, within the views' window; the scroll keeps the zoom.
    SetTimeCursor(PlacedCursorTime(time, window));
    if (const auto row = NearestRow(shown_.Rows, TimeCursor()))
        emit SheetPageTurned(TurnToRow(*row));
}

// The live run's views ----------------------------------------------------------------------

void RecordingViews::SetRealTimeMode(bool on) {
    shown_.RealTimeMode = on;
}

void RecordingViews::StartLiveViews(const std::vector<int16_t>& activeChannels,
                                    const std::vector<SheetColumn>& columns) {
    SetRealTimeMode(true);
    liveRunActive_ = true;
    ClearViews();
    chart_->Tool()->SetActive(false);
    chart_->Tool2()->SetActive(false);
    chart_->SetZoomAllowed(false);
    chart_->SetPanAllowed(false);
    // Both axes follow the points; time labels a second apart at the least.
    chart_->SetTimeIncrement(OneSecond);
    chart_->SetValueIncrement(0);
    SetDataListColumns(columns);
    for (size_t p = 0; p < activeChannels.size(); ++p) {
        const std::string title = LiveSeriesTitle(activeChannels[p]);
        QCPGraph* series = chart_->AddSeries(QString::fromStdString(title),
                                             QColor::fromRgb(ChannelColour(p)), nullptr);
        shown_.SeriesInfos.push_back({title, std::string(), series});
        shown_.ColumnChannels.push_back(static_cast<int16_t>(p));
    }
}

void RecordingViews::LiveRunEnded() {
    liveRunActive_ = false;
    UpdateSheetStatus();
}

void RecordingViews::ShowLiveSheetRow() {
    shown_.Page.pageStart = 0;
    shown_.Page.itemCount = 1;
    model_->SetPage(shown_.Page.pageStart, shown_.Page.itemCount);
}

void RecordingViews::SetLiveRecording(const DeviceRecords& records,
                                      const std::vector<int16_t>& activeChannels) {
    FillLiveRecording(records, activeChannels, shown_.channels, shown_.Rows);
    sheet_->viewport()->update();
}
