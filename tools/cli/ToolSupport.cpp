#include "tools/cli/ToolSupport.h"

#include "data/LiveRecord.h"
#include "data/Text.h"
#include "data/Utility.h"
#include "data/archive/Archive.h"

#include <cstdio>
#include <exception>
#include <new>

int UsageError(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", ToolName, text.c_str());
    return ExitUsage;
}

int RunCommand(const std::function<int()>& command) {
    // What the command printed so far stays in front of the message.
    auto fail = [](const char* text) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", ToolName, text);
        return ExitFailure;
    };
    try {
        return command();
    } catch (const std::bad_alloc&) {
        return fail("out of memory");
    } catch (const std::exception& error) {
        return fail(error.what());
    } catch (...) {
        return fail("unexpected failure");
    }
}

bool IsArchivePath(std::string_view path) {
    return path.starts_with(ArchivePathPrefix);
}

std::optional<std::string> TakeOptionValue(std::vector<std::string>& args, size_t i,
                                           const std::string& name, bool& malformed) {
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size()) {
            malformed = true;
            return std::nullopt;
        }
        std::string value = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return value;
    }
    if (arg.starts_with(name + "=")) {
        std::string value = arg.substr(name.size() + 1);
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        return value;
    }
    return std::nullopt;
}

bool TakeDatabaseOption(std::vector<std::string>& args, std::string& database) {
    for (size_t i = 0; i < args.size();) {
        bool malformed = false;
        if (auto value = TakeOptionValue(args, i, "--db", malformed)) {
            if (value->empty()) {
                UsageError("--db needs the archive's location");
                return false;
            }
            database = *value;
        } else if (malformed) {
            UsageError("--db needs the archive's location");
            return false;
        } else {
            ++i;
        }
    }
    return true;
}

std::string ArchiveLocation(const std::string& database) {
    return database.empty() ? DefaultArchiveLocation() : database;
}

std::optional<LoadArguments> ParseLoadArguments(const std::vector<std::string>& args) {
    LoadArguments parsed;
    std::vector<std::string> rest = args;
    if (!TakeDatabaseOption(rest, parsed.database))
        return std::nullopt;
    for (size_t i = 0; i < rest.size();) {
        bool malformed = false;
        std::optional<DateTime>* end = nullptr;
        std::optional<std::string> value;
        if ((value = TakeOptionValue(rest, i, "--from", malformed)))
            end = &parsed.range.from;
        else if (!malformed && (value = TakeOptionValue(rest, i, "--to", malformed)))
            end = &parsed.range.to;
        if (malformed) {
            UsageError(rest[i] + " needs a time (yyyy-MM-dd HH:mm:ss)");
            return std::nullopt;
        }
        if (!end) {
            ++i;
            continue;
        }
        if (!(*end = ParseDateTime(*value))) {
            UsageError("bad time: " + *value + " (yyyy-MM-dd HH:mm:ss)");
            return std::nullopt;
        }
    }
    bool havePath = false;
    for (const std::string& arg : rest) {
        if (arg == "--log") {
            parsed.log = {true, GetSettingsDirectory()};
        } else if (arg.starts_with("--log=")) {
            parsed.log = {true, arg.substr(6)};
        } else if (arg.starts_with("-") && arg != "-") {
            UsageError("unknown option " + arg);
            return std::nullopt;
        } else if (!havePath) {
            parsed.path = arg;
            havePath = true;
        } else {
            UsageError("one data file only");
            return std::nullopt;
        }
    }
    if (!havePath) {
        UsageError("missing data file");
        return std::nullopt;
    }
    if (parsed.range.from && parsed.range.to && *parsed.range.from > *parsed.range.to) {
        UsageError("--from lies after --to");
        return std::nullopt;
    }
    return parsed;
}

std::optional<UserMessage> ReadDataPath(const LoadArguments& arguments, RecordingInfo& info,
                                        std::vector<ChannelInfo>& channels,
                                        std::vector<JoinedFile>* files) {
    ResetRecordingInfo(info);
    channels.clear();
    if (files)
        files->clear();
    const bool ranged = arguments.range.from || arguments.range.to;
    const bool archived = IsArchivePath(arguments.path);
    // A live run's record opens as File > Open opens it.
    const bool liveRecord = !archived && IsLiveRecordName(arguments.path);
    if (!archived && !ranged && !IsRecordingFolder(arguments.path))
        return liveRecord ? OpenLiveRecord(arguments.path, info, channels)
                          : ReadRecorderFile(arguments.path, info, channels, arguments.log);
    JoinedRecording joined;
    std::optional<UserMessage> message;
    if (archived) {
        UserMessage failure;
        const auto archive = Archive::Open(ArchiveLocation(arguments.database), false, failure);
        if (!archive)
            return failure;
        message =
            archive->Read(arguments.path.substr(ArchivePathPrefix.size()), arguments.range, joined);
    } else {
        message = liveRecord ? OpenLiveRecord(arguments.path, joined.info, joined.channels)
                             : ReadRecordingPath(arguments.path, joined, arguments.log);
        KeepTimeRange(joined, arguments.range);
    }
    info = joined.info;
    channels = std::move(joined.channels);
    if (files)
        *files = std::move(joined.files);
    return message;
}

std::optional<UserMessage> LoadRecording(const LoadArguments& arguments, RecordingInfo& info,
                                         std::vector<ChannelInfo>& channels,
                                         std::vector<JoinedFile>* files) {
    auto message = ReadDataPath(arguments, info, channels, files);
    if (message)
        std::fprintf(stderr, "%s\n", GbkToUtf8(message->text).c_str());
    return message;
}
