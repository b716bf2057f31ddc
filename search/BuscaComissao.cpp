#include "BuscaComissao.h"

#include "shared/ComissaoScreen.h"
#include "shared/Dialogs.h"
#include "shared/Globals.h"
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/DateUtil.h"
#include "core/FwError.h"
#include "core/NetConnection.h"
#include "widgets/Events.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QVBoxLayout>

#include <algorithm>

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

    buildSimulation();

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

namespace {

IComissaoVend& commissionScreen()
{
    IComissaoVend* screen = Cli_ped03600::ComissaoVend();
    if (!screen)
        throw Error(QStringLiteral("A tela Comissão do Vendedor não está aberta."));
    return *screen;
}

QString count(qint64 n)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(n);
}

} // namespace

void TfrmBuscaComissao::sbtConfirmaClick()
{
    Vd_Entrega();
    if (msgPadrao.ShowMsg(QStringLiteral("Confirma"), MsgType::Confirmation, Buttons::YesNo) != mrYes)
        return;
    IComissaoVend& screen = commissionScreen();
    Payload changed;
    {
        BusyGuard busy(1);
        changed = CheckResultServ(screen.serverConnection().call(QStringLiteral("SetBuscaComissao"),
                                                                 {depDeEntrega->GetDate(), depAteEntrega->GetDate()}),
                                  true, 0);
    }
    // what was simulated before is no longer what a run would do
    grbSimulacao->hide();
    QString text = msgPadrao.Msg(QStringLiteral("Sucesso"));
    if (changed.isNumber()) {
        const auto n = static_cast<qint64>(changed.toNumber());
        text += QLatin1Char('\n')
            + (n == 0 ? QStringLiteral("Nenhuma linha de comissão foi alterada.")
                      : n == 1 ? QStringLiteral("1 linha de comissão alterada.")
                               : QStringLiteral("%1 linhas de comissão alteradas.").arg(count(n)));
    }
    ctx().ui().showMessage(text, MsgType::Information, Buttons::Ok, 0);
}

void TfrmBuscaComissao::sbtSimulaClick()
{
    Vd_DeEntrega();
    Vd_AteEntrega();
    Vd_Entrega();
    IComissaoVend& screen = commissionScreen();
    const double from = depDeEntrega->GetDate(), to = depAteEntrega->GetDate();
    {
        BusyGuard busy(1);
        setDataEach(CheckResultServ(screen.serverConnection().call(QStringLiteral("GetSimulaBuscaComissao"), {from, to}),
                                    true, 0),
                    {&cdsSimTotal, &cdsSimVendedor, &cdsSimLinhas});
    }
    cdsSimTotal.first();
    const qint64 lines = cdsSimTotal.isEmpty() ? 0 : cdsSimTotal.fieldByName(u"QTLINHAS").asInteger();
    const qint64 orders = cdsSimTotal.isEmpty() ? 0 : cdsSimTotal.fieldByName(u"QTPEDIDOS").asInteger();
    QString text = QStringLiteral("Simulação de %1 a %2: ").arg(date::formatDate(from), date::formatDate(to));
    if (lines == 0)
        text += QStringLiteral("nenhuma linha de comissão seria alterada. Nada foi gravado.");
    else
        text += QStringLiteral("seriam alteradas %1 %2 de comissão em %3 %4. Nada foi gravado.")
                    .arg(count(lines), lines == 1 ? QStringLiteral("linha") : QStringLiteral("linhas"), count(orders),
                         orders == 1 ? QStringLiteral("pedido") : QStringLiteral("pedidos"));
    if (lines > cdsSimLinhas.recordCount())
        text += QStringLiteral(" Abaixo, as primeiras %1 linhas.").arg(count(cdsSimLinhas.recordCount()));
    lblSimulacao->setText(text);
    dbgSimVendedor->setVisible(lines > 0);
    dbgSimLinhas->setVisible(lines > 0);
    grbSimulacao->show();
    resize(std::max(width(), lines > 0 ? 600 : 420), std::max(height(), lines > 0 ? 660 : 230));
}

void TfrmBuscaComissao::buildSimulation()
{
    sbtSimula = new QPushButton(QStringLiteral("&Simular"), this);
    sbtSimula->setObjectName(QStringLiteral("sbtSimula"));
    sbtSimula->setToolTip(QStringLiteral("Mostra o que a busca alteraria no intervalo, sem gravar nada"));
    // a click leaves the focus in the date being typed, as for Confirmar
    sbtSimula->setFocusPolicy(Qt::TabFocus);
    buttonLayout->insertWidget(buttonLayout->indexOf(sbtConfirma), sbtSimula);
    setTabOrder(sbtConfirma, sbtSimula);
    connect(sbtSimula, &QPushButton::clicked, this, [this] { guarded([this] { sbtSimulaClick(); }); });

    grbSimulacao = new QGroupBox(QStringLiteral("Simulação"), grbFiltroPadrao);
    grbSimulacao->setObjectName(QStringLiteral("grbSimulacao"));
    auto* box = new QVBoxLayout(grbSimulacao);
    lblSimulacao = new QLabel(grbSimulacao);
    lblSimulacao->setObjectName(QStringLiteral("lblSimulacao"));
    lblSimulacao->setWordWrap(true);
    box->addWidget(lblSimulacao);

    cdsSimTotal.addField(QStringLiteral("QTLINHAS"), FieldType::Integer);
    cdsSimTotal.addField(QStringLiteral("QTPEDIDOS"), FieldType::Integer);
    auto label = [](Field& f, const char* title, int width, const char* format = nullptr) {
        f.displayLabel = QString::fromUtf8(title);
        f.displayWidth = width;
        f.readOnly = true;
        if (format)
            f.displayFormat = QString::fromLatin1(format);
    };
    label(cdsSimVendedor.addField(QStringLiteral("CDVENDEDOR"), FieldType::String, 4), "Vendedor", 7);
    label(cdsSimVendedor.addField(QStringLiteral("NMFANVEN"), FieldType::String, 50), "Nome", 16);
    label(cdsSimVendedor.addField(QStringLiteral("QTLINHAS"), FieldType::Integer), "Linhas", 6);
    label(cdsSimVendedor.addField(QStringLiteral("VRSOMAANTES"), FieldType::Float), "Soma antes", 10, "#,##0.00");
    label(cdsSimVendedor.addField(QStringLiteral("VRSOMADEPOIS"), FieldType::Float), "Soma depois", 10, "#,##0.00");
    label(cdsSimLinhas.addField(QStringLiteral("CDFILIAL"), FieldType::String, 4), "Filial", 5);
    label(cdsSimLinhas.addField(QStringLiteral("NRPEDIDO"), FieldType::String, 10), "Pedido", 11);
    label(cdsSimLinhas.addField(QStringLiteral("NRITEMPED"), FieldType::String, 10), "Item", 5);
    label(cdsSimLinhas.addField(QStringLiteral("CDVENDEDOR"), FieldType::String, 4), "Vendedor", 7);
    label(cdsSimLinhas.addField(QStringLiteral("VRPECOMITPEDANT"), FieldType::Float), "% antes", 8, "#,##0.00");
    label(cdsSimLinhas.addField(QStringLiteral("VRPECOMITPED"), FieldType::Float), "% depois", 8, "#,##0.00");
    dtsSimVendedor.setDataSet(&cdsSimVendedor);
    dtsSimLinhas.setDataSet(&cdsSimLinhas);
    dbgSimVendedor = new TDBGrid(grbSimulacao, QStringLiteral("dbgSimVendedor"));
    dbgSimVendedor->setDataSource(&dtsSimVendedor);
    dbgSimVendedor->setEditing(false);
    dbgSimVendedor->setAccessibleName(QStringLiteral("Percentuais somados por vendedor, antes e depois"));
    dbgSimLinhas = new TDBGrid(grbSimulacao, QStringLiteral("dbgSimLinhas"));
    dbgSimLinhas->setDataSource(&dtsSimLinhas);
    dbgSimLinhas->setEditing(false);
    dbgSimLinhas->setAccessibleName(QStringLiteral("Linhas de comissão que seriam alteradas"));
    box->addWidget(dbgSimVendedor, 1);
    box->addWidget(dbgSimLinhas, 2);
    criteriaLayout->addWidget(grbSimulacao, 1);
    grbSimulacao->hide();
}

void CriaBuscaComissao()
{
    IComissaoVend* screen = Cli_ped03600::ComissaoVend();
    RunUnitDialog(frmBuscaComissao, boFiltroCriado, screen ? screen->dialogParent() : nullptr);
}
