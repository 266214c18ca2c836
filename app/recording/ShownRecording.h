#pragma once
// The recording on screen as the window's parts read it: the current recording, the views built
// from it and their state. RecordingViews owns the one instance and alone changes it; the other
// parts get it as a const reference and ask RecordingViews for every change.

#include "data/Recording.h"
#include "views/Paging.h"
#include "views/SheetRows.h"
#include "views/ViewBuilder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QCPGraph;

// One chart series: its base title, its channel's unit and the series the window owns.
struct ChartSeriesInfo {
    std::string title;
    std::string unit; // GBK bytes
    QCPGraph* series = nullptr;
    std::string unitUtf8{};   // the unit as the legend's read-out shows it
    int16_t channel = 0;      // the channel's number
    int16_t channelPos = -1;  // its place in channels
    bool timesAscend = false; // whether the channel's stored times ascend (statistics bisect)
};

struct ShownRecording {
    // The current recording.
    std::vector<ChannelInfo> channels;
    RecordingInfo recordingInfo;
    // The views built from it: the sheet's row index and column map, the chart's series.
    SheetRows Rows;
    std::vector<int16_t> ColumnChannels;
    std::vector<ChartSeriesInfo> SeriesInfos;
    // The sheet's current page.
    PageWindow Page;
    // The narrowest windows the chart may be zoomed to; pending while none is recorded.
    ZoomWindow XZoomStop;
    ZoomWindow YZoomStop;
    bool XZoomStopPending = false;
    bool YZoomStopPending = false;
    // The screening the views were last built with; unset after a load, import or clear.
    std::optional<ScreeningSelection> ShownScreening;
    // Set when a live run starts; cleared when a data file is opened or a CSV file imported.
    bool RealTimeMode = false;
};
