// Writes the seed corpus of fuzz_reply_checks into the directory given: one valid input for
// each of its paths, built with the framing's own CRC.

#include "device/ModbusRtuProtocol.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes) {
    const uint16_t crc = Crc16(bytes.data(), bytes.size());
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

std::vector<uint8_t> Seed(std::vector<uint8_t> head, const std::vector<uint8_t>& reply) {
    head.insert(head.end(), reply.begin(), reply.end());
    return head;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-directory\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> live{0x01, 0x04, 44};
    for (int i = 0; i < 44; ++i)
        live.push_back(static_cast<uint8_t>(i));
    const std::vector<std::vector<uint8_t>> seeds = {
        Seed({0, 1, 3, 4}, WithCrc({0x01, 0x03, 0x08, 1, 2, 3, 4, 5, 6, 7, 8})),
        Seed({0, 1, 4, 2}, WithCrc({0x01, 0x04, 0x04, 0xFF, 0xFF, 0x80, 0x00})),
        Seed({1, 1, 1, 16}, WithCrc({0x01, 0x01, 0x02, 0x85, 0x42})),
        Seed({2, 1, 0, 0}, WithCrc({0x01, 0x41, 0x00, 0x00})),
        Seed({2, 1, 1, 44}, WithCrc({0x01, 0x42, 0x2C, 0x00})),
        Seed({2, 1, 2, 0}, WithCrc({0x01, 0x43, 0x00})),
        Seed({3, 1, 3, 22}, WithCrc(live)),
        Seed({3, 1, 0, 10}, WithCrc({0x01, 0x01, 0x02, 0xFF, 0x03})),
    };
    for (size_t i = 0; i < seeds.size(); ++i) {
        const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(i);
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out || std::fwrite(seeds[i].data(), 1, seeds[i].size(), out) != seeds[i].size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::fclose(out);
    }
    return 0;
}
