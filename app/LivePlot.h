#pragma once

#include <qcustomplot.h>

#include <QImage>

// The main window's plot. At every paint it draws its layers straight onto
// the widget, as an export does, instead of showing the library's full-size
// paint buffers. While data streams in, the key range moves at every
// refresh, so every layer changes every time; a buffer then only adds a
// clear and a blend of the whole area per layer, and those cost more than
// drawing the grid and the axes again.
//
// The picture is the one the library shows, pixel for pixel:
// - the layout is made where the library makes it, in replot(), never in a
//   paint, so a paint shows the layout of the last replot as a blit would;
// - the tick labels are drawn at every replot, into a sink, so the label
//   cache the layout measures them by fills up as the library's does;
// - antialiased strokes (the pens of a played-back recording) come out a
//   level or two different when blended straight onto the background, so
//   while any are shown the layers are drawn into one transparent image
//   first, as the library does.
//
// replot() and QCPLayer::replot() keep their meaning for every caller, the
// library's own interactions included, and end in a paint that draws
// everything; the buffers the library draws into are one-pixel sinks.
class LivePlot : public QCustomPlot {
    Q_OBJECT
public:
    explicit LivePlot(QWidget *parent = nullptr);

    // replot() less the drawing of the curves into a sink: the layout is
    // brought up to date, the axes are drawn into their sink, beforeReplot
    // and afterReplot are emitted and the next paint draws the picture. For
    // the refresh that runs up to thirty times a second.
    void refresh();

protected:
    void paintEvent(QPaintEvent *event) override;
    void updateLayout() override;

private:
    void provideSinks();
    bool drawsAntialiased() const;

    QCPLayer *axesLayer;
    QList<QSharedPointer<QCPAbstractPaintBuffer>> sinks;
    QImage layers; // where antialiased pictures are drawn before blending
    bool painting = false;
};
