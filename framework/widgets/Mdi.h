#pragma once

#include <QSize>

class QMdiArea;
class QWidget;

namespace fw {

// Shows a module screen as a child window of the host's main window (an MDI
// area), or as a window of its own when there is no host. Brings an
// already shown screen to the front.
// A new window opens fully inside the area (moved, and shrunk only when it
// is larger than the area).
void ShowChildWindow(QWidget* screen, bool maximized);
// Cascades the area's windows keeping each one's size where it fits.
void CascadeChildWindows(QMdiArea* area);

// The size of the desktop the screens open on.
QSize DesktopSize();
// Replaces the desktop size (tests of the screen-size rules); empty resets.
void SetDesktopSize(const QSize& size);

} // namespace fw
