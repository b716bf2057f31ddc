// Sessions, the JSON-RPC envelope, its error codes and the limits.
#include "support/ServerFixture.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class Protocol : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s = new TestServer(200); }
    static void TearDownTestSuite() { delete s; }
    static TestServer* s;
};
TestServer* Protocol::s = nullptr;

TEST_F(Protocol, HealthAnswersWithoutAToken)
{
    auto r = s->client->Get("/health");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(json::parse(r->body)["status"], "ok");
}

TEST_F(Protocol, LoginGivesATokenAndLogoutRevokesIt)
{
    auto r = s->login(QStringLiteral("GERENTE"), s->password(QStringLiteral("GERENTE")));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200);
    const auto j = json::parse(r->body);
    EXPECT_EQ(j["operator"], "GERENTE");
    EXPECT_GT(j["expires"].get<long long>(), 0);
    const std::string tok = j["token"];
    EXPECT_EQ(s->call(tok, "GetToTiComi", {"0001", "0000000001", "001"}).count("result"), 1u);
    // the stored token is a hash, never the token itself
    EXPECT_EQ(s->db->scalar(QStringLiteral("SELECT COUNT(*) FROM SESSAO WHERE DSTOKENHASH = ?"), {QString::fromStdString(tok)}).toInt(), 0);
    httplib::Headers h{{"Authorization", "Bearer " + tok}};
    auto out = s->client->Delete("/session", h);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->status, 204);
    EXPECT_EQ(s->call(tok, "GetToTiComi", {"0001", "0000000001", "001"}), json({{"http", 401}}));
}

TEST_F(Protocol, RefusesMissingForgedAndExpiredTokensWithNothingDone)
{
    const std::string before = s->checksum(QStringLiteral("COMISITEMPED")) + s->checksum(QStringLiteral("HISTCOMISSAO"));
    // a write that a valid session could make
    const auto item = s->db->rows(QStringLiteral("SELECT I.CDFILIAL, I.NRPEDIDO, I.NRITEMPED FROM ITEMPEDIDO I JOIN PAREXPEDICAO P "
                                                 "ON P.CDFILIAL = I.CDFILIAL WHERE I.IDSITITEMPED = '1' AND P.IDCOMISPERIODO = 'N' "
                                                 "AND NOT EXISTS (SELECT 1 FROM COMISITEMPED C WHERE C.CDFILIAL = I.CDFILIAL AND "
                                                 "C.NRPEDIDO = I.NRPEDIDO AND C.NRITEMPED = I.NRITEMPED) ORDER BY 1, 2, 3")).at(0);
    const json line = {{"fields", commissionLineFields()},
                       {"changes", {{{"op", "insert"}, {"new", {item[0].toString().toStdString(), item[1].toString().toStdString(),
                                                                item[2].toString().toStdString(), "0002", "", 1.5}}}}}};
    for (const std::string& tok : {std::string(), std::string(64, 'a'), std::string("not-a-token")})
        EXPECT_EQ(s->call(tok, "SetVendedor", {line, "ADM", false, "1"}), json({{"http", 401}})) << tok;
    std::string tok = s->token(QStringLiteral("ADM"));
    s->db->exec(QStringLiteral("UPDATE SESSAO SET NREXPIRA = 0"));
    EXPECT_EQ(s->call(tok, "SetVendedor", {line, "ADM", false, "1"}), json({{"http", 401}}));
    // a session replayed after its logout
    tok = s->token(QStringLiteral("ADM"));
    ASSERT_EQ(s->client->Delete("/session", {{"Authorization", "Bearer " + tok}})->status, 204);
    EXPECT_EQ(s->call(tok, "SetVendedor", {line, "ADM", false, "1"}), json({{"http", 401}}));
    EXPECT_EQ(s->checksum(QStringLiteral("COMISITEMPED")) + s->checksum(QStringLiteral("HISTCOMISSAO")), before);
    // the same write with a live session goes through: the refusals were the tokens'
    EXPECT_TRUE(s->call(s->token(QStringLiteral("ADM")), "SetVendedor", {line, "ADM", false, "1"}).contains("result"));
}

TEST_F(Protocol, WrongPasswordsAreCountedAndTheSixthTryIsRateLimited)
{
    for (int i = 0; i < 5; ++i) {
        auto r = s->login(QStringLiteral("CONSULTA"), QStringLiteral("errada"));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 401);
    }
    auto r = s->login(QStringLiteral("CONSULTA"), s->password(QStringLiteral("CONSULTA")));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 429);
    auto unknown = s->login(QStringLiteral("NINGUEM"), QStringLiteral("x"));
    EXPECT_EQ(unknown->status, 401);
    auto bad = s->client->Post("/session", "{not json", "application/json");
    EXPECT_EQ(bad->status, 400);
}

TEST_F(Protocol, EnvelopeErrorsUseTheirCodes)
{
    const std::string tok = s->token();
    struct Case {
        std::string body;
        int code;
    };
    const Case cases[] = {
        {"{bad", -32700},
        {"", -32700},
        {"[1,2]", -32600},
        {R"({"jsonrpc":"1.0","id":1,"method":"GetFiltraVend","params":[]})", -32600},
        {R"({"jsonrpc":"2.0","id":1,"method":"GetFiltraVend"})", -32600},
        {R"({"jsonrpc":"2.0","id":1,"method":"GetFiltraVend","params":{}})", -32600},
        {R"({"jsonrpc":"2.0","id":1,"method":7,"params":[]})", -32600},
        {R"({"jsonrpc":"2.0","id":1,"method":"getpedido","params":[]})", -32601},
        {R"({"jsonrpc":"2.0","id":1,"method":"GetItemPedido","params":["0001"]})", -32602},
        {R"({"jsonrpc":"2.0","id":1,"method":"GetItemPedido","params":["0001",10]})", -32602},
        {R"({"jsonrpc":"2.0","id":1,"method":"SetBuscaComissao","params":["a","b"]})", -32602},
        {R"({"jsonrpc":"2.0","id":1,"method":"SetVendedor","params":[{"x":1},"ADM",true,"1"]})", -32602},
        {R"({"jsonrpc":"2.0","id":1,"method":"GetToTiComi","params":["0001",1e999,"1"]})", -32602},
        // a malformed id is not echoed into the answer (found by fuzzing)
        {R"({"jsonrpc":"2.0","id":1l"method":"GetFiltraVend","params":[]})", -32700},
    };
    for (const Case& c : cases) {
        auto r = s->raw(tok, c.body);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200);
        const auto j = json::parse(r->body);
        ASSERT_TRUE(j.is_object()) << c.body << " -> " << r->body;
        EXPECT_EQ(j["jsonrpc"], "2.0");
        EXPECT_EQ(j["error"]["code"], c.code) << c.body << " -> " << r->body;
    }
    auto unknownServer = s->call(tok, "GetNota", {"0001", "1"}, "Ped99999.rdmNada");
    EXPECT_EQ(unknownServer["error"]["code"], -32601);
    // an id followed by NUL bytes comes back as the id alone, valid JSON
    auto nul = s->raw(tok, std::string(R"({"jsonrpc":"2.0","id":1)") + std::string(40, '\0') +
                               R"(,"method":"GetFiltraVend","params":[]})");
    ASSERT_TRUE(nul);
    EXPECT_TRUE(json::accept(nul->body)) << nul->body;
    EXPECT_EQ(nul->body.find('\0'), std::string::npos);
    // ids come back as sent
    auto r = s->raw(tok, R"({"jsonrpc":"2.0","id":"abc","method":"GetFiltraVend","params":[]})");
    EXPECT_EQ(json::parse(r->body)["id"], "abc");
}

TEST_F(Protocol, AnOperatorArgumentOtherThanTheSessionsIsRefused)
{
    const std::string tok = s->token(QStringLiteral("GERENTE"));
    auto j = s->call(tok, "getParametros", {"0001", "ADM", "0001"});
    EXPECT_EQ(j["error"]["code"], -32000);
    const std::string before = s->checksum(QStringLiteral("PEDIDO"));
    const json cs = {{"fields", {{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                                 {{"name", "NRPEDIDO"}, {"type", "string"}, {"size", 10}},
                                 {{"name", "CDVENDEDOR"}, {"type", "string"}, {"size", 4}}}},
                     {"changes", {{{"op", "modify"}, {"old", {"0001", "0000000001", "0001"}}, {"new", {"0001", "0000000001", "0002"}}}}}};
    EXPECT_EQ(s->call(tok, "SetPedido", {cs, "ADM"})["error"]["code"], -32000);
    EXPECT_EQ(s->checksum(QStringLiteral("PEDIDO")), before);
}

TEST_F(Protocol, OversizeBodiesGet413)
{
    const std::string tok = s->token();
    const std::string big(17u * 1024u * 1024u, ' ');
    auto r = s->raw(tok, big);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 413);
}

TEST_F(Protocol, KeepAliveServesManyCallsOnOneConnection)
{
    const std::string tok = s->token();
    httplib::Client c("127.0.0.1", s->port);
    c.set_keep_alive(true);
    const httplib::Headers auth{{"Authorization", "Bearer " + tok}};
    const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"GetToTiComi","params":["0001","0000000002","001"]})";
    for (int i = 0; i < 50; ++i) {
        auto r = c.Post("/rpc/Ped03600.rdmComissaoVend", auth, body, "application/json");
        ASSERT_TRUE(r);
        EXPECT_EQ(json::parse(r->body)["result"]["fields"][0]["name"], "VRTOTALPERC");
        // the server keeps the connection for the next call
        EXPECT_NE(r->get_header_value("Connection"), "close");
    }
}

TEST_F(Protocol, ManyDesktopsKeepingConnectionsOpenAreAllServed)
{
    // Each desktop keeps its connections alive between calls; a server that
    // gave each connection a worker from a few would leave the rest waiting
    // for an idle one to time out.
    const std::string tok = s->token();
    const httplib::Headers auth{{"Authorization", "Bearer " + tok}};
    const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"GetToTiComi","params":["0001","0000000001","001"]})";
    std::vector<std::unique_ptr<httplib::Client>> open;
    for (int i = 0; i < 24; ++i) {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", s->port);
        c->set_keep_alive(true);
        c->set_read_timeout(5, 0);
        const auto t0 = std::chrono::steady_clock::now();
        auto r = c->Post("/rpc/Ped03600.rdmComissaoVend", auth, body, "application/json");
        ASSERT_TRUE(r) << "connection " << i << " got no answer";
        EXPECT_EQ(r->status, 200);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3)) << "connection " << i;
        open.push_back(std::move(c)); // stays connected
    }
    // and every one of them is still served
    for (auto& c : open) {
        auto r = c->Post("/rpc/Ped03600.rdmComissaoVend", auth, body, "application/json");
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200);
    }
}

} // namespace
