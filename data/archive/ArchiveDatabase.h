#pragma once
// The one small interface the archive speaks to its database through, with two back ends: an
// SQLite file (libsqlite3) and a PostgreSQL server (libpq). Statements are shared text with
// numbered parameters ($1, $2, ...) that are always bound, never spliced into the text; what
// differs between the two dialects (the schema, locking) is asked of Dialect().
//
// Failures throw ArchiveDatabaseError with the database's own text (UTF-8); the archive turns
// them into messages.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

enum class ArchiveDialect { Sqlite, Postgres };

class ArchiveDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct SqlNull {};
using SqlBlob = std::span<const uint8_t>;
// A parameter: NULL, a whole number, a real number, a text (UTF-8) or bytes.
using SqlValue = std::variant<SqlNull, int64_t, double, std::string_view, SqlBlob>;

// One row of a result, valid during the callback that receives it.
class SqlRow {
public:
    virtual ~SqlRow() = default;
    virtual bool IsNull(int column) const = 0;
    virtual int64_t Int(int column) const = 0;
    virtual double Real(int column) const = 0;
    virtual std::string Text(int column) const = 0;
    virtual SqlBlob Blob(int column) const = 0;
};

using SqlRowHandler = std::function<void(const SqlRow&)>;

class ArchiveDatabase {
public:
    virtual ~ArchiveDatabase() = default;

    virtual ArchiveDialect Dialect() const = 0;
    // Runs one statement with its parameters; onRow receives each row of its result.
    virtual void Run(std::string_view sql, std::span<const SqlValue> params = {},
                     const SqlRowHandler& onRow = {}) = 0;
    // Runs statements without parameters, separated by semicolons (the schema).
    virtual void RunScript(std::string_view sql) = 0;

    // A transaction that writes: it holds the database's write lock (SQLite) or takes row
    // locks as it goes (PostgreSQL), so concurrent writers wait for each other.
    virtual void BeginWrite() = 0;
    // A transaction that reads one consistent state of the archive, whatever is written
    // meanwhile.
    virtual void BeginRead() = 0;
    virtual void Commit() = 0;
    // Never throws: called on the way out of a failure.
    virtual void Rollback() noexcept = 0;
};

// The first row's first column of a query, when it has one.
bool QueryInt(ArchiveDatabase& db, std::string_view sql, std::span<const SqlValue> params,
              int64_t& value);

// Rolls back on every way out unless committed.
class ArchiveTransaction {
public:
    enum class Kind { Read, Write };
    ArchiveTransaction(ArchiveDatabase& db, Kind kind);
    ~ArchiveTransaction();
    ArchiveTransaction(const ArchiveTransaction&) = delete;
    ArchiveTransaction& operator=(const ArchiveTransaction&) = delete;
    void Commit();

private:
    ArchiveDatabase& db_;
    bool open_ = true;
};

// True for a location that names a PostgreSQL database (a postgresql:// or postgres:// URI);
// anything else is the path of an SQLite file.
bool IsPostgresLocation(std::string_view location);

// The location as messages may show it: a URI's password left out.
std::string LocationForMessages(std::string_view location);

// Whether the location holds a password (in the URI's user part or as a parameter).
bool LocationHasPassword(std::string_view location);
// Why a location may not be stored in the settings (a password in it), nullopt when it may.
inline constexpr const char* StoredPasswordText =
    "The archive's address holds a password, and config.ini stores no password. Leave it out "
    "and give it in the server's password file (~/.pgpass) or a service file (~/.pg_service.conf).";
std::optional<std::string> StoredLocationProblem(std::string_view location);

// Opens the SQLite file at path, creating it when create is set; throws on failure.
std::unique_ptr<ArchiveDatabase> OpenSqliteDatabase(const std::string& path, bool create);
// Connects to a PostgreSQL server; the password comes from libpq's own means (a password file,
// a service file, PGPASSWORD). Throws on failure.
std::unique_ptr<ArchiveDatabase> OpenPostgresDatabase(const std::string& uri);
