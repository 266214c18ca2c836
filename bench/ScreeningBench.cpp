// Screening and the sheet-chart links on a recording of the file size limit (16 channels,
// 10,485,760 bytes, about three and a half days), under the offscreen platform:
//   - the full build and a screening to one day and 4 channels side by side
//     (target: screening under half the full build),
//   - a sheet row to the chart's time cursor and the cursor to the sheet's page
//     (target: each under 16 ms).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_screening [benchmark options]

#include "app/DataSheetModel.h"
#include "data/RecorderFile.h"
#include "views/ViewBuilder.h"

#include <QApplication>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include "bench/BenchSupport.h"
#include "bench/BenchWindow.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

const std::string FilePath = std::string(RECORDER_GENERATED_DIR) + "/bench_screening_largest.bin";
QTemporaryDir* SettingsDir = nullptr;

struct Recording {
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    Recording() { ReadRecorderFile(FilePath, info, channels); }
};

// The recording's second day and channels 1, 5, 9 and 13.
ScreeningSelection OneDayFourChannels(const RecordingInfo& info) {
    ScreeningSelection selection{info.startTime + 1, info.startTime + 2, {}};
    for (size_t k : {0, 4, 8, 12})
        selection.channelFlags[k] = true;
    return selection;
}

// The build as the screening worker runs it, the chart's copy of the points included.
void Build(const Recording& r, const ScreeningSelection* selection, benchmark::State& state) {
    size_t rows = 0;
    for (auto _ : state) {
        ViewBuild build = selection ? BuildScreenedViews(r.channels, r.info, *selection, 500)
                                    : BuildViews(r.channels, r.info, 500);
        for (const SeriesBuild& series : build.series)
            benchmark::DoNotOptimize(TrendChart::MakeSeriesData(series));
        rows = build.rows.RowCount();
    }
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_FullBuild(benchmark::State& state) {
    const Recording r;
    Build(r, nullptr, state);
}
BENCHMARK(BM_FullBuild)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_ScreenOneDayFourChannels(benchmark::State& state) {
    const Recording r;
    const ScreeningSelection selection = OneDayFourChannels(r.info);
    Build(r, &selection, state);
}
BENCHMARK(BM_ScreenOneDayFourChannels)->Unit(benchmark::kMillisecond)->Repetitions(5);

struct Window : BenchWindow {
    Window() : BenchWindow(*SettingsDir) { form->OpenDataFile(QString::fromStdString(FilePath)); }
};

// A row of a page far into the recording, double-clicked: cursor set, chart scrolled to it
// and shown.
void BM_RowToCursor(benchmark::State& state) {
    Window w;
    w.form->DataTableMenuItemClick();
    w.form->EndPageButtonClick();
    w.form->Chart->xAxis->setRange(w.form->Recording().Rows.Time(0),
                                   w.form->Recording().Rows.Time(100));
    int item = 0;
    for (auto _ : state) {
        w.form->DataTableMenuItemClick();
        w.form->Views().DataListViewDblClick(w.form->DataListModel->index(item, 1));
        item = (item + 37) % static_cast<int>(w.form->DataListModel->ItemCount());
    }
}
BENCHMARK(BM_RowToCursor)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

// "Show in data sheet" from the chart for cursors spread over the recording.
void BM_CursorToPage(benchmark::State& state) {
    Window w;
    const size_t rows = w.form->Recording().Rows.RowCount();
    size_t row = 0;
    for (auto _ : state) {
        w.form->ChartMenuItemClick();
        w.form->Views().SetTimeCursor(w.form->Recording().Rows.Time(row) + 0.2 * OneSecond);
        w.form->ShowInSheetMenuItem->trigger();
        row = (row + rows / 7 + 1) % rows;
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_CursorToPage)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir settingsDir;
    SettingsDir = &settingsDir;
    benchmark::Initialize(&argc, argv);
    if (!WriteLargestSampleFile(FilePath))
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& m = reporter.medians;
    if (m.count("BM_FullBuild") && m.count("BM_ScreenOneDayFourChannels")) {
        const auto full = m.at("BM_FullBuild"), screened = m.at("BM_ScreenOneDayFourChannels");
        std::printf("\nScreened / full build, median CPU time: %.1f ms / %.1f ms = %.2f "
                    "(target < 0.5)\n",
                    screened.cpu, full.cpu, screened.cpu / full.cpu);
    }
    for (const char* name : {"BM_RowToCursor", "BM_CursorToPage"})
        if (m.count(name))
            std::printf("%s, median: %.2f ms (target < 16)\n", name, m.at(name).real);
    return 0;
}
