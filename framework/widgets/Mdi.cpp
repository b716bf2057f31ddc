#include "Mdi.h"

#include "core/Context.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

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
    }
    area->setActiveSubWindow(sub);
}

} // namespace fw
