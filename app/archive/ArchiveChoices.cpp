#include "app/archive/ArchiveChoices.h"

#include "data/Text.h"

#include <algorithm>

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string Time(DateTime t) {
    return FormatDateTime(t, ReadoutTimePattern);
}

} // namespace

std::optional<UserMessage> ListArchivedRecorders(const std::string& location,
                                                 std::vector<ArchivedRecorder>& recorders) {
    recorders.clear();
    UserMessage failure;
    const auto archive = Archive::Open(location, false, failure);
    if (!archive)
        return failure;
    return archive->ListRecorders(recorders);
}

std::optional<UserMessage> ReadArchiveSelection(const ArchiveSelection& selection,
                                                JoinedRecording& joined) {
    UserMessage failure;
    const auto archive = Archive::Open(selection.location, false, failure);
    if (!archive)
        return failure;
    return archive->Read(selection.recorder, selection.range, joined);
}

std::string ArchiveSelectionSummary(const ArchiveSelection& selection,
                                    const JoinedRecording& joined) {
    return "archive:" + selection.recorder + ", " + JoinedSummary(joined);
}

ArchiveOpenEntries ArchiveOpenDefaults(const ArchivedRecorder& recorder) {
    return {recorder.name, Time(recorder.startTime), Time(recorder.endTime)};
}

ArchiveOpenCheck CheckArchiveOpenEntries(const std::vector<ArchivedRecorder>& recorders,
                                         const ArchiveOpenEntries& entries) {
    ArchiveOpenCheck check;
    const auto recorder =
        std::find_if(recorders.begin(), recorders.end(),
                     [&](const ArchivedRecorder& r) { return r.name == entries.recorder; });
    if (recorder == recorders.end()) {
        check.refusal = entries.recorder.empty()
                            ? "Choose a recorder."
                            : "The archive holds no recorder " + entries.recorder + ".";
        return check;
    }
    const std::string from = Trimmed(entries.from), to = Trimmed(entries.to);
    const ArchiveOpenEntries whole = ArchiveOpenDefaults(*recorder);
    // Empty, or the recorder's own end: open.
    auto end = [&](const std::string& text, const std::string& own, const char* which,
                   std::optional<DateTime>& into) {
        if (text.empty() || text == own)
            return true;
        into = ParseDateTime(text);
        if (!into)
            check.refusal =
                std::string(which) + " must be a time as yyyy-MM-dd HH:mm:ss, not " + text + ".";
        return into.has_value();
    };
    if (!end(from, whole.from, "From", check.range.from) ||
        !end(to, whole.to, "To", check.range.to))
        return check;
    const DateTime first = check.range.from.value_or(recorder->startTime);
    const DateTime last = check.range.to.value_or(recorder->endTime);
    if (check.range.from && check.range.to && CompareTimes(first, last) > 0)
        check.refusal = "From lies after To.";
    else if (CompareTimes(first, recorder->endTime) > 0 ||
             CompareTimes(last, recorder->startTime) < 0)
        check.refusal = "archive:" + recorder->name + " spans " + whole.from + " to " + whole.to +
                        ": nothing of it lies in the range chosen.";
    return check;
}

std::optional<std::string> CheckRecorderName(const std::string& name) {
    const std::string trimmed = Trimmed(name);
    if (trimmed.empty())
        return "Give the recorder's name.";
    if (std::any_of(trimmed.begin(), trimmed.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return "A recorder's name is one line of text.";
    return std::nullopt;
}

std::optional<std::string> CheckDatabaseSetting(const std::string& setting) {
    return StoredLocationProblem(Trimmed(setting));
}

ArchiveAddOutcome AddToArchive(const std::string& location, const std::string& recorder,
                               const std::vector<std::string>& paths,
                               const std::function<void(size_t, size_t)>& progress) {
    ArchiveAddOutcome outcome;
    std::vector<std::string> files;
    if (auto failure = ListArchiveFiles(paths, files)) {
        outcome.failure = std::move(failure);
        return outcome;
    }
    UserMessage failure;
    const auto archive = Archive::Open(location, true, failure);
    if (!archive) {
        outcome.failure = failure;
        return outcome;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        const ArchiveAddResult result = AddFileToArchive(*archive, recorder, files[i]);
        outcome.lines.push_back(ArchiveAddText(files[i], result));
        if (result.outcome == ArchiveAddResult::Outcome::Refused)
            ++outcome.refused;
        if (progress)
            progress(i + 1, files.size());
    }
    return outcome;
}

UserMessage ArchiveAddMessage(const std::string& recorder, const std::string& location,
                              const ArchiveAddOutcome& outcome) {
    if (outcome.failure)
        return *outcome.failure;
    std::string text = "Added to archive:" + recorder + " (" + LocationForMessages(location) + "):";
    for (const std::string& line : outcome.lines)
        text += "\n" + line;
    if (outcome.refused > 0)
        text += "\n" + std::to_string(outcome.refused) + " of " +
                std::to_string(outcome.lines.size()) + " files refused; nothing of them was added.";
    return {Utf8ToGbk(text), outcome.refused > 0 ? MessageIcon::Error : MessageIcon::Information};
}
