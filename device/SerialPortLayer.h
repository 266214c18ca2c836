#pragma once
// The six operations the serial link needs from the platform, with the result codes it
// tells apart. SerialComCtl is written against this interface only: PosixSerialPort drives a
// real device, ScriptedSerialPort plays back results for tests.

#include <chrono>
#include <cstdint>
#include <string>

// Results of the port operations. Zero or a byte count means success.
namespace PortResult {
constexpr int32_t Ok = 0;
constexpr int32_t NoSuchPort = -1;    // OpenPort: the device does not exist
constexpr int32_t NotOpened = -1;     // every other operation on a port that is not open
constexpr int32_t InUse = -5;         // OpenPort: already open here or elsewhere
constexpr int32_t BadParameter = -7;  // a value the port cannot take
constexpr int32_t SystemFailure = -8; // OpenPort: the system refused for another reason
constexpr int32_t Aborted = -11;      // the transfer was cut short
constexpr int32_t Timeout = -12;      // the line did not take the bytes in time
constexpr int32_t LineError = -20;    // a read or write failed otherwise; no text goes with it
} // namespace PortResult

class SerialPortLayer {
public:
    virtual ~SerialPortLayer() = default;

    // Ports are numbered from 1 (COM1).
    virtual int32_t OpenPort(int32_t port) = 0;
    // The link passes 60 and 30 and never looks at the result.
    virtual int32_t SetTiming(int32_t port, int32_t readTimeout, int32_t writeTimeout) = 0;
    // baudCode: 7, 9, 12, 13, 14, 15, 16 for 1200 ... 115200 bit/s. lineControl: the layout of
    // a 16550 line control register (bits 0-1 data bits - 5, bit 2 two stop bits, bit 3 parity
    // on, bit 4 even parity).
    virtual int32_t SetLineParameters(int32_t port, int32_t baudCode, int32_t lineControl) = 0;
    virtual int32_t ClosePort(int32_t port) = 0;
    // Bytes written by this call (>= 0) or a negative result.
    virtual int32_t Write(int32_t port, const uint8_t* bytes, int32_t count) = 0;
    // Waits a short bounded time for count bytes and returns how many arrived (0 when none),
    // or a negative result.
    virtual int32_t Read(int32_t port, uint8_t* buffer, int32_t count) = 0;

    // For the user's messages, beyond the six operations: why the last OpenPort failed, in
    // words ("no such device", "permission denied"), and the bounded wait of one Read; empty
    // and zero where the layer cannot tell.
    virtual std::string LastOpenFailure() const { return {}; }
    virtual std::chrono::milliseconds ReadWait() const { return {}; }
};

// Baud codes of SetLineParameters.
namespace BaudCode {
constexpr int32_t Rate1200 = 7;
constexpr int32_t Rate2400 = 9;
constexpr int32_t Rate9600 = 12;
constexpr int32_t Rate19200 = 13;
constexpr int32_t Rate38400 = 14;
constexpr int32_t Rate57600 = 15;
constexpr int32_t Rate115200 = 16;
} // namespace BaudCode
