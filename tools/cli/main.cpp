// paperless-recorder-tool: the recorder data files from the command line, for scripting and
// for checking how files decode.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"

#include "RecorderVersion.h"

#include <cstdio>
#include <string_view>

namespace {

struct Command {
    std::string_view name;
    int (*run)(const std::vector<std::string>&);
    const char* arguments;
    const char* summary;
};

#define RECORDER_TOOL_TABLE_ENTRY(name, Name, arguments, summary)                                  \
    {name, &Run##Name##Command, arguments, summary},
const Command Commands[] = {RECORDER_TOOL_COMMANDS(RECORDER_TOOL_TABLE_ENTRY)
                                RECORDER_TOOL_WINDOW_COMMANDS(RECORDER_TOOL_TABLE_ENTRY)};
#undef RECORDER_TOOL_TABLE_ENTRY

void PrintUsage(FILE* out) {
    std::fprintf(out, "Usage: %s COMMAND [ARGUMENTS]\n\nCommands:\n", ToolName);
    for (const Command& c : Commands)
        std::fprintf(out, "  %.*s %s\n      %s\n", static_cast<int>(c.name.size()), c.name.data(),
                     c.arguments, c.summary);
    std::fprintf(out, "\nExit status: 0 on success, 1 when the file cannot be read or written, "
                      "2 on wrong arguments.\n");
}

} // namespace

int main(int argc, char** argv) {
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
    for (const Command& c : Commands)
        if (c.name == name)
            return c.run(std::vector<std::string>(argv + 2, argv + argc));
    UsageError("unknown command " + std::string(name) + " (try --help)");
    return ExitUsage;
}
