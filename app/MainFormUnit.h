#pragma once
// The main window: its menus, tool bar and three pages with their controls, the dialogs
// attached at start, the enabling of the commands (Commands, mirrored onto the actions by
// ApplyCommandStates), page switching (CurrentPage, SavedPageButtons) and drag and drop. The
// window owns those and changes them as its parts report what happened. The behaviour lives in
// the parts, each owning its state (see their headers):
//   RecordingViews  app/recording  the recording on screen (ShownRecording): opening, joining,
//                                  importing, screening, paging, chart navigation, title and
//                                  status line
//   Measuring       app/measure    read-out, cursor B, own scales, statistics, vernier dialog
//   LiveRun         app/realtime   the live run: monitor, record, Global figure, run status
//   SaveAndPrint    app/export     save dialogs, CSV export, chart picture, both reports
//   ServiceCommands app/service    the CSV import command and the picture download
//   ArchiveCommands app/archive    add to the archive, open from it
//   WorkerProtocol  app            the one worker thread behind the progress dialog
// The parts talk to each other only through the window's wiring of their signals and through
// the ShownRecording they read. The handlers the design names stay reachable here and hand on
// to their part.

#include "app/WindowDialogs.h"
#include "app/WorkerProtocol.h"
#include "app/archive/ArchiveCommands.h"
#include "app/export/SaveAndPrint.h"
#include "app/measure/Measuring.h"
#include "app/realtime/LiveRun.h"
#include "app/recording/RecordingViews.h"
#include "app/recording/ShownRecording.h"
#include "app/service/ServiceCommands.h"
#include "views/CommandState.h"

#include <QMainWindow>

#include <memory>
#include <string>

class DataSheetModel;
class GlobalFigurePage;
class QAction;
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
    // The config.ini of live runs, of the settings dialog, of the own-scales mode and of the
    // archive (config.ini in the settings directory unless set).
    void SetConfigFilePath(const std::string& path);
    void SetMessagePresenter(MessagePresenter presenter);
    // The window's designed client size (the window shrinks to a smaller screen).
    static QSize DesignedClientSize();

    // The parts, and the recording on screen as they all read it.
    const ShownRecording& Recording() const { return views_->Shown(); }
    RecordingViews& Views() { return *views_; }
    Measuring& Measure() { return *measure_; }
    LiveRun& Live() { return *live_; }
    SaveAndPrint& SavePrint() { return *savePrint_; }
    ServiceCommands& Service() { return *service_; }
    ArchiveCommands& Archives() { return *archive_; }

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
    void ComSettingButtonClick() { live_->ComSettingButtonClick(); }
    void RunButtonClick() { live_->RunButtonClick(); }
    void OnTimer() { live_->OnTimer(); }
    void StopButtonClick() { live_->StopButtonClick(); }
    void SaveFileButtonClick() { savePrint_->Save(CurrentPage); }
    void PrintButtonClick() { savePrint_->Print(CurrentPage); }
    void ChartZoom() { views_->ChartZoom(); }
    void ChartUndoZoom() { views_->ChartUndoZoom(); }
    void OnChartScroll() { views_->OnChartScroll(); }
    void OnChartDoubleClick() { measure_->OnChartDoubleClick(); }
    void OnAllowZoom() { measure_->OnAllowZoom(); }
    void ChartCursorToolChange(double xValue) { measure_->ChartCursorToolChange(xValue); }

    // Page switching and the window's own commands.
    void DataTableMenuItemClick();
    void ChartMenuItemClick();
    void SystemCaseMenuItemClick();
    void DataTabSheetShow();
    void ChartTabSheetShow();
    void SystemCaseTabSheetShow();
    void AboutButtonClick();
    void ExitMenuItemClick();

    // Page and command state.
    ShownPage CurrentPage = ShownPage::DataSheet;
    PageButtons SavedPageButtons;
    CommandStates Commands;

    // Controls, named as the design names them.
    QAction* OpenFileMenuItem;
    QAction* OpenFolderMenuItem;
    QAction* OpenFromArchiveMenuItem;
    QAction* AddToArchiveMenuItem;
    QAction* ImportDataMenuItem;
    QAction* SaveFileMenuItem;
    QAction* PrintMenuItem;
    QAction* ExitMenuItem;
    QAction* DataTableMenuItem;
    QAction* ChartMenuItem;
    QAction* SystemCaseMenuItem;
    QAction* VernierMenuItem;
    QAction* GoToTimeMenuItem;
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

    QSettings& settings_;
    WindowDialogs dialogs_;
    MessagePresenter presentMessage_;
    std::unique_ptr<WorkerProtocol> worker_;
    std::unique_ptr<RecordingViews> views_;
    std::unique_ptr<LiveRun> live_;
    std::unique_ptr<Measuring> measure_;
    std::unique_ptr<SaveAndPrint> savePrint_;
    std::unique_ptr<ServiceCommands> service_;
    std::unique_ptr<ArchiveCommands> archive_;
};
