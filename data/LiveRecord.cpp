#include "data/LiveRecord.h"

#include "data/Recording.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

std::optional<DateTime> LiveContinuity::Good(DateTime t) {
    ++good_;
    std::optional<DateTime> gap;
    if (lastGood_) {
        const DateTime last = *lastGood_;
        // A failed tick leaves a hole only where the next answer shows one; without failures
        // a second skipped is a late tick, not a hole.
        const double allowed = (failuresInRow_ > 0 ? 1 : 2) * Step() + OneMillisecond;
        if (std::fabs(t - last) > allowed)
            gap = t > last ? last + Step() : t - Step() / 2;
    }
    lastGood_ = t;
    failuresInRow_ = 0;
    return gap;
}

void LiveContinuity::Failed() {
    ++failed_;
    ++failuresInRow_;
}

void LiveContinuity::Restart() {
    lastGood_.reset();
    failuresInRow_ = 0;
}

std::string LiveRecordLine(long long n, int16_t channel, float value, std::string_view time,
                           std::string_view unit) {
    std::string line;
    line.reserve(32 + time.size() + unit.size());
    char number[32];
    line.append(number, std::to_chars(number, number + sizeof number, n).ptr);
    line += ',';
    line.append(number, std::to_chars(number, number + sizeof number, channel).ptr);
    line += ',';
    // The shortest text that reads back as the same float.
    line.append(number, std::to_chars(number, number + sizeof number, value).ptr);
    line += ',';
    line += time;
    line += ',';
    line += unit;
    line += '\n';
    return line;
}

LiveRecordWriter::~LiveRecordWriter() {
    Close();
}

bool LiveRecordWriter::Start(const std::string& folder, DateTime runStart,
                             std::span<const int16_t> channels, std::span<const std::string> units,
                             std::string& error) {
    Close();
    folder_ = folder.empty() ? std::string(".") : folder;
    while (folder_.size() > 1 && folder_.back() == '/')
        folder_.pop_back();
    channels_.assign(channels.begin(), channels.end());
    units_.assign(units.begin(), units.end());
    units_.resize(channels_.size());
    files_.clear();
    error_.clear();
    // The folder may be new (a choice typed in the dialog); a failure shows at the open.
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    if (!StartNewFile(runStart)) {
        error = error_;
        return false;
    }
    return true;
}

bool LiveRecordWriter::StartNewFile(DateTime moment) {
    Close();
    stem_ = "live-" + FormatDateTime(moment, "yyyyMMdd'-'HHmmss");
    partsOfStem_ = 0;
    return OpenNext();
}

bool LiveRecordWriter::OpenNext() {
    Close();
    samplesInFile_ = 0;
    // A run started in the same second as an earlier one gets the next free name.
    const size_t part = ++partsOfStem_;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string name = stem_;
        if (part > 1)
            name += "-" + std::to_string(part);
        if (attempt > 0)
            name += "_" + std::to_string(attempt + 1);
        path_ = folder_ + "/" + name + ".csv";
        fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        error_ = "Cannot create the record file " + path_ + ": " + std::strerror(errno);
        return false;
    }
    files_.push_back(path_);
    buffer_.assign(TitleLine);
    if (write(fd_, buffer_.data(), buffer_.size()) != static_cast<ssize_t>(buffer_.size()) ||
        !Sync(fd_)) {
        error_ = "Cannot write the record file " + path_ + ": " + std::strerror(errno);
        Close();
        return false;
    }
    // The file's name must survive a power cut as well as its lines: a folder that cannot be
    // synced fails the record as a failed write would.
    const int folder = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool named = folder >= 0 && Sync(folder);
    const int cause = errno;
    if (folder >= 0)
        close(folder);
    if (!named) {
        error_ = "Cannot sync the record's folder " + folder_ + " (for " + path_ +
                 "): " + std::strerror(cause);
        Close();
        return false;
    }
    return true;
}

namespace {

std::atomic<RecordSyncFunction> recordSync{&fdatasync};

} // namespace

void SetRecordSyncFunction(RecordSyncFunction sync) {
    recordSync = sync ? sync : &fdatasync;
}

bool LiveRecordWriter::Sync(int fd) {
    int rc;
    do
        rc = recordSync.load()(fd);
    while (rc != 0 && errno == EINTR);
    // EINVAL: a file that cannot be synced at all; there is nothing better to do for it.
    return rc == 0 || errno == EINVAL;
}

bool LiveRecordWriter::Append(DateTime time, std::span<const float> values, bool gap) {
    if (fd_ < 0)
        return false;
    if (samplesInFile_ >= SamplesPerFile && !OpenNext())
        return false;
    const std::string timeText = FormatDateTime(time, ReadoutTimePattern);
    buffer_.clear();
    for (size_t p = 0; p < channels_.size(); ++p) {
        const float value = gap ? GapValue : p < values.size() ? values[p] : GapValue;
        buffer_ += LiveRecordLine(static_cast<long long>(++samplesInFile_), channels_[p], value,
                                  timeText, units_[p]);
    }
    // One write per tick, synced: a killed program or a power cut loses at most the tick
    // being written, and a reader never sees half of one unless the disk fills up.
    size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = "Cannot write the record file " + path_ + ": " +
                     std::strerror(n < 0 ? errno : ENOSPC);
            Close();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (!Sync(fd_)) {
        error_ = "Cannot write the record file " + path_ + ": " + std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

bool LiveRecordWriter::WriteTick(DateTime time, std::span<const float> values) {
    return Append(time, values, false);
}

bool LiveRecordWriter::WriteGap(DateTime time) {
    return Append(time, {}, true);
}

void LiveRecordWriter::Close() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

void LiveRecordWriter::Discard() {
    Close();
    if (files_.size() == 1 && samplesInFile_ == 0) {
        unlink(files_.front().c_str());
        files_.clear();
    }
}

void LiveRunLog::Begin(double intervalDays) {
    writer_.Close();
    sink_.reset();
    sinkName_.clear();
    continuity_ = LiveContinuity(intervalDays);
    lastEntered_.reset();
    repeatedClocks_ = 0;
    reopens_ = 0;
    recordError_.clear();
    lastSetBack_.reset();
}

bool LiveRunLog::StartRecording(const std::string& folder, DateTime runStart,
                                std::span<const int16_t> channels,
                                std::span<const std::string> units, std::string& error) {
    recordError_.clear();
    return writer_.Start(folder, runStart, channels, units, error);
}

void LiveRunLog::StartSink(std::unique_ptr<LiveTickSink> sink) {
    recordError_.clear();
    sink_ = std::move(sink);
    sinkName_ = sink_ ? sink_->Name() : std::string();
}

LiveTickEntry LiveRunLog::Good(DateTime time, std::span<const float> values) {
    LiveTickEntry entry;
    // Whole seconds on the instrument's clock: "not later" within the tolerance of times.
    if (lastEntered_ && CompareTimes(time, *lastEntered_) <= 0) {
        if (*lastEntered_ - time <= ClockSetBackLimit + OneMillisecond) {
            ++repeatedClocks_;
            entry.repeatedClock = true;
            return entry;
        }
        // Set back: a file's times ascend, so the record goes on in a new one.
        LiveClockSetBack setBack{*lastEntered_, time, {}};
        continuity_.Restart();
        if (writer_.IsOpen()) {
            Check(writer_.StartNewFile(NowLocal()));
            if (writer_.IsOpen())
                setBack.recordPath = writer_.Path();
        }
        lastSetBack_ = setBack;
        entry.clockSetBack = std::move(setBack);
    }
    entry.gap = continuity_.Good(time);
    lastEntered_ = time;
    if (writer_.IsOpen()) {
        if (entry.gap)
            Check(writer_.WriteGap(*entry.gap));
        if (writer_.IsOpen())
            Check(writer_.WriteTick(time, values));
    }
    if (sink_ && recordError_.empty() && !sink_->WriteTick(time, values, entry.gap))
        recordError_ = sink_->ErrorText();
    // A failed write stops the whole record: the run goes on unrecorded, the status says why.
    if (!recordError_.empty())
        Close();
    return entry;
}

void LiveRunLog::Failed() {
    // Whether the outage leaves a hole, and where its marker goes, shows at the next answer.
    continuity_.Failed();
}

void LiveRunLog::Check(bool written) {
    if (!written && recordError_.empty())
        recordError_ = writer_.ErrorText();
}

std::string ClockSetBackText(DateTime from, DateTime to, const std::string& recordPath) {
    std::string text = "Instrument clock set back from " +
                       FormatDateTime(from, ReadoutTimePattern) + " to " +
                       FormatDateTime(to, ReadoutTimePattern);
    if (!recordPath.empty())
        text += "; recording goes on in " + recordPath;
    return text;
}

std::optional<UserMessage> OpenLiveRecord(const std::string& path, RecordingInfo& info,
                                          std::vector<ChannelInfo>& channels,
                                          const CsvImportProgress& progress) {
    if (auto failure = ImportCsvFile(path, info, channels, progress))
        return failure;
    if (info.sampleCount == 0)
        return UserMessage{LiveRecordEmptyText, MessageIcon::Information};
    float low = 0, high = 0;
    bool any = false;
    for (const ChannelInfo& channel : channels)
        for (const float value : channel.values) {
            if (SameSingle(value, GapValue))
                continue;
            low = any ? std::min(low, value) : value;
            high = any ? std::max(high, value) : value;
            any = true;
        }
    if (any) {
        info.valueMin = low;
        info.valueMax = high;
    }
    return std::nullopt;
}

bool IsLiveRecordName(std::string_view path) {
    if (path.size() < 4)
        return false;
    std::string suffix(path.substr(path.size() - 4));
    for (char& c : suffix)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".csv";
}
