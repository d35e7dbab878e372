#pragma once

#include <QRect>

class QWidget;

// Keeps the program's windows on the screen they open on, and wide enough
// for their titles, whatever the screen's size and the interface language.
namespace WindowFit {

// Room the window manager's frame is assumed to take around a window that
// has not been framed yet: a title bar and thin borders.
constexpr int kFrameSide = 8;
constexpr int kFrameTop = 32;
// The title bar's icon and buttons, beside the title's text.
constexpr int kTitleBarChrome = 140;

// The available area of the screen the window opens on: the one under its
// parent window, or under itself when it has none.
QRect availableArea(const QWidget *window);

// Width the title bar needs to show `window`'s title whole.
int titleWidth(const QWidget *window);

// Widens `window` for its title, shrinks it to the available area (its frame
// included) and, when it would reach past that area, moves it inside,
// centred on its parent window if it has one.
void fit(QWidget *window);

// Fits `window` each time it is shown.
void fitWhenShown(QWidget *window);

} // namespace WindowFit
