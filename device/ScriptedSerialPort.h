#pragma once
// A port layer that plays back scripted results and records every call: the tests of the
// link, the framing and the connection run on it without a device.
//
// Reads deliver the bytes queued in incoming. A scripted read result r >= 0 caps what one
// read may deliver (0: nothing arrived this time); r < 0 is returned as it is. Without a
// script a read delivers all it can. Writes are recorded; a scripted write result caps the
// bytes taken or fails the call. onWrite may queue the reply to what was written.

#include "device/SerialPortLayer.h"

#include <deque>
#include <functional>
#include <vector>

class ScriptedSerialPort final : public SerialPortLayer {
public:
    enum class Operation { Open, Timing, LineParameters, Close, Write, Read };
    struct Call {
        Operation operation = Operation::Open;
        int32_t port = 0;
        int32_t first = 0;  // Timing: read value; LineParameters: baud code; Write/Read: count
        int32_t second = 0; // Timing: write value; LineParameters: line control byte
        std::vector<uint8_t> bytes; // Write: the bytes taken
    };

    int32_t OpenPort(int32_t port) override;
    int32_t SetTiming(int32_t port, int32_t readTimeout, int32_t writeTimeout) override;
    int32_t SetLineParameters(int32_t port, int32_t baudCode, int32_t lineControl) override;
    int32_t ClosePort(int32_t port) override;
    int32_t Write(int32_t port, const uint8_t* bytes, int32_t count) override;
    int32_t Read(int32_t port, uint8_t* buffer, int32_t count) override;

    // Queues bytes for the reads to deliver.
    void QueueIncoming(const std::vector<uint8_t>& bytes);
    int CountOf(Operation operation) const;
    // All bytes taken by writes, in order.
    std::vector<uint8_t> Written() const;

    std::deque<int32_t> openResults;
    std::deque<int32_t> lineParameterResults;
    std::deque<int32_t> writeResults;
    std::deque<int32_t> readResults;
    std::deque<uint8_t> incoming;
    std::function<void(const std::vector<uint8_t>& written)> onWrite;
    std::vector<Call> calls;

private:
    Call& Record(Operation operation, int32_t port, int32_t first = 0, int32_t second = 0);
};
