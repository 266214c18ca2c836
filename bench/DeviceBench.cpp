// The live read against the simulator on a pseudo-terminal: one transaction per tick, and how
// long a reply that never comes holds the caller (the live poll runs on the window's thread).
// The picture download of 200 blocks over the simulator's line paced at 115,200 bit/s, beside
// the time its bytes need on such a line (target: at most 1.1 times that).
//
// CPU time is the calling thread's own; the simulator answers on a thread of its own.

#include "device/ModbusRtuImpl.h"
#include "device/PictureDownload.h"
#include "device/PosixSerialPort.h"
#include "tools/simulator/SimulatorServer.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

struct LiveLink {
    InstrumentSimulator instrument{SimulatorOptions{}};
    SimulatorServer server{instrument};
    PosixSerialPort port{[this](int32_t) { return server.DevicePath(); }};
    DeviceRecords records;
    ModbusRtuImpl connection{port, records};

    bool Start(benchmark::State& state) {
        std::string error;
        if (!server.Open(error)) {
            state.SkipWithError(error.c_str());
            return false;
        }
        server.Start();
        records.commSettings = {1, 115200, 1, 8, 0, 1, {}};
        records.commSettings.channelEnabled.fill(true);
        if (!connection.OpenLink() || !connection.Connect()) {
            state.SkipWithError("cannot connect to the simulator");
            return false;
        }
        return true;
    }
};

void BM_ReadLiveValues(benchmark::State& state) {
    LiveLink link;
    if (!link.Start(state))
        return;
    for (auto _ : state) {
        if (!link.connection.ReadLiveValues()) {
            state.SkipWithError("live read failed");
            return;
        }
        benchmark::DoNotOptimize(link.records.liveSnapshot);
    }
}
BENCHMARK(BM_ReadLiveValues)->Unit(benchmark::kMicrosecond);

void BM_MissingReply(benchmark::State& state) {
    LiveLink link;
    if (!link.Start(state))
        return;
    SimulatorFaults silent;
    silent.silentAfter = 0;
    link.instrument.SetFaults(silent);
    for (auto _ : state) {
        if (link.connection.ReadLiveValues()) {
            state.SkipWithError("the silent instrument answered");
            return;
        }
    }
}
BENCHMARK(BM_MissingReply)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_PictureDownload200Blocks(benchmark::State& state) {
    constexpr int Blocks = 200;
    constexpr int Baud = 115200;
    const std::string dir = std::filesystem::temp_directory_path().string();
    const std::string picture = dir + "/bench-picture-" + std::to_string(getpid()) + ".txt";
    const std::string received = dir + "/bench-picture-" + std::to_string(getpid()) + ".bin";
    {
        std::ofstream out(picture, std::ios::binary);
        out << "header\n";
        char literal[8];
        for (int i = 0; i < Blocks * 512; ++i) {
            std::snprintf(literal, sizeof literal, "0X%02X,", (i * 7) & 0xFF);
            out << literal;
        }
    }
    SimulatorOptions options;
    options.pictureOutput = received;
    options.faults.paceBaud = Baud;
    InstrumentSimulator instrument{options};
    SimulatorServer server{instrument};
    std::string error;
    if (!server.Open(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    server.Start();
    PosixSerialPort port{[&server](int32_t) { return server.DevicePath(); }};
    DeviceRecords records;
    ModbusRtuImpl connection{port, records};
    PictureDownloadCallbacks callbacks;
    callbacks.loadSettings = [](CommSettings& s) { s = {1, Baud, 1, 8, 0, 1, {}}; };
    std::chrono::duration<double, std::milli> elapsed{0};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const UserMessage message = DownloadPicture(connection, picture, 0, callbacks);
        elapsed += std::chrono::steady_clock::now() - start;
        if (message.icon != MessageIcon::Information) {
            state.SkipWithError(message.text.c_str());
            break;
        }
    }
    // Every byte both ways, ten bit times each: start and end frames, the data frames and
    // their acknowledgements.
    const double bytes = ModbusFrame::PictureStartLength + ModbusFrame::PictureEndLength +
                         Blocks * (512.0 + ModbusFrame::PictureFrameOverhead) +
                         (Blocks + 1) * ModbusFrame::PictureAckLength +
                         ModbusFrame::PictureEndAckLength;
    const double lineMs = bytes * 10.0 / Baud * 1000.0;
    state.counters["line_ms"] = lineMs;
    state.counters["of_line_time"] =
        elapsed.count() / static_cast<double>(state.iterations()) / lineMs;
    std::filesystem::remove(picture);
    std::filesystem::remove(received);
}
BENCHMARK(BM_PictureDownload200Blocks)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
