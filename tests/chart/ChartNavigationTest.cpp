#include "chart/ChartNavigation.h"

#include <gtest/gtest.h>

namespace {

const DateTime T = 42079 + 10.0 / 24; // 2015-03-16 10:00:00

ZoomWindow Seconds(double from, double to) {
    return {T + from * OneSecond, T + to * OneSecond};
}

struct Stops {
    ZoomWindow x, y;
    bool xPending = true, yPending = true;
    AxisZoomStop Time() { return {x, xPending}; }
    AxisZoomStop Value() { return {y, yPending}; }
};

const ZoomWindow Values{-10, 110};
const CursorPlaces Inside{T + 102 * OneSecond, 50, 0};

} // namespace

TEST(ZoomStop, NarrowTimeZoomIsRememberedMovedByScrollingAndForgottenByUndo) {
    Stops s;
    // A 5-second zoom is accepted and remembered.
    NavigationOutcome out = OnZoom(Seconds(100, 105), Values, Inside, s.Time(), s.Value());
    EXPECT_EQ(out.time, Seconds(100, 105));
    EXPECT_FALSE(s.xPending);
    EXPECT_EQ(s.x, Seconds(100, 105));
    EXPECT_TRUE(s.yPending);
    EXPECT_NEAR(out.timeIncrement, 0.5 * OneSecond, 1e-9);

    // A 2-second zoom inside it is refused back to the 5-second window.
    out = OnZoom(Seconds(101, 103), Values, Inside, s.Time(), s.Value());
    EXPECT_EQ(out.time, Seconds(100, 105));
    EXPECT_NEAR(out.timeIncrement, 0.5 * OneSecond, 1e-9);

    // Scrolled by a minute: the stop moves along, and the next narrow zoom returns there.
    out = OnScroll(Seconds(160, 165), Values, Inside, s.Time(), s.Value());
    EXPECT_FALSE(out.setIncrements);
    EXPECT_EQ(s.x, Seconds(160, 165));
    out = OnZoom(Seconds(161, 162), Values, out.cursors, s.Time(), s.Value());
    EXPECT_EQ(out.time, Seconds(160, 165));

    // Undone to an hour: forgotten, so the next narrow zoom is accepted again.
    out = OnUndoZoom(Seconds(0, 3600), Values, out.cursors, s.Time(), s.Value());
    EXPECT_TRUE(s.xPending);
    EXPECT_NEAR(out.timeIncrement, 360 * OneSecond, 1e-9);
    EXPECT_DOUBLE_EQ(out.valueIncrement, 12);
    out = OnZoom(Seconds(2000, 2003), Values, out.cursors, s.Time(), s.Value());
    EXPECT_EQ(out.time, Seconds(2000, 2003));
    EXPECT_EQ(s.x, Seconds(2000, 2003));
}

TEST(ZoomStop, AnEightSecondRecordingRefusesEveryTimeZoomButNotTheValueZoom) {
    Stops s;
    const auto initial = InitialTimeZoomStop(T, T + 8 * OneSecond);
    ASSERT_TRUE(initial);
    s.x = *initial;
    s.xPending = false;
    const NavigationOutcome out =
        OnZoom(Seconds(2, 5), ZoomWindow{20, 40}, Inside, s.Time(), s.Value());
    EXPECT_EQ(out.time, Seconds(0, 8));
    EXPECT_EQ(out.value, (ZoomWindow{20, 40}));
    EXPECT_TRUE(s.yPending); // 20 units are no narrow value window
}

TEST(ZoomStop, ValueAxisStopsAtAHundredthAndUndoRecordsANarrowRange) {
    Stops s;
    NavigationOutcome out =
        OnZoom(Seconds(0, 60), ZoomWindow{20, 20.005}, Inside, s.Time(), s.Value());
    EXPECT_EQ(out.value, (ZoomWindow{20, 20.005}));
    EXPECT_FALSE(s.yPending);
    out = OnZoom(Seconds(0, 60), ZoomWindow{20.001, 20.002}, Inside, s.Time(), s.Value());
    EXPECT_EQ(out.value, (ZoomWindow{20, 20.005}));
    EXPECT_EQ(out.cursors.y, 20.005); // the time cursor's line went to the top edge

    // Undo restoring ranges that are themselves narrow records them as the stops.
    Stops t;
    OnUndoZoom(Seconds(0, 4), ZoomWindow{1, 1.001}, Inside, t.Time(), t.Value());
    EXPECT_FALSE(t.xPending);
    EXPECT_FALSE(t.yPending);
    EXPECT_EQ(t.x, Seconds(0, 4));
    EXPECT_EQ(t.y, (ZoomWindow{1, 1.001}));
    // A scroll while nothing is recorded records nothing.
    Stops u;
    OnScroll(Seconds(0, 4), ZoomWindow{1, 1.001}, Inside, u.Time(), u.Value());
    EXPECT_TRUE(u.xPending);
    EXPECT_EQ(u.x, ZoomWindow{});
}

TEST(CursorFixUp, BoundsAreInclusiveAndEachCursorGoesToItsEdge) {
    const ZoomWindow time{10, 20}, value{0, 100};
    struct Case {
        CursorPlaces before, after;
    };
    const Case cases[] = {
        {{10, 0, 0}, {10, 0, 0}},         // on the lower bounds
        {{20, 100, 100}, {20, 100, 100}}, // on the upper bounds
        {{9.5, -1, -1}, {10, 100, 0}},    // left below
        {{20.5, 101, 101}, {10, 100, 0}}, // right above
        {{15, 150, 50}, {15, 100, 50}},   // only the first line outside
    };
    for (const Case& c : cases)
        EXPECT_EQ(FixUpCursors(c.before, time, value), c.after)
            << c.before.x << " " << c.before.y << " " << c.before.y2;
}

TEST(CursorFixUp, TheTimeCursorSettlesOnTheFirstWholeSecondOfTheWindow) {
    struct Case {
        double x;          // seconds after T
        ZoomWindow window; // seconds after T, as a dragged rectangle leaves it
        double settles;    // seconds after T
    };
    const Case cases[] = {
        {5, {25.7, 85.2}, 26},      // left of the window: its first whole second, not 25.7
        {90, {25.7, 85.2}, 26},     // right of it: the same
        {5, {25, 85}, 25},          // a window starting on a whole second
        {30.4, {25.7, 85.2}, 30.4}, // inside: stays where it is
        {5, {25.2, 25.9}, 25.2},    // no whole second in view: the left edge
    };
    for (const Case& c : cases) {
        const double x =
            FixTimeCursorX(T + c.x * OneSecond, Seconds(c.window.minimum, c.window.maximum));
        EXPECT_NEAR((x - T) / OneSecond, c.settles, 1e-4) << c.x << " in " << c.window.minimum;
    }
}

TEST(CursorDrag, SettlesOnTheNearestWholeSecondInTheWindow) {
    struct Case {
        double x;          // seconds after T
        ZoomWindow window; // seconds after T
        double settles;    // seconds after T
    };
    const Case cases[] = {
        {7.6, {0, 60}, 8},      // rounds up
        {7.4, {0, 60}, 7},      // rounds down
        {7.5, {0, 60}, 8},      // halfway: the later second
        {0.2, {0.1, 60}, 1},    // the nearest second lies before the window
        {59.8, {0, 59.7}, 59},  // and after it
        {60, {0, 60}, 60},      // a bound on a whole second
        {3.3, {3.2, 3.7}, 3.3}, // no whole second in view: where it was dragged
    };
    for (const Case& c : cases) {
        const double settled =
            DraggedCursorTime(T + c.x * OneSecond, Seconds(c.window.minimum, c.window.maximum));
        EXPECT_NEAR((settled - T) / OneSecond, c.settles, 1e-4) << c.x;
        EXPECT_EQ(FormatDateTime(settled, ReadoutTimePattern),
                  FormatDateTime(T + c.settles * OneSecond, ReadoutTimePattern))
            << c.x;
    }
    // A cursor placed by a click or a menu outside the window comes in first.
    EXPECT_NEAR((PlacedCursorTime(T - 100 * OneSecond, Seconds(0.3, 60)) - T) / OneSecond, 1, 1e-4);
    EXPECT_NEAR((PlacedCursorTime(T + 200 * OneSecond, Seconds(0.3, 59.6)) - T) / OneSecond, 59,
                1e-4);
    EXPECT_NEAR((PlacedCursorTime(T + 7.7 * OneSecond, Seconds(0.3, 60)) - T) / OneSecond, 8, 1e-4);
}
