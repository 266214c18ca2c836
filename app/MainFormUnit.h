#pragma once
// The main window: menus, tool bar, the three pages, the current recording and the views built
// from it, the worker protocol with its progress dialog, opening files and paging.

#include "app/realtime/RealTimeMonitor.h"
#include "chart/ChartReadout.h"
#include "chart/OwnScales.h"
#include "chart/TrendChart.h"
#include "data/RecorderFile.h"
#include "data/Recording.h"
#include "views/CommandState.h"
#include "views/Paging.h"
#include "views/SheetRows.h"
#include "views/ViewBuilder.h"

#include <QImage>
#include <QMainWindow>
#include <QSharedPointer>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class DataSheetModel;
class GlobalFigurePage;
struct NavigationOutcome;
class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QModelIndex;
class QSettings;
class QTabWidget;
class QTableView;
class QTimer;
class TAboutBox;
class TDataFilterDlg;
class TOKBottomDlg;
class TProcessDlg;
class TRealComSettingDlg;
class TStatisticsDlg;
class PrintedReport;
class QToolBar;

// One chart series: its base title, its channel's unit and the series the window owns.
struct ChartSeriesInfo {
    std::string title;
    std::string unit; // GBK bytes
    QCPGraph* series = nullptr;
    std::string unitUtf8{};   // the unit as the legend's read-out shows it
    int16_t channel = 0;      // the channel's number
    int16_t channelPos = -1;  // its place in channels
    bool timesAscend = false; // whether the channel's stored times ascend (statistics bisect)
};

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Reads the service switches from settings, the per-user store of the program's switches.
    explicit TMainForm(QSettings& settings, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The dialogs created at start after the main window.
    void AttachDialogs(TDataFilterDlg* dataFilter, TProcessDlg* process, TAboutBox* about,
                       TOKBottomDlg* vernier);

    // Shows a message for the user: caption "Paperless recorder", the text and its icon.
    using MessagePresenter = std::function<void(QWidget* parent, const UserMessage& message)>;
    void SetMessagePresenter(MessagePresenter presenter);

    // The open command: the file dialog, then OpenDataFile.
    void OpenFileButtonClick();
    // Everything after the file dialog: clear, load on the worker, build, complete. A folder
    // opens as OpenFolder opens it.
    void OpenDataFile(const QString& path);

    // Several recordings as one (MainFormJoin.cpp). The files are joined on the worker; one
    // file opens as OpenDataFile opens it.
    void OpenDataFiles(const QStringList& paths);
    // The data files directly in a folder, joined; a folder of one file opens as that file,
    // one without any says so and changes nothing.
    void OpenFolder(const QString& folder);
    // "Open folder…": the folder dialog, then OpenFolder.
    void OpenFolderMenuItemClick();
    // What a join shows ("12 files, 2015-03-01 00:00:00 to 2015-03-13 07:12:00"), in the
    // title and the status line; empty when no join is shown.
    QString JoinSummary;

    void ClearViews();
    // The data sheet's columns: captions (GBK) and designed widths.
    void SetDataListColumns(const std::vector<SheetColumn>& columns);
    void FinishViewUpdate(DateTime windowStart, bool afterLoadOrImport);

    void DataTableMenuItemClick();
    void ChartMenuItemClick();
    void SystemCaseMenuItemClick();
    void DataTabSheetShow();
    void ChartTabSheetShow();
    void SystemCaseTabSheetShow();

    void FirstPageButtonClick();
    void FrontPageButtonClick();
    void NextPageButtonClick();
    void EndPageButtonClick();
    void DataListViewContextPopup();
    void DataFilterButtonClick();
    void RunScreening();
    // The screening after the dialog: views rebuilt from the selection on the worker.
    void ApplyScreening(const ScreeningSelection& selection);

    void AboutButtonClick();
    void ExitMenuItemClick();

    // Real-time monitoring (MainFormRealTime.cpp).
    void AttachComSettingDialog(TRealComSettingDlg* dialog);
    // The config.ini of live runs and the settings dialog (config.ini in the settings
    // directory unless set).
    void SetConfigFilePath(const std::string& path);
    void ComSettingButtonClick();
    void RunButtonClick();
    void OnTimer();
    // The last live read on the Global figure page, the trend diagram and the data sheet;
    // with a gap, each series breaks there before its new point. Not drawn: on the Global
    // figure page only (a repeated clock).
    void ShowLiveValues(std::optional<DateTime> gap = std::nullopt, bool drawn = true);
    void StopButtonClick();
    // While a worker runs, ticks skip their poll, so the worker reads a recording that
    // stands still.
    bool WorkerRunning() const;
    RealTimeMonitor& Monitor() { return *realTime_; }

    // Screening, the data sheet's status line and frozen columns, and the links between the
    // sheet and the chart (MainFormScreening.cpp).
    void UpdateSheetStatus();
    // Double click on a sheet row: the time cursor to the row's time, the chart shown there.
    void DataListViewDblClick(const QModelIndex& index);
    // "Show in data sheet": the sheet on the page of the row nearest the time cursor, that row
    // selected.
    void ShowCursorRowInSheet();
    void ShowSheetRow(size_t row);
    // The trend diagram's time cursor, scrolled into view when it is set; the read-out follows
    // (ChartCursorToolChange runs on the cursor's change).
    void SetTimeCursor(DateTime time);
    DateTime TimeCursor() const;
    // The screening the views were last built with; unset after a load, import or clear.
    std::optional<ScreeningSelection> ShownScreening;
    QTableView* FrozenListView = nullptr;
    QLabel* SheetStatusLabel = nullptr;
    QMenu* ChartPopupMenu = nullptr;
    QAction* ShowInSheetMenuItem = nullptr;

    // Saving and printing (MainFormExport.cpp). The save dialog, the Save command's own boxes
    // (caption "Paperless recorder ") and the report preview are hooks, so that tests and the
    // command-line tool drive them without a modal window.
    struct SaveDialogSetting {
        QString defaultExt; // ".csv"
        QString fileName;   // kept from the previous use
        QString filter;     // "CSV Files(*.csv)|*.csv"
        QString title;
    };
    struct SaveDialogChoice {
        QString fileName;
        int filterIndex = 0; // 0 for the filter's first entry
    };
    using SaveDialogHook =
        std::function<std::optional<SaveDialogChoice>(QWidget* parent, const SaveDialogSetting&)>;
    // Shows a box of the Save command; for a question, true when the answer is Yes.
    using SaveBoxHook = std::function<bool(QWidget* parent, const UserMessage& message)>;
    using ReportHook = std::function<void(QWidget* parent, const PrintedReport& report)>;
    // The save dialog the default hook runs, set up from the setting: its file type entries
    // also decide the extension added to a name typed without one. SaveDialogResult reads
    // the choice off the closed dialog (nullopt when it was not accepted).
    static std::unique_ptr<QFileDialog> MakeSaveDialog(QWidget* parent,
                                                       const SaveDialogSetting& setting);
    static std::optional<SaveDialogChoice> SaveDialogResult(const QFileDialog& dialog,
                                                            const SaveDialogSetting& setting);
    void SetSaveDialogHook(SaveDialogHook hook);
    void SetSaveBoxHook(SaveBoxHook hook);
    void SetReportHook(ReportHook hook);
    void SaveFileButtonClick();
    void PrintButtonClick();
    // The window's designed client size (the window shrinks to a smaller screen).
    static QSize DesignedClientSize();
    // The trend chart as the screen shows it, at its on-screen size unless size is given.
    QImage ChartPicture(QSize size = {});
    // The reports PrintButtonClick shows; nullptr when there is nothing to print.
    std::unique_ptr<PrintedReport> MakeListReport();
    std::unique_ptr<PrintedReport> MakeChartReport();

    // Service functions (MainFormService.cpp): the CSV import and the picture download.
    void ImportData();
    // Everything after the file dialog: clear, import on the worker, build, complete.
    void ImportDataFile(const QString& path);
    // A fresh download dialog for each use, shown modally.
    void OnOEMDLClick();
    QString ImportFileName;

    // Live-run results off the poller thread, lost contact and the run's record
    // (MainFormRealTime.cpp).
    void OnLiveResult(const LivePollResult& result);
    void ApplyLiveResult(const LivePollResult& result);
    // Run's second half, once the poller has opened the port and connected (or failed to).
    void OnRunConnected(const LiveStartResult& result);
    void ShowContactState();
    QLabel* LiveStatusLabel = nullptr;     // the run's counts in the status line
    QLabel* NoAnswerStatusLabel = nullptr; // "No answer since ..." in the status line

    // Chart navigation, read-out and the vernier dialog (MainFormChart.cpp).
    void ChartZoom();
    void ChartUndoZoom();
    void OnChartScroll();
    void OnChartDoubleClick();
    // View > "Vernier…": the dialog of a double-click, over the trend diagram.
    void VernierMenuItemClick();
    void OnAllowZoom();
    // The read-out at the time cursor's X value: legend title and one entry per series.
    void ChartCursorToolChange(double xValue);

    // Comparing and measuring (MainFormMeasure.cpp): each channel on its own scale, the
    // measuring cursor B beside the time cursor A, and the statistics between them.
    // The View menu's and tool bar's toggle: sets the mode and remembers it in config.ini.
    void OwnScalesMenuItemClick(bool on);
    // Sets the mode without remembering it (the tool's --own-scales).
    void ShowOwnScales(bool on);
    // "Measure from here": cursor B at that time (clamped into the visible window).
    void MeasureFromHere(double time);
    void HideMeasuringCursor();
    // "Statistics A–B...": the non-modal table, updated as the cursors move.
    void StatisticsMenuItemClick();
    // The table's rows: one per shown series, cells as StatisticsCells gives them.
    std::vector<std::vector<std::string>> StatisticsRows() const;
    QAction* OwnScalesMenuItem = nullptr; // in the View menu and on the tool bar
    QAction* MeasureMenuItem = nullptr;
    QAction* HideMeasureMenuItem = nullptr;
    QAction* StatisticsMenuItem = nullptr;
    ChartCursorTool* ChartToolB = nullptr;
    TStatisticsDlg* StatisticsDlg = nullptr;

    // The current recording.
    std::vector<ChannelInfo> channels;
    RecordingInfo recordingInfo;
    // The views built from it.
    SheetRows Rows;
    std::vector<int16_t> ColumnChannels;
    std::vector<ChartSeriesInfo> SeriesInfos;
    std::vector<int16_t> ActiveChannels;
    // View state.
    ShownPage CurrentPage = ShownPage::DataSheet;
    PageWindow Page;
    PageButtons SavedPageButtons;
    CommandStates Commands;
    ZoomWindow XZoomStop;
    ZoomWindow YZoomStop;
    bool XZoomStopPending = false;
    bool YZoomStopPending = false;
    bool RealTimeMode = false;
    std::thread WorkerThread;
    QString OpenFileName;
    // The file the views were last opened or imported from, as the sheet's status line names it.
    QString ShownFileName;

    // Controls, named as the design names them.
    QAction* OpenFileMenuItem;
    QAction* OpenFolderMenuItem;
    QAction* ImportDataMenuItem;
    QAction* SaveFileMenuItem;
    QAction* PrintMenuItem;
    QAction* ExitMenuItem;
    QAction* DataTableMenuItem;
    QAction* ChartMenuItem;
    QAction* SystemCaseMenuItem;
    QAction* VernierMenuItem;
    QAction* ComSettingMenuItem;
    QAction* RunMenuItem;
    QAction* StopMenuItem;
    QAction* OEMDownLoad;
    QAction* AboutIMenuItem;
    QAction* OpenFileButton;
    QAction* DataFilterButton;
    QAction* SaveFileButton;
    QAction* PrintButton;
    QAction* FirstPageButton;
    QAction* FrontPageButton;
    QAction* NextPageButton;
    QAction* EndPageButton;
    QAction* ComSettingButton;
    QAction* RunButton;
    QAction* StopButton;
    QTabWidget* PageControl;
    QWidget* DataTabSheet;
    QWidget* ChartTabSheet;
    QWidget* SystemCaseTabSheet;
    GlobalFigurePage* ScrollBox;
    QTableView* DataListView;
    DataSheetModel* DataListModel;
    TrendChart* Chart;
    ChartCursorTool* ChartTool;
    ChartCursorTool* ChartTool2;
    QTimer* Timer;
    QTimer* TimerForAllowZoom;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateMeasureCommands();
    // The channels' ranges (or a live run's alarm limits and values) to the chart.
    void ApplySeriesScales();
    void MeasureReadout();
    // The plotted series as the read-out reads them, and its texts put on the legend.
    std::vector<ReadoutSeries<QCPGraphData>> PlottedReadoutSeries() const;
    void ShowReadoutTexts(const ReadoutTexts& texts);
    void UpdateStatistics();
    QMenu* ViewMenu = nullptr;
    QToolBar* ToolBar = nullptr;
    LiveScales liveScales_;
    double contextMenuTime_ = 0;

    void CreateMenus();
    void CreateToolBar();
    void CreatePages();
    void CreateGlobalFigurePage();
    void ConnectRealTimeCommands();
    void ConnectChartEvents();
    void ApplyNavigation(const NavigationOutcome& outcome);
    void ConnectServiceCommands();
    void ImportThreadProc();
    // On the worker: the import of a CSV file, or the opening of a live run's record (the
    // same lines, the value range without its gap markers); then the views. False when the
    // file could not be read (its message shown).
    bool ImportOnWorker(const std::string& path, bool liveRecord);
    void ApplyCommandStates();
    void ShowPage(QWidget* page);
    void RemoveAllSeries();
    void ApplyPage();
    void CreateSheetExtrasAndLinks();
    void UpdateFrozenColumns();
    void ShowPageFromItsTop();

    // The worker protocol: work runs on WorkerThread while the progress dialog is up; returns
    // when the worker has ended.
    void RunWorker(const QString& text, std::function<void()> work);
    // From the worker: shows the message above the progress dialog and waits until the user
    // has dismissed it.
    void ShowWorkerMessage(const UserMessage& message);
    void LoadThreadProc();
    // Clears, runs the load on the worker behind the progress dialog, builds and completes.
    void LoadOnWorker(std::function<void()> load);
    void JoinThreadProc();
    void ShowRecordingTitle();
    QStringList joinFileNames_;
    std::string joinedSummary_; // set by the join's worker
    void BuildOnWorker(const ScreeningSelection* selection);
    void ApplyViewBuild();

    // Saving and printing.
    void ConnectExportCommands();
    // The save dialog and, for an existing file, the overwrite question.
    std::optional<SaveDialogChoice> AskSaveTarget();
    void SaveSheetPage();
    void SaveChartPicture();
    void CsvExportThreadProc();
    SaveDialogSetting SaveDialog;
    QString csvExportPath_;
    SaveDialogHook saveDialog_;
    SaveBoxHook saveBox_;
    ReportHook showReport_;

    QSettings& settings_;
    TDataFilterDlg* DataFilterDlg = nullptr;
    TProcessDlg* ProcessDlg = nullptr;
    TAboutBox* AboutBox = nullptr;
    TOKBottomDlg* OKBottomDlg = nullptr;
    TRealComSettingDlg* RealComSettingDlg = nullptr;
    std::unique_ptr<RealTimeMonitor> realTime_;
    MessagePresenter presentMessage_;
    bool loadLogEnabled_ = false;
    bool importConvertedNothing_ = false;
    std::optional<ViewBuild> pendingBuild_;
    std::vector<QSharedPointer<QCPGraphDataContainer>> pendingSeriesData_;
    std::optional<LivePollResult> pendingLiveResult_;
    std::optional<DateTime> noAnswerSince_;
    LiveRunState liveState_;
};

// Reads a service switch ("ImportData", "OEMDL", "OpenLog") from the settings' top level.
bool ReadServiceSwitch(QSettings& settings, const QString& name);
