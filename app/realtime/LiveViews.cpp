#include "app/realtime/LiveViews.h"

#include "data/DateTime.h"
#include "data/UnitNames.h"
#include "views/SheetCells.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string ValueText(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%0.3f", value);
    return text;
}

} // namespace

std::vector<int16_t> ActiveChannelsOf(const CommSettings& settings) {
    std::vector<int16_t> active;
    for (int k = 0; k < RecorderChannelCount; ++k)
        if (settings.channelEnabled[static_cast<size_t>(k)])
            active.push_back(static_cast<int16_t>(k + 1));
    return active;
}

PanelCell PanelCellOf(size_t position) {
    // Position 15 goes to the first cell; the others fill the grid from the second cell on.
    const size_t cell = (position + 1) % PanelCount;
    return {static_cast<int>(cell / PanelGridColumns), static_cast<int>(cell % PanelGridColumns)};
}

std::string ParityName(int32_t parity) {
    return parity == 0 ? "None" : parity == 1 ? "Odd" : "Even";
}

std::string SummaryLineText(const CommSettings& s, const LiveSnapshot& snapshot) {
    const auto& t = snapshot.timeFields;
    char text[320];
    std::snprintf(text, sizeof text,
                  "Global Figure  Address(0x%02x) Communication parameter(COM:%d Baud rate:%d "
                  "Stop bit:%d Data bits:%d %s)  Time(%04d-%02d-%02d %02d:%02d:%02d)",
                  static_cast<unsigned>(s.address), s.port, s.baudRate, s.stopBits, s.dataBits,
                  ParityName(s.parity).c_str(), 2000 + t[0], t[1], t[2], t[3], t[4], t[5]);
    return text;
}

std::string LiveUnitText(const ChannelConfig& config) {
    return std::string(UnitNameForCode(config.unitCode & 0xFF));
}

std::string LiveSeriesTitle(int16_t channel) {
    char text[32];
    std::snprintf(text, sizeof text, "Channel %02d", channel);
    return text;
}

std::string LiveSeriesValueTitle(const std::string& baseTitle, float value,
                                 const std::string& unit) {
    return baseTitle + " " + ValueText(value) + unit;
}

std::string LiveLegendTitle(DateTime instrumentTime) {
    return "Time:" + FormatDateTime(instrumentTime, ReadoutTimePattern);
}

std::vector<SheetColumn> LiveSheetColumns(std::span<const int16_t> activeChannels,
                                          std::span<const ChannelConfig> configs) {
    constexpr int LiveColumnWidth = 80;
    std::vector<SheetColumn> columns = {{"Serial number", 50}, {"Time", 120}};
    for (const int16_t n : activeChannels) {
        ChannelInfo channel;
        channel.channel = n;
        channel.unit = LiveUnitText(configs[static_cast<size_t>(n - 1)]);
        columns.push_back({ChannelColumnCaption(channel), LiveColumnWidth});
    }
    return columns;
}

PanelTexts PanelTextsOf(int16_t channel, const ChannelConfig& config,
                        const LiveSnapshot& snapshot) {
    const auto k = static_cast<size_t>(channel - 1);
    PanelTexts panel;
    panel.value = ValueText(snapshot.value[k]) + " " + LiveUnitText(config);
    char label[32];
    std::snprintf(label, sizeof label, "Channel %02d", channel);
    panel.channel = label;
    panel.limits = {ValueText(config.upperLimit), ValueText(config.capLimit),
                    ValueText(config.floorLimit), ValueText(config.lowerLimit)};
    panel.alarms = {snapshot.aboveUpper[k], snapshot.aboveCap[k], snapshot.belowFloor[k],
                    snapshot.belowLower[k]};
    return panel;
}

LiveTick MakeLiveTick(const DeviceRecords& records, std::span<const int16_t> activeChannels) {
    const LiveSnapshot& snapshot = records.liveSnapshot;
    LiveTick tick;
    tick.summary = SummaryLineText(records.commSettings, snapshot);
    tick.legendTitle = LiveLegendTitle(snapshot.instrumentTime);
    tick.time = snapshot.instrumentTime;
    for (const int16_t n : activeChannels) {
        const auto k = static_cast<size_t>(n - 1);
        const ChannelConfig& config = records.channelConfig[k];
        tick.panels.push_back(PanelTextsOf(n, config, snapshot));
        tick.values.push_back(snapshot.value[k]);
        tick.seriesTitles.push_back(
            LiveSeriesValueTitle(LiveSeriesTitle(n), snapshot.value[k], LiveUnitText(config)));
    }
    return tick;
}

std::string NoAnswerText(DateTime since) {
    return "No answer since " + FormatDateTime(since, "HH:mm:ss");
}

std::string TickCountsText(long long good, long long failed, long long reopens,
                           long long repeatedClocks) {
    char repeated[64] = "";
    if (repeatedClocks > 0)
        std::snprintf(repeated, sizeof repeated, ", %lld repeated clock%s", repeatedClocks,
                      repeatedClocks == 1 ? "" : "s");
    char text[200];
    std::snprintf(text, sizeof text, "Ticks: %lld good, %lld failed%s; port reopened %lld time%s",
                  good, failed, repeated, reopens, reopens == 1 ? "" : "s");
    return text;
}

std::string LiveStatusText(const LiveRunState& state, bool running) {
    std::string text =
        TickCountsText(state.good, state.failed, state.reopens, state.repeatedClocks);
    if (!state.recordError.empty())
        return text + "; recording stopped: " + state.recordError;
    const std::string archived =
        state.recordArchive.empty()
            ? std::string()
            : (running ? "; recording into " : "; recorded into ") + state.recordArchive;
    const bool recorded = state.recording && !state.recordPath.empty();
    if (state.clockSetBack) {
        const LiveClockSetBack& c = *state.clockSetBack;
        text += "; " + ClockSetBackText(c.from, c.to, running && recorded ? state.recordPath : "");
        if (running || !recorded)
            return text + archived;
    } else if (recorded && running) {
        return text + "; recording to " + state.recordPath + archived;
    }
    return (recorded ? text + "; recorded to " + state.recordPath : text) + archived;
}

void FillLiveRecording(const DeviceRecords& records, std::span<const int16_t> activeChannels,
                       std::vector<ChannelInfo>& channels, SheetRows& rows) {
    const LiveSnapshot& snapshot = records.liveSnapshot;
    channels.clear();
    std::vector<SheetEntry> entries;
    entries.reserve(activeChannels.size());
    for (size_t p = 0; p < activeChannels.size(); ++p) {
        const int16_t n = activeChannels[p];
        const auto k = static_cast<size_t>(n - 1);
        ChannelInfo channel;
        channel.channel = n;
        channel.unit = LiveUnitText(records.channelConfig[k]);
        channel.times = {snapshot.instrumentTime};
        channel.values = {snapshot.value[k]};
        channels.push_back(std::move(channel));
        entries.push_back({static_cast<int16_t>(p), 0});
    }
    rows.Clear();
    rows.AppendRow(snapshot.instrumentTime, entries);
}

size_t LiveSeriesCap(size_t monitoredCount) {
    return LivePointBudget / std::max<size_t>(monitoredCount, 1);
}

void LiveSeriesBook::Reset(size_t seriesCount) {
    series_.assign(seriesCount, {});
    cap_ = LiveSeriesCap(seriesCount);
}

bool LiveSeriesBook::Add(size_t p, DateTime time, double value) {
    Series& s = series_[p];
    // A break counts against the cap, but the axes follow the measured points only.
    if (!std::isnan(value)) {
        if (s.measured++ == 0) {
            s.time = {time, time};
            s.value = {value, value};
        } else {
            s.time = {std::min(s.time.minimum, time), std::max(s.time.maximum, time)};
            s.value = {std::min(s.value.minimum, value), std::max(s.value.maximum, value)};
        }
    }
    if (++s.count <= cap_)
        return false;
    s = {};
    return true;
}

namespace {

template <typename Member> std::optional<LiveRange> Extent(const auto& series, Member member) {
    std::optional<LiveRange> extent;
    for (const auto& s : series) {
        if (s.measured == 0)
            continue;
        const LiveRange& r = s.*member;
        extent = extent ? LiveRange{std::min(extent->minimum, r.minimum),
                                    std::max(extent->maximum, r.maximum)}
                        : r;
    }
    return extent;
}

} // namespace

std::optional<LiveRange> LiveSeriesBook::TimeRange() const {
    return Extent(series_, &Series::time);
}

std::optional<LiveRange> LiveSeriesBook::ValueRange() const {
    return Extent(series_, &Series::value);
}
