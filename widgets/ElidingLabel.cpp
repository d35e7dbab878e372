#include "widgets/ElidingLabel.h"

#include <QPainter>
#include <QStyle>

ElidingLabel::ElidingLabel(Qt::TextElideMode mode, QWidget *parent)
    : QLabel(parent)
    , mode(mode)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

QString ElidingLabel::shownText() const
{
    return fontMetrics().elidedText(text(), mode, textWidth());
}

QSize ElidingLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

int ElidingLabel::textWidth() const
{
    return qMax(0, contentsRect().width() - 2 * margin());
}

void ElidingLabel::paintEvent(QPaintEvent *event)
{
    const QString shown = shownText();
    if (shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, area, QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shown, foregroundRole());
}
