// download PICTURE SLOT [options]: the picture download of the window's "OEM Load" dialog from
// the shell. One progress line per acknowledged frame, then the dialog's final message.

#include "tools/cli/Commands.h"
#include "tools/cli/LinkOptions.h"
#include "tools/cli/ToolSupport.h"

#include "data/Text.h"
#include "device/PictureDownload.h"

#include <cstdio>
#include <string>

namespace {

const char* const DownloadUsageHead =
    R"(Usage: paperless-recorder-tool download PICTURE SLOT [options]

Downloads the picture file PICTURE (a header line, then "0XHH" byte literals) into picture
slot SLOT (1 to 6) of the recorder, which must show its download page. Prints a line per
acknowledged frame ("<position>/<maximum> start", "... block <n>", "... end") and then
"File Load success!", or the failure on standard error. Each retried attempt of a block is
told on standard error ("Block 3 of 12, attempt 2 of 10").

Options:
)";
const char* const DownloadUsageTail = R"(  -h, --help           show this text

Exit status: 0 after a complete download, 1 when it failed, 2 for wrong arguments.
)";

void PrintUsage(FILE* out) {
    std::fprintf(out, "%s%s%s", DownloadUsageHead, LinkOptionsHelp, DownloadUsageTail);
}

int DownloadUsageError(const std::string& why) {
    std::fprintf(stderr, "download: %s\n\n", why.c_str());
    PrintUsage(stderr);
    return ExitUsage;
}

} // namespace

int RunDownloadCommand(const std::vector<std::string>& args) {
    std::vector<std::string> words;
    LinkOptions link;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            PrintUsage(stdout);
            return 0;
        }
        if (!arg.starts_with("--")) {
            words.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size())
            return DownloadUsageError("missing value for " + arg);
        const auto ok = ParseLinkOption(arg, args[i + 1], link);
        if (!ok)
            return DownloadUsageError("unknown option: " + arg);
        if (!*ok)
            return DownloadUsageError("bad value for " + arg + ": " + args[i + 1]);
        ++i;
    }
    if (words.size() != 2)
        return DownloadUsageError("expected PICTURE and SLOT");
    const auto slot = ParseInteger(words[1]);
    if (!slot || *slot < 1 || *slot > PictureSlotCount)
        return DownloadUsageError("SLOT must be 1 to 6: " + words[1]);
    if (const auto wrong = CheckLinkOptions(link))
        return DownloadUsageError(*wrong);

    DeviceRecords records;
    PosixSerialPort port(LinkPortResolver(link));
    ModbusRtuImpl connection(port, records);
    PictureDownloadCallbacks callbacks;
    callbacks.loadSettings = [&link](CommSettings& settings) { LoadLinkSettings(link, settings); };
    callbacks.advanced = [](const PictureProgress& step) {
        switch (step.stage) {
        case PictureProgress::Stage::Start:
            std::printf("%d/%d start\n", step.position, step.maximum);
            break;
        case PictureProgress::Stage::Block:
            std::printf("%d/%d block %d\n", step.position, step.maximum, step.block);
            break;
        case PictureProgress::Stage::End:
            std::printf("%d/%d end\n", step.position, step.maximum);
            break;
        }
        std::fflush(stdout);
    };
    // A block the instrument does not acknowledge costs about six seconds an attempt: each
    // retry is told, so that a minute of silence is not mistaken for a hang.
    int blockCount = 0;
    callbacks.progressMaximum = [&blockCount](int maximum) { blockCount = maximum - 2; };
    callbacks.blockAttempt = [&blockCount](int32_t block, int attempt) {
        if (attempt > 1)
            std::fprintf(stderr, "%s\n", PictureAttemptText(block, blockCount, attempt).c_str());
    };
    const UserMessage message =
        DownloadPicture(connection, words[0], static_cast<int16_t>(*slot - 1), callbacks);
    if (message.icon == MessageIcon::Information) {
        std::printf("%s\n", GbkToUtf8(message.text).c_str());
        return 0;
    }
    std::fprintf(stderr, "%s\n", GbkToUtf8(message.text).c_str());
    if (!records.lastError.empty())
        std::fprintf(stderr, "  (%s)\n", GbkToUtf8(records.lastError).c_str());
    return ExitFailure;
}
