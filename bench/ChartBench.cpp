// Moving about in the trend chart of a recording of the file size limit (16 channels,
// 10,485,760 bytes, about 860,000 plotted points), under the offscreen platform:
//   - one read-out over the 16 series without any painting (target: under 50 us),
//   - a cursor move: read-out, legend and cursor repaint (target: under 16 ms),
//   - a zoom, an undo and a scroll step with the repaint each brings (target: under 16 ms).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_chart [benchmark options]

#include "chart/ChartReadout.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "bench/BenchSupport.h"
#include "bench/BenchWindow.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

const std::string FilePath = std::string(RECORDER_GENERATED_DIR) + "/bench_chart_largest.bin";
QTemporaryDir* SettingsDir = nullptr;

struct Window : BenchWindow {
    Window() : BenchWindow(*SettingsDir) {
        form->OpenDataFile(QString::fromStdString(FilePath));
        chart->replot(QCustomPlot::rpImmediateRefresh);
        chart->repaint();
    }
};

Window* Shared = nullptr;

void BM_ReadoutOnly(benchmark::State& state) {
    Window& w = *Shared;
    std::vector<ReadoutSeries<QCPGraphData>> series;
    for (const ChartSeriesInfo& info : w.form->Recording().SeriesInfos) {
        const QCPGraphDataContainer* data = info.series->data().data();
        series.push_back(
            {info.title, info.unitUtf8, &*data->constBegin(), static_cast<size_t>(data->size())});
    }
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ReadOut(w.CursorAt(i++), series, w.form->Recording().recordingInfo.valueMin - 10.0f));
    state.counters["series"] = static_cast<double>(series.size());
    state.counters["points"] = static_cast<double>(w.Points());
}
BENCHMARK(BM_ReadoutOnly)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// What a mouse move while dragging the cursor costs: the cursor placed, the read-out written
// into the legend, and the widget painted.
void BM_CursorMoveWithRepaint(benchmark::State& state) {
    Window& w = *Shared;
    size_t i = 0;
    for (auto _ : state) {
        w.form->Views().SetTimeCursor(w.CursorAt(i++));
        w.chart->repaint();
    }
}
BENCHMARK(BM_CursorMoveWithRepaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

// The whole recording and a window of about a tenth of it, as the user zooms in and undoes.
void BM_ZoomStep(benchmark::State& state) {
    Window& w = *Shared;
    const RecordingInfo& info = w.form->Recording().recordingInfo;
    const double span = info.endTime - info.startTime;
    size_t i = 0;
    for (auto _ : state) {
        const double from = info.startTime + span * 0.8 * double(i++ % 8) / 8.0;
        w.chart->xAxis->setRange(from, from + span * 0.1);
        w.form->ChartZoom();
        w.chart->replot(QCustomPlot::rpImmediateRefresh);
        w.chart->repaint();
        state.PauseTiming();
        w.chart->xAxis->setRange(info.startTime, info.endTime);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ZoomStep)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

void BM_UndoStep(benchmark::State& state) {
    Window& w = *Shared;
    const RecordingInfo& info = w.form->Recording().recordingInfo;
    const double span = info.endTime - info.startTime;
    for (auto _ : state) {
        state.PauseTiming();
        w.chart->xAxis->setRange(info.startTime + span * 0.4, info.startTime + span * 0.5);
        state.ResumeTiming();
        w.chart->xAxis->setRange(info.startTime, info.endTime);
        w.form->ChartUndoZoom();
        w.chart->replot(QCustomPlot::rpImmediateRefresh);
        w.chart->repaint();
    }
}
BENCHMARK(BM_UndoStep)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

// Panning a zoomed-in view by a few pixels per step.
void BM_ScrollStep(benchmark::State& state) {
    Window& w = *Shared;
    const RecordingInfo& info = w.form->Recording().recordingInfo;
    const double span = info.endTime - info.startTime;
    w.chart->xAxis->setRange(info.startTime, info.startTime + span * 0.1);
    size_t i = 0;
    for (auto _ : state) {
        const double from = info.startTime + span * 0.002 * double(i++ % 400);
        w.chart->xAxis->setRange(from, from + span * 0.1);
        w.form->OnChartScroll();
        w.chart->replot(QCustomPlot::rpImmediateRefresh);
        w.chart->repaint();
    }
    w.chart->xAxis->setRange(info.startTime, info.endTime);
}
BENCHMARK(BM_ScrollStep)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir settingsDir;
    SettingsDir = &settingsDir;
    benchmark::Initialize(&argc, argv);
    if (!WriteLargestSampleFile(FilePath))
        return 1;
    Window window;
    Shared = &window;
    std::printf("Plotted points: %zu in %d series\n", window.Points(), window.chart->graphCount());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& m = reporter.medians;
    auto line = [&](const char* name, const char* what, const char* unit, double scale,
                    const char* target) {
        if (m.count(name))
            std::printf("%s, median: %.2f %s (target %s)\n", what, m.at(name).real * scale, unit,
                        target);
    };
    std::printf("\n");
    line("BM_ReadoutOnly", "Read-out of 16 series", "us", 1, "< 50 us");
    line("BM_CursorMoveWithRepaint", "Cursor move with read-out and repaint", "ms", 1, "< 16 ms");
    line("BM_ZoomStep", "Zoom step with repaint", "ms", 1, "< 16 ms");
    line("BM_UndoStep", "Undo step with repaint", "ms", 1, "< 16 ms");
    line("BM_ScrollStep", "Scroll step with repaint", "ms", 1, "< 16 ms");
    return 0;
}
