#include "device/ModbusRtuProtocol.h"

#include "device/DeviceTexts.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// The two tables of the Modbus serial line standard: for an index i, CrcHighTable[i] and
// CrcLowTable[i] are the low and high bytes of the reflected CRC of the single byte i (the
// standard names them after the CRC bytes they update, not after their place in the
// value). Generated here rather than typed in; the tests check them against known entries.
struct CrcTables {
    std::array<uint8_t, 256> high{};
    std::array<uint8_t, 256> low{};
};

constexpr CrcTables MakeCrcTables() {
    CrcTables tables;
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        tables.high[i] = static_cast<uint8_t>(crc & 0xFF);
        tables.low[i] = static_cast<uint8_t>(crc >> 8);
    }
    return tables;
}

constexpr CrcTables Tables = MakeCrcTables();
static_assert(Tables.high[0x01] == 0xC1 && Tables.low[0x01] == 0xC0);
static_assert(Tables.high[0xFF] == 0x40 && Tables.low[0xFF] == 0x40);
static_assert(Tables.high[0x80] == 0x01 && Tables.low[0x80] == 0xA0);

void PutCrcLowFirst(uint8_t* at, uint16_t crc) {
    at[0] = static_cast<uint8_t>(crc & 0xFF);
    at[1] = static_cast<uint8_t>(crc >> 8);
}

void PutCrcHighFirst(uint8_t* at, uint16_t crc) {
    at[0] = static_cast<uint8_t>(crc >> 8);
    at[1] = static_cast<uint8_t>(crc & 0xFF);
}

// The CRC a reply carries in its last two bytes, low-order byte first.
bool ReplyCrcMatches(const uint8_t* reply, int32_t length) {
    const uint16_t carried = static_cast<uint16_t>(reply[length - 2] | (reply[length - 1] << 8));
    return Crc16(reply, static_cast<size_t>(length - 2)) == carried;
}

bool Fail(std::string& errorText, std::string_view text) {
    errorText = text;
    return false;
}

// Checks shared by register and bit replies after the length check: CRC, address, function.
bool CheckReplyHead(int16_t address, uint8_t functionCode, std::string& errorText,
                    const uint8_t* reply, int32_t length) {
    if (!ReplyCrcMatches(reply, length))
        return Fail(errorText, DeviceText::BadCrc);
    if (reply[0] != static_cast<uint8_t>(address))
        return Fail(errorText, DeviceText::BadReplyAddress);
    if (reply[1] != functionCode)
        return Fail(errorText, DeviceText::BadReplyFunction);
    return true;
}

bool IsRegisterFunction(uint8_t functionCode) {
    return functionCode == 3 || functionCode == 4;
}

} // namespace

uint16_t Crc16(const uint8_t* bytes, size_t length) {
    uint8_t first = 0xFF;  // the byte sent first: low-order byte of the value
    uint8_t second = 0xFF; // high-order byte
    for (size_t i = 0; i < length; ++i) {
        const uint8_t index = first ^ bytes[i];
        first = second ^ Tables.high[index];
        second = Tables.low[index];
    }
    return static_cast<uint16_t>(second << 8 | first);
}

uint8_t FunctionCodeForKind(RequestKind kind) {
    switch (kind) {
    case RequestKind::Coils:
        return 1;
    case RequestKind::DiscreteInputs:
        return 2;
    case RequestKind::InputRegisters:
        return 4;
    case RequestKind::HoldingRegisters:
        return 3;
    }
    return 0;
}

int32_t ExpectedReplyLength(uint8_t functionCode, int32_t count) {
    return IsRegisterFunction(functionCode) ? count * 2 + 5 : (count + 7) / 8 + 5;
}

size_t BuildReadRequest(uint8_t* out, int16_t address, uint8_t functionCode, int32_t start,
                        int32_t count) {
    out[0] = static_cast<uint8_t>(address);
    out[1] = functionCode;
    out[2] = static_cast<uint8_t>(start >> 8);
    out[3] = static_cast<uint8_t>(start);
    out[4] = static_cast<uint8_t>(count >> 8);
    out[5] = static_cast<uint8_t>(count);
    PutCrcLowFirst(out + 6, Crc16(out, 6));
    return ModbusFrame::ReadRequestLength;
}

size_t BuildPictureStart(uint8_t* out, int16_t address, int16_t slot) {
    out[0] = static_cast<uint8_t>(address);
    out[1] = ModbusFrame::PictureStart;
    out[2] = static_cast<uint8_t>(slot);
    std::fill(out + 3, out + 9, ModbusFrame::PictureFill);
    PutCrcHighFirst(out + 9, Crc16(out, 9));
    return ModbusFrame::PictureStartLength;
}

size_t BuildPictureBlock(uint8_t* out, int16_t address, int32_t blockNumber,
                         std::span<const uint8_t> data) {
    out[0] = static_cast<uint8_t>(address);
    out[1] = ModbusFrame::PictureData;
    out[2] = static_cast<uint8_t>(blockNumber);
    std::copy(data.begin(), data.end(), out + 3);
    PutCrcHighFirst(out + 3 + data.size(), Crc16(out, 3 + data.size()));
    return data.size() + ModbusFrame::PictureFrameOverhead;
}

size_t BuildPictureEnd(uint8_t* out, int16_t address) {
    out[0] = static_cast<uint8_t>(address);
    out[1] = ModbusFrame::PictureEnd;
    std::fill(out + 2, out + 8, ModbusFrame::PictureFill);
    PutCrcHighFirst(out + 8, Crc16(out, 8));
    return ModbusFrame::PictureEndLength;
}

bool CheckRegisterReply(int16_t address, uint8_t functionCode, std::string& errorText,
                        const uint8_t* reply, int32_t length, std::span<uint16_t> destination) {
    if (length < 7)
        return Fail(errorText, DeviceText::BadReplyLength);
    if (!CheckReplyHead(address, functionCode, errorText, reply, length))
        return false;
    // The byte count must also fit the reply itself: a count running past the CRC would
    // decode bytes that never arrived.
    const int32_t byteCount = reply[2];
    if (byteCount > static_cast<int32_t>(ModbusFrame::MaxRegisterBytes) || byteCount % 2 != 0 ||
        byteCount > length - 5)
        return Fail(errorText, DeviceText::BadReplyByteCount);
    const size_t registers =
        std::min<size_t>(static_cast<size_t>(byteCount / 2), destination.size());
    for (size_t i = 0; i < registers; ++i)
        destination[i] = static_cast<uint16_t>(reply[3 + 2 * i] << 8 | reply[4 + 2 * i]);
    return true;
}

bool CheckBitReply(int16_t address, uint8_t functionCode, std::string& errorText,
                   const uint8_t* reply, int32_t length, std::span<uint8_t> destination) {
    if (length < 6)
        return Fail(errorText, DeviceText::BadReplyLength);
    if (!CheckReplyHead(address, functionCode, errorText, reply, length))
        return false;
    const uint16_t bitCount = static_cast<uint16_t>(static_cast<uint32_t>(length - 5) * 8u);
    if (bitCount > ModbusFrame::MaxReplyBits || reply[2] * 8 != bitCount)
        return Fail(errorText, DeviceText::BadReplyByteCount);
    const size_t bits = std::min<size_t>(bitCount, destination.size());
    for (size_t i = 0; i < bits; ++i)
        destination[i] = (reply[3 + i / 8] >> (i % 8)) & 1;
    return true;
}

bool CheckPictureAck(int16_t address, uint8_t function, int32_t echo, std::string& errorText,
                     const uint8_t* reply, int32_t length) {
    const int32_t expected =
        static_cast<int32_t>(function == ModbusFrame::PictureEnd ? ModbusFrame::PictureEndAckLength
                                                                 : ModbusFrame::PictureAckLength);
    if (length < expected)
        return Fail(errorText, DeviceText::BadReplyLength);
    if (!ReplyCrcMatches(reply, expected))
        return Fail(errorText, DeviceText::BadCrc);
    if (reply[0] != static_cast<uint8_t>(address))
        return Fail(errorText, DeviceText::BadReplyAddress);
    if (reply[1] != function)
        return Fail(errorText, DeviceText::BadReplyFunction);
    // The start acknowledgement's wrong slot has no text of its own.
    if (function == ModbusFrame::PictureStart && reply[2] != static_cast<uint8_t>(echo))
        return Fail(errorText, DeviceText::BadReplyFunction);
    if (function == ModbusFrame::PictureData && reply[2] != static_cast<uint8_t>(echo))
        return Fail(errorText, DeviceText::BadReplyBlock);
    return true;
}

bool ModbusRtuProtocol::TransactOnce(SerialComCtl& link, const ModbusRequest& request,
                                     std::string& errorText) {
    const uint8_t functionCode = FunctionCodeForKind(request.kind);
    if (functionCode == 0)
        return Fail(errorText, DeviceText::InvalidRequestKind);
    // A count whose reply cannot fit the receive buffer is no request the instrument answers;
    // refusing it keeps the receive inside the buffer.
    const int32_t expected = ExpectedReplyLength(functionCode, request.count);
    if (request.count < 0 || expected > static_cast<int32_t>(RxBufferSize))
        return Fail(errorText, DeviceText::InvalidRequestKind);

    const auto requestLength = static_cast<int32_t>(BuildReadRequest(
        txBuffer.data(), request.address, functionCode, request.start, request.count));
    if (link.Send(txBuffer.data(), requestLength, errorText) < requestLength)
        return false;
    if (link.Receive(rxBuffer.data(), expected, errorText) != expected)
        return false;
    if (IsRegisterFunction(functionCode)) {
        // Never more registers than were asked for, whatever the reply's byte count claims.
        const auto room = std::min(request.registers.size(), static_cast<size_t>(request.count));
        return CheckRegisterReply(request.address, functionCode, errorText, rxBuffer.data(),
                                  expected, request.registers.first(room));
    }
    return CheckBitReply(request.address, functionCode, errorText, rxBuffer.data(), expected,
                         request.bits);
}

bool ModbusRtuProtocol::Transact(SerialComCtl& link, const ModbusRequest& request,
                                 std::string& errorText) {
    const bool ok = TransactOnce(link, request, errorText);
    if (ok) {
        failures = 0;
        return true;
    }
    // A wait cut short says nothing about the line.
    if (link.Aborted())
        return false;
    if (++failures > FailuresBeforeReopen) {
        // Eleven failures in a row: the adapter may have been unplugged and plugged back in.
        failures = 0;
        link.Reopen(errorText);
    }
    return false;
}

bool ModbusRtuProtocol::SendPictureStart(SerialComCtl& link, const PictureFrameRequest& request,
                                         std::string& errorText) {
    txBuffer.fill(0);
    const auto length =
        static_cast<int32_t>(BuildPictureStart(txBuffer.data(), request.address, request.slot));
    if (link.Send(txBuffer.data(), length, errorText) < length)
        return false;
    rxBuffer.fill(0);
    const auto ackLength = static_cast<int32_t>(ModbusFrame::PictureAckLength);
    if (link.Receive(rxBuffer.data(), ackLength, errorText) < ackLength)
        return false;
    return CheckPictureAck(request.address, ModbusFrame::PictureStart, request.slot, errorText,
                           rxBuffer.data(), ackLength);
}

bool ModbusRtuProtocol::SendPictureBlock(SerialComCtl& link, const PictureFrameRequest& request,
                                         std::string& errorText) {
    if (request.data.size() + ModbusFrame::PictureFrameOverhead > TxBufferSize)
        return Fail(errorText, DeviceText::InvalidRequestKind);
    txBuffer.fill(0);
    const auto length = static_cast<int32_t>(
        BuildPictureBlock(txBuffer.data(), request.address, request.blockNumber, request.data));
    if (link.Send(txBuffer.data(), length, errorText) < length)
        return false;
    const auto ackLength = static_cast<int32_t>(ModbusFrame::PictureAckLength);
    for (int attempt = 1;; ++attempt) {
        rxBuffer.fill(0);
        if (link.Receive(rxBuffer.data(), ackLength, errorText) == ackLength)
            break;
        if (attempt == PictureAckAttempts)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(PictureAckPauseMs));
    }
    return CheckPictureAck(request.address, ModbusFrame::PictureData, request.blockNumber,
                           errorText, rxBuffer.data(), ackLength);
}

bool ModbusRtuProtocol::SendPictureEnd(SerialComCtl& link, const PictureFrameRequest& request,
                                       std::string& errorText) {
    txBuffer.fill(0);
    const auto length = static_cast<int32_t>(BuildPictureEnd(txBuffer.data(), request.address));
    if (link.Send(txBuffer.data(), length, errorText) < length)
        return false;
    rxBuffer.fill(0);
    const auto ackLength = static_cast<int32_t>(ModbusFrame::PictureEndAckLength);
    if (link.Receive(rxBuffer.data(), ackLength, errorText) < ackLength)
        return false;
    return CheckPictureAck(request.address, ModbusFrame::PictureEnd, 0, errorText, rxBuffer.data(),
                           ackLength);
}
