// Comparing and measuring in the trend chart: each channel on its own scale, the measuring
// cursor B with the two-cursor read-out, and the statistics between the cursors. The rules
// live in chart/OwnScales, chart/ChartReadout and views/IntervalStatistics; here they meet the
// window.

#include "app/MainFormUnit.h"
#include "app/StatisticsDlg.h"

#include "app/realtime/LiveViews.h"
#include "chart/ChartReadout.h"
#include "data/Text.h"
#include "device/CommSettingsFile.h"
#include "device/IniFile.h"
#include "views/IntervalStatistics.h"

#include <QAction>

#include <algorithm>

namespace {

// config.ini: [CHART] ownScales=1 draws each channel on its own scale. Off by default.
constexpr const char* ChartSection = "CHART";
constexpr const char* OwnScalesKey = "ownScales";

} // namespace

void TMainForm::ConnectMeasureCommands() {
    connect(OwnScalesMenuItem, &QAction::triggered, this, &TMainForm::OwnScalesMenuItemClick);
    ShowOwnScales(ReadProfileInt(realTime_->ConfigPath(), ChartSection, OwnScalesKey, 0) == 1);

    connect(Chart, &TrendChart::ContextMenuRequested, this, [this](const QPoint& at) {
        contextMenuTime_ = Chart->xAxis->pixelToCoord(Chart->mapFromGlobal(at).x());
        const bool measurable = !Recording().RealTimeMode && !Recording().channels.empty();
        MeasureMenuItem->setEnabled(measurable);
        HideMeasureMenuItem->setEnabled(ChartToolB->Active());
        StatisticsMenuItem->setEnabled(measurable && ChartToolB->Active());
    });
    connect(MeasureMenuItem, &QAction::triggered, this,
            [this] { MeasureFromHere(contextMenuTime_); });
    connect(HideMeasureMenuItem, &QAction::triggered, this, &TMainForm::HideMeasuringCursor);
    connect(StatisticsMenuItem, &QAction::triggered, this, &TMainForm::StatisticsMenuItemClick);

    connect(ChartToolB, &ChartCursorTool::Changed, this, [this] { MeasureReadout(); });
    connect(Chart, &TrendChart::MeasuringCursorToggled, this, [this](bool shown) {
        if (!shown && StatisticsDlg)
            StatisticsDlg->close();
        // Back to the single-cursor read-out, or on to both cursors.
        ChartCursorToolChange(ChartTool->XValue());
    });
    // Hiding or showing a line changes the channels the statistics list.
    connect(Chart, &QCustomPlot::afterReplot, this, [this] {
        if (StatisticsDlg && StatisticsDlg->isVisible())
            UpdateStatistics();
    });
}

void TMainForm::OwnScalesMenuItemClick(bool on) {
    ShowOwnScales(on);
    WriteProfileString(realTime_->ConfigPath(), ChartSection, OwnScalesKey, on ? "1" : "0");
}

void TMainForm::ShowOwnScales(bool on) {
    OwnScalesMenuItem->setChecked(on);
    Chart->SetOwnScales(on);
}

void TMainForm::ApplySeriesScales() {
    if (Recording().RealTimeMode) {
        // The instrument reports no ranges: its alarm limits, widened to the values seen.
        const DeviceRecords& records = realTime_->Records();
        for (size_t p = 0; p < Recording().SeriesInfos.size() && p < ActiveChannels.size(); ++p) {
            const ChannelConfig& config =
                records.channelConfig[static_cast<size_t>(ActiveChannels[p] - 1)];
            Chart->SetSeriesScale(Recording().SeriesInfos[p].series,
                                  liveScales_.Scale(p, config.lowerLimit, config.upperLimit),
                                  QString::fromStdString(AxisChannelTitle(
                                      ActiveChannels[p], GbkToUtf8(LiveUnitText(config)))));
        }
        return;
    }
    // A channel's range fills the value axis as it was built.
    Chart->SetScaleSpan({Chart->yAxis->range().lower, Chart->yAxis->range().upper});
    for (const ChartSeriesInfo& info : Recording().SeriesInfos) {
        const ChannelInfo* channel =
            info.channelPos >= 0 &&
                    static_cast<size_t>(info.channelPos) < Recording().channels.size()
                ? &Recording().channels[static_cast<size_t>(info.channelPos)]
                : nullptr;
        const auto scale =
            channel ? UsableScale(channel->rangeLow, channel->rangeHigh) : std::nullopt;
        Chart->SetSeriesScale(
            info.series, scale,
            QString::fromStdString(AxisChannelTitle(info.channel, info.unitUtf8)));
    }
}

void TMainForm::MeasureFromHere(double time) {
    if (Recording().RealTimeMode || Recording().channels.empty())
        return;
    const QCPRange visible = Chart->xAxis->range();
    Chart->ShowMeasuringCursor(std::clamp(time, visible.lower, visible.upper));
}

void TMainForm::HideMeasuringCursor() {
    Chart->HideMeasuringCursor();
}

void TMainForm::MeasureReadout() {
    if (!ChartToolB->Active())
        return;
    const auto texts =
        ReadOutPair(ChartTool->XValue(), ChartToolB->XValue(), PlottedReadoutSeries(),
                    Recording().recordingInfo.valueMin - 10.0f);
    if (!texts)
        return;
    ShowReadoutTexts(*texts);
    if (StatisticsDlg && StatisticsDlg->isVisible())
        UpdateStatistics();
}

std::vector<std::vector<std::string>> TMainForm::StatisticsRows() const {
    std::vector<std::vector<std::string>> rows;
    DateTime from = std::min(ChartTool->XValue(), ChartToolB->XValue());
    DateTime to = std::max(ChartTool->XValue(), ChartToolB->XValue());
    // Screened views hold only their window's samples.
    if (Recording().ShownScreening) {
        from = std::max(from, Recording().ShownScreening->start);
        to = std::min(to, Recording().ShownScreening->end);
    }
    for (const ChartSeriesInfo& info : Recording().SeriesInfos) {
        if (!info.series->visible() || info.channelPos < 0 ||
            static_cast<size_t>(info.channelPos) >= Recording().channels.size())
            continue;
        const ChannelInfo& channel = Recording().channels[static_cast<size_t>(info.channelPos)];
        const IntervalStatistics s =
            to < from ? IntervalStatistics{} : StatisticsOf(channel, from, to, info.timesAscend);
        rows.push_back(StatisticsCells(info.channel, info.unitUtf8, s));
    }
    return rows;
}

void TMainForm::UpdateStatistics() {
    if (!StatisticsDlg || !ChartToolB->Active())
        return;
    const DateTime a = ChartTool->XValue(), b = ChartToolB->XValue();
    const QString interval =
        QString::fromStdString(FormatDateTime(std::min(a, b), ReadoutTimePattern) + " to " +
                               FormatDateTime(std::max(a, b), ReadoutTimePattern) + "  (\u0394t " +
                               ElapsedText(std::min(a, b), std::max(a, b)) + ")");
    StatisticsDlg->SetContent(interval, StatisticsRows());
}

void TMainForm::StatisticsMenuItemClick() {
    if (Recording().RealTimeMode || Recording().channels.empty() || !ChartToolB->Active())
        return;
    if (!StatisticsDlg)
        StatisticsDlg = new TStatisticsDlg(this);
    UpdateStatistics();
    StatisticsDlg->show();
    StatisticsDlg->raise();
}
