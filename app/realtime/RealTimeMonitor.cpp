#include "app/realtime/RealTimeMonitor.h"

#include "device/CommSettingsFile.h"
#include "device/DeviceTexts.h"
#include "device/PosixSerialPort.h"

#include <cstdio>

RealTimeMonitor::RealTimeMonitor(std::string configPath) : configPath_(std::move(configPath)) {
    // The mapping is read at each open, so a port chosen in the settings dialog takes effect
    // at the next run.
    portLayer_ = std::make_unique<PosixSerialPort>(
        [this](int32_t port) { return PortDevicePath(configPath_, port); });
    connection_ = std::make_unique<ModbusRtuImpl>(*portLayer_, records_);
    poller_ = std::thread([this] { PollerLoop(); });
}

RealTimeMonitor::RealTimeMonitor(std::string configPath, std::unique_ptr<SerialPortLayer> portLayer)
    : configPath_(std::move(configPath)), portLayer_(std::move(portLayer)),
      connection_(std::make_unique<ModbusRtuImpl>(*portLayer_, records_)) {
    poller_ = std::thread([this] { PollerLoop(); });
}

RealTimeMonitor::~RealTimeMonitor() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    poller_.join();
    Stop();
}

std::optional<UserMessage> RealTimeMonitor::Start() {
    WaitIdle();
    // No read is outstanding from here on: the device records are ours.
    CloseDevice();
    LoadCommSettings(configPath_, records_.commSettings);
    std::optional<UserMessage> failure;
    if (!connection_->OpenLink()) {
        failure = UserMessage{std::string(DeviceText::SerialInitFailed), MessageIcon::Error};
    } else if (!connection_->Connect()) {
        connection_->CloseLink();
        failure = UserMessage{InstrumentNoResponseText(records_.commSettings.address),
                              MessageIcon::Error};
    } else {
        records_.linkActive = true;
        active_ = true;
        ++run_;
    }
    shown_ = records_;
    return failure;
}

bool RealTimeMonitor::Poll(bool workerRunning) {
    if (!active_ || workerRunning)
        return false;
    WaitIdle();
    const bool ok = connection_->ReadLiveValues();
    shown_.liveSnapshot = records_.liveSnapshot;
    shown_.lastError = records_.lastError;
    return ok;
}

void RealTimeMonitor::SetResultHandler(ResultHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

bool RealTimeMonitor::BeginPoll(bool workerRunning) {
    if (!active_ || workerRunning)
        return false;
    {
        std::lock_guard lock(mutex_);
        if (outstanding_)
            return false;
        outstanding_ = true;
        requestedRun_ = run_;
    }
    changed_.notify_all();
    return true;
}

bool RealTimeMonitor::PollOutstanding() const {
    std::lock_guard lock(mutex_);
    return outstanding_;
}

void RealTimeMonitor::WaitIdle() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !outstanding_; });
}

bool RealTimeMonitor::Accept(const LivePollResult& result) {
    if (!active_ || result.run != run_)
        return false;
    if (result.ok)
        shown_.liveSnapshot = result.snapshot;
    shown_.lastError = result.lastError;
    return true;
}

LivePollResult RealTimeMonitor::ReadOnce(uint64_t run) {
    LivePollResult result;
    result.run = run;
    result.requested = NowLocal();
    result.ok = connection_->ReadLiveValues();
    // The framing layer reopens the port at the eleventh failure in a row and starts
    // counting again.
    result.reopened = !result.ok && connection_->protocol().failureCount() == 0;
    result.snapshot = records_.liveSnapshot;
    result.lastError = records_.lastError;
    return result;
}

void RealTimeMonitor::PollerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || outstanding_; });
        if (quit_ && !outstanding_)
            return;
        const uint64_t run = requestedRun_;
        lock.unlock();
        LivePollResult result = ReadOnce(run);
        lock.lock();
        if (closeAfterRead_) {
            closeAfterRead_ = false;
            CloseDevice();
        }
        const ResultHandler handler = handler_;
        lock.unlock();
        if (handler)
            handler(std::move(result));
        lock.lock();
        outstanding_ = false;
        changed_.notify_all();
    }
}

void RealTimeMonitor::CloseDevice() {
    if (!records_.linkActive)
        return;
    connection_->CloseLink();
    records_.linkActive = false;
}

void RealTimeMonitor::Stop() {
    active_ = false;
    shown_.linkActive = false;
    log_.Close();
    std::lock_guard lock(mutex_);
    if (outstanding_)
        closeAfterRead_ = true;
    else
        CloseDevice();
}

std::string InstrumentNoResponseText(int32_t address) {
    char text[128];
    std::snprintf(text, sizeof text, DeviceText::InstrumentNoResponseFormat, address);
    return text;
}
