#include "chart/TrendChart.h"

#include "chart/ChartAxisTicker.h"
#include "chart/ChartLegend.h"
#include "chart/ChartNavigation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor WallBorder(0x00, 0x3C, 0x00);
const QColor AxisLine(0x00, 0x41, 0x00);
const QColor TickColour(0x00, 0x96, 0x00);
const QColor LegendFrame(0x00, 0x78, 0x00);

QFont ChartFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    return font;
}

void StyleAxis(QCPAxis* axis) {
    axis->setBasePen(QPen(AxisLine, 2));
    axis->setTickPen(QPen(TickColour, 1));
    axis->setSubTicks(false);
    axis->setTickLengthIn(0);
    axis->setTickLengthOut(4);
    axis->setTickLabelColor(Qt::white);
    axis->setTickLabelFont(ChartFont());
    axis->grid()->setPen(QPen(AxisLine, 1, Qt::SolidLine));
    axis->grid()->setZeroLinePen(QPen(AxisLine, 1, Qt::SolidLine));
    axis->grid()->setSubGridVisible(false);
}

void StyleWall(QCPAxis* axis) {
    axis->setVisible(true);
    axis->setBasePen(QPen(WallBorder, 2));
    axis->setTicks(false);
    axis->setTickLabels(false);
    axis->grid()->setVisible(false);
}

} // namespace

ChartCursorTool::ChartCursorTool(QCustomPlot* plot, QCPLayer* layer, const QPen& pen, Style style)
    : QObject(plot), plot_(plot), vertical_(new QCPItemStraightLine(plot)),
      horizontal_(new QCPItemStraightLine(plot)), pen_(pen), style_(style) {
    for (QCPItemStraightLine* line : {vertical_, horizontal_}) {
        line->setLayer(layer);
        line->setPen(pen);
        line->setSelectable(false);
    }
    Place();
}

void ChartCursorTool::SetXValue(double x) {
    if (x == x_)
        return;
    x_ = x;
    Place();
    emit Changed(x_, y_);
}

void ChartCursorTool::SetYValue(double y) {
    if (y == y_)
        return;
    y_ = y;
    Place();
    emit Changed(x_, y_);
}

void ChartCursorTool::SetActive(bool active) {
    active_ = active;
    Place();
}

void ChartCursorTool::SetStyle(Style style) {
    style_ = style;
    Place();
}

void ChartCursorTool::Place() {
    vertical_->point1->setCoords(x_, 0);
    vertical_->point2->setCoords(x_, 1);
    horizontal_->point1->setCoords(0, y_);
    horizontal_->point2->setCoords(1, y_);
    vertical_->setVisible(HasVertical());
    horizontal_->setVisible(HasHorizontal());
    // Only the cursor layer is painted again, so dragging stays quick with a million points.
    vertical_->layer()->replot();
}

TrendChart::TrendChart(QWidget* parent) : QCustomPlot(parent) {
    setBackground(Qt::black);
    axisRect()->setBackground(Qt::black);
    setNotAntialiasedElements(QCP::aePlottables | QCP::aeGrid | QCP::aeAxes | QCP::aeItems);
    setAutoAddPlottableToLegend(false);

    StyleAxis(xAxis);
    StyleAxis(yAxis);
    StyleWall(xAxis2);
    StyleWall(yAxis2);
    auto timeTicker =
        QSharedPointer<ChartAxisTicker>::create(xAxis, ChartAxisTicker::Labels::DateTime);
    auto valueTicker =
        QSharedPointer<ChartAxisTicker>::create(yAxis, ChartAxisTicker::Labels::WholeNumber);
    timeTicker_ = timeTicker.data();
    valueTicker_ = valueTicker.data();
    xAxis->setTicker(timeTicker);
    yAxis->setTicker(valueTicker);

    legend->setVisible(true);
    legend->setBrush(Qt::black);
    legend->setBorderPen(QPen(LegendFrame, 1));
    legend->setFont(ChartFont());
    legend->setTextColor(Qt::white);
    legend->setIconSize(18, 10);
    legend->setRowSpacing(1);
    legendTitle_ = new LegendTitleItem(legend);
    legend->addItem(legendTitle_);
    // Beside the plot on the right, at the top, rather than over a third of a small screen's
    // plot; wide enough for a read-out title, so read-outs seldom lay the chart out again.
    axisRect()->insetLayout()->take(legend);
    axisRect()->insetLayout()->simplify();
    auto* legendColumn = new QCPLayoutGrid;
    plotLayout()->addElement(0, 1, legendColumn);
    plotLayout()->setColumnStretchFactor(1, 0.001);
    legendColumn->setMargins(QMargins(0, 6, 6, 6));
    legendColumn->addElement(0, 0, legend);
    legendColumn->addElement(1, 0, new QCPLayoutElement(this));
    legendColumn->setRowStretchFactor(0, 0.001);
    legendColumn->setRowSpacing(0);
    legendWidth_ =
        QFontMetrics(ChartFont())
            .horizontalAdvance(QStringLiteral("Longitudinal vernier X: 0000-00-00 00:00:00")) +
        24;
    legend->setMinimumSize(legendWidth_, 0);
    layer(QStringLiteral("legend"))->setMode(QCPLayer::lmBuffered);

    // The outer frame of the chart panel.
    auto* frame = new QCPItemRect(this);
    frame->setClipToAxisRect(false);
    frame->topLeft->setType(QCPItemPosition::ptViewportRatio);
    frame->bottomRight->setType(QCPItemPosition::ptViewportRatio);
    frame->topLeft->setCoords(0, 0);
    frame->bottomRight->setCoords(1, 1);
    frame->setPen(QPen(WallBorder, 4));
    frame->setSelectable(false);

    selectionRect()->setPen(QPen(Qt::yellow, 1));
    selectionRect()->setBrush(Qt::NoBrush);
    setSelectionRectMode(QCP::srmNone);

    addLayer(QStringLiteral("cursors"), layer(QStringLiteral("legend")), QCustomPlot::limBelow);
    cursorLayer_ = layer(QStringLiteral("cursors"));
    cursorLayer_->setMode(QCPLayer::lmBuffered);
    tool_ = new ChartCursorTool(this, cursorLayer_, QPen(QColor(0, 128, 255), 2),
                                ChartCursorTool::Style::Vertical);
    tool2_ = new ChartCursorTool(this, cursorLayer_, QPen(QColor(0, 127, 255), 2),
                                 ChartCursorTool::Style::Horizontal);
    toolB_ = new ChartCursorTool(this, cursorLayer_, QPen(QColor(255, 150, 0), 2),
                                 ChartCursorTool::Style::Vertical);
    connect(yAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this] { FollowSharedRange(); });
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus); // for the keyboard undo

    // Without series the axes have nothing to label; the window of an empty recording would
    // count 1899 dates.
    connect(this, &QCustomPlot::beforeReplot, this, [this] {
        const bool labels = graphCount() > 0;
        xAxis->setTickLabels(labels);
        yAxis->setTickLabels(labels);
    });
}

QSharedPointer<QCPGraphDataContainer> TrendChart::MakeSeriesData(const SeriesBuild& series) {
    QVector<QCPGraphData> points;
    points.reserve(static_cast<qsizetype>(series.points.size()));
    for (const PlotPoint& p : series.points)
        points.append(QCPGraphData(p.key, p.value));
    auto data = QSharedPointer<QCPGraphDataContainer>::create();
    data->set(points, series.keysAscending);
    return data;
}

QCPGraph* TrendChart::AddSeries(const QString& title, const QColor& colour,
                                const QSharedPointer<QCPGraphDataContainer>& data) {
    QCPGraph* graph = addGraph(xAxis, yAxis);
    graph->setName(title);
    graph->setPen(QPen(colour, 1));
    graph->setLineStyle(QCPGraph::lsLine);
    graph->setAdaptiveSampling(true);
    graph->setSelectable(QCP::stNone);
    if (data)
        graph->setData(data);
    legend->addItem(new CheckableLegendItem(legend, graph));
    scales_.push_back({graph, nullptr, {std::nullopt, scaleSpan_}, {}});
    ApplyScales();
    return graph;
}

void TrendChart::RemoveSeries(QCPGraph* series) {
    if (!series)
        return;
    const auto scale = std::find_if(scales_.begin(), scales_.end(),
                                    [series](const SeriesScale& s) { return s.series == series; });
    removeGraph(series);
    if (scale != scales_.end()) {
        if (scale->axis)
            axisRect()->removeAxis(scale->axis);
        scales_.erase(scale);
    }
    if (axisSeries_ == series) {
        axisSeries_ = nullptr;
        ApplyScales();
    }
}

void TrendChart::ShowMeasuringCursor(double time) {
    const bool wasShown = toolB_->Active();
    toolB_->SetActive(true);
    toolB_->SetXValue(time);
    if (!wasShown)
        emit MeasuringCursorToggled(true);
}

void TrendChart::HideMeasuringCursor() {
    if (!toolB_->Active())
        return;
    toolB_->SetActive(false);
    if (drag_.tool == toolB_)
        drag_ = {};
    legend->setMinimumSize(legendWidth_, 0);
    replot(rpQueuedReplot);
    emit MeasuringCursorToggled(false);
}

const TrendChart::SeriesScale* TrendChart::ScaleOf(const QCPGraph* series) const {
    for (const SeriesScale& s : scales_)
        if (s.series == series)
            return &s;
    return nullptr;
}

void TrendChart::SetSeriesScale(QCPGraph* series, std::optional<ZoomWindow> scale,
                                const QString& axisTitle) {
    if (!series)
        return;
    auto it = std::find_if(scales_.begin(), scales_.end(),
                           [series](const SeriesScale& s) { return s.series == series; });
    if (it == scales_.end()) {
        scales_.push_back({series, nullptr, {}, {}});
        it = scales_.end() - 1;
    }
    it->mapping.own = scale;
    it->mapping.span = scaleSpan_;
    it->title = axisTitle;
    if (scale && !it->axis) {
        QCPAxis* axis = axisRect()->addAxis(QCPAxis::atLeft);
        StyleAxis(axis);
        axis->setTicker(
            QSharedPointer<ChartAxisTicker>::create(axis, ChartAxisTicker::Labels::Decimal));
        axis->setVisible(false);
        axis->grid()->setVisible(true); // an added axis comes without its grid
        axis->setLayer(yAxis->layer());
        axis->grid()->setLayer(yAxis->grid()->layer());
        it->axis = axis;
    }
    ApplyScales();
}

void TrendChart::SetScaleSpan(ZoomWindow span) {
    scaleSpan_ = span;
    for (SeriesScale& s : scales_)
        s.mapping.span = span;
    FollowSharedRange();
}

void TrendChart::SetOwnScales(bool on) {
    if (ownScales_ == on)
        return;
    ownScales_ = on;
    ApplyScales();
    replot(rpQueuedReplot);
}

void TrendChart::SetAxisSeries(QCPGraph* series) {
    axisSeries_ = series;
    ApplyScales();
    replot(rpQueuedReplot);
}

double TrendChart::AxisValueOf(double drawn) const {
    const SeriesScale* s = ownScales_ ? ScaleOf(axisSeries_) : nullptr;
    return s ? s->mapping.ToReal(drawn) : drawn;
}

double TrendChart::DrawnOfAxisValue(double value) const {
    const SeriesScale* s = ownScales_ ? ScaleOf(axisSeries_) : nullptr;
    return s ? s->mapping.ToDrawn(value) : value;
}

void TrendChart::ApplyScales() {
    if (!axisSeries_ || !ScaleOf(axisSeries_)) {
        std::vector<bool> shown, hasScale;
        for (const SeriesScale& s : scales_) {
            shown.push_back(s.series->visible());
            hasScale.push_back(s.mapping.Maps());
        }
        const auto pick = DefaultAxisSeries(shown, hasScale);
        axisSeries_ =
            pick ? scales_[*pick].series : (scales_.empty() ? nullptr : scales_[0].series);
    }
    const SeriesScale* axisScale = ScaleOf(axisSeries_);
    bool sharedShown = true;
    for (const SeriesScale& s : scales_) {
        const bool own = ownScales_ && s.axis && s.mapping.Maps();
        s.series->setValueAxis(own ? s.axis : yAxis);
        if (s.axis) {
            const bool shownAxis = own && &s == axisScale;
            s.axis->setVisible(shownAxis);
            if (shownAxis) {
                const QColor colour = s.series->pen().color();
                s.axis->setLabel(s.title);
                s.axis->setLabelColor(colour);
                s.axis->setTickLabelColor(colour);
                s.axis->setLabelFont(ChartFont());
                sharedShown = false;
            }
        }
    }
    yAxis->setVisible(sharedShown);
    // An axis channel without a range of its own reads off the shared axis.
    const bool titled = ownScales_ && axisScale && sharedShown;
    yAxis->setLabel(titled ? axisScale->title : QString());
    yAxis->setLabelColor(titled ? axisScale->series->pen().color() : Qt::white);
    yAxis->setLabelFont(ChartFont());
    for (int i = 0; i < legend->itemCount(); ++i)
        if (auto* item = qobject_cast<CheckableLegendItem*>(legend->item(i)))
            item->SetAxisMarker(!ownScales_ ? CheckableLegendItem::AxisMarker::None
                                : item->plottable() == axisSeries_
                                    ? CheckableLegendItem::AxisMarker::Marked
                                    : CheckableLegendItem::AxisMarker::Room);
    FollowSharedRange();
}

void TrendChart::FollowSharedRange() {
    const ZoomWindow shared{yAxis->range().lower, yAxis->range().upper};
    for (const SeriesScale& s : scales_)
        if (s.axis && s.mapping.Maps()) {
            const ZoomWindow real = s.mapping.RealWindow(shared);
            s.axis->setRange(real.minimum, real.maximum);
        }
}

void TrendChart::ApplyAxis(QCPAxis* axis, ChartAxisTicker* ticker, double minimum, double maximum,
                           double increment) {
    ticker->SetDesiredIncrement(increment);
    if (!std::isfinite(minimum) || !std::isfinite(maximum))
        return;
    if (maximum > minimum && QCPRange::validRange(minimum, maximum)) {
        axis->setRange(minimum, maximum);
    } else {
        // A window without width (an empty recording) still gets a readable axis around it.
        const double half = axis == xAxis ? 5.0 / 86400.0 : 1.0;
        axis->setRange(minimum - half, minimum + half);
    }
}

void TrendChart::SetTimeAxis(double minimum, double maximum, double increment) {
    ApplyAxis(xAxis, timeTicker_, minimum, maximum, increment);
}

void TrendChart::SetValueAxis(double minimum, double maximum, double increment) {
    ApplyAxis(yAxis, valueTicker_, minimum, maximum, increment);
}

void TrendChart::SetTimeIncrement(double increment) {
    timeTicker_->SetDesiredIncrement(increment);
}
void TrendChart::SetValueIncrement(double increment) {
    valueTicker_->SetDesiredIncrement(increment);
}
double TrendChart::TimeIncrement() const {
    return timeTicker_->DesiredIncrement();
}
double TrendChart::ValueIncrement() const {
    return valueTicker_->DesiredIncrement();
}

void TrendChart::ResetAxes() {
    timeTicker_->SetDesiredIncrement(0);
    valueTicker_->SetDesiredIncrement(0);
}

void TrendChart::SetLegendTitle(const QString& text) {
    legendTitle_->SetText(text);
    RefreshLegend();
}

void TrendChart::RefreshLegend() {
    const QSize needed = legend->minimumOuterSizeHint();
    // The set minimum width is all the layout gives the legend: the longer texts of both
    // cursors widen it (and only widen it, so it does not jitter while B is dragged).
    if (needed.width() > legend->minimumSize().width()) {
        legend->setMinimumSize(needed.width(), 0);
        replot(rpQueuedReplot);
        return;
    }
    const QRect laidOut = legend->outerRect();
    if (needed.width() <= laidOut.width() && needed.height() <= laidOut.height())
        legend->layer()->replot();
    else
        replot(rpQueuedReplot);
}

QString TrendChart::LegendTitle() const {
    return legendTitle_->Text();
}

void TrendChart::SetSeriesShown(QCPGraph* series, bool shown) {
    series->setVisible(shown);
    replot(rpQueuedReplot);
}

void TrendChart::SetZoomAllowed(bool allowed) {
    setSelectionRectMode(allowed ? QCP::srmZoom : QCP::srmNone);
}

void TrendChart::SaveRangesOnce() {
    if (!savedRanges_)
        savedRanges_ = std::pair(xAxis->range(), yAxis->range());
}

void TrendChart::UndoZoom() {
    if (savedRanges_) {
        xAxis->setRange(savedRanges_->first);
        yAxis->setRange(savedRanges_->second);
        savedRanges_.reset();
        replot(rpQueuedReplot);
    }
    emit UndoZoomed();
}

void TrendChart::ScrollTimeIntoView(double time) {
    const QCPRange range = xAxis->range();
    if (range.contains(time))
        return;
    SaveRangesOnce();
    xAxis->setRange(time - range.size() / 2, time + range.size() / 2);
    replot(rpQueuedReplot);
    emit Scrolled();
}

TrendChart::Drag TrendChart::CursorAt(const QPoint& pos) const {
    if (!axisRect()->rect().adjusted(-2, -2, 2, 2).contains(pos))
        return {};
    for (ChartCursorTool* tool : {tool_, toolB_, tool2_}) {
        const bool nearX =
            tool->HasVertical() && std::abs(xAxis->coordToPixel(tool->XValue()) - pos.x()) <=
                                       ChartCursorTool::ClickTolerance;
        const bool nearY =
            tool->HasHorizontal() && std::abs(yAxis->coordToPixel(tool->YValue()) - pos.y()) <=
                                         ChartCursorTool::ClickTolerance;
        if (nearX || nearY)
            return {tool, nearX, nearY};
    }
    return {};
}

CheckableLegendItem* TrendChart::LegendItemAt(const QPoint& pos) const {
    if (!legend->visible() || !legend->outerRect().contains(pos))
        return nullptr;
    for (int i = 0; i < legend->itemCount(); ++i)
        if (auto* item = qobject_cast<CheckableLegendItem*>(legend->item(i)))
            if (item->outerRect().contains(pos))
                return item;
    return nullptr;
}

void TrendChart::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->pos();
    if (event->button() == Qt::LeftButton) {
        if (CheckableLegendItem* item = LegendItemAt(pos)) {
            auto* graph = qobject_cast<QCPGraph*>(item->plottable());
            // With own scales a click on the name picks the axis channel; the box still
            // hides or shows the line.
            if (ownScales_ && pos.x() > item->CheckBoxRect().right() + 1)
                SetAxisSeries(graph);
            else
                SetSeriesShown(graph, !item->plottable()->visible());
            return;
        }
        // Shift+drag places the measuring cursor and drags it.
        if ((event->modifiers() & Qt::ShiftModifier) && graphCount() > 0 &&
            selectionRectMode() == QCP::srmZoom && axisRect()->rect().contains(pos)) {
            ShowMeasuringCursor(xAxis->pixelToCoord(pos.x()));
            drag_ = {toolB_, true, false};
            return;
        }
        if (const Drag drag = CursorAt(pos); drag.tool) {
            drag_ = drag;
            return;
        }
    }
    if (event->button() == Qt::RightButton)
        rightPressAt_ = pos;
    if (event->button() == Qt::RightButton && panAllowed_ && axisRect()->rect().contains(pos)) {
        SaveRangesOnce();
        panFrom_ = pos;
        panTimeRange_ = xAxis->range();
        panValueRange_ = yAxis->range();
        return;
    }
    QCustomPlot::mousePressEvent(event);
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->pos();
    if (drag_.tool) {
        const QCPRange xr = xAxis->range(), yr = yAxis->range();
        if (drag_.x)
            drag_.tool->SetXValue(
                DraggedCursorTime(std::clamp(xAxis->pixelToCoord(pos.x()), xr.lower, xr.upper),
                                  {xr.lower, xr.upper}));
        if (drag_.y)
            drag_.tool->SetYValue(std::clamp(yAxis->pixelToCoord(pos.y()), yr.lower, yr.upper));
        return;
    }
    if (panFrom_) {
        const QRect area = axisRect()->rect();
        const double dx = double(pos.x() - panFrom_->x()) / std::max(1, area.width());
        const double dy = double(pos.y() - panFrom_->y()) / std::max(1, area.height());
        xAxis->setRange(panTimeRange_ - dx * panTimeRange_.size());
        yAxis->setRange(panValueRange_ + dy * panValueRange_.size());
        replot(rpQueuedReplot);
        emit Scrolled();
        return;
    }
    if (event->buttons() == Qt::NoButton) {
        const Drag hover = CursorAt(pos);
        if (hover.x && hover.y)
            setCursor(Qt::SizeAllCursor);
        else if (hover.x)
            setCursor(Qt::SizeHorCursor);
        else if (hover.y)
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
    }
    QCustomPlot::mouseMoveEvent(event);
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && rightPressAt_) {
        // A right button that barely moved is a click for the context menu, not a scroll.
        constexpr int ClickSlack = 3;
        const bool click = (event->pos() - *rightPressAt_).manhattanLength() <= ClickSlack;
        rightPressAt_.reset();
        if (click) {
            if (panFrom_) {
                xAxis->setRange(panTimeRange_);
                yAxis->setRange(panValueRange_);
                panFrom_.reset();
            }
            emit ContextMenuRequested(event->globalPosition().toPoint());
            return;
        }
    }
    if (drag_.tool) {
        drag_ = {};
        return;
    }
    if (panFrom_) {
        panFrom_.reset();
        return;
    }
    QCustomPlot::mouseReleaseEvent(event);
}

void TrendChart::mouseDoubleClickEvent(QMouseEvent* event) {
    QCustomPlot::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit DoubleClicked();
}

void TrendChart::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && toolB_->Active()) {
        HideMeasuringCursor();
        return;
    }
    if (ZoomAllowed() &&
        (event->key() == Qt::Key_Backspace || event->matches(QKeySequence::Undo))) {
        UndoZoom();
        return;
    }
    QCustomPlot::keyPressEvent(event);
}

void TrendChart::processRectZoom(QRect rect, QMouseEvent* event) {
    // A click is no rectangle: it would zoom into nothing.
    constexpr int MinRectPixels = 3;
    if (std::abs(rect.width()) < MinRectPixels || std::abs(rect.height()) < MinRectPixels) {
        replot(rpQueuedReplot);
        return;
    }
    // A rectangle dragged towards the left undoes the zoom.
    if (rect.width() < 0) {
        replot(rpQueuedReplot); // removes the rectangle
        UndoZoom();
        return;
    }
    SaveRangesOnce();
    QCustomPlot::processRectZoom(rect, event);
    emit Zoomed();
}
