#include "tools/cli/PollCommand.h"
#include "tools/cli/LinkOptions.h"

#include "data/Text.h"
#include "data/UnitNames.h"
#include "device/CommSettingsFile.h"
#include "device/DeviceTexts.h"
#include "device/ModbusRtuImpl.h"
#include "device/PosixSerialPort.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <thread>

// "%s" stands for the link options.
static const char* const PollUsageFormat = R"(Usage: paperless-recorder-tool poll [options]

Connects to the recorder with the settings of config.ini (or the options below), then prints
one line per tick: the instrument's clock, then for each monitored channel a tab and
"CHnn value unit flags". flags are four characters, U (above Upper), C (above Cap), F (below
Floor), L (below Lower), or '-' for each that is not raised. A tick whose read fails prints
nothing on standard output and a note on standard error.

Options:
%s  --channels LIST      channels to monitor, e.g. 1,2,5-8
  --ticks N            stop after N ticks (default: until interrupted)
  --interval MS        time between ticks in milliseconds (default 1000)
  -h, --help           show this text

Exit status: 0 after the last tick or Ctrl+C, 1 when the port cannot be opened or the
instrument does not answer, 2 for wrong options.
)";

std::string PollUsage() {
    std::string text = PollUsageFormat;
    return text.replace(text.find("%s"), 2, LinkOptionsHelp);
}

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
    interrupted = true;
}

std::optional<std::array<bool, RecorderChannelCount>> ParseChannels(const std::string& text) {
    std::array<bool, RecorderChannelCount> enabled{};
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t comma = std::min(text.find(',', pos), text.size());
        const std::string item = text.substr(pos, comma - pos);
        const size_t dash = item.find('-');
        const auto first = ParseInteger(item.substr(0, dash));
        const auto last = dash == std::string::npos ? first : ParseInteger(item.substr(dash + 1));
        if (!first || !last || *first < 1 || *last > RecorderChannelCount || *first > *last)
            return std::nullopt;
        for (long long n = *first; n <= *last; ++n)
            enabled[static_cast<size_t>(n - 1)] = true;
        pos = comma + 1;
    }
    return enabled;
}

std::string FormatTick(const DeviceRecords& records) {
    const LiveSnapshot& live = records.liveSnapshot;
    std::string line = FormatDateTime(live.instrumentTime, ReadoutTimePattern);
    for (int k = 0; k < RecorderChannelCount; ++k) {
        if (!records.commSettings.channelEnabled[k])
            continue;
        const std::string unit =
            GbkToUtf8(UnitNameForCode(records.channelConfig[k].unitCode & 0xFF));
        char text[96];
        std::snprintf(text, sizeof text, "\tCH%02d %0.3f %s %c%c%c%c", k + 1, live.value[k],
                      unit.c_str(), live.aboveUpper[k] ? 'U' : '-', live.aboveCap[k] ? 'C' : '-',
                      live.belowFloor[k] ? 'F' : '-', live.belowLower[k] ? 'L' : '-');
        line += text;
    }
    return line;
}

// Restores the previous SIGINT handler when the command ends.
class InterruptGuard {
public:
    InterruptGuard() {
        interrupted = false;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigaction(SIGINT, &action, &previous);
    }
    ~InterruptGuard() { sigaction(SIGINT, &previous, nullptr); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction previous {};
};

} // namespace

int RunPollCommand(const std::vector<std::string>& args) {
    return RunPollCommand(args, std::cout, std::cerr);
}

int RunPollCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    LinkOptions link;
    std::optional<std::array<bool, RecorderChannelCount>> channels;
    long long ticks = 0;
    long long interval = 1000;
    auto usageError = [&](const std::string& why) {
        err << "poll: " << why << "\n\n" << PollUsage();
        return 2;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "-h" || option == "--help") {
            out << PollUsage();
            return 0;
        }
        if (i + 1 >= args.size())
            return usageError("unknown option or missing value: " + option);
        const std::string& value = args[++i];
        auto number = [&](std::optional<long long>& into, long long low, long long high) {
            into = ParseInteger(value);
            return into && *into >= low && *into <= high;
        };
        bool ok = true;
        std::optional<long long> scratch;
        if (const auto linkOption = ParseLinkOption(option, value, link)) {
            ok = *linkOption;
        } else if (option == "--channels") {
            channels = ParseChannels(value);
            ok = channels.has_value();
        } else if (option == "--ticks") {
            ok = number(scratch, 1, 1'000'000'000);
            ticks = scratch.value_or(0);
        } else if (option == "--interval") {
            ok = number(scratch, 0, 86'400'000);
            interval = scratch.value_or(0);
        } else {
            return usageError("unknown option: " + option);
        }
        if (!ok)
            return usageError("bad value for " + option + ": " + value);
    }

    DeviceRecords records;
    CommSettings& settings = records.commSettings;
    LoadLinkSettings(link, settings);
    if (channels)
        settings.channelEnabled = *channels;

    PosixSerialPort serialPort(LinkPortResolver(link));
    ModbusRtuImpl connection(serialPort, records);
    if (!connection.OpenLink()) {
        err << GbkToUtf8(DeviceText::SerialInitFailed) << "\n  (" << GbkToUtf8(records.lastError)
            << ")\n";
        return 1;
    }
    if (!connection.Connect()) {
        char message[128];
        std::snprintf(message, sizeof message, DeviceText::InstrumentNoResponseFormat,
                      settings.address);
        err << GbkToUtf8(message) << "\n  (" << GbkToUtf8(records.lastError) << ")\n";
        connection.CloseLink();
        return 1;
    }
    records.linkActive = true;

    const InterruptGuard guard;
    using Clock = std::chrono::steady_clock;
    const auto first = Clock::now();
    for (long long tick = 1; ticks == 0 || tick <= ticks; ++tick) {
        if (connection.ReadLiveValues())
            out << FormatTick(records) << std::endl;
        else
            err << "poll: tick " << tick << ": no valid reply (" << GbkToUtf8(records.lastError)
                << ")" << std::endl;
        if (tick == ticks)
            break;
        // Sleep towards the next tick in short steps so Ctrl+C ends the command promptly.
        const auto next = first + std::chrono::milliseconds(interval * tick);
        while (!interrupted && Clock::now() < next)
            std::this_thread::sleep_for(
                std::min<Clock::duration>(next - Clock::now(), std::chrono::milliseconds(50)));
        if (interrupted)
            break;
    }
    connection.CloseLink();
    records.linkActive = false;
    return 0;
}
