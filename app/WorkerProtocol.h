#pragma once
// The worker protocol: a long operation (a load, an import, a screening, a CSV export) runs on
// the one worker thread while the progress dialog is shown modally, and the caller goes on when
// the worker has ended. Owns the worker thread. The window's parts start their work here; the
// live run asks whether a worker runs, and pauses its ticks meanwhile.

#include "app/WindowDialogs.h"
#include "views/ViewBuilder.h"

#include <QString>

#include <functional>
#include <thread>

class QThread;

class WorkerProtocol {
public:
    // The progress dialog is the one the dialogs hold when the work starts.
    WorkerProtocol(const WindowDialogs& dialogs, MessagePresenter present);
    ~WorkerProtocol();
    WorkerProtocol(const WorkerProtocol&) = delete;
    WorkerProtocol& operator=(const WorkerProtocol&) = delete;

    // Runs work on the worker while the progress dialog shows text; returns when the worker
    // has ended. An error that escapes the work is shown as a message; the dialog closes in
    // every case.
    void Run(const QString& text, std::function<void()> work);
    // From the worker or the user-interface thread: shows the message above the progress
    // dialog and returns when the user has dismissed it.
    void ShowMessage(const UserMessage& message) const;
    // The progress dialog's bar as a build reports to it; callable from the worker.
    BuildProgress Progress() const;
    bool Running() const { return WorkerThread.joinable(); }
    // Waits for a worker still running (when the window goes while one runs).
    void WaitForWorker();

private:
    const WindowDialogs& dialogs_;
    MessagePresenter present_;
    QThread* uiThread_;
    std::thread WorkerThread;
};
