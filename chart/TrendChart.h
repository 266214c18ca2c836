#pragma once
// The trend diagram: QCustomPlot dressed as the recorder's chart (black walls, green frame and
// grid, white labels), line series with a check-box legend beside the plot, the two cursor
// tools, rectangle zoom with undo (a rectangle dragged to the left, Backspace or Ctrl+Z) and
// panning with the right mouse button. An empty chart shows no tick labels.

#include "chart/OwnScales.h"
#include "views/ViewBuilder.h"

#include <qcustomplot.h>

#include <optional>

class CheckableLegendItem;
class LegendTitleItem;
class ChartAxisTicker;

// A cursor tool: a vertical line at X, a horizontal line at Y, or both, draggable with the
// mouse within a 10-pixel tolerance.
class ChartCursorTool : public QObject {
    Q_OBJECT
public:
    enum class Style { Vertical, Horizontal, Both };
    static constexpr int ClickTolerance = 10;

    ChartCursorTool(QCustomPlot* plot, QCPLayer* layer, const QPen& pen, Style style);

    double XValue() const { return x_; }
    double YValue() const { return y_; }
    // Moving a line to another value repaints it and reports the change.
    void SetXValue(double x);
    void SetYValue(double y);
    bool Active() const { return active_; }
    void SetActive(bool active);
    Style GetStyle() const { return style_; }
    void SetStyle(Style style);
    QPen Pen() const { return pen_; }

    bool HasVertical() const { return active_ && style_ != Style::Horizontal; }
    bool HasHorizontal() const { return active_ && style_ != Style::Vertical; }

signals:
    void Changed(double x, double y);

private:
    void Place();

    QCustomPlot* plot_;
    QCPItemStraightLine* vertical_;
    QCPItemStraightLine* horizontal_;
    QPen pen_;
    Style style_;
    double x_ = 0;
    double y_ = 0;
    bool active_ = false;
};

class TrendChart : public QCustomPlot {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr);

    // Turns a builder's points into the chart's data; safe on a worker thread. Gap samples
    // (NaN values) break the line.
    static QSharedPointer<QCPGraphDataContainer> MakeSeriesData(const SeriesBuild& series);

    QCPGraph* AddSeries(const QString& title, const QColor& colour,
                        const QSharedPointer<QCPGraphDataContainer>& data);
    void RemoveSeries(QCPGraph* series);
    int SeriesCount() const { return graphCount(); }

    // Fixes an axis to [minimum, maximum] with labels every `increment` (0: automatic).
    void SetTimeAxis(double minimum, double maximum, double increment);
    void SetValueAxis(double minimum, double maximum, double increment);
    void SetTimeIncrement(double increment);
    void SetValueIncrement(double increment);
    double TimeIncrement() const;
    double ValueIncrement() const;
    // Back to automatic label increments.
    void ResetAxes();

    // The legend's title line; like a series' title (setName) it shows after RefreshLegend, or
    // with the next replot.
    void SetLegendTitle(const QString& text);
    QString LegendTitle() const;
    // Repaints the legend alone while its texts fit the space laid out for it, so read-outs
    // while dragging a cursor do not redraw the series.
    void RefreshLegend();
    // Hides or shows a series as its legend check box does.
    void SetSeriesShown(QCPGraph* series, bool shown);

    ChartCursorTool* Tool() const { return tool_; }
    ChartCursorTool* Tool2() const { return tool2_; }
    // The measuring cursor B: a second time cursor in a colour of its own, shown by the
    // window's menu or a Shift+drag, hidden by Esc; dragged like the time cursor.
    ChartCursorTool* ToolB() const { return toolB_; }
    void ShowMeasuringCursor(double time);
    void HideMeasuringCursor();

    // Each channel on its own scale (see OwnScales.h). A series' range (nullopt: it stays on
    // the shared axis), its axis title and unit; the shared-axis window a range fills.
    void SetSeriesScale(QCPGraph* series, std::optional<ZoomWindow> scale, const QString& axisTitle,
                        const QString& unit = QString());
    void SetScaleSpan(ZoomWindow span);
    void SetOwnScales(bool on);
    bool OwnScales() const { return ownScales_; }
    // The series whose scale the value axis shows; a click on a legend entry's name picks it,
    // hiding it moves the axis on to the next shown series. With own scales the horizontal
    // lines keep their values on the axis.
    void SetAxisSeries(QCPGraph* series);
    QCPGraph* AxisSeries() const { return axisSeries_; }
    // The axis channel's real value at a drawn position and back (as they are on the shared
    // axis, or when the axis channel has no scale of its own).
    double AxisValueOf(double drawn) const;
    double DrawnOfAxisValue(double value) const;
    // Whether the value axis shows the axis channel's own scale rather than the shared one.
    bool AxisShowsOwnScale() const;

    // A picture cannot be clicked to switch the axis channel: while a picture is drawn with
    // own scales, the legend lists every shown channel's scale as the plot shows it, and on
    // paper (the picture is inverted for printing) the axis texts take colours that read on
    // white. Undress puts the chart back as the screen shows it.
    enum class PictureUse { Screen, Paper };
    void DressForPicture(PictureUse use);
    void UndressPicture();

    // Faint vertical lines where the files of a joined recording start, their names as tool
    // tips; none for a single file.
    struct FileMark {
        double time = 0;
        QString name;
    };
    void SetFileMarks(const std::vector<FileMark>& marks);
    // The file mark's name near a point of the widget (the tool tip), empty when none is near.
    QString FileMarkAt(const QPoint& pos) const;

    void SetZoomAllowed(bool allowed);
    bool ZoomAllowed() const { return selectionRectMode() == QCP::srmZoom; }
    void SetPanAllowed(bool allowed) { panAllowed_ = allowed; }
    // Restores the axis ranges saved before the first zoom or scroll and reports it.
    void UndoZoom();
    // Scrolls the time axis, keeping its span, so that `time` lies in view (centred when it
    // was outside); undone like a scroll with the mouse.
    void ScrollTimeIntoView(double time);

signals:
    void Zoomed();
    void UndoZoomed();
    void Scrolled();
    void DoubleClicked();
    // A right click that did not scroll: the place for a context menu.
    void ContextMenuRequested(const QPoint& globalPos);
    // The measuring cursor was shown or hidden.
    void MeasuringCursorToggled(bool shown);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void processRectZoom(QRect rect, QMouseEvent* event) override;

private:
    struct Drag {
        ChartCursorTool* tool = nullptr;
        bool x = false;
        bool y = false;
    };
    Drag CursorAt(const QPoint& pos) const;
    CheckableLegendItem* LegendItemAt(const QPoint& pos) const;
    void SaveRangesOnce();
    void ApplyAxis(QCPAxis* axis, ChartAxisTicker* ticker, double minimum, double maximum,
                   double increment);

    ChartAxisTicker* timeTicker_;
    ChartAxisTicker* valueTicker_;
    LegendTitleItem* legendTitle_;
    QCPLayer* cursorLayer_;
    ChartCursorTool* tool_;
    ChartCursorTool* tool2_;
    ChartCursorTool* toolB_;
    Drag drag_;
    bool panAllowed_ = true;
    std::optional<QPoint> panFrom_;
    std::optional<QPoint> rightPressAt_;
    QCPRange panTimeRange_, panValueRange_;
    std::optional<std::pair<QCPRange, QCPRange>> savedRanges_;

    struct SeriesScale {
        QCPGraph* series = nullptr;
        QCPAxis* axis =
            nullptr; // the series' own value axis, hidden unless it is the axis channel's
        ScaleMapping mapping;
        QString title;
        QString name; // the series' base title, as it was added
        QString unit;
    };
    const SeriesScale* ScaleOf(const QCPGraph* series) const;
    // Puts every series on its axis and follows the shared axis' range with the own axes.
    void ApplyScales();
    void FollowSharedRange();
    // The axis series changes, the horizontal lines keeping their values on the axis.
    void ChangeAxisSeries(QCPGraph* series);
    std::vector<SeriesScale> scales_;
    ZoomWindow scaleSpan_;
    bool ownScales_ = false;
    int legendWidth_ = 0; // the legend's width for the single read-out
    QCPGraph* axisSeries_ = nullptr;

    struct PictureDressing {
        std::vector<QCPAbstractLegendItem*> scaleLines;
        std::vector<std::pair<QCPAxis*, std::pair<QColor, QColor>>> axisColours;
    };
    std::optional<PictureDressing> dressing_;
    std::vector<std::pair<QCPItemStraightLine*, QString>> fileMarks_;
};
