#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/LinkStatusView.h"
#include "link/LinkTexts.h"
#include "link/QTRNet.h"
#include "widgets/LineWiseText.h"
#include "workflow/CommandSet.h"
#include "workflow/MeasurementPipeline.h"
#include "workflow/WorkflowTexts.h"

#include <QDebug>
#include <QtEndian>

#include <algorithm>
#include <optional>

namespace {

void logAnswer(const std::optional<DeviceAnswer> &answer)
{
    if (answer)
        for (const QString &line : answer->debugLines)
            qDebug().noquote() << line;
}

} // namespace

// Payloads shorter than their handler reads are dropped with one line, so no
// handler below ever reads past the end of a frame.
void MainWindow::parseLidarData(TRData *pack)
{
    using namespace CommandSet;
    const quint8 cmd = pack->cmd;
    const std::size_t len = pack->data.size();
    if (!isHandled(cmd))
        return;
    if (len < minimumPayload(cmd)) {
        qDebug().noquote() << shortPayloadLine(cmd, len);
        emit shortPayloadDropped();
        return;
    }
    const quint8 *p = pack->data.data();
    std::optional<DeviceAnswer> answer;
    switch (cmd) {
    case kStart: processMeasurement(pack); break;
    case kAck: qDebug().noquote() << WorkflowTexts::ackLine(p[0], p[1]); break;
    case kCaliParam: answer = WorkflowTexts::caliParamAnswer(p, len); break;
    case kDeviceInfo: answer = WorkflowTexts::deviceInfoAnswer(p, len); break;
    case kParamCali: answer = WorkflowTexts::caliResultAnswer(p, len); break;
    case kTiming:
        qDebug().noquote() << WorkflowTexts::timingLine(qFromLittleEndian<qint32>(p), qFromLittleEndian<qint32>(p + 4));
        break;
    case kRecord: qDebug() << WorkflowTexts::hexRecordLine(p, 11); break;
    default: break;
    }
    logAnswer(answer);
    if (answer)
        showAnswer(answer->viewText);
}

// A device answer replaces the view at once, and no measurement text kept
// from before it may overwrite it later.
void MainWindow::showAnswer(const QString &text)
{
    measurementText.drop();
    ui->msg->clear();
    ui->msg->setPlainText(text);
}

void MainWindow::flushMeasurementText()
{
    if (const auto text = measurementText.takePending())
        LineWiseText::set(ui->msg, *text);
}

// The pipeline has published the frame by the time the plot and the text take it.
void MainWindow::processMeasurement(TRData *pack)
{
    const FrameOutcome *outcome = measurementPipeline->process(*pack);
    if (!outcome)
        return;
    std::fill(std::begin(plotBuffer), std::end(plotBuffer), outcome->plotValue);
    plotPending = true;
    msg_view(outcome->info);
}

void MainWindow::msg_view(LidarDisplayInfo data)
{
    if (const auto text = measurementText.offer(data, measurementPipeline->processor().frameRate))
        LineWiseText::set(ui->msg, *text);
}

// Every command of the window takes the link for its own send, pause
// included; while a download or a test run holds it, nothing goes out.
bool MainWindow::commandMayGo(bool linkTaken, quint8 cmd)
{
    if (!linkTaken)
        linkStatusView->showProblem(LinkTexts::sendRefused(cmd, net->lease().holder()));
    return linkTaken;
}

// The statistics restart here, right before the Start that goes out, and
// only when it does: frames arriving during Start's pause are the new run's.
void MainWindow::on_pbStart_clicked()
{
    const LinkLease::Hold hold(net->lease(), LinkLease::Holder::Acquisition);
    if (!commandMayGo(bool(hold), CommandSet::kStart))
        return;
    ui->pbStart->setEnabled(false);
    if (serialPort->isOpen() || openCom()) {
        clearCurves();
        if (net->portOpen() && !net->isBusy())
            restartStatistics();
        net->sendCmd(0, CommandSet::kStart, 0);
    }
    ui->pbStart->setEnabled(true);
}

void MainWindow::on_pbStop_clicked()
{
    const LinkLease::Hold hold(net->lease(), LinkLease::Holder::Acquisition);
    if (commandMayGo(bool(hold), CommandSet::kStop))
        net->sendCmd(0, CommandSet::kStop, 0);
}

void MainWindow::on_pbClear_clicked()
{
    clearCurves();
}

void MainWindow::on_pbGetConfig_clicked()
{
    const LinkLease::Hold hold(net->lease(), LinkLease::Holder::Acquisition);
    if (!commandMayGo(bool(hold), CommandSet::kDeviceInfo))
        return;
    net->sendCmd(0, CommandSet::kDeviceInfo, 0);
    net->waitMs(50);
}

void MainWindow::on_actionOrignalData_triggered()
{
    const LinkLease::Hold hold(net->lease(), LinkLease::Holder::Acquisition);
    if (!commandMayGo(bool(hold), CommandSet::kOriginalData))
        return;
    net->sendCmd(0, CommandSet::kOriginalData, 0);
    qDebug() << "orignal data";
}

void MainWindow::getCaliParam()
{
    const LinkLease::Hold hold(net->lease(), LinkLease::Holder::Acquisition);
    if (commandMayGo(bool(hold), CommandSet::kCaliParam))
        net->sendCmd(0, CommandSet::kCaliParam, 0);
}

void MainWindow::paramCali()
{
    const LinkLease::Hold hold(net->lease(), LinkLease::Holder::Acquisition);
    if (!commandMayGo(bool(hold), CommandSet::kParamCali))
        return;
    // A 16-byte tag field: the text, then zeros.
    quint8 tag[16] = {'p', 'a', 'r', 'a', 'm', ' ', 'c', 'a', 'l', 'i'};
    net->sendData(0, CommandSet::kParamCali, tag, sizeof tag, 0);
}
