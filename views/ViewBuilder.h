#pragma once
// Builds the data sheet's columns and row index and the trend chart's series, axes and cursor
// places from a recording. Runs on the worker of a load, import or screening; the window applies
// the result on the user-interface thread.

#include "data/Recording.h"
#include "views/Paging.h"
#include "views/SheetRows.h"

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Series colours by channel position (0xRRGGBB); the chart's background is black, hence white
// first. Positions from 16 on reuse the table from its start.
extern const std::array<uint32_t, 16> ChannelColours;
uint32_t ChannelColour(size_t position);

// A time window narrower than 10 seconds counts as narrow for the zoom stop.
constexpr double MinXSpan = 1.0 / 8640.0;
constexpr double MinYSpan = 0.01;

// Every step-th sample of a channel is plotted, so that about one million points are drawn.
int DecimationStep(long long sampleCount);

struct ZoomWindow {
    double minimum = 0;
    double maximum = 0;
    friend bool operator==(const ZoomWindow&, const ZoomWindow&) = default;
};

// The time zoom stop a build records: the whole window when it is narrower than MinXSpan by
// a millisecond or more.
std::optional<ZoomWindow> InitialTimeZoomStop(DateTime start, DateTime end);

struct SheetColumn {
    std::string caption; // GBK bytes
    int width = 0;
};

struct PlotPoint {
    double key;   // date-time
    double value; // NaN for a gap sample's null point, which breaks the line
};

struct SeriesBuild {
    std::string title;
    std::string unit;
    int16_t channelPos = 0;
    uint32_t colour = 0;
    std::vector<PlotPoint> points; // in the channel's stored order
    bool keysAscending = true;
    int16_t channel = 0; // the channel's number
    // The channel's instrument range (NaN when the recording has none).
    double rangeLow = std::numeric_limits<double>::quiet_NaN();
    double rangeHigh = std::numeric_limits<double>::quiet_NaN();
};

// The points of a series over samples [0, end) of a channel, those earlier than notBefore (by
// CompareTimes) left out: a sample whose index in the channel is a multiple of stride, and every
// gap sample as a null point; appended to series.points in stored order.
void PlotChannelPoints(const ChannelInfo& channel, size_t end, std::optional<DateTime> notBefore,
                       size_t stride, SeriesBuild& series);

struct AxisSetting {
    double minimum = 0;
    double maximum = 0;
    double increment = 0; // desired label increment
};

struct ViewBuild {
    std::vector<SheetColumn> columns; // "Serial number", "Time", then one per channel column
    std::vector<int16_t> columnChannels;
    SheetRows rows;
    std::vector<SeriesBuild> series;
    int step = 1; // the series plot every step-th sample
    PageWindow page;
    PageButtons pageButtons;
    bool enableFilterButton = false;
    AxisSetting timeAxis;
    AxisSetting valueAxis;
    // Gap samples sit at this level (valueMin - 10, the bottom of the value axis).
    double nullLevel = 0;
    std::optional<ZoomWindow> xZoomStop;
    DateTime timeCursorX = 0;
    double timeCursorY = 0;
    double secondLineY = 0;
};

struct BuildProgress {
    std::function<void(int)> setMax;
    std::function<void(int)> step;
};

// What a screening selects: the window [start, end], both ends inclusive within 1 ms, and the
// channels whose flag (index channel number - 1) is set. Channels numbered outside 1..16 (only
// an import can give them) have no flag and always stay.
struct ScreeningSelection {
    DateTime start = 0;
    DateTime end = 0;
    std::array<bool, 16> channelFlags{};
    bool Selects(int16_t channelNumber) const;
};

// Detail on zoom: the decimation step a screening of the window [start, end] with the channels
// at `positions` would take (from the samples in the window, gap samples included), and the
// points it would plot for each of them, in the order of positions.
int ScreenedWindowStep(const std::vector<ChannelInfo>& channels, std::span<const int16_t> positions,
                       DateTime start, DateTime end);
std::vector<std::vector<PlotPoint>> PlotScreenedWindow(const std::vector<ChannelInfo>& channels,
                                                       std::span<const int16_t> positions,
                                                       DateTime start, DateTime end, int step);

ViewBuild BuildViews(const std::vector<ChannelInfo>& channels, const RecordingInfo& info,
                     uint32_t pageSize, const BuildProgress& progress = {});
ViewBuild BuildScreenedViews(const std::vector<ChannelInfo>& channels, const RecordingInfo& info,
                             const ScreeningSelection& selection, uint32_t pageSize,
                             const BuildProgress& progress = {});
