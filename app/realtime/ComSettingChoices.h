#pragma once
// What the communication settings dialog needs beyond the file's own reading and writing
// rules: which serial devices are present to map a port to, and the "O K" write that also
// records the chosen port's device in section "PORTS".

#include "device/CommSettingsFile.h"

#include <string>
#include <vector>

// Serial devices present: /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyS*, in that order and by
// number within each kind. A ttyS device is listed only when the kernel reports a UART
// behind it (sysfs "type" not 0), or when sysfs says nothing about it: most PCs have 32 ttyS
// nodes and one or two real ports.
std::vector<std::string> ListSerialDevices(const std::string& deviceDirectory = "/dev",
                                           const std::string& sysClassTty = "/sys/class/tty");

// "O K": the dialog's values in sections "COM" and "CHANNEL", then, when a port of the list is
// chosen, COMn=portDevice in section "PORTS". The device line is written when it changes what
// the port maps to, so that a file for the standard ports carries no "PORTS" section. False
// when the file could not be written.
bool SaveComSettingChoices(const std::string& path, const CommDialogValues& values,
                           const std::string& portDevice);

// Port number (1 for COM1) of a port list index, 0 when no port is chosen.
int32_t PortNumberOfIndex(int32_t portIndex);
