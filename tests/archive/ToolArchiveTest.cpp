// paperless-recorder-tool and the archive, run as programs: adding, listing, the reading commands
// on archive:NAME, the samples view from the databases' own command-line clients, two adds at
// once and an add killed half-way.
#include "tests/archive/ArchiveTestSupport.h"

#include "tests/ToolProgram.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sqlite3.h>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A tool process running beside the test, its output into files.
class ToolProcess {
public:
    ToolProcess(const std::vector<std::string>& args, const fs::path& out) : out_(out) {
        std::vector<std::string> words{RECORDER_TOOL};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, (out.string() + ".err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ToolProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
    }
    ToolResult Wait() {
        ToolResult r;
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_)
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        r.out = ReadText(out_);
        r.err = ReadText(out_.string() + ".err");
        return r;
    }
    void Kill() { kill(pid_, SIGKILL); }
    bool Running() const { return pid_ > 0 && kill(pid_, 0) == 0; }

private:
    pid_t pid_ = -1;
    fs::path out_;
};

class ToolArchiveTest : public ::testing::TestWithParam<Backend> {
protected:
    ToolArchiveTest() : place_(GetParam(), "tool_archive") {
        fs::create_directories(Dir() / "days");
    }

    const fs::path& Dir() const { return place_.Dir(); }

    ToolResult Run(const std::vector<std::string>& args) {
        return RunTool(RECORDER_TOOL, args, Dir());
    }

    std::string Sample(const std::string& name, const std::vector<std::string>& options) {
        const std::string path = (Dir() / "days" / name).string();
        std::vector<std::string> args{"sample", path};
        args.insert(args.end(), options.begin(), options.end());
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return path;
    }

    // Two days of two channels from 2015-03-16, the second export an hour into the first's
    // last day; each seed its own values, so the overlap decides which stay.
    void TwoExports() {
        Sample("a.bin",
               {"--channels", "2", "--days", "1", "--start", "2015-03-16 00:00:00", "--seed", "1"});
        Sample("b.bin",
               {"--channels", "2", "--days", "1", "--start", "2015-03-16 23:00:00", "--seed", "2"});
    }

    ToolResult Add(const std::string& location, const std::vector<std::string>& files,
                   const std::string& recorder = "boiler") {
        std::vector<std::string> args{"archive", "add", "--db", location, "--recorder", recorder};
        args.insert(args.end(), files.begin(), files.end());
        return Run(args);
    }

    std::string Dump(const std::string& what, const std::string& location,
                     const std::vector<std::string>& options = {}) {
        std::vector<std::string> args{"dump", what, "--db", location};
        args.insert(args.end(), options.begin(), options.end());
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    ArchivePlace place_;
};

TEST_P(ToolArchiveTest, TheArchiveReadsAsTheJoinedFolderInEveryReadingCommand) {
    TwoExports();
    const std::string db = place_.NewLocation("history");
    const std::string days = (Dir() / "days").string();
    const ToolResult added = Add(db, {days});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, days + "/a.bin: 172800 samples added, 0 already in the archive\n" + days +
                             "/b.bin: 151024 samples added, 21776 already in the archive\n");
    const ToolResult again = Add(db, {days + "/b.bin"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(again.out.starts_with(days + "/b.bin: nothing added: already in the archive"))
        << again.out;

    const ToolResult list = Run({"archive", "list", "--db", db});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "boiler: 2 files, 2015-03-16 00:00:00 to 2015-03-18 00:25:08\n"
                        "  Channel 1: ℃, 161912 samples, 2015-03-16 00:00:00 to 2015-03-18 "
                        "00:25:08\n"
                        "  Channel 2: Mpa, 161912 samples, 2015-03-16 00:00:00 to 2015-03-18 "
                        "00:25:08\n");

    EXPECT_EQ(Dump("archive:boiler", db), Dump(days, db));
    const std::vector<std::string> day = {"--from", "2015-03-16 22:30:00", "--to",
                                          "2015-03-17 01:00:00"};
    const std::string rangeDump = Dump("archive:boiler", db, day);
    EXPECT_EQ(rangeDump, Dump(days, db, day));
    EXPECT_TRUE(rangeDump.starts_with(
        "info,150.000,-20.000,2015-03-16 22:30:00,2015-03-17 01:00:00,18002\n"))
        << rangeDump.substr(0, 80);

    struct Command {
        const char* name;
        std::vector<std::string> args; // FILE stands where the file goes
    };
    const Command commands[] = {
        {"csv of a range",
         {"csv", "FILE", "-", "--from", "2015-03-17 00:00:00", "--to", "2015-03-17 00:10:00",
          "--channels", "2"}},
        {"stats", {"stats", "FILE", "2015-03-17 00:30:00", "2015-03-16 20:00:00"}},
        {"readout",
         {"readout", "FILE", "2015-03-16 23:30:00", "--cursor-b", "2015-03-17 00:30:00", "--from",
          "2015-03-16 23:00:00", "--to", "2015-03-17 01:00:00"}},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        auto with = [&](const std::string& file) {
            std::vector<std::string> args = command.args;
            std::replace(args.begin(), args.end(), std::string("FILE"), file);
            args.insert(args.end(), {"--db", db});
            return Run(args);
        };
        const ToolResult fromArchive = with("archive:boiler");
        const ToolResult fromFolder = with(days);
        EXPECT_EQ(fromArchive.status, 0) << fromArchive.err;
        EXPECT_FALSE(fromArchive.out.empty());
        EXPECT_EQ(fromArchive.out, fromFolder.out);
    }

    const ToolResult info = Run({"info", "archive:boiler", "--db", db});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Files: 2\n  " + days +
                            "/a.bin: 2015-03-16 00:00:00 to 2015-03-17 02:01:27, 172800 samples "
                            "kept\n  " +
                            days +
                            "/b.bin: 2015-03-16 23:00:00 to 2015-03-18 00:25:08, "
                            "151024 samples kept\n"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("Channel 2: Mpa, range 0 to 1.6, 161912 samples, 10 gap points"),
              std::string::npos)
        << info.out;
}

#ifdef RECORDER_TOOL_WINDOW_COMMANDS_BUILT
TEST_P(ToolArchiveTest, PictureAndReportOfTheArchiveAreThoseOfTheJoinedFolder) {
    TwoExports();
    const std::string db = place_.NewLocation("pictures");
    const std::string days = (Dir() / "days").string();
    ASSERT_EQ(Add(db, {days}).status, 0);
    struct Command {
        const char* name;
        std::vector<std::string> args; // FILE and OUT stand where they go
    };
    const Command commands[] = {
        {"picture", {"picture", "FILE", "OUT.png"}},
        {"picture of a range",
         {"picture", "FILE", "OUT.png", "--from", "2015-03-16 22:30:00", "--to",
          "2015-03-17 01:00:00", "--own-scales"}},
        {"report of a page", {"report", "FILE", "OUT.pdf", "--page", "3"}},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        auto with = [&](const std::string& file, const std::string& out) {
            std::vector<std::string> args = command.args;
            std::replace(args.begin(), args.end(), std::string("FILE"), file);
            for (std::string& arg : args)
                if (arg.starts_with("OUT"))
                    arg = (Dir() / (out + arg.substr(3))).string();
            args.insert(args.end(), {"--db", db});
            const ToolResult r = Run(args);
            EXPECT_EQ(r.status, 0) << r.err;
            if (!args[2].ends_with(".pdf"))
                return ReadText(args[2]);
            // The pages' text is what counts, but for the moment of printing.
            const std::string text = args[2] + ".txt";
            EXPECT_EQ(std::system(("pdftotext -layout '" + args[2] + "' '" + text + "'").c_str()),
                      0);
            std::string pages = ReadText(text);
            const size_t printed = pages.find("Print time");
            if (printed != std::string::npos)
                pages.erase(printed, pages.find('\n', printed) - printed);
            return pages;
        };
        const std::string fromArchive = with("archive:boiler", "archive");
        EXPECT_GT(fromArchive.size(), 1000u);
        EXPECT_EQ(fromArchive, with(days, "folder"));
    }
    const ToolResult missing =
        Run({"picture", "archive:nobody", (Dir() / "x.png").string(), "--db", db});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("archive:nobody: No recorder nobody in the archive"),
              std::string::npos)
        << missing.err;
}
#endif

// The view lines as dump's: "<channel>,<time>,<value %0.3f>", a break as dump prints it.
std::vector<std::string> DumpSampleLines(const std::string& dump) {
    std::vector<std::string> lines;
    std::istringstream in(dump);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("info,") || line.starts_with("channel,"))
            continue;
        const size_t unit = line.find(',');
        const size_t time = line.find(',', unit + 1);
        lines.push_back(line.substr(0, unit) + line.substr(time));
    }
    return lines;
}

std::vector<std::string> ViewLines(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        const size_t value = line.rfind(',');
        char text[64];
        // NULL at a break: dump prints the break value.
        std::snprintf(text, sizeof text, "%0.3f",
                      value + 1 == line.size() ? static_cast<double>(GapValue)
                                               : static_cast<double>(static_cast<float>(
                                                     std::stod(line.substr(value + 1)))));
        lines.push_back(line.substr(0, value + 1) + text);
    }
    return lines;
}

TEST_P(ToolArchiveTest, TheSamplesViewListsWhatDumpDoesWithoutTheProgram) {
    TwoExports();
    // And a live run's record whose values no 16-bit number holds: the view decodes the floats
    // the archive then keeps.
    const fs::path record = Dir() / "live-20150316-120000.csv";
    std::ofstream(record) << "No.,Channel,Value,Time,Unit\n"
                             "1,3,1234.5678,2015-03-16 12:00:00,%\n"
                             "2,3,-0.001234,2015-03-16 12:00:01,%\n"
                             "3,3,99999.5,2015-03-16 12:00:02,%\n"
                             "4,3,-158,2015-03-16 12:00:03,%\n"
                             "5,3,7.25,2015-03-16 12:00:09,%\n";
    const std::string db = place_.NewLocation("view");
    const ToolResult added = Add(db, {(Dir() / "days").string(), record.string()});
    ASSERT_EQ(added.status, 0) << added.err;
    const std::string query =
        "SELECT channel, time, value FROM samples WHERE recorder = 'boiler' ORDER BY channel, "
        "time";
    // Through a file: the queries' quotes stay as they are.
    const fs::path script = Dir() / "query.sql";
    ToolResult view;
    if (GetParam() == Backend::Sqlite) {
        // Whole seconds print as dump does; full precision for the values.
        std::ofstream(script) << "SELECT channel, time, CASE WHEN value IS NOT NULL THEN "
                                 "printf('%.17g', value) END FROM ("
                              << query << ");\n";
        view = RunTool("sqlite3", {"-separator", ",", db, ".read " + script.string()}, Dir());
    } else {
        std::ofstream(script) << "SELECT channel, to_char(time, 'YYYY-MM-DD HH24:MI:SS'), value "
                                 "FROM ("
                              << query << ") s;\n";
        view = RunTool("psql", {"-X", "-A", "-t", "-F", ",", "-f", script.string(), db}, Dir());
    }
    ASSERT_EQ(view.status, 0) << view.err;
    // Both print a NULL value as an empty field.
    const std::vector<std::string> dumped = DumpSampleLines(Dump("archive:boiler", db));
    EXPECT_EQ(ViewLines(view.out), dumped);
    EXPECT_NE(std::find(dumped.begin(), dumped.end(), "3,2015-03-16 12:00:00,1234.568"),
              dumped.end());
}

TEST_P(ToolArchiveTest, TwoAddsAtOnceGiveTheResultOfOneAfterTheOther) {
    // Two days of four channels each, overlapping by six hours with other values.
    Sample("a.bin",
           {"--channels", "4", "--days", "2", "--start", "2015-03-16 00:00:00", "--seed", "1"});
    Sample("b.bin",
           {"--channels", "4", "--days", "2", "--start", "2015-03-17 18:00:00", "--seed", "2"});
    const std::string a = (Dir() / "days" / "a.bin").string();
    const std::string b = (Dir() / "days" / "b.bin").string();
    // The recorder is there before: the adds then meet at nothing but the archive's lock.
    const std::string earlier = Sample(
        "earlier.bin", {"--channels", "4", "--days", "0.01", "--start", "2015-03-01 00:00:00"});
    const std::string oneThenTwo = place_.NewLocation("ab");
    const std::string twoThenOne = place_.NewLocation("ba");
    const std::string concurrent = place_.NewLocation("concurrent");
    for (const std::string& db : {oneThenTwo, twoThenOne, concurrent})
        ASSERT_EQ(Add(db, {earlier}).status, 0);
    ASSERT_EQ(Add(oneThenTwo, {a}).status, 0);
    ASSERT_EQ(Add(oneThenTwo, {b}).status, 0);
    ASSERT_EQ(Add(twoThenOne, {b}).status, 0);
    ASSERT_EQ(Add(twoThenOne, {a}).status, 0);
    const std::string abDump = Dump("archive:boiler", oneThenTwo);
    const std::string baDump = Dump("archive:boiler", twoThenOne);
    ASSERT_NE(abDump, baDump); // the order decides the overlap's values

    {
        ToolProcess first({"archive", "add", "--db", concurrent, "--recorder", "boiler", a},
                          Dir() / "first");
        ToolProcess second({"archive", "add", "--db", concurrent, "--recorder", "boiler", b},
                           Dir() / "second");
        const ToolResult r1 = first.Wait();
        const ToolResult r2 = second.Wait();
        ASSERT_EQ(r1.status, 0) << r1.err;
        ASSERT_EQ(r2.status, 0) << r2.err;
    }
    const std::string bothDump = Dump("archive:boiler", concurrent);
    EXPECT_TRUE(bothDump == abDump || bothDump == baDump);

    // The same file from two workstations at once: it goes in once.
    ToolProcess first({"archive", "add", "--db", concurrent, "--recorder", "furnace", a},
                      Dir() / "first");
    ToolProcess second({"archive", "add", "--db", concurrent, "--recorder", "furnace", a},
                       Dir() / "second");
    const std::string outs = first.Wait().out + second.Wait().out;
    EXPECT_NE(outs.find(a + ": 691200 samples added"), std::string::npos) << outs;
    EXPECT_NE(outs.find(a + ": nothing added: already in the archive"), std::string::npos) << outs;
}

// True while another connection is inside a transaction that writes the archive.
bool WriterInside(Backend backend, const std::string& location) {
    if (backend == Backend::Sqlite) {
        sqlite3* db = nullptr;
        bool busy = false;
        if (sqlite3_open_v2(location.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK)
            busy = sqlite3_exec(db, "BEGIN IMMEDIATE; ROLLBACK", nullptr, nullptr, nullptr) ==
                   SQLITE_BUSY;
        sqlite3_close(db);
        return busy;
    }
    PGconn* conn = PQconnectdb(location.c_str());
    // The recorder's row lock, which an add takes first in its transaction.
    PGresult* result = PQexec(conn, "SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = "
                                    "l.relation WHERE c.relname = 'recorders' AND l.mode = "
                                    "'RowShareLock' AND l.pid <> pg_backend_pid()");
    const bool inside =
        PQresultStatus(result) == PGRES_TUPLES_OK && std::string(PQgetvalue(result, 0, 0)) != "0";
    PQclear(result);
    PQfinish(conn);
    return inside;
}

// Other connections to the database, which a killed client's server process ends as.
int OtherConnections(const std::string& location) {
    PGconn* conn = PQconnectdb(location.c_str());
    PGresult* result = PQexec(conn, "SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                    "current_database() AND pid <> pg_backend_pid()");
    const int count =
        PQresultStatus(result) == PGRES_TUPLES_OK ? std::atoi(PQgetvalue(result, 0, 0)) : -1;
    PQclear(result);
    PQfinish(conn);
    return count;
}

TEST_P(ToolArchiveTest, AnAddKilledInItsTransactionLeavesTheArchiveAsItWas) {
    TwoExports();
    // A file of the size limit takes a while to go in.
    const std::string big = Sample(
        "big.bin", {"--channels", "16", "--size", "10485760", "--start", "2015-03-20 00:00:00"});
    const std::string db = place_.NewLocation("killed");
    ASSERT_EQ(Add(db, {(Dir() / "days" / "a.bin").string()}).status, 0);
    const std::string before = Dump("archive:boiler", db);

    ToolProcess add({"archive", "add", "--db", db, "--recorder", "boiler", big}, Dir() / "add");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool inside = false;
    while (!inside && add.Running() && std::chrono::steady_clock::now() < deadline)
        inside = WriterInside(GetParam(), db);
    ASSERT_TRUE(inside) << "the add never wrote: " << add.Wait().err;
    add.Kill();
    const ToolResult killed = add.Wait();
    EXPECT_EQ(killed.status, -1);
    EXPECT_EQ(killed.out, ""); // it never told of the file as added
    if (GetParam() == Backend::Postgres)
        for (int i = 0; i < 100 && OtherConnections(db) > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));

    EXPECT_EQ(Dump("archive:boiler", db), before);
    const ToolResult list = Run({"archive", "list", "--db", db});
    EXPECT_TRUE(list.out.starts_with("boiler: 1 file,")) << list.out;
    // Nothing half-written stands in the way of adding it again.
    const ToolResult again = Add(db, {big});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("samples added, 0 already in the archive"), std::string::npos)
        << again.out;
}

INSTANTIATE_TEST_SUITE_P(Databases, ToolArchiveTest,
                         ::testing::Values(Backend::Sqlite, Backend::Postgres), BackendName);

class ToolArchiveMessagesTest : public ::testing::Test {
protected:
    ToolArchiveMessagesTest() : place_(Backend::Sqlite, "tool_archive_messages") {}
    ToolResult Run(const std::vector<std::string>& args) {
        return RunTool(RECORDER_TOOL, args, place_.Dir());
    }
    ArchivePlace place_;
};

TEST_F(ToolArchiveMessagesTest, TheDefaultArchiveIsMadeInTheUsersDataFolderOnFirstAdd) {
    const fs::path data = place_.Dir() / "data";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    const fs::path archive = data / "paperless-recorder" / "archive.sqlite";
    const ToolResult before = Run({"archive", "list"});
    EXPECT_EQ(before.status, 1);
    EXPECT_EQ(before.err, "paperless-recorder-tool: No archive at " + archive.string() +
                              " yet: archive add makes it.\n");
    const std::string file =
        WriteFixture(place_.Dir(), {"a.bin", {{1, {{0, Ramp(100, 60)}}}}, 0, 59});
    const ToolResult added = Run({"archive", "add", "--recorder", "boiler", file});
    EXPECT_EQ(added.status, 0) << added.err;
    EXPECT_TRUE(fs::exists(archive));
    const ToolResult list = Run({"archive", "list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_TRUE(
        list.out.starts_with("boiler: 1 file, 2015-03-16 09:00:00 to 2015-03-16 09:00:59\n"))
        << list.out;
    ::unsetenv("XDG_DATA_HOME");
}

TEST_F(ToolArchiveMessagesTest, FailuresAreToldOnStandardErrorWithExitOne) {
    const std::string db = (place_.Dir() / "history.sqlite").string();
    const std::string a = WriteFixture(place_.Dir(), {"a.bin", {{1, {{0, Ramp(100, 60)}}}}, 0, 59});
    // Channel 1 in Mpa.
    const std::string b =
        WriteFixture(place_.Dir(), {"b.bin", {{1, {{100, Ramp(100, 60)}}, 12}}, 100, 159});
    const std::string notes = (place_.Dir() / "notes.txt").string();
    std::ofstream(notes) << "these are no archive but long enough to be looked at";
    // The refused file is told, the others go on.
    const ToolResult conflict = Run({"archive", "add", "--db", db, "--recorder", "boiler", b, a});
    EXPECT_EQ(conflict.status, 1);
    EXPECT_EQ(conflict.out, a + ": 60 samples added, 0 already in the archive\n");
    EXPECT_EQ(conflict.err, "paperless-recorder-tool: Channel 01 is in ℃ in archive:boiler but in "
                            "Mpa in " +
                                b + ": the files cannot be joined.\n");

    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string err; // a part of standard error
    };
    const Case cases[] = {
        {"a recorder the archive lacks",
         {"dump", "archive:furnace", "--db", db},
         1,
         "No recorder furnace in the archive " + db + " (it holds boiler)."},
        {"a file that is no database",
         {"info", "archive:boiler", "--db", notes},
         1,
         "Cannot open the archive " + notes + ": file is not a database"},
        {"a file that does not read",
         {"archive", "add", "--db", db, "--recorder", "boiler", notes},
         1,
         notes + ": File format error!"},
        {"no recorder", {"archive", "add", "--db", db, a}, 2, "archive add needs --recorder NAME"},
        {"no --db value", {"archive", "list", "--db"}, 2, "--db needs the archive's location"},
        {"an unknown archive command", {"archive", "remove"}, 2, "unknown archive command remove"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult r = Run(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

TEST_F(ToolArchiveMessagesTest, TheCommandsAnswerHelp) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"archive", "--help"}, "archive add [--db URL] --recorder NAME FILE|FOLDER..."},
        {{"archive", "add", "--help"}, "postgresql://[user@]host[:port]/dbname"},
        {{"dump", "--help"}, "archive:NAME, the recorder NAME of the archive"},
        {{"stats", "-h"}, "Usage: paperless-recorder-tool stats FILE FROM TO"},
    };
    for (const auto& [args, text] : cases) {
        SCOPED_TRACE(args.front());
        const ToolResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(text), std::string::npos) << r.out;
    }
}

} // namespace
