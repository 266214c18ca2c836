#pragma once
// One recording from many recorder files: the exports of consecutive days, which overlap where
// the operator exported a little more than needed, joined into one history.
//
// Files are taken by their recording's start time, then by name. Channels are joined by number
// and listed ascending. Each channel is made of the files' samples and gap points by three
// rules, whatever order a file holds its times in:
//
// - What is kept: a file's sample is dropped where a sample an earlier file keeps lies within
//   a millisecond (CompareTimes); a gap point holds no instant and drops nothing. A file's own
//   samples never drop each other: it keeps its repeated instants as it does read alone.
// - In which order: each file's kept entries stay in the file's own order, and the files are
//   merged by time: of the files' next entries, the earliest comes next, at an equal time the
//   earlier file's. Files whose times ascend give an ascending channel. After a step back of a
//   file's clock, its entries follow in its own order: an entry earlier than one before it in
//   its file stays behind that one.
// - Where it breaks: a file's samples between two of its gap points, without a step back of a
//   millisecond or more, are a stretch it recorded without a break. A gap point goes where the
//   samples either side of it in the joined channel lie in one stretch of another file (a
//   later file fills the interruption, or an earlier file's sparser samples run across it). Where
//   two consecutive samples come from different files with no gap point between them, lie in no one
//   stretch and are further apart than the sampling interval there (the shorter step of either file
//   next to them, a second when neither shows one), gap points come in as the reader marks an
//   interruption: a second after the one and a second before the other, or one midway when they are
//   at most two seconds apart. So the chart breaks exactly where the joined channel has a hole.
//
// The recording information is the union. A channel whose unit differs between files, or a
// file that does not read completely, refuses the whole join: nothing half-joined is returned.

#include "data/RecorderFile.h"
#include "data/Recording.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// One decoded file, as the reader left it.
struct JoinSource {
    std::string path;
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
};

// What one file contributed to a join.
struct JoinedFile {
    std::string path;
    DateTime startTime = 0; // the file's own time window
    DateTime endTime = 0;
    int32_t keptSamples = 0; // its samples the join kept, gap points not counted
};

struct JoinedRecording {
    RecordingInfo info;
    std::vector<ChannelInfo> channels;
    std::vector<JoinedFile> files; // in join order
};

// Joins decoded files; their samples move into joined, leaving sources empty. On a unit
// conflict returns the message and leaves joined empty.
std::optional<UserMessage> JoinRecordings(std::vector<JoinSource>& sources,
                                          JoinedRecording& joined);

// The recorder files (.bin, .dat in any case) directly in folder, by name. A message when the
// folder cannot be read or holds none.
std::optional<UserMessage> ListRecorderFiles(const std::string& folder,
                                             std::vector<std::string>& paths);

// True when path names a folder (a joined recording of its files).
bool IsRecordingFolder(const std::string& path);

// Called after each file is decoded, with the number of files done and the total.
using JoinProgress = std::function<void(size_t done, size_t total)>;

// Reads the files, one worker per processor, and joins them. A single file is read exactly as
// ReadRecorderFile reads it, a partial read keeping what it gave. With two or more, a file that
// cannot be read completely refuses the join with the reader's message after the file's name,
// and joined stays empty.
std::optional<UserMessage> ReadJoinedRecording(const std::vector<std::string>& paths,
                                               JoinedRecording& joined,
                                               const LoadLogOptions& log = {},
                                               const JoinProgress& progress = {});

// A file, or a folder whose files are joined, as ReadJoinedRecording reads them.
std::optional<UserMessage> ReadRecordingPath(const std::string& path, JoinedRecording& joined,
                                             const LoadLogOptions& log = {},
                                             const JoinProgress& progress = {});

// "12 files, 2015-03-01 00:00:00 to 2015-03-13 07:12:00": what a join shows.
std::string JoinedSummary(const JoinedRecording& joined);
