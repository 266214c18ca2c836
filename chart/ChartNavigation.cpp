#include "chart/ChartNavigation.h"

#include <algorithm>
#include <cmath>

bool IsNarrowSpan(double span, double limit) {
    return CompareDouble(span, limit) < 0;
}

ZoomWindow ZoomAxis(ZoomWindow shown, double minSpan, AxisZoomStop stop) {
    if (!IsNarrowSpan(shown.maximum - shown.minimum, minSpan))
        return shown;
    if (stop.pending) {
        stop.window = shown;
        stop.pending = false;
        return shown;
    }
    return stop.window;
}

void UndoZoomAxis(ZoomWindow shown, double minSpan, AxisZoomStop stop) {
    if (IsNarrowSpan(shown.maximum - shown.minimum, minSpan)) {
        stop.window = shown;
        stop.pending = false;
    } else {
        stop.pending = true;
    }
}

void ScrollAxis(ZoomWindow shown, AxisZoomStop stop) {
    if (!stop.pending)
        stop.window = shown;
}

double DesiredIncrement(ZoomWindow range) {
    return (range.maximum - range.minimum) * 0.1;
}

double FixTimeCursorX(double x, ZoomWindow time) {
    return x > time.maximum || x < time.minimum ? DraggedCursorTime(time.minimum, time) : x;
}

double FixTimeCursorY(double y, ZoomWindow value) {
    return y > value.maximum || y < value.minimum ? value.maximum : y;
}

double FixSecondLineY(double y2, ZoomWindow value) {
    return y2 > value.maximum || y2 < value.minimum ? value.minimum : y2;
}

CursorPlaces FixUpCursors(CursorPlaces cursors, ZoomWindow time, ZoomWindow value) {
    return {FixTimeCursorX(cursors.x, time), FixTimeCursorY(cursors.y, value),
            FixSecondLineY(cursors.y2, value)};
}

NavigationOutcome OnZoom(ZoomWindow time, ZoomWindow value, CursorPlaces cursors,
                         AxisZoomStop timeStop, AxisZoomStop valueStop) {
    NavigationOutcome out;
    out.time = ZoomAxis(time, MinXSpan, timeStop);
    out.value = ZoomAxis(value, MinYSpan, valueStop);
    out.setIncrements = true;
    out.timeIncrement = DesiredIncrement(out.time);
    out.valueIncrement = DesiredIncrement(out.value);
    out.cursors = FixUpCursors(cursors, out.time, out.value);
    return out;
}

NavigationOutcome OnUndoZoom(ZoomWindow time, ZoomWindow value, CursorPlaces cursors,
                             AxisZoomStop timeStop, AxisZoomStop valueStop) {
    UndoZoomAxis(time, MinXSpan, timeStop);
    UndoZoomAxis(value, MinYSpan, valueStop);
    return {time,
            value,
            true,
            DesiredIncrement(time),
            DesiredIncrement(value),
            FixUpCursors(cursors, time, value)};
}

NavigationOutcome OnScroll(ZoomWindow time, ZoomWindow value, CursorPlaces cursors,
                           AxisZoomStop timeStop, AxisZoomStop valueStop) {
    ScrollAxis(time, timeStop);
    ScrollAxis(value, valueStop);
    return {time, value, false, 0, 0, FixUpCursors(cursors, time, value)};
}

double DraggedCursorTime(double x, ZoomWindow time) {
    double second = std::round(x * SecondsPerDay);
    if (second / SecondsPerDay < time.minimum)
        second = std::ceil(time.minimum * SecondsPerDay);
    else if (second / SecondsPerDay > time.maximum)
        second = std::floor(time.maximum * SecondsPerDay);
    const double snapped = second / SecondsPerDay;
    // A bound on a whole second may lie a rounding step beside it.
    if (CompareTimes(snapped, time.minimum) < 0 || CompareTimes(snapped, time.maximum) > 0)
        return x;
    return std::clamp(snapped, time.minimum, time.maximum);
}

double PlacedCursorTime(double x, ZoomWindow time) {
    return DraggedCursorTime(std::clamp(x, time.minimum, time.maximum), time);
}
