#pragma once

#include <QString>
#include <QtGlobal>

#include <string>

// JSON text written as it goes, keys in the order given (a reader's eye and
// a diff find them where the interface lists them), numbers in the shortest
// form that reads back the same, never in the locale's form. Not a
// validator: the caller opens and closes what it writes.
class JsonText {
public:
    JsonText &beginObject();
    JsonText &endObject();
    JsonText &beginArray();
    JsonText &endArray();
    JsonText &key(const char *name);
    JsonText &value(const QString &text);
    JsonText &value(const char *text);
    JsonText &value(qint64 number);
    JsonText &value(int number) { return value(qint64(number)); }
    JsonText &value(quint32 number) { return value(qint64(number)); }
    // NaN and the infinities, which JSON cannot hold, become null.
    JsonText &value(double number);
    JsonText &null();
    // A number already in JSON's form, copied as it is.
    JsonText &raw(const char *text, std::size_t size);

    const std::string &text() const { return out; }
    // Appends `text` as a JSON string (quotes and escapes included).
    static void appendString(std::string &out, const QByteArray &utf8);

private:
    void separate();

    std::string out;
    bool needComma = false;
};
