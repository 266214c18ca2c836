#include "app/realtime/ComSettingChoices.h"

#include "device/IniFile.h"
#include "device/PosixSerialPort.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>
#include <tuple>

namespace {

struct Candidate {
    int kind = 0;     // 0 ttyUSB, 1 ttyACM, 2 ttyS
    long number = 0;  // the digits after the prefix
    std::string name; // file name
};

// The kind and number of a device name like ttyUSB12; nothing for other names.
std::optional<Candidate> SerialCandidate(const std::string& name) {
    static constexpr std::string_view Prefixes[] = {"ttyUSB", "ttyACM", "ttyS"};
    for (int kind = 0; kind < 3; ++kind) {
        const std::string_view prefix = Prefixes[kind];
        if (!name.starts_with(prefix) || name.size() == prefix.size())
            continue;
        long number = 0;
        const char* first = name.data() + prefix.size();
        const char* last = name.data() + name.size();
        const auto [ptr, ec] = std::from_chars(first, last, number);
        if (ec == std::errc() && ptr == last)
            return Candidate{kind, number, name};
    }
    return std::nullopt;
}

// False only when sysfs says the legacy port has no UART behind it.
bool UartPresent(const std::filesystem::path& sysClassTty, const std::string& name) {
    std::ifstream type(sysClassTty / name / "type");
    int value = 0;
    if (!(type >> value))
        return true;
    return value != 0;
}

} // namespace

std::vector<std::string> ListSerialDevices(const std::string& deviceDirectory,
                                           const std::string& sysClassTty) {
    namespace fs = std::filesystem;
    std::vector<Candidate> found;
    std::error_code error;
    for (fs::directory_iterator it(deviceDirectory, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        auto candidate = SerialCandidate(name);
        if (!candidate || it->is_directory(error))
            continue;
        if (candidate->kind == 2 && !UartPresent(sysClassTty, name))
            continue;
        found.push_back(std::move(*candidate));
    }
    std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.kind, a.number, a.name) < std::tie(b.kind, b.number, b.name);
    });
    std::vector<std::string> devices;
    for (const Candidate& c : found)
        devices.push_back((fs::path(deviceDirectory) / c.name).string());
    return devices;
}

int32_t PortNumberOfIndex(int32_t portIndex) {
    return portIndex >= 0 && portIndex < 16 ? portIndex + 1 : 0;
}

bool SaveComSettingChoices(const std::string& path, const CommDialogValues& values,
                           const std::string& portDevice) {
    if (!SaveDialogValues(path, values))
        return false;
    const int32_t port = PortNumberOfIndex(values.portIndex);
    if (port == 0 || portDevice == PortDevicePath(path, port))
        return true;
    IniFile file = IniFile::Load(path);
    file.Set(CommSettingsKeys::PortsSection, "COM" + std::to_string(port), portDevice);
    return file.Save(path);
}
