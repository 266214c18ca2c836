#include "app/archive/ArchiveDialogs.h"

#include "data/Text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

std::string ToUtf8(const QString& text) {
    return text.toStdString();
}

QString ArchiveText(const std::string& location) {
    return QStringLiteral("Archive: ") + FromUtf8(LocationForMessages(location));
}

// "O K" and "Cancel" as the program's other dialogs name them.
QDialogButtonBox* Buttons(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel) {
    auto* box = new QDialogButtonBox(dialog);
    ok = box->addButton(QStringLiteral("O K"), QDialogButtonBox::AcceptRole);
    cancel = box->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return box;
}

} // namespace

// Open from archive -------------------------------------------------------------------------

TArchiveOpenDlg::TArchiveOpenDlg(QWidget* parent, MessagePresenter present)
    : QDialog(parent), present_(std::move(present)) {
    setWindowTitle(QStringLiteral("Open from archive"));
    RecorderComboBox = new QComboBox(this);
    ChannelsLabel = new QLabel(this);
    ChannelsLabel->setWordWrap(true);
    FromEdit = new QLineEdit(this);
    ToEdit = new QLineEdit(this);
    for (QLineEdit* edit : {FromEdit, ToEdit})
        edit->setPlaceholderText(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    DatabaseLabel = new QLabel(this);
    DatabaseLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Recorder:"), RecorderComboBox);
    form->addRow(QString(), ChannelsLabel);
    form->addRow(QStringLiteral("From:"), FromEdit);
    form->addRow(QStringLiteral("To:"), ToEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DatabaseLabel);
    layout->addLayout(form);
    layout->addWidget(Buttons(this, OKBtn, CancelBtn));
    connect(OKBtn, &QPushButton::clicked, this, &TArchiveOpenDlg::OKBtnClick);
    connect(RecorderComboBox, &QComboBox::currentIndexChanged, this,
            &TArchiveOpenDlg::ShowRecorder);
    resize(480, sizeHint().height());
}

void TArchiveOpenDlg::SetRecorders(const std::string& location,
                                   std::vector<ArchivedRecorder> recorders) {
    recorders_ = std::move(recorders);
    selection_ = {location, {}, {}};
    DatabaseLabel->setText(ArchiveText(location));
    RecorderComboBox->blockSignals(true);
    RecorderComboBox->clear();
    for (const ArchivedRecorder& recorder : recorders_)
        RecorderComboBox->addItem(FromUtf8(recorder.name));
    RecorderComboBox->blockSignals(false);
    ShowRecorder(RecorderComboBox->currentIndex());
}

void TArchiveOpenDlg::ShowRecorder(int index) {
    if (index < 0 || static_cast<size_t>(index) >= recorders_.size()) {
        ChannelsLabel->clear();
        FromEdit->clear();
        ToEdit->clear();
        return;
    }
    const ArchivedRecorder& recorder = recorders_[static_cast<size_t>(index)];
    const ArchiveOpenEntries defaults = ArchiveOpenDefaults(recorder);
    FromEdit->setText(FromUtf8(defaults.from));
    ToEdit->setText(FromUtf8(defaults.to));
    QStringList channels;
    for (const ArchivedChannel& channel : recorder.channels)
        channels << QStringLiteral("CH%1 %2")
                        .arg(channel.number, 2, 10, QLatin1Char('0'))
                        .arg(FromUtf8(GbkToUtf8(channel.unit)));
    ChannelsLabel->setText(QStringLiteral("%1 file(s); ").arg(recorder.files) +
                           channels.join(QStringLiteral(", ")));
}

void TArchiveOpenDlg::OKBtnClick() {
    const ArchiveOpenEntries entries{ToUtf8(RecorderComboBox->currentText()),
                                     ToUtf8(FromEdit->text()), ToUtf8(ToEdit->text())};
    const ArchiveOpenCheck check = CheckArchiveOpenEntries(recorders_, entries);
    if (check.refusal) {
        present_(this, {Utf8ToGbk(*check.refusal), MessageIcon::Error});
        return;
    }
    selection_.recorder = entries.recorder;
    selection_.range = check.range;
    accept();
}

// Add to archive ----------------------------------------------------------------------------

TArchiveAddDlg::TArchiveAddDlg(QWidget* parent, MessagePresenter present)
    : QDialog(parent), present_(std::move(present)) {
    setWindowTitle(QStringLiteral("Add to archive"));
    FileList = new QListWidget(this);
    FileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    AddFilesBtn = new QPushButton(QStringLiteral("Files…"), this);
    AddFolderBtn = new QPushButton(QStringLiteral("Folder…"), this);
    RemoveBtn = new QPushButton(QStringLiteral("Remove"), this);
    RecorderComboBox = new QComboBox(this);
    RecorderComboBox->setEditable(true);
    RecorderComboBox->setInsertPolicy(QComboBox::NoInsert);
    DatabaseLabel = new QLabel(this);
    DatabaseLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* choose = new QVBoxLayout;
    choose->addWidget(AddFilesBtn);
    choose->addWidget(AddFolderBtn);
    choose->addWidget(RemoveBtn);
    choose->addStretch();
    auto* files = new QHBoxLayout;
    files->addWidget(FileList, 1);
    files->addLayout(choose);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Recorder:"), RecorderComboBox);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DatabaseLabel);
    layout->addWidget(new QLabel(QStringLiteral("Recorder files and folders to add:"), this));
    layout->addLayout(files);
    layout->addLayout(form);
    layout->addWidget(Buttons(this, OKBtn, CancelBtn));

    connect(OKBtn, &QPushButton::clicked, this, &TArchiveAddDlg::OKBtnClick);
    connect(AddFilesBtn, &QPushButton::clicked, this, [this] {
        AddPaths(QFileDialog::getOpenFileNames(
            this, QStringLiteral("Add to archive"), QString(),
            QStringLiteral("All recordings (*.bin *.dat *.csv);;Binary file (*.bin);;"
                           "Data file(*.dat);;Live record (*.csv)")));
    });
    connect(AddFolderBtn, &QPushButton::clicked, this, [this] {
        const QString folder =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Add folder to archive"));
        if (!folder.isEmpty())
            AddPaths({folder});
    });
    connect(RemoveBtn, &QPushButton::clicked, this,
            [this] { qDeleteAll(FileList->selectedItems()); });
    resize(560, 360);
}

void TArchiveAddDlg::Prepare(const std::string& location,
                             const std::vector<ArchivedRecorder>& recorders) {
    DatabaseLabel->setText(ArchiveText(location));
    const QString typed = RecorderComboBox->currentText();
    RecorderComboBox->clear();
    for (const ArchivedRecorder& recorder : recorders)
        RecorderComboBox->addItem(FromUtf8(recorder.name));
    // The name last used stays: the next add is usually for the same recorder.
    RecorderComboBox->setCurrentText(typed);
    FileList->clear();
    recorder_.clear();
}

void TArchiveAddDlg::AddPaths(const QStringList& paths) {
    for (const QString& path : paths)
        if (FileList->findItems(path, Qt::MatchExactly).isEmpty())
            FileList->addItem(path);
}

QStringList TArchiveAddDlg::Paths() const {
    QStringList paths;
    for (int i = 0; i < FileList->count(); ++i)
        paths << FileList->item(i)->text();
    return paths;
}

void TArchiveAddDlg::OKBtnClick() {
    if (FileList->count() == 0) {
        present_(this, {"Choose the files or folders to add.", MessageIcon::Error});
        return;
    }
    const std::string name = ToUtf8(RecorderComboBox->currentText().trimmed());
    if (const auto refusal = CheckRecorderName(name)) {
        present_(this, {Utf8ToGbk(*refusal), MessageIcon::Error});
        return;
    }
    recorder_ = name;
    accept();
}
