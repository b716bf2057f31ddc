#include "BuscaComissao.h"

#include "shared/ComissaoScreen.h"
#include "shared/Dialogs.h"
#include "shared/Globals.h"
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/FwError.h"
#include "core/NetConnection.h"
#include "widgets/Events.h"

#include <QFormLayout>
#include <QHBoxLayout>

using namespace fw;
using namespace Cli_ped03602;

TfrmBuscaComissao::TfrmBuscaComissao(QWidget* parent)
    : TfrmFiltroPadrao(parent, QStringLiteral("PED03602"), QStringLiteral("Busca e Recalcula o Percentual de Comissão"))
{
    setObjectName(QStringLiteral("frmBuscaComissao"));
    HelpContext = 12203602;
    btfSaveOpc->hide();
    btfLoadOpc->hide();
    grbEntrega = new QGroupBox(QStringLiteral("Data Entrega"), grbFiltroPadrao);
    grbEntrega->setObjectName(QStringLiteral("grbEntrega"));
    auto* row = new QHBoxLayout(grbEntrega);
    depDeEntrega = new TDateEditPlus(grbEntrega, QStringLiteral("depDeEntrega"));
    depAteEntrega = new TDateEditPlus(grbEntrega, QStringLiteral("depAteEntrega"));
    auto* de = new QLabel(QStringLiteral("&de"), grbEntrega);
    de->setBuddy(depDeEntrega);
    auto* ate = new QLabel(QStringLiteral("a&té"), grbEntrega);
    ate->setBuddy(depAteEntrega);
    depDeEntrega->setAccessibleName(QStringLiteral("Data entrega de"));
    depAteEntrega->setAccessibleName(QStringLiteral("Data entrega até"));
    row->addWidget(de);
    row->addWidget(depDeEntrega);
    row->addWidget(ate);
    row->addWidget(depAteEntrega);
    row->addStretch(1);
    criteriaLayout->addWidget(grbEntrega);
    setTabOrder(depDeEntrega, depAteEntrega);
    setTabOrder(depAteEntrega, sbtConfirma);
    onExit(depDeEntrega, [this] { depDeEntregaExit(); });
    onExit(depAteEntrega, [this] { depAteEntregaExit(); });

    msgPadrao.setItems({
        QStringLiteral("DATA_INV|não é uma data válida."),
        QStringLiteral("DTINI_ENTREGA|Data entrega inicial deve ser informada. "),
        QStringLiteral("DTFIN_ENTREGA|Data entrega final deve ser informada. "),
        QStringLiteral("DTINI>DTFIN_ENTREGA|Data entrega inicial deve ser menor ou igual à data entrega final."),
        QStringLiteral("Confirma|Deseja buscar os percentuais de comissão para os pedidos no intervalo de datas informado?"),
        QStringLiteral("Sucesso|Busca finalizada!"),
    });
    resize(420, 170);
}

void TfrmBuscaComissao::FormActivate()
{
    update();
}

void TfrmBuscaComissao::FormClose()
{
    TfrmFiltroPadrao::FormClose();
    boFiltroCriado = false;
}

void TfrmBuscaComissao::Vd_DeEntrega()
{
    checkTypedDate(depDeEntrega, msgPadrao);
}

void TfrmBuscaComissao::Vd_AteEntrega()
{
    checkTypedDate(depAteEntrega, msgPadrao);
}

void TfrmBuscaComissao::Vd_Entrega()
{
    auto fail = [this](TDateEditPlus* edit, const char* key) {
        focusBack(edit);
        MensErro(msgPadrao.Msg(QLatin1String(key)), true);
    };
    if (depAteEntrega->GetDate() < depDeEntrega->GetDate())
        fail(depDeEntrega, "DTINI>DTFIN_ENTREGA");
    if (EmptyString(depAteEntrega->text()))
        fail(depAteEntrega, "DTFIN_ENTREGA");
    if (EmptyString(depDeEntrega->text()))
        fail(depDeEntrega, "DTINI_ENTREGA");
}

void TfrmBuscaComissao::sbtConfirmaClick()
{
    Vd_Entrega();
    if (msgPadrao.ShowMsg(QStringLiteral("Confirma"), MsgType::Confirmation, Buttons::YesNo) != mrYes)
        return;
    IComissaoVend* screen = Cli_ped03600::ComissaoVend();
    if (!screen)
        throw Error(QStringLiteral("A tela Comissão do Vendedor não está aberta."));
    {
        BusyGuard busy(1);
        CheckResultServ(screen->serverConnection().call(QStringLiteral("SetBuscaComissao"),
                                                          {depDeEntrega->GetDate(), depAteEntrega->GetDate()}),
                        true, 0);
    }
    msgPadrao.ShowMsg(QStringLiteral("Sucesso"), MsgType::Information, Buttons::Ok);
}

void CriaBuscaComissao()
{
    IComissaoVend* screen = Cli_ped03600::ComissaoVend();
    RunUnitDialog(frmBuscaComissao, boFiltroCriado, screen ? screen->dialogParent() : nullptr);
}
