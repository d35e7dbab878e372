#include "results/ResultsLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QUrl>

namespace {
const QStringList kSslModes = {QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
                               QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
// A server that stops answering in the middle of a run is given up on
// after about this long, whether a write waits for its acknowledgement
// (user timeout) or a query for its answer (keepalives), so that the run
// goes to the local file instead of hanging. TCP only; a Unix socket fails
// at once.
constexpr int kTcpUserTimeoutMs = 15000;
constexpr int kKeepaliveIdleS = 5;
constexpr int kKeepaliveIntervalS = 3;
constexpr int kKeepaliveCount = 3;

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// Percent-decodes a part of the URL; false when a "%" is not followed by two
// hexadecimal digits.
bool decodePart(const QString &part, QString &out)
{
    for (int i = part.indexOf(QLatin1Char('%')); i >= 0; i = part.indexOf(QLatin1Char('%'), i + 1)) {
        if (i + 2 >= part.size() || !isHexDigit(part.at(i + 1)) || !isHexDigit(part.at(i + 2)))
            return false;
    }
    out = QString::fromUtf8(QByteArray::fromPercentEncoding(part.toUtf8()));
    return true;
}

bool parsePort(const QString &text, int &port)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    for (QChar c : text) {
        if (!c.isDigit())
            ok = false;
    }
    if (!ok || value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

QString encoded(const QString &part)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(part));
}
} // namespace

ResultsLocation ResultsLocation::localDefault()
{
    return sqliteFile(QString::fromLatin1(kDefaultFileName));
}

ResultsLocation ResultsLocation::sqliteFile(const QString &path)
{
    ResultsLocation location;
    location.kind = Backend::SQLite;
    location.path = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return location;
}

std::optional<ResultsLocation> ResultsLocation::parse(const QString &text, QString *error)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return localDefault();
    const int schemeEnd = trimmed.indexOf(QLatin1String("://"));
    if (schemeEnd < 0)
        return sqliteFile(trimmed);
    const QString scheme = trimmed.left(schemeEnd).toLower();
    const QString rest = trimmed.mid(schemeEnd + 3);
    if (scheme == QLatin1String("sqlite")) {
        if (rest.isEmpty()) {
            if (error)
                *error = tr("结果数据库地址 %1 缺少文件路径").arg(trimmed);
            return std::nullopt;
        }
        return sqliteFile(rest);
    }
    if (scheme == QLatin1String("postgresql") || scheme == QLatin1String("postgres"))
        return parsePostgres(rest, error);
    if (error)
        *error = tr("结果数据库地址的类型 %1 不受支持：请使用 postgresql:// 或文件路径").arg(scheme);
    return std::nullopt;
}

std::optional<ResultsLocation> ResultsLocation::parsePostgres(const QString &rest, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (rest.contains(QLatin1Char('#')))
        return fail(tr("结果数据库地址不能含有 #"));
    const int queryStart = rest.indexOf(QLatin1Char('?'));
    const QString beforeQuery = queryStart < 0 ? rest : rest.left(queryStart);
    const int slash = beforeQuery.indexOf(QLatin1Char('/'));
    const QString dbPart = slash < 0 ? QString() : beforeQuery.mid(slash + 1);
    ResultsLocation location;
    location.kind = Backend::PostgreSQL;
    if (dbPart.contains(QLatin1Char('/')) || !decodePart(dbPart, location.database))
        return fail(tr("结果数据库地址中的数据库名 %1 无效").arg(dbPart));
    if (location.database.isEmpty())
        return fail(tr("结果数据库地址缺少数据库名：postgresql://用户@主机:端口/数据库名"));
    if (!location.applyAuthority(slash < 0 ? beforeQuery : beforeQuery.left(slash), error))
        return std::nullopt;
    if (queryStart >= 0 && !location.applyQuery(rest.mid(queryStart + 1), error))
        return std::nullopt;
    return location;
}

bool ResultsLocation::applyAuthority(const QString &authority, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const int at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        const int colon = userInfo.indexOf(QLatin1Char(':'));
        if (!decodePart(userInfo.left(colon), userName)
            || (colon >= 0 && !decodePart(userInfo.mid(colon + 1), secret)))
            return fail(tr("结果数据库地址中的用户名或密码无效"));
    }
    QString hostPort = authority.mid(at + 1);
    QString portText;
    if (hostPort.startsWith(QLatin1Char('['))) {
        const int close = hostPort.indexOf(QLatin1Char(']'));
        if (close < 0 || (close + 1 < hostPort.size() && hostPort.at(close + 1) != QLatin1Char(':')))
            return fail(tr("结果数据库地址中的主机 %1 无效").arg(hostPort));
        hostName = hostPort.mid(1, close - 1);
        if (close + 1 < hostPort.size())
            portText = hostPort.mid(close + 2);
        if (hostName.isEmpty())
            return fail(tr("结果数据库地址中的主机 %1 无效").arg(hostPort));
    } else {
        const int colon = hostPort.indexOf(QLatin1Char(':'));
        if (colon >= 0)
            portText = hostPort.mid(colon + 1);
        if (!decodePart(hostPort.left(colon), hostName))
            return fail(tr("结果数据库地址中的主机 %1 无效").arg(hostPort));
        if (colon >= 0 && portText.isEmpty())
            return fail(tr("结果数据库地址中的端口 %1 无效（1-65535）").arg(portText));
    }
    if (!portText.isEmpty() && !parsePort(portText, portNumber))
        return fail(tr("结果数据库地址中的端口 %1 无效（1-65535）").arg(portText));
    return true;
}

bool ResultsLocation::applyQuery(const QString &query, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    QSet<QString> seen;
    for (const QString &item : query.split(QLatin1Char('&'))) {
        const int eq = item.indexOf(QLatin1Char('='));
        const QString key = item.left(eq);
        QString value;
        if (eq < 0 || !decodePart(item.mid(eq + 1), value) || value.isEmpty())
            return fail(tr("结果数据库地址中的参数 %1 缺少值").arg(key));
        if (seen.contains(key))
            return fail(tr("结果数据库地址中的参数 %1 出现了两次").arg(key));
        seen.insert(key);
        if (key == QLatin1String("host")) {
            if (!hostName.isEmpty())
                return fail(tr("结果数据库地址中的主机给了两次"));
            hostName = value;
        } else if (key == QLatin1String("port")) {
            if (portNumber != 0)
                return fail(tr("结果数据库地址中的端口给了两次"));
            if (!parsePort(value, portNumber))
                return fail(tr("结果数据库地址中的端口 %1 无效（1-65535）").arg(value));
        } else if (key == QLatin1String("sslmode")) {
            if (!kSslModes.contains(value))
                return fail(tr("结果数据库地址中的 sslmode=%1 无效：应为 %2").arg(value, kSslModes.join(QLatin1String(", "))));
            sslMode = value;
        } else if (key == QLatin1String("connect_timeout")) {
            bool ok = false;
            connectTimeoutS = value.toInt(&ok);
            if (!ok || connectTimeoutS < 2)
                return fail(tr("结果数据库地址中的 connect_timeout=%1 无效：应为不小于 2 的秒数").arg(value));
        } else {
            return fail(tr("结果数据库地址中的参数 %1 未知：可用 host、port、sslmode、connect_timeout").arg(key));
        }
    }
    return true;
}

QString ResultsLocation::connectOptions() const
{
    QStringList options;
    options << QStringLiteral("connect_timeout=%1").arg(connectTimeoutS);
    options << QStringLiteral("tcp_user_timeout=%1").arg(kTcpUserTimeoutMs)
            << QStringLiteral("keepalives_idle=%1").arg(kKeepaliveIdleS)
            << QStringLiteral("keepalives_interval=%1").arg(kKeepaliveIntervalS)
            << QStringLiteral("keepalives_count=%1").arg(kKeepaliveCount);
    if (!sslMode.isEmpty())
        options << QStringLiteral("sslmode=") + sslMode;
    return options.join(QLatin1Char(';'));
}

QString ResultsLocation::displayText() const
{
    if (kind == Backend::SQLite)
        return QDir::toNativeSeparators(path);
    QString text = QStringLiteral("postgresql://");
    if (!userName.isEmpty())
        text += encoded(userName) + QLatin1Char('@');
    const bool socketDirectory = hostName.startsWith(QLatin1Char('/'));
    if (!socketDirectory)
        text += hostName.contains(QLatin1Char(':')) ? QLatin1Char('[') + hostName + QLatin1Char(']') : encoded(hostName);
    if (portNumber != 0)
        text += QLatin1Char(':') + QString::number(portNumber);
    text += QLatin1Char('/') + encoded(database);
    if (socketDirectory)
        text += QStringLiteral("?host=") + hostName;
    return text;
}

bool ResultsLocation::sameAs(const ResultsLocation &other) const
{
    if (kind != other.kind)
        return false;
    if (kind == Backend::SQLite) {
        const QString mine = QFileInfo(path).canonicalFilePath();
        const QString theirs = QFileInfo(other.path).canonicalFilePath();
        return mine.isEmpty() || theirs.isEmpty() ? path == other.path : mine == theirs;
    }
    return hostName == other.hostName && portNumber == other.portNumber && database == other.database
        && userName == other.userName;
}
