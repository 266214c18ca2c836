// Saving and printing:
//   - saving a data sheet page of 10,000 rows of 16 channels as CSV (target: under 50 ms),
//   - the csv of a whole recording of the file size limit (about 337,000 rows) against writing
//     the same bytes (target: over 100 MB/s),
//   - with the program: the print preview of the list report of a 10,000-row page opened
//     (target: under 1.5 s) and its PDF written (target: under 3 s).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_export [benchmark options]

#include "data/RecorderFile.h"
#include "export/CsvExport.h"
#include "views/SheetCells.h"
#include "views/ViewBuilder.h"

#include "bench/BenchSupport.h"

#ifdef RECORDER_BENCH_REPORTS
#include "export/ReportPrinting.h"

#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#endif

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

const std::string Generated = RECORDER_GENERATED_DIR;
const std::string LargestPath = Generated + "/bench_export_largest.bin";
const std::string OutPath = Generated + "/bench_export_out.csv";

// The largest recording, read once, with the views a load builds (10,000 rows a page).
struct Loaded {
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    ViewBuild build;
    Loaded() {
        ResetRecordingInfo(info);
        if (!WriteLargestSampleFile(LargestPath) ||
            ReadRecorderFile(LargestPath, info, channels, {}))
            std::abort();
        build = BuildViews(channels, info, 10000);
    }
    SheetPage Page() const { return {channels, build.rows, build.columnChannels, 0, 10000}; }
};

Loaded& Data() {
    static Loaded loaded;
    return loaded;
}

void BM_SaveSheetPage10000Rows(benchmark::State& state) {
    const SheetPage page = Data().Page();
    for (auto _ : state)
        if (ExportSheetPageCsv(page, OutPath) != CsvExportResult::Written)
            state.SkipWithError("export failed");
}
BENCHMARK(BM_SaveSheetPage10000Rows)->Unit(benchmark::kMillisecond);

void BM_CsvWholeRecording(benchmark::State& state) {
    std::ostringstream bytes;
    WriteRecordingCsv(Data().channels, bytes);
    const size_t size = bytes.str().size();
    for (auto _ : state) {
        std::ofstream out(OutPath, std::ios::binary | std::ios::trunc);
        if (!WriteRecordingCsv(Data().channels, out))
            state.SkipWithError("csv failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_CsvWholeRecording)->Unit(benchmark::kMillisecond);

// The same bytes, only written: what the disk costs.
void BM_WriteSameBytes(benchmark::State& state) {
    std::ostringstream bytes;
    WriteRecordingCsv(Data().channels, bytes);
    const std::string text = bytes.str();
    for (auto _ : state) {
        std::ofstream out(OutPath, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_WriteSameBytes)->Unit(benchmark::kMillisecond);

#ifdef RECORDER_BENCH_REPORTS
ListReportContent PageReport() {
    const SheetPage page = Data().Page();
    ListReportContent content;
    content.columnCount = page.ColumnCount();
    content.headers << QStringLiteral("Serial number") << QStringLiteral("Time");
    for (const int16_t pos : page.columnChannels)
        content.headers << QString::fromStdString(
            ChannelColumnCaption(Data().channels[size_t(pos)]));
    content.printInfo = QString::fromStdString(ListPrintInfoText(NowLocal()));
    content.records = page.RowCount();
    content.value = [page](const QString& name, size_t recNo) -> std::optional<QString> {
        if (auto text = OnGetListValue(name.toStdString(), page, recNo))
            return QString::fromStdString(*text);
        return std::nullopt;
    };
    return content;
}

void BM_PreviewOf10000Rows(benchmark::State& state) {
    const ListReport report(PageReport());
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        const auto dialog = MakeReportPreview(nullptr, report, printer);
        dialog->findChild<QPrintPreviewWidget*>()->updatePreview();
        QApplication::processEvents();
    }
    state.counters["pages"] = report.PageCount();
}
BENCHMARK(BM_PreviewOf10000Rows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PdfOf10000Rows(benchmark::State& state) {
    const ListReport report(PageReport());
    const QString path = QString::fromStdString(Generated + "/bench_export_report.pdf");
    for (auto _ : state)
        if (WriteReportPdf(report, path))
            state.SkipWithError("PDF failed");
    state.counters["pages"] = report.PageCount();
}
BENCHMARK(BM_PdfOf10000Rows)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

} // namespace

int main(int argc, char** argv) {
#ifdef RECORDER_BENCH_REPORTS
    QApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Data();
    std::printf("%zu rows in the largest recording\n", Data().build.rows.RowCount());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto csv = reporter.medians.find("BM_CsvWholeRecording");
    const auto write = reporter.medians.find("BM_WriteSameBytes");
    if (csv != reporter.medians.end() && write != reporter.medians.end())
        std::printf("csv of the whole recording: %.2f times the time of writing its bytes\n",
                    csv->second.real / write->second.real);
    std::remove(OutPath.c_str());
    return 0;
}
