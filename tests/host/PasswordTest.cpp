// "Alterar senha" in the shell, and the first login with a generated password.
#include "HostFixture.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

using namespace testsupport;

namespace {

// Types into the dialog's fields as a user does and presses "Alterar".
void fillAndPress(host::PasswordDialog& d, const QString& current, const QString& next, const QString& again)
{
    d.show();
    for (auto [edit, text] : {std::pair{d.edtSenhaAtual, current}, std::pair{d.edtNovaSenha, next},
                              std::pair{d.edtConfirmacao, again}}) {
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    QTest::mouseClick(d.btnAlterar, Qt::LeftButton);
}

TEST_F(HostFixture, ChangingThePasswordFromTheMenuChecksWhatWasTypedAndKeepsTheSessionWorking)
{
    const QString old = s.password(QStringLiteral("ADM"));
    const QString chosen = QStringLiteral("minha-senha-nova");
    QStringList seen;
    auto base = ui.onModal;
    ui.onModal = [&](QObject* obj) {
        auto* d = qobject_cast<host::PasswordDialog*>(obj);
        if (!d)
            return base(obj);
        fillAndPress(*d, old, QStringLiteral("curta"), QStringLiteral("curta"));
        seen << ui.lastText();
        EXPECT_FALSE(d->isHidden()) << "closed on a short password";
        fillAndPress(*d, old, chosen, QStringLiteral("minha-senha-outra"));
        seen << ui.lastText();
        fillAndPress(*d, QStringLiteral("nao-e-a-atual"), chosen, chosen);
        seen << ui.lastText();
        EXPECT_FALSE(d->isHidden());
        fillAndPress(*d, old, chosen, chosen);
        return d->result();
    };
    QAction* menu = main->findChild<QAction*>(QStringLiteral("mnuAlterarSenha"));
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->isEnabled());
    menu->trigger();
    settle();
    EXPECT_EQ(seen, QStringList({QStringLiteral("A nova senha deve ter ao menos 10 caracteres."),
                                 QStringLiteral("A confirmação não confere com a nova senha."),
                                 QStringLiteral("Senha atual incorreta.")}));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Senha alterada."));
    EXPECT_EQ(s.login(QStringLiteral("ADM"), old)->status, 401);
    EXPECT_EQ(s.login(QStringLiteral("ADM"), chosen)->status, 200);
    // the shell's session went on with the token the change gave
    TfrmComissaoVend* sc = openLoaded();
    ASSERT_NE(sc, nullptr);
    EXPECT_GT(sc->cdsPedido.recordCount(), 0);
    EXPECT_EQ(logins, 0);
}

TEST_F(HostFixture, AGeneratedPasswordMustBeChangedAtTheFirstLogin)
{
    s.db->exec(QStringLiteral("UPDATE OPERADOR SET IDTROCASENHA = 'S' WHERE CDOPERADOR = 'ADM'"));
    shell.logout();
    main->refreshStatus();
    EXPECT_FALSE(main->findChild<QAction*>(QStringLiteral("mnuAlterarSenha"))->isEnabled());
    const QString chosen = QStringLiteral("escolhida-por-mim");
    QString prefilled;
    auto base = ui.onModal;
    ui.onModal = [&](QObject* obj) {
        auto* d = qobject_cast<host::PasswordDialog*>(obj);
        if (!d)
            return base(obj); // the login dialog: ADM and the generated password
        prefilled = d->edtSenhaAtual->text();
        d->show();
        QTest::keyClicks(d->edtNovaSenha, chosen);
        QTest::keyClicks(d->edtConfirmacao, chosen);
        QTest::mouseClick(d->btnAlterar, Qt::LeftButton);
        return d->result();
    };
    ASSERT_TRUE(main->runLogin());
    EXPECT_EQ(prefilled, s.password(QStringLiteral("ADM")));
    EXPECT_TRUE(shell.loggedIn());
    EXPECT_EQ(s.db->scalar(QStringLiteral("SELECT IDTROCASENHA FROM OPERADOR WHERE CDOPERADOR = 'ADM'")).toString(),
              QStringLiteral("N"));
    EXPECT_EQ(s.login(QStringLiteral("ADM"), s.password(QStringLiteral("ADM")))->status, 401);
    EXPECT_TRUE(main->findChild<QAction*>(QStringLiteral("mnuAlterarSenha"))->isEnabled());
    TfrmComissaoVend* sc = openLoaded();
    ASSERT_NE(sc, nullptr);
    EXPECT_GT(sc->cdsPedido.recordCount(), 0);
}

} // namespace
