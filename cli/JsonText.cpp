#include "cli/JsonText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

void JsonText::separate()
{
    if (needComma)
        out += ',';
    needComma = true;
}

JsonText &JsonText::beginObject()
{
    separate();
    out += '{';
    needComma = false;
    return *this;
}

JsonText &JsonText::endObject()
{
    out += '}';
    needComma = true;
    return *this;
}

JsonText &JsonText::beginArray()
{
    separate();
    out += '[';
    needComma = false;
    return *this;
}

JsonText &JsonText::endArray()
{
    out += ']';
    needComma = true;
    return *this;
}

JsonText &JsonText::key(const char *name)
{
    separate();
    appendString(out, QByteArray(name));
    out += ':';
    needComma = false;
    return *this;
}

JsonText &JsonText::value(const QString &text)
{
    separate();
    appendString(out, text.toUtf8());
    return *this;
}

JsonText &JsonText::value(const char *text)
{
    return value(QString::fromUtf8(text));
}

JsonText &JsonText::value(qint64 number)
{
    separate();
    char buf[24];
    const auto end = std::to_chars(buf, buf + sizeof buf, number).ptr;
    out.append(buf, std::size_t(end - buf));
    return *this;
}

JsonText &JsonText::value(double number)
{
    if (!std::isfinite(number))
        return null();
    separate();
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, number).ptr;
    out.append(buf, std::size_t(end - buf));
    return *this;
}

JsonText &JsonText::null()
{
    separate();
    out += "null";
    return *this;
}

JsonText &JsonText::raw(const char *text, std::size_t size)
{
    separate();
    out.append(text, size);
    return *this;
}

void JsonText::appendString(std::string &out, const QByteArray &utf8)
{
    out += '"';
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}
