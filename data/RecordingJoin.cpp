#include "data/RecordingJoin.h"

#include "data/Text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace {

// IsGapValue with a quick reject: almost every value lies far from the gap marker.
bool IsGapSampleValue(float value) {
    return value > -158.02f && value < -157.98f && IsGapValue(value);
}

std::string NameForMessage(const std::string& path) {
    return Utf8ToGbk(path);
}

// One file's part of a joined channel.
struct Piece {
    ChannelInfo* channel;
    size_t file;
};

// The joined channel under construction and what each file kept of it.
class ChannelMerger {
public:
    // kept counts, by file, the samples each file keeps in this channel.
    ChannelMerger(ChannelInfo& out, std::vector<int32_t>& kept) : out_(out), kept_(kept) {}

    void Add(ChannelInfo& piece, size_t file) {
        const size_t n = std::min(piece.times.size(), piece.values.size());
        piece.times.resize(n);
        piece.values.resize(n);
        if (n == 0)
            return;
        if (ascending_ && !std::is_sorted(piece.times.begin(), piece.times.end()))
            SwitchToHeldIndex();
        if (!ascending_)
            AddOutOfOrder(piece, file);
        else if (out_.times.empty() || CompareTimes(piece.times.front(), out_.times.back()) > 0)
            Append(piece, 0, file, true);
        else
            MergeOverlap(piece, file);
        Release(piece);
    }

private:
    static void Release(ChannelInfo& piece) {
        piece.times = SampleTimes();
        piece.values = SampleValues();
    }

    void Keep(DateTime t, float v, size_t file) {
        out_.times.push_back(t);
        out_.values.push_back(v);
        if (!IsGapSampleValue(v))
            ++kept_[file];
    }

    // The sampling interval near the join: the step of the last two samples before it or of
    // the first two after it, whichever is shorter; a second when neither shows one.
    DateTime IntervalAround(const ChannelInfo& next) const {
        DateTime interval = 0;
        auto consider = [&interval](DateTime a, float va, DateTime b, float vb) {
            const DateTime step = b - a;
            if (!IsGapSampleValue(va) && !IsGapSampleValue(vb) && CompareTimes(b, a) > 0 &&
                (interval == 0 || step < interval))
                interval = step;
        };
        const size_t n = out_.times.size();
        if (n >= 2)
            consider(out_.times[n - 2], out_.values[n - 2], out_.times[n - 1], out_.values[n - 1]);
        if (next.times.size() >= 2)
            consider(next.times[0], next.values[0], next.times[1], next.values[1]);
        return interval == 0 ? OneSecond : interval;
    }

    // Gap points between the last sample so far and the next file's first, when the time
    // between them is longer than the sampling interval: as the reader marks an interruption,
    // one a second after the last sample and one a second before the next, or one midway
    // when they are that close.
    void BreakBefore(const ChannelInfo& next) {
        if (out_.times.empty())
            return;
        const DateTime last = out_.times.back();
        const DateTime first = next.times.front();
        if (IsGapSampleValue(out_.values.back()) || IsGapSampleValue(next.values.front()))
            return;
        if (CompareTimes(first, last + IntervalAround(next)) <= 0)
            return;
        if (CompareTimes(first, last + 2 * OneSecond) <= 0) {
            out_.times.push_back((last + first) / 2);
            out_.values.push_back(GapValue);
            return;
        }
        out_.times.push_back(last + OneSecond);
        out_.times.push_back(first - OneSecond);
        out_.values.push_back(GapValue);
        out_.values.push_back(GapValue);
    }

    // Samples [from, end) of a piece that starts after everything so far.
    void Append(const ChannelInfo& piece, size_t from, size_t file, bool joinBreak) {
        if (joinBreak)
            BreakBefore(piece);
        // Runs and raw words move over as they are.
        out_.times.Append(piece.times, from, piece.times.size());
        out_.values.Append(piece.values, from, piece.values.size());
        int32_t kept = 0;
        for (size_t i = from; i < piece.values.size(); ++i)
            kept += IsGapSampleValue(piece.values[i]) ? 0 : 1;
        kept_[file] += kept;
    }

    // A piece that begins inside what earlier files hold: the overlapping stretch is merged by
    // time with the earlier samples there (an earlier sample wins at the same time), the rest
    // appended.
    void MergeOverlap(const ChannelInfo& piece, size_t file) {
        const DateTime lastHeld = out_.times.back();
        const size_t tailBegin =
            static_cast<size_t>(std::lower_bound(out_.times.begin(), out_.times.end(),
                                                 piece.times.front() - OneMillisecond) -
                                out_.times.begin());
        size_t overlapEnd = 0;
        while (overlapEnd < piece.times.size() &&
               CompareTimes(piece.times[overlapEnd], lastHeld) <= 0)
            ++overlapEnd;

        std::vector<DateTime> tailTimes(out_.times.begin() + static_cast<ptrdiff_t>(tailBegin),
                                        out_.times.end());
        std::vector<float> tailValues(out_.values.begin() + static_cast<ptrdiff_t>(tailBegin),
                                      out_.values.end());
        out_.times.resize(tailBegin);
        out_.values.resize(tailBegin);
        size_t i = 0, j = 0;
        while (i < tailTimes.size() || j < overlapEnd) {
            if (j == overlapEnd) {
                out_.times.push_back(tailTimes[i]);
                out_.values.push_back(tailValues[i++]);
            } else if (i == tailTimes.size()) {
                Keep(piece.times[j], piece.values[j], file);
                ++j;
            } else if (CompareTimes(piece.times[j], tailTimes[i]) == 0 &&
                       !IsGapSampleValue(tailValues[i])) {
                ++j; // an earlier file holds this time
            } else if (tailTimes[i] <= piece.times[j]) {
                out_.times.push_back(tailTimes[i]);
                out_.values.push_back(tailValues[i++]);
            } else {
                Keep(piece.times[j], piece.values[j], file);
                ++j;
            }
        }
        Append(piece, overlapEnd, file, false);
    }

    // Times out of order somewhere: the files' samples follow each other in file order, and
    // a sorted index of the times held so far decides what is dropped.
    void SwitchToHeldIndex() {
        ascending_ = false;
        for (size_t i = 0; i < out_.times.size(); ++i)
            if (!IsGapSampleValue(out_.values[i]))
                held_.push_back(out_.times[i]);
        std::sort(held_.begin(), held_.end());
    }

    bool Held(DateTime t) const {
        const auto it = std::lower_bound(held_.begin(), held_.end(), t - OneMillisecond);
        return it != held_.end() && CompareTimes(*it, t) == 0;
    }

    void AddOutOfOrder(const ChannelInfo& piece, size_t file) {
        const size_t before = held_.size();
        for (size_t i = 0; i < piece.times.size(); ++i) {
            if (Held(piece.times[i]))
                continue;
            Keep(piece.times[i], piece.values[i], file);
            if (!IsGapSampleValue(piece.values[i]))
                held_.push_back(piece.times[i]);
        }
        std::sort(held_.begin() + static_cast<ptrdiff_t>(before), held_.end());
        std::inplace_merge(held_.begin(), held_.begin() + static_cast<ptrdiff_t>(before),
                           held_.end());
    }

    ChannelInfo& out_;
    std::vector<int32_t>& kept_;
    bool ascending_ = true;
    std::vector<DateTime> held_;
};

void JoinChannel(int16_t number, std::vector<Piece>& parts, ChannelInfo& out,
                 std::vector<int32_t>& kept) {
    out.channel = number;
    out.unit = parts.front().channel->unit;
    // The instrument range drawn with own scales: all the files' ranges together (fmin and
    // fmax pass over a file without one).
    for (const Piece& part : parts) {
        out.rangeLow = std::fmin(out.rangeLow, part.channel->rangeLow);
        out.rangeHigh = std::fmax(out.rangeHigh, part.channel->rangeHigh);
    }
    if (parts.size() == 1) {
        // Nothing to merge: the samples move over as they are.
        ChannelInfo& only = *parts.front().channel;
        for (float v : only.values)
            kept[parts.front().file] += IsGapSampleValue(v) ? 0 : 1;
        out.times = std::move(only.times);
        out.values = std::move(only.values);
        return;
    }
    size_t total = 0;
    for (const Piece& part : parts)
        total += part.channel->times.size() + 2; // room for the gap points of a join
    out.times.reserve(total);
    out.values.reserve(total);
    // The samples an overlap drops leave a little room unused: cheaper than a second copy.
    ChannelMerger merger(out, kept);
    for (const Piece& part : parts)
        merger.Add(*part.channel, part.file);
}

// Runs work on this thread and up to one more thread per further processor (never more
// threads than jobs); returns when all have ended.
template <typename Work> void RunOnWorkers(Work& work, size_t jobs, size_t limit = 0) {
    size_t workers = limit ? limit : std::max(1u, std::thread::hardware_concurrency());
    workers = std::min(workers, jobs);
    std::vector<std::thread> threads;
    for (size_t w = 1; w < workers; ++w) {
        try {
            threads.emplace_back(std::ref(work));
        } catch (const std::exception&) {
            break; // fewer workers then
        }
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
}

std::optional<UserMessage> CheckUnits(const std::vector<JoinSource>& sources) {
    struct FirstSeen {
        const std::string* unit;
        const std::string* path;
    };
    std::map<int16_t, FirstSeen> seen;
    for (const JoinSource& source : sources)
        for (const ChannelInfo& channel : source.channels) {
            const auto [it, added] =
                seen.try_emplace(channel.channel, FirstSeen{&channel.unit, &source.path});
            if (added || *it->second.unit == channel.unit)
                continue;
            char number[16];
            std::snprintf(number, sizeof number, "%.2d", static_cast<int>(channel.channel));
            return UserMessage{"Channel " + std::string(number) + " is in " + *it->second.unit +
                                   " in " + NameForMessage(*it->second.path) + " but in " +
                                   channel.unit + " in " + NameForMessage(source.path) +
                                   ": the files cannot be joined.",
                               MessageIcon::Error};
        }
    return std::nullopt;
}

} // namespace

std::optional<UserMessage> JoinRecordings(std::vector<JoinSource>& sources,
                                          JoinedRecording& joined) {
    joined = JoinedRecording{};
    std::stable_sort(sources.begin(), sources.end(), [](const JoinSource& a, const JoinSource& b) {
        if (a.info.startTime != b.info.startTime)
            return a.info.startTime < b.info.startTime;
        return a.path < b.path;
    });
    if (auto conflict = CheckUnits(sources))
        return conflict;

    std::map<int16_t, std::vector<Piece>> pieces; // ascending channel numbers
    for (size_t f = 0; f < sources.size(); ++f) {
        JoinSource& source = sources[f];
        joined.files.push_back({source.path, source.info.startTime, source.info.endTime, 0});
        for (ChannelInfo& channel : source.channels)
            pieces[channel.channel].push_back({&channel, f});
        RecordingInfo& info = joined.info;
        if (f == 0) {
            info = source.info;
        } else {
            info.valueMax = std::max(info.valueMax, source.info.valueMax);
            info.valueMin = std::min(info.valueMin, source.info.valueMin);
            info.startTime = std::min(info.startTime, source.info.startTime);
            info.endTime = std::max(info.endTime, source.info.endTime);
        }
    }
    joined.info.sampleCount = 0;

    // Channels are independent: they are merged side by side, one worker per processor.
    std::vector<std::pair<int16_t, std::vector<Piece>>> work(pieces.begin(), pieces.end());
    joined.channels.resize(work.size());
    std::vector<std::vector<int32_t>> kept(work.size(), std::vector<int32_t>(sources.size(), 0));
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto merge = [&] {
        for (size_t c; (c = next.fetch_add(1)) < work.size();) {
            try {
                JoinChannel(work[c].first, work[c].second, joined.channels[c], kept[c]);
            } catch (...) { // out of memory: the join fails as a whole
                std::lock_guard lock(failureMutex);
                failure = std::current_exception();
                next.store(work.size());
            }
        }
    };
    RunOnWorkers(merge, work.size());
    if (failure) {
        joined = JoinedRecording{};
        std::rethrow_exception(failure);
    }
    for (const std::vector<int32_t>& channelKept : kept)
        for (size_t f = 0; f < channelKept.size(); ++f)
            joined.files[f].keptSamples += channelKept[f];
    for (const JoinedFile& file : joined.files)
        joined.info.sampleCount += file.keptSamples;
    sources.clear();
    return std::nullopt;
}

bool IsRecordingFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

std::optional<UserMessage> ListRecorderFiles(const std::string& folder,
                                             std::vector<std::string>& paths) {
    paths.clear();
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error)
        return UserMessage{"Open file failure!", MessageIcon::Error};
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::string extension = it->path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (extension == ".bin" || extension == ".dat")
            paths.push_back(it->path().string());
    }
    if (error)
        return UserMessage{"Open file failure!", MessageIcon::Error};
    std::sort(paths.begin(), paths.end());
    if (paths.empty())
        return UserMessage{"No recorder data files (*.bin, *.dat) in " + NameForMessage(folder),
                           MessageIcon::Information};
    return std::nullopt;
}

std::optional<UserMessage> ReadJoinedRecording(const std::vector<std::string>& paths,
                                               JoinedRecording& joined, const LoadLogOptions& log,
                                               const JoinProgress& progress) {
    joined = JoinedRecording{};
    if (paths.empty())
        return UserMessage{"No recorder data files (*.bin, *.dat) to open.",
                           MessageIcon::Information};
    if (paths.size() == 1) {
        // One file is read exactly as File > Open reads it, a partial read included.
        auto message = ReadRecorderFile(paths.front(), joined.info, joined.channels, log);
        joined.files.push_back(
            {paths.front(), joined.info.startTime, joined.info.endTime, joined.info.sampleCount});
        if (progress)
            progress(1, 1);
        return message;
    }

    std::vector<JoinSource> sources(paths.size());
    std::vector<std::optional<UserMessage>> failures(paths.size());
    std::atomic<size_t> nextFile{0};
    size_t filesDone = 0;
    std::mutex progressMutex;
    auto work = [&] {
        for (size_t f; (f = nextFile.fetch_add(1)) < paths.size();) {
            JoinSource& source = sources[f];
            source.path = paths[f];
            try {
                failures[f] = ReadRecorderFile(source.path, source.info, source.channels, log);
            } catch (const std::exception& error) { // out of memory, for one
                failures[f] = UserMessage{error.what(), MessageIcon::Error};
            }
            if (failures[f]) {
                // Nothing of a refused join is kept; the other workers stop early.
                source.channels = {};
                nextFile.store(paths.size());
            }
            std::lock_guard lock(progressMutex);
            ++filesDone;
            if (progress)
                progress(filesDone, paths.size());
        }
    };
    // The load log names its file by the second it is opened: files logged at once would
    // write into the same log, so a logged join reads one file after the other.
    RunOnWorkers(work, paths.size(), log.enabled ? 1 : 0);

    for (size_t f = 0; f < paths.size(); ++f)
        if (failures[f])
            return UserMessage{NameForMessage(paths[f]) + ": " + failures[f]->text,
                               failures[f]->icon};
    return JoinRecordings(sources, joined);
}

std::optional<UserMessage> ReadRecordingPath(const std::string& path, JoinedRecording& joined,
                                             const LoadLogOptions& log,
                                             const JoinProgress& progress) {
    if (!IsRecordingFolder(path))
        return ReadJoinedRecording({path}, joined, log, progress);
    joined = JoinedRecording{};
    std::vector<std::string> paths;
    if (auto message = ListRecorderFiles(path, paths))
        return message;
    return ReadJoinedRecording(paths, joined, log, progress);
}

std::string JoinedSummary(const JoinedRecording& joined) {
    return std::to_string(joined.files.size()) +
           (joined.files.size() == 1 ? " file, " : " files, ") +
           FormatDateTime(joined.info.startTime, ReadoutTimePattern) + " to " +
           FormatDateTime(joined.info.endTime, ReadoutTimePattern);
}
