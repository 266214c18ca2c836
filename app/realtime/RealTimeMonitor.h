#pragma once
// The device side of a live run: the one recorder connection with its records, started with
// the settings of config.ini, polled once per tick and stopped. It shows nothing itself: a
// failed start returns the message the user must see, a failed poll leaves the last values
// standing.
//
// The serial work runs on a poller thread of its own, so that a silent instrument never holds
// up the window: a start (open and connect, a second with a silent instrument and several at a
// slow rate) and each tick's read (a second when no reply comes). BeginStart and BeginPoll
// hand the work over and return; the result comes back through a handler, on the poller
// thread, and the window applies it on its own thread. The poller also keeps the run's log and
// record, so that the sync of each tick to the disk costs the window nothing. At most one read
// is outstanding; a tick that finds one still running is skipped, so results come back in tick
// order. Stop returns at once: a start under way is cancelled after the request it waits for
// (and leaves no record), a read under way ends on its own, and the poller closes the port and
// the record then. The end of the monitor cancels whatever the poller does. The other members
// are for the caller's (the window's) thread.

#include "app/realtime/LiveViews.h"
#include "data/RecorderFile.h"
#include "device/ModbusRtuImpl.h"
#include "device/SerialPortLayer.h"

#include "data/LiveRecord.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// What one read on the poller thread gave.
struct LivePollResult {
    uint64_t run = 0;       // the run it belongs to; results of an ended run are dropped
    bool ok = false;        // a valid reply came
    bool reopened = false;  // the read was the eleventh failure in a row: the port was reopened
    DateTime requested = 0; // local time of the host when the read began
    LiveSnapshot snapshot;  // the values read (the previous ones when the read failed)
    std::string lastError;  // the failure text (GBK), empty after success
    LiveTickEntry entry;    // where a good tick went: its break, or a repeated clock
    LiveRunState state;     // after this tick
};

// What the start of a run on the poller thread gave.
struct LiveStartResult {
    uint64_t run = 0;
    std::optional<UserMessage> failure; // the message for the user; the port is closed again
    DeviceRecords records;              // the settings and the channel configurations read
    std::string recordError;            // the run goes on without its record, for this reason
    LiveRunState state;
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

    // Starts a run on the poller thread, after a read of the previous run that is still
    // outstanding: loads the settings, opens the port, checks that the instrument answers,
    // reads the monitored channels' configuration and starts the record when config.ini asks
    // for one. done gets the result on the poller thread; AcceptStart makes it the run. False
    // when a start is already under way.
    using StartHandler = std::function<void(LiveStartResult result)>;
    bool BeginStart(StartHandler done);
    // On the caller's thread: a successful start makes the link active and its records the
    // shown ones. The result is the message for the user, if the start failed.
    std::optional<UserMessage> AcceptStart(const LiveStartResult& result);
    // Whether AcceptStart takes this result: false for a start that Stop overtook, or one
    // another start has replaced.
    bool ExpectsStart(const LiveStartResult& result) const;
    bool Starting() const;
    // BeginStart, waited for, and AcceptStart: for tests and tools that must wait.
    std::optional<UserMessage> Start();

    // One live read on the caller's thread while the link is active, with nothing recorded.
    // False when there is nothing new to show: the link is not active, the read failed, or a
    // worker of the window is running (polling pauses then, so that the worker can read the
    // recording the ticks would otherwise replace).
    bool Poll(bool workerRunning = false);

    // Called on the poller thread with the result of every read BeginPoll started, after the
    // tick has gone into the run's log and record (synced to the disk).
    using ResultHandler = std::function<void(LivePollResult result)>;
    void SetResultHandler(ResultHandler handler);
    // Starts one live read on the poller thread. False when the tick is skipped: the link is
    // not active, a worker runs, or the previous read has not ended yet.
    bool BeginPoll(bool workerRunning = false);
    bool PollOutstanding() const;
    // Blocks until the poller is idle: no read or start outstanding, its result handed on,
    // and the port closed if a Stop came meanwhile. For the download, which shares the
    // connection, and for tests and tools that must wait.
    void WaitIdle();
    // The result of a read of the current run, to be shown: takes its snapshot into the
    // records. False for results of an ended run, or after Stop.
    bool Accept(const LivePollResult& result);
    // Whether the result belongs to the run the last Stop ended, with no start since: its
    // state counts what that run recorded, the read Stop overtook included.
    bool OfStoppedRun(const LivePollResult& result) const {
        return result.run != 0 && result.run == stoppedRun_;
    }

    // Ends the run at once: the port and the record are closed now, or by the poller when
    // what it is doing ends; a start under way is cancelled. Safe to call from the result
    // handler.
    void Stop();

    bool LinkActive() const { return active_; }
    // The records as the caller's thread sees them: the settings and channel configurations
    // of the run, and the snapshot of the last accepted read.
    DeviceRecords& Records() { return shown_; }
    const DeviceRecords& Records() const { return shown_; }
    ModbusRtuImpl& Connection() { return *connection_; }
    // The live series' point counts and extent; the window resets it when a run starts.
    LiveSeriesBook& Series() { return series_; }

private:
    struct StartRequest {
        uint64_t run = 0;
        std::string configPath;
        StartHandler done;
    };

    void PollerLoop();
    LivePollResult ReadOnce(uint64_t run);
    // The tick into the run's log and record; on the poller thread.
    void LogTick(LivePollResult& result);
    LiveStartResult StartOnPoller(const StartRequest& request);
    // The run's ticks into the archive config.ini names, under recorder.
    void StartArchiveRecord(const std::string& configPath, const std::string& recorder,
                            DateTime runStart, const std::vector<std::string>& units,
                            std::string& error);
    // Whether Stop (or the end of the monitor) has cancelled the start of run.
    bool StartCancelled(uint64_t run) const;
    LiveRunState StateOfLog() const;
    // Closes the port and the record: on the poller, or on the caller's thread while the
    // poller is idle.
    void CloseDevice();

    std::string configPath_;
    DeviceRecords records_; // the device side's, touched by the poller while it works
    DeviceRecords shown_;
    std::unique_ptr<SerialPortLayer> portLayer_;
    std::unique_ptr<ModbusRtuImpl> connection_; // after the port layer it uses
    LiveSeriesBook series_;
    LiveRunLog log_;                      // the poller's while it works
    std::vector<int16_t> activeChannels_; // of the run the log records
    std::atomic<bool> active_ = false;
    std::atomic<uint64_t> run_ = 0;
    std::atomic<uint64_t> stoppedRun_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool outstanding_ = false;     // a read is requested or running
    bool starting_ = false;        // a start is running
    bool closeAfterRead_ = false;  // Stop came while a read ran
    uint64_t cancelledStarts_ = 0; // starts of runs up to this one were cancelled
    bool quit_ = false;
    // Set to fail the start's reads not yet begun (a start cancelled, the monitor ending);
    // cleared when the start has ended. abort_ also cuts short the read under way (the
    // monitor ending).
    std::atomic<bool> cancel_ = false;
    std::atomic<bool> abort_ = false;
    uint64_t requestedRun_ = 0;
    uint64_t lastRun_ = 0;       // the last run number given out
    uint64_t expectedStart_ = 0; // the start AcceptStart takes; 0 after Stop
    std::optional<StartRequest> startRequest_;
    ResultHandler handler_;
    std::thread poller_;
};

// "Instrument no response，Instrument address:%d" with the address (GBK).
std::string InstrumentNoResponseText(int32_t address);
