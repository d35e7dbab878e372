#pragma once

#include <QByteArray>
#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>

// Standard output parsed whole by Python's own json and csv modules, as a
// script would read it, and handed back as JSON. Anything they refuse (a
// line cut short, a stray message, rows of unequal length, a last line
// without its newline) gives an undefined value.
namespace PythonParse {

inline QJsonValue run(const char *script, const QByteArray &input)
{
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(script)});
    if (!python.waitForStarted(10000))
        return QJsonValue(QJsonValue::Undefined);
    python.write(input);
    python.closeWriteChannel();
    if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        qWarning().noquote() << "python refused the output:" << python.readAllStandardError();
        return QJsonValue(QJsonValue::Undefined);
    }
    const QJsonDocument doc = QJsonDocument::fromJson(python.readAllStandardOutput());
    if (doc.isObject())
        return doc.object();
    if (doc.isArray())
        return doc.array();
    return QJsonValue(QJsonValue::Undefined);
}

// One JSON text: {"value": ...}.
inline QJsonValue json(const QByteArray &text)
{
    return run("import sys, json\n"
               "text = sys.stdin.read()\n"
               "assert text.endswith('\\n'), 'no newline at the end'\n"
               "print(json.dumps({'value': json.loads(text)}))\n",
               text)
        .toObject()
        .value(QStringLiteral("value"));
}

// JSON lines: a list of the objects.
inline QJsonValue jsonLines(const QByteArray &text)
{
    return run("import sys, json\n"
               "text = sys.stdin.read()\n"
               "assert text == '' or text.endswith('\\n'), 'last line cut short'\n"
               "print(json.dumps([json.loads(line) for line in text.splitlines()]))\n",
               text);
}

// CSV with a header: {"header": [...], "rows": [{column: text}, ...]}.
inline QJsonValue csv(const QByteArray &text)
{
    return run("import sys, csv, io, json\n"
               "text = sys.stdin.read()\n"
               "assert text.endswith('\\n'), 'last line cut short'\n"
               "rows = list(csv.reader(io.StringIO(text), strict=True))\n"
               "header = rows[0]\n"
               "assert all(len(r) == len(header) for r in rows), 'rows of unequal length'\n"
               "print(json.dumps({'header': header, 'rows': [dict(zip(header, r)) for r in rows[1:]]}))\n",
               text);
}

} // namespace PythonParse
