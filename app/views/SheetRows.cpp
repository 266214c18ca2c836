#include "app/views/SheetRows.h"

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

// Walks the shown samples of one channel in stored order.
class SampleCursor {
public:
    SampleCursor(const ChannelInfo& channel, const ChannelSampleRange& range)
        : times_(channel.times.data()), values_(channel.values.data()),
          end_(std::min({range.end, channel.times.size(), channel.values.size()})),
          notBefore_(range.notBefore), pos_(range.channelPos) {
        Settle();
    }

    bool Done() const { return index_ >= end_; }
    size_t Index() const { return index_; }
    int16_t ChannelPos() const { return pos_; }
    DateTime Time() const { return Done() ? NoMoreSamples : times_[index_]; }
    void Advance() {
        ++index_;
        Settle();
    }

private:
    bool Shown(size_t i) const {
        const DateTime t = times_[i];
        if (!std::isfinite(t) || IsGapValue(values_[i]))
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
};

struct Shown {
    DateTime time;
    int16_t channelPos;
    int32_t sampleIndex;
};

// One row per cluster of the k-way merge: the earliest head time, then every channel's leading
// samples that are the same instant, channel by channel.
void MergeAscendingChannels(const std::vector<ChannelInfo>& channels,
                            std::vector<SampleCursor>& cursors, SheetRows& rows) {
    std::vector<DateTime> heads(cursors.size());
    for (size_t k = 0; k < cursors.size(); ++k)
        heads[k] = cursors[k].Time();
    std::vector<SheetEntry> row;
    while (!heads.empty()) {
        const DateTime earliest = *std::min_element(heads.begin(), heads.end());
        if (earliest == NoMoreSamples)
            break;
        row.clear();
        for (size_t k = 0; k < cursors.size(); ++k) {
            SampleCursor& cursor = cursors[k];
            while (heads[k] != NoMoreSamples && SameDouble(heads[k], earliest)) {
                row.push_back({cursor.ChannelPos(), static_cast<int32_t>(cursor.Index())});
                cursor.Advance();
                heads[k] = cursor.Time();
            }
        }
        const SheetEntry& first = row.front();
        rows.AppendRow(channels[first.channelPos].times[first.sampleIndex], row);
    }
}

void SortAllSamples(std::vector<SampleCursor>& cursors, size_t shownCount, SheetRows& rows) {
    std::vector<Shown> all;
    all.reserve(shownCount);
    for (SampleCursor& cursor : cursors)
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
    std::vector<SheetEntry> row;
    for (size_t i = 0; i < all.size();) {
        size_t j = i + 1;
        while (j < all.size() && SameDouble(all[j].time, all[i].time))
            ++j;
        std::sort(all.begin() + static_cast<std::ptrdiff_t>(i),
                  all.begin() + static_cast<std::ptrdiff_t>(j), byChannel);
        row.clear();
        for (size_t e = i; e < j; ++e)
            row.push_back({all[e].channelPos, all[e].sampleIndex});
        rows.AppendRow(all[i].time, row);
        i = j;
    }
}

} // namespace

SheetRows BuildSheetRows(const std::vector<ChannelInfo>& channels,
                         std::span<const ChannelSampleRange> ranges) {
    std::vector<ChannelSampleRange> ordered;
    for (const ChannelSampleRange& range : ranges)
        if (range.channelPos >= 0 && static_cast<size_t>(range.channelPos) < channels.size())
            ordered.push_back(range);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.channelPos < b.channelPos; });

    // One pass to count the shown samples and to learn whether every channel ascends.
    size_t shownCount = 0;
    bool ascending = true;
    for (const ChannelSampleRange& range : ordered) {
        SampleCursor cursor(channels[range.channelPos], range);
        DateTime previous = -NoMoreSamples;
        for (; !cursor.Done(); cursor.Advance(), ++shownCount) {
            ascending = ascending && cursor.Time() >= previous;
            previous = cursor.Time();
        }
    }

    std::vector<SampleCursor> cursors;
    cursors.reserve(ordered.size());
    for (const ChannelSampleRange& range : ordered)
        cursors.emplace_back(channels[range.channelPos], range);

    SheetRows rows;
    rows.Reserve(cursors.empty() ? 0 : shownCount / cursors.size(), shownCount);
    if (ascending)
        MergeAscendingChannels(channels, cursors, rows);
    else
        SortAllSamples(cursors, shownCount, rows);
    return rows;
}
