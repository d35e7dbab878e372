#include "app/PlanEditor.h"
#include "app/PlanFormTexts.h"
#include "testrun/TestPlanJson.h"
#include "widgets/UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestRun;
using namespace PlanFormTexts;
using Kind = PlanError::Kind;

Q_DECLARE_METATYPE(TestRun::PlanError::Kind)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)

class tst_PlanEditor : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void textsKeepEveryValueOfAPlan();
    void unreadableTextNamesTheKeyAndStep_data();
    void unreadableTextNamesTheKeyAndStep();
    void planBuiltInTheTableSavesAndReloadsToTheSameJson();
    void refusedPlanIsNotWrittenAndNamesTheKeyAndStep_data();
    void refusedPlanIsNotWrittenAndNamesTheKeyAndStep();
    void stepsMoveAndGo();
    void unsavedChangesAreAskedAboutOnClose_data();
    void unsavedChangesAreAskedAboutOnClose();

private:
    QString path(const QString &name) const { return dir->filePath(name); }
    QScopedPointer<QTemporaryDir> dir;
    QStringList criticals;
    QStringList questions;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    QString chosenFile;
};

namespace {

template<typename T>
T *child(QWidget *w, const char *name)
{
    T *found = w->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("missing %s", name);
    return found;
}

void setText(QWidget *w, const char *name, const QString &text)
{
    child<QLineEdit>(w, name)->setText(text);
}

void click(QWidget *w, const char *name)
{
    child<QPushButton>(w, name)->click();
}

QTableWidget *table(QWidget *w)
{
    return child<QTableWidget>(w, "stepsTable");
}

// Adds a step at the end with the cells given (column, text).
void addStep(QWidget *w, const QList<QPair<int, QString>> &cells)
{
    QTableWidget *t = table(w);
    t->setCurrentCell(t->rowCount() - 1, 0);
    click(w, "addStepButton");
    const int row = t->currentRow();
    t->closePersistentEditor(t->item(row, 0));
    for (const auto &[column, text] : cells)
        t->item(row, column)->setText(text);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every key set, values that a fixed number of decimals would round.
TestPlan fullPlan()
{
    TestPlan plan;
    plan.name = QStringLiteral("Rail 0.5–4 m, \"night\"");
    plan.frames = 250;
    plan.settleS = 0.125;
    plan.quantity = Quantity::FrameMean;
    plan.minConfidence = 12;
    plan.limits.biasMm = 0.1;
    plan.limits.stdMm = 1234.5678901234;
    plan.commandTimeoutS = 7.5;
    PlanStep a;
    a.referenceMm = 500.25;
    PlanStep b;
    b.referenceMm = 4000;
    b.frames = 10000000;
    b.settleS = 0;
    b.quantity = Quantity::FirstPoint;
    b.minConfidence = 0;
    b.limits.biasPercent = 1e-3;
    b.limits.blankedPercent = 0;
    b.limits.minRateHz = 99.9;
    b.command = QStringLiteral("echo distance 4000 > 'sim ctl'");
    plan.steps = {a, b};
    return plan;
}

} // namespace

void tst_PlanEditor::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    criticals.clear();
    questions.clear();
    UserPrompts::setCriticalBox([this](QWidget *, const QString &, const QString &text) { criticals << text; });
    UserPrompts::setQuestionBox([this](QWidget *, const QString &, const QString &text, QMessageBox::StandardButtons) {
        questions << text;
        return answer;
    });
    auto chooser = [this](QWidget *, const QString &, const QString &, const QString &) { return chosenFile; };
    UserPrompts::setSaveFileChooser(chooser);
    UserPrompts::setOpenFileChooser(chooser);
}

void tst_PlanEditor::cleanup()
{
    UserPrompts::setCriticalBox({});
    UserPrompts::setQuestionBox({});
    UserPrompts::setSaveFileChooser({});
    UserPrompts::setOpenFileChooser({});
}

void tst_PlanEditor::textsKeepEveryValueOfAPlan()
{
    const TestPlan plan = fullPlan();
    PlanError error;
    const auto back = planOf(textsOf(plan), &error);
    QVERIFY(back);
    QVERIFY(*back == plan);
    QCOMPARE(planToJson(*back), planToJson(plan));
}

void tst_PlanEditor::unreadableTextNamesTheKeyAndStep_data()
{
    QTest::addColumn<int>("step"); // -1: the plan's field
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("word as settle time") << -1 << "settle_s" << "1s" << Kind::WrongType;
    QTest::newRow("empty settle time") << -1 << "settle_s" << "" << Kind::Missing;
    QTest::newRow("fraction of a frame") << -1 << "frames" << "2.5" << Kind::WrongType;
    QTest::newRow("enabled limit left empty") << -1 << "limits.std_mm" << " " << Kind::Missing;
    QTest::newRow("decimal comma") << 1 << "limits.bias_mm" << "1,5" << Kind::WrongType;
    QTest::newRow("thousands separator") << 1 << "limits.bias_mm" << "1,500" << Kind::WrongType;
    QTest::newRow("frames beyond any count") << 1 << "frames" << "1e300" << Kind::OutOfRange;
    QTest::newRow("not a number") << 0 << "reference_mm" << "nan" << Kind::WrongType;
    QTest::newRow("no reference") << 1 << "reference_mm" << "" << Kind::Missing;
    QTest::newRow("unknown quantity") << 0 << "quantity" << "median" << Kind::WrongType;
    QTest::newRow("negative confidence") << 0 << "min_confidence" << "-1" << Kind::OutOfRange;
}

void tst_PlanEditor::unreadableTextNamesTheKeyAndStep()
{
    QFETCH(int, step);
    QFETCH(QString, key);
    QFETCH(QString, text);
    Texts texts = textsOf(fullPlan());
    if (step >= 0) {
        texts.steps[std::size_t(step)][columnOfKey(key)] = text;
    } else if (key == QLatin1String("settle_s")) {
        texts.settleS = text;
    } else if (key == QLatin1String("frames")) {
        texts.frames = text;
    } else {
        texts.limits[std::size_t(columnOfKey(key) - ColBiasMm)] = text;
    }
    PlanError error;
    QVERIFY(!planOf(texts, &error));
    QCOMPARE(error.step, step);
    QCOMPARE(error.key, key);
    QTEST(error.kind, "kind");
}

void tst_PlanEditor::planBuiltInTheTableSavesAndReloadsToTheSameJson()
{
    PlanEditor editor;
    setText(&editor, "planName", QStringLiteral("Accuracy 0.5-4 m"));
    setText(&editor, "planSettle", QStringLiteral("1.5"));
    child<QComboBox>(&editor, "planQuantity")->setCurrentIndex(1);
    child<QCheckBox>(&editor, "limitBiasMmOn")->setChecked(true);
    setText(&editor, "limitBiasMm", QStringLiteral("20"));
    child<QCheckBox>(&editor, "limitBiasPercentOn")->setChecked(true);
    setText(&editor, "limitBiasPercent", QStringLiteral("1.0"));
    child<QCheckBox>(&editor, "limitStdMmOn")->setChecked(true);
    setText(&editor, "limitStdMm", QStringLiteral("15"));
    addStep(&editor, {{ColReference, QStringLiteral("500")}});
    addStep(&editor, {{ColReference, QStringLiteral("1000")}, {ColFrames, QStringLiteral("1000")}, {ColStdMm, QStringLiteral("10")}});
    addStep(&editor, {{ColReference, QStringLiteral("4000")}, {ColQuantity, QStringLiteral("first")},
                      {ColCommand, QStringLiteral("rail-move 4000")}});
    QVERIFY(editor.isModified());

    chosenFile = path(QStringLiteral("plan")); // no suffix: .json is added
    click(&editor, "saveAsPlanButton");
    QVERIFY2(criticals.isEmpty(), qPrintable(criticals.join(QLatin1Char('\n'))));
    const QString saved = path(QStringLiteral("plan.json"));
    QCOMPARE(editor.currentFile(), saved);
    QVERIFY(!editor.isModified());
    QCOMPARE(child<QLineEdit>(&editor, "limitBiasPercent")->text(), QStringLiteral("1")); // as the file holds it

    TestPlan expected;
    expected.name = QStringLiteral("Accuracy 0.5-4 m");
    expected.frames = 500;
    expected.settleS = 1.5;
    expected.quantity = Quantity::FrameMean;
    expected.limits.biasMm = 20;
    expected.limits.biasPercent = 1;
    expected.limits.stdMm = 15;
    expected.steps.resize(3);
    expected.steps[0].referenceMm = 500;
    expected.steps[1].referenceMm = 1000;
    expected.steps[1].frames = 1000;
    expected.steps[1].limits.stdMm = 10;
    expected.steps[2].referenceMm = 4000;
    expected.steps[2].quantity = Quantity::FirstPoint;
    expected.steps[2].command = QStringLiteral("rail-move 4000");
    const QByteArray json = fileBytes(saved);
    const auto read = parsePlan(json);
    QVERIFY(read);
    QVERIFY(*read == expected);

    PlanEditor reopened;
    QVERIFY(reopened.load(saved));
    QVERIFY(!reopened.isModified());
    QVERIFY(reopened.texts() == editor.texts());
    chosenFile = path(QStringLiteral("again.json"));
    click(&reopened, "saveAsPlanButton");
    QCOMPARE(fileBytes(chosenFile), json);
}

void tst_PlanEditor::refusedPlanIsNotWrittenAndNamesTheKeyAndStep_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("negative step limit") << 1 << int(ColStdMm) << "-2" << "第 2 步：“limits.std_mm”不得为负数";
    QTest::newRow("word in a step") << 0 << int(ColSettle) << "soon" << "第 1 步：“settle_s”应为数字";
    QTest::newRow("reference of zero") << 1 << int(ColReference) << "0" << "第 2 步：“reference_mm”须大于 0 且不大于 32767";
    QTest::newRow("deviation of one frame") << 0 << int(ColFrames) << "1" << "第 1 步：“limits.std_mm”需要此步至少 2 帧";
}

void tst_PlanEditor::refusedPlanIsNotWrittenAndNamesTheKeyAndStep()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    const QString file = path(QStringLiteral("plan.json"));
    QVERIFY(writePlanFile(file, fullPlan(), nullptr));
    const QByteArray before = fileBytes(file);
    PlanEditor editor;
    QVERIFY(editor.load(file));
    table(&editor)->item(row, column)->setText(text);
    click(&editor, "savePlanButton");
    QCOMPARE(criticals, QStringList{message});
    QCOMPARE(fileBytes(file), before);
    QVERIFY(editor.isModified());
    QCOMPARE(table(&editor)->currentRow(), row);
    QCOMPARE(table(&editor)->currentColumn(), column == ColFrames ? int(ColStdMm) : column);
}

void tst_PlanEditor::stepsMoveAndGo()
{
    PlanEditor editor;
    for (const char *reference : {"500", "1000", "2000"})
        addStep(&editor, {{ColReference, QLatin1String(reference)}});
    QTableWidget *t = table(&editor);
    auto references = [&] {
        QStringList r;
        for (const QStringList &cells : editor.texts().steps)
            r << cells[ColReference];
        return r;
    };
    t->setCurrentCell(2, ColReference);
    click(&editor, "moveStepUpButton");
    QCOMPARE(references(), (QStringList{"500", "2000", "1000"}));
    QCOMPARE(t->currentRow(), 1);
    click(&editor, "moveStepUpButton");
    click(&editor, "moveStepUpButton"); // already first: stays
    QCOMPARE(references(), (QStringList{"2000", "500", "1000"}));
    t->setCurrentCell(1, ColReference);
    click(&editor, "removeStepButton");
    QCOMPARE(references(), (QStringList{"2000", "1000"}));
    t->setCurrentCell(1, ColReference);
    click(&editor, "moveStepDownButton"); // already last: stays
    QCOMPARE(references(), (QStringList{"2000", "1000"}));
}

void tst_PlanEditor::unsavedChangesAreAskedAboutOnClose_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("reply");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("written");
    QTest::newRow("cancel keeps the editor") << QMessageBox::Cancel << false << false;
    QTest::newRow("discard drops the changes") << QMessageBox::Discard << true << false;
    QTest::newRow("save writes them") << QMessageBox::Save << true << true;
}

void tst_PlanEditor::unsavedChangesAreAskedAboutOnClose()
{
    QFETCH(QMessageBox::StandardButton, reply);
    QFETCH(bool, closes);
    QFETCH(bool, written);
    const QString file = path(QStringLiteral("plan.json"));
    QVERIFY(writePlanFile(file, fullPlan(), nullptr));
    PlanEditor editor;
    QVERIFY(editor.load(file));
    editor.show();
    QVERIFY(editor.close());
    QVERIFY(questions.isEmpty()); // nothing changed: no question

    editor.show();
    setText(&editor, "planName", QStringLiteral("renamed"));
    answer = reply;
    QCOMPARE(editor.close(), closes);
    QCOMPARE(questions.size(), 1);
    QCOMPARE(editor.isVisible(), !closes);
    QCOMPARE(parsePlan(fileBytes(file))->name, written ? QStringLiteral("renamed") : fullPlan().name);
    // Reopened after a discard, the editor shows the file's plan.
    QCOMPARE(child<QLineEdit>(&editor, "planName")->text(), closes && !written ? fullPlan().name : QStringLiteral("renamed"));
}

QTEST_MAIN(tst_PlanEditor)
#include "tst_plan_editor.moc"
