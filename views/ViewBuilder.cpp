#include "views/ViewBuilder.h"

#include "views/SheetCells.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

void PlotChannelPoints(const ChannelInfo& channel, size_t end, std::optional<DateTime> notBefore,
                       size_t stride, SeriesBuild& series) {
    end = std::min(end, std::min(channel.times.size(), channel.values.size()));
    stride = std::max<size_t>(stride, 1);
    series.points.reserve(series.points.size() + end / stride + 16);
    constexpr double Null = std::numeric_limits<double>::quiet_NaN();
    if (channel.times.Ascending() && channel.times.Finite()) {
        // Only the plotted samples and the gap samples are looked at: every stride-th index from
        // the first not before the window, and the gaps the values know of.
        size_t first = 0;
        if (notBefore)
            first = static_cast<size_t>(
                std::partition_point(channel.times.begin(),
                                     channel.times.begin() + static_cast<std::ptrdiff_t>(end),
                                     [&](DateTime t) { return CompareTimes(t, *notBefore) < 0; }) -
                channel.times.begin());
        size_t plotted = (first + stride - 1) / stride * stride;
        size_t gap = channel.values.NextGap(first, end);
        auto times = channel.times.begin();
        auto values = channel.values.begin();
        while (true) {
            const size_t i = std::min(plotted, gap);
            if (i >= end)
                break;
            const DateTime t = times[static_cast<std::ptrdiff_t>(i)];
            if (i == gap) {
                series.points.push_back({t, Null});
                gap = channel.values.NextGap(i + 1, end);
                if (i == plotted)
                    plotted += stride;
            } else {
                series.points.push_back(
                    {t, static_cast<double>(values[static_cast<std::ptrdiff_t>(i)])});
                plotted += stride;
            }
        }
        return;
    }
    double lastKey =
        series.points.empty() ? -std::numeric_limits<double>::infinity() : series.points.back().key;
    // i counts every sample of the channel, gap samples included; a sample is plotted when i is a
    // multiple of the step.
    ForEachSample(channel, 0, end, [&](size_t i, DateTime t, float v) {
        if (!std::isfinite(t))
            return;
        if (notBefore && CompareTimes(t, *notBefore) < 0)
            return;
        PlotPoint point;
        if (IsGapSample(v))
            point = {t, Null};
        else if (i % stride == 0)
            point = {t, static_cast<double>(v)};
        else
            return;
        series.keysAscending = series.keysAscending && t >= lastKey;
        lastKey = t;
        series.points.push_back(point);
    });
}

const std::array<uint32_t, 16> ChannelColours = {
    0xFFFFFF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xC0C0C0,
    0x008000, 0x800000, 0x008080, 0x808080, 0x808000, 0x800080, 0xA0A0A4, 0xA6CAF0,
};

uint32_t ChannelColour(size_t position) {
    return ChannelColours[position % ChannelColours.size()];
}

int DecimationStep(long long sampleCount) {
    constexpr long long PlottedPoints = 1000000;
    if (sampleCount <= PlottedPoints)
        return 1;
    return static_cast<int>(sampleCount / PlottedPoints + 1);
}

std::optional<ZoomWindow> InitialTimeZoomStop(DateTime start, DateTime end) {
    // The span of two present-day date-times carries a rounding error of about a microsecond,
    // far more than a relative 1e-12 of ten seconds; comparing the end with start + 10 s to
    // the millisecond keeps a window of exactly ten seconds from counting as narrow.
    if (CompareTimes(end, start + MinXSpan) < 0)
        return ZoomWindow{start, end};
    return std::nullopt;
}

bool ScreeningSelection::Selects(int16_t channelNumber) const {
    if (channelNumber < 1 || channelNumber > static_cast<int>(channelFlags.size()))
        return true;
    return channelFlags[static_cast<size_t>(channelNumber - 1)];
}

namespace {

constexpr int SerialColumnWidth = 50;
constexpr int TimeColumnWidth = 120;
constexpr int ChannelColumnWidth = 70;

std::string SeriesTitle(int16_t channelNumber, bool screened) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, screened ? "Channel%.2d" : "Channel %.2d",
                  static_cast<int>(channelNumber));
    return buffer;
}

// Whether the channel's times ascend without a NaN among them: then the samples in a window
// are one stretch that bisection finds.
bool Bisectable(const ChannelInfo& channel) {
    return channel.times.Ascending() && channel.times.Finite();
}

size_t SampleCount(const ChannelInfo& channel) {
    return std::min(channel.times.size(), channel.values.size());
}

// Index of the first sample later than the window's end; the scan of a screened channel stops
// there because its times are taken to ascend.
size_t ScreenedEnd(const ChannelInfo& channel, DateTime windowEnd) {
    const size_t n = SampleCount(channel);
    const auto later = [windowEnd](DateTime t) { return CompareTimes(t, windowEnd) > 0; };
    if (Bisectable(channel))
        return static_cast<size_t>(
            std::partition_point(channel.times.begin(),
                                 channel.times.begin() + static_cast<std::ptrdiff_t>(n),
                                 [&](DateTime t) { return !later(t); }) -
            channel.times.begin());
    constexpr size_t Batch = 4096;
    DateTime times[Batch];
    for (size_t from = 0; from < n; from += Batch) {
        const size_t count = std::min(Batch, n - from);
        channel.times.Copy(from, count, times);
        for (size_t j = 0; j < count; ++j)
            if (later(times[j]))
                return from + j;
    }
    return n;
}

// The first sample not earlier than the window's start (by CompareTimes), for ascending times.
size_t FirstNotBefore(const ChannelInfo& channel, size_t end, DateTime start) {
    return static_cast<size_t>(
        std::partition_point(channel.times.begin(),
                             channel.times.begin() + static_cast<std::ptrdiff_t>(end),
                             [start](DateTime t) { return CompareTimes(t, start) < 0; }) -
        channel.times.begin());
}

// Samples [0, end) of the channel not earlier than start: what a screening counts for its
// decimation step.
size_t CountNotBefore(const ChannelInfo& channel, size_t end, DateTime start) {
    if (Bisectable(channel))
        return end - FirstNotBefore(channel, end, start);
    constexpr size_t Batch = 4096;
    DateTime times[Batch];
    size_t count = 0;
    for (size_t from = 0; from < end; from += Batch) {
        const size_t n = std::min(Batch, end - from);
        channel.times.Copy(from, n, times);
        for (size_t j = 0; j < n; ++j)
            count += CompareTimes(times[j], start) >= 0;
    }
    return count;
}

ViewBuild Build(const std::vector<ChannelInfo>& channels, const RecordingInfo& info,
                const ScreeningSelection* selection, uint32_t pageSize,
                const BuildProgress& progress) {
    auto setMax = [&](int n) {
        if (progress.setMax)
            progress.setMax(n);
    };
    auto step = [&](int n) {
        if (progress.step)
            progress.step(n);
    };
    ViewBuild build;
    const bool screened = selection != nullptr;
    setMax(static_cast<int>(channels.size()) + 1);

    // The samples each shown channel contributes, and how many there are for decimation.
    std::vector<ChannelSampleRange> ranges;
    long long decimationCount = info.sampleCount;
    if (screened)
        decimationCount = 0;
    for (size_t pos = 0; pos < channels.size(); ++pos) {
        const ChannelInfo& channel = channels[pos];
        if (screened && !selection->Selects(channel.channel))
            continue;
        ChannelSampleRange range{static_cast<int16_t>(pos), SampleCount(channel), std::nullopt};
        if (screened) {
            range.end = ScreenedEnd(channel, selection->end);
            range.notBefore = selection->start;
            decimationCount +=
                static_cast<long long>(CountNotBefore(channel, range.end, selection->start));
        }
        ranges.push_back(range);
    }
    const auto stride = static_cast<size_t>(DecimationStep(decimationCount));
    build.step = static_cast<int>(stride);

    build.columns = {{"Serial number", SerialColumnWidth}, {"Time", TimeColumnWidth}};
    for (const ChannelSampleRange& range : ranges) {
        build.columnChannels.push_back(range.channelPos);
        build.columns.push_back(
            {ChannelColumnCaption(channels[static_cast<size_t>(range.channelPos)]),
             ChannelColumnWidth});
    }

    const double nullLevel = static_cast<double>(info.valueMin - 10.0f);
    build.nullLevel = nullLevel;
    size_t next = 0;
    for (size_t pos = 0; pos < channels.size(); ++pos) {
        step(1);
        if (next >= ranges.size() || static_cast<size_t>(ranges[next].channelPos) != pos)
            continue;
        const ChannelSampleRange& range = ranges[next++];
        const ChannelInfo& channel = channels[pos];
        SeriesBuild series;
        series.title = SeriesTitle(channel.channel, screened);
        series.unit = channel.unit;
        series.channelPos = static_cast<int16_t>(pos);
        series.colour = ChannelColour(pos);
        series.channel = channel.channel;
        series.rangeLow = static_cast<double>(channel.rangeLow);
        series.rangeHigh = static_cast<double>(channel.rangeHigh);
        PlotChannelPoints(channel, range.end, range.notBefore, stride, series);
        build.series.push_back(std::move(series));
    }

    build.rows = BuildSheetRows(channels, ranges);
    ShowFirstPage(build.page, build.pageButtons, build.rows.RowCount(), pageSize);
    build.enableFilterButton = !screened;

    const DateTime windowStart = screened ? selection->start : info.startTime;
    const DateTime windowEnd = screened ? selection->end : info.endTime;
    build.timeAxis = {windowStart, windowEnd, (windowEnd - windowStart) * 0.1};
    const double valueTop = static_cast<double>(info.valueMax) + 10.0;
    const double valueBottom = static_cast<double>(info.valueMin) - 10.0;
    build.valueAxis = {valueBottom, valueTop, (valueTop - valueBottom) * 0.1};
    build.xZoomStop = InitialTimeZoomStop(windowStart, windowEnd);
    build.timeCursorX = windowStart;
    build.timeCursorY = info.valueMax;
    build.secondLineY = info.valueMin;
    step(1);
    return build;
}

} // namespace

int ScreenedWindowStep(const std::vector<ChannelInfo>& channels, std::span<const int16_t> positions,
                       DateTime start, DateTime end) {
    long long count = 0;
    for (const int16_t pos : positions) {
        if (pos < 0 || static_cast<size_t>(pos) >= channels.size())
            continue;
        const ChannelInfo& channel = channels[static_cast<size_t>(pos)];
        count += static_cast<long long>(CountNotBefore(channel, ScreenedEnd(channel, end), start));
    }
    return DecimationStep(count);
}

std::vector<std::vector<PlotPoint>> PlotScreenedWindow(const std::vector<ChannelInfo>& channels,
                                                       std::span<const int16_t> positions,
                                                       DateTime start, DateTime end, int step) {
    std::vector<std::vector<PlotPoint>> points;
    for (const int16_t pos : positions) {
        SeriesBuild series;
        if (pos >= 0 && static_cast<size_t>(pos) < channels.size()) {
            const ChannelInfo& channel = channels[static_cast<size_t>(pos)];
            PlotChannelPoints(channel, ScreenedEnd(channel, end), start, static_cast<size_t>(step),
                              series);
        }
        points.push_back(std::move(series.points));
    }
    return points;
}

ViewBuild BuildViews(const std::vector<ChannelInfo>& channels, const RecordingInfo& info,
                     uint32_t pageSize, const BuildProgress& progress) {
    return Build(channels, info, nullptr, pageSize, progress);
}

ViewBuild BuildScreenedViews(const std::vector<ChannelInfo>& channels, const RecordingInfo& info,
                             const ScreeningSelection& selection, uint32_t pageSize,
                             const BuildProgress& progress) {
    return Build(channels, info, &selection, pageSize, progress);
}
