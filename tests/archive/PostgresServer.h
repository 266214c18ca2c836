#pragma once
// A PostgreSQL server of the tests' and benchmarks' own: initdb and pg_ctl of Debian's package
// in a temporary folder, listening on a Unix socket there only. A process running as root runs
// the server as the postgres user (or nobody), as the server refuses to run as root.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <libpq-fe.h>
#include <pwd.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

class PostgresServer {
public:
    // Starts a server in a new folder under base (the system's temporary folder by default);
    // an existing data folder there is started as it is, so a benchmark's archive survives.
    explicit PostgresServer(std::filesystem::path folder = {}) {
        namespace fs = std::filesystem;
        if (folder.empty()) {
            std::string pattern = (fs::temp_directory_path() / "archive-pg-XXXXXX").string();
            if (!mkdtemp(pattern.data())) {
                error_ = "cannot make a temporary folder";
                return;
            }
            folder = pattern;
            removeFolder_ = true;
        }
        folder_ = folder;
        fs::create_directories(folder_);
        const std::string bin = BinDir();
        if (bin.empty()) {
            error_ = "no PostgreSQL server programs (Debian package postgresql)";
            return;
        }
        std::string run; // the prefix that runs a command as the server's user
        if (geteuid() == 0) {
            const char* user = getpwnam("postgres") ? "postgres" : "nobody";
            const passwd* pw = getpwnam(user);
            if (!pw || chown(folder_.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
                error_ = std::string("cannot hand the folder to the user ") + user;
                return;
            }
            run = std::string("runuser -u ") + user + " -- ";
        }
        const std::string data = (folder_ / "data").string();
        const std::string log = (folder_ / "server.log").string();
        if (!fs::exists(folder_ / "data" / "PG_VERSION") &&
            !Shell(run + bin + "/initdb -D '" + data + "' -U " + User +
                   " -A trust -E UTF8 --locale=C --no-sync >'" + (folder_ / "initdb.log").string() +
                   "' 2>&1")) {
            error_ = "initdb failed: " + Contents(folder_ / "initdb.log");
            return;
        }
        if (!Shell(run + bin + "/pg_ctl -D '" + data + "' -l '" + log + "' -w -t 60 -o \"-k '" +
                   folder_.string() + "' -c listen_addresses='' -p " + std::to_string(Port) +
                   "\" start >/dev/null 2>&1")) {
            error_ = "the server did not start: " + Contents(folder_ / "server.log");
            return;
        }
        stop_ = run + bin + "/pg_ctl -D '" + data + "' -m fast -w stop >/dev/null 2>&1";
        running_ = true;
    }

    ~PostgresServer() {
        if (running_)
            Shell(stop_);
        if (removeFolder_) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    bool Running() const { return running_; }
    const std::string& Error() const { return error_; }
    const std::filesystem::path& Folder() const { return folder_; }

    // The URI of a database on this server (libpq form, socket folder as host).
    std::string Uri(const std::string& database) const {
        return "postgresql:///" + database + "?host=" + folder_.string() +
               "&port=" + std::to_string(Port) + "&user=" + User;
    }

    // Creates the database (dropping one of that name first); the failure text or empty.
    std::string CreateDatabase(const std::string& name) const {
        const std::string quoted = "\"" + name + "\"";
        const std::string dropped = Execute("DROP DATABASE IF EXISTS " + quoted + " WITH (FORCE)");
        return dropped.empty() ? Execute("CREATE DATABASE " + quoted) : dropped;
    }

    // Runs a statement in the server's maintenance database; the failure text or empty.
    std::string Execute(const std::string& sql) const {
        PGconn* conn = PQconnectdb(Uri("postgres").c_str());
        std::string error;
        if (PQstatus(conn) != CONNECTION_OK) {
            error = PQerrorMessage(conn);
        } else {
            PQsetNoticeProcessor(
                conn, [](void*, const char*) {}, nullptr);
            PGresult* result = PQexec(conn, sql.c_str());
            if (PQresultStatus(result) != PGRES_COMMAND_OK &&
                PQresultStatus(result) != PGRES_TUPLES_OK)
                error = PQresultErrorMessage(result);
            PQclear(result);
        }
        PQfinish(conn);
        return error;
    }

    static constexpr const char* User = "archive";
    static constexpr int Port = 5432;

private:
    static bool Shell(const std::string& command) {
        const int status = std::system(command.c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    static std::string Contents(const std::filesystem::path& path) {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Debian keeps the server's programs out of PATH.
    static std::string BinDir() {
        namespace fs = std::filesystem;
        std::error_code error;
        for (int version = 20; version >= 12; --version) {
            const fs::path bin = "/usr/lib/postgresql/" + std::to_string(version) + "/bin";
            if (fs::exists(bin / "initdb", error) && fs::exists(bin / "pg_ctl", error))
                return bin.string();
        }
        return {};
    }

    std::filesystem::path folder_;
    bool removeFolder_ = false;
    bool running_ = false;
    std::string stop_;
    std::string error_;
};
