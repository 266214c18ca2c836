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

// The settings file the options name.
std::string LinkConfigPath(const LinkOptions& options);
// The settings of the file with the options applied.
void LoadLinkSettings(const LinkOptions& options, CommSettings& settings);
// Opens --device when given, otherwise the device config.ini maps the port number to.
PortDeviceResolver LinkPortResolver(const LinkOptions& options);

std::optional<long long> ParseInteger(const std::string& text);
