// Opening a recording of the file size limit (16 channels, 10,485,760 bytes) in the main
// window, under the offscreen platform:
//   - the reader and the view builder side by side (target: building at most 2 times reading),
//   - the whole open flow from the request to the first sheet page and the drawn chart
//     (target: under 0.6 s),
//   - a full repaint of the chart with its million points (target: under 30 ms),
//   - a page move of the data sheet with the texts of its visible rows,
//   - the peak memory of a process that opens the file (target: under 350 MB).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_views [benchmark options]

#include "app/DataSheetModel.h"
#include "data/RecorderFile.h"
#include "data/RecorderFileWriter.h"
#include "views/ViewBuilder.h"

#include <QApplication>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include "bench/BenchSupport.h"
#include "bench/BenchWindow.h"

#include <benchmark/benchmark.h>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>

namespace {

const std::string FilePath = std::string(RECORDER_GENERATED_DIR) + "/bench_views_largest.bin";
QTemporaryDir* SettingsDir = nullptr;

bool PrepareFile() {
    return WriteLargestSampleFile(FilePath);
}

struct Window : BenchWindow {
    Window() : BenchWindow(*SettingsDir) {}
};

// What the user sees first: the chart drawn and the visible rows of the sheet's first page.
void OpenAndShow(TMainForm* form) {
    form->OpenDataFile(QString::fromStdString(FilePath));
    form->Chart->replot(QCustomPlot::rpImmediateRefresh);
    const int visibleRows =
        form->DataListView->viewport()->height() / std::max(1, form->DataListView->rowHeight(0));
    for (int row = 0; row < visibleRows; ++row)
        benchmark::DoNotOptimize(form->DataListModel->ItemTexts(row));
}

void BM_ReadRecorderFile(benchmark::State& state) {
    for (auto _ : state) {
        RecordingInfo info;
        std::vector<ChannelInfo> channels;
        benchmark::DoNotOptimize(ReadRecorderFile(FilePath, info, channels));
    }
}
BENCHMARK(BM_ReadRecorderFile)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_BuildViews(benchmark::State& state) {
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    ReadRecorderFile(FilePath, info, channels);
    size_t rows = 0, points = 0;
    for (auto _ : state) {
        ViewBuild build = BuildViews(channels, info, 500);
        // The chart's own copy of the points is part of the build.
        for (const SeriesBuild& series : build.series)
            benchmark::DoNotOptimize(TrendChart::MakeSeriesData(series));
        rows = build.rows.RowCount();
        points = 0;
        for (const SeriesBuild& series : build.series)
            points += series.points.size();
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["points"] = static_cast<double>(points);
    state.counters["samples"] = info.sampleCount;
}
BENCHMARK(BM_BuildViews)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_OpenToFirstPageAndChart(benchmark::State& state) {
    Window window;
    for (auto _ : state)
        OpenAndShow(window.form);
}
BENCHMARK(BM_OpenToFirstPageAndChart)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

void BM_ChartFullRepaint(benchmark::State& state) {
    Window window;
    OpenAndShow(window.form);
    TrendChart* chart = window.form->Chart;
    size_t points = 0;
    for (int i = 0; i < chart->graphCount(); ++i)
        points += static_cast<size_t>(chart->graph(i)->dataCount());
    for (auto _ : state)
        chart->replot(QCustomPlot::rpImmediateRefresh);
    state.counters["points"] = static_cast<double>(points);
    state.counters["width"] = chart->width();
    state.counters["height"] = chart->height();
}
BENCHMARK(BM_ChartFullRepaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

void BM_NextPage(benchmark::State& state) {
    Window window;
    OpenAndShow(window.form);
    window.form->DataTableMenuItemClick();
    for (auto _ : state) {
        if (!window.form->NextPageButton->isEnabled())
            window.form->FirstPageButtonClick();
        else
            window.form->NextPageButtonClick();
        for (int row = 0; row < 40; ++row)
            benchmark::DoNotOptimize(window.form->DataListModel->ItemTexts(row));
    }
}
BENCHMARK(BM_NextPage)->Unit(benchmark::kMicrosecond)->Repetitions(3);

// Peak memory in KiB of this program run again, opening the file in the window.
long PeakOfOpeningProcess() {
    char self[PATH_MAX] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return -1;
    FILE* child = popen((std::string("'") + self + "' --measure-open").c_str(), "r");
    if (!child)
        return -1;
    long peak = -1;
    if (std::fscanf(child, "%ld", &peak) != 1)
        peak = -1;
    return pclose(child) == 0 ? peak : -1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir settingsDir;
    SettingsDir = &settingsDir;
    if (argc == 2 && std::strcmp(argv[1], "--measure-open") == 0) {
        Window window;
        OpenAndShow(window.form);
        std::printf("%ld\n", PeakOfSelf());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (!PrepareFile())
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& m = reporter.medians;
    if (m.count("BM_ReadRecorderFile") && m.count("BM_BuildViews")) {
        const auto reader = m.at("BM_ReadRecorderFile"), build = m.at("BM_BuildViews");
        std::printf("\nBuilding / reading, median CPU time: %.1f ms / %.1f ms = %.2f (target < 2); "
                    "wall clock %.1f ms / %.1f ms = %.2f\n",
                    build.cpu, reader.cpu, build.cpu / reader.cpu, build.real, reader.real,
                    build.real / reader.real);
    }
    if (m.count("BM_OpenToFirstPageAndChart"))
        std::printf("Open to first page and chart, median: %.1f ms (target < 600)\n",
                    m.at("BM_OpenToFirstPageAndChart").real);
    if (m.count("BM_ChartFullRepaint"))
        std::printf("Full chart repaint, median: %.1f ms (target < 30)\n",
                    m.at("BM_ChartFullRepaint").real);
    const long peak = PeakOfOpeningProcess();
    if (peak < 0) {
        std::fprintf(stderr, "Cannot measure the peak memory\n");
        return 1;
    }
    std::printf("Peak memory of a process that opens the file: %.1f MiB (target < 350 MB)\n",
                peak / 1024.0);
    return 0;
}
