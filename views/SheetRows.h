#pragma once
// The data sheet's row index: one row per distinct instant, each naming the samples shown at
// that instant by (channel position, sample index). Values are always read from the recording
// through these indices, so a row never carries a copy of a value or a gap sample.
//
// A year of one-second samples has tens of millions of rows, so the rows are not kept: when
// every channel's shown times ascend, a row is found when asked by merging the channels from
// the nearest of a few checkpoints (every CheckpointRows rows, each channel's place there), and
// the build only counts the rows and notes the checkpoints. Stretches in which every channel
// at the instant runs on the same record times are merged without comparing each instant.
// Otherwise (times out of order, only an import gives them) the rows come from one sort and are
// kept, as are rows appended one by one.

#include "data/Recording.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// Packed to six bytes: a page of a joined year keeps its entries in this form.
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

// The samples of one channel that a build shows: indices [0, end) of the channel at channelPos,
// without those earlier than notBefore (by CompareTimes) when that is set. Gap samples are
// never shown.
struct ChannelSampleRange {
    int16_t channelPos = 0;
    size_t end = 0;
    std::optional<DateTime> notBefore;
};

// Rows [first, first + count) of an index, kept: times and entries as flat arrays.
class SheetRowsPage {
public:
    size_t First() const { return first_; }
    size_t RowCount() const { return times_.size(); }
    // row counts from the index's first row, not the page's.
    bool Holds(size_t row) const { return row >= first_ && row - first_ < times_.size(); }
    DateTime Time(size_t row) const { return times_[row - first_]; }
    std::span<const SheetEntry> Entries(size_t row) const;

    void Clear(size_t first);
    void Append(DateTime time, std::span<const SheetEntry> entries);
    // Empties the page and gives its memory back.
    void Release();
    size_t MemoryBytes() const;

private:
    size_t first_ = 0;
    std::vector<DateTime> times_;
    std::vector<uint32_t> ends_; // one past each row's last entry
    std::vector<SheetEntry> entries_;
};

class SheetRowMerge;

class SheetRows {
public:
    static constexpr size_t CheckpointRows = 1024;

    size_t RowCount() const { return kept_ ? kept_->RowCount() : rowCount_; }
    bool Empty() const { return RowCount() == 0; }
    DateTime Time(size_t row) const;
    std::vector<SheetEntry> Entries(size_t row) const;

    // Rows [first, first + count) (clipped to the index) into page.
    void ReadPage(size_t first, size_t count, SheetRowsPage& page) const;
    // Calls visit(row, time, entries) for rows [first, first + count) in order; stops early when
    // visit returns false.
    using RowVisitor =
        std::function<bool(size_t row, DateTime time, std::span<const SheetEntry> entries)>;
    void ForEachRow(size_t first, size_t count, const RowVisitor& visit) const;

    // Rows appended one by one are kept (a live reading's single row, for one).
    void AppendRow(DateTime time, std::span<const SheetEntry> entries);
    // Empties the index and gives its memory back.
    void Clear();

    // Whether the rows are found when asked rather than kept, and the bytes the index holds.
    bool FoundWhenAsked() const { return !kept_ && rowCount_ > 0; }
    size_t MemoryBytes() const;
    // Changes whenever the rows do (a build, an appended row, a clear): a page read from the
    // index is still its page while the generation is the same.
    uint64_t Generation() const { return generation_; }

private:
    friend SheetRows BuildSheetRows(const std::vector<ChannelInfo>&,
                                    std::span<const ChannelSampleRange>);
    friend class SheetRowMerge;

    // What the merge walks: one shown range per channel, ascending by channel position.
    struct Source {
        const ChannelInfo* channel = nullptr;
        int16_t channelPos = 0;
        size_t begin = 0; // the first sample not before notBefore, where times ascend
        size_t end = 0;
        std::optional<DateTime> notBefore; // checked sample by sample unless times ascend
        bool plain = false;                // ascending and finite: only gap samples are not shown
    };
    // The merge placed at a row, from the checkpoint before it.
    void Seek(SheetRowMerge& merge, size_t row) const;

    std::vector<Source> sources_;
    size_t rowCount_ = 0;
    // Each source's next sample at rows 0, CheckpointRows, 2 * CheckpointRows, ...
    std::vector<uint32_t> checkpoints_;
    std::optional<SheetRowsPage> kept_;
    uint64_t generation_ = 0;
};

// Builds the row index. Samples whose times are SameDouble to the earliest time of a cluster
// share a row; the row's time is that of its first entry. When every channel's shown times
// ascend, the rows come from a k-way merge of the channels (found when asked); otherwise from
// one sort of all shown samples (kept). Samples without a finite time are left out. The index
// reads the channels when asked: it is valid while they stay as they are (moving the vector
// that holds them keeps it valid).
SheetRows BuildSheetRows(const std::vector<ChannelInfo>& channels,
                         std::span<const ChannelSampleRange> ranges);
