#pragma once

#include <QSize>

class QWidget;

namespace fw {

// Shows a module screen as a child window of the host's main window (an MDI
// area), or as a window of its own when there is no host. Brings an
// already shown screen to the front.
void ShowChildWindow(QWidget* screen, bool maximized);

// The size of the desktop the screens open on.
QSize DesktopSize();
// Replaces the desktop size (tests of the screen-size rules); empty resets.
void SetDesktopSize(const QSize& size);

} // namespace fw
