// paperless-recorder-tool: the recorder data files from the command line, for scripting and
// for checking how files decode.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"

#include "RecorderVersion.h"
#include "data/Utility.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <unistd.h>

namespace {

struct Command {
    std::string_view name;
    // Null for the commands that run in the window helper.
    int (*run)(const std::vector<std::string>&);
    const char* arguments;
    const char* summary;
};

#define RECORDER_TOOL_TABLE_ENTRY(name, Name, arguments, summary)                                  \
    {name, &Run##Name##Command, arguments, summary},
#define RECORDER_TOOL_WINDOW_TABLE_ENTRY(name, Name, arguments, summary)                           \
    {name, nullptr, arguments, summary},
const Command Commands[] = {RECORDER_TOOL_COMMANDS(RECORDER_TOOL_TABLE_ENTRY)
                                RECORDER_TOOL_WINDOW_COMMANDS(RECORDER_TOOL_WINDOW_TABLE_ENTRY)};
#undef RECORDER_TOOL_TABLE_ENTRY
#undef RECORDER_TOOL_WINDOW_TABLE_ENTRY

#ifdef RECORDER_TOOL_WINDOW_COMMANDS_BUILT
// The commands that draw run in paperless-recorder-tool-window, beside this program in the
// build tree and in the directory for helper programs when installed. It takes over this
// process: same arguments, standard streams and exit status.
int RunInWindowHelper(char** argv) {
    constexpr const char* helperName = "paperless-recorder-tool-window";
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path dir = self.parent_path();
    const std::filesystem::path candidates[] = {dir / helperName,
                                                dir / RECORDER_TOOL_WINDOW_HELPER_DIR / helperName};
    for (const std::filesystem::path& helper : candidates) {
        if (error || access(helper.c_str(), X_OK) != 0)
            continue;
        argv[0] = const_cast<char*>(helper.c_str());
        execv(helper.c_str(), argv);
        std::fprintf(stderr, "%s: cannot run %s: %s\n", ToolName, helper.c_str(),
                     std::strerror(errno));
        return ExitFailure;
    }
    std::fprintf(stderr, "%s: %s is missing (looked in %s and %s)\n", ToolName, helperName,
                 candidates[0].parent_path().c_str(), candidates[1].parent_path().c_str());
    return ExitFailure;
}
#endif

constexpr const char* FileForms =
    "FILE is a recorder data file, a folder (its data files are joined into one recording) or\n"
    "archive:NAME, the recorder NAME of the archive (--db URL: an SQLite file or a\n"
    "postgresql:// URI, by default ~/.local/share/paperless-recorder/archive.sqlite; --from and\n"
    "--to then read only that range from the database).\n";

void PrintUsage(FILE* out) {
    std::fprintf(out, "Usage: %s COMMAND [ARGUMENTS]\n\nCommands:\n", ToolName);
    for (const Command& c : Commands)
        std::fprintf(out, "  %.*s %s\n      %s\n", static_cast<int>(c.name.size()), c.name.data(),
                     c.arguments, c.summary);
    std::fprintf(out, "\n%s", FileForms);
    std::fprintf(out,
                 "\nExit status: 0 on success, 1 when the file cannot be read or written or the "
                 "command fails otherwise (out of memory, for one), 2 on wrong arguments.\n");
}

// The commands that print a help text of their own.
bool HasOwnHelp(std::string_view name) {
    return name == "sample" || name == "poll" || name == "download" || name == "archive";
}

void PrintCommandHelp(const Command& c) {
    std::printf("Usage: %s %.*s %s\n%s.\n\n%s", ToolName, static_cast<int>(c.name.size()),
                c.name.data(), c.arguments, c.summary, FileForms);
}

} // namespace

int main(int argc, char** argv) {
    KeepFreedMemoryReturned();
    if (argc < 2) {
        PrintUsage(stderr);
        return ExitUsage;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return 0;
    }
    if (name == "--version" || name == "-v") {
        std::printf("%s %s\n", ToolName, RECORDER_VERSION);
        return 0;
    }
    for (const Command& c : Commands) {
        if (c.name != name)
            continue;
        if (!HasOwnHelp(name))
            for (int i = 2; i < argc; ++i)
                if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
                    PrintCommandHelp(c);
                    return 0;
                }
#ifdef RECORDER_TOOL_WINDOW_COMMANDS_BUILT
        if (!c.run)
            return RunInWindowHelper(argv);
#endif
        return RunCommand([&] { return c.run(std::vector<std::string>(argv + 2, argv + argc)); });
    }
    UsageError("unknown command " + std::string(name) + " (try --help)");
    return ExitUsage;
}
