#include "chart/TrendChart.h"

#include "chart/ChartAxisTicker.h"
#include "chart/ChartLegend.h"
#include "chart/ChartNavigation.h"

#include <QHelpEvent>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor WallBorder(0x00, 0x3C, 0x00);
const QColor AxisLine(0x00, 0x41, 0x00);
const QColor TickColour(0x00, 0x96, 0x00);
const QColor LegendFrame(0x00, 0x78, 0x00);
const QColor FileMarkColour(0x70, 0x70, 0x70);
constexpr int FileMarkTolerance = 4; // pixels either side of a file mark for its tool tip

// The colour to draw text in so that, once the picture is inverted for paper, it reads on white.
QColor PaperReadable(const QColor& colour) {
    const RgbColour paper =
        ReadableOnWhite(InvertedColour({colour.red(), colour.green(), colour.blue()}));
    const RgbColour drawn = InvertedColour(paper);
    return QColor(drawn.red, drawn.green, drawn.blue);
}

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
    scales_.push_back({graph, nullptr, {std::nullopt, scaleSpan_}, {}, title, {}});
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
    // A chart without series starts over with the legend's width for the single read-out.
    if (graphCount() == 0)
        legend->setMinimumSize(legendWidth_, 0);
}

void TrendChart::ShowMeasuringCursor(double time) {
    const bool wasShown = toolB_->Active();
    toolB_->SetActive(true);
    // On a whole second of the visible window, as a dragged cursor settles.
    toolB_->SetXValue(PlacedCursorTime(time, {xAxis->range().lower, xAxis->range().upper}));
    if (!wasShown)
        emit MeasuringCursorToggled(true);
}

void TrendChart::HideMeasuringCursor() {
    if (!toolB_->Active())
        return;
    toolB_->SetActive(false);
    if (drag_.tool == toolB_)
        drag_ = {};
    // The legend keeps its width, and the plot with it.
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
                                const QString& axisTitle, const QString& unit) {
    if (!series)
        return;
    auto it = std::find_if(scales_.begin(), scales_.end(),
                           [series](const SeriesScale& s) { return s.series == series; });
    if (it == scales_.end()) {
        scales_.push_back({series, nullptr, {}, {}, series->name(), {}});
        it = scales_.end() - 1;
    }
    it->mapping.own = scale;
    it->mapping.span = scaleSpan_;
    it->title = axisTitle;
    it->unit = unit;
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
    ChangeAxisSeries(series);
    replot(rpQueuedReplot);
}

void TrendChart::ChangeAxisSeries(QCPGraph* series) {
    // With own scales a line stands for a value in the axis channel's unit: it keeps that
    // value on the next channel's scale rather than its place on the screen.
    const bool keepValues = ownScales_;
    const double y = AxisValueOf(tool_->YValue()), y2 = AxisValueOf(tool2_->YValue());
    axisSeries_ = series;
    ApplyScales();
    if (!keepValues)
        return;
    const ZoomWindow shown{yAxis->range().lower, yAxis->range().upper};
    tool_->SetYValue(FixTimeCursorY(DrawnOfAxisValue(y), shown));
    tool2_->SetYValue(FixSecondLineY(DrawnOfAxisValue(y2), shown));
}

bool TrendChart::AxisShowsOwnScale() const {
    const SeriesScale* s = ownScales_ ? ScaleOf(axisSeries_) : nullptr;
    return s && s->axis && s->mapping.Maps();
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
    // The unit of the series on the shared axis, when they all have the same.
    std::optional<QString> sharedUnit;
    bool mixedUnits = false;
    for (const SeriesScale& s : scales_) {
        const bool own = ownScales_ && s.axis && s.mapping.Maps();
        s.series->setValueAxis(own ? s.axis : yAxis);
        if (!own) {
            mixedUnits = mixedUnits || (sharedUnit && *sharedUnit != s.unit);
            sharedUnit = s.unit;
        }
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
    // An axis channel without a range of its own reads off the shared axis, which carries
    // every such channel: it is titled as the shared scale and no entry is marked.
    QString sharedTitle;
    if (ownScales_ && sharedShown && !scales_.empty()) {
        sharedTitle = QString::fromUtf8(SharedScaleTitle.data(),
                                        static_cast<qsizetype>(SharedScaleTitle.size()));
        if (sharedUnit && !mixedUnits && !sharedUnit->isEmpty())
            sharedTitle += QStringLiteral(" (%1)").arg(*sharedUnit);
    }
    yAxis->setLabel(sharedTitle);
    yAxis->setLabelColor(Qt::white);
    yAxis->setLabelFont(ChartFont());
    for (int i = 0; i < legend->itemCount(); ++i)
        if (auto* item = qobject_cast<CheckableLegendItem*>(legend->item(i)))
            item->SetAxisMarker(!ownScales_ ? CheckableLegendItem::AxisMarker::None
                                : !sharedShown && item->plottable() == axisSeries_
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
    // The set minimum width (of the legend's inside) is all the layout gives the legend: the
    // texts break into lines within it, and only a piece wider than it widens it (and only
    // widens it, so it does not jitter while a cursor is dragged).
    const int neededInside = needed.width() - legend->margins().left() - legend->margins().right();
    if (neededInside > legend->minimumSize().width()) {
        legend->setMinimumSize(neededInside, 0);
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
    if (!shown && series == axisSeries_) {
        // The value axis shows no scale of a line that is not drawn.
        std::vector<bool> visible;
        size_t hidden = 0;
        for (size_t i = 0; i < scales_.size(); ++i) {
            visible.push_back(scales_[i].series->visible());
            if (scales_[i].series == series)
                hidden = i;
        }
        if (const auto next = NextShownSeries(visible, hidden))
            ChangeAxisSeries(scales_[*next].series);
    }
    ApplyScales(); // the legend's axis marker follows
    replot(rpQueuedReplot);
}

void TrendChart::DressForPicture(PictureUse use) {
    UndressPicture();
    PictureDressing dressing;
    if (ownScales_) {
        const ZoomWindow shared{yAxis->range().lower, yAxis->range().upper};
        for (const SeriesScale& s : scales_) {
            if (!s.series->visible())
                continue;
            const bool own = s.axis && s.mapping.Maps();
            auto* line = new LegendTitleItem(legend);
            line->SetText(QString::fromStdString(
                ScaleRangeText(s.name.toStdString(), own ? s.mapping.RealWindow(shared) : shared,
                               s.unit.toStdString())));
            legend->addItem(line);
            dressing.scaleLines.push_back(line);
        }
    }
    if (use == PictureUse::Paper)
        for (QCPAxis* axis : axisRect()->axes(QCPAxis::atLeft)) {
            if (!axis->visible())
                continue;
            dressing.axisColours.push_back({axis, {axis->labelColor(), axis->tickLabelColor()}});
            axis->setLabelColor(PaperReadable(axis->labelColor()));
            axis->setTickLabelColor(PaperReadable(axis->tickLabelColor()));
        }
    dressing_ = std::move(dressing);
}

void TrendChart::UndressPicture() {
    if (!dressing_)
        return;
    for (QCPAbstractLegendItem* line : dressing_->scaleLines)
        legend->removeItem(line);
    for (const auto& [axis, colours] : dressing_->axisColours) {
        axis->setLabelColor(colours.first);
        axis->setTickLabelColor(colours.second);
    }
    dressing_.reset();
    replot(rpQueuedReplot);
}

void TrendChart::SetFileMarks(const std::vector<FileMark>& marks) {
    for (const auto& mark : fileMarks_)
        removeItem(mark.first);
    fileMarks_.clear();
    for (const FileMark& mark : marks) {
        auto* line = new QCPItemStraightLine(this);
        line->setPen(QPen(FileMarkColour, 1, Qt::DotLine));
        line->setSelectable(false);
        line->point1->setCoords(mark.time, 0);
        line->point2->setCoords(mark.time, 1);
        fileMarks_.push_back({line, mark.name});
    }
    replot(rpQueuedReplot);
}

QString TrendChart::FileMarkAt(const QPoint& pos) const {
    if (!axisRect()->rect().contains(pos))
        return {};
    for (const auto& [line, name] : fileMarks_)
        if (std::abs(xAxis->coordToPixel(line->point1->coords().x()) - pos.x()) <=
            FileMarkTolerance)
            return name;
    return {};
}

bool TrendChart::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString name = FileMarkAt(help->pos());
        if (name.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), name, this);
        return true;
    }
    return QCustomPlot::event(event);
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
