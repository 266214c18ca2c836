#include "chart/TrendChart.h"
#include "export/ChartPicture.h"
#include "tests/app/PictureText.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct ChartFixture : ::testing::Test {
    void SetUp() override {
        chart.resize(900, 600);
        chart.SetTimeAxis(42079.0, 42080.0, 0.1);
        chart.SetValueAxis(-10, 110, 12);
        chart.SetZoomAllowed(true);
        chart.show();
        chart.replot();
    }
    QPoint At(double x, double y) const {
        return {static_cast<int>(chart.xAxis->coordToPixel(x)),
                static_cast<int>(chart.yAxis->coordToPixel(y))};
    }
    void Drag(Qt::MouseButton button, QPoint from, QPoint to) {
        QTest::mousePress(&chart, button, {}, from);
        QTest::mouseMove(&chart, (from + to) / 2);
        QTest::mouseMove(&chart, to);
        QTest::mouseRelease(&chart, button, {}, to);
    }
    TrendChart chart;
};

} // namespace

TEST_F(ChartFixture, RectangleZoomAndItsUndo) {
    QSignalSpy zoomed(&chart, &TrendChart::Zoomed), undone(&chart, &TrendChart::UndoZoomed);
    Drag(Qt::LeftButton, At(42079.2, 90), At(42079.4, 50));
    ASSERT_EQ(zoomed.count(), 1);
    EXPECT_NEAR(chart.xAxis->range().lower, 42079.2, 0.01);
    EXPECT_NEAR(chart.xAxis->range().upper, 42079.4, 0.01);
    EXPECT_NEAR(chart.yAxis->range().upper, 90, 1);

    // A second zoom, then one rectangle dragged to the left restores the first ranges.
    const QRect area = chart.axisRect()->rect();
    Drag(Qt::LeftButton, area.topLeft() + QPoint(50, 50), area.center());
    EXPECT_EQ(zoomed.count(), 2);
    Drag(Qt::LeftButton, area.center(), area.topLeft() + QPoint(50, 50));
    EXPECT_EQ(undone.count(), 1);
    EXPECT_DOUBLE_EQ(chart.xAxis->range().lower, 42079.0);
    EXPECT_DOUBLE_EQ(chart.xAxis->range().upper, 42080.0);
    EXPECT_DOUBLE_EQ(chart.yAxis->range().lower, -10);
}

TEST_F(ChartFixture, RightButtonPansAndZoomCanBeSwitchedOff) {
    QSignalSpy scrolled(&chart, &TrendChart::Scrolled), zoomed(&chart, &TrendChart::Zoomed);
    Drag(Qt::RightButton, At(42079.5, 50), At(42079.4, 50));
    EXPECT_GT(scrolled.count(), 0);
    EXPECT_NEAR(chart.xAxis->range().lower, 42079.1, 0.01);
    EXPECT_NEAR(chart.xAxis->range().size(), 1.0, 1e-9);

    chart.SetZoomAllowed(false);
    Drag(Qt::LeftButton, At(42079.3, 90), At(42079.6, 50));
    EXPECT_EQ(zoomed.count(), 0);
}

TEST_F(ChartFixture, CursorToolsReportChangesAndKeepTheirStyle) {
    ChartCursorTool* tool = chart.Tool();
    QSignalSpy changed(tool, &ChartCursorTool::Changed);
    tool->SetActive(true);
    tool->SetXValue(42079.5);
    tool->SetXValue(42079.5); // no change, no report
    tool->SetYValue(20);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_TRUE(tool->HasVertical());
    EXPECT_FALSE(tool->HasHorizontal());
    tool->SetStyle(ChartCursorTool::Style::Both);
    EXPECT_TRUE(tool->HasHorizontal());
    EXPECT_FALSE(chart.Tool2()->Active());
    EXPECT_EQ(tool->Pen().color(), QColor(0, 128, 255));
    EXPECT_EQ(chart.Tool2()->Pen().color(), QColor(0, 127, 255));

    // Beyond ten pixels from both lines a press starts a zoom rectangle instead of a drag.
    const QPoint line = At(42079.5, 20);
    QTest::mousePress(&chart, Qt::LeftButton, {}, line + QPoint(12, 30));
    QTest::mouseMove(&chart, line + QPoint(100, 60));
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, line + QPoint(100, 60));
    EXPECT_DOUBLE_EQ(tool->XValue(), 42079.5);
}

TEST_F(ChartFixture, OwnScalePicturesListEveryScaleAndTheirAxisTextReadsOnPaper) {
    auto data = [](double value) {
        auto points = QSharedPointer<QCPGraphDataContainer>::create();
        points->add(QCPGraphData(42079.2, value));
        points->add(QCPGraphData(42079.8, value));
        return points;
    };
    QCPGraph* temperature = chart.AddSeries("Channel 01", Qt::white, data(50));
    QCPGraph* pressure = chart.AddSeries("Channel 02", Qt::red, data(0.8));
    QCPGraph* flow = chart.AddSeries("Channel 03", Qt::yellow, data(30));
    chart.SetScaleSpan({-10, 110});
    chart.SetSeriesScale(temperature, ZoomWindow{-20, 150}, "Channel 1 (\u2103)", "\u2103");
    chart.SetSeriesScale(pressure, ZoomWindow{0, 1.6}, "Channel 2 (Mpa)", "Mpa");
    chart.SetSeriesScale(flow, std::nullopt, "Channel 3 (%)", "%"); // on the shared axis
    chart.SetOwnScales(true);
    chart.SetAxisSeries(pressure); // red, printed cyan
    chart.replot();

    const QStringList scales = {"Channel 01  -20\u2013150 \u2103", "Channel 02  0\u20131.6 Mpa",
                                "Channel 03  -10\u2013110 %"};
    const QImage picture = ChartPicture(chart);
    for (const QString& scale : scales)
        EXPECT_TRUE(HoldsText(picture, scale)) << scale.toStdString();
    // The screen keeps its legend: the axis is there to click.
    const QImage screen = chart.toPixmap().toImage();
    EXPECT_FALSE(HoldsText(screen, scales[1]));
    // A hidden line is not listed.
    chart.SetSeriesShown(flow, false);
    EXPECT_FALSE(HoldsText(ChartPicture(chart), scales[2]));

    // On paper the darkest text beside the plot, the axis channel's, reads on white.
    const QImage paper = PaperChartPicture(chart);
    const QRect plot = chart.axisRect()->rect();
    RgbColour darkest{255, 255, 255};
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = 0; x < plot.left(); ++x) {
            const QColor c = paper.pixelColor(x, y);
            const RgbColour rgb{c.red(), c.green(), c.blue()};
            if (ContrastRatio(rgb, {255, 255, 255}) > ContrastRatio(darkest, {255, 255, 255}))
                darkest = rgb;
        }
    EXPECT_GE(ContrastRatio(darkest, {255, 255, 255}), 4.5)
        << darkest.red << "," << darkest.green << "," << darkest.blue;
    // and the screen's axis keeps the channel's colour.
    EXPECT_EQ(pressure->valueAxis()->labelColor(), QColor(Qt::red));
}
