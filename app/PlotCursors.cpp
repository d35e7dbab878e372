#include "app/PlotCursors.h"

#include <QMenu>
#include <QMouseEvent>
#include <qcustomplot.h>

#include <cmath>

namespace {

const QColor kColourA(200, 0, 0);
const QColor kColourB(0, 120, 0);
// Beyond this many NaN points around the nearest key, the curve has a hole there.
constexpr int kMaxNaNSkip = 64;

QString withUnit(const QString &number, const QString &unit)
{
    return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

} // namespace

PlotCursors::PlotCursors(QCustomPlot *plot)
    : QObject(plot)
    , plot(plot)
{
    const QString name = QLatin1String(kLayerName);
    layer = plot->layer(name);
    if (!layer) {
        plot->addLayer(name, plot->layer(QStringLiteral("overlay")), QCustomPlot::limBelow);
        layer = plot->layer(name);
        layer->setMode(QCPLayer::lmBuffered);
    }
    makeMarker(markers[0], kColourA);
    makeMarker(markers[1], kColourB);
    deltaLabel = new QCPItemText(plot);
    deltaLabel->setLayer(layer);
    deltaLabel->setSelectable(false);
    deltaLabel->position->setType(QCPItemPosition::ptAxisRectRatio);
    deltaLabel->position->setCoords(1, 1);
    deltaLabel->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
    deltaLabel->setPadding(QMargins(4, 2, 4, 2));
    deltaLabel->setBrush(QBrush(QColor(255, 255, 255, 220)));
    deltaLabel->setVisible(false);
    plot->installEventFilter(this);
    plot->setMouseTracking(true);
    // The texts' places depend on the axis rect's size.
    connect(plot, &QCustomPlot::beforeReplot, this, &PlotCursors::updateItems);
}

void PlotCursors::makeMarker(Marker &m, const QColor &colour)
{
    m.line = new QCPItemStraightLine(plot);
    m.line->setLayer(layer);
    m.line->setSelectable(false);
    m.line->setPen(QPen(colour));
    m.line->setAntialiased(false);
    for (QCPItemPosition *p : {m.line->point1, m.line->point2}) {
        p->setTypeX(QCPItemPosition::ptPlotCoords);
        p->setTypeY(QCPItemPosition::ptAxisRectRatio);
    }
    m.label = new QCPItemText(plot);
    m.label->setLayer(layer);
    m.label->setSelectable(false);
    m.label->setColor(colour);
    m.label->setPadding(QMargins(3, 1, 3, 1));
    m.label->setBrush(QBrush(QColor(255, 255, 255, 220)));
    m.label->position->setTypeX(QCPItemPosition::ptPlotCoords);
    m.label->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    m.line->setVisible(false);
    m.label->setVisible(false);
}

void PlotCursors::setCurve(Curve lookup)
{
    curve = std::move(lookup);
    refresh();
}

void PlotCursors::setGraph(QCPGraph *graph)
{
    const QPointer<QCPGraph> watched(graph);
    setCurve([watched](double x) -> std::optional<CurvePoint> {
        if (!watched)
            return std::nullopt;
        const QSharedPointer<QCPGraphDataContainer> data = watched->data();
        const auto begin = data->constBegin();
        const qint64 n = data->size();
        const qint64 i = CursorPair::nearestKey(n, [&](qint64 k) { return (begin + k)->key; }, x);
        for (qint64 d = 0; i >= 0 && d <= kMaxNaNSkip; ++d) {
            for (qint64 k : {i - d, i + d}) {
                if (k >= 0 && k < n && !std::isnan((begin + k)->value))
                    return CurvePoint{(begin + k)->key, (begin + k)->value};
            }
        }
        return std::nullopt;
    });
}

void PlotCursors::setUnits(const QString &x, const QString &y)
{
    xUnit = x;
    yUnit = y;
    updateItems();
}

void PlotCursors::setDecimals(int x, int y)
{
    xDecimals = x;
    yDecimals = y;
    updateItems();
}

std::optional<double> PlotCursors::valueAt(Cursor c) const
{
    return cursors.has(c) ? marker(c).y : std::nullopt;
}

std::optional<double> PlotCursors::deltaY() const
{
    const std::optional<double> a = valueAt(Cursor::A), b = valueAt(Cursor::B);
    if (!a || !b)
        return std::nullopt;
    return *b - *a;
}

QString PlotCursors::number(double value, int decimals) const
{
    return decimals < 0 ? QString::number(value, 'g', 6) : QString::number(value, 'f', decimals);
}

QString PlotCursors::readout(Cursor c) const
{
    if (!cursors.has(c))
        return {};
    const std::optional<double> y = marker(c).y;
    return QStringLiteral("%1  %2, %3")
        .arg(c == Cursor::A ? QLatin1Char('A') : QLatin1Char('B'))
        .arg(withUnit(number(cursors.position(c), xDecimals), xUnit))
        .arg(y ? withUnit(number(*y, yDecimals), yUnit) : QStringLiteral("-"));
}

QString PlotCursors::deltaText() const
{
    const std::optional<double> dx = cursors.delta();
    if (!dx)
        return {};
    const std::optional<double> dy = deltaY();
    return QStringLiteral("Δx %1   Δy %2")
        .arg(withUnit(number(*dx, xDecimals), xUnit))
        .arg(dy ? withUnit(number(*dy, yDecimals), yUnit) : QStringLiteral("-"));
}

void PlotCursors::setAt(Cursor c, double x)
{
    std::optional<CurvePoint> point = curve ? curve(x) : std::nullopt;
    cursors.set(c, point ? point->x : x);
    marker(c).y = point ? std::optional<double>(point->y) : std::nullopt;
}

void PlotCursors::place(Cursor c, double x)
{
    setAt(c, x);
    updateItems();
    redrawLayer();
    emit changed();
}

PlotCursors::Cursor PlotCursors::placeNext(double x)
{
    CursorPair next = cursors;
    const Cursor c = next.place(x);
    place(c, x);
    return c;
}

void PlotCursors::clear()
{
    cursors.clear();
    updateItems();
    redrawLayer();
    emit changed();
}

void PlotCursors::refresh()
{
    for (Cursor c : {Cursor::A, Cursor::B})
        if (cursors.has(c))
            setAt(c, cursors.position(c));
    updateItems();
}

// A label stands right of its line, or left of it near the right edge; B's
// one line below A's, so that close cursors keep both readable.
void PlotCursors::updateItems()
{
    QCPAxisRect *rect = plot->axisRect();
    const double rectHeight = rect ? qMax(1, rect->height()) : 1;
    for (Cursor c : {Cursor::A, Cursor::B}) {
        Marker &m = marker(c);
        const bool shown = cursors.has(c);
        m.line->setVisible(shown);
        m.label->setVisible(shown);
        if (!shown)
            continue;
        const double x = cursors.position(c);
        m.line->point1->setCoords(x, 0);
        m.line->point2->setCoords(x, 1);
        m.label->setText(readout(c));
        const QFontMetrics metrics(m.label->font());
        const double lineRatio = c == Cursor::A ? 0.0 : (metrics.height() + 4) / rectHeight;
        m.label->position->setCoords(x, lineRatio);
        const int width = metrics.horizontalAdvance(m.label->text()) + 8;
        const bool nearRight = rect && plot->xAxis->coordToPixel(x) + width > rect->right();
        m.label->setPositionAlignment(Qt::AlignTop | (nearRight ? Qt::AlignRight : Qt::AlignLeft));
    }
    deltaLabel->setText(deltaText());
    deltaLabel->setVisible(cursors.complete());
}

void PlotCursors::redrawLayer()
{
    layer->replot();
}

void PlotCursors::addMenuActions(QMenu *menu, const QPoint &pos)
{
    const double x = xAt(pos.x());
    connect(menu->addAction(tr("在此放置光标 A")), &QAction::triggered, this, [this, x] { place(Cursor::A, x); });
    connect(menu->addAction(tr("在此放置光标 B")), &QAction::triggered, this, [this, x] { place(Cursor::B, x); });
    QAction *remove = menu->addAction(tr("移除光标"));
    remove->setEnabled(!cursors.empty());
    connect(remove, &QAction::triggered, this, &PlotCursors::clear);
}

void PlotCursors::useOwnContextMenu()
{
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu(plot);
        addMenuActions(&menu, pos);
        menu.exec(plot->mapToGlobal(pos));
    });
}

double PlotCursors::xAt(int pixelX) const
{
    const QCPRange range = plot->xAxis->range();
    return qBound(range.lower, plot->xAxis->pixelToCoord(pixelX), range.upper);
}

bool PlotCursors::insidePlotArea(const QPoint &pos) const
{
    return plot->axisRect() && plot->axisRect()->rect().contains(pos);
}

std::optional<PlotCursors::Cursor> PlotCursors::cursorNear(int pixelX) const
{
    std::optional<Cursor> best;
    double bestDistance = kGrabPixels + 0.5;
    for (Cursor c : {Cursor::A, Cursor::B}) {
        if (!cursors.has(c))
            continue;
        const double distance = std::fabs(plot->xAxis->coordToPixel(cursors.position(c)) - pixelX);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = c;
        }
    }
    return best;
}

bool PlotCursors::pressed(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !insidePlotArea(event->pos()))
        return false;
    if (event->modifiers() & Qt::ControlModifier)
        dragged = placeNext(xAt(event->pos().x()));
    else
        dragged = cursorNear(event->pos().x());
    return bool(dragged);
}

// Presses, moves and releases that belong to a cursor stop here, so that the
// plot never starts its range drag under them.
bool PlotCursors::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != plot)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        return pressed(static_cast<QMouseEvent *>(event));
    case QEvent::MouseMove: {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (dragged) {
            place(*dragged, xAt(move->pos().x()));
            return true;
        }
        const bool near = insidePlotArea(move->pos()) && cursorNear(move->pos().x());
        if (near != hovering) {
            hovering = near;
            if (near)
                plot->setCursor(Qt::SizeHorCursor);
            else
                plot->unsetCursor();
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        if (!dragged || static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return false;
        dragged.reset();
        return true;
    case QEvent::MouseButtonDblClick: {
        const auto *click = static_cast<QMouseEvent *>(event);
        return insidePlotArea(click->pos()) && cursorNear(click->pos().x());
    }
    default:
        return false;
    }
}
