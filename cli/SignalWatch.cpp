#include "cli/SignalWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int pipeEnds[2] = {-1, -1};

void onSignal(int signal)
{
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // Nothing to do when the pipe is full: the signals already queued wake the loop.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &number, 1);
    errno = saved;
}

bool makePipe()
{
    if (pipeEnds[0] >= 0)
        return true;
    if (::pipe(pipeEnds) != 0)
        return false;
    for (int fd : pipeEnds) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return true;
}
} // namespace

SignalWatch::SignalWatch(QObject *parent)
    : QObject(parent)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (!makePipe())
        return;
    notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalWatch::readPipe);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

SignalWatch::~SignalWatch()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void SignalWatch::readPipe()
{
    unsigned char numbers[16];
    ssize_t got;
    while ((got = ::read(pipeEnds[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < got; ++i) {
            ++count;
            if (first == 0)
                first = numbers[i];
            emit caught(numbers[i], count);
        }
    }
}
