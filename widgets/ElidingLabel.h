#pragma once

#include <QLabel>

// A one-line label that never asks for the width of its text: what does not
// fit is elided with "…" where the mode says, and text() keeps the whole of
// it (a caller that wants it readable puts it in the tooltip too).
class ElidingLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidingLabel(Qt::TextElideMode mode, QWidget *parent = nullptr);

    // The text as it is drawn at the label's present width.
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int textWidth() const;

    Qt::TextElideMode mode;
};
