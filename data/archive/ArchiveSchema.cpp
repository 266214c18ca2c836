#include "data/archive/ArchiveSchema.h"

#include "data/archive/StretchCodec.h"

#include <cstdio>

namespace {

// The tables, with the dialects' names for the same types.
std::string TablesSql(ArchiveDialect dialect) {
    const bool pg = dialect == ArchiveDialect::Postgres;
    const std::string id =
        pg ? "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY" : "INTEGER PRIMARY KEY";
    const std::string key = pg ? "BIGINT" : "INTEGER";
    const std::string real = pg ? "DOUBLE PRECISION" : "REAL";
    const std::string blob = pg ? "BYTEA" : "BLOB";
    return "CREATE TABLE archive_schema (version INTEGER NOT NULL);\n"
           "INSERT INTO archive_schema (version) VALUES (" +
           std::to_string(ArchiveSchemaVersion) +
           ");\n"
           "CREATE TABLE recorders (id " +
           id +
           ", name TEXT NOT NULL UNIQUE);\n"
           "CREATE TABLE channels (id " +
           id + ", recorder_id " + key +
           " NOT NULL REFERENCES recorders (id), number INTEGER NOT NULL, unit TEXT NOT NULL, "
           "range_low " +
           real + ", range_high " + real +
           ", UNIQUE (recorder_id, number));\n"
           // Blobs last: SQLite then reads a row's numbers without its blobs.
           "CREATE TABLE stretches (id " +
           id + ", channel_id " + key + " NOT NULL REFERENCES channels (id), seq " + key +
           " NOT NULL, first_time " + key + " NOT NULL, step " + key +
           ", count INTEGER NOT NULL, min_time " + key + " NOT NULL, max_time " + key +
           " NOT NULL, kind INTEGER NOT NULL, format INTEGER NOT NULL, times " + blob + ", vals " +
           blob +
           " NOT NULL);\n"
           "CREATE INDEX stretches_order ON stretches (channel_id, seq);\n"
           "CREATE INDEX stretches_time ON stretches (channel_id, max_time, min_time);\n"
           "CREATE TABLE files (id " +
           id + ", recorder_id " + key +
           " NOT NULL REFERENCES recorders (id), path TEXT NOT NULL, size " + key +
           " NOT NULL, sha256 TEXT, added_at " + key + " NOT NULL, start_time " + key +
           " NOT NULL, end_time " + key + " NOT NULL, value_min " + real + " NOT NULL, value_max " +
           real + " NOT NULL, samples_added " + key + " NOT NULL, samples_held " + key +
           " NOT NULL, UNIQUE (recorder_id, sha256));\n" + SamplesViewSql(dialect) + ";\n";
}

// Byte pos (0-based, an SQL expression) of blob as an integer 0..255.
std::string Byte(ArchiveDialect dialect, const std::string& blob, const std::string& pos) {
    if (dialect == ArchiveDialect::Postgres)
        return "get_byte(" + blob + ", " + pos + ")";
    // SQLite has no function that reads a byte as a number: its position in a blob of every
    // byte value does.
    static const std::string allBytes = [] {
        std::string text = "X'";
        for (int b = 0; b < 256; ++b) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", b);
            text += hex;
        }
        return text + "'";
    }();
    return "(instr(" + allBytes + ", substr(" + blob + ", " + pos + " + 1, 1)) - 1)";
}

// The little-endian unsigned number of `bytes` bytes at entry k of blob.
std::string Unsigned(ArchiveDialect dialect, const std::string& blob, const std::string& k,
                     int bytes) {
    std::string sum;
    for (int j = 0; j < bytes; ++j) {
        const std::string pos = std::to_string(bytes) + " * " + k + " + " + std::to_string(j);
        std::string term = Byte(dialect, blob, pos);
        if (j > 0)
            term = "CAST(" + term + " AS BIGINT) * " + std::to_string(1ULL << (8 * j));
        sum += (j ? " + " : "") + term;
    }
    return "(" + sum + ")";
}

std::string Int16At(ArchiveDialect dialect, const std::string& blob, const std::string& k) {
    return "((" + Unsigned(dialect, blob, k, 2) + " + 32768) % 65536 - 32768)";
}

// Seven low bytes and the signed top byte.
std::string Int64At(ArchiveDialect dialect, const std::string& blob, const std::string& k) {
    const std::string top = Byte(dialect, blob, "8 * " + k + " + 7");
    std::string low;
    for (int j = 0; j < 7; ++j) {
        std::string term = Byte(dialect, blob, "8 * " + k + " + " + std::to_string(j));
        if (j > 0)
            term = "CAST(" + term + " AS BIGINT) * " + std::to_string(1ULL << (8 * j));
        low += (j ? " + " : "") + term;
    }
    return "(" + low + " + (CAST(" + top + " AS BIGINT) - 256 * (" + top + " / 128)) * " +
           std::to_string(1ULL << 56) + ")";
}

// IEEE single precision from its bits; NULL for infinities and NaN.
std::string Float32At(ArchiveDialect dialect, const std::string& blob, const std::string& k) {
    const std::string bits = Unsigned(dialect, blob, k, 4);
    const std::string exponent = "(" + bits + " / 8388608 % 256)";
    const std::string mantissa = "(" + bits + " % 8388608)";
    const std::string sign = "(1 - 2 * (" + bits + " / 2147483648))";
    const std::string powerOfTwo =
        dialect == ArchiveDialect::Postgres ? "power(2::float8, " : "pow(2.0, ";
    return "(CASE WHEN " + exponent + " = 255 THEN NULL WHEN " + exponent + " = 0 THEN " + sign +
           " * " + mantissa + " * " + powerOfTwo + "-149) ELSE " + sign + " * (" + mantissa +
           " + 8388608) * " + powerOfTwo + exponent + " - 150) END)";
}

} // namespace

std::string SamplesViewSql(ArchiveDialect dialect) {
    const bool pg = dialect == ArchiveDialect::Postgres;
    // PostgreSQL reads a stored blob anew at every use of the column: the lateral subquery
    // (kept apart by OFFSET 0) reads each stretch's blobs once.
    const std::string vals = pg ? "d.vals" : "s.vals";
    const std::string times = pg ? "d.times" : "s.times";
    const std::string k = pg ? "k" : "k.i";
    const std::string ms = "(CASE WHEN " + times + " IS NULL THEN s.first_time + " + k +
                           " * s.step ELSE " + Int64At(dialect, times, k) + " END)";
    const std::string time =
        pg ? "TIMESTAMP '1970-01-01 00:00:00' + " + ms + " * INTERVAL '1 millisecond'"
           // Whole seconds as the program writes them; a fraction only where there is one.
           : "(CASE WHEN " + ms + " % 1000 = 0 THEN strftime('%Y-%m-%d %H:%M:%S', " + ms +
                 " / 1000, 'unixepoch') ELSE strftime('%Y-%m-%d %H:%M:%f', " + ms +
                 " / 1000.0, 'unixepoch') END)";
    std::string scale = "(CASE s.format";
    for (int d = 0; d <= MaxInt16Decimals; ++d) {
        std::string power = "1";
        for (int i = 0; i < d; ++i)
            power += "0";
        // Real numbers in either dialect (a PostgreSQL 10.0 would be an exact numeric).
        scale += " WHEN " + std::to_string(FormatInt16 + d) + " THEN " + power +
                 (pg ? "::float8" : ".0");
    }
    scale += " END)";
    const std::string value =
        "(CASE WHEN s.kind <> 0 THEN NULL WHEN s.format = " + std::to_string(FormatFloat32) +
        " THEN " + Float32At(dialect, vals, k) + " ELSE " + Int16At(dialect, vals, k) + " / " +
        scale + " END)";
    const std::string columns = "SELECT r.name AS recorder, c.number AS channel, c.unit AS unit, " +
                                time + " AS time, " + value + " AS value\n";
    const std::string tables = "FROM recorders r JOIN channels c ON c.recorder_id = r.id "
                               "JOIN stretches s ON s.channel_id = c.id\n";
    if (pg)
        return "CREATE VIEW samples AS\n" + columns + tables +
               "CROSS JOIN LATERAL (SELECT s.vals || ''::bytea AS vals, s.times || ''::bytea "
               "AS times OFFSET 0) d\n"
               "CROSS JOIN LATERAL generate_series(0, s.count - 1) AS k";
    // A stretch's entry numbers; CROSS JOIN keeps them the inner loop.
    return "CREATE VIEW samples AS\nWITH RECURSIVE k(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
           "FROM k WHERE i < " +
           std::to_string(MaxStretchEntries - 1) + ")\n" + columns + tables +
           "CROSS JOIN k WHERE k.i < s.count";
}

bool HasArchiveSchema(ArchiveDatabase& db) {
    int64_t found = 0;
    if (db.Dialect() == ArchiveDialect::Postgres)
        QueryInt(db, "SELECT CAST(to_regclass('archive_schema') IS NOT NULL AS INTEGER)", {},
                 found);
    else
        QueryInt(db,
                 "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                 "name = 'archive_schema'",
                 {}, found);
    return found != 0;
}

void CreateArchiveSchema(ArchiveDatabase& db) {
    // Two programs creating the archive at once: the second waits here, then finds it made.
    // PostgreSQL's lock is the session's, taken before the transaction, so that the
    // transaction sees the tables another one has just committed.
    constexpr std::string_view lockKey = "2718281828";
    const bool pg = db.Dialect() == ArchiveDialect::Postgres;
    if (pg)
        db.RunScript("SELECT pg_advisory_lock(" + std::string(lockKey) + ")");
    try {
        ArchiveTransaction transaction(db, ArchiveTransaction::Kind::Write);
        if (!HasArchiveSchema(db)) {
            db.RunScript(TablesSql(db.Dialect()));
            transaction.Commit();
        }
    } catch (...) {
        if (pg)
            db.RunScript("SELECT pg_advisory_unlock(" + std::string(lockKey) + ")");
        throw;
    }
    if (pg)
        db.RunScript("SELECT pg_advisory_unlock(" + std::string(lockKey) + ")");
}

std::optional<int> ArchiveSchemaVersionOf(ArchiveDatabase& db) {
    if (!HasArchiveSchema(db))
        return std::nullopt;
    int64_t version = 0;
    if (!QueryInt(db, "SELECT max(version) FROM archive_schema", {}, version))
        return 0;
    return static_cast<int>(version);
}
