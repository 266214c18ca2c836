#pragma once
// config.ini access with the behaviour of the platform's private-profile functions the
// settings were always written with: section and key names compare without regard to case,
// keys and values are trimmed, the first matching section and key win, and a write changes
// one line (or adds one) while every other section, key, comment and line ending of the file
// stays as it was.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniFile {
public:
    // A missing or unreadable file gives an empty document.
    static IniFile Load(const std::string& path);

    // The value of key in section, or nothing when the section or key is missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Replaces the value of the key's line, or adds the key at the end of its section, or the
    // section at the end of the document.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Writes the document through a temporary file in the same directory and renames it over
    // path, so a failed write never leaves a half-written file. A symbolic link is followed
    // (its target is replaced, the link stays) and the file keeps its permissions. False on
    // any failure, and for a file that is not writable (which is left as it is).
    bool Save(const std::string& path) const;

    const std::string& Text() const { return text; }
    static IniFile FromText(std::string text);

private:
    struct Line {
        size_t begin = 0; // offset of the line in text
        size_t end = 0;   // offset of its line break (or of the end of text)
    };
    std::vector<Line> Lines() const;
    std::string LineBreak() const;

    std::string text;
};

// The private-profile integer reading: an optional minus sign and the decimal digits after
// it; a text that does not start that way reads as 0.
int32_t ParseProfileInt(std::string_view text);

// Single-value reads and writes on a file, as the platform's functions do them.
int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                       int32_t defaultValue);
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue);
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);
