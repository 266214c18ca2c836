// The rules live in chart/OwnScales, chart/ChartReadout and views/IntervalStatistics; here they
// meet the window.

#include "app/measure/Measuring.h"

#include "app/StatisticsDlg.h"
#include "chart/CursorMoveDlg.h"
#include "chart/OwnScales.h"
#include "data/Text.h"
#include "device/IniFile.h"
#include "views/IntervalStatistics.h"

#include <QAction>
#include <QTimer>

#include <algorithm>

namespace {

// config.ini: [CHART] ownScales=1 draws each channel on its own scale. Off by default.
constexpr const char* ChartSection = "CHART";
constexpr const char* OwnScalesKey = "ownScales";

} // namespace

Measuring::Measuring(QWidget* window, TrendChart* chart, const ShownRecording& shown,
                     const WindowDialogs& dialogs, QTimer* timerForAllowZoom,
                     const Actions& actions)
    : window_(window), chart_(chart), shown_(shown), dialogs_(dialogs),
      timerForAllowZoom_(timerForAllowZoom), actions_(actions) {
    ConnectChart();
}

void Measuring::ConnectChart() {
    ChartCursorTool* toolB = chart_->ToolB();
    connect(chart_->Tool(), &ChartCursorTool::Changed, this,
            [this](double x, double) { ChartCursorToolChange(x); });
    connect(chart_, &TrendChart::DoubleClicked, this, &Measuring::OnChartDoubleClick);
    connect(timerForAllowZoom_, &QTimer::timeout, this, &Measuring::OnAllowZoom);
    connect(actions_.ownScales, &QAction::triggered, this, &Measuring::OwnScalesMenuItemClick);

    connect(chart_, &TrendChart::ContextMenuRequested, this, [this, toolB](const QPoint& at) {
        contextMenuTime_ = chart_->xAxis->pixelToCoord(chart_->mapFromGlobal(at).x());
        actions_.measure->setEnabled(Measurable());
        actions_.hideMeasure->setEnabled(toolB->Active());
        actions_.statistics->setEnabled(Measurable() && toolB->Active());
    });
    connect(actions_.measure, &QAction::triggered, this,
            [this] { MeasureFromHere(contextMenuTime_); });
    connect(actions_.hideMeasure, &QAction::triggered, this, &Measuring::HideMeasuringCursor);
    connect(actions_.statistics, &QAction::triggered, this, &Measuring::StatisticsMenuItemClick);

    connect(toolB, &ChartCursorTool::Changed, this, [this] { MeasureReadout(); });
    connect(chart_, &TrendChart::MeasuringCursorToggled, this, [this](bool shown) {
        if (!shown && statistics_)
            statistics_->close();
        // Back to the single-cursor read-out, or on to both cursors.
        ChartCursorToolChange(chart_->Tool()->XValue());
    });
    // Hiding or showing a line changes the channels the statistics list.
    connect(chart_, &QCustomPlot::afterReplot, this, [this] {
        if (statistics_ && statistics_->isVisible())
            UpdateStatistics();
    });
}

bool Measuring::Measurable() const {
    return !shown_.RealTimeMode && !shown_.channels.empty();
}

// Own scales --------------------------------------------------------------------------------

void Measuring::UseConfigFile(const std::string& path) {
    configPath_ = path;
    ShowOwnScales(ReadProfileInt(path, ChartSection, OwnScalesKey, 0) == 1);
}

void Measuring::OwnScalesMenuItemClick(bool on) {
    ShowOwnScales(on);
    WriteProfileString(configPath_, ChartSection, OwnScalesKey, on ? "1" : "0");
}

void Measuring::ShowOwnScales(bool on) {
    actions_.ownScales->setChecked(on);
    chart_->SetOwnScales(on);
}

void Measuring::ApplySeriesScales() {
    // A channel's range fills the value axis as it was built.
    chart_->SetScaleSpan({chart_->yAxis->range().lower, chart_->yAxis->range().upper});
    for (const ChartSeriesInfo& info : shown_.SeriesInfos) {
        const ChannelInfo* channel =
            info.channelPos >= 0 && static_cast<size_t>(info.channelPos) < shown_.channels.size()
                ? &shown_.channels[static_cast<size_t>(info.channelPos)]
                : nullptr;
        const auto scale =
            channel ? UsableScale(channel->rangeLow, channel->rangeHigh) : std::nullopt;
        chart_->SetSeriesScale(
            info.series, scale,
            QString::fromStdString(AxisChannelTitle(info.channel, info.unitUtf8)),
            QString::fromStdString(info.unitUtf8));
    }
}

// The read-out ------------------------------------------------------------------------------

void Measuring::ChartCursorToolChange(double xValue) {
    if (!shown_.RealTimeMode && shown_.channels.empty()) {
        // No recording: a time there reads nothing.
        chart_->SetLegendTitle(QString());
        return;
    }
    if (chart_->ToolB()->Active()) {
        MeasureReadout(); // both cursors' values and their differences
        return;
    }
    if (const auto texts =
            ReadOut(xValue, PlottedReadoutSeries(), shown_.recordingInfo.valueMin - 10.0f))
        ShowReadoutTexts(*texts);
}

std::vector<ReadoutSeries<QCPGraphData>> Measuring::PlottedReadoutSeries() const {
    std::vector<ReadoutSeries<QCPGraphData>> series;
    series.reserve(shown_.SeriesInfos.size());
    for (const ChartSeriesInfo& info : shown_.SeriesInfos) {
        const QCPGraphDataContainer* data = info.series->data().data();
        series.push_back({info.title, info.unitUtf8,
                          data->isEmpty() ? nullptr : &*data->constBegin(),
                          static_cast<size_t>(data->size())});
    }
    return series;
}

void Measuring::ShowReadoutTexts(const ReadoutTexts& texts) {
    for (size_t i = 0; i < shown_.SeriesInfos.size(); ++i)
        shown_.SeriesInfos[i].series->setName(QString::fromStdString(texts.entries[i]));
    chart_->SetLegendTitle(QString::fromStdString(texts.title)); // repaints the legend
}

void Measuring::MeasureReadout() {
    ChartCursorTool* toolB = chart_->ToolB();
    if (!toolB->Active())
        return;
    const auto texts = ReadOutPair(chart_->Tool()->XValue(), toolB->XValue(),
                                   PlottedReadoutSeries(), shown_.recordingInfo.valueMin - 10.0f);
    if (!texts)
        return;
    ShowReadoutTexts(*texts);
    if (statistics_ && statistics_->isVisible())
        UpdateStatistics();
}

// The vernier dialog ------------------------------------------------------------------------

void Measuring::OnChartDoubleClick() {
    TOKBottomDlg* vernier = dialogs_.OKBottomDlg;
    if (!Measurable() || !vernier)
        return;
    ChartCursorTool* tool = chart_->Tool();
    ChartCursorTool* tool2 = chart_->Tool2();
    // No zoom rectangle from the clicks of the double-click or of the dialog's buttons.
    chart_->SetZoomAllowed(false);
    // The lines' values as the value axis shows them: the axis channel's with own scales, in
    // its unit and with decimals, whole numbers on the shared axis.
    vernier->PrepareVernier(tool->XValue(), chart_->AxisValueOf(tool->YValue()),
                            chart_->AxisValueOf(tool2->YValue()), chart_->xAxis->range().lower,
                            chart_->xAxis->range().upper,
                            chart_->AxisValueOf(chart_->yAxis->range().lower),
                            chart_->AxisValueOf(chart_->yAxis->range().upper),
                            chart_->AxisShowsOwnScale() ? OwnScaleDecimals : 0);
    if (vernier->exec() == QDialog::Accepted) {
        tool->SetXValue(vernier->NewXValue);
        tool->SetYValue(chart_->DrawnOfAxisValue(vernier->NewYValue));
        tool2->SetYValue(chart_->DrawnOfAxisValue(vernier->NewY2Value));
        tool->SetActive(true);
        tool->SetStyle(vernier->ShowYFlag ? ChartCursorTool::Style::Both
                                          : ChartCursorTool::Style::Vertical);
        tool2->SetActive(vernier->ShowY2Flag);
    }
    timerForAllowZoom_->start();
}

void Measuring::VernierMenuItemClick() {
    if (!Measurable())
        return;
    // The cursors it places are those of the trend diagram: show them.
    emit ChartWanted();
    OnChartDoubleClick();
}

void Measuring::OnAllowZoom() {
    timerForAllowZoom_->stop();
    chart_->SetZoomAllowed(true);
}

// Cursor B and the statistics ---------------------------------------------------------------

void Measuring::MeasureFromHere(double time) {
    if (!Measurable())
        return;
    chart_->ShowMeasuringCursor(time); // on a whole second of the visible window
}

void Measuring::HideMeasuringCursor() {
    chart_->HideMeasuringCursor();
}

void Measuring::ForgetRecording() {
    chart_->HideMeasuringCursor();
    if (statistics_)
        statistics_->close();
    chart_->SetLegendTitle(QString());
}

std::vector<std::vector<std::string>> Measuring::StatisticsRows() const {
    std::vector<std::vector<std::string>> rows;
    // The interval the legend names: the seconds the cursors show.
    auto [from, to] = ShownInterval(chart_->Tool()->XValue(), chart_->ToolB()->XValue());
    // Screened views hold only their window's samples.
    if (shown_.ShownScreening) {
        from = std::max(from, shown_.ShownScreening->start);
        to = std::min(to, shown_.ShownScreening->end);
    }
    for (const ChartSeriesInfo& info : shown_.SeriesInfos) {
        if (!info.series->visible() || info.channelPos < 0 ||
            static_cast<size_t>(info.channelPos) >= shown_.channels.size())
            continue;
        const ChannelInfo& channel = shown_.channels[static_cast<size_t>(info.channelPos)];
        const IntervalStatistics s =
            to < from ? IntervalStatistics{} : StatisticsOf(channel, from, to, info.timesAscend);
        rows.push_back(StatisticsCells(info.channel, info.unitUtf8, s));
    }
    return rows;
}

void Measuring::UpdateStatistics() {
    if (!statistics_ || !chart_->ToolB()->Active())
        return;
    statistics_->SetContent(chart_->Tool()->XValue(), chart_->ToolB()->XValue(), StatisticsRows());
}

void Measuring::StatisticsMenuItemClick() {
    if (!Measurable() || !chart_->ToolB()->Active())
        return;
    if (!statistics_)
        statistics_ = new TStatisticsDlg(window_);
    UpdateStatistics();
    statistics_->show();
    statistics_->raise();
}
