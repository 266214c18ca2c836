#include "chart/ChartAxisTicker.h"

#include "data/DateTime.h"
#include "views/AxisTicks.h"

#include <cmath>

ChartAxisTicker::ChartAxisTicker(QCPAxis* axis, Labels labels) : axis_(axis), labels_(labels) {}

double ChartAxisTicker::LabelExtent(bool wrapped) const {
    const QFontMetrics metrics(axis_->tickLabelFont());
    constexpr int Gap = 16;
    if (axis_->orientation() == Qt::Vertical)
        return metrics.height() * (wrapped ? 2 : 1) + Gap;
    const QString sample = labels_ == Labels::DateTime ? QStringLiteral("00-00-00 00:00:00")
                                                       : QStringLiteral("-00000");
    const QString widest = wrapped ? QStringLiteral("00-00-00") : sample;
    return metrics.horizontalAdvance(widest) + Gap;
}

double ChartAxisTicker::getTickStep(const QCPRange& range) {
    const double pixels = axis_->orientation() == Qt::Horizontal ? axis_->axisRect()->width()
                                                                 : axis_->axisRect()->height();
    double step = ReadableStep(desiredIncrement_, range.size(), pixels, LabelExtent(false));
    wrapLabels_ = false;
    if (labels_ == Labels::DateTime) {
        // Date and time on two lines need about half the room; break the labels rather than
        // thin them out.
        if (step > ReadableStep(desiredIncrement_, range.size(), pixels, 1)) {
            wrapLabels_ = true;
            step = ReadableStep(desiredIncrement_, range.size(), pixels, LabelExtent(true));
        }
        step = NiceTimeStep(step);
    } else if (labels_ == Labels::Decimal) {
        step = NiceDecimalStep(step);
        decimals_ = StepDecimals(step);
    } else {
        // A tenth of a span such as 232 or 29 makes a grid nobody reads values off: labels
        // step by 1, 2 or 5 times a power of ten, the next such step up.
        step = NiceWholeStep(step);
    }
    return step;
}

QString ChartAxisTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    if (labels_ == Labels::Decimal) {
        const double unit = std::pow(10.0, -decimals_);
        const double rounded = std::round(tick / unit) * unit;
        return QString::number(rounded == 0 ? 0.0 : rounded, 'f', decimals_);
    }
    if (labels_ == Labels::WholeNumber) {
        // A tick computed a hair below zero must not read "-0".
        const double rounded = std::round(tick);
        return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 0);
    }
    QString text = QString::fromStdString(FormatDateTime(tick, AxisTimePattern));
    if (wrapLabels_)
        text.replace(QLatin1Char(' '), QLatin1Char('\n'));
    return text;
}
