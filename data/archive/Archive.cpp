#include "data/archive/Archive.h"

#include "data/Text.h"
#include "data/Utility.h"
#include "data/archive/ArchiveSchema.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <new>
#include <set>

namespace {

// Keys of a channel's stretches leave this much room between neighbours, so that a file that
// fills a hole gets keys between them without renumbering what follows.
constexpr int64_t SeqSpacing = int64_t{1} << 20;
// A window of stretches reaches this many samples beyond a recording's time span on either
// side: the join looks at the last two samples before a file when it decides on a break.
constexpr int64_t ContextSamples = 2;

UserMessage Error(const std::string& utf8) {
    return {Utf8ToGbk(utf8), MessageIcon::Error};
}

SqlValue Text(const std::string& text) {
    return std::string_view(text);
}

SqlValue OptionalReal(float value) {
    return std::isnan(value) ? SqlValue(SqlNull{}) : SqlValue(static_cast<double>(value));
}

float RealOrNaN(const SqlRow& row, int column) {
    return row.IsNull(column) ? std::numeric_limits<float>::quiet_NaN()
                              : static_cast<float>(row.Real(column));
}

bool SameRange(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

struct ChannelRow {
    int64_t id = 0;
    int16_t number = 0;
    std::string unit; // GBK
    float rangeLow = 0;
    float rangeHigh = 0;
};

std::vector<ChannelRow> LoadChannels(ArchiveDatabase& db, int64_t recorderId) {
    std::vector<ChannelRow> rows;
    const SqlValue params[] = {recorderId};
    db.Run("SELECT id, number, unit, range_low, range_high FROM channels WHERE recorder_id = $1 "
           "ORDER BY number",
           params, [&](const SqlRow& row) {
               rows.push_back({row.Int(0), static_cast<int16_t>(row.Int(1)), Utf8ToGbk(row.Text(2)),
                               RealOrNaN(row, 3), RealOrNaN(row, 4)});
           });
    return rows;
}

ChannelInfo EmptyChannel(const ChannelRow& row) {
    ChannelInfo channel;
    channel.channel = row.number;
    channel.unit = row.unit;
    channel.rangeLow = row.rangeLow;
    channel.rangeHigh = row.rangeHigh;
    return channel;
}

// Appends the entries of the stretch rows a query yields (columns first_time, step, count,
// times, format, vals, kind), in range; the samples appended are counted.
void ReadStretches(ArchiveDatabase& db, std::string_view sql, std::span<const SqlValue> params,
                   ChannelInfo& channel, const TimeRange& range, int64_t& samples,
                   std::vector<size_t>* seams = nullptr) {
    db.Run(sql, params, [&](const SqlRow& row) {
        StretchView s;
        s.firstTime = row.Int(0);
        s.step = row.IsNull(1) ? 0 : row.Int(1);
        s.count = row.Int(2);
        if (!row.IsNull(3))
            s.times = row.Blob(3);
        s.format = static_cast<int>(row.Int(4));
        s.values = row.Blob(5);
        s.kind = static_cast<StretchKind>(row.Int(6));
        if (s.times.empty() && row.IsNull(1) && s.count > 1)
            throw ArchiveDatabaseError("a stretch of channel " + std::to_string(channel.channel) +
                                       " has neither step nor times");
        if (!AppendStretch(s, channel, range, samples, seams))
            throw ArchiveDatabaseError("a stretch of channel " + std::to_string(channel.channel) +
                                       " is damaged");
    });
}

constexpr std::string_view StretchColumns =
    "SELECT first_time, step, count, times, format, vals, kind FROM stretches ";

// The stretches of a channel that a recording of times [minTime, maxTime] is joined with:
// those that meet its time span, and enough before and after it for the join's look at the
// neighbouring samples.
struct Window {
    std::optional<int64_t> first; // seq of the first and last stretch read; none when empty
    std::optional<int64_t> last;
    std::optional<int64_t> before; // seq of the stretches next to it, which stay
    std::optional<int64_t> after;
};

std::optional<int64_t> OptionalInt(ArchiveDatabase& db, std::string_view sql,
                                   std::span<const SqlValue> params) {
    int64_t value = 0;
    if (QueryInt(db, sql, params, value))
        return value;
    return std::nullopt;
}

// From edge, stretches further out until they hold ContextSamples samples; the outermost.
int64_t WidenWindow(ArchiveDatabase& db, int64_t channelId, int64_t edge, bool backwards) {
    const SqlValue params[] = {channelId, edge};
    int64_t samples = 0;
    int64_t outermost = edge;
    db.Run(backwards ? "SELECT seq, count, kind FROM stretches WHERE channel_id = $1 AND "
                       "seq < $2 ORDER BY seq DESC LIMIT 16"
                     : "SELECT seq, count, kind FROM stretches WHERE channel_id = $1 AND "
                       "seq > $2 ORDER BY seq LIMIT 16",
           params, [&](const SqlRow& row) {
               if (samples >= ContextSamples)
                   return;
               outermost = row.Int(0);
               samples += row.Int(2) ? 0 : row.Int(1);
           });
    return outermost;
}

Window ReadWindow(ArchiveDatabase& db, int64_t channelId, int64_t minTime, int64_t maxTime,
                  ChannelInfo& held, std::vector<size_t>& seams) {
    Window window;
    const SqlValue fromParams[] = {channelId, minTime};
    const SqlValue toParams[] = {channelId, maxTime};
    auto first = OptionalInt(
        db, "SELECT min(seq) FROM stretches WHERE channel_id = $1 AND max_time >= $2", fromParams);
    auto last = OptionalInt(
        db, "SELECT max(seq) FROM stretches WHERE channel_id = $1 AND min_time <= $2", toParams);
    if (!first && !last)
        return window; // no stretches yet
    // Everything before the span (first missing) or after it (last missing), or a hole between
    // two stretches (first after last): the stretches on both sides.
    if (!first)
        first = last;
    if (!last)
        last = first;
    if (*first > *last)
        std::swap(*first, *last);
    window.first = WidenWindow(db, channelId, *first, true);
    window.last = WidenWindow(db, channelId, *last, false);
    const SqlValue firstParams[] = {channelId, *window.first};
    const SqlValue lastParams[] = {channelId, *window.last};
    window.before = OptionalInt(
        db, "SELECT max(seq) FROM stretches WHERE channel_id = $1 AND seq < $2", firstParams);
    window.after = OptionalInt(
        db, "SELECT min(seq) FROM stretches WHERE channel_id = $1 AND seq > $2", lastParams);
    const SqlValue rangeParams[] = {channelId, *window.first, *window.last};
    int64_t ignored = 0;
    ReadStretches(db,
                  std::string(StretchColumns) +
                      "WHERE channel_id = $1 AND seq >= $2 AND seq <= $3 ORDER BY seq",
                  rangeParams, held, {}, ignored, &seams);
    return window;
}

// Keys for count stretches between the window's neighbours; the stretches after it move on
// when there is no room.
std::vector<int64_t> WindowKeys(ArchiveDatabase& db, int64_t channelId, const Window& window,
                                size_t count) {
    std::vector<int64_t> keys(count);
    const auto n = static_cast<int64_t>(count);
    if (!window.after) {
        const int64_t base = window.before.value_or(0);
        for (int64_t i = 0; i < n; ++i)
            keys[static_cast<size_t>(i)] = base + SeqSpacing * (i + 1);
        return keys;
    }
    int64_t after = *window.after;
    if (!window.before) {
        for (int64_t i = 0; i < n; ++i)
            keys[static_cast<size_t>(i)] = after - SeqSpacing * (n - i);
        return keys;
    }
    const int64_t before = *window.before;
    if (after - before <= n) {
        const int64_t shift = SeqSpacing * (n + 1);
        const SqlValue params[] = {channelId, shift, after};
        db.Run("UPDATE stretches SET seq = seq + $2 WHERE channel_id = $1 AND seq >= $3", params);
        after += shift;
    }
    const int64_t step = (after - before) / (n + 1);
    for (int64_t i = 0; i < n; ++i)
        keys[static_cast<size_t>(i)] = before + step * (i + 1);
    return keys;
}

void ReplaceWindow(ArchiveDatabase& db, int64_t channelId, const Window& window,
                   const std::vector<Stretch>& stretches) {
    if (window.first) {
        const SqlValue params[] = {channelId, *window.first, *window.last};
        db.Run("DELETE FROM stretches WHERE channel_id = $1 AND seq >= $2 AND seq <= $3", params);
    }
    const std::vector<int64_t> keys = WindowKeys(db, channelId, window, stretches.size());
    for (size_t i = 0; i < stretches.size(); ++i) {
        const Stretch& s = stretches[i];
        const SqlValue params[] = {
            channelId,         keys[i],
            s.firstTime,       s.Regular() ? SqlValue(s.step) : SqlValue(SqlNull{}),
            s.count,           s.minTime,
            s.maxTime,         static_cast<int64_t>(s.kind),
            int64_t{s.format}, s.Regular() ? SqlValue(SqlNull{}) : SqlValue(SqlBlob(s.times)),
            SqlBlob(s.values)};
        db.Run("INSERT INTO stretches (channel_id, seq, first_time, step, count, min_time, "
               "max_time, kind, format, times, vals) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, "
               "$9, $10, $11)",
               params);
    }
}

std::optional<ArchivedFile> FileRow(ArchiveDatabase& db, int64_t recorderId,
                                    const std::string& sha256) {
    std::optional<ArchivedFile> found;
    const SqlValue params[] = {recorderId, Text(sha256)};
    db.Run("SELECT path, added_at, start_time, end_time, samples_added, samples_held FROM files "
           "WHERE recorder_id = $1 AND sha256 = $2",
           params, [&](const SqlRow& row) {
               found = ArchivedFile{row.Text(0),
                                    UnixMillisecondsToDateTime(row.Int(1)),
                                    UnixMillisecondsToDateTime(row.Int(2)),
                                    UnixMillisecondsToDateTime(row.Int(3)),
                                    row.Int(4),
                                    row.Int(5)};
           });
    return found;
}

std::optional<int64_t> RecorderId(ArchiveDatabase& db, const std::string& recorder) {
    const SqlValue params[] = {Text(recorder)};
    return OptionalInt(db, "SELECT id FROM recorders WHERE name = $1", params);
}

std::string RecorderNames(ArchiveDatabase& db) {
    std::string names;
    db.Run("SELECT name FROM recorders ORDER BY name", {},
           [&](const SqlRow& row) { names += (names.empty() ? "" : ", ") + row.Text(0); });
    return names;
}

// The file's time window and samples, and the range of it that counts: the rule of a range.
void NarrowToRange(JoinedRecording& recording, const TimeRange& range) {
    RecordingInfo& info = recording.info;
    if (range.from && CompareTimes(*range.from, info.startTime) > 0)
        info.startTime = *range.from;
    if (range.to && CompareTimes(*range.to, info.endTime) < 0)
        info.endTime = *range.to;
    std::erase_if(recording.files, [&](const JoinedFile& file) {
        return (range.to && CompareTimes(file.startTime, *range.to) > 0) ||
               (range.from && CompareTimes(file.endTime, *range.from) < 0);
    });
}

int32_t ClampedCount(int64_t samples) {
    return static_cast<int32_t>(std::min<int64_t>(samples, std::numeric_limits<int32_t>::max()));
}

} // namespace

std::string DefaultArchiveLocation() {
    return GetUserDataDirectory() + "/archive.sqlite";
}

struct Archive::MergeOutcome {
    std::optional<UserMessage> refusal;
    int64_t added = 0;
    int64_t held = 0;
};

Archive::Archive(std::unique_ptr<ArchiveDatabase> db, std::string name)
    : db_(std::move(db)), name_(std::move(name)) {}

Archive::~Archive() = default;

std::unique_ptr<Archive> Archive::Open(const std::string& location, bool create,
                                       UserMessage& failure) {
    const std::string name = LocationForMessages(location);
    try {
        std::unique_ptr<ArchiveDatabase> db;
        if (IsPostgresLocation(location)) {
            db = OpenPostgresDatabase(location);
        } else {
            std::error_code error;
            if (!create && !std::filesystem::exists(location, error)) {
                failure = Error("No archive at " + name + " yet: archive add makes it.");
                return nullptr;
            }
            db = OpenSqliteDatabase(location, create);
        }
        auto version = ArchiveSchemaVersionOf(*db);
        if (!version && !create) {
            failure = Error(name + " holds no archive yet: archive add makes it.");
            return nullptr;
        }
        if (!version) {
            CreateArchiveSchema(*db);
            version = ArchiveSchemaVersionOf(*db);
        }
        if (version != ArchiveSchemaVersion) {
            failure = Error("The archive " + name + " has schema version " +
                            std::to_string(version.value_or(0)) + "; this program reads version " +
                            std::to_string(ArchiveSchemaVersion) + " only.");
            return nullptr;
        }
        return std::unique_ptr<Archive>(new Archive(std::move(db), name));
    } catch (const ArchiveDatabaseError& error) {
        failure = Error("Cannot open the archive " + name + ": " + error.what());
        return nullptr;
    }
}

UserMessage Archive::Failure(const std::string& what, const std::exception& error) const {
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return Error(what + " the archive " + name_ + " failed: out of memory.");
    return Error(what + " the archive " + name_ + " failed: " + error.what());
}

int64_t Archive::LockRecorder(const std::string& recorder) {
    const SqlValue params[] = {Text(recorder)};
    db_->Run("INSERT INTO recorders (name) VALUES ($1) ON CONFLICT (name) DO NOTHING", params);
    // Every writer of the recorder takes this lock first, so they follow one another. SQLite
    // has already given this transaction the whole file.
    const std::string_view select = db_->Dialect() == ArchiveDialect::Postgres
                                        ? "SELECT id FROM recorders WHERE name = $1 FOR UPDATE"
                                        : "SELECT id FROM recorders WHERE name = $1";
    int64_t id = 0;
    if (!QueryInt(*db_, select, params, id))
        throw ArchiveDatabaseError("the recorder " + recorder + " has no row");
    return id;
}

Archive::MergeOutcome Archive::Merge(int64_t recorderId, const std::string& recorder,
                                     ArchiveSource& source) {
    MergeOutcome outcome;
    for (const ChannelInfo& channel : source.channels) {
        // The archive keeps units as UTF-8 for every other program: one that does not come back
        // as the same bytes would no longer match its own file.
        if (Utf8ToGbk(GbkToUtf8(channel.unit)) == channel.unit)
            continue;
        char number[16];
        std::snprintf(number, sizeof number, "%.2d", static_cast<int>(channel.channel));
        outcome.refusal =
            UserMessage{"Channel " + std::string(number) + " of " + Utf8ToGbk(source.path) +
                            " has a unit that is no GBK text: the archive cannot "
                            "keep it.",
                        MessageIcon::Error};
        return outcome;
    }

    const std::vector<ChannelRow> rows = LoadChannels(*db_, recorderId);
    std::map<int16_t, size_t> rowOf;
    // What the archive holds near the recording, as the earlier "files" of a join: one for each
    // stretch of history between the seams, which the join then decides anew. They go first
    // whatever their times, and name the archive in a unit conflict's message.
    std::vector<JoinSource> sources;
    auto heldSource = [&](size_t k) -> JoinSource& {
        while (sources.size() <= k) {
            sources.emplace_back();
            sources.back().path = "archive:" + recorder;
            sources.back().info.startTime = -std::numeric_limits<double>::infinity();
        }
        return sources[k];
    };
    heldSource(0);
    for (size_t r = 0; r < rows.size(); ++r) {
        rowOf[rows[r].number] = r;
        sources[0].channels.push_back(EmptyChannel(rows[r]));
    }
    std::map<int16_t, Window> windows;
    // By channel, the times of the break points going into the join (those it puts in are
    // seams).
    std::map<int16_t, std::vector<int64_t>> inputBreaks;
    std::set<int16_t> inSource, withEntries;
    int64_t sourceSamples = 0;
    for (ChannelInfo& channel : source.channels) {
        // Joined as it will be kept: at an instant both hold (to the millisecond), the archive
        // then comes first, whatever the rounding of the file's time arithmetic.
        RoundTimesToMilliseconds(channel);
        inSource.insert(channel.channel);
        sourceSamples += SampleCount(channel);
        std::vector<int64_t>& breaks = inputBreaks[channel.channel];
        const std::vector<int64_t> own = BreakTimes(channel);
        breaks.insert(breaks.end(), own.begin(), own.end());
        int64_t minTime = 0, maxTime = 0;
        if (!EntryTimeSpan(channel, minTime, maxTime))
            continue;
        withEntries.insert(channel.channel);
        const auto row = rowOf.find(channel.channel);
        if (row == rowOf.end())
            continue;
        ChannelInfo held = EmptyChannel(rows[row->second]);
        std::vector<size_t> seams;
        windows[channel.channel] =
            ReadWindow(*db_, rows[row->second].id, minTime, maxTime, held, seams);
        std::vector<ChannelInfo> pieces;
        SplitAtEntries(held, seams, pieces);
        for (size_t k = 0; k < pieces.size(); ++k) {
            const std::vector<int64_t> heldBreaks = BreakTimes(pieces[k]);
            breaks.insert(breaks.end(), heldBreaks.begin(), heldBreaks.end());
            if (k == 0)
                sources[0].channels[row->second] = std::move(pieces[k]);
            else
                heldSource(k).channels.push_back(std::move(pieces[k]));
        }
    }

    sources.push_back(JoinSource{source.path, source.info, std::move(source.channels)});
    source.channels.clear();
    JoinedRecording joined;
    if (auto conflict = JoinRecordings(sources, joined)) {
        outcome.refusal = conflict;
        return outcome;
    }

    for (const ChannelInfo& channel : joined.channels) {
        if (!inSource.count(channel.channel))
            continue;
        int64_t channelId = 0;
        if (const auto row = rowOf.find(channel.channel); row == rowOf.end()) {
            const std::string unit = GbkToUtf8(channel.unit);
            const SqlValue params[] = {recorderId, int64_t{channel.channel}, Text(unit),
                                       OptionalReal(channel.rangeLow),
                                       OptionalReal(channel.rangeHigh)};
            QueryInt(*db_,
                     "INSERT INTO channels (recorder_id, number, unit, range_low, range_high) "
                     "VALUES ($1, $2, $3, $4, $5) RETURNING id",
                     params, channelId);
        } else {
            const ChannelRow& existing = rows[row->second];
            channelId = existing.id;
            if (!SameRange(existing.rangeLow, channel.rangeLow) ||
                !SameRange(existing.rangeHigh, channel.rangeHigh)) {
                const SqlValue params[] = {channelId, OptionalReal(channel.rangeLow),
                                           OptionalReal(channel.rangeHigh)};
                db_->Run("UPDATE channels SET range_low = $2, range_high = $3 WHERE id = $1",
                         params);
            }
        }
        if (!withEntries.count(channel.channel))
            continue;
        std::vector<int64_t>& breaks = inputBreaks[channel.channel];
        std::sort(breaks.begin(), breaks.end());
        const std::vector<uint8_t> seams = NewBreaks(channel, breaks);
        std::vector<Stretch> stretches;
        EncodeStretches(channel, stretches, &seams);
        ReplaceWindow(*db_, channelId, windows[channel.channel], stretches);
    }
    // The archive's parts went first.
    outcome.added = joined.files.empty() ? 0 : joined.files.back().keptSamples;
    outcome.held = sourceSamples - outcome.added;
    return outcome;
}

std::optional<UserMessage> Archive::FindFile(const std::string& recorder, const std::string& sha256,
                                             std::optional<ArchivedFile>& found) {
    found.reset();
    try {
        ArchiveTransaction transaction(*db_, ArchiveTransaction::Kind::Read);
        if (const auto id = RecorderId(*db_, recorder))
            found = FileRow(*db_, *id, sha256);
        transaction.Commit();
    } catch (const std::exception& error) {
        return Failure("Reading", error);
    }
    return std::nullopt;
}

ArchiveAddResult Archive::Add(const std::string& recorder, ArchiveSource& source) {
    ArchiveAddResult result;
    if (recorder.empty()) {
        result.message = Error("The recorder needs a name.");
        return result;
    }
    try {
        ArchiveTransaction transaction(*db_, ArchiveTransaction::Kind::Write);
        const int64_t recorderId = LockRecorder(recorder);
        // Looked up again under the lock: another process may have added it meanwhile.
        if (!source.sha256.empty()) {
            if (auto earlier = FileRow(*db_, recorderId, source.sha256)) {
                result.outcome = ArchiveAddResult::Outcome::AlreadyArchived;
                result.earlier = std::move(earlier);
                return result;
            }
        }
        const MergeOutcome merged = Merge(recorderId, recorder, source);
        if (merged.refusal) {
            result.message = merged.refusal;
            return result;
        }
        const SqlValue params[] = {recorderId,
                                   Text(source.path),
                                   static_cast<int64_t>(source.size),
                                   source.sha256.empty() ? SqlValue(SqlNull{})
                                                         : Text(source.sha256),
                                   DateTimeToUnixMilliseconds(NowLocal()),
                                   DateTimeToUnixMilliseconds(source.info.startTime),
                                   DateTimeToUnixMilliseconds(source.info.endTime),
                                   static_cast<double>(source.info.valueMin),
                                   static_cast<double>(source.info.valueMax),
                                   merged.added,
                                   merged.held};
        db_->Run("INSERT INTO files (recorder_id, path, size, sha256, added_at, start_time, "
                 "end_time, value_min, value_max, samples_added, samples_held) VALUES ($1, $2, "
                 "$3, $4, $5, $6, $7, $8, $9, $10, $11)",
                 params);
        transaction.Commit();
        result.outcome = ArchiveAddResult::Outcome::Added;
        result.samplesAdded = merged.added;
        result.samplesHeld = merged.held;
    } catch (const std::exception& error) {
        result.message = Failure("Adding " + source.path + " to", error);
    }
    return result;
}

std::optional<UserMessage> Archive::ListRecorders(std::vector<ArchivedRecorder>& recorders) {
    recorders.clear();
    try {
        ArchiveTransaction transaction(*db_, ArchiveTransaction::Kind::Read);
        std::vector<int64_t> ids;
        db_->Run("SELECT r.id, r.name, count(f.id), min(f.start_time), max(f.end_time) FROM "
                 "recorders r LEFT JOIN files f ON f.recorder_id = r.id GROUP BY r.id, r.name "
                 "ORDER BY r.name",
                 {}, [&](const SqlRow& row) {
                     ids.push_back(row.Int(0));
                     ArchivedRecorder recorder;
                     recorder.name = row.Text(1);
                     recorder.files = row.Int(2);
                     if (!row.IsNull(3)) {
                         recorder.startTime = UnixMillisecondsToDateTime(row.Int(3));
                         recorder.endTime = UnixMillisecondsToDateTime(row.Int(4));
                     }
                     recorders.push_back(std::move(recorder));
                 });
        for (size_t r = 0; r < ids.size(); ++r) {
            const SqlValue params[] = {ids[r]};
            db_->Run("SELECT c.number, c.unit, CAST(coalesce(sum(CASE WHEN s.kind = 0 THEN "
                     "s.count ELSE 0 END), 0) AS BIGINT), min(CASE WHEN s.kind = 0 THEN "
                     "s.min_time END), max(CASE WHEN s.kind = 0 THEN s.max_time END) FROM "
                     "channels c LEFT JOIN stretches s ON s.channel_id = c.id WHERE "
                     "c.recorder_id = $1 GROUP BY c.id, c.number, c.unit ORDER BY c.number",
                     params, [&](const SqlRow& row) {
                         ArchivedChannel channel;
                         channel.number = static_cast<int16_t>(row.Int(0));
                         channel.unit = Utf8ToGbk(row.Text(1));
                         channel.samples = row.Int(2);
                         if (!row.IsNull(3)) {
                             channel.firstTime = UnixMillisecondsToDateTime(row.Int(3));
                             channel.lastTime = UnixMillisecondsToDateTime(row.Int(4));
                         }
                         recorders[r].channels.push_back(std::move(channel));
                     });
        }
        transaction.Commit();
    } catch (const std::exception& error) {
        recorders.clear();
        return Failure("Reading", error);
    }
    return std::nullopt;
}

std::optional<UserMessage> Archive::Read(const std::string& recorder, const TimeRange& range,
                                         JoinedRecording& recording) {
    recording = JoinedRecording{};
    try {
        ArchiveTransaction transaction(*db_, ArchiveTransaction::Kind::Read);
        const auto recorderId = RecorderId(*db_, recorder);
        if (!recorderId) {
            const std::string names = RecorderNames(*db_);
            return Error("No recorder " + recorder + " in the archive " + name_ +
                         (names.empty() ? " (it holds none yet)." : " (it holds " + names + ")."));
        }
        const SqlValue recorderParams[] = {*recorderId};
        RecordingInfo& info = recording.info;
        db_->Run("SELECT path, start_time, end_time, value_min, value_max, samples_added FROM "
                 "files WHERE recorder_id = $1 ORDER BY id",
                 recorderParams, [&](const SqlRow& row) {
                     const JoinedFile file{row.Text(0), UnixMillisecondsToDateTime(row.Int(1)),
                                           UnixMillisecondsToDateTime(row.Int(2)),
                                           ClampedCount(row.Int(5))};
                     const auto low = static_cast<float>(row.Real(3));
                     const auto high = static_cast<float>(row.Real(4));
                     if (recording.files.empty()) {
                         info = {high, low, file.startTime, file.endTime, 0};
                     } else {
                         info.valueMax = std::max(info.valueMax, high);
                         info.valueMin = std::min(info.valueMin, low);
                         info.startTime = std::min(info.startTime, file.startTime);
                         info.endTime = std::max(info.endTime, file.endTime);
                     }
                     recording.files.push_back(file);
                 });
        const std::vector<ChannelRow> rows = LoadChannels(*db_, *recorderId);
        // A millisecond of slack either way: a range's ends compare with the join's tolerance.
        const int64_t from = range.from ? DateTimeToUnixMilliseconds(*range.from) - 1
                                        : std::numeric_limits<int64_t>::min();
        const int64_t to = range.to ? DateTimeToUnixMilliseconds(*range.to) + 1
                                    : std::numeric_limits<int64_t>::max();
        int64_t samples = 0;
        for (const ChannelRow& row : rows) {
            recording.channels.push_back(EmptyChannel(row));
            const SqlValue params[] = {row.id, from, to};
            ReadStretches(*db_,
                          std::string(StretchColumns) +
                              "WHERE channel_id = $1 AND max_time >= $2 AND min_time <= $3 "
                              "ORDER BY seq",
                          params, recording.channels.back(), range, samples);
        }
        transaction.Commit();
        info.sampleCount = ClampedCount(samples);
        NarrowToRange(recording, range);
    } catch (const std::exception& error) {
        recording = JoinedRecording{};
        return Failure("Reading", error);
    }
    return std::nullopt;
}

std::optional<UserMessage> Archive::BeginRun(const std::string& recorder, DateTime runStart,
                                             std::span<const int16_t> channels,
                                             std::span<const std::string> units, int64_t& runId) {
    if (recorder.empty())
        return Error("The recorder needs a name.");
    ArchiveSource source;
    source.path = "live run from " + FormatDateTime(runStart, ReadoutTimePattern);
    source.info.startTime = source.info.endTime = runStart;
    for (size_t i = 0; i < channels.size() && i < units.size(); ++i) {
        ChannelInfo channel;
        channel.channel = channels[i];
        channel.unit = units[i];
        source.channels.push_back(std::move(channel));
    }
    try {
        ArchiveTransaction transaction(*db_, ArchiveTransaction::Kind::Write);
        const int64_t recorderId = LockRecorder(recorder);
        const MergeOutcome merged = Merge(recorderId, recorder, source);
        if (merged.refusal)
            return merged.refusal;
        const int64_t start = DateTimeToUnixMilliseconds(runStart);
        const SqlValue params[] = {recorderId, Text(source.path),
                                   DateTimeToUnixMilliseconds(NowLocal()), start};
        QueryInt(*db_,
                 "INSERT INTO files (recorder_id, path, size, sha256, added_at, start_time, "
                 "end_time, value_min, value_max, samples_added, samples_held) VALUES ($1, $2, 0, "
                 "NULL, $3, $4, $4, 0, 0, 0, 0) RETURNING id",
                 params, runId);
        transaction.Commit();
    } catch (const std::exception& error) {
        return Failure("Writing to", error);
    }
    return std::nullopt;
}

std::optional<UserMessage> Archive::ForgetEmptyRun(int64_t runId) {
    try {
        ArchiveTransaction transaction(*db_, ArchiveTransaction::Kind::Write);
        const SqlValue params[] = {runId};
        db_->Run("DELETE FROM files WHERE id = $1 AND samples_added = 0 AND samples_held = 0",
                 params);
        transaction.Commit();
    } catch (const std::exception& error) {
        return Failure("Writing to", error);
    }
    return std::nullopt;
}

ArchiveAddResult Archive::AddToRun(const std::string& recorder, int64_t runId,
                                   std::vector<ChannelInfo>& ticks) {
    ArchiveAddResult result;
    ArchiveSource source;
    source.channels = std::move(ticks);
    ticks.clear();
    int64_t lastTime = std::numeric_limits<int64_t>::min();
    std::optional<float> low, high;
    for (const ChannelInfo& channel : source.channels) {
        int64_t minTime = 0, maxTime = 0;
        if (EntryTimeSpan(channel, minTime, maxTime))
            lastTime = std::max(lastTime, maxTime);
        float channelLow = 0, channelHigh = 0;
        if (SampleValueRange(channel, channelLow, channelHigh)) {
            low = std::min(low.value_or(channelLow), channelLow);
            high = std::max(high.value_or(channelHigh), channelHigh);
        }
    }
    try {
        ArchiveTransaction transaction(*db_, ArchiveTransaction::Kind::Write);
        const int64_t recorderId = LockRecorder(recorder);
        source.path = "live run"; // only named in a unit conflict, which BeginRun has ruled out
        const MergeOutcome merged = Merge(recorderId, recorder, source);
        if (merged.refusal) {
            result.message = merged.refusal;
            return result;
        }
        // The run's value range spans its measured values, as an opened record's does.
        if (low) {
            const SqlValue range[] = {runId, static_cast<double>(*low), static_cast<double>(*high)};
            db_->Run("UPDATE files SET value_min = CASE WHEN samples_added + samples_held = 0 OR "
                     "$2 < value_min THEN $2 ELSE value_min END, value_max = CASE WHEN "
                     "samples_added + samples_held = 0 OR $3 > value_max THEN $3 ELSE value_max "
                     "END WHERE id = $1",
                     range);
        }
        const SqlValue params[] = {runId, lastTime, merged.added, merged.held};
        db_->Run("UPDATE files SET end_time = CASE WHEN end_time < $2 THEN $2 ELSE end_time END, "
                 "samples_added = samples_added + $3, samples_held = samples_held + $4 WHERE "
                 "id = $1",
                 params);
        transaction.Commit();
        result.outcome = ArchiveAddResult::Outcome::Added;
        result.samplesAdded = merged.added;
        result.samplesHeld = merged.held;
    } catch (const std::exception& error) {
        result.message = Failure("Writing to", error);
    }
    return result;
}

std::unique_ptr<ArchiveRunWriter>
ArchiveRunWriter::Start(Archive& archive, const std::string& recorder, DateTime runStart,
                        std::span<const int16_t> channels, std::span<const std::string> units,
                        UserMessage& failure) {
    int64_t runId = 0;
    if (auto message = archive.BeginRun(recorder, runStart, channels, units, runId)) {
        failure = *message;
        return nullptr;
    }
    return std::make_unique<ArchiveRunWriter>(archive, recorder, channels, units, runId);
}

ArchiveRunWriter::ArchiveRunWriter(Archive& archive, std::string recorder,
                                   std::span<const int16_t> channels,
                                   std::span<const std::string> units, int64_t runId)
    : archive_(archive), recorder_(std::move(recorder)),
      channels_(channels.begin(), channels.end()), units_(units.begin(), units.end()),
      runId_(runId) {}

bool ArchiveRunWriter::WriteTick(DateTime time, std::span<const float> values,
                                 std::optional<DateTime> gapBefore) {
    return Write(gapBefore, time, values);
}

bool ArchiveRunWriter::WriteGap(DateTime time) {
    return Write(time, std::nullopt, {});
}

bool ArchiveRunWriter::Write(std::optional<DateTime> gap, std::optional<DateTime> time,
                             std::span<const float> values) {
    std::vector<ChannelInfo> ticks;
    for (size_t i = 0; i < channels_.size() && i < units_.size(); ++i) {
        if (time && i >= values.size())
            break;
        ChannelInfo channel;
        channel.channel = channels_[i];
        channel.unit = units_[i];
        if (gap)
            AppendChannelEntry(channel, *gap, GapValue);
        if (time)
            AppendChannelEntry(channel, *time, values[i]);
        ticks.push_back(std::move(channel));
    }
    const ArchiveAddResult result = archive_.AddToRun(recorder_, runId_, ticks);
    if (result.outcome != ArchiveAddResult::Outcome::Added) {
        error_ = result.message ? GbkToUtf8(result.message->text) : "the archive refused the tick";
        return false;
    }
    added_ += result.samplesAdded;
    held_ += result.samplesHeld;
    return true;
}

std::string StoredArchiveLocation(const std::string& setting) {
    if (setting.empty())
        return DefaultArchiveLocation();
    return LocationHasPassword(setting) ? LocationForMessages(setting) : setting;
}

std::unique_ptr<ArchiveRecord> ArchiveRecord::Start(const std::string& location,
                                                    const std::string& recorder, DateTime runStart,
                                                    std::span<const int16_t> channels,
                                                    std::span<const std::string> units,
                                                    std::string& error) {
    std::unique_ptr<ArchiveRecord> record(new ArchiveRecord);
    UserMessage failure;
    record->archive_ = Archive::Open(location, true, failure);
    if (record->archive_)
        record->writer_ = ArchiveRunWriter::Start(*record->archive_, recorder, runStart, channels,
                                                  units, failure);
    if (!record->writer_) {
        error = GbkToUtf8(failure.text);
        return nullptr;
    }
    record->name_ = "archive:" + recorder + " (" + record->archive_->Name() + ")";
    return record;
}

ArchiveRecord::~ArchiveRecord() {
    if (writer_ && writer_->SamplesAdded() == 0 && writer_->SamplesHeld() == 0)
        archive_->ForgetEmptyRun(writer_->RunId());
}

bool ArchiveRecord::WriteTick(DateTime time, std::span<const float> values,
                              std::optional<DateTime> gapBefore) {
    return writer_->WriteTick(time, values, gapBefore);
}

void KeepTimeRange(JoinedRecording& recording, const TimeRange& range) {
    if (!range.from && !range.to)
        return;
    int64_t samples = 0;
    for (ChannelInfo& channel : recording.channels) {
        KeepEntriesInRange(channel, range);
        samples += SampleCount(channel);
    }
    recording.info.sampleCount = ClampedCount(samples);
    NarrowToRange(recording, range);
}
