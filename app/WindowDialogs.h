#pragma once
// What the main window hands to the parts it is composed of besides their widgets: the dialogs
// the program creates after the window (null until attached) and the way a message reaches the
// user. The window owns and sets both; the parts only read them.

#include "data/RecorderFile.h"

#include <functional>

class QWidget;
class TAboutBox;
class TDataFilterDlg;
class TOKBottomDlg;
class TProcessDlg;
class TRealComSettingDlg;

struct WindowDialogs {
    TDataFilterDlg* DataFilterDlg = nullptr;
    TProcessDlg* ProcessDlg = nullptr;
    TAboutBox* AboutBox = nullptr;
    TOKBottomDlg* OKBottomDlg = nullptr;
    TRealComSettingDlg* RealComSettingDlg = nullptr;
};

// Shows a message for the user: caption "Paperless recorder", the text and its icon.
using MessagePresenter = std::function<void(QWidget* parent, const UserMessage& message)>;
