#pragma once
// Puts an InstrumentSimulator on a pseudo-terminal: the program opens the terminal's device
// path (the slave side) like a serial port, the server answers on the master side.

#include "tools/simulator/InstrumentSimulator.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

class SimulatorServer {
public:
    // instrument must outlive the server.
    explicit SimulatorServer(InstrumentSimulator& instrument);
    ~SimulatorServer();
    SimulatorServer(const SimulatorServer&) = delete;
    SimulatorServer& operator=(const SimulatorServer&) = delete;

    // Creates the pseudo-terminal; false with a reason on failure.
    bool Open(std::string& error);
    // Closes the pseudo-terminal, as a pulled cable: the program's reads and writes fail
    // until it opens the terminal of the next Open. Call while not serving.
    void Close();
    // Puts bytes on the line towards the program, between the replies (noise on the line).
    void InjectBytes(const std::vector<uint8_t>& bytes);
    // The device path to open as the serial port, for example /dev/pts/3.
    const std::string& DevicePath() const { return devicePath; }

    // Serves until stop is set (checked at least every 20 ms).
    void Run(const std::atomic<bool>& stop);
    // Serves on a thread of its own until Stop or destruction.
    void Start();
    void Stop();

    // Called with a line for every request chunk and reply, when set (before Run or Start).
    std::function<void(std::string_view line)> trace;

private:
    void WriteReply(const std::vector<uint8_t>& reply);
    void WriteLine(const uint8_t* bytes, size_t count);

    InstrumentSimulator& instrument;
    int master = -1;
    // Kept open so that the terminal survives the program closing and reopening it.
    int slave = -1;
    std::string devicePath;
    std::atomic<bool> stopRequested{false};
    std::thread thread;
    std::mutex writing; // replies and injected bytes do not interleave
};
