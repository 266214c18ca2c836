// Moving about in the trend chart and reading values off it: zoom with its stop, undo, scroll,
// the cursor read-out and the vernier dialog of a double-click.

#include "app/MainFormUnit.h"

#include "chart/ChartNavigation.h"
#include "chart/ChartReadout.h"
#include "chart/CursorMoveDlg.h"

#include <QTimer>

namespace {

ZoomWindow RangeOf(const QCPAxis* axis) {
    return {axis->range().lower, axis->range().upper};
}

void SetRange(QCPAxis* axis, ZoomWindow range) {
    if (RangeOf(axis) != range)
        axis->setRange(range.minimum, range.maximum);
}

} // namespace

void TMainForm::ConnectChartEvents() {
    connect(Chart, &TrendChart::Zoomed, this, &TMainForm::ChartZoom);
    connect(Chart, &TrendChart::UndoZoomed, this, &TMainForm::ChartUndoZoom);
    connect(Chart, &TrendChart::Scrolled, this, &TMainForm::OnChartScroll);
    connect(Chart, &TrendChart::DoubleClicked, this, &TMainForm::OnChartDoubleClick);
    connect(ChartTool, &ChartCursorTool::Changed, this,
            [this](double x, double) { ChartCursorToolChange(x); });
    connect(TimerForAllowZoom, &QTimer::timeout, this, &TMainForm::OnAllowZoom);
}

void TMainForm::ApplyNavigation(const NavigationOutcome& outcome) {
    SetRange(Chart->xAxis, outcome.time);
    SetRange(Chart->yAxis, outcome.value);
    if (outcome.setIncrements) {
        Chart->SetTimeIncrement(outcome.timeIncrement);
        Chart->SetValueIncrement(outcome.valueIncrement);
    }
    // Moving the time cursor or its line reads out again; the second line has no read-out.
    ChartTool->SetXValue(outcome.cursors.x);
    ChartTool->SetYValue(outcome.cursors.y);
    ChartTool2->SetYValue(outcome.cursors.y2);
    Chart->replot(QCustomPlot::rpQueuedReplot);
}

void TMainForm::ChartZoom() {
    if (RealTimeMode || channels.empty())
        return;
    ApplyNavigation(OnZoom(RangeOf(Chart->xAxis), RangeOf(Chart->yAxis),
                           {ChartTool->XValue(), ChartTool->YValue(), ChartTool2->YValue()},
                           {XZoomStop, XZoomStopPending}, {YZoomStop, YZoomStopPending}));
}

void TMainForm::ChartUndoZoom() {
    if (RealTimeMode || channels.empty())
        return;
    ApplyNavigation(OnUndoZoom(RangeOf(Chart->xAxis), RangeOf(Chart->yAxis),
                               {ChartTool->XValue(), ChartTool->YValue(), ChartTool2->YValue()},
                               {XZoomStop, XZoomStopPending}, {YZoomStop, YZoomStopPending}));
}

void TMainForm::OnChartScroll() {
    if (RealTimeMode || channels.empty())
        return;
    ApplyNavigation(OnScroll(RangeOf(Chart->xAxis), RangeOf(Chart->yAxis),
                             {ChartTool->XValue(), ChartTool->YValue(), ChartTool2->YValue()},
                             {XZoomStop, XZoomStopPending}, {YZoomStop, YZoomStopPending}));
}

void TMainForm::ChartCursorToolChange(double xValue) {
    if (ChartToolB && ChartToolB->Active()) {
        MeasureReadout(); // both cursors' values and their differences
        return;
    }
    if (const auto texts = ReadOut(xValue, PlottedReadoutSeries(), recordingInfo.valueMin - 10.0f))
        ShowReadoutTexts(*texts);
}

std::vector<ReadoutSeries<QCPGraphData>> TMainForm::PlottedReadoutSeries() const {
    std::vector<ReadoutSeries<QCPGraphData>> series;
    series.reserve(SeriesInfos.size());
    for (const ChartSeriesInfo& info : SeriesInfos) {
        const QCPGraphDataContainer* data = info.series->data().data();
        series.push_back({info.title, info.unitUtf8,
                          data->isEmpty() ? nullptr : &*data->constBegin(),
                          static_cast<size_t>(data->size())});
    }
    return series;
}

void TMainForm::ShowReadoutTexts(const ReadoutTexts& texts) {
    for (size_t i = 0; i < SeriesInfos.size(); ++i)
        SeriesInfos[i].series->setName(QString::fromStdString(texts.entries[i]));
    Chart->SetLegendTitle(QString::fromStdString(texts.title)); // repaints the legend
}

void TMainForm::OnChartDoubleClick() {
    if (RealTimeMode || channels.empty() || !OKBottomDlg)
        return;
    // No zoom rectangle from the clicks of the double-click or of the dialog's buttons.
    Chart->SetZoomAllowed(false);
    // The lines' values as the value axis shows them: the axis channel's with own scales.
    OKBottomDlg->PrepareVernier(ChartTool->XValue(), Chart->AxisValueOf(ChartTool->YValue()),
                                Chart->AxisValueOf(ChartTool2->YValue()),
                                Chart->xAxis->range().lower, Chart->xAxis->range().upper,
                                Chart->AxisValueOf(Chart->yAxis->range().lower),
                                Chart->AxisValueOf(Chart->yAxis->range().upper));
    if (OKBottomDlg->exec() == QDialog::Accepted) {
        ChartTool->SetXValue(OKBottomDlg->NewXValue);
        ChartTool->SetYValue(Chart->DrawnOfAxisValue(OKBottomDlg->NewYValue));
        ChartTool2->SetYValue(Chart->DrawnOfAxisValue(OKBottomDlg->NewY2Value));
        ChartTool->SetActive(true);
        ChartTool->SetStyle(OKBottomDlg->ShowYFlag ? ChartCursorTool::Style::Both
                                                   : ChartCursorTool::Style::Vertical);
        ChartTool2->SetActive(OKBottomDlg->ShowY2Flag);
    }
    TimerForAllowZoom->start();
}

void TMainForm::VernierMenuItemClick() {
    if (RealTimeMode || channels.empty())
        return;
    // The cursors it places are those of the trend diagram: show them.
    if (CurrentPage != ShownPage::TrendDiagram)
        ChartMenuItemClick();
    OnChartDoubleClick();
}

void TMainForm::OnAllowZoom() {
    TimerForAllowZoom->stop();
    Chart->SetZoomAllowed(true);
}
