// What the filter dialog checks before it writes the filter, and the small
// handlers that normalise typed values and enable each group's controls.
#include "FiltroComisVend.h"

#include "shared/Dialogs.h"
#include "shared/Globals.h"
#include "core/Consiste.h"
#include "core/FwError.h"
#include "widgets/Events.h"

#include <QApplication>

using namespace fw;
using namespace Cli_ped03601;

void TfrmFiltroComisVend::fail(QWidget* focus, const char* key)
{
    focusBack(focus);
    MensErro(msgPadrao.Msg(QLatin1String(key)), true);
    throw Abort(); // not reached: the message aborts
}

void TfrmFiltroComisVend::Vd_DeEmissaoInv() { checkTypedDate(depDeEmissao, msgPadrao); }
void TfrmFiltroComisVend::Vd_AteEmissaoInv() { checkTypedDate(depAteEmissao, msgPadrao); }
void TfrmFiltroComisVend::Vd_DeEntregaInv() { checkTypedDate(depDeEntrega, msgPadrao); }
void TfrmFiltroComisVend::Vd_AteEntregaInv() { checkTypedDate(depAteEntrega, msgPadrao); }

void TfrmFiltroComisVend::Vd_Emissao()
{
    const bool de = !EmptyString(depDeEmissao->text()), ate = !EmptyString(depAteEmissao->text());
    if (de && ate && depAteEmissao->GetDate() < depDeEmissao->GetDate())
        fail(depDeEmissao, "DTINI>DTFIN_PEDIDO");
    if (!de && ate)
        fail(depDeEmissao, "DTINI_PEDIDO");
    if (de && !ate)
        fail(depAteEmissao, "DTFIN_PEDIDO");
}

void TfrmFiltroComisVend::Vd_Entrega()
{
    const bool de = !EmptyString(depDeEntrega->text()), ate = !EmptyString(depAteEntrega->text());
    if (de && ate && depAteEntrega->GetDate() < depDeEntrega->GetDate())
        fail(depDeEntrega, "DTINI>DTFIN_ENTREGA");
    if (de && !ate)
        fail(depAteEntrega, "DTFIN_ENTREGA");
    if (!de && ate)
        fail(depDeEntrega, "DTINI_ENTREGA");
}

void TfrmFiltroComisVend::Vd_Intervalo()
{
    if (!rbtIntervalo->isChecked())
        return;
    const QString de = medDeIntervalo->text(), ate = medAteIntervalo->text();
    const bool hasDe = !EmptyString(de), hasAte = !EmptyString(ate);
    if (!hasDe && hasAte)
        fail(medDeIntervalo, "NRINI");
    if (hasDe && !hasAte)
        fail(medAteIntervalo, "NRFIN");
    if (hasDe && hasAte && de > ate)
        fail(medAteIntervalo, "NRINI>NRFIN");
    if (!hasDe && !hasAte)
        fail(medDeIntervalo, "NRINI");
}

void TfrmFiltroComisVend::Vd_StatusPedido()
{
    if (!chbPPendente->isChecked() && !chbPAndamento->isChecked() && !chbPLiquidado->isChecked()
        && !chbPCancelado->isChecked() && !chbPParcialmente->isChecked())
        fail(chbPPendente, "STATUSPED");
}

void TfrmFiltroComisVend::Vd_StatusItemPedido()
{
    if (!chbIPendente->isChecked() && !chbIConfirmado->isChecked() && !chbIAprovado->isChecked()
        && !chbILiquidado->isChecked() && !chbICancelado->isChecked() && !chbIParcialmente->isChecked())
        fail(chbIPendente, "STATUSITEMPED");
}

void TfrmFiltroComisVend::Vd_Prioridade()
{
    if (!chbNormal->isChecked() && !chbAlta->isChecked() && !chbUrgente->isChecked())
        fail(chbNormal, "PRIO");
}

void TfrmFiltroComisVend::Vd_Lista()
{
    if (rbtLCliente->isChecked() && EmptyString(stCliente))
        fail(rbtLCliente, "LCliente");
    if (rbtLMuniciCli->isChecked() && EmptyString(stMuniciCli))
        fail(rbtLMuniciCli, "LMuniciCli");
    if (rbtLNrPedido->isChecked() && EmptyString(stNrPedido))
        fail(rbtLNrPedido, "LNrPedido");
    if (rbtLProduto->isChecked() && EmptyString(stProduto))
        fail(rbtLProduto, "LProduto");
    if (rbtLVendedor->isChecked() && EmptyString(stVendedor))
        fail(rbtLVendedor, "LVendedor");
    if (!chbPedido->isChecked() && !chbOrcamento->isChecked())
        fail(chbPedido, "LTipoPed");
}

void TfrmFiltroComisVend::validateAll()
{
    if (rbtIntervalo->isChecked()) {
        medDeIntervaloExit();
        medAteIntervaloExit();
    }
    QWidget* focus = QApplication::focusWidget();
    const bool deliveryFirst = focus && (focus == depDeEntrega || focus == depAteEntrega || depDeEntrega->isAncestorOf(focus)
                                         || depAteEntrega->isAncestorOf(focus));
    auto entry = [this] {
        Vd_DeEmissaoInv();
        Vd_AteEmissaoInv();
        Vd_Emissao();
    };
    auto delivery = [this] {
        Vd_DeEntregaInv();
        Vd_AteEntregaInv();
        Vd_Entrega();
    };
    if (deliveryFirst) {
        delivery();
        entry();
    } else {
        entry();
        delivery();
    }
    Vd_Intervalo();
    Vd_StatusPedido();
    Vd_StatusItemPedido();
    Vd_Lista();
    Vd_Prioridade();
}

void TfrmFiltroComisVend::medDeIntervaloExit()
{
    medDeIntervalo->setText(Ajusta(medDeIntervalo->text(), 10));
}

void TfrmFiltroComisVend::medAteIntervaloExit()
{
    medAteIntervalo->setText(Ajusta(medAteIntervalo->text(), 10));
}

void TfrmFiltroComisVend::edtOrdemCompraExit()
{
    edtOrdemCompra->setText(Ajusta(edtOrdemCompra->text(), 15));
}

void TfrmFiltroComisVend::medDeIntervaloChange()
{
    rbtIntervalo->setChecked(true);
}

void TfrmFiltroComisVend::rbtLClienteClick() { sbtCliente->setEnabled(rbtLCliente->isChecked()); }
void TfrmFiltroComisVend::rbtLMuniciCliClick() { sbtMuniciCli->setEnabled(rbtLMuniciCli->isChecked()); }
void TfrmFiltroComisVend::rbtLProdutoClick() { sbtProduto->setEnabled(rbtLProduto->isChecked()); }
void TfrmFiltroComisVend::rbtLVendedorClick() { sbtVendedor->setEnabled(rbtLVendedor->isChecked()); }

void TfrmFiltroComisVend::rbtTNrPedidoClick()
{
    for (QWidget* w : std::initializer_list<QWidget*>{btnPesqNrPed, medDeIntervalo, medAteIntervalo, lblDeNrPedido,
                                                      lblAteNrPedido})
        w->setEnabled(false);
    rbtTNrPedido->setChecked(true);
}

void TfrmFiltroComisVend::rbtIntervaloClick()
{
    const bool on = rbtIntervalo->isChecked();
    btnPesqNrPed->setEnabled(!on);
    for (QWidget* w : std::initializer_list<QWidget*>{medDeIntervalo, medAteIntervalo, lblDeNrPedido, lblAteNrPedido})
        w->setEnabled(on);
    // Only choosing the option moves the focus, not showing the record again.
    if (isVisible() && !m_activating)
        focusBack(medDeIntervalo);
}

void TfrmFiltroComisVend::rbtLNrPedidoClick()
{
    const bool on = rbtLNrPedido->isChecked();
    btnPesqNrPed->setEnabled(on);
    for (QWidget* w : std::initializer_list<QWidget*>{medDeIntervalo, medAteIntervalo, lblDeNrPedido, lblAteNrPedido})
        w->setEnabled(!on);
    rbtLNrPedido->setChecked(true);
}
