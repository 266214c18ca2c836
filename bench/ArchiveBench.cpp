// The archive in an SQLite file and on a PostgreSQL server of the benchmark's own:
//   - adding a file of the size limit (16 channels, 5.2 M samples) to an empty archive (targets:
//     under 2 s to SQLite, under 4 s to PostgreSQL),
//   - a year of one recorder: 97 files of the size limit, one starting every 4 days, added by
//     the tool one after the other (target: under 1.5 GB in either database; the peak resident
//     memory of the first and of the last add, which must not grow with the archive),
//   - opening a day and a week from the year-long archive, connection included (targets: under
//     300 ms and under 1 s), and the peak resident memory of the tool reading a day from it and
//     from an archive of one file (the same: independent of the archive's size).
// The files, the SQLite archive and the server's data folder are made once, in the build tree's
// generated folder (about 3.5 GB, the year's adds take some minutes); later runs reuse them.
//
//   build/bench/bench_archive [benchmark options]

#include "data/RecorderFileWriter.h"
#include "data/archive/Archive.h"

#include "tests/archive/PostgresServer.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const fs::path Generated = RECORDER_GENERATED_DIR;
const fs::path YearFolder = Generated / "archive-year";
constexpr int YearFiles = 97;
const DateTime YearStart = *EncodeDateTime({2015, 1, 1, 0, 0, 0});
PostgresServer* Server = nullptr;

std::string FileName(int k) {
    char name[32];
    std::snprintf(name, sizeof name, "part%03d.bin", k);
    return (YearFolder / name).string();
}

// partNNN.bin: a file of the size limit from 2015-01-01 plus 4 days per file; each holds a
// little over four days, so consecutive files overlap.
bool WriteYearFiles() {
    fs::create_directories(YearFolder);
    for (int k = 0; k < YearFiles; ++k) {
        const std::string path = FileName(k);
        std::error_code error;
        if (fs::file_size(path, error) == RecorderFileLayout::MaxFileSize)
            continue;
        SampleOptions options;
        options.seed = static_cast<uint64_t>(k + 1);
        options.channels = 16;
        options.fileSize = RecorderFileLayout::MaxFileSize;
        options.start = YearStart + 4.0 * k;
        SampleRecording recording;
        if (GenerateSampleRecording(options, recording) || WriteBinaryFile(path, recording.bytes))
            return false;
    }
    return true;
}

struct ProcessRun {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
};

// The peak resident memory of a running process (VmHWM), 0 once it has ended.
long HighWaterKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:"))
            return std::atol(line.c_str() + 6);
    return 0;
}

ProcessRun RunTool(std::vector<std::string> args) {
    args.insert(args.begin(), RECORDER_TOOL);
    std::vector<char*> argv;
    for (std::string& word : args)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ProcessRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    if (!spawned)
        return run;
    // The peak of the tool's own memory, polled: the rusage of a child counts the memory of the
    // process it was spawned from, which this one is.
    int status = 0;
    for (;;) {
        run.peakKiB = std::max(run.peakKiB, HighWaterKiB(pid));
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            break;
        if (ended < 0)
            return run;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

enum class Db { Sqlite, Postgres };

std::string Location(Db db, const std::string& name) {
    if (db == Db::Sqlite)
        return (Generated / (name + ".sqlite")).string();
    return Server->Uri(name);
}

// An empty database of that name.
std::string FreshLocation(Db db, const std::string& name) {
    const std::string location = Location(db, name);
    if (db == Db::Sqlite) {
        for (const char* suffix : {"", "-wal", "-shm"})
            fs::remove(location + suffix);
    } else {
        Server->CreateDatabase(name);
    }
    return location;
}

int64_t ArchivedFiles(const std::string& location) {
    UserMessage failure;
    const auto archive = Archive::Open(location, false, failure);
    std::vector<ArchivedRecorder> recorders;
    if (!archive || archive->ListRecorders(recorders) || recorders.empty())
        return 0;
    return recorders.front().files;
}

// The figures of building the year, kept beside it for later runs.
std::map<std::string, double> YearFigures(Db db) {
    const fs::path figures = Generated / (db == Db::Sqlite ? "archive-year-sqlite.figures"
                                                           : "archive-year-postgres.figures");
    std::map<std::string, double> values;
    const std::string location = Location(db, "archive_year");
    if (ArchivedFiles(location) == YearFiles) {
        std::ifstream in(figures);
        std::string name;
        for (double value; in >> name >> value;)
            values[name] = value;
        if (!values.empty())
            return values;
    }
    if (db == Db::Postgres)
        Server->CreateDatabase("archive_year");
    else
        FreshLocation(db, "archive_year");
    double total = 0, longest = 0;
    for (int k = 0; k < YearFiles; ++k) {
        const ProcessRun run =
            RunTool({"archive", "add", "--db", location, "--recorder", "year", FileName(k)});
        if (!run.ok)
            return {};
        total += run.seconds;
        longest = std::max(longest, run.seconds);
        if (k == 0)
            values["first_add_peak_MiB"] = static_cast<double>(run.peakKiB) / 1024.0;
        if (k == YearFiles - 1)
            values["last_add_peak_MiB"] = static_cast<double>(run.peakKiB) / 1024.0;
    }
    values["mean_add_s"] = total / YearFiles;
    values["longest_add_s"] = longest;
    std::ofstream out(figures);
    for (const auto& [name, value] : values)
        out << name << " " << value << "\n";
    return values;
}

double SizeGB(Db db) {
    std::error_code error;
    if (db == Db::Sqlite) {
        const std::string path = Location(db, "archive_year");
        uintmax_t bytes = fs::file_size(path, error);
        bytes += fs::exists(path + "-wal", error) ? fs::file_size(path + "-wal", error) : 0;
        return static_cast<double>(bytes) / 1e9;
    }
    UserMessage failure;
    const auto archive = Archive::Open(Location(db, "archive_year"), false, failure);
    int64_t bytes = 0;
    if (archive)
        QueryInt(archive->Database(), "SELECT pg_database_size(current_database())", {}, bytes);
    return static_cast<double>(bytes) / 1e9;
}

bool Ready(benchmark::State& state, Db db) {
    if (!WriteYearFiles()) {
        state.SkipWithError("the year's files could not be written");
        return false;
    }
    if (db == Db::Postgres && !Server->Running()) {
        state.SkipWithError(Server->Error().c_str());
        return false;
    }
    return true;
}

void BM_AddFileOfTheSizeLimit(benchmark::State& state, Db db) {
    if (!Ready(state, db))
        return;
    int64_t samples = 0;
    for (auto _ : state) {
        const std::string location = FreshLocation(db, "archive_add");
        UserMessage failure;
        const auto archive = Archive::Open(location, true, failure);
        const auto start = std::chrono::steady_clock::now();
        const ArchiveAddResult result = AddFileToArchive(*archive, "bench", FileName(0));
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (result.outcome != ArchiveAddResult::Outcome::Added) {
            state.SkipWithError("the add failed");
            return;
        }
        samples = result.samplesAdded;
    }
    state.counters["samples"] = static_cast<double>(samples);
}
BENCHMARK_CAPTURE(BM_AddFileOfTheSizeLimit, Sqlite, Db::Sqlite)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_AddFileOfTheSizeLimit, Postgres, Db::Postgres)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime();

void BM_YearOfOneRecorder(benchmark::State& state, Db db) {
    if (!Ready(state, db))
        return;
    std::map<std::string, double> figures;
    for (auto _ : state)
        figures = YearFigures(db);
    if (figures.empty()) {
        state.SkipWithError("building the year failed");
        return;
    }
    for (const auto& [name, value] : figures)
        state.counters[name] = value;
    state.counters["size_GB"] = SizeGB(db);
}
BENCHMARK_CAPTURE(BM_YearOfOneRecorder, Sqlite, Db::Sqlite)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_YearOfOneRecorder, Postgres, Db::Postgres)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

void BM_OpenFromTheYear(benchmark::State& state, Db db, double days) {
    if (!Ready(state, db) || YearFigures(db).empty()) {
        state.SkipWithError("no year-long archive");
        return;
    }
    // In the middle of the year, across a file's end.
    const DateTime from = YearStart + 182.5;
    const TimeRange range{from, from + days - OneSecond};
    int32_t samples = 0;
    for (auto _ : state) {
        UserMessage failure;
        const auto archive = Archive::Open(Location(db, "archive_year"), false, failure);
        JoinedRecording recording;
        if (!archive || archive->Read("year", range, recording)) {
            state.SkipWithError("the read failed");
            return;
        }
        samples = recording.info.sampleCount;
    }
    state.counters["samples"] = samples;
}
BENCHMARK_CAPTURE(BM_OpenFromTheYear, DaySqlite, Db::Sqlite, 1.0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_OpenFromTheYear, DayPostgres, Db::Postgres, 1.0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_OpenFromTheYear, WeekSqlite, Db::Sqlite, 7.0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_OpenFromTheYear, WeekPostgres, Db::Postgres, 7.0)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->UseRealTime();

// The tool reading a day as a process: its peak resident memory from the year-long archive and
// from an archive of one file.
void BM_ReadingMemory(benchmark::State& state, Db db) {
    if (!Ready(state, db) || YearFigures(db).empty()) {
        state.SkipWithError("no year-long archive");
        return;
    }
    const std::string small = FreshLocation(db, "archive_small");
    if (!RunTool({"archive", "add", "--db", small, "--recorder", "year", FileName(45)}).ok) {
        state.SkipWithError("the small archive could not be made");
        return;
    }
    const std::vector<std::string> day = {"--from", "2015-07-02 12:00:00", "--to",
                                          "2015-07-03 11:59:59"};
    long yearPeak = 0, smallPeak = 0;
    for (auto _ : state) {
        std::vector<std::string> args{"info", "archive:year", "--db", Location(db, "archive_year")};
        args.insert(args.end(), day.begin(), day.end());
        const ProcessRun year = RunTool(args);
        args[3] = small;
        const ProcessRun one = RunTool(args);
        if (!year.ok || !one.ok) {
            state.SkipWithError("the tool failed");
            return;
        }
        state.SetIterationTime(year.seconds);
        yearPeak = year.peakKiB;
        smallPeak = one.peakKiB;
    }
    state.counters["year_peak_MiB"] = static_cast<double>(yearPeak) / 1024.0;
    state.counters["one_file_peak_MiB"] = static_cast<double>(smallPeak) / 1024.0;
}
BENCHMARK_CAPTURE(BM_ReadingMemory, Sqlite, Db::Sqlite)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_ReadingMemory, Postgres, Db::Postgres)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    PostgresServer server(Generated / "archive-pg");
    Server = &server;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
