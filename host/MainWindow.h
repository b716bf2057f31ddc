#pragma once

#include "Host.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>

class QLineEdit;
class QMdiArea;
class QLabel;
class QPushButton;

namespace host {

// Every exception that reaches the event loop becomes an error box.
class HostApplication : public QApplication {
public:
    HostApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* e) override;
};

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(QWidget* parent = nullptr);
    LoginData data() const;
    void setData(const LoginData& d);
    QLineEdit *edtOperador, *edtSenha, *edtFilial, *edtServidor, *edtBanco;
    // Tries the login with the host; stays open on failure.
    std::function<bool(const LoginData&)> tryLogin;
    void accept() override;
};

// "Alterar senha": the current password, the new one twice.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinLength = 10;
    explicit PasswordDialog(QWidget* parent = nullptr);
    QLineEdit *edtSenhaAtual, *edtNovaSenha, *edtConfirmacao;
    QPushButton* btnAlterar;
    // Sends the change; stays open on failure.
    std::function<bool(const QString& current, const QString& next)> tryChange;
    void accept() override;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(Host& host);
    ~MainWindow() override;
    QMdiArea* mdiArea() const { return m_mdi; }
    // Runs the login dialog; false when the user gave up.
    // The login dialog; what the command line gave fills its fields.
    bool runLogin(const LoginData& given = {});
    void refreshStatus();
    // Opens a module, reporting a failure in a box.
    void openModule(const QString& code);
    void showHelp(int context);
    // "Alterar senha" of the signed-in operator.
    void changePassword();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    bool firstPassword(const LoginData& d);

    Host& m_host;
    QMdiArea* m_mdi;
    QLabel* m_status;
    QAction* m_changePassword;
    bool m_relogin = false;
};

// Shows the error of a failure in a box (Abort stays silent).
void reportError(std::exception_ptr e);

} // namespace host
