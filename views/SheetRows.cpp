#include "views/SheetRows.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::span<const SheetEntry> SheetRows::Entries(size_t row) const {
    const size_t begin = row == 0 ? 0 : ends_[row - 1];
    return {entries_.data() + begin, ends_[row] - begin};
}

void SheetRows::AppendRow(DateTime time, std::span<const SheetEntry> entries) {
    times_.push_back(time);
    entries_.insert(entries_.end(), entries.begin(), entries.end());
    ends_.push_back(static_cast<uint32_t>(entries_.size()));
}

void SheetRows::Reserve(size_t rows, size_t entries) {
    times_.reserve(rows);
    ends_.reserve(rows);
    entries_.reserve(entries);
}

void SheetRows::Clear() {
    std::vector<DateTime>().swap(times_);
    std::vector<uint32_t>().swap(ends_);
    std::vector<SheetEntry>().swap(entries_);
}

namespace {

constexpr double NoMoreSamples = std::numeric_limits<double>::infinity();

} // namespace

// Walks the shown samples of one channel in stored order and notices when their times stop
// ascending.
class SheetSampleCursor {
public:
    SheetSampleCursor(const ChannelInfo& channel, const ChannelSampleRange& range)
        : times_(channel.times.data()), values_(channel.values.data()),
          end_(std::min({range.end, channel.times.size(), channel.values.size()})),
          notBefore_(range.notBefore), pos_(range.channelPos) {
        Settle();
    }

    bool Done() const { return index_ >= end_; }
    size_t Index() const { return index_; }
    int16_t ChannelPos() const { return pos_; }
    DateTime Time() const { return Done() ? NoMoreSamples : times_[index_]; }
    bool Ascending() const { return ascending_; }
    void Advance() {
        const DateTime previous = times_[index_];
        ++index_;
        Settle();
        if (index_ < end_ && times_[index_] < previous)
            ascending_ = false;
    }

private:
    bool Shown(size_t i) const {
        const DateTime t = times_[i];
        if (!std::isfinite(t) || IsGapSample(values_[i]))
            return false;
        return !notBefore_ || CompareTimes(t, *notBefore_) >= 0;
    }
    void Settle() {
        while (index_ < end_ && !Shown(index_))
            ++index_;
    }

    const DateTime* times_;
    const float* values_;
    size_t end_;
    std::optional<DateTime> notBefore_;
    int16_t pos_;
    size_t index_ = 0;
    bool ascending_ = true;
};

namespace {

// Kept apart so that the running minimum stays in a register.
[[gnu::noinline]] DateTime Earliest(const std::vector<DateTime>& heads) {
    DateTime earliest = heads[0];
    for (const DateTime head : heads)
        earliest = head < earliest ? head : earliest;
    return earliest;
}

struct Shown {
    DateTime time;
    int16_t channelPos;
    int32_t sampleIndex;
};

} // namespace

// One row per cluster of the k-way merge: the earliest head time, then every channel's leading
// samples that are the same instant, channel by channel. Gives up (false) as soon as a channel
// turns out not to ascend.
bool SheetRows::MergeAscending(const std::vector<ChannelInfo>& channels,
                               std::vector<SheetSampleCursor>& cursors) {
    std::vector<DateTime> heads(cursors.size());
    for (size_t k = 0; k < cursors.size(); ++k)
        heads[k] = cursors[k].Time();
    while (!heads.empty()) {
        const DateTime earliest = Earliest(heads);
        if (earliest == NoMoreSamples)
            break;
        const size_t rowBegin = entries_.size();
        for (size_t k = 0; k < cursors.size(); ++k) {
            SheetSampleCursor& cursor = cursors[k];
            // Same instants are mostly bit-identical; the tolerant test decides the rest.
            while (heads[k] == earliest ||
                   (heads[k] != NoMoreSamples && SameDouble(heads[k], earliest))) {
                entries_.push_back({cursor.ChannelPos(), static_cast<int32_t>(cursor.Index())});
                cursor.Advance();
                if (!cursor.Ascending())
                    return false;
                heads[k] = cursor.Time();
            }
        }
        const SheetEntry& first = entries_[rowBegin];
        times_.push_back(channels[first.channelPos].times[first.sampleIndex]);
        ends_.push_back(static_cast<uint32_t>(entries_.size()));
    }
    return true;
}

void SheetRows::SortAll(std::vector<SheetSampleCursor>& cursors, size_t shownBound) {
    std::vector<Shown> all;
    all.reserve(shownBound);
    for (SheetSampleCursor& cursor : cursors)
        for (; !cursor.Done(); cursor.Advance())
            all.push_back(
                {cursor.Time(), cursor.ChannelPos(), static_cast<int32_t>(cursor.Index())});
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
    for (size_t i = 0; i < all.size();) {
        size_t j = i + 1;
        while (j < all.size() && SameDouble(all[j].time, all[i].time))
            ++j;
        std::sort(all.begin() + static_cast<std::ptrdiff_t>(i),
                  all.begin() + static_cast<std::ptrdiff_t>(j), byChannel);
        for (size_t e = i; e < j; ++e)
            entries_.push_back({all[e].channelPos, all[e].sampleIndex});
        times_.push_back(all[i].time);
        ends_.push_back(static_cast<uint32_t>(entries_.size()));
        i = j;
    }
}

SheetRows BuildSheetRows(const std::vector<ChannelInfo>& channels,
                         std::span<const ChannelSampleRange> ranges) {
    std::vector<ChannelSampleRange> ordered;
    size_t bound = 0, longest = 0;
    for (const ChannelSampleRange& range : ranges)
        if (range.channelPos >= 0 && static_cast<size_t>(range.channelPos) < channels.size()) {
            ordered.push_back(range);
            const size_t n = std::min(range.end, channels[range.channelPos].times.size());
            bound += n;
            longest = std::max(longest, n);
        }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.channelPos < b.channelPos; });

    auto cursorsFromStart = [&] {
        std::vector<SheetSampleCursor> cursors;
        cursors.reserve(ordered.size());
        for (const ChannelSampleRange& range : ordered)
            cursors.emplace_back(channels[range.channelPos], range);
        return cursors;
    };

    SheetRows rows;
    rows.Reserve(longest, bound);
    std::vector<SheetSampleCursor> cursors = cursorsFromStart();
    if (!rows.MergeAscending(channels, cursors)) {
        rows.times_.clear();
        rows.ends_.clear();
        rows.entries_.clear();
        cursors = cursorsFromStart();
        rows.SortAll(cursors, bound);
    }
    return rows;
}
