#include "device/CommSettingsFile.h"

#include "data/Utility.h"
#include "device/IniFile.h"
#include "device/PosixSerialPort.h"

namespace {

// An integer key as the platform reads it: missing or empty gives the default.
int32_t ReadInt(const IniFile& file, const char* section, const std::string& key,
                int32_t defaultValue) {
    const auto value = file.Get(section, key);
    return value && !value->empty() ? ParseProfileInt(*value) : defaultValue;
}

int32_t InRangeOr(int32_t value, int32_t first, int32_t last, int32_t replacement) {
    return value < first || value > last ? replacement : value;
}

} // namespace

std::string ConfigFilePath() {
    // Per user rather than beside the executable: the program and the command-line tool live
    // in different directories and must read the same file.
    return GetUserConfigDirectory() + "/config.ini";
}

std::string ChannelKey(int channelNumber) {
    char key[16];
    std::snprintf(key, sizeof key, "CH%02d", channelNumber);
    return key;
}

void LoadCommSettings(const std::string& path, CommSettings& settings) {
    using namespace CommSettingsKeys;
    const IniFile file = IniFile::Load(path);
    // Unsigned addition: a hand-edited port=2147483647 wraps instead of overflowing.
    settings.port =
        static_cast<int32_t>(static_cast<uint32_t>(ReadInt(file, ComSection, Port, 0)) + 1u);
    settings.baudRate = BaudRateChoices[InRangeOr(ReadInt(file, ComSection, BaudRate, 0), 0, 6, 3)];
    settings.parity = InRangeOr(ReadInt(file, ComSection, CheckType, 1), 0, 2, 1);
    settings.dataBits = DataBitChoices[InRangeOr(ReadInt(file, ComSection, DataBit, 3), 0, 3, 3)];
    // The default 2 is itself out of range and becomes index 1: two stop bits.
    settings.stopBits = StopBitChoices[InRangeOr(ReadInt(file, ComSection, StopBit, 2), 0, 1, 1)];
    settings.address = ReadInt(file, ComSection, Address, 1);
    for (int n = 1; n <= RecorderChannelCount; ++n)
        settings.channelEnabled[n - 1] = ReadInt(file, ChannelSection, ChannelKey(n), 1) == 1;
}

CommDialogValues LoadDialogValues(const std::string& path) {
    using namespace CommSettingsKeys;
    const IniFile file = IniFile::Load(path);
    CommDialogValues values;
    values.portIndex = ReadInt(file, ComSection, Port, 0);
    values.baudRateIndex = InRangeOr(ReadInt(file, ComSection, BaudRate, 3), 0, 6, 3);
    values.stopBitIndex = InRangeOr(ReadInt(file, ComSection, StopBit, 1), 0, 1, 1);
    values.dataBitIndex = InRangeOr(ReadInt(file, ComSection, DataBit, 3), 0, 3, 3);
    values.checkTypeIndex = InRangeOr(ReadInt(file, ComSection, CheckType, 1), 0, 2, 1);
    values.addressText = file.Get(ComSection, Address).value_or("1").substr(0, 259);
    for (int n = 1; n <= RecorderChannelCount; ++n)
        values.channelChecked[n - 1] = ReadInt(file, ChannelSection, ChannelKey(n), 1) != 0;
    return values;
}

bool SaveDialogValues(const std::string& path, const CommDialogValues& values) {
    using namespace CommSettingsKeys;
    IniFile file = IniFile::Load(path);
    file.Set(ComSection, Port, std::to_string(values.portIndex));
    file.Set(ComSection, BaudRate, std::to_string(values.baudRateIndex));
    file.Set(ComSection, StopBit, std::to_string(values.stopBitIndex));
    file.Set(ComSection, DataBit, std::to_string(values.dataBitIndex));
    file.Set(ComSection, CheckType, std::to_string(values.checkTypeIndex));
    file.Set(ComSection, Address, values.addressText);
    for (int n = 1; n <= RecorderChannelCount; ++n)
        file.Set(ChannelSection, ChannelKey(n), values.channelChecked[n - 1] ? "1" : "0");
    return file.Save(path);
}

std::string PortDevicePath(const std::string& configPath, int32_t port) {
    if (port < 1)
        return {};
    const auto device =
        IniFile::Load(configPath).Get(CommSettingsKeys::PortsSection, "COM" + std::to_string(port));
    return device && !device->empty() ? *device : DefaultPortDevice(port);
}

RecordSettings LoadRecordSettings(const std::string& path) {
    using namespace RecordSettingsKeys;
    const IniFile file = IniFile::Load(path);
    RecordSettings settings;
    settings.enabled = ReadInt(file, Section, Enabled, 0) == 1;
    settings.folder = file.Get(Section, Folder).value_or(std::string());
    settings.archive = ReadInt(file, Section, Archive, 0) == 1;
    settings.recorder = file.Get(Section, Recorder).value_or(std::string());
    return settings;
}

bool SaveRecordSettings(const std::string& path, const RecordSettings& settings) {
    using namespace RecordSettingsKeys;
    IniFile file = IniFile::Load(path);
    file.Set(Section, Enabled, settings.enabled ? "1" : "0");
    file.Set(Section, Folder, settings.folder);
    file.Set(Section, Archive, settings.archive ? "1" : "0");
    file.Set(Section, Recorder, settings.recorder);
    return file.Save(path);
}

std::string LoadArchiveDatabase(const std::string& path) {
    using namespace ArchiveSettingsKeys;
    return IniFile::Load(path).Get(Section, Database).value_or(std::string());
}

bool SaveArchiveDatabase(const std::string& path, const std::string& database) {
    using namespace ArchiveSettingsKeys;
    IniFile file = IniFile::Load(path);
    file.Set(Section, Database, database);
    return file.Save(path);
}
