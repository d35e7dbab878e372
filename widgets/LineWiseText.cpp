#include "widgets/LineWiseText.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace LineWiseText {

void set(QPlainTextEdit *view, const QString &text)
{
    QTextDocument *document = view->document();
    document->setUndoRedoEnabled(false);
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (document->blockCount() != lines.size()) {
        view->setPlainText(text);
        return;
    }
    QTextCursor cursor(document);
    bool editing = false;
    for (int i = 0; i < lines.size(); ++i) {
        const QTextBlock block = document->findBlockByNumber(i);
        const QString &line = lines.at(i);
        if (block.text() != line) {
            if (!editing) {
                cursor.beginEditBlock();
                editing = true;
            }
            cursor.setPosition(block.position());
            cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
            cursor.insertText(line);
        }
    }
    if (editing)
        cursor.endEditBlock();
}

} // namespace LineWiseText
