#include "testrun/PlanApprovals.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_PlanApprovals : public QObject {
    Q_OBJECT
private slots:
    void approvalHoldsForThatFileWithThatText_data();
    void approvalHoldsForThatFileWithThatText();
    void lineCutShortBeforeIsNotJoined();
    void unwritableListSaysWhy();
};

namespace {
const QByteArray kPlan = R"({"name": "rail", "steps": [{"reference_mm": 500, "command": "rail-move 500"}]})";
}

void tst_PlanApprovals::approvalHoldsForThatFileWithThatText_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("approved");
    QTest::newRow("the same file, unchanged") << "plans/rail.json" << kPlan << true;
    QTest::newRow("the same file by another spelling") << "plans/../plans/./rail.json" << kPlan << true;
    QTest::newRow("the file changed since") << "plans/rail.json" << QByteArray(kPlan).replace("500", "501") << false;
    QTest::newRow("one byte more") << "plans/rail.json" << kPlan + '\n' << false;
    QTest::newRow("the same text in another file") << "plans/copy.json" << kPlan << false;
}

void tst_PlanApprovals::approvalHoldsForThatFileWithThatText()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("plans")));
    const QString list = dir.filePath(QStringLiteral("approved.txt"));
    QVERIFY(!PlanApprovals(list).isApproved(dir.filePath(QStringLiteral("plans/rail.json")), kPlan));
    QVERIFY(PlanApprovals(list).approve(dir.filePath(QStringLiteral("plans/rail.json")), kPlan, nullptr));
    // A new object, as at the next start of the program, reads the file.
    QTEST(PlanApprovals(list).isApproved(dir.filePath(path), content), "approved");
}

void tst_PlanApprovals::lineCutShortBeforeIsNotJoined()
{
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("approved.txt"));
    QFile f(list);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("0123abc /half/written");
    f.close();
    QVERIFY(PlanApprovals(list).approve(dir.filePath(QStringLiteral("a.json")), kPlan, nullptr));
    QVERIFY(PlanApprovals(list).isApproved(dir.filePath(QStringLiteral("a.json")), kPlan));
    QVERIFY(!PlanApprovals(list).isApproved(QStringLiteral("/half/written"), kPlan));
}

void tst_PlanApprovals::unwritableListSaysWhy()
{
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("no-such-folder/approved.txt"));
    QString why;
    QVERIFY(!PlanApprovals(list).approve(dir.filePath(QStringLiteral("a.json")), kPlan, &why));
    QVERIFY(why.contains(list));
    QVERIFY(!PlanApprovals(list).isApproved(dir.filePath(QStringLiteral("a.json")), kPlan));
}

QTEST_GUILESS_MAIN(tst_PlanApprovals)
#include "tst_plan_approvals.moc"
