#include "app/MainFormUnit.h"

#include "app/AboutDlg.h"
#include "app/DataSheetModel.h"
#include "app/ProcessDlg.h"
#include "chart/CursorMoveDlg.h"
#include "chart/TrendChart.h"
#include "data/LiveRecord.h"
#include "data/Text.h"
#include "data/Utility.h"
#include "filter/DataFilter.h"
#include "views/IntervalStatistics.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString Caption = QStringLiteral("Paperless recorder");
constexpr int DesignedClientWidth = 1280;
constexpr int DesignedClientHeight = 956;
// A tenth of a second as a date-time: the time cursor sits just inside the window.
constexpr DateTime CursorOffset = 1.0 / 864000.0;

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Stop:
    case MessageIcon::Error:
        break;
    }
    return QMessageBox::Critical;
}

void ShowMessageBox(QWidget* parent, const UserMessage& message) {
    QMessageBox box(BoxIcon(message.icon), Caption, QString::fromStdString(GbkToUtf8(message.text)),
                    QMessageBox::Ok, parent);
    if (!message.detail.empty())
        box.setDetailedText(QString::fromStdString(message.detail));
    box.exec();
}

QAction* MakeAction(QObject* owner, const QString& text, const QString& icon = {},
                    const QKeySequence& shortcut = {}) {
    auto* action = new QAction(text, owner);
    if (!icon.isEmpty())
        action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    return action;
}

uint32_t PageSizeOf(const TDataFilterDlg* dialog) {
    return dialog ? dialog->ItemsPerPage : 500;
}

bool IsRecorderDataFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("bin") || suffix == QLatin1String("dat");
}

bool IsRecordingFile(const QString& path) {
    return IsRecorderDataFile(path) || QFileInfo(path).suffix().toLower() == QLatin1String("csv");
}

// What a drop opens: one recording or folder, or several data files to join; nothing else.
QStringList DroppedRecordings(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    if (paths.size() == 1)
        return IsRecordingFile(paths.front()) || QFileInfo(paths.front()).isDir() ? paths
                                                                                  : QStringList{};
    for (const QString& path : paths)
        if (!IsRecorderDataFile(path))
            return {};
    return paths;
}

} // namespace

bool ReadServiceSwitch(QSettings& settings, const QString& name) {
    if (!settings.contains(name))
        return false;
    const QVariant value = settings.value(name);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong() == 1;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return SwitchIsOn(value.toString().toStdString());
    default:
        return false; // lists and other types are no integer
    }
}

TMainForm::TMainForm(QSettings& settings, QWidget* parent)
    : QMainWindow(parent), settings_(settings), presentMessage_(ShowMessageBox) {
    setWindowTitle(QStringLiteral("Paperless recorder "));
    setAcceptDrops(true);
    CreateMenus();
    CreateToolBar();
    CreatePages();

    Timer = new QTimer(this);
    Timer->setInterval(1000);
    TimerForAllowZoom = new QTimer(this);
    TimerForAllowZoom->setInterval(100);
    TimerForAllowZoom->setSingleShot(true);
    ConnectRealTimeCommands();
    ConnectChartEvents();
    ConnectExportCommands();
    ConnectServiceCommands();
    CreateMeasureCommands();

    Commands = StartUpCommands(ReadServiceSwitch(settings_, QStringLiteral("ImportData")),
                               ReadServiceSwitch(settings_, QStringLiteral("OEMDL")));
    ApplyCommandStates();

    // The designed client size, shrunk to the screen's free area when that is smaller.
    QSize size(DesignedClientWidth, DesignedClientHeight);
    if (const QScreen* screen = this->screen()) {
        const QRect free = screen->availableGeometry();
        constexpr int FrameAllowance = 40; // title bar and borders drawn by the window manager
        size = size.boundedTo(QSize(free.width(), free.height() - FrameAllowance));
        move(free.topLeft());
    }
    resize(size);

    // The page control opens on the trend diagram.
    PageControl->setCurrentWidget(ChartTabSheet);
    ChartTabSheetShow();
    connect(PageControl, &QTabWidget::currentChanged, this, [this](int index) {
        QWidget* page = PageControl->widget(index);
        if (page == DataTabSheet)
            DataTabSheetShow();
        else if (page == ChartTabSheet)
            ChartTabSheetShow();
        else if (page == SystemCaseTabSheet)
            SystemCaseTabSheetShow();
    });
}

TMainForm::~TMainForm() {
    Timer->stop();
    if (WorkerThread.joinable())
        WorkerThread.join();
    RemoveAllSeries();
}

QSize TMainForm::DesignedClientSize() {
    return {DesignedClientWidth, DesignedClientHeight};
}

void TMainForm::AttachDialogs(TDataFilterDlg* dataFilter, TProcessDlg* process, TAboutBox* about,
                              TOKBottomDlg* vernier) {
    DataFilterDlg = dataFilter;
    ProcessDlg = process;
    AboutBox = about;
    OKBottomDlg = vernier;
}

void TMainForm::SetMessagePresenter(MessagePresenter presenter) {
    presentMessage_ = std::move(presenter);
}

void TMainForm::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    OpenFileMenuItem =
        MakeAction(this, QStringLiteral("Open(&O)"), {}, QKeySequence(QStringLiteral("Ctrl+O")));
    file->addAction(OpenFileMenuItem);
    OpenFolderMenuItem = MakeAction(this, QStringLiteral("Open folder…"), {},
                                    QKeySequence(QStringLiteral("Ctrl+Shift+O")));
    file->addAction(OpenFolderMenuItem);
    ImportDataMenuItem = MakeAction(this, QStringLiteral("Import data(&I)"), {},
                                    QKeySequence(QStringLiteral("Ctrl+I")));
    file->addAction(ImportDataMenuItem);
    file->addSeparator();
    SaveFileMenuItem =
        MakeAction(this, QStringLiteral("Save(&S)"), {}, QKeySequence(QStringLiteral("Ctrl+S")));
    file->addAction(SaveFileMenuItem);
    file->addSeparator();
    PrintMenuItem =
        MakeAction(this, QStringLiteral("Print(&P)"), {}, QKeySequence(QStringLiteral("Ctrl+P")));
    file->addAction(PrintMenuItem);
    file->addSeparator();
    ExitMenuItem = MakeAction(this, QStringLiteral("Exit(&E)"));
    file->addAction(ExitMenuItem);

    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    DataTableMenuItem = MakeAction(this, QStringLiteral("Data sheet(&D)"));
    ChartMenuItem = MakeAction(this, QStringLiteral("Trend diagram(&T)"));
    SystemCaseMenuItem = MakeAction(this, QStringLiteral("Global figure(&G)"));
    view->addActions({DataTableMenuItem, ChartMenuItem, SystemCaseMenuItem});
    view->addSeparator();
    // The vernier dialog is otherwise reached only by double-clicking the chart.
    VernierMenuItem = MakeAction(this, QStringLiteral("Vernier…"), {},
                                 QKeySequence(QStringLiteral("Ctrl+Shift+V")));
    view->addAction(VernierMenuItem);
    ViewMenu = view;

    QMenu* live = menuBar()->addMenu(QStringLiteral("Real-time monitoring"));
    ComSettingMenuItem = MakeAction(this, QStringLiteral("Com(&C)"));
    live->addAction(ComSettingMenuItem);
    live->addSeparator();
    RunMenuItem = MakeAction(this, QStringLiteral("Run(&R)"));
    StopMenuItem = MakeAction(this, QStringLiteral("Stop(&S)"));
    live->addActions({RunMenuItem, StopMenuItem});

    QMenu* about = menuBar()->addMenu(QStringLiteral("About"));
    OEMDownLoad = MakeAction(this, QStringLiteral("OEM Load(&D)"));
    about->addAction(OEMDownLoad);
    about->addSeparator();
    AboutIMenuItem = MakeAction(this, QStringLiteral("About(&A)"));
    about->addAction(AboutIMenuItem);

    connect(OpenFileMenuItem, &QAction::triggered, this, &TMainForm::OpenFileButtonClick);
    connect(OpenFolderMenuItem, &QAction::triggered, this, &TMainForm::OpenFolderMenuItemClick);
    connect(ExitMenuItem, &QAction::triggered, this, &TMainForm::ExitMenuItemClick);
    connect(DataTableMenuItem, &QAction::triggered, this, &TMainForm::DataTableMenuItemClick);
    connect(ChartMenuItem, &QAction::triggered, this, &TMainForm::ChartMenuItemClick);
    connect(SystemCaseMenuItem, &QAction::triggered, this, &TMainForm::SystemCaseMenuItemClick);
    connect(VernierMenuItem, &QAction::triggered, this, &TMainForm::VernierMenuItemClick);
    connect(AboutIMenuItem, &QAction::triggered, this, &TMainForm::AboutButtonClick);
}

void TMainForm::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Tools"));
    ToolBar = bar;
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(20, 20));
    bar->setFixedHeight(29);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu); // no tool bar hiding menu

    auto button = [this, bar](const QString& hint, const QString& icon,
                              const QKeySequence& shortcut = {}) {
        QAction* action = MakeAction(this, hint, icon, shortcut);
        action->setToolTip(hint);
        bar->addAction(action);
        return action;
    };
    bar->addSeparator();
    OpenFileButton = button(QStringLiteral("Open File"), QStringLiteral("open"));
    DataFilterButton =
        button(QStringLiteral("Data filtering conditions set"), QStringLiteral("filter"));
    SaveFileButton = button(QStringLiteral("Save"), QStringLiteral("save"));
    bar->addSeparator();
    PrintButton = button(QStringLiteral("Print"), QStringLiteral("print"));
    bar->addSeparator();
    FirstPageButton = button(QStringLiteral("Home page"), QStringLiteral("first"),
                             QKeySequence(QStringLiteral("Ctrl+Home")));
    FrontPageButton = button(QStringLiteral("Previous page"), QStringLiteral("previous"),
                             QKeySequence(QStringLiteral("Ctrl+PgUp")));
    NextPageButton = button(QStringLiteral("Next page"), QStringLiteral("next"),
                            QKeySequence(QStringLiteral("Ctrl+PgDown")));
    EndPageButton = button(QStringLiteral("Last Page"), QStringLiteral("last"),
                           QKeySequence(QStringLiteral("Ctrl+End")));
    bar->addSeparator();
    ComSettingButton =
        button(QStringLiteral("Real-time communication set "), QStringLiteral("com"));
    RunButton = button(QStringLiteral("Run"), QStringLiteral("run"));
    StopButton = button(QStringLiteral("Stop"), QStringLiteral("stop"));
    bar->addSeparator();

    connect(OpenFileButton, &QAction::triggered, this, &TMainForm::OpenFileButtonClick);
    connect(DataFilterButton, &QAction::triggered, this, &TMainForm::DataFilterButtonClick);
    connect(FirstPageButton, &QAction::triggered, this, &TMainForm::FirstPageButtonClick);
    connect(FrontPageButton, &QAction::triggered, this, &TMainForm::FrontPageButtonClick);
    connect(NextPageButton, &QAction::triggered, this, &TMainForm::NextPageButtonClick);
    connect(EndPageButton, &QAction::triggered, this, &TMainForm::EndPageButtonClick);
}

void TMainForm::CreatePages() {
    PageControl = new QTabWidget(this);
    setCentralWidget(PageControl);

    DataTabSheet = new QWidget;
    DataListView = new QTableView(DataTabSheet);
    DataListModel = new DataSheetModel(Rows, channels, ColumnChannels, this);
    DataListView->setModel(DataListModel);
    DataListView->setShowGrid(true);
    DataListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DataListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataListView->setSortingEnabled(false);
    DataListView->setWordWrap(false);
    DataListView->setTextElideMode(Qt::ElideRight);
    DataListView->verticalHeader()->hide();
    DataListView->horizontalHeader()->setSectionsClickable(false);
    DataListView->horizontalHeader()->setSectionsMovable(false);
    DataListView->horizontalHeader()->setHighlightSections(false);
    DataListView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    DataListView->horizontalHeader()->setStretchLastSection(false);
    // Every row has the same height: the view need not measure rows it does not show.
    DataListView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DataListView->verticalHeader()->setDefaultSectionSize(DataListView->fontMetrics().height() + 4);
    DataListView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(DataListView, &QWidget::customContextMenuRequested, this,
            [this] { DataListViewContextPopup(); });
    auto* dataLayout = new QVBoxLayout(DataTabSheet);
    dataLayout->setContentsMargins(0, 0, 0, 0);
    dataLayout->addWidget(DataListView);

    ChartTabSheet = new QWidget;
    Chart = new TrendChart(ChartTabSheet);
    ChartTool = Chart->Tool();
    ChartTool2 = Chart->Tool2();
    auto* chartLayout = new QVBoxLayout(ChartTabSheet);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(Chart);

    SystemCaseTabSheet = new QWidget;
    CreateGlobalFigurePage();

    PageControl->addTab(DataTabSheet, QStringLiteral("Data sheet"));
    PageControl->addTab(ChartTabSheet, QStringLiteral("Trend diagram"));
    PageControl->addTab(SystemCaseTabSheet, QStringLiteral("Global figure"));
    CreateSheetExtrasAndLinks();
}

void TMainForm::ApplyCommandStates() {
    const CommandStates& c = Commands;
    OpenFileButton->setEnabled(c.open);
    OpenFileMenuItem->setEnabled(c.open);
    OpenFolderMenuItem->setEnabled(c.open);
    ImportDataMenuItem->setVisible(c.importVisible);
    ImportDataMenuItem->setEnabled(c.importEnabled);
    DataFilterButton->setEnabled(c.filter);
    for (QAction* a : {SaveFileButton, SaveFileMenuItem, PrintButton, PrintMenuItem})
        a->setEnabled(c.savePrint);
    FirstPageButton->setEnabled(c.paging.first);
    FrontPageButton->setEnabled(c.paging.front);
    NextPageButton->setEnabled(c.paging.next);
    EndPageButton->setEnabled(c.paging.end);
    for (QAction* a : {ComSettingButton, ComSettingMenuItem, RunButton, RunMenuItem})
        a->setEnabled(c.comRun);
    StopButton->setEnabled(c.stop);
    StopMenuItem->setEnabled(c.stop);
    OEMDownLoad->setVisible(c.oemVisible);
    OEMDownLoad->setEnabled(c.oemEnabled);
    PageControl->setTabVisible(PageControl->indexOf(SystemCaseTabSheet), c.globalPage);
    SystemCaseMenuItem->setVisible(c.globalPage);
}

void TMainForm::ShowPage(QWidget* page) {
    const int index = PageControl->indexOf(page);
    if (PageControl->isTabVisible(index))
        PageControl->setCurrentIndex(index);
}

void TMainForm::DataTableMenuItemClick() {
    ShowPage(DataTabSheet);
}
void TMainForm::ChartMenuItemClick() {
    ShowPage(ChartTabSheet);
}
void TMainForm::SystemCaseMenuItemClick() {
    ShowPage(SystemCaseTabSheet);
}

void TMainForm::DataTabSheetShow() {
    OnDataSheetShown(Commands, SavedPageButtons, CurrentPage);
    ApplyCommandStates();
}

void TMainForm::ChartTabSheetShow() {
    OnTrendDiagramShown(Commands, SavedPageButtons, CurrentPage);
    ApplyCommandStates();
}

void TMainForm::SystemCaseTabSheetShow() {
    OnGlobalFigureShown(Commands, SavedPageButtons, CurrentPage);
    ApplyCommandStates();
}

void TMainForm::AboutButtonClick() {
    if (AboutBox)
        AboutBox->exec();
}

void TMainForm::ExitMenuItemClick() {
    close();
}

void TMainForm::RemoveAllSeries() {
    for (const ChartSeriesInfo& info : SeriesInfos)
        Chart->RemoveSeries(info.series);
    SeriesInfos.clear();
}

void TMainForm::ClearViews() {
    std::vector<ChannelInfo>().swap(channels);
    Rows.Clear();
    ColumnChannels.clear();
    RemoveAllSeries();
    Chart->clearGraphs();
    Chart->UndoZoom();
    Chart->ResetAxes();
    Chart->replot();
    DataListModel->Clear();
    ShownScreening.reset();
    JoinSummary.clear();
    ShowRecordingTitle();
    UpdateSheetStatus();
    // The status line speaks of what is opened next, no longer of the last run.
    for (QLabel* runStatus : {LiveStatusLabel, NoAnswerStatusLabel})
        if (runStatus)
            runStatus->hide();
    if (DataFilterDlg)
        DataFilterDlg->ResetChannelSelection();
}

void TMainForm::OpenFileButtonClick() {
    // Several files selected are joined.
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QString(), OpenFileName.isEmpty() ? QString() : QFileInfo(OpenFileName).path(),
        QStringLiteral("Binary file (*.bin);;Data file(*.dat);;Live record (*.csv);;"
                       "All recordings (*.bin *.dat *.csv)"));
    if (paths.isEmpty())
        return;
    OpenDataFiles(paths);
}

void TMainForm::OpenDataFile(const QString& path) {
    if (QFileInfo(path).isDir()) {
        OpenFolder(path);
        return;
    }
    OpenFileName = path;
    ShownFileName = path;
    joinFileNames_.clear();
    LoadOnWorker([this] { LoadThreadProc(); });
}

void TMainForm::LoadOnWorker(std::function<void()> load) {
    ClearViews();
    ResetRecordingInfo(recordingInfo);
    XZoomStopPending = YZoomStopPending = true;
    RealTimeMode = false;
    loadLogEnabled_ = ReadServiceSwitch(settings_, QStringLiteral("OpenLog"));
    RunWorker(QStringLiteral("Data are loading..."), std::move(load));
    ApplyViewBuild();
    FinishViewUpdate(recordingInfo.startTime, true);
}

void TMainForm::LoadThreadProc() {
    const LoadLogOptions log{loadLogEnabled_, loadLogEnabled_ ? GetSettingsDirectory() : ""};
    const std::string path = QFile::encodeName(OpenFileName).toStdString();
    // The live run's records are text in the import's line format, whatever the import switch.
    if (IsLiveRecordName(path)) {
        ImportOnWorker(path, true);
        return;
    }
    if (auto message = ReadRecorderFile(path, recordingInfo, channels, log)) {
        message->detail = UnreadableFileDetail(path); // the box names the file
        ShowWorkerMessage(*message);
    }
    // The views show whatever the recording holds, also after a failure.
    BuildOnWorker(nullptr);
}

void TMainForm::BuildOnWorker(const ScreeningSelection* selection) {
    const BuildProgress progress{[this](int n) { ProcessDlg->SetProgressMax(n); },
                                 [this](int n) { ProcessDlg->StepProgress(n); }};
    const uint32_t pageSize = PageSizeOf(DataFilterDlg);
    pendingBuild_ =
        selection ? BuildScreenedViews(channels, recordingInfo, *selection, pageSize, progress)
                  : BuildViews(channels, recordingInfo, pageSize, progress);
    pendingSeriesData_.clear();
    for (SeriesBuild& series : pendingBuild_->series) {
        pendingSeriesData_.push_back(TrendChart::MakeSeriesData(series));
        std::vector<PlotPoint>().swap(series.points); // the chart keeps its own copy
    }
}

void TMainForm::ApplyViewBuild() {
    if (!pendingBuild_)
        return;
    ViewBuild& build = *pendingBuild_;

    ColumnChannels = std::move(build.columnChannels);
    Rows = std::move(build.rows);
    SetDataListColumns(build.columns);
    Page = build.page;
    OnViewsBuilt(Commands, build.pageButtons, build.enableFilterButton);
    DataListModel->SetPage(Page.pageStart, Page.itemCount);

    Chart->SetTimeAxis(build.timeAxis.minimum, build.timeAxis.maximum, build.timeAxis.increment);
    Chart->SetValueAxis(build.valueAxis.minimum, build.valueAxis.maximum,
                        build.valueAxis.increment);
    Chart->SetZoomAllowed(true);
    if (build.xZoomStop) {
        XZoomStop = *build.xZoomStop;
        XZoomStopPending = false;
    }
    for (size_t i = 0; i < build.series.size(); ++i) {
        const SeriesBuild& series = build.series[i];
        QCPGraph* graph = Chart->AddSeries(QString::fromStdString(series.title),
                                           QColor::fromRgb(series.colour), pendingSeriesData_[i]);
        SeriesInfos.push_back({series.title, series.unit, graph, GbkToUtf8(series.unit),
                               series.channel, series.channelPos,
                               TimesAscend(channels[static_cast<size_t>(series.channelPos)])});
    }
    ApplySeriesScales();
    ChartTool->SetXValue(build.timeCursorX);
    ChartTool->SetYValue(build.timeCursorY);
    ChartTool2->SetYValue(build.secondLineY);
    pendingBuild_.reset();
    pendingSeriesData_.clear();
    Chart->replot();
    ApplyCommandStates();
    ShowPageFromItsTop();
}

void TMainForm::SetDataListColumns(const std::vector<SheetColumn>& columns) {
    QStringList captions;
    for (const SheetColumn& column : columns)
        captions << QString::fromStdString(GbkToUtf8(column.caption));
    DataListModel->SetColumns(captions);
    // The designed widths suit a small 8-point face whose digits are 6 pixels wide; scaled by
    // this font's digit width the times and values fit as they were meant to, and no column is
    // narrower than its caption, so every channel's unit can be read.
    const double scale =
        std::max(1.0, DataListView->fontMetrics().horizontalAdvance(QLatin1Char('0')) / 6.0);
    const QFontMetrics header(DataListView->horizontalHeader()->font());
    constexpr int CaptionPadding = 16;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const int designed =
            static_cast<int>(std::lround(columns[static_cast<size_t>(c)].width * scale));
        const int caption = header.horizontalAdvance(captions[c]) + CaptionPadding;
        DataListView->setColumnWidth(c, std::max(designed, caption));
    }
}

void TMainForm::FinishViewUpdate(DateTime windowStart, bool afterLoadOrImport) {
    const bool showY = OKBottomDlg && OKBottomDlg->ShowYFlag;
    const bool showY2 = OKBottomDlg && OKBottomDlg->ShowY2Flag;
    ChartTool->SetActive(true);
    ChartTool->SetStyle(showY ? ChartCursorTool::Style::Both : ChartCursorTool::Style::Vertical);
    ChartTool->SetXValue(windowStart + CursorOffset);
    ChartTool->SetYValue(recordingInfo.valueMax);
    ChartTool2->SetActive(showY2);
    ChartTool2->SetYValue(recordingInfo.valueMin);
    if (afterLoadOrImport && DataFilterDlg)
        DataFilterDlg->InitScreening(recordingInfo.startTime, recordingInfo.endTime);
    OnFinishViewUpdate(Commands, SavedPageButtons, CurrentPage);
    ApplyCommandStates();
}

void TMainForm::RunWorker(const QString& text, std::function<void()> work) {
    WorkerThread = std::thread([this, work = std::move(work)] {
        try {
            work();
        } catch (const std::exception& error) {
            // Out of memory on a huge recording, for example: tell the user, keep going.
            ShowWorkerMessage({error.what(), MessageIcon::Error});
        }
        ProcessDlg->PostCloseRequest();
    });
    ProcessDlg->SetProgressText(text);
    ProcessDlg->ResetProgress();
    ProcessDlg->exec();
    WorkerThread.join();
}

void TMainForm::ShowWorkerMessage(const UserMessage& message) {
    auto show = [this, &message] { presentMessage_(ProcessDlg, message); };
    if (QThread::currentThread() == thread())
        show();
    else
        QMetaObject::invokeMethod(ProcessDlg, show, Qt::BlockingQueuedConnection);
}

void TMainForm::ApplyPage() {
    DataListModel->SetPage(Page.pageStart, Page.itemCount);
    ApplyCommandStates();
    ShowPageFromItsTop();
}

void TMainForm::FirstPageButtonClick() {
    HomePage(Page, Commands.paging, PageSizeOf(DataFilterDlg));
    ApplyPage();
}

void TMainForm::FrontPageButtonClick() {
    PreviousPage(Page, Commands.paging, PageSizeOf(DataFilterDlg));
    ApplyPage();
}

void TMainForm::NextPageButtonClick() {
    NextPage(Page, Commands.paging, Rows.RowCount(), PageSizeOf(DataFilterDlg));
    ApplyPage();
}

void TMainForm::EndPageButtonClick() {
    LastPage(Page, Commands.paging, Rows.RowCount(), PageSizeOf(DataFilterDlg));
    ApplyPage();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (Commands.open && !DroppedRecordings(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedRecordings(event->mimeData()->urls());
    if (!Commands.open || paths.isEmpty())
        return;
    event->acceptProposedAction();
    // Open after the drop has finished, outside the drag-and-drop event.
    QTimer::singleShot(0, this, [this, paths] { OpenDataFiles(paths); });
}
