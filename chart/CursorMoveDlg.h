#pragma once
// The vernier dialog places the chart's cursors by typed values: the time cursor's date and time
// of day, the values of the two horizontal lines and whether each is shown. It is created once
// and reused; the two "Show" states and the results change only when OK is accepted.

#include "chart/Vernier.h"
#include "data/RecorderFile.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

class TOKBottomDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlg(QWidget* parent = nullptr);

    // The cursors' present values and the chart's visible ranges; the lines' values with
    // decimals where the value axis shows a channel's own scale (OwnScaleDecimals), whole
    // numbers on the shared axis.
    void PrepareVernier(double x, double y1, double y2, double xMin, double xMax, double yMin,
                        double yMax, int valueDecimals = 0);
    // The OK button's checks: accepts and closes, or shows the refusal and stays open.
    void OKBtnClick();

    // Refusals go through this (caption "Paperless recorder", stop icon); tests replace it.
    using MessagePresenter = std::function<void(QWidget* parent, const UserMessage& message)>;
    void SetMessagePresenter(MessagePresenter presenter);

    // The pickers' full date-times: each picker changes only its own part.
    DateTime DatePickerValue() const { return datePicker_; }
    DateTime TimePickerValue() const { return timePicker_; }

    double OldXValue = 0;
    double OldYValue = 0;
    double OldY2Value = 0;
    double XMin = 0, XMax = 0;
    double YMin = 0, YMax = 0;
    int ValueDecimals = 0;
    double NewXValue = 0;
    double NewYValue = 0;
    double NewY2Value = 0;
    bool ShowYFlag = false;  // the time cursor also draws its horizontal line
    bool ShowY2Flag = false; // the second horizontal line is shown

    QFrame* Bevel;
    QLabel* Label1;
    QDateEdit* XValueDate;
    QTimeEdit* XValueTime;
    QCheckBox* ShowY;
    QLabel* Label2;
    QLineEdit* YValueEdit;
    QCheckBox* ShowY2;
    QLabel* Label3;
    QLineEdit* Y2ValueEdit;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    DateTime datePicker_ = 0;
    DateTime timePicker_ = 0;
    MessagePresenter presentMessage_;
};
