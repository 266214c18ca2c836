#pragma once
// One recording from many recorder files: the exports of consecutive days, which overlap where
// the operator exported a little more than needed, joined into one history.
//
// Files are taken by their recording's start time, then by name. Channels are joined by number
// and listed ascending; each channel holds the samples of the files in that order, without a
// sample at a time (within a millisecond) that an earlier file already holds for the channel.
// Where consecutive files leave time without samples, the channel gets gap points, so the chart
// breaks there as at the recorder's own interruptions. The recording information is the union.
//
// A channel whose unit differs between files, or a file that does not read completely, refuses
// the whole join: nothing half-joined is returned.

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
