#include "chart/ChartLegend.h"

namespace {

// The width the legend keeps for an item, margins included: its inner width.
int ItemWidthBudget(const QCPLegend* legend) {
    return legend ? legend->minimumSize().width() : 0;
}

} // namespace

QStringList WrapAtSeparators(const QString& text, const QString& separator,
                             const QFontMetrics& metrics, int width) {
    if (width <= 0 || metrics.horizontalAdvance(text) <= width)
        return {text};
    QStringList lines;
    QString line;
    for (const QString& piece : text.split(separator)) {
        const QString joined = line.isEmpty() ? piece : line + separator + piece;
        if (line.isEmpty() || metrics.horizontalAdvance(joined) <= width) {
            line = joined;
        } else {
            lines << line;
            line = piece;
        }
    }
    lines << line;
    return lines;
}

LegendTitleItem::LegendTitleItem(QCPLegend* parent) : QCPAbstractLegendItem(parent) {
    setSelectable(false);
}

void LegendTitleItem::SetText(const QString& text) {
    if (text_ == text)
        return;
    text_ = text; // the chart lays its legend out again on every replot
}

QStringList LegendTitleItem::Lines() const {
    return WrapAtSeparators(text_, QStringLiteral(" \u00B7 "), QFontMetrics(mFont),
                            ItemWidthBudget(mParentLegend) - mMargins.left() - mMargins.right());
}

void LegendTitleItem::draw(QCPPainter* painter) {
    if (text_.isEmpty())
        return;
    painter->setFont(mFont);
    painter->setPen(QPen(mTextColor));
    painter->drawText(mRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                      Lines().join(QLatin1Char('\n')));
}

QSize LegendTitleItem::minimumOuterSizeHint() const {
    if (text_.isEmpty())
        return {0, 0};
    const QFontMetrics metrics(mFont);
    const QRect bounds =
        metrics.boundingRect(0, 0, 0, 0, Qt::TextDontClip, Lines().join(QLatin1Char('\n')));
    return {bounds.width() + mMargins.left() + mMargins.right(),
            bounds.height() + mMargins.top() + mMargins.bottom()};
}

CheckableLegendItem::CheckableLegendItem(QCPLegend* parent, QCPAbstractPlottable* plottable)
    : QCPPlottableLegendItem(parent, plottable) {
    setSelectable(false);
}

int CheckableLegendItem::BoxSize() const {
    return QFontMetrics(getFont()).ascent();
}

int CheckableLegendItem::MarkerWidth() const {
    return marker_ == AxisMarker::None ? 0 : BoxSize() / 2 + 4;
}

int CheckableLegendItem::LineHeight() const {
    return std::max(QFontMetrics(getFont()).height(), mParentLegend->iconSize().height());
}

int CheckableLegendItem::TextOffset() const {
    const int padding = mParentLegend->iconTextPadding();
    return MarkerWidth() + BoxSize() + padding + mParentLegend->iconSize().width() + padding;
}

QStringList CheckableLegendItem::NameLines() const {
    return WrapAtSeparators(mPlottable->name(), QStringLiteral("  "), QFontMetrics(getFont()),
                            ItemWidthBudget(mParentLegend) - mMargins.left() - mMargins.right() -
                                TextOffset());
}

QRect CheckableLegendItem::CheckBoxRect() const {
    const int box = BoxSize();
    return {mRect.x() + MarkerWidth(), mRect.y() + (LineHeight() - box) / 2, box, box};
}

void CheckableLegendItem::draw(QCPPainter* painter) {
    if (!mPlottable)
        return;
    painter->setFont(getFont());
    const QColor text = getTextColor();
    const QRect box = CheckBoxRect();
    if (marker_ == AxisMarker::Marked) {
        // A small triangle pointing at the entry: this channel's scale is on the value axis.
        const double w = MarkerWidth() - 4, top = box.top(), bottom = box.bottom() + 1;
        const QPointF triangle[] = {{double(mRect.x()), top},
                                    {mRect.x() + w, (top + bottom) / 2},
                                    {double(mRect.x()), bottom}};
        painter->setAntialiasing(true);
        painter->setPen(Qt::NoPen);
        painter->setBrush(mPlottable->pen().color());
        painter->drawPolygon(triangle, 3);
    }
    painter->setAntialiasing(false);
    painter->setPen(QPen(text, 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    if (mPlottable->visible()) {
        painter->setAntialiasing(true);
        QPen tick(text, 2);
        tick.setCapStyle(Qt::RoundCap);
        painter->setPen(tick);
        const QRectF b = QRectF(box).adjusted(2.5, 2.5, -2.5, -2.5);
        const QPointF points[] = {{b.left(), b.center().y()},
                                  {b.left() + b.width() * 0.4, b.bottom()},
                                  {b.right(), b.top()}};
        painter->drawPolyline(points, 3);
        painter->setAntialiasing(false);
    }

    const int padding = mParentLegend->iconTextPadding();
    const QSize iconSize = mParentLegend->iconSize();
    const int lineHeight = LineHeight();
    const QRect icon(box.right() + 1 + padding, mRect.y(), iconSize.width(), lineHeight);
    QPen line = mPlottable->pen();
    line.setWidth(2);
    painter->setPen(line);
    painter->drawLine(QLineF(icon.left(), icon.center().y(), icon.right(), icon.center().y()));

    painter->setPen(QPen(text));
    int top = mRect.y();
    for (const QString& textLine : NameLines()) {
        painter->drawText(QRect(icon.right() + 1 + padding, top, mRect.width(), lineHeight),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, textLine);
        top += lineHeight;
    }
}

QSize CheckableLegendItem::minimumOuterSizeHint() const {
    if (!mPlottable)
        return {};
    const QFontMetrics metrics(getFont());
    const QStringList lines = NameLines();
    int textWidth = 0;
    for (const QString& line : lines)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    const int height = LineHeight() * static_cast<int>(lines.size());
    return {TextOffset() + textWidth + mMargins.left() + mMargins.right(),
            height + mMargins.top() + mMargins.bottom()};
}
