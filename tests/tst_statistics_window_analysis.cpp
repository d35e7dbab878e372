#include "app/AllanPanel.h"
#include "app/MainWindow.h"
#include "app/PlotCursors.h"
#include "app/StatisticsWindow.h"
#include "link/QTRNet.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"
#include "workflow/MeasurementFeed.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QtEndian>
#include <QtTest>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

struct MainWindowProbe {
    static MeasurementFeed *feed(MainWindow &w) { return w.measurementFeed; }
    static QTRNet *net(MainWindow &w) { return w.net; }
};
using Probe = MainWindowProbe;

namespace {

// One point at `distance`, with the quality values the gate and the
// quality plot read, and the device's timestamp.
QByteArray pointFrame(int distance, quint8 confidence = 100, quint32 peak = 20000, quint32 timestamp = 0)
{
    QByteArray payload(19, '\0');
    auto *p = reinterpret_cast<uchar *>(payload.data());
    qToLittleEndian<qint16>(qint16(distance), p);
    qToLittleEndian<quint16>(5, p + 2);
    qToLittleEndian<quint32>(peak, p + 4);
    p[8] = confidence;
    qToLittleEndian<quint32>(timestamp, p + 15);
    return encodedFrame(0x02, payload);
}

// What the feed published, as the test saw it.
struct Seen {
    qint64 timeNs;
    int distance;
    quint8 confidence;
    bool blanked;
};

struct Figures {
    int count = 0;
    int minimum = 0;
    int maximum = 0;
    double mean = 0;
    double median = 0;
};

Figures direct(std::vector<int> v)
{
    Figures f;
    f.count = int(v.size());
    if (v.empty())
        return f;
    std::sort(v.begin(), v.end());
    f.minimum = v.front();
    f.maximum = v.back();
    double sum = 0;
    for (int x : v)
        sum += x;
    f.mean = sum / double(v.size());
    const std::size_t h = v.size() / 2;
    f.median = v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2.0;
    return f;
}

class Fixture {
public:
    Fixture()
    {
        QObject::connect(Probe::feed(window), &MeasurementFeed::frameMeasured, &window,
                         [this](const MeasurementRecord &r) {
                             seen.push_back({r.hostNanoseconds, r.distances.front(), r.info.confidence, r.blanked});
                         });
        window.findChild<QAction *>(QStringLiteral("actionStatistics"))->trigger();
        stats = window.findChild<StatisticsWindow *>();
    }

    void send(const QByteArray &frame) { Probe::net(window)->receiveData(frame); }
    QString figure(int i) const { return stats->findChild<QLabel *>(QStringLiteral("figure%1").arg(i))->text(); }
    QString kept() const { return stats->findChild<QLabel *>(QStringLiteral("keptLabel"))->text(); }
    template <typename T> T *child(const char *name) const { return stats->findChild<T *>(QLatin1String(name)); }
    // The time plot's x of a frame: no Start was sent, so seconds since the first frame.
    double secondsOf(std::size_t i) const { return double(seen[i].timeNs - seen[0].timeNs) / 1e9; }
    double barsTotal() const
    {
        auto *bars = qobject_cast<QCPBars *>(child<QCustomPlot>("histogramPlot")->plottable(0));
        double sum = 0;
        for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it)
            sum += it->value;
        return sum;
    }
    void compareFigures(const Figures &want)
    {
        QCOMPARE(figure(0), QString::number(want.count));
        QCOMPARE(figure(1), QString::number(want.mean, 'f', 3));
        QCOMPARE(figure(3), QString::number(want.minimum));
        QCOMPARE(figure(4), QString::number(want.maximum));
        QCOMPARE(figure(6), QString::number(want.median, 'f', 1));
        QCOMPARE(barsTotal(), double(want.count));
    }

    MainWindow window;
    StatisticsWindow *stats = nullptr;
    std::vector<Seen> seen;
};

} // namespace

class tst_StatisticsWindowAnalysis : public QObject {
    Q_OBJECT
private slots:
    void spanBetweenTheCursorsGivesTheFiguresOfThatSlice();
    void gateKeepsNOfMFramesInEveryWindow_data();
    void gateKeepsNOfMFramesInEveryWindow();
    void driftSettleTextFromFramesThroughTheFeed_data();
    void driftSettleTextFromFramesThroughTheFeed();
    void allanCopyGivesTheTauAndDeviationColumnsShown();
    void driftAndAllanRefreshAtMostOnceASecond();
    void aStopLeavesAGapNoLineCrosses();
};

void tst_StatisticsWindowAnalysis::spanBetweenTheCursorsGivesTheFiguresOfThatSlice()
{
    Fixture f;
    for (int k = 0; k < 300; ++k)
        f.send(pointFrame(1000 + (k * 37) % 101, quint8(k % 100), 1000 + quint32(k * 13 % 5000)));
    QCOMPARE(int(f.seen.size()), 300);
    PlotCursors *cursors = f.stats->timeCursors();
    QVERIFY(cursors->pair().empty());

    // Choosing the span places both cursors on the time plot.
    f.child<QComboBox>("windowBox")->setCurrentIndex(StatisticsWindow::Span);
    QVERIFY(cursors->pair().complete());
    QVERIFY(f.kept().startsWith(QStringLiteral("保留 ")));

    // A Ctrl+click on the time plot, right of both cursors: B moves there, onto a frame.
    QCustomPlot *timePlot = f.child<QCustomPlot>("timePlot");
    const double right = f.secondsOf(280);
    QTest::mouseClick(timePlot, Qt::LeftButton, Qt::ControlModifier,
                      QPoint(int(std::lround(timePlot->xAxis->coordToPixel(right))), timePlot->axisRect()->center().y()));
    const double b = cursors->pair().position(PlotCursors::Cursor::B);
    QVERIFY(std::any_of(f.seen.begin(), f.seen.end(), [&](const Seen &s) {
        return std::fabs(double(s.timeNs - f.seen[0].timeNs) / 1e9 - b) < 1e-9;
    }));

    const auto sliceBetween = [&](std::size_t from, std::size_t to, int minConfidence, int *total) {
        std::vector<int> kept;
        *total = 0;
        for (std::size_t i = from; i <= to; ++i) {
            ++*total;
            if (f.seen[i].confidence >= minConfidence)
                kept.push_back(f.seen[i].distance);
        }
        return kept;
    };
    cursors->place(PlotCursors::Cursor::A, f.secondsOf(249));
    cursors->place(PlotCursors::Cursor::B, f.secondsOf(50));
    f.stats->refresh();
    int total = 0;
    f.compareFigures(direct(sliceBetween(50, 249, 0, &total)));
    QCOMPARE(f.kept(), QStringLiteral("保留 200 / 200 帧"));

    // The gate applies to every figure, the histogram and the quality plot.
    f.child<QSpinBox>("minConfidenceBox")->setValue(50);
    const std::vector<int> kept = sliceBetween(50, 249, 50, &total);
    f.compareFigures(direct(kept));
    QCOMPARE(f.kept(), QStringLiteral("保留 %1 / 200 帧").arg(kept.size()));
    f.child<QTabWidget>("statisticsTabs")->setCurrentIndex(StatisticsWindow::QualityTab);
    QCustomPlot *quality = f.child<QCustomPlot>("qualityPlot");
    QCOMPARE(quality->graph(1)->dataCount(), int(kept.size()));
    QCOMPARE(quality->graph(0)->dataCount(), 200 - int(kept.size()));
    QVERIFY(f.stats->text().contains(QStringLiteral("光标 A (秒)\t")));

    // Without both cursors the span has no figures, and says how to get them.
    cursors->clear();
    f.stats->refresh();
    QCOMPARE(f.figure(0), QStringLiteral("0"));
    QVERIFY(f.kept().contains(QStringLiteral("光标 A 和 B")));
}

void tst_StatisticsWindowAnalysis::gateKeepsNOfMFramesInEveryWindow_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("firstFrame");
    QTest::newRow("last 100 frames") << int(StatisticsWindow::Last100) << 50;
    QTest::newRow("since Start") << int(StatisticsWindow::SinceStart) << 0;
}

// 150 frames, every third of them confident: the gate on confidence keeps
// those, and the figures are theirs alone.
void tst_StatisticsWindowAnalysis::gateKeepsNOfMFramesInEveryWindow()
{
    QFETCH(int, window);
    QFETCH(int, firstFrame);
    Fixture f;
    for (int k = 0; k < 150; ++k)
        f.send(pointFrame(k % 3 == 0 ? 2000 + k : 900 - k, k % 3 == 0 ? 90 : 10));
    f.child<QComboBox>("windowBox")->setCurrentIndex(window);
    f.stats->refresh();
    QCOMPARE(f.kept(), QStringLiteral("保留 %1 / %1 帧").arg(150 - firstFrame));

    f.child<QSpinBox>("minConfidenceBox")->setValue(90);
    std::vector<int> kept;
    for (int k = firstFrame; k < 150; ++k)
        if (k % 3 == 0)
            kept.push_back(2000 + k);
    f.compareFigures(direct(kept));
    QCOMPARE(f.kept(), QStringLiteral("保留 %1 / %2 帧").arg(kept.size()).arg(150 - firstFrame));

    f.child<QSpinBox>("minPeakBox")->setValue(20001);
    QCOMPARE(f.kept(), QStringLiteral("保留 0 / %1 帧").arg(150 - firstFrame));
    QCOMPARE(f.figure(3), QStringLiteral("-"));
}

void tst_StatisticsWindowAnalysis::driftSettleTextFromFramesThroughTheFeed_data()
{
    QTest::addColumn<bool>("ramp");
    QTest::newRow("a 10 mm step settles") << false;
    QTest::newRow("a ramp never settles") << true;
}

// Frames every 10 ms in real time through the window's own feed, with a
// rolling interval of 0.5 s: a step from 1010 to 1000 settles once the
// interval holds no more than a fifth of the old frames, which is after the
// first new frame and at most one interval after the last old one, as the
// feed's own clock tells; a ramp of 50 mm/s never stays within ±2 mm.
void tst_StatisticsWindowAnalysis::driftSettleTextFromFramesThroughTheFeed()
{
    QFETCH(bool, ramp);
    Fixture f;
    f.stats->show();
    f.child<QTabWidget>("statisticsTabs")->setCurrentIndex(StatisticsWindow::DriftTab);
    f.child<QDoubleSpinBox>("driftIntervalBox")->setValue(0.5);
    auto *settle = f.child<QLabel>("settleLabel");
    QCOMPARE(settle->text(), QStringLiteral("数据不足：需要至少两个滚动区间 (1 秒) 的有效帧"));

    QElapsedTimer clock;
    clock.start();
    int stepAt = -1;
    QTimer feeder;
    feeder.setInterval(10);
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        const bool after = clock.elapsed() >= 1000;
        if (after && stepAt < 0)
            stepAt = int(f.seen.size());
        const int distance = ramp ? 1000 + int(clock.elapsed() / 20) : after ? 1000 : 1010;
        f.send(pointFrame(distance));
    });
    feeder.start();
    QTRY_VERIFY_WITH_TIMEOUT(stepAt >= 0 && f.seen.back().timeNs - f.seen[std::size_t(stepAt)].timeNs > 2000000000LL, 30000);
    feeder.stop();
    const int before = f.stats->slowRefreshes();
    QTRY_VERIFY_WITH_TIMEOUT(f.stats->slowRefreshes() > before, 10000);
    QVERIFY(f.child<QCustomPlot>("driftPlot")->graph(0)->dataCount() > 10);

    if (ramp) {
        QCOMPARE(settle->text(), QStringLiteral("尚未稳定：最近 0.5 秒内滚动平均值仍超出最终值 ±2 mm"));
        return;
    }
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^稳定于 ([0-9.]+) 秒后$")).match(settle->text());
    QVERIFY2(m.hasMatch(), qPrintable(settle->text()));
    const double shown = m.captured(1).toDouble();
    // No sooner than the first new frame; no later than the first frame
    // whose interval holds no old one.
    const double firstNew = f.secondsOf(std::size_t(stepAt));
    const double lastOld = f.secondsOf(std::size_t(stepAt - 1));
    std::size_t clean = std::size_t(stepAt);
    while (f.secondsOf(clean) < lastOld + 0.5)
        ++clean;
    // The text has one decimal.
    QVERIFY2(shown >= firstNew - 0.05 && shown <= f.secondsOf(clean) + 0.05,
             qPrintable(QStringLiteral("%1 against %2 .. %3").arg(shown).arg(firstNew).arg(f.secondsOf(clean))));
}

void tst_StatisticsWindowAnalysis::allanCopyGivesTheTauAndDeviationColumnsShown()
{
    Fixture f;
    f.stats->show();
    f.child<QTabWidget>("statisticsTabs")->setCurrentIndex(StatisticsWindow::AllanTab);
    for (int k = 0; k < 3000; ++k)
        f.send(pointFrame(1500 + (k * 7919) % 41 - 20));
    QCustomPlot *plot = f.child<QCustomPlot>("allanPlot");
    QTRY_VERIFY_WITH_TIMEOUT(plot->graph(0)->dataCount() >= 10, 10000);
    f.child<QPushButton>("allanCopyButton")->click();
    const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.first(), QStringLiteral("τ (秒)\t阿伦偏差"));
    QCOMPARE(lines.size() - 1, plot->graph(0)->dataCount());
    double previousTau = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList columns = lines[i].split(QLatin1Char('\t'));
        QCOMPARE(columns.size(), 2);
        bool tauOk = false, devOk = false;
        const double tau = columns[0].toDouble(&tauOk), deviation = columns[1].toDouble(&devOk);
        QVERIFY(tauOk && devOk && tau > previousTau && deviation > 0);
        previousTau = tau;
        const QCPGraphData &shown = *(plot->graph(0)->data()->constBegin() + (i - 1));
        QVERIFY(std::fabs(shown.key / tau - 1) < 1e-5 && std::fabs(shown.value / deviation - 1) < 1e-5);
    }
    QVERIFY(plot->xAxis->scaleType() == QCPAxis::stLogarithmic && plot->yAxis->scaleType() == QCPAxis::stLogarithmic);
}

// Refreshes back to back, as the user's changes make them: once a second
// has passed, the first computes the drift and the Allan deviation, the
// next ones within the second do not. Hidden, the window's own timer stays
// out of it.
void tst_StatisticsWindowAnalysis::driftAndAllanRefreshAtMostOnceASecond()
{
    Fixture f;
    f.stats->hide();
    for (int k = 0; k < 1000; ++k)
        f.send(pointFrame(1500 + k % 9));
    QTest::qWait(StatisticsWindow::kSlowRefreshMs + 100);
    const int before = f.stats->slowRefreshes();
    f.stats->refresh();
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(f.stats->slowRefreshes(), before + 1);
    QVERIFY(!f.stats->findChild<AllanPanel *>()->points().empty());
    for (int i = 0; i < 5; ++i)
        f.stats->refresh();
    const int after = f.stats->slowRefreshes();
    if (elapsed.elapsed() >= StatisticsWindow::kSlowRefreshMs)
        QSKIP("the refreshes took a second: the machine is too busy to tell");
    QCOMPARE(after, before + 1);
}

// Start, frames, Stop, frames: the frames after the Stop begin a new
// stretch of the series, and the time plot breaks its line there.
void tst_StatisticsWindowAnalysis::aStopLeavesAGapNoLineCrosses()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    QVERIFY(window.presetPort(pty.portName(), 921600));
    DevicePeer device(pty);
    window.findChild<QAction *>(QStringLiteral("actionStatistics"))->trigger();
    auto *stats = window.findChild<StatisticsWindow *>();
    window.findChild<QPushButton *>(QStringLiteral("pbStart"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(int(device.frames.size()), 1, 10000);
    QByteArray burst;
    for (int k = 0; k < 20; ++k)
        burst += pointFrame(1000 + k);
    QVERIFY(pty.write(burst));
    QTRY_COMPARE_WITH_TIMEOUT(stats->series().frames(), qint64(20), 10000);
    window.findChild<QPushButton *>(QStringLiteral("pbStop"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(int(device.frames.size()), 2, 10000);
    QVERIFY(pty.write(burst));
    QTRY_COMPARE_WITH_TIMEOUT(stats->series().frames(), qint64(40), 10000);

    std::vector<qint64> gaps;
    for (qint64 i = 0; i < stats->series().size(); ++i)
        if (stats->series().at(i).gapBefore())
            gaps.push_back(i);
    QCOMPARE(gaps, std::vector<qint64>{20});
    stats->findChild<QComboBox *>(QStringLiteral("windowBox"))->setCurrentIndex(StatisticsWindow::SinceStart);
    const QCPGraph *line = stats->findChild<QCustomPlot *>(QStringLiteral("timePlot"))->graph(1);
    int breaks = 0;
    for (auto it = line->data()->constBegin(); it != line->data()->constEnd(); ++it)
        breaks += std::isnan(it->value) ? 1 : 0;
    QCOMPARE(breaks, 1);
}

QTEST_MAIN(tst_StatisticsWindowAnalysis)
#include "tst_statistics_window_analysis.moc"
