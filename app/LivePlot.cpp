#include "app/LivePlot.h"

namespace {

// Takes the place of one of the library's paint buffers. Whatever is drawn
// into it is clipped away at once: the picture is drawn at paint time.
class PaintSink : public QCPAbstractPaintBuffer {
public:
    PaintSink()
        : QCPAbstractPaintBuffer(QSize(1, 1), 1.0)
        , pixel(1, 1, QImage::Format_ARGB32_Premultiplied)
    {
    }

    QCPPainter *startPainting() override { return new QCPPainter(&pixel); }
    void draw(QCPPainter *) const override {}
    void clear(const QColor &) override {}

protected:
    void reallocateBuffer() override {}

private:
    QImage pixel;
};

// The render hint the library's buffers paint with; the raster engine places
// aliased lines by it, so the same pixels need it.
void hintAsTheLibraryDoes(QCPPainter &painter)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    painter.setRenderHint(QPainter::HighQualityAntialiasing);
    QT_WARNING_POP
}

bool antialiasedPlottable(const QCPAbstractPlottable *plottable)
{
    if (plottable->antialiased())
        return true;
    if (plottable->brush().style() != Qt::NoBrush && plottable->antialiasedFill())
        return true;
    // Only a graph is known to draw no scatters when it has no scatter style.
    const auto *graph = qobject_cast<const QCPGraph *>(plottable);
    return plottable->antialiasedScatters() && (!graph || !graph->scatterStyle().isNone());
}

} // namespace

LivePlot::LivePlot(QWidget *parent)
    : QCustomPlot(parent)
    , axesLayer(layer(QStringLiteral("axes")))
{
    // The paint covers every pixel with the background brush first, so what
    // lies under the widget need not be painted.
    setAttribute(Qt::WA_OpaquePaintEvent, mBackgroundBrush.isOpaque());
    // A replot is shown by the next paint, together with whatever else of the
    // window changed meanwhile, rather than by a paint of its own at once.
    setPlottingHint(QCP::phImmediateRefresh, false);
    // Its own sink, so that refresh() can draw the axes alone.
    axesLayer->setMode(QCPLayer::lmBuffered);
    connect(this, &QCustomPlot::beforeReplot, this, &LivePlot::provideSinks);
}

void LivePlot::refresh()
{
    // Until a full replot has handed out the sinks, only it can draw.
    if (mPaintBuffers.isEmpty() || hasInvalidatedPaintBuffers()) {
        replot();
        return;
    }
    emit beforeReplot();
    updateLayout();
    axesLayer->replot();
    emit afterReplot();
}

// The library sets its buffers up during each replot and makes one of its
// own for each one missing: offer a sink for every buffer it may want, which
// is at most one per layer and one more. It drops those it does not need
// from its list; they are kept here for the next time.
void LivePlot::provideSinks()
{
    if (!mReplotting)
        return;
    while (sinks.size() <= layerCount())
        sinks.append(QSharedPointer<QCPAbstractPaintBuffer>(new PaintSink));
    mPaintBuffers = sinks;
}

void LivePlot::updateLayout()
{
    if (!painting)
        QCustomPlot::updateLayout();
}

// Whether anything visible may blend partly covered pixels: an element told
// to antialias, or a plottable or item drawn with antialiasing.
bool LivePlot::drawsAntialiased() const
{
    if (antialiasedElements() != QCP::aeNone)
        return true;
    for (const QCPAbstractPlottable *plottable : mPlottables)
        if (plottable->realVisibility() && antialiasedPlottable(plottable))
            return true;
    for (const QCPAbstractItem *item : mItems)
        if (item->realVisibility() && item->antialiased())
            return true;
    return false;
}

void LivePlot::paintEvent(QPaintEvent *)
{
    QCPPainter painter(this);
    if (!painter.isActive())
        return;
    hintAsTheLibraryDoes(painter);
    if (mBackgroundBrush.style() != Qt::NoBrush)
        painter.fillRect(mViewport, mBackgroundBrush);
    painting = true;
    if (!drawsAntialiased()) {
        draw(&painter);
    } else {
        if (layers.size() != mViewport.size())
            layers = QImage(mViewport.size(), QImage::Format_ARGB32_Premultiplied);
        layers.fill(Qt::transparent);
        {
            QCPPainter layerPainter(&layers);
            hintAsTheLibraryDoes(layerPainter);
            layerPainter.translate(-mViewport.topLeft());
            draw(&layerPainter);
        }
        painter.drawImage(mViewport.topLeft(), layers);
    }
    painting = false;
}
