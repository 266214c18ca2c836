#pragma once
// Zoom stops and cursor fix-up of the trend chart, as plain functions over plain values: the
// chart widget applies the user's gesture, the window hands the new axis ranges here and
// applies what comes back.

#include "views/ViewBuilder.h"

// A span narrower than the limit (relative tolerance 1e-12), MinXSpan for time, MinYSpan for
// values.
bool IsNarrowSpan(double span, double limit);

// The zoom stop of one axis: the narrow window recorded last, and whether none is recorded.
struct AxisZoomStop {
    ZoomWindow& window;
    bool& pending;
};

// After the user's rectangle was applied: the range the axis is to show. A first narrow range
// is accepted and recorded; a later one is refused in favour of the recorded window.
ZoomWindow ZoomAxis(ZoomWindow shown, double minSpan, AxisZoomStop stop);
// After the saved ranges were restored: a narrow range is recorded, a wide one forgets the
// recorded window.
void UndoZoomAxis(ZoomWindow shown, double minSpan, AxisZoomStop stop);
// After a scroll step: a recorded window moves along with the view.
void ScrollAxis(ZoomWindow shown, AxisZoomStop stop);

// The desired label increment for a range: a tenth of its span.
double DesiredIncrement(ZoomWindow range);

// The cursors the fix-up may move.
struct CursorPlaces {
    double x = 0;  // time cursor
    double y = 0;  // its horizontal line
    double y2 = 0; // second horizontal line
    friend bool operator==(const CursorPlaces&, const CursorPlaces&) = default;
};

// Brings cursors back into the visible ranges, bounds inclusive: the time cursor to the left
// edge (the first whole second inside it, as a dragged cursor settles), its horizontal line to
// the top edge, the second line to the bottom edge.
double FixTimeCursorX(double x, ZoomWindow time);
double FixTimeCursorY(double y, ZoomWindow value);
double FixSecondLineY(double y2, ZoomWindow value);
CursorPlaces FixUpCursors(CursorPlaces cursors, ZoomWindow time, ZoomWindow value);

// Where the time cursor settles while the user drags it to x (inside the visible window): the
// nearest whole second of the time axis that lies in the window, so that the read-out's time,
// which drops the fraction, names the sample whose values it shows. A window holding no whole
// second keeps x.
double DraggedCursorTime(double x, ZoomWindow time);
// Where a cursor placed at x by a click or a menu settles: x brought into the visible window,
// then on its nearest whole second there, as a dragged cursor settles.
double PlacedCursorTime(double x, ZoomWindow time);

// The whole of a zoom, undo or scroll step: what the axes and cursors become.
struct NavigationOutcome {
    ZoomWindow time;
    ZoomWindow value;
    bool setIncrements = false; // zoom and undo set both desired increments, a scroll does not
    double timeIncrement = 0;
    double valueIncrement = 0;
    CursorPlaces cursors;
};
NavigationOutcome OnZoom(ZoomWindow time, ZoomWindow value, CursorPlaces cursors,
                         AxisZoomStop timeStop, AxisZoomStop valueStop);
NavigationOutcome OnUndoZoom(ZoomWindow time, ZoomWindow value, CursorPlaces cursors,
                             AxisZoomStop timeStop, AxisZoomStop valueStop);
NavigationOutcome OnScroll(ZoomWindow time, ZoomWindow value, CursorPlaces cursors,
                           AxisZoomStop timeStop, AxisZoomStop valueStop);
