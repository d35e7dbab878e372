#include "testrun/PlanApprovals.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

PlanApprovals::PlanApprovals(const QString &file)
    : file(file)
{
}

QString PlanApprovals::line(const QString &planPath, const QByteArray &content)
{
    const QByteArray hash = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(hash) + QLatin1Char(' ') + QDir::cleanPath(QFileInfo(planPath).absoluteFilePath());
}

bool PlanApprovals::isApproved(const QString &planPath, const QByteArray &content) const
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QString wanted = line(planPath, content);
    while (!f.atEnd()) {
        QString stored = QString::fromUtf8(f.readLine());
        while (stored.endsWith(QLatin1Char('\n')) || stored.endsWith(QLatin1Char('\r')))
            stored.chop(1);
        if (stored == wanted)
            return true;
    }
    return false;
}

bool PlanApprovals::approve(const QString &planPath, const QByteArray &content, QString *why)
{
    if (isApproved(planPath, content))
        return true;
    QFile f(file);
    // A last line cut short by an earlier failed write must not swallow this one.
    const bool needsLineEnd = f.size() > 0 && f.open(QIODevice::ReadOnly) && f.seek(f.size() - 1) && f.peek(1) != "\n";
    f.close();
    const QByteArray bytes = (needsLineEnd ? QByteArray("\n") : QByteArray()) + line(planPath, content).toUtf8() + '\n';
    if (f.open(QIODevice::WriteOnly | QIODevice::Append) && f.write(bytes) == bytes.size() && f.flush())
        return true;
    if (why)
        *why = tr("无法记录已确认的测试计划 %1：%2").arg(file, f.errorString());
    return false;
}
