#include "testrun/JsonKeyScan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace {

struct Level {
    bool object = false;
    bool expectKey = true;
    int index = 0;
    QString key;
    QSet<QString> keys;
};

// The end of the string that opens at `begin` (one past its closing quote).
int stringEnd(const QByteArray &json, int begin)
{
    int i = begin + 1;
    while (i < json.size() && json[i] != '"')
        i += json[i] == '\\' ? 2 : 1;
    return i + 1;
}

QString decodeString(const QByteArray &token)
{
    if (!token.contains('\\'))
        return QString::fromUtf8(token.mid(1, token.size() - 2));
    return QJsonDocument::fromJson("[" + token + "]").array().at(0).toString();
}

JsonPath pathTo(const std::vector<Level> &stack, const QString &key)
{
    JsonPath path;
    for (std::size_t i = 0; i + 1 < stack.size(); ++i) {
        if (stack[i].object)
            path.emplace_back(stack[i].key);
        else
            path.emplace_back(stack[i].index);
    }
    path.emplace_back(key);
    return path;
}

} // namespace

std::optional<JsonPath> firstDuplicateKey(const QByteArray &json)
{
    std::vector<Level> stack;
    int i = 0;
    while (i < json.size()) {
        const char c = json[i];
        if (c == '{' || c == '[') {
            stack.push_back(Level());
            stack.back().object = c == '{';
        } else if ((c == '}' || c == ']') && !stack.empty()) {
            stack.pop_back();
        } else if (c == ',' && !stack.empty()) {
            Level &top = stack.back();
            top.expectKey = top.object;
            top.index += top.object ? 0 : 1;
        } else if (c == ':' && !stack.empty()) {
            stack.back().expectKey = false;
        } else if (c == '"') {
            const int end = stringEnd(json, i);
            if (!stack.empty() && stack.back().object && stack.back().expectKey) {
                Level &top = stack.back();
                const QString key = decodeString(json.mid(i, end - i));
                if (top.keys.contains(key))
                    return pathTo(stack, key);
                top.keys.insert(key);
                top.key = key;
            }
            i = end;
            continue;
        }
        ++i;
    }
    return std::nullopt;
}
