#pragma once
// A channel's sample values, held as the recorder's 16-bit words where they are such a word: a
// data file stores raw words that the reader scales by the channel's divisor, float(raw /
// divisor), and the store keeps the word and its divisor and computes the same float when asked.
// A value that is no such word (a gap point the divisor cannot carry, an imported number) is held
// as the float it is. Every append checks that the word gives back the value bit for bit before it
// keeps a word, so the store never changes a value.
//
// The interface is that of a vector of floats (size, operator[], iteration, front, back), with
// segment-by-segment access and counts of gap markers for loops over millions of samples.

#include "data/IndexIterator.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <vector>

class SampleValues {
public:
    using value_type = float;
    using size_type = size_t;

    // The divisors raw words are scaled by: those of the recorder's decimal codes.
    static constexpr double Divisors[4] = {1.0, 10.0, 100.0, 1000.0};
    static constexpr int8_t HeldAsIs = -1;

    struct Segment {
        size_t begin = 0;  // index of its first value
        size_t offset = 0; // of its first value in the raw words or in the held floats
        uint32_t count = 0;
        uint32_t gaps = 0;       // its values that are gap markers
        int8_t scale = HeldAsIs; // raw words over Divisors[scale], or floats held as they are
        bool tentative = false;  // found among single appends: given up again while short

        bool Raw() const { return scale != HeldAsIs; }
        size_t End() const { return begin + count; }
    };

    // The index of divisor among Divisors, or HeldAsIs.
    static int8_t ScaleOfDivisor(double divisor);
    // float(raw / Divisors[scale]), as the reader scales a sample.
    static float Scaled(int16_t raw, int8_t scale);

    class const_iterator : public IndexIterator<const_iterator, float> {
    public:
        const_iterator() = default;
        const_iterator(const SampleValues* values, size_t index)
            : IndexIterator(index), values_(values) {}
        float operator*() const;

    private:
        const SampleValues* values_ = nullptr;
        mutable size_t segment_ = 0; // the segment the last dereference found
    };
    using iterator = const_iterator;

    // What `values[i] = v` assigns through.
    class Reference {
    public:
        Reference(SampleValues& values, size_t index) : values_(values), index_(index) {}
        operator float() const { return values_.Get(index_); }
        Reference& operator=(float v) {
            values_.Set(index_, v);
            return *this;
        }
        Reference& operator=(const Reference& other) { return *this = float(other); }

    private:
        SampleValues& values_;
        size_t index_;
    };

    SampleValues() = default;
    SampleValues(std::initializer_list<float> values) { assign(values.begin(), values.end()); }
    explicit SampleValues(const std::vector<float>& values) {
        assign(values.begin(), values.end());
    }
    SampleValues& operator=(std::initializer_list<float> values) {
        assign(values.begin(), values.end());
        return *this;
    }
    SampleValues& operator=(const std::vector<float>& values) {
        assign(values.begin(), values.end());
        return *this;
    }
    template <typename It> void assign(It first, It last) {
        clear();
        for (; first != last; ++first)
            push_back(*first);
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    float operator[](size_t i) const { return Get(i); }
    Reference operator[](size_t i) { return Reference(*this, i); }
    float front() const { return Get(0); }
    float back() const { return Get(size_ - 1); }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size_}; }

    // The divisor single appends try first (a data file's channel divisor).
    void PreferDivisor(double divisor) { preferred_ = ScaleOfDivisor(divisor); }
    void push_back(float v);
    // count raw samples (16-bit little-endian words, as a data block holds them) scaled by
    // divisor.
    void AppendRaw(const uint8_t* words, size_t count, double divisor);
    // Values [from, to) of other, their words kept.
    void Append(const SampleValues& other, size_t from, size_t to);
    void Set(size_t i, float v);

    void clear();
    // Drops the values from n on, or appends zeros up to n.
    void resize(size_t n);
    // Room for n raw words.
    void reserve(size_t n) { raw_.reserve(n); }
    void shrink_to_fit();
    std::vector<float> ToVector() const;

    // Values [from, from + count) into out.
    void Copy(size_t from, size_t count, float* out) const;

    // Gap markers (IsGapValue) among all values, among [from, to), and the first of them in
    // [from, to) (to when there is none); segments without one are not looked at.
    size_t GapCount() const;
    size_t CountGaps(size_t from, size_t to) const;
    size_t NextGap(size_t from, size_t to) const;

    const std::vector<Segment>& Segments() const { return segments_; }
    size_t SegmentIndexOf(size_t i) const;
    // Value i, starting the search at segment `hint` and leaving there the segment of i: walking
    // forward costs no search.
    float At(size_t i, size_t& hint) const {
        if (hint >= segments_.size() || i < segments_[hint].begin || i >= segments_[hint].End()) {
            if (hint + 1 < segments_.size() && i >= segments_[hint + 1].begin &&
                i < segments_[hint + 1].End())
                ++hint;
            else
                hint = SegmentIndexOf(i);
        }
        const Segment& s = segments_[hint];
        return ValueInSegment(s, i - s.begin);
    }
    float ValueInSegment(const Segment& s, size_t j) const {
        return s.Raw() ? Scaled(raw_[s.offset + j], s.scale) : held_[s.offset + j];
    }

    size_t MemoryBytes() const {
        return segments_.capacity() * sizeof(Segment) + raw_.capacity() * sizeof(int16_t) +
               held_.capacity() * sizeof(float);
    }

    friend bool operator==(const SampleValues& a, const SampleValues& b);
    friend bool operator==(const SampleValues& a, const std::vector<float>& b);

private:
    float Get(size_t i) const {
        const Segment& s = segments_[SegmentIndexOf(i)];
        return ValueInSegment(s, i - s.begin);
    }
    void Hold(float v);
    void Start(int8_t scale, int16_t raw, bool tentative);
    void GiveUpShortSegment();
    size_t GapsIn(const Segment& s, size_t from, size_t to) const;

    std::vector<Segment> segments_;
    std::vector<int16_t> raw_;
    std::vector<float> held_;
    size_t size_ = 0;
    int8_t preferred_ = HeldAsIs;
};
