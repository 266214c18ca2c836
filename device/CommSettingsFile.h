#pragma once
// The communication settings in config.ini: section "COM" (port, line parameters, address),
// section "CHANNEL" (CH01 ... CH16, the monitored channels) and section "PORTS" (COMn=device,
// where a port number is not /dev/ttyS<n-1>). All values but the address and the devices
// are list indices as the settings dialog writes them.

#include "device/ModbusRtuImpl.h"

#include <array>
#include <cstdint>
#include <string>

namespace CommSettingsKeys {
inline constexpr const char* ComSection = "COM";
inline constexpr const char* ChannelSection = "CHANNEL";
inline constexpr const char* PortsSection = "PORTS";
inline constexpr const char* Port = "port";
inline constexpr const char* BaudRate = "baudRate";
inline constexpr const char* StopBit = "stopBit";
inline constexpr const char* DataBit = "dataBit";
inline constexpr const char* CheckType = "checkType";
inline constexpr const char* Address = "address";
} // namespace CommSettingsKeys

// The lists the indices point into.
inline constexpr std::array<int32_t, 7> BaudRateChoices = {1200,  2400,  9600,  19200,
                                                           38400, 57600, 115200};
inline constexpr std::array<int32_t, 2> StopBitChoices = {1, 2};
inline constexpr std::array<int32_t, 4> DataBitChoices = {5, 6, 7, 8};

// GetUserConfigDirectory() + "/config.ini", shared by the program and the command-line tool.
std::string ConfigFilePath();

// "CH01" ... "CH16" for channel numbers 1 ... 16.
std::string ChannelKey(int channelNumber);

// Reads the file into settings (defaults for a missing file or key; values outside the lists
// replaced). Never fails.
void LoadCommSettings(const std::string& path, CommSettings& settings);

// What the settings dialog shows and writes: list indices (-1 for no selection), the address
// text as typed, and the channel check marks.
struct CommDialogValues {
    int32_t portIndex = 0;
    int32_t baudRateIndex = 3;
    int32_t stopBitIndex = 1;
    int32_t dataBitIndex = 3;
    int32_t checkTypeIndex = 1;
    std::string addressText = "1";
    std::array<bool, RecorderChannelCount> channelChecked{};
};

// The dialog's own reading rules, which differ from LoadCommSettings for hand-edited files.
CommDialogValues LoadDialogValues(const std::string& path);
// The writes of the dialog's "O K": section "COM", then CH01 ... CH16 of "CHANNEL"; every
// other line of the file is kept. False when the file could not be written.
bool SaveDialogValues(const std::string& path, const CommDialogValues& values);

// Device path of port n: the "COMn" entry of section "PORTS" when there is one, otherwise
// /dev/ttyS<n-1>; empty for n < 1.
std::string PortDevicePath(const std::string& configPath, int32_t port);

// Recording of live runs, in config.ini's section "RECORD": enabled=1 writes every tick of a
// run to a file in folder; archive=1 records every tick into the archive under the recorder
// name (the archive of ArchiveSettings). Either, both or neither; off by default.
namespace RecordSettingsKeys {
inline constexpr const char* Section = "RECORD";
inline constexpr const char* Enabled = "enabled";
inline constexpr const char* Folder = "folder";
inline constexpr const char* Archive = "archive";
inline constexpr const char* Recorder = "recorder";
} // namespace RecordSettingsKeys
struct RecordSettings {
    bool enabled = false;
    std::string folder;
    bool archive = false;
    std::string recorder; // UTF-8
    friend bool operator==(const RecordSettings&, const RecordSettings&) = default;
};
RecordSettings LoadRecordSettings(const std::string& path);
// Every other line of the file is kept. False when the file could not be written.
bool SaveRecordSettings(const std::string& path, const RecordSettings& settings);

// The window's archive, in config.ini's section "ARCHIVE": database= an SQLite file's path or
// a postgresql:// URI; empty for the default file. A password never belongs here (the server's
// password file or service file holds it): the settings dialog refuses one.
namespace ArchiveSettingsKeys {
inline constexpr const char* Section = "ARCHIVE";
inline constexpr const char* Database = "database";
} // namespace ArchiveSettingsKeys
std::string LoadArchiveDatabase(const std::string& path);
bool SaveArchiveDatabase(const std::string& path, const std::string& database);
