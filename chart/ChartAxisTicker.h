#pragma once
// Axis labels of the trend chart: ticks at whole multiples of the program's desired increment,
// widened when the labels would not fit and rounded up to a step people read easily (standard
// time steps; 1, 2 or 5 times a power of ten for values), date-time labels through the
// program's own formatting.

#include <qcustomplot.h>

class ChartAxisTicker : public QCPAxisTicker {
public:
    // Decimal: a channel's own scale, labels with as many decimals as the step needs.
    enum class Labels { DateTime, WholeNumber, Decimal };
    ChartAxisTicker(QCPAxis* axis, Labels labels);

    // 0 lets the axis choose; otherwise the wanted distance between labels in axis units.
    void SetDesiredIncrement(double increment) { desiredIncrement_ = increment; }
    double DesiredIncrement() const { return desiredIncrement_; }

protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double) override { return 0; }
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                         int precision) override;

private:
    double LabelExtent(bool wrapped) const;

    QCPAxis* axis_;
    Labels labels_;
    double desiredIncrement_ = 0;
    bool wrapLabels_ = false;
    int decimals_ = 0;
};
