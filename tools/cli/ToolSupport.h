#pragma once
// What the commands of paperless-recorder-tool share: argument handling and loading a file.

#include "data/RecorderFile.h"

#include <optional>
#include <string>
#include <vector>

inline constexpr const char* ToolName = "paperless-recorder-tool";
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// Prints "paperless-recorder-tool: <text>" on standard error; returns ExitUsage.
int UsageError(const std::string& text);

// A data file argument and the load-log switch: "--log" writes the load log into the settings
// directory, "--log=DIR" into DIR (the tool has no settings store to read "OpenLog" from).
struct LoadArguments {
    std::string path;
    LoadLogOptions log;
};
// Nullopt after printing what is wrong.
std::optional<LoadArguments> ParseLoadArguments(const std::vector<std::string>& args);

// Reads the file; a reader failure is printed on standard error and returned.
std::optional<UserMessage> LoadRecording(const LoadArguments& arguments, RecordingInfo& info,
                                         std::vector<ChannelInfo>& channels);

// Prints a recording in the "dump" layout (see DumpCommand.cpp) on standard output. Returns
// the exit status: ExitFailure after a failure message or when the output cannot be written.
int PrintDump(const std::optional<UserMessage>& message, const RecordingInfo& info,
              const std::vector<ChannelInfo>& channels);
