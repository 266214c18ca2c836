#include "tools/simulator/RandomFaults.h"

#include <chrono>
#include <cstdio>
#include <thread>

std::string_view RandomFaultName(RandomFault fault) {
    switch (fault) {
    case RandomFault::Silence:
        return "silence";
    case RandomFault::Noise:
        return "noise";
    case RandomFault::BadCrc:
        return "bad-crc";
    case RandomFault::CablePull:
        return "cable-pull";
    case RandomFault::ClockBack:
        return "clock-back";
    }
    return "?";
}

RandomFaultInjector::RandomFaultInjector(InstrumentSimulator& instrument, SimulatorServer& server,
                                         RandomFaultOptions options)
    : instrument_(instrument), server_(server), options_(options), random_(options.seed) {}

double RandomFaultInjector::Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random_);
}

bool RandomFaultInjector::Wait(double seconds, const std::atomic<bool>& stop) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(seconds));
    while (!stop.load()) {
        const auto now = Clock::now();
        if (now >= until)
            return true;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(until - now, std::chrono::milliseconds(50)));
    }
    return false;
}

bool RandomFaultInjector::Run(const std::atomic<bool>& stop) {
    const SimulatorFaults normal = instrument_.Faults();
    std::exponential_distribution<double> quiet(1.0 / options_.meanSecondsBetween);
    auto say = [this](const std::string& line) {
        if (report)
            report(line);
    };
    while (Wait(quiet(random_), stop)) {
        const auto fault = AllRandomFaults[std::uniform_int_distribution<size_t>(
            0, AllRandomFaults.size() - 1)(random_)];
        ++counts_[static_cast<int>(fault)];
        char line[160];
        switch (fault) {
        case RandomFault::Silence: {
            // From a single missed reply to an outage long enough for the port to be reopened.
            const double seconds = Uniform(0.5, 20);
            std::snprintf(line, sizeof line, "silence for %.1f s", seconds);
            say(line);
            SimulatorFaults f = normal;
            f.silentAfter = 0;
            f.silentSeconds = seconds;
            instrument_.SetFaults(f);
            Wait(seconds, stop);
            instrument_.SetFaults(normal);
            break;
        }
        case RandomFault::Noise: {
            std::vector<uint8_t> bytes(std::uniform_int_distribution<size_t>(1, 64)(random_));
            for (uint8_t& b : bytes)
                b = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(random_));
            std::snprintf(line, sizeof line, "noise of %zu bytes", bytes.size());
            say(line);
            server_.InjectBytes(bytes);
            break;
        }
        case RandomFault::BadCrc: {
            const double seconds = Uniform(1, 8);
            std::snprintf(line, sizeof line, "bad CRCs for %.1f s", seconds);
            say(line);
            SimulatorFaults f = normal;
            f.corruptEvery = 1;
            instrument_.SetFaults(f);
            Wait(seconds, stop);
            instrument_.SetFaults(normal);
            break;
        }
        case RandomFault::CablePull: {
            const double seconds = Uniform(2, 25);
            std::snprintf(line, sizeof line, "cable pulled for %.1f s", seconds);
            say(line);
            server_.Stop();
            server_.Close();
            if (disconnected)
                disconnected();
            Wait(seconds, stop);
            std::string error;
            if (!server_.Open(error)) {
                say("cannot recreate the terminal: " + error);
                return false;
            }
            if (reconnected)
                reconnected(server_.DevicePath());
            server_.Start();
            say("cable back on " + server_.DevicePath());
            break;
        }
        case RandomFault::ClockBack: {
            // A small step repeats a second or two; a large one is a correction.
            const bool small = std::bernoulli_distribution(0.5)(random_);
            const int seconds = small ? std::uniform_int_distribution<int>(1, 2)(random_)
                                      : std::uniform_int_distribution<int>(3, 3600)(random_);
            std::snprintf(line, sizeof line, "clock set back by %d s", seconds);
            say(line);
            instrument_.SetClockBack(seconds);
            break;
        }
        }
    }
    instrument_.SetFaults(normal);
    return true;
}
