#pragma once

// The desktop shell: session with the application server, login context,
// module loading, help and the standard error reporting.
#include <QHash>
#include <QLibrary>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>
#include <stdexcept>

class QMainWindow;
class QMdiArea;

namespace host {

struct LoginData {
    QString server;   // host:port of the application server, https://host:port over HTTPS
    QString db;       // sqlite:PATH or firebird://...
    QString operador;
    QString password;
    QString branch;
};

// The server accepted the password but it is a first (generated) one: it
// must be changed before the operator may sign in.
class PasswordChangeRequired : public std::runtime_error {
public:
    PasswordChangeRequired() : std::runtime_error("password change required") {}
};

// What a module library exports.
struct Module {
    QString code;
    std::unique_ptr<QLibrary> lib;
    void (*initialize)() = nullptr;
    void (*finalize)() = nullptr;
    void (*iniProc)() = nullptr;
    void (*iniProcParams)(const QVariantList*) = nullptr;
};

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Opens the session and the suite's database and fills the login
    // context; throws fw::Error with the reason on failure.
    void login(const LoginData& d);
    // Changes the operator's password on the server (d holds the current
    // one); a live session takes the new token the server gives, since the
    // change ends the operator's other sessions. Throws fw::Error with the reason.
    void changePassword(const LoginData& d, const QString& newPassword);
    // Ends the session (DELETE /session) and closes the database.
    void logout();
    bool loggedIn() const { return !m_token.isEmpty(); }
    const LoginData& loginData() const { return m_login; }

    // The main window the modules' screens become children of.
    void setMainWindow(QMainWindow* w);
    QMainWindow* mainWindow() const { return m_main; }

    // Loads a module library by screen code (once) and runs its entry.
    void open(const QString& code, const QVariantList& params = {});
    // The library file a screen code loads.
    QString libraryPath(const QString& code) const;
    // Folders searched for module libraries (first match wins).
    QStringList moduleDirs;
    // Unloads every module, running its Finalize.
    void unloadAll();
    Module* module(const QString& code);

    // The HTML page of a help context, or empty when there is none.
    QString helpPage(int context) const;
    QStringList helpDirs;
    // Shows a help page; by default a help window of the host.
    std::function<void(int context, const QString& page)> showHelp;

    // Called when the server refused the session; shows the login again.
    std::function<void()> onSessionExpired;

    // The modules the "Módulos" menu offers: code and title.
    static QList<QPair<QString, QString>> menuModules();

private:
    Module& load(const QString& code);

    LoginData m_login;
    QString m_token;
    QString m_dbConnection;
    QMainWindow* m_main = nullptr;
    QHash<QString, Module*> m_modules;
    std::vector<std::unique_ptr<Module>> m_owned;
};

} // namespace host
