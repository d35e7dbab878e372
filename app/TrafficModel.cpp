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
        return display(number, index.column());
    if (role == Qt::ToolTipRole && index.column() == Data)
        return dataText(number, true);
    const TrafficRecord &r = log.record(number);
    if (role == Qt::ForegroundRole && r.kind == TrafficRecord::Kind::Damaged)
        return QColor(Qt::red);
    if (role == Qt::ForegroundRole && r.kind == TrafficRecord::Kind::Skipped)
        return QColor(Qt::gray);
    return {};
}

QVariant TrafficModel::display(quint64 number, int column) const
{
    const TrafficRecord &r = log.record(number);
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
    case Data:
        return dataText(number, false);
    default:
        return {};
    }
}

QByteArray TrafficModel::dataOf(const TrafficRecord &r, const QByteArray &bytes)
{
    if (r.kind == TrafficRecord::Kind::Skipped)
        return bytes;
    if (!r.hasFields())
        return {};
    return bytes.mid(TrafficRecord::kHeadBytes, qMin(int(r.length()), bytes.size() - TrafficRecord::kHeadBytes));
}

// The first bytes, or (whole) all of them a line of kTooltipBytesPerLine at a time.
QString TrafficModel::dataText(quint64 number, bool whole) const
{
    const TrafficRecord &r = log.record(number);
    const QByteArray data = dataOf(r, log.bytes(number));
    if (!whole) {
        const int shown = qMin(kPayloadBytesShown, data.size());
        return hex(reinterpret_cast<const quint8 *>(data.constData()), shown)
            + (data.size() > shown ? QStringLiteral(" ...") : QString());
    }
    QStringList lines;
    for (int from = 0; from < data.size(); from += kTooltipBytesPerLine)
        lines << hex(reinterpret_cast<const quint8 *>(data.constData()) + from,
                     qMin(kTooltipBytesPerLine, data.size() - from));
    return lines.join(QLatin1Char('\n'));
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
        const QByteArray bytes = log.bytes(number);
        // Only a run of stray bytes longer than any frame is kept in part.
        lines << hex(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size())
                     + (log.record(number).size > bytes.size() ? QStringLiteral(" ...") : QString());
    }
    return lines.join(QLatin1Char('\n'));
}
