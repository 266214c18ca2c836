#pragma once
// The recording on screen. Owns the current recording and the views built from it (the
// ShownRecording), the data sheet's model, its frozen columns and status line, and the window
// title: opening data files (one, several joined, a folder), importing CSV, screening, paging,
// moving about in the chart with its zoom stops, and the links between sheet and chart. It
// alone changes the ShownRecording; the live run feeds its values in through StartLiveViews,
// ShowLiveSheetRow and SetLiveRecording.
//
// Needs: the window (parent of its dialogs, the title's owner), the service switches, the
// attached dialogs, the worker protocol, a message presenter, the sheet view and its page, the
// chart and the chart menu's "Show in data sheet". Tells the window through its signals what
// happened to the commands and which page to show.

#include "app/WindowDialogs.h"
#include "app/archive/ArchiveChoices.h"
#include "app/recording/ShownRecording.h"
#include "chart/TrendChart.h"
#include "data/RecordingJoin.h"
#include "device/ModbusRtuImpl.h"

#include <QObject>
#include <QSharedPointer>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class DataSheetModel;
class FrozenColumns;
class QAction;
class QLabel;
class QModelIndex;
class QSettings;
class QTableView;
class QWidget;
class TGoToTimeDlg;
class WorkerProtocol;
class ZoomDetail;
struct CursorPlaces;
struct NavigationOutcome;

class RecordingViews : public QObject {
    Q_OBJECT
public:
    RecordingViews(QWidget* window, QSettings& settings, const WindowDialogs& dialogs,
                   WorkerProtocol& worker, MessagePresenter present, QTableView* sheet,
                   QWidget* sheetPage, TrendChart* chart, QAction* showInSheet);
    ~RecordingViews() override;

    const ShownRecording& Shown() const { return shown_; }
    DataSheetModel* SheetModel() const { return model_; }
    QTableView* FrozenListView() const;
    QLabel* SheetStatusLabel() const { return statusLabel_; }
    // The file last chosen to open; the next file dialog starts in its folder.
    const QString& OpenFileName() const { return openFileName_; }

    // The open command: the file dialog, then OpenDataFiles.
    void OpenFileButtonClick();
    // Everything after the file dialog: clear, load on the worker, build, complete. A folder
    // opens as OpenFolder opens it.
    void OpenDataFile(const QString& path);
    // Several recordings as one, joined on the worker; one file opens as OpenDataFile opens it.
    void OpenDataFiles(const QStringList& paths);
    // The data files directly in a folder, joined; a folder of one file opens as that file,
    // one without any says so and changes nothing.
    void OpenFolder(const QString& folder);
    // "Open folder…": the folder dialog, then OpenFolder.
    void OpenFolderMenuItemClick();
    // A recorder's history from the archive within the selection's range, read on the worker
    // and shown as joined files are; nothing of a failed read is shown.
    void OpenFromArchive(const ArchiveSelection& selection);
    // The import after its file dialog: clear, import on the worker, build, complete. Unlike a
    // load it keeps the recording info when no line was a sample.
    void ImportDataFile(const QString& path);

    void ClearViews();
    // The data sheet's columns: captions (GBK) and designed widths.
    void SetDataListColumns(const std::vector<SheetColumn>& columns);
    void FinishViewUpdate(DateTime windowStart, bool afterLoadOrImport);
    // Destroys every series of the views.
    void RemoveAllSeries();

    // The four paging moves; buttons are the paging buttons' states the window keeps.
    void FirstPageButtonClick(PageButtons& buttons);
    void FrontPageButtonClick(PageButtons& buttons);
    void NextPageButtonClick(PageButtons& buttons);
    void EndPageButtonClick(PageButtons& buttons);
    void UpdateSheetStatus();

    // Screening: the dialog, then ApplyScreening, which rebuilds the views from the selection
    // on the worker. Never on live values or an empty recording.
    void DataListViewContextPopup();
    void RunScreening();
    void ApplyScreening(const ScreeningSelection& selection);

    // Chart navigation: the zoom stops after a zoom, an undo and a scroll step.
    void ChartZoom();
    void ChartUndoZoom();
    void OnChartScroll();
    // Whether the series plot the visible window's own points (detail on zoom) rather than
    // the built series.
    bool ShowsDetailOfWindow() const;

    // The trend diagram's time cursor, scrolled into view when it is set; the read-out follows
    // the cursor's change.
    void SetTimeCursor(DateTime time);
    DateTime TimeCursor() const;
    // Double click on a sheet row: the time cursor to the row's time, the chart shown there.
    void DataListViewDblClick(const QModelIndex& index);
    // "Show in data sheet": the sheet on the page of the row nearest the time cursor, that row
    // selected.
    void ShowCursorRowInSheet();
    void ShowSheetRow(size_t row);
    // "Go to time…": the dialog, then GoToTime.
    void GoToTimeMenuItemClick();
    // The time cursor to that time (within the views' window, on a whole second), the chart
    // scrolled to it at its zoom, and the sheet turned to the page holding the row nearest it,
    // that row selected; the page shown stays.
    void GoToTime(DateTime time);
    // Null until "Go to time…" was first chosen.
    TGoToTimeDlg* GoToTimeDialog() const { return goToTime_; }

    // The live run's views: the views cleared and marked live, the chart without cursors,
    // zoom and panning, the sheet's columns and one empty series per monitored channel.
    void StartLiveViews(const std::vector<int16_t>& activeChannels,
                        const std::vector<SheetColumn>& columns);
    // The sheet's one row of live values.
    void ShowLiveSheetRow();
    // The recording becomes the last live read.
    void SetLiveRecording(const DeviceRecords& records, const std::vector<int16_t>& activeChannels);
    // Whether the views show live values (set by StartLiveViews, cleared by a load or import).
    void SetRealTimeMode(bool on);
    // The run whose values the views show has ended (stopped, or a later Run failed).
    void LiveRunEnded();

signals:
    // The views were built: the paging buttons of the first page and whether the filter
    // button comes on. The series exist and the axes are set; the cursors are not yet placed.
    void ViewsBuilt(const PageButtons& firstPage, bool enableFilter);
    // FinishViewUpdate has placed the cursors: the window parks the paging states.
    void ViewsFinished();
    void ViewsCleared();
    // The sheet is to show the page whose paging buttons are given.
    void SheetPageWanted(const PageButtons& buttons);
    // The sheet was turned to the page whose paging buttons are given, without showing it.
    void SheetPageTurned(const PageButtons& buttons);
    // Another recording, or another window of it, takes the views' place: what was measured
    // on the last one goes with it.
    void RecordingReplaced();
    void ChartWanted();
    // The chart's series were refined for the visible window or brought back to the built
    // ones: what they plot changed, the read-out reads them again.
    void SeriesRefined();

private:
    void CreateSheetStatus(QWidget* sheetPage);
    void ConnectSheetAndChart();
    // Clears, runs the load on the worker behind the progress dialog, builds and completes.
    void LoadOnWorker(std::function<void()> load);
    void LoadThreadProc();
    void JoinThreadProc();
    void ArchiveThreadProc(const ArchiveSelection& selection);
    void ImportThreadProc(const QString& path);
    // On the worker: the import of a CSV file, or the opening of a live run's record (the
    // same lines, the value range without its gap markers); then the views. False when the
    // file could not be read (its message shown).
    bool ImportOnWorker(const std::string& path, bool liveRecord);
    void BuildOnWorker(const ScreeningSelection* selection);
    void ApplyViewBuild();
    void ApplyPage();
    void ShowPageFromItsTop();
    void ShowRecordingTitle();
    void ApplyNavigation(const NavigationOutcome& outcome);
    // Detail on zoom for the chart's time window.
    void ShowDetailOfWindow();
    CursorPlaces Cursors() const;
    uint32_t PageSize() const;
    // The page of the row turned to with the row selected; the buttons that page leaves.
    PageButtons TurnToRow(size_t row);
    // Faint lines where the files of a join start.
    void ShowFileMarks();

    QWidget* window_;
    QSettings& settings_;
    const WindowDialogs& dialogs_;
    WorkerProtocol& worker_;
    MessagePresenter present_;
    QTableView* sheet_;
    TrendChart* chart_;
    QAction* showInSheet_;
    DataSheetModel* model_;
    FrozenColumns* frozen_ = nullptr;
    ZoomDetail* detail_ = nullptr;
    QLabel* statusLabel_ = nullptr;

    ShownRecording shown_;
    QString openFileName_;
    // The file the views were last opened or imported from, as the status line names it.
    QString shownFileName_;
    // What a join shows ("12 files, 2015-03-01 00:00:00 to 2015-03-13 07:12:00"), in the
    // title and the status line; empty when no join is shown.
    QString joinSummary_;
    QStringList joinFileNames_;
    std::string joinedSummary_; // set by the join's worker
    // The files of the join shown, in join order; empty for a single file.
    std::vector<JoinedFile> joinedFiles_;
    TGoToTimeDlg* goToTime_ = nullptr;
    bool loadLogEnabled_ = false;
    bool importConvertedNothing_ = false;
    // Whether the live run the views show still polls; set by StartLiveViews.
    bool liveRunActive_ = false;
    // What the worker built, applied on the user-interface thread.
    std::optional<ViewBuild> pendingBuild_;
    std::vector<QSharedPointer<QCPGraphDataContainer>> pendingSeriesData_;
};
