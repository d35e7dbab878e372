#include "app/LinkStatsLabel.h"

#include "link/LinkStats.h"

#include <QTimer>

LinkStatsLabel::LinkStatsLabel(LinkStats *stats, QWidget *parent)
    : ElidingLabel(Qt::ElideRight, parent)
    , stats(stats)
    , timer(new QTimer(this))
{
    setObjectName(QStringLiteral("linkStatsLabel"));
    clock.start();
    timer->setInterval(kRefreshMs);
    connect(timer, &QTimer::timeout, this, &LinkStatsLabel::refresh);
    timer->start();
    setRoom(naturalWidth());
    refresh();
}

int LinkStatsLabel::naturalWidth() const
{
    LinkCounters large;
    large.frames = 99999999;
    large.badChecksums = 9999;
    large.skippedBytes = 999999;
    large.shortPayloads = 9999;
    return fontMetrics().horizontalAdvance(statusText(large, 9999, 999999)) + 2 * margin() + 2;
}

void LinkStatsLabel::setRoom(int width)
{
    setFixedSize(width, fontMetrics().height() + 2 * (margin() + frameWidth()));
}

void LinkStatsLabel::refresh()
{
    stats->sample(clock.elapsed());
    const LinkCounters shown = stats->sinceClear();
    const QString text = statusText(shown, stats->framesPerSecond(), stats->bytesPerSecond());
    if (text != this->text())
        setText(text);
    const QString details = detailsText(shown, stats->sinceOpen(), stats->framesPerSecond(), stats->bytesPerSecond());
    if (details != toolTip())
        setToolTip(details);
}

QString LinkStatsLabel::statusText(const LinkCounters &c, double framesPerSecond, double bytesPerSecond)
{
    return tr("帧 %1  %2 帧/秒  %3 字节/秒  校验错误 %4  丢弃 %5 字节  过短 %6")
        .arg(c.frames)
        .arg(qRound64(framesPerSecond))
        .arg(qRound64(bytesPerSecond))
        .arg(c.badChecksums)
        .arg(c.skippedBytes)
        .arg(c.shortPayloads);
}

QString LinkStatsLabel::detailsText(const LinkCounters &sinceClear, const LinkCounters &sinceOpen,
                                    double framesPerSecond, double bytesPerSecond)
{
    const auto row = [&](const QString &name, quint64 LinkCounters::*field) {
        return QStringLiteral("<tr><td>%1</td><td align=right>%2</td><td align=right>%3</td></tr>")
            .arg(name)
            .arg(sinceClear.*field)
            .arg(sinceOpen.*field);
    };
    return QStringLiteral("<table cellspacing=4><tr><th></th><th>%1</th><th>%2</th></tr>").arg(tr("自清除以来"), tr("自端口打开以来"))
        + row(tr("接收帧"), &LinkCounters::frames) + row(tr("接收字节"), &LinkCounters::bytes)
        + row(tr("校验错误"), &LinkCounters::badChecksums) + row(tr("丢弃字节"), &LinkCounters::skippedBytes)
        + row(tr("过短负载"), &LinkCounters::shortPayloads) + QStringLiteral("</table>")
        + tr("最近一秒：%1 帧/秒，%2 字节/秒").arg(qRound64(framesPerSecond)).arg(qRound64(bytesPerSecond));
}
