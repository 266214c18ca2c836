// A long live run under faults, not a unit test: `paperless-recorder-tool poll --record`
// against paperless-recorder-sim on a pseudo-terminal, with the simulator going silent,
// putting noise on the line, sending bad CRCs, pulling the cable and setting its clock back at
// random moments, and beside it the program's window polling a second simulator with faults of
// its own. At the end it reports the poll's ticks (attempted, good, failed, repeated clocks,
// clocks set back), the port reopens, whether every outage with seconds missing left a break
// in the record and no other outage one, whether every reading the instrument gave stands in
// the record with its values, time order within each record file, the resident memory of the
// poll and of the window at the start and the end, and the largest event latency the window
// showed.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_soak [--minutes M] [--seed N]
//       [--fault-seconds S] [--out DIR]
//
// scripts/soak.sh runs it; the default is 10 minutes with a fault every 30 s on average.

#include "app/Startup.h"
#include "data/LiveRecord.h"
#include "tools/simulator/RandomFaults.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QSettings>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct SoakOptions {
    double minutes = 10;
    uint32_t seed = 1;
    double faultSeconds = 30;
    fs::path out;
};

// Starts a program with its output in files; -1 on failure.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const fs::path& out,
            const fs::path& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Resident memory of a process in KiB, -1 when it is gone.
long ResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    return -1;
}

std::vector<std::string> Lines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Seconds since 1970 of a "yyyy-MM-dd HH:mm:ss" text (no time zone: only differences count).
long long SecondsOf(const std::string& time) {
    std::tm t{};
    if (std::sscanf(time.c_str(), "%d-%d-%d %d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday,
                    &t.tm_hour, &t.tm_min, &t.tm_sec) != 6)
        return 0;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<long long>(timegm(&t));
}

// One instant of a record: its time, its values by channel, whether it is a gap marker, and
// the file it stands in.
struct RecordTick {
    std::string time;
    std::vector<double> values;
    bool gap = false;
    size_t file = 0;
};

// A record's files in the order they were written, their ticks one after another.
std::vector<RecordTick> ReadRecordTicks(const fs::path& folder, int& badLines, size_t& files) {
    std::vector<fs::path> paths;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) {
        return std::pair(fs::last_write_time(a), a) < std::pair(fs::last_write_time(b), b);
    });
    files = paths.size();
    std::vector<RecordTick> ticks;
    for (size_t f = 0; f < paths.size(); ++f) {
        const std::vector<std::string> lines = Lines(paths[f]);
        for (size_t i = 1; i < lines.size(); ++i) {
            std::istringstream fields(lines[i]);
            std::string n, channel, value, time;
            if (!std::getline(fields, n, ',') || !std::getline(fields, channel, ',') ||
                !std::getline(fields, value, ',') || !std::getline(fields, time, ',')) {
                ++badLines;
                continue;
            }
            const bool gap = value == "-158";
            if (ticks.empty() || ticks.back().time != time || ticks.back().gap != gap ||
                ticks.back().file != f)
                ticks.push_back({time, {}, gap, f});
            ticks.back().values.push_back(std::stod(value));
        }
    }
    return ticks;
}

// What a record's files hold, and whether they are whole and in order.
struct RecordSummary {
    size_t files = 0;
    long long ticks = 0, gaps = 0, timesOutOfOrder = 0; // within a file
    int badLines = 0;
    bool Sound() const { return timesOutOfOrder == 0 && badLines == 0; }
};
std::vector<RecordTick> ReadRecords(const fs::path& folder, RecordSummary& summary) {
    std::vector<RecordTick> record = ReadRecordTicks(folder, summary.badLines, summary.files);
    for (size_t i = 0; i < record.size(); ++i) {
        (record[i].gap ? summary.gaps : summary.ticks) += 1;
        if (i > 0 && record[i].file == record[i - 1].file && record[i].time <= record[i - 1].time)
            ++summary.timesOutOfOrder;
    }
    return record;
}
void PrintRecordSummary(const RecordSummary& r) {
    std::printf("  record: %zu files, %lld ticks, %lld gap markers, %lld times not after the "
                "one before in their file, %d malformed lines\n",
                r.files, r.ticks, r.gaps, r.timesOutOfOrder, r.badLines);
}

// A tick the poll printed: its instrument time and values.
struct PrintedTick {
    std::string time;
    std::vector<double> values;
};
PrintedTick ParsePrinted(const std::string& line) {
    PrintedTick tick;
    tick.time = line.substr(0, line.find('\t'));
    for (size_t at = line.find("\tCH"); at != std::string::npos; at = line.find("\tCH", at + 1))
        tick.values.push_back(std::strtod(line.c_str() + at + 6, nullptr));
    return tick;
}

bool SameReading(const PrintedTick& printed, const RecordTick& recorded) {
    if (recorded.gap || printed.time != recorded.time ||
        printed.values.size() != recorded.values.size())
        return false;
    // Printed with three decimals, recorded exactly.
    for (size_t i = 0; i < printed.values.size(); ++i)
        if (std::fabs(printed.values[i] - recorded.values[i]) > 0.0005 + 1e-9)
            return false;
    return true;
}

struct PollFigures {
    long long attempted = 0, good = 0, failed = 0, repeated = 0, reopens = 0, setBacks = 0;
    // Runs of failed ticks, and how the next new second after each showed them.
    long long outages = 0, outagesBeforeFirstGood = 0, outagesEndingInSetBack = 0;
    long long outagesMissingSeconds = 0, outagesWithBreak = 0, outagesWithoutMissing = 0,
              falseBreaks = 0;
    // Every reading the instrument gave (not a repeated clock) against the record.
    long long readings = 0, readingsRecorded = 0, readingsLost = 0, extraRecorded = 0;
    RecordSummary record;
};

PollFigures AnalysePoll(const fs::path& dir) {
    PollFigures f;
    std::set<long long> failedTicks, repeatedTicks, setBackTicks;
    for (const std::string& line : Lines(dir / "poll.err")) {
        long long tick = 0;
        const bool numbered = std::sscanf(line.c_str(), "poll: tick %lld:", &tick) == 1;
        if (numbered && line.find(": repeated clock") != std::string::npos)
            repeatedTicks.insert(tick);
        else if (numbered && line.find(": no valid reply") != std::string::npos)
            failedTicks.insert(tick);
        else if (numbered && line.find(": Instrument clock set back") != std::string::npos)
            setBackTicks.insert(tick);
        else if (line.starts_with("poll: reopened"))
            ++f.reopens;
    }
    std::vector<PrintedTick> printed;
    for (const std::string& line : Lines(dir / "poll.out"))
        printed.push_back(ParsePrinted(line));
    f.good = static_cast<long long>(printed.size());
    f.failed = static_cast<long long>(failedTicks.size());
    f.repeated = static_cast<long long>(repeatedTicks.size());
    f.setBacks = static_cast<long long>(setBackTicks.size());
    f.attempted = f.good + f.failed;

    const std::vector<RecordTick> record = ReadRecords(dir / "records", f.record);

    // Ticks in order: each good one that is no repeated clock must be the next reading of the
    // record (its place noted), and nothing but gap markers may stand between them.
    struct Tick {
        long long number;
        bool failed;
        std::optional<size_t> recordAt; // good and recorded
    };
    std::vector<Tick> ticks;
    size_t nextPrinted = 0, nextRecorded = 0;
    for (long long tick = 1; tick <= f.attempted; ++tick) {
        Tick t{tick, failedTicks.count(tick) > 0, std::nullopt};
        if (!t.failed) {
            const PrintedTick& reading = printed[nextPrinted++];
            if (!repeatedTicks.count(tick)) {
                ++f.readings;
                size_t at = nextRecorded;
                while (at < record.size() && record[at].gap)
                    ++at;
                if (at < record.size() && SameReading(reading, record[at])) {
                    ++f.readingsRecorded;
                    t.recordAt = at;
                    nextRecorded = at + 1;
                } else {
                    ++f.readingsLost;
                }
            }
        }
        ticks.push_back(t);
    }
    for (size_t at = nextRecorded; at < record.size(); ++at)
        f.extraRecorded += record[at].gap ? 0 : 1;

    // Each outage (failed ticks in a row, with repeated clocks among them) ends at the next
    // reading of a new second: a break in the record between the reading before and that one
    // exactly when seconds are missing between them.
    std::optional<size_t> lastRecorded; // index into ticks
    for (size_t i = 0; i < ticks.size();) {
        if (!ticks[i].failed) {
            if (ticks[i].recordAt)
                lastRecorded = i;
            ++i;
            continue;
        }
        ++f.outages;
        while (i < ticks.size() && (ticks[i].failed || !ticks[i].recordAt))
            ++i;
        if (!lastRecorded) {
            ++f.outagesBeforeFirstGood; // no line to break yet
            continue;
        }
        if (i == ticks.size())
            break; // the run ended in it
        if (setBackTicks.count(ticks[i].number)) {
            ++f.outagesEndingInSetBack; // a new record file, a new line
            continue;
        }
        const RecordTick& before = record[*ticks[*lastRecorded].recordAt];
        const RecordTick& after = record[*ticks[i].recordAt];
        const bool missing = SecondsOf(after.time) - SecondsOf(before.time) > 1;
        bool broken = false;
        for (size_t at = *ticks[*lastRecorded].recordAt + 1; at < *ticks[i].recordAt; ++at)
            broken = broken || record[at].gap;
        if (missing) {
            ++f.outagesMissingSeconds;
            f.outagesWithBreak += broken;
        } else {
            ++f.outagesWithoutMissing;
            f.falseBreaks += broken;
        }
    }
    return f;
}

bool PollFiguresSound(const PollFigures& f) {
    return f.outagesWithBreak == f.outagesMissingSeconds && f.falseBreaks == 0 &&
           f.readingsLost == 0 && f.extraRecorded == 0 && f.record.Sound();
}

void PrintPollFigures(const PollFigures& f) {
    std::printf("  ticks attempted %lld, good %lld, failed %lld, repeated clocks %lld, clock "
                "set back %lld times\n",
                f.attempted, f.good, f.failed, f.repeated, f.setBacks);
    std::printf("  port reopened %lld times\n", f.reopens);
    std::printf("  outages %lld: %lld with seconds missing, %lld of them with a break in the "
                "record; %lld with none missing, %lld of them with a break; %lld before the "
                "first good tick, %lld ending in a clock set back\n",
                f.outages, f.outagesMissingSeconds, f.outagesWithBreak, f.outagesWithoutMissing,
                f.falseBreaks, f.outagesBeforeFirstGood, f.outagesEndingInSetBack);
    std::printf("  readings given %lld: %lld in the record with their values, %lld lost; %lld "
                "recorded that were not given\n",
                f.readings, f.readingsRecorded, f.readingsLost, f.extraRecorded);
    PrintRecordSummary(f.record);
}

// The window's live run against an in-process simulator with faults of its own.
struct WindowRun {
    InstrumentSimulator instrument{SimulatorOptions{}};
    SimulatorServer server{instrument};
    std::unique_ptr<RandomFaultInjector> injector;
    std::atomic<bool> stop{false};
    std::thread faults;
    QSettings settings;
    std::unique_ptr<StartupObjects> objects;
    TMainForm* form = nullptr;
    std::vector<std::string> messages;
    fs::path link;

    WindowRun(const fs::path& dir, const SoakOptions& options)
        : settings(QString::fromStdString((dir / "Korvane.conf").string()), QSettings::IniFormat),
          link(dir / "window-tty") {
        std::string error;
        if (!server.Open(error)) {
            std::fprintf(stderr, "window simulator: %s\n", error.c_str());
            return;
        }
        Relink(server.DevicePath());
        server.Start();
        const fs::path config = dir / "window-config.ini";
        std::ofstream(config) << "[COM]\nport=0\nbaudRate=3\nstopBit=0\ndataBit=3\ncheckType=0\n"
                                 "address=1\n[RECORD]\nenabled=1\nfolder="
                              << (dir / "window-records").string()
                              << "\n[PORTS]\nCOM1=" << link.string() << "\n";
        objects = CreateStartupObjects(settings);
        form = objects->MainForm.get();
        form->SetConfigFilePath(config.string());
        form->SetMessagePresenter(
            [this](QWidget*, const UserMessage& message) { messages.push_back(message.text); });
        form->resize(1280, 956);
        form->show();

        injector = std::make_unique<RandomFaultInjector>(
            instrument, server, RandomFaultOptions{options.faultSeconds, options.seed + 1});
        injector->disconnected = [this] { fs::remove(link); };
        injector->reconnected = [this](const std::string& path) { Relink(path); };
        faults = std::thread([this] { injector->Run(stop); });
    }
    ~WindowRun() {
        stop = true;
        if (faults.joinable())
            faults.join();
    }
    void Relink(const std::string& devicePath) {
        std::error_code ec;
        fs::remove(link, ec);
        fs::create_symlink(devicePath, link, ec);
    }
    bool Running() const { return form && form->Live().Monitor().LinkActive(); }
};

int Usage() {
    std::fprintf(stderr, "Usage: bench_soak [--minutes M] [--seed N] [--fault-seconds S] "
                         "[--out DIR] | --analyse DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SoakOptions options;
    std::string analyseOnly;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--minutes")
            options.minutes = std::stod(value);
        else if (arg == "--seed")
            options.seed = static_cast<uint32_t>(std::stoul(value));
        else if (arg == "--fault-seconds")
            options.faultSeconds = std::stod(value);
        else if (arg == "--out")
            options.out = value;
        else if (arg == "--analyse")
            analyseOnly = value;
        else
            return Usage();
    }
    if (!analyseOnly.empty()) {
        const PollFigures f = AnalysePoll(analyseOnly);
        PrintPollFigures(f);
        return 0;
    }
    if (options.out.empty())
        options.out = fs::temp_directory_path() / ("recorder-soak-" + std::to_string(getpid()));
    const fs::path dir = options.out;
    fs::create_directories(dir);
    std::printf("soak: %.1f min, a fault every %.0f s on average, seed %u, files in %s\n",
                options.minutes, options.faultSeconds, options.seed, dir.c_str());
    std::fflush(stdout);

    // The poll against the simulator program.
    const fs::path pollLink = dir / "poll-tty";
    const pid_t sim =
        Spawn(RECORDER_SIM_PROGRAM,
              {"--link", pollLink.string(), "--random-faults", std::to_string(options.faultSeconds),
               "--seed", std::to_string(options.seed)},
              dir / "sim.out", dir / "sim.err");
    for (int i = 0; i < 100 && !fs::exists(pollLink); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ofstream(dir / "poll-config.ini") << "[COM]\naddress=1\n";
    const pid_t poll = Spawn(RECORDER_TOOL_PROGRAM,
                             {"poll", "--config", (dir / "poll-config.ini").string(), "--device",
                              pollLink.string(), "--baud", "19200", "--channels", "1-16",
                              "--record", (dir / "records").string()},
                             dir / "poll.out", dir / "poll.err");
    if (sim < 0 || poll < 0) {
        std::fprintf(stderr, "soak: cannot start the simulator or the tool\n");
        return 1;
    }

    WindowRun window(dir, options);
    if (!window.form)
        return 1;
    window.form->RunButtonClick();

    // Event latency: how late a 50 ms timer fires, over the whole run but its first seconds.
    constexpr int ProbeMs = 50;
    QElapsedTimer sinceProbe, sinceStart;
    sinceProbe.start();
    sinceStart.start();
    double worstLatency = 0;
    long long slowEvents = 0, probes = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const double late = static_cast<double>(sinceProbe.nsecsElapsed()) / 1e6 - ProbeMs;
        sinceProbe.restart();
        if (sinceStart.elapsed() < 5000)
            return;
        ++probes;
        worstLatency = std::max(worstLatency, late);
        slowEvents += late > 100;
    });
    probe.start(ProbeMs);

    // A run that could not start (a fault at the wrong moment) is started again, as an
    // operator would.
    int runRetries = 0;
    QTimer retry;
    QObject::connect(&retry, &QTimer::timeout, [&] {
        if (!window.Running() && window.form->RunButton->isEnabled()) {
            ++runRetries;
            window.form->RunButtonClick();
        }
    });
    retry.start(5000);

    long pollStartKiB = -1, windowStartKiB = -1;
    QTimer::singleShot(10'000, [&] {
        pollStartKiB = ResidentKiB(poll);
        windowStartKiB = ResidentKiB(getpid());
    });
    QTimer::singleShot(static_cast<int>(options.minutes * 60'000), &app, &QApplication::quit);
    app.exec();
    probe.stop();
    retry.stop();
    const long pollEndKiB = ResidentKiB(poll);
    const long windowEndKiB = ResidentKiB(getpid());
    const QString windowCounts = window.form->Live().LiveStatusLabel()->text();
    window.form->StopButtonClick();

    kill(poll, SIGINT);
    int status = 0;
    waitpid(poll, &status, 0);
    const int pollExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    kill(sim, SIGTERM);
    waitpid(sim, &status, 0);

    const PollFigures f = AnalysePoll(dir);
    std::string faultLine;
    for (const std::string& line : Lines(dir / "sim.err"))
        if (line.find("faults:") != std::string::npos)
            faultLine = line.substr(line.find("faults:") + 8);

    std::printf("\npoll --record (exit %d), faults injected: %s\n", pollExit, faultLine.c_str());
    PrintPollFigures(f);
    std::printf("  resident memory: %ld KiB at 10 s, %ld KiB at the end (%+ld KiB)\n", pollStartKiB,
                pollEndKiB, pollEndKiB - pollStartKiB);
    std::printf("window run, faults injected:");
    for (const RandomFault fault : AllRandomFaults) {
        const std::string_view name = RandomFaultName(fault);
        std::printf(" %.*s %d%s", static_cast<int>(name.size()), name.data(),
                    window.injector->Count(fault), fault == AllRandomFaults.back() ? "\n" : ",");
    }
    std::printf("  %s\n", windowCounts.toStdString().c_str());
    // The window's record: whole lines, times ascending within each file.
    RecordSummary windowRecord;
    ReadRecords(dir / "window-records", windowRecord);
    PrintRecordSummary(windowRecord);
    std::printf("  runs started again after a failed start: %d; messages shown: %zu\n", runRetries,
                window.messages.size());
    std::printf("  largest event latency %.1f ms over %lld probes, %lld above 100 ms\n",
                worstLatency, probes, slowEvents);
    std::printf("  resident memory: %ld KiB at 10 s, %ld KiB at the end (%+ld KiB)\n",
                windowStartKiB, windowEndKiB, windowEndKiB - windowStartKiB);
    // The window's rule is 100 ms; on a machine shared with builds a single late timer is
    // noise, a stall of a quarter second is not.
    constexpr double WorstLatencyMs = 250;
    const bool sound = PollFiguresSound(f) && pollExit == 0 && worstLatency < WorstLatencyMs &&
                       windowRecord.Sound();
    std::printf("%s\n", sound ? "soak: sound" : "soak: FAULTS FOUND");
    return sound ? 0 : 1;
}
