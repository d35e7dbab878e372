#include "cli/InputLines.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int kInput = 0;
constexpr int kChunk = 4096;
} // namespace

InputLines::InputLines(QObject *parent)
    : QObject(parent)
{
    if (::fcntl(kInput, F_GETFD) == -1) {
        atEnd = true;
        return;
    }
    notifier = new QSocketNotifier(kInput, QSocketNotifier::Read, this);
    notifier->setEnabled(false);
    connect(notifier, &QSocketNotifier::activated, this, &InputLines::readAvailable);
}

void InputLines::request()
{
    awaiting = true;
    QTimer::singleShot(0, this, [this] {
        if (awaiting && !deliver() && notifier)
            notifier->setEnabled(true);
    });
}

void InputLines::readAvailable()
{
    char chunk[kChunk];
    const ssize_t n = ::read(kInput, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    if (n > 0)
        buffer.append(chunk, int(n));
    else
        atEnd = true;
    if (atEnd || buffer.contains('\n')) {
        notifier->setEnabled(false);
        if (awaiting)
            deliver();
    }
}

bool InputLines::deliver()
{
    const int newline = buffer.indexOf('\n');
    if (newline < 0 && !(atEnd && !buffer.isEmpty())) {
        if (!atEnd)
            return false;
        awaiting = false;
        emit ended();
        return true;
    }
    const int length = newline < 0 ? buffer.size() : newline;
    const QString text = QString::fromLocal8Bit(buffer.left(length));
    buffer.remove(0, newline < 0 ? length : length + 1);
    awaiting = false;
    emit line(text);
    return true;
}
