#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

class TrafficLog;
struct TrafficRecord;

// The traffic log as a table, one record a row, oldest first. Follows the
// log only when refreshed, so a view is updated a few times a second however
// fast frames arrive; rows are formatted only when a view asks for them.
class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Address, Command, Offset, Length, Checksum, Data, ColumnCount };
    // The Data column shows this much of a payload; its tooltip all of it.
    static constexpr int kPayloadBytesShown = 8;
    static constexpr int kTooltipBytesPerLine = 32;

    explicit TrafficModel(const TrafficLog &log, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes in what the log gained and drops what it lost since the last call.
    void refresh();

    // The rows' bytes as on the wire, whole, one row a line, in hexadecimal
    // (a run of stray bytes longer than any frame ends in "...").
    QString copyAsHex(const QList<int> &rows) const;

    // What the Data column stands for: a frame's payload, between its length
    // field and its checksum (as much of it as arrived, for a damaged frame
    // cut short), or the bytes themselves of a run that started no frame.
    static QByteArray dataOf(const TrafficRecord &record, const QByteArray &bytes);

private:
    QVariant display(quint64 number, int column) const;
    QString dataText(quint64 number, bool whole) const;

    const TrafficLog &log;
    quint64 shownFirst = 0;
    quint64 shownEnd = 0;
};
