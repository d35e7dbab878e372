#include "app/MainWindow.h"
#include "app/LodGraph.h"
#include "widgets/UserPrompts.h"
#include "files/CurveFile.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/StoredCurves.h"
#include "curve/CurveStoreFile.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>
#include <qcustomplot.h>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

struct MainWindowProbe {
    static QCustomPlot *plot(MainWindow &w) { return w.plot; }
    static QString &savedFilePath(MainWindow &w) { return w.savedFilePath; }
    static void record(MainWindow &w) { w.saveCurveData(); }
    static void playBack(MainWindow &w) { w.loadCurve(); }
    static void exportPicture(MainWindow &w) { w.saveCurveToPic(); }
    static void setCurveIndex(MainWindow &w, int index) { w.curveIndex = index; }
    static void clear(MainWindow &w) { w.on_pbClear_clicked(); }
    static qint64 &playbackMaxPoints(MainWindow &w) { return w.playbackMaxPoints; }
    // One measurement frame's ten plot values, drawn at the next refresh.
    static void refreshWithFrame(MainWindow &w, int mean)
    {
        for (qint32 &value : w.plotBuffer)
            value = mean;
        w.plotPending = true;
        w.refreshPlotArea();
    }
};

namespace {
using Probe = MainWindowProbe;
constexpr qint64 kLoweredCap = 1000;

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QVector<double> keys(const QCPGraph *graph)
{
    return StoredCurves::keys(graph);
}

QVector<double> values(const QCPGraph *graph)
{
    return StoredCurves::values(graph);
}

} // namespace

class tst_CurveFilePlayback : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void recordingWritesOneLinePerCurve_data();
    void recordingWritesOneLinePerCurve();
    void recordedCurvesPlayBackRenumbered();
    void playbackReplacesCurvesAndScalesToTheFile();
    void fileWithoutCurvesLeavesAnEmptyPlotAndTheAxes();
    void savedNameGetsTheExtensionOnlyWithoutASuffix_data();
    void savedNameGetsTheExtensionOnlyWithoutASuffix();
    void unopenableSaveShowsWriteErrorAndRemembersPath_data();
    void unopenableSaveShowsWriteErrorAndRemembersPath();
    void fullDiskShowsWriteErrorAndKeepsThePreviousFile();
    void unreadableFileShowsReadErrorAndLeavesThePlot_data();
    void unreadableFileShowsReadErrorAndLeavesThePlot();
    void fileBeyondTheWholeReadSizePlaysBack();
    void pictureHasTheWidgetSizeAndIsPng_data();
    void pictureHasTheWidgetSizeAndIsPng();
    void cancelledChooserChangesNothing();
    void liveCurveAfterPlaybackIsStillALodGraph();
    void liveViewKeepsDrawingAfterPlaybackOfFewerCurves_data();
    void liveViewKeepsDrawingAfterPlaybackOfFewerCurves();

private:
    QString path(const QString &name) const { return dir.filePath(name); }
    void fillLiveCurves();
    void playBackText(const QByteArray &text);

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    QString answer;
    QStringList chooserCalls;
    QStringList boxes;
};

void tst_CurveFilePlayback::initTestCase()
{
    QVERIFY(dir.isValid());
    // The window reads and writes its settings file in the working folder.
    QVERIFY(QDir::setCurrent(dir.path()));
}

void tst_CurveFilePlayback::init()
{
    answer.clear();
    chooserCalls.clear();
    boxes.clear();
    auto chooser = [this](QWidget *, const QString &caption, const QString &start, const QString &filter) {
        chooserCalls << caption + '|' + start + '|' + filter;
        return answer;
    };
    UserPrompts::setSaveFileChooser(chooser);
    UserPrompts::setOpenFileChooser(chooser);
    UserPrompts::setCriticalBox([this](QWidget *, const QString &title, const QString &text) {
        boxes << title + '|' + text;
    });
    window.reset(new MainWindow);
    Probe::savedFilePath(*window) = QStringLiteral(".");
}

void tst_CurveFilePlayback::cleanup()
{
    window.reset();
    UserPrompts::setSaveFileChooser({});
    UserPrompts::setOpenFileChooser({});
    UserPrompts::setCriticalBox({});
}

void tst_CurveFilePlayback::fillLiveCurves()
{
    QCustomPlot *plot = Probe::plot(*window);
    QCOMPARE(plot->graphCount(), 2);
    Probe::clear(*window);
    StoredCurves::append(plot->graph(0), {1523, 1524.5, 0.25, 1234567.89});
    StoredCurves::append(plot->graph(1), {0.00001, -7});
}

void tst_CurveFilePlayback::playBackText(const QByteArray &text)
{
    const QString file = path("played.cur");
    QVERIFY(writeFile(file, text));
    answer = file;
    Probe::playBack(*window);
    QVERIFY(boxes.isEmpty());
}

void tst_CurveFilePlayback::recordingWritesOneLinePerCurve_data()
{
    QTest::addColumn<QVector<QVector<double>>>("curves");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("two curves, second empty") << QVector<QVector<double>>{{1523, 1524.5, 0.25}, {}}
                                              << QByteArray("1523,1524.5,0.25,\n\n");
    QTest::newRow("no curves") << QVector<QVector<double>>{} << QByteArray();
    QTest::newRow("empty curve between") << QVector<QVector<double>>{{1}, {}, {1e-05, 1234567}}
                                         << QByteArray("1,\n\n1e-05,1.23457e+06,\n");
}

void tst_CurveFilePlayback::recordingWritesOneLinePerCurve()
{
    QFETCH(QVector<QVector<double>>, curves);
    QFETCH(QByteArray, bytes);
    QCustomPlot *plot = Probe::plot(*window);
    plot->clearGraphs();
    for (const QVector<double> &curve : curves) {
        QCPGraph *graph = plot->addGraph();
        for (int i = 0; i < curve.size(); ++i)
            graph->addData(i * 7, curve.at(i));
    }
    answer = path("recorded.cur");
    Probe::record(*window);
    QCOMPARE(chooserCalls, QStringList{"save|.|cur(*.cur)"});
    QVERIFY(boxes.isEmpty());
    QCOMPARE(contents(answer), bytes);
}

void tst_CurveFilePlayback::recordedCurvesPlayBackRenumbered()
{
    fillLiveCurves();
    answer = path("run.cur");
    Probe::record(*window);
    QCOMPARE(contents(answer), QByteArray("1523,1524.5,0.25,1.23457e+06,\n1e-05,-7,\n"));
    QCOMPARE(Probe::savedFilePath(*window), path("run"));

    qobject_cast<LodGraph *>(Probe::plot(*window)->graph(0))->curve().clear();
    Probe::playBack(*window);
    QCOMPARE(chooserCalls.last(), QString("open|" + path("run") + "|cur(*.cur)"));
    QVERIFY(boxes.isEmpty());
    QCustomPlot *plot = Probe::plot(*window);
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(keys(plot->graph(0)), (QVector<double>{0, 1, 2, 3}));
    QCOMPARE(values(plot->graph(0)), (QVector<double>{1523, 1524.5, 0.25, 1234570}));
    QCOMPARE(keys(plot->graph(1)), (QVector<double>{0, 1}));
    QCOMPARE(values(plot->graph(1)), (QVector<double>{0.00001, -7}));
}

void tst_CurveFilePlayback::playbackReplacesCurvesAndScalesToTheFile()
{
    fillLiveCurves();
    // CR LF ends, an empty recorded curve, a part that is no number.
    playBackText("5,1,x,3,\r\n\r\n2,4,6,8,\r\n");
    QCustomPlot *plot = Probe::plot(*window);
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(values(plot->graph(0)), (QVector<double>{5, 1, 3}));
    QCOMPARE(keys(plot->graph(0)), (QVector<double>{0, 1, 2}));
    QCOMPARE(values(plot->graph(1)), (QVector<double>{2, 4, 6, 8}));
    QCOMPARE(plot->graph(0)->pen().color(), QColor(Qt::red));
    QCOMPARE(plot->graph(1)->pen().color(), QColor(Qt::green));
    QCOMPARE(plot->graph(1)->brush().style(), Qt::NoBrush);
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 14));
    QCOMPARE(plot->yAxis->range(), QCPRange(1, 5));
    QCOMPARE(Probe::savedFilePath(*window), path("played"));
}

void tst_CurveFilePlayback::fileWithoutCurvesLeavesAnEmptyPlotAndTheAxes()
{
    QCustomPlot *plot = Probe::plot(*window);
    plot->xAxis->setRange(3, 33);
    plot->yAxis->setRange(-4, 44);
    playBackText("\n\r\n\n");
    QCOMPARE(plot->graphCount(), 0);
    QCOMPARE(plot->xAxis->range(), QCPRange(3, 33));
    QCOMPARE(plot->yAxis->range(), QCPRange(-4, 44));
}

void tst_CurveFilePlayback::savedNameGetsTheExtensionOnlyWithoutASuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("remembered");
    QTest::newRow("no suffix") << "plain" << "plain.cur" << "plain";
    QTest::newRow(".cur in a folder name") << "old.cur/take.cur" << "old.cur/take.cur" << "old/take";
    QTest::newRow("another suffix") << "take.txt" << "take.txt" << "take.txt";
}

void tst_CurveFilePlayback::savedNameGetsTheExtensionOnlyWithoutASuffix()
{
    QFETCH(QString, name);
    QFETCH(QString, saved);
    QFETCH(QString, remembered);
    QVERIFY(QDir(dir.path()).mkpath("old.cur"));
    fillLiveCurves();
    answer = path(name);
    Probe::record(*window);
    QVERIFY(boxes.isEmpty());
    QVERIFY(QFileInfo(path(saved)).isFile());
    if (saved != name)
        QVERIFY(!QFileInfo::exists(path(name)));
    QCOMPARE(Probe::savedFilePath(*window), path(remembered));
}

void tst_CurveFilePlayback::unopenableSaveShowsWriteErrorAndRemembersPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing folder") << "nowhere/run.cur";
    QTest::newRow("a folder") << "taken.cur";
}

void tst_CurveFilePlayback::unopenableSaveShowsWriteErrorAndRemembersPath()
{
    QFETCH(QString, name);
    QVERIFY(QDir(dir.path()).mkpath("taken.cur"));
    answer = path(name);
    Probe::record(*window);
    QCOMPARE(boxes, QStringList{QStringLiteral("写入错误|无法写入文件\r\n无权限")});
    QCOMPARE(Probe::savedFilePath(*window), QString(answer).remove(".cur"));
}

void tst_CurveFilePlayback::fullDiskShowsWriteErrorAndKeepsThePreviousFile()
{
    QDir full(path("full"));
    QVERIFY(full.mkpath("."));
    const QString file = full.filePath("run.cur");
    QVERIFY(writeFile(file, "1,2,3,\n"));
    QVector<double> many;
    for (int i = 0; i < 20000; ++i)
        many.append(1234567 + i);
    StoredCurves::append(Probe::plot(*window)->graph(0), many);
    answer = file;
    {
        FileSizeLimit limit(4096);
        Probe::record(*window);
    }
    QCOMPARE(boxes, QStringList{QStringLiteral("写入错误|无法写入文件\r\n无权限")});
    QCOMPARE(contents(file), QByteArray("1,2,3,\n"));
    QCOMPARE(full.entryList(QDir::Files | QDir::Hidden), QStringList{"run.cur"});
}

void tst_CurveFilePlayback::unreadableFileShowsReadErrorAndLeavesThePlot_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing.cur";
    QTest::newRow("folder") << "folder.cur";
    QTest::newRow("fifo") << "fifo.cur";
    QTest::newRow("device") << "/dev/zero";
    QTest::newRow("oversized") << "oversized.cur";
    QTest::newRow("one value too many") << "values.cur";
    QTest::newRow("one curve too many") << "curves.cur";
}

void tst_CurveFilePlayback::unreadableFileShowsReadErrorAndLeavesThePlot()
{
    QFETCH(QString, kind);
    const QString file = kind.startsWith('/') ? kind : path(kind);
    if (kind == "folder.cur")
        QVERIFY(QDir(dir.path()).mkpath(kind));
    else if (kind == "fifo.cur")
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    else if (kind == "oversized.cur")
        QVERIFY(writeFile(file, "") && QFile::resize(file, CurveFile::kMaxStreamedReadSize + 1));
    else if (kind == "values.cur")
        QVERIFY(writeFile(file, QByteArray("1,").repeated(kLoweredCap + 1)));
    else if (kind == "curves.cur")
        QVERIFY(writeFile(file, QByteArray("x\n").repeated(CurveFile::kMaxCurves + 1)));
    fillLiveCurves();
    // The real cap (a quarter billion values) is the stores' own, checked
    // without a window; the window must only keep to the one it is given.
    QCOMPARE(Probe::playbackMaxPoints(*window), CurveStoreFile::kMaxPoints);
    Probe::playbackMaxPoints(*window) = kLoweredCap;
    answer = file;
    Probe::playBack(*window);
    QCOMPARE(boxes, QStringList{QStringLiteral("读入错误|无法读文件\r\n无权限")});
    QCustomPlot *plot = Probe::plot(*window);
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(values(plot->graph(0)).size(), 4);
    QCOMPARE(Probe::savedFilePath(*window), QString(file).remove(".cur"));
}

// Playback streams the file: one past the size that could be read whole is
// still read and drawn, here a sparse one: one line of zero bytes, a curve
// without a point.
void tst_CurveFilePlayback::fileBeyondTheWholeReadSizePlaysBack()
{
    const QString file = path("bound.cur");
    QVERIFY(writeFile(file, "") && QFile::resize(file, CurveFile::kMaxReadSize + 1));
    answer = file;
    Probe::playBack(*window);
    QVERIFY(boxes.isEmpty());
    QCustomPlot *plot = Probe::plot(*window);
    QCOMPARE(plot->graphCount(), 1);
    QCOMPARE(plot->graph(0)->dataCount(), 0);
}

void tst_CurveFilePlayback::pictureHasTheWidgetSizeAndIsPng_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("remembered");
    QTest::newRow("with extension") << "shot.png" << "shot.png" << "shot";
    QTest::newRow("without extension") << "shot" << "shot.png" << "shot";
    QTest::newRow("another suffix") << "shot.v2" << "shot.v2" << "shot.v2";
}

void tst_CurveFilePlayback::pictureHasTheWidgetSizeAndIsPng()
{
    QFETCH(QString, name);
    QFETCH(QString, saved);
    QFETCH(QString, remembered);
    window->resize(700, 500);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    fillLiveCurves();
    answer = path(name);
    Probe::exportPicture(*window);
    QCOMPARE(chooserCalls, QStringList{"save|.|png(*.png)"});
    QImageReader reader(path(saved));
    QCOMPARE(reader.format(), QByteArray("png"));
    const QSize size = Probe::plot(*window)->size();
    QVERIFY(size.width() > 0 && size.height() > 0);
    QCOMPARE(reader.read().size(), size);

    answer.clear();
    Probe::record(*window);
    QCOMPARE(chooserCalls.last(), QString("save|" + path(remembered) + "|cur(*.cur)"));
}

void tst_CurveFilePlayback::cancelledChooserChangesNothing()
{
    fillLiveCurves();
    Probe::savedFilePath(*window) = QStringLiteral("kept");
    Probe::record(*window);
    Probe::playBack(*window);
    Probe::exportPicture(*window);
    QCOMPARE(chooserCalls.size(), 3);
    QVERIFY(boxes.isEmpty());
    QCOMPARE(Probe::savedFilePath(*window), QString("kept"));
    QCustomPlot *plot = Probe::plot(*window);
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(values(plot->graph(0)).size(), 4);
    QCOMPARE(values(plot->graph(1)).size(), 2);
}

// Played-back graphs are the cheap kind too, so the live curve that grows in
// graph 0 after a Clear keeps its refresh cost.
void tst_CurveFilePlayback::liveCurveAfterPlaybackIsStillALodGraph()
{
    playBackText("1,2,\n3,\n");
    QCustomPlot *plot = Probe::plot(*window);
    QCOMPARE(plot->graphCount(), 2);
    QVERIFY(qobject_cast<LodGraph *>(plot->graph(0)));
    QVERIFY(qobject_cast<LodGraph *>(plot->graph(1)));
    Probe::clear(*window);
    Probe::refreshWithFrame(*window, 777);
    QVERIFY(qobject_cast<LodGraph *>(plot->graph(0)));
    QCOMPARE(values(plot->graph(0)), QVector<double>(10, 777));
}

void tst_CurveFilePlayback::liveViewKeepsDrawingAfterPlaybackOfFewerCurves_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("curveIndex");
    QTest::newRow("one curve, switch on the second") << QByteArray("9,9,\n") << 1;
    QTest::newRow("no curve at all") << QByteArray("\n") << 0;
}

void tst_CurveFilePlayback::liveViewKeepsDrawingAfterPlaybackOfFewerCurves()
{
    QFETCH(QByteArray, text);
    QFETCH(int, curveIndex);
    playBackText(text);
    Probe::setCurveIndex(*window, curveIndex);
    Probe::refreshWithFrame(*window, 777);
    QCustomPlot *plot = Probe::plot(*window);
    QVERIFY(plot->graphCount() >= 1);
    QVERIFY(values(plot->graph(0)).count(777) == 10);
}

QTEST_MAIN(tst_CurveFilePlayback)
#include "tst_curve_file_playback.moc"
