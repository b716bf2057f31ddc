// Operator administration on a database a running server uses: what the
// administrator does takes effect on the server's next request.
#include "support/ServerFixture.h"

#include "admin/Operators.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

int callStatus(TestServer& s, const std::string& token)
{
    auto r = s.raw(token, json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "GetFiltraVend"}, {"params", json::array()}}.dump());
    return r ? r->status : -1;
}

int changePassword(TestServer& s, const QString& op, const QString& pw, const QString& newPw)
{
    auto r = s.client->Post("/session/password",
                            json{{"operator", op.toStdString()}, {"password", pw.toStdString()}, {"newPassword", newPw.toStdString()}}.dump(),
                            "application/json");
    return r ? r->status : -1;
}

const pedadmin::OperatorInfo* find(const std::vector<pedadmin::OperatorInfo>& list, const QString& code)
{
    for (const auto& o : list)
        if (o.code == code)
            return &o;
    return nullptr;
}

} // namespace

TEST(Admin, AnAddedOperatorMustChangeHisFirstPasswordAndBadInputWritesNothing)
{
    TestServer s(20);
    const QString pw = pedadmin::addOperator(*s.db, {QStringLiteral("NOVO"), QStringLiteral("Maria Nova"), QStringLiteral("Gerente"),
                                                     {QStringLiteral("0001"), QStringLiteral("0002")}});
    EXPECT_GE(pw.size(), 16);
    auto first = s.login(QStringLiteral("NOVO"), pw);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 403);
    EXPECT_EQ(json::parse(first->body)["mustChange"], true);
    EXPECT_EQ(changePassword(s, QStringLiteral("NOVO"), pw, QStringLiteral("minha-senha-comprida")), 200);
    EXPECT_EQ(s.login(QStringLiteral("NOVO"), QStringLiteral("minha-senha-comprida"))->status, 200);

    const auto list = pedadmin::listOperators(*s.db);
    const auto* novo = find(list, QStringLiteral("NOVO"));
    ASSERT_TRUE(novo);
    EXPECT_EQ(novo->name, QStringLiteral("Maria Nova"));
    EXPECT_EQ(novo->role, QStringLiteral("Gerente"));
    EXPECT_TRUE(novo->active);
    EXPECT_FALSE(novo->mustChange);
    EXPECT_EQ(novo->branches, (QStringList{QStringLiteral("0001"), QStringLiteral("0002")}));
    EXPECT_EQ(novo->sessions, 2);
    ASSERT_TRUE(find(list, QStringLiteral("ADM")));

    auto refused = [&](const pedadmin::NewOperator& op, const QString& text) {
        const int before = s.db->scalar(QStringLiteral("SELECT COUNT(*) FROM OPERADOR")).toInt();
        const int branches = s.db->scalar(QStringLiteral("SELECT COUNT(*) FROM OPERTPED")).toInt();
        try {
            pedadmin::addOperator(*s.db, op);
            ADD_FAILURE() << "accepted " << op.code.toStdString();
        } catch (const srv::DbError& e) {
            EXPECT_TRUE(e.text().contains(text)) << e.what();
        }
        EXPECT_EQ(s.db->scalar(QStringLiteral("SELECT COUNT(*) FROM OPERADOR")).toInt(), before);
        EXPECT_EQ(s.db->scalar(QStringLiteral("SELECT COUNT(*) FROM OPERTPED")).toInt(), branches);
    };
    refused({QStringLiteral("NOVO"), QStringLiteral("Outra"), {}, {}}, QStringLiteral("já existe"));
    refused({QStringLiteral("X2"), QStringLiteral("Xis"), {}, {QStringLiteral("0001"), QStringLiteral("9999")}},
            QStringLiteral("filial 9999 não existe"));
    refused({QStringLiteral("a b'; DROP TABLE OPERADOR"), QStringLiteral("Xis"), {}, {}}, QStringLiteral("inválido"));
    refused({QStringLiteral("X3"), QStringLiteral(" "), {}, {}}, QStringLiteral("nome"));
    refused({QStringLiteral("X4"), QString(51, QLatin1Char('n')), {}, {}}, QStringLiteral("nome"));
}

TEST(Admin, DisablingEndsTheSessionsAtOnceAndResetForcesANewPassword)
{
    TestServer s(20);
    const QString op = QStringLiteral("GERENTE");
    const std::string token = s.token(op);
    ASSERT_FALSE(token.empty());
    EXPECT_EQ(callStatus(s, token), 200);

    pedadmin::setActive(*s.db, op, false);
    EXPECT_EQ(callStatus(s, token), 401);
    auto again = s.login(op, s.password(op));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 403);
    EXPECT_TRUE(QString::fromStdString(again->body).contains(QStringLiteral("desativado")));
    // the wrong password learns nothing of it
    EXPECT_EQ(s.login(op, QStringLiteral("nao-e-a-senha"))->status, 401);
    EXPECT_FALSE(find(pedadmin::listOperators(*s.db), op)->active);
    // a session written while he was being disabled is refused all the same
    s.db->exec(QStringLiteral("INSERT INTO SESSAO (DSTOKENHASH, CDOPERADOR, NRCRIADO, NREXPIRA) SELECT DSTOKENHASH, ?, NRCRIADO, "
                              "NREXPIRA + 1 FROM SESSAO WHERE CDOPERADOR = 'ADM'"),
               {op});
    // others go on
    EXPECT_EQ(callStatus(s, s.token()), 200);

    pedadmin::setActive(*s.db, op, true);
    const std::string back = s.token(op);
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(callStatus(s, back), 200);

    const QString pw = pedadmin::resetPassword(*s.db, op);
    EXPECT_EQ(callStatus(s, back), 401);
    EXPECT_EQ(s.login(op, s.password(op))->status, 401);
    auto provisional = s.login(op, pw);
    ASSERT_TRUE(provisional);
    EXPECT_EQ(provisional->status, 403);
    EXPECT_EQ(json::parse(provisional->body)["mustChange"], true);
    EXPECT_TRUE(find(pedadmin::listOperators(*s.db), op)->mustChange);
    EXPECT_EQ(changePassword(s, op, pw, QStringLiteral("depois-do-reset-123")), 200);

    for (auto action : {+[](srv::Db& db) { pedadmin::setActive(db, QStringLiteral("NINGUEM"), false); },
                        +[](srv::Db& db) { pedadmin::resetPassword(db, QStringLiteral("NINGUEM")); }}) {
        try {
            action(*s.db);
            ADD_FAILURE() << "an unknown operator was accepted";
        } catch (const srv::DbError& e) {
            EXPECT_TRUE(e.text().contains(QStringLiteral("NINGUEM não existe"))) << e.what();
        }
    }
}
