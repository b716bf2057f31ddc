// The order's own salesman, cancelling and regenerating an order's
// commission, the invoices of an order and the search-and-recalculate
// dialog, on the real screens against a real server.
#include "HostFixture.h"

#include <QLocale>

#include "search/BuscaComissao.h"
#include "shared/Globals.h"
#include "core/FwError.h"
#include "widgets/Events.h"

using namespace testsupport;
using json = nlohmann::json;

namespace {

class OrderActionsTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        sc = openLoaded();
        ASSERT_NE(sc, nullptr);
        ASSERT_GT(sc->cdsPedido.recordCount(), 1);
        order = field("NRPEDIDO");
        s.db->exec(QStringLiteral("DELETE FROM CONTAPAGA WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
        ui.messages.clear();
        proxy.clear();
    }

    QString field(const char* name) { return sc->cdsPedido.fieldByName(QString::fromLatin1(name)).asString(); }
    bool run(const std::function<void()>& fn) { return fw::runHandler(fn); }
    bool typeSalesman(const QString& text)
    {
        auto* m = sc->dbgPadrao->model();
        const int c = fw::IndiceCol(*sc->dbgPadrao, QStringLiteral("CDVENDEDOR"));
        return m->setData(m->index(sc->cdsPedido.recNo(), c), text, Qt::EditRole);
    }
    QString storedSalesman()
    {
        return s.db->scalar(QStringLiteral("SELECT CDVENDEDOR FROM PEDIDO WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order})
            .toString();
    }

    TfrmComissaoVend* sc = nullptr;
    QString order;
};

TEST_F(OrderActionsTest, OrderSalesmanIsValidatedAndSentOnlyWhenItChanged)
{
    const QString before = field("CDVENDEDOR");
    ASSERT_FALSE(before.isEmpty());
    const QString other = before == QLatin1String("0002") ? QStringLiteral("0003") : QStringLiteral("0002");

    // retyping the same salesman stores nothing
    sc->dbgPadraoEditButtonClick();
    ASSERT_EQ(sc->cdsPedido.state(), fw::DataSetState::Edit);
    ASSERT_TRUE(typeSalesman(before));
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(proxy.count("SetPedido"), 0u);

    // a new code clears the name at once, leaving the column fills it
    sc->dbgPadrao->setSelectedIndex(fw::IndiceCol(*sc->dbgPadrao, QStringLiteral("CDVENDEDOR")));
    sc->dbgPadraoEditButtonClick();
    ASSERT_TRUE(typeSalesman(QString::number(other.toInt())));
    EXPECT_TRUE(field("NMFANVEN").isEmpty());
    sc->dbgPadrao->setSelectedIndex(fw::IndiceCol(*sc->dbgPadrao, QStringLiteral("DSMOTCANCCOMISPED")));
    settle();
    sc->dbgPadrao->setSelectedIndex(fw::IndiceCol(*sc->dbgPadrao, QStringLiteral("CDVENDEDOR")));
    EXPECT_EQ(field("CDVENDEDOR"), other);
    EXPECT_FALSE(field("NMFANVEN").isEmpty());
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    ASSERT_EQ(proxy.count("SetPedido"), 1u);
    EXPECT_EQ(proxy.params("SetPedido")[0][1], "ADM");
    EXPECT_EQ(storedSalesman(), other);
    EXPECT_EQ(sc->cdsPedido.changeCount(), 0);
    EXPECT_EQ(ui.busyDepth, 0);

    // an empty code passes the column and is refused on post
    sc->dbgPadraoEditButtonClick();
    ASSERT_TRUE(typeSalesman(QString()));
    EXPECT_TRUE(run([&] { sc->dbgPadraoColExit(); })); // standing on the code column
    EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Vendedor deve ser informado."));
    EXPECT_EQ(sc->cdsPedido.state(), fw::DataSetState::Edit);
    settle();
    EXPECT_EQ(sc->dbgPadrao->SelectedIndex(), fw::IndiceCol(*sc->dbgPadrao, QStringLiteral("CDVENDEDOR")));
    ASSERT_TRUE(typeSalesman(QStringLiteral("9999")));
    EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Vendedor não cadastrado ou sem permissão para gerar comissão."));
    // cancelling on the list page asks first; No keeps the change
    ui.answers = {fw::mrNo};
    sc->sbtCancelarClick();
    EXPECT_EQ(sc->cdsPedido.state(), fw::DataSetState::Edit);
    ui.answers = {fw::mrYes};
    sc->sbtCancelarClick();
    EXPECT_EQ(field("CDVENDEDOR"), other);
    EXPECT_EQ(sc->cdsPedido.changeCount(), 0);

    // a server refusal puts the stored salesman back
    proxy.script = [](const json& req) -> std::optional<json> {
        if (req["method"] == "SetPedido")
            return RecordingProxy::refusal(req, "Falha de gravação.");
        return std::nullopt;
    };
    sc->dbgPadraoEditButtonClick();
    ASSERT_TRUE(typeSalesman(before));
    EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Falha de gravação."));
    EXPECT_EQ(field("CDVENDEDOR"), other);
    EXPECT_EQ(storedSalesman(), other);
    proxy.script = nullptr;

    // orders are never inserted here, and nothing is said about it
    ui.messages.clear();
    EXPECT_FALSE(run([&] { sc->cdsPedido.insert(); }));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(sc->cdsPedido.state(), fw::DataSetState::Browse);

    // commission accounts already generated: the change is refused at once
    s.db->exec(QStringLiteral("INSERT INTO CONTAPAGA (CDFILIAL, NRPEDIDO, CDFILIALPAG, NRLANCTOPAG, NRSEQVENPAG, "
                              "NRPARCELAPAG) VALUES ('0002', ?, '0002', '9999999998', '01', '01')"),
               {order});
    EXPECT_FALSE(run([&] { sc->dbgPadraoEditButtonClick(); }));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Operação bloqueada. Já existe comissão gerada para o pedido."));
    EXPECT_EQ(sc->cdsPedido.state(), fw::DataSetState::Browse);
}

TEST_F(OrderActionsTest, CancellingAndRegeneratingTheCommission)
{
    ASSERT_NE(field("IDCANCCOMISPED"), QStringLiteral("S"));
    // No: nothing sent, the button back up
    ui.answers = {fw::mrNo};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    EXPECT_EQ(ui.messages.back().text, QStringLiteral("Confirma o cancelamento da comissão do pedido %1 ?").arg(order));
    EXPECT_FALSE(sc->btnCancelaComissao->Down());
    EXPECT_EQ(proxy.count("SetCancelaComissaoPed"), 0u);

    // Yes: cancelled on the server, the reloaded order shows it
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    ASSERT_EQ(proxy.count("SetCancelaComissaoPed"), 1u);
    EXPECT_EQ(proxy.params("SetCancelaComissaoPed")[0], json::array({order.toStdString(), "0002", "S"}));
    EXPECT_EQ(ui.messages.back().text, QStringLiteral("Cancelamento da comissão realizado com sucesso."));
    EXPECT_EQ(field("NRPEDIDO"), order);
    EXPECT_EQ(field("IDCANCCOMISPED"), QStringLiteral("S"));
    EXPECT_TRUE(sc->btnCancelaComissao->Down());
    EXPECT_EQ(sc->btnCancelaComissao->toolTip(), QStringLiteral("Regerar Comissionamento"));
    EXPECT_EQ(s.db->scalar(QStringLiteral("SELECT IDCANCCOMISPED FROM PEDIDO WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"),
                           {order}).toString(),
              QStringLiteral("S"));
    main->resize(1100, 640);
    settle();
    shoot(*main, "comissao-cancelada.png");

    // regeneration reverses it
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    EXPECT_EQ(proxy.params("SetCancelaComissaoPed").back()[2], "N");
    EXPECT_EQ(ui.messages.back().text, QStringLiteral("Geração da comissão realizado com sucesso."));
    EXPECT_NE(s.db->scalar(QStringLiteral("SELECT IDCANCCOMISPED FROM PEDIDO WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"),
                           {order}).toString(),
              QStringLiteral("S"));
    EXPECT_FALSE(sc->btnCancelaComissao->Down());
    EXPECT_EQ(sc->btnCancelaComissao->toolTip(), QStringLiteral("Cancelar Comissionamento"));
    shoot(*main, "comissao-em-vigor.png");
    EXPECT_EQ(ui.busyDepth, 0);

    // an order with a cancelled item cannot lose its commission: the text,
    // not the key, and the button back up
    s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '5' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    EXPECT_EQ(ui.lastText(), QStringLiteral(
        "Não foi possível cancelar o comissionamento pois existem itens com situação \"Cancelado\"."));
    EXPECT_EQ(ui.messages.back().type, fw::MsgType::Error);
    EXPECT_FALSE(sc->btnCancelaComissao->Down());
    EXPECT_EQ(ui.busyDepth, 0);
}

// "No" to a regeneration keeps the commission cancelled; each item status
// that forbids cancelling is told in words of its own.
TEST_F(OrderActionsTest, RegenerationAnsweredNoAndTheStatusesThatForbidCancelling)
{
    s.db->exec(QStringLiteral("UPDATE PEDIDO SET IDCANCCOMISPED = 'S' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
    sc->sbtVerificarClick();
    ASSERT_EQ(field("NRPEDIDO"), order);
    ASSERT_TRUE(sc->btnCancelaComissao->Down());
    ui.answers = {fw::mrNo};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    EXPECT_EQ(ui.messages.back().text, QStringLiteral("Deseja regerar os valores de comissão do pedido %1 ?").arg(order));
    EXPECT_TRUE(sc->btnCancelaComissao->Down());
    EXPECT_EQ(sc->btnCancelaComissao->toolTip(), QStringLiteral("Regerar Comissionamento"));
    EXPECT_EQ(proxy.count("SetCancelaComissaoPed"), 0u);
    EXPECT_EQ(s.db->scalar(QStringLiteral("SELECT IDCANCCOMISPED FROM PEDIDO WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"),
                           {order}).toString(),
              QStringLiteral("S"));

    s.db->exec(QStringLiteral("UPDATE PEDIDO SET IDCANCCOMISPED = 'N' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
    sc->sbtVerificarClick();
    ASSERT_FALSE(sc->btnCancelaComissao->Down());
    const std::pair<const char*, QString> cases[] = {
        {"4", QStringLiteral("Não foi possível cancelar o comissionamento pois existem itens com situação \"Liquidado\".")},
        {"6", QStringLiteral("Não foi possível cancelar o comissionamento pois existem itens com situação \"Liquidado\".")},
        {"7", QStringLiteral("Não foi possível cancelar o comisisonamento pois existem itens com situação "
                             "\"Parcialmente Atendido\".")}};
    for (const auto& [status, text] : cases) {
        SCOPED_TRACE(status);
        s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = ? WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"),
                   {QLatin1String(status), order});
        ui.answers = {fw::mrYes};
        QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
        EXPECT_EQ(ui.lastText(), text);
        EXPECT_EQ(ui.messages.back().type, fw::MsgType::Error);
        EXPECT_FALSE(sc->btnCancelaComissao->Down());
        EXPECT_EQ(ui.busyDepth, 0);
    }
}

TEST_F(OrderActionsTest, InvoicesOfTheOrder)
{
    // an order without invoices
    s.db->exec(QStringLiteral("DELETE FROM LANCNF WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
    s.db->exec(QStringLiteral("DELETE FROM NOTAFISCAL WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
    sc->sbtNotaPedClick();
    EXPECT_EQ(ui.lastText(), QStringLiteral("Não há nota fiscal para o pedido."));
    // no orders: nothing is asked of the server
    sc->cdsPedido.close();
    proxy.clear();
    sc->sbtNotaPedClick();
    EXPECT_EQ(proxy.count("GetNota"), 0u);
}

class SearchDialogTest : public OrderActionsTest {
protected:
    // Opens the dialog from the screen; act runs while it is shown.
    void withDialog(const std::function<void(TfrmBuscaComissao&)>& act)
    {
        ui.onModal = [&, act](QObject* d) {
            if (auto* f = qobject_cast<TfrmBuscaComissao*>(d)) {
                f->show();
                settle();
                act(*f);
                f->hide();
                return 0; // closed with its cancel button
            }
            return 0;
        };
        QTest::mouseClick(sc->sbtBuscaComissao, Qt::LeftButton);
    }
    bool confirm(TfrmBuscaComissao& f) { return fw::runHandler([&] { f.sbtConfirmaClick(); }); }
};

TEST_F(SearchDialogTest, DatesAreCheckedInTheirOrderAndClosingStillRefreshes)
{
    withDialog([&](TfrmBuscaComissao& f) {
        EXPECT_TRUE(f.depDeEntrega->isBlank());
        EXPECT_TRUE(f.depAteEntrega->isBlank());
        EXPECT_FALSE(confirm(f));
        EXPECT_EQ(ui.lastText(), QStringLiteral("Data entrega final deve ser informada. "));
        EXPECT_EQ(QApplication::focusWidget(), f.depAteEntrega);
        // the simulation checks the dates the same way and asks nothing
        ui.messages.clear();
        QTest::mouseClick(f.sbtSimula, Qt::LeftButton);
        settle();
        EXPECT_EQ(ui.lastText(), QStringLiteral("Data entrega final deve ser informada. "));
        EXPECT_EQ(proxy.count("GetSimulaBuscaComissao"), 0u);
        EXPECT_FALSE(f.grbSimulacao->isVisible());
        f.depDeEntrega->SetDate(46000);
        EXPECT_FALSE(confirm(f));
        EXPECT_EQ(ui.lastText(), QStringLiteral("Data entrega inicial deve ser menor ou igual à data entrega final."));
        EXPECT_EQ(QApplication::focusWidget(), f.depDeEntrega);
        f.depDeEntrega->clear();
        f.depAteEntrega->SetDate(46000);
        EXPECT_FALSE(confirm(f));
        EXPECT_EQ(ui.lastText(), QStringLiteral("Data entrega inicial deve ser informada. "));
        // equal dates pass; No sends nothing and the dialog stays
        f.depDeEntrega->SetDate(46000);
        ui.answers = {fw::mrNo};
        EXPECT_TRUE(confirm(f));
        EXPECT_EQ(ui.lastText(),
                  QStringLiteral("Deseja buscar os percentuais de comissão para os pedidos no intervalo de datas informado?"));
        EXPECT_EQ(proxy.count("SetBuscaComissao"), 0u);
        f.resize(f.sizeHint());
        shoot(f, "busca-comissao.png");
    });
    // closed with nothing sent, the orders are read again all the same
    EXPECT_EQ(proxy.count("SetBuscaComissao"), 0u);
    EXPECT_EQ(proxy.count("GetPedido"), 1u);
}

// The server failing the recalculation: its words, the busy panel gone, no
// success message, and the dialog still open for another try.
TEST_F(SearchDialogTest, ServerFailureKeepsTheDialogOpenWithoutSuccess)
{
    proxy.script = [](const json& req) -> std::optional<json> {
        if (req["method"] == "SetBuscaComissao")
            return RecordingProxy::refusal(req, "Banco de dados indisponível.");
        return std::nullopt;
    };
    withDialog([&](TfrmBuscaComissao& f) {
        f.depDeEntrega->SetDate(46000);
        f.depAteEntrega->SetDate(46010);
        ui.answers = {fw::mrYes};
        ui.messages.clear();
        QTest::mouseClick(f.sbtConfirma, Qt::LeftButton);
        settle();
        EXPECT_EQ(proxy.count("SetBuscaComissao"), 1u);
        EXPECT_EQ(ui.lastText(), QStringLiteral("Banco de dados indisponível."));
        for (const auto& m : ui.messages)
            EXPECT_NE(m.text, QStringLiteral("Busca finalizada!"));
        EXPECT_EQ(ui.busyDepth, 0);
        EXPECT_EQ(ui.busyKinds.back(), 1);
        EXPECT_TRUE(f.isVisible());
        EXPECT_EQ(f.depDeEntrega->GetDate(), 46000.0);
    });
    proxy.script = nullptr;
}

TEST_F(SearchDialogTest, RecalculationChangesExactlyTheLinesOfTheRange)
{
    s.db->exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = 77.77"));
    const auto dates = s.db->rows(QStringLiteral("SELECT DISTINCT CAST(DTENTPED AS INTEGER) FROM PEDIDO WHERE DTENTPED "
                                                 "IS NOT NULL ORDER BY 1"));
    ASSERT_GE(dates.size(), 3u);
    const double from = dates[dates.size() / 3][0].toDouble(), to = dates[dates.size() / 2][0].toDouble();
    const QString linesOfRange = QStringLiteral(
        "FROM COMISITEMPED CI JOIN ITEMPEDIDO I ON I.CDFILIAL = CI.CDFILIAL AND I.NRPEDIDO = CI.NRPEDIDO AND "
        "I.NRITEMPED = CI.NRITEMPED JOIN PEDIDO P ON P.CDFILIAL = CI.CDFILIAL AND P.NRPEDIDO = CI.NRPEDIDO WHERE "
        "P.DTENTPED >= ? AND P.DTENTPED < ? AND COALESCE(P.IDCANCCOMISPED, 'N') <> 'S' AND I.IDSITITEMPED NOT IN "
        "('4', '5', '6', '7') AND NOT EXISTS (SELECT 1 FROM CONTAPAGA CP WHERE CP.CDFILIAL = P.CDFILIAL AND "
        "CP.NRPEDIDO = P.NRPEDIDO) AND EXISTS (SELECT 1 FROM PAREXPEDICAO PE WHERE PE.CDFILIAL = P.CDFILIAL AND "
        "PE.IDCOMISPERIODO = 'N')"); // a branch that generates commission by period is not recalculated here
    const int expected = s.db->scalar(QStringLiteral("SELECT COUNT(*) ") + linesOfRange, {from, to + 1}).toInt();
    ASSERT_GT(expected, 0);
    withDialog([&](TfrmBuscaComissao& f) {
        f.depDeEntrega->SetDate(from);
        f.depAteEntrega->SetDate(to);
        // first the simulation: the same lines, nothing written
        const std::string stored = s.checksum(QStringLiteral("COMISITEMPED"));
        const QString n = QLocale(QLocale::Portuguese, QLocale::Brazil).toString(expected);
        QTest::mouseClick(f.sbtSimula, Qt::LeftButton);
        settle();
        EXPECT_EQ(proxy.count("SetBuscaComissao"), 0u);
        EXPECT_EQ(s.checksum(QStringLiteral("COMISITEMPED")), stored);
        EXPECT_TRUE(f.grbSimulacao->isVisible());
        EXPECT_TRUE(f.dbgSimLinhas->isVisible());
        EXPECT_TRUE(f.lblSimulacao->text().contains(QStringLiteral("seriam alteradas %1 linhas de comissão em ").arg(n)))
            << f.lblSimulacao->text().toStdString();
        EXPECT_TRUE(f.lblSimulacao->text().endsWith(QStringLiteral("Nada foi gravado.")) || f.lblSimulacao->text().contains(QStringLiteral("as primeiras")));
        EXPECT_EQ(f.cdsSimTotal.fieldByName(u"QTLINHAS").asInteger(), expected);
        EXPECT_EQ(f.cdsSimLinhas.recordCount(), std::min(expected, 200));
        EXPECT_GT(f.cdsSimVendedor.recordCount(), 0);
        f.cdsSimLinhas.first();
        EXPECT_DOUBLE_EQ(f.cdsSimLinhas.fieldByName(u"VRPECOMITPEDANT").asFloat(), 77.77);
        EXPECT_EQ(ui.busyKinds.back(), 1);
        shoot(f, "busca-comissao-simulacao.png");
        // then the run: the notice says how many lines changed
        ui.answers = {fw::mrYes};
        QTest::mouseClick(f.sbtConfirma, Qt::LeftButton);
        settle();
        EXPECT_EQ(ui.lastText(), QStringLiteral("Busca finalizada!\n%1 linhas de comissão alteradas.").arg(n));
        EXPECT_EQ(ui.busyKinds.back(), 1);
        EXPECT_FALSE(f.grbSimulacao->isVisible());
    });
    EXPECT_EQ(proxy.params("SetBuscaComissao").at(0), json::array({from, to}));
    // every changed line is one of the range, and the range's lines changed
    const int changed = s.db->scalar(QStringLiteral("SELECT COUNT(*) FROM COMISITEMPED WHERE VRPECOMITPED <> 77.77")).toInt();
    const int changedInRange =
        s.db->scalar(QStringLiteral("SELECT COUNT(*) ") + linesOfRange + QStringLiteral(" AND CI.VRPECOMITPED <> 77.77"),
                     {from, to + 1})
            .toInt();
    EXPECT_EQ(changed, changedInRange);
    EXPECT_EQ(changedInRange, expected);
    EXPECT_EQ(ui.busyDepth, 0);
}

} // namespace
