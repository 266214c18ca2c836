#include "chart/GoToTimeDlg.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>

namespace {

// Date-times are shown as they are stored, with no time zone to shift them.
QDateTime ToQt(DateTime t) {
    const DateTimeFields f = DecodeDateTime(t);
    return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second), Qt::UTC);
}

} // namespace

TGoToTimeDlg::TGoToTimeDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Go to time"));
    TimeEdit = new QDateTimeEdit(this);
    TimeEdit->setTimeSpec(Qt::UTC);
    TimeEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    TimeEdit->setCalendarPopup(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OKBtn = buttons->button(QDialogButtonBox::Ok);
    CancelBtn = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(QStringLiteral("Date and time:"), TimeEdit);
    layout->addRow(buttons);
}

void TGoToTimeDlg::Prepare(DateTime current, DateTime first, DateTime last) {
    TimeEdit->setDateTimeRange(ToQt(first), ToQt(std::max(first, last)));
    TimeEdit->setDateTime(ToQt(current));
    TimeEdit->setFocus();
    TimeEdit->setSelectedSection(QDateTimeEdit::HourSection);
}

DateTime TGoToTimeDlg::ChosenTime() const {
    const QDateTime chosen = TimeEdit->dateTime();
    const QDate d = chosen.date();
    const QTime t = chosen.time();
    return EncodeDateTime({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), 0})
        .value_or(0);
}
