#pragma once
// Saving and printing what a page shows. Owns the save dialog's setting (kept from one use to
// the next), the CSV export's target and the three hooks tests and the command-line tool put in
// place of modal windows: the save dialog, the Save command's own boxes (caption
// "Paperless recorder ") and the report preview. The data sheet page goes out as CSV on the
// worker, the trend chart as a picture; Print shows the list or the chart report.
//
// Needs: the window (parent of its dialogs), the chart, the sheet's model (its captions), the
// recording on screen (read only), the worker protocol and a message presenter.

#include "app/WindowDialogs.h"
#include "app/recording/ShownRecording.h"
#include "views/CommandState.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class DataSheetModel;
class PrintedReport;
class QFileDialog;
class TrendChart;
class WorkerProtocol;

class SaveAndPrint : public QObject {
    Q_OBJECT
public:
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

    SaveAndPrint(QWidget* window, TrendChart* chart, const DataSheetModel* sheet,
                 const ShownRecording& shown, WorkerProtocol& worker, MessagePresenter present);

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

    // Save and Print for the page shown: the data sheet's page or the trend chart; nothing on
    // the Global figure.
    void Save(ShownPage page);
    void Print(ShownPage page);
    // The trend chart as the screen shows it, at its on-screen size unless size is given.
    QImage ChartPicture(QSize size = {});
    // The reports Print shows; nullptr when there is nothing to print.
    std::unique_ptr<PrintedReport> MakeListReport();
    std::unique_ptr<PrintedReport> MakeChartReport();

private:
    // The save dialog and, for an existing file, the overwrite question.
    std::optional<SaveDialogChoice> AskSaveTarget();
    void SaveSheetPage();
    void SaveChartPicture();
    void CsvExportThreadProc();

    QWidget* window_;
    TrendChart* chart_;
    const DataSheetModel* sheet_;
    const ShownRecording& shown_;
    WorkerProtocol& worker_;
    MessagePresenter present_;
    SaveDialogSetting SaveDialog;
    QString csvExportPath_;
    SaveDialogHook saveDialog_;
    SaveBoxHook saveBox_;
    ReportHook showReport_;
};
