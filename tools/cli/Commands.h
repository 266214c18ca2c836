#pragma once
// The commands of paperless-recorder-tool. Each one is a function
//     int Run<Name>Command(const std::vector<std::string>& args)
// in its own file <Name>Command.cpp; args are the words after the command's name, and the
// result is the exit status. Adding a command takes that file and one line in this table.
//
// Where a command reads a data FILE, a folder joins its data files and archive:NAME reads the
// recorder NAME of the archive (--db URL: where the archive is; --from/--to: only that range is
// read).

#include <string>
#include <vector>

// COMMAND(name typed by the user, Name of the handler, arguments, what it does)
#define RECORDER_TOOL_COMMANDS(COMMAND)                                                            \
    COMMAND("info", Info, "FILE [--from T] [--to T] [--db URL] [--log[=DIR]]",                     \
            "channels with units and ranges, time window and sample count")                        \
    COMMAND("dump", Dump, "FILE [--from T] [--to T] [--db URL] [--log[=DIR]]",                     \
            "every stored sample, one line each (UTF-8)")                                          \
    COMMAND("csv", Csv,                                                                            \
            "FILE OUT [--log[=DIR]] [--from TIME] [--to TIME] [--channels LIST] [--page N | "      \
            "--page-at TIME [--page-size P]] [--db URL]",                                          \
            "the data sheet's rows in its CSV layout (OUT - for stdout): every row, the screened " \
            "views' rows, or the file Save writes for one page (--page-at: the page holding "      \
            "TIME)")                                                                               \
    COMMAND("sample", Sample, "OUT [options]",                                                     \
            "write a realistic recorder data file (see --help)")                                   \
    COMMAND("readout", Readout,                                                                    \
            "FILE TIME [--cursor-b TIME2] [--from T] [--to T] [--channels L] [--db URL] "          \
            "[--log[=DIR]]",                                                                       \
            "the chart's read-out with the time cursor at TIME (yyyy-MM-dd HH:mm:ss[.zzz]), "      \
            "with --cursor-b both cursors' values and their difference")                           \
    COMMAND("stats", Stats, "FILE FROM TO [--channels L] [--db URL] [--log[=DIR]]",                \
            "statistics of every stored sample from FROM to TO (either order, ends included), "    \
            "as CSV")                                                                              \
    COMMAND("poll", Poll, "[options]",                                                             \
            "poll one instrument live and print its clock and values each second (see --help)")    \
    COMMAND("import", Import, "CSVFILE",                                                           \
            "the recording a CSV file of single samples imports as, in the dump layout")           \
    COMMAND("download", Download, "PICTURE SLOT [options]",                                        \
            "download a picture file into picture slot 1-6 of the instrument (see --help)")        \
    COMMAND("archive", Archive, "add [--db URL] --recorder NAME FILE|FOLDER... | list [--db URL]", \
            "add recorder files and live records to the archive, or list its recorders (see "      \
            "--help)")

// Commands that run the program's window offscreen: built only with the program (Qt).
#ifdef RECORDER_TOOL_WINDOW_COMMANDS_BUILT
#define RECORDER_TOOL_WINDOW_COMMANDS(COMMAND)                                                     \
    COMMAND("picture", Picture,                                                                    \
            "FILE OUT [--width W] [--height H] [--own-scales] [--from T] [--to T] [--channels L] " \
            "[--db URL]",                                                                          \
            "the trend chart as the window draws it (BMP, JPEG or PNG by OUT's extension)")        \
    COMMAND(                                                                                       \
        "report", Report,                                                                          \
        "FILE OUT.pdf [--page N] [--page-size P] | [--chart [--own-scales]] [--from T] [--to T] "  \
        "[--channels L] [--db URL]",                                                               \
        "the printed list of a data sheet page, or the chart report, as PDF")
#else
#define RECORDER_TOOL_WINDOW_COMMANDS(COMMAND)
#endif

#define RECORDER_TOOL_DECLARE_COMMAND(name, Name, arguments, summary)                              \
    int Run##Name##Command(const std::vector<std::string>& args);
RECORDER_TOOL_COMMANDS(RECORDER_TOOL_DECLARE_COMMAND)
RECORDER_TOOL_WINDOW_COMMANDS(RECORDER_TOOL_DECLARE_COMMAND)
#undef RECORDER_TOOL_DECLARE_COMMAND
