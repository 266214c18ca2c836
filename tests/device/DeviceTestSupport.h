#pragma once
// Helpers shared by the device tests.

#include "data/Text.h"
#include "device/ModbusRtuProtocol.h"
#include "device/ScriptedSerialPort.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Appends the CRC low-order byte first, as replies carry it.
inline std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes) {
    const uint16_t crc = Crc16(bytes.data(), bytes.size());
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

inline std::string Utf8(std::string_view gbk) {
    return GbkToUtf8(gbk);
}

// An instrument behind the scripted port: answers register reads from its tables, and stays
// silent when a register is missing or while silentRequests lasts.
struct TableInstrument {
    uint8_t address = 1;
    std::map<int, uint16_t> holding; // function code 3
    std::map<int, uint16_t> input;   // function code 4
    int silentRequests = 0;
    std::vector<int> starts; // first register of every request seen

    void Attach(ScriptedSerialPort& port) {
        port.onWrite = [this, &port](const std::vector<uint8_t>& request) {
            if (request.size() != 8 || request[0] != address)
                return;
            const int start = request[2] << 8 | request[3];
            const int count = request[4] << 8 | request[5];
            starts.push_back(start);
            if (silentRequests > 0) {
                --silentRequests;
                return;
            }
            const auto& table = request[1] == 3 ? holding : input;
            std::vector<uint8_t> reply{address, request[1], static_cast<uint8_t>(count * 2)};
            for (int r = start; r < start + count; ++r) {
                const auto it = table.find(r);
                if (it == table.end())
                    return;
                reply.push_back(static_cast<uint8_t>(it->second >> 8));
                reply.push_back(static_cast<uint8_t>(it->second & 0xFF));
            }
            port.QueueIncoming(WithCrc(reply));
        };
    }
};
