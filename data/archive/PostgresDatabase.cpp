// The archive on a PostgreSQL server, through libpq.
//
// Parameters and results travel in the binary format: blobs of samples go as they are, without
// an escaped text form. Writers run at READ COMMITTED and serialise on a row lock of the
// recorder they write (the archive takes it first thing); readers see one snapshot.

#include "data/archive/ArchiveDatabase.h"

#include <bit>
#include <cstring>
#include <libpq-fe.h>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Type numbers of the server's built-in types (stable across versions).
constexpr Oid BoolOid = 16;
constexpr Oid ByteaOid = 17;
constexpr Oid NameOid = 19;
constexpr Oid Int8Oid = 20;
constexpr Oid Int2Oid = 21;
constexpr Oid Int4Oid = 23;
constexpr Oid TextOid = 25;
constexpr Oid Float4Oid = 700;
constexpr Oid Float8Oid = 701;
constexpr Oid VarcharOid = 1043;

uint64_t BigEndian(const char* p, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value = value << 8 | static_cast<uint8_t>(p[i]);
    return value;
}

void PutBigEndian(uint64_t value, char* out) {
    for (int i = 7; i >= 0; --i) {
        out[i] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
}

std::string ResultError(const PGresult* result, PGconn* conn) {
    const char* text = result ? PQresultErrorMessage(result) : PQerrorMessage(conn);
    std::string message = text && *text ? text : "no answer from the server";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

class PostgresRow : public SqlRow {
public:
    PostgresRow(const PGresult* result, int row) : result_(result), row_(row) {}
    bool IsNull(int column) const override { return PQgetisnull(result_, row_, column) != 0; }
    int64_t Int(int column) const override {
        const char* p = PQgetvalue(result_, row_, column);
        switch (PQftype(result_, column)) {
        case BoolOid:
            return p[0] != 0;
        case Int2Oid:
            return static_cast<int16_t>(BigEndian(p, 2));
        case Int4Oid:
            return static_cast<int32_t>(BigEndian(p, 4));
        case Int8Oid:
            return static_cast<int64_t>(BigEndian(p, 8));
        default:
            throw TypeError(column, "a whole number");
        }
    }
    double Real(int column) const override {
        const char* p = PQgetvalue(result_, row_, column);
        switch (PQftype(result_, column)) {
        case Float4Oid:
            return std::bit_cast<float>(static_cast<uint32_t>(BigEndian(p, 4)));
        case Float8Oid:
            return std::bit_cast<double>(BigEndian(p, 8));
        case Int2Oid:
        case Int4Oid:
        case Int8Oid:
            return static_cast<double>(Int(column));
        default:
            throw TypeError(column, "a number");
        }
    }
    std::string Text(int column) const override {
        const Oid type = PQftype(result_, column);
        if (type != TextOid && type != VarcharOid && type != NameOid)
            throw TypeError(column, "a text");
        return std::string(PQgetvalue(result_, row_, column),
                           static_cast<size_t>(PQgetlength(result_, row_, column)));
    }
    SqlBlob Blob(int column) const override {
        if (PQftype(result_, column) != ByteaOid)
            throw TypeError(column, "bytes");
        return SqlBlob(reinterpret_cast<const uint8_t*>(PQgetvalue(result_, row_, column)),
                       static_cast<size_t>(PQgetlength(result_, row_, column)));
    }

private:
    ArchiveDatabaseError TypeError(int column, const char* wanted) const {
        return ArchiveDatabaseError(std::string("column ") + PQfname(result_, column) + " is not " +
                                    wanted);
    }

    const PGresult* result_;
    int row_;
};

// Seconds, as libpq takes it.
constexpr const char* ConnectTimeout = "10";

class PostgresDatabase : public ArchiveDatabase {
public:
    explicit PostgresDatabase(const std::string& uri) {
        // The URI's own settings win (those before it are overridden by it); the program only
        // names itself to the server and gives up on a server that does not answer within
        // ConnectTimeout, so that a live run's start, and the window's end waiting for it,
        // never hang on an unreachable host.
        const char* keywords[] = {"connect_timeout", "dbname", "fallback_application_name",
                                  nullptr};
        const char* values[] = {ConnectTimeout, uri.c_str(), "paperless-recorder", nullptr};
        conn_ = PQconnectdbParams(keywords, values, 1);
        if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
            const std::string error = conn_ ? ResultError(nullptr, conn_) : "out of memory";
            PQfinish(conn_);
            throw ArchiveDatabaseError(error);
        }
        // Notices (a table that already exists, say) are no concern of the user.
        PQsetNoticeProcessor(
            conn_, [](void*, const char*) {}, nullptr);
        RunScript("SET client_encoding = 'UTF8'");
    }
    ~PostgresDatabase() override { PQfinish(conn_); }

    ArchiveDialect Dialect() const override { return ArchiveDialect::Postgres; }

    void Run(std::string_view sql, std::span<const SqlValue> params,
             const SqlRowHandler& onRow) override {
        const size_t n = params.size();
        std::vector<Oid> types(n, 0);
        std::vector<const char*> values(n, nullptr);
        std::vector<int> lengths(n, 0), formats(n, 0);
        std::vector<std::string> owned(n); // texts and numbers in their wire form
        for (size_t i = 0; i < n; ++i) {
            const SqlValue& value = params[i];
            if (const auto* v = std::get_if<int64_t>(&value)) {
                owned[i].resize(8);
                PutBigEndian(static_cast<uint64_t>(*v), owned[i].data());
                types[i] = Int8Oid;
                formats[i] = 1;
            } else if (const auto* d = std::get_if<double>(&value)) {
                owned[i].resize(8);
                PutBigEndian(std::bit_cast<uint64_t>(*d), owned[i].data());
                types[i] = Float8Oid;
                formats[i] = 1;
            } else if (const auto* t = std::get_if<std::string_view>(&value)) {
                owned[i] = std::string(*t); // libpq wants a terminated text
                types[i] = TextOid;
            } else if (const auto* b = std::get_if<SqlBlob>(&value)) {
                values[i] = reinterpret_cast<const char*>(b->data());
                lengths[i] = static_cast<int>(b->size());
                types[i] = ByteaOid;
                formats[i] = 1;
                continue;
            } else {
                continue; // NULL
            }
            values[i] = owned[i].c_str();
            lengths[i] = static_cast<int>(owned[i].size());
        }
        PGresult* result = PQexecPrepared(conn_, Prepared(sql, types).c_str(), static_cast<int>(n),
                                          values.data(), lengths.data(), formats.data(), 1);
        Check(result);
        if (onRow) {
            const int rows = PQntuples(result);
            try {
                for (int r = 0; r < rows; ++r)
                    onRow(PostgresRow(result, r));
            } catch (...) {
                PQclear(result);
                throw;
            }
        }
        PQclear(result);
    }

    void RunScript(std::string_view sql) override {
        const std::string text(sql);
        PGresult* result = PQexec(conn_, text.c_str());
        Check(result);
        PQclear(result);
    }

    void BeginWrite() override { RunScript("BEGIN"); }
    void BeginRead() override { RunScript("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); }
    void Commit() override { RunScript("COMMIT"); }
    void Rollback() noexcept override {
        if (PQtransactionStatus(conn_) != PQTRANS_IDLE)
            PQclear(PQexec(conn_, "ROLLBACK"));
    }

private:
    // Statements are prepared once per connection and parameter types (a NULL leaves its type
    // to the server): adding a file runs the same few many times.
    const std::string& Prepared(std::string_view sql, const std::vector<Oid>& types) {
        std::string key(sql);
        for (const Oid type : types)
            key += "\n" + std::to_string(type);
        const auto found = statements_.find(key);
        if (found != statements_.end())
            return found->second;
        const std::string name = "archive_" + std::to_string(statements_.size() + 1);
        const std::string text(sql);
        PGresult* result = PQprepare(conn_, name.c_str(), text.c_str(),
                                     static_cast<int>(types.size()), types.data());
        Check(result);
        PQclear(result);
        return statements_.emplace(std::move(key), name).first->second;
    }

    void Check(PGresult* result) {
        const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return;
        const std::string error = ResultError(result, conn_);
        PQclear(result);
        throw ArchiveDatabaseError(error);
    }

    PGconn* conn_ = nullptr;
    std::unordered_map<std::string, std::string> statements_;
};

} // namespace

std::unique_ptr<ArchiveDatabase> OpenPostgresDatabase(const std::string& uri) {
    return std::make_unique<PostgresDatabase>(uri);
}
