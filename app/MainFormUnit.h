#pragma once
// The main window: its menus, tool bar and three pages with their controls, the dialogs
// attached at start, the enabling of the commands (Commands, mirrored onto the actions by
// ApplyCommandStates), page switching (CurrentPage, SavedPageButtons) and drag and drop, and
// still saving and printing. The recording on screen is RecordingViews's (app/recording, read
// here as the ShownRecording), measuring Measuring's (app/measure), the live run LiveRun's
// (app/realtime), the service functions ServiceCommands's (app/service).

#include "app/WindowDialogs.h"
#include "app/WorkerProtocol.h"
#include "app/measure/Measuring.h"
#include "app/realtime/LiveRun.h"
#include "app/recording/RecordingViews.h"
#include "app/recording/ShownRecording.h"
#include "app/service/ServiceCommands.h"
#include "chart/TrendChart.h"
#include "views/CommandState.h"

#include <QImage>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DataSheetModel;
class GlobalFigurePage;
class PrintedReport;
class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QSettings;
class QTabWidget;
class QTableView;
class QTimer;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Reads the service switches from settings, the per-user store of the program's switches.
    explicit TMainForm(QSettings& settings, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The dialogs created at start after the main window.
    void AttachDialogs(TDataFilterDlg* dataFilter, TProcessDlg* process, TAboutBox* about,
                       TOKBottomDlg* vernier);
    void AttachComSettingDialog(TRealComSettingDlg* dialog);
    // The config.ini of live runs, of the settings dialog and of the own-scales mode
    // (config.ini in the settings directory unless set).
    void SetConfigFilePath(const std::string& path);
    void SetMessagePresenter(MessagePresenter presenter);
    // The window's designed client size (the window shrinks to a smaller screen).
    static QSize DesignedClientSize();

    // The parts, and the recording on screen as they all read it.
    const ShownRecording& Recording() const { return views_->Shown(); }
    RecordingViews& Views() { return *views_; }
    Measuring& Measure() { return *measure_; }
    LiveRun& Live() { return *live_; }
    ServiceCommands& Service() { return *service_; }

    // Handlers as the design names them, each handed on to the part that does the work.
    void OpenFileButtonClick() { views_->OpenFileButtonClick(); }
    // Everything after the open command's file dialog.
    void OpenDataFile(const QString& path) { views_->OpenDataFile(path); }
    void ImportData() { service_->ImportData(); }
    // Everything after the import's file dialog.
    void ImportDataFile(const QString& path) { service_->ImportDataFile(path); }
    void OnOEMDLClick() { service_->OnOEMDLClick(); }
    void ClearViews() { views_->ClearViews(); }
    void FinishViewUpdate(DateTime windowStart, bool afterLoadOrImport) {
        views_->FinishViewUpdate(windowStart, afterLoadOrImport);
    }
    void FirstPageButtonClick();
    void FrontPageButtonClick();
    void NextPageButtonClick();
    void EndPageButtonClick();
    void DataListViewContextPopup() { views_->DataListViewContextPopup(); }
    void DataFilterButtonClick() { views_->RunScreening(); }
    void RunScreening() { views_->RunScreening(); }
    void ChartZoom() { views_->ChartZoom(); }
    void ChartUndoZoom() { views_->ChartUndoZoom(); }
    void OnChartScroll() { views_->OnChartScroll(); }
    void OnChartDoubleClick() { measure_->OnChartDoubleClick(); }
    void OnAllowZoom() { measure_->OnAllowZoom(); }
    void ChartCursorToolChange(double xValue) { measure_->ChartCursorToolChange(xValue); }
    void ComSettingButtonClick() { live_->ComSettingButtonClick(); }
    void RunButtonClick() { live_->RunButtonClick(); }
    void OnTimer() { live_->OnTimer(); }
    void StopButtonClick() { live_->StopButtonClick(); }

    // Page switching and the window's own commands.
    void DataTableMenuItemClick();
    void ChartMenuItemClick();
    void SystemCaseMenuItemClick();
    void DataTabSheetShow();
    void ChartTabSheetShow();
    void SystemCaseTabSheetShow();
    void AboutButtonClick();
    void ExitMenuItemClick();

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
    // The trend chart as the screen shows it, at its on-screen size unless size is given.
    QImage ChartPicture(QSize size = {});
    // The reports PrintButtonClick shows; nullptr when there is nothing to print.
    std::unique_ptr<PrintedReport> MakeListReport();
    std::unique_ptr<PrintedReport> MakeChartReport();

    // Page and command state.
    ShownPage CurrentPage = ShownPage::DataSheet;
    PageButtons SavedPageButtons;
    CommandStates Commands;

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
    QAction* OwnScalesMenuItem; // in the View menu and on the tool bar
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
    QMenu* ChartPopupMenu;
    QAction* ShowInSheetMenuItem;
    QAction* MeasureMenuItem;
    QAction* HideMeasureMenuItem;
    QAction* StatisticsMenuItem;
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
    ChartCursorTool* ChartToolB; // the measuring cursor B
    QTimer* Timer;
    QTimer* TimerForAllowZoom;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreatePages();
    void CreateParts();
    void ConnectCommands();
    void ConnectParts();
    void ApplyCommandStates();
    void ShowPage(QWidget* page);

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
    WindowDialogs dialogs_;
    MessagePresenter presentMessage_;
    std::unique_ptr<WorkerProtocol> worker_;
    std::unique_ptr<RecordingViews> views_;
    std::unique_ptr<LiveRun> live_;
    std::unique_ptr<Measuring> measure_;
    std::unique_ptr<ServiceCommands> service_;
};
