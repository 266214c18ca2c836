#pragma once

#include <QDialog>

// The picture download dialog. The object created at start is never shown: every download
// creates a dialog of its own.
class TOEMDLDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOEMDLDlg(QWidget* parent = nullptr) : QDialog(parent) {
        setWindowTitle(QStringLiteral("Paperless recorder"));
    }
};
