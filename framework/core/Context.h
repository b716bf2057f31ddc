#pragma once

#include "UserInterface.h"

#include <QString>
#include <QVariantList>
#include <exception>
#include <functional>

class QObject;

namespace fw {

// What the host knows after the login.
struct LoginContext {
    QString operador;
    QString filiProc;
    QString nomeFiliProc;
    bool moduFili = false;
    QString webUrl = QStringLiteral("127.0.0.1");
    int webPort = 0;
    bool webTls = false; // the server speaks HTTPS
    QString token;
    QString dbPict;       // display mask of product codes
    int dbPictLevels = 0; // levels of the product-code picture
    QString dbConnection; // Qt SQL connection name of the suite's database
};

// The one framework context: login, user-interface service and the host's
// services. The host fills it; tests replace its parts.
class Context {
public:
    static Context& instance();

    LoginContext login;

    UserInterface& ui() const;
    void setUi(UserInterface* ui) { m_ui = ui; }
    bool hasUi() const { return m_ui != nullptr; }

    QObject* mainWindow = nullptr;

    // Opens another module of the suite by screen code.
    std::function<void(const QString& screenCode, const QVariantList& params)> loadBpl;
    // Opens the help of a context number.
    std::function<void(int helpContext)> help;
    // The host's standard error reporting.
    std::function<void(std::exception_ptr)> errorReporter;
    // Called when the server refuses the session (HTTP 401).
    std::function<void()> sessionExpired;

private:
    UserInterface* m_ui = nullptr;
};

inline Context& ctx() { return Context::instance(); }

// Login-context functions as the screens call them.
QString Operador();
QString FiliProc();
QString NomeFiliProc();
bool ModuFili();
QString WebURL();
int WebPort();
bool WebTls();
void LoadBPL(const QString& screenCode, const QVariantList& params);

// The product-code picture of the suite's database.
class TPictObj {
public:
    explicit TPictObj(int levels) : m_levels(levels) {}
    int GetTtNiveis() const { return m_levels; }

private:
    int m_levels;
};
QString DBPict(int which);
TPictObj DBPictObj(int which);

// Hands a failure to the host's error reporting; Abort stays silent.
void reportException(std::exception_ptr e);
// The text a failure shows.
QString exceptionText(std::exception_ptr e);

// Runs fn; any failure goes to reportException. For every Qt slot and event.
template <typename Fn>
void guarded(Fn&& fn) noexcept
{
    try {
        fn();
    } catch (...) {
        reportException(std::current_exception());
    }
}

// RAII: busy animation over the main window, stopped on every path.
class BusyGuard {
public:
    explicit BusyGuard(int kind);
    ~BusyGuard();
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
    void stop();

private:
    bool m_on = false;
};

// RAII: the hourglass cursor, restored on every path.
class CursorGuard {
public:
    CursorGuard();
    ~CursorGuard();
    CursorGuard(const CursorGuard&) = delete;
    CursorGuard& operator=(const CursorGuard&) = delete;
};

} // namespace fw
