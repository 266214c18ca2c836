#pragma once
// Legend entries of the trend chart: a title line for read-outs, and one entry per series with a
// check box that hides or shows the series. They are part of the chart's own drawing, so a
// picture or printout of the chart shows them as the screen does.
//
// The legend keeps the width the chart sets as its minimum: a longer text breaks into lines
// at its separators (the title at " · ", an entry at its double blanks), so that the
// two-cursor read-out does not narrow the plot. Only a piece wider than the legend widens it.

#include <qcustomplot.h>

#include <QStringList>

// The text in lines no wider than width, broken at the separators; a piece wider than width
// stands on a line of its own.
QStringList WrapAtSeparators(const QString& text, const QString& separator,
                             const QFontMetrics& metrics, int width);

class LegendTitleItem : public QCPAbstractLegendItem {
    Q_OBJECT
public:
    explicit LegendTitleItem(QCPLegend* parent);
    void SetText(const QString& text);
    QString Text() const { return text_; }

protected:
    void draw(QCPPainter* painter) override;
    QSize minimumOuterSizeHint() const override;

private:
    QStringList Lines() const;
    QString text_;
};

class CheckableLegendItem : public QCPPlottableLegendItem {
    Q_OBJECT
public:
    CheckableLegendItem(QCPLegend* parent, QCPAbstractPlottable* plottable);
    // The check box's place, for hit tests.
    QRect CheckBoxRect() const;
    // With each channel on its own scale every entry keeps room before its check box for the
    // marker of the axis channel.
    enum class AxisMarker { None, Room, Marked };
    void SetAxisMarker(AxisMarker marker) { marker_ = marker; }
    AxisMarker GetAxisMarker() const { return marker_; }

protected:
    void draw(QCPPainter* painter) override;
    QSize minimumOuterSizeHint() const override;

private:
    int BoxSize() const;
    int MarkerWidth() const;
    int LineHeight() const;
    // Where the name starts, from the item's left edge.
    int TextOffset() const;
    QStringList NameLines() const;
    AxisMarker marker_ = AxisMarker::None;
};
