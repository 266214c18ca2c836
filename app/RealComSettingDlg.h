#pragma once
// The serial communication settings dialog ("Real-time communication set"): port, line
// parameters, instrument address and the monitored channels, loaded from config.ini before
// each showing and written back on "O K" only. Beside the port it shows the serial device the
// port stands for; the user can point the port at any serial device present or at a typed
// path, and "O K" records that choice too. Created once at start and reused.

#include "data/RecorderFile.h"
#include "device/CommSettingsFile.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

class TRealComSettingDlg : public QDialog {
    Q_OBJECT
public:
    // The file defaults to config.ini in the settings directory.
    explicit TRealComSettingDlg(QWidget* parent = nullptr);

    void SetConfigPath(std::string path) { configPath_ = std::move(path); }
    const std::string& ConfigPath() const { return configPath_; }

    // How a failure to write the file is shown (a message box unless replaced).
    using MessagePresenter = std::function<void(QWidget* parent, const UserMessage& message)>;
    void SetMessagePresenter(MessagePresenter presenter) { presentMessage_ = std::move(presenter); }

    // Fills the controls from the file; the "All" boxes and lists 3 and 4 keep their state.
    void LoadFromConfig();
    // Writes the file from the controls and closes the dialog with the result OK.
    void OKBtnClick();
    void SlectAllCheckBox1Click();
    void SlectAllCheckBox2Click();
    void SlectAllCheckBox3Click();
    void SlectAllCheckBox4Click();

    // The controls' values as the file takes them: list indices (-1 for a text that is no
    // entry), the address as typed, the channel check marks.
    CommDialogValues Values() const;
    void SetValues(const CommDialogValues& values);
    // The serial device the chosen port stands for.
    QString PortDevice() const;
    // "Record to folder" and its folder, "Record into the archive" and its recorder name, as
    // the file takes them.
    RecordSettings RecordChoice() const;

    QComboBox* ComPortComboBox;
    QComboBox* PortDeviceComboBox;
    QComboBox* BaudRateComboBox;
    QComboBox* StopBitComboBox;
    QComboBox* DataBitComboBox;
    QComboBox* CheckComboBox;
    QLineEdit* AddressEdit;
    QGroupBox* ComSettingGroupBox;
    QGroupBox* PortGroupBox;
    QGroupBox* ChannelGroupBox1;
    QGroupBox* ChannelGroupBox2;
    QGroupBox* ChannelGroupBox3;
    QGroupBox* ChannelGroupBox4;
    QListWidget* CheckListBox1;
    QListWidget* CheckListBox2;
    QListWidget* CheckListBox3;
    QListWidget* CheckListBox4;
    QCheckBox* SlectAllCheckBox1;
    QCheckBox* SlectAllCheckBox2;
    QCheckBox* SlectAllCheckBox3;
    QCheckBox* SlectAllCheckBox4;
    QCheckBox* RecordCheckBox;
    QLineEdit* RecordFolderEdit;
    QPushButton* RecordFolderButton;
    QCheckBox* ArchiveRecordCheckBox;
    QLineEdit* ArchiveRecorderEdit;
    QLineEdit* ArchiveDatabaseEdit; // the window's archive: an SQLite file or postgresql:// URI
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SelectAll(size_t list);
    void ShowChosenPortDevice();
    void RememberPortDevice();
    void WidenPortList();
    void ShowRecordChoice();
    int ChosenPort() const;

    std::array<QListWidget*, 4> lists_{};
    std::array<QCheckBox*, 4> allBoxes_{};
    std::string configPath_;
    MessagePresenter presentMessage_;
    // What each port maps to while the dialog is shown, edits included.
    std::array<QString, 16> portDevices_;
    bool showingPortDevice_ = false;
};
