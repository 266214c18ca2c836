#include "app/service/ServiceCommands.h"

#include "app/OEMDLDlg.h"
#include "app/realtime/RealTimeMonitor.h"

#include <QFileDialog>
#include <QFileInfo>

ServiceCommands::ServiceCommands(QWidget* window, RealTimeMonitor& monitor)
    : window_(window), monitor_(monitor) {}

void ServiceCommands::ImportData() {
    const QString path = QFileDialog::getOpenFileName(
        window_, QString(), ImportFileName.isEmpty() ? QString() : QFileInfo(ImportFileName).path(),
        QStringLiteral("CSV file(*.csv)"));
    if (path.isEmpty())
        return;
    ImportDataFile(path);
}

void ServiceCommands::ImportDataFile(const QString& path) {
    ImportFileName = path;
    emit ImportRequested(path);
}

void ServiceCommands::OnOEMDLClick() {
    // The download and a live run would share the port; the menu entry is off during a run.
    if (monitor_.LinkActive())
        return;
    TOEMDLDlg dialog(monitor_.Connection(), monitor_.ConfigPath(), window_);
    // After Stop a read may still be outstanding on the poller, which closes the port when it
    // ends: the transfer waits for that on its worker, behind the dialog.
    dialog.SetLinkWait([this] { monitor_.WaitIdle(); });
    dialog.exec();
}
