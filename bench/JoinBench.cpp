// Thirty recorder files of the size limit (16 channels, 300 MiB, consecutive exports that
// overlap by about an hour) joined into one recording:
//   - the tool's picture command on their folder as a whole process: the files read and joined,
//     the window's views built (first sheet page and chart) and the chart drawn (target: under
//     5 s, peak resident memory under 3 GB),
//   - the tool's csv command on the folder as a whole process, for comparison,
//   - the join alone in this process,
//   - the CSV of every row of the joined recording, as the csv command writes it (target: over
//     150 MB/s),
//   - a full repaint of the joined recording's chart (target: under 16 ms),
//   - the longest pause of the window's event loop while it opens the folder (target: under
//     100 ms: the window never freezes).
// The files are generated once into the build tree's generated folder.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_join [benchmark options]

#include "data/RecordingJoin.h"
#include "views/SheetCells.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "bench/BenchSupport.h"
#include "bench/BenchWindow.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string Folder = std::string(RECORDER_GENERATED_DIR) + "/join30";
const std::string OutPicture = std::string(RECORDER_GENERATED_DIR) + "/join30.png";
const std::string OutCsv = std::string(RECORDER_GENERATED_DIR) + "/join30.csv";
constexpr int FileCount = 30;
QTemporaryDir* SettingsDir = nullptr;

// dayNN.bin: a file of the size limit from 2015-01-01 plus 4 days per file; each holds a little
// over four days, so consecutive files overlap.
bool WriteFiles() {
    fs::create_directories(Folder);
    for (int k = 0; k < FileCount; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/day%02d.bin", k);
        const std::string path = Folder + name;
        std::error_code error;
        if (fs::file_size(path, error) == RecorderFileLayout::MaxFileSize)
            continue;
        SampleOptions options;
        options.seed = static_cast<uint64_t>(k + 1);
        options.channels = 16;
        options.fileSize = RecorderFileLayout::MaxFileSize;
        options.start = *EncodeDateTime({2015, 1, 1, 0, 0, 0}) + 4.0 * k;
        SampleRecording recording;
        if (const auto failure = GenerateSampleRecording(options, recording)) {
            std::fprintf(stderr, "%s\n", failure->c_str());
            return false;
        }
        if (const auto failure = WriteBinaryFile(path, recording.bytes)) {
            std::fprintf(stderr, "%s\n", failure->c_str());
            return false;
        }
    }
    return true;
}

// Runs the tool as its own process; its wall time, processor time (user and system, both
// cores) and peak resident memory (KiB).
bool RunTool(const std::vector<std::string>& args, double& seconds, double& cpuSeconds,
             long& peakKiB) {
    std::vector<std::string> words{RECORDER_TOOL};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return false;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    peakKiB = usage.ru_maxrss;
    auto toSeconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    };
    cpuSeconds = toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void WholeProcess(benchmark::State& state, const std::vector<std::string>& args) {
    long peak = 0;
    double cpu = 0;
    for (auto _ : state) {
        double seconds = 0, cpuSeconds = 0;
        long runPeak = 0;
        if (!RunTool(args, seconds, cpuSeconds, runPeak)) {
            state.SkipWithError("the tool failed");
            return;
        }
        state.SetIterationTime(seconds);
        peak = std::max(peak, runPeak);
        cpu = std::max(cpu, cpuSeconds);
    }
    state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
    // On a machine shared with other work the wall time stretches; the processor time does not.
    state.counters["cpu_s"] = cpu;
}

void BM_PictureOfFolderProcess(benchmark::State& state) {
    WholeProcess(state, {"picture", Folder, OutPicture});
}
BENCHMARK(BM_PictureOfFolderProcess)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime();

void BM_CsvOfFolderProcess(benchmark::State& state) {
    WholeProcess(state, {"csv", Folder, OutCsv});
}
BENCHMARK(BM_CsvOfFolderProcess)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime();

void BM_JoinOnly(benchmark::State& state) {
    std::vector<std::string> paths;
    ListRecorderFiles(Folder, paths);
    for (auto _ : state) {
        JoinedRecording joined;
        if (ReadJoinedRecording(paths, joined)) {
            state.SkipWithError("the join failed");
            return;
        }
        state.counters["samples"] = joined.info.sampleCount;
    }
}
BENCHMARK(BM_JoinOnly)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// The joined recording opened in the program's window.
struct Window : BenchWindow {
    Window() : BenchWindow(*SettingsDir) {
        form->Views().OpenFolder(QString::fromStdString(Folder));
        chart->replot(QCustomPlot::rpImmediateRefresh);
    }
};
Window* Shared = nullptr;

void BM_CsvOfJoinedRows(benchmark::State& state) {
    TMainForm& w = *Shared->form;
    size_t bytes = 0;
    for (auto _ : state) {
        std::ofstream out(OutCsv, std::ios::binary | std::ios::trunc);
        if (!WriteSheetCsv(w.Recording().Rows, 0, w.Recording().Rows.RowCount(),
                           w.Recording().ColumnChannels, w.Recording().channels, out)) {
            state.SkipWithError("writing failed");
            return;
        }
        out.close();
        bytes = fs::file_size(OutCsv);
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
    state.counters["rows"] = static_cast<double>(w.Recording().Rows.RowCount());
}
BENCHMARK(BM_CsvOfJoinedRows)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();

void BM_ChartFullRepaint(benchmark::State& state) {
    for (auto _ : state)
        Shared->chart->replot(QCustomPlot::rpImmediateRefresh);
    state.counters["points"] = static_cast<double>(Shared->Points());
}
BENCHMARK(BM_ChartFullRepaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir settingsDir;
    SettingsDir = &settingsDir;
    benchmark::Initialize(&argc, argv);
    if (!WriteFiles())
        return 1;
    // The whole-process runs and the join come first, while this process is still small.
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter, "BM_(Picture|Csv)OfFolderProcess|BM_JoinOnly");
    {
        // A timer on the event loop notes how long the loop was kept from it during the load.
        QElapsedTimer sinceTick;
        qint64 longestPause = 0;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout,
                         [&] { longestPause = std::max(longestPause, sinceTick.restart()); });
        ticks.start(10);
        sinceTick.start();
        Window window;
        ticks.stop();
        std::printf("Longest event loop pause while the folder opened: %lld ms (target < 100 ms)\n",
                    static_cast<long long>(longestPause));
        Shared = &window;
        benchmark::RunSpecifiedBenchmarks(&reporter, "BM_CsvOfJoinedRows|BM_ChartFullRepaint");
        Shared = nullptr;
    }
    benchmark::Shutdown();

    const auto& m = reporter.medians;
    std::printf("\n");
    if (m.count("BM_PictureOfFolderProcess"))
        std::printf("Thirty files joined and drawn, whole process, median: %.2f s (target < 5 s)\n",
                    m.at("BM_PictureOfFolderProcess").real / 1000.0);
    if (m.count("BM_ChartFullRepaint"))
        std::printf("Full chart repaint, median: %.2f ms (target < 16 ms)\n",
                    m.at("BM_ChartFullRepaint").real);
    std::printf("Peak memory and CSV throughput: see the peak_MiB and bytes_per_second columns "
                "(targets < 3072 MiB, > 150 MB/s)\n");
    return 0;
}
