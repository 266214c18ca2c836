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
#include <QMenu>
#include <QToolBar>

#include <algorithm>

namespace {

// config.ini: [CHART] ownScales=1 draws each channel on its own scale. Off by default.
constexpr const char* ChartSection = "CHART";
constexpr const char* OwnScalesKey = "ownScales";

} // namespace

void TMainForm::CreateMeasureCommands() {
    ChartToolB = Chart->ToolB();
    OwnScalesMenuItem = new QAction(QStringLiteral("Each channel on its own scale"), this);
    OwnScalesMenuItem->setCheckable(true);
    OwnScalesMenuItem->setIcon(QIcon(QStringLiteral(":/icons/scales.svg")));
    OwnScalesMenuItem->setToolTip(QStringLiteral("Each channel on its own scale"));
    ViewMenu->addSeparator();
    ViewMenu->addAction(OwnScalesMenuItem);
    ToolBar->addAction(OwnScalesMenuItem);
    ToolBar->addSeparator();
    connect(OwnScalesMenuItem, &QAction::triggered, this, &TMainForm::OwnScalesMenuItemClick);
    ShowOwnScales(ReadProfileInt(realTime_->ConfigPath(), ChartSection, OwnScalesKey, 0) == 1);

    MeasureMenuItem = new QAction(QStringLiteral("Measure from here"), this);
    HideMeasureMenuItem = new QAction(QStringLiteral("Hide measuring cursor"), this);
    StatisticsMenuItem = new QAction(QStringLiteral("Statistics A\u2013B\u2026"), this);
    ChartPopupMenu->addSeparator();
    ChartPopupMenu->addActions({MeasureMenuItem, HideMeasureMenuItem, StatisticsMenuItem});
    connect(Chart, &TrendChart::ContextMenuRequested, this, [this](const QPoint& at) {
        contextMenuTime_ = Chart->xAxis->pixelToCoord(Chart->mapFromGlobal(at).x());
        const bool measurable = !RealTimeMode && !channels.empty();
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
    if (RealTimeMode) {
        // The instrument reports no ranges: its alarm limits, widened to the values seen.
        const DeviceRecords& records = realTime_->Records();
        for (size_t p = 0; p < SeriesInfos.size() && p < ActiveChannels.size(); ++p) {
            const ChannelConfig& config =
                records.channelConfig[static_cast<size_t>(ActiveChannels[p] - 1)];
            Chart->SetSeriesScale(SeriesInfos[p].series,
                                  liveScales_.Scale(p, config.lowerLimit, config.upperLimit),
                                  QString::fromStdString(AxisChannelTitle(
                                      ActiveChannels[p], GbkToUtf8(LiveUnitText(config)))));
        }
        return;
    }
    // A channel's range fills the value axis as it was built.
    Chart->SetScaleSpan({Chart->yAxis->range().lower, Chart->yAxis->range().upper});
    for (const ChartSeriesInfo& info : SeriesInfos) {
        const ChannelInfo* channel =
            info.channelPos >= 0 && static_cast<size_t>(info.channelPos) < channels.size()
                ? &channels[static_cast<size_t>(info.channelPos)]
                : nullptr;
        const auto scale =
            channel ? UsableScale(channel->rangeLow, channel->rangeHigh) : std::nullopt;
        Chart->SetSeriesScale(
            info.series, scale,
            QString::fromStdString(AxisChannelTitle(info.channel, info.unitUtf8)));
    }
}

void TMainForm::MeasureFromHere(double time) {
    if (RealTimeMode || channels.empty())
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
    const auto texts = ReadOutPair(ChartTool->XValue(), ChartToolB->XValue(),
                                   PlottedReadoutSeries(), recordingInfo.valueMin - 10.0f);
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
    if (ShownScreening) {
        from = std::max(from, ShownScreening->start);
        to = std::min(to, ShownScreening->end);
    }
    for (const ChartSeriesInfo& info : SeriesInfos) {
        if (!info.series->visible() || info.channelPos < 0 ||
            static_cast<size_t>(info.channelPos) >= channels.size())
            continue;
        const ChannelInfo& channel = channels[static_cast<size_t>(info.channelPos)];
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
    if (RealTimeMode || channels.empty() || !ChartToolB->Active())
        return;
    if (!StatisticsDlg)
        StatisticsDlg = new TStatisticsDlg(this);
    UpdateStatistics();
    StatisticsDlg->show();
    StatisticsDlg->raise();
}
