#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

class TrafficLog;

// The traffic log as a table, one record a row, oldest first. Follows the
// log only when refreshed, so a view is updated a few times a second however
// fast frames arrive; rows are formatted only when a view asks for them.
class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Address, Command, Offset, Length, Checksum, Data, ColumnCount };
    static constexpr int kPayloadBytesShown = 8;

    explicit TrafficModel(const TrafficLog &log, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes in what the log gained and drops what it lost since the last call.
    void refresh();

    // The rows' bytes as on the wire, one row a line, in hexadecimal; a
    // record longer than what was kept ends in "...".
    QString copyAsHex(const QList<int> &rows) const;

private:
    QVariant display(int row, int column) const;

    const TrafficLog &log;
    quint64 shownFirst = 0;
    quint64 shownEnd = 0;
};
