#include "Events.h"

#include "core/Context.h"
#include "core/FwError.h"

#include <QApplication>

namespace fw {

FocusTracker& FocusTracker::instance()
{
    static FocusTracker* t = new FocusTracker; // lives as long as the application
    return *t;
}

FocusTracker::FocusTracker()
{
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::changed);
}

void FocusTracker::markForm(QWidget* form)
{
    form->setProperty("fwForm", true);
}

void FocusTracker::setEnter(QWidget* w, std::function<void()> fn)
{
    if (!m_handlers.count(w))
        connect(w, &QObject::destroyed, this, [this, w] { m_handlers.erase(w); });
    m_handlers[w].enter = std::move(fn);
}

void FocusTracker::setExit(QWidget* w, std::function<void()> fn)
{
    if (!m_handlers.count(w))
        connect(w, &QObject::destroyed, this, [this, w] { m_handlers.erase(w); });
    m_handlers[w].exit = std::move(fn);
}

QWidget* FocusTracker::formOf(QWidget* w)
{
    for (QWidget* p = w; p; p = p->parentWidget()) {
        if (p->property("fwForm").toBool() || p->isWindow())
            return p;
    }
    return nullptr;
}

QWidget* FocusTracker::resolve(QWidget* w) const
{
    // An inner widget (a grid's cell editor) belongs to its registered owner.
    for (QWidget* p = w; p; p = p->parentWidget()) {
        if (m_handlers.count(p))
            return p;
        if (p->property("fwForm").toBool() || p->isWindow())
            break;
    }
    return w;
}

QWidget* FocusTracker::current(QWidget* form) const
{
    auto it = m_current.find(form);
    return it == m_current.end() ? nullptr : it->second.data();
}

bool runHandler(const std::function<void()>& fn)
{
    if (!fn)
        return true;
    try {
        fn();
        return true;
    } catch (...) {
        reportException(std::current_exception());
        return false;
    }
}

void FocusTracker::changed(QWidget*, QWidget* now)
{
    if (m_busy || !now)
        return; // the window lost activation: no exit
    QWidget* form = formOf(now);
    if (!form)
        return;
    QWidget* target = resolve(now);
    if (!m_current.contains(form))
        connect(form, &QObject::destroyed, this, [this, form] { m_current.erase(form); });
    QPointer<QWidget>& slot = m_current[form];
    QWidget* prev = slot.data();
    if (prev == target)
        return; // coming back, e.g. after a message box
    m_busy = true;
    if (prev) {
        auto it = m_handlers.find(prev);
        if (it != m_handlers.end() && it->second.exit && !runHandler(it->second.exit)) {
            m_busy = false;
            focusBack(prev);
            return;
        }
    }
    slot = target;
    auto it = m_handlers.find(target);
    if (it != m_handlers.end() && it->second.enter)
        runHandler(it->second.enter);
    m_busy = false;
}

void focusBack(QWidget* w)
{
    if (!w)
        return;
    QWidget* win = w->window();
    if (win && !win->isActiveWindow())
        win->activateWindow();
    w->setFocus(Qt::OtherFocusReason);
}

} // namespace fw
