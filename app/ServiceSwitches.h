#pragma once
// The service switches ("ImportData", "OEMDL", "OpenLog") in the user's settings store.

#include <QString>

#include <memory>

class QSettings;

// The per-user store of the service switches: organisation "Korvane", native format
// (~/.config/Korvane.conf on Linux).
std::unique_ptr<QSettings> OpenServiceSwitches();

// Reads a service switch from the settings' top level: on only when it is the integer 1.
bool ReadServiceSwitch(QSettings& settings, const QString& name);
