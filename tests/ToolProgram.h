#pragma once
// Runs paperless-recorder-tool as a program, as a script would, for the tests of its commands.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The tool with its arguments quoted; standard output and error go through files in dir.
inline ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                          const std::filesystem::path& dir) {
    std::string command = tool;
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    command += " >" + (dir / "out").string() + " 2>" + (dir / "err").string();
    const int status = std::system(command.c_str());
    ToolResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadText(dir / "out");
    r.err = ReadText(dir / "err");
    return r;
}
