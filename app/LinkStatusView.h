#pragma once

#include "link/LinkState.h"

#include <QTimer>
#include <QWidget>

class QLabel;

// The status bar's link corner: the link's state, always in view, and beside
// it the latest problem or notice for a few seconds. Unlike the status bar's
// own messages it never hides the other status-bar widgets.
class LinkStatusView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMessageMs = 6000;

    explicit LinkStatusView(QWidget *parent = nullptr);

    void showState(const QString &line, LinkState state);
    void showProblem(const QString &text);
    void showNotice(const QString &text);

private:
    void showMessage(const QString &text, const QColor &colour);

    QLabel *stateLabel;
    QLabel *messageLabel;
    QTimer expiry;
};
