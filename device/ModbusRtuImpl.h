#pragma once
// The recorder connection: owns the serial link and the framing layer and knows the
// recorder's register map. Reads the identification, each monitored channel's configuration
// and the live block, and sends the picture frames for the picture download.
//
// What it reads goes into DeviceRecords, which the program creates once at start and hands to
// the connection, the live run and the download; they live for the whole run.

#include "data/DateTime.h"
#include "device/ModbusRtuProtocol.h"
#include "device/SerialComCtl.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

constexpr int RecorderChannelCount = 16;

// Communication settings, filled from config.ini by LoadCommSettings at each start.
struct CommSettings {
    int32_t port = 0;     // 1 for COM1
    int32_t baudRate = 0; // bits per second
    int32_t stopBits = 0; // 1 or 2
    int32_t dataBits = 0; // 5 to 8
    int32_t parity = 0;   // 0 none, 1 odd, 2 even
    int32_t address = 0;  // instrument address; its low 8 bits go on the wire
    std::array<bool, RecorderChannelCount> channelEnabled{}; // [k]: channel k + 1 monitored
};

// Configuration of one channel as last read from the instrument (zeros until read).
struct ChannelConfig {
    uint16_t decimalCode = 0;
    uint16_t unitCode = 0; // index into UnitNames
    float upperLimit = 0;  // exceeding it raises aboveUpper and aboveCap
    float capLimit = 0;    // exceeding it raises aboveCap
    float floorLimit = 0;  // falling below it raises belowFloor
    float lowerLimit = 0;  // falling below it raises belowLower and belowFloor
};

// The result of the last successful live read.
struct LiveSnapshot {
    // Year within the century, month, day, hour, minute, second, as read.
    std::array<uint16_t, 6> timeFields{};
    DateTime instrumentTime = 0;
    std::array<float, RecorderChannelCount> value{};
    std::array<bool, RecorderChannelCount> aboveUpper{};
    std::array<bool, RecorderChannelCount> aboveCap{};
    std::array<bool, RecorderChannelCount> belowFloor{};
    std::array<bool, RecorderChannelCount> belowLower{};
};

struct DeviceRecords {
    CommSettings commSettings;
    std::array<ChannelConfig, RecorderChannelCount> channelConfig{};
    LiveSnapshot liveSnapshot;
    // Failure texts of the link and the framing layer (GBK). Never shown to the user.
    std::string lastError;
    // Set while a live run or a picture download uses the port; whoever clears it closes the
    // port first.
    bool linkActive = false;
};

// The recorder's register map.
namespace RecorderRegisters {
constexpr int32_t Identification = 0x2000;
constexpr int32_t IdentificationCount = 4;
constexpr int32_t ChannelConfigBase = 0x1000;
constexpr int32_t ChannelConfigStride = 17; // holding registers per channel
constexpr int32_t ChannelConfigFirstCount = 16;
// Offsets inside a channel's block.
constexpr int DecimalCodeOffset = 3;
constexpr int UnitCodeOffset = 4;
constexpr int UpperLimitOffset = 8;
constexpr int CapLimitOffset = 10;
constexpr int FloorLimitOffset = 12;
constexpr int LowerLimitOffset = 14;
constexpr int32_t LiveBlock = 0x7000;
constexpr int32_t LiveBlockCount = 22; // six clock fields, then 16 raw values
constexpr int LiveValuesOffset = 6;

constexpr int32_t ChannelBlock(int channelIndex) {
    return ChannelConfigBase + ChannelConfigStride * channelIndex;
}
} // namespace RecorderRegisters

// Engineering value of a raw register: decimal code c puts 4 - c decimals (c <= 4); codes
// above 4 leave the value as it is. The product is formed by repeated multiplication by 0.1.
double ScaleRaw(int16_t raw, uint16_t decimalCode);

// The instrument clock of the six live time fields ("20yy-MM-dd HH:mm:ss"); false when they
// do not form a valid date and time.
bool InstrumentTimeFromFields(std::span<const uint16_t, 6> fields, DateTime& time);

// Sets the four alarm flags of channel k of snapshot from its value and the limits; the first
// matching case wins, comparisons are strict.
void EvaluateAlarms(const ChannelConfig& config, LiveSnapshot& snapshot, int k);

class ModbusRtuImpl {
public:
    // Both must outlive the connection.
    ModbusRtuImpl(SerialPortLayer& portLayer, DeviceRecords& records);
    virtual ~ModbusRtuImpl() = default;
    ModbusRtuImpl(const ModbusRtuImpl&) = delete;
    ModbusRtuImpl& operator=(const ModbusRtuImpl&) = delete;

    bool OpenLink();
    void CloseLink();
    // Identification, then every monitored channel's configuration.
    bool Connect();
    bool ReadIdentification();
    bool ReadChannelConfig(int k);
    bool ReadAllChannelConfigs();
    bool ReadLiveValues();

    // Picture download frames; lastError is not cleared first.
    bool StartPicture(int16_t slot);
    bool SendPictureData(std::span<const uint8_t> data, int32_t blockNumber);
    bool EndPicture();

    DeviceRecords& records() { return deviceRecords; }
    const ModbusRtuProtocol& protocol() const { return framing; }
    const SerialComCtl& serialLink() const { return link; }
    // A connection that can be cancelled: once the cancel flag is set, every read not yet
    // begun fails at once (the one under way ends as usual, and the line stays clean for the
    // next user); once the abort flag is set, the read under way fails too, within a port
    // read (see SerialComCtl::SetAbortFlag). Flags must outlive the connection.
    void SetCancelFlag(const std::atomic<bool>* flag) { cancelFlag = flag; }
    void SetAbortFlag(const std::atomic<bool>* flag) { link.SetAbortFlag(flag); }
    bool Cancelled() const { return (cancelFlag && cancelFlag->load()) || link.Aborted(); }

private:
    bool ReadHolding(int32_t start, std::span<uint16_t> words);
    int16_t Address() const { return static_cast<int16_t>(deviceRecords.commSettings.address); }

    SerialComCtl link;
    ModbusRtuProtocol framing;
    DeviceRecords& deviceRecords;
    const std::atomic<bool>* cancelFlag = nullptr;
};
