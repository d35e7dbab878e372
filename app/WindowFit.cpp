#include "app/WindowFit.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QScreen>
#include <QWidget>

namespace WindowFit {

namespace {

QMargins frameOf(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    if (frame != inner)
        return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                frame.bottom() - inner.bottom()};
    return {kFrameSide, kFrameTop, kFrameSide, kFrameSide};
}

class ShowWatcher : public QObject {
public:
    explicit ShowWatcher(QWidget *window)
        : QObject(window)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == parent())
            fit(static_cast<QWidget *>(watched));
        return false;
    }
};

} // namespace

QRect availableArea(const QWidget *window)
{
    const QWidget *parentWindow = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    const QPoint centre = (parentWindow ? parentWindow : window)->frameGeometry().center();
    const QScreen *screen = QGuiApplication::screenAt(centre);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(QPoint(0, 0), window->size());
}

int titleWidth(const QWidget *window)
{
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(window->windowTitle()) + kTitleBarChrome;
}

void fit(QWidget *window)
{
    const QRect area = availableArea(window);
    const QMargins frame = frameOf(window);
    const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize room = area.size() - frameSize;
    QSize size = window->size();
    size.setWidth(qMin(qMax(size.width(), titleWidth(window)), window->maximumWidth()));
    size = size.boundedTo(room).expandedTo(window->minimumSize());
    if (size != window->size())
        window->resize(size);

    QRect outer(window->pos(), size + frameSize);
    if (area.contains(outer))
        return;
    const QWidget *parentWindow = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    outer.moveCenter(parentWindow ? parentWindow->frameGeometry().center() : area.center());
    outer.moveLeft(qBound(area.left(), outer.left(), qMax(area.left(), area.right() + 1 - outer.width())));
    outer.moveTop(qBound(area.top(), outer.top(), qMax(area.top(), area.bottom() + 1 - outer.height())));
    window->move(outer.topLeft());
}

void fitWhenShown(QWidget *window)
{
    new ShowWatcher(window);
}

} // namespace WindowFit
