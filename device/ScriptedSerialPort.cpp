#include "device/ScriptedSerialPort.h"

#include <algorithm>

namespace {

int32_t Next(std::deque<int32_t>& script, int32_t otherwise) {
    if (script.empty())
        return otherwise;
    const int32_t result = script.front();
    script.pop_front();
    return result;
}

} // namespace

ScriptedSerialPort::Call& ScriptedSerialPort::Record(Operation operation, int32_t port,
                                                     int32_t first, int32_t second) {
    Call call;
    call.operation = operation;
    call.port = port;
    call.first = first;
    call.second = second;
    calls.push_back(std::move(call));
    return calls.back();
}

int32_t ScriptedSerialPort::OpenPort(int32_t port) {
    Record(Operation::Open, port);
    return Next(openResults, PortResult::Ok);
}

int32_t ScriptedSerialPort::SetTiming(int32_t port, int32_t readTimeout, int32_t writeTimeout) {
    Record(Operation::Timing, port, readTimeout, writeTimeout);
    return PortResult::Ok;
}

int32_t ScriptedSerialPort::SetLineParameters(int32_t port, int32_t baudCode, int32_t lineControl) {
    Record(Operation::LineParameters, port, baudCode, lineControl);
    return Next(lineParameterResults, PortResult::Ok);
}

int32_t ScriptedSerialPort::ClosePort(int32_t port) {
    Record(Operation::Close, port);
    return PortResult::Ok;
}

int32_t ScriptedSerialPort::Write(int32_t port, const uint8_t* bytes, int32_t count) {
    const int32_t result = Next(writeResults, count);
    Call& call = Record(Operation::Write, port, count);
    if (result > 0)
        call.bytes.assign(bytes, bytes + std::min(result, count));
    if (result < 0)
        return result;
    const std::vector<uint8_t> taken = call.bytes; // onWrite may record calls of its own
    if (onWrite && !taken.empty())
        onWrite(taken);
    return static_cast<int32_t>(taken.size());
}

int32_t ScriptedSerialPort::Read(int32_t port, uint8_t* buffer, int32_t count) {
    Record(Operation::Read, port, count);
    const int32_t result = Next(readResults, count);
    if (result < 0)
        return result;
    const auto n = std::min<size_t>(
        {static_cast<size_t>(result), static_cast<size_t>(count), incoming.size()});
    std::copy_n(incoming.begin(), n, buffer);
    incoming.erase(incoming.begin(), incoming.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<int32_t>(n);
}

void ScriptedSerialPort::QueueIncoming(const std::vector<uint8_t>& bytes) {
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
}

int ScriptedSerialPort::CountOf(Operation operation) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [&](const Call& c) { return c.operation == operation; }));
}

std::vector<uint8_t> ScriptedSerialPort::Written() const {
    std::vector<uint8_t> all;
    for (const Call& c : calls)
        if (c.operation == Operation::Write)
            all.insert(all.end(), c.bytes.begin(), c.bytes.end());
    return all;
}
