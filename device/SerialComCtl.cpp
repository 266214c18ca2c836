#include "device/SerialComCtl.h"

#include "device/DeviceTexts.h"

namespace {

// Text for a result of the port's open; empty for results that carry none.
std::string_view OpenFailureText(int32_t result) {
    switch (result) {
    case -1:
        return DeviceText::NoSuchPort;
    case -5:
        return DeviceText::PortInUse;
    case -8:
        return DeviceText::SystemCallFailed;
    default:
        return {};
    }
}

// Text for a write or read result that ends the transfer with a text; empty otherwise.
std::string_view TransferFailureText(int32_t result) {
    switch (result) {
    case -1:
        return DeviceText::PortNotOpened;
    case -7:
        return DeviceText::BadParameter;
    case -11:
        return DeviceText::WriteAborted;
    case -12:
        return DeviceText::WriteTimeout;
    default:
        return {};
    }
}

} // namespace

int32_t BaudCodeForRate(int32_t bitsPerSecond) {
    switch (bitsPerSecond) {
    case 1200:
        return BaudCode::Rate1200;
    case 2400:
        return BaudCode::Rate2400;
    case 9600:
        return BaudCode::Rate9600;
    case 19200:
        return BaudCode::Rate19200;
    case 38400:
        return BaudCode::Rate38400;
    case 57600:
        return BaudCode::Rate57600;
    case 115200:
        return BaudCode::Rate115200;
    default:
        return -1;
    }
}

SerialComCtl::SerialComCtl(SerialPortLayer& portLayer) : portLayer(portLayer) {}

SerialComCtl::~SerialComCtl() {
    Close();
}

bool SerialComCtl::Open(int32_t port, int32_t baudRate, std::string& errorText, int32_t stopBits,
                        int32_t dataBits, int32_t parity) {
    const int32_t opened = portLayer.OpenPort(port);
    if (opened != 0) {
        if (const std::string_view text = OpenFailureText(opened); !text.empty())
            errorText = text;
        return false;
    }
    portNumber = port;
    portLayer.SetTiming(portNumber, ReadTimingValue, WriteTimingValue);
    // Remembered before they are checked, so that Reopen repeats exactly this open.
    this->baudRate = baudRate;
    this->parity = parity;
    this->dataBits = dataBits;
    this->stopBits = stopBits;

    // Line control byte in the layout of a 16550's line control register.
    std::string_view invalid;
    int32_t lineControl = 0;
    const int32_t baudCode = BaudCodeForRate(baudRate);
    if (dataBits < 5 || dataBits > 8)
        invalid = DeviceText::BadDataBits;
    else if (stopBits != 1 && stopBits != 2)
        invalid = DeviceText::BadStopBits;
    else if (parity < 0 || parity > 2)
        invalid = DeviceText::BadParity;
    else if (baudCode < 0)
        invalid = DeviceText::BadBaudRate;
    else
        lineControl = (dataBits - 5) | (stopBits == 2 ? 0x04 : 0) |
                      (parity == 1   ? 0x08
                       : parity == 2 ? 0x18
                                     : 0);
    if (!invalid.empty()) {
        errorText = invalid;
        Close();
        return false;
    }

    const int32_t set = portLayer.SetLineParameters(portNumber, baudCode, lineControl);
    if (set == 0)
        return true;
    if (set == PortResult::BadParameter)
        errorText = DeviceText::BadLineParameter;
    Close();
    return false;
}

bool SerialComCtl::Close() {
    portLayer.ClosePort(portNumber);
    return true;
}

bool SerialComCtl::Reopen(std::string& errorText) {
    Close();
    return Open(portNumber, baudRate, errorText, stopBits, dataBits, parity);
}

int32_t SerialComCtl::Send(const uint8_t* bytes, int32_t length, std::string& errorText) {
    if (portNumber == -1) {
        errorText = DeviceText::PortNeverOpened;
        return 0;
    }
    int32_t written = 0;
    for (int call = 0; call < MaxWriteCalls && written < length; ++call) {
        const int32_t result = portLayer.Write(portNumber, bytes + written, length - written);
        if (result >= 0) {
            written += result;
        } else if (const std::string_view text = TransferFailureText(result); !text.empty()) {
            // Start the frame again from its first byte; the text stays even if that works.
            errorText = text;
            written = 0;
        }
    }
    return written;
}

int32_t SerialComCtl::Receive(uint8_t* buffer, int32_t length, std::string& errorText) {
    if (portNumber == -1)
        return 0;
    int32_t got = 0;
    for (int call = 0; call < MaxReadCalls && got < length; ++call) {
        if (Aborted()) {
            errorText = DeviceText::Cancelled;
            return got;
        }
        const int32_t result = portLayer.Read(portNumber, buffer + got, length - got);
        if (result >= 0) {
            got += result;
            continue;
        }
        if (const std::string_view text = TransferFailureText(result); !text.empty()) {
            errorText = text;
            return 0;
        }
        return got;
    }
    if (got != length)
        errorText = DeviceText::ReceiveTimeout;
    return got;
}
