// The work itself lives in export/; here it meets the window's state and dialogs.

#include "app/export/SaveAndPrint.h"

#include "app/DataSheetModel.h"
#include "app/WorkerProtocol.h"
#include "chart/TrendChart.h"
#include "data/Text.h"
#include "export/ChartPicture.h"
#include "export/CsvExport.h"
#include "export/ReportLayout.h"
#include "export/ReportPrinting.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

#include <algorithm>

namespace {

// The Save command's own boxes carry a trailing space in their caption.
const QString SaveCaption = QStringLiteral("Paperless recorder ");

// "CSV Files(*.csv)|*.csv|..." as Qt name filters: the descriptions, which name their patterns.
QStringList NameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList names;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        names << parts[i];
    return names;
}

// The extension a filter entry's first pattern names: "JPEG files(*.jpg)" gives "jpg".
QString FilterSuffix(const QString& nameFilter) {
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    return pattern.match(nameFilter).captured(1);
}

std::optional<SaveAndPrint::SaveDialogChoice>
ShowSaveDialog(QWidget* parent, const SaveAndPrint::SaveDialogSetting& s) {
    const auto dialog = SaveAndPrint::MakeSaveDialog(parent, s);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return SaveAndPrint::SaveDialogResult(*dialog, s);
}

bool ShowSaveBox(QWidget* parent, const UserMessage& message) {
    const QString text = QString::fromStdString(GbkToUtf8(message.text));
    switch (message.icon) {
    case MessageIcon::Question:
        return QMessageBox::question(parent, SaveCaption, text,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    case MessageIcon::Information:
        QMessageBox::information(parent, SaveCaption, text);
        return true;
    case MessageIcon::Stop:
    case MessageIcon::Error:
        break;
    }
    QMessageBox::critical(parent, SaveCaption, text);
    return true;
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Cell texts are ASCII but for unit names: only those need the GBK conversion.
QString FromGbk(const std::string& text) {
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; }))
        return QString::fromLatin1(text.data(), qsizetype(text.size()));
    return QString::fromStdString(GbkToUtf8(text));
}

} // namespace

SaveAndPrint::SaveAndPrint(QWidget* window, TrendChart* chart, const DataSheetModel* sheet,
                           const ShownRecording& shown, WorkerProtocol& worker,
                           MessagePresenter present)
    : window_(window), chart_(chart), sheet_(sheet), shown_(shown), worker_(worker),
      present_(std::move(present)), saveDialog_(ShowSaveDialog), saveBox_(ShowSaveBox),
      showReport_(ShowReportPreview) {}

std::unique_ptr<QFileDialog> SaveAndPrint::MakeSaveDialog(QWidget* parent,
                                                          const SaveDialogSetting& s) {
    auto dialog = std::make_unique<QFileDialog>(parent, s.title);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite); // the command asks itself
    const QStringList filters = NameFilters(s.filter);
    dialog->setNameFilters(filters);
    // The default extension names the first entry's type; a name typed without extension gets
    // that of the type chosen, so that the type the user picked is the one written ("chart"
    // under JPEG becomes chart.jpg).
    const QString ext = s.defaultExt;
    dialog->setDefaultSuffix(ext.startsWith(QLatin1Char('.')) ? ext.mid(1) : ext);
    QFileDialog* d = dialog.get();
    QObject::connect(d, &QFileDialog::filterSelected, d, [d](const QString& filter) {
        if (const QString suffix = FilterSuffix(filter); !suffix.isEmpty())
            d->setDefaultSuffix(suffix);
    });
    if (!s.fileName.isEmpty())
        dialog->selectFile(s.fileName);
    return dialog;
}

std::optional<SaveAndPrint::SaveDialogChoice>
SaveAndPrint::SaveDialogResult(const QFileDialog& dialog, const SaveDialogSetting& s) {
    if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return SaveDialogChoice{
        dialog.selectedFiles().front(),
        std::max(0, int(NameFilters(s.filter).indexOf(dialog.selectedNameFilter())))};
}

void SaveAndPrint::SetSaveDialogHook(SaveDialogHook hook) {
    saveDialog_ = std::move(hook);
}
void SaveAndPrint::SetSaveBoxHook(SaveBoxHook hook) {
    saveBox_ = std::move(hook);
}
void SaveAndPrint::SetReportHook(ReportHook hook) {
    showReport_ = std::move(hook);
}

void SaveAndPrint::Save(ShownPage page) {
    if (page == ShownPage::DataSheet)
        SaveSheetPage();
    else if (page == ShownPage::TrendDiagram)
        SaveChartPicture();
}

std::optional<SaveAndPrint::SaveDialogChoice> SaveAndPrint::AskSaveTarget() {
    auto choice = saveDialog_(window_, SaveDialog);
    if (!choice)
        return std::nullopt;
    SaveDialog.fileName = choice->fileName; // the dialog keeps it for its next use
    if (QFileInfo::exists(choice->fileName) &&
        !saveBox_(window_, {"Specify file already exists, cover?", MessageIcon::Question}))
        return std::nullopt;
    return choice;
}

void SaveAndPrint::SaveSheetPage() {
    if (shown_.Page.itemCount == 0 || shown_.Rows.Empty()) {
        saveBox_(window_, {"No content", MessageIcon::Information});
        return;
    }
    SaveDialog.defaultExt = QStringLiteral(".csv");
    SaveDialog.filter = QStringLiteral("CSV Files(*.csv)|*.csv");
    SaveDialog.title = QStringLiteral("Save to Excel...");
    const auto choice = AskSaveTarget();
    if (!choice)
        return;
    csvExportPath_ = choice->fileName;
    worker_.Run(QStringLiteral("Data exporting，just a moment,please..."),
                [this] { CsvExportThreadProc(); });
}

void SaveAndPrint::CsvExportThreadProc() {
    const SheetPage page{shown_.channels, shown_.Rows, shown_.ColumnChannels, shown_.Page.pageStart,
                         shown_.Page.itemCount};
    const CsvExportResult result = ExportSheetPageCsv(
        page, QFile::encodeName(csvExportPath_).toStdString(), worker_.Progress());
    if (result == CsvExportResult::OpenFailed || result == CsvExportResult::WriteFailed)
        worker_.ShowMessage({FileSaveFailedText, MessageIcon::Stop});
}

QImage SaveAndPrint::ChartPicture(QSize size) {
    return ::ChartPicture(*chart_, size);
}

void SaveAndPrint::SaveChartPicture() {
    if (chart_->SeriesCount() == 0) {
        saveBox_(window_, {"No content", MessageIcon::Information});
        return;
    }
    SaveDialog.defaultExt = QStringLiteral(".bmp");
    SaveDialog.fileName = QStringLiteral("chart");
    SaveDialog.filter = QStringLiteral("Bitmap files(*.bmp)|*.bmp|JPEG files(*.jpg)|*.jpg");
    const auto choice = AskSaveTarget();
    if (!choice)
        return;
    // A name ending in a picture extension decides; otherwise the filter entry does.
    const PictureFormat format =
        PictureFormatOf(choice->fileName)
            .value_or(choice->filterIndex == 1 ? PictureFormat::Jpeg : PictureFormat::Bmp);
    if (const auto error = WritePicture(ChartPicture(), choice->fileName, format))
        saveBox_(window_, {Utf8ToGbk(error->toStdString()), MessageIcon::Error});
}

std::unique_ptr<PrintedReport> SaveAndPrint::MakeListReport() {
    if (shown_.Page.itemCount == 0 || shown_.Rows.Empty())
        return nullptr;
    ListReportContent content;
    content.columnCount = sheet_->columnCount();
    for (int c = 0; c < content.columnCount; ++c)
        content.headers << sheet_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    if (!content.headers.isEmpty())
        content.headers[0] = QStringLiteral("Serial number");
    if (content.headers.size() > 1)
        content.headers[1] = QStringLiteral("Time");
    content.printInfo = FromUtf8(ListPrintInfoText(NowLocal()));
    SheetPage page{shown_.channels, shown_.Rows, shown_.ColumnChannels, shown_.Page.pageStart,
                   shown_.Page.itemCount};
    page.ReadRows(); // the report asks for each cell on its own
    content.records = page.RowCount();
    // The report is shown before this returns to the event loop: the page stays as it is.
    content.value = [page](const QString& name, size_t recNo) -> std::optional<QString> {
        if (auto text = OnGetListValue(name.toStdString(), page, recNo))
            return FromGbk(*text);
        return std::nullopt;
    };
    return std::make_unique<ListReport>(std::move(content));
}

std::unique_ptr<PrintedReport> SaveAndPrint::MakeChartReport() {
    if (chart_->SeriesCount() == 0)
        return nullptr;
    ChartReportContent content;
    content.picture = PaperChartPicture(*chart_); // inverted, its axis texts readable on white
    content.title = QString::fromUtf8(ChartTitleText);
    content.printTime = FromUtf8(ChartPrintTimeText(NowLocal()));
    const QCPRange range = chart_->xAxis->range();
    content.printRegion = FromUtf8(ChartPrintRangeText(range.lower, range.upper));
    return std::make_unique<ChartReport>(std::move(content));
}

void SaveAndPrint::Print(ShownPage page) {
    std::unique_ptr<PrintedReport> report;
    if (page == ShownPage::DataSheet)
        report = MakeListReport();
    else if (page == ShownPage::TrendDiagram)
        report = MakeChartReport();
    else
        return;
    if (!report) {
        present_(window_, {"Not content", MessageIcon::Information});
        return;
    }
    showReport_(window_, *report);
}
