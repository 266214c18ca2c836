#pragma once
// Faults at random moments, for long runs against the simulator: silence, noise on the line,
// replies with bad CRCs, a pulled cable (the pseudo-terminal closed and, a while later, a new
// one in its place) and the clock set back. Every fault but the clock's ends on its own;
// between faults the instrument answers normally.

#include "tools/simulator/SimulatorServer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>

enum class RandomFault { Silence, Noise, BadCrc, CablePull, ClockBack };
inline constexpr std::array AllRandomFaults = {RandomFault::Silence, RandomFault::Noise,
                                               RandomFault::BadCrc, RandomFault::CablePull,
                                               RandomFault::ClockBack};
std::string_view RandomFaultName(RandomFault fault);

struct RandomFaultOptions {
    double meanSecondsBetween = 30; // mean of the exponentially distributed quiet spells
    uint32_t seed = 1;
};

class RandomFaultInjector {
public:
    // The server must serve on its own thread (Start) while Run runs. disconnected is called
    // when the cable is pulled and reconnected when it is back, with the new terminal's device
    // path (for a fixed link to it); report with a line per fault.
    RandomFaultInjector(InstrumentSimulator& instrument, SimulatorServer& server,
                        RandomFaultOptions options);

    std::function<void()> disconnected;
    std::function<void(const std::string& devicePath)> reconnected;
    std::function<void(std::string_view line)> report;

    // Injects faults until stop is set (checked every 50 ms); the instrument answers normally
    // afterwards. False when the terminal could not be recreated after a pulled cable.
    bool Run(const std::atomic<bool>& stop);

    int Count(RandomFault fault) const { return counts_[static_cast<int>(fault)]; }

private:
    // Sleeps up to seconds; false when stop came first.
    bool Wait(double seconds, const std::atomic<bool>& stop);
    double Uniform(double low, double high);

    InstrumentSimulator& instrument_;
    SimulatorServer& server_;
    RandomFaultOptions options_;
    std::mt19937 random_;
    int counts_[AllRandomFaults.size()] = {};
};
