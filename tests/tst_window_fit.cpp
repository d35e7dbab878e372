#include "app/MainWindow.h"
#include "app/PlotTicks.h"
#include "app/RunWindow.h"
#include "settings/UiLanguage.h"
#include "app/WindowFit.h"
#include "files/MeasurementLog.h"
#include "link/LinkTexts.h"
#include "link/QTRNet.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"
#include "tests/support/SensorPeer.h"
#include "widgets/ElidingLabel.h"
#include "widgets/UserPrompts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <qcustomplot.h>

#include <functional>

// Every window and dialog of the program, in both languages, on the offscreen
// platform's 800 x 600 screen: inside the screen, titles and texts whole, the
// status bar's texts never resizing the window, plot labels apart.
class tst_WindowFit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyWindowFitsTheScreenAndShowsItsTextsWhole_data();
    void everyWindowFitsTheScreenAndShowsItsTextsWhole();
    void statusBarTextsNeverResizeTheWindow_data();
    void statusBarTextsNeverResizeTheWindow();
    void countersChangeWithoutLayingOutTheStatusBar();
    void tickLabelsStandApartAtAnyAxisLength_data();
    void tickLabelsStandApartAtAnyAxisLength();
    void windowPlotsKeepTheirTickLabelsApartOnASmallScreen();
    void runWindowFitsMidRunAndAtItsVerdict_data();
    void runWindowFitsMidRunAndAtItsVerdict();

private:
    QScopedPointer<QTemporaryDir> dir;
};

namespace {

void languageRows()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("Chinese") << UiLanguage::kChinese;
    QTest::newRow("English") << UiLanguage::kEnglish;
}

QString nameOf(const QWidget *widget)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(widget->objectName().isEmpty() ? QLatin1String(widget->metaObject()->className()) : widget->objectName(),
             widget->window()->windowTitle());
}

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// What a label or button needs to show its text whole, against what it has.
QString cutText(const QWidget *widget)
{
    if (qobject_cast<const ElidingLabel *>(widget))
        return {}; // elides by design; statusBarTextsNeverResizeTheWindow checks those
    QString text;
    bool cut = false;
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        text = label->text();
        if (text.isEmpty())
            return {};
        if (label->wordWrap())
            cut = label->heightForWidth(label->width()) > label->height();
        else
            cut = label->sizeHint().width() > label->width() || label->sizeHint().height() > label->height();
    } else if (const auto *button = qobject_cast<const QPushButton *>(widget)) {
        text = button->text();
        if (text.isEmpty())
            return {};
        // The text with the button's own margins, without the style's
        // minimum width for buttons with text.
        QStyleOptionButton option;
        option.initFrom(button);
        if (button->autoDefault() || button->isDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        const QFontMetrics metrics = button->fontMetrics();
        const QSize textSize(metrics.horizontalAdvance(QString(text).remove(QLatin1Char('&'))), metrics.height());
        cut = button->style()->sizeFromContents(QStyle::CT_PushButton, &option, textSize, button).width()
            > button->width();
    } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        text = button->text();
        cut = !text.isEmpty() && button->sizeHint().width() > button->width();
    }
    if (!cut)
        return {};
    return QStringLiteral("%1 cuts \"%2\" (%3 px wide)").arg(nameOf(widget), text).arg(widget->width());
}

// A window's frame outside the screen's available area, a title wider than
// its title bar, a label's or a button's text wider than the widget shows.
QStringList problemsOf(QWidget *window)
{
    settle();
    QStringList problems;
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    if (!area.contains(window->frameGeometry()))
        problems << QStringLiteral("%1 reaches off the screen: %2,%3 %4x%5")
                        .arg(nameOf(window))
                        .arg(window->frameGeometry().x())
                        .arg(window->frameGeometry().y())
                        .arg(window->frameGeometry().width())
                        .arg(window->frameGeometry().height());
    if (window->width() < WindowFit::titleWidth(window))
        problems << QStringLiteral("%1 is too narrow for its title (%2 px)").arg(nameOf(window)).arg(window->width());
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (!widget->isVisible())
            continue;
        const QString cut = cutText(widget);
        if (!cut.isEmpty())
            problems << cut;
    }
    return problems;
}

// Runs `open` and checks every modal box or dialog it shows meanwhile; each
// is closed once checked, so `open` returns.
QStringList problemsWhileModal(const std::function<void()> &open)
{
    QStringList problems;
    int seen = 0;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        ++seen;
        problems += problemsOf(modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    });
    poll.start();
    open();
    if (seen == 0)
        problems << QStringLiteral("no modal window appeared");
    return problems;
}

void trigger(QWidget &window, const char *action)
{
    window.findChild<QAction *>(QLatin1String(action))->trigger();
}

QStringList elisionProblems(const ElidingLabel *label);

// Rectangles of the status bar's visible widgets that overlap, and the
// elided texts that do not say so or cannot be read whole in their tooltip.
QStringList statusBarProblems(QStatusBar *bar)
{
    settle();
    QStringList problems;
    QList<QWidget *> shown;
    for (QWidget *widget : bar->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (widget->isVisible() && !widget->isWindow())
            shown << widget;
    for (int i = 0; i < shown.size(); ++i) {
        if (!bar->rect().contains(shown[i]->geometry()))
            problems << nameOf(shown[i]) + QStringLiteral(" reaches out of the status bar");
        for (int j = i + 1; j < shown.size(); ++j)
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                problems << nameOf(shown[i]) + QStringLiteral(" overlaps ") + nameOf(shown[j]);
        QList<ElidingLabel *> labels = shown[i]->findChildren<ElidingLabel *>();
        labels << qobject_cast<ElidingLabel *>(shown[i]);
        for (const ElidingLabel *label : labels)
            problems += elisionProblems(label);
    }
    return problems;
}

// An elided text says so, and is whole in its tooltip; a label with no room
// at all shows nothing rather than a cut word.
QStringList elisionProblems(const ElidingLabel *label)
{
    QStringList problems;
    if (!label || !label->isVisible() || label->shownText() == label->text() || label->shownText().isEmpty())
        return problems;
    if (!label->shownText().contains(QChar(0x2026)))
            problems << nameOf(label) + QStringLiteral(" cuts its text without \"…\": ") + label->shownText();
    if (!label->toolTip().contains(label->text()) && label->objectName() != QLatin1String("linkStatsLabel"))
        problems << nameOf(label) + QStringLiteral(" has not its whole text in the tooltip");
    return problems;
}

// One point at `distance`.
QByteArray measurement(qint16 distance)
{
    QByteArray payload(19, '\0');
    qToLittleEndian<qint16>(distance, reinterpret_cast<uchar *>(payload.data()));
    return encodedFrame(0x02, payload);
}

// Labels of `axis` that overlap where the plot drew them.
QString overlappingLabels(const QCPAxis *axis)
{
    const QFontMetrics metrics(axis->tickLabelFont());
    const bool horizontal = axis->orientation() == Qt::Horizontal;
    const QVector<double> ticks = axis->tickVector();
    const QVector<QString> labels = axis->tickVectorLabels();
    double previousAt = 0;
    double previousHalf = -1;
    QString previous;
    for (int i = 0; i < ticks.size(); ++i) {
        if (!axis->range().contains(ticks[i]))
            continue;
        const double at = axis->coordToPixel(ticks[i]);
        const double half = horizontal ? metrics.horizontalAdvance(labels[i]) / 2.0 : metrics.height() / 2.0;
        if (previousHalf >= 0 && qAbs(at - previousAt) < previousHalf + half)
            return QStringLiteral("\"%1\" runs into \"%2\"").arg(previous, labels[i]);
        previousAt = at;
        previousHalf = half;
        previous = labels[i];
    }
    return {};
}

// A plan of two steps placed by the operator, every limit set, the second
// biased beyond its own.
QString writeTwoStepPlan()
{
    const QByteArray json = "{\"name\": \"Accuracy 0.5-1 m (bench 3)\", \"frames\": 20, \"min_confidence\": 10, "
                            "\"limits\": {\"bias_mm\": 20, \"bias_percent\": 1.0, \"std_mm\": 15, "
                            "\"blanked_percent\": 1.0, \"min_rate_hz\": 5}, \"steps\": [\n"
                            "{\"reference_mm\": 500}, {\"reference_mm\": 900}]}";
    QFile file(QStringLiteral("accuracy.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size())
        return {};
    return QFileInfo(file).absoluteFilePath();
}

int labelsInRange(const QCPAxis *axis)
{
    int count = 0;
    for (double tick : axis->tickVector())
        count += axis->range().contains(tick) ? 1 : 0;
    return count;
}

} // namespace

void tst_WindowFit::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QSKIP("needs the offscreen platform's 800 x 600 screen");
    QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().size(), QSize(800, 600));
}

void tst_WindowFit::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
}

void tst_WindowFit::cleanup()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        top->close();
    QDir::setCurrent(QDir::tempPath());
    dir.reset();
}

void tst_WindowFit::everyWindowFitsTheScreenAndShowsItsTextsWhole_data()
{
    languageRows();
}

void tst_WindowFit::everyWindowFitsTheScreenAndShowsItsTextsWhole()
{
    QFETCH(QString, language);
    QVERIFY(UiLanguage::install(*qApp, language));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QStringList problems;
    const QString plan = writeTwoStepPlan();
    UserPrompts::setOpenFileChooser([plan](QWidget *, const QString &, const QString &, const QString &) { return plan; });
    for (const char *entry : {"actionOpenCom", "actionConfigPara", "actionDownload", "actionStatistics",
                              "actionTrafficMonitor", "actionRunTestPlan", "actionEditTestPlan", "actionTestResults"})
        trigger(window, entry);
    UserPrompts::setOpenFileChooser({});
    // A download that fails at once (no port) shows its box, and leaves its
    // longest line in the dialog.
    problems += problemsWhileModal([&] {
        window.findChild<QDialog *>(QStringLiteral("DownloadDialog"))->findChild<QPushButton *>("startDownload")->click();
    });
    int windows = 0;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || qobject_cast<QMenu *>(top))
            continue;
        ++windows;
        problems += problemsOf(top);
    }
    QCOMPARE(windows, 9);
    // The statistics window's other tabs, and the span's hint to place cursors.
    auto *statistics = window.findChild<QWidget *>(QStringLiteral("statisticsWindow"));
    auto *tabs = statistics->findChild<QTabWidget *>(QStringLiteral("statisticsTabs"));
    statistics->findChild<QComboBox *>(QStringLiteral("windowBox"))->setCurrentIndex(4);
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        problems += problemsOf(statistics);
    }
    problems += problemsWhileModal([&] { trigger(window, "actionStartLog"); });
    problems += problemsWhileModal([&] { trigger(window, "actionAbout"); });
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void tst_WindowFit::statusBarTextsNeverResizeTheWindow_data()
{
    languageRows();
}

// The link's message, the log's line with a long path, the state of a port
// under /dev and the counters of a running stream, one after the other.
void tst_WindowFit::statusBarTextsNeverResizeTheWindow()
{
    QFETCH(QString, language);
    QVERIFY(UiLanguage::install(*qApp, language));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    settle();
    const QSize size = window.size();
    const QSize minimum = window.minimumSizeHint();
    QCOMPARE(size, QSize(600, 450));
    auto *bar = window.findChild<QStatusBar *>();
    auto *state = window.findChild<ElidingLabel *>(QStringLiteral("linkStateLabel"));
    auto *message = window.findChild<ElidingLabel *>(QStringLiteral("linkMessageLabel"));
    auto *log = window.findChild<ElidingLabel *>(QStringLiteral("logStatusLabel"));
    auto *contact = window.findChild<ElidingLabel *>(QStringLiteral("contactLabel"));
    QVERIFY(state && message && log && contact);
    const auto unchanged = [&](const char *step) {
        const QStringList problems = statusBarProblems(bar);
        QVERIFY2(problems.isEmpty(), qPrintable(QLatin1String(step) + QStringLiteral(": ") + problems.join('\n')));
        QVERIFY2(window.size() == size, step);
        QVERIFY2(window.minimumSizeHint() == minimum, step);
    };
    unchanged("at start");
    QVERIFY(contact->shownText().endsWith(QChar(0x2026)));
    QCOMPARE(contact->toolTip(), contact->text());

    window.findChild<QPushButton *>(QStringLiteral("pbStart"))->click();
    QVERIFY(message->isVisible() && !message->text().isEmpty());
    unchanged("link message");

    const QString longPath = dir->filePath(QString(120, QLatin1Char('x')) + QStringLiteral(".csv"));
    QVERIFY(window.findChild<MeasurementLog *>()->start(longPath, MeasurementLog::Layout::FramePerLine));
    QTRY_VERIFY_WITH_TIMEOUT(log->isVisible() && log->text().contains(QString(120, QLatin1Char('x'))), 5000);
    QVERIFY(log->shownText() != log->text());
    unchanged("log line");

    PtyPair pty;
    QVERIFY(pty.portName().startsWith(QStringLiteral("/dev/")));
    QVERIFY(window.presetPort(pty.portName(), 230400));
    window.findChild<QPushButton *>(QStringLiteral("pbStart"))->click();
    QVERIFY(!pty.read(15, 5000).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(state->text(), pty.portName() + QStringLiteral("  230400 bps  ") + LinkTexts::stateName(LinkState::Acquiring), 5000);
    QByteArray burst;
    for (int k = 0; k < 2000; ++k)
        burst += measurement(qint16(1000 + k % 7));
    QVERIFY(pty.write(burst));
    auto *counters = window.findChild<ElidingLabel *>(QStringLiteral("linkStatsLabel"));
    QTRY_VERIFY_WITH_TIMEOUT(counters->text().contains(QStringLiteral("2000")), 10000);
    unchanged("counters");
}

// A new text in a label of fixed size asks no layout of its parent; any
// other would lay out the status bar again four times a second.
void tst_WindowFit::countersChangeWithoutLayingOutTheStatusBar()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    settle();
    auto *bar = window.findChild<QStatusBar *>();
    auto *counters = window.findChild<ElidingLabel *>(QStringLiteral("linkStatsLabel"));
    struct LayoutRequests : QObject {
        int count = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::LayoutRequest ? 1 : 0;
            return false;
        }
    } requests;
    bar->installEventFilter(&requests);
    QTRNet *net = window.findChild<QTRNet *>();
    for (int k = 1; k <= 3; ++k) {
        const QString before = counters->text();
        net->receiveData(encodedFrame(0x55, QByteArray(1, '\x01')).repeated(k * 100));
        QTRY_VERIFY_WITH_TIMEOUT(counters->text() != before, 5000);
        settle();
    }
    QCOMPARE(requests.count, 0);
}

void tst_WindowFit::tickLabelsStandApartAtAnyAxisLength_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::newRow("a narrow plot, thousands") << 120 << 0.0 << 2520.0;
    QTest::newRow("a narrow plot, long labels") << 160 << 0.0 << 1234567.0;
    QTest::newRow("a narrow plot, fractions") << 140 << 1480.0 << 1530.5;
    QTest::newRow("a small screen's plot") << 300 << 0.0 << 12500.0;
    QTest::newRow("a wide plot") << 1200 << 0.0 << 12500.0;
}

// The same range on a longer axis gets more labels, never ones that touch.
void tst_WindowFit::tickLabelsStandApartAtAnyAxisLength()
{
    QFETCH(int, width);
    QFETCH(double, lower);
    QFETCH(double, upper);
    QCustomPlot plot;
    PlotTicks::keepLabelsApart(&plot);
    plot.resize(width, width);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    for (QCPAxis *axis : {plot.xAxis, plot.yAxis})
        axis->setRange(lower, upper);
    plot.replot();
    for (QCPAxis *axis : {plot.xAxis, plot.yAxis}) {
        const QString overlap = overlappingLabels(axis);
        QVERIFY2(overlap.isEmpty(), qPrintable(overlap));
        QVERIFY(labelsInRange(axis) >= 1);
    }
    if (width >= 1200)
        QVERIFY(labelsInRange(plot.xAxis) >= 8);
}

void tst_WindowFit::windowPlotsKeepTheirTickLabelsApartOnASmallScreen()
{
    QVERIFY(UiLanguage::install(*qApp, UiLanguage::kEnglish));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    trigger(window, "actionStatistics");
    settle();
    // The statistics window's plots sit on tabs: each tab in turn.
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("statisticsTabs"));
    QVERIFY(tabs);
    QSet<QCustomPlot *> checked;
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        settle();
        for (QCustomPlot *plot : window.findChildren<QCustomPlot *>()) {
            if (!plot->isVisible())
                continue;
            checked << plot;
            // A log axis has no 0: the same decades from 0.001.
            for (QCPAxis *axis : {plot->xAxis, plot->yAxis}) {
                const bool log = axis->scaleType() == QCPAxis::stLogarithmic;
                axis->setRange(axis == plot->xAxis ? (log ? 0.001 : 0) : 1480, axis == plot->xAxis ? 12520 : 1530.5);
            }
            plot->replot();
            for (QCPAxis *axis : {plot->xAxis, plot->yAxis}) {
                const QString overlap = overlappingLabels(axis);
                QVERIFY2(overlap.isEmpty(), qPrintable(plot->objectName() + QStringLiteral(": ") + overlap));
            }
        }
    }
    QCOMPARE(checked.size(), window.findChildren<QCustomPlot *>().size());
    QCOMPARE(checked.size(), 6);
}

void tst_WindowFit::runWindowFitsMidRunAndAtItsVerdict_data()
{
    languageRows();
}

// The run window's longest states: waiting after a step with its verdict
// and every figure beside its limit, then the verdict with the fit and the
// files the run went to.
void tst_WindowFit::runWindowFitsMidRunAndAtItsVerdict()
{
    QFETCH(QString, language);
    QVERIFY(UiLanguage::install(*qApp, language));
    PtyPair pty;
    SensorPeer peer(pty);
    peer.points = [](int session, int) { return std::vector<SensorPeer::Point> {{qint16(session == 0 ? 500 : 960)}}; };
    MainWindow window;
    QVERIFY(window.presetPort(pty.portName(), 230400));
    window.show();
    const QString plan = writeTwoStepPlan();
    UserPrompts::setOpenFileChooser([plan](QWidget *, const QString &, const QString &, const QString &) { return plan; });
    trigger(window, "actionRunTestPlan");
    UserPrompts::setOpenFileChooser({});
    auto *run = window.findChild<RunWindow *>();
    QVERIFY(run && run->startRun());
    auto *proceed = run->findChild<QPushButton *>(QStringLiteral("continueButton"));
    QStringList problems;
    for (int wait = 0; wait < 3; ++wait) {
        QTRY_VERIFY_WITH_TIMEOUT(proceed->isEnabled(), 20000);
        problems += problemsOf(run);
        proceed->click();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!run->isRunning(), 20000);
    QVERIFY(run->findChild<QWidget *>(QStringLiteral("runEnd"))->isVisible());
    problems += problemsOf(run);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_WindowFit)
#include "tst_window_fit.moc"
