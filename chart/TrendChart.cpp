#include "chart/TrendChart.h"

#include "chart/ChartAxisTicker.h"
#include "chart/ChartLegend.h"
#include "chart/ChartNavigation.h"

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
    legend->setMinimumSize(
        QFontMetrics(ChartFont())
                .horizontalAdvance(QStringLiteral("Longitudinal vernier X: 0000-00-00 00:00:00")) +
            24,
        0);
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
    return graph;
}

void TrendChart::RemoveSeries(QCPGraph* series) {
    if (series)
        removeGraph(series);
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
    for (ChartCursorTool* tool : {tool_, tool2_}) {
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
            SetSeriesShown(qobject_cast<QCPGraph*>(item->plottable()),
                           !item->plottable()->visible());
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
