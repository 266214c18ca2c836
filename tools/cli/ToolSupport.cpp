#include "tools/cli/ToolSupport.h"

#include "data/Text.h"
#include "data/Utility.h"

#include <cctype>
#include <cstdio>
#include <exception>
#include <new>

int UsageError(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", ToolName, text.c_str());
    return ExitUsage;
}

void PrintCommandUsage(std::string_view name, std::string_view arguments,
                       std::string_view summary) {
    std::string sentence(summary);
    if (!sentence.empty())
        sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
    std::printf("Usage: %s %.*s %.*s\n\n%s.\n\nExit status: 0 on success, 1 when the file "
                "cannot be read or written, 2 on wrong arguments.\n",
                ToolName, static_cast<int>(name.size()), name.data(),
                static_cast<int>(arguments.size()), arguments.data(), sentence.c_str());
}

bool AsksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h")
            return true;
    return false;
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

std::optional<LoadArguments> ParseLoadArguments(const std::vector<std::string>& args) {
    LoadArguments parsed;
    bool havePath = false;
    for (const std::string& arg : args) {
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
    return parsed;
}

std::optional<UserMessage> ReadDataPath(const LoadArguments& arguments, RecordingInfo& info,
                                        std::vector<ChannelInfo>& channels,
                                        std::vector<JoinedFile>* files) {
    ResetRecordingInfo(info);
    channels.clear();
    if (files)
        files->clear();
    if (!IsRecordingFolder(arguments.path))
        return ReadRecorderFile(arguments.path, info, channels, arguments.log);
    JoinedRecording joined;
    auto message = ReadRecordingPath(arguments.path, joined, arguments.log);
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
