#pragma once
// The picture download dialog: a picture file, one of the instrument's six picture slots and
// Start. The transfer runs on a worker of the dialog's own; its progress and its end reach the
// dialog as queued calls, in the order the worker made them. While it runs, Start is disabled
// and the dialog refuses to close.
//
// The object created at start is never shown: every download creates a dialog of its own.

#include "data/RecorderFile.h"

#include <QDialog>

#include <functional>
#include <string>
#include <thread>

class ModbusRtuImpl;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The note under the controls (GBK): before downloading, make sure the instrument has entered
// its download page.
inline constexpr const char* OEMDLNoteText =
    "\xCF\xC2\xD7\xB0\xC7\xB0\xA3\xAC\xC7\xEB\xC8\xB7\xB1\xA3\xCF\xC2\xCE\xBB\xBB\xFA\xD2\xD1\xBE"
    "\xAD\xBD\xF8\xC8\xEB\xCF\xC2\xD7\xB0\xCF\xC2\xD7\xB0\xD2\xB3\xC3\xE6\xA1\xA3";

class TOEMDLDlg : public QDialog {
    Q_OBJECT
public:
    // The object created at start: no connection, never shown.
    explicit TOEMDLDlg(QWidget* parent = nullptr);
    // A dialog for one use, downloading over connection with the settings of configPath.
    TOEMDLDlg(ModbusRtuImpl& connection, std::string configPath, QWidget* parent);
    ~TOEMDLDlg() override;

    // Shows a message: caption "Paperless recorder", the text and its icon; parent null for a
    // box owned by no window.
    using MessagePresenter = std::function<void(QWidget* parent, const UserMessage& message)>;
    void SetMessagePresenter(MessagePresenter presenter);
    // Called on the worker before the transfer takes the connection: waits until nobody else
    // uses it.
    void SetLinkWait(std::function<void()> wait);

    void PathSelectBtnClick();
    // Starts PictureDownloadThreadProc on a new worker and returns at once.
    void StartBtnClick();
    // The transfer on the worker: 0 after success, -1 after a failure.
    int PictureDownloadThreadProc();
    // True while a transfer runs (Start disabled).
    bool Transferring() const;
    // Waits for the worker and runs the calls it queued for the dialog.
    void WaitForTransfer();

    QLabel* AddressLabel;
    QComboBox* DLAddress;
    QLabel* PathLabel;
    QLineEdit* DLPicPath;
    QPushButton* PathSelectBtn;
    QPushButton* StartBtn;
    QLabel* NoteLabel;
    QProgressBar* DLProgressBar;
    // Under the bar: the block being sent and its attempt ("Block 3 of 12, attempt 4 of 10").
    QLabel* DLAttemptLabel;
    QFileDialog* OpenFileDialog;

protected:
    void closeEvent(QCloseEvent* event) override; // OnClose
    void reject() override;

private:
    void CreateControls();
    // Runs call on the user-interface thread after everything queued before it.
    void Post(std::function<void()> call);

    ModbusRtuImpl* connection_ = nullptr;
    std::string configPath_;
    MessagePresenter presentMessage_;
    std::function<void()> linkWait_;
    std::thread worker_;
    // What the worker reads of the controls, taken by StartBtnClick.
    std::string picturePath_;
    int slot_ = 0;
};
