// archive add [--db URL] --recorder NAME FILE|FOLDER...: adds recorder files and live records
// to the archive under the recorder's name, one transaction a file, and prints per file the
// samples added and those the archive held already. A file added before adds nothing; one the
// archive refuses (a unit conflict, a file that does not read) is told on standard error and
// the others go on (exit status 1 then).
// archive list [--db URL]: the recorders with their channels, units and time spans.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"

#include "data/Text.h"
#include "data/archive/Archive.h"

#include <cstdio>

namespace {

void PrintArchiveHelp() {
    std::printf(
        "Usage: %s archive add [--db URL] --recorder NAME FILE|FOLDER...\n"
        "       %s archive list [--db URL]\n\n"
        "The archive keeps every recorder's history in one database, as the join of the files\n"
        "added to it: a sample at a time the archive already holds for that recorder's channel\n"
        "is not added (the archive's value stays), a file whose unit differs from the\n"
        "archive's for a channel is refused, and a file added before adds nothing. Each file\n"
        "goes in as one transaction.\n\n"
        "  add    adds recorder data files (.bin, .dat) and live records (.csv) under the\n"
        "         recorder NAME; a FOLDER gives the data files directly in it. The files go in\n"
        "         the order a join takes them (by start time, then name).\n"
        "  list   the recorders with their files, channels, units and time spans.\n\n"
        "  --db URL   the archive: an SQLite file (created by add when missing) or a\n"
        "             postgresql://[user@]host[:port]/dbname URI; the password comes from\n"
        "             ~/.pgpass, a service file or PGPASSWORD. Default:\n"
        "             %s\n\n"
        "Every command that reads a FILE takes archive:NAME in its place, with --db; --from\n"
        "and --to then read only that range of the archive, for example:\n"
        "  %s dump archive:boiler --from \"2015-03-16 00:00:00\" --to \"2015-03-16 23:59:59\"\n",
        ToolName, ToolName, DefaultArchiveLocation().c_str(), ToolName);
}

std::string Time(DateTime t) {
    return FormatDateTime(t, ReadoutTimePattern);
}

int RunAdd(std::vector<std::string> args, const std::string& database) {
    std::string recorder;
    for (size_t i = 0; i < args.size();) {
        bool malformed = false;
        if (auto value = TakeOptionValue(args, i, "--recorder", malformed))
            recorder = *value;
        else if (malformed)
            return UsageError("--recorder needs the recorder's name");
        else if (args[i].starts_with("--"))
            return UsageError("unknown option " + args[i] + " (try archive --help)");
        else
            ++i;
    }
    if (recorder.empty())
        return UsageError("archive add needs --recorder NAME");
    if (args.empty())
        return UsageError("archive add needs files or folders to add");

    std::vector<std::string> paths;
    if (const auto failure = ListArchiveFiles(args, paths)) {
        std::fprintf(stderr, "%s: %s\n", ToolName, GbkToUtf8(failure->text).c_str());
        return ExitFailure;
    }
    UserMessage openFailure;
    const auto archive = Archive::Open(ArchiveLocation(database), true, openFailure);
    if (!archive) {
        std::fprintf(stderr, "%s: %s\n", ToolName, GbkToUtf8(openFailure.text).c_str());
        return ExitFailure;
    }
    int status = 0;
    for (const std::string& path : paths) {
        const ArchiveAddResult result = AddFileToArchive(*archive, recorder, path);
        const std::string line = ArchiveAddText(path, result);
        if (result.outcome == ArchiveAddResult::Outcome::Refused) {
            std::fprintf(stderr, "%s: %s\n", ToolName, line.c_str());
            status = ExitFailure;
        } else {
            std::printf("%s\n", line.c_str());
        }
        std::fflush(stdout);
    }
    return status;
}

int RunList(const std::vector<std::string>& args, const std::string& database) {
    if (!args.empty())
        return UsageError("archive list takes no " + args.front() + " (try archive --help)");
    UserMessage openFailure;
    const auto archive = Archive::Open(ArchiveLocation(database), false, openFailure);
    if (!archive) {
        std::fprintf(stderr, "%s: %s\n", ToolName, GbkToUtf8(openFailure.text).c_str());
        return ExitFailure;
    }
    std::vector<ArchivedRecorder> recorders;
    if (const auto failure = archive->ListRecorders(recorders)) {
        std::fprintf(stderr, "%s: %s\n", ToolName, GbkToUtf8(failure->text).c_str());
        return ExitFailure;
    }
    if (recorders.empty())
        std::printf("No recorders in the archive %s yet.\n", archive->Name().c_str());
    for (const ArchivedRecorder& recorder : recorders) {
        std::printf("%s: %lld file%s, %s to %s\n", recorder.name.c_str(),
                    static_cast<long long>(recorder.files), recorder.files == 1 ? "" : "s",
                    Time(recorder.startTime).c_str(), Time(recorder.endTime).c_str());
        for (const ArchivedChannel& channel : recorder.channels) {
            std::printf("  Channel %d: %s, %lld samples", channel.number,
                        GbkToUtf8(channel.unit).c_str(), static_cast<long long>(channel.samples));
            if (channel.firstTime)
                std::printf(", %s to %s", Time(*channel.firstTime).c_str(),
                            Time(*channel.lastTime).c_str());
            std::printf("\n");
        }
    }
    return 0;
}

} // namespace

int RunArchiveCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h") {
            PrintArchiveHelp();
            return 0;
        }
    std::vector<std::string> rest = args;
    std::string database;
    if (!TakeDatabaseOption(rest, database))
        return ExitUsage;
    if (rest.empty())
        return UsageError("archive needs add or list (try archive --help)");
    const std::string action = rest.front();
    rest.erase(rest.begin());
    if (action == "add")
        return RunAdd(rest, database);
    if (action == "list")
        return RunList(rest, database);
    return UsageError("unknown archive command " + action + " (try archive --help)");
}
