#include "app/Startup.h"

#include <QMessageBox>

RecorderApplication::RecorderApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool RecorderApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        QMessageBox::critical(activeWindow(), QStringLiteral("Paperless recorder"),
                              QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(activeWindow(), QStringLiteral("Paperless recorder"), QString());
    }
    return false;
}

StartupObjects::~StartupObjects() {
    // The main window goes first, as when the program ends by closing it.
    MainForm.reset();
}

std::unique_ptr<StartupObjects> CreateStartupObjects(QSettings& settings) {
    auto objects = std::make_unique<StartupObjects>();
    objects->MainForm = std::make_unique<TMainForm>(settings);
    objects->DataFilterDlg = std::make_unique<TDataFilterDlg>();
    objects->RealComSettingDlg = std::make_unique<TRealComSettingDlg>();
    objects->ProcessDlg = std::make_unique<TProcessDlg>();
    objects->AboutBox = std::make_unique<TAboutBox>();
    objects->OKBottomDlg = std::make_unique<TOKBottomDlg>();
    objects->OEMDLDlg = std::make_unique<TOEMDLDlg>();
    objects->Form1 = std::make_unique<TForm1>();
    objects->MainForm->AttachDialogs(objects->DataFilterDlg.get(), objects->ProcessDlg.get(),
                                     objects->AboutBox.get(), objects->OKBottomDlg.get());
    objects->MainForm->AttachComSettingDialog(objects->RealComSettingDlg.get());
    return objects;
}
