#include "data/RecordingJoin.h"

#include "data/Text.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fs = std::filesystem;

namespace {

// IsGapValue with a quick reject: almost every value lies far from the gap marker.
inline bool IsGapSampleValue(float value) {
    return value > -158.02f && value < -157.98f && IsGapValue(value);
}

std::string NameForMessage(const std::string& path) {
    return Utf8ToGbk(path);
}

// Lookups stretch this far either side of an instant; the exact test is CompareTimes.
constexpr DateTime Slack = 2 * OneMillisecond;

// The indices of the gap points among n values, ascending. Sixteen values at a time are tested
// without a branch each: nearly all lie far from the marker.
void FindGapPoints(const float* values, size_t n, std::vector<size_t>& gaps) {
    constexpr size_t chunk = 16;
    size_t i = 0;
    for (; i + chunk <= n; i += chunk) {
#if defined(__SSE2__)
        const __m128 below = _mm_set1_ps(-158.02f), above = _mm_set1_ps(-157.98f);
        __m128 near = _mm_setzero_ps();
        for (size_t k = 0; k < chunk; k += 4) {
            const __m128 v = _mm_loadu_ps(values + i + k);
            near = _mm_or_ps(near, _mm_and_ps(_mm_cmpgt_ps(v, below), _mm_cmplt_ps(v, above)));
        }
        if (_mm_movemask_ps(near) == 0)
            continue;
#else
        bool near = false;
        for (size_t k = 0; k < chunk; ++k)
            near |= (values[i + k] > -158.02f) & (values[i + k] < -157.98f);
        if (!near)
            continue;
#endif
        for (size_t k = i; k < i + chunk; ++k)
            if (IsGapSampleValue(values[k]))
                gaps.push_back(k);
    }
    for (; i < n; ++i)
        if (IsGapSampleValue(values[i]))
            gaps.push_back(i);
}

// Whether the times never go down, eight at a time without a branch each.
bool NeverGoDown(const DateTime* times, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 8 < n; i += 8) {
        __m128d down = _mm_setzero_pd();
        for (size_t k = 0; k < 8; k += 2)
            down = _mm_or_pd(
                down, _mm_cmplt_pd(_mm_loadu_pd(times + i + k + 1), _mm_loadu_pd(times + i + k)));
        if (_mm_movemask_pd(down) != 0)
            return false;
    }
#endif
    return std::is_sorted(times + i, times + n);
}

// Samples a file recorded without a break: no gap point and no step back of a millisecond or
// more between them, so the file's line runs from first to last.
struct Stretch {
    DateTime first;
    DateTime last;
    size_t piece;
};

// Entries [begin, end) of a piece.
struct Span {
    size_t begin;
    size_t end;
};

// Moves a cursor over [cursor, size) past the elements `before` holds for, which form a prefix:
// a few steps, then by bisection.
template <typename T, typename Before>
void AdvancePast(const T* data, size_t size, size_t& cursor, Before before) {
    for (int steps = 0; cursor < size && before(data[cursor]); ++steps) {
        if (steps == 8) {
            cursor = static_cast<size_t>(std::partition_point(data + cursor, data + size, before) -
                                         data);
            return;
        }
        ++cursor;
    }
}

// One file's part of a joined channel, and what the join finds out about it.
struct Piece {
    ChannelInfo* channel = nullptr;
    size_t file = 0;
    size_t size = 0;
    bool ascending = true;    // the times never go down
    std::vector<size_t> gaps; // indices of the gap points
    // The samples an earlier file holds, as ascending spans (an overlap drops a stretch at a
    // time); touching spans are joined.
    std::vector<Span> dropped;
    size_t droppedCount = 0;
    // When the times do not ascend: the merge keys (see Keys) and the kept samples' times,
    // sorted, to look instants up in.
    std::vector<DateTime> keys;
    std::vector<DateTime> heldTimes;
    bool hasSamples = false;
    DateTime low = 0; // earliest and latest sample, gap points aside
    DateTime high = 0;
    // The same of the samples it keeps, once the drops are known: only there can it drop a
    // later file's samples.
    bool hasKept = false;
    DateTime keptLow = 0;
    DateTime keptHigh = 0;

    const DateTime* Times() const { return channel->times.data(); }
    bool IsGap(size_t i) const { return IsGapSampleValue(channel->values[i]); }
    // The entry's place in the merge: its time, or where the times do not ascend the latest
    // time among the kept entries up to it, so that an entry earlier than one before it in the
    // file stays behind that one. Keys never go down.
    const DateTime* Keys() const { return ascending ? Times() : keys.data(); }
    size_t KeptSamples() const { return size - gaps.size() - droppedCount; }
};

// The gap points, the stretches and the time range of a piece, in one pass over it.
void Survey(Piece& piece, size_t index, std::vector<Stretch>& stretches) {
    ChannelInfo& channel = *piece.channel;
    piece.size = std::min(channel.times.size(), channel.values.size());
    channel.times.resize(piece.size);
    channel.values.resize(piece.size);
    FindGapPoints(channel.values.data(), piece.size, piece.gaps);
    piece.ascending = NeverGoDown(channel.times.data(), piece.size);
    const DateTime* t = piece.Times();
    const size_t firstStretch = stretches.size();
    if (piece.ascending) {
        size_t from = 0;
        for (size_t g = 0; g <= piece.gaps.size(); ++g) {
            const size_t to = g < piece.gaps.size() ? piece.gaps[g] : piece.size;
            if (to > from)
                stretches.push_back({t[from], t[to - 1], index});
            from = to + 1;
        }
        if (stretches.size() > firstStretch) {
            piece.hasSamples = true;
            piece.low = stretches[firstStretch].first;
            piece.high = stretches.back().last;
        }
        return;
    }
    bool open = false;
    for (size_t i = 0; i < piece.size; ++i) {
        if (piece.IsGap(i)) {
            open = false;
            continue;
        }
        if (open && CompareTimes(t[i], t[i - 1]) < 0)
            open = false;
        if (!open) {
            stretches.push_back({t[i], t[i], index});
            open = true;
        }
        stretches.back().first = std::min(stretches.back().first, t[i]);
        stretches.back().last = std::max(stretches.back().last, t[i]);
        piece.low = piece.hasSamples ? std::min(piece.low, t[i]) : t[i];
        piece.high = piece.hasSamples ? std::max(piece.high, t[i]) : t[i];
        piece.hasSamples = true;
    }
}

// Whether a piece keeps a sample within a millisecond of an instant. Instants asked for in
// ascending order move a cursor forward; any other order searches.
class HeldLookup {
public:
    explicit HeldLookup(const Piece& piece)
        : piece_(piece), times_(piece.ascending ? piece.Times() : piece.heldTimes.data()),
          size_(piece.ascending ? piece.size : piece.heldTimes.size()) {}

    bool Holds(DateTime t) {
        const DateTime from = t - Slack;
        if (cursor_ > 0 && times_[cursor_ - 1] >= from) {
            cursor_ = 0; // an instant before the last one asked for
            droppedCursor_ = 0;
        }
        AdvancePast(times_, size_, cursor_, [from](DateTime x) { return x < from; });
        for (size_t i = cursor_; i < size_ && times_[i] <= t + Slack; ++i)
            if (CompareTimes(times_[i], t) == 0 && IsKept(i))
                return true;
        return false;
    }

private:
    // heldTimes holds kept samples only; the times of an ascending piece hold all its entries.
    bool IsKept(size_t i) {
        if (!piece_.ascending)
            return true;
        if (piece_.IsGap(i))
            return false;
        const std::vector<Span>& dropped = piece_.dropped;
        AdvancePast(dropped.data(), dropped.size(), droppedCursor_,
                    [i](const Span& s) { return s.end <= i; });
        return droppedCursor_ == dropped.size() || dropped[droppedCursor_].begin > i;
    }

    const Piece& piece_;
    const DateTime* times_;
    size_t size_;
    size_t cursor_ = 0;
    size_t droppedCursor_ = 0;
};

// Marks the samples of piece that an earlier file's piece keeps, past those already marked.
void MarkHeld(Piece& piece, const Piece& earlier) {
    if (!piece.hasSamples || !earlier.hasKept || CompareTimes(piece.high, earlier.keptLow) < 0 ||
        CompareTimes(piece.low, earlier.keptHigh) > 0)
        return;
    const DateTime* t = piece.Times();
    size_t from = 0, to = piece.size;
    if (piece.ascending) {
        from = static_cast<size_t>(std::lower_bound(t, t + to, earlier.keptLow - Slack) - t);
        to = static_cast<size_t>(std::upper_bound(t + from, t + to, earlier.keptHigh + Slack) - t);
    }
    std::vector<Span>& dropped = piece.dropped;
    std::vector<Span> marked;
    size_t d = 0;
    AdvancePast(dropped.data(), dropped.size(), d, [from](const Span& s) { return s.end <= from; });
    HeldLookup lookup(earlier);
    for (size_t i = from; i < to; ++i) {
        if (d < dropped.size() && dropped[d].begin <= i) {
            i = dropped[d++].end - 1; // dropped already
            continue;
        }
        if (piece.IsGap(i) || !lookup.Holds(t[i]))
            continue;
        if (!marked.empty() && marked.back().end == i)
            ++marked.back().end;
        else
            marked.push_back({i, i + 1});
        ++piece.droppedCount;
    }
    if (marked.empty())
        return;
    // Two sets of spans that do not overlap: merged by start, touching ones joined.
    std::vector<Span> all;
    all.reserve(dropped.size() + marked.size());
    std::merge(dropped.begin(), dropped.end(), marked.begin(), marked.end(),
               std::back_inserter(all),
               [](const Span& a, const Span& b) { return a.begin < b.begin; });
    dropped.clear();
    for (const Span& s : all) {
        if (!dropped.empty() && dropped.back().end == s.begin)
            dropped.back().end = s.end;
        else
            dropped.push_back(s);
    }
}

// After the drops are known: the range of the kept samples, and what a piece whose times do
// not ascend needs for the merge and for later files' lookups.
void PrepareForLaterFiles(Piece& piece) {
    const DateTime* t = piece.Times();
    if (piece.ascending) {
        // Walked in from either end, past the drops of an overlap.
        const std::vector<Span>& dropped = piece.dropped;
        size_t first = 0, last = piece.size;
        for (size_t d = 0; first < piece.size;) {
            if (d < dropped.size() && dropped[d].begin == first)
                first = dropped[d++].end;
            else if (piece.IsGap(first))
                ++first;
            else
                break;
        }
        for (size_t d = dropped.size(); last > first;) {
            if (d > 0 && dropped[d - 1].end == last)
                last = dropped[--d].begin;
            else if (piece.IsGap(last - 1))
                --last;
            else
                break;
        }
        if (first < last) {
            piece.hasKept = true;
            piece.keptLow = t[first];
            piece.keptHigh = t[last - 1];
        }
        return;
    }
    piece.keys.resize(piece.size);
    DateTime latest = -std::numeric_limits<DateTime>::infinity();
    size_t d = 0;
    for (size_t i = 0; i < piece.size; ++i) {
        while (d < piece.dropped.size() && piece.dropped[d].end <= i)
            ++d;
        if (d == piece.dropped.size() || piece.dropped[d].begin > i) {
            latest = std::max(latest, t[i]);
            if (!piece.IsGap(i))
                piece.heldTimes.push_back(t[i]);
        }
        piece.keys[i] = latest;
    }
    std::sort(piece.heldTimes.begin(), piece.heldTimes.end());
    if (!piece.heldTimes.empty()) {
        piece.hasKept = true;
        piece.keptLow = piece.heldTimes.front();
        piece.keptHigh = piece.heldTimes.back();
    }
}

// Entries [begin, end) of one piece, consecutive in the joined channel.
struct Run {
    size_t piece;
    size_t begin;
    size_t end;
};

// The joined channel's order as runs of the pieces' kept entries: the pieces merged by key,
// at an equal key the earlier file's entry first. Keys never go down within a piece, so each
// step takes, by bisection, every entry before the next one of any other piece.
std::vector<Run> MergeOrder(const std::vector<Piece>& pieces) {
    const size_t m = pieces.size();
    std::vector<size_t> next(m, 0), nextDropped(m, 0);
    // Spans never touch: one skip leaves next on a kept entry.
    auto skipDropped = [&](size_t p) {
        const std::vector<Span>& dropped = pieces[p].dropped;
        if (nextDropped[p] < dropped.size() && dropped[nextDropped[p]].begin == next[p])
            next[p] = dropped[nextDropped[p]++].end;
    };
    for (size_t p = 0; p < m; ++p)
        skipDropped(p);
    std::vector<Run> runs;
    for (;;) {
        size_t best = m, second = m;
        auto key = [&](size_t p) { return pieces[p].Keys()[next[p]]; };
        for (size_t p = 0; p < m; ++p) {
            if (next[p] >= pieces[p].size)
                continue;
            if (best == m || key(p) < key(best)) {
                second = best;
                best = p;
            } else if (second == m || key(p) < key(second)) {
                second = p;
            }
        }
        if (best == m)
            break;
        const Piece& piece = pieces[best];
        size_t limit = piece.size;
        if (second != m) {
            const DateTime* keys = piece.Keys();
            const DateTime bound = key(second);
            limit = static_cast<size_t>(
                (best < second ? std::upper_bound(keys + next[best], keys + piece.size, bound)
                               : std::lower_bound(keys + next[best], keys + piece.size, bound)) -
                keys);
        }
        // [next, limit) without its dropped entries; a dropped span may reach beyond limit.
        size_t from = next[best];
        const std::vector<Span>& dropped = piece.dropped;
        for (size_t& d = nextDropped[best]; d < dropped.size() && dropped[d].begin < limit; ++d) {
            if (dropped[d].begin > from)
                runs.push_back({best, from, dropped[d].begin});
            from = dropped[d].end;
        }
        if (limit > from)
            runs.push_back({best, from, limit});
        next[best] = std::max(limit, from);
        skipDropped(best);
    }
    return runs;
}

// Whether a file's stretch spans an interval: then no time is missing there.
class Coverage {
public:
    explicit Coverage(std::vector<Stretch>& stretches) : stretches_(stretches) {
        std::sort(stretches_.begin(), stretches_.end(),
                  [](const Stretch& a, const Stretch& b) { return a.first < b.first; });
        // For each prefix of the stretches by start, the latest end and the latest end of any
        // other piece: enough to answer for all pieces but one.
        reach_.reserve(stretches_.size());
        Reach reach;
        for (const Stretch& s : stretches_) {
            if (s.piece == reach.piece) {
                reach.last = std::max(reach.last, s.last);
            } else if (s.last > reach.last) {
                reach.otherLast = reach.last;
                reach.last = s.last;
                reach.piece = s.piece;
            } else {
                reach.otherLast = std::max(reach.otherLast, s.last);
            }
            reach_.push_back(reach);
        }
    }

    // Spanned by a stretch of any piece but `except` (SIZE_MAX: of any piece).
    bool Spans(DateTime from, DateTime to, size_t except = SIZE_MAX) const {
        if (CompareTimes(from, to) > 0)
            return false;
        const auto end =
            std::partition_point(stretches_.begin(), stretches_.end(), [from](const Stretch& s) {
                return CompareTimes(s.first, from) <= 0;
            });
        if (end == stretches_.begin())
            return false;
        const Reach& reach = reach_[static_cast<size_t>(end - stretches_.begin()) - 1];
        return CompareTimes(to, reach.piece == except ? reach.otherLast : reach.last) <= 0;
    }

private:
    struct Reach {
        DateTime last = -std::numeric_limits<DateTime>::infinity();
        size_t piece = SIZE_MAX;
        DateTime otherLast = -std::numeric_limits<DateTime>::infinity();
    };
    std::vector<Stretch>& stretches_;
    std::vector<Reach> reach_;
};

// Where the joined channel has holes: which gap points go, and which breaks come in.
class Breaks {
public:
    struct Removed {
        size_t run;
        size_t index;
    };
    struct Added {
        size_t afterRun;
        std::vector<DateTime> times;
    };

    Breaks(const std::vector<Piece>& pieces, const std::vector<Run>& runs, const Coverage& coverage)
        : pieces_(pieces), runs_(runs), coverage_(coverage) {
        for (size_t r = 0; r < runs.size(); ++r) {
            DropCoveredGapPoints(r);
            if (r + 1 < runs.size())
                BreakBetween(r);
        }
    }

    std::vector<Removed> removed;
    std::vector<Added> added;

private:
    // A gap point goes where the samples either side of it lie in a stretch of another file: a
    // file's own gap points stand as it has them.
    void DropCoveredGapPoints(size_t r) {
        const Run& run = runs_[r];
        const std::vector<size_t>& gaps = pieces_[run.piece].gaps;
        for (auto g = std::lower_bound(gaps.begin(), gaps.end(), run.begin);
             g != gaps.end() && *g < run.end; ++g) {
            DateTime before = 0, after = 0;
            if (SampleNear(r, *g, -1, before) && SampleNear(r, *g, 1, after) &&
                coverage_.Spans(before, after, run.piece))
                removed.push_back({r, *g});
        }
    }

    // The time of the nearest sample before (direction -1) or after (1) entry i of run r.
    bool SampleNear(size_t r, size_t i, int direction, DateTime& time) const {
        for (;;) {
            const Run& run = runs_[r];
            if (direction < 0 ? i == run.begin : i + 1 == run.end) {
                if (direction < 0 ? r == 0 : r + 1 == runs_.size())
                    return false;
                r = direction < 0 ? r - 1 : r + 1;
                i = direction < 0 ? runs_[r].end - 1 : runs_[r].begin;
            } else {
                i = direction < 0 ? i - 1 : i + 1;
            }
            const Piece& piece = pieces_[runs_[r].piece];
            if (!piece.IsGap(i)) {
                time = piece.Times()[i];
                return true;
            }
        }
    }

    // Between one file's sample and the next file's, where no gap point stands, no stretch spans
    // them and they lie further apart than the sampling interval: gap points as the reader
    // marks an interruption, a second after the one and a second before the other, or one
    // midway when they are that close.
    void BreakBetween(size_t r) {
        const Run& left = runs_[r];
        const Run& right = runs_[r + 1];
        const Piece& a = pieces_[left.piece];
        const Piece& b = pieces_[right.piece];
        const size_t i = left.end - 1, j = right.begin;
        if (left.piece == right.piece || a.IsGap(i) || b.IsGap(j))
            return;
        const DateTime last = a.Times()[i], first = b.Times()[j];
        const DateTime interval = IntervalAround(a, i, b, j);
        if (CompareTimes(first, last + interval) <= 0 || coverage_.Spans(last, first))
            return;
        if (CompareTimes(first, last + 2 * OneSecond) <= 0)
            added.push_back({r, {(last + first) / 2}});
        else
            added.push_back({r, {last + OneSecond, first - OneSecond}});
    }

    // The sampling interval there: the step into sample i of its file or out of sample j of
    // its file, whichever is shorter; a second when neither shows one.
    static DateTime IntervalAround(const Piece& a, size_t i, const Piece& b, size_t j) {
        DateTime interval = 0;
        auto consider = [&interval](const Piece& piece, size_t from, size_t to) {
            const DateTime* t = piece.Times();
            if (piece.IsGap(from) || piece.IsGap(to) || CompareTimes(t[to], t[from]) <= 0)
                return;
            if (interval == 0 || t[to] - t[from] < interval)
                interval = t[to] - t[from];
        };
        if (i > 0)
            consider(a, i - 1, i);
        if (j + 1 < b.size)
            consider(b, j, j + 1);
        return interval == 0 ? OneSecond : interval;
    }

    const std::vector<Piece>& pieces_;
    const std::vector<Run>& runs_;
    const Coverage& coverage_;
};

struct Part {
    ChannelInfo* channel;
    size_t file;
};

void JoinChannel(int16_t number, const std::vector<Part>& parts, ChannelInfo& out,
                 std::vector<int32_t>& kept) {
    out.channel = number;
    out.unit = parts.front().channel->unit;
    // The instrument range drawn with own scales: all the files' ranges together (fmin and
    // fmax pass over a file without one).
    for (const Part& part : parts) {
        out.rangeLow = std::fmin(out.rangeLow, part.channel->rangeLow);
        out.rangeHigh = std::fmax(out.rangeHigh, part.channel->rangeHigh);
    }
    if (parts.size() == 1) {
        // Nothing to merge: the samples move over as they are.
        ChannelInfo& only = *parts.front().channel;
        for (float v : only.values)
            kept[parts.front().file] += IsGapSampleValue(v) ? 0 : 1;
        out.times = std::move(only.times);
        out.values = std::move(only.values);
        return;
    }

    std::vector<Piece> pieces(parts.size());
    std::vector<Stretch> stretches;
    for (size_t p = 0; p < parts.size(); ++p) {
        Piece& piece = pieces[p];
        piece.channel = parts[p].channel;
        piece.file = parts[p].file;
        Survey(piece, p, stretches);
        for (size_t e = 0; e < p; ++e)
            MarkHeld(piece, pieces[e]);
        PrepareForLaterFiles(piece);
    }
    const std::vector<Run> runs = MergeOrder(pieces);
    const Coverage coverage(stretches);
    const Breaks breaks(pieces, runs, coverage);

    size_t total = 0;
    for (const Run& run : runs)
        total += run.end - run.begin;
    total -= breaks.removed.size();
    for (const Breaks::Added& added : breaks.added)
        total += added.times.size();
    out.times.reserve(total);
    out.values.reserve(total);
    auto copy = [&out](const Piece& piece, size_t from, size_t to) {
        const ChannelInfo& c = *piece.channel;
        out.times.insert(out.times.end(), c.times.begin() + static_cast<ptrdiff_t>(from),
                         c.times.begin() + static_cast<ptrdiff_t>(to));
        out.values.insert(out.values.end(), c.values.begin() + static_cast<ptrdiff_t>(from),
                          c.values.begin() + static_cast<ptrdiff_t>(to));
    };
    // Each file's arrays go as soon as its last run is copied, so that a channel is not held
    // twice over.
    auto release = [](Piece& piece) {
        std::vector<DateTime>().swap(piece.channel->times);
        std::vector<float>().swap(piece.channel->values);
    };
    std::vector<size_t> lastRun(pieces.size(), SIZE_MAX);
    for (size_t r = 0; r < runs.size(); ++r)
        lastRun[runs[r].piece] = r;
    for (size_t p = 0; p < pieces.size(); ++p) {
        kept[pieces[p].file] += static_cast<int32_t>(pieces[p].KeptSamples());
        if (lastRun[p] == SIZE_MAX)
            release(pieces[p]);
    }
    size_t removed = 0, added = 0;
    for (size_t r = 0; r < runs.size(); ++r) {
        Piece& piece = pieces[runs[r].piece];
        size_t from = runs[r].begin;
        for (; removed < breaks.removed.size() && breaks.removed[removed].run == r; ++removed) {
            copy(piece, from, breaks.removed[removed].index);
            from = breaks.removed[removed].index + 1;
        }
        copy(piece, from, runs[r].end);
        for (; added < breaks.added.size() && breaks.added[added].afterRun == r; ++added)
            for (DateTime t : breaks.added[added].times) {
                out.times.push_back(t);
                out.values.push_back(GapValue);
            }
        if (lastRun[runs[r].piece] == r)
            release(piece);
    }
}

// Runs work on this thread and up to one more thread per further processor (never more
// threads than jobs); returns when all have ended.
template <typename Work> void RunOnWorkers(Work& work, size_t jobs, size_t limit = 0) {
    size_t workers = limit ? limit : std::max(1u, std::thread::hardware_concurrency());
    workers = std::min(workers, jobs);
    std::vector<std::thread> threads;
    for (size_t w = 1; w < workers; ++w) {
        try {
            threads.emplace_back(std::ref(work));
        } catch (const std::exception&) {
            break; // fewer workers then
        }
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
}

std::optional<UserMessage> CheckUnits(const std::vector<JoinSource>& sources) {
    struct FirstSeen {
        const std::string* unit;
        const std::string* path;
    };
    std::map<int16_t, FirstSeen> seen;
    for (const JoinSource& source : sources)
        for (const ChannelInfo& channel : source.channels) {
            const auto [it, added] =
                seen.try_emplace(channel.channel, FirstSeen{&channel.unit, &source.path});
            if (added || *it->second.unit == channel.unit)
                continue;
            char number[16];
            std::snprintf(number, sizeof number, "%.2d", static_cast<int>(channel.channel));
            return UserMessage{"Channel " + std::string(number) + " is in " + *it->second.unit +
                                   " in " + NameForMessage(*it->second.path) + " but in " +
                                   channel.unit + " in " + NameForMessage(source.path) +
                                   ": the files cannot be joined.",
                               MessageIcon::Error};
        }
    return std::nullopt;
}

} // namespace

std::optional<UserMessage> JoinRecordings(std::vector<JoinSource>& sources,
                                          JoinedRecording& joined) {
    joined = JoinedRecording{};
    std::stable_sort(sources.begin(), sources.end(), [](const JoinSource& a, const JoinSource& b) {
        if (a.info.startTime != b.info.startTime)
            return a.info.startTime < b.info.startTime;
        return a.path < b.path;
    });
    if (auto conflict = CheckUnits(sources))
        return conflict;

    std::map<int16_t, std::vector<Part>> pieces; // ascending channel numbers
    for (size_t f = 0; f < sources.size(); ++f) {
        JoinSource& source = sources[f];
        joined.files.push_back({source.path, source.info.startTime, source.info.endTime, 0});
        for (ChannelInfo& channel : source.channels)
            pieces[channel.channel].push_back({&channel, f});
        RecordingInfo& info = joined.info;
        if (f == 0) {
            info = source.info;
        } else {
            info.valueMax = std::max(info.valueMax, source.info.valueMax);
            info.valueMin = std::min(info.valueMin, source.info.valueMin);
            info.startTime = std::min(info.startTime, source.info.startTime);
            info.endTime = std::max(info.endTime, source.info.endTime);
        }
    }
    joined.info.sampleCount = 0;

    // Channels are independent: they are merged side by side, one worker per processor.
    std::vector<std::pair<int16_t, std::vector<Part>>> work(pieces.begin(), pieces.end());
    joined.channels.resize(work.size());
    std::vector<std::vector<int32_t>> kept(work.size(), std::vector<int32_t>(sources.size(), 0));
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto merge = [&] {
        for (size_t c; (c = next.fetch_add(1)) < work.size();) {
            try {
                JoinChannel(work[c].first, work[c].second, joined.channels[c], kept[c]);
            } catch (...) { // out of memory: the join fails as a whole
                std::lock_guard lock(failureMutex);
                failure = std::current_exception();
                next.store(work.size());
            }
        }
    };
    RunOnWorkers(merge, work.size());
    if (failure) {
        joined = JoinedRecording{};
        std::rethrow_exception(failure);
    }
    for (const std::vector<int32_t>& channelKept : kept)
        for (size_t f = 0; f < channelKept.size(); ++f)
            joined.files[f].keptSamples += channelKept[f];
    for (const JoinedFile& file : joined.files)
        joined.info.sampleCount += file.keptSamples;
    sources.clear();
    return std::nullopt;
}

bool IsRecordingFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

std::optional<UserMessage> ListRecorderFiles(const std::string& folder,
                                             std::vector<std::string>& paths) {
    paths.clear();
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error)
        return UserMessage{"Open file failure!", MessageIcon::Error};
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError))
            continue;
        std::string extension = it->path().extension().string();
        for (char& c : extension)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (extension == ".bin" || extension == ".dat")
            paths.push_back(it->path().string());
    }
    if (error)
        return UserMessage{"Open file failure!", MessageIcon::Error};
    std::sort(paths.begin(), paths.end());
    if (paths.empty())
        return UserMessage{"No recorder data files (*.bin, *.dat) in " + NameForMessage(folder),
                           MessageIcon::Information};
    return std::nullopt;
}

std::optional<UserMessage> ReadJoinedRecording(const std::vector<std::string>& paths,
                                               JoinedRecording& joined, const LoadLogOptions& log,
                                               const JoinProgress& progress) {
    joined = JoinedRecording{};
    if (paths.empty())
        return UserMessage{"No recorder data files (*.bin, *.dat) to open.",
                           MessageIcon::Information};
    if (paths.size() == 1) {
        // One file is read exactly as File > Open reads it, a partial read included.
        auto message = ReadRecorderFile(paths.front(), joined.info, joined.channels, log);
        joined.files.push_back(
            {paths.front(), joined.info.startTime, joined.info.endTime, joined.info.sampleCount});
        if (progress)
            progress(1, 1);
        return message;
    }

    std::vector<JoinSource> sources(paths.size());
    std::vector<std::optional<UserMessage>> failures(paths.size());
    std::atomic<size_t> nextFile{0};
    size_t filesDone = 0;
    std::mutex progressMutex;
    auto work = [&] {
        for (size_t f; (f = nextFile.fetch_add(1)) < paths.size();) {
            JoinSource& source = sources[f];
            source.path = paths[f];
            try {
                failures[f] = ReadRecorderFile(source.path, source.info, source.channels, log);
            } catch (const std::exception& error) { // out of memory, for one
                failures[f] = UserMessage{error.what(), MessageIcon::Error};
            }
            if (failures[f]) {
                // Nothing of a refused join is kept; the other workers stop early.
                source.channels = {};
                nextFile.store(paths.size());
            }
            std::lock_guard lock(progressMutex);
            ++filesDone;
            if (progress)
                progress(filesDone, paths.size());
        }
    };
    // The load log names its file by the second it is opened: files logged at once would
    // write into the same log, so a logged join reads one file after the other.
    RunOnWorkers(work, paths.size(), log.enabled ? 1 : 0);

    for (size_t f = 0; f < paths.size(); ++f)
        if (failures[f])
            return UserMessage{NameForMessage(paths[f]) + ": " + failures[f]->text,
                               failures[f]->icon};
    return JoinRecordings(sources, joined);
}

std::optional<UserMessage> ReadRecordingPath(const std::string& path, JoinedRecording& joined,
                                             const LoadLogOptions& log,
                                             const JoinProgress& progress) {
    if (!IsRecordingFolder(path))
        return ReadJoinedRecording({path}, joined, log, progress);
    joined = JoinedRecording{};
    std::vector<std::string> paths;
    if (auto message = ListRecorderFiles(path, paths))
        return message;
    return ReadJoinedRecording(paths, joined, log, progress);
}

std::string JoinedSummary(const JoinedRecording& joined) {
    return std::to_string(joined.files.size()) +
           (joined.files.size() == 1 ? " file, " : " files, ") +
           FormatDateTime(joined.info.startTime, ReadoutTimePattern) + " to " +
           FormatDateTime(joined.info.endTime, ReadoutTimePattern);
}
