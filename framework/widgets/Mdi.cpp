#include "Mdi.h"

#include "core/Context.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace fw {

namespace {
QSize desktopOverride;
}

QSize DesktopSize()
{
    if (desktopOverride.isValid())
        return desktopOverride;
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->size() : QSize();
}

void SetDesktopSize(const QSize& size)
{
    desktopOverride = size;
}

namespace {
// Puts the window at pos, moved and (only if it must) shrunk so that all of
// it is inside room.
void fitInside(QMdiSubWindow* sub, const QRect& room, QPoint pos)
{
    const QSize size = sub->size().boundedTo(room.size());
    if (size != sub->size())
        sub->resize(size);
    pos.setX(std::clamp(pos.x(), room.left(), room.right() + 1 - size.width()));
    pos.setY(std::clamp(pos.y(), room.top(), room.bottom() + 1 - size.height()));
    sub->move(pos);
}
} // namespace

void ShowChildWindow(QWidget* screen, bool maximized)
{
    QMdiArea* area = nullptr;
    if (auto* main = qobject_cast<QMainWindow*>(ctx().mainWindow))
        area = qobject_cast<QMdiArea*>(main->centralWidget());
    if (!area) {
        maximized ? screen->showMaximized() : screen->showNormal();
        screen->raise();
        screen->activateWindow();
        return;
    }
    auto* sub = qobject_cast<QMdiSubWindow*>(screen->parentWidget());
    const bool added = !sub;
    const QSize designed = screen->size();
    if (added) {
        sub = area->addSubWindow(screen);
        sub->setWindowIcon(screen->windowIcon());
    }
    maximized ? sub->showMaximized() : sub->showNormal();
    if (added && !maximized) {
        // the designed size is the screen's, inside the window frame
        const QSize frame = sub->size() - screen->size();
        sub->resize(designed.expandedTo(screen->minimumSizeHint()) + frame);
        fitInside(sub, area->viewport()->rect(), sub->pos());
    }
    area->setActiveSubWindow(sub);
}

void CascadeChildWindows(QMdiArea* area)
{
    // Qt's own cascade shrinks every window to a few hundred pixels: here
    // each keeps its size and steps down by a title bar's height.
    const QRect room = area->viewport()->rect();
    QPoint at(0, 0);
    for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder)) {
        if (!sub->isVisible() || sub->isMinimized())
            continue;
        if (sub->isMaximized())
            sub->showNormal();
        const int step = sub->height() - sub->contentsRect().height() + sub->contentsRect().top();
        if (at.x() + sub->width() > room.width() || at.y() + sub->height() > room.height())
            at = QPoint(0, 0); // start again from the top rather than push it out of sight
        fitInside(sub, room, at);
        sub->raise();
        at += QPoint(std::max(step, 20), std::max(step, 20));
    }
}

} // namespace fw
