#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPalette>

class QPlainTextEdit;
class QTRNet;

// Greys a text view whose values stopped coming in (the link was lost) and
// says so in its tooltip, leaving its text alone; the next frame the
// endpoint publishes makes it live again. Costs nothing per frame while the
// view is live.
class StaleTextMarker : public QObject {
    Q_OBJECT
public:
    StaleTextMarker(QPlainTextEdit *view, QTRNet *net);

    void mark();
    bool isMarked() const { return bool(listening); }

private:
    void unmark();

    QPlainTextEdit *view;
    QTRNet *net;
    QPalette livePalette;
    QMetaObject::Connection listening;
};
