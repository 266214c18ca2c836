#pragma once
// A channel's sample times, held as runs rather than one double each. A recorder file's record
// gives its samples the times start + k * interval; such a run keeps only its start, step, first
// k and count, and every time is computed when asked with exactly the arithmetic the reader has
// always used, so it is bit for bit the time the reader gave. Times that follow no run (a gap
// point, an imported line) are held as they are. Appending one time at a time looks for runs as
// well, and only ever extends one with a time that the run's arithmetic gives bit for bit, so
// the store never changes a time.
//
// The interface is that of a vector of times (size, operator[], iteration, front, back), with
// run-by-run access for loops over millions of samples.

#include "data/DateTime.h"
#include "data/IndexIterator.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <vector>

class SampleTimes {
public:
    using value_type = DateTime;
    using size_type = size_t;

    static constexpr size_t NotHeld = std::numeric_limits<size_t>::max();

    struct Run {
        size_t begin = 0;   // index of its first sample
        uint32_t count = 0; // samples in it
        int32_t firstK = 0; // k of its first sample
        DateTime base = 0;  // start and step of a computed run
        DateTime step = 0;
        size_t held = NotHeld;  // offset of its times in the held times, for a run held as is
        bool tentative = false; // found among single appends: given up again while short

        bool Computed() const { return held == NotHeld; }
        size_t End() const { return begin + count; }
        // The time of sample j of a computed run: the reader's record time + k * interval.
        DateTime At(size_t j) const {
            return base + static_cast<int>(firstK + static_cast<int32_t>(j)) * step;
        }
    };

    class const_iterator : public IndexIterator<const_iterator, DateTime> {
    public:
        const_iterator() = default;
        const_iterator(const SampleTimes* times, size_t index)
            : IndexIterator(index), times_(times) {}
        DateTime operator*() const;

    private:
        const SampleTimes* times_ = nullptr;
        // The run the last dereference found, so that walking in order finds each run once.
        mutable size_t run_ = 0;
    };
    using iterator = const_iterator;

    // What `times[i] = t` assigns through.
    class Reference {
    public:
        Reference(SampleTimes& times, size_t index) : times_(times), index_(index) {}
        operator DateTime() const { return times_.Get(index_); }
        Reference& operator=(DateTime t) {
            times_.Set(index_, t);
            return *this;
        }
        Reference& operator=(const Reference& other) { return *this = DateTime(other); }

    private:
        SampleTimes& times_;
        size_t index_;
    };

    SampleTimes() = default;
    SampleTimes(std::initializer_list<DateTime> times) { assign(times.begin(), times.end()); }
    explicit SampleTimes(const std::vector<DateTime>& times) { assign(times.begin(), times.end()); }
    SampleTimes& operator=(std::initializer_list<DateTime> times) {
        assign(times.begin(), times.end());
        return *this;
    }
    SampleTimes& operator=(const std::vector<DateTime>& times) {
        assign(times.begin(), times.end());
        return *this;
    }
    template <typename It> void assign(It first, It last) {
        clear();
        for (; first != last; ++first)
            push_back(*first);
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    DateTime operator[](size_t i) const { return Get(i); }
    Reference operator[](size_t i) { return Reference(*this, i); }
    DateTime front() const { return Get(0); }
    DateTime back() const { return last_; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size_}; }

    // One time at the end: it extends the last run when that run's arithmetic gives exactly
    // this time, or is held as it is.
    void push_back(DateTime t);
    // A record's samples: count times base + k * step from k = firstK. Extends the last run when
    // it is the same record's and ends just before.
    void AppendRun(DateTime base, DateTime step, int32_t firstK, uint32_t count);
    // Samples [from, to) of other, their runs kept.
    void Append(const SampleTimes& other, size_t from, size_t to);
    void Set(size_t i, DateTime t);

    void clear();
    // Drops the times from n on, or appends zeros up to n.
    void resize(size_t n);
    void reserve(size_t) {}
    void shrink_to_fit();
    std::vector<DateTime> ToVector() const;

    // Times [from, from + count) into out.
    void Copy(size_t from, size_t count, DateTime* out) const;

    // Whether no time is less than the one before it (as std::is_sorted sees it), and whether
    // every time is a finite number.
    bool Ascending() const { return ascending_; }
    bool Finite() const { return finite_; }

    const std::vector<Run>& Runs() const { return runs_; }
    // The run holding sample i (i < size()).
    size_t RunIndexOf(size_t i) const;
    // Time i, starting the search at run `hint` and leaving there the run of i: walking forward
    // costs no search.
    DateTime At(size_t i, size_t& hint) const {
        if (hint >= runs_.size() || i < runs_[hint].begin || i >= runs_[hint].End()) {
            if (hint + 1 < runs_.size() && i >= runs_[hint + 1].begin && i < runs_[hint + 1].End())
                ++hint;
            else
                hint = RunIndexOf(i);
        }
        const Run& run = runs_[hint];
        return TimeInRun(run, i - run.begin);
    }
    // Times of a held run.
    const DateTime* HeldTimes(const Run& run) const { return held_.data() + run.held; }
    DateTime TimeInRun(const Run& run, size_t j) const {
        return run.Computed() ? run.At(j) : held_[run.held + j];
    }

    // Bytes the store takes on the heap.
    size_t MemoryBytes() const {
        return runs_.capacity() * sizeof(Run) + held_.capacity() * sizeof(DateTime);
    }

    friend bool operator==(const SampleTimes& a, const SampleTimes& b);
    friend bool operator==(const SampleTimes& a, const std::vector<DateTime>& b);

private:
    DateTime Get(size_t i) const {
        const Run& run = runs_[RunIndexOf(i)];
        return TimeInRun(run, i - run.begin);
    }
    void Hold(DateTime t);
    void GiveUpShortRun();
    void FindRunInHeldTail();
    void Noted(DateTime t);
    void Recount();

    std::vector<Run> runs_;
    std::vector<DateTime> held_;
    size_t size_ = 0;
    DateTime last_ = 0;
    bool ascending_ = true;
    bool finite_ = true;
};

// Bit-for-bit equality of two times (unlike ==, which takes -0 for 0 and no NaN for itself).
inline bool SameBits(DateTime a, DateTime b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}
