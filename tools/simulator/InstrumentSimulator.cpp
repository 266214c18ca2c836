#include "tools/simulator/InstrumentSimulator.h"

#include "device/ModbusRtuImpl.h"
#include "device/ModbusRtuProtocol.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t ExceptionIllegalFunction = 1;
constexpr uint8_t ExceptionIllegalAddress = 2;
constexpr uint8_t ExceptionIllegalValue = 3;
constexpr int MaxRegistersPerRead = 125;

// Length of a request with this function code, 0 for codes the instrument does not know.
size_t RequestLength(uint8_t functionCode) {
    switch (functionCode) {
    case 1:
    case 2:
    case 3:
    case 4:
        return ModbusFrame::ReadRequestLength;
    case ModbusFrame::PictureStart:
        return ModbusFrame::PictureStartLength;
    case ModbusFrame::PictureData:
        return InstrumentSimulator::PictureBlockSize + ModbusFrame::PictureFrameOverhead;
    case ModbusFrame::PictureEnd:
        return ModbusFrame::PictureEndLength;
    default:
        return 0;
    }
}

bool IsPictureFunction(uint8_t functionCode) {
    return functionCode >= ModbusFrame::PictureStart && functionCode <= ModbusFrame::PictureEnd;
}

// Read requests carry their CRC low-order byte first, the picture frames high-order first.
bool RequestCrcMatches(std::span<const uint8_t> frame) {
    const size_t n = frame.size();
    const uint16_t crc = Crc16(frame.data(), n - 2);
    const uint8_t lowFirst[2] = {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)};
    if (IsPictureFunction(frame[1]))
        return frame[n - 2] == lowFirst[1] && frame[n - 1] == lowFirst[0];
    return frame[n - 2] == lowFirst[0] && frame[n - 1] == lowFirst[1];
}

// Replies always carry their CRC low-order byte first.
std::vector<uint8_t> WithCrc(std::vector<uint8_t> reply) {
    const uint16_t crc = Crc16(reply.data(), reply.size());
    reply.push_back(static_cast<uint8_t>(crc));
    reply.push_back(static_cast<uint8_t>(crc >> 8));
    return reply;
}

std::vector<uint8_t> ExceptionReply(uint8_t address, uint8_t functionCode, uint8_t code) {
    return WithCrc({address, static_cast<uint8_t>(functionCode | 0x80), code});
}

// Identification words: "PR", firmware 1.35, channel count, a serial number.
constexpr uint16_t IdentificationWords[4] = {0x5052, 0x0135, 16, 0x0001};

} // namespace

InstrumentSimulator::InstrumentSimulator(SimulatorOptions options)
    : options(std::move(options)), started(Clock::now()) {
    if (!this->options.clock)
        this->options.clock = NowLocal;
}

SimulatedChannel InstrumentSimulator::Channel(int k) {
    // A mix of decimal positions and units, so the program's scaling and unit texts show.
    static constexpr uint16_t decimalCodes[] = {3, 2, 4, 1};
    static constexpr uint16_t unitCodes[] = {19, 20, 13, 0, 25, 12, 23, 22}; // ℃ % Kpa m3/h ...
    SimulatedChannel c;
    c.decimalCode = decimalCodes[k % 4];
    c.unitCode = unitCodes[k % 8];
    // Raw swings of a tenth for the codes with fewer decimals keep the engineering values in
    // the same tens (50.0 ℃, 50.00 %, 500 Kpa, 5.000 m3/h); every fifth channel swings around 0.
    const int divisor = c.decimalCode >= 3 ? 10 : 1;
    c.centre = static_cast<int16_t>(k % 5 == 4 ? 0 : (5000 + 100 * k) / divisor);
    c.amplitude = static_cast<int16_t>(4500 / divisor);
    c.upper = static_cast<int16_t>(c.centre + 4000 / divisor);
    c.cap = static_cast<int16_t>(c.centre + 3000 / divisor);
    c.floor = static_cast<int16_t>(c.centre - 3000 / divisor);
    c.lower = static_cast<int16_t>(c.centre - 4000 / divisor);
    c.periodSeconds = 30 + 5 * k;
    c.phase = 0.7 * k;
    return c;
}

int16_t InstrumentSimulator::RawValue(int k, double seconds) {
    const SimulatedChannel c = Channel(k);
    const double angle = 2 * std::numbers::pi * seconds / c.periodSeconds + c.phase;
    return static_cast<int16_t>(std::lround(c.centre + c.amplitude * std::sin(angle)));
}

void InstrumentSimulator::SetFaults(const SimulatorFaults& faults) {
    std::lock_guard lock(mutex);
    options.faults = faults;
    requestsSinceFaults = repliesSinceFaults = silencedRequests = liveReadsSinceFaults = 0;
    silenceStarted.reset();
}

void InstrumentSimulator::SetClockBack(double seconds) {
    std::lock_guard lock(mutex);
    clockOffsetSeconds -= seconds;
}

SimulatorFaults InstrumentSimulator::Faults() const {
    std::lock_guard lock(mutex);
    return options.faults;
}

SimulatorStats InstrumentSimulator::Stats() const {
    std::lock_guard lock(mutex);
    return stats;
}

void InstrumentSimulator::LineIdle() {
    std::lock_guard lock(mutex);
    stats.discardedBytes += static_cast<int>(pending.size());
    pending.clear();
}

std::vector<std::vector<uint8_t>> InstrumentSimulator::Receive(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex);
    pending.insert(pending.end(), bytes.begin(), bytes.end());
    std::vector<std::vector<uint8_t>> replies;
    size_t pos = 0;
    // Frames are recognised by their function code's length and a matching CRC; anything else
    // is skipped one byte at a time until a frame lines up again.
    while (pending.size() - pos >= 2) {
        const size_t length = RequestLength(pending[pos + 1]);
        if (length == 0) {
            ++pos;
            ++stats.discardedBytes;
            continue;
        }
        if (pending.size() - pos < length)
            break;
        const std::span<const uint8_t> frame(pending.data() + pos, length);
        if (!RequestCrcMatches(frame)) {
            ++pos;
            ++stats.discardedBytes;
            continue;
        }
        pos += length;
        if (frame[0] != options.address)
            continue; // another instrument's request
        if (auto reply = Handle(frame)) {
            ApplyReplyFaults(*reply);
            ++stats.replies;
            replies.push_back(std::move(*reply));
        }
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(pos));
    return replies;
}

bool InstrumentSimulator::Silenced() {
    const SimulatorFaults& f = options.faults;
    ++requestsSinceFaults;
    if (f.silentAfter < 0 || requestsSinceFaults <= f.silentAfter)
        return false;
    if (!silenceStarted)
        silenceStarted = Clock::now();
    const bool overByCount = f.silentRequests > 0 && silencedRequests >= f.silentRequests;
    const bool overByTime =
        f.silentSeconds > 0 &&
        std::chrono::duration<double>(Clock::now() - *silenceStarted).count() >= f.silentSeconds;
    if (overByCount || overByTime)
        return false;
    ++silencedRequests;
    return true;
}

void InstrumentSimulator::ApplyReplyFaults(std::vector<uint8_t>& reply) {
    const SimulatorFaults& f = options.faults;
    if (f.answerAddress >= 0) {
        reply[0] = static_cast<uint8_t>(f.answerAddress);
        reply = WithCrc({reply.begin(), reply.end() - 2});
    }
    ++repliesSinceFaults;
    if (f.corruptEvery > 0 && repliesSinceFaults % f.corruptEvery == 0)
        reply.back() ^= 0x5A;
}

std::optional<std::vector<uint8_t>> InstrumentSimulator::Handle(std::span<const uint8_t> frame) {
    ++stats.requests;
    if (Silenced())
        return std::nullopt;
    if (IsPictureFunction(frame[1]))
        return HandlePicture(frame);
    return HandleRead(frame);
}

bool InstrumentSimulator::ReadRegister(uint8_t functionCode, int address, uint16_t& value) const {
    using namespace RecorderRegisters;
    if (functionCode == 3) {
        if (address >= Identification && address < Identification + IdentificationCount) {
            value = IdentificationWords[address - Identification];
            return true;
        }
        const int offset = address - ChannelConfigBase;
        if (offset < 0 || offset >= ChannelConfigStride * ChannelCount)
            return false;
        const int k = offset / ChannelConfigStride;
        const SimulatedChannel c = Channel(k);
        switch (offset % ChannelConfigStride) {
        case 0:
            value = static_cast<uint16_t>(k + 1);
            break;
        case DecimalCodeOffset:
            value = c.decimalCode;
            break;
        case UnitCodeOffset:
            value = c.unitCode;
            break;
        case 5:
            value = static_cast<uint16_t>(c.centre + c.amplitude);
            break; // range top
        case 6:
            value = static_cast<uint16_t>(c.centre - c.amplitude);
            break; // range bottom
        case UpperLimitOffset:
            value = static_cast<uint16_t>(c.upper);
            break;
        case CapLimitOffset:
            value = static_cast<uint16_t>(c.cap);
            break;
        case FloorLimitOffset:
            value = static_cast<uint16_t>(c.floor);
            break;
        case LowerLimitOffset:
            value = static_cast<uint16_t>(c.lower);
            break;
        default:
            value = 0;
            break;
        }
        return true;
    }
    if (functionCode == 4) {
        const int offset = address - LiveBlock;
        if (offset < 0 || offset >= LiveBlockCount)
            return false;
        value = liveBlock[static_cast<size_t>(offset)];
        return true;
    }
    return false;
}

std::optional<std::vector<uint8_t>>
InstrumentSimulator::HandleRead(std::span<const uint8_t> frame) {
    const uint8_t address = frame[0];
    const uint8_t functionCode = frame[1];
    if (options.faults.exceptionCode != 0)
        return ExceptionReply(address, functionCode,
                              static_cast<uint8_t>(options.faults.exceptionCode));
    // The program reads no coils or discrete inputs; the instrument has none.
    if (functionCode != 3 && functionCode != 4)
        return ExceptionReply(address, functionCode, ExceptionIllegalFunction);
    const int start = frame[2] << 8 | frame[3];
    const int count = frame[4] << 8 | frame[5];
    if (count < 1 || count > MaxRegistersPerRead)
        return ExceptionReply(address, functionCode, ExceptionIllegalValue);

    if (functionCode == 4) {
        const SimulatorFaults& f = options.faults;
        if (f.clockBackAfter >= 0 && liveReadsSinceFaults++ == f.clockBackAfter)
            clockOffsetSeconds -= f.clockBackSeconds;
        // One consistent snapshot of the clock and the values per read.
        const DateTimeFields now = DecodeDateTime(options.clock() + clockOffsetSeconds * OneSecond);
        const double seconds = options.valueSeconds
                                   ? options.valueSeconds()
                                   : std::chrono::duration<double>(Clock::now() - started).count();
        liveBlock[0] = static_cast<uint16_t>(now.year % 100);
        liveBlock[1] = static_cast<uint16_t>(now.month);
        liveBlock[2] = static_cast<uint16_t>(now.day);
        liveBlock[3] = static_cast<uint16_t>(now.hour);
        liveBlock[4] = static_cast<uint16_t>(now.minute);
        liveBlock[5] = static_cast<uint16_t>(now.second);
        for (int k = 0; k < ChannelCount; ++k)
            liveBlock[static_cast<size_t>(RecorderRegisters::LiveValuesOffset + k)] =
                static_cast<uint16_t>(RawValue(k, seconds));
    }
    std::vector<uint8_t> reply{address, functionCode, static_cast<uint8_t>(count * 2)};
    for (int i = 0; i < count; ++i) {
        uint16_t value;
        if (!ReadRegister(functionCode, start + i, value))
            return ExceptionReply(address, functionCode, ExceptionIllegalAddress);
        reply.push_back(static_cast<uint8_t>(value >> 8));
        reply.push_back(static_cast<uint8_t>(value));
    }
    return WithCrc(std::move(reply));
}

std::optional<std::vector<uint8_t>>
InstrumentSimulator::HandlePicture(std::span<const uint8_t> frame) {
    const uint8_t address = frame[0];
    switch (frame[1]) {
    case ModbusFrame::PictureStart:
        pictureSlot = frame[2];
        stats.lastPictureSlot = frame[2];
        picture.clear();
        nextBlock = 0;
        return WithCrc({address, ModbusFrame::PictureStart, frame[2], 0});
    case ModbusFrame::PictureData: {
        if (!pictureSlot)
            return std::nullopt;
        const uint8_t block = frame[2];
        stats.pictureBlockNumbers.push_back(block);
        if (nextBlock == options.faults.refuseBlock && block == static_cast<uint8_t>(nextBlock))
            return std::nullopt;
        const auto data = frame.subspan(3, PictureBlockSize);
        if (block == static_cast<uint8_t>(nextBlock)) {
            picture.insert(picture.end(), data.begin(), data.end());
            ++nextBlock;
        } else if (nextBlock > 0 && block == static_cast<uint8_t>(nextBlock - 1)) {
            // The acknowledgement got lost and the program sent the block again.
            std::copy(data.begin(), data.end(), picture.end() - PictureBlockSize);
        } else {
            return std::nullopt; // out of sequence: no acknowledgement
        }
        return WithCrc({address, ModbusFrame::PictureData, block, 0});
    }
    case ModbusFrame::PictureEnd: {
        ++stats.pictureEnds;
        if (!pictureSlot)
            return std::nullopt;
        const std::string path = options.pictureOutput.empty()
                                     ? "picture-slot" + std::to_string(*pictureSlot + 1) + ".bin"
                                     : options.pictureOutput;
        pictureSlot.reset();
        stats.lastPictureError.clear();
        FILE* out = std::fopen(path.c_str(), "wb");
        bool saved = out != nullptr;
        if (out && !picture.empty())
            saved = std::fwrite(picture.data(), 1, picture.size(), out) == picture.size();
        if (out && std::fclose(out) != 0)
            saved = false;
        if (!saved) {
            // Without an acknowledgement the program reports the failed load.
            stats.lastPictureError = "cannot write " + path;
            return std::nullopt;
        }
        ++stats.picturesSaved;
        stats.lastPicturePath = path;
        return WithCrc({address, ModbusFrame::PictureEnd, 0});
    }
    }
    return std::nullopt;
}
