#pragma once
// The record of a live run on disk, and where a run's trend has to break.
//
// A record is a text file in the CSV import's line format, one sample per line:
//     n,channel,value,time,unit
// n counts the samples of the file from 1, value is the shortest text that reads back as the
// same 32-bit float, time is "yyyy-MM-dd HH:mm:ss" of the instrument's clock, unit the
// channel's unit text (GBK bytes). A gap marker is a line per monitored channel with the gap
// value -158 at the first second missing from the instrument's series, so a reopened record
// draws every hole as a break; a failed poll whose second the next answer still covers leaves
// none. The first line is a title, which the import skips. Each tick is appended with one
// write and synced to the disk before the next, so a killed program or a power cut loses at
// most the tick being written; past SamplesPerFile samples a new file is started, and so it
// is after the instrument's clock was set back. A file never holds two entries at one time,
// and its times ascend.
//
// Used by the window's live run and by the command-line poll alike.

#include "data/CsvImport.h"
#include "data/DateTime.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Decides where the live series break: where seconds are missing from the instrument's
// series. After failed ticks any missing interval is a hole; without them the clock must jump
// by more than two tick intervals (a late tick skips a second without an outage). Counts good
// and failed ticks.
class LiveContinuity {
public:
    explicit LiveContinuity(double intervalDays = OneSecond) : interval_(intervalDays) {}

    // A good tick at instrument time t. The result is the time of the break to put before its
    // point, if one is due: the first missing interval after the last good point.
    std::optional<DateTime> Good(DateTime t);
    // A failed tick: whether it leaves a hole shows at the next good one.
    void Failed();
    // The series starts anew: the next good tick has no line before it.
    void Restart();

    // Failed ticks since the last good one.
    int FailuresInRow() const { return failuresInRow_; }
    long long GoodTicks() const { return good_; }
    long long FailedTicks() const { return failed_; }

private:
    // The instrument's clock counts whole seconds: faster ticks still step by one.
    double Step() const { return std::max(interval_, OneSecond); }

    double interval_;
    std::optional<DateTime> lastGood_;
    int failuresInRow_ = 0;
    long long good_ = 0;
    long long failed_ = 0;
};

// Opens a record as a recording, into a reset info and empty channels: the import of its lines,
// with the value range spanning the measured values only (a gap marker would stretch it down
// to -158). The failure is the import's ("File import failure!"), or LiveRecordEmptyText for a
// file without a sample (a run that recorded no tick).
std::optional<UserMessage> OpenLiveRecord(const std::string& path, RecordingInfo& info,
                                          std::vector<ChannelInfo>& channels,
                                          const CsvImportProgress& progress = {});

inline constexpr const char* LiveRecordEmptyText =
    "No samples in this record. A live run's record holds one sample a line: "
    "n,channel,value,time,unit.";

// True for a file name the open command takes as a record: one ending in ".csv".
bool IsLiveRecordName(std::string_view path);

// The line of one sample ("n,channel,value,time,unit" and a line feed).
std::string LiveRecordLine(long long n, int16_t channel, float value, std::string_view time,
                           std::string_view unit);

// The call that puts a record's written lines, and a new file's name in its folder, on the
// disk: fdatasync, unless replaced (tests watch or fail it). Returns 0 or -1 with errno set.
using RecordSyncFunction = int (*)(int fd);
void SetRecordSyncFunction(RecordSyncFunction sync);

class LiveRecordWriter {
public:
    static constexpr size_t SamplesPerFile = 1'000'000;
    // The first line of every file.
    static constexpr std::string_view TitleLine = "No.,Channel,Value,Time,Unit\n";

    LiveRecordWriter() = default;
    ~LiveRecordWriter();
    LiveRecordWriter(const LiveRecordWriter&) = delete;
    LiveRecordWriter& operator=(const LiveRecordWriter&) = delete;

    // Creates the run's first file in folder (created when missing), named after the run's
    // start: live-yyyyMMdd-HHmmss.csv. channels and units are those of the monitored channels
    // by position. False with a text naming the file when it cannot be created or its name
    // not be synced to the disk.
    bool Start(const std::string& folder, DateTime runStart, std::span<const int16_t> channels,
               std::span<const std::string> units, std::string& error);
    // Goes on in a new file named after moment, as a run's first file is (the instrument's
    // clock was set back). False (with ErrorText) as Start; the writer then stays closed.
    bool StartNewFile(DateTime moment);
    // One sample per channel, values by position, on the disk when it returns (fdatasync).
    // False (with ErrorText) when the write or the sync failed; the writer then stays closed.
    bool WriteTick(DateTime time, std::span<const float> values);
    // The gap marker: the gap value for every channel at time.
    bool WriteGap(DateTime time);
    void Close();
    // Closes and removes the run's only file while it holds no sample (a start overtaken by
    // Stop).
    void Discard();

    bool IsOpen() const { return fd_ >= 0; }
    // The file being written, and every file of the run so far.
    const std::string& Path() const { return path_; }
    const std::vector<std::string>& Files() const { return files_; }
    size_t SamplesInFile() const { return samplesInFile_; }
    const std::string& ErrorText() const { return error_; }

private:
    bool OpenNext();
    bool Sync(int fd);
    bool Append(DateTime time, std::span<const float> values, bool gap);

    std::string folder_;
    std::string stem_; // live-yyyyMMdd-HHmmss
    size_t partsOfStem_ = 0;
    std::vector<int16_t> channels_;
    std::vector<std::string> units_;
    int fd_ = -1;
    std::string path_;
    std::vector<std::string> files_;
    size_t samplesInFile_ = 0;
    std::string error_;
    std::string buffer_;
};

// The instrument's clock set back by more than ClockSetBackLimit: a correction, after which
// the series starts anew (and the record goes on in a new file).
inline constexpr DateTime ClockSetBackLimit = 2 * OneSecond;
struct LiveClockSetBack {
    DateTime from = 0;      // the last time entered
    DateTime to = 0;        // the tick's
    std::string recordPath; // the file the record goes on in; empty without a record
};
// "Instrument clock set back from 2015-03-16 09:00:00 to 2015-03-16 08:00:01", and
// "; recording goes on in PATH" when recordPath is given.
std::string ClockSetBackText(DateTime from, DateTime to, const std::string& recordPath = {});

// Where a good tick goes: the break to put before its point, if one is due; nowhere at all
// when its clock repeats the last time entered or lies up to ClockSetBackLimit before it (two
// entries at one time would hide values when the record is opened); or, set back further,
// the start of a new series.
struct LiveTickEntry {
    std::optional<DateTime> gap;
    bool repeatedClock = false; // neither recorded nor drawn; its values are only shown
    std::optional<LiveClockSetBack> clockSetBack;
};

// A second place a run's ticks go besides the record file (the archive): every good tick that
// the record takes, with the break before it in the same write. Once a write fails the run no
// longer records there.
class LiveTickSink {
public:
    virtual ~LiveTickSink() = default;
    // One sample per channel, values by position, after a break point at gapBefore when one is
    // due. False with ErrorText when the write failed; nothing of the tick is kept then.
    virtual bool WriteTick(DateTime time, std::span<const float> values,
                           std::optional<DateTime> gapBefore) = 0;
    virtual const std::string& ErrorText() const = 0;
    // Where the ticks go, as the status line names it ("archive:boiler (/path/archive.sqlite)").
    virtual const std::string& Name() const = 0;
};

// What a tick of a live run leaves behind, for the window and the command-line poll alike:
// the breaks of the series, the counts, and the record when one is kept.
class LiveRunLog {
public:
    explicit LiveRunLog(double intervalDays = OneSecond) : continuity_(intervalDays) {}

    // A new run: no breaks pending, counts at zero, the previous record closed.
    void Begin(double intervalDays = OneSecond);

    // Records the run from now on (see LiveRecordWriter::Start).
    bool StartRecording(const std::string& folder, DateTime runStart,
                        std::span<const int16_t> channels, std::span<const std::string> units,
                        std::string& error);
    // Records the run's ticks into sink too (or only there, without StartRecording).
    void StartSink(std::unique_ptr<LiveTickSink> sink);
    // A good tick: recorded and drawn, or a repeated clock. A clock set back starts a new
    // record file named after the host's clock. A write that fails stops the whole record.
    LiveTickEntry Good(DateTime time, std::span<const float> values);
    void Failed();
    void CountReopen() { ++reopens_; }
    void Close() {
        writer_.Close();
        sink_.reset();
    }
    // The run never started (Stop overtook its start): its record goes, which holds no tick.
    void Abandon() {
        writer_.Discard();
        sink_.reset();
    }

    const LiveContinuity& Continuity() const { return continuity_; }
    // Ticks with a valid reply, repeated clocks included.
    long long GoodTicks() const { return continuity_.GoodTicks() + repeatedClocks_; }
    long long FailedTicks() const { return continuity_.FailedTicks(); }
    long long RepeatedClocks() const { return repeatedClocks_; }
    long long Reopens() const { return reopens_; }
    bool Recording() const { return writer_.IsOpen() || sink_ != nullptr; }
    const LiveRecordWriter& Writer() const { return writer_; }
    // The name of the sink the ticks go into, also after the run.
    const std::string& SinkName() const { return sinkName_; }
    // Set when a write failed and recording stopped.
    const std::string& RecordError() const { return recordError_; }
    // The run's last clock correction.
    const std::optional<LiveClockSetBack>& LastClockSetBack() const { return lastSetBack_; }

private:
    void Check(bool written);

    LiveContinuity continuity_;
    LiveRecordWriter writer_;
    std::unique_ptr<LiveTickSink> sink_;
    std::string sinkName_;
    std::optional<DateTime> lastEntered_;
    long long repeatedClocks_ = 0;
    long long reopens_ = 0;
    std::string recordError_;
    std::optional<LiveClockSetBack> lastSetBack_;
};
