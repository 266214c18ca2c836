// A year of history in the main window and a bare reading of it, under the offscreen platform.
// The folder holds max-size recorder files (16 channels, 10,485,760 bytes, one starting every
// 4 days); RECORDER_BENCH_FOLDER names one made beforehand (bench/tool-figures.sh makes such
// folders with the tool's sample), else RECORDER_BENCH_FILES files (default 30) are made in a
// temporary folder.
//   - the bare read and store: 16 KiB reads, each word stored as a time and a value (the
//     figure opening the folder is measured against: at most 1.5 times),
//   - opening the folder in the window to the first page and the drawn chart,
//   - a full chart repaint at zooms from the whole window down to the 10 s stop, each after
//     detail on zoom has refined the window (target: under 16 ms),
//   - the sheet's page anywhere in the recording (target: under 20 ms),
//   - peak memory of a process opening the folder, less that of the empty window, per stored
//     sample (target: at most 5 bytes), and the longest event-loop pause while it opens.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_year [benchmark options]

#include "app/DataSheetModel.h"
#include "app/recording/RecordingViews.h"
#include "bench/BenchSupport.h"
#include "bench/BenchWindow.h"
#include "data/RecorderFile.h"
#include "data/Utility.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

QTemporaryDir* SettingsDir = nullptr;
std::string Folder;

bool PrepareFolder(QTemporaryDir& made) {
    if (const char* given = std::getenv("RECORDER_BENCH_FOLDER")) {
        Folder = given;
        return true;
    }
    const char* count = std::getenv("RECORDER_BENCH_FILES");
    const int files = count ? std::atoi(count) : 30;
    Folder = made.path().toStdString();
    for (int i = 0; i < files; ++i) {
        SampleOptions options;
        options.channels = 16;
        options.fileSize = RecorderFileLayout::MaxFileSize;
        options.seed = static_cast<uint64_t>(i + 1);
        options.start = 42005 + 4.0 * i; // 2015-01-01 plus 4 days a file
        SampleRecording recording;
        if (GenerateSampleRecording(options, recording) ||
            WriteBinaryFile(Folder + "/f" + std::to_string(1000 + i) + ".bin", recording.bytes))
            return false;
    }
    return true;
}

std::vector<std::string> FolderFiles() {
    std::vector<std::string> files;
    for (const QString& name : QDir(QString::fromStdString(Folder)).entryList({"*.bin"}))
        files.push_back(Folder + "/" + name.toStdString());
    return files;
}

struct Window : BenchWindow {
    Window() : BenchWindow(*SettingsDir) {}
    void Open() {
        form->OpenDataFile(QString::fromStdString(Folder));
        chart->replot(QCustomPlot::rpImmediateRefresh);
    }
    long long Samples() const { return form->Recording().recordingInfo.sampleCount; }
    // Zooms the time axis to [start, start + span] as a dragged rectangle does and waits for
    // detail on zoom to plot the window.
    void ZoomTo(double start, double span) {
        QCPGraph* first = chart->graphCount() ? chart->graph(0) : nullptr;
        const auto before = first ? first->data() : nullptr;
        chart->xAxis->setRange(start, start + span);
        emit chart->Zoomed();
        QElapsedTimer waited;
        waited.start();
        while (first && first->data() == before && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
};

void BM_BareReadAndStore(benchmark::State& state) {
    const std::vector<std::string> files = FolderFiles();
    size_t stored = 0;
    for (auto _ : state) {
        std::vector<double> times;
        std::vector<float> values;
        std::vector<unsigned char> buffer(16384);
        for (const std::string& path : files) {
            FILE* in = std::fopen(path.c_str(), "rb");
            if (!in)
                continue;
            size_t n;
            while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
                for (size_t i = 0; i + 1 < n; i += 2) {
                    times.push_back(static_cast<double>(times.size()));
                    values.push_back(static_cast<float>(buffer[i] | buffer[i + 1] << 8));
                }
            std::fclose(in);
        }
        stored = values.size();
        benchmark::DoNotOptimize(values.data());
    }
    state.counters["words"] = static_cast<double>(stored);
}
BENCHMARK(BM_BareReadAndStore)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_OpenFolderToFirstPageAndChart(benchmark::State& state) {
    Window window;
    for (auto _ : state)
        window.Open();
    state.counters["samples"] = static_cast<double>(window.Samples());
    state.counters["points"] = static_cast<double>(window.Points());
}
BENCHMARK(BM_OpenFolderToFirstPageAndChart)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();

// The time span shown: the whole window, a month, a day, an hour, a minute and the 10 s stop.
void BM_ChartRepaintAtZoom(benchmark::State& state) {
    static Window* window = nullptr;
    if (!window) {
        window = new Window; // opened once for every zoom
        window->Open();
    }
    const RecordingInfo& info = window->form->Recording().recordingInfo;
    const double spans[] = {info.endTime - info.startTime, 30, 1, 1.0 / 24, 1.0 / 1440, 1.0 / 8640};
    const double span = spans[state.range(0)];
    const double start = info.startTime + (info.endTime - info.startTime - span) * 0.6;
    window->chart->UndoZoom();
    if (state.range(0) > 0)
        window->ZoomTo(start, span);
    for (auto _ : state)
        window->chart->replot(QCustomPlot::rpImmediateRefresh);
    state.counters["points"] = static_cast<double>(window->Points());
    state.counters["refined"] = window->form->Views().ShowsDetailOfWindow();
}
BENCHMARK(BM_ChartRepaintAtZoom)
    ->DenseRange(0, 5)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->UseRealTime();

void BM_SheetPageAnywhere(benchmark::State& state) {
    Window window;
    window.Open();
    RecordingViews& views = window.form->Views();
    const size_t rows = window.form->Recording().Rows.RowCount();
    window.form->DataTableMenuItemClick();
    size_t i = 0;
    for (auto _ : state) {
        views.ShowSheetRow(static_cast<size_t>((i++ * 7919) % 997 * (rows / 997)));
        for (int row = 0; row < 40; ++row)
            benchmark::DoNotOptimize(window.form->DataListModel->ItemTexts(row));
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_SheetPageAnywhere)->Unit(benchmark::kMillisecond)->Repetitions(3);

// "--measure-open" opens the folder, "--measure-empty" only shows the window; both print the
// peak resident KiB, the stored samples and the longest pause of the event loop in ms.
int MeasureChild(bool open) {
    Window window;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(5);
    QCoreApplication::processEvents();
    last = clock.elapsed();
    if (open)
        window.Open();
    std::printf("%ld %lld %lld\n", PeakOfSelf(), window.Samples(), longest);
    return 0;
}

bool Measure(const char* option, long& peak, long long& samples, long long& pause) {
    char self[PATH_MAX] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return false;
    FILE* child = popen((std::string("'") + self + "' " + option).c_str(), "r");
    if (!child)
        return false;
    const bool read = std::fscanf(child, "%ld %lld %lld", &peak, &samples, &pause) == 3;
    return pclose(child) == 0 && read;
}

} // namespace

int main(int argc, char** argv) {
    KeepFreedMemoryReturned();
    QApplication app(argc, argv);
    QTemporaryDir settingsDir, made;
    SettingsDir = &settingsDir;
    if (argc == 2 && (std::strcmp(argv[1], "--measure-open") == 0 ||
                      std::strcmp(argv[1], "--measure-empty") == 0)) {
        Folder = std::getenv("RECORDER_BENCH_FOLDER") ? std::getenv("RECORDER_BENCH_FOLDER") : "";
        return MeasureChild(std::strcmp(argv[1], "--measure-open") == 0);
    }
    benchmark::Initialize(&argc, argv);
    if (!PrepareFolder(made))
        return 1;
    setenv("RECORDER_BENCH_FOLDER", Folder.c_str(), 1); // for the measuring children
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto& m = reporter.medians;
    if (m.count("BM_BareReadAndStore") && m.count("BM_OpenFolderToFirstPageAndChart")) {
        const double bare = m.at("BM_BareReadAndStore").real,
                     open = m.at("BM_OpenFolderToFirstPageAndChart").real;
        std::printf("\nOpen folder / bare read and store, median: %.0f ms / %.0f ms = %.2f "
                    "(target <= 1.5)\n",
                    open, bare, open / bare);
    }
    long emptyPeak = 0, openPeak = 0;
    long long samples = 0, emptyPause = 0, openPause = 0, none = 0;
    if (!Measure("--measure-empty", emptyPeak, none, emptyPause) ||
        !Measure("--measure-open", openPeak, samples, openPause) || samples <= 0) {
        std::fprintf(stderr, "Cannot measure the peak memory\n");
        return 1;
    }
    std::printf("Peak memory: empty window %.1f MiB, folder open %.1f MiB (target < 2.7 GB for "
                "a year); %.2f bytes per stored sample (target <= 5) over %lld samples\n",
                emptyPeak / 1024.0, openPeak / 1024.0,
                (openPeak - emptyPeak) * 1024.0 / static_cast<double>(samples), samples);
    std::printf("Longest event-loop pause while the folder opens: %lld ms (target < 100)\n",
                openPause);
    return 0;
}
