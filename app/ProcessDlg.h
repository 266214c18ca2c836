#pragma once
// The progress dialog shown while a worker runs. Every operation may be called from the worker:
// it reaches the dialog as a queued call on the user-interface thread. The user cannot close
// the dialog; only the worker's close request ends it.

#include <QDialog>

class QLabel;
class QProgressBar;

class TProcessDlg : public QDialog {
    Q_OBJECT
public:
    explicit TProcessDlg(QWidget* parent = nullptr);

    // A new text also clears the detail line under it.
    void SetProgressText(const QString& text);
    // A line under the text, as "file 3 of 12" while several files load.
    void SetProgressDetail(const QString& detail);
    void SetProgressMax(int maximum);
    void StepProgress(int delta);
    void ResetProgress();
    // Closes the dialog once it is up; when it is not up yet, as soon as it has been shown.
    void PostCloseRequest();

    QString ProgressText() const;
    QString ProgressDetail() const;
    int ProgressMax() const;
    int ProgressPosition() const;

protected:
    void reject() override {} // Esc does not close it
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* TextLabel;
    QLabel* DetailLabel;
    QProgressBar* ProgressBar;
};
