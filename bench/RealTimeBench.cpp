// One tick of a live run with 16 monitored channels whose series are full (1,200,000 points in
// all), in the main window under the offscreen platform, the trend diagram shown:
//   - the tick's work on the user-interface thread beyond the serial transaction: 16 points
//     appended, 16 panels, the legend, the sheet's row texts, and one full chart repaint
//     (target: under 30 ms),
//   - the serial transaction itself against the simulator on a pseudo-terminal, for reference,
//   - the latency of an event posted to the window while the instrument is silent and every
//     tick's read waits about a second for its reply (target: under 50 ms),
//   - recording a tick of 16 channels to disk, with and without its sync (on the poller
//     thread, so it costs the window nothing).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_realtime [benchmark options]

#include "app/DataSheetModel.h"
#include "app/Startup.h"
#include "data/LiveRecord.h"
#include "device/CommSettingsFile.h"
#include "tools/simulator/SimulatorServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include "bench/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace {

QTemporaryDir* WorkDir = nullptr;
// Ticks timed per repetition; the series are filled to leave room for them below the cap.
constexpr int TicksPerRepetition = 40;
constexpr int Repetitions = 5;

struct LiveWindow {
    InstrumentSimulator instrument{SimulatorOptions{}};
    SimulatorServer server{instrument};
    QSettings settings{WorkDir->filePath("Korvane.conf"), QSettings::IniFormat};
    std::unique_ptr<StartupObjects> objects;
    TMainForm* form = nullptr;
    bool running = false;

    LiveWindow() {
        std::string error;
        if (!server.Open(error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return;
        }
        server.Start();
        const std::string config = WorkDir->filePath("config.ini").toStdString();
        std::ofstream(config) << "[COM]\nport=0\nbaudRate=6\nstopBit=0\ndataBit=3\ncheckType=0\n"
                                 "address=1\n[PORTS]\nCOM1="
                              << server.DevicePath() << "\n";
        objects = CreateStartupObjects(settings);
        form = objects->MainForm.get();
        form->SetConfigFilePath(config);
        form->SetMessagePresenter([](QWidget*, const UserMessage& message) {
            std::fprintf(stderr, "%s\n", message.text.c_str());
        });
        form->show();
        form->resize(1280, 956);
        form->RunButtonClick();
        form->Live().Monitor().WaitIdle();
        QCoreApplication::processEvents();
        running = form->Live().Monitor().LinkActive() && form->Live().Monitor().Poll();
    }

    // Every series holds its share less the ticks to come, as after about 20 hours.
    void FillSeries(size_t pointsEach) {
        const DateTime start = form->Live().Monitor().Records().liveSnapshot.instrumentTime -
                               static_cast<double>(pointsEach) * OneSecond;
        LiveSeriesBook& book = form->Live().Monitor().Series();
        book.Reset(form->Recording().SeriesInfos.size());
        for (size_t p = 0; p < form->Recording().SeriesInfos.size(); ++p) {
            QVector<double> keys(static_cast<qsizetype>(pointsEach));
            QVector<double> values(keys.size());
            for (qsizetype i = 0; i < keys.size(); ++i) {
                keys[i] = start + static_cast<double>(i) * OneSecond;
                values[i] = 50 + 40 * std::sin(static_cast<double>(i) / (300.0 + 40 * p));
                book.Add(p, keys[i], values[i]);
            }
            form->Recording().SeriesInfos[p].series->setData(keys, values, true);
        }
    }
};

void BM_LiveTickViews(benchmark::State& state) {
    LiveWindow window;
    if (!window.running) {
        state.SkipWithError("no live link to the simulator");
        return;
    }
    TMainForm* form = window.form;
    const size_t cap = LiveSeriesCap(16);
    window.FillSeries(cap - TicksPerRepetition * Repetitions - 1);
    LiveSnapshot& live = form->Live().Monitor().Records().liveSnapshot;
    size_t points = 0;
    for (auto _ : state) {
        // A new reading each tick, without the transaction.
        live.instrumentTime += OneSecond;
        for (float& value : live.value)
            value += 0.25f;
        form->Live().ShowLiveValues();
        benchmark::DoNotOptimize(form->DataListModel->ItemTexts(0));
        form->Chart->replot(QCustomPlot::rpImmediateRefresh);
    }
    for (const ChartSeriesInfo& info : form->Recording().SeriesInfos)
        points += static_cast<size_t>(info.series->dataCount());
    state.counters["points"] = static_cast<double>(points);
    state.counters["series"] = static_cast<double>(form->Recording().SeriesInfos.size());
}
BENCHMARK(BM_LiveTickViews)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(TicksPerRepetition)
    ->Repetitions(Repetitions)
    ->UseRealTime();

void BM_LiveRead(benchmark::State& state) {
    LiveWindow window;
    if (!window.running) {
        state.SkipWithError("no live link to the simulator");
        return;
    }
    for (auto _ : state)
        if (!window.form->Live().Monitor().Poll())
            state.SkipWithError("live read failed");
}
BENCHMARK(BM_LiveRead)->Unit(benchmark::kMillisecond)->Repetitions(3)->UseRealTime();

// A silent instrument: each tick's read waits for its reply on the poller thread while the
// window handles a posted event; the time from posting to handling is measured.
void BM_EventLatencyDuringSilentTicks(benchmark::State& state) {
    LiveWindow window;
    if (!window.running) {
        state.SkipWithError("no live link to the simulator");
        return;
    }
    SimulatorFaults silence;
    silence.silentAfter = 0;
    window.instrument.SetFaults(silence);
    window.form->Timer->setInterval(100);
    double worst = 0;
    for (auto _ : state) {
        window.form->OnTimer();
        QElapsedTimer posted;
        posted.start();
        bool handled = false;
        QMetaObject::invokeMethod(
            window.form, [&] { handled = true; }, Qt::QueuedConnection);
        while (!handled)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double ms = static_cast<double>(posted.nsecsElapsed()) / 1e6;
        worst = std::max(worst, ms);
        state.SetIterationTime(ms / 1000.0);
        if (!window.form->Live().Monitor().PollOutstanding())
            state.SkipWithError("the read was not outstanding while the event was handled");
    }
    state.counters["worst_ms"] = worst;
    window.form->StopButtonClick();
    window.form->Live().Monitor().WaitIdle();
}
BENCHMARK(BM_EventLatencyDuringSilentTicks)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(3)
    ->UseManualTime();

// One tick of 16 channels appended to a run record and synced to the disk, or only appended,
// for the cost of the sync.
int NoSync(int) {
    return 0;
}
void RecordTicks(benchmark::State& state, bool synced) {
    SetRecordSyncFunction(synced ? nullptr : NoSync);
    LiveRecordWriter writer;
    std::vector<int16_t> channels;
    std::vector<std::string> units;
    for (int16_t n = 1; n <= 16; ++n) {
        channels.push_back(n);
        units.push_back(n % 2 ? "\xA1\xE6" : "Kpa");
    }
    std::string error;
    if (!writer.Start(WorkDir->filePath("records").toStdString(), NowLocal(), channels, units,
                      error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<float> values(16);
    DateTime t = NowLocal();
    for (auto _ : state) {
        for (size_t p = 0; p < values.size(); ++p)
            values[p] = static_cast<float>(p) * 1.25f + static_cast<float>(t - std::floor(t));
        t += OneSecond;
        if (!writer.WriteTick(t, values))
            state.SkipWithError(writer.ErrorText().c_str());
    }
    SetRecordSyncFunction(nullptr);
}
void BM_RecordTick(benchmark::State& state) {
    RecordTicks(state, true);
}
void BM_RecordTickUnsynced(benchmark::State& state) {
    RecordTicks(state, false);
}
BENCHMARK(BM_RecordTick)->Unit(benchmark::kMicrosecond)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_RecordTickUnsynced)->Unit(benchmark::kMicrosecond)->Repetitions(3)->UseRealTime();

// A day of one-second ticks of 16 channels (1,382,400 samples, one outage an hour) opened with
// File > Open: the import of its lines and the views, as the window shows them.
void BM_OpenDayRecord(benchmark::State& state) {
    const std::string path = WorkDir->filePath("live-day.csv").toStdString();
    {
        std::ofstream out(path, std::ios::binary);
        out << "No.,Channel,Value,Time,Unit\n";
        const DateTime start = EncodeDateTime({2026, 12, 9, 0, 0, 0}).value();
        long long n = 0;
        for (int tick = 0; tick < 86'400; ++tick) {
            const std::string time =
                FormatDateTime(start + tick * OneSecond, "yyyy-MM-dd HH:mm:ss");
            for (int16_t channel = 1; channel <= 16; ++channel) {
                const float value = tick % 3600 == 1800
                                        ? GapValue
                                        : 50 + 40 * std::sin(tick / (300.0f + 40 * channel));
                out << LiveRecordLine(++n, channel, value, time, channel % 2 ? "\xA1\xE6" : "Kpa");
            }
        }
    }
    QSettings settings{WorkDir->filePath("Korvane.conf"), QSettings::IniFormat};
    const auto objects = CreateStartupObjects(settings);
    TMainForm* form = objects->MainForm.get();
    form->SetMessagePresenter([](QWidget*, const UserMessage& message) {
        std::fprintf(stderr, "%s\n", message.text.c_str());
    });
    form->resize(1280, 956);
    form->show();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        form->OpenDataFile(QString::fromStdString(path));
        form->repaint();
        state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (form->Recording().recordingInfo.sampleCount != 86'400 * 16)
            state.SkipWithError("the record did not open whole");
    }
}
BENCHMARK(BM_OpenDayRecord)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir workDir;
    WorkDir = &workDir;
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto& m = reporter.medians;
    if (m.count("BM_LiveTickViews"))
        std::printf("\nLive tick beyond the transaction, 16 full series, median: %.1f ms wall, "
                    "%.1f ms CPU (target < 30)\n",
                    m.at("BM_LiveTickViews").real, m.at("BM_LiveTickViews").cpu);
    if (m.count("BM_OpenDayRecord"))
        std::printf("A day's record of 16 channels (1,382,400 samples) opened and shown, median: "
                    "%.0f ms wall (target < 1500)\n",
                    m.at("BM_OpenDayRecord").real);
    if (m.count("BM_LiveRead"))
        std::printf("Live read over the pseudo-terminal, median: %.2f ms\n",
                    m.at("BM_LiveRead").real);
    if (m.count("BM_EventLatencyDuringSilentTicks"))
        std::printf("Event latency during silent ticks, median: %.2f ms (target < 50)\n",
                    m.at("BM_EventLatencyDuringSilentTicks").real);
    if (m.count("BM_RecordTick") && m.count("BM_RecordTickUnsynced"))
        std::printf("Recording one tick of 16 channels on the poller, median: %.1f us synced to "
                    "the disk, %.1f us without the sync\n",
                    m.at("BM_RecordTick").real, m.at("BM_RecordTickUnsynced").real);
    return 0;
}
