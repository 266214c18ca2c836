#include "app/OEMDLDlg.h"

#include "data/Text.h"
#include "device/CommSettingsFile.h"
#include "device/PictureDownload.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace {

const QString Caption = QStringLiteral("Paperless recorder");
constexpr int ClientWidth = 401;
constexpr int ClientHeight = 143;
// GBK, with the full-width colon of the design.
constexpr const char* AddressLabelText = "Instrument picture address \xA3\xBA";
constexpr const char* PathLabelText = "Load path \xA3\xBA";
constexpr const char* LoadingText = "Loading...";

QString FromGbk(const char* text) {
    return QString::fromStdString(GbkToUtf8(text));
}

void ShowMessageBox(QWidget* parent, const UserMessage& message) {
    QMessageBox box(
        message.icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Critical,
        Caption, QString::fromStdString(GbkToUtf8(message.text)), QMessageBox::Ok, parent);
    box.exec();
}

// The slot of the address box: the index of the item its text names; -1 for a typed text
// that names none, which the download refuses rather than sending it to some slot.
int SlotOfAddressBox(const QComboBox* box) {
    return box->findText(box->currentText().trimmed(), Qt::MatchExactly);
}

} // namespace

TOEMDLDlg::TOEMDLDlg(QWidget* parent) : QDialog(parent), presentMessage_(ShowMessageBox) {
    CreateControls();
}

TOEMDLDlg::TOEMDLDlg(ModbusRtuImpl& connection, std::string configPath, QWidget* parent)
    : QDialog(parent), connection_(&connection), configPath_(std::move(configPath)),
      presentMessage_(ShowMessageBox) {
    CreateControls();
}

TOEMDLDlg::~TOEMDLDlg() {
    if (worker_.joinable())
        worker_.join();
}

void TOEMDLDlg::CreateControls() {
    setWindowTitle(QStringLiteral("OEM Load"));
    // Only a close box in the title bar; the size is fixed.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);

    AddressLabel = new QLabel(FromGbk(AddressLabelText), this);
    AddressLabel->setGeometry(12, 14, 190, 22);
    DLAddress = new QComboBox(this);
    DLAddress->setEditable(true);
    DLAddress->setInsertPolicy(QComboBox::NoInsert);
    for (int n = 1; n <= 6; ++n)
        DLAddress->addItem(QString::number(n));
    DLAddress->setCurrentIndex(0);
    DLAddress->setGeometry(204, 12, 64, 24);
    StartBtn = new QPushButton(QStringLiteral("Start"), this);
    StartBtn->setGeometry(306, 11, 82, 26);

    PathLabel = new QLabel(FromGbk(PathLabelText), this);
    PathLabel->setGeometry(12, 48, 80, 22);
    DLPicPath = new QLineEdit(this);
    DLPicPath->setGeometry(94, 46, 254, 24);
    PathSelectBtn = new QPushButton(QStringLiteral("..."), this);
    PathSelectBtn->setGeometry(354, 45, 34, 26);

    NoteLabel = new QLabel(FromGbk(OEMDLNoteText), this);
    NoteLabel->setGeometry(12, 80, 377, 22);
    DLProgressBar = new QProgressBar(this);
    DLProgressBar->setRange(0, 100);
    DLProgressBar->setValue(0);
    DLProgressBar->setTextVisible(false);
    // The bar and the attempt line under it share the room the design gives the bar.
    DLProgressBar->setGeometry(12, 106, 377, 14);
    DLAttemptLabel = new QLabel(this);
    QFont small = DLAttemptLabel->font();
    small.setPixelSize(11);
    DLAttemptLabel->setFont(small);
    DLAttemptLabel->setGeometry(12, 122, 377, 18);

    OpenFileDialog = new QFileDialog(this);
    OpenFileDialog->setNameFilter(QStringLiteral("*.*"));
    OpenFileDialog->setFileMode(QFileDialog::ExistingFile);

    connect(PathSelectBtn, &QPushButton::clicked, this, &TOEMDLDlg::PathSelectBtnClick);
    connect(StartBtn, &QPushButton::clicked, this, &TOEMDLDlg::StartBtnClick);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TOEMDLDlg::SetMessagePresenter(MessagePresenter presenter) {
    presentMessage_ = std::move(presenter);
}

void TOEMDLDlg::SetLinkWait(std::function<void()> wait) {
    linkWait_ = std::move(wait);
}

void TOEMDLDlg::PathSelectBtnClick() {
    if (OpenFileDialog->exec() == QDialog::Accepted && !OpenFileDialog->selectedFiles().isEmpty())
        DLPicPath->setText(OpenFileDialog->selectedFiles().front());
}

void TOEMDLDlg::StartBtnClick() {
    if (!connection_ || Transferring())
        return;
    if (worker_.joinable())
        worker_.join(); // the previous transfer has ended: its last act enabled Start
    // Start goes off here rather than on the worker, so that a second click or a close
    // request cannot slip in before the worker's first update arrives.
    StartBtn->setEnabled(false);
    DLProgressBar->setValue(0);
    DLAttemptLabel->clear();
    picturePath_ = QFile::encodeName(DLPicPath->text()).toStdString();
    slot_ = SlotOfAddressBox(DLAddress);
    worker_ = std::thread([this] { PictureDownloadThreadProc(); });
}

int TOEMDLDlg::PictureDownloadThreadProc() {
    PictureDownloadCallbacks callbacks;
    callbacks.loadSettings = [this](CommSettings& settings) {
        LoadCommSettings(configPath_, settings);
    };
    int blockCount = 0;
    callbacks.progressMaximum = [this, &blockCount](int maximum) {
        blockCount = maximum - 2;
        Post([this, maximum] { DLProgressBar->setMaximum(maximum); });
    };
    // A block that is not acknowledged holds the bar for about a minute: each attempt shows.
    callbacks.blockAttempt = [this, &blockCount](int32_t block, int attempt) {
        Post([this, text = PictureAttemptText(block, blockCount, attempt)] {
            DLAttemptLabel->setText(QString::fromStdString(text));
        });
    };
    callbacks.advanced = [this](const PictureProgress& step) {
        Post([this, position = step.position] { DLProgressBar->setValue(position); });
    };
    if (linkWait_)
        linkWait_();
    const UserMessage message =
        DownloadPicture(*connection_, picturePath_, static_cast<int16_t>(slot_), callbacks);
    Post([this, message] {
        StartBtn->setEnabled(true);
        presentMessage_(this, message);
    });
    return message.icon == MessageIcon::Information ? 0 : -1;
}

bool TOEMDLDlg::Transferring() const {
    return !StartBtn->isEnabled();
}

void TOEMDLDlg::WaitForTransfer() {
    if (worker_.joinable())
        worker_.join();
    QCoreApplication::sendPostedEvents(this);
}

void TOEMDLDlg::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void TOEMDLDlg::closeEvent(QCloseEvent* event) {
    if (Transferring()) {
        presentMessage_(nullptr, {LoadingText, MessageIcon::Information});
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TOEMDLDlg::reject() {
    // Esc asks to close, like the close box.
    if (Transferring()) {
        presentMessage_(nullptr, {LoadingText, MessageIcon::Information});
        return;
    }
    QDialog::reject();
}
