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
}

RealTimeMonitor::RealTimeMonitor(std::string configPath, std::unique_ptr<SerialPortLayer> portLayer)
    : configPath_(std::move(configPath)), portLayer_(std::move(portLayer)),
      connection_(std::make_unique<ModbusRtuImpl>(*portLayer_, records_)) {}

RealTimeMonitor::~RealTimeMonitor() {
    Stop();
}

std::optional<UserMessage> RealTimeMonitor::Start() {
    LoadCommSettings(configPath_, records_.commSettings);
    if (!connection_->OpenLink())
        return UserMessage{std::string(DeviceText::SerialInitFailed), MessageIcon::Error};
    if (!connection_->Connect()) {
        connection_->CloseLink();
        return UserMessage{InstrumentNoResponseText(records_.commSettings.address),
                           MessageIcon::Error};
    }
    records_.linkActive = true;
    return std::nullopt;
}

bool RealTimeMonitor::Poll(bool workerRunning) {
    if (!records_.linkActive || workerRunning)
        return false;
    return connection_->ReadLiveValues();
}

void RealTimeMonitor::Stop() {
    if (!records_.linkActive)
        return;
    connection_->CloseLink();
    records_.linkActive = false;
}

std::string InstrumentNoResponseText(int32_t address) {
    char text[128];
    std::snprintf(text, sizeof text, DeviceText::InstrumentNoResponseFormat, address);
    return text;
}
