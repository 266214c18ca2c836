#pragma once
// The device side of a live run: the one recorder connection with its records, started with
// the settings of config.ini, polled once per tick and stopped. It shows nothing itself: a
// failed start returns the message the user must see, a failed poll leaves the last values
// standing.
//
// A tick's serial transaction runs on a poller thread of its own, so that a silent instrument
// (a read waits about a second for its reply) never holds up the window: BeginPoll hands the
// read over and returns, the result comes back through the result handler, on the poller
// thread, and the window applies it on its own thread. At most one read is outstanding; a
// tick that finds one still running is skipped, so results come back in tick order. Stop
// returns at once; an outstanding read ends on its own and the poller closes the port then.
// Start, Poll and the records below are for the caller's (the window's) thread.

#include "app/realtime/LiveViews.h"
#include "data/RecorderFile.h"
#include "device/ModbusRtuImpl.h"
#include "device/SerialPortLayer.h"

#include "data/LiveRecord.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// What one read on the poller thread gave.
struct LivePollResult {
    uint64_t run = 0;       // the run it belongs to; results of an ended run are dropped
    bool ok = false;        // a valid reply came
    bool reopened = false;  // the read was the eleventh failure in a row: the port was reopened
    DateTime requested = 0; // local time of the host when the read began
    LiveSnapshot snapshot;  // the values read (the previous ones when the read failed)
    std::string lastError;  // the failure text (GBK), empty after success
};

class RealTimeMonitor {
public:
    // Ports are the serial devices config.ini's section "PORTS" maps them to (by default
    // /dev/ttyS<n-1>), looked up when the port is opened.
    explicit RealTimeMonitor(std::string configPath);
    // Polls through the given port layer instead.
    RealTimeMonitor(std::string configPath, std::unique_ptr<SerialPortLayer> portLayer);
    // Waits for an outstanding read and closes the port.
    ~RealTimeMonitor();
    RealTimeMonitor(const RealTimeMonitor&) = delete;
    RealTimeMonitor& operator=(const RealTimeMonitor&) = delete;

    const std::string& ConfigPath() const { return configPath_; }
    void SetConfigPath(std::string configPath) { configPath_ = std::move(configPath); }

    // Loads the settings, opens the port and checks that the instrument answers and reads the
    // monitored channels' configuration. On success the link is active; otherwise the port is
    // closed again and the result is the message for the user. Waits first for a read of the
    // previous run that is still outstanding (at most the link's bound, about a second).
    std::optional<UserMessage> Start();
    // One live read on the caller's thread while the link is active. False when there is
    // nothing new to show: the link is not active, the read failed, or a worker of the window
    // is running (polling pauses then, so that the worker can read the recording the ticks
    // would otherwise replace).
    bool Poll(bool workerRunning = false);

    // Called on the poller thread with the result of every read BeginPoll started.
    using ResultHandler = std::function<void(LivePollResult result)>;
    void SetResultHandler(ResultHandler handler);
    // Starts one live read on the poller thread. False when the tick is skipped: the link is
    // not active, a worker runs, or the previous read has not ended yet.
    bool BeginPoll(bool workerRunning = false);
    bool PollOutstanding() const;
    // Blocks until no read is outstanding (its result handed to the handler); for tests and
    // tools that must wait.
    void WaitIdle();
    // The result of a read of the current run, to be shown: takes its snapshot into the
    // records. False for results of an ended run, or after Stop.
    bool Accept(const LivePollResult& result);

    // Ends the run at once: the port is closed now, or by the poller when its outstanding
    // read ends.
    void Stop();

    bool LinkActive() const { return active_; }
    // The records as the caller's thread sees them: the settings and channel configurations
    // of the run, and the snapshot of the last accepted read.
    DeviceRecords& Records() { return shown_; }
    const DeviceRecords& Records() const { return shown_; }
    ModbusRtuImpl& Connection() { return *connection_; }
    // The live series' point counts and extent; the window resets it when a run starts.
    LiveSeriesBook& Series() { return series_; }
    // Breaks, counts and the record of the run; the window starts it when a run starts.
    LiveRunLog& Log() { return log_; }

private:
    void PollerLoop();
    LivePollResult ReadOnce(uint64_t run);
    void CloseDevice();

    std::string configPath_;
    DeviceRecords records_; // the device side's, touched by the poller while a read runs
    DeviceRecords shown_;
    std::unique_ptr<SerialPortLayer> portLayer_;
    std::unique_ptr<ModbusRtuImpl> connection_; // after the port layer it uses
    LiveSeriesBook series_;
    LiveRunLog log_;
    bool active_ = false;
    uint64_t run_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool outstanding_ = false;    // a read is requested or running
    bool closeAfterRead_ = false; // Stop came while it ran
    bool quit_ = false;
    uint64_t requestedRun_ = 0;
    ResultHandler handler_;
    std::thread poller_;
};

// "Instrument no response，Instrument address:%d" with the address (GBK).
std::string InstrumentNoResponseText(int32_t address);
