#include "app/MainWindow.h"
#include "settings/UiLanguage.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

// Keeps the README's command tables honest: every row that names an object
// (`actionXxx`, `pbXxx`) must find it in the window under the texts the row
// gives, in Chinese and in English.
class tst_ReadmeCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void tablesNameEnoughCommands();
    // Chinese first: it needs the process without any translator.
    void rowsMatchTheChineseWindow_data() { rows(); }
    void rowsMatchTheChineseWindow();
    void rowsMatchTheEnglishWindow_data() { rows(); }
    void rowsMatchTheEnglishWindow();

private:
    void rows();
    void check(int column);
    QTemporaryDir dir;
};

namespace {
const QString kStep = QStringLiteral(" \u203a ");

struct Row {
    QString chinese; // "文件 › 保存数据" for a menu entry, the text for a button
    QString english;
    QString object;
};

QVector<Row> commandRows()
{
    QFile file(QStringLiteral(LIDAR_SOURCE_DIR "/README.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QVector<Row> rows;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QStringList cells = line.split(QLatin1Char('|'));
        // "| a | b | `c` | d |" splits into six, the outer two empty.
        if (cells.size() < 6 || !line.startsWith(QLatin1Char('|')))
            continue;
        const QString object = cells[3].trimmed();
        if (object.size() < 3 || !object.startsWith(QLatin1Char('`')) || !object.endsWith(QLatin1Char('`')))
            continue;
        rows.append({cells[1].trimmed(), cells[2].trimmed(), object.mid(1, object.size() - 2)});
    }
    return rows;
}

// The entry reached from the menu bar through the menu titles of `path`.
QAction *follow(const QMenuBar *bar, const QStringList &path)
{
    QList<QAction *> level = bar->actions();
    for (int i = 0; i < path.size(); ++i) {
        QAction *found = nullptr;
        for (QAction *action : level)
            if (action->text() == path[i])
                found = action;
        if (!found || i == path.size() - 1)
            return found;
        if (!found->menu())
            return nullptr;
        level = found->menu()->actions();
    }
    return nullptr;
}
} // namespace

void tst_ReadmeCommands::initTestCase()
{
    QVERIFY(dir.isValid());
    QDir::setCurrent(dir.path());
}

void tst_ReadmeCommands::tablesNameEnoughCommands()
{
    int actions = 0;
    int buttons = 0;
    for (const Row &row : commandRows()) {
        actions += row.object.startsWith(QLatin1String("action"));
        buttons += row.object.startsWith(QLatin1String("pb"));
    }
    QVERIFY2(actions >= 11, qPrintable(QString::number(actions)));
    QCOMPARE(buttons, 5);
}

void tst_ReadmeCommands::rows()
{
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("object");
    for (const Row &row : commandRows())
        QTest::newRow(qPrintable(row.object)) << row.chinese << row.english << row.object;
}

void tst_ReadmeCommands::check(int column)
{
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    QFETCH(QString, object);
    const QString texts = column == 0 ? chinese : english;
    MainWindow window;
    QObject *named = window.findChild<QObject *>(object);
    QVERIFY2(named, qPrintable(object + QStringLiteral(" is not in the window")));
    if (auto *button = qobject_cast<QAbstractButton *>(named)) {
        QCOMPARE(button->text(), texts);
        return;
    }
    QAction *reached = follow(window.findChild<QMenuBar *>(), texts.split(kStep));
    QVERIFY2(reached, qPrintable(texts + QStringLiteral(" leads to no menu entry")));
    QCOMPARE(reached->objectName(), object);
}

void tst_ReadmeCommands::rowsMatchTheChineseWindow()
{
    check(0);
}

void tst_ReadmeCommands::rowsMatchTheEnglishWindow()
{
    QVERIFY(UiLanguage::install(*qApp, UiLanguage::kEnglish));
    check(1);
}

QTEST_MAIN(tst_ReadmeCommands)
#include "tst_readme_commands.moc"
