#include "data/archive/StretchCodec.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

constexpr double Pow10[MaxInt16Decimals + 1] = {1, 10, 100, 1000, 10000};
// Evenly spaced runs shorter than this go into an irregular stretch with their neighbours, so
// a jittery clock does not make a row of every few samples.
constexpr size_t MinRegularRun = 8;

// The entries of a channel as the codec sees them. The only reads of ChannelInfo's storage.
struct Entries {
    std::vector<int64_t> ms;
    std::vector<uint8_t> kind; // StretchKind of each entry
    const ChannelInfo& channel;

    Entries(const ChannelInfo& c, const std::vector<uint8_t>* seams) : channel(c) {
        const size_t n = EntryCount(c);
        ms.resize(n);
        kind.resize(n);
        for (size_t i = 0; i < n; ++i) {
            ms[i] = DateTimeToUnixMilliseconds(c.times[i]);
            const bool seam = seams && i < seams->size() && (*seams)[i];
            kind[i] = static_cast<uint8_t>(!IsGapValue(c.values[i]) ? StretchKind::Samples
                                           : seam                   ? StretchKind::Seams
                                                                    : StretchKind::Breaks);
        }
    }
    size_t Size() const { return ms.size(); }
    float Value(size_t i) const { return channel.values[i]; }
};

void PutLittleEndian(uint64_t value, size_t bytes, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < bytes; ++i, value >>= 8)
        out.push_back(static_cast<uint8_t>(value & 0xFF));
}

uint64_t LittleEndian(const uint8_t* p, size_t bytes) {
    uint64_t value = 0;
    for (size_t i = bytes; i-- > 0;)
        value = value << 8 | p[i];
    return value;
}

float DecodeInt16(int16_t raw, int decimals) {
    return static_cast<float>(raw / Pow10[decimals]);
}

// raw with DecodeInt16(raw, decimals) bit for bit value, when there is one.
bool FitsInt16(float value, int decimals, int16_t& raw) {
    const double scaled = std::nearbyint(static_cast<double>(value) * Pow10[decimals]);
    if (!(scaled >= -32768.0 && scaled <= 32767.0)) // NaN fails too
        return false;
    raw = static_cast<int16_t>(scaled);
    return std::bit_cast<uint32_t>(DecodeInt16(raw, decimals)) == std::bit_cast<uint32_t>(value);
}

void EncodeValues(const Entries& entries, size_t begin, size_t end, Stretch& out) {
    for (int decimals = 0; decimals <= MaxInt16Decimals; ++decimals) {
        out.values.clear();
        size_t i = begin;
        for (int16_t raw = 0; i < end && FitsInt16(entries.Value(i), decimals, raw); ++i)
            PutLittleEndian(static_cast<uint16_t>(raw), 2, out.values);
        if (i == end) {
            out.format = FormatInt16 + decimals;
            return;
        }
    }
    out.values.clear();
    for (size_t i = begin; i < end; ++i)
        PutLittleEndian(std::bit_cast<uint32_t>(entries.Value(i)), 4, out.values);
    out.format = FormatFloat32;
}

// The end of the evenly spaced run of one kind from begin, looking no further than limit.
size_t RegularRunEnd(const Entries& e, size_t begin, size_t limit) {
    if (begin + 1 >= limit || e.kind[begin + 1] != e.kind[begin])
        return begin + 1;
    const int64_t step = e.ms[begin + 1] - e.ms[begin];
    if (step <= 0)
        return begin + 1;
    size_t end = begin + 2;
    while (end < limit && e.kind[end] == e.kind[begin] && e.ms[end] - e.ms[end - 1] == step)
        ++end;
    return end;
}

} // namespace

void EncodeStretches(const ChannelInfo& channel, std::vector<Stretch>& out,
                     const std::vector<uint8_t>* seams) {
    const Entries e(channel, seams);
    const size_t n = e.Size();
    for (size_t i = 0; i < n;) {
        size_t kindEnd = i + 1; // the end of the entries of i's kind, as far as a stretch reaches
        while (kindEnd < n && kindEnd - i < MaxStretchEntries && e.kind[kindEnd] == e.kind[i])
            ++kindEnd;
        Stretch s;
        s.kind = static_cast<StretchKind>(e.kind[i]);
        size_t end = RegularRunEnd(e, i, kindEnd);
        if (end - i >= MinRegularRun || end == kindEnd) {
            s.firstTime = e.ms[i];
            s.step = end - i > 1 ? e.ms[i + 1] - e.ms[i] : 0;
            s.minTime = e.ms[i];
            s.maxTime = e.ms[end - 1];
        } else {
            end = i + 1;
            while (end < kindEnd &&
                   RegularRunEnd(e, end, std::min(kindEnd, end + MinRegularRun)) - end <
                       MinRegularRun)
                ++end;
            s.firstTime = e.ms[i];
            s.minTime = *std::min_element(e.ms.begin() + static_cast<ptrdiff_t>(i),
                                          e.ms.begin() + static_cast<ptrdiff_t>(end));
            s.maxTime = *std::max_element(e.ms.begin() + static_cast<ptrdiff_t>(i),
                                          e.ms.begin() + static_cast<ptrdiff_t>(end));
            for (size_t k = i; k < end; ++k)
                PutLittleEndian(static_cast<uint64_t>(e.ms[k]), 8, s.times);
        }
        s.count = static_cast<int64_t>(end - i);
        EncodeValues(e, i, end, s);
        out.push_back(std::move(s));
        i = end;
    }
}

// The only writes of ChannelInfo's storage: entries appended in order.
void AppendChannelEntry(ChannelInfo& channel, DateTime time, float value) {
    channel.times.push_back(time);
    channel.values.push_back(value);
}

bool AppendStretch(const StretchView& s, ChannelInfo& channel, const TimeRange& range,
                   int64_t& samples, std::vector<size_t>* seams) {
    if (s.count < 0 || s.format < FormatInt16 || s.format > FormatFloat32 ||
        static_cast<int>(s.kind) < 0 || static_cast<int>(s.kind) > 2)
        return false;
    const auto count = static_cast<uint64_t>(s.count);
    const size_t valueSize = s.format == FormatFloat32 ? 4 : 2;
    if (s.values.size() / valueSize != count || s.values.size() % valueSize != 0 ||
        (!s.times.empty() && (s.times.size() / 8 != count || s.times.size() % 8 != 0)))
        return false;
    for (size_t k = 0; k < count; ++k) {
        const int64_t ms = s.Regular()
                               ? s.firstTime + static_cast<int64_t>(k) * s.step
                               : static_cast<int64_t>(LittleEndian(s.times.data() + 8 * k, 8));
        const DateTime t = UnixMillisecondsToDateTime(ms);
        if (!range.Contains(t))
            continue;
        const uint8_t* p = s.values.data() + valueSize * k;
        const float v = s.format == FormatFloat32
                            ? std::bit_cast<float>(static_cast<uint32_t>(LittleEndian(p, 4)))
                            : DecodeInt16(static_cast<int16_t>(LittleEndian(p, 2)), s.format);
        if (seams && s.kind == StretchKind::Seams)
            seams->push_back(EntryCount(channel));
        AppendChannelEntry(channel, t, v);
        samples += s.kind == StretchKind::Samples ? 1 : 0;
    }
    return true;
}

void SplitAtEntries(const ChannelInfo& channel, const std::vector<size_t>& cuts,
                    std::vector<ChannelInfo>& pieces) {
    pieces.clear();
    const size_t n = EntryCount(channel);
    size_t from = 0;
    for (size_t c = 0; c <= cuts.size(); ++c) {
        const size_t to = c < cuts.size() ? std::min(cuts[c], n) : n;
        if (to > from) {
            ChannelInfo piece;
            piece.channel = channel.channel;
            piece.unit = channel.unit;
            piece.rangeLow = channel.rangeLow;
            piece.rangeHigh = channel.rangeHigh;
            for (size_t i = from; i < to; ++i)
                AppendChannelEntry(piece, channel.times[i], channel.values[i]);
            pieces.push_back(std::move(piece));
        }
        from = to + 1;
    }
}

std::vector<int64_t> BreakTimes(const ChannelInfo& channel) {
    std::vector<int64_t> times;
    for (size_t i = 0; i < EntryCount(channel); ++i)
        if (IsGapValue(channel.values[i]))
            times.push_back(DateTimeToUnixMilliseconds(channel.times[i]));
    return times;
}

std::vector<uint8_t> NewBreaks(const ChannelInfo& channel, const std::vector<int64_t>& known) {
    std::vector<uint8_t> added(EntryCount(channel), 0);
    for (size_t i = 0; i < added.size(); ++i)
        added[i] = IsGapValue(channel.values[i]) &&
                   !std::binary_search(known.begin(), known.end(),
                                       DateTimeToUnixMilliseconds(channel.times[i]));
    return added;
}

void RoundTimesToMilliseconds(ChannelInfo& channel) {
    for (DateTime& t : channel.times)
        t = UnixMillisecondsToDateTime(DateTimeToUnixMilliseconds(t));
}

void KeepEntriesInRange(ChannelInfo& channel, const TimeRange& range) {
    if (!range.from && !range.to)
        return;
    const std::vector<DateTime> times = std::move(channel.times);
    const std::vector<float> values = std::move(channel.values);
    channel.times.clear();
    channel.values.clear();
    for (size_t i = 0; i < std::min(times.size(), values.size()); ++i)
        if (range.Contains(times[i]))
            AppendChannelEntry(channel, times[i], values[i]);
}

size_t EntryCount(const ChannelInfo& channel) {
    return std::min(channel.times.size(), channel.values.size());
}

int64_t SampleCount(const ChannelInfo& channel) {
    const size_t n = EntryCount(channel);
    int64_t samples = 0;
    for (size_t i = 0; i < n; ++i)
        samples += IsGapValue(channel.values[i]) ? 0 : 1;
    return samples;
}

bool SampleValueRange(const ChannelInfo& channel, float& low, float& high) {
    bool any = false;
    for (size_t i = 0; i < EntryCount(channel); ++i) {
        const float v = channel.values[i];
        if (IsGapValue(v))
            continue;
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    }
    return any;
}

bool EntryTimeSpan(const ChannelInfo& channel, int64_t& minTime, int64_t& maxTime) {
    const size_t n = EntryCount(channel);
    if (n == 0)
        return false;
    const auto [lowest, highest] = std::minmax_element(
        channel.times.begin(), channel.times.begin() + static_cast<ptrdiff_t>(n));
    minTime = DateTimeToUnixMilliseconds(*lowest);
    maxTime = DateTimeToUnixMilliseconds(*highest);
    return true;
}
