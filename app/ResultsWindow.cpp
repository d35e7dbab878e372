#include "app/ResultsWindow.h"

#include "app/UnitTrendPlot.h"
#include "app/VerdictStyle.h"
#include "report/RunReport.h"
#include "report/RunsCsv.h"
#include "results/ResultsCodes.h"
#include "widgets/UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

using TestRun::RunRecord;
using TestRun::Verdict;

namespace {

enum Column { Time, Unit, Plan, VerdictColumn, ColumnCount };

// What the user typed, as a unit id is stored: blanks dropped, lower case.
QString unitText(const QString &typed)
{
    QString t = typed.toLower();
    t.remove(QLatin1Char(' '));
    return t;
}

// A local calendar day's start, as the store's UTC times are compared.
QDateTime localDayStartUtc(const QDate &day)
{
    return QDateTime(day, QTime(0, 0), Qt::LocalTime).toUTC();
}

} // namespace

ResultsWindow::ResultsWindow(const TestRunSettings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , settings(settings)
    , openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("resultsWindow"));
    setWindowTitle(tr("测试结果"));

    table = new QTableWidget(0, ColumnCount, this);
    table->setObjectName(QStringLiteral("runsTable"));
    table->setHorizontalHeaderLabels({tr("开始时间"), tr("单元编号"), tr("测试计划"), tr("结论")});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(Plan, QHeaderView::Stretch);
    connect(table, &QTableWidget::cellDoubleClicked, this, &ResultsWindow::openReport);
    connect(table, &QTableWidget::currentCellChanged, this, &ResultsWindow::showTrend);

    trendTitle = new QLabel(this);
    trendTitle->setObjectName(QStringLiteral("trendTitle"));
    trendPlot = new UnitTrendPlot(this);
    auto *trendBox = new QWidget(this);
    auto *trendLayout = new QVBoxLayout(trendBox);
    trendLayout->setContentsMargins(0, 0, 0, 0);
    trendLayout->addWidget(trendTitle);
    trendLayout->addWidget(trendPlot, 1);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table);
    splitter->addWidget(trendBox);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    statusLine = new QLabel(this);
    statusLine->setObjectName(QStringLiteral("statusLine"));
    statusLine->setWordWrap(true);
    whereLine = new QLabel(this);
    whereLine->setObjectName(QStringLiteral("whereLine"));
    whereLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    whereLine->setWordWrap(true); // two absolute paths

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buildFilters());
    layout->addWidget(splitter, 1);
    layout->addWidget(statusLine);
    layout->addWidget(whereLine);
    layout->addLayout(buildButtons());
    resize(820, 680);
}

QLayout *ResultsWindow::buildFilters()
{
    unitFilter = new QLineEdit(this);
    unitFilter->setObjectName(QStringLiteral("unitFilter"));
    unitFilter->setPlaceholderText(tr("单元编号（或其一部分）"));
    unitFilter->setClearButtonEnabled(true);
    verdictFilter = new QComboBox(this);
    verdictFilter->setObjectName(QStringLiteral("verdictFilter"));
    verdictFilter->addItem(tr("全部结论"));
    for (Verdict v : {Verdict::Pass, Verdict::Fail, Verdict::Incomplete})
        verdictFilter->addItem(ResultsCodes::verdictCode(v), int(v));
    fromOn = new QCheckBox(tr("从"), this);
    fromOn->setObjectName(QStringLiteral("fromOn"));
    toOn = new QCheckBox(tr("到"), this);
    toOn->setObjectName(QStringLiteral("toOn"));
    fromDate = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    fromDate->setObjectName(QStringLiteral("fromDate"));
    toDate = new QDateEdit(QDate::currentDate(), this);
    toDate->setObjectName(QStringLiteral("toDate"));
    for (QDateEdit *date : {fromDate, toDate}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setEnabled(false);
        connect(date, &QDateEdit::dateChanged, this, &ResultsWindow::refresh);
    }
    connect(fromOn, &QCheckBox::toggled, fromDate, &QWidget::setEnabled);
    connect(toOn, &QCheckBox::toggled, toDate, &QWidget::setEnabled);
    connect(fromOn, &QCheckBox::toggled, this, &ResultsWindow::refresh);
    connect(toOn, &QCheckBox::toggled, this, &ResultsWindow::refresh);
    connect(verdictFilter, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &ResultsWindow::refresh);
    connect(unitFilter, &QLineEdit::textChanged, this, &ResultsWindow::fillTable);
    auto *refreshButton = new QPushButton(tr("刷新"), this);
    refreshButton->setObjectName(QStringLiteral("refreshButton"));
    connect(refreshButton, &QPushButton::clicked, this, &ResultsWindow::refresh);

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("单元"), this));
    row->addWidget(unitFilter, 2);
    row->addWidget(verdictFilter);
    row->addWidget(fromOn);
    row->addWidget(fromDate);
    row->addWidget(toOn);
    row->addWidget(toDate);
    row->addWidget(refreshButton);
    return row;
}

QLayout *ResultsWindow::buildButtons()
{
    openReportButton = new QPushButton(tr("打开报告"), this);
    openReportButton->setObjectName(QStringLiteral("openReportButton"));
    saveReportButton = new QPushButton(tr("保存报告..."), this);
    saveReportButton->setObjectName(QStringLiteral("saveReportButton"));
    exportButton = new QPushButton(tr("导出所选为 CSV..."), this);
    exportButton->setObjectName(QStringLiteral("exportCsvButton"));
    auto *summaryButton = new QPushButton(tr("打开批次汇总"), this);
    summaryButton->setObjectName(QStringLiteral("openSummaryButton"));
    connect(openReportButton, &QPushButton::clicked, this, &ResultsWindow::openReport);
    connect(saveReportButton, &QPushButton::clicked, this, &ResultsWindow::saveReport);
    connect(exportButton, &QPushButton::clicked, this, &ResultsWindow::exportSelection);
    connect(summaryButton, &QPushButton::clicked, this, &ResultsWindow::openSummary);
    auto *row = new QHBoxLayout;
    for (QPushButton *b : {openReportButton, saveReportButton, exportButton})
        row->addWidget(b);
    row->addStretch();
    row->addWidget(summaryButton);
    return row;
}

void ResultsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

std::optional<ResultsLocation> ResultsWindow::location(QString *why) const
{
    if (!settings.outputs) {
        if (why)
            *why = tr("设置 %1 无效：%2").arg(RunSession::databaseKey(), settings.error);
        return std::nullopt;
    }
    return settings.outputs->results;
}

void ResultsWindow::refresh()
{
    runs.clear();
    trendUnit.clear();
    readNotice.clear();
    readProblem = false;
    QString why;
    const auto where = location(&why);
    whereLine->setText(tr("结果数据库：%1    批次汇总：%2")
                           .arg(where ? where->displayText() : tr("（无效）"),
                                settings.outputs ? QDir::toNativeSeparators(QFileInfo(settings.outputs->lotCsv).absoluteFilePath())
                                                 : tr("（无效）")));
    if (!where) {
        readNotice = why;
        readProblem = true;
    } else if (where->backend() == ResultsLocation::Backend::SQLite && !QFileInfo::exists(where->filePath())) {
        // A fresh bench has no file yet: that is no fault, only nothing to show.
        readNotice = tr("尚未保存任何测试。");
    } else {
        RunFilter filter;
        if (verdictFilter->currentIndex() > 0)
            filter.verdict = Verdict(verdictFilter->currentData().toInt());
        if (fromOn->isChecked())
            filter.fromUtc = localDayStartUtc(fromDate->date());
        if (toOn->isChecked())
            filter.toUtc = localDayStartUtc(toDate->date().addDays(1));
        ResultsReader reader(*where);
        if (!reader.runs(filter, runs)) {
            readNotice = reader.error();
            readProblem = true;
        }
    }
    fillTable();
}

void ResultsWindow::fillTable()
{
    const QString unit = unitText(unitFilter->text());
    table->setRowCount(0);
    for (const RunRecord &run : runs) {
        if (!unit.isEmpty() && !run.unit.unitId.contains(unit))
            continue;
        const int row = table->rowCount();
        table->insertRow(row);
        auto *time = new QTableWidgetItem(run.startedUtc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        time->setData(Qt::UserRole, run.runId);
        time->setToolTip(ResultsCodes::timeText(run.startedUtc));
        auto *verdict = new QTableWidgetItem(ResultsCodes::verdictCode(run.verdict));
        verdict->setForeground(VerdictStyle::verdictColor(run.verdict));
        table->setItem(row, Time, time);
        table->setItem(row, Unit, new QTableWidgetItem(run.unit.unitId));
        table->setItem(row, Plan, new QTableWidgetItem(run.planName));
        table->setItem(row, VerdictColumn, verdict);
    }
    if (!readNotice.isEmpty())
        showStatus(readNotice, readProblem);
    else
        showStatus(tr("显示 %1 次测试，共 %2 次符合结论和日期").arg(table->rowCount()).arg(runs.size()), false);
    if (table->rowCount() > 0)
        table->setCurrentCell(0, Time);
    showTrend();
}

void ResultsWindow::showStatus(const QString &text, bool problem)
{
    statusLine->setText(text);
    statusLine->setStyleSheet(problem ? QStringLiteral("color: #c00000;") : QString());
}

QList<qint64> ResultsWindow::shownRuns() const
{
    QList<qint64> ids;
    for (int r = 0; r < table->rowCount(); ++r)
        ids << table->item(r, Time)->data(Qt::UserRole).toLongLong();
    return ids;
}

QList<qint64> ResultsWindow::selectedRuns() const
{
    QList<qint64> ids;
    for (int r = 0; r < table->rowCount(); ++r) {
        if (table->item(r, Time)->isSelected())
            ids << table->item(r, Time)->data(Qt::UserRole).toLongLong();
    }
    return ids;
}

qint64 ResultsWindow::currentRun() const
{
    const int row = table->currentRow();
    return row < 0 ? 0 : table->item(row, Time)->data(Qt::UserRole).toLongLong();
}

// The run with its steps; a box says why when it cannot be read.
bool ResultsWindow::readRun(qint64 id, RunRecord &run)
{
    QString why;
    const auto where = location(&why);
    if (where) {
        ResultsReader reader(*where);
        if (reader.run(id, run))
            return true;
        why = reader.error();
    }
    UserPrompts::critical(this, tr("测试结果"), why);
    return false;
}

// The report is made again from the stored run, into a file of its own that
// lives as long as this window: the database is the record, and the file the
// run wrote may have moved or gone since.
void ResultsWindow::openReport()
{
    const qint64 id = currentRun();
    RunRecord run;
    if (id == 0 || !readRun(id, run))
        return;
    QString why;
    const QString path = QDir(reportDir.path()).filePath(RunReport::baseName(run) + QStringLiteral(".html"));
    if (!reportDir.isValid())
        why = tr("无法创建临时文件夹：%1").arg(reportDir.errorString());
    else if (RunReport(run).writeHtml(path, &why) && openUrl(QUrl::fromLocalFile(path)))
        return;
    else if (why.isEmpty())
        why = tr("没有程序能打开 %1").arg(path);
    UserPrompts::critical(this, tr("无法打开报告"), why);
}

void ResultsWindow::saveReport()
{
    const qint64 id = currentRun();
    RunRecord run;
    if (id == 0 || !readRun(id, run))
        return;
    QString path = UserPrompts::getSaveFileName(this, tr("保存报告"),
                                                QDir(savedFolder).filePath(RunReport::baseName(run) + QStringLiteral(".pdf")),
                                                tr("PDF 文件 (*.pdf);;HTML 文件 (*.html)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    savedFolder = QFileInfo(path).path();
    QString why;
    if (!RunReport(run).write(path, &why))
        UserPrompts::critical(this, tr("无法保存报告"), why);
}

void ResultsWindow::exportSelection()
{
    const QList<qint64> ids = selectedRuns();
    if (ids.isEmpty()) {
        showStatus(tr("请先在表中选择要导出的测试。"), true);
        return;
    }
    std::vector<RunRecord> chosen;
    for (qint64 id : ids) {
        RunRecord run;
        if (!readRun(id, run))
            return;
        chosen.push_back(std::move(run));
    }
    QString path = UserPrompts::getSaveFileName(this, tr("导出为 CSV"), QDir(savedFolder).filePath(QStringLiteral("runs.csv")),
                                                tr("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    savedFolder = QFileInfo(path).path();
    QString why;
    if (RunsCsv::write(path, chosen, &why))
        showStatus(tr("已将 %1 次测试导出到 %2").arg(chosen.size()).arg(QDir::toNativeSeparators(path)), false);
    else
        UserPrompts::critical(this, tr("无法导出"), why);
}

void ResultsWindow::openSummary()
{
    QString why;
    if (!location(&why)) {
        showStatus(why, true);
        return;
    }
    const QString path = QFileInfo(settings.outputs->lotCsv).absoluteFilePath();
    if (!QFileInfo::exists(path)) {
        showStatus(tr("批次汇总 %1 还不存在：它在第一次测试结束时写入。").arg(QDir::toNativeSeparators(path)), false);
        return;
    }
    if (!openUrl(QUrl::fromLocalFile(path)))
        UserPrompts::critical(this, tr("无法打开批次汇总"), tr("没有程序能打开 %1").arg(path));
}

// The trend of the current run's unit; read again only when the unit changes.
void ResultsWindow::showTrend()
{
    const int row = table->currentRow();
    const QString unit = row < 0 ? QString() : table->item(row, Unit)->text();
    openReportButton->setEnabled(row >= 0);
    saveReportButton->setEnabled(row >= 0);
    exportButton->setEnabled(row >= 0);
    if (unit == trendUnit && !unit.isEmpty())
        return;
    trendUnit = unit;
    std::vector<TrendPoint> points;
    QString why;
    const auto where = location(&why);
    if (!unit.isEmpty() && where) {
        ResultsReader reader(*where);
        if (!reader.unitTrend(unit, points))
            why = reader.error();
    }
    trendPlot->showTrend(points);
    if (unit.isEmpty())
        trendTitle->setText(tr("选择一次测试，查看该单元各参考距离的偏差趋势。"));
    else if (!why.isEmpty())
        trendTitle->setText(why);
    else
        trendTitle->setText(tr("单元 %1 在各参考距离的偏差，按测试先后").arg(unit));
}
