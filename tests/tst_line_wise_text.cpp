#include "widgets/LineWiseText.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QtTest>

class tst_LineWiseText : public QObject {
    Q_OBJECT
private slots:
    void viewHoldsExactlyTheNewText_data();
    void viewHoldsExactlyTheNewText();
    void unchangedLinesAreLeftAlone();
};

void tst_LineWiseText::viewHoldsExactlyTheNewText_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");

    const QString eight = QStringLiteral("distance:100\nconfidence:7\nstandarddeviation:0\ndistance_average:100\n"
                                         "frame rate:3\npeak:20000\nnoise:40\nreftof:16");
    QString next = eight;
    next.replace(QStringLiteral("distance:100"), QStringLiteral("distance:-5"));
    next.replace(QStringLiteral("frame rate:3"), QStringLiteral("frame rate:3072"));
    QTest::newRow("some lines change") << eight << next;
    QTest::newRow("nothing changes") << eight << eight;
    QTest::newRow("empty view") << QString() << eight;
    QTest::newRow("an answer of other lines replaces the text") << eight << QStringLiteral("softversion:1.2.3\nhardversion:4\nmcu id:abc");
    QTest::newRow("back from an answer") << QStringLiteral("softversion:1.2.3\nhardversion:4\nmcu id:abc") << eight;
    QTest::newRow("lines emptied and filled") << QStringLiteral("a\n\nc") << QStringLiteral("\nb\n");
    QTest::newRow("trailing newline") << QStringLiteral("a\nb\n") << QStringLiteral("a\nc\n");
    QTest::newRow("wider characters") << QStringLiteral("距离:1\n串口") << QStringLiteral("距离:22\n串口未设置");
}

void tst_LineWiseText::viewHoldsExactlyTheNewText()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QPlainTextEdit view;
    view.setReadOnly(true);
    view.setPlainText(before);
    LineWiseText::set(&view, after);
    QCOMPARE(view.toPlainText(), after);
    LineWiseText::set(&view, before);
    QCOMPARE(view.toPlainText(), before);
    // A view rewritten thirty times a second must not pile up an undo history.
    QVERIFY(!view.document()->isUndoAvailable());
}

void tst_LineWiseText::unchangedLinesAreLeftAlone()
{
    QPlainTextEdit view;
    view.setPlainText(QStringLiteral("one\ntwo\nthree"));
    LineWiseText::set(&view, QStringLiteral("one\ntwo\nthree"));
    const int sameTextRevision = view.document()->revision();
    const int firstLine = view.document()->findBlockByNumber(0).revision();
    const int lastLine = view.document()->findBlockByNumber(2).revision();
    LineWiseText::set(&view, QStringLiteral("one\ntwo\nthree"));
    QCOMPARE(view.document()->revision(), sameTextRevision);
    LineWiseText::set(&view, QStringLiteral("one\n2\nthree"));
    QCOMPARE(view.toPlainText(), QStringLiteral("one\n2\nthree"));
    QCOMPARE(view.document()->findBlockByNumber(0).revision(), firstLine);
    QCOMPARE(view.document()->findBlockByNumber(2).revision(), lastLine);
}

QTEST_MAIN(tst_LineWiseText)
#include "tst_line_wise_text.moc"
