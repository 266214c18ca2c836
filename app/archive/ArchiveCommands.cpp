#include "app/archive/ArchiveCommands.h"

#include "app/ProcessDlg.h"
#include "app/WorkerProtocol.h"
#include "app/archive/ArchiveDialogs.h"
#include "app/recording/RecordingViews.h"
#include "data/Text.h"
#include "device/CommSettingsFile.h"

#include <QFile>

ArchiveCommands::ArchiveCommands(QWidget* window, const WindowDialogs& dialogs,
                                 WorkerProtocol& worker, MessagePresenter present,
                                 RecordingViews& views)
    : window_(window), dialogs_(dialogs), worker_(worker), present_(std::move(present)),
      views_(views), configPath_(ConfigFilePath()),
      addDialog_(new TArchiveAddDlg(window, present_)),
      openDialog_(new TArchiveOpenDlg(window, present_)) {}

ArchiveCommands::~ArchiveCommands() = default;

std::string ArchiveCommands::Location() const {
    return StoredArchiveLocation(LoadArchiveDatabase(configPath_));
}

std::optional<UserMessage> ArchiveCommands::ListOnWorker(const std::string& location,
                                                         std::vector<ArchivedRecorder>& recorders) {
    std::optional<UserMessage> failure;
    worker_.Run(QStringLiteral("Reading the archive..."),
                [&] { failure = ListArchivedRecorders(location, recorders); });
    return failure;
}

void ArchiveCommands::AddToArchiveMenuItemClick() {
    const std::string location = Location();
    std::vector<ArchivedRecorder> recorders;
    // An archive not made yet offers no names; the add makes it.
    ListOnWorker(location, recorders);
    addDialog_->Prepare(location, recorders);
    if (addDialog_->exec() != QDialog::Accepted)
        return;
    AddFiles(addDialog_->Paths(), addDialog_->Recorder());
}

void ArchiveCommands::AddFiles(const QStringList& paths, const std::string& recorder) {
    const std::string location = Location();
    std::vector<std::string> files;
    for (const QString& path : paths)
        files.push_back(QFile::encodeName(path).toStdString());
    ArchiveAddOutcome outcome;
    TProcessDlg* progress = dialogs_.ProcessDlg;
    worker_.Run(QStringLiteral("Adding to the archive..."), [&] {
        bool counted = false;
        outcome = AddToArchive(location, recorder, files, [&](size_t done, size_t total) {
            if (!counted)
                progress->SetProgressMax(static_cast<int>(total));
            counted = true;
            progress->StepProgress(1);
            progress->SetProgressDetail(QStringLiteral("file %1 of %2").arg(done).arg(total));
        });
    });
    present_(window_, ArchiveAddMessage(recorder, location, outcome));
}

void ArchiveCommands::OpenFromArchiveMenuItemClick() {
    const std::string location = Location();
    std::vector<ArchivedRecorder> recorders;
    if (const auto failure = ListOnWorker(location, recorders)) {
        present_(window_, *failure);
        return;
    }
    // A recorder whose only run recorded nothing has nothing to open.
    std::erase_if(recorders, [](const ArchivedRecorder& r) { return r.files == 0; });
    if (recorders.empty()) {
        present_(window_, {Utf8ToGbk("The archive " + LocationForMessages(location) +
                                     " holds no recorder yet: File > Add to archive adds one."),
                           MessageIcon::Information});
        return;
    }
    openDialog_->SetRecorders(location, std::move(recorders));
    if (openDialog_->exec() != QDialog::Accepted)
        return;
    const ArchiveSelection selection = openDialog_->Selection();
    views_.OpenFromArchive(selection);
}
