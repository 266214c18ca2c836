#pragma once

#include <QDialog>

// The serial communication settings dialog; created at start and reused.
class TRealComSettingDlg : public QDialog {
    Q_OBJECT
public:
    explicit TRealComSettingDlg(QWidget* parent = nullptr) : QDialog(parent) {
        setWindowTitle(QStringLiteral("Paperless recorder"));
    }
};
