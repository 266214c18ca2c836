#pragma once
// The window's archive commands: File → "Add to archive…" and "Open from archive…". The
// archive is the one config.ini's section "ARCHIVE" names (the default file without one).
// Every database access runs on the worker behind the progress dialog: the list of recorders
// the dialogs offer, the add, and the read, which RecordingViews shows as it shows joined
// files.
//
// Needs: the window (parent of the dialogs), the attached dialogs (the progress dialog), the
// worker protocol, a message presenter and the recording on screen.

#include "app/WindowDialogs.h"
#include "app/archive/ArchiveChoices.h"

#include <QObject>

#include <memory>
#include <string>

class QWidget;
class RecordingViews;
class TArchiveAddDlg;
class TArchiveOpenDlg;
class WorkerProtocol;

class ArchiveCommands : public QObject {
    Q_OBJECT
public:
    ArchiveCommands(QWidget* window, const WindowDialogs& dialogs, WorkerProtocol& worker,
                    MessagePresenter present, RecordingViews& views);
    ~ArchiveCommands() override;

    void SetConfigPath(const std::string& path) { configPath_ = path; }
    // The archive the commands use now.
    std::string Location() const;

    // The dialog, then AddFiles.
    void AddToArchiveMenuItemClick();
    // Adds on the worker and tells per file what was added and held, or why it was refused.
    void AddFiles(const QStringList& paths, const std::string& recorder);
    // The dialog, then the recording on screen opens the choice.
    void OpenFromArchiveMenuItemClick();

    TArchiveAddDlg* AddDialog() const { return addDialog_; }
    TArchiveOpenDlg* OpenDialog() const { return openDialog_; }

private:
    // The recorders on the worker; the failure when the archive cannot be read.
    std::optional<UserMessage> ListOnWorker(const std::string& location,
                                            std::vector<ArchivedRecorder>& recorders);

    QWidget* window_;
    const WindowDialogs& dialogs_;
    WorkerProtocol& worker_;
    MessagePresenter present_;
    RecordingViews& views_;
    std::string configPath_;
    TArchiveAddDlg* addDialog_;
    TArchiveOpenDlg* openDialog_;
};
