// Commission cancellation and regeneration, the order's invoices and the
// automatic commission search.
#include "ComissaoVend.h"

#include "shared/ComissaoScreen.h"
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/FwError.h"

using namespace fw;

void TfrmComissaoVend::btnCancelaComissaoClick()
{
    const bool cancel = btnCancelaComissao->Down(); // the click has toggled it already
    try {
        const QString order = cdsPedido.fieldByName(u"NRPEDIDO").asString();
        const QString branch = cdsPedido.fieldByName(u"CDFILIAL").asString();
        const QString question = msgPadrao.Msg(cancel ? QStringLiteral("ConfCanComiss") : QStringLiteral("ConfGerComiss"));
        if (ctx().ui().showMessage(QString(question).replace(QLatin1String("%s"), order), MsgType::Confirmation,
                                   Buttons::YesNo, 0) == mrYes) {
            BusyGuard busy(6);
            CheckResultServ(netComissaoVendedor->call(QStringLiteral("SetCancelaComissaoPed"),
                                                      {order, branch, cancel ? "S" : "N"}),
                            true, 0);
            if (cancel) {
                busy.stop();
                msgPadrao.ShowMsg(QStringLiteral("ConfCanComiss_Suc"), MsgType::Information, Buttons::Ok);
            } else {
                msgPadrao.ShowMsg(QStringLiteral("ConfGerComiss_Suc"), MsgType::Information, Buttons::Ok);
                busy.stop();
            }
            sbtVerificarClick();
        } else {
            btnCancelaComissao->SetDown(!cancel);
        }
        const bool cancelled = cdsPedido.active()
            && cdsPedido.fieldByName(u"IDCANCCOMISPED").asString() == QLatin1String("S");
        btnCancelaComissao->setToolTip(cancelled ? QStringLiteral("Regerar Comissionamento")
                                                 : QStringLiteral("Cancelar Comissionamento"));
    } catch (const Abort&) {
        throw;
    } catch (const Error& e) {
        btnCancelaComissao->SetDown(!cancel);
        for (const char* key : {"Item_Liq", "Item_Canc", "Item_ParcA"})
            if (e.text() == QLatin1String(key))
                MensErro(msgPadrao.Msg(QLatin1String(key)), true);
        throw;
    } catch (...) {
        btnCancelaComissao->SetDown(!cancel);
        throw;
    }
}

void TfrmComissaoVend::sbtNotaPedClick()
{
    if (!cdsPedido.active() || cdsPedido.isEmpty())
        return;
    const QString branch = cdsPedido.fieldByName(u"CDFILIAL").asString();
    const QString order = cdsPedido.fieldByName(u"NRPEDIDO").asString();
    cdsNota.setData(CheckResultServ(netNotaPed->call(QStringLiteral("GetNota"), {branch, order}), true, 0));
    if (cdsNota.isEmpty()) {
        msgPadrao.ShowMsg(QStringLiteral("NOTA_EMPTY"), MsgType::Information, Buttons::Ok);
        return;
    }
    LoadBPL(QStringLiteral("PED00103"), {branch, order});
}

void TfrmComissaoVend::sbtBuscaComissaoClick()
{
    CriaBuscaComissao();
    sbtVerificarClick();
}
