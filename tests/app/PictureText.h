#pragma once
// Finding a legend line's text in a picture of the trend chart, pixel for pixel.

#include "chart/TrendChart.h"

#include <QImage>
#include <QString>

// Whether the picture holds the text as the legend draws its lines, pixel for pixel: the stamp
// is the title line of a chart of its own.
inline bool HoldsText(const QImage& picture, const QString& text) {
    TrendChart stampChart;
    stampChart.resize(900, 600);
    stampChart.SetLegendTitle(text);
    const QImage stamp = stampChart.toPixmap().toImage();
    const QRect line = stampChart.legend->item(0)->rect();
    QRect ink;
    for (int y = line.top(); y <= line.bottom(); ++y)
        for (int x = line.left(); x <= line.right(); ++x)
            if (qGray(stamp.pixel(x, y)) > 0)
                ink |= QRect(x, y, 1, 1);
    const QImage glyphs = stamp.copy(ink).convertToFormat(QImage::Format_RGB32);
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    for (int top = 0; top + glyphs.height() <= image.height(); ++top)
        for (int left = 0; left + glyphs.width() <= image.width(); ++left) {
            bool same = true;
            for (int y = 0; same && y < glyphs.height(); ++y)
                for (int x = 0; same && x < glyphs.width(); ++x)
                    same = image.pixel(left + x, top + y) == glyphs.pixel(x, y);
            if (same)
                return true;
        }
    return false;
}
