// paperless-recorder-tool-window: the commands of paperless-recorder-tool that run the
// program's window offscreen. The tool hands them here with its own arguments, so that its
// other commands start without loading Qt.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"

#include <string_view>

int main(int argc, char** argv) {
    if (argc < 2)
        return UsageError("no command (the window commands are run through the tool)");
    const std::string_view name = argv[1];
    return RunCommand([&] {
        const std::vector<std::string> args(argv + 2, argv + argc);
#define RECORDER_TOOL_RUN_WINDOW_COMMAND(command, Name, arguments, summary)                        \
    if (name == command)                                                                           \
        return Run##Name##Command(args);
        RECORDER_TOOL_WINDOW_COMMANDS(RECORDER_TOOL_RUN_WINDOW_COMMAND)
#undef RECORDER_TOOL_RUN_WINDOW_COMMAND
        return UsageError("unknown command " + std::string(name) + " (try --help)");
    });
}
