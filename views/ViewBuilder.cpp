#include "views/ViewBuilder.h"

#include "views/SheetCells.h"

#include <cmath>
#include <cstdio>
#include <limits>

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

// Index of the first sample later than the window's end; the scan of a screened channel stops
// there because its times are taken to ascend.
size_t ScreenedEnd(const ChannelInfo& channel, DateTime windowEnd) {
    const size_t n = std::min(channel.times.size(), channel.values.size());
    for (size_t i = 0; i < n; ++i)
        if (CompareTimes(channel.times[i], windowEnd) > 0)
            return i;
    return n;
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
        const size_t n = std::min(channel.times.size(), channel.values.size());
        ChannelSampleRange range{static_cast<int16_t>(pos), n, std::nullopt};
        if (screened) {
            range.end = ScreenedEnd(channel, selection->end);
            range.notBefore = selection->start;
            for (size_t i = 0; i < range.end; ++i)
                decimationCount += CompareTimes(channel.times[i], selection->start) >= 0;
        }
        ranges.push_back(range);
    }
    const auto stride = static_cast<size_t>(DecimationStep(decimationCount));

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
        series.points.reserve(range.end / stride + 16);
        double lastKey = -std::numeric_limits<double>::infinity();
        // i counts every sample of the channel, gap samples included; a sample is plotted
        // when i is a multiple of the step.
        size_t untilPlotted = 0;
        for (size_t i = 0; i < range.end;
             ++i, untilPlotted = untilPlotted == 0 ? stride - 1 : untilPlotted - 1) {
            const DateTime t = channel.times[i];
            if (!std::isfinite(t))
                continue;
            if (range.notBefore && CompareTimes(t, *range.notBefore) < 0)
                continue;
            const float v = channel.values[i];
            PlotPoint point;
            if (IsGapSample(v))
                point = {t, std::numeric_limits<double>::quiet_NaN()};
            else if (untilPlotted == 0)
                point = {t, static_cast<double>(v)};
            else
                continue;
            series.keysAscending = series.keysAscending && t >= lastKey;
            lastKey = t;
            series.points.push_back(point);
        }
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

ViewBuild BuildViews(const std::vector<ChannelInfo>& channels, const RecordingInfo& info,
                     uint32_t pageSize, const BuildProgress& progress) {
    return Build(channels, info, nullptr, pageSize, progress);
}

ViewBuild BuildScreenedViews(const std::vector<ChannelInfo>& channels, const RecordingInfo& info,
                             const ScreeningSelection& selection, uint32_t pageSize,
                             const BuildProgress& progress) {
    return Build(channels, info, &selection, pageSize, progress);
}
