// The main window's two service functions, shown only when switched on in the settings store:
// importing a recording from a CSV file of single samples, and downloading a picture into
// the instrument.

#include "app/MainFormUnit.h"
#include "app/OEMDLDlg.h"
#include "app/ProcessDlg.h"
#include "data/CsvImport.h"
#include "data/LiveRecord.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

void TMainForm::ConnectServiceCommands() {
    connect(ImportDataMenuItem, &QAction::triggered, this, &TMainForm::ImportData);
    connect(OEMDownLoad, &QAction::triggered, this, &TMainForm::OnOEMDLClick);
}

void TMainForm::ImportData() {
    const QString path = QFileDialog::getOpenFileName(
        this, QString(), ImportFileName.isEmpty() ? QString() : QFileInfo(ImportFileName).path(),
        QStringLiteral("CSV file(*.csv)"));
    if (path.isEmpty())
        return;
    ImportDataFile(path);
}

void TMainForm::ImportDataFile(const QString& path) {
    ImportFileName = path;
    ShownFileName = path;
    // Unlike a data file load, the recording info is kept: an import that takes no line
    // leaves the previous window and range standing.
    ClearViews();
    XZoomStopPending = YZoomStopPending = true;
    RealTimeMode = false;
    importConvertedNothing_ = false;
    RunWorker(QStringLiteral("Data are loading..."), [this] { ImportThreadProc(); });
    ApplyViewBuild();
    FinishViewUpdate(recordingInfo.startTime, true);
    // An empty chart and sheet alone do not say why: a file of other lines (the sheet's own
    // CSV, say) is read without complaint.
    if (importConvertedNothing_)
        presentMessage_(this, {ImportNoSampleText, MessageIcon::Information});
}

void TMainForm::ImportThreadProc() {
    const bool read = ImportOnWorker(QFile::encodeName(ImportFileName).toStdString(), false);
    importConvertedNothing_ = read && recordingInfo.sampleCount == 0;
}

bool TMainForm::ImportOnWorker(const std::string& path, bool liveRecord) {
    // The bar shows the share of the file read, then the build's own progress.
    constexpr int ReadSteps = 100;
    ProcessDlg->SetProgressMax(ReadSteps);
    int shown = 0;
    const auto progress = [this, &shown](uint64_t read, uint64_t size) {
        const int reached = size == 0 ? ReadSteps : static_cast<int>(read * ReadSteps / size);
        if (reached > shown) {
            ProcessDlg->StepProgress(reached - shown);
            shown = reached;
        }
    };
    auto message = liveRecord ? OpenLiveRecord(path, recordingInfo, channels, progress)
                              : ImportCsvFile(path, recordingInfo, channels, progress);
    if (message) {
        message->detail = UnreadableFileDetail(path); // the box names the file
        ShowWorkerMessage(*message);
    }
    ProcessDlg->ResetProgress();
    BuildOnWorker(nullptr);
    return !message;
}

void TMainForm::OnOEMDLClick() {
    // The download and a live run would share the port; the menu entry is off during a run.
    if (realTime_->LinkActive())
        return;
    TOEMDLDlg dialog(realTime_->Connection(), realTime_->ConfigPath(), this);
    // After Stop a read may still be outstanding on the poller, which closes the port when it
    // ends: the transfer waits for that on its worker, behind the dialog.
    dialog.SetLinkWait([this] { realTime_->WaitIdle(); });
    dialog.exec();
}
