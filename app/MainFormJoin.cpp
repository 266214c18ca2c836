// Several recorder files as one recording: File > Open with several files selected, "Open
// folder…" and a drop of several files. The files are read and joined on the load's worker.

#include "app/MainFormUnit.h"

#include "app/ProcessDlg.h"
#include "data/RecordingJoin.h"
#include "data/Text.h"
#include "data/Utility.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

void TMainForm::OpenDataFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    if (paths.size() == 1) {
        OpenDataFile(paths.front());
        return;
    }
    OpenFileName = paths.front(); // the next file dialog starts in its folder
    ShownFileName.clear();        // a refused join shows no file
    joinFileNames_ = paths;
    LoadOnWorker([this] { JoinThreadProc(); });
    JoinSummary = QString::fromStdString(joinedSummary_);
    joinedSummary_.clear();
    ShowRecordingTitle();
    UpdateSheetStatus();
}

void TMainForm::OpenFolder(const QString& folder) {
    std::vector<std::string> files;
    if (const auto message = ListRecorderFiles(QFile::encodeName(folder).toStdString(), files)) {
        presentMessage_(this, *message);
        return;
    }
    QStringList paths;
    for (const std::string& file : files)
        paths << QFile::decodeName(QByteArray::fromStdString(file));
    OpenDataFiles(paths);
}

void TMainForm::OpenFolderMenuItemClick() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Open folder"),
        OpenFileName.isEmpty() ? QString() : QFileInfo(OpenFileName).path());
    if (!folder.isEmpty())
        OpenFolder(folder);
}

void TMainForm::JoinThreadProc() {
    const LoadLogOptions log{loadLogEnabled_, loadLogEnabled_ ? GetSettingsDirectory() : ""};
    std::vector<std::string> paths;
    for (const QString& path : joinFileNames_)
        paths.push_back(QFile::encodeName(path).toStdString());
    const auto fileText = [](size_t k, size_t n) {
        return QStringLiteral("file %1 of %2").arg(k).arg(n);
    };
    ProcessDlg->SetProgressMax(static_cast<int>(paths.size()));
    ProcessDlg->SetProgressDetail(fileText(1, paths.size()));
    JoinedRecording joined;
    const auto message = ReadJoinedRecording(paths, joined, log, [&](size_t done, size_t total) {
        ProcessDlg->SetProgressDetail(fileText(std::min(done + 1, total), total));
        ProcessDlg->StepProgress(1);
    });
    if (message) {
        // Nothing of a refused join is shown.
        ShowWorkerMessage(*message);
    } else {
        recordingInfo = joined.info;
        channels = std::move(joined.channels);
        joinedSummary_ = JoinedSummary(joined);
    }
    ProcessDlg->ResetProgress();
    BuildOnWorker(nullptr);
}

void TMainForm::ShowRecordingTitle() {
    setWindowTitle(JoinSummary.isEmpty() ? QStringLiteral("Paperless recorder ")
                                         : QStringLiteral("Paperless recorder - ") + JoinSummary);
}
