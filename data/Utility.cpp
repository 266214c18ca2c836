#include "data/Utility.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsWritableDirectory(const std::string& dir) {
    return !dir.empty() && access(dir.c_str(), W_OK | X_OK) == 0;
}

void MakeDirectories(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/')
            mkdir(path.substr(0, pos).c_str(), 0755);
    }
}

// $variable/paperless-recorder, or ~/homeFallback/paperless-recorder when the variable is unset
// or not absolute (as the XDG base directories say), created on demand.
std::string UserDirectory(const char* variable, const char* homeFallback) {
    std::string base;
    if (const char* xdg = std::getenv(variable); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + homeFallback;
    else
        base = "/tmp";
    const std::string dir = base + "/paperless-recorder";
    MakeDirectories(dir);
    return dir;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string GetProgramDirectory() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return DirectoryOf(std::string(buffer, static_cast<size_t>(n)));
}

bool IsInstalledProgramDirectory(const std::string& programDir) {
    struct stat info {};
    const std::string share = programDir + "/../share/paperless-recorder";
    return !programDir.empty() && stat(share.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string GetSettingsDirectory() {
    const std::string programDir = GetProgramDirectory();
    // An installed program's directory is shared by every user (and writable by root), so
    // settings then always go to the user's own directory.
    if (!IsInstalledProgramDirectory(programDir) && IsWritableDirectory(programDir))
        return programDir;
    return GetUserConfigDirectory();
}

std::string GetUserConfigDirectory() {
    return UserDirectory("XDG_CONFIG_HOME", "/.config");
}

std::string GetUserDataDirectory() {
    return UserDirectory("XDG_DATA_HOME", "/.local/share");
}

void SplitText(std::string_view text, std::string_view separator, std::vector<std::string>& parts) {
    parts.clear();
    if (separator.empty()) {
        parts.emplace_back(text);
        return;
    }
    size_t start = 0;
    for (size_t hit; (hit = text.find(separator, start)) != std::string_view::npos;) {
        parts.emplace_back(text.substr(start, hit - start));
        start = hit + separator.size();
    }
    parts.emplace_back(text.substr(start));
}

bool LoadHexTextFile(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    // Chunks of 4,096 bytes, each cut at its first zero byte.
    std::string text;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        size_t len = 0;
        while (len < n && chunk[len] != '\0')
            ++len;
        text.append(chunk, len);
    }
    bool ok = true;
    bool pastFirstLine = false;
    for (size_t pos = 0; pos + 4 <= text.size(); ++pos) {
        if (!pastFirstLine) {
            pastFirstLine = text[pos] == '\n';
            continue;
        }
        if (text[pos] != '0' || text[pos + 1] != 'X')
            continue;
        const int high = HexDigit(text[pos + 2]);
        const int low = HexDigit(text[pos + 3]);
        if (high < 0 || low < 0) {
            ok = false;
            break;
        }
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    std::fclose(file);
    return ok;
}
