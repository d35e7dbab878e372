#pragma once

#include <qcustomplot.h>

#include <QImage>

// The main window's plot. At every paint it draws its layers straight onto
// the widget, as an export does, instead of showing the library's full-size
// paint buffers. While data streams in, the key range moves every refresh, so
// every layer changes every time; a buffer then only adds a clear and a
// blend of the whole area per layer, and those cost more than drawing the
// grid and the axes again.
//
// The picture is the same, pixel for pixel, as long as it is made of opaque
// strokes and text (the live curves, the grid, the axes). Antialiased
// strokes (the pens of a played-back recording) come out a level or two
// different when blended straight onto the background, so then the layers
// are drawn into one transparent image first, as the library does.
//
// replot() and QCPLayer::replot() keep their meaning for every caller, the
// library's own interactions included: the layout is brought up to date,
// beforeReplot and afterReplot are emitted, and the widget is updated; the
// paint that follows draws everything, whichever layer changed. The paint
// buffers the library still draws into are one-pixel sinks, so a replot
// rasterizes nothing.
class LivePlot : public QCustomPlot {
    Q_OBJECT
public:
    explicit LivePlot(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void provideSinks();
    bool drawsAntialiased() const;

    QList<QSharedPointer<QCPAbstractPaintBuffer>> sinks;
    QImage layers; // where antialiased pictures are drawn before blending
};
