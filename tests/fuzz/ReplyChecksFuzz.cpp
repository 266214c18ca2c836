// libFuzzer target: whatever bytes come back on the line, the reply checks and a whole read
// transaction end in a result and a text, and never read or write outside their buffers.
//
// Input: selector, address, function (or kind, or echo), destination size, then the reply.

#include "device/ModbusRtuProtocol.h"
#include "device/ScriptedSerialPort.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const uint8_t selector = data[0] % 4;
    const int16_t address = data[1];
    const uint8_t function = data[2];
    const size_t room = data[3];
    // The reply in a buffer of exactly its size, so any read past it is caught.
    const auto length = static_cast<int32_t>(size - 4);
    const auto reply = std::make_unique<uint8_t[]>(static_cast<size_t>(length) + 1);
    std::copy(data + 4, data + size, reply.get());
    std::string error;

    switch (selector) {
    case 0: {
        std::vector<uint16_t> registers(room);
        CheckRegisterReply(address, function, error, reply.get(), length, registers);
        break;
    }
    case 1: {
        std::vector<uint8_t> bits(room);
        CheckBitReply(address, function, error, reply.get(), length, bits);
        break;
    }
    case 2:
        CheckPictureAck(address, static_cast<uint8_t>(0x41 + function % 3), room, error,
                        reply.get(), length);
        break;
    case 3: {
        // A whole transaction: the reply arrives on the scripted line in pieces of `room`
        // bytes at most (0: all at once).
        ScriptedSerialPort port;
        port.QueueIncoming({data + 4, data + size});
        if (room > 0)
            port.readResults.assign(50, static_cast<int32_t>(room));
        SerialComCtl link(port);
        link.Open(1, 9600, error, 1, 8, 0);
        ModbusRtuProtocol protocol;
        ModbusRequest request;
        request.kind = static_cast<RequestKind>(function % 6);
        request.address = address;
        request.start = 0x7000;
        request.count = room;
        std::vector<uint16_t> registers(room);
        std::vector<uint8_t> bits(room);
        request.registers = registers;
        request.bits = bits;
        protocol.Transact(link, request, error);
        break;
    }
    }
    return 0;
}
