// The commission screen against a real server: which commands each state
// enables on both pages, what the order query sends, browsing orders and
// items (totals, captions, the commission toggle, sorting), refreshes and
// server failures.
#include "HostFixture.h"

#include "shared/Globals.h"
#include "core/DateUtil.h"

#include <QHeaderView>
#include <QMdiSubWindow>
#include <QPointer>

using namespace testsupport;
using json = nlohmann::json;

namespace {

class ScreenTest : public HostFixture {
protected:
    TfrmComissaoVend* load() { return openLoaded(); }

    // Two items totalling 1.234 each (the first one liquidated and
    // personalised, the second pending with no type), every other item
    // worth nothing, and the order's commission cancelled.
    void prepareOrder(const QString& order)
    {
        const auto items = s.db->rows(
            QStringLiteral("SELECT NRITEMPED FROM ITEMPEDIDO WHERE CDFILIAL = '0002' AND NRPEDIDO = ? ORDER BY NRITEMPED"),
            {order});
        ASSERT_GE(items.size(), 2u);
        s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET QTITEMPED = 1, VRPREUNITPED = 0, IDSITITEMPED = '1', "
                                  "IDITPEDDIFER = 'P' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"),
                   {order});
        s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET VRPREUNITPED = 1.234, IDSITITEMPED = '4', IDITPEDDIFER = 'S' "
                                  "WHERE CDFILIAL = '0002' AND NRPEDIDO = ? AND NRITEMPED = ?"),
                   {order, items[0][0]});
        s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET VRPREUNITPED = 1.234, IDITPEDDIFER = NULL "
                                  "WHERE CDFILIAL = '0002' AND NRPEDIDO = ? AND NRITEMPED = ?"),
                   {order, items[1][0]});
        s.db->exec(QStringLiteral("UPDATE PEDIDO SET IDCANCCOMISPED = 'S' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
    }

    static QString key(const fw::RecordSet& rs, const char* field) { return const_cast<fw::RecordSet&>(rs).findField(QString::fromLatin1(field))->asString(); }
    static bool pageOn(TfrmComissaoVend* sc, QWidget* page) { return sc->pgcPadrao->isTabEnabled(sc->pgcPadrao->indexOf(page)); }
};

// Which of the standard commands are on, in a fixed order, as "1"/"0".
QString commands(TfrmComissaoVend* sc)
{
    QString out;
    for (QAction* a : {sc->mnuConfirmar, sc->mnuCancelar, sc->mnuIncluir, sc->mnuAlterar, sc->mnuExcluir,
                       sc->mnuProcurar, sc->mnuImprimir})
        out += a->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

// Branch controls, filter, invoice and navigator, as "1"/"0".
QString bar(TfrmComissaoVend* sc)
{
    QString out;
    for (QWidget* w : {static_cast<QWidget*>(sc->medCdFilial), static_cast<QWidget*>(sc->btnFilial),
                       static_cast<QWidget*>(sc->lblFilial), static_cast<QWidget*>(sc->sbtFiltro),
                       static_cast<QWidget*>(sc->sbtNotaPed), static_cast<QWidget*>(sc->dbnPadrao)})
        out += w->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

TEST_F(ScreenTest, CancelledFirstDialogStillAsksForOrdersWithEmptyListsAndFindsNone)
{
    cancelFilter = true;
    TfrmComissaoVend* sc = openScreen();
    proxy.clear();
    sc->medCdFilialExit();
    settle();
    const auto calls = proxy.params("GetPedido");
    ASSERT_EQ(calls.size(), 1u);
    const json& a = calls[0];
    ASSERT_EQ(a.size(), 30u);
    // the code lists were never built, so neither are their "all" flags
    for (int i : {5, 11, 12, 13, 14, 15, 16, 25, 26, 27})
        EXPECT_EQ(a[i], "") << "argument " << i + 1;
    EXPECT_EQ(a[28], "0002");
    EXPECT_EQ(sc->cdsPedido.recordCount(), 0);
    EXPECT_EQ(ui.busyDepth, 0);

    // with no orders: no search, print, items page or commission button
    EXPECT_EQ(commands(sc), QStringLiteral("0000000"));
    EXPECT_FALSE(sc->sbtProcurar->isEnabled());
    EXPECT_FALSE(sc->sbtImprimir->isEnabled());
    EXPECT_FALSE(pageOn(sc, sc->tshFormulario));
    EXPECT_FALSE(sc->mnuFormulario->isEnabled());
    EXPECT_FALSE(sc->btnCancelaComissao->isEnabled());
    EXPECT_TRUE(sc->sbtFiltro->isEnabled());
    EXPECT_TRUE(sc->mnuFiltrar->isEnabled());
}

TEST_F(ScreenTest, OrderStateRulesOnBothPages)
{
    TfrmComissaoVend* sc = load();
    ASSERT_GT(sc->cdsPedido.recordCount(), 1);
    ASSERT_EQ(key(sc->cdsPedido, "IDSITPEDIDO"), QStringLiteral("1")); // the default filter lists pending orders

    // browsing the list: search and print; no insert or delete on this page
    sc->dtsPedidoStateChange();
    EXPECT_EQ(commands(sc), QStringLiteral("0000011"));
    EXPECT_EQ(bar(sc), QStringLiteral("111111"));
    EXPECT_TRUE(pageOn(sc, sc->tshFormulario));
    EXPECT_TRUE(sc->mnuFormulario->isEnabled());
    EXPECT_TRUE(sc->btnCancelaComissao->isEnabled());
    EXPECT_TRUE(sc->sbtProcurar->isEnabled()); // the menu twins reach the buttons
    EXPECT_FALSE(sc->sbtIncluir->isEnabled());

    // an order being changed: confirm and cancel, nothing that leaves it
    sc->cdsPedido.edit();
    EXPECT_EQ(commands(sc), QStringLiteral("1100000"));
    EXPECT_EQ(bar(sc), QStringLiteral("000000"));
    EXPECT_FALSE(pageOn(sc, sc->tshFormulario));
    EXPECT_FALSE(sc->mnuFormulario->isEnabled());
    EXPECT_FALSE(sc->btnCancelaComissao->isEnabled());
    EXPECT_TRUE(sc->sbtConfirmar->isEnabled());
    EXPECT_FALSE(sc->mnuFiltrar->isEnabled());
    EXPECT_FALSE(sc->mnuNotaPed->isEnabled());
    // ...unless the order is liquidated: "3" is above "2"
    sc->cdsPedido.fieldByName(u"IDSITPEDIDO").setValue(QStringLiteral("3"));
    sc->dtsPedidoStateChange();
    EXPECT_EQ(commands(sc), QStringLiteral("0000000"));
    sc->cdsPedido.cancel();
    EXPECT_EQ(key(sc->cdsPedido, "IDSITPEDIDO"), QStringLiteral("1"));

    // on the items page the order rules allow insert and delete, and edit
    // when the item has salesmen
    sc->mnuFormularioClick();
    settle();
    ASSERT_FALSE(sc->cdsItemPedido.isEmpty());
    sc->cdsItemPedido.fieldByName(u"IDSITITEMPED"); // present
    sc->dtsPedidoStateChange();
    EXPECT_TRUE(sc->mnuIncluir->isEnabled());
    EXPECT_TRUE(sc->mnuExcluir->isEnabled());
    EXPECT_EQ(sc->mnuAlterar->isEnabled(), !sc->cdsVendedor.isEmpty());
    EXPECT_FALSE(sc->btnCancelaComissao->isEnabled()); // only on the list page
    // not while the branch field has the focus (its enter handler is kept out)
    {
        QSignalBlocker quiet(qApp);
        sc->medCdFilial->setFocus();
        QApplication::processEvents();
    }
    ASSERT_EQ(QApplication::focusWidget(), sc->medCdFilial);
    sc->dtsPedidoStateChange();
    EXPECT_FALSE(sc->mnuIncluir->isEnabled());
    EXPECT_FALSE(sc->mnuExcluir->isEnabled());
    EXPECT_FALSE(sc->mnuAlterar->isEnabled());
    {
        QSignalBlocker quiet(qApp);
        sc->dbgItemPedido->setFocus();
        QApplication::processEvents();
    }
    // nor on a liquidated order
    sc->cdsPedido.edit();
    sc->cdsPedido.fieldByName(u"IDSITPEDIDO").setValue(QStringLiteral("5"));
    sc->dtsPedidoStateChange();
    EXPECT_FALSE(sc->mnuIncluir->isEnabled());
    EXPECT_FALSE(sc->mnuConfirmar->isEnabled());
    sc->cdsPedido.cancel();
}

TEST_F(ScreenTest, SalesmanStateRulesOnTheItemsPage)
{
    TfrmComissaoVend* sc = load();
    const QString order = key(sc->cdsPedido, "NRPEDIDO");
    prepareOrder(order);
    sc->mnuFormularioClick();
    settle();
    ASSERT_EQ(sc->cdsItemPedido.recordCount() >= 2, true);

    // the second item is pending and has salesmen
    sc->cdsItemPedido.moveTo(1);
    ASSERT_EQ(key(sc->cdsItemPedido, "IDSITITEMPED"), QStringLiteral("1"));
    if (sc->cdsVendedor.isEmpty()) {
        s.db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) "
                                  "VALUES ('0002', ?, ?, '0001', 2)"),
                   {order, key(sc->cdsItemPedido, "NRITEMPED")});
        sc->cdsItemPedidoAfterScroll();
    }
    ASSERT_FALSE(sc->cdsVendedor.isEmpty());
    sc->dtsPadraoStateChange();
    EXPECT_EQ(commands(sc), QStringLiteral("0011111"));
    EXPECT_EQ(bar(sc), QStringLiteral("111111"));
    EXPECT_TRUE(pageOn(sc, sc->tshFolhaDados));
    EXPECT_FALSE(sc->btnCancelaComissao->isEnabled());

    // a salesman line being changed
    Cli_ped03600::boBuscarComis = false;
    sc->cdsVendedor.edit();
    sc->dtsPadraoStateChange();
    EXPECT_EQ(commands(sc), QStringLiteral("1100000"));
    EXPECT_EQ(bar(sc), QStringLiteral("000000"));
    EXPECT_FALSE(pageOn(sc, sc->tshFolhaDados));
    EXPECT_FALSE(sc->mnuFolhaDados->isEnabled());
    EXPECT_TRUE(Cli_ped03600::boBuscarComis);
    sc->cdsVendedor.cancel();
    sc->dtsPadraoStateChange();
    EXPECT_TRUE(pageOn(sc, sc->tshFolhaDados));

    // an item without salesmen: only insert
    sc->cdsVendedor.emptyDataSet();
    sc->dtsPadraoStateChange();
    EXPECT_EQ(commands(sc), QStringLiteral("0010000"));

    // the liquidated first item: its salesmen can only be looked at
    sc->cdsItemPedido.first();
    ASSERT_EQ(key(sc->cdsItemPedido, "IDSITITEMPED"), QStringLiteral("4"));
    sc->dtsPadraoStateChange();
    EXPECT_FALSE(sc->mnuIncluir->isEnabled());
    EXPECT_FALSE(sc->mnuAlterar->isEnabled());
    EXPECT_FALSE(sc->mnuExcluir->isEnabled());
    EXPECT_EQ(sc->mnuProcurar->isEnabled(), !sc->cdsVendedor.isEmpty());
}

TEST_F(ScreenTest, OrderTotalCaptionsAndTheCommissionToggle)
{
    TfrmComissaoVend* sc = load();
    ASSERT_GT(sc->cdsPedido.recordCount(), 1);
    sc->cdsPedido.moveTo(1);
    const QString order = key(sc->cdsPedido, "NRPEDIDO");
    prepareOrder(order);
    sc->sbtVerificarClick(); // the list again, on the same order
    ASSERT_EQ(key(sc->cdsPedido, "NRPEDIDO"), order);
    sc->cdsPedidoAfterScroll();

    // 1.234 + 1.234 rounds each before adding: 2.46, not 2.47
    EXPECT_DOUBLE_EQ(sc->nedTotal->GetNumber(), 2.46);
    EXPECT_EQ(sc->nedTotal->text(), QStringLiteral("2,46"));
    // the first item is liquidated: the salesman grid is read-only even
    // though the next one is pending
    EXPECT_FALSE(sc->dbgVendedor->editing());
    EXPECT_FALSE(sc->edtDataSaida->isHidden());
    EXPECT_EQ(sc->cdsItemPedido.fieldByName(u"IDSITITEMPED").displayText(), QStringLiteral("LQ"));
    EXPECT_EQ(sc->cdsItemPedido.fieldByName(u"IDITPEDDIFER").displayText(), QStringLiteral("Personalizado"));
    sc->cdsItemPedido.moveTo(1);
    EXPECT_EQ(sc->cdsItemPedido.fieldByName(u"IDSITITEMPED").displayText(), QStringLiteral("PE"));
    EXPECT_EQ(sc->cdsItemPedido.fieldByName(u"IDITPEDDIFER").displayText(), QStringLiteral("Normal"));
    EXPECT_TRUE(sc->dbgVendedor->editing());
    EXPECT_TRUE(sc->edtDataSaida->isHidden());
    EXPECT_EQ(sc->cdsPedido.fieldByName(u"IDSITPEDIDO").displayText(), QStringLiteral("PE"));

    // the commission of this order is cancelled: the toggle is down
    EXPECT_TRUE(sc->btnCancelaComissao->Down());
    EXPECT_EQ(sc->btnCancelaComissao->toolTip(), QStringLiteral("Regerar Comissionamento"));
    sc->cdsPedido.first();
    EXPECT_NE(key(sc->cdsPedido, "IDCANCCOMISPED"), QStringLiteral("S"));
    EXPECT_FALSE(sc->btnCancelaComissao->Down());
    EXPECT_EQ(sc->btnCancelaComissao->toolTip(), QStringLiteral("Cancelar Comissionamento"));

    // captions of every status code, and none for an unknown one
    EXPECT_EQ(QStringList({sc->orderStatusCaption("1"), sc->orderStatusCaption("2"), sc->orderStatusCaption("3"),
                           sc->orderStatusCaption("4"), sc->orderStatusCaption("5"), sc->orderStatusCaption("6"),
                           sc->orderStatusCaption("9")}),
              QStringList({"PE", "AN", "LQ", "CN", "LQ", "PA", ""}));
    EXPECT_EQ(QStringList({sc->itemStatusCaption("1"), sc->itemStatusCaption("2"), sc->itemStatusCaption("3"),
                           sc->itemStatusCaption("4"), sc->itemStatusCaption("5"), sc->itemStatusCaption("6"),
                           sc->itemStatusCaption("7"), sc->itemStatusCaption("")}),
              QStringList({"PE", "CF", "AP", "LQ", "CN", "LQ", "PA", ""}));
}

TEST_F(ScreenTest, ItemCellsArePaintedByStatusWithTheirFormats)
{
    TfrmComissaoVend* sc = load();
    const QString order = key(sc->cdsPedido, "NRPEDIDO");
    prepareOrder(order);
    sc->cdsPedidoAfterScroll();
    auto paint = [&](const char* field) {
        fw::CellStyle st;
        const int col = fw::IndiceCol(*sc->dbgItemPedido, QLatin1String(field));
        EXPECT_GE(col, 0) << field;
        sc->dbgItemPedidoDrawColumnCell(sc->dbgItemPedido->column(col), sc->cdsItemPedido.fieldByName(QString::fromLatin1(field)), st);
        return st;
    };
    // branch 0002 prices by factor: quantities in both units, "##0.000"
    fw::CellStyle q = paint("QTITEMPED");
    EXPECT_EQ(q.foreground, QColor(128, 0, 128)); // liquidated: purple
    EXPECT_EQ(q.text, QStringLiteral("1,000"));
    EXPECT_TRUE(q.alignment & Qt::AlignRight);
    fw::CellStyle code = paint("CDARVPROD");
    EXPECT_TRUE(code.alignment & Qt::AlignLeft);
    EXPECT_EQ(code.text.count(QLatin1Char('.')), 3) << code.text.toStdString(); // masked as 9.99.999.9999
    sc->cdsItemPedido.moveTo(1);
    EXPECT_EQ(paint("QTITEMPED").foreground, QColor(0, 0, 255)); // pending: blue
}

TEST_F(ScreenTest, TitleClickSortsAndCtrlDeleteIsSwallowed)
{
    TfrmComissaoVend* sc = load();
    ASSERT_GT(sc->cdsPedido.recordCount(), 3);
    const int col = fw::IndiceCol(*sc->dbgPadrao, QStringLiteral("NMFANTCLIE"));
    ASSERT_GE(col, 0);
    QHeaderView* header = sc->dbgPadrao->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(col) + 5, header->height() / 2));
    EXPECT_EQ(sc->cdsPedido.indexFieldNames(), QStringLiteral("NMFANTCLIE"));
    QStringList names;
    for (int r = 0; r < sc->cdsPedido.recordCount(); ++r)
        names << sc->cdsPedido.withRow(r, [&] { return key(sc->cdsPedido, "NMFANTCLIE"); });
    QStringList sorted = names;
    std::stable_sort(sorted.begin(), sorted.end());
    EXPECT_EQ(names, sorted);

    // the items sort by product code
    sc->mnuFormularioClick();
    settle();
    sc->dbgItemPedidoTitleClick(sc->dbgItemPedido->column(fw::IndiceCol(*sc->dbgItemPedido, QStringLiteral("NMPRODUTO"))));
    EXPECT_EQ(sc->cdsItemPedido.indexFieldNames(), QStringLiteral("NMPRODUTO"));

    // Ctrl+Delete deletes no item
    const int items = sc->cdsItemPedido.recordCount();
    sc->dbgItemPedido->setFocus();
    QTest::keyClick(sc->dbgItemPedido, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(sc->cdsItemPedido.recordCount(), items);
}

TEST_F(ScreenTest, OrderQuerySendsTheThirtyArgumentsInOrder)
{
    TfrmComissaoVend* sc = openScreen();
    TFiltro& f = Cli_ped03600::Filtro;
    f.NrPedido.boIntervalo = true;
    f.NrPedido.stDe = QStringLiteral("0000000001");
    f.NrPedido.stAte = QStringLiteral("0000009999");
    f.Vendedor.boTodos = false;
    f.Vendedor.stLista = QStringLiteral("0001,0002");
    f.Cliente.boTodos = false;
    f.Cliente.stLista = QStringLiteral("CLI00001");
    f.boUrgente = false;
    f.boPAndamento = f.boPLiquidado = f.boPCancelado = true; // every order status but "Parc. Atendido"
    f.boIParcialmente = false;                              // every item status but "Parc. Atendido"
    f.boSemEntrega = false;
    f.dtDeEntrega = 46000;
    f.dtAteEntrega = 46010;
    f.MuniciCli.boTodos = false;
    f.MuniciCli.stLista = QStringLiteral("3509502");
    f.boOrcamento = true;
    f.Ordem.stOrdemCompra = QStringLiteral("OC-15");
    proxy.clear();
    sc->medCdFilialExit();
    const auto calls = proxy.params("GetPedido");
    ASSERT_EQ(calls.size(), 1u);
    const double today = fw::date::today();
    const json expected = json::array(
        {"", "0000000001", "0000009999", "T", "", "", "0001,0002", "", "CLI00001", "T", "", "32", "", "12354", "T",
         "123465", "T", "", today - 8, today, "", 46000.0, 46010.0, "3509502", "", "", "1", "2", "0002", "OC-15"});
    EXPECT_EQ(calls[0], expected) << calls[0].dump();

    // every priority: "321" and its flag; a cancelled dialog rebuilds nothing
    f.boUrgente = true;
    cancelFilter = true;
    sc->sbtFiltroClick();
    EXPECT_EQ(proxy.params("GetPedido").back()[11], "32");
    cancelFilter = false;
    sc->sbtFiltroClick();
    EXPECT_EQ(proxy.params("GetPedido").back()[11], "321");
    EXPECT_EQ(proxy.params("GetPedido").back()[12], "T");
    // the refresh sends the same arguments again
    sc->sbtVerificarClick();
    EXPECT_EQ(proxy.params("GetPedido").back(), proxy.params("GetPedido").at(2));
}

TEST_F(ScreenTest, RefreshKeepsTheCurrentOrderAndItemWhileTheyAreListed)
{
    TfrmComissaoVend* sc = load();
    ASSERT_GT(sc->cdsPedido.recordCount(), 3);
    sc->cdsPedido.moveTo(2);
    const QString order = key(sc->cdsPedido, "NRPEDIDO");
    sc->sbtVerificarClick();
    EXPECT_EQ(key(sc->cdsPedido, "NRPEDIDO"), order);
    // no longer pending: the refresh lands on the first order
    s.db->exec(QStringLiteral("UPDATE PEDIDO SET IDSITPEDIDO = '2' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
    sc->sbtVerificarClick();
    EXPECT_EQ(sc->cdsPedido.recNo(), 0);
    EXPECT_FALSE(sc->cdsPedido.locate({QStringLiteral("NRPEDIDO")}, {order}));

    sc->mnuFormularioClick();
    settle();
    ASSERT_GT(sc->cdsItemPedido.recordCount(), 1);
    sc->cdsItemPedido.moveTo(1);
    const QString item = key(sc->cdsItemPedido, "NRITEMPED");
    proxy.clear();
    sc->sbtVerificarClick();
    EXPECT_EQ(proxy.count("GetItemPedido"), 1u);
    EXPECT_EQ(proxy.count("GetPedido"), 0u);
    EXPECT_EQ(key(sc->cdsItemPedido, "NRITEMPED"), item);
    EXPECT_EQ(ui.busyDepth, 0);
}

TEST_F(ScreenTest, ServerFailuresKeepWhatIsShown)
{
    TfrmComissaoVend* sc = load();
    ASSERT_GT(sc->cdsPedido.recordCount(), 2);
    sc->cdsPedido.moveTo(1);
    const QString order = key(sc->cdsPedido, "NRPEDIDO");
    const int orders = sc->cdsPedido.recordCount();
    const int items = sc->cdsItemPedido.recordCount();
    const QString item = key(sc->cdsItemPedido, "NRITEMPED");
    proxy.script = [](const json& req) -> std::optional<json> {
        if (req["method"] == "GetPedido" || req["method"] == "GetItemPedido" || req["method"] == "getParametros")
            return RecordingProxy::refusal(req, "Banco de dados indisponível.");
        return std::nullopt;
    };
    const auto busyBefore = ui.busyKinds.size();
    try {
        sc->sbtVerificarClick();
        ADD_FAILURE() << "no failure";
    } catch (...) {
        EXPECT_EQ(fw::exceptionText(std::current_exception()), QStringLiteral("Banco de dados indisponível."));
    }
    EXPECT_EQ(sc->cdsPedido.recordCount(), orders);
    EXPECT_EQ(key(sc->cdsPedido, "NRPEDIDO"), order);
    EXPECT_EQ(sc->cdsItemPedido.recordCount(), items);
    EXPECT_EQ(ui.busyDepth, 0);
    EXPECT_EQ(ui.busyKinds.at(busyBefore), 6);

    // the items of another order cannot be read: the last ones stay
    EXPECT_ANY_THROW(sc->cdsPedido.moveTo(2));
    EXPECT_EQ(sc->cdsItemPedido.recordCount(), items);
    EXPECT_EQ(key(sc->cdsItemPedido, "NRITEMPED"), item);
    EXPECT_EQ(ui.busyDepth, 0);

    // another branch's parameters cannot be read: nothing of it is taken
    sc->medCdFilial->setText(QStringLiteral("0001"));
    EXPECT_ANY_THROW(sc->medCdFilialExit());
    EXPECT_EQ(sc->lastBranch(), QStringLiteral("0002"));
    EXPECT_GE(fw::IndiceCol(*sc->dbgItemPedido, QStringLiteral("SGFATPRECO")), 0);
    EXPECT_EQ(ui.busyDepth, 0);
}

TEST_F(ScreenTest, OperatorWithoutSalesmanUnderOwnOrdersVisibilityClosesTheScreen)
{
    shell.logout();
    shell.login({QStringLiteral("127.0.0.1:%1").arg(proxy.port), QStringLiteral("sqlite:") + s.url.path,
                 QStringLiteral("CONSULTA"), s.password(QStringLiteral("CONSULTA")), QStringLiteral("0001")});
    TfrmComissaoVend* sc = openScreen();
    ASSERT_NE(sc, nullptr);
    sc->medCdFilial->setText(QStringLiteral("0002"));
    modals = 0;
    proxy.clear();
    sc->medCdFilialExit();
    EXPECT_EQ(ui.lastText(), QStringLiteral("Não há operador parametrizado para o vendedor logado."));
    EXPECT_EQ(modals, 0); // no filter dialog
    EXPECT_EQ(proxy.count("GetPedido"), 0u);
    EXPECT_TRUE(sc->lastBranch().isEmpty());
    settle();
    EXPECT_TRUE(screens().isEmpty());
}

} // namespace

namespace {

TEST_F(ScreenTest, ScreenStaysOpenUntilItsOrdersHaveArrived)
{
    TfrmComissaoVend* sc = load();
    QPointer<TfrmComissaoVend> alive(sc);
    QPointer<QWidget> sub(sc->parentWidget());
    // the user closes the window while the orders are being read
    proxy.script = [&](const json& req) -> std::optional<json> {
        if (req["method"] == "GetPedido")
            QMetaObject::invokeMethod(sub.data(), [&] { sub->close(); }, Qt::QueuedConnection);
        return std::nullopt;
    };
    sc->sbtVerificarClick();
    proxy.script = nullptr;
    settle();
    ASSERT_FALSE(alive.isNull());
    EXPECT_GT(sc->cdsPedido.recordCount(), 0);
    sub->close(); // once loaded it closes as usual
    settle();
    EXPECT_TRUE(alive.isNull());
}

} // namespace

namespace {

// Warnings the code under test writes to the log while this lives.
class LogCapture {
public:
    LogCapture() { m_previous = qInstallMessageHandler(&LogCapture::handler); s_lines = {}; }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    QStringList lines() const { return s_lines; }

private:
    static void handler(QtMsgType type, const QMessageLogContext&, const QString& text)
    {
        if (type == QtWarningMsg || type == QtCriticalMsg)
            s_lines << text;
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

// A filter that finds no order after one that did: no question about an
// order that is not there, and nothing of the last order left to act on.
TEST_F(ScreenTest, AFilterFindingNoOrderLeavesNoItemLinesOrInvoiceCommand)
{
    TfrmComissaoVend* sc = load();
    ASSERT_GT(sc->cdsPedido.recordCount(), 0);
    ASSERT_GT(sc->cdsItemPedido.recordCount(), 0);
    EXPECT_TRUE(sc->sbtNotaPed->isEnabled());
    onFilter = [](TfrmFiltroComisVend& f) {
        f.rbtIntervalo->setChecked(true);
        f.medDeIntervalo->setText(QStringLiteral("9999999998"));
        f.medAteIntervalo->setText(QStringLiteral("9999999999"));
    };
    proxy.clear();
    QTest::mouseClick(sc->sbtFiltro, Qt::LeftButton);
    settle();
    EXPECT_EQ(sc->cdsPedido.recordCount(), 0);
    EXPECT_EQ(proxy.count("GetItemPedido"), 0u);
    EXPECT_EQ(proxy.count("GetLanc"), 0u);
    EXPECT_FALSE(sc->cdsItemPedido.active() && !sc->cdsItemPedido.isEmpty());
    EXPECT_FALSE(sc->cdsVendedor.active() && !sc->cdsVendedor.isEmpty());
    EXPECT_FALSE(sc->sbtNotaPed->isEnabled());
    EXPECT_FALSE(sc->mnuNotaPed->isEnabled()); // Ctrl+N
    EXPECT_EQ(sc->nedTotal->GetNumber(), 0.0);
    EXPECT_TRUE(sc->sbtFiltro->isEnabled());
}

// Another user removes the items of an order after the list was read: on
// reaching it, the salesman lines and invoice entries of the item seen
// before are gone too.
TEST_F(ScreenTest, AnOrderWhoseItemsAreGoneShowsNoLinesOfThePreviousItem)
{
    TfrmComissaoVend* sc = load();
    ASSERT_GT(sc->cdsPedido.recordCount(), 1);
    const QString first = key(sc->cdsPedido, "NRPEDIDO");
    sc->cdsPedido.moveTo(1);
    const QString second = key(sc->cdsPedido, "NRPEDIDO");
    sc->cdsPedido.first();
    // the first item of the first order has a line and an invoice entry
    const QString item = key(sc->cdsItemPedido, "NRITEMPED");
    const QString salesman = s.db->scalar(QStringLiteral("SELECT MIN(CDVENDEDOR) FROM VENDEDOR")).toString();
    s.db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = '0002' AND NRPEDIDO = ? AND NRITEMPED = ?"), {first, item});
    s.db->exec(QStringLiteral("INSERT INTO COMISITEMPED VALUES ('0002', ?, ?, ?, 2.5)"), {first, item, salesman});
    s.db->exec(QStringLiteral("INSERT INTO LANCNF VALUES ('0002', 'T-1', ?, ?, '1', '1', 46000)"), {first, item});
    sc->mnuFormularioClick();
    settle();
    ASSERT_EQ(sc->cdsVendedor.recordCount(), 1);
    ASSERT_GT(sc->cdsLancNf.recordCount(), 0);
    for (const char* table : {"COMISITEMPED", "LANCNF", "HISTCOMISSAO", "ITEMPEDIDO"})
        s.db->exec(QStringLiteral("DELETE FROM %1 WHERE CDFILIAL = '0002' AND NRPEDIDO = ?").arg(QLatin1String(table)), {second});
    sc->mnuFolhaDadosClick();
    settle();
    sc->dbgPadrao->setFocus();
    QTest::keyClick(sc->dbgPadrao, Qt::Key_Down);
    settle();
    ASSERT_EQ(key(sc->cdsPedido, "NRPEDIDO"), second);
    EXPECT_EQ(sc->cdsItemPedido.recordCount(), 0);
    EXPECT_EQ(sc->cdsVendedor.recordCount(), 0);
    EXPECT_EQ(sc->dbgVendedor->model()->rowCount(), 0);
    EXPECT_EQ(sc->cdsLancNf.recordCount(), 0);
    EXPECT_FALSE(sc->dbgVendedor->editing());
}

// A total that cannot be made (items whose sum is past what a number
// holds) is left blank, not shown as a number that reads as a real one, and
// the log says why; the items are shown all the same.
TEST_F(ScreenTest, AnOrderTotalThatCannotBeMadeIsBlankAndLogged)
{
    TfrmComissaoVend* sc = load();
    ASSERT_GT(sc->cdsPedido.recordCount(), 1);
    sc->cdsPedido.moveTo(1);
    const QString order = key(sc->cdsPedido, "NRPEDIDO");
    ASSERT_GE(sc->cdsItemPedido.recordCount(), 2);
    s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET QTITEMPED = 1.5e308, VRPREUNITPED = 1 WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"),
               {order});
    LogCapture log;
    sc->cdsPedido.first();
    sc->cdsPedido.moveTo(1);
    EXPECT_GT(sc->cdsItemPedido.recordCount(), 0);
    EXPECT_TRUE(sc->nedTotal->text().isEmpty()) << sc->nedTotal->text().toStdString();
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("Total do pedido %1 não calculado: ").arg(order)))
        << log.lines().first().toStdString();
    // an order with a total shows it again
    sc->cdsPedido.first();
    EXPECT_FALSE(sc->nedTotal->text().isEmpty());
}

} // namespace
