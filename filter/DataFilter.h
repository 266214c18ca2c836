#pragma once
// The screening dialog: the time window, the channel selection and the data sheet's page size.
// Other parts of the window read the settings members directly.

#include "views/ViewBuilder.h"
#include "data/DateTime.h"

#include <QDialog>

#include <array>
#include <cstdint>

class TDataFilterDlg : public QDialog {
    Q_OBJECT
public:
    explicit TDataFilterDlg(QWidget* parent = nullptr);

    // After every load or import: the window becomes the recording's whole time window.
    void InitScreening(DateTime start, DateTime end);
    // Before every load, import and real-time start: every channel selected again.
    void ResetChannelSelection();
    // Asks the user for new settings; true when they were confirmed. The dialog's controls are
    // not built yet, so nothing is asked and nothing confirmed.
    bool AskScreeningSettings();

    ScreeningSelection Selection() const;

    DateTime ScreenStart = 0;
    DateTime ScreenEnd = 0;
    uint32_t ItemsPerPage = 500; // always 100 to 10000
    std::array<bool, 16> ChannelFlags;
    DateTime PickerStart = 0;
    DateTime PickerEnd = 0;
    bool AllFlag1 = true;
    bool AllFlag2 = true;
};
