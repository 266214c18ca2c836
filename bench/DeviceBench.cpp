// The live read against the simulator on a pseudo-terminal: one transaction per tick, and how
// long a reply that never comes holds the caller (the live poll runs on the window's thread).
//
// CPU time is the calling thread's own; the simulator answers on a thread of its own.

#include "device/ModbusRtuImpl.h"
#include "device/PosixSerialPort.h"
#include "tools/simulator/SimulatorServer.h"

#include <benchmark/benchmark.h>

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

} // namespace

BENCHMARK_MAIN();
