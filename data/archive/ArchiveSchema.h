#pragma once
// The archive's tables and its samples view, in either database's dialect.
//
//   archive_schema (version)                      one row: the layout below is version 1
//   recorders (id, name)
//   channels (id, recorder_id, number, unit, range_low, range_high)
//   stretches (id, channel_id, seq, first_time, step, count, min_time, max_time, kind, format,
//              times, vals)                       see StretchCodec.h; seq orders a channel's
//   files (id, recorder_id, path, size, sha256, added_at, start_time, end_time, value_min,
//          value_max, samples_added, samples_held)  sha256 NULL for a live run
//   samples (recorder, channel, unit, time, value)  a view: every entry of every stretch, value
//                                                   NULL at a break
//
// Times are milliseconds since 1970-01-01 00:00:00 of the recorder's clock (no time zone),
// units UTF-8.

#include "data/archive/ArchiveDatabase.h"

#include <optional>
#include <string>

constexpr int ArchiveSchemaVersion = 1;

// True when the database holds the archive's version table.
bool HasArchiveSchema(ArchiveDatabase& db);
// Creates the tables and the view, unless another process has just done so.
void CreateArchiveSchema(ArchiveDatabase& db);
// The version the database's archive has; nullopt when it holds none.
std::optional<int> ArchiveSchemaVersionOf(ArchiveDatabase& db);

// The statement that creates the samples view.
std::string SamplesViewSql(ArchiveDialect dialect);
