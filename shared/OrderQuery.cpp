#include "OrderQuery.h"

#include "Globals.h"

#include "core/RecordSet.h"

using namespace Cli_ped03600;

fw::OrderQuery OrderQueryFromFiltro()
{
    const TFiltro& f = Filtro;
    fw::OrderQuery q;
    q.branch = f.stCdFilial;
    q.numberRange = f.NrPedido.boIntervalo;
    q.numberFrom = f.NrPedido.stDe;
    q.numberTo = f.NrPedido.stAte;
    q.numbers = {f.NrPedido.boTodos, f.NrPedido.stLista};
    // kept from the last confirmed filter while the operator sees only his own
    q.salesmen = {stTVendedor == QLatin1String("T"), f.Vendedor.stLista};
    q.customers = {f.Cliente.boTodos, f.Cliente.stLista};
    q.products = {f.Produto.boTodos, f.Produto.stLista};
    q.priorities = stPrioridade;
    q.orderStatuses = stStatusPedido;
    q.itemStatuses = stStatusItemPedido;
    q.anyIssueDate = f.dtDeEmissao == 0;
    q.issuedFrom = f.dtDeEmissao;
    q.issuedTo = f.dtAteEmissao;
    q.anyDeliveryDate = f.dtDeEntrega == 0;
    q.deliveryFrom = f.dtDeEntrega;
    q.deliveryTo = f.dtAteEntrega;
    q.municipalities = {f.MuniciCli.boTodos, f.MuniciCli.stLista};
    q.operatorCode = stOperador;
    q.orders = stIdpedido.contains(QLatin1Char('1'));
    q.quotes = stOrcamento.contains(QLatin1Char('2'));
    q.purchaseOrder = f.Ordem.stOrdemCompra;
    return q;
}

bool OwnOrdersOnly(const fw::RecordSet& cdsParamPedido, const fw::RecordSet& cdsOperTPed)
{
    return cdsParamPedido.active() && cdsParamPedido.fieldByName(u"IDEXIBPEDIDO").asString() == QLatin1String("2")
        && cdsOperTPed.isEmpty();
}
