#pragma once
// "Go to time…": a date and time typed or stepped to, within the recording's time window. The
// window moves the time cursor there, scrolls the chart to it and shows the sheet page that
// holds it.

#include "data/DateTime.h"

#include <QDialog>

class QDateTimeEdit;
class QPushButton;

class TGoToTimeDlg : public QDialog {
    Q_OBJECT
public:
    explicit TGoToTimeDlg(QWidget* parent = nullptr);

    // Starts at `current`; the edit takes only times from `first` to `last` (to the second).
    void Prepare(DateTime current, DateTime first, DateTime last);
    // The time chosen, a whole second.
    DateTime ChosenTime() const;

    QDateTimeEdit* TimeEdit;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
};
