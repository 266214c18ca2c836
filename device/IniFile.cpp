#include "device/IniFile.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string_view Trim(std::string_view s) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const size_t close = line.find(']');
    return Trim(
        line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

bool IsComment(std::string_view line) {
    line = Trim(line);
    return !line.empty() && line.front() == ';';
}

} // namespace

IniFile IniFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    if (in)
        content << in.rdbuf();
    return FromText(content.str());
}

IniFile IniFile::FromText(std::string text) {
    IniFile file;
    file.text = std::move(text);
    return file;
}

std::vector<IniFile::Line> IniFile::Lines() const {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t brk = text.find('\n', pos);
        const size_t end = brk == std::string::npos ? text.size() : brk;
        lines.push_back({pos, end});
        pos = brk == std::string::npos ? text.size() : brk + 1;
    }
    return lines;
}

std::string IniFile::LineBreak() const {
    const size_t brk = text.find('\n');
    return brk != std::string::npos && brk > 0 && text[brk - 1] == '\r' ? "\r\n" : "\n";
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const Line& line : Lines()) {
        const std::string_view content(text.data() + line.begin, line.end - line.begin);
        if (const auto name = SectionName(content)) {
            // Only the first section of that name counts.
            if (inSection)
                break;
            inSection = SameName(*name, section);
            continue;
        }
        if (!inSection || IsComment(content))
            continue;
        const size_t equals = content.find('=');
        if (equals == std::string_view::npos || !SameName(Trim(content.substr(0, equals)), key))
            continue;
        std::string_view value = Trim(content.substr(equals + 1));
        // A value in double quotes is read without them.
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    // A line break inside a value would start a line of its own.
    value = value.substr(0, value.find_first_of("\r\n"));
    const std::string brk = LineBreak();
    bool inSection = false;
    std::optional<Line> lastLineOfSection; // its last non-blank line, or its header
    for (const Line& line : Lines()) {
        const std::string_view content(text.data() + line.begin, line.end - line.begin);
        if (const auto name = SectionName(content)) {
            if (inSection)
                break;
            inSection = SameName(*name, section);
            if (inSection)
                lastLineOfSection = line;
            continue;
        }
        if (!inSection || Trim(content).empty())
            continue;
        lastLineOfSection = line;
        const size_t equals = content.find('=');
        if (IsComment(content) || equals == std::string_view::npos)
            continue;
        const std::string_view lineKey = Trim(content.substr(0, equals));
        if (!SameName(lineKey, key))
            continue;
        // Keep the key as the file spells it, and the line's own '\r'.
        std::string replacement = std::string(lineKey) + "=" + std::string(value);
        if (content.back() == '\r')
            replacement += '\r';
        text.replace(line.begin, line.end - line.begin, replacement);
        return;
    }
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    if (lastLineOfSection) {
        if (lastLineOfSection->end < text.size())
            text.insert(lastLineOfSection->end + 1, keyLine + brk);
        else
            text += brk + keyLine;
        return;
    }
    if (!text.empty() && text.back() != '\n')
        text += brk;
    text += "[" + std::string(section) + "]" + brk + keyLine + brk;
}

namespace {

// The file a path names after following symbolic links (a dangling link names its target,
// which the write then creates). Relative links are taken from the link's own directory.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        char target[4096];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return path;
        std::string next(target, static_cast<size_t>(n));
        if (next.front() != '/') {
            const size_t slash = path.rfind('/');
            if (slash != std::string::npos)
                next = path.substr(0, slash + 1) + next;
        }
        path = std::move(next);
    }
    return path;
}

} // namespace

bool IniFile::Save(const std::string& path) const {
    // A link is kept: the write goes to the file it points to.
    const std::string target = FollowLinks(path);
    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    // A read-only file is the user's decision, not ours to replace (root passes access(), so
    // the mode bits are asked as well).
    if (exists && (access(target.c_str(), W_OK) != 0 || (existing.st_mode & 0222) == 0))
        return false;
    const std::string temporary = target + ".tmp" + std::to_string(getpid());
    FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out)
        return false;
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    // The replacement keeps the file's permissions (and its owner, where we may set it).
    if (exists) {
        written = written && fchmod(fileno(out), existing.st_mode & 07777) == 0;
        [[maybe_unused]] const int owned = fchown(fileno(out), existing.st_uid, existing.st_gid);
    }
    const bool flushed = std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    if (std::fclose(out) != 0 || !written || !flushed ||
        std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

int32_t ParseProfileInt(std::string_view text) {
    size_t pos = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        pos = 1;
    // Wraps like the platform's 32-bit arithmetic instead of overflowing.
    uint32_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = value * 10u + static_cast<uint32_t>(text[pos] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

int32_t ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                       int32_t defaultValue) {
    const auto value = IniFile::Load(path).Get(section, key);
    // An empty value counts as missing, as with the platform's integer read.
    if (!value || value->empty())
        return defaultValue;
    return ParseProfileInt(*value);
}

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue) {
    const auto value = IniFile::Load(path).Get(section, key);
    return value ? *value : std::string(defaultValue);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    IniFile file = IniFile::Load(path);
    file.Set(section, key, value);
    return file.Save(path);
}
