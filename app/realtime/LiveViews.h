#pragma once
// What the real-time monitor shows, computed without a window: the monitored channels and the
// panel each one gets on the Global figure page, the summary line, the panel, legend, series
// and sheet texts of a tick, the single-row recording of a tick, and the cap that keeps the
// live series near 1,200,000 points in all. Texts are GBK bytes like every text of the
// recording; the window converts them for display.

#include "data/LiveRecord.h"
#include "data/Recording.h"
#include "device/ModbusRtuImpl.h"
#include "views/SheetRows.h"
#include "views/ViewBuilder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Channel numbers (1-16) selected for monitoring, ascending. A channel's index in this list is
// its position in the live views.
std::vector<int16_t> ActiveChannelsOf(const CommSettings& settings);

// The Global figure page holds 16 panels in three rows of six, six and four. They are filled
// starting at row 0 column 1 through the end of row 0, then rows 1 and 2, and row 0 column 0
// last.
constexpr int PanelCount = 16;
constexpr int PanelGridColumns = 6;
struct PanelCell {
    int row = 0;    // 0-2
    int column = 0; // 0-5
    friend bool operator==(const PanelCell&, const PanelCell&) = default;
};
PanelCell PanelCellOf(size_t position);

// "None", "Odd" or "Even" (anything but 0 and 1).
std::string ParityName(int32_t parity);
// "Global Figure  Address(0x..) Communication parameter(...)  Time(...)".
std::string SummaryLineText(const CommSettings& settings, const LiveSnapshot& snapshot);

// The unit text of a live channel: the low 8 bits of its unit code, codes above 94 giving
// the catch-all entry.
std::string LiveUnitText(const ChannelConfig& config);

// "Channel 03": the base title of a live series.
std::string LiveSeriesTitle(int16_t channel);
// "Channel 03 25.300℃": the base title, a blank, the value and the unit.
std::string LiveSeriesValueTitle(const std::string& baseTitle, float value,
                                 const std::string& unit);
// "Time:" and the instrument's clock, the legend's headline during a run.
std::string LiveLegendTitle(DateTime instrumentTime);

// The data sheet's columns during a run: "Serial number", "Time", then "Channel %d(%s)" per
// monitored channel, 80 wide.
std::vector<SheetColumn> LiveSheetColumns(std::span<const int16_t> activeChannels,
                                          std::span<const ChannelConfig> configs);

// What one panel shows.
enum AlarmIndicator {
    AboveUpperIndicator,
    AboveCapIndicator,
    BelowFloorIndicator,
    BelowLowerIndicator,
    AlarmIndicatorCount
};
struct PanelTexts {
    std::string value;                              // "%0.3f %s": value and unit
    std::string channel;                            // "Channel %0.2d"
    std::array<std::string, 4> limits;              // Upper, Cap, Floor, Lower as "%0.3f"
    std::array<bool, AlarmIndicatorCount> alarms{}; // raised: the indicator shows red
    bool AnyAlarm() const { return alarms[0] || alarms[1] || alarms[2] || alarms[3]; }
};
PanelTexts PanelTextsOf(int16_t channel, const ChannelConfig& config, const LiveSnapshot& snapshot);

// One tick of the views, by position of the monitored channels.
struct LiveTick {
    std::string summary;
    std::string legendTitle;
    DateTime time = 0;
    std::vector<PanelTexts> panels;
    std::vector<float> values;
    std::vector<std::string> seriesTitles; // with value and unit
};
LiveTick MakeLiveTick(const DeviceRecords& records, std::span<const int16_t> activeChannels);

// The lost-contact indication: "No answer since 10:08:24" with the local time of the first
// read that went unanswered.
std::string NoAnswerText(DateTime since);
// The run's counts for the status line: "Ticks: 120 good, 3 failed; port reopened 0 times",
// with ", 2 repeated clocks" after the failed ticks when there are any.
std::string TickCountsText(long long good, long long failed, long long reopens,
                           long long repeatedClocks = 0);

// The run's counts and record after a tick, as the poller left them.
struct LiveRunState {
    long long good = 0; // ticks with a valid reply, repeated clocks included
    long long failed = 0;
    long long repeatedClocks = 0;
    long long reopens = 0;
    bool recording = false;
    std::string recordPath;  // the file being written, or the last one of the run
    std::string recordError; // set when a write failed and recording stopped
    std::optional<LiveClockSetBack> clockSetBack; // the run's last clock correction
    std::string recordArchive; // the archive the run records into ("archive:NAME (db)")
};
// The status line of a run (running) or of the run that ended: the counts, then where it
// records ("; recording to PATH", "; recorded to PATH"), why it stopped recording, or its last
// clock correction ("; Instrument clock set back from ... to ...; recording goes on in PATH"),
// then "; recording into archive:NAME (db)" or "; recorded into ..." for a run into the archive.
// Paths are as the file system has them.
std::string LiveStatusText(const LiveRunState& state, bool running);

// The recording of a tick: one channel per monitored channel holding the latest sample, and a
// single sheet row naming them all.
void FillLiveRecording(const DeviceRecords& records, std::span<const int16_t> activeChannels,
                       std::vector<ChannelInfo>& channels, SheetRows& rows);

// Points one live series may hold: 1,200,000 / (number of monitored channels).
constexpr size_t LivePointBudget = 1'200'000;
size_t LiveSeriesCap(size_t monitoredCount);

struct LiveRange {
    double minimum = 0;
    double maximum = 0;
    friend bool operator==(const LiveRange&, const LiveRange&) = default;
};

// Keeps count of the points of the live series, empties a series when it passes its cap, and
// knows the extent of all points, which the automatically scaled axes follow. Points are only
// appended or dropped all at once, so the extent is kept as running bounds.
class LiveSeriesBook {
public:
    void Reset(size_t seriesCount);
    // Counts a point added to series p. True when the series now holds more points than its
    // cap: the caller empties it and the book counts it as empty. A break (a NaN value)
    // counts as a point but widens no range.
    bool Add(size_t p, DateTime time, double value);
    size_t PointCount(size_t p) const { return series_[p].count; }
    size_t SeriesCount() const { return series_.size(); }
    std::optional<LiveRange> TimeRange() const;
    std::optional<LiveRange> ValueRange() const;

private:
    struct Series {
        size_t count = 0;
        size_t measured = 0; // points that are not breaks
        LiveRange time, value;
    };
    std::vector<Series> series_;
    size_t cap_ = LivePointBudget;
};
