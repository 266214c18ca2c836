// sample OUT [options]: writes a realistic recorder data file.

#include "tools/cli/Commands.h"
#include "tools/cli/ToolSupport.h"

#include "data/RecorderFileWriter.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

void PrintSampleHelp() {
    const SampleOptions defaults;
    std::printf(
        "Usage: %s sample OUT [options]\n"
        "Writes a recorder data file of one-second samples: channels with different units,\n"
        "ranges and decimals, interruptions that read as gaps and runs of out-of-range values.\n"
        "The same options give the same bytes.\n\n"
        "Options (as --name VALUE or --name=VALUE):\n"
        "  --seed N                   random seed (default %llu)\n"
        "  --channels N               number of channels, 1..16 (default %d)\n"
        "  --first-channel N          number of the first channel, 1..16 (default %d)\n"
        "  --days D                   length of the recording in days (default %g)\n"
        "  --size BYTES               exact file size instead: a multiple of 16384, at most\n"
        "                             10485760; channels get as many blocks as fit\n"
        "  --start \"yyyy-MM-dd HH:mm:ss\"  first sample (default 2015-03-16 08:00:00)\n"
        "  --interruptions-per-day X  average number of interruptions (default %g)\n"
        "  --bad-runs-per-day X       out-of-range runs per channel and day (default %g)\n"
        "  --demo                     the options of the bundled demo recording (later\n"
        "                             options still apply)\n"
        "  --help                     this text\n",
        ToolName, static_cast<unsigned long long>(defaults.seed), defaults.channels,
        defaults.firstChannel, defaults.days, defaults.interruptionsPerDay,
        defaults.outOfRangeRunsPerDay);
}

template <typename Number> bool ParseNumber(std::string_view text, Number& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

} // namespace

int RunSampleCommand(const std::vector<std::string>& args) {
    SampleOptions options;
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h") {
            PrintSampleHelp();
            return 0;
        } else if (arg == "--demo") {
            options = DemoSampleOptions();
        }

    std::string out;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg == "--demo")
            continue;
        if (!arg.starts_with("--")) {
            if (!out.empty())
                return UsageError("one output file only");
            out = arg;
            continue;
        }
        std::string_view value;
        if (const size_t equals = arg.find('='); equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return UsageError("missing value for " + std::string(arg));
        }
        bool ok = false;
        if (arg == "--seed") {
            ok = ParseNumber(value, options.seed);
        } else if (arg == "--channels") {
            ok = ParseNumber(value, options.channels);
        } else if (arg == "--first-channel") {
            ok = ParseNumber(value, options.firstChannel);
        } else if (arg == "--days") {
            ok = ParseNumber(value, options.days);
            options.fileSize = 0;
        } else if (arg == "--size") {
            ok = ParseNumber(value, options.fileSize);
        } else if (arg == "--start") {
            const auto start = ParseDateTime(value);
            ok = start.has_value();
            options.start = start.value_or(0);
        } else if (arg == "--interruptions-per-day") {
            ok = ParseNumber(value, options.interruptionsPerDay);
        } else if (arg == "--bad-runs-per-day") {
            ok = ParseNumber(value, options.outOfRangeRunsPerDay);
        } else {
            return UsageError("unknown option " + std::string(arg) + " (try sample --help)");
        }
        if (!ok)
            return UsageError("invalid value for " + std::string(arg) + ": " + std::string(value));
    }
    if (out.empty())
        return UsageError("missing output file (try sample --help)");

    SampleRecording recording;
    if (const auto error = GenerateSampleRecording(options, recording))
        return UsageError(*error);
    if (const auto error = WriteBinaryFile(out, recording.bytes)) {
        std::fprintf(stderr, "%s: %s\n", ToolName, error->c_str());
        return ExitFailure;
    }
    size_t samples = 0;
    for (const SampleChannel& channel : recording.channels)
        samples += channel.raw.size() - channel.firstStored;
    std::printf("Wrote %s: %zu bytes, %zu channels, %zu samples from %s to %s, %zu "
                "interruptions\n",
                out.c_str(), recording.bytes.size(), recording.channels.size(), samples,
                FormatDateTime(recording.startTime, ReadoutTimePattern).c_str(),
                FormatDateTime(recording.endTime, ReadoutTimePattern).c_str(),
                recording.segments.size() - 1);
    return 0;
}
