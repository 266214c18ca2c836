#pragma once
// The archive of every recorder's history: one database (an SQLite file by default, or a
// PostgreSQL server for a plant) that holds each recorder's channels as the join of every file
// and live run added to it, in the order they were added.
//
// Adding follows the join's rules: a sample at a time (within a millisecond) that the archive
// already holds for that recorder's channel is not added, and the archive's value stays; a unit
// that differs from the archive's for a channel refuses the whole recording with the join's
// message; where the archived history has a hole, break points mark it. Reading a time range
// gives the same samples, times, values and breaks as joining the files would (times to the
// millisecond), as a JoinedRecording the views show like joined files.
//
// Every addition is one transaction: a killed process or a power cut leaves the archive as it
// was before the file or the tick. Writers of one recorder wait for each other, so two
// workstations adding overlapping files at once give the same result as one after the other.

#include "data/LiveRecord.h"
#include "data/RecorderFile.h"
#include "data/RecordingJoin.h"
#include "data/archive/ArchiveDatabase.h"
#include "data/archive/StretchCodec.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// ~/.local/share/paperless-recorder/archive.sqlite ($XDG_DATA_HOME respected); the folder is
// created on demand.
std::string DefaultArchiveLocation();
// The archive a stored setting names: the default file when it is empty, the location without
// its password when a hand-edited one holds one (no password is taken from the settings).
std::string StoredArchiveLocation(const std::string& setting);

// A file the archive took in.
struct ArchivedFile {
    std::string path; // as it was named when added (UTF-8)
    DateTime addedAt = 0;
    DateTime startTime = 0; // the file's own time window
    DateTime endTime = 0;
    int64_t samplesAdded = 0;
    int64_t samplesHeld = 0; // its samples the archive held already
};

struct ArchivedChannel {
    int16_t number = 0;
    std::string unit; // GBK, as in ChannelInfo
    int64_t samples = 0;
    std::optional<DateTime> firstTime; // of its samples, when it has any
    std::optional<DateTime> lastTime;
};

struct ArchivedRecorder {
    std::string name;
    int64_t files = 0;
    DateTime startTime = 0; // the files' time windows together
    DateTime endTime = 0;
    std::vector<ArchivedChannel> channels; // ascending numbers
};

// A recording to add: a decoded file or live record, and what identifies the file. An empty
// sha256 stands for a recording without a file (a live run's ticks): it is never taken for one
// added before.
struct ArchiveSource {
    std::string path;
    uint64_t size = 0;
    std::string sha256; // lower-case hexadecimal
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
};

struct ArchiveAddResult {
    enum class Outcome { Added, AlreadyArchived, Refused };
    Outcome outcome = Outcome::Refused;
    int64_t samplesAdded = 0;
    int64_t samplesHeld = 0;
    std::optional<ArchivedFile> earlier; // AlreadyArchived: the same file as added before
    std::optional<UserMessage> message;  // Refused: why; nothing was added
};

class Archive {
public:
    // Opens the archive at location (an SQLite file's path or a postgresql:// URI). With create,
    // a missing SQLite file or an empty database becomes a new archive; without it they are
    // failures, as are a database that cannot be opened and an archive of another schema
    // version.
    static std::unique_ptr<Archive> Open(const std::string& location, bool create,
                                         UserMessage& failure);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // The location as messages show it (no password).
    const std::string& Name() const { return name_; }

    // The file with this content added under recorder before, if any.
    std::optional<UserMessage> FindFile(const std::string& recorder, const std::string& sha256,
                                        std::optional<ArchivedFile>& found);

    // Adds the recording under recorder in one transaction (its samples move out of source). A
    // file whose content was added before adds nothing.
    ArchiveAddResult Add(const std::string& recorder, ArchiveSource& source);

    std::optional<UserMessage> ListRecorders(std::vector<ArchivedRecorder>& recorders);

    // The recorder's history within range (all of it without ends) as the join of its files
    // would show it: channels with their entries in range, the files whose windows meet it in
    // the order they were added, the value range of all the recorder's files, the time window
    // narrowed to the range. Only the stretches that meet the range are read.
    std::optional<UserMessage> Read(const std::string& recorder, const TimeRange& range,
                                    JoinedRecording& recording);

    // A live run's part in the archive: BeginRun registers the run (its channels, which must
    // have the archive's units, and a files row for it); AddToRun joins a recording of its
    // ticks in one transaction. ArchiveRunWriter is the way to use them.
    std::optional<UserMessage> BeginRun(const std::string& recorder, DateTime runStart,
                                        std::span<const int16_t> channels,
                                        std::span<const std::string> units, int64_t& runId);
    ArchiveAddResult AddToRun(const std::string& recorder, int64_t runId,
                              std::vector<ChannelInfo>& ticks);
    // The files row of a run that took no tick goes, so that it widens no recorder's span.
    std::optional<UserMessage> ForgetEmptyRun(int64_t runId);

    // The connection itself, for queries of one's own.
    ArchiveDatabase& Database() { return *db_; }

private:
    Archive(std::unique_ptr<ArchiveDatabase> db, std::string name);

    struct MergeOutcome;
    // Inside a write transaction with the recorder locked: joins the recording's channels into
    // the archive's.
    MergeOutcome Merge(int64_t recorderId, const std::string& recorder, ArchiveSource& source);
    int64_t LockRecorder(const std::string& recorder);
    UserMessage Failure(const std::string& what, const std::exception& error) const;

    std::unique_ptr<ArchiveDatabase> db_;
    std::string name_;
};

// Records a live run into the archive, a tick at a time, each tick one transaction: the ticks
// join the archive as a file's samples do. The archive must outlive the writer.
class ArchiveRunWriter {
public:
    // The run's channels and units by position; the units must match the archive's. Nullptr
    // with the message when they do not or the archive cannot be written.
    static std::unique_ptr<ArchiveRunWriter> Start(Archive& archive, const std::string& recorder,
                                                   DateTime runStart,
                                                   std::span<const int16_t> channels,
                                                   std::span<const std::string> units,
                                                   UserMessage& failure);
    // One sample per channel, values by position, after a break point for every channel at
    // gapBefore when given: one transaction. False with ErrorText when the write failed;
    // nothing of the tick is in the archive then.
    bool WriteTick(DateTime time, std::span<const float> values,
                   std::optional<DateTime> gapBefore = std::nullopt);
    // A break point for every channel.
    bool WriteGap(DateTime time);

    int64_t SamplesAdded() const { return added_; }
    int64_t SamplesHeld() const { return held_; }
    int64_t RunId() const { return runId_; }
    const std::string& ErrorText() const { return error_; }

    ArchiveRunWriter(Archive& archive, std::string recorder, std::span<const int16_t> channels,
                     std::span<const std::string> units, int64_t runId);

private:
    bool Write(std::optional<DateTime> gap, std::optional<DateTime> time,
               std::span<const float> values);

    Archive& archive_;
    std::string recorder_;
    std::vector<int16_t> channels_;
    std::vector<std::string> units_;
    int64_t runId_;
    int64_t added_ = 0;
    int64_t held_ = 0;
    std::string error_;
};

// A live run recorded into the archive: the archive opened at location (created when missing)
// and the run's writer, as the run's record sink. Nullptr with the message (UTF-8) when the
// archive cannot be opened or refuses the run's channels.
class ArchiveRecord : public LiveTickSink {
public:
    // A run that recorded no tick leaves nothing in the archive but its channels' units.
    ~ArchiveRecord() override;
    static std::unique_ptr<ArchiveRecord> Start(const std::string& location,
                                                const std::string& recorder, DateTime runStart,
                                                std::span<const int16_t> channels,
                                                std::span<const std::string> units,
                                                std::string& error);
    bool WriteTick(DateTime time, std::span<const float> values,
                   std::optional<DateTime> gapBefore) override;
    const std::string& ErrorText() const override { return writer_->ErrorText(); }
    const std::string& Name() const override { return name_; }
    const ArchiveRunWriter& Writer() const { return *writer_; }

private:
    ArchiveRecord() = default;
    std::unique_ptr<Archive> archive_;
    std::unique_ptr<ArchiveRunWriter> writer_; // after the archive it writes to
    std::string name_;
};

// What a time range of a recording holds, the rule for joined files and the archive alike: the
// entries in range (both ends included), the files whose windows meet it, the time window
// narrowed to it and the samples counted in it.
void KeepTimeRange(JoinedRecording& recording, const TimeRange& range);

// Adds one file, identified by the SHA-256 of its bytes: a live run's record (*.csv) as File >
// Open opens it, any other file as a recorder data file. Nothing when its content is archived
// already (it is not decoded then); a file that does not read completely is refused, as a join
// refuses it.
ArchiveAddResult AddFileToArchive(Archive& archive, const std::string& recorder,
                                  const std::string& path);

// What an add did with a file, as one line (UTF-8): "PATH: 172800 samples added, 0 already in
// the archive", "PATH: nothing added: already in the archive (added TIME as PATH)", or for a
// refused file the refusal's own text (which names the file).
std::string ArchiveAddText(const std::string& path, const ArchiveAddResult& result);

// The files that FILE or FOLDER arguments name (a folder gives the recorder files directly in
// it, as a join of the folder takes them), in the order a join takes them: by start time, then
// by name.
std::optional<UserMessage> ListArchiveFiles(const std::vector<std::string>& arguments,
                                            std::vector<std::string>& paths);
