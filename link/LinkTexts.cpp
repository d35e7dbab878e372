#include "link/LinkTexts.h"

#include "link/PortLoss.h"

namespace {
// The serial library names a port under /dev by its short name ("pts/0");
// the user knows it by its device file.
QString shown(const QString &port)
{
#ifdef Q_OS_UNIX
    return PortLoss::deviceFile(port);
#else
    return port;
#endif
}
} // namespace

QString LinkTexts::stateName(LinkState state)
{
    switch (state) {
    case LinkState::Unconnected: return tr("未连接");
    case LinkState::Connected: return tr("已连接");
    case LinkState::Acquiring: return tr("采集中");
    case LinkState::Disconnected: return tr("已断开");
    case LinkState::Reconnecting: return tr("重新连接中");
    }
    return QString();
}

QString LinkTexts::stateLine(const QString &port, qint32 baudRate, LinkState state)
{
    if (port.isEmpty())
        return stateName(state);
    return QStringLiteral("%1  %2 bps  %3").arg(shown(port)).arg(baudRate).arg(stateName(state));
}

QString LinkTexts::openFailed(const OpenFailure &f)
{
    if (f.port.isEmpty())
        return tr("串口未设置：请在“设置 → 打开串口”中选择");
    switch (f.error) {
    case QSerialPort::PermissionError:
        if (f.deniedByPermissions)
            return tr("无权访问串口 %1：请运行 sudo usermod -aG %2 $USER，然后重新登录").arg(shown(f.port), f.group);
        return tr("串口 %1 被占用（%2）").arg(shown(f.port), f.reason);
    case QSerialPort::DeviceNotFoundError:
        return tr("找不到串口 %1").arg(shown(f.port));
    default:
        return tr("无法打开串口 %1：%2").arg(shown(f.port), f.reason);
    }
}

QString LinkTexts::deviceGone(const QString &port)
{
    return tr("串口 %1 已断开：设备被拔出或复位").arg(shown(port));
}

QString LinkTexts::reconnected(const QString &port)
{
    return tr("已重新连接串口 %1").arg(shown(port));
}

QString LinkTexts::sendRefused(quint8 cmd, QTRNet::Refusal why)
{
    QString reason;
    switch (why) {
    case QTRNet::Refusal::Busy: reason = tr("正在等待上一条命令"); break;
    case QTRNet::Refusal::PortClosed: reason = tr("串口未打开"); break;
    case QTRNet::Refusal::WriteFailed: reason = tr("串口拒绝写入"); break;
    }
    return tr("命令 0x%1 未发送：%2").arg(cmd, 2, 16, QLatin1Char('0')).arg(reason);
}

QString LinkTexts::sendRefused(quint8 cmd, LinkLease::Holder holder)
{
    QString reason;
    switch (holder) {
    case LinkLease::Holder::None:
    case LinkLease::Holder::Acquisition: return sendRefused(cmd, QTRNet::Refusal::Busy);
    case LinkLease::Holder::Reconnection: reason = tr("正在重新连接"); break;
    case LinkLease::Holder::Transfer: reason = tr("下载正在进行"); break;
    case LinkLease::Holder::TestRun: reason = tr("测试正在进行"); break;
    }
    return tr("命令 0x%1 未发送：%2").arg(cmd, 2, 16, QLatin1Char('0')).arg(reason);
}

QString LinkTexts::staleData()
{
    return tr("数据已停止：连接已断开，这里是最后收到的值");
}

