#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

// Where in a JSON text a key stands: object keys and array indices from the
// top down, the key itself last.
using JsonPath = std::vector<std::variant<QString, int>>;

// The first key that an object of `json` holds twice, or nothing. Qt's
// reader keeps only one of the two, so a plan could otherwise carry a limit
// nobody sees. `json` must already have been read as valid JSON.
std::optional<JsonPath> firstDuplicateKey(const QByteArray &json);
