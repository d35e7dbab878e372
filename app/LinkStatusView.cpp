#include "app/LinkStatusView.h"

#include "link/LinkTexts.h"
#include "widgets/ElidingLabel.h"

namespace {

void setTextColour(QWidget *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

bool isLost(LinkState state)
{
    return state == LinkState::Disconnected || state == LinkState::Reconnecting;
}

// A usual port of the bridge at the longest rate: the room is made for it.
const QString kUsualPort = QStringLiteral("/dev/ttyUSB0");
constexpr qint32 kWidestRate = 921600;

} // namespace

LinkStatusView::LinkStatusView(QWidget *parent)
    : QObject(parent)
    , state(new ElidingLabel(Qt::ElideMiddle, parent))
    , message(new ElidingLabel(Qt::ElideRight, parent))
    , plainColour(parent->palette().color(QPalette::WindowText))
{
    state->setObjectName(QStringLiteral("linkStateLabel"));
    message->setObjectName(QStringLiteral("linkMessageLabel"));
    message->hide();
    expiry.setSingleShot(true);
    expiry.setInterval(kMessageMs);
    connect(&expiry, &QTimer::timeout, this, [this] {
        message->clear();
        message->setToolTip(QString());
        message->hide();
    });
}

// Lost states are drawn in bold, which is wider.
int LinkStatusView::naturalStateWidth() const
{
    QFont bold = state->font();
    bold.setBold(true);
    const QFontMetrics plainMetrics(state->font());
    const QFontMetrics boldMetrics(bold);
    int widest = 0;
    for (LinkState s : {LinkState::Unconnected, LinkState::Connected, LinkState::Acquiring, LinkState::Disconnected,
                        LinkState::Reconnecting}) {
        const QString line = LinkTexts::stateLine(kUsualPort, kWidestRate, s);
        widest = qMax(widest, (isLost(s) ? boldMetrics : plainMetrics).horizontalAdvance(line));
    }
    return widest + 2 * state->margin() + 2;
}

void LinkStatusView::setStateRoom(int width)
{
    state->setFixedSize(width, state->fontMetrics().height() + 2 * (state->margin() + state->frameWidth()));
}

void LinkStatusView::showState(const QString &line, LinkState linkState)
{
    state->setText(line);
    state->setToolTip(line);
    QFont font = state->font();
    font.setBold(isLost(linkState));
    state->setFont(font);
    setTextColour(state, isLost(linkState) ? QColor(Qt::darkRed) : plainColour);
}

void LinkStatusView::showProblem(const QString &text)
{
    showMessage(text, Qt::darkRed);
}

void LinkStatusView::showNotice(const QString &text)
{
    showMessage(text, plainColour);
}

void LinkStatusView::showMessage(const QString &text, const QColor &colour)
{
    setTextColour(message, colour);
    message->setText(text);
    message->setToolTip(text);
    message->show();
    expiry.start();
}
