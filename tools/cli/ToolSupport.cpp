#include "tools/cli/ToolSupport.h"

#include "data/Text.h"
#include "data/Utility.h"

#include <cstdio>

int UsageError(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", ToolName, text.c_str());
    return ExitUsage;
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

std::optional<UserMessage> LoadRecording(const LoadArguments& arguments, RecordingInfo& info,
                                         std::vector<ChannelInfo>& channels) {
    ResetRecordingInfo(info);
    channels.clear();
    auto message = ReadRecorderFile(arguments.path, info, channels, arguments.log);
    if (message)
        std::fprintf(stderr, "%s\n", GbkToUtf8(message->text).c_str());
    return message;
}
