#pragma once

#include "link/LinkState.h"

#include <QColor>
#include <QObject>
#include <QTimer>

class ElidingLabel;
class QWidget;

// The status bar's link texts: the link's state, always in view in a room of
// fixed width, and the latest problem or notice for a few seconds. Neither
// ever changes the window's size: what does not fit is elided, and the
// tooltip holds the whole text. The window places the two labels.
class LinkStatusView : public QObject {
    Q_OBJECT
public:
    static constexpr int kMessageMs = 6000;

    // The labels are made with `parent`, for the window to place.
    explicit LinkStatusView(QWidget *parent);

    ElidingLabel *stateLabel() const { return state; }
    ElidingLabel *messageLabel() const { return message; }
    // The width of the state line for a usual port at any state.
    int naturalStateWidth() const;
    // Fixes the state label's size at `width` and its text's height.
    void setStateRoom(int width);

    void showState(const QString &line, LinkState state);
    void showProblem(const QString &text);
    void showNotice(const QString &text);

private:
    void showMessage(const QString &text, const QColor &colour);

    ElidingLabel *state;
    ElidingLabel *message;
    QColor plainColour;
    QTimer expiry;
};
