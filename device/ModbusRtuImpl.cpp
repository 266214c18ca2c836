#include "device/ModbusRtuImpl.h"

#include "device/DeviceTexts.h"

#include <cstdio>

double ScaleRaw(int16_t raw, uint16_t decimalCode) {
    const int decimals = decimalCode <= 4 ? 4 - decimalCode : 0;
    double value = raw;
    for (int i = 0; i < decimals; ++i)
        value *= 0.1;
    return value;
}

bool InstrumentTimeFromFields(std::span<const uint16_t, 6> f, DateTime& time) {
    // The instrument reports the year within the century; a field that does not fit its two
    // digits makes the text malformed, and the strict parse refuses it.
    char text[64];
    std::snprintf(text, sizeof text, "20%02d-%02d-%02d %02d:%02d:%02d", f[0], f[1], f[2], f[3],
                  f[4], f[5]);
    const auto parsed = ParseDateTime(text);
    if (!parsed)
        return false;
    time = *parsed;
    return true;
}

void EvaluateAlarms(const ChannelConfig& config, LiveSnapshot& snapshot, int k) {
    const float value = snapshot.value[k];
    snapshot.aboveUpper[k] = snapshot.aboveCap[k] = false;
    snapshot.belowFloor[k] = snapshot.belowLower[k] = false;
    if (value > config.upperLimit) {
        snapshot.aboveUpper[k] = snapshot.aboveCap[k] = true;
    } else if (value > config.capLimit) {
        snapshot.aboveCap[k] = true;
    } else if (value < config.lowerLimit) {
        snapshot.belowLower[k] = snapshot.belowFloor[k] = true;
    } else if (value < config.floorLimit) {
        snapshot.belowFloor[k] = true;
    }
}

ModbusRtuImpl::ModbusRtuImpl(SerialPortLayer& portLayer, DeviceRecords& records)
    : link(portLayer), deviceRecords(records) {}

bool ModbusRtuImpl::OpenLink() {
    const CommSettings& s = deviceRecords.commSettings;
    return link.Open(s.port, s.baudRate, deviceRecords.lastError, s.stopBits, s.dataBits, s.parity);
}

void ModbusRtuImpl::CloseLink() {
    link.Close();
}

bool ModbusRtuImpl::Connect() {
    return ReadIdentification() && ReadAllChannelConfigs();
}

bool ModbusRtuImpl::ReadHolding(int32_t start, std::span<uint16_t> words) {
    deviceRecords.lastError.clear();
    if (Cancelled()) {
        deviceRecords.lastError = DeviceText::Cancelled;
        return false;
    }
    ModbusRequest request;
    request.kind = RequestKind::HoldingRegisters;
    request.address = Address();
    request.start = start;
    request.count = static_cast<int32_t>(words.size());
    request.registers = words;
    return framing.Transact(link, request, deviceRecords.lastError);
}

bool ModbusRtuImpl::ReadIdentification() {
    // Only proves that the instrument answers; the words are not used.
    std::array<uint16_t, RecorderRegisters::IdentificationCount> words{};
    return ReadHolding(RecorderRegisters::Identification, words);
}

bool ModbusRtuImpl::ReadChannelConfig(int k) {
    using namespace RecorderRegisters;
    if (k < 0 || k >= RecorderChannelCount)
        return false;
    std::array<uint16_t, ChannelConfigFirstCount> words{};
    if (!ReadHolding(ChannelBlock(k), words))
        return false;
    ChannelConfig& config = deviceRecords.channelConfig[k];
    config.decimalCode = words[DecimalCodeOffset];
    config.unitCode = words[UnitCodeOffset];
    auto limit = [&](int offset) {
        return static_cast<float>(
            ScaleRaw(static_cast<int16_t>(words[offset]), config.decimalCode));
    };
    config.upperLimit = limit(UpperLimitOffset);
    config.capLimit = limit(CapLimitOffset);
    config.floorLimit = limit(FloorLimitOffset);
    config.lowerLimit = limit(LowerLimitOffset);
    // The block's last register is read on its own; its value is not used.
    std::array<uint16_t, 1> last{};
    return ReadHolding(ChannelBlock(k) + ChannelConfigFirstCount, last);
}

bool ModbusRtuImpl::ReadAllChannelConfigs() {
    for (int k = 0; k < RecorderChannelCount; ++k) {
        if (!deviceRecords.commSettings.channelEnabled[k])
            continue;
        if (!ReadChannelConfig(k) && !ReadChannelConfig(k))
            return false;
    }
    return true;
}

bool ModbusRtuImpl::ReadLiveValues() {
    using namespace RecorderRegisters;
    deviceRecords.lastError.clear();
    std::array<uint16_t, LiveBlockCount> words{};
    ModbusRequest request;
    request.kind = RequestKind::InputRegisters;
    request.address = Address();
    request.start = LiveBlock;
    request.count = LiveBlockCount;
    request.registers = words;
    if (!framing.Transact(link, request, deviceRecords.lastError))
        return false;

    LiveSnapshot& snapshot = deviceRecords.liveSnapshot;
    std::copy(words.begin(), words.begin() + 6, snapshot.timeFields.begin());
    DateTime time;
    if (!InstrumentTimeFromFields(snapshot.timeFields, time))
        return false;
    snapshot.instrumentTime = time;
    for (int k = 0; k < RecorderChannelCount; ++k) {
        const ChannelConfig& config = deviceRecords.channelConfig[k];
        snapshot.value[k] = static_cast<float>(
            ScaleRaw(static_cast<int16_t>(words[LiveValuesOffset + k]), config.decimalCode));
        EvaluateAlarms(config, snapshot, k);
    }
    return true;
}

bool ModbusRtuImpl::StartPicture(int16_t slot) {
    PictureFrameRequest request;
    request.address = Address();
    request.slot = slot;
    return framing.SendPictureStart(link, request, deviceRecords.lastError);
}

bool ModbusRtuImpl::SendPictureData(std::span<const uint8_t> data, int32_t blockNumber) {
    PictureFrameRequest request;
    request.address = Address();
    request.data = data;
    request.blockNumber = blockNumber;
    return framing.SendPictureBlock(link, request, deviceRecords.lastError);
}

bool ModbusRtuImpl::EndPicture() {
    PictureFrameRequest request;
    request.address = Address();
    return framing.SendPictureEnd(link, request, deviceRecords.lastError);
}
