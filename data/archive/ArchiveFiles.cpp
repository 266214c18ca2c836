// Files into the archive: which files the arguments name, in the join's order, each read and
// identified by the SHA-256 of its bytes (as sha256sum prints it).

#include "data/archive/Archive.h"

#include "data/LiveRecord.h"
#include "data/Text.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <unistd.h>

namespace {

// The content hash and size of the file; nullopt when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path, uint64_t& size) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    bool ok = context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1;
    std::vector<uint8_t> buffer(1 << 20);
    size = 0;
    while (ok) {
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        size += static_cast<uint64_t>(n);
        ok = EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(n)) == 1;
    }
    close(fd);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!ok || EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
        return std::nullopt;
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

UserMessage AboutFile(const std::string& path, const UserMessage& message) {
    return {Utf8ToGbk(path) + ": " + message.text, message.icon, message.detail};
}

// The recording of a file, which must read completely.
std::optional<UserMessage> DecodeFile(const std::string& path, ArchiveSource& source) {
    ResetRecordingInfo(source.info);
    source.channels.clear();
    auto failure = IsLiveRecordName(path) ? OpenLiveRecord(path, source.info, source.channels)
                                          : ReadRecorderFile(path, source.info, source.channels);
    if (failure) {
        source.channels.clear();
        return AboutFile(path, *failure);
    }
    return std::nullopt;
}

} // namespace

ArchiveAddResult AddFileToArchive(Archive& archive, const std::string& recorder,
                                  const std::string& path) {
    ArchiveAddResult result;
    ArchiveSource source;
    source.path = path;
    const auto hash = FileSha256(path, source.size);
    if (!hash) {
        result.message = AboutFile(path, {"Open file failure!", MessageIcon::Error});
        return result;
    }
    source.sha256 = *hash;
    // A file added before is told without decoding it; Add looks again under its lock.
    std::optional<ArchivedFile> earlier;
    if (auto failure = archive.FindFile(recorder, source.sha256, earlier)) {
        result.message = failure;
        return result;
    }
    if (earlier) {
        result.outcome = ArchiveAddResult::Outcome::AlreadyArchived;
        result.earlier = std::move(earlier);
        return result;
    }
    if (auto failure = DecodeFile(path, source)) {
        result.message = failure;
        return result;
    }
    return archive.Add(recorder, source);
}

std::string ArchiveAddText(const std::string& path, const ArchiveAddResult& result) {
    switch (result.outcome) {
    case ArchiveAddResult::Outcome::Added:
        return path + ": " + std::to_string(result.samplesAdded) + " samples added, " +
               std::to_string(result.samplesHeld) + " already in the archive";
    case ArchiveAddResult::Outcome::AlreadyArchived:
        return path + ": nothing added: already in the archive" +
               (result.earlier
                    ? " (added " + FormatDateTime(result.earlier->addedAt, ReadoutTimePattern) +
                          " as " + result.earlier->path + ")"
                    : std::string());
    case ArchiveAddResult::Outcome::Refused:
        break;
    }
    return result.message ? GbkToUtf8(result.message->text) : path + ": refused";
}

std::optional<UserMessage> ListArchiveFiles(const std::vector<std::string>& arguments,
                                            std::vector<std::string>& paths) {
    paths.clear();
    for (const std::string& argument : arguments) {
        if (!IsRecordingFolder(argument)) {
            paths.push_back(argument);
            continue;
        }
        std::vector<std::string> files;
        if (auto failure = ListRecorderFiles(argument, files))
            return failure;
        paths.insert(paths.end(), files.begin(), files.end());
    }
    // The join's order: a record's start is its first sample, so it is read for it.
    std::vector<std::pair<DateTime, std::string>> ordered;
    for (const std::string& path : paths) {
        std::optional<DateTime> start;
        if (IsLiveRecordName(path)) {
            RecordingInfo info;
            std::vector<ChannelInfo> channels;
            if (!OpenLiveRecord(path, info, channels))
                start = info.startTime;
        } else {
            start = ReadRecorderFileStart(path);
        }
        // A file that does not read goes first; adding it then says why.
        ordered.emplace_back(start.value_or(0), path);
    }
    std::stable_sort(ordered.begin(), ordered.end());
    paths.clear();
    for (auto& [start, path] : ordered)
        paths.push_back(std::move(path));
    return std::nullopt;
}
