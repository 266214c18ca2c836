#pragma once
// The objects the program creates at start, in their order, all living until it ends.

#include "app/AboutDlg.h"
#include "app/MainFormUnit.h"
#include "app/OEMDLDlg.h"
#include "app/ProcessDlg.h"
#include "app/RealComSettingDlg.h"
#include "app/ServiceSwitches.h"
#include "app/Unit1.h"
#include "chart/CursorMoveDlg.h"
#include "filter/DataFilter.h"

#include <QApplication>

#include <memory>

class QSettings;

// The application object. An error that escapes an event handler is shown in a message box
// with its text, and the program goes on.
class RecorderApplication : public QApplication {
public:
    RecorderApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

struct StartupObjects {
    std::unique_ptr<TMainForm> MainForm;
    std::unique_ptr<TDataFilterDlg> DataFilterDlg;
    std::unique_ptr<TRealComSettingDlg> RealComSettingDlg;
    std::unique_ptr<TProcessDlg> ProcessDlg;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<TOKBottomDlg> OKBottomDlg;
    std::unique_ptr<TOEMDLDlg> OEMDLDlg;
    std::unique_ptr<TForm1> Form1;

    ~StartupObjects();
};

// The main window reads its service switches from settings while it is constructed.
std::unique_ptr<StartupObjects> CreateStartupObjects(QSettings& settings);
