// csv FILE OUT [--log[=DIR]]: the whole recording, every row rather than one page, in the data
// sheet's CSV layout: the header "Serial number,Time,Channel %d(%s)...", one line per row with
// its serial number, time and "%0.3f" values, "-" where a channel has no sample, '\n' line
// ends, unit texts as the GBK bytes the recorder uses. OUT "-" is standard output. A file the
// reader fails on writes nothing.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"

#include "views/SheetCells.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

int RunCsvCommand(const std::vector<std::string>& args) {
    std::vector<std::string> loadArgs;
    std::vector<std::string> paths;
    for (const std::string& arg : args)
        (arg.starts_with("-") && arg != "-" ? loadArgs : paths).push_back(arg);
    if (paths.size() != 2)
        return UsageError("csv needs a data file and an output file (- for standard output)");
    loadArgs.push_back(paths[0]);
    const auto arguments = ParseLoadArguments(loadArgs);
    if (!arguments)
        return ExitUsage;
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    if (LoadRecording(*arguments, info, channels))
        return ExitFailure;

    const std::string& out = paths[1];
    if (out == "-")
        return WriteRecordingCsv(channels, std::cout) ? 0 : ExitFailure;
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", ToolName, out.c_str(),
                     std::strerror(errno));
        return ExitFailure;
    }
    if (!WriteRecordingCsv(channels, file)) {
        std::fprintf(stderr, "%s: writing %s failed\n", ToolName, out.c_str());
        file.close();
        std::error_code ignored;
        std::filesystem::remove(out, ignored);
        return ExitFailure;
    }
    return 0;
}
