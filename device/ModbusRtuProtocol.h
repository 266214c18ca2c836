#pragma once
// Modbus RTU framing between the recorder connection and the serial link: builds the read
// requests (function codes 1 to 4) and the instrument's own picture-transfer frames (0x41,
// 0x42, 0x43), sends them, and checks and decodes the replies. The frame builders and the
// reply checks are pure functions over bytes; only the transactions use the link.

#include "device/SerialComCtl.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// CRC-16/MODBUS (reflected polynomial 0xA001, initial value 0xFFFF, no final XOR), computed
// with the two 256-entry tables of the Modbus serial line standard. Read requests and
// every reply carry it low-order byte first, the picture requests high-order byte first.
uint16_t Crc16(const uint8_t* bytes, size_t length);

enum class RequestKind : int16_t {
    Coils = 0,            // function code 1
    DiscreteInputs = 1,   // function code 2
    InputRegisters = 3,   // function code 4
    HoldingRegisters = 4, // function code 3
};

// Function code of a request kind, or 0 when the kind is not one of the four.
uint8_t FunctionCodeForKind(RequestKind kind);

// One read. Its low 8 bits of address and low 16 bits of start and count go on the wire.
// The decoded payload goes to registers (kinds 3 and 4) or bits (kinds 0 and 1, one entry of
// 0 or 1 per bit); nothing is ever written past the end of either span.
struct ModbusRequest {
    RequestKind kind = RequestKind::HoldingRegisters;
    int16_t address = 0;
    int32_t start = 0;
    int32_t count = 0;
    std::span<uint16_t> registers;
    std::span<uint8_t> bits;
};

// One picture-transfer frame. slot is used by the start frame, data and blockNumber by the
// data frame; their low 8 bits go on the wire.
struct PictureFrameRequest {
    int16_t address = 0;
    int16_t slot = 0;
    std::span<const uint8_t> data;
    int32_t blockNumber = 0;
};

namespace ModbusFrame {
constexpr size_t ReadRequestLength = 8;
constexpr size_t PictureStartLength = 11;
constexpr size_t PictureEndLength = 10;
constexpr size_t PictureFrameOverhead = 5; // data frame: address, 0x42, block, data, CRC
constexpr size_t PictureAckLength = 6;     // start and data acknowledgements
constexpr size_t PictureEndAckLength = 5;
constexpr uint8_t PictureStart = 0x41;
constexpr uint8_t PictureData = 0x42;
constexpr uint8_t PictureEnd = 0x43;
constexpr uint8_t PictureFill = 0xAA;
constexpr size_t MaxRegisterBytes = 250; // byte count limit of a register reply
constexpr int MaxReplyBits = 2000;
} // namespace ModbusFrame

// Frame builders: write the frame at out (which must hold it) and return its length.
size_t BuildReadRequest(uint8_t* out, int16_t address, uint8_t functionCode, int32_t start,
                        int32_t count);
size_t BuildPictureStart(uint8_t* out, int16_t address, int16_t slot);
size_t BuildPictureBlock(uint8_t* out, int16_t address, int32_t blockNumber,
                         std::span<const uint8_t> data);
size_t BuildPictureEnd(uint8_t* out, int16_t address);

// Length of the reply to a read of count registers or bits with this function code.
int32_t ExpectedReplyLength(uint8_t functionCode, int32_t count);

// Reply checks. Each check that fails copies its text into errorText and returns false;
// success writes nothing into errorText and decodes into destination.
//
// Register reply (function codes 3, 4): at most destination.size() registers are decoded.
bool CheckRegisterReply(int16_t address, uint8_t functionCode, std::string& errorText,
                        const uint8_t* reply, int32_t length, std::span<uint16_t> destination);
// Bit reply (function codes 1, 2): every bit of the returned data bytes, at most
// destination.size() of them.
bool CheckBitReply(int16_t address, uint8_t functionCode, std::string& errorText,
                   const uint8_t* reply, int32_t length, std::span<uint8_t> destination);
// Acknowledgement of a picture frame (function 0x41, 0x42 or 0x43); echo is the slot or the
// block number the start and data acknowledgements must repeat.
bool CheckPictureAck(int16_t address, uint8_t function, int32_t echo, std::string& errorText,
                     const uint8_t* reply, int32_t length);

class ModbusRtuProtocol {
public:
    static constexpr size_t TxBufferSize = 1024;
    static constexpr size_t RxBufferSize = 280;
    // A read failing this many times in a row (and one more) reopens the port.
    static constexpr int32_t FailuresBeforeReopen = 10;
    static constexpr int PictureAckAttempts = 6;
    static constexpr int PictureAckPauseMs = 50;

    ModbusRtuProtocol() = default;
    virtual ~ModbusRtuProtocol() = default;

    // One read transaction; on success the payload is in request.registers or request.bits.
    // Counts failures in a row and reopens the link after the eleventh.
    bool Transact(SerialComCtl& link, const ModbusRequest& request, std::string& errorText);

    // One picture frame and its acknowledgement each. They do not count failures.
    bool SendPictureStart(SerialComCtl& link, const PictureFrameRequest& request,
                          std::string& errorText);
    bool SendPictureBlock(SerialComCtl& link, const PictureFrameRequest& request,
                          std::string& errorText);
    bool SendPictureEnd(SerialComCtl& link, const PictureFrameRequest& request,
                        std::string& errorText);

    int32_t failureCount() const { return failures; }

private:
    bool TransactOnce(SerialComCtl& link, const ModbusRequest& request, std::string& errorText);

    int32_t failures = 0;
    std::array<uint8_t, TxBufferSize> txBuffer{};
    std::array<uint8_t, RxBufferSize> rxBuffer{};
};
