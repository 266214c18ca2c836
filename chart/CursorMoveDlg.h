#pragma once
// The vernier dialog places the chart's cursors by typed values. The window reads the two kept
// "Show" states when it places the cursors after a build.

#include <QDialog>

class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg(QWidget* parent = nullptr);

    bool ShowYFlag = false;  // the time cursor also draws its horizontal line
    bool ShowY2Flag = false; // the second horizontal line is shown
};
