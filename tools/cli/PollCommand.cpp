#include "tools/cli/PollCommand.h"
#include "tools/cli/LinkOptions.h"

#include "data/LiveRecord.h"
#include "data/Text.h"
#include "data/UnitNames.h"
#include "data/archive/Archive.h"
#include "device/CommSettingsFile.h"
#include "device/DeviceTexts.h"
#include "device/LinkFailure.h"
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
#include <unistd.h>
#include <vector>

// "%s" stands for the link options.
static const char* const PollUsageFormat = R"(Usage: paperless-recorder-tool poll [options]

Connects to the recorder with the settings of config.ini (or the options below), then prints
one line per tick: the instrument's clock, then for each monitored channel a tab and
"CHnn value unit flags". flags are four characters, U (above Upper), C (above Cap), F (below
Floor), L (below Lower), or '-' for each that is not raised. A tick whose read fails prints
nothing on standard output and a note on standard error, and so does a tick whose clock is
not later than the last recorded one ("repeated clock"; printed, but not recorded) and one
whose clock was set back by more than 2 s (recorded in a new record file).

Options:
%s  --channels LIST      channels to monitor, e.g. 1,2,5-8
  --ticks N            stop after N ticks (default: until interrupted)
  --interval MS        time between ticks in milliseconds (default 1000)
  --record FOLDER      also append every tick to a record file in FOLDER, named after the
                       run's start (live-yyyyMMdd-HHmmss.csv, the CSV import's line format;
                       seconds missing after failed ticks leave a gap marker); the program
                       opens it with File > Open
  --archive NAME       also record every tick into the archive under the recorder NAME, one
                       transaction a tick (seconds missing after failed ticks leave a break)
  --db URL             the archive: an SQLite file or a postgresql:// URI (default
                       ~/.local/share/paperless-recorder/archive.sqlite)
  -h, --help           show this text

Exit status: 0 after the last tick, Ctrl+C or a termination signal, 1 when the port cannot
be opened, the instrument does not answer or the record (file or archive) cannot be written,
2 for wrong
options.
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

// Ctrl+C and a termination signal end the polling, so that the port is always closed and
// released; the previous handlers come back when the command ends.
class InterruptGuard {
public:
    InterruptGuard() {
        interrupted = false;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigaction(SIGINT, &action, &previousInt);
        sigaction(SIGTERM, &action, &previousTerm);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction previousInt {};
    struct sigaction previousTerm {};
};

// The link's failure text as a note: "timeout" rather than ": timeout", nothing when empty.
std::string FailureNote(const std::string& lastError) {
    std::string text = GbkToUtf8(lastError);
    const size_t first = text.find_first_not_of(": ");
    text.erase(0, first == std::string::npos ? text.size() : first);
    return text.empty() ? std::string() : " (" + text + ")";
}

} // namespace

int RunPollCommand(const std::vector<std::string>& args) {
    return RunPollCommand(args, std::cout, std::cerr);
}

int RunPollCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    LinkOptions link;
    std::string recordFolder;
    std::optional<std::string> archiveRecorder;
    std::string database;
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
        } else if (option == "--record") {
            recordFolder = value;
            ok = !value.empty();
        } else if (option == "--archive") {
            archiveRecorder = value;
            ok = !value.empty();
        } else if (option == "--db") {
            database = value;
            ok = !value.empty();
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

    if (const auto wrong = CheckLinkOptions(link))
        return usageError(*wrong);
    if (!database.empty() && !archiveRecorder)
        return usageError("--db goes with --archive");
    DeviceRecords records;
    CommSettings& settings = records.commSettings;
    LoadLinkSettings(link, settings);
    if (channels)
        settings.channelEnabled = *channels;

    // Before the port is opened: an interrupt at any moment from here on still closes it.
    const InterruptGuard guard;
    const std::string devicePath = LinkDevicePath(link, settings.port);
    PosixSerialPort serialPort([devicePath](int32_t) { return devicePath; });
    ModbusRtuImpl connection(serialPort, records);
    // An interrupt cuts short the reply being waited for, also while connecting.
    connection.SetCancelFlag(&interrupted);
    connection.SetAbortFlag(&interrupted);
    if (!connection.OpenLink()) {
        err << GbkToUtf8(DeviceText::SerialInitFailed) << "\n  ("
            << OpenFailureDetail(devicePath, serialPort.LastOpenFailure(), records.lastError)
            << ")\n";
        return 1;
    }
    if (!connection.Connect()) {
        connection.CloseLink();
        if (interrupted)
            return 0;
        char message[128];
        std::snprintf(message, sizeof message, DeviceText::InstrumentNoResponseFormat,
                      settings.address);
        err << GbkToUtf8(message) << "\n  ("
            << NoResponseDetail(devicePath, records.lastError, connection.serialLink().ReplyWait())
            << ")\n";
        return 1;
    }
    records.linkActive = true;
    auto closeLink = [&] {
        connection.CloseLink();
        records.linkActive = false;
    };

    std::vector<int16_t> active;
    std::vector<std::string> units;
    for (int k = 0; k < RecorderChannelCount; ++k) {
        if (!settings.channelEnabled[k])
            continue;
        active.push_back(static_cast<int16_t>(k + 1));
        units.emplace_back(UnitNameForCode(records.channelConfig[k].unitCode & 0xFF));
    }
    using Clock = std::chrono::steady_clock;
    const double intervalDays = static_cast<double>(std::max(interval, 1LL)) / 86'400'000.0;
    LiveRunLog log(intervalDays);
    if (!recordFolder.empty()) {
        std::string error;
        if (!log.StartRecording(recordFolder, NowLocal(), active, units, error)) {
            err << "poll: " << error << "\n";
            closeLink();
            return 1;
        }
        err << "poll: recording to " << log.Writer().Path() << std::endl;
    }
    if (archiveRecorder) {
        std::string error;
        const std::string location = database.empty() ? DefaultArchiveLocation() : database;
        auto record =
            ArchiveRecord::Start(location, *archiveRecorder, NowLocal(), active, units, error);
        if (!record) {
            err << "poll: cannot record into archive:" << *archiveRecorder << ": " << error << "\n";
            closeLink();
            return 1;
        }
        err << "poll: recording into " << record->Name() << std::endl;
        log.StartSink(std::move(record));
    }

    std::vector<float> values(active.size());
    const auto first = Clock::now();
    for (long long tick = 1; !interrupted && (ticks == 0 || tick <= ticks); ++tick) {
        if (connection.ReadLiveValues()) {
            for (size_t p = 0; p < active.size(); ++p)
                values[p] = records.liveSnapshot.value[static_cast<size_t>(active[p] - 1)];
            const LiveTickEntry entry = log.Good(records.liveSnapshot.instrumentTime, values);
            out << FormatTick(records) << std::endl;
            if (entry.repeatedClock)
                err << "poll: tick " << tick << ": repeated clock "
                    << FormatDateTime(records.liveSnapshot.instrumentTime, ReadoutTimePattern)
                    << ", not recorded" << std::endl;
            if (const auto& c = entry.clockSetBack)
                err << "poll: tick " << tick << ": "
                    << ClockSetBackText(c->from, c->to, c->recordPath) << std::endl;
        } else if (interrupted) {
            break; // the read was cut short
        } else {
            log.Failed();
            err << "poll: tick " << tick << ": no valid reply from " << devicePath
                << FailureNote(records.lastError) << std::endl;
            // The framing layer reopens the port after eleven failures in a row.
            if (connection.protocol().failureCount() == 0) {
                log.CountReopen();
                err << "poll: reopened " << devicePath << std::endl;
            }
        }
        if (!log.RecordError().empty()) {
            err << "poll: " << log.RecordError() << "\n";
            closeLink();
            return 1;
        }
        if (tick == ticks)
            break;
        // Sleep towards the next tick in short steps so Ctrl+C ends the command promptly.
        const auto next = first + std::chrono::milliseconds(interval * tick);
        while (!interrupted && Clock::now() < next)
            std::this_thread::sleep_for(
                std::min<Clock::duration>(next - Clock::now(), std::chrono::milliseconds(50)));
    }
    closeLink();
    log.Close();
    return 0;
}
