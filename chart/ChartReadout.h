#pragma once
// The trend chart's read-out: the time cursor's time as the legend title, and each series' value
// at that time as its legend entry. Works on the points as plotted; the window passes the
// chart's own point storage, the tool the builder's.

#include "data/DateTime.h"
#include "data/Recording.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What a series shows when it has no value at the cursor: two spaces and three hyphens.
inline constexpr std::string_view NoReading = "  ---";

// "Longitudinal vernier X: yyyy-MM-dd HH:mm:ss".
std::string ReadoutTitle(DateTime x);

// The cursor time as the read-out compares it with the series: to the second, as text.
std::string ReadoutSecond(DateTime x);

// "<title> 23.500<unit>" for a value, "<title>  ---" for none.
std::string ReadoutEntry(std::string_view title, std::string_view unit, std::optional<float> value);

// Index of the point whose key is nearest to x among count points of ascending keys, by
// bisection; a tie goes to the earlier point. Nullopt for no points. Point needs a `key`.
template <class Point>
std::optional<size_t> FindNearestPoint(const Point* points, size_t count, double x) {
    if (count == 0)
        return std::nullopt;
    if (count == 1)
        return 0;
    size_t lo = 0, hi = count - 1;
    while (lo + 1 < hi) {
        const size_t mid = (lo + hi) / 2;
        const int c = CompareDouble(x, points[mid].key);
        if (c == 0)
            return mid;
        if (c < 0)
            hi = mid;
        else
            lo = mid;
    }
    return CompareDouble(x - points[lo].key, points[lo + 1].key - x) > 0 ? lo + 1 : lo;
}

// The second texts of series bounds; series of one recording mostly share their first and last
// times, so a read-out formats each of them once.
class SecondTexts {
public:
    const std::string& Of(DateTime t) {
        if (!(t == time_)) {
            time_ = t;
            text_ = ReadoutSecond(t);
        }
        return text_;
    }

private:
    DateTime time_ = std::numeric_limits<double>::quiet_NaN();
    std::string text_;
};

// The value a series reads at the cursor: nullopt when the text of the cursor's second sorts
// before that of the first point or after that of the last (byte-string order, so a cursor up
// to a second after the last point still reads it), for no points, and for
// a plotted gap sample (a null point, or a point at the gap level valueMin - 10).
template <class Point>
std::optional<float> ReadSeriesAt(const Point* points, size_t count, DateTime x,
                                  const std::string& cursorSecond, float gapLevel,
                                  SecondTexts& firsts, SecondTexts& lasts) {
    if (count == 0 || cursorSecond < firsts.Of(points[0].key) ||
        cursorSecond > lasts.Of(points[count - 1].key))
        return std::nullopt;
    const auto nearest = FindNearestPoint(points, count, x);
    const double value = points[*nearest].value;
    if (std::isnan(value))
        return std::nullopt;
    const auto v = static_cast<float>(value);
    if (CompareSingle(v, gapLevel) == 0)
        return std::nullopt;
    return v;
}

template <class Point>
std::optional<float> ReadSeriesAt(const Point* points, size_t count, DateTime x,
                                  const std::string& cursorSecond, float gapLevel) {
    SecondTexts firsts, lasts;
    return ReadSeriesAt(points, count, x, cursorSecond, gapLevel, firsts, lasts);
}

// One series as the read-out sees it: base title, unit text, and its points as plotted.
template <class Point> struct ReadoutSeries {
    std::string_view title;
    std::string_view unit;
    const Point* points = nullptr;
    size_t count = 0;
};

struct ReadoutTexts {
    std::string title;                // the legend's title line
    std::vector<std::string> entries; // one per series, in series order
};

// The whole read-out at the time cursor's X value x; nullopt for x exactly 0, which leaves
// the legend as it is. gapLevel is valueMin - 10 in single precision.
template <class Point>
std::optional<ReadoutTexts> ReadOut(DateTime x, const std::vector<ReadoutSeries<Point>>& series,
                                    float gapLevel) {
    if (x == 0)
        return std::nullopt;
    ReadoutTexts texts{ReadoutTitle(x), {}};
    texts.entries.reserve(series.size());
    const std::string second = ReadoutSecond(x);
    for (const ReadoutSeries<Point>& s : series)
        texts.entries.push_back(
            ReadoutEntry(s.title, s.unit, ReadSeriesAt(s.points, s.count, x, second, gapLevel)));
    return texts;
}

// Two measuring cursors: the time cursor A and the measuring cursor B.

// What a cursor reads where a series has no value, and then its difference.
inline constexpr std::string_view NoPairValue = "-";

// The whole second a cursor's time shows as text.
long long ShownSecond(DateTime x);
// B - A between the seconds the two times show: "01:30:00", hours beyond 99 as many as there
// are, a leading "-" when B lies before A.
std::string ElapsedText(DateTime a, DateTime b);
// "A yyyy-MM-dd HH:mm:ss · B yyyy-MM-dd HH:mm:ss · Δt HH:mm:ss" (UTF-8).
std::string PairTitle(DateTime a, DateTime b);
// The interval between the two cursors as their texts name it: the whole seconds they show,
// the earlier first. Statistics over it are those of the seconds the legend reads.
std::pair<DateTime, DateTime> ShownInterval(DateTime a, DateTime b);
// The lines that put a copied table in its interval: "A<sep><time>", "B<sep><time>" and
// "Δt<sep><elapsed>", each with a line end (UTF-8).
std::string IntervalLines(DateTime a, DateTime b, char separator);
// "<title>  A 59.000<unit>  B 61.200<unit>  B−A 2.200<unit>" (UTF-8 minus), "-" for a missing
// value and then for the difference.
std::string PairEntry(std::string_view title, std::string_view unit, std::optional<float> a,
                      std::optional<float> b);

// The read-out with both cursors; nullopt when either time is exactly 0 (no cursor there).
template <class Point>
std::optional<ReadoutTexts> ReadOutPair(DateTime a, DateTime b,
                                        const std::vector<ReadoutSeries<Point>>& series,
                                        float gapLevel) {
    if (a == 0 || b == 0)
        return std::nullopt;
    ReadoutTexts texts{PairTitle(a, b), {}};
    texts.entries.reserve(series.size());
    const std::string secondA = ReadoutSecond(a), secondB = ReadoutSecond(b);
    SecondTexts firsts, lasts;
    for (const ReadoutSeries<Point>& s : series)
        texts.entries.push_back(PairEntry(
            s.title, s.unit, ReadSeriesAt(s.points, s.count, a, secondA, gapLevel, firsts, lasts),
            ReadSeriesAt(s.points, s.count, b, secondB, gapLevel, firsts, lasts)));
    return texts;
}
