#include "app/MainWindow.h"
#include "app/MainPlotView.h"
#include "ui_MainWindow.h"

#include "app/LinkStatsLabel.h"
#include "app/LinkStatusView.h"
#include "app/StaleTextMarker.h"
#include "app/WindowFit.h"
#include "link/LinkSupervisor.h"
#include "link/LinkTexts.h"
#include "link/comSettings.h"
#include "workflow/CommandSet.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QShortcut>

namespace {

// Tells the supervisor to stop for good once the window is closing.
class CloseWatcher : public QObject {
public:
    CloseWatcher(QWidget *window, LinkSupervisor *supervisor)
        : QObject(window)
        , supervisor(supervisor)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            supervisor->shutDown();
        return false;
    }

private:
    LinkSupervisor *supervisor;
};

// The link's latest message and the log's line, each shown only while it has
// something to say. The area asks for their width, and takes it from the
// contact text first; but its minimum is fixed, so that what it shows never
// changes the window's minimum width.
QWidget *messageArea(QWidget *linkMessage, QWidget *logLine)
{
    auto *area = new QWidget;
    area->setObjectName(QStringLiteral("statusMessages"));
    area->setMinimumWidth(1);
    auto *row = new QHBoxLayout(area);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(linkMessage, 3);
    row->addWidget(logLine, 2);
    return area;
}

// The state and the counters together take at most this share of the
// screen's width, so that the window can still be made narrow on a small
// screen and the messages keep some room; the state is served first.
constexpr double kFixedRoomShare = 0.6;

void giveFixedRooms(LinkStatusView *view, LinkStatsLabel *counters, int screenWidth)
{
    const int room = int(screenWidth * kFixedRoomShare);
    const int state = qMin(view->naturalStateWidth(), room / 2);
    view->setStateRoom(state);
    counters->setRoom(qMin(counters->naturalWidth(), room - state));
}

} // namespace

// The link's state and failures in the status bar, a stale mark on the
// message view, and reconnection after a loss. The supervisor hears the
// port's errors after handleLidarError, since it is connected after it;
// openCom and closeCom tell it of the user's opens and closes themselves.
void MainWindow::setupLinkHealth()
{
    linkSupervisor = new LinkSupervisor(serialPort, net, {CommandSet::kStart, CommandSet::kStop});
    linkSupervisor->setAutoReconnect(autoReconnect);
    auto *view = new LinkStatusView(ui->statusBar);
    linkStatusView = view;
    giveFixedRooms(view, linkStatsLabel, WindowFit::availableArea(this).width());
    // From the left: the state, the counters (already there), the messages;
    // the contact text at the right.
    ui->statusBar->insertWidget(0, view->stateLabel());
    ui->statusBar->insertWidget(2, messageArea(view->messageLabel(), logStatusLabel));
    auto *stale = new StaleTextMarker(ui->msg, net);

    auto showState = [this, view, stale](LinkState state) {
        view->showState(LinkTexts::stateLine(linkSupervisor->portName(), linkSupervisor->baudRate(), state), state);
        if (state == LinkState::Disconnected || state == LinkState::Unconnected)
            stale->mark();
    };
    showState(linkSupervisor->state());
    // A port chosen in advance (--port) is named before it is first opened.
    connect(comSettingsDialog, &comSettings::portPreset, view, [this, view] {
        if (linkSupervisor->portName().isEmpty())
            view->showState(LinkTexts::stateLine(comSettingsDialog->settings.name, comSettingsDialog->settings.baudRate,
                                                 linkSupervisor->state()),
                            linkSupervisor->state());
    });
    connect(linkSupervisor, &LinkSupervisor::stateChanged, view, showState);
    // A Stop, a lost link or a reconnection leaves a gap on the time axis.
    connect(linkSupervisor, &LinkSupervisor::stateChanged, plotView, [this](LinkState state) {
        if (state != LinkState::Acquiring)
            plotView->markGap();
    });
    connect(linkSupervisor, &LinkSupervisor::problem, view, &LinkStatusView::showProblem);
    connect(linkSupervisor, &LinkSupervisor::notice, view, &LinkStatusView::showNotice);
    connect(linkSupervisor, &LinkSupervisor::reopened, this, [this] {
        connect(serialPort, &QSerialPort::readyRead, this, &MainWindow::readLidarData, Qt::UniqueConnection);
    });
    new CloseWatcher(this, linkSupervisor);
}
