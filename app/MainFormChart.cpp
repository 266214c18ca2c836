// Reading values off the trend chart: the cursor read-out and the vernier dialog of a
// double-click.

#include "app/MainFormUnit.h"

#include "chart/ChartReadout.h"
#include "chart/CursorMoveDlg.h"

#include <QTimer>

void TMainForm::ConnectChartEvents() {
    connect(Chart, &TrendChart::DoubleClicked, this, &TMainForm::OnChartDoubleClick);
    connect(ChartTool, &ChartCursorTool::Changed, this,
            [this](double x, double) { ChartCursorToolChange(x); });
    connect(TimerForAllowZoom, &QTimer::timeout, this, &TMainForm::OnAllowZoom);
}

void TMainForm::ChartCursorToolChange(double xValue) {
    if (ChartToolB && ChartToolB->Active()) {
        MeasureReadout(); // both cursors' values and their differences
        return;
    }
    if (const auto texts =
            ReadOut(xValue, PlottedReadoutSeries(), Recording().recordingInfo.valueMin - 10.0f))
        ShowReadoutTexts(*texts);
}

std::vector<ReadoutSeries<QCPGraphData>> TMainForm::PlottedReadoutSeries() const {
    std::vector<ReadoutSeries<QCPGraphData>> series;
    series.reserve(Recording().SeriesInfos.size());
    for (const ChartSeriesInfo& info : Recording().SeriesInfos) {
        const QCPGraphDataContainer* data = info.series->data().data();
        series.push_back({info.title, info.unitUtf8,
                          data->isEmpty() ? nullptr : &*data->constBegin(),
                          static_cast<size_t>(data->size())});
    }
    return series;
}

void TMainForm::ShowReadoutTexts(const ReadoutTexts& texts) {
    for (size_t i = 0; i < Recording().SeriesInfos.size(); ++i)
        Recording().SeriesInfos[i].series->setName(QString::fromStdString(texts.entries[i]));
    Chart->SetLegendTitle(QString::fromStdString(texts.title)); // repaints the legend
}

void TMainForm::OnChartDoubleClick() {
    if (Recording().RealTimeMode || Recording().channels.empty() || !dialogs_.OKBottomDlg)
        return;
    // No zoom rectangle from the clicks of the double-click or of the dialog's buttons.
    Chart->SetZoomAllowed(false);
    // The lines' values as the value axis shows them: the axis channel's with own scales.
    dialogs_.OKBottomDlg->PrepareVernier(
        ChartTool->XValue(), Chart->AxisValueOf(ChartTool->YValue()),
        Chart->AxisValueOf(ChartTool2->YValue()), Chart->xAxis->range().lower,
        Chart->xAxis->range().upper, Chart->AxisValueOf(Chart->yAxis->range().lower),
        Chart->AxisValueOf(Chart->yAxis->range().upper));
    if (dialogs_.OKBottomDlg->exec() == QDialog::Accepted) {
        ChartTool->SetXValue(dialogs_.OKBottomDlg->NewXValue);
        ChartTool->SetYValue(Chart->DrawnOfAxisValue(dialogs_.OKBottomDlg->NewYValue));
        ChartTool2->SetYValue(Chart->DrawnOfAxisValue(dialogs_.OKBottomDlg->NewY2Value));
        ChartTool->SetActive(true);
        ChartTool->SetStyle(dialogs_.OKBottomDlg->ShowYFlag ? ChartCursorTool::Style::Both
                                                            : ChartCursorTool::Style::Vertical);
        ChartTool2->SetActive(dialogs_.OKBottomDlg->ShowY2Flag);
    }
    TimerForAllowZoom->start();
}

void TMainForm::VernierMenuItemClick() {
    if (Recording().RealTimeMode || Recording().channels.empty())
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
