#pragma once
// The two dialogs of the archive commands. They show and ask; what they accept is decided by
// the plain functions of ArchiveChoices. Both refuse "O K" with a message (through the
// presenter) while their entries cannot be taken, and stay open then.

#include "app/WindowDialogs.h"
#include "app/archive/ArchiveChoices.h"

#include <QDialog>
#include <QStringList>

#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Open from archive": the recorder, from and to (its whole span unless changed).
class TArchiveOpenDlg : public QDialog {
    Q_OBJECT
public:
    TArchiveOpenDlg(QWidget* parent, MessagePresenter present);

    // The archive's recorders to choose from; the first is chosen, with its span.
    void SetRecorders(const std::string& location, std::vector<ArchivedRecorder> recorders);
    // The choice "O K" took.
    const ArchiveSelection& Selection() const { return selection_; }
    void OKBtnClick();

    QComboBox* RecorderComboBox;
    QLabel* ChannelsLabel;
    QLineEdit* FromEdit;
    QLineEdit* ToEdit;
    QLabel* DatabaseLabel;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void ShowRecorder(int index);

    MessagePresenter present_;
    std::vector<ArchivedRecorder> recorders_;
    ArchiveSelection selection_;
};

// "Add to archive": the files and folders to add, and the recorder they go under (one of the
// archive's or a new name).
class TArchiveAddDlg : public QDialog {
    Q_OBJECT
public:
    TArchiveAddDlg(QWidget* parent, MessagePresenter present);

    // The recorder names offered, and the archive the files go into.
    void Prepare(const std::string& location, const std::vector<ArchivedRecorder>& recorders);
    void AddPaths(const QStringList& paths);
    QStringList Paths() const;
    // The recorder name "O K" took (trimmed, UTF-8).
    const std::string& Recorder() const { return recorder_; }
    void OKBtnClick();

    QListWidget* FileList;
    QPushButton* AddFilesBtn;
    QPushButton* AddFolderBtn;
    QPushButton* RemoveBtn;
    QComboBox* RecorderComboBox;
    QLabel* DatabaseLabel;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    MessagePresenter present_;
    std::string recorder_;
};
