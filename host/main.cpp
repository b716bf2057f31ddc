// ped-host: the desktop shell of the sales-order suite.
#include "MainWindow.h"

#include "core/Context.h"
#include "core/FwError.h"
#include "widgets/QtUi.h"

#include <QCommandLineParser>
#include <QTextStream>

int main(int argc, char** argv)
{
    host::HostApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("ped"));
    QCoreApplication::setApplicationName(QStringLiteral("ped-host"));

    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Pedidos de Venda - shell"));
    args.addHelpOption();
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("Servidor de aplicação."), QStringLiteral("HOST:PORT"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("Banco de dados."), QStringLiteral("URL"));
    const QCommandLineOption op(QStringLiteral("operator"), QStringLiteral("Operador."), QStringLiteral("CODE"));
    const QCommandLineOption pw(QStringLiteral("password"), QStringLiteral("Senha."), QStringLiteral("TEXT"));
    const QCommandLineOption branch(QStringLiteral("branch"), QStringLiteral("Filial de processamento."), QStringLiteral("CODE"));
    const QCommandLineOption open(QStringLiteral("open"), QStringLiteral("Módulo a abrir."), QStringLiteral("SCREEN"));
    args.addOptions({server, db, op, pw, branch, open});
    args.process(app);

    fw::QtUserInterface ui;
    fw::ctx().setUi(&ui);
    host::Host shell;
    int rc = 0;
    {
        host::MainWindow main(shell);
        host::LoginData d{args.value(server), args.value(db), args.value(op), args.value(pw), args.value(branch)};
        const bool scripted = args.isSet(op) && args.isSet(pw) && args.isSet(server) && args.isSet(db) && args.isSet(branch);
        if (scripted) {
            try {
                shell.login(d);
            } catch (const fw::Error& e) {
                QTextStream(stderr) << "ped-host: " << e.text() << "\n";
                return 1;
            } catch (const host::PasswordChangeRequired&) {
                QTextStream(stderr) << "ped-host: senha provisória; entre sem --password para escolher uma nova.\n";
                return 1;
            }
            main.refreshStatus();
        }
        main.show();
        if (!scripted) {
            if (!main.runLogin(d))
                return 0;
        }
        if (args.isSet(open))
            main.openModule(args.value(open).trimmed().toUpper());
        rc = app.exec();
        shell.unloadAll();
    }
    shell.logout();
    fw::ctx().setUi(nullptr);
    return rc;
}
