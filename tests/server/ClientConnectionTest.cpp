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
