// Branch selection, branch parameters and loading of the orders.
#include "ComissaoVend.h"

#include "shared/Globals.h"
#include "shared/OrderQuery.h"
#include "core/Consiste.h"
#include "core/Context.h"
#include "widgets/Events.h"

#include <QCloseEvent>
#include <QLocale>
#include <QScopedValueRollback>

using namespace fw;
using namespace Cli_ped03600;

namespace {

void createColumn(TDBGrid& grid, const QString& field, int position, int width)
{
    CriaColuna(grid, field, position);
    const int at = IndiceCol(grid, field);
    std::vector<TColumn> cols = grid.columns();
    cols[static_cast<size_t>(at)].Width = width;
    grid.setColumns(cols);
}

} // namespace

void TfrmComissaoVend::medCdFilialEnter()
{
    cdsPedido.close();
    showOrderCount();
    pgcPadrao->setCurrentWidget(tshFolhaDados);
    setPageEnabled(tshFolhaDados, true);
    setPageEnabled(tshFormulario, false);
    sbtNotaPed->setEnabled(false);
    mnuNotaPed->setEnabled(false);
}

void TfrmComissaoVend::medCdFilialChange()
{
    // product lists belong to one branch
    Filtro.Produto.boTodos = true;
    Filtro.Produto.stLista.clear();
    edtNmFilial->clear();
}

void TfrmComissaoVend::btnFilialBeforePesq()
{
    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).setNull();
    qryFilial->Open();
}

void TfrmComissaoVend::btnFilialAfterPesq()
{
    medCdFilial->setText(qryFilial->Query.fieldByName(u"CDFILIAL").asString());
    edtNmFilial->setText(qryFilial->Query.fieldByName(u"NMFILIAL").asString());
}

void TfrmComissaoVend::Vd_Filial(bool required)
{
    try {
        if (required && EmptyString(medCdFilial->text()))
            MensErro(msgPadrao.Msg(QStringLiteral("Filial_inf")), true);
        const QString code = Ajusta(medCdFilial->text(), 4);
        medCdFilial->setText(code);
        qryFilial->Close();
        qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).setAsString(code);
        qryFilial->Open();
        if (qryFilial->IsEmpty())
            MensErro(msgPadrao.Msg(QStringLiteral("Filial_nc")), true);
        edtNmFilial->setText(qryFilial->Query.fieldByName(u"NMFILIAL").asString());
    } catch (...) {
        focusBack(medCdFilial);
        throw;
    }
}

void TfrmComissaoVend::medCdFilialExit()
{
    Vd_Filial(true);
    const QString code = medCdFilial->text();
    if (code != m_lastBranch) {
        {
            BusyGuard busy(6);
            const Payload params = CheckResultServ(
                netComissaoVendedor->call(QStringLiteral("getParametros"), {code, Operador(), FiliProc()}), true, 0);
            setDataEach(params, {&cdsParamPedido, &cdsParExpedicao, &cdsOperTPed});
            qryVendLog->Close();
            qryVendLog->ParamByName(QStringLiteral("P_CDOPERADOR")).setAsString(Operador());
            qryVendLog->Open();
        }
        const bool ownOrders = cdsParamPedido.fieldByName(u"IDEXIBPEDIDO").asString() == QLatin1String("2");
        if (ownOrdersOnly() && linkedSalesman().trimmed().isEmpty()) {
            MensErro(msgPadrao.Msg(QStringLiteral("Vend_n_relac")), false);
            QMetaObject::invokeMethod(this, [this] { sbtFecharClick(); }, Qt::QueuedConnection);
            return;
        }

        // Visibility mode: an operator restricted to his own orders changes
        // no salesman.
        for (int i = 0; i < dbgItemPedido->columnCountGrid(); ++i)
            dbgItemPedido->column(i).ReadOnly = ownOrders;
        for (const char* f : {"CDVENDEDOR", "NMFANVEN"}) {
            const int at = IndiceCol(*dbgVendedor, QLatin1String(f));
            if (at >= 0)
                dbgVendedor->column(at).ReadOnly = ownOrders;
        }

        // Price mode: by conversion factor, or by unit price.
        if (cdsParamPedido.fieldByName(u"IDTABPRECO").asString() == QLatin1String("2")) {
            DestroiColuna(*dbgItemPedido, QStringLiteral("VRPREUNITPED"));
            DestroiColuna(*dbgItemPedido, QStringLiteral("VRTOTAL"));
            if (IndiceCol(*dbgItemPedido, QStringLiteral("SGFATPRECO")) < 0
                && IndiceCol(*dbgItemPedido, QStringLiteral("QTITEMPED2")) < 0
                && IndiceCol(*dbgItemPedido, QStringLiteral("SGUNIDPAI")) < 0) {
                createColumn(*dbgItemPedido, QStringLiteral("SGFATPRECO"), 6, 43);
                createColumn(*dbgItemPedido, QStringLiteral("QTITEMPED2"), 7, 64);
                createColumn(*dbgItemPedido, QStringLiteral("SGUNIDPAI"), 8, 25);
            }
        } else {
            DestroiColuna(*dbgItemPedido, QStringLiteral("SGFATPRECO"));
            DestroiColuna(*dbgItemPedido, QStringLiteral("QTITEMPED2"));
            DestroiColuna(*dbgItemPedido, QStringLiteral("SGUNIDPAI"));
            if (IndiceCol(*dbgItemPedido, QStringLiteral("VRPREUNITPED")) < 0
                && IndiceCol(*dbgItemPedido, QStringLiteral("VRTOTAL")) < 0) {
                createColumn(*dbgItemPedido, QStringLiteral("VRPREUNITPED"), 6, 73);
                createColumn(*dbgItemPedido, QStringLiteral("VrTotal"), 7, 59);
            }
        }
        m_lastBranch = code;
    }
    sbtFiltroClick();
}

void TfrmComissaoVend::sbtFiltroClick()
{
    Filtro.stCdFilial = medCdFilial->text();
    const bool confirmed = CriaFiltroComissao();
    if (confirmed) {
        auto codes = [](std::initializer_list<std::pair<bool, const char*>> flags) {
            QString out;
            for (const auto& [on, code] : flags)
                if (on)
                    out += QLatin1String(code);
            return out;
        };
        stPrioridade = codes({{Filtro.boNormal, "3"}, {Filtro.boAlta, "2"}, {Filtro.boUrgente, "1"}});
        stStatusPedido = codes({{Filtro.boPPendente, "1"}, {Filtro.boPAndamento, "2"}, {Filtro.boPLiquidado, "35"},
                                {Filtro.boPCancelado, "4"}, {Filtro.boPParcialmente, "6"}});
        stStatusItemPedido = codes({{Filtro.boIPendente, "1"}, {Filtro.boIConfirmado, "2"}, {Filtro.boIAprovado, "3"},
                                    {Filtro.boILiquidado, "46"}, {Filtro.boICancelado, "5"},
                                    {Filtro.boIParcialmente, "7"}});
        const bool restricted = ownOrdersOnly();
        if (!restricted)
            stTVendedor = bost[Filtro.Vendedor.boTodos];
        stOperador = restricted ? Operador() : QString();
        stIdpedido = Filtro.boPedido ? QStringLiteral("1") : QString();
        stOrcamento = Filtro.boOrcamento ? QStringLiteral("2") : QString();
    }
    loadOrders();
    if (!onListPage() && cdsPedido.isEmpty()) {
        mnuFolhaDadosClick();
        dtsPedidoStateChange();
    }
    update();
}

std::vector<RpcArg> TfrmComissaoVend::orderArguments() const
{
    return encodeOrderQuery(OrderQueryFromFiltro());
}

void TfrmComissaoVend::loadOrders()
{
    // The orders are shown as they arrive; the scroll handlers run once,
    // after the last one. A failure puts back what was shown before.
    BusyGuard busy(6);
    const QScopedValueRollback loading(m_loading, true);
    bool begun = false;
    ServerResult r;
    try {
        r = netComissaoVendedor->callStream(
            QStringLiteral("GetPedido"), orderArguments(),
            [&](Table&& piece) {
                if (begun) {
                    cdsPedido.streamAppend(std::move(piece));
                } else {
                    cdsPedido.streamBegin(std::move(piece));
                    begun = true;
                }
            },
            [](qint64 rows) { ctx().ui().busyProgress(rows); });
    } catch (...) {
        cdsPedido.streamAbort();
        throw;
    }
    if (!r.ok || !begun) {
        cdsPedido.streamAbort();
        CheckResultServ(r.ok ? ServerResult::failure(0, QStringLiteral("Resposta inválida do servidor.")) : r, true, 0);
    }
    cdsPedido.streamEnd();
    showOrderCount();
}

void TfrmComissaoVend::showOrderCount()
{
    if (!cdsPedido.active()) {
        // nothing listed yet: say what comes first
        stbPadrao->showMessage(QStringLiteral("Informe a filial e tecle Tab (ou F9 para pesquisar) para listar os pedidos."));
        return;
    }
    const int n = cdsPedido.recordCount();
    stbPadrao->showMessage(n == 0 ? QStringLiteral("Nenhum pedido listado.")
                                  : n == 1 ? QStringLiteral("1 pedido listado.")
                                           : QStringLiteral("%1 pedidos listados.")
                                                 .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(n)));
}

void TfrmComissaoVend::closeEvent(QCloseEvent* e)
{
    if (m_loading) {
        e->ignore();
        return;
    }
    TfrmPadrao::closeEvent(e);
}

void TfrmComissaoVend::cdsPedidoAfterOpen()
{
    pgcPadrao->setCurrentWidget(tshFolhaDados);
    const bool rows = !cdsPedido.isEmpty();
    sbtNotaPed->setEnabled(rows);
    mnuNotaPed->setEnabled(rows);
    showOrderCount();
}

void TfrmComissaoVend::sbtVerificarClick()
{
    if (onListPage()) {
        // keep the current order if it is still listed
        const QString branch = cdsPedido.active() ? cdsPedido.fieldByName(u"CDFILIAL").asString() : QString();
        const QString order = cdsPedido.active() ? cdsPedido.fieldByName(u"NRPEDIDO").asString() : QString();
        loadOrders();
        if (!order.isEmpty())
            cdsPedido.locate({QStringLiteral("CDFILIAL"), QStringLiteral("NRPEDIDO")}, {branch, order});
    } else {
        const QString item = cdsItemPedido.active() ? cdsItemPedido.fieldByName(u"NRITEMPED").asString() : QString();
        {
            BusyGuard busy(6);
            const Payload items = CheckResultServ(
                netComissaoVendedor->call(QStringLiteral("GetItemPedido"),
                                          {cdsPedido.fieldByName(u"CDFILIAL").asString(),
                                           cdsPedido.fieldByName(u"NRPEDIDO").asString()}),
                true, 0);
            cdsItemPedido.setData(items);
        }
        if (!item.isEmpty())
            cdsItemPedido.locate({QStringLiteral("NRITEMPED")}, {item});
    }
}

bool TfrmComissaoVend::ownOrdersOnly() const
{
    return OwnOrdersOnly(cdsParamPedido, cdsOperTPed);
}

QString TfrmComissaoVend::branchCode() const
{
    return medCdFilial->text();
}

QString TfrmComissaoVend::linkedSalesman() const
{
    return qryVendLog->Active() && !qryVendLog->IsEmpty() ? qryVendLog->Query.fieldByName(u"CDVENDEDOR").asString()
                                                         : QString();
}

void TfrmComissaoVend::closeOrderSets()
{
    cdsPedido.close();
    cdsItemPedido.close();
}
