#include "app/TrafficModel.h"

#include "link/TrafficLog.h"

#include <QColor>
#include <QDateTime>

namespace {
QString hex(const quint8 *bytes, int count)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(bytes), count).toHex(' ').toUpper());
}
QString hexByte(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}
} // namespace

TrafficModel::TrafficModel(const TrafficLog &log, QObject *parent)
    : QAbstractTableModel(parent)
    , log(log)
{
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shownEnd - shownFirst);
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

void TrafficModel::refresh()
{
    const quint64 first = log.firstNumber();
    const quint64 end = log.endNumber();
    if (first > shownEnd || end < shownEnd) {
        beginResetModel();
        shownFirst = first;
        shownEnd = end;
        endResetModel();
        return;
    }
    if (first > shownFirst) {
        beginRemoveRows({}, 0, int(first - shownFirst) - 1);
        shownFirst = first;
        endRemoveRows();
    }
    if (end > shownEnd) {
        beginInsertRows({}, rowCount(), rowCount() + int(end - shownEnd) - 1);
        shownEnd = end;
        endInsertRows();
    }
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    const quint64 number = shownFirst + quint64(index.row());
    if (!index.isValid() || number < log.firstNumber() || number >= log.endNumber())
        return {};
    if (role == Qt::DisplayRole)
        return display(index.row(), index.column());
    const TrafficRecord &r = log.record(number);
    if (role == Qt::ForegroundRole && r.kind == TrafficRecord::Kind::Damaged)
        return QColor(Qt::red);
    if (role == Qt::ForegroundRole && r.kind == TrafficRecord::Kind::Skipped)
        return QColor(Qt::gray);
    return {};
}

QVariant TrafficModel::display(int row, int column) const
{
    const TrafficRecord &r = log.record(shownFirst + quint64(row));
    const bool fields = r.hasFields();
    switch (column) {
    case Time:
        return QDateTime::fromMSecsSinceEpoch(r.msSinceEpoch).toString(QStringLiteral("HH:mm:ss.zzz"));
    case Direction:
        return r.outgoing ? tr("发") : tr("收");
    case Address:
        return fields ? hexByte(r.addr()) : QVariant();
    case Command:
        return fields ? hexByte(r.cmd()) : QVariant();
    case Offset:
        return fields ? QVariant(int(r.offset())) : QVariant();
    case Length:
        return fields ? int(r.length()) : r.size;
    case Checksum:
        if (r.kind == TrafficRecord::Kind::Skipped)
            return tr("杂散字节");
        return r.kind == TrafficRecord::Kind::Frame ? tr("正确") : tr("错误");
    case Data: {
        const int from = r.kind == TrafficRecord::Kind::Skipped ? 0 : qMin(10, r.kept);
        const int shown = qMin(kPayloadBytesShown, r.kept - from);
        const int available = r.kind == TrafficRecord::Kind::Skipped ? r.size : (fields ? int(r.length()) : 0);
        return hex(r.bytes + from, shown) + (available > shown ? QStringLiteral(" ...") : QString());
    }
    default:
        return {};
    }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time: return tr("时间");
    case Direction: return tr("方向");
    case Address: return tr("地址");
    case Command: return tr("命令");
    case Offset: return tr("偏移");
    case Length: return tr("长度");
    case Checksum: return tr("校验");
    case Data: return tr("数据");
    default: return {};
    }
}

QString TrafficModel::copyAsHex(const QList<int> &rows) const
{
    QStringList lines;
    for (int row : rows) {
        const quint64 number = shownFirst + quint64(row);
        if (row < 0 || number >= shownEnd || number < log.firstNumber())
            continue;
        const TrafficRecord &r = log.record(number);
        lines << hex(r.bytes, r.kept) + (r.size > r.kept ? QStringLiteral(" ...") : QString());
    }
    return lines.join(QLatin1Char('\n'));
}
