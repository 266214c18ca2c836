#pragma once
// The port layer on a POSIX terminal device: raw mode, exclusive open, reads bounded by
// poll(). Port n is the device the resolver names for it (by default /dev/ttyS<n-1>; the
// settings file can map it to a USB adapter or the simulator's pseudo-terminal).

#include "device/SerialPortLayer.h"

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <termios.h>

// Device path of port n, or empty when there is none.
using PortDeviceResolver = std::function<std::string(int32_t port)>;

// /dev/ttyS<n-1> for n >= 1, empty otherwise.
std::string DefaultPortDevice(int32_t port);

class PosixSerialPort final : public SerialPortLayer {
public:
    static constexpr std::chrono::milliseconds DefaultReadWait{20};

    explicit PosixSerialPort(PortDeviceResolver resolver = DefaultPortDevice,
                             std::chrono::milliseconds readWait = DefaultReadWait);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    int32_t OpenPort(int32_t port) override;
    int32_t SetTiming(int32_t port, int32_t readTimeout, int32_t writeTimeout) override;
    int32_t SetLineParameters(int32_t port, int32_t baudCode, int32_t lineControl) override;
    int32_t ClosePort(int32_t port) override;
    int32_t Write(int32_t port, const uint8_t* bytes, int32_t count) override;
    int32_t Read(int32_t port, uint8_t* buffer, int32_t count) override;
    std::string LastOpenFailure() const override { return lastOpenFailure; }
    std::chrono::milliseconds ReadWait() const override { return readWait; }

private:
    struct OpenDevice {
        int fd = -1;
        termios original{};
    };
    int FdOf(int32_t port) const;

    PortDeviceResolver resolver;
    std::chrono::milliseconds readWait;
    std::map<int32_t, OpenDevice> openDevices;
    std::string lastOpenFailure;
};

// The cause of a failed open of a serial device, in words, for errno of open() or flock().
std::string SerialOpenFailureText(int error);
