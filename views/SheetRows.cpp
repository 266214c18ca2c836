#include "views/SheetRows.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace {

constexpr double NoMoreSamples = std::numeric_limits<double>::infinity();

std::atomic<uint64_t> NextGeneration{1};

} // namespace

std::span<const SheetEntry> SheetRowsPage::Entries(size_t row) const {
    const size_t r = row - first_;
    const size_t begin = r == 0 ? 0 : ends_[r - 1];
    return {entries_.data() + begin, ends_[r] - begin};
}

void SheetRowsPage::Clear(size_t first) {
    first_ = first;
    times_.clear();
    ends_.clear();
    entries_.clear();
}

void SheetRowsPage::Append(DateTime time, std::span<const SheetEntry> entries) {
    times_.push_back(time);
    entries_.insert(entries_.end(), entries.begin(), entries.end());
    ends_.push_back(static_cast<uint32_t>(entries_.size()));
}

void SheetRowsPage::Release() {
    std::vector<DateTime>().swap(times_);
    std::vector<uint32_t>().swap(ends_);
    std::vector<SheetEntry>().swap(entries_);
}

size_t SheetRowsPage::MemoryBytes() const {
    return times_.capacity() * sizeof(DateTime) + ends_.capacity() * sizeof(uint32_t) +
           entries_.capacity() * sizeof(SheetEntry);
}

// The k-way merge of the channels' shown samples, one row at a time by the rules, or a stretch
// of rows at once where every channel at the instant runs on the same computed record times.
class SheetRowMerge {
public:
    explicit SheetRowMerge(const std::vector<SheetRows::Source>& sources) {
        cursors_.reserve(sources.size());
        for (const SheetRows::Source& source : sources)
            cursors_.push_back({&source, source.begin});
    }

    void StartAt(const uint32_t* indices) {
        for (size_t k = 0; k < cursors_.size(); ++k) {
            cursors_[k].index = indices ? indices[k] : cursors_[k].source->begin;
            Settle(cursors_[k]);
        }
    }

    void SaveIndices(uint32_t* out) const {
        for (size_t k = 0; k < cursors_.size(); ++k)
            out[k] = static_cast<uint32_t>(cursors_[k].index);
    }

    bool Done() const {
        for (const Cursor& c : cursors_)
            if (c.head != NoMoreSamples)
                return false;
        return true;
    }

    // One row: every channel's leading samples at the earliest head's instant, channel by
    // channel. Returns the row's time (its first entry's); entries are appended.
    DateTime NextRow(std::vector<SheetEntry>& entries) {
        DateTime earliest = NoMoreSamples;
        for (const Cursor& c : cursors_)
            earliest = c.head < earliest ? c.head : earliest;
        DateTime time = earliest;
        bool first = true;
        for (Cursor& c : cursors_) {
            // Same instants are mostly bit-identical; the tolerant test decides the rest.
            while (c.head == earliest ||
                   (c.head != NoMoreSamples && SameDouble(c.head, earliest))) {
                if (first) {
                    time = c.head;
                    first = false;
                }
                entries.push_back({c.source->channelPos, static_cast<int32_t>(c.index)});
                ++c.index;
                Settle(c);
            }
        }
        return time;
    }

    // How many rows from here (at most `most`) take one sample of each of the same channels at
    // instants their computed runs give alike; 0 when the next row is one for NextRow.
    size_t Stretch(size_t most) {
        together_.clear();
        if (most == 0)
            return 0;
        DateTime earliest = NoMoreSamples;
        for (const Cursor& c : cursors_)
            earliest = c.head < earliest ? c.head : earliest;
        if (!(earliest > 0) || earliest == NoMoreSamples)
            return 0;
        DateTime otherHead = NoMoreSamples;
        for (size_t k = 0; k < cursors_.size(); ++k) {
            const DateTime head = cursors_[k].head;
            if (head == earliest)
                together_.push_back(k);
            else if (head != NoMoreSamples && SameDouble(head, earliest))
                return 0;
            else
                otherHead = std::min(otherHead, head);
        }
        size_t rows = most;
        for (size_t n = 0; n < together_.size(); ++n) {
            Cursor& c = cursors_[together_[n]];
            const SampleTimes& times = c.source->channel->times;
            const SampleTimes::Run& run = times.Runs()[TimeRun(c, c.index)];
            if (!run.Computed())
                return 0;
            const int64_t k =
                static_cast<int64_t>(run.firstK) + static_cast<int64_t>(c.index - run.begin);
            if (n == 0) {
                run_ = run;
                k_ = k;
            } else if (!SameBits(run.base, run_.base) || !SameBits(run.step, run_.step) ||
                       k != k_) {
                return 0;
            }
            // Each sample taken is followed by one of the same run, or by the range's end, so
            // no later sample can join its row.
            const size_t until = std::min(run.End() - 1, c.source->end);
            if (until <= c.index)
                return 0;
            size_t taken = until - c.index;
            const size_t gap =
                c.source->channel->values.NextGap(c.index, std::min(until + 1, c.source->end));
            if (gap < std::min(until + 1, c.source->end))
                taken = std::min(taken, gap - c.index - 1);
            rows = std::min(rows, taken);
        }
        if (rows == 0 || !(run_.step > 0))
            return 0;
        // Consecutive instants farther apart than the same-instant tolerance, with room for the
        // rounding of each.
        if (!(run_.step > 4e-12 * StretchTime(rows - 1)))
            return 0;
        if (otherHead != NoMoreSamples) {
            // Only rows before the other channels' next instant, and not at it.
            size_t low = 0, high = rows;
            while (low < high) {
                const size_t mid = low + (high - low) / 2;
                const DateTime t = StretchTime(mid);
                if (t < otherHead && !SameDouble(otherHead, t))
                    low = mid + 1;
                else
                    high = mid;
            }
            rows = low;
        }
        return rows;
    }

    // The instant of row j of the stretch, and its entries.
    DateTime StretchTime(size_t j) const {
        return run_.base +
               static_cast<int>(static_cast<int32_t>(k_) + static_cast<int32_t>(j)) * run_.step;
    }
    void StretchEntries(size_t j, std::vector<SheetEntry>& entries) const {
        for (size_t k : together_) {
            const Cursor& c = cursors_[k];
            entries.push_back({c.source->channelPos, static_cast<int32_t>(c.index + j)});
        }
    }
    void TakeStretch(size_t rows) {
        for (size_t k : together_) {
            cursors_[k].index += rows;
            Settle(cursors_[k]);
        }
    }

    // Rows skipped from here; fewer when the merge ends.
    size_t Skip(size_t rows) {
        size_t skipped = 0;
        std::vector<SheetEntry> scratch;
        while (skipped < rows && !Done()) {
            if (const size_t m = Stretch(rows - skipped)) {
                TakeStretch(m);
                skipped += m;
            } else {
                scratch.clear();
                NextRow(scratch);
                ++skipped;
            }
        }
        return skipped;
    }

private:
    struct Cursor {
        const SheetRows::Source* source;
        size_t index;
        DateTime head = NoMoreSamples;
        size_t timeRun = 0;
        size_t valueSegment = 0;
    };

    static size_t TimeRun(Cursor& c, size_t i) {
        const auto& runs = c.source->channel->times.Runs();
        if (c.timeRun >= runs.size() || i < runs[c.timeRun].begin || i >= runs[c.timeRun].End()) {
            if (c.timeRun + 1 < runs.size() && i >= runs[c.timeRun + 1].begin &&
                i < runs[c.timeRun + 1].End())
                ++c.timeRun;
            else
                c.timeRun = c.source->channel->times.RunIndexOf(i);
        }
        return c.timeRun;
    }
    static DateTime TimeAt(Cursor& c, size_t i) {
        const SampleTimes& times = c.source->channel->times;
        const SampleTimes::Run& run = times.Runs()[TimeRun(c, i)];
        return times.TimeInRun(run, i - run.begin);
    }
    static float ValueAt(Cursor& c, size_t i) {
        const SampleValues& values = c.source->channel->values;
        const auto& segments = values.Segments();
        if (c.valueSegment >= segments.size() || i < segments[c.valueSegment].begin ||
            i >= segments[c.valueSegment].End())
            c.valueSegment = values.SegmentIndexOf(i);
        return values.ValueInSegment(segments[c.valueSegment], i - segments[c.valueSegment].begin);
    }
    static bool Shown(Cursor& c, size_t i) {
        if (!c.source->plain) {
            const DateTime t = TimeAt(c, i);
            if (!std::isfinite(t))
                return false;
            if (c.source->notBefore && CompareTimes(t, *c.source->notBefore) < 0)
                return false;
        }
        return !IsGapSample(ValueAt(c, i));
    }
    static void Settle(Cursor& c) {
        while (c.index < c.source->end && !Shown(c, c.index))
            ++c.index;
        c.head = c.index < c.source->end ? TimeAt(c, c.index) : NoMoreSamples;
    }

    std::vector<Cursor> cursors_;
    std::vector<size_t> together_;
    SampleTimes::Run run_;
    int64_t k_ = 0;
};

namespace {

struct Shown {
    DateTime time;
    int16_t channelPos;
    int32_t sampleIndex;
};

// Whether a channel's shown samples in [0, end) never go back in time (checked sample by
// sample, for a channel whose times as a whole do not ascend).
bool ShownTimesAscend(const ChannelInfo& channel, size_t end,
                      const std::optional<DateTime>& notBefore) {
    DateTime previous = -NoMoreSamples;
    return ForEachSample(channel, 0, end, [&](size_t, DateTime t, float v) {
        if (!std::isfinite(t) || IsGapSample(v) || (notBefore && CompareTimes(t, *notBefore) < 0))
            return true;
        if (t < previous)
            return false;
        previous = t;
        return true;
    });
}

// The rows of channels whose times do not ascend: one sort of all shown samples.
void SortAll(const std::vector<ChannelInfo>& channels, std::span<const ChannelSampleRange> ranges,
             SheetRowsPage& rows) {
    std::vector<Shown> all;
    for (const ChannelSampleRange& range : ranges) {
        const ChannelInfo& channel = channels[static_cast<size_t>(range.channelPos)];
        const size_t end = std::min({range.end, channel.times.size(), channel.values.size()});
        ForEachSample(channel, 0, end, [&](size_t i, DateTime t, float v) {
            if (!std::isfinite(t) || IsGapSample(v) ||
                (range.notBefore && CompareTimes(t, *range.notBefore) < 0))
                return;
            all.push_back({t, range.channelPos, static_cast<int32_t>(i)});
        });
    }
    auto byTime = [](const Shown& a, const Shown& b) {
        if (a.time != b.time)
            return a.time < b.time;
        if (a.channelPos != b.channelPos)
            return a.channelPos < b.channelPos;
        return a.sampleIndex < b.sampleIndex;
    };
    auto byChannel = [](const Shown& a, const Shown& b) {
        if (a.channelPos != b.channelPos)
            return a.channelPos < b.channelPos;
        if (a.time != b.time)
            return a.time < b.time;
        return a.sampleIndex < b.sampleIndex;
    };
    std::sort(all.begin(), all.end(), byTime);
    std::vector<SheetEntry> entries;
    for (size_t i = 0; i < all.size();) {
        size_t j = i + 1;
        while (j < all.size() && SameDouble(all[j].time, all[i].time))
            ++j;
        std::sort(all.begin() + static_cast<std::ptrdiff_t>(i),
                  all.begin() + static_cast<std::ptrdiff_t>(j), byChannel);
        entries.clear();
        for (size_t e = i; e < j; ++e)
            entries.push_back({all[e].channelPos, all[e].sampleIndex});
        rows.Append(all[i].time, entries);
        i = j;
    }
}

} // namespace

DateTime SheetRows::Time(size_t row) const {
    if (kept_)
        return kept_->Time(row);
    SheetRowMerge merge(sources_);
    Seek(merge, row);
    std::vector<SheetEntry> scratch;
    return merge.NextRow(scratch);
}

std::vector<SheetEntry> SheetRows::Entries(size_t row) const {
    if (kept_) {
        const auto entries = kept_->Entries(row);
        return {entries.begin(), entries.end()};
    }
    SheetRowMerge merge(sources_);
    Seek(merge, row);
    std::vector<SheetEntry> entries;
    merge.NextRow(entries);
    return entries;
}

void SheetRows::Seek(SheetRowMerge& merge, size_t row) const {
    const size_t checkpoint = row / CheckpointRows;
    merge.StartAt(checkpoints_.data() + checkpoint * sources_.size());
    merge.Skip(row - checkpoint * CheckpointRows);
}

void SheetRows::ForEachRow(size_t first, size_t count, const RowVisitor& visit) const {
    const size_t last = std::min(RowCount(), first + count);
    if (first >= last)
        return;
    if (kept_) {
        for (size_t row = first; row < last; ++row)
            if (!visit(row, kept_->Time(row), kept_->Entries(row)))
                return;
        return;
    }
    SheetRowMerge merge(sources_);
    Seek(merge, first);
    std::vector<SheetEntry> entries;
    for (size_t row = first; row < last;) {
        if (const size_t m = merge.Stretch(last - row)) {
            for (size_t j = 0; j < m; ++j, ++row) {
                entries.clear();
                merge.StretchEntries(j, entries);
                if (!visit(row, merge.StretchTime(j), entries))
                    return;
            }
            merge.TakeStretch(m);
        } else {
            entries.clear();
            const DateTime time = merge.NextRow(entries);
            if (!visit(row++, time, entries))
                return;
        }
    }
}

void SheetRows::ReadPage(size_t first, size_t count, SheetRowsPage& page) const {
    page.Clear(first);
    ForEachRow(first, count, [&page](size_t, DateTime time, std::span<const SheetEntry> entries) {
        page.Append(time, entries);
        return true;
    });
}

void SheetRows::AppendRow(DateTime time, std::span<const SheetEntry> entries) {
    if (!kept_) {
        // Rows found when asked become kept ones first.
        SheetRowsPage page;
        ReadPage(0, RowCount(), page);
        sources_.clear();
        checkpoints_.clear();
        rowCount_ = 0;
        kept_ = std::move(page);
    }
    kept_->Append(time, entries);
    generation_ = NextGeneration.fetch_add(1);
}

void SheetRows::Clear() {
    sources_ = {};
    checkpoints_ = {};
    rowCount_ = 0;
    kept_.reset();
    generation_ = NextGeneration.fetch_add(1);
}

size_t SheetRows::MemoryBytes() const {
    return sources_.capacity() * sizeof(Source) + checkpoints_.capacity() * sizeof(uint32_t) +
           (kept_ ? kept_->MemoryBytes() : 0);
}

SheetRows BuildSheetRows(const std::vector<ChannelInfo>& channels,
                         std::span<const ChannelSampleRange> ranges) {
    std::vector<ChannelSampleRange> ordered;
    for (const ChannelSampleRange& range : ranges)
        if (range.channelPos >= 0 && static_cast<size_t>(range.channelPos) < channels.size())
            ordered.push_back(range);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.channelPos < b.channelPos; });

    SheetRows rows;
    rows.generation_ = NextGeneration.fetch_add(1);
    bool ascending = true;
    for (const ChannelSampleRange& range : ordered) {
        const ChannelInfo& channel = channels[static_cast<size_t>(range.channelPos)];
        SheetRows::Source source;
        source.channel = &channel;
        source.channelPos = range.channelPos;
        source.end = std::min({range.end, channel.times.size(), channel.values.size()});
        if (channel.times.Ascending() && channel.times.Finite()) {
            source.plain = true;
            if (range.notBefore) {
                const DateTime notBefore = *range.notBefore;
                source.begin = static_cast<size_t>(
                    std::partition_point(
                        channel.times.begin(),
                        channel.times.begin() + static_cast<std::ptrdiff_t>(source.end),
                        [notBefore](DateTime t) { return CompareTimes(t, notBefore) < 0; }) -
                    channel.times.begin());
            }
        } else {
            source.notBefore = range.notBefore;
            ascending = ascending && ShownTimesAscend(channel, source.end, range.notBefore);
        }
        rows.sources_.push_back(source);
    }
    if (!ascending) {
        rows.sources_.clear();
        rows.kept_.emplace();
        SortAll(channels, ordered, *rows.kept_);
        return rows;
    }

    // Counted once, with each channel's place noted at every checkpoint.
    const size_t width = rows.sources_.size();
    SheetRowMerge merge(rows.sources_);
    merge.StartAt(nullptr);
    size_t count = 0;
    while (!merge.Done()) {
        if (count % SheetRows::CheckpointRows == 0) {
            rows.checkpoints_.resize(rows.checkpoints_.size() + width);
            merge.SaveIndices(rows.checkpoints_.data() + rows.checkpoints_.size() - width);
        }
        count += merge.Skip(SheetRows::CheckpointRows - count % SheetRows::CheckpointRows);
    }
    rows.rowCount_ = count;
    rows.checkpoints_.shrink_to_fit();
    return rows;
}
