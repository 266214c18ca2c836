#pragma once
// The serial link: the only code that talks to the serial port. Opens one port with the line
// parameters of the settings, writes frames, collects replies of a known length, and can
// reopen the port with the parameters of its last open. Failures are short texts copied into
// the caller's text buffer; nothing is shown and nothing is thrown.

#include "device/SerialPortLayer.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

class SerialComCtl {
public:
    // portLayer must outlive the link.
    explicit SerialComCtl(SerialPortLayer& portLayer);
    virtual ~SerialComCtl();
    SerialComCtl(const SerialComCtl&) = delete;
    SerialComCtl& operator=(const SerialComCtl&) = delete;

    // parity: 0 none, 1 odd, 2 even.
    bool Open(int32_t port, int32_t baudRate, std::string& errorText, int32_t stopBits,
              int32_t dataBits, int32_t parity);
    // Always true. The port number is kept, so a later Send or Receive reaches the port layer,
    // which reports the closed port.
    bool Close();
    // Close, then Open with the remembered port and line parameters.
    bool Reopen(std::string& errorText);
    // Bytes written, at most five port writes; the caller compares the result with length.
    int32_t Send(const uint8_t* bytes, int32_t length, std::string& errorText);
    // Bytes read, at most fifty port reads; fewer than length adds ": timeout". An abort
    // (below) ends it after the port read under way, with "cancelled".
    int32_t Receive(uint8_t* buffer, int32_t length, std::string& errorText);

    // A flag that, once set, cuts short the reply being waited for: the program ends. The rest
    // of that reply still comes down the line. The flag must outlive the link; nullptr: none.
    void SetAbortFlag(const std::atomic<bool>* flag) { abortFlag = flag; }
    bool Aborted() const { return abortFlag && abortFlag->load(); }
    // How long Receive waits for a reply that does not come; zero when the port layer cannot
    // tell.
    std::chrono::milliseconds ReplyWait() const { return MaxReadCalls * portLayer.ReadWait(); }

    // -1 until the first successful port open.
    int32_t port() const { return portNumber; }

    static constexpr int MaxWriteCalls = 5;
    static constexpr int MaxReadCalls = 50;
    // Passed to the port layer's timing set-up as the instrument's software always has.
    static constexpr int32_t ReadTimingValue = 60;
    static constexpr int32_t WriteTimingValue = 30;

private:
    SerialPortLayer& portLayer;
    int32_t portNumber = -1;
    int32_t baudRate = 0;
    int32_t parity = 0;
    int32_t dataBits = 0;
    int32_t stopBits = 0;
    const std::atomic<bool>* abortFlag = nullptr;
};

// Baud code for bits per second, or -1 when the rate is not one the link supports.
int32_t BaudCodeForRate(int32_t bitsPerSecond);
