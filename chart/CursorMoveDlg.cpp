#include "chart/CursorMoveDlg.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>

namespace {

const QString Caption = QStringLiteral("Paperless recorder");

void ShowStopBox(QWidget* parent, const UserMessage& message) {
    QMessageBox box(QMessageBox::Critical, Caption, QString::fromStdString(message.text),
                    QMessageBox::Ok, parent);
    box.exec();
}

template <class Control> Control* Place(Control* control, int x, int y, int w = 0, int h = 0) {
    if (w > 0)
        control->setGeometry(x, y, w, h);
    else
        control->move(x, y);
    return control;
}

} // namespace

TOKBottomDlg::TOKBottomDlg(QWidget* parent) : QDialog(parent), presentMessage_(ShowStopBox) {
    setWindowTitle(Caption);
    setFixedSize(274, 219);

    Bevel = Place(new QFrame(this), 8, 8, 257, 169);
    Bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Label1 = Place(new QLabel(QStringLiteral("Longitudinal vernier X\uFF1A"), this), 17, 36);
    XValueDate = Place(new QDateEdit(this), 127, 24, 128, 21);
    XValueDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    XValueTime = Place(new QTimeEdit(this), 127, 48, 128, 21);
    XValueTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    ShowY = Place(new QCheckBox(QStringLiteral("Show"), this), 17, 78, 56, 17);
    Label2 = Place(new QLabel(QStringLiteral("Transverse vernier  Y1\uFF1A"), this), 17, 98);
    YValueEdit = Place(new QLineEdit(this), 128, 90, 128, 21);
    ShowY2 = Place(new QCheckBox(QStringLiteral("Show"), this), 17, 122, 48, 17);
    Label3 = Place(new QLabel(QStringLiteral("Transverse vernier  Y2\uFF1A"), this), 16, 146);
    Y2ValueEdit = Place(new QLineEdit(this), 128, 139, 128, 21);
    OKBtn = Place(new QPushButton(QStringLiteral("O K"), this), 39, 188, 75, 25);
    CancelBtn = Place(new QPushButton(QStringLiteral("Cancel "), this), 159, 188, 75, 25);
    OKBtn->setDefault(true);

    // The design's places suit a small 8-point face; with a wider font the captions would run
    // under the fields, so the fields move right and the dialog widens by what is missing.
    int labelsRight = 0;
    for (QLabel* label : {Label1, Label2, Label3}) {
        label->adjustSize();
        labelsRight = std::max(labelsRight, label->geometry().right());
    }
    for (QCheckBox* box : {ShowY, ShowY2})
        box->resize(std::max(box->width(), box->sizeHint().width()), box->height());
    const int widen = std::max(0, labelsRight + 8 - XValueDate->x());
    if (widen > 0) {
        for (QWidget* field :
             {static_cast<QWidget*>(XValueDate), static_cast<QWidget*>(XValueTime),
              static_cast<QWidget*>(YValueEdit), static_cast<QWidget*>(Y2ValueEdit)})
            field->move(field->x() + widen, field->y());
        for (QWidget* button : {OKBtn, CancelBtn})
            button->move(button->x() + widen / 2, button->y());
        Bevel->resize(Bevel->width() + widen, Bevel->height());
        setFixedSize(width() + widen, height());
    }

    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, YValueEdit);
    setTabOrder(YValueEdit, XValueDate);
    setTabOrder(XValueDate, XValueTime);
    setTabOrder(XValueTime, Y2ValueEdit);
    setTabOrder(Y2ValueEdit, ShowY);
    setTabOrder(ShowY, ShowY2);

    connect(XValueDate, &QDateEdit::dateChanged, this, [this](QDate date) {
        datePicker_ = WithDate(datePicker_, date.year(), date.month(), date.day());
    });
    connect(XValueTime, &QTimeEdit::timeChanged, this, [this](QTime time) {
        timePicker_ =
            WithTimeOfDay(timePicker_, time.hour(), time.minute(), time.second(), time.msec());
    });
    connect(OKBtn, &QPushButton::clicked, this, &TOKBottomDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TOKBottomDlg::SetMessagePresenter(MessagePresenter presenter) {
    presentMessage_ = std::move(presenter);
}

void TOKBottomDlg::PrepareVernier(double x, double y1, double y2, double xMin, double xMax,
                                  double yMin, double yMax, int valueDecimals) {
    ValueDecimals = valueDecimals;
    OldXValue = x;
    OldYValue = y1;
    OldY2Value = y2;
    const DateTimeFields f = DecodeDateTime(x);
    for (QWidget* picker : {static_cast<QWidget*>(XValueDate), static_cast<QWidget*>(XValueTime)})
        picker->blockSignals(true);
    XValueDate->setDate(QDate(f.year, f.month, f.day));
    XValueTime->setTime(QTime(f.hour, f.minute, f.second, f.millisecond));
    for (QWidget* picker : {static_cast<QWidget*>(XValueDate), static_cast<QWidget*>(XValueTime)})
        picker->blockSignals(false);
    datePicker_ = timePicker_ = x;
    YValueEdit->setText(QString::fromStdString(VernierEditText(y1, valueDecimals)));
    Y2ValueEdit->setText(QString::fromStdString(VernierEditText(y2, valueDecimals)));
    XMin = xMin;
    XMax = xMax;
    YMin = yMin;
    YMax = yMax;
    ShowY->setChecked(ShowYFlag);
    ShowY2->setChecked(ShowY2Flag);
}

void TOKBottomDlg::OKBtnClick() {
    const VernierPrepared prepared{OldXValue, OldYValue, OldY2Value, XMin,
                                   XMax,      YMin,      YMax,       ValueDecimals};
    const VernierEntries entries{datePicker_, timePicker_, YValueEdit->text().toStdString(),
                                 Y2ValueEdit->text().toStdString()};
    const VernierVerdict verdict = CheckVernier(prepared, entries);
    if (!verdict.accepted) {
        if (verdict.focus == VernierFocus::YValueEdit)
            YValueEdit->setFocus();
        else if (verdict.focus == VernierFocus::Y2ValueEdit)
            Y2ValueEdit->setFocus();
        presentMessage_(this, {verdict.message, MessageIcon::Stop});
        return; // stays open with everything entered
    }
    NewXValue = verdict.newX;
    NewYValue = verdict.newY;
    NewY2Value = verdict.newY2;
    ShowYFlag = ShowY->isChecked();
    ShowY2Flag = ShowY2->isChecked();
    accept();
}
