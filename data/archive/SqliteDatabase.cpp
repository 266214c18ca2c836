// The archive in an SQLite file, through libsqlite3.
//
// The file is kept in write-ahead-log mode with full syncs: a commit is on the disk when it
// returns, a killed process or a power cut leaves the last committed state, and readers never
// wait for a writer. Writers take the write lock when their transaction begins and wait up to a
// minute for another writer (another process adding files) to finish.

#include "data/archive/ArchiveDatabase.h"

#include <charconv>
#include <sqlite3.h>
#include <string>
#include <unordered_map>

namespace {

constexpr int BusyTimeoutMs = 60'000;

class SqliteRow : public SqlRow {
public:
    explicit SqliteRow(sqlite3_stmt* stmt) : stmt_(stmt) {}
    bool IsNull(int column) const override {
        return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
    }
    int64_t Int(int column) const override { return sqlite3_column_int64(stmt_, column); }
    double Real(int column) const override { return sqlite3_column_double(stmt_, column); }
    std::string Text(int column) const override {
        const auto* text = sqlite3_column_text(stmt_, column);
        const int size = sqlite3_column_bytes(stmt_, column);
        return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size))
                    : std::string();
    }
    SqlBlob Blob(int column) const override {
        const void* data = sqlite3_column_blob(stmt_, column);
        const int size = sqlite3_column_bytes(stmt_, column);
        return data ? SqlBlob(static_cast<const uint8_t*>(data), static_cast<size_t>(size))
                    : SqlBlob();
    }

private:
    sqlite3_stmt* stmt_;
};

class SqliteDatabase : public ArchiveDatabase {
public:
    SqliteDatabase(const std::string& path, bool create) {
        const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            const std::string error = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            db_ = nullptr;
            throw ArchiveDatabaseError(error);
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, BusyTimeoutMs);
        try {
            // Reading the journal mode is the first access: a file that is no database fails
            // here ("file is not a database").
            RunScript("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; "
                      "PRAGMA foreign_keys = ON");
        } catch (...) {
            Close();
            throw;
        }
    }
    ~SqliteDatabase() override { Close(); }

    ArchiveDialect Dialect() const override { return ArchiveDialect::Sqlite; }

    void Run(std::string_view sql, std::span<const SqlValue> params,
             const SqlRowHandler& onRow) override {
        sqlite3_stmt* stmt = Prepared(sql);
        // Reset on every way out, so the statement can run again and holds no lock.
        struct Reset {
            sqlite3_stmt* stmt;
            ~Reset() {
                sqlite3_reset(stmt);
                sqlite3_clear_bindings(stmt);
            }
        } reset{stmt};
        Bind(stmt, params);
        const SqliteRow row(stmt);
        for (;;) {
            const int status = sqlite3_step(stmt);
            if (status == SQLITE_DONE)
                return;
            if (status != SQLITE_ROW)
                throw ArchiveDatabaseError(sqlite3_errmsg(db_));
            if (onRow)
                onRow(row);
        }
    }

    void RunScript(std::string_view sql) override {
        const std::string text(sql);
        char* error = nullptr;
        if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : sqlite3_errmsg(db_);
            sqlite3_free(error);
            throw ArchiveDatabaseError(message);
        }
    }

    void BeginWrite() override { RunScript("BEGIN IMMEDIATE"); }
    void BeginRead() override { RunScript("BEGIN"); }
    void Commit() override { RunScript("COMMIT"); }
    void Rollback() noexcept override {
        if (db_ && !sqlite3_get_autocommit(db_))
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }

private:
    void Close() {
        for (auto& [text, stmt] : statements_)
            sqlite3_finalize(stmt);
        statements_.clear();
        sqlite3_close(db_);
        db_ = nullptr;
    }

    // Statements are prepared once per connection: adding a file runs the same few many times.
    sqlite3_stmt* Prepared(std::string_view sql) {
        const auto found = statements_.find(std::string(sql));
        if (found != statements_.end())
            return found->second;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) !=
            SQLITE_OK)
            throw ArchiveDatabaseError(sqlite3_errmsg(db_));
        statements_.emplace(std::string(sql), stmt);
        return stmt;
    }

    // Parameters are named $1, $2, ... in the text; SQLite numbers them by first appearance, so
    // each is bound by its name's number.
    void Bind(sqlite3_stmt* stmt, std::span<const SqlValue> params) {
        const int count = sqlite3_bind_parameter_count(stmt);
        for (int slot = 1; slot <= count; ++slot) {
            const char* name = sqlite3_bind_parameter_name(stmt, slot);
            size_t number = 0;
            if (!name || name[0] != '$' ||
                std::from_chars(name + 1, name + std::char_traits<char>::length(name), number).ec !=
                    std::errc() ||
                number < 1 || number > params.size())
                throw ArchiveDatabaseError("statement parameter " + std::string(name ? name : "?") +
                                           " has no value");
            const SqlValue& value = params[number - 1];
            int status = SQLITE_OK;
            if (std::holds_alternative<SqlNull>(value))
                status = sqlite3_bind_null(stmt, slot);
            else if (const auto* i = std::get_if<int64_t>(&value))
                status = sqlite3_bind_int64(stmt, slot, *i);
            else if (const auto* d = std::get_if<double>(&value))
                status = sqlite3_bind_double(stmt, slot, *d);
            else if (const auto* t = std::get_if<std::string_view>(&value))
                status = sqlite3_bind_text64(stmt, slot, t->data(), t->size(), SQLITE_STATIC,
                                             SQLITE_UTF8);
            else if (const auto* b = std::get_if<SqlBlob>(&value))
                // A zero-length blob must still be a blob, not NULL.
                status = b->empty()
                             ? sqlite3_bind_zeroblob(stmt, slot, 0)
                             : sqlite3_bind_blob64(stmt, slot, b->data(), b->size(), SQLITE_STATIC);
            if (status != SQLITE_OK)
                throw ArchiveDatabaseError(sqlite3_errmsg(db_));
        }
    }

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

} // namespace

std::unique_ptr<ArchiveDatabase> OpenSqliteDatabase(const std::string& path, bool create) {
    return std::make_unique<SqliteDatabase>(path, create);
}
