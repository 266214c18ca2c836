#include "tools/cli/LinkOptions.h"

#include "device/CommSettingsFile.h"
#include "device/SerialComCtl.h"

#include <charconv>
#include <unistd.h>

const char* const LinkOptionsHelp =
    R"(  --config FILE        settings file (default: the program's own config.ini,
                       ~/.config/paperless-recorder/config.ini); it must exist
  --device PATH        serial device to use, whatever the port number maps to
  --port N             port number, N for COMN
  --baud RATE          1200, 2400, 9600, 19200, 38400, 57600 or 115200
  --parity P           none, odd or even
  --data-bits N        5 to 8
  --stop-bits N        1 or 2
  --address N          instrument address
)";

std::optional<long long> ParseInteger(const std::string& text) {
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<bool> ParseLinkOption(const std::string& option, const std::string& value,
                                    LinkOptions& options) {
    auto number = [&](std::optional<long long>& into, long long low, long long high) {
        into = ParseInteger(value);
        return into && *into >= low && *into <= high;
    };
    if (option == "--config") {
        options.configPath = value;
        return true;
    }
    if (option == "--device") {
        options.device = value;
        return true;
    }
    if (option == "--port")
        return number(options.port, 1, 255);
    if (option == "--baud")
        return number(options.baud, 1, 4'000'000) &&
               BaudCodeForRate(static_cast<int32_t>(*options.baud)) >= 0;
    if (option == "--parity") {
        options.parity = value == "none" ? 0 : value == "odd" ? 1 : value == "even" ? 2 : -1;
        return *options.parity >= 0;
    }
    if (option == "--data-bits")
        return number(options.dataBits, 5, 8);
    if (option == "--stop-bits")
        return number(options.stopBits, 1, 2);
    if (option == "--address")
        return number(options.address, 0, 255);
    return std::nullopt;
}

std::optional<std::string> CheckLinkOptions(const LinkOptions& options) {
    if (!options.configPath.empty() && access(options.configPath.c_str(), R_OK) != 0)
        return "cannot read the settings file " + options.configPath;
    return std::nullopt;
}

std::string LinkConfigPath(const LinkOptions& options) {
    return options.configPath.empty() ? ConfigFilePath() : options.configPath;
}

void LoadLinkSettings(const LinkOptions& options, CommSettings& settings) {
    LoadCommSettings(LinkConfigPath(options), settings);
    auto apply = [](const std::optional<long long>& option, int32_t& into) {
        if (option)
            into = static_cast<int32_t>(*option);
    };
    apply(options.port, settings.port);
    apply(options.baud, settings.baudRate);
    apply(options.parity, settings.parity);
    apply(options.dataBits, settings.dataBits);
    apply(options.stopBits, settings.stopBits);
    apply(options.address, settings.address);
}

std::string LinkDevicePath(const LinkOptions& options, int32_t port) {
    return options.device.empty() ? PortDevicePath(LinkConfigPath(options), port) : options.device;
}

PortDeviceResolver LinkPortResolver(const LinkOptions& options) {
    return [options](int32_t port) { return LinkDevicePath(options, port); };
}
