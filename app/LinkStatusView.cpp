#include "app/LinkStatusView.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

bool isLost(LinkState state)
{
    return state == LinkState::Disconnected || state == LinkState::Reconnecting;
}

} // namespace

LinkStatusView::LinkStatusView(QWidget *parent)
    : QWidget(parent)
    , stateLabel(new QLabel(this))
    , messageLabel(new QLabel(this))
{
    stateLabel->setObjectName(QStringLiteral("linkStateLabel"));
    messageLabel->setObjectName(QStringLiteral("linkMessageLabel"));
    // A long message is cut rather than widening the window.
    messageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    messageLabel->setMinimumWidth(0);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(stateLabel);
    layout->addWidget(messageLabel, 1);
    expiry.setSingleShot(true);
    expiry.setInterval(kMessageMs);
    connect(&expiry, &QTimer::timeout, this, [this] {
        messageLabel->clear();
        messageLabel->setMinimumWidth(0);
    });
}

void LinkStatusView::showState(const QString &line, LinkState state)
{
    stateLabel->setText(line);
    QFont font = stateLabel->font();
    font.setBold(isLost(state));
    stateLabel->setFont(font);
    setTextColour(stateLabel, isLost(state) ? QColor(Qt::darkRed) : palette().color(QPalette::WindowText));
}

void LinkStatusView::showProblem(const QString &text)
{
    showMessage(text, Qt::darkRed);
}

void LinkStatusView::showNotice(const QString &text)
{
    showMessage(text, palette().color(QPalette::WindowText));
}

void LinkStatusView::showMessage(const QString &text, const QColor &colour)
{
    setTextColour(messageLabel, colour);
    messageLabel->setText(text);
    // The other status-bar widgets give way to the message while it shows,
    // up to half the bar, so that it can be read whole.
    const int bar = parentWidget() ? parentWidget()->width() : width();
    messageLabel->setMinimumWidth(qMin(messageLabel->fontMetrics().horizontalAdvance(text) + 4, bar / 2));
    messageLabel->setToolTip(text);
    expiry.start();
}
