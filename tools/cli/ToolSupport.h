#pragma once
// What the commands of paperless-recorder-tool share: argument handling and loading a file.

#include "data/RecorderFile.h"
#include "data/RecordingJoin.h"
#include "data/archive/StretchCodec.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* ToolName = "paperless-recorder-tool";
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// Prints "paperless-recorder-tool: <text>" on standard error; returns ExitUsage.
int UsageError(const std::string& text);

// Runs a command and returns its exit status. An exception that escapes it (memory running out
// in a worker of a join, say) ends it with a message on standard error and ExitFailure, never
// with an abort.
int RunCommand(const std::function<int()>& command);

// "archive:NAME" in place of a data file: the recorder NAME of the archive.
inline constexpr std::string_view ArchivePathPrefix = "archive:";
bool IsArchivePath(std::string_view path);

// A data file argument (a folder joins its data files, archive:NAME reads the archive) and the
// load-log switch: "--log" writes the load log into the settings directory, "--log=DIR" into DIR
// (the tool has no settings store to read "OpenLog" from).
struct LoadArguments {
    std::string path;
    LoadLogOptions log;
    // --db URL: where the archive is (an SQLite file or a postgresql:// URI); empty for the
    // default, DefaultArchiveLocation().
    std::string database;
    // --from TIME, --to TIME: only the recording within them (for archive:NAME only that range
    // is read from the database).
    TimeRange range;
};
// Also takes --db, --from and --to. Nullopt after printing what is wrong.
std::optional<LoadArguments> ParseLoadArguments(const std::vector<std::string>& args);

// "--name VALUE" or "--name=VALUE" at args[i], taken out of args with its value. malformed is
// set when the option is there without a value.
std::optional<std::string> TakeOptionValue(std::vector<std::string>& args, size_t i,
                                           const std::string& name, bool& malformed);
// Takes every --db option out of args (the last one counts). False after printing what is
// wrong.
bool TakeDatabaseOption(std::vector<std::string>& args, std::string& database);
// The archive's location from a --db value.
std::string ArchiveLocation(const std::string& database);

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
