#pragma once
// How the archive stores a channel: as stretches of consecutive entries of one kind, each one row
// of the database. The kinds are samples, the break points a file marks its interruptions with,
// and the break points a join puts where the files leave a hole between them ("seams"): when a
// later file comes into such a hole, the join decides those anew.
//
// A stretch holds up to MaxStretchEntries entries of one kind. Its times are whole
// milliseconds since 1970-01-01 of the recorder's clock: first time and step for a regular
// stretch, or each entry's time (int64, little-endian) where the entries are not evenly
// spaced. Its values are 16-bit little-endian integers with 0 to 4 decimals where every value
// decodes back to exactly the same 32-bit float, otherwise the floats themselves
// (little-endian). A year of one-second samples of 16 channels takes about 1 GB.
//
// This file is where the archive meets ChannelInfo: EncodeStretches reads a channel's entries
// in order, AppendStretch and KeepEntriesInRange append them.

#include "data/Recording.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

constexpr size_t MaxStretchEntries = 4096;

enum class StretchKind : int { Samples = 0, Breaks = 1, Seams = 2 };

// Value formats: FormatInt16 + d (d = 0..4) stores round(value * 10^d) as int16.
constexpr int FormatInt16 = 0;
constexpr int MaxInt16Decimals = 4;
constexpr int FormatFloat32 = 5;

// A stretch as the database row holds it; spans point into the row or into a Stretch.
struct StretchView {
    int64_t firstTime = 0;
    int64_t step = 0; // regular stretches: milliseconds between entries
    int64_t count = 0;
    std::span<const uint8_t> times; // irregular stretches: count int64 times; empty otherwise
    int format = FormatFloat32;
    std::span<const uint8_t> values;
    StretchKind kind = StretchKind::Samples;

    bool Regular() const { return times.empty(); }
};

struct Stretch {
    int64_t firstTime = 0;
    int64_t step = 0;
    int64_t count = 0;
    int64_t minTime = 0;
    int64_t maxTime = 0;
    std::vector<uint8_t> times;
    int format = FormatFloat32;
    std::vector<uint8_t> values;
    StretchKind kind = StretchKind::Samples;

    bool Regular() const { return times.empty(); }
    StretchView View() const { return {firstTime, step, count, times, format, values, kind}; }
};

// The channel's entries, in their order, cut into stretches. seams, when given, flags the
// break points that are seams, by entry.
void EncodeStretches(const ChannelInfo& channel, std::vector<Stretch>& out,
                     const std::vector<uint8_t>* seams = nullptr);

// An inclusive time window; a missing end is open.
struct TimeRange {
    std::optional<DateTime> from;
    std::optional<DateTime> to;
    bool Contains(DateTime t) const {
        return (!from || CompareTimes(t, *from) >= 0) && (!to || CompareTimes(t, *to) <= 0);
    }
};

// Appends the stretch's entries that lie in range to channel, in order; the number of samples
// (break points not counted) appended. seams, when given, receives the entry index of every
// seam appended. False when the stretch is malformed (blob sizes that do not match its count
// and format): nothing is appended then.
bool AppendStretch(const StretchView& stretch, ChannelInfo& channel, const TimeRange& range,
                   int64_t& samples, std::vector<size_t>* seams = nullptr);

// Appends one entry (a sample, or a break point with GapValue) to the channel.
void AppendChannelEntry(ChannelInfo& channel, DateTime time, float value);

// The channel's entries in pieces between the entries at the given (ascending) indices, which
// are left out; each piece keeps the channel's number, unit and range.
void SplitAtEntries(const ChannelInfo& channel, const std::vector<size_t>& cuts,
                    std::vector<ChannelInfo>& pieces);
// The times of the channel's break points in milliseconds, in the channel's order.
std::vector<int64_t> BreakTimes(const ChannelInfo& channel);
// By entry, the break points whose millisecond is none of known's (ascending): those a join has
// put in.
std::vector<uint8_t> NewBreaks(const ChannelInfo& channel, const std::vector<int64_t>& known);

// Each time rounded to its millisecond, as the archive keeps it.
void RoundTimesToMilliseconds(ChannelInfo& channel);

// Keeps only the channel's entries in range.
void KeepEntriesInRange(ChannelInfo& channel, const TimeRange& range);

// The number of entries and the number of samples (break points not counted) of a channel.
size_t EntryCount(const ChannelInfo& channel);
int64_t SampleCount(const ChannelInfo& channel);
// The smallest and largest sample value (break points left out); false without samples.
bool SampleValueRange(const ChannelInfo& channel, float& low, float& high);
// The first and last time of the channel's entries in milliseconds, smallest and largest.
bool EntryTimeSpan(const ChannelInfo& channel, int64_t& minTime, int64_t& maxTime);
