// The commission screen when the server answers garbage, cannot be reached
// or answers too late: a clear message each time, nothing half done on the
// screen, the busy panel gone, and the screen works again once the server
// answers properly.
#include "HostFixture.h"

#include "shared/Globals.h"
#include "core/FwError.h"
#include "widgets/Events.h"

#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace testsupport;
using json = nlohmann::json;

namespace {

class FaultsTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        sc = openLoaded();
        ASSERT_NE(sc, nullptr);
        ASSERT_GT(sc->cdsPedido.recordCount(), 1);
        order = sc->cdsPedido.fieldByName(u"NRPEDIDO").asString();
        s.db->exec(QStringLiteral("DELETE FROM CONTAPAGA WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
        s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '1' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
        s.db->exec(QStringLiteral("UPDATE PEDIDO SET IDCANCCOMISPED = 'N' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
        ui.messages.clear();
    }
    void TearDown() override
    {
        proxy.rawScript = nullptr;
        HostFixture::TearDown();
    }
    // Every call of this method gets what fault says; the others pass.
    void fail(const std::string& method, std::function<void(httplib::Response&)> fault)
    {
        proxy.rawScript = [method, fault](const json& req, httplib::Response& res) {
            if (!req.is_object() || req.value("method", "") != method)
                return false;
            fault(res);
            return true;
        };
    }
    bool run(const std::function<void()>& fn) { return fw::runHandler(fn); }
    QStringList orders()
    {
        QStringList out;
        for (int i = 0; i < sc->cdsPedido.recordCount(); ++i)
            out << sc->cdsPedido.withRow(i, [&] { return sc->cdsPedido.fieldByName(u"NRPEDIDO").asString(); });
        return out;
    }

    // The items page of the order without salesman lines; a salesman who
    // may earn commission.
    QString itemsPageWithoutLines()
    {
        s.db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
        sc->mnuFormularioClick();
        settle();
        EXPECT_EQ(sc->cdsVendedor.recordCount(), 0);
        return s.db->scalar(QStringLiteral("SELECT MIN(CDVENDEDOR) FROM VENDEDOR WHERE IDGERACOMISVEND = 'S'")).toString();
    }
    // A new line of the salesman at 2 %, typed into the grid.
    void typeLine(const QString& salesman)
    {
        ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
        auto* m = sc->dbgVendedor->model();
        ASSERT_TRUE(m->setData(m->index(sc->cdsVendedor.recNo(), fw::IndiceCol(*sc->dbgVendedor, QStringLiteral("CDVENDEDOR"))),
                               salesman, Qt::EditRole));
        ASSERT_TRUE(m->setData(m->index(sc->cdsVendedor.recNo(), fw::IndiceCol(*sc->dbgVendedor, QStringLiteral("VRPECOMITPED"))),
                               QStringLiteral("2"), Qt::EditRole));
    }

    TfrmComissaoVend* sc = nullptr;
    QString order;
};

const auto garbage = [](httplib::Response& res) { res.set_content("<html>erro interno</html>", "text/html"); };
const auto down = [](httplib::Response& res) { res.status = 502; };

TEST_F(FaultsTest, LoadingOrdersWhenTheServerAnswersGarbageOrIsDown)
{
    const QStringList before = orders();
    sc->cdsPedido.moveTo(1);
    const QString current = sc->cdsPedido.fieldByName(u"NRPEDIDO").asString();
    for (const auto& fault : {std::function<void(httplib::Response&)>(garbage), std::function<void(httplib::Response&)>(down)}) {
        ui.messages.clear();
        fail("GetPedido", fault);
        EXPECT_FALSE(run([&] { sc->sbtVerificarClick(); }));
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_FALSE(ui.lastText().trimmed().isEmpty());
        EXPECT_EQ(ui.messages.back().type, fw::MsgType::Error);
        EXPECT_EQ(ui.busyDepth, 0);
        // what was shown stays, on the same order
        EXPECT_EQ(orders(), before);
        EXPECT_EQ(sc->cdsPedido.fieldByName(u"NRPEDIDO").asString(), current);
    }
    // the server answers again: the same refresh works
    proxy.rawScript = nullptr;
    ASSERT_TRUE(run([&] { sc->sbtVerificarClick(); }));
    EXPECT_EQ(orders(), before);
}

TEST_F(FaultsTest, PostingASalesmanLineWhenTheServerIsDownKeepsTheLineAsTyped)
{
    const QString salesman = itemsPageWithoutLines();
    for (const auto& fault : {std::function<void(httplib::Response&)>(down), std::function<void(httplib::Response&)>(garbage)}) {
        typeLine(salesman);
        fail("SetVendedor", fault);
        ui.messages.clear();
        ui.answers = {fw::mrNo};
        EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
        EXPECT_EQ(ui.messages.back().type, fw::MsgType::Error);
        EXPECT_FALSE(ui.lastText().trimmed().isEmpty());
        // the line stays as typed to send again or give up; nothing is
        // pending, nothing was stored
        EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Insert);
        EXPECT_EQ(sc->cdsVendedor.fieldByName(u"CDVENDEDOR").asString(), salesman);
        EXPECT_EQ(sc->cdsVendedor.changeCount(), 0);
        EXPECT_EQ(ui.busyDepth, 0);
        sc->cdsVendedor.cancel();
        EXPECT_EQ(sc->cdsVendedor.recordCount(), 0);
        EXPECT_EQ(s.db->scalar(QStringLiteral("SELECT COUNT(*) FROM COMISITEMPED WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"),
                               {order}).toInt(),
                  0);
    }
    // back up: the same line goes through
    proxy.rawScript = nullptr;
    typeLine(salesman);
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(sc->cdsVendedor.recordCount(), 1);
    EXPECT_EQ(s.db->scalar(QStringLiteral("SELECT COUNT(*) FROM COMISITEMPED WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"),
                           {order}).toInt(),
              1);
}

TEST_F(FaultsTest, CancellingTheCommissionWhenTheServerAnswersTooLate)
{
    sc->netComissaoVendedor->timeoutMs = 1000;
    fail("SetCancelaComissaoPed", [](httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        res.set_content(R"({"jsonrpc":"2.0","id":1,"result":null})", "application/json");
    });
    ui.answers = {fw::mrYes};
    const auto t0 = std::chrono::steady_clock::now();
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2400)); // gave up at the timeout
    EXPECT_EQ(ui.messages.back().type, fw::MsgType::Error);
    EXPECT_FALSE(ui.lastText().trimmed().isEmpty());
    EXPECT_FALSE(sc->btnCancelaComissao->Down()); // not shown as cancelled
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_NE(sc->cdsPedido.fieldByName(u"IDCANCCOMISPED").asString(), QStringLiteral("S"));
    // answering in time again, the same action goes through
    proxy.rawScript = nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(1600)); // the late answer has gone
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    EXPECT_EQ(ui.messages.back().text, QStringLiteral("Cancelamento da comissão realizado com sucesso."));
    EXPECT_TRUE(sc->btnCancelaComissao->Down());
}

// The server stopped (nothing listens on its port): loading, cancelling the
// commission and posting a line each say so, lose nothing, and work again
// once the server is back.
TEST_F(FaultsTest, WithTheServerStoppedEachActionSaysSoAndWorksOnceItIsBack)
{
    const int live = fw::ctx().login.webPort;
    int dead = 0;
    { // a port nobody listens on once it is closed
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len), 0);
        dead = ntohs(a.sin_port);
        ::close(fd);
    }
    auto serverAt = [&](int port) {
        fw::ctx().login.webPort = port;
        sc->netComissaoVendedor->setConnected(false);
    };
    const QString unreachable = QStringLiteral("Não foi possível conectar ao servidor 127.0.0.1:%1.").arg(dead);
    const QStringList before = orders();
    serverAt(dead);
    EXPECT_FALSE(run([&] { sc->sbtVerificarClick(); }));
    EXPECT_EQ(ui.lastText(), unreachable);
    EXPECT_EQ(ui.messages.back().type, fw::MsgType::Error);
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_EQ(orders(), before);

    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    EXPECT_EQ(ui.lastText(), unreachable);
    EXPECT_FALSE(sc->btnCancelaComissao->Down());
    EXPECT_EQ(ui.busyDepth, 0);
    auto cancelled = [&] {
        return s.db->scalar(QStringLiteral("SELECT IDCANCCOMISPED FROM PEDIDO WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order})
            .toString();
    };
    EXPECT_EQ(cancelled(), QStringLiteral("N"));
    serverAt(live);
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    EXPECT_EQ(ui.messages.back().text, QStringLiteral("Cancelamento da comissão realizado com sucesso."));
    EXPECT_EQ(cancelled(), QStringLiteral("S"));
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton); // regenerated: lines may be written again
    ASSERT_EQ(cancelled(), QStringLiteral("N"));

    const QString salesman = itemsPageWithoutLines();
    typeLine(salesman);
    serverAt(dead);
    EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(ui.lastText(), unreachable);
    // the line could not be checked: it stays being typed, for another try
    EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Insert);
    EXPECT_EQ(sc->cdsVendedor.fieldByName(u"CDVENDEDOR").asString(), salesman);
    EXPECT_EQ(sc->cdsVendedor.changeCount(), 0);
    EXPECT_EQ(ui.busyDepth, 0);
    auto stored = [&] {
        return s.db->scalar(QStringLiteral("SELECT COUNT(*) FROM COMISITEMPED WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order})
            .toInt();
    };
    EXPECT_EQ(stored(), 0);
    // back: the same line goes through as it was typed
    serverAt(live);
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Browse);
    EXPECT_EQ(stored(), 1);
}

} // namespace
