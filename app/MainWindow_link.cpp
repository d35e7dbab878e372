#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/LinkStatusView.h"
#include "app/StaleTextMarker.h"
#include "link/LinkSupervisor.h"
#include "link/LinkTexts.h"
#include "link/comSettings.h"
#include "workflow/CommandSet.h"

#include <QCloseEvent>

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
    // Leftmost, whatever the status bar already holds; the counters follow it
    // closely and the contact text takes the spare width.
    ui->statusBar->insertWidget(0, view);
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
    connect(linkSupervisor, &LinkSupervisor::problem, view, &LinkStatusView::showProblem);
    connect(linkSupervisor, &LinkSupervisor::notice, view, &LinkStatusView::showNotice);
    connect(linkSupervisor, &LinkSupervisor::reopened, this, [this] {
        connect(serialPort, &QSerialPort::readyRead, this, &MainWindow::readLidarData, Qt::UniqueConnection);
    });
    new CloseWatcher(this, linkSupervisor);
}
