#pragma once

#include <QString>

class QPlainTextEdit;

// Rewrites a text view that is refreshed many times a second with texts of
// the same shape (the measurement lines): only the lines that changed are
// replaced, so the unchanged ones are neither laid out nor painted again.
// The view then holds exactly `text`, as after setPlainText; a text with
// another number of lines replaces the whole. The view keeps no undo history,
// which would only grow.
namespace LineWiseText {

void set(QPlainTextEdit *view, const QString &text);

} // namespace LineWiseText
