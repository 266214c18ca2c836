#pragma once
// How the archive stores a channel: as stretches of consecutive entries (samples, or the
// break points that mark an interruption), each one row of the database.
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

// Value formats: FormatInt16 + d (d = 0..4) stores round(value * 10^d) as int16.
constexpr int FormatInt16 = 0;
constexpr int MaxInt16Decimals = 4;
constexpr int FormatFloat32 = 5;

// A stretch as the database row holds it; spans point into the row or into a Stretch.
struct StretchView {
    int64_t firstTime = 0;
    int64_t step = 0;     // regular stretches: milliseconds between entries
    int64_t count = 0;
    std::span<const uint8_t> times; // irregular stretches: count int64 times; empty otherwise
    int format = FormatFloat32;
    std::span<const uint8_t> values;
    bool breaks = false; // every entry a break point

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
    bool breaks = false;

    bool Regular() const { return times.empty(); }
    StretchView View() const { return {firstTime, step, count, times, format, values, breaks}; }
};

// The channel's entries, in their order, cut into stretches.
void EncodeStretches(const ChannelInfo& channel, std::vector<Stretch>& out);

// An inclusive time window; a missing end is open.
struct TimeRange {
    std::optional<DateTime> from;
    std::optional<DateTime> to;
    bool Contains(DateTime t) const {
        return (!from || CompareTimes(t, *from) >= 0) && (!to || CompareTimes(t, *to) <= 0);
    }
};

// Appends the stretch's entries that lie in range to channel, in order; the number of samples
// (break points not counted) appended. False when the stretch is malformed (blob sizes that do
// not match its count and format): nothing is appended then.
bool AppendStretch(const StretchView& stretch, ChannelInfo& channel, const TimeRange& range,
                   int64_t& samples);

// Appends one entry (a sample, or a break point with GapValue) to the channel.
void AppendChannelEntry(ChannelInfo& channel, DateTime time, float value);

// Keeps only the channel's entries in range.
void KeepEntriesInRange(ChannelInfo& channel, const TimeRange& range);

// The number of entries and the number of samples (break points not counted) of a channel.
size_t EntryCount(const ChannelInfo& channel);
int64_t SampleCount(const ChannelInfo& channel);
// The smallest and largest sample value (break points left out); false without samples.
bool SampleValueRange(const ChannelInfo& channel, float& low, float& high);
// The first and last time of the channel's entries in milliseconds, smallest and largest.
bool EntryTimeSpan(const ChannelInfo& channel, int64_t& minTime, int64_t& maxTime);
