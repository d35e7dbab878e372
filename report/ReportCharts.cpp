#include "report/ReportCharts.h"

#include "testrun/LimitEvaluation.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

using TestRun::Outcome;
using TestRun::StepResult;

namespace ReportCharts {

namespace {

const QColor kPassColour(0x2e, 0x7d, 0x32);
const QColor kFailColour(0xc6, 0x28, 0x28);
const QColor kNeutralColour(0x75, 0x75, 0x75);
const QColor kBandColour(0x2e, 0x7d, 0x32, 40);
const QColor kGridColour(0xe0, 0xe0, 0xe0);
constexpr int kTargetTicks = 6;

struct Range {
    double low = 0;
    double high = 1;

    void include(double v)
    {
        low = std::min(low, v);
        high = std::max(high, v);
    }
};

// 1, 2 or 5 times a power of ten, giving about kTargetTicks ticks over `span`.
double tickStep(double span)
{
    const double raw = span / kTargetTicks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

// Widens the range to whole ticks, with room when it is a single value.
Range padded(Range r, double minimumSpan)
{
    if (!std::isfinite(r.low) || !std::isfinite(r.high))
        r = {0, minimumSpan};
    if (r.high - r.low < minimumSpan) {
        const double middle = (r.low + r.high) / 2;
        r = {middle - minimumSpan / 2, middle + minimumSpan / 2};
    }
    const double step = tickStep(r.high - r.low);
    return {std::floor(r.low / step) * step, std::ceil(r.high / step) * step};
}

// Grey for a step that ended in an error: its figures are partial.
QColor colourOf(const StepResult &step, const TestRun::Check &check)
{
    if (!step.error.isEmpty())
        return kNeutralColour;
    return check.outcome == Outcome::Pass ? kPassColour : check.outcome == Outcome::Fail ? kFailColour : kNeutralColour;
}

QString tickText(double v, double step)
{
    const int decimals = std::max(0, -int(std::floor(std::log10(step))));
    return QString::number(std::fabs(v) < step / 1e6 ? 0.0 : v, 'f', decimals);
}

// A plot area with axes, grid, ticks and labels, mapping data to pixels.
class Canvas {
public:
    Canvas(QPainter &painter, Range x, Range y)
        : p(painter)
        , x(x)
        , y(y)
        , area(70, 34, kSize.width() - 70 - 20, kSize.height() - 34 - 50)
    {
    }

    QPointF at(double vx, double vy) const
    {
        return {area.left() + (vx - x.low) / (x.high - x.low) * area.width(),
                area.bottom() - (vy - y.low) / (y.high - y.low) * area.height()};
    }

    void drawFrame(const QString &title, const QString &xLabel, const QString &yLabel)
    {
        QFont font = p.font();
        font.setPixelSize(12);
        p.setFont(font);
        p.setPen(kGridColour);
        const double xs = tickStep(x.high - x.low), ys = tickStep(y.high - y.low);
        for (double v = x.low; v <= x.high + xs / 2; v += xs)
            p.drawLine(at(v, y.low), at(v, y.high));
        for (double v = y.low; v <= y.high + ys / 2; v += ys)
            p.drawLine(at(x.low, v), at(x.high, v));
        p.setPen(Qt::black);
        p.drawRect(area);
        for (double v = x.low; v <= x.high + xs / 2; v += xs)
            p.drawText(QRectF(at(v, y.low) + QPointF(-40, 4), QSizeF(80, 16)), Qt::AlignHCenter | Qt::AlignTop,
                       tickText(v, xs));
        for (double v = y.low; v <= y.high + ys / 2; v += ys)
            p.drawText(QRectF(at(x.low, v) + QPointF(-66, -8), QSizeF(60, 16)), Qt::AlignRight | Qt::AlignVCenter,
                       tickText(v, ys));
        p.drawText(QRectF(area.left(), area.bottom() + 22, area.width(), 18), Qt::AlignHCenter, xLabel);
        p.save();
        p.translate(14, area.center().y());
        p.rotate(-90);
        p.drawText(QRectF(-area.height() / 2, -8, area.height(), 16), Qt::AlignCenter, yLabel);
        p.restore();
        font.setPixelSize(14);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(0, 6, kSize.width(), 20), Qt::AlignHCenter, title);
    }

    void point(double vx, double vy, const QColor &colour)
    {
        p.setPen(QPen(colour.darker(120), 1));
        p.setBrush(colour);
        p.drawEllipse(at(vx, vy), 4.5, 4.5);
    }

    // Clips to the plot area for what follows, until restore().
    void clip()
    {
        p.save();
        p.setClipRect(area);
    }
    void restore() { p.restore(); }

    QPainter &p;

private:
    Range x, y;
    QRectF area;
};

QImage blankImage(qreal scale)
{
    QImage image(kSize * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    return image;
}

std::vector<const StepResult *> byReference(const std::vector<StepResult> &steps)
{
    std::vector<const StepResult *> sorted;
    for (const StepResult &s : steps)
        sorted.push_back(&s);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const StepResult *a, const StepResult *b) { return a->referenceMm < b->referenceMm; });
    return sorted;
}

Range referenceRange(const std::vector<StepResult> &steps)
{
    Range x{steps.empty() ? 0 : steps.front().referenceMm, steps.empty() ? 1 : steps.front().referenceMm};
    for (const StepResult &s : steps)
        x.include(s.referenceMm);
    const double margin = std::max(50.0, (x.high - x.low) * 0.05);
    return padded({std::max(0.0, x.low - margin), x.high + margin}, 100);
}

// The stretch of the reference axis that a step's limit is drawn over: half
// way to each neighbour, as far on the outer side; a lone step gets a short
// stretch. Neighbours with equal limits so join into one band.
struct Span {
    double left;
    double right;
};

std::vector<Span> spans(const std::vector<const StepResult *> &sorted, const Range &x)
{
    std::vector<Span> out;
    const double lone = (x.high - x.low) * 0.02;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const double here = sorted[i]->referenceMm;
        const double before = i > 0 ? (here - sorted[i - 1]->referenceMm) / 2 : -1;
        const double after = i + 1 < sorted.size() ? (sorted[i + 1]->referenceMm - here) / 2 : -1;
        const double left = before >= 0 ? before : after >= 0 ? after : lone;
        const double right = after >= 0 ? after : left;
        out.push_back({here - left, here + right});
    }
    return out;
}
} // namespace

QImage errorChart(const std::vector<StepResult> &steps, qreal scale)
{
    QImage image = blankImage(scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const Range x = referenceRange(steps);
    Range y{0, 0};
    for (const StepResult &s : steps) {
        if (s.framesKept > 0)
            y.include(s.biasMm);
        if (s.bias.outcome != Outcome::NotChecked) {
            y.include(s.bias.bound);
            y.include(-s.bias.bound);
        }
    }
    const double span = y.high - y.low;
    Canvas canvas(painter, x, padded({y.low - span * 0.08, y.high + span * 0.08}, 2));
    canvas.drawFrame(QStringLiteral("Error against distance"), QStringLiteral("Reference distance (mm)"),
                     QStringLiteral("Mean - reference (mm)"));
    canvas.clip();
    const auto sorted = byReference(steps);
    const auto stretch = spans(sorted, x);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const StepResult &s = *sorted[i];
        if (s.bias.outcome == Outcome::NotChecked)
            continue;
        // The bound of this step's limits along its stretch (it grows with the
        // reference when a percentage is set).
        const auto bound = [&s](double at) { return TestRun::biasBound(s.limits, at).value_or(s.bias.bound); };
        const Span &span = stretch[i];
        const QPointF upperLeft = canvas.at(span.left, bound(span.left)), upperRight = canvas.at(span.right, bound(span.right));
        const QPointF lowerLeft = canvas.at(span.left, -bound(span.left)), lowerRight = canvas.at(span.right, -bound(span.right));
        painter.setPen(Qt::NoPen);
        painter.setBrush(kBandColour);
        painter.drawPolygon(QPolygonF({upperLeft, upperRight, lowerRight, lowerLeft}));
        painter.setPen(QPen(kPassColour, 1.2, Qt::DashLine));
        painter.drawLine(upperLeft, upperRight);
        painter.drawLine(lowerLeft, lowerRight);
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(canvas.at(x.low, 0), canvas.at(x.high, 0));
    for (const StepResult *s : sorted)
        if (s->framesKept > 0)
            canvas.point(s->referenceMm, s->biasMm, colourOf(*s, s->bias));
    canvas.restore();
    return image;
}

QImage deviationChart(const std::vector<StepResult> &steps, qreal scale)
{
    QImage image = blankImage(scale);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const Range x = referenceRange(steps);
    Range y{0, 0};
    for (const StepResult &s : steps) {
        if (s.framesKept > 1)
            y.include(s.stdMm);
        if (s.std.outcome != Outcome::NotChecked)
            y.include(s.std.bound);
    }
    Canvas canvas(painter, x, padded({0, std::max(y.high * 1.1, 2.0)}, 2));
    canvas.drawFrame(QStringLiteral("Standard deviation against distance"), QStringLiteral("Reference distance (mm)"),
                     QStringLiteral("Standard deviation (mm)"));
    canvas.clip();
    const auto sorted = byReference(steps);
    const auto stretch = spans(sorted, x);
    painter.setPen(QPen(kFailColour, 1.5, Qt::DashLine));
    for (std::size_t i = 0; i < sorted.size(); ++i)
        if (sorted[i]->std.outcome != Outcome::NotChecked)
            painter.drawLine(canvas.at(stretch[i].left, sorted[i]->std.bound),
                             canvas.at(stretch[i].right, sorted[i]->std.bound));
    painter.setPen(QPen(kNeutralColour, 1));
    QPolygonF line;
    for (const StepResult *s : sorted)
        if (s->framesKept > 1)
            line << canvas.at(s->referenceMm, s->stdMm);
    painter.drawPolyline(line);
    for (const StepResult *s : sorted)
        if (s->framesKept > 1)
            canvas.point(s->referenceMm, s->stdMm, colourOf(*s, s->std));
    canvas.restore();
    return image;
}

} // namespace ReportCharts
