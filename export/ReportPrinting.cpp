#include "export/ReportPrinting.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

constexpr double MmPerInch = 25.4;
// Report fonts are given in pixels of a 96-dpi screen.
constexpr double DesignDpi = 96;
constexpr int SmallFontPixels = 11;
constexpr int LargeFontPixels = 13;
// Text starts this far inside its frame.
constexpr double TextInsetMm = 0.8;

QFont ReportFont(int designPixels, double deviceDpi, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(designPixels * deviceDpi / DesignDpi))));
    font.setBold(bold);
    return font;
}

// Millimetres to device pixels.
struct Mm {
    double dotsPerMm;
    double operator()(double mm) const { return mm * dotsPerMm; }
    QRectF Rect(double left, double top, double width, double height) const {
        return {left * dotsPerMm, top * dotsPerMm, width * dotsPerMm, height * dotsPerMm};
    }
};

QPen FramePen(double dotsPerMm) {
    QPen pen(Qt::black);
    pen.setWidthF(std::max(1.0, 0.1 * dotsPerMm)); // a hairline of about a tenth of a millimetre
    return pen;
}

// Left-aligned, vertically centred text in a cell, clipped to it. The baseline comes from
// the font's metrics, computed once per font: thousands of cells are drawn per report.
struct CellText {
    CellText(const QFont& font, QPainter& painter) : font_(font) {
        painter.setFont(font);
        const QFontMetricsF metrics(font, painter.device());
        ascent_ = metrics.ascent();
        height_ = metrics.ascent() + metrics.descent();
        for (const char c : std::string_view("0123456789.-: "))
            numberAdvance_ = std::max(numberAdvance_, metrics.horizontalAdvance(QLatin1Char(c)));
    }
    // Numbers and times are measured by their length alone; only a text that may not fit is
    // clipped, since every clip costs the preview and the PDF a saved painter state.
    void Draw(QPainter& painter, const QRectF& cell, double inset, const QString& text) const {
        if (text.isEmpty())
            return;
        const double baseline = cell.top() + (cell.height() - height_) / 2 + ascent_;
        const QPointF origin(cell.left() + inset, baseline);
        const double room = cell.width() - 2 * inset;
        const bool numeric = std::all_of(text.begin(), text.end(), [](QChar c) {
            return c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-') ||
                   c == QLatin1Char(':') || c == QLatin1Char(' ');
        });
        const bool fits =
            numeric ? text.size() * numberAdvance_ <= room
                    : QFontMetricsF(font_, painter.device()).horizontalAdvance(text) <= room;
        if (fits) {
            painter.drawText(origin, text);
            return;
        }
        painter.save();
        painter.setClipRect(cell);
        painter.drawText(origin, text);
        painter.restore();
    }
    // A caption wider than its cell goes onto two lines, broken before "(" or after a space
    // ("Channel 12" over "(℃)", "Serial" over "number"), each line centred in half the cell.
    void DrawCaption(QPainter& painter, const QRectF& cell, double inset,
                     const QString& text) const {
        const QFontMetricsF metrics(font_, painter.device());
        const double room = cell.width() - 2 * inset;
        qsizetype cut = -1;
        if (metrics.horizontalAdvance(text) > room) {
            for (qsizetype i = text.size() - 1; i > 0 && cut < 0; --i)
                if ((text[i] == QLatin1Char('(') || text[i - 1] == QLatin1Char(' ')) &&
                    metrics.horizontalAdvance(text.left(i).trimmed()) <= room)
                    cut = i;
        }
        if (cut < 0) {
            Draw(painter, cell, inset, text);
            return;
        }
        const double half = cell.height() / 2;
        Draw(painter, QRectF(cell.left(), cell.top(), cell.width(), half), inset,
             text.left(cut).trimmed());
        Draw(painter, QRectF(cell.left(), cell.top() + half, cell.width(), half), inset,
             text.mid(cut).trimmed());
    }
    QFont font_;
    double ascent_ = 0;
    double height_ = 0;
    double numberAdvance_ = 0;
};

} // namespace

void PrintedReport::Prepare(QPrinter& printer) const {
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                      Orientation() == PageOrientation::Landscape
                                          ? QPageLayout::Landscape
                                          : QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0)));
}

ListReport::ListReport(ListReportContent content)
    : content_(std::move(content)), geometry_(ListGeometry(ListOrientation(content_.columnCount))) {
}

PageOrientation ListReport::Orientation() const {
    return ListOrientation(content_.columnCount);
}

int ListReport::PageCount() const {
    return static_cast<int>(ListPageCount(content_.records, geometry_));
}

void ListReport::Paint(QPrinter& printer) const {
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const double dotsPerMm = printer.resolution() / MmPerInch;
    const int pages = PageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            printer.newPage();
        PaintPage(painter, dotsPerMm, page);
    }
    painter.end();
}

void ListReport::PaintPage(QPainter& painter, double dotsPerMm, int page) const {
    const Mm mm{dotsPerMm};
    const double dpi = dotsPerMm * MmPerInch;
    const double left = ListMargin;
    double top = ListMargin;
    painter.setPen(Qt::black);

    if (page == 0) {
        // Title band: the centred bold title, then the print information.
        painter.setFont(ReportFont(LargeFontPixels, dpi, true));
        const double titleWidth = 190;
        const double bandWidth = geometry_.width - 2 * ListMargin;
        painter.drawText(mm.Rect(left + (bandWidth - titleWidth) / 2,
                                 top + (ListTitleHeight - 7) / 2, titleWidth, 7),
                         Qt::AlignCenter, QString::fromUtf8(ListTitleText));
        painter.setFont(ReportFont(SmallFontPixels, dpi));
        painter.drawText(mm.Rect(left, top + 10.65, 190, 8), Qt::AlignLeft | Qt::AlignVCenter,
                         content_.printInfo);
        top += ListTitleHeight;
    }

    // The table's columns: serial number, time and the shown value cells.
    std::vector<std::pair<double, double>> columns{{0, ListNumberWidth},
                                                   {ListNumberWidth, ListTimeWidth}};
    for (int i = 1; i <= ListValueCells; ++i)
        if (ListValueCellShown(i, content_.columnCount))
            columns.emplace_back(ListValueLeft(i), ListValueWidth);
    const RecordRange range =
        ListPageRecords(static_cast<size_t>(page), content_.records, geometry_);

    const CellText cell(ReportFont(SmallFontPixels, dpi), painter);
    painter.setPen(FramePen(dotsPerMm));
    const double inset = mm(TextInsetMm);
    // Every cell is framed on all four sides: drawn as the lines of one grid per page.
    {
        const double tableTop = top;
        const double tableBottom = top + ListBandHeight * double(range.count + 1);
        const double tableRight = left + columns.back().first + columns.back().second;
        for (size_t r = 0; r <= range.count + 1; ++r) {
            const double y = mm(tableTop + ListBandHeight * double(r));
            painter.drawLine(QPointF(mm(left), y), QPointF(mm(tableRight), y));
        }
        for (const auto& column : columns)
            painter.drawLine(QPointF(mm(left + column.first), mm(tableTop)),
                             QPointF(mm(left + column.first), mm(tableBottom)));
        painter.drawLine(QPointF(mm(tableRight), mm(tableTop)),
                         QPointF(mm(tableRight), mm(tableBottom)));
    }
    painter.setPen(Qt::black);
    auto drawRow = [&](double rowTop, bool captions, auto&& text) {
        for (size_t c = 0; c < columns.size(); ++c) {
            const QRectF box =
                mm.Rect(left + columns[c].first, rowTop, columns[c].second, ListBandHeight);
            if (captions)
                cell.DrawCaption(painter, box, inset, text(c));
            else
                cell.Draw(painter, box, inset, text(c));
        }
    };
    // Page header: "Serial number", "Time", the channel columns' captions.
    drawRow(top, true, [&](size_t c) {
        return c < static_cast<size_t>(content_.headers.size()) ? content_.headers[qsizetype(c)]
                                                                : QString();
    });
    top += ListBandHeight;

    static const QString NumberName = QStringLiteral("number");
    static const QString TimeName = QStringLiteral("dateTime");
    std::vector<QString> valueNames;
    for (int i = 1; i <= ListValueCells; ++i)
        valueNames.push_back(QStringLiteral("value%1").arg(i));
    for (size_t r = 0; r < range.count; ++r) {
        const size_t recNo = range.first + r;
        drawRow(top, false, [&](size_t c) {
            const QString& name = c == 0 ? NumberName : c == 1 ? TimeName : valueNames[c - 2];
            return content_.value ? content_.value(name, recNo).value_or(QString()) : QString();
        });
        top += ListBandHeight;
    }

    // Page footer at the bottom of every page.
    painter.drawText(
        mm.Rect(left, geometry_.height - ListMargin - ListBandHeight,
                geometry_.width - 2 * ListMargin, ListBandHeight),
        Qt::AlignCenter,
        QString::fromStdString(PageOfPagesText(size_t(page) + 1, size_t(PageCount()))));
}

ChartReport::ChartReport(ChartReportContent content) : content_(std::move(content)) {}

void ChartReport::Paint(QPrinter& printer) const {
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const double dotsPerMm = printer.resolution() / MmPerInch;
    const double dpi = printer.resolution();
    const Mm mm{dotsPerMm};
    const double left = (A4Long - ChartObjectWidth) / 2;
    const QFont font = ReportFont(LargeFontPixels, dpi);
    painter.setFont(font);
    const double inset = mm(TextInsetMm);

    auto framed = [&](const ReportBox& box, const QString& text, bool centred) {
        const QRectF rect = mm.Rect(left, ChartPaperTop(box), ChartObjectWidth, box.height);
        painter.setPen(FramePen(dotsPerMm));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect);
        painter.setPen(Qt::black);
        if (centred)
            painter.drawText(rect, Qt::AlignCenter, text);
        else
            painter.drawText(rect.adjusted(inset, 0, -inset, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             text);
    };
    framed(ChartTitleBox, content_.title, true);
    framed(ChartTimeBox, content_.printTime, false);
    framed(ChartRegionBox, content_.printRegion, false);

    const QRectF frame =
        mm.Rect(left, ChartPaperTop(ChartPictureBox), ChartObjectWidth, ChartPictureBox.height);
    painter.fillRect(frame, Qt::white);
    const FitRect fit = FitKeepingAspect(frame.width(), frame.height(), content_.picture.width(),
                                         content_.picture.height());
    if (fit.width > 0) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(
            QRectF(frame.left() + fit.left, frame.top() + fit.top, fit.width, fit.height),
            content_.picture);
    }
    painter.end();
}

std::unique_ptr<QPrintPreviewDialog> MakeReportPreview(QWidget* parent, const PrintedReport& report,
                                                       QPrinter& printer) {
    report.Prepare(printer);
    auto dialog = std::make_unique<QPrintPreviewDialog>(&printer, parent);
    QPrintPreviewDialog* d = dialog.get();
    d->setWindowTitle(QStringLiteral("Print preview"));
    QObject::connect(d, &QPrintPreviewDialog::paintRequested, d,
                     [&report](QPrinter* target) { report.Paint(*target); });
    if (auto* preview = d->findChild<QPrintPreviewWidget*>()) {
        preview->setZoomMode(QPrintPreviewWidget::CustomZoom);
        preview->setZoomFactor(1.0);
        // The dialog opens fitted: its fit buttons would still show as pressed.
        for (QAction* action : d->findChildren<QAction*>()) {
            if (!action->isCheckable() || !action->text().startsWith(QLatin1String("Fit")))
                continue;
            if (QActionGroup* group = action->actionGroup())
                group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
            action->setChecked(false);
        }
    }
    // Beyond printing: the report as a PDF file in one step.
    if (auto* bar = d->findChild<QToolBar*>()) {
        bar->addSeparator();
        QAction* pdf = bar->addAction(QStringLiteral("Export PDF"));
        pdf->setToolTip(QStringLiteral("Export PDF"));
        QObject::connect(pdf, &QAction::triggered, d, [d, &report] {
            QFileDialog files(d, QStringLiteral("Export PDF"), QString(),
                              QStringLiteral("PDF files(*.pdf)"));
            files.setAcceptMode(QFileDialog::AcceptSave);
            files.setDefaultSuffix(QStringLiteral("pdf")); // "list" is written as list.pdf
            files.selectFile(QStringLiteral("report.pdf"));
            if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
                return;
            const QString path = files.selectedFiles().front();
            if (const auto error = WriteReportPdf(report, path))
                QMessageBox::critical(d, QStringLiteral("Paperless recorder"), *error);
        });
    }
    return dialog;
}

void ShowReportPreview(QWidget* parent, const PrintedReport& report) {
    QPrinter printer(QPrinter::HighResolution);
    const auto dialog = MakeReportPreview(parent, report, printer);
    dialog->exec();
}

std::optional<QString> WriteReportPdf(const PrintedReport& report, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCreator(QStringLiteral("Paperless recorder"));
    report.Prepare(printer);
    report.Paint(printer);
    // QPrinter reports no write failure: check that a complete file arrived.
    QFile written(path);
    if (!written.open(QIODevice::ReadOnly) || written.size() < 5 ||
        !written.seek(std::max<qint64>(0, written.size() - 64)) ||
        !written.readAll().trimmed().endsWith("%%EOF"))
        return QStringLiteral("The PDF file could not be written: %1").arg(path);
    return std::nullopt;
}
