#include "app/MainWindow.h"

#include "widgets/UserPrompts.h"
#include "files/CurveFile.h"
#include "app/LinkStatusView.h"
#include "app/MainPlotView.h"
#include "app/PlotCurves.h"
#include "link/LinkSupervisor.h"

#include <qcustomplot.h>

namespace {
const QString kCurveExtension = QStringLiteral(".cur");
const QString kPictureExtension = QStringLiteral(".png");
} // namespace

// The choosers' captions read "save" and "open" in the Chinese interface, as
// they always did; the English catalogue gives them capitals.
void MainWindow::saveCurveToPic()
{
    const QString chosen = UserPrompts::getSaveFileName(this, tr("save"), savedFilePath,
                                                        QStringLiteral("png(*.png)"));
    if (chosen.isEmpty())
        return;
    const QString name = CurveFile::withDefaultSuffix(chosen, kPictureExtension);
    plot->savePng(name, 0, 0, 1.0, -1);
    savedFilePath = CurveFile::rememberedPath(name, kPictureExtension);
}

void MainWindow::saveCurveData()
{
    const QString chosen = UserPrompts::getSaveFileName(this, tr("save"), savedFilePath,
                                                        QStringLiteral("cur(*.cur)"));
    if (chosen.isEmpty())
        return;
    const QString name = CurveFile::withDefaultSuffix(chosen, kCurveExtension);
    if (!PlotCurves::save(*plot, name))
        UserPrompts::critical(this, tr("写入错误"), tr("无法写入文件\r\n无权限"));
    savedFilePath = CurveFile::rememberedPath(name, kCurveExtension);
}

// A recording shown beside a live stream would be drawn on by it: a
// playback first stops acquisition, as Stop does. While Stop cannot go out
// (another sender holds the link) the file is not shown. The file is read
// into curve stores piece by piece, never whole.
void MainWindow::loadCurve()
{
    const QString name = UserPrompts::getOpenFileName(this, tr("open"), savedFilePath,
                                                      QStringLiteral("cur(*.cur)"));
    if (name.isEmpty())
        return;
    CurveStoreFile::Curves curves;
    const bool read = PlotCurves::load(plot, name, &curves, playbackMaxPoints);
    if (read && !stopAcquisitionForPlayback())
        return;
    if (read) {
        PlotCurves::show(plot, std::move(curves));
        plotView->setAxis(plotView->axis()); // the new graphs are keyed as the plot shows
    } else
        UserPrompts::critical(this, tr("读入错误"), tr("无法读文件\r\n无权限"));
    savedFilePath = CurveFile::rememberedPath(name, kCurveExtension);
}

// True when no acquisition runs any more. Frames already on their way land
// during Stop's pause and are dropped with the live curve.
bool MainWindow::stopAcquisitionForPlayback()
{
    if (!linkSupervisor->acquisitionRunning())
        return true;
    on_pbStop_clicked();
    if (linkSupervisor->acquisitionRunning())
        return false;
    plotPending = false;
    linkStatusView->showNotice(tr("已停止采集以回放文件"));
    return true;
}
