// Sign-ins and sessions as a hostile or careless client meets them: parallel
// guesses, unknown names, piling sessions, password changes, a long write in
// the way; and log lines no request value can forge.
#include "support/RawHttp.h"

#include <gtest/gtest.h>

#include <future>

using namespace testsupport;

namespace {

class SignIn : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        srv::ServerOptions o;
        o.login.maxSessions = 3;
        s = new TestServer(50, 7, o);
    }
    static void TearDownTestSuite() { delete s; }
    static TestServer* s;
};
TestServer* SignIn::s = nullptr;

TEST_F(SignIn, ParallelWrongGuessesGetAtMostTheAllowedChecksAndThenEvenTheRightPasswordWaits)
{
    const long before = s->server->sessions().passwordChecks();
    std::vector<std::future<int>> guesses;
    for (int i = 0; i < 30; ++i)
        guesses.push_back(std::async(std::launch::async, [i] {
            httplib::Client c("127.0.0.1", s->port);
            c.set_read_timeout(60, 0);
            auto r = c.Post("/session", json{{"operator", "VEND01"}, {"password", "palpite-" + std::to_string(i)}}.dump(),
                            "application/json");
            return r ? r->status : 0;
        }));
    int refused = 0, limited = 0;
    for (auto& g : guesses) {
        const int st = g.get();
        refused += st == 401;
        limited += st == 429;
    }
    EXPECT_EQ(refused, 5);
    EXPECT_EQ(limited, 25);
    EXPECT_EQ(s->server->sessions().passwordChecks() - before, 5);
    auto right = s->login(QStringLiteral("VEND01"), s->password(QStringLiteral("VEND01")));
    ASSERT_TRUE(right);
    EXPECT_EQ(right->status, 429);
    EXPECT_EQ(s->server->sessions().passwordChecks() - before, 5);

    // an unknown operator is checked against a hash as a known one is, and
    // counted the same
    const long atUnknown = s->server->sessions().passwordChecks();
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(s->login(QStringLiteral("FANTASMA"), QStringLiteral("x"))->status, i < 5 ? 401 : 429);
    EXPECT_EQ(s->server->sessions().passwordChecks() - atUnknown, 5);
}

TEST_F(SignIn, AtMostNSessionsPerOperatorTheOldestGoes)
{
    std::vector<std::string> toks;
    for (int i = 0; i < 4; ++i) {
        toks.push_back(s->token(QStringLiteral("GERENTE")));
        ASSERT_FALSE(toks.back().empty());
    }
    EXPECT_EQ(s->call(toks[0], "GetToTiComi", {"0001", "0000000001", "001"}), json({{"http", 401}}));
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(s->call(toks[size_t(i)], "GetToTiComi", {"0001", "0000000001", "001"}).count("result"), 1u) << i;
    EXPECT_EQ(s->db->scalar(QStringLiteral("SELECT COUNT(*) FROM SESSAO WHERE CDOPERADOR = 'GERENTE'")).toInt(), 3);
}

TEST_F(SignIn, PasswordChangeIsCheckedAndLimitedAsALoginAndEndsTheOtherSessions)
{
    const QString op = QStringLiteral("CONSULTA");
    const std::string old = s->password(op).toStdString();
    const std::string other = s->token(op);
    auto change = [&](const std::string& current, const std::string& next) {
        auto r = s->client->Post("/session/password",
                                 json{{"operator", "CONSULTA"}, {"password", current}, {"newPassword", next}}.dump(),
                                 "application/json");
        return r ? std::make_pair(r->status, r->body) : std::make_pair(0, std::string());
    };
    EXPECT_EQ(change(old, "curta").first, 400);
    EXPECT_EQ(change(old, old).first, 400);
    EXPECT_EQ(change("errada", "uma-senha-nova-e-longa").first, 401);
    EXPECT_EQ(s->db->scalar(QStringLiteral("SELECT COUNT(*) FROM TENTLOGIN WHERE CDOPERADOR = 'CONSULTA'")).toInt(), 1);
    const auto [status, body] = change(old, "uma-senha-nova-e-longa");
    ASSERT_EQ(status, 200) << body;
    const std::string fresh = json::parse(body)["token"];
    EXPECT_EQ(s->call(fresh, "GetToTiComi", {"0001", "0000000001", "001"}).count("result"), 1u);
    EXPECT_EQ(s->call(other, "GetToTiComi", {"0001", "0000000001", "001"}), json({{"http", 401}}));
    EXPECT_EQ(s->login(op, QString::fromStdString(old))->status, 401);
    EXPECT_EQ(s->login(op, QStringLiteral("uma-senha-nova-e-longa"))->status, 200);
    // the change is rate-limited with the logins
    for (int i = 0; i < 5; ++i)
        change("errada", "outra-senha-nova-longa");
    EXPECT_EQ(change("uma-senha-nova-e-longa", "outra-senha-nova-longa").first, 429);
    s->db->exec(QStringLiteral("DELETE FROM TENTLOGIN"));

    // a provisional password signs in to nothing until it is changed
    s->db->exec(QStringLiteral("UPDATE OPERADOR SET IDTROCASENHA = 'S' WHERE CDOPERADOR = 'CONSULTA'"));
    auto first = s->login(op, QStringLiteral("uma-senha-nova-e-longa"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 403);
    EXPECT_EQ(json::parse(first->body)["mustChange"], true);
    EXPECT_EQ(change("uma-senha-nova-e-longa", "a-terceira-senha-longa").first, 200);
    EXPECT_EQ(s->login(op, QStringLiteral("a-terceira-senha-longa"))->status, 200);
}

TEST_F(SignIn, ALoginDuringALongWriteWaitsForItInsteadOfFailing)
{
    if (s->firebird())
        GTEST_SKIP() << "SQLite's single writer";
    // another process's write holding the lock longer than the old ten-second wait
    srv::Db writer(s->url, QStringLiteral("longwrite"));
    writer.begin();
    writer.exec(QStringLiteral("UPDATE PARAMGERAL SET DSVALOR = DSVALOR WHERE CDPARAM = 'DBPICT0'"));
    auto login = std::async(std::launch::async, [] {
        httplib::Client c("127.0.0.1", s->port);
        c.set_read_timeout(60, 0);
        auto r = c.Post("/session", json{{"operator", "ADM"}, {"password", s->password(QStringLiteral("ADM")).toStdString()}}.dump(),
                        "application/json");
        return r ? r->status : 0;
    });
    std::this_thread::sleep_for(std::chrono::seconds(11));
    writer.commit();
    EXPECT_EQ(login.get(), 200);
}

TEST(Purge, ExpiredSessionsAndOldFailuresArePurgedOnATimer)
{
    srv::ServerOptions o;
    o.purgeInterval = 1;
    TestServer t(0, 7, o);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    t.db->exec(QStringLiteral("INSERT INTO SESSAO (DSTOKENHASH, CDOPERADOR, NRCRIADO, NREXPIRA) VALUES ('velha', 'ADM', 0, ?)"), {now - 10});
    t.db->exec(QStringLiteral("INSERT INTO SESSAO (DSTOKENHASH, CDOPERADOR, NRCRIADO, NREXPIRA) VALUES ('viva', 'ADM', 0, ?)"), {now + 3600});
    t.db->exec(QStringLiteral("INSERT INTO TENTLOGIN (CDOPERADOR, NRMOMENTO) VALUES ('INVENTADO', ?)"), {now - 16 * 60});
    t.db->exec(QStringLiteral("INSERT INTO TENTLOGIN (CDOPERADOR, NRMOMENTO) VALUES ('RECENTE', ?)"), {now});
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until && t.db->scalar(QStringLiteral("SELECT COUNT(*) FROM SESSAO WHERE DSTOKENHASH = 'velha'")).toInt() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(t.db->scalar(QStringLiteral("SELECT COUNT(*) FROM SESSAO")).toInt(), 1);
    EXPECT_EQ(t.db->scalar(QStringLiteral("SELECT CDOPERADOR FROM TENTLOGIN")).toString(), QStringLiteral("RECENTE"));
}

TEST(LogLines, EveryRequestValueIsEscaped)
{
    EXPECT_EQ(srv::logSafe("GetPedido"), "GetPedido");
    EXPECT_EQ(srv::logSafe("a\nb\r\x1b[31m"), "a\\x0ab\\x0d\\x1b[31m");
    EXPECT_EQ(srv::logSafe("x result=ok"), "x\\x20result=ok");
    EXPECT_EQ(srv::logSafe("back\\slash"), "back\\x5cslash");
    EXPECT_EQ(srv::logSafe("São\u2028"), "São\\u2028");
    EXPECT_EQ(srv::logSafe(""), "-");
    // the last field keeps its blanks, never its line breaks
    EXPECT_EQ(srv::logSafe("Falha ao gravar\nx", true), "Falha ao gravar\\x0ax");
}

TEST(LogLines, AMethodNameWithALineBreakForgesNoLine)
{
    ServerProcess p;
    ASSERT_GT(p.port, 0);
    const std::string tok = p.token();
    ASSERT_FALSE(tok.empty());
    httplib::Client c("127.0.0.1", p.port);
    const std::string forged = "X\n2026-01-01T00:00:00.000 info operator=GERENTE method=SetVendedor ms=1.0 result=ok";
    auto r = c.Post("/rpc/Ped03600.rdmComissaoVend", {{"Authorization", "Bearer " + tok}},
                    json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", forged}, {"params", json::array()}}.dump(), "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(json::parse(r->body)["error"]["code"], -32601);
    const QString log = p.log();
    EXPECT_FALSE(log.contains(QStringLiteral("operator=GERENTE")));
    EXPECT_FALSE(log.contains(QStringLiteral("method=X")));
    const QRegularExpression line(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\S+ (error|warn|info|debug) operator=\\S+ method=\\S+ ms=\\S+ result=.*$"));
    for (const QString& l : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_TRUE(line.match(l).hasMatch()) << l.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("operator=ADM method=- ")));
}

} // namespace
