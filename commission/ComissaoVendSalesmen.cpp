// The salesmen of the current item and their commission lines.
#include "ComissaoVend.h"

#include "core/Consiste.h"
#include "core/Context.h"
#include "core/DateUtil.h"

using namespace fw;

void TfrmComissaoVend::cdsItemPedidoAfterScroll()
{
    const bool any = cdsItemPedido.active() && !cdsItemPedido.isEmpty();
    const QString status = any ? cdsItemPedido.fieldByName(u"IDSITITEMPED").asString() : QString();
    dbgVendedor->setEditing(any && status.compare(QLatin1String("3")) <= 0);
    const bool served = status == QLatin1String("4") || status == QLatin1String("6") || status == QLatin1String("7");
    edtDataSaida->setVisible(served);
    lblDataSaida->setVisible(served);
    if (!any)
        return;
    const Payload lanc = CheckResultServ(
        netComissaoVendedor->call(QStringLiteral("GetLanc"), {cdsItemPedido.fieldByName(u"CDFILIAL").asString(),
                                                              cdsItemPedido.fieldByName(u"NRPEDIDO").asString(),
                                                              cdsItemPedido.fieldByName(u"NRITEMPED").asString()}),
        true, 0);
    setDataEach(lanc, {&cdsLancNf, &cdsVendedor});
    if (served) {
        edtDataSaida->clear();
        if (!cdsLancNf.isEmpty())
            edtDataSaida->setText(cdsLancNf.fieldByName(u"DTENTRSAID").displayText());
    }
}
