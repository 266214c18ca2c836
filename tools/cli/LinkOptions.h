#pragma once
// The options of the commands that talk to an instrument (poll, download): where the settings
// come from, which device to use and the line parameters that override config.ini.

#include "device/ModbusRtuImpl.h"
#include "device/PosixSerialPort.h"

#include <optional>
#include <string>

// The options' lines of a usage text.
extern const char* const LinkOptionsHelp;

struct LinkOptions {
    std::string configPath; // empty: config.ini in the settings directory
    std::string device;     // empty: whatever the port number maps to
    std::optional<long long> port, baud, parity, dataBits, stopBits, address;
};

// Nullopt when option is none of the link options; otherwise whether value is good for it.
std::optional<bool> ParseLinkOption(const std::string& option, const std::string& value,
                                    LinkOptions& options);

// What is wrong with options that each parsed well: a settings file named on purpose must be
// there (working on defaults instead would only look right). Nullopt when nothing is.
std::optional<std::string> CheckLinkOptions(const LinkOptions& options);

// The settings file the options name.
std::string LinkConfigPath(const LinkOptions& options);
// The settings of the file with the options applied.
void LoadLinkSettings(const LinkOptions& options, CommSettings& settings);
// --device when given, otherwise the device config.ini maps the port number to: the one the
// messages name.
std::string LinkDevicePath(const LinkOptions& options, int32_t port);
// Opens LinkDevicePath.
PortDeviceResolver LinkPortResolver(const LinkOptions& options);

std::optional<long long> ParseInteger(const std::string& text);
