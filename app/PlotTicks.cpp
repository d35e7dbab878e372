#include "app/PlotTicks.h"

#include <QFontMetrics>
#include <qcustomplot.h>

namespace {

// Whether labels centred on `ticks` stand apart, at least one digit's width
// (or a line's height, one above the other) between neighbours.
bool labelsApart(const QCPAxis *axis, int length, const QVector<double> &ticks, const QVector<QString> &labels)
{
    const QFontMetrics metrics(axis->tickLabelFont());
    const QCPRange range = axis->range();
    const bool horizontal = axis->orientation() == Qt::Horizontal;
    const int gap = metrics.horizontalAdvance(QLatin1Char('0'));
    double previousAt = 0;
    double previousHalf = -1;
    for (int i = 0; i < ticks.size(); ++i) {
        if (!range.contains(ticks[i]))
            continue;
        const double at = (ticks[i] - range.lower) / range.size() * length;
        const double half = horizontal ? metrics.horizontalAdvance(labels.value(i)) / 2.0 : metrics.height() / 2.0;
        if (previousHalf >= 0 && at - previousAt < previousHalf + half + gap)
            return false;
        previousAt = at;
        previousHalf = half;
    }
    return true;
}

} // namespace

PlotTicks::PlotTicks(QCustomPlot *plot)
    : QObject(plot)
    , plot(plot)
{
    connect(plot, &QCustomPlot::beforeReplot, this, &PlotTicks::fitAll);
}

void PlotTicks::keepLabelsApart(QCustomPlot *plot)
{
    new PlotTicks(plot);
}

int PlotTicks::fitTickCount(QCPAxis *axis, int length)
{
    const bool horizontal = axis->orientation() == Qt::Horizontal;
    const int most = qMax(2, length / (horizontal ? kPixelsPerTickHorizontal : kPixelsPerTickVertical));
    const QSharedPointer<QCPAxisTicker> ticker = axis->ticker();
    const QString format = axis->numberFormat();
    const QChar formatChar = format.isEmpty() ? QLatin1Char('g') : format.at(0);
    for (int count = most; count >= 1; --count) {
        ticker->setTickCount(count);
        QVector<double> ticks;
        QVector<QString> labels;
        ticker->generate(axis->range(), axis->parentPlot()->locale(), formatChar, axis->numberPrecision(), ticks,
                         nullptr, &labels);
        if (labelsApart(axis, length, ticks, labels))
            return count;
    }
    return 1;
}

// The axis rect's margins come from the last layout, the viewport is already
// the new size: right on the first replot after a resize too.
void PlotTicks::fitAll()
{
    QCPAxisRect *rect = plot->axisRect();
    if (!rect)
        return;
    const QMargins margins = rect->margins();
    const QRect viewport = plot->viewport();
    for (QCPAxis *axis : rect->axes()) {
        if (!axis->visible() || !axis->tickLabels() || axis->range().size() <= 0)
            continue;
        const bool horizontal = axis->orientation() == Qt::Horizontal;
        const int length = horizontal ? viewport.width() - margins.left() - margins.right()
                                      : viewport.height() - margins.top() - margins.bottom();
        Fitted &last = fitted[axis];
        if (length <= 0 || (last.length == length && last.lower == axis->range().lower && last.upper == axis->range().upper))
            continue;
        fitTickCount(axis, length);
        last = {axis->range().lower, axis->range().upper, length};
    }
}
