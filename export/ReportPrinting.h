#pragma once
// The two printed reports drawn with Qt PrintSupport: the list report of a data sheet page
// and the chart report. A report paints every page onto a printer; the preview shows it at
// 100 % with printing, page set-up and an "Export PDF" button, and a PDF is written without
// any window for scripts.

#include "export/ReportLayout.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QPainter;
class QPrintPreviewDialog;
class QPrinter;
class QWidget;

class PrintedReport {
public:
    virtual ~PrintedReport() = default;
    virtual PageOrientation Orientation() const = 0;
    virtual int PageCount() const = 0;
    // Paints every page; the printer is set up by Prepare.
    virtual void Paint(QPrinter& printer) const = 0;
    // A4, no printer margins (the report keeps its own), the report's orientation.
    void Prepare(QPrinter& printer) const;
};

// The list report: the rows of a data sheet page as a ruled table.
struct ListReportContent {
    int columnCount = 2; // M: serial number, time, channel columns
    QStringList headers; // captions of the data sheet's columns, "Serial number" first
    QString printInfo;   // "Print time：...               lister："
    size_t records = 0;  // N
    // The report variables of record recNo: OnGetListValue.
    std::function<std::optional<QString>(const QString& name, size_t recNo)> value;
};

class ListReport : public PrintedReport {
public:
    explicit ListReport(ListReportContent content);
    PageOrientation Orientation() const override;
    int PageCount() const override;
    void Paint(QPrinter& printer) const override;

private:
    void PaintPage(QPainter& painter, double dotsPerMm, int page) const;
    ListReportContent content_;
    ListPageGeometry geometry_;
};

// The chart report: title, print time and range above the chart's picture.
struct ChartReportContent {
    QImage picture; // already inverted for paper
    QString title;
    QString printTime;
    QString printRegion;
};

class ChartReport : public PrintedReport {
public:
    explicit ChartReport(ChartReportContent content);
    PageOrientation Orientation() const override { return PageOrientation::Landscape; }
    int PageCount() const override { return 1; }
    void Paint(QPrinter& printer) const override;

private:
    ChartReportContent content_;
};

// The print preview of the report at 100 % on printer (set up for it here), not yet shown.
// Its tool bar has an "Export PDF" button. report and printer must outlive it.
std::unique_ptr<QPrintPreviewDialog> MakeReportPreview(QWidget* parent, const PrintedReport& report,
                                                       QPrinter& printer);
// The modal print preview on the default printer.
void ShowReportPreview(QWidget* parent, const PrintedReport& report);
// Writes the report as a PDF file; on failure the text to show (UTF-8), naming the path.
std::optional<QString> WriteReportPdf(const PrintedReport& report, const QString& path);
