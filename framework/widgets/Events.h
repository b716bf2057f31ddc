#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <unordered_map>

namespace fw {

// A control's enter and exit as the screens see them: focus moving between
// controls of one form. Focus lost because the window lost activation (a
// message box, a picker, another window) is no exit. An exit handler that
// aborts (or fails) puts the focus back on its control, and the control the
// focus was going to is not entered.
class FocusTracker : public QObject {
    Q_OBJECT
public:
    static FocusTracker& instance();

    void setEnter(QWidget* w, std::function<void()> fn);
    void setExit(QWidget* w, std::function<void()> fn);

    // The control a form last entered.
    QWidget* current(QWidget* form) const;
    // Marks a widget as a form: focus inside it is tracked on its own.
    static void markForm(QWidget* form);

private:
    FocusTracker();
    void changed(QWidget* old, QWidget* now);
    QWidget* resolve(QWidget* w) const;
    static QWidget* formOf(QWidget* w);
    struct Handlers {
        std::function<void()> enter, exit;
    };
    std::unordered_map<QWidget*, Handlers> m_handlers;
    std::unordered_map<QWidget*, QPointer<QWidget>> m_current; // form -> control
    bool m_busy = false;
};

inline void onEnter(QWidget* w, std::function<void()> fn) { FocusTracker::instance().setEnter(w, std::move(fn)); }
inline void onExit(QWidget* w, std::function<void()> fn) { FocusTracker::instance().setExit(w, std::move(fn)); }

// Puts the keyboard focus on the control, re-activating its window first:
// after a modal box closes the window does not re-activate by itself.
void focusBack(QWidget* w);

// Runs fn; false when it aborted or failed (a failure is reported).
bool runHandler(const std::function<void()>& fn);

} // namespace fw
