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
        const bool jumped = std::fabs(t - last) > 2 * Step() + OneMillisecond;
        if (failuresInRow_ > 0 || jumped)
            gap = t > last ? last + std::min(Step(), (t - last) / 2) : t - Step() / 2;
    }
    lastGood_ = t;
    failuresInRow_ = 0;
    return gap;
}

std::optional<DateTime> LiveContinuity::Failed() {
    ++failed_;
    if (++failuresInRow_ != 1 || !lastGood_)
        return std::nullopt;
    return *lastGood_ + Step();
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
    stem_ = "live-" + FormatDateTime(runStart, "yyyyMMdd'-'HHmmss");
    channels_.assign(channels.begin(), channels.end());
    units_.assign(units.begin(), units.end());
    units_.resize(channels_.size());
    files_.clear();
    error_.clear();
    // The folder may be new (a choice typed in the dialog); a failure shows at the open.
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    if (!OpenNext()) {
        error = error_;
        return false;
    }
    return true;
}

bool LiveRecordWriter::OpenNext() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    samplesInFile_ = 0;
    // A run started in the same second as an earlier one gets the next free name.
    const size_t part = files_.size() + 1;
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
        !Sync()) {
        error_ = "Cannot write the record file " + path_ + ": " + std::strerror(errno);
        Close();
        return false;
    }
    // The file's name must survive a power cut as well as its lines.
    const int folder = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

namespace {

std::atomic<RecordSyncFunction> recordSync{&fdatasync};

} // namespace

void SetRecordSyncFunction(RecordSyncFunction sync) {
    recordSync = sync ? sync : &fdatasync;
}

bool LiveRecordWriter::Sync() {
    int rc;
    do
        rc = recordSync.load()(fd_);
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
    if (!Sync()) {
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

void LiveRunLog::Begin(double intervalDays) {
    writer_.Close();
    continuity_ = LiveContinuity(intervalDays);
    lastEntered_.reset();
    repeatedClocks_ = 0;
    reopens_ = 0;
    recordError_.clear();
}

bool LiveRunLog::StartRecording(const std::string& folder, DateTime runStart,
                                std::span<const int16_t> channels,
                                std::span<const std::string> units, std::string& error) {
    recordError_.clear();
    return writer_.Start(folder, runStart, channels, units, error);
}

LiveTickEntry LiveRunLog::Good(DateTime time, std::span<const float> values) {
    LiveTickEntry entry;
    // Whole seconds on the instrument's clock: "not later" within the tolerance of times.
    if (lastEntered_ && CompareTimes(time, *lastEntered_) <= 0) {
        ++repeatedClocks_;
        entry.repeatedClock = true;
        return entry;
    }
    const bool outage = continuity_.FailuresInRow() > 0;
    entry.gap = continuity_.Good(time);
    lastEntered_ = time;
    if (writer_.IsOpen()) {
        // An outage has its marker from its first failed tick; a clock jump gets one here.
        if (entry.gap && !outage)
            Check(writer_.WriteGap(*entry.gap));
        if (writer_.IsOpen())
            Check(writer_.WriteTick(time, values));
    }
    return entry;
}

void LiveRunLog::Failed() {
    const std::optional<DateTime> marker = continuity_.Failed();
    if (!marker)
        return;
    lastEntered_ = std::max(*marker, lastEntered_.value_or(*marker));
    if (writer_.IsOpen())
        Check(writer_.WriteGap(*marker));
}

void LiveRunLog::Check(bool written) {
    if (!written && recordError_.empty())
        recordError_ = writer_.ErrorText();
}

std::optional<UserMessage> OpenLiveRecord(const std::string& path, RecordingInfo& info,
                                          std::vector<ChannelInfo>& channels,
                                          const CsvImportProgress& progress) {
    if (auto failure = ImportCsvFile(path, info, channels, progress))
        return failure;
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
