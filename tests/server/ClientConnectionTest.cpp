// The framework's client side against a real server and database: the
// remote connection (answers, refusals, transport failures) and the
// multi-dialect query.
#include "support/ServerFixture.h"

#include "core/ADOIBQuery.h"
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/DbConnection.h"
#include "core/FwError.h"
#include "core/NetConnection.h"
#include "core/RecordSet.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace testsupport;

namespace {

class Connection : public ::testing::Test {
protected:
    void SetUp() override
    {
        fw::ctx().login = {};
        fw::ctx().login.operador = QStringLiteral("ADM");
        fw::ctx().login.token = QString::fromStdString(s.token());
        fw::ctx().sessionExpired = [this] { ++expired; };
        net.ServerName = QString::fromLatin1(kCommission);
        net.BeforeConnect = [this](fw::TNetConnection& c) {
            c.host = QStringLiteral("127.0.0.1");
            c.Port = s.port;
        };
    }
    void TearDown() override
    {
        fw::ctx().sessionExpired = nullptr;
        fw::ctx().login = {};
    }

    TestServer s{40};
    fw::TNetConnection net;
    int expired = 0;
};

TEST_F(Connection, CallsLoadPacketsAndServerFailuresRaiseTheServersText)
{
    fw::RecordSet items;
    const auto r = net.call(QStringLiteral("getParametros"), {"0001", "ADM", "0001"});
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    const fw::Payload arr = fw::CheckResultServ(r, true, 0);
    ASSERT_EQ(arr.size(), 3u);
    fw::RecordSet param;
    param.setData(arr.at(0));
    EXPECT_FALSE(param.fieldByName(u"IDEXIBPEDIDO").asString().isEmpty());
    EXPECT_TRUE(net.Connected());

    // someone else's operator code is refused by the server, and the
    // refusal surfaces as an exception carrying its text
    const auto refused = net.call(QStringLiteral("getParametros"), {"0001", "VEND01", "0001"});
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.code, -32000);
    try {
        fw::CheckResultServ(refused, true, 0);
        FAIL() << "no exception";
    } catch (const fw::ServerError& e) {
        EXPECT_EQ(e.text(), refused.message);
        EXPECT_FALSE(e.text().isEmpty());
    }
    const auto unknown = net.call(QStringLiteral("NoSuchMethod"));
    EXPECT_EQ(unknown.code, -32601);

    // ThrowException on: the call itself throws
    net.ThrowException = true;
    EXPECT_THROW(net.call(QStringLiteral("NoSuchMethod")), fw::ServerError);
}

TEST_F(Connection, RevokedTokenIsRefusedAndTheHostIsTold)
{
    httplib::Headers h{{"Authorization", "Bearer " + fw::ctx().login.token.toStdString()}};
    auto del = s.client->Delete("/session", h);
    ASSERT_TRUE(del);
    ASSERT_EQ(del->status, 204);
    const auto r = net.call(QStringLiteral("GetFiltraVend"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, QStringLiteral("Sessão expirada ou inválida. Entre novamente."));
    EXPECT_EQ(expired, 1);
}

TEST(ConnectionFailures, ServerDownAndNoAnswerAreClearErrors)
{
    // a port that was free a moment ago: nobody listens there
    int freePort = 0;
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        freePort = ntohs(a.sin_port);
        ::close(fd);
    }
    fw::TNetConnection down;
    down.ServerName = QString::fromLatin1(kCommission);
    down.host = QStringLiteral("127.0.0.1");
    down.Port = freePort;
    auto r = down.call(QStringLiteral("GetFiltraVend"));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("Não foi possível conectar ao servidor"))) << r.message.toStdString();
    EXPECT_THROW(fw::CheckResultServ(r, true, 0), fw::ServerError);

    // a scripted server that accepts and never answers in time
    httplib::Server slow;
    slow.Post(R"(/rpc/.*)", [](const httplib::Request& req, httplib::Response& res) {
        if (req.body.find("\"Junk\"") != std::string::npos) {
            res.set_content("<html>", "text/html");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        res.set_content(R"({"jsonrpc":"2.0","id":1,"result":null})", "application/json");
    });
    const int port = slow.bind_to_any_port("127.0.0.1");
    std::thread t([&] { slow.listen_after_bind(); });
    fw::TNetConnection net;
    net.ServerName = QString::fromLatin1(kCommission);
    net.host = QStringLiteral("127.0.0.1");
    net.Port = port;
    net.timeoutMs = 300;
    r = net.call(QStringLiteral("GetFiltraVend"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, QStringLiteral("Servidor não respondeu."));

    // an answer that is no JSON
    net.timeoutMs = 5000;
    r = net.call(QStringLiteral("Junk"));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.isEmpty());
    slow.stop();
    t.join();
}

// The branch lookup as the commission screen sends it, per dialect.
TEST_F(Connection, QueryRunsTheBranchTextsWithNullAndCodeParameters)
{
    QString connName = QStringLiteral("suite");
    fw::openDatabase(s.url, connName);
    {
        fw::TADOIBQuery qryFilial(nullptr, QStringLiteral("qryFilial"));
        qryFilial.connectionName = connName;
        qryFilial.SQL = QStringList{"SELECT", "CDFILIAL,", "NMFILIAL", "FROM", "FILIAL", "WHERE",
                                    "CDFILIAL = NVL(:P_CDFILIAL, CDFILIAL)", "ORDER BY", "CDFILIAL"};
        qryFilial.SQL_ORACLE = qryFilial.SQL;
        qryFilial.SQL_MSSQL = QStringList{"SELECT", "CDFILIAL,", "NMFILIAL", "FROM", "FILIAL", "WHERE",
                                          "CDFILIAL = ISNULL(:P_CDFILIAL, CDFILIAL)", "ORDER BY", "CDFILIAL"};
        qryFilial.SQL_IB = QStringList{"SELECT", "CDFILIAL,", "NMFILIAL", "FROM", "FILIAL,PARAM(:P_CDFILIAL) P_CDFILIAL",
                                       "WHERE", "CDFILIAL = NVLSTR(P_CDFILIAL.PARAM, CDFILIAL)", "ORDER BY", "CDFILIAL"};
        qryFilial.Query.addField(QStringLiteral("CDFILIAL"), fw::FieldType::String, 4).displayLabel = "Código";
        qryFilial.Query.addField(QStringLiteral("NMFILIAL"), fw::FieldType::String, 30).displayLabel = "Nome";
        EXPECT_EQ(qryFilial.dialect(), s.firebird() ? fw::SqlDialect::InterBase : fw::SqlDialect::Default);
        EXPECT_TRUE(fw::ExistParam(qryFilial.Params(), QStringLiteral("p_cdfilial")));

        qryFilial.ParamByName(QStringLiteral("P_CDFILIAL")).setNull();
        qryFilial.Open();
        EXPECT_EQ(qryFilial.Query.recordCount(), 3);
        EXPECT_EQ(qryFilial.Query.fieldByName(u"CDFILIAL").asString(), "0001");
        EXPECT_EQ(qryFilial.Query.fieldByName(u"CDFILIAL").displayLabel, "Código"); // declared fields are kept

        qryFilial.Close();
        qryFilial.ParamByName(QStringLiteral("P_CDFILIAL")).setAsString(QStringLiteral("0002"));
        qryFilial.Open();
        ASSERT_EQ(qryFilial.Query.recordCount(), 1);
        EXPECT_EQ(qryFilial.Query.fieldByName(u"NMFILIAL").asString(), QStringLiteral("Filial Campinas"));

        // a hostile code is a value, not SQL
        qryFilial.Close();
        qryFilial.ParamByName(QStringLiteral("P_CDFILIAL")).setAsString(QStringLiteral("' OR 1=1 --"));
        qryFilial.Open();
        EXPECT_TRUE(qryFilial.IsEmpty());
        EXPECT_THROW(qryFilial.ParamByName(QStringLiteral("NOPE")), fw::Error);
    }
    QSqlDatabase::removeDatabase(connName);
}

} // namespace

namespace {

// Large answers as a stream of lines: the server's form, the connection
// reading it in pieces, and the record set loading them.
class Streamed : public ::testing::Test {
protected:
    void SetUp() override
    {
        fw::ctx().login = {};
        fw::ctx().login.operador = QStringLiteral("ADM");
        fw::ctx().login.token = QString::fromStdString(s.token());
        net.ServerName = QString::fromLatin1(kCommission);
        net.BeforeConnect = [this](fw::TNetConnection& c) {
            c.host = QStringLiteral("127.0.0.1");
            c.Port = port ? port : s.port;
        };
    }
    void TearDown() override { fw::ctx().login = {}; }

    static std::vector<fw::RpcArg> args(const json& params)
    {
        std::vector<fw::RpcArg> out;
        for (const auto& p : params)
            out.push_back(fw::RpcArg::json(p.dump()));
        return out;
    }
    // Loads a record set from the streamed call; the number of pieces.
    int load(fw::RecordSet& rs, const json& params, fw::ServerResult& r)
    {
        int pieces = 0;
        r = net.callStream(QStringLiteral("GetPedido"), args(params), [&](fw::Table&& t) {
            if (pieces++ == 0)
                rs.streamBegin(std::move(t));
            else
                rs.streamAppend(std::move(t));
        });
        if (r.ok)
            rs.streamEnd();
        else
            rs.streamAbort();
        return pieces;
    }

    TestServer s{900};
    fw::TNetConnection net;
    int port = 0;
};

TEST_F(Streamed, ServerSendsFieldsRowsAndTheirCount)
{
    OrderFilter f;
    const std::string body = json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "GetPedido"}, {"params", f.params()}}.dump();
    httplib::Headers h{{"Authorization", "Bearer " + fw::ctx().login.token.toStdString()},
                       {"Accept", "application/x-ndjson"}};
    auto streamed = s.client->Post(("/rpc/" + std::string(kCommission)).c_str(), h, body, "application/json");
    ASSERT_TRUE(streamed);
    EXPECT_EQ(streamed->get_header_value("Content-Type"), "application/x-ndjson");
    std::vector<json> lines;
    std::istringstream in(streamed->body);
    for (std::string l; std::getline(in, l);)
        lines.push_back(json::parse(l));
    const json whole = s.call(fw::ctx().login.token.toStdString(), "GetPedido", f.params())["result"];
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front()["fields"], whole["fields"]);
    EXPECT_EQ(lines.back(), (json{{"end", true}, {"rows", whole["rows"].size()}}));
    ASSERT_EQ(lines.size(), whole["rows"].size() + 2);
    for (size_t i = 0; i < whole["rows"].size(); ++i)
        ASSERT_EQ(lines[i + 1], whole["rows"][i]) << i;
    // without asking, the whole packet as always
    h.erase("Accept");
    auto plain = s.client->Post(("/rpc/" + std::string(kCommission)).c_str(), h, body, "application/json");
    EXPECT_EQ(plain->get_header_value("Content-Type"), "application/json");
}

TEST_F(Streamed, RecordSetEndsAsWithTheWholePacketAndOpensOnce)
{
    OrderFilter f;
    const auto plain = net.call(QStringLiteral("GetPedido"), args(f.params()));
    ASSERT_TRUE(plain.ok);
    fw::RecordSet whole(QStringLiteral("whole"));
    whole.setData(plain.payload);
    ASSERT_GT(whole.recordCount(), 80); // more than the first piece

    fw::RecordSet rs(QStringLiteral("rs"));
    rs.addField(QStringLiteral("NRPEDIDO"), fw::FieldType::String, 10);
    int opens = 0, scrolls = 0, rowsAtFirstScroll = -1;
    rs.afterOpen = [&](fw::RecordSet&) { ++opens; };
    rs.afterScroll = [&](fw::RecordSet& r) {
        if (scrolls++ == 0)
            rowsAtFirstScroll = r.recordCount();
    };
    fw::ServerResult r;
    const int pieces = load(rs, f.params(), r);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_GE(pieces, 2);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(rowsAtFirstScroll, whole.recordCount()); // the handlers ran after the last row
    ASSERT_EQ(rs.recordCount(), whole.recordCount());
    for (int i = 0; i < rs.recordCount(); ++i)
        ASSERT_EQ(rs.withRow(i, [&] { return rs.fieldByName(u"NRPEDIDO").asString(); }),
                  whole.withRow(i, [&] { return whole.fieldByName(u"NRPEDIDO").asString(); }));
    EXPECT_EQ(rs.fieldCount(), whole.fieldCount()); // the packet's other columns as hidden fields
}

TEST_F(Streamed, FailureAfterSomeRowsKeepsThePreviousContents)
{
    // a scripted server: rows, then an error line; or rows and a cut
    bool cut = false;
    httplib::Server fake;
    fake.Post(R"(/rpc/.*)", [&](const httplib::Request&, httplib::Response& res) {
        std::string body = R"({"fields":[{"name":"NRPEDIDO","type":"string","size":10}]})" "\n";
        for (int i = 0; i < 200; ++i)
            body += "[\"" + std::to_string(1000 + i) + "\"]\n";
        if (!cut)
            body += R"({"error":{"code":-32000,"message":"Falha no meio da leitura."}})" "\n";
        res.set_content(body, "application/x-ndjson");
    });
    port = fake.bind_to_any_port("127.0.0.1");
    std::thread t([&] { fake.listen_after_bind(); });

    fw::RecordSet rs(QStringLiteral("rs"));
    rs.addField(QStringLiteral("NRPEDIDO"), fw::FieldType::String, 10);
    rs.setData(fw::Payload::fromJson(R"({"fields":[{"name":"NRPEDIDO","type":"string","size":10}],"rows":[["1"],["2"]]})"));
    rs.moveTo(1);
    fw::ServerResult r;
    EXPECT_GE(load(rs, json::array(), r), 1);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, QStringLiteral("Falha no meio da leitura."));
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.recNo(), 1);
    EXPECT_EQ(rs.fieldByName(u"NRPEDIDO").asString(), QStringLiteral("2"));

    cut = true; // no end line: the answer is incomplete
    load(rs, json::array(), r);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("Comunicação com o servidor"))) << r.message.toStdString();
    EXPECT_EQ(rs.recordCount(), 2);
    fake.stop();
    t.join();
}

} // namespace

namespace {

// A server started with a certificate and key speaks HTTPS only; the desktop's
// connection checks the certificate against the authority it is told to trust.
TEST_F(Connection, OverHttpsTheCertificateIsCheckedAndPlainHttpIsNotServed)
{
    QTemporaryDir dir;
    std::string error;
    const TlsFiles tls = makeCertificate(dir, error);
    ASSERT_FALSE(tls.cert.isEmpty()) << error;
    const QString cert = tls.cert;
    srv::ServerOptions opt;
    opt.db = s.url;
    opt.tlsCert = cert;
    opt.tlsKey = dir.filePath(QStringLiteral("missing.pem"));
    EXPECT_THROW(srv::AppServer{opt}, srv::DbError);
    HttpsServer https(s.url, tls);
    const int port = https.port;

    httplib::Client plain("127.0.0.1", port);
    plain.set_read_timeout(5, 0);
    auto r = plain.Get("/health");
    EXPECT_TRUE(!r || r->status != 200); // nothing in clear

    net.BeforeConnect = [port](fw::TNetConnection& c) {
        c.host = QStringLiteral("127.0.0.1");
        c.Port = port;
        c.Tls = true;
    };
    qunsetenv("PED_CA_FILE");
    auto refused = net.call(QStringLiteral("GetToTiComi"), {"0001", "1", "1"});
    EXPECT_FALSE(refused.ok); // a certificate no authority of the system signed
    EXPECT_TRUE(refused.message.startsWith(QStringLiteral("Conexão segura com o servidor 127.0.0.1:"))) << refused.message.toStdString();
    net.setConnected(false);

    qputenv("PED_CA_FILE", cert.toLocal8Bit());
    const auto ok = net.call(QStringLiteral("getParametros"), {"0001", "ADM", "0001"});
    qunsetenv("PED_CA_FILE");
    EXPECT_TRUE(ok.ok) << ok.message.toStdString();
    // the order list comes as a stream over its own connection
    OrderFilter f;
    std::vector<fw::RpcArg> args;
    for (const auto& a : f.params())
        args.push_back(fw::RpcArg::json(a.dump()));
    qputenv("PED_CA_FILE", cert.toLocal8Bit());
    size_t rows = 0;
    const auto streamed = net.callStream(QStringLiteral("GetPedido"), args, [&](fw::Table&& t) { rows += t.rowCount; });
    qunsetenv("PED_CA_FILE");
    EXPECT_TRUE(streamed.ok) << streamed.message.toStdString();
    EXPECT_GT(rows, 0u);
    net.setConnected(false); // or the server waits for the kept-alive connection to stop
}

} // namespace
