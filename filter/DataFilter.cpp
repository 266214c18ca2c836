#include "filter/DataFilter.h"

TDataFilterDlg::TDataFilterDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Data screening condition set"));
    ChannelFlags.fill(true);
}

void TDataFilterDlg::InitScreening(DateTime start, DateTime end) {
    ScreenStart = PickerStart = start;
    ScreenEnd = PickerEnd = end;
}

void TDataFilterDlg::ResetChannelSelection() {
    ChannelFlags.fill(true);
    AllFlag1 = AllFlag2 = true;
}

bool TDataFilterDlg::AskScreeningSettings() {
    return false;
}

ScreeningSelection TDataFilterDlg::Selection() const {
    return {ScreenStart, ScreenEnd, ChannelFlags};
}
