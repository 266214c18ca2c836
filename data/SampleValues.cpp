#include "data/SampleValues.h"

#include "data/Comparisons.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

// A segment found among single appends that ends shorter than this holds its values as floats
// again: a segment costs as much as eight floats.
constexpr uint32_t MinKeptSegment = 8;
constexpr uint32_t MaxSegmentCount = std::numeric_limits<uint32_t>::max();

bool SameBits(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

// Raw words decode with one multiplication by the inverse divisor instead of a division where
// that gives the same float for every word; checked once, for all 65,536 words of each divisor.
struct ScaleTables {
    std::array<double, 4> inverse{};
    bool multiplyExact = true;
    // The words whose scaled value is a gap marker: one interval per divisor (scaling keeps the
    // order, and the markers are one unbroken run of floats).
    std::array<int, 4> gapLow{}, gapHigh{};

    ScaleTables() {
        for (size_t s = 0; s < 4; ++s) {
            inverse[s] = 1.0 / SampleValues::Divisors[s];
            gapLow[s] = 1;
            gapHigh[s] = 0;
            for (int raw = -32768; raw <= 32767; ++raw) {
                const float divided = static_cast<float>(raw / SampleValues::Divisors[s]);
                const float multiplied = static_cast<float>(raw * inverse[s]);
                multiplyExact = multiplyExact && SameBits(divided, multiplied);
                if (IsGapValue(divided)) {
                    if (gapLow[s] > gapHigh[s])
                        gapLow[s] = raw;
                    gapHigh[s] = raw;
                }
            }
        }
    }
};

const ScaleTables& Tables() {
    static const ScaleTables tables;
    return tables;
}

// The raw word that scales to v exactly, if there is one.
bool Encode(float v, int8_t scale, int16_t& raw) {
    const double scaled = static_cast<double>(v) * SampleValues::Divisors[scale];
    if (!(scaled > -32768.5 && scaled < 32767.5))
        return false;
    const auto candidate = static_cast<int16_t>(std::lround(scaled));
    if (!SameBits(SampleValues::Scaled(candidate, scale), v))
        return false;
    raw = candidate;
    return true;
}

bool IsGapWord(int16_t raw, int8_t scale) {
    const ScaleTables& t = Tables();
    return raw >= t.gapLow[static_cast<size_t>(scale)] &&
           raw <= t.gapHigh[static_cast<size_t>(scale)];
}

uint32_t CountGapWords(const int16_t* words, size_t count, int8_t scale) {
    const ScaleTables& t = Tables();
    const int low = t.gapLow[static_cast<size_t>(scale)],
              high = t.gapHigh[static_cast<size_t>(scale)];
    uint32_t gaps = 0;
    for (size_t i = 0; i < count; ++i)
        gaps += static_cast<uint32_t>((words[i] >= low) & (words[i] <= high));
    return gaps;
}

template <typename Out>
void DecodeWords(const int16_t* words, size_t count, int8_t scale, Out* out) {
    const ScaleTables& t = Tables();
    if (t.multiplyExact) {
        const double inverse = t.inverse[static_cast<size_t>(scale)];
        for (size_t i = 0; i < count; ++i)
            out[i] = static_cast<float>(words[i] * inverse);
    } else {
        const double divisor = SampleValues::Divisors[scale];
        for (size_t i = 0; i < count; ++i)
            out[i] = static_cast<float>(words[i] / divisor);
    }
}

} // namespace

int8_t SampleValues::ScaleOfDivisor(double divisor) {
    for (int8_t s = 0; s < 4; ++s)
        if (divisor == Divisors[s])
            return s;
    return HeldAsIs;
}

float SampleValues::Scaled(int16_t raw, int8_t scale) {
    return static_cast<float>(raw / Divisors[scale]);
}

float SampleValues::const_iterator::operator*() const {
    const std::vector<Segment>& segments = values_->segments_;
    if (segment_ >= segments.size() || index_ < segments[segment_].begin ||
        index_ >= segments[segment_].End()) {
        if (segment_ + 1 < segments.size() && index_ == segments[segment_].End())
            ++segment_;
        else
            segment_ = values_->SegmentIndexOf(index_);
    }
    const Segment& s = segments[segment_];
    const size_t j = s.offset + (index_ - s.begin);
    return s.Raw() ? Scaled(values_->raw_[j], s.scale) : values_->held_[j];
}

size_t SampleValues::SegmentIndexOf(size_t i) const {
    const auto after =
        std::upper_bound(segments_.begin(), segments_.end(), i,
                         [](size_t index, const Segment& s) { return index < s.begin; });
    return static_cast<size_t>(after - segments_.begin()) - 1;
}

void SampleValues::push_back(float v) {
    int16_t raw = 0;
    if (!segments_.empty()) {
        Segment& last = segments_.back();
        if (last.Raw() && last.offset + last.count == raw_.size() && last.count < MaxSegmentCount &&
            Encode(v, last.scale, raw)) {
            raw_.push_back(raw);
            ++last.count;
            last.gaps += IsGapWord(raw, last.scale) ? 1 : 0;
            ++size_;
            return;
        }
    }
    // A word of the preferred divisor, or without one of the first divisor that carries the
    // value, from the last segment's divisor on.
    int8_t scale = HeldAsIs;
    if (preferred_ != HeldAsIs) {
        if (Encode(v, preferred_, raw))
            scale = preferred_;
    } else {
        int8_t from = 0;
        for (auto s = segments_.rbegin(); s != segments_.rend(); ++s)
            if (s->Raw()) {
                from = s->scale;
                break;
            }
        for (int8_t s = from; s < 4 && scale == HeldAsIs; ++s)
            if (Encode(v, s, raw))
                scale = s;
    }
    GiveUpShortSegment();
    if (scale == HeldAsIs)
        Hold(v);
    else
        Start(scale, raw, true);
    ++size_;
}

void SampleValues::Start(int8_t scale, int16_t raw, bool tentative) {
    Segment s;
    s.begin = segments_.empty() ? 0 : segments_.back().End();
    s.offset = raw_.size();
    s.count = 1;
    s.gaps = IsGapWord(raw, scale) ? 1 : 0;
    s.scale = scale;
    s.tentative = tentative;
    raw_.push_back(raw);
    segments_.push_back(s);
}

void SampleValues::Hold(float v) {
    const uint32_t gap = IsGapValue(v) ? 1 : 0;
    if (!segments_.empty()) {
        Segment& last = segments_.back();
        if (!last.Raw() && last.offset + last.count == held_.size() &&
            last.count < MaxSegmentCount) {
            held_.push_back(v);
            ++last.count;
            last.gaps += gap;
            return;
        }
    }
    Segment s;
    s.begin = segments_.empty() ? 0 : segments_.back().End();
    s.offset = held_.size();
    s.count = 1;
    s.gaps = gap;
    held_.push_back(v);
    segments_.push_back(s);
}

void SampleValues::GiveUpShortSegment() {
    if (segments_.empty())
        return;
    const Segment last = segments_.back();
    if (!last.Raw() || !last.tentative || last.count >= MinKeptSegment ||
        last.offset + last.count != raw_.size())
        return;
    segments_.pop_back();
    for (uint32_t j = 0; j < last.count; ++j)
        Hold(Scaled(raw_[last.offset + j], last.scale));
    raw_.resize(last.offset);
}

void SampleValues::AppendRaw(const uint8_t* words, size_t count, double divisor) {
    if (count == 0)
        return;
    const int8_t scale = ScaleOfDivisor(divisor);
    if (scale == HeldAsIs) {
        for (size_t i = 0; i < count; ++i) {
            const auto raw = static_cast<int16_t>(words[2 * i] | words[2 * i + 1] << 8);
            push_back(static_cast<float>(raw / divisor));
        }
        return;
    }
    bool extend = false;
    if (!segments_.empty()) {
        const Segment& last = segments_.back();
        extend = last.Raw() && last.scale == scale && last.offset + last.count == raw_.size() &&
                 static_cast<uint64_t>(last.count) + count <= MaxSegmentCount;
    }
    if (!extend)
        GiveUpShortSegment();
    const size_t at = raw_.size();
    raw_.resize(at + count);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(raw_.data() + at, words, count * sizeof(int16_t));
    } else {
        for (size_t i = 0; i < count; ++i)
            raw_[at + i] = static_cast<int16_t>(words[2 * i] | words[2 * i + 1] << 8);
    }
    size_ += count;
    if (extend) {
        Segment& last = segments_.back();
        last.count += static_cast<uint32_t>(count);
        last.gaps += CountGapWords(raw_.data() + at, count, scale);
        last.tentative = false;
        return;
    }
    for (size_t done = 0; done < count;) {
        const size_t n = std::min<size_t>(count - done, MaxSegmentCount);
        Segment s;
        s.begin = segments_.empty() ? 0 : segments_.back().End();
        s.offset = at + done;
        s.count = static_cast<uint32_t>(n);
        s.scale = scale;
        s.gaps = CountGapWords(raw_.data() + s.offset, n, scale);
        segments_.push_back(s);
        done += n;
    }
}

void SampleValues::Append(const SampleValues& other, size_t from, size_t to) {
    to = std::min(to, other.size_);
    if (from >= to)
        return;
    for (size_t k = other.SegmentIndexOf(from);
         k < other.segments_.size() && other.segments_[k].begin < to; ++k) {
        const Segment& s = other.segments_[k];
        const size_t lo = std::max(from, s.begin) - s.begin;
        const size_t hi = std::min(to, s.End()) - s.begin;
        if (s.Raw()) {
            const int16_t* words = other.raw_.data() + s.offset + lo;
            AppendRaw(reinterpret_cast<const uint8_t*>(words), hi - lo, Divisors[s.scale]);
        } else {
            for (size_t j = lo; j < hi; ++j)
                push_back(other.held_[s.offset + j]);
        }
    }
}

void SampleValues::Set(size_t i, float v) {
    const size_t k = SegmentIndexOf(i);
    Segment& s = segments_[k];
    const size_t j = i - s.begin;
    if (!s.Raw()) {
        float& held = held_[s.offset + j];
        s.gaps = s.gaps - (IsGapValue(held) ? 1 : 0) + (IsGapValue(v) ? 1 : 0);
        held = v;
        return;
    }
    int16_t raw = 0;
    if (Encode(v, s.scale, raw)) {
        int16_t& word = raw_[s.offset + j];
        s.gaps = s.gaps - (IsGapWord(word, s.scale) ? 1 : 0) + (IsGapWord(raw, s.scale) ? 1 : 0);
        word = raw;
        return;
    }
    // The segment splits around a value of its own.
    const Segment whole = s;
    std::vector<Segment> parts;
    if (j > 0) {
        Segment before = whole;
        before.count = static_cast<uint32_t>(j);
        before.gaps = CountGapWords(raw_.data() + whole.offset, j, whole.scale);
        parts.push_back(before);
    }
    Segment single;
    single.begin = i;
    single.offset = held_.size();
    single.count = 1;
    single.gaps = IsGapValue(v) ? 1 : 0;
    held_.push_back(v);
    parts.push_back(single);
    if (j + 1 < whole.count) {
        Segment after = whole;
        after.begin = i + 1;
        after.offset = whole.offset + j + 1;
        after.count = static_cast<uint32_t>(whole.count - j - 1);
        after.gaps = CountGapWords(raw_.data() + after.offset, after.count, whole.scale);
        parts.push_back(after);
    }
    segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(k));
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(k), parts.begin(),
                     parts.end());
}

void SampleValues::clear() {
    segments_.clear();
    raw_.clear();
    held_.clear();
    size_ = 0;
}

void SampleValues::resize(size_t n) {
    if (n >= size_) {
        while (size_ < n)
            push_back(0.0f);
        return;
    }
    if (n == 0) {
        const int8_t preferred = preferred_;
        clear();
        preferred_ = preferred;
        return;
    }
    const size_t k = SegmentIndexOf(n - 1);
    segments_.resize(k + 1);
    Segment& last = segments_.back();
    const uint32_t oldCount = last.count;
    last.count = static_cast<uint32_t>(n - last.begin);
    last.gaps = static_cast<uint32_t>(GapsIn(last, last.begin, last.End()));
    if (last.Raw() && last.offset + oldCount == raw_.size())
        raw_.resize(last.offset + last.count);
    if (!last.Raw() && last.offset + oldCount == held_.size())
        held_.resize(last.offset + last.count);
    size_ = n;
}

void SampleValues::shrink_to_fit() {
    segments_.shrink_to_fit();
    raw_.shrink_to_fit();
    held_.shrink_to_fit();
}

std::vector<float> SampleValues::ToVector() const {
    std::vector<float> out(size_);
    Copy(0, size_, out.data());
    return out;
}

void SampleValues::Copy(size_t from, size_t count, float* out) const {
    if (count == 0)
        return;
    for (size_t k = SegmentIndexOf(from); count > 0; ++k) {
        const Segment& s = segments_[k];
        const size_t j0 = from - s.begin;
        const size_t n = std::min<size_t>(count, s.count - j0);
        if (s.Raw())
            DecodeWords(raw_.data() + s.offset + j0, n, s.scale, out);
        else
            std::memcpy(out, held_.data() + s.offset + j0, n * sizeof(float));
        out += n;
        from += n;
        count -= n;
    }
}

size_t SampleValues::GapsIn(const Segment& s, size_t from, size_t to) const {
    if (s.gaps == 0)
        return 0;
    const size_t lo = s.offset + (from - s.begin), n = to - from;
    if (s.Raw())
        return CountGapWords(raw_.data() + lo, n, s.scale);
    size_t gaps = 0;
    for (size_t j = 0; j < n; ++j)
        gaps += IsGapValue(held_[lo + j]) ? 1 : 0;
    return gaps;
}

size_t SampleValues::GapCount() const {
    size_t gaps = 0;
    for (const Segment& s : segments_)
        gaps += s.gaps;
    return gaps;
}

size_t SampleValues::CountGaps(size_t from, size_t to) const {
    to = std::min(to, size_);
    if (from >= to)
        return 0;
    size_t gaps = 0;
    for (size_t k = SegmentIndexOf(from); k < segments_.size() && segments_[k].begin < to; ++k) {
        const Segment& s = segments_[k];
        const size_t lo = std::max(from, s.begin), hi = std::min(to, s.End());
        gaps += lo == s.begin && hi == s.End() ? s.gaps : GapsIn(s, lo, hi);
    }
    return gaps;
}

size_t SampleValues::NextGap(size_t from, size_t to) const {
    to = std::min(to, size_);
    if (from >= to)
        return to;
    for (size_t k = SegmentIndexOf(from); k < segments_.size() && segments_[k].begin < to; ++k) {
        const Segment& s = segments_[k];
        if (s.gaps == 0)
            continue;
        const size_t lo = std::max(from, s.begin), hi = std::min(to, s.End());
        for (size_t i = lo; i < hi; ++i) {
            const size_t j = s.offset + (i - s.begin);
            if (s.Raw() ? IsGapWord(raw_[j], s.scale) : IsGapValue(held_[j]))
                return i;
        }
    }
    return to;
}

bool operator==(const SampleValues& a, const SampleValues& b) {
    return EqualInBatches<float>(a, b);
}

bool operator==(const SampleValues& a, const std::vector<float>& b) {
    return EqualInBatches<float>(a, b);
}
