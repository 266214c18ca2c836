#pragma once
// The device side of a live run: the one recorder connection with its records, started with
// the settings of config.ini, polled once per tick and stopped. It shows nothing itself: a
// failed start returns the message the user must see, a failed poll leaves the last values
// standing. Serial transactions run on the caller's thread; a missing reply costs at most the
// link's bound (about a second), so the window stays responsive enough for Stop.

#include "app/realtime/LiveViews.h"
#include "data/RecorderFile.h"
#include "device/ModbusRtuImpl.h"
#include "device/SerialPortLayer.h"

#include <memory>
#include <optional>
#include <string>

class RealTimeMonitor {
public:
    // Ports are the serial devices config.ini's section "PORTS" maps them to (by default
    // /dev/ttyS<n-1>), looked up when the port is opened.
    explicit RealTimeMonitor(std::string configPath);
    // Polls through the given port layer instead.
    RealTimeMonitor(std::string configPath, std::unique_ptr<SerialPortLayer> portLayer);
    ~RealTimeMonitor();
    RealTimeMonitor(const RealTimeMonitor&) = delete;
    RealTimeMonitor& operator=(const RealTimeMonitor&) = delete;

    const std::string& ConfigPath() const { return configPath_; }
    void SetConfigPath(std::string configPath) { configPath_ = std::move(configPath); }

    // Loads the settings, opens the port and checks that the instrument answers and reads the
    // monitored channels' configuration. On success the link is active; otherwise the port is
    // closed again and the result is the message for the user.
    std::optional<UserMessage> Start();
    // One live read while the link is active. False when there is nothing new to show: the
    // link is not active, the read failed, or a worker of the window is running (polling pauses
    // then, so that the worker can read the recording the ticks would otherwise replace).
    bool Poll(bool workerRunning = false);
    // Closes the port when the link is active.
    void Stop();

    bool LinkActive() const { return records_.linkActive; }
    DeviceRecords& Records() { return records_; }
    const DeviceRecords& Records() const { return records_; }
    ModbusRtuImpl& Connection() { return *connection_; }
    // The live series' point counts and extent; the window resets it when a run starts.
    LiveSeriesBook& Series() { return series_; }

private:
    std::string configPath_;
    DeviceRecords records_;
    std::unique_ptr<SerialPortLayer> portLayer_;
    std::unique_ptr<ModbusRtuImpl> connection_; // after the port layer it uses
    LiveSeriesBook series_;
};

// "Instrument no response，Instrument address:%d" with the address (GBK).
std::string InstrumentNoResponseText(int32_t address);
