#include "data/SampleTimes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// A run found among single appends that ends shorter than this is held as times again: a run
// costs as much as five held times.
constexpr uint32_t MinKeptRun = 8;

bool RunCanGrow(const SampleTimes::Run& run, uint64_t more) {
    return static_cast<uint64_t>(run.firstK) + run.count + more <=
               static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) &&
           run.count + more <= std::numeric_limits<uint32_t>::max();
}

} // namespace

DateTime SampleTimes::const_iterator::operator*() const {
    const std::vector<Run>& runs = times_->runs_;
    if (run_ >= runs.size() || index_ < runs[run_].begin || index_ >= runs[run_].End()) {
        if (run_ + 1 < runs.size() && index_ == runs[run_].End())
            ++run_;
        else
            run_ = times_->RunIndexOf(index_);
    }
    const Run& run = runs[run_];
    return times_->TimeInRun(run, index_ - run.begin);
}

size_t SampleTimes::RunIndexOf(size_t i) const {
    const auto after =
        std::upper_bound(runs_.begin(), runs_.end(), i,
                         [](size_t index, const Run& run) { return index < run.begin; });
    return static_cast<size_t>(after - runs_.begin()) - 1;
}

void SampleTimes::Noted(DateTime t) {
    if (size_ > 0 && t < last_)
        ascending_ = false;
    if (!std::isfinite(t))
        finite_ = false;
    last_ = t;
    ++size_;
}

void SampleTimes::push_back(DateTime t) {
    if (!runs_.empty()) {
        Run& last = runs_.back();
        if (last.Computed() && RunCanGrow(last, 1) && SameBits(last.At(last.count), t)) {
            ++last.count;
            Noted(t);
            return;
        }
    }
    GiveUpShortRun();
    Hold(t);
    Noted(t);
    FindRunInHeldTail();
}

void SampleTimes::Hold(DateTime t) {
    if (!runs_.empty()) {
        Run& last = runs_.back();
        if (!last.Computed() && last.held + last.count == held_.size() && RunCanGrow(last, 1)) {
            held_.push_back(t);
            ++last.count;
            return;
        }
    }
    Run run;
    run.begin = runs_.empty() ? 0 : runs_.back().End();
    run.count = 1;
    run.held = held_.size();
    held_.push_back(t);
    runs_.push_back(run);
}

void SampleTimes::GiveUpShortRun() {
    if (runs_.empty())
        return;
    const Run last = runs_.back();
    if (!last.Computed() || !last.tentative || last.count >= MinKeptRun)
        return;
    runs_.pop_back();
    for (uint32_t j = 0; j < last.count; ++j)
        Hold(last.At(j));
}

// Three held times at the end that a step gives exactly start a run.
void SampleTimes::FindRunInHeldTail() {
    Run& last = runs_.back();
    if (last.Computed() || last.count < 3 || last.held + last.count != held_.size())
        return;
    const DateTime* tail = held_.data() + held_.size() - 3;
    if (!std::isfinite(tail[0]) || !std::isfinite(tail[1]) || !std::isfinite(tail[2]))
        return;
    Run run;
    run.base = tail[0];
    run.step = tail[1] - tail[0];
    run.count = 3;
    run.tentative = true;
    if (!std::isfinite(run.step) || !SameBits(run.At(0), tail[0]) ||
        !SameBits(run.At(1), tail[1]) || !SameBits(run.At(2), tail[2]))
        return;
    last.count -= 3;
    held_.resize(held_.size() - 3);
    if (last.count == 0)
        runs_.pop_back();
    run.begin = runs_.empty() ? 0 : runs_.back().End();
    runs_.push_back(run);
}

void SampleTimes::AppendRun(DateTime base, DateTime step, int32_t firstK, uint32_t count) {
    if (count == 0)
        return;
    Run run;
    run.base = base;
    run.step = step;
    run.firstK = firstK;
    run.count = count;
    // The times the run adds, as the checks of single appends see them.
    const DateTime first = run.At(0), lastTime = run.At(count - 1);
    bool ascending = true, finite = std::isfinite(first) && std::isfinite(lastTime);
    if (count > 1 && !(step >= 0)) {
        for (uint32_t j = 1; j < count; ++j) {
            const DateTime t = run.At(j);
            ascending = ascending && !(t < run.At(j - 1));
            finite = finite && std::isfinite(t);
        }
    }
    if (size_ > 0 && first < last_)
        ascending_ = false;
    ascending_ = ascending_ && ascending;
    finite_ = finite_ && finite;

    bool extended = false;
    if (!runs_.empty()) {
        Run& last = runs_.back();
        if (last.Computed() && !last.tentative && SameBits(last.base, base) &&
            SameBits(last.step, step) &&
            static_cast<int64_t>(last.firstK) + last.count == static_cast<int64_t>(firstK) &&
            RunCanGrow(last, count)) {
            last.count += count;
            extended = true;
        }
    }
    if (!extended) {
        GiveUpShortRun();
        run.begin = runs_.empty() ? 0 : runs_.back().End();
        runs_.push_back(run);
    }
    size_ += count;
    last_ = lastTime;
}

void SampleTimes::Append(const SampleTimes& other, size_t from, size_t to) {
    to = std::min(to, other.size_);
    if (from >= to)
        return;
    for (size_t r = other.RunIndexOf(from); r < other.runs_.size() && other.runs_[r].begin < to;
         ++r) {
        const Run& run = other.runs_[r];
        const size_t lo = std::max(from, run.begin) - run.begin;
        const size_t hi = std::min(to, run.End()) - run.begin;
        if (run.Computed()) {
            AppendRun(run.base, run.step, run.firstK + static_cast<int32_t>(lo),
                      static_cast<uint32_t>(hi - lo));
        } else {
            for (size_t j = lo; j < hi; ++j)
                push_back(other.held_[run.held + j]);
        }
    }
}

void SampleTimes::Set(size_t i, DateTime t) {
    const size_t r = RunIndexOf(i);
    const Run run = runs_[r];
    const size_t j = i - run.begin;
    if (!run.Computed()) {
        held_[run.held + j] = t;
    } else if (!SameBits(run.At(j), t)) {
        // The run splits around a time of its own.
        std::vector<Run> parts;
        if (j > 0) {
            Run before = run;
            before.count = static_cast<uint32_t>(j);
            parts.push_back(before);
        }
        Run single;
        single.begin = i;
        single.count = 1;
        single.held = held_.size();
        held_.push_back(t);
        parts.push_back(single);
        if (j + 1 < run.count) {
            Run after = run;
            after.begin = i + 1;
            after.firstK = run.firstK + static_cast<int32_t>(j + 1);
            after.count = static_cast<uint32_t>(run.count - j - 1);
            parts.push_back(after);
        }
        runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(r));
        runs_.insert(runs_.begin() + static_cast<std::ptrdiff_t>(r), parts.begin(), parts.end());
    }
    if (i + 1 == size_)
        last_ = t;
    // Ascending and finite as a scan would find them: around i while they hold, anew otherwise.
    if (ascending_ && finite_ && std::isfinite(t) && (i == 0 || !(t < Get(i - 1))) &&
        (i + 1 == size_ || !(Get(i + 1) < t)))
        return;
    Recount();
}

void SampleTimes::Recount() {
    ascending_ = finite_ = true;
    DateTime previous = 0;
    std::vector<DateTime> chunk(4096);
    for (size_t from = 0; from < size_; from += chunk.size()) {
        const size_t n = std::min(chunk.size(), size_ - from);
        Copy(from, n, chunk.data());
        for (size_t j = 0; j < n; ++j) {
            if (from + j > 0 && chunk[j] < previous)
                ascending_ = false;
            finite_ = finite_ && std::isfinite(chunk[j]);
            previous = chunk[j];
        }
    }
}

void SampleTimes::clear() {
    runs_.clear();
    held_.clear();
    size_ = 0;
    last_ = 0;
    ascending_ = finite_ = true;
}

void SampleTimes::resize(size_t n) {
    if (n >= size_) {
        while (size_ < n)
            push_back(0.0);
        return;
    }
    if (n == 0) {
        clear();
        return;
    }
    const size_t r = RunIndexOf(n - 1);
    runs_.resize(r + 1);
    Run& last = runs_.back();
    const uint32_t oldCount = last.count;
    last.count = static_cast<uint32_t>(n - last.begin);
    if (!last.Computed() && last.held + oldCount == held_.size())
        held_.resize(last.held + last.count);
    size_ = n;
    last_ = Get(n - 1);
    if (!ascending_ || !finite_)
        Recount();
}

void SampleTimes::shrink_to_fit() {
    // Held times of split or dropped runs leave unused room: keep only what runs refer to.
    size_t used = 0;
    for (const Run& run : runs_)
        used += run.Computed() ? 0 : run.count;
    if (used != held_.size()) {
        std::vector<DateTime> compact;
        compact.reserve(used);
        for (Run& run : runs_) {
            if (run.Computed())
                continue;
            const size_t offset = compact.size();
            compact.insert(compact.end(), held_.begin() + static_cast<std::ptrdiff_t>(run.held),
                           held_.begin() + static_cast<std::ptrdiff_t>(run.held + run.count));
            run.held = offset;
        }
        held_.swap(compact);
    }
    held_.shrink_to_fit();
    runs_.shrink_to_fit();
}

std::vector<DateTime> SampleTimes::ToVector() const {
    std::vector<DateTime> out(size_);
    Copy(0, size_, out.data());
    return out;
}

void SampleTimes::Copy(size_t from, size_t count, DateTime* out) const {
    if (count == 0)
        return;
    for (size_t r = RunIndexOf(from); count > 0; ++r) {
        const Run& run = runs_[r];
        const size_t j0 = from - run.begin;
        const size_t n = std::min<size_t>(count, run.count - j0);
        if (run.Computed()) {
            const DateTime base = run.base, step = run.step;
            const int32_t k0 = run.firstK + static_cast<int32_t>(j0);
            for (size_t j = 0; j < n; ++j)
                out[j] = base + static_cast<int>(k0 + static_cast<int32_t>(j)) * step;
        } else {
            std::memcpy(out, held_.data() + run.held + j0, n * sizeof(DateTime));
        }
        out += n;
        from += n;
        count -= n;
    }
}

bool operator==(const SampleTimes& a, const SampleTimes& b) {
    return EqualInBatches<DateTime>(a, b);
}

bool operator==(const SampleTimes& a, const std::vector<DateTime>& b) {
    return EqualInBatches<DateTime>(a, b);
}
