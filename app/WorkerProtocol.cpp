#include "app/WorkerProtocol.h"

#include "app/ProcessDlg.h"

#include <QThread>

WorkerProtocol::WorkerProtocol(const WindowDialogs& dialogs, MessagePresenter present)
    : dialogs_(dialogs), present_(std::move(present)), uiThread_(QThread::currentThread()) {}

WorkerProtocol::~WorkerProtocol() {
    WaitForWorker();
}

void WorkerProtocol::WaitForWorker() {
    if (WorkerThread.joinable())
        WorkerThread.join();
}

void WorkerProtocol::Run(const QString& text, std::function<void()> work) {
    TProcessDlg* dialog = dialogs_.ProcessDlg;
    WorkerThread = std::thread([this, dialog, work = std::move(work)] {
        try {
            work();
        } catch (const std::exception& error) {
            // Out of memory on a huge recording, for example: tell the user, keep going.
            ShowMessage({error.what(), MessageIcon::Error});
        }
        dialog->PostCloseRequest();
    });
    dialog->SetProgressText(text);
    dialog->ResetProgress();
    dialog->exec();
    WorkerThread.join();
}

void WorkerProtocol::ShowMessage(const UserMessage& message) const {
    TProcessDlg* dialog = dialogs_.ProcessDlg;
    auto show = [this, dialog, &message] { present_(dialog, message); };
    if (QThread::currentThread() == uiThread_)
        show();
    else
        QMetaObject::invokeMethod(dialog, show, Qt::BlockingQueuedConnection);
}

BuildProgress WorkerProtocol::Progress() const {
    TProcessDlg* dialog = dialogs_.ProcessDlg;
    return {[dialog](int n) { dialog->SetProgressMax(n); },
            [dialog](int n) { dialog->StepProgress(n); }};
}
