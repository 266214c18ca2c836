#include "app/RealComSettingDlg.h"

#include "app/archive/ArchiveChoices.h"
#include "app/realtime/ComSettingChoices.h"
#include "data/Text.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>

namespace {

constexpr int ClientWidth = 467;
// The designed 439 pixels and three rows for recording live runs: to a folder, into the
// archive, and the archive's database.
constexpr int RecordRowHeight = 34;
constexpr int ClientHeight = 439 + 3 * RecordRowHeight;
constexpr int PortCount = 16;
constexpr int ItemsPerList = 8;
constexpr int DeviceRole = Qt::UserRole + 1;

// Draws a port's device on the right of its name in the port list, greyed.
class PortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const QString device = index.data(DeviceRole).toString();
        if (device.isEmpty())
            return;
        painter->save();
        painter->setPen(option.palette.color(option.state & QStyle::State_Selected
                                                 ? QPalette::HighlightedText
                                                 : QPalette::PlaceholderText));
        painter->drawText(option.rect.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter,
                          device);
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString device = index.data(DeviceRole).toString();
        size.rwidth() += option.fontMetrics.horizontalAdvance(device) + 24;
        return size;
    }
};

QComboBox* MakeList(QWidget* parent, const QStringList& items) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    return combo;
}

int IndexOf(const QComboBox* combo) {
    return combo->findText(combo->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

// An index the list does not have leaves it without a selection.
void Select(QComboBox* combo, int32_t index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

QLabel* Caption(QWidget* parent, const char* utf8, int x, int y) {
    auto* label = new QLabel(QString::fromUtf8(utf8), parent);
    label->setGeometry(x, y, 76, 24);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

void ShowMessageBox(QWidget* parent, const UserMessage& message) {
    QMessageBox::critical(parent, QStringLiteral("Paperless recorder"),
                          QString::fromStdString(GbkToUtf8(message.text)));
}

} // namespace

TRealComSettingDlg::TRealComSettingDlg(QWidget* parent)
    : QDialog(parent), configPath_(ConfigFilePath()), presentMessage_(ShowMessageBox) {
    setWindowTitle(QStringLiteral("Real-time communication set"));
    setFixedSize(ClientWidth, ClientHeight);

    ComSettingGroupBox = new QGroupBox(QStringLiteral("Com parameter Settings"), this);
    ComSettingGroupBox->setGeometry(8, 6, 451, 150);
    QWidget* g = ComSettingGroupBox;
    constexpr int Row1 = 24, Row2 = 54, Row3 = 84, Row4 = 116;
    constexpr int LeftField = 90, RightLabel = 222, RightField = 304, FieldWidth = 128;

    Caption(g, "COM\xEF\xBC\x9A", 8, Row1);
    ComPortComboBox = MakeList(g, {});
    for (int n = 1; n <= PortCount; ++n)
        ComPortComboBox->addItem(QStringLiteral("COM%1").arg(n));
    ComPortComboBox->setItemDelegate(new PortItemDelegate(ComPortComboBox));
    ComPortComboBox->setGeometry(LeftField, Row1, FieldWidth, 24);
    Caption(g, "Baud rate\xEF\xBC\x9A", 8, Row2);
    BaudRateComboBox = MakeList(g, {"1200", "2400", "9600", "19200", "38400", "57600", "115200"});
    BaudRateComboBox->setGeometry(LeftField, Row2, FieldWidth, 24);
    Caption(g, "Stop bit\xEF\xBC\x9A", 8, Row3);
    StopBitComboBox = MakeList(g, {"1", "2"});
    StopBitComboBox->setGeometry(LeftField, Row3, FieldWidth, 24);
    Caption(g, "Data bits\xEF\xBC\x9A", RightLabel, Row1);
    DataBitComboBox = MakeList(g, {"5", "6", "7", "8"});
    DataBitComboBox->setGeometry(RightField, Row1, FieldWidth, 24);
    Caption(g, "Parity\xEF\xBC\x9A", RightLabel, Row2);
    CheckComboBox = MakeList(g, {"None", "Odd ", "Even"});
    CheckComboBox->setGeometry(RightField, Row2, FieldWidth, 24);
    Caption(g, "Address \xEF\xBC\x9A", RightLabel, Row3);
    AddressEdit = new QLineEdit(QStringLiteral("1"), g);
    AddressEdit->setMaxLength(255);
    AddressEdit->setGeometry(RightField, Row3, FieldWidth, 24);

    // Linux: the device the chosen port name stands for.
    Caption(g, "Device\xEF\xBC\x9A", 8, Row4);
    PortDeviceComboBox = MakeList(g, {});
    PortDeviceComboBox->setGeometry(LeftField, Row4, RightField + FieldWidth - LeftField, 24);
    PortDeviceComboBox->setToolTip(
        QStringLiteral("Serial device used for the chosen port: pick one or type its path"));

    PortGroupBox = new QGroupBox(QStringLiteral("Channel selection"), this);
    PortGroupBox->setGeometry(8, 162, 451, 232);
    const char* const groupTitles[4] = {"1-8", "9-16", "17-24", "25-32"};
    std::array<QGroupBox*, 4> groups{};
    for (size_t list = 0; list < 4; ++list) {
        groups[list] = new QGroupBox(QString::fromLatin1(groupTitles[list]), PortGroupBox);
        groups[list]->setGeometry(8 + 110 * static_cast<int>(list), 20, 104, 204);
        allBoxes_[list] = new QCheckBox(QStringLiteral("All"), groups[list]);
        allBoxes_[list]->setGeometry(8, 20, 88, 20);
        lists_[list] = new QListWidget(groups[list]);
        lists_[list]->setGeometry(6, 42, 92, 156);
        lists_[list]->setSelectionMode(QAbstractItemView::SingleSelection);
        for (int i = 0; i < ItemsPerList; ++i) {
            const int n = static_cast<int>(list) * ItemsPerList + i + 1;
            auto* item = new QListWidgetItem(
                QStringLiteral("Chan %1").arg(n, 2, 10, QLatin1Char('0')), lists_[list]);
            item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setCheckState(Qt::Unchecked);
        }
    }
    // Channels 17 to 32 are shown but can never be chosen.
    for (size_t list : {2u, 3u}) {
        groups[list]->setEnabled(false);
        lists_[list]->setEnabled(false);
        allBoxes_[list]->setEnabled(false);
    }
    ChannelGroupBox1 = groups[0];
    ChannelGroupBox2 = groups[1];
    ChannelGroupBox3 = groups[2];
    ChannelGroupBox4 = groups[3];
    CheckListBox1 = lists_[0];
    CheckListBox2 = lists_[1];
    CheckListBox3 = lists_[2];
    CheckListBox4 = lists_[3];
    SlectAllCheckBox1 = allBoxes_[0];
    SlectAllCheckBox2 = allBoxes_[1];
    SlectAllCheckBox3 = allBoxes_[2];
    SlectAllCheckBox4 = allBoxes_[3];

    // Recording of live runs: off by default, kept in config.ini's section "RECORD".
    constexpr int RecordRow = 402;
    RecordCheckBox = new QCheckBox(QStringLiteral("Record to folder"), this);
    RecordCheckBox->setGeometry(16, RecordRow, 130, 24);
    RecordCheckBox->setToolTip(
        QStringLiteral("Append every tick of a run to a file in this folder, named after the "
                       "run's start; File > Open reads it back"));
    RecordFolderEdit = new QLineEdit(this);
    RecordFolderEdit->setGeometry(150, RecordRow, 245, 24);
    RecordFolderEdit->setPlaceholderText(QStringLiteral("folder for the run records"));
    RecordFolderButton = new QPushButton(QStringLiteral("..."), this);
    RecordFolderButton->setGeometry(401, RecordRow, 58, 24);
    RecordFolderButton->setToolTip(QStringLiteral("Choose the folder"));
    connect(RecordFolderButton, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Record to folder"), RecordFolderEdit->text());
        if (!folder.isEmpty()) {
            RecordFolderEdit->setText(folder);
            RecordCheckBox->setChecked(true);
        }
    });
    connect(RecordCheckBox, &QCheckBox::toggled, this, &TRealComSettingDlg::ShowRecordChoice);

    // Recording into the archive, under a recorder name; the database is the window's archive
    // (config.ini's section "ARCHIVE"), also for File > Add to archive and Open from archive.
    constexpr int ArchiveRow = RecordRow + RecordRowHeight;
    ArchiveRecordCheckBox = new QCheckBox(QStringLiteral("Record into the archive"), this);
    ArchiveRecordCheckBox->setGeometry(16, ArchiveRow, 180, 24);
    ArchiveRecordCheckBox->setToolTip(
        QStringLiteral("Add every tick of a run to the archive under this recorder name, one "
                       "transaction a tick"));
    ArchiveRecorderEdit = new QLineEdit(this);
    ArchiveRecorderEdit->setGeometry(200, ArchiveRow, 259, 24);
    ArchiveRecorderEdit->setPlaceholderText(QStringLiteral("recorder name"));
    auto* databaseLabel = new QLabel(QStringLiteral("Archive:"), this);
    databaseLabel->setGeometry(16, ArchiveRow + RecordRowHeight, 60, 24);
    ArchiveDatabaseEdit = new QLineEdit(this);
    ArchiveDatabaseEdit->setGeometry(80, ArchiveRow + RecordRowHeight, 379, 24);
    ArchiveDatabaseEdit->setPlaceholderText(QString::fromStdString(DefaultArchiveLocation()));
    ArchiveDatabaseEdit->setToolTip(
        QStringLiteral("An SQLite file, or postgresql://[user@]host[:port]/dbname; the password "
                       "belongs in ~/.pgpass or a service file, never here"));
    databaseLabel->setBuddy(ArchiveDatabaseEdit);
    connect(ArchiveRecordCheckBox, &QCheckBox::toggled, this,
            &TRealComSettingDlg::ShowRecordChoice);

    OKBtn = new QPushButton(QStringLiteral("O K"), this);
    OKBtn->setGeometry(ClientWidth - 2 * 88 - 16, ClientHeight - 38, 88, 28);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setGeometry(ClientWidth - 88 - 8, ClientHeight - 38, 88, 28);

    connect(OKBtn, &QPushButton::clicked, this, &TRealComSettingDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SlectAllCheckBox1, &QCheckBox::clicked, this,
            &TRealComSettingDlg::SlectAllCheckBox1Click);
    connect(SlectAllCheckBox2, &QCheckBox::clicked, this,
            &TRealComSettingDlg::SlectAllCheckBox2Click);
    connect(SlectAllCheckBox3, &QCheckBox::clicked, this,
            &TRealComSettingDlg::SlectAllCheckBox3Click);
    connect(SlectAllCheckBox4, &QCheckBox::clicked, this,
            &TRealComSettingDlg::SlectAllCheckBox4Click);
    connect(ComPortComboBox, &QComboBox::currentTextChanged, this,
            &TRealComSettingDlg::ShowChosenPortDevice);
    connect(PortDeviceComboBox, &QComboBox::currentTextChanged, this,
            &TRealComSettingDlg::RememberPortDevice);
}

void TRealComSettingDlg::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TRealComSettingDlg::LoadFromConfig() {
    for (int n = 1; n <= PortCount; ++n) {
        portDevices_[static_cast<size_t>(n - 1)] =
            QString::fromLocal8Bit(PortDevicePath(configPath_, n));
        ComPortComboBox->setItemData(n - 1, portDevices_[static_cast<size_t>(n - 1)], DeviceRole);
    }
    WidenPortList();
    PortDeviceComboBox->blockSignals(true);
    PortDeviceComboBox->clear();
    for (const std::string& device : ListSerialDevices())
        PortDeviceComboBox->addItem(QString::fromLocal8Bit(device));
    PortDeviceComboBox->blockSignals(false);
    SetValues(LoadDialogValues(configPath_));
    ShowChosenPortDevice();
    const RecordSettings record = LoadRecordSettings(configPath_);
    RecordFolderEdit->setText(QFile::decodeName(QByteArray::fromStdString(record.folder)));
    RecordCheckBox->setChecked(record.enabled);
    ArchiveRecordCheckBox->setChecked(record.archive);
    ArchiveRecorderEdit->setText(QString::fromStdString(record.recorder));
    ArchiveDatabaseEdit->setText(QString::fromStdString(LoadArchiveDatabase(configPath_)));
    ShowRecordChoice();
}

void TRealComSettingDlg::ShowRecordChoice() {
    RecordFolderEdit->setEnabled(RecordCheckBox->isChecked());
    ArchiveRecorderEdit->setEnabled(ArchiveRecordCheckBox->isChecked());
}

RecordSettings TRealComSettingDlg::RecordChoice() const {
    return {RecordCheckBox->isChecked(),
            QFile::encodeName(RecordFolderEdit->text().trimmed()).toStdString(),
            ArchiveRecordCheckBox->isChecked(),
            ArchiveRecorderEdit->text().trimmed().toStdString()};
}

void TRealComSettingDlg::SetValues(const CommDialogValues& values) {
    Select(ComPortComboBox, values.portIndex);
    Select(BaudRateComboBox, values.baudRateIndex);
    Select(StopBitComboBox, values.stopBitIndex);
    Select(DataBitComboBox, values.dataBitIndex);
    Select(CheckComboBox, values.checkTypeIndex);
    AddressEdit->setText(QString::fromStdString(GbkToUtf8(values.addressText)));
    for (size_t k = 0; k < values.channelChecked.size(); ++k)
        lists_[k / ItemsPerList]
            ->item(static_cast<int>(k % ItemsPerList))
            ->setCheckState(values.channelChecked[k] ? Qt::Checked : Qt::Unchecked);
}

CommDialogValues TRealComSettingDlg::Values() const {
    CommDialogValues values;
    values.portIndex = IndexOf(ComPortComboBox);
    values.baudRateIndex = IndexOf(BaudRateComboBox);
    values.stopBitIndex = IndexOf(StopBitComboBox);
    values.dataBitIndex = IndexOf(DataBitComboBox);
    values.checkTypeIndex = IndexOf(CheckComboBox);
    values.addressText = Utf8ToGbk(AddressEdit->text().toStdString());
    for (size_t k = 0; k < values.channelChecked.size(); ++k)
        values.channelChecked[k] =
            lists_[k / ItemsPerList]->item(static_cast<int>(k % ItemsPerList))->checkState() ==
            Qt::Checked;
    return values;
}

int TRealComSettingDlg::ChosenPort() const {
    return PortNumberOfIndex(IndexOf(ComPortComboBox));
}

QString TRealComSettingDlg::PortDevice() const {
    return PortDeviceComboBox->currentText().trimmed();
}

void TRealComSettingDlg::ShowChosenPortDevice() {
    const int port = ChosenPort();
    PortDeviceComboBox->setEnabled(port != 0);
    showingPortDevice_ = true;
    PortDeviceComboBox->setCurrentText(port != 0 ? portDevices_[static_cast<size_t>(port - 1)]
                                                 : QString());
    showingPortDevice_ = false;
}

void TRealComSettingDlg::RememberPortDevice() {
    const int port = ChosenPort();
    if (showingPortDevice_ || port == 0)
        return;
    portDevices_[static_cast<size_t>(port - 1)] = PortDevice();
    ComPortComboBox->setItemData(port - 1, PortDevice(), DeviceRole);
    WidenPortList();
}

// The drop-down list is as wide as the longest port name with its device.
void TRealComSettingDlg::WidenPortList() {
    const QFontMetrics metrics = ComPortComboBox->view()->fontMetrics();
    int widest = 0;
    for (int i = 0; i < ComPortComboBox->count(); ++i)
        widest = std::max(
            widest, metrics.horizontalAdvance(ComPortComboBox->itemText(i) + "    " +
                                              ComPortComboBox->itemData(i, DeviceRole).toString()));
    ComPortComboBox->view()->setMinimumWidth(widest + 40);
}

void TRealComSettingDlg::OKBtnClick() {
    const std::string device = PortDevice().toLocal8Bit().toStdString();
    const RecordSettings record = RecordChoice();
    if (record.enabled && record.folder.empty()) {
        presentMessage_(this, {"Choose the folder to record to", MessageIcon::Error});
        return;
    }
    if (record.archive) {
        if (const auto refusal = CheckRecorderName(record.recorder)) {
            presentMessage_(this, {Utf8ToGbk(*refusal), MessageIcon::Error});
            return;
        }
    }
    const std::string database = ArchiveDatabaseEdit->text().trimmed().toStdString();
    if (const auto refusal = CheckDatabaseSetting(database)) {
        presentMessage_(this, {Utf8ToGbk(*refusal), MessageIcon::Error});
        return;
    }
    if (!SaveComSettingChoices(configPath_, Values(), device) ||
        !SaveRecordSettings(configPath_, record) || !SaveArchiveDatabase(configPath_, database)) {
        presentMessage_(
            this, {"Cannot write the settings file " + Utf8ToGbk(configPath_), MessageIcon::Error});
        return;
    }
    accept();
}

void TRealComSettingDlg::SelectAll(size_t list) {
    const Qt::CheckState state = allBoxes_[list]->isChecked() ? Qt::Checked : Qt::Unchecked;
    for (int i = 0; i < lists_[list]->count(); ++i)
        lists_[list]->item(i)->setCheckState(state);
}

void TRealComSettingDlg::SlectAllCheckBox1Click() {
    SelectAll(0);
}
void TRealComSettingDlg::SlectAllCheckBox2Click() {
    SelectAll(1);
}
void TRealComSettingDlg::SlectAllCheckBox3Click() {
    SelectAll(2);
}
void TRealComSettingDlg::SlectAllCheckBox4Click() {
    SelectAll(3);
}
