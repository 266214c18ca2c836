#pragma once
// Small shared routines: where the program lives, where it may write, text splitting and the
// reader of hexadecimal picture files.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Directory of the running executable without a trailing '/'; empty when unknown.
// Callers append names that begin with '/'.
std::string GetProgramDirectory();

// True when programDir is the bin/ folder of an installation: share/paperless-recorder stands
// beside it.
bool IsInstalledProgramDirectory(const std::string& programDir);

// Where config.ini and the load log live: the program directory while it is writable and not
// an installation's, otherwise $XDG_CONFIG_HOME/paperless-recorder (default
// ~/.config/paperless-recorder), created on demand. No trailing '/'.
std::string GetSettingsDirectory();

// $XDG_CONFIG_HOME/paperless-recorder (default ~/.config/paperless-recorder), created on
// demand: the one place every program of the project finds the user's settings. No trailing
// '/'.
std::string GetUserConfigDirectory();

// $XDG_DATA_HOME/paperless-recorder (default ~/.local/share/paperless-recorder), created on
// demand: where the program keeps the user's data, such as the archive. No trailing '/'.
std::string GetUserDataDirectory();

// Clears parts, then appends the pieces between occurrences of separator; empty pieces count.
void SplitText(std::string_view text, std::string_view separator, std::vector<std::string>& parts);

// Reads a text file of "0XHH" byte literals (the first line is a header and is skipped).
// False when the file cannot be opened or a literal has a non-hex digit; bytes keeps what
// was read up to there.
bool LoadHexTextFile(const std::string& path, std::vector<uint8_t>& bytes);
