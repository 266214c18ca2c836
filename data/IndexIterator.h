#pragma once
// What the compact sample stores (times, values) share: a random-access iterator that is only
// an index into its store, and a comparison that walks two stores in batches. The store's
// iterator derives from IndexIterator and says how to read the value at its index.

#include <algorithm>
#include <compare>
#include <cstddef>
#include <iterator>
#include <vector>

template <class Derived, class Value> class IndexIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Value;
    using difference_type = std::ptrdiff_t;
    using pointer = const Value*;
    using reference = Value;

    Value operator[](difference_type n) const { return *(Self() + n); }
    Derived& operator++() {
        ++index_;
        return Self();
    }
    Derived operator++(int) {
        Derived old = Self();
        ++index_;
        return old;
    }
    Derived& operator--() {
        --index_;
        return Self();
    }
    Derived operator--(int) {
        Derived old = Self();
        --index_;
        return old;
    }
    Derived& operator+=(difference_type n) {
        index_ = static_cast<size_t>(static_cast<difference_type>(index_) + n);
        return Self();
    }
    Derived& operator-=(difference_type n) { return *this += -n; }
    friend Derived operator+(Derived it, difference_type n) { return it += n; }
    friend Derived operator+(difference_type n, Derived it) { return it += n; }
    friend Derived operator-(Derived it, difference_type n) { return it -= n; }
    friend difference_type operator-(const Derived& a, const Derived& b) {
        return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
    }
    friend bool operator==(const Derived& a, const Derived& b) { return a.index_ == b.index_; }
    friend auto operator<=>(const Derived& a, const Derived& b) { return a.index_ <=> b.index_; }
    size_t Index() const { return index_; }

protected:
    IndexIterator() = default;
    explicit IndexIterator(size_t index) : index_(index) {}

    size_t index_ = 0;

private:
    Derived& Self() { return static_cast<Derived&>(*this); }
    const Derived& Self() const { return static_cast<const Derived&>(*this); }
};

// Copies n values from `from` on: a store copies them out of its runs, a vector as they are.
template <class Store, class Value>
void CopyValues(const Store& store, size_t from, size_t n, Value* out) {
    store.Copy(from, n, out);
}
template <class Value>
void CopyValues(const std::vector<Value>& values, size_t from, size_t n, Value* out) {
    std::copy_n(values.begin() + static_cast<std::ptrdiff_t>(from), n, out);
}

// Whether a and b hold the same values, compared a batch at a time so that neither is ever
// expanded whole.
template <class Value, class A, class B> bool EqualInBatches(const A& a, const B& b) {
    constexpr size_t Batch = 1024;
    if (a.size() != b.size())
        return false;
    Value x[Batch], y[Batch];
    for (size_t from = 0; from < a.size(); from += Batch) {
        const size_t n = std::min(Batch, a.size() - from);
        CopyValues(a, from, n, x);
        CopyValues(b, from, n, y);
        if (!std::equal(x, x + n, y))
            return false;
    }
    return true;
}
