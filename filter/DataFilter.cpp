#include "filter/DataFilter.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 470;
constexpr int ClientHeight = 460;
constexpr int ItemsPerList = 8;
constexpr int UsableLists = 2; // channels 1 to 16

void ShowRefusal(QWidget* parent, std::string_view text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Paperless recorder"),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok, parent);
    box.exec();
}

DateTime DayOf(const QDate& date) {
    return EncodeDateTime({date.year(), date.month(), date.day()}).value_or(0);
}

DateTime TimeOfDayOf(const QTime& time) {
    return EncodeDateTime({1899, 12, 30, time.hour(), time.minute(), time.second(), 0}).value_or(0);
}

} // namespace

TDataFilterDlg::TDataFilterDlg(QWidget* parent) : QDialog(parent), presentMessage_(ShowRefusal) {
    ChannelFlags.fill(true);
    setWindowTitle(QStringLiteral("Data screening condition set"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    ConditionGroup = new QGroupBox(QStringLiteral("Screening condition "));
    auto* condition = new QGridLayout(ConditionGroup);
    auto picker = [](QDateEdit*& date, QTimeEdit*& time) {
        date = new QDateEdit;
        date->setCalendarPopup(false); // up-down spin
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        time = new QTimeEdit;
        time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    };
    picker(StartDate, StartTime);
    picker(EndDate, EndTime);
    condition->addWidget(new QLabel(QStringLiteral("Start time\uFF1A")), 0, 0);
    condition->addWidget(StartDate, 0, 1);
    condition->addWidget(StartTime, 0, 2);
    condition->addWidget(new QLabel(QStringLiteral("End time\uFF1A")), 1, 0);
    condition->addWidget(EndDate, 1, 1);
    condition->addWidget(EndTime, 1, 2);
    condition->addWidget(new QLabel(QStringLiteral("Each page shows the number of data \uFF1A")), 2,
                         0, 1, 2);
    ItemCountPerPageEdit = new QLineEdit(QStringLiteral("500"));
    condition->addWidget(ItemCountPerPageEdit, 2, 2);

    ChannelGroup = new QGroupBox(QStringLiteral("Channel selection"));
    auto* lists = new QHBoxLayout(ChannelGroup);
    std::array<QCheckBox*, 4> allBoxes{};
    for (int g = 0; g < 4; ++g) {
        ChannelGroups[g] = new QGroupBox(QStringLiteral("%1-%2").arg(g * 8 + 1).arg(g * 8 + 8));
        auto* column = new QVBoxLayout(ChannelGroups[g]);
        allBoxes[g] = new QCheckBox(QStringLiteral("All"));
        ChannelLists[g] = new QListWidget;
        for (int i = 0; i < ItemsPerList; ++i) {
            auto* item = new QListWidgetItem(
                QStringLiteral("Chan %1").arg(g * 8 + i + 1, 2, 10, QLatin1Char('0')),
                ChannelLists[g]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        column->addWidget(allBoxes[g]);
        column->addWidget(ChannelLists[g]);
        lists->addWidget(ChannelGroups[g]);
        ChannelGroups[g]->setEnabled(g < UsableLists);
    }
    SlectAllCheckBox1 = allBoxes[0];
    SlectAllCheckBox2 = allBoxes[1];
    SlectAllCheckBox3 = allBoxes[2];
    SlectAllCheckBox4 = allBoxes[3];
    connect(SlectAllCheckBox1, &QCheckBox::clicked, this, &TDataFilterDlg::SlectAllCheckBox1Click);
    connect(SlectAllCheckBox2, &QCheckBox::clicked, this, &TDataFilterDlg::SlectAllCheckBox2Click);
    connect(SlectAllCheckBox3, &QCheckBox::clicked, this, &TDataFilterDlg::SlectAllCheckBox3Click);
    connect(SlectAllCheckBox4, &QCheckBox::clicked, this, &TDataFilterDlg::SlectAllCheckBox4Click);

    OKBtn = new QPushButton(QStringLiteral("O K"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"));
    connect(OKBtn, &QPushButton::clicked, this, &TDataFilterDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ConditionGroup);
    layout->addWidget(ChannelGroup, 1);
    layout->addLayout(buttons);
    setFixedSize(ClientWidth, ClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TDataFilterDlg::SetMessagePresenter(MessagePresenter presenter) {
    presentMessage_ = std::move(presenter);
}

void TDataFilterDlg::SetPickers(QDateEdit* date, QTimeEdit* time, DateTime value) {
    const DateTimeFields f = DecodeDateTime(value);
    date->setDate(QDate(f.year, f.month, f.day));
    time->setTime(QTime(f.hour, f.minute, f.second));
}

void TDataFilterDlg::InitScreening(DateTime start, DateTime end) {
    ScreenStart = PickerStart = start;
    ScreenEnd = PickerEnd = end;
    SetPickers(StartDate, StartTime, start);
    SetPickers(EndDate, EndTime, end);
    ItemCountPerPageEdit->setText(QString::number(ItemsPerPage));
    for (int list = 0; list < UsableLists; ++list)
        for (int i = 0; i < ItemsPerList; ++i)
            ChannelLists[list]->item(i)->setCheckState(
                ChannelFlags[static_cast<size_t>(list * ItemsPerList + i)] ? Qt::Checked
                                                                           : Qt::Unchecked);
    SlectAllCheckBox1->setChecked(AllFlag1);
    SlectAllCheckBox2->setChecked(AllFlag2);
}

void TDataFilterDlg::ResetChannelSelection() {
    ChannelFlags.fill(true);
    AllFlag1 = AllFlag2 = true;
}

bool TDataFilterDlg::AskScreeningSettings() {
    return exec() == QDialog::Accepted;
}

ScreeningSelection TDataFilterDlg::Selection() const {
    return {ScreenStart, ScreenEnd, ChannelFlags};
}

void TDataFilterDlg::SetListChecks(int list, bool checked) {
    for (int i = 0; i < ChannelLists[list]->count(); ++i)
        ChannelLists[list]->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool TDataFilterDlg::ListChecked(int list, int item) const {
    return ChannelLists[list]->item(item)->checkState() == Qt::Checked;
}

void TDataFilterDlg::SlectAllCheckBox1Click() {
    SetListChecks(0, SlectAllCheckBox1->isChecked());
}
void TDataFilterDlg::SlectAllCheckBox2Click() {
    SetListChecks(1, SlectAllCheckBox2->isChecked());
}
void TDataFilterDlg::SlectAllCheckBox3Click() {
    SetListChecks(2, SlectAllCheckBox3->isChecked());
}
void TDataFilterDlg::SlectAllCheckBox4Click() {
    SetListChecks(3, SlectAllCheckBox4->isChecked());
}

DateTime TDataFilterDlg::PickedDateTime(QDateEdit* date, QTimeEdit* time,
                                        DateTime pickersSetTo) const {
    return CombinePickers(DatePickerValue(pickersSetTo, DayOf(date->date())),
                          TimePickerValue(pickersSetTo, TimeOfDayOf(time->time())), pickersSetTo);
}

void TDataFilterDlg::OKBtnClick() {
    const DateTime start = PickedDateTime(StartDate, StartTime, PickerStart);
    const DateTime end = PickedDateTime(EndDate, EndTime, PickerEnd);
    const ScreeningCheck check =
        CheckScreeningEntries(start, end, ItemCountPerPageEdit->text().toStdString());
    if (check.refusal == ScreeningRefusal::PageSize)
        ItemCountPerPageEdit->setFocus();
    if (check.refusal != ScreeningRefusal::None) {
        presentMessage_(this, RefusalText(check.refusal));
        return;
    }
    // Stored only when confirmed: a refused or cancelled window never reaches the settings.
    ScreenStart = start;
    ScreenEnd = end;
    ItemsPerPage = check.itemsPerPage;
    for (int list = 0; list < UsableLists; ++list)
        for (int i = 0; i < ItemsPerList; ++i)
            ChannelFlags[static_cast<size_t>(list * ItemsPerList + i)] = ListChecked(list, i);
    AllFlag1 = SlectAllCheckBox1->isChecked();
    AllFlag2 = SlectAllCheckBox2->isChecked();
    accept();
}
