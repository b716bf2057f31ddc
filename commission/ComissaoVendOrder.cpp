// The order's own salesman: changing it on the orders grid and sending the
// change; and sending item changes the same way.
#include "ComissaoVend.h"

#include "core/Consiste.h"
#include "core/FwError.h"
#include "core/Context.h"
#include "widgets/Events.h"

#include <QScopedValueRollback>

using namespace fw;

namespace {

// Sends a record set's pending changes; on failure they are all undone.
void sendChanges(RecordSet& rs, TNetConnection& net, const QString& method, std::vector<RpcArg> extra)
{
    try {
        BusyGuard busy(1);
        std::vector<RpcArg> args{RpcArg::json(rs.delta())};
        args.insert(args.end(), extra.begin(), extra.end());
        CheckResultServ(net.call(method, args), true, 0);
    } catch (...) {
        rs.cancelUpdates();
        throw;
    }
    rs.mergeChangeLog();
}

} // namespace

void TfrmComissaoVend::dbgPadraoEditButtonClick()
{
    if (cdsPedido.active() && !cdsPedido.isEmpty() && cdsPedido.state() == DataSetState::Browse)
        cdsPedido.edit();
}

void TfrmComissaoVend::cdsPedidoBeforeInsert()
{
    throw Abort(); // orders are not created here
}

void TfrmComissaoVend::refuseWhenAccountsGenerated()
{
    cdsContaPaga.setData(CheckResultServ(
        netComissaoVendedor->call(QStringLiteral("GetContaPaga"), {cdsPedido.fieldByName(u"CDFILIAL").asString(),
                                                                   cdsPedido.fieldByName(u"NRPEDIDO").asString()}),
        true, 0));
    if (!cdsContaPaga.isEmpty())
        MensErro(msgPadrao.Msg(QStringLiteral("Conta_gerada")), true);
}

void TfrmComissaoVend::cdsPedidoBeforeEdit()
{
    // Commission already paid out on the order's salesman: the server would
    // refuse the change, so it is refused before anything is typed.
    refuseWhenAccountsGenerated();
}

void TfrmComissaoVend::cdsPedidoCDVENDEDORChange()
{
    if (cdsPedido.state() == DataSetState::Edit)
        cdsPedido.fieldByName(u"NMFANVEN").clear();
}

void TfrmComissaoVend::Vd_VendedorPed(bool required)
{
    if (cdsPedido.state() != DataSetState::Edit)
        return;
    try {
        Field& code = cdsPedido.fieldByName(u"CDVENDEDOR");
        if (code.asString().isEmpty()) {
            if (required)
                MensErro(msgPadrao.Msg(QStringLiteral("Vend_Inf")), true);
            return;
        }
        const QString c = Ajusta(code.asString(), 4);
        if (c != code.asString())
            code.setValue(c);
        cdsPesqVendedor.setData(
            CheckResultServ(netComissaoVendedor->call(QStringLiteral("GetPesqVendedor"), {c}), true, 0));
        if (cdsPesqVendedor.isEmpty())
            MensErro(msgPadrao.Msg(QStringLiteral("Ven_Nao_Cad")), true);
        cdsPedido.fieldByName(u"NMFANVEN").setValue(cdsPesqVendedor.fieldByName(u"NMFANVEN").value());
    } catch (...) {
        const QScopedValueRollback placing(m_placing, true);
        focusBack(dbgPadrao);
        dbgPadrao->setSelectedIndex(IndiceCol(*dbgPadrao, QStringLiteral("CDVENDEDOR")));
        throw;
    }
}

void TfrmComissaoVend::dbgPadraoColExit()
{
    if (m_placing)
        return;
    const Field* f = dbgPadrao->SelectedField();
    if (f && f->fieldName() == QLatin1String("CDVENDEDOR"))
        Vd_VendedorPed(false);
}

void TfrmComissaoVend::cdsPedidoBeforePost()
{
    Vd_VendedorPed(true);
}

void TfrmComissaoVend::cdsPedidoAfterPost()
{
    const Field& code = cdsPedido.fieldByName(u"CDVENDEDOR");
    if (code.asString() == code.oldValue().toString() || cdsPedido.changeCount() <= 0)
        return;
    sendChanges(cdsPedido, *netComissaoVendedor, QStringLiteral("SetPedido"), {Operador()});
}

void TfrmComissaoVend::cdsPedidoAfterCancel()
{
    cdsPedido.cancelUpdates();
}

void TfrmComissaoVend::cdsItemPedidoAfterPost()
{
    if (cdsItemPedido.changeCount() > 0)
        sendChanges(cdsItemPedido, *netComissaoVendedor, QStringLiteral("SetItemPedido"), {});
}
