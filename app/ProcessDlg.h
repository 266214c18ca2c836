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

    void SetProgressText(const QString& text);
    void SetProgressMax(int maximum);
    void StepProgress(int delta);
    void ResetProgress();
    // Closes the dialog once it is up; when it is not up yet, as soon as it has been shown.
    void PostCloseRequest();

    QString ProgressText() const;
    int ProgressMax() const;
    int ProgressPosition() const;

protected:
    void reject() override {} // Esc does not close it
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* TextLabel;
    QProgressBar* ProgressBar;
};
