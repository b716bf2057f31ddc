// The filter dialog's life: showing the filter record, confirming it,
// clearing the controls, the saved options, and the list pickers.
#include "FiltroComisVend.h"

#include "shared/ComissaoScreen.h"
#include "shared/Dialogs.h"
#include "shared/Globals.h"
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/DateUtil.h"
#include "core/Services.h"
#include "widgets/Events.h"

#include <QScopeGuard>
#include <QScopedValueRollback>

using namespace fw;
using namespace Cli_ped03601;
using Cli_ped03600::Filtro;

namespace {

// The option that the record's flags select: "Todos" or "Lista".
void showList(const TProduto& sub, QString& working, QRadioButton* all, QRadioButton* list, QToolButton* search)
{
    working = sub.stLista;
    if (sub.boTodos) {
        all->setChecked(true);
    } else {
        list->setChecked(true);
        search->setEnabled(true);
    }
}

void showDate(TDateEditPlus* edit, double value)
{
    if (value == 0.0)
        edit->clear();
    else
        edit->SetDate(value);
}

} // namespace

TfrmFiltroComisVend::~TfrmFiltroComisVend() = default;

QString TfrmFiltroComisVend::screenBranch() const
{
    IComissaoVend* screen = Cli_ped03600::ComissaoVend();
    return screen ? screen->branchCode() : QString();
}

void TfrmFiltroComisVend::FormCreate()
{
    TfrmFiltroPadrao::FormCreate();
    for (TDateEditPlus* d : {depDeEmissao, depAteEmissao, depDeEntrega, depAteEntrega})
        d->clear();
    netComissaoVendedor->setConnected(true);
}

void TfrmFiltroComisVend::FormActivate()
{
    const QScopedValueRollback activating(m_activating, true);
    update();
    IComissaoVend* screen = Cli_ped03600::ComissaoVend();
    const bool ownOrders = screen && screen->ownOrdersOnly();
    for (QWidget* w : std::initializer_list<QWidget*>{grbVendedor, rbtTVendedor, rbtLVendedor})
        w->setEnabled(!ownOrders);

    const TFiltro& f = Filtro;
    {
        // the interval texts must not select "Intervalo" on their own here
        const QSignalBlocker a(medDeIntervalo), b(medAteIntervalo);
        medDeIntervalo->setText(f.NrPedido.stDe);
        medAteIntervalo->setText(f.NrPedido.stAte);
    }
    stNrPedido = f.NrPedido.stLista;
    if (f.NrPedido.boIntervalo)
        rbtIntervalo->setChecked(true);
    else if (f.NrPedido.boTodos)
        rbtTNrPedido->setChecked(true);
    else
        rbtLNrPedido->setChecked(true);
    // re-run the selected option's handler: the enabled states follow it
    if (rbtIntervalo->isChecked())
        rbtIntervaloClick();
    else if (rbtTNrPedido->isChecked())
        rbtTNrPedidoClick();
    else
        rbtLNrPedidoClick();

    chbNormal->setChecked(f.boNormal);
    chbAlta->setChecked(f.boAlta);
    chbUrgente->setChecked(f.boUrgente);
    chbPPendente->setChecked(f.boPPendente);
    chbPAndamento->setChecked(f.boPAndamento);
    chbPLiquidado->setChecked(f.boPLiquidado);
    chbPCancelado->setChecked(f.boPCancelado);
    chbPParcialmente->setChecked(f.boPParcialmente);
    chbIPendente->setChecked(f.boIPendente);
    chbIConfirmado->setChecked(f.boIConfirmado);
    chbIAprovado->setChecked(f.boIAprovado);
    chbILiquidado->setChecked(f.boILiquidado);
    chbICancelado->setChecked(f.boICancelado);
    chbIParcialmente->setChecked(f.boIParcialmente);
    edtOrdemCompra->setText(f.Ordem.stOrdemCompra);

    showList(f.Produto, stProduto, rbtTProduto, rbtLProduto, sbtProduto);
    showList(f.Vendedor, stVendedor, rbtTVendedor, rbtLVendedor, sbtVendedor);
    showList(f.Cliente, stCliente, rbtTCliente, rbtLCliente, sbtCliente);
    showDate(depDeEntrega, f.dtDeEntrega);
    showDate(depAteEntrega, f.dtAteEntrega);
    showDate(depDeEmissao, f.dtDeEmissao);
    showDate(depAteEmissao, f.dtAteEmissao);
    showList(f.MuniciCli, stMuniciCli, rbtTMuniciCli, rbtLMuniciCli, sbtMuniciCli);
    chbPedido->setChecked(f.boPedido);
    chbOrcamento->setChecked(f.boOrcamento);

    sbtCliente->setEnabled(rbtLCliente->isChecked());
    sbtMuniciCli->setEnabled(rbtLMuniciCli->isChecked());
    sbtProduto->setEnabled(rbtLProduto->isChecked());
    sbtVendedor->setEnabled(rbtLVendedor->isChecked() && rbtLVendedor->isEnabled());
}

void TfrmFiltroComisVend::sbtConfirmaClick()
{
    validateAll();
    if (IComissaoVend* screen = Cli_ped03600::ComissaoVend())
        screen->closeOrderSets();
    edtOrdemCompraExit();
    writeFilter();
    boConfirma = true;
    accept();
}

void TfrmFiltroComisVend::writeFilter()
{
    TFiltro& f = Filtro;
    f.NrPedido.boTodos = rbtTNrPedido->isChecked() || rbtIntervalo->isChecked();
    f.NrPedido.stLista = stNrPedido;
    f.NrPedido.boIntervalo = rbtIntervalo->isChecked();
    f.NrPedido.stDe = medDeIntervalo->text();
    f.NrPedido.stAte = medAteIntervalo->text();
    f.boNormal = chbNormal->isChecked();
    f.boAlta = chbAlta->isChecked();
    f.boUrgente = chbUrgente->isChecked();
    f.boPPendente = chbPPendente->isChecked();
    f.boPAndamento = chbPAndamento->isChecked();
    f.boPLiquidado = chbPLiquidado->isChecked();
    f.boPCancelado = chbPCancelado->isChecked();
    f.boPParcialmente = chbPParcialmente->isChecked();
    f.boIPendente = chbIPendente->isChecked();
    f.boIConfirmado = chbIConfirmado->isChecked();
    f.boIAprovado = chbIAprovado->isChecked();
    f.boILiquidado = chbILiquidado->isChecked();
    f.boICancelado = chbICancelado->isChecked();
    f.boIParcialmente = chbIParcialmente->isChecked();
    f.Produto.boTodos = rbtTProduto->isChecked();
    f.Produto.stLista = stProduto;
    f.MuniciCli.boTodos = rbtTMuniciCli->isChecked();
    f.MuniciCli.stLista = stMuniciCli;
    f.boPedido = chbPedido->isChecked();
    f.boOrcamento = chbOrcamento->isChecked();
    if (rbtTVendedor->isEnabled()) {
        f.Vendedor.boTodos = rbtTVendedor->isChecked();
        f.Vendedor.stLista = stVendedor;
    } else {
        // the operator sees only the orders of his own salesman
        f.Vendedor.boTodos = false;
        IComissaoVend* screen = Cli_ped03600::ComissaoVend();
        f.Vendedor.stLista = screen ? screen->linkedSalesman() : QString();
    }
    f.Cliente.boTodos = rbtTCliente->isChecked();
    f.Cliente.stLista = stCliente;
    f.boSemEmissao = EmptyString(depDeEmissao->text());
    f.dtDeEmissao = depDeEmissao->GetDate();
    f.dtAteEmissao = depAteEmissao->GetDate();
    f.boSemEntrega = EmptyString(depDeEntrega->text());
    f.dtDeEntrega = depDeEntrega->GetDate();
    f.dtAteEntrega = depAteEntrega->GetDate();
    f.Ordem.stOrdemCompra = edtOrdemCompra->text();
}

void TfrmFiltroComisVend::sbtCancelClick()
{
    boConfirma = false;
    TfrmFiltroPadrao::sbtCancelClick();
}

void TfrmFiltroComisVend::sbtLimpaClick()
{
    stCliente.clear();
    stMuniciCli.clear();
    stNrPedido.clear();
    stProduto.clear();
    stVendedor.clear();
    const double today = date::today();
    depDeEmissao->SetDate(today - 8);
    depAteEmissao->SetDate(today);
    depDeEntrega->clear();
    depAteEntrega->clear();
    chbPPendente->setChecked(true);
    for (QCheckBox* c : {chbPAndamento, chbPLiquidado, chbPCancelado, chbPParcialmente})
        c->setChecked(false);
    for (QCheckBox* c : {chbNormal, chbAlta, chbUrgente, chbIPendente, chbIConfirmado, chbIAprovado, chbILiquidado,
                         chbICancelado, chbIParcialmente})
        c->setChecked(true);
    for (QRadioButton* r : {rbtTCliente, rbtTMuniciCli, rbtTProduto, rbtTVendedor})
        r->setChecked(true);
    for (QToolButton* b : {sbtCliente, sbtMuniciCli, sbtProduto, sbtVendedor})
        b->setEnabled(false);
    {
        const QSignalBlocker a(medDeIntervalo), b(medAteIntervalo);
        medDeIntervalo->clear();
        medAteIntervalo->clear();
    }
    rbtTNrPedido->setChecked(true);
    rbtTNrPedidoClick();
    chbPedido->setChecked(true);
    chbOrcamento->setChecked(false);
    edtOrdemCompra->clear();
}

void TfrmFiltroComisVend::btfSaveOpcClick()
{
    setOpcao(QStringLiteral("stCliente"), stCliente);
    setOpcao(QStringLiteral("stMuniciCli"), stMuniciCli);
    setOpcao(QStringLiteral("stNrPedido"), stNrPedido);
    setOpcao(QStringLiteral("stProduto"), stProduto);
    setOpcao(QStringLiteral("stVendedor"), stVendedor);
    TfrmFiltroPadrao::btfSaveOpcClick();
}

void TfrmFiltroComisVend::btfLoadOpcClick()
{
    TfrmFiltroPadrao::btfLoadOpcClick();
    stCliente = opcao(QStringLiteral("stCliente"));
    stMuniciCli = opcao(QStringLiteral("stMuniciCli"));
    stNrPedido = opcao(QStringLiteral("stNrPedido"));
    stProduto = opcao(QStringLiteral("stProduto"));
    stVendedor = opcao(QStringLiteral("stVendedor"));
}

void TfrmFiltroComisVend::FormClose()
{
    TfrmFiltroPadrao::FormClose();
    boFiltroCriado = false;
    netComissaoVendedor->setConnected(false);
}

void TfrmFiltroComisVend::withoutActivation(const std::function<void()>& fn)
{
    const auto handler = OnActivate;
    OnActivate = nullptr;
    const auto reattach = qScopeGuard([this, handler] { OnActivate = handler; });
    fn();
}

// ---------------------------------------------------------------- pickers

void TfrmFiltroComisVend::sbtClienteClick()
{
    qryCliente->Open();
    if (qryCliente->IsEmpty()) {
        focusBack(rbtLCliente);
        MensErro(msgPadrao.Msg(QStringLiteral("CLIE")), true);
    }
    PesquisaLista(dtsCliente, QStringLiteral("CDCLIENTE"), msgPadrao.Msg(QStringLiteral("CLIENTE")), false, stCliente);
}

void TfrmFiltroComisVend::sbtMuniciCliClick()
{
    const QString all = rbtTCliente->isChecked() || stCliente.isEmpty() ? QStringLiteral("T") : QString();
    withoutActivation([&] {
        // a failure is shown and the picker still opens on what it held
        guarded([&] {
            BusyGuard busy(6);
            cdsMuniciCli.setData(CheckResultServ(
                netComissaoVendedor->call(QStringLiteral("GetMuniciCli"), {stCliente, all}), true, 0));
        });
        PesquisaLista(dtsMuniciCli, QStringLiteral("CONCATENADOS"),
                      msgPadrao.Msg(QStringLiteral("Municipio")) + QLatin1Char('|') + msgPadrao.Msg(QStringLiteral("Mun_NC")),
                      false, stMuniciCli);
    });
}

void TfrmFiltroComisVend::sbtProdutoClick()
{
    qryProduto->Close();
    const QString empty = SQL_Pesquisa_Produto(screenBranch(), QString(), *qryProduto, true);
    qryProduto->Open();
    PesquisaLista(dtsProduto, QStringLiteral("CDARVPROD"),
                  msgPadrao.Msg(QStringLiteral("PRODUTO")) + QLatin1Char('|') + empty, false, stProduto);
}

void TfrmFiltroComisVend::qryProdutoBeforeOpen()
{
    if (ExistParam(qryProduto->Params(), QStringLiteral("P_CDNVPRODUTO")))
        qryProduto->ParamByName(QStringLiteral("P_CDNVPRODUTO")).setAsInteger(DBPictObj(0).GetTtNiveis());
    if (ExistParam(qryProduto->Params(), QStringLiteral("P_CDFILIAL")))
        qryProduto->ParamByName(QStringLiteral("P_CDFILIAL")).setAsString(screenBranch());
}

void TfrmFiltroComisVend::sbtVendedorClick()
{
    cdsFiltraVend.setData(CheckResultServ(netComissaoVendedor->call(QStringLiteral("GetFiltraVend")), true, 0));
    if (cdsFiltraVend.isEmpty())
        MensErro(msgPadrao.Msg(QStringLiteral("VEND")), true);
    PesquisaLista(dtsFiltraVend, QStringLiteral("CDVENDEDOR"), msgPadrao.Msg(QStringLiteral("VENDEDOR")), false,
                  stVendedor);
}

void TfrmFiltroComisVend::btnPesqNrPedClick()
{
    const QString branch = screenBranch();
    if (branch.isEmpty())
        return;
    withoutActivation([&] {
        guarded([&] {
            BusyGuard busy(6);
            cdsNrPedido.setData(
                CheckResultServ(netComissaoVendedor->call(QStringLiteral("GetNrpedido"), {branch}), true, 0));
        });
        PesquisaLista(dtsNrPedido, QStringLiteral("NRPEDIDO"),
                      msgPadrao.Msg(QStringLiteral("PEDIDO")) + QLatin1Char('|') + msgPadrao.Msg(QStringLiteral("PEDNCAD")),
                      false, stNrPedido);
    });
}

bool CriaFiltroComissao()
{
    IComissaoVend* screen = Cli_ped03600::ComissaoVend();
    return RunUnitDialog(frmFiltroComisVend, boFiltroCriado, screen ? screen->dialogParent() : nullptr).boConfirma;
}
