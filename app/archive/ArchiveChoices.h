#pragma once
// What the window's archive commands decide without a window: which part of the archive to
// open and whether the entries of the dialogs are sound, what an add tells the user, and the
// reading and adding themselves as the worker runs them. Plain C++; the dialogs (ArchiveDialogs)
// and the commands (ArchiveCommands) only show and ask.

#include "data/archive/Archive.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A recorder's history, or the part within range, in the archive at location.
struct ArchiveSelection {
    std::string location;
    std::string recorder;
    TimeRange range;
};

// The archive's recorders, read through a connection of their own.
std::optional<UserMessage> ListArchivedRecorders(const std::string& location,
                                                 std::vector<ArchivedRecorder>& recorders);

// Opens the archive and reads the selection.
std::optional<UserMessage> ReadArchiveSelection(const ArchiveSelection& selection,
                                                JoinedRecording& joined);
// "archive:boiler, 12 files, 2015-03-01 00:00:00 to 2015-03-13 07:12:00": the title of what
// was read.
std::string ArchiveSelectionSummary(const ArchiveSelection& selection,
                                    const JoinedRecording& joined);

// The "Open from archive" dialog's entries as typed (UTF-8).
struct ArchiveOpenEntries {
    std::string recorder;
    std::string from; // yyyy-MM-dd HH:mm:ss
    std::string to;
};
// The entries the dialog starts with for a recorder: its whole span.
ArchiveOpenEntries ArchiveOpenDefaults(const ArchivedRecorder& recorder);
// The range the entries ask for, or why they cannot be taken. A from or to left as the
// recorder's own start or end (the defaults) leaves that end open, so that the samples within
// its last second are read too.
struct ArchiveOpenCheck {
    std::optional<std::string> refusal;
    TimeRange range;
};
ArchiveOpenCheck CheckArchiveOpenEntries(const std::vector<ArchivedRecorder>& recorders,
                                         const ArchiveOpenEntries& entries);

// The recorder name an add goes under (trimmed), or why it cannot be one.
std::optional<std::string> CheckRecorderName(const std::string& name);
// The database setting as it may be stored (trimmed), or why it may not (a password in it).
std::optional<std::string> CheckDatabaseSetting(const std::string& setting);

// What an add did, file by file (the lines of ArchiveAddText).
struct ArchiveAddOutcome {
    std::vector<std::string> lines;
    size_t refused = 0;
    std::optional<UserMessage> failure; // nothing could be added (no archive, no files)
};
// Adds the files and folders' files under recorder, in the join's order, creating the archive
// when missing; progress(done, total) after each file.
ArchiveAddOutcome AddToArchive(const std::string& location, const std::string& recorder,
                               const std::vector<std::string>& paths,
                               const std::function<void(size_t, size_t)>& progress = {});
// The box that tells it: the lines under "Added to archive:NAME (location):", with an error
// icon when a file was refused.
UserMessage ArchiveAddMessage(const std::string& recorder, const std::string& location,
                              const ArchiveAddOutcome& outcome);
