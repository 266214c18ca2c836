// The import of a CSV file of single samples, asked for by the service command
// (ServiceCommands), and the opening of a live run's record, which reads the same lines.

#include "app/MainFormUnit.h"
#include "app/ProcessDlg.h"
#include "data/CsvImport.h"
#include "data/LiveRecord.h"

#include <QAction>
#include <QFile>

void TMainForm::ConnectServiceCommands() {
    service_ = std::make_unique<ServiceCommands>(this, *realTime_);
    connect(ImportDataMenuItem, &QAction::triggered, this, &TMainForm::ImportData);
    connect(OEMDownLoad, &QAction::triggered, this, &TMainForm::OnOEMDLClick);
    connect(service_.get(), &ServiceCommands::ImportRequested, this, &TMainForm::ImportRecording);
}

void TMainForm::ImportRecording(const QString& path) {
    ShownFileName = path;
    // Unlike a data file load, the recording info is kept: an import that takes no line
    // leaves the previous window and range standing.
    ClearViews();
    XZoomStopPending = YZoomStopPending = true;
    RealTimeMode = false;
    importConvertedNothing_ = false;
    RunWorker(QStringLiteral("Data are loading..."), [this, path] { ImportThreadProc(path); });
    ApplyViewBuild();
    FinishViewUpdate(recordingInfo.startTime, true);
    // An empty chart and sheet alone do not say why: a file of other lines (the sheet's own
    // CSV, say) is read without complaint.
    if (importConvertedNothing_)
        presentMessage_(this, {ImportNoSampleText, MessageIcon::Information});
}

void TMainForm::ImportThreadProc(const QString& path) {
    const bool read = ImportOnWorker(QFile::encodeName(path).toStdString(), false);
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
