#pragma once
// The data sheet's row index: one row per distinct instant, each naming the samples shown at
// that instant by (channel position, sample index). Values are always read from the recording
// through these indices, so a row never carries a copy of a value or a gap sample.

#include "data/Recording.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Packed to six bytes: a joined month of 16 channels has over a hundred million entries.
struct [[gnu::packed]] SheetEntry {
    int16_t channelPos = 0;  // index into the recording's channel list
    int32_t sampleIndex = 0; // index into that channel's times and values
    friend bool operator==(const SheetEntry&, const SheetEntry&) = default;
};
static_assert(sizeof(SheetEntry) == 6);

// IsGapValue with a quick reject: most values lie far from the gap marker and need no
// tolerant comparison.
inline bool IsGapSample(float value) {
    return value > -158.02f && value < -157.98f && IsGapValue(value);
}

class SheetSampleCursor;
struct ChannelSampleRange;

// Rows ascending by time; the entries of a row ascend by channel position. Kept as flat arrays
// (all entries in one array plus an end offset per row): 16 channels sampled out of step give
// about five million rows, far too many for a container per row.
class SheetRows {
public:
    size_t RowCount() const { return times_.size(); }
    bool Empty() const { return times_.empty(); }
    DateTime Time(size_t row) const { return times_[row]; }
    std::span<const SheetEntry> Entries(size_t row) const;
    size_t EntryCount() const { return entries_.size(); }

    void AppendRow(DateTime time, std::span<const SheetEntry> entries);
    void Reserve(size_t rows, size_t entries);
    // Empties the index and gives its memory back.
    void Clear();

private:
    friend SheetRows BuildSheetRows(const std::vector<ChannelInfo>&,
                                    std::span<const ChannelSampleRange>);
    bool MergeAscending(const std::vector<ChannelInfo>& channels,
                        std::vector<SheetSampleCursor>& cursors);
    void SortAll(std::vector<SheetSampleCursor>& cursors, size_t shownBound);

    std::vector<DateTime> times_;
    std::vector<uint32_t> ends_; // one past the row's last entry in entries_
    std::vector<SheetEntry> entries_;
};

// The samples of one channel that a build shows: indices [0, end) of the channel at channelPos,
// without those earlier than notBefore (by CompareTimes) when that is set. Gap samples are
// never shown.
struct ChannelSampleRange {
    int16_t channelPos = 0;
    size_t end = 0;
    std::optional<DateTime> notBefore;
};

// Builds the row index. Samples whose times are SameDouble to the earliest time of a cluster
// share a row; the row's time is that of its first entry. When every channel's shown times
// ascend, the rows come from one k-way merge of the channels; otherwise from one sort of all
// shown samples. Both give the same rows. Samples without a finite time are left out.
SheetRows BuildSheetRows(const std::vector<ChannelInfo>& channels,
                         std::span<const ChannelSampleRange> ranges);
