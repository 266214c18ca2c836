// Comparing and measuring, under the offscreen platform:
//   - statistics of one week between the cursors: 604,800 samples in each of 16 channels
//     (target: under 20 ms),
//   - the read-out work of a cursor move while the measuring cursor B is shown, over 16 series
//     of the largest file's plotted points (target: under 1 ms),
//   - a full repaint of the chart of the largest file (about 863,000 points) with each channel
//     on its own scale and on the shared axis (target: own scales within 10 % of shared).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_measure [benchmark options]

#include "chart/ChartReadout.h"
#include "views/IntervalStatistics.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "bench/BenchSupport.h"
#include "bench/BenchWindow.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>

namespace {

const std::string FilePath = std::string(RECORDER_GENERATED_DIR) + "/bench_measure_largest.bin";
constexpr size_t WeekSamples = 604800;
const DateTime WeekStart = 42079; // 2015-03-16 00:00:00

// A week of one-second samples per channel, a gap sample now and then.
const std::vector<ChannelInfo>& Week() {
    static const std::vector<ChannelInfo> week = [] {
        std::vector<ChannelInfo> channels(16);
        for (size_t c = 0; c < channels.size(); ++c) {
            ChannelInfo& channel = channels[c];
            channel.channel = static_cast<int16_t>(c + 1);
            channel.times.resize(WeekSamples);
            channel.values.resize(WeekSamples);
            for (size_t i = 0; i < WeekSamples; ++i) {
                channel.times[i] = WeekStart + static_cast<double>(i) * OneSecond;
                channel.values[i] = i % 5000 == 4999
                                        ? GapValue
                                        : static_cast<float>(50 + 40 * std::sin(i * 1e-4 + c));
            }
        }
        return channels;
    }();
    return week;
}

void BM_WeekStatistics(benchmark::State& state) {
    const std::vector<ChannelInfo>& week = Week();
    const DateTime end = WeekStart + (WeekSamples - 1) * OneSecond;
    for (auto _ : state)
        for (const ChannelInfo& channel : week)
            benchmark::DoNotOptimize(StatisticsOf(channel, end, WeekStart, true));
    state.counters["samples"] = static_cast<double>(WeekSamples * week.size());
}
BENCHMARK(BM_WeekStatistics)->Unit(benchmark::kMillisecond)->Repetitions(5);

QTemporaryDir* SettingsDir = nullptr;

struct Window : BenchWindow {
    Window() : BenchWindow(*SettingsDir) {
        form->SetConfigFilePath(SettingsDir->filePath("config.ini").toStdString());
        form->OpenDataFile(QString::fromStdString(FilePath));
        chart->replot(QCustomPlot::rpImmediateRefresh);
    }
};

Window* Shared = nullptr;

// What the window computes for the legend when A or B moves: both values of every series.
void BM_PairReadout(benchmark::State& state) {
    Window& w = *Shared;
    std::vector<ReadoutSeries<QCPGraphData>> series;
    for (const ChartSeriesInfo& info : w.form->Recording().SeriesInfos) {
        const QCPGraphDataContainer* data = info.series->data().data();
        series.push_back(
            {info.title, info.unitUtf8, &*data->constBegin(), static_cast<size_t>(data->size())});
    }
    const DateTime a = w.CursorAt(100);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadOutPair(a, w.CursorAt(i++), series,
                                             w.form->Recording().recordingInfo.valueMin - 10.0f));
    state.counters["points"] = static_cast<double>(w.Points());
}
BENCHMARK(BM_PairReadout)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void Repaint(benchmark::State& state, bool ownScales) {
    Window& w = *Shared;
    w.form->Measure().ShowOwnScales(ownScales);
    for (auto _ : state) {
        w.chart->replot(QCustomPlot::rpImmediateRefresh);
        w.chart->repaint();
    }
    w.form->Measure().ShowOwnScales(false);
}
void BM_RepaintShared(benchmark::State& state) {
    Repaint(state, false);
}
void BM_RepaintOwnScales(benchmark::State& state) {
    Repaint(state, true);
}
// Own scales that map every channel onto the shared axis as it is: the same pixels as shared,
// so what this costs beyond BM_RepaintShared is the mechanism, not the taller lines.
void BM_RepaintOwnScalesSameLines(benchmark::State& state) {
    Window& w = *Shared;
    const QCPRange span = w.chart->yAxis->range();
    for (const ChartSeriesInfo& info : w.form->Recording().SeriesInfos)
        w.chart->SetSeriesScale(info.series, ZoomWindow{span.lower, span.upper}, "");
    Repaint(state, true);
    for (const ChartSeriesInfo& info : w.form->Recording().SeriesInfos) {
        const ChannelInfo& channel =
            w.form->Recording().channels[static_cast<size_t>(info.channelPos)];
        w.chart->SetSeriesScale(info.series, UsableScale(channel.rangeLow, channel.rangeHigh), "");
    }
}
BENCHMARK(BM_RepaintOwnScalesSameLines)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->UseRealTime();
BENCHMARK(BM_RepaintShared)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();
BENCHMARK(BM_RepaintOwnScales)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

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
    std::printf("\n");
    if (m.count("BM_WeekStatistics"))
        std::printf("Statistics of a week, 16 channels, median: %.2f ms (target < 20 ms)\n",
                    m.at("BM_WeekStatistics").real);
    if (m.count("BM_PairReadout"))
        std::printf("Read-out of both cursors, median: %.1f us (target < 1000 us)\n",
                    m.at("BM_PairReadout").real);
    if (m.count("BM_RepaintShared") && m.count("BM_RepaintOwnScalesSameLines"))
        std::printf("Repaint own scales drawing the shared lines / shared: %.3f (CPU %.3f)\n",
                    m.at("BM_RepaintOwnScalesSameLines").real / m.at("BM_RepaintShared").real,
                    m.at("BM_RepaintOwnScalesSameLines").cpu / m.at("BM_RepaintShared").cpu);
    if (m.count("BM_RepaintShared") && m.count("BM_RepaintOwnScales"))
        std::printf("Repaint own scales / shared: %.2f / %.2f ms = %.3f (target <= 1.10)\n",
                    m.at("BM_RepaintOwnScales").real, m.at("BM_RepaintShared").real,
                    m.at("BM_RepaintOwnScales").real / m.at("BM_RepaintShared").real);
    return 0;
}
