#include "app/MainFormUnit.h"

#include "app/AboutDlg.h"
#include "app/DataSheetModel.h"
#include "app/GlobalFigurePage.h"
#include "app/RealComSettingDlg.h"
#include "app/ServiceSwitches.h"
#include "chart/TrendChart.h"
#include "data/Text.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString Caption = QStringLiteral("Paperless recorder");
constexpr int DesignedClientWidth = 1280;
constexpr int DesignedClientHeight = 956;

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
    CreateParts();
    ConnectCommands();
    ConnectParts();

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
    worker_->WaitForWorker();
    views_->RemoveAllSeries();
}

QSize TMainForm::DesignedClientSize() {
    return {DesignedClientWidth, DesignedClientHeight};
}

void TMainForm::AttachDialogs(TDataFilterDlg* dataFilter, TProcessDlg* process, TAboutBox* about,
                              TOKBottomDlg* vernier) {
    dialogs_.DataFilterDlg = dataFilter;
    dialogs_.ProcessDlg = process;
    dialogs_.AboutBox = about;
    dialogs_.OKBottomDlg = vernier;
}

void TMainForm::AttachComSettingDialog(TRealComSettingDlg* dialog) {
    dialogs_.RealComSettingDlg = dialog;
    if (dialog)
        dialog->SetConfigPath(live_->Monitor().ConfigPath());
}

void TMainForm::SetConfigFilePath(const std::string& path) {
    live_->SetConfigPath(path);
    measure_->UseConfigFile(path);
    archive_->SetConfigPath(path);
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
    OpenFromArchiveMenuItem = MakeAction(this, QStringLiteral("Open from archive…"), {},
                                         QKeySequence(QStringLiteral("Ctrl+Shift+A")));
    file->addAction(OpenFromArchiveMenuItem);
    AddToArchiveMenuItem = MakeAction(this, QStringLiteral("Add to archive…"));
    file->addAction(AddToArchiveMenuItem);
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
    // A joined week has more than a thousand sheet pages: a moment is reached by its time.
    GoToTimeMenuItem =
        MakeAction(this, QStringLiteral("Go to time…"), {}, QKeySequence(QStringLiteral("Ctrl+G")));
    view->addAction(GoToTimeMenuItem);
    view->addSeparator();
    OwnScalesMenuItem =
        MakeAction(this, QStringLiteral("Each channel on its own scale"), QStringLiteral("scales"));
    OwnScalesMenuItem->setCheckable(true);
    OwnScalesMenuItem->setToolTip(QStringLiteral("Each channel on its own scale"));
    view->addAction(OwnScalesMenuItem);

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

    // The trend chart's context menu; a right drag scrolls instead.
    ChartPopupMenu = new QMenu(this);
    ShowInSheetMenuItem = ChartPopupMenu->addAction(QStringLiteral("Show in data sheet"));
    ChartPopupMenu->addSeparator();
    MeasureMenuItem = MakeAction(this, QStringLiteral("Measure from here"));
    HideMeasureMenuItem = MakeAction(this, QStringLiteral("Hide measuring cursor"));
    StatisticsMenuItem = MakeAction(this, QStringLiteral("Statistics A\u2013B\u2026"));
    ChartPopupMenu->addActions({MeasureMenuItem, HideMeasureMenuItem, StatisticsMenuItem});
}

void TMainForm::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Tools"));
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
    bar->addAction(OwnScalesMenuItem);
    bar->addSeparator();
}

void TMainForm::CreatePages() {
    PageControl = new QTabWidget(this);
    setCentralWidget(PageControl);

    DataTabSheet = new QWidget;
    DataListView = new QTableView(DataTabSheet);
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
    auto* dataLayout = new QVBoxLayout(DataTabSheet);
    dataLayout->setContentsMargins(0, 0, 0, 0);
    dataLayout->addWidget(DataListView);

    ChartTabSheet = new QWidget;
    Chart = new TrendChart(ChartTabSheet);
    ChartTool = Chart->Tool();
    ChartTool2 = Chart->Tool2();
    ChartToolB = Chart->ToolB();
    auto* chartLayout = new QVBoxLayout(ChartTabSheet);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(Chart);

    SystemCaseTabSheet = new QWidget;
    ScrollBox = new GlobalFigurePage(SystemCaseTabSheet);
    auto* globalLayout = new QVBoxLayout(SystemCaseTabSheet);
    globalLayout->setContentsMargins(0, 0, 0, 0);
    globalLayout->addWidget(ScrollBox);

    PageControl->addTab(DataTabSheet, QStringLiteral("Data sheet"));
    PageControl->addTab(ChartTabSheet, QStringLiteral("Trend diagram"));
    PageControl->addTab(SystemCaseTabSheet, QStringLiteral("Global figure"));
}

void TMainForm::CreateParts() {
    // The presenter the window has when a part shows a message.
    const MessagePresenter present = [this](QWidget* parent, const UserMessage& message) {
        presentMessage_(parent, message);
    };
    worker_ = std::make_unique<WorkerProtocol>(dialogs_, present);
    views_ =
        std::make_unique<RecordingViews>(this, settings_, dialogs_, *worker_, present, DataListView,
                                         DataTabSheet, Chart, ShowInSheetMenuItem);
    DataListModel = views_->SheetModel();
    live_ = std::make_unique<LiveRun>(this, Timer, ScrollBox, Chart, statusBar(), views_->Shown(),
                                      dialogs_, *worker_, present);
    measure_ =
        std::make_unique<Measuring>(this, Chart, views_->Shown(), dialogs_, TimerForAllowZoom,
                                    Measuring::Actions{OwnScalesMenuItem, MeasureMenuItem,
                                                       HideMeasureMenuItem, StatisticsMenuItem});
    measure_->UseConfigFile(live_->Monitor().ConfigPath());
    savePrint_ = std::make_unique<SaveAndPrint>(this, Chart, DataListModel, views_->Shown(),
                                                *worker_, present);
    service_ = std::make_unique<ServiceCommands>(this, live_->Monitor());
    archive_ = std::make_unique<ArchiveCommands>(this, dialogs_, *worker_, present, *views_);
    archive_->SetConfigPath(live_->Monitor().ConfigPath());
}

void TMainForm::ConnectCommands() {
    for (QAction* action : {OpenFileMenuItem, OpenFileButton})
        connect(action, &QAction::triggered, this, &TMainForm::OpenFileButtonClick);
    connect(OpenFolderMenuItem, &QAction::triggered, views_.get(),
            &RecordingViews::OpenFolderMenuItemClick);
    connect(OpenFromArchiveMenuItem, &QAction::triggered, archive_.get(),
            &ArchiveCommands::OpenFromArchiveMenuItemClick);
    connect(AddToArchiveMenuItem, &QAction::triggered, archive_.get(),
            &ArchiveCommands::AddToArchiveMenuItemClick);
    connect(ImportDataMenuItem, &QAction::triggered, this, &TMainForm::ImportData);
    for (QAction* action : {SaveFileButton, SaveFileMenuItem})
        connect(action, &QAction::triggered, this, &TMainForm::SaveFileButtonClick);
    for (QAction* action : {PrintButton, PrintMenuItem})
        connect(action, &QAction::triggered, this, &TMainForm::PrintButtonClick);
    connect(ExitMenuItem, &QAction::triggered, this, &TMainForm::ExitMenuItemClick);
    connect(DataTableMenuItem, &QAction::triggered, this, &TMainForm::DataTableMenuItemClick);
    connect(ChartMenuItem, &QAction::triggered, this, &TMainForm::ChartMenuItemClick);
    connect(SystemCaseMenuItem, &QAction::triggered, this, &TMainForm::SystemCaseMenuItemClick);
    connect(VernierMenuItem, &QAction::triggered, measure_.get(), &Measuring::VernierMenuItemClick);
    connect(GoToTimeMenuItem, &QAction::triggered, views_.get(),
            &RecordingViews::GoToTimeMenuItemClick);
    for (QAction* action : {ComSettingButton, ComSettingMenuItem})
        connect(action, &QAction::triggered, this, &TMainForm::ComSettingButtonClick);
    for (QAction* action : {RunButton, RunMenuItem})
        connect(action, &QAction::triggered, this, &TMainForm::RunButtonClick);
    for (QAction* action : {StopButton, StopMenuItem})
        connect(action, &QAction::triggered, this, &TMainForm::StopButtonClick);
    connect(OEMDownLoad, &QAction::triggered, this, &TMainForm::OnOEMDLClick);
    connect(AboutIMenuItem, &QAction::triggered, this, &TMainForm::AboutButtonClick);
    connect(DataFilterButton, &QAction::triggered, this, &TMainForm::DataFilterButtonClick);
    connect(FirstPageButton, &QAction::triggered, this, &TMainForm::FirstPageButtonClick);
    connect(FrontPageButton, &QAction::triggered, this, &TMainForm::FrontPageButtonClick);
    connect(NextPageButton, &QAction::triggered, this, &TMainForm::NextPageButtonClick);
    connect(EndPageButton, &QAction::triggered, this, &TMainForm::EndPageButtonClick);
}

void TMainForm::ConnectParts() {
    // Between the parts.
    connect(views_.get(), &RecordingViews::ViewsBuilt, measure_.get(),
            &Measuring::ApplySeriesScales);
    connect(views_.get(), &RecordingViews::ViewsCleared, live_.get(), &LiveRun::HideRunStatus);
    // The read-out reads the plotted points: again when detail on zoom changed them.
    connect(views_.get(), &RecordingViews::SeriesRefined, measure_.get(),
            [this] { measure_->ChartCursorToolChange(Chart->Tool()->XValue()); });
    connect(views_.get(), &RecordingViews::RecordingReplaced, measure_.get(),
            &Measuring::ForgetRecording);
    connect(live_.get(), &LiveRun::LiveViewsStarting, views_.get(),
            &RecordingViews::StartLiveViews);
    connect(live_.get(), &LiveRun::LiveSheetStarting, views_.get(),
            &RecordingViews::ShowLiveSheetRow);
    connect(live_.get(), &LiveRun::LiveValuesRead, views_.get(), &RecordingViews::SetLiveRecording);
    connect(live_.get(), &LiveRun::RunEnded, views_.get(), &RecordingViews::LiveRunEnded);
    connect(service_.get(), &ServiceCommands::ImportRequested, views_.get(),
            &RecordingViews::ImportDataFile);

    // The commands follow what the parts report.
    auto commands = [this](auto change) {
        return [this, change] {
            change();
            ApplyCommandStates();
        };
    };
    connect(views_.get(), &RecordingViews::ViewsBuilt, this,
            [this](const PageButtons& firstPage, bool enableFilter) {
                OnViewsBuilt(Commands, firstPage, enableFilter);
                ApplyCommandStates();
            });
    connect(views_.get(), &RecordingViews::ViewsFinished, this,
            commands([this] { OnFinishViewUpdate(Commands, SavedPageButtons, CurrentPage); }));
    connect(live_.get(), &LiveRun::Connecting, this,
            commands([this] { OnRealTimeConnecting(Commands); }));
    connect(live_.get(), &LiveRun::ConnectEnded, this,
            commands([this] { OnRealTimeConnected(Commands); }));
    connect(live_.get(), &LiveRun::LiveViewsStarting, this,
            commands([this] { OnRealTimeStarted(Commands, SavedPageButtons); }));
    connect(live_.get(), &LiveRun::Stopped, this,
            commands([this] { OnRealTimeStopped(Commands); }));

    // The pages the parts ask for.
    connect(views_.get(), &RecordingViews::SheetPageWanted, this,
            [this](const PageButtons& buttons) {
                // The sheet restores its parked paging buttons when it is shown.
                SavedPageButtons = buttons;
                if (CurrentPage == ShownPage::DataSheet)
                    Commands.paging = buttons;
                DataTableMenuItemClick();
                ApplyCommandStates();
            });
    connect(views_.get(), &RecordingViews::SheetPageTurned, this,
            [this](const PageButtons& buttons) {
                SavedPageButtons = buttons;
                if (CurrentPage == ShownPage::DataSheet) {
                    Commands.paging = buttons;
                    ApplyCommandStates();
                }
            });
    connect(views_.get(), &RecordingViews::ChartWanted, this, &TMainForm::ChartMenuItemClick);
    connect(measure_.get(), &Measuring::ChartWanted, this, [this] {
        if (CurrentPage != ShownPage::TrendDiagram)
            ChartMenuItemClick();
    });

    // The chart's context menu, its items prepared by the parts that fill it.
    connect(Chart, &TrendChart::ContextMenuRequested, this,
            [this](const QPoint& at) { ChartPopupMenu->popup(at); });
}

void TMainForm::ApplyCommandStates() {
    const CommandStates& c = Commands;
    OpenFileButton->setEnabled(c.open);
    OpenFileMenuItem->setEnabled(c.open);
    OpenFolderMenuItem->setEnabled(c.open);
    OpenFromArchiveMenuItem->setEnabled(c.open);
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

void TMainForm::FirstPageButtonClick() {
    views_->FirstPageButtonClick(Commands.paging);
    ApplyCommandStates();
}

void TMainForm::FrontPageButtonClick() {
    views_->FrontPageButtonClick(Commands.paging);
    ApplyCommandStates();
}

void TMainForm::NextPageButtonClick() {
    views_->NextPageButtonClick(Commands.paging);
    ApplyCommandStates();
}

void TMainForm::EndPageButtonClick() {
    views_->EndPageButtonClick(Commands.paging);
    ApplyCommandStates();
}

void TMainForm::AboutButtonClick() {
    if (dialogs_.AboutBox)
        dialogs_.AboutBox->exec();
}

void TMainForm::ExitMenuItemClick() {
    close();
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
    QTimer::singleShot(0, this, [this, paths] { views_->OpenDataFiles(paths); });
}
