#pragma once
// What the commands of paperless-recorder-tool share: argument handling and loading a file.

#include "data/RecorderFile.h"
#include "data/RecordingJoin.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* ToolName = "paperless-recorder-tool";
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// Prints "paperless-recorder-tool: <text>" on standard error; returns ExitUsage.
int UsageError(const std::string& text);

// What "COMMAND --help" prints on standard output: the command's usage line, what it does and
// the exit statuses.
void PrintCommandUsage(std::string_view name, std::string_view arguments, std::string_view summary);
// Whether a command's arguments ask for its usage (--help or -h anywhere).
bool AsksForHelp(const std::vector<std::string>& args);

// Runs a command and returns its exit status. An exception that escapes it (memory running out
// in a worker of a join, say) ends it with a message on standard error and ExitFailure, never
// with an abort.
int RunCommand(const std::function<int()>& command);

// A data file argument (a folder joins its data files) and the load-log switch: "--log" writes the
// load log into the settings directory, "--log=DIR" into DIR (the tool has no settings store to
// read "OpenLog" from).
struct LoadArguments {
    std::string path;
    LoadLogOptions log;
};
// Nullopt after printing what is wrong.
std::optional<LoadArguments> ParseLoadArguments(const std::vector<std::string>& args);

// Reads the file, or joins the files of a folder; a failure is printed on standard error and
// returned. files, when given, receives what each joined file contributed.
std::optional<UserMessage> LoadRecording(const LoadArguments& arguments, RecordingInfo& info,
                                         std::vector<ChannelInfo>& channels,
                                         std::vector<JoinedFile>* files = nullptr);

// The one reading step of the tool: a file as File > Open reads it, a folder as Open folder
// joins it.
std::optional<UserMessage> ReadDataPath(const LoadArguments& arguments, RecordingInfo& info,
                                        std::vector<ChannelInfo>& channels,
                                        std::vector<JoinedFile>* files = nullptr);

// Prints a recording in the "dump" layout (see DumpCommand.cpp) on standard output. Returns
// the exit status: ExitFailure after a failure message or when the output cannot be written.
int PrintDump(const std::optional<UserMessage>& message, const RecordingInfo& info,
              const std::vector<ChannelInfo>& channels);
