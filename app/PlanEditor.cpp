#include "app/PlanEditor.h"

#include "testrun/PlanValidation.h"
#include "testrun/TestPlanJson.h"
#include "testrun/TestPlanTexts.h"
#include "widgets/UserPrompts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>

using namespace PlanFormTexts;
using TestRun::PlanError;

namespace {

const char *const kLimitObjects[kLimitCount] = {"limitBiasMm", "limitBiasPercent", "limitStdMm",
                                                 "limitBlankedPercent", "limitMinRateHz"};

// An empty cell shows, greyed, the plan's value it takes, so a step reads
// whole without looking up at the defaults.
class InheritedValueDelegate : public QStyledItemDelegate {
public:
    InheritedValueDelegate(std::function<QString(int column)> inherited, QObject *parent)
        : QStyledItemDelegate(parent)
        , inherited(std::move(inherited))
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!option->text.isEmpty())
            return;
        option->text = inherited(index.column());
        option->font.setItalic(true);
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Disabled, QPalette::Text));
    }

private:
    std::function<QString(int column)> inherited;
};

// The step's quantity: the plan's (empty), or one of the file's two words.
class QuantityDelegate : public InheritedValueDelegate {
public:
    using InheritedValueDelegate::InheritedValueDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *box = new QComboBox(parent);
        box->addItems({QString(), QStringLiteral("first"), QStringLiteral("mean")});
        return box;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *box = static_cast<QComboBox *>(editor);
        box->setCurrentIndex(qMax(0, box->findText(index.data().toString())));
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        model->setData(index, static_cast<QComboBox *>(editor)->currentText());
    }
};

} // namespace

PlanEditor::PlanEditor(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("planEditor"));
    auto *layout = new QVBoxLayout(this);
    buildToolBar(layout);
    layout->addWidget(buildDefaults());
    layout->addWidget(buildSteps(), 1);
    startNew();
    resize(1100, 640);
}

void PlanEditor::buildToolBar(QVBoxLayout *layout)
{
    newButton = new QPushButton(tr("新建"), this);
    newButton->setObjectName(QStringLiteral("newPlanButton"));
    openButton = new QPushButton(tr("打开..."), this);
    openButton->setObjectName(QStringLiteral("openPlanButton"));
    saveButton = new QPushButton(tr("保存"), this);
    saveButton->setObjectName(QStringLiteral("savePlanButton"));
    saveAsButton = new QPushButton(tr("另存为..."), this);
    saveAsButton->setObjectName(QStringLiteral("saveAsPlanButton"));
    auto *bar = new QHBoxLayout;
    for (QPushButton *b : {newButton, openButton, saveButton, saveAsButton})
        bar->addWidget(b);
    bar->addStretch();
    layout->addLayout(bar);
    connect(newButton, &QPushButton::clicked, this, [this] {
        if (mayDiscardChanges())
            startNew();
    });
    connect(openButton, &QPushButton::clicked, this, &PlanEditor::openFile);
    connect(saveButton, &QPushButton::clicked, this, &PlanEditor::save);
    connect(saveAsButton, &QPushButton::clicked, this, &PlanEditor::saveAs);
}

QLineEdit *PlanEditor::lineEdit(const char *objectName, const QString &key)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(objectName));
    edit->setToolTip(key);
    connect(edit, &QLineEdit::textChanged, this, &PlanEditor::updateTitle);
    return edit;
}

QWidget *PlanEditor::buildDefaults()
{
    auto *box = new QGroupBox(tr("计划默认值"), this);
    auto *grid = new QGridLayout(box);
    nameEdit = lineEdit("planName", QStringLiteral("name"));
    framesOn = new QCheckBox(tr("帧数"), this);
    framesOn->setObjectName(QStringLiteral("planFramesOn"));
    framesEdit = lineEdit("planFrames", QStringLiteral("frames"));
    settleEdit = lineEdit("planSettle", QStringLiteral("settle_s"));
    quantityBox = new QComboBox(this);
    quantityBox->setObjectName(QStringLiteral("planQuantity"));
    quantityBox->addItem(tr("第一个点的距离 (first)"), QStringLiteral("first"));
    quantityBox->addItem(tr("帧平均距离 (mean)"), QStringLiteral("mean"));
    confidenceEdit = lineEdit("planMinConfidence", QStringLiteral("min_confidence"));
    timeoutEdit = lineEdit("planCommandTimeout", QStringLiteral("command_timeout_s"));

    int row = 0;
    auto add = [&](QWidget *label, QWidget *field) {
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row++, 1);
    };
    add(new QLabel(tr("名称"), this), nameEdit);
    add(framesOn, framesEdit);
    add(new QLabel(tr("稳定时间 (s)"), this), settleEdit);
    add(new QLabel(tr("距离取值"), this), quantityBox);
    add(new QLabel(tr("最低置信度"), this), confidenceEdit);
    add(new QLabel(tr("命令超时 (s)"), this), timeoutEdit);

    const QString limitNames[kLimitCount] = {tr("偏差限 (mm)"), tr("偏差限 (% 参考距离)"), tr("标准差限 (mm)"),
                                             tr("滤除比例限 (%)"), tr("最低帧率 (Hz)")};
    for (int i = 0; i < kLimitCount; ++i) {
        limitOn[i] = new QCheckBox(limitNames[i], this);
        limitOn[i]->setObjectName(QLatin1String(kLimitObjects[i]) + QStringLiteral("On"));
        limitEdit[i] = lineEdit(kLimitObjects[i], columnKey(ColBiasMm + i));
        grid->addWidget(limitOn[i], i, 2);
        grid->addWidget(limitEdit[i], i, 3);
    }
    auto *note = new QLabel(tr("未勾选的限值不检查；偏差限为 ±(mm + % × 参考距离)。"), this);
    note->setWordWrap(true);
    grid->addWidget(note, kLimitCount, 2, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    for (QCheckBox *on : limitOn)
        connect(on, &QCheckBox::toggled, this, &PlanEditor::updateTitle);
    connect(framesOn, &QCheckBox::toggled, this, &PlanEditor::updateTitle);
    connect(quantityBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &PlanEditor::updateTitle);
    for (int i = 0; i < kLimitCount; ++i)
        connect(limitOn[i], &QCheckBox::toggled, limitEdit[i], &QWidget::setEnabled);
    connect(framesOn, &QCheckBox::toggled, framesEdit, &QWidget::setEnabled);
    return box;
}

QWidget *PlanEditor::buildSteps()
{
    auto *box = new QGroupBox(tr("步骤"), this);
    table = new QTableWidget(0, ColumnCount, box);
    table->setObjectName(QStringLiteral("stepsTable"));
    const QString headers[ColumnCount] = {
        tr("参考距离 (mm)", "column"), tr("帧数", "column"),          tr("稳定时间 (s)", "column"),
        tr("距离取值", "column"),      tr("最低置信度", "column"),    tr("偏差限 (mm)", "column"),
        tr("偏差限 (%)", "column"),    tr("标准差限 (mm)", "column"), tr("滤除比例限 (%)", "column"),
        tr("最低帧率 (Hz)", "column"), tr("命令", "column")};
    for (int c = 0; c < ColumnCount; ++c) {
        // A unit on a line of its own keeps the columns narrow.
        auto *header = new QTableWidgetItem(QString(headers[c]).replace(QStringLiteral(" ("), QStringLiteral("\n(")));
        header->setToolTip(columnKey(c));
        table->setHorizontalHeaderItem(c, header);
    }
    auto inherited = [this](int column) { return inheritedText(column); };
    table->setItemDelegate(new InheritedValueDelegate(inherited, table));
    table->setItemDelegateForColumn(ColQuantity, new QuantityDelegate(inherited, table));
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(ColCommand, QHeaderView::Stretch);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    connect(table, &QTableWidget::itemChanged, this, &PlanEditor::updateTitle);

    auto *add = new QPushButton(tr("添加步骤"), box);
    add->setObjectName(QStringLiteral("addStepButton"));
    auto *remove = new QPushButton(tr("删除步骤"), box);
    remove->setObjectName(QStringLiteral("removeStepButton"));
    auto *up = new QPushButton(tr("上移"), box);
    up->setObjectName(QStringLiteral("moveStepUpButton"));
    auto *down = new QPushButton(tr("下移"), box);
    down->setObjectName(QStringLiteral("moveStepDownButton"));
    connect(add, &QPushButton::clicked, this, &PlanEditor::addStep);
    connect(remove, &QPushButton::clicked, this, &PlanEditor::removeStep);
    connect(up, &QPushButton::clicked, this, [this] { moveStep(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveStep(1); });

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {add, remove, up, down})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(table, 1);
    row->addLayout(buttons);
    auto *layout = new QVBoxLayout(box);
    layout->addLayout(row);
    auto *note = new QLabel(tr("空白单元格沿用计划的默认值；命令在稳定时间之前由系统命令行执行。"), box);
    note->setWordWrap(true);
    layout->addWidget(note);
    return box;
}

PlanFormTexts::Texts PlanEditor::texts() const
{
    Texts t;
    t.name = nameEdit->text();
    if (framesOn->isChecked())
        t.frames = framesEdit->text();
    t.settleS = settleEdit->text();
    t.quantity = quantityBox->currentData().toString();
    t.minConfidence = confidenceEdit->text();
    for (int i = 0; i < kLimitCount; ++i) {
        if (limitOn[i]->isChecked())
            t.limits[std::size_t(i)] = limitEdit[i]->text();
    }
    t.commandTimeoutS = timeoutEdit->text();
    for (int r = 0; r < table->rowCount(); ++r)
        t.steps.push_back(stepRow(r));
    return t;
}

void PlanEditor::setTexts(const Texts &t)
{
    filling = true;
    nameEdit->setText(t.name);
    framesOn->setChecked(bool(t.frames));
    framesEdit->setEnabled(bool(t.frames));
    framesEdit->setText(t.frames.value_or(QString()));
    settleEdit->setText(t.settleS);
    quantityBox->setCurrentIndex(qMax(0, quantityBox->findData(t.quantity)));
    confidenceEdit->setText(t.minConfidence);
    for (int i = 0; i < kLimitCount; ++i) {
        const auto &limit = t.limits[std::size_t(i)];
        limitOn[i]->setChecked(bool(limit));
        limitEdit[i]->setEnabled(bool(limit));
        limitEdit[i]->setText(limit.value_or(QString()));
    }
    timeoutEdit->setText(t.commandTimeoutS);
    table->setRowCount(0);
    for (const QStringList &cells : t.steps) {
        table->insertRow(table->rowCount());
        setStepRow(table->rowCount() - 1, cells);
    }
    filling = false;
    updateTitle();
}

QStringList PlanEditor::stepRow(int row) const
{
    QStringList cells;
    for (int c = 0; c < ColumnCount; ++c) {
        const QTableWidgetItem *item = table->item(row, c);
        cells << (item ? item->text() : QString());
    }
    return cells;
}

void PlanEditor::setStepRow(int row, const QStringList &cells)
{
    for (int c = 0; c < ColumnCount; ++c) {
        auto *item = new QTableWidgetItem(c < cells.size() ? cells.at(c) : QString());
        item->setToolTip(columnKey(c));
        table->setItem(row, c, item);
    }
}

bool PlanEditor::isModified() const
{
    return texts() != savedTexts;
}

// What an empty cell of `column` takes from the plan as the form shows it now.
QString PlanEditor::inheritedText(int column) const
{
    switch (column) {
    case ColFrames: return framesOn->isChecked() ? framesEdit->text() : QString();
    case ColSettle: return settleEdit->text();
    case ColQuantity: return quantityBox->currentData().toString();
    case ColMinConfidence: return confidenceEdit->text();
    case ColBiasMm:
    case ColBiasPercent:
    case ColStdMm:
    case ColBlankedPercent:
    case ColMinRateHz: {
        const int i = column - ColBiasMm;
        return limitOn[i]->isChecked() ? limitEdit[i]->text() : tr("不检查");
    }
    default: return QString();
    }
}

void PlanEditor::updateTitle()
{
    if (filling)
        return;
    if (table)
        table->viewport()->update();
    const QString file = filePath.isEmpty() ? tr("未命名") : QFileInfo(filePath).fileName();
    setWindowTitle(tr("测试计划编辑器 - %1[*]").arg(file));
    setWindowModified(isModified());
}

// A new plan with the usual figures; it needs its name, steps and limits.
void PlanEditor::startNew()
{
    TestRun::TestPlan plan;
    plan.frames = 500;
    plan.settleS = 1;
    filePath.clear();
    setTexts(textsOf(plan));
    savedTexts = texts();
    updateTitle();
}

QString PlanEditor::chooserFolder() const
{
    return filePath.isEmpty() ? QStringLiteral(".") : QFileInfo(filePath).path();
}

void PlanEditor::openFile()
{
    if (!mayDiscardChanges())
        return;
    const QString path = UserPrompts::getOpenFileName(this, tr("打开测试计划"), chooserFolder(),
                                                      tr("测试计划 (*.json);;所有文件 (*)"));
    if (!path.isEmpty())
        load(path);
}

bool PlanEditor::load(const QString &path)
{
    QString why;
    const auto plan = TestRun::readPlanFile(path, &why);
    if (!plan) {
        UserPrompts::critical(this, tr("无法打开测试计划"), why);
        return false;
    }
    filePath = QFileInfo(path).absoluteFilePath();
    setTexts(textsOf(*plan));
    savedTexts = texts();
    updateTitle();
    return true;
}

bool PlanEditor::save()
{
    return filePath.isEmpty() ? saveAs() : saveTo(filePath);
}

bool PlanEditor::saveAs()
{
    QString path = UserPrompts::getSaveFileName(this, tr("测试计划另存为"), chooserFolder(),
                                                tr("测试计划 (*.json);;所有文件 (*)"));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".json");
    return saveTo(path);
}

// Writes only a plan that would run; the form then shows the plan as the
// file holds it ("1.50" becomes "1.5").
bool PlanEditor::saveTo(const QString &path)
{
    PlanError error;
    auto plan = planOf(texts(), &error);
    if (plan) {
        if (const auto invalid = TestRun::validatePlan(*plan)) {
            error = *invalid;
            plan.reset();
        }
    }
    if (!plan) {
        refuse(error);
        return false;
    }
    QString why;
    if (!TestRun::writePlanFile(path, *plan, &why)) {
        UserPrompts::critical(this, tr("无法保存测试计划"), why);
        return false;
    }
    filePath = QFileInfo(path).absoluteFilePath();
    setTexts(textsOf(*plan));
    savedTexts = texts();
    updateTitle();
    return true;
}

void PlanEditor::refuse(const PlanError &error)
{
    focusField(error);
    UserPrompts::critical(this, tr("测试计划未保存"), TestPlanTexts::errorText(error));
}

// Puts the cursor where the refused value is, so it can be corrected at once.
void PlanEditor::focusField(const PlanError &error)
{
    const int column = columnOfKey(error.key);
    if (error.step >= 0 && error.step < table->rowCount()) {
        table->setCurrentCell(error.step, qMax(0, column));
        table->setFocus();
        return;
    }
    QWidget *field = nullptr;
    if (error.key == QLatin1String("name"))
        field = nameEdit;
    else if (error.key == QLatin1String("frames"))
        field = framesEdit;
    else if (error.key == QLatin1String("settle_s"))
        field = settleEdit;
    else if (error.key == QLatin1String("min_confidence"))
        field = confidenceEdit;
    else if (error.key == QLatin1String("command_timeout_s"))
        field = timeoutEdit;
    else if (column >= ColBiasMm && column < ColBiasMm + kLimitCount)
        field = limitEdit[column - ColBiasMm];
    else if (error.key == QLatin1String("steps"))
        field = table;
    if (field)
        field->setFocus();
}

void PlanEditor::addStep()
{
    const int row = table->currentRow() < 0 ? table->rowCount() : table->currentRow() + 1;
    table->insertRow(row);
    setStepRow(row, QStringList());
    table->setCurrentCell(row, ColReference);
    table->editItem(table->item(row, ColReference));
    updateTitle();
}

void PlanEditor::removeStep()
{
    const int row = table->currentRow();
    if (row < 0)
        return;
    table->removeRow(row);
    updateTitle();
}

void PlanEditor::moveStep(int by)
{
    const int row = table->currentRow();
    const int other = row + by;
    if (row < 0 || other < 0 || other >= table->rowCount())
        return;
    const QStringList moving = stepRow(row);
    filling = true;
    setStepRow(row, stepRow(other));
    setStepRow(other, moving);
    filling = false;
    table->setCurrentCell(other, table->currentColumn());
    updateTitle();
}

bool PlanEditor::mayDiscardChanges()
{
    if (!isModified())
        return true;
    const auto answer = UserPrompts::question(
        this, tr("测试计划编辑器"), tr("测试计划有未保存的修改。要保存吗？"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Save)
        return save();
    return answer == QMessageBox::Discard;
}

// Changes dropped on closing are gone: opened again, the editor shows the
// plan as last loaded or saved.
void PlanEditor::closeEvent(QCloseEvent *event)
{
    if (!mayDiscardChanges()) {
        event->ignore();
        return;
    }
    if (isModified())
        setTexts(savedTexts);
    event->accept();
}
