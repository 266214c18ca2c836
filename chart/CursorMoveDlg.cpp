#include "chart/CursorMoveDlg.h"

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Paperless recorder"));
}
