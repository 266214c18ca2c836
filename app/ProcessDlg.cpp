#include "app/ProcessDlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>

TProcessDlg::TProcessDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral("Paperless recorder"));
    setFixedSize(282, 88);
    TextLabel = new QLabel(this);
    TextLabel->setGeometry(16, 16, 260, 17);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setGeometry(16, 40, 249, 25);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    DetailLabel = new QLabel(this);
    DetailLabel->setGeometry(16, 68, 260, 17);
}

// AutoConnection: a direct call on the user-interface thread, a queued one from the worker.
void TProcessDlg::SetProgressText(const QString& text) {
    QMetaObject::invokeMethod(this, [this, text] {
        TextLabel->setText(text);
        DetailLabel->clear();
    });
}

void TProcessDlg::SetProgressDetail(const QString& detail) {
    QMetaObject::invokeMethod(this, [this, detail] { DetailLabel->setText(detail); });
}

void TProcessDlg::SetProgressMax(int maximum) {
    QMetaObject::invokeMethod(this, [this, maximum] { ProgressBar->setMaximum(maximum); });
}

void TProcessDlg::StepProgress(int delta) {
    QMetaObject::invokeMethod(this, [this, delta] {
        ProgressBar->setValue(std::min(ProgressBar->maximum(), ProgressBar->value() + delta));
    });
}

void TProcessDlg::ResetProgress() {
    QMetaObject::invokeMethod(this, [this] { ProgressBar->setValue(0); });
}

void TProcessDlg::PostCloseRequest() {
    // Always queued, so that a request made before the modal loop runs is handled inside it.
    QMetaObject::invokeMethod(
        this, [this] { done(QDialog::Accepted); }, Qt::QueuedConnection);
}

QString TProcessDlg::ProgressText() const {
    return TextLabel->text();
}
QString TProcessDlg::ProgressDetail() const {
    return DetailLabel->text();
}
int TProcessDlg::ProgressMax() const {
    return ProgressBar->maximum();
}
int TProcessDlg::ProgressPosition() const {
    return ProgressBar->value();
}

void TProcessDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}
