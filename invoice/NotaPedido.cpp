#include "NotaPedido.h"

#include "core/Consiste.h"
#include "core/Context.h"
#include "core/FwError.h"
#include "widgets/Mdi.h"

#include <QVBoxLayout>
#include <memory>

using namespace fw;

TfrmNotaPedido::TfrmNotaPedido(const QString& branch, const QString& order, QWidget* parent)
    : TfrmPadrao(parent, QStringLiteral("PED00103"), QStringLiteral("Nota Fiscal do Pedido")), m_branch(branch),
      m_order(order)
{
    setObjectName(QStringLiteral("frmNotaPedido"));
    resize(640, 320);
    Field& nr = cdsNota.addField(QStringLiteral("NRNOTAFISCAL"), FieldType::String, 10);
    nr.displayLabel = QStringLiteral("Nº Nota");
    nr.displayWidth = 13;
    cdsNota.addField(QStringLiteral("SGSERIENF"), FieldType::String, 3).displayLabel = QStringLiteral("Série");
    cdsNota.addField(QStringLiteral("DTEMISSAONF"), FieldType::DateTime).displayLabel = QStringLiteral("Emissão");
    Field& total = cdsNota.addField(QStringLiteral("VRTOTALNF"), FieldType::Float);
    total.displayLabel = QStringLiteral("Valor Total");
    total.displayFormat = QStringLiteral("#,##0.00");
    total.displayWidth = 16;
    for (int i = 0; i < cdsNota.fieldCount(); ++i)
        cdsNota.field(i).readOnly = true;
    dtsPadrao.setDataSet(&cdsNota);
    dbgPadrao->setEditing(false);
    dbgPadrao->setAccessibleName(QStringLiteral("Notas fiscais do pedido"));
    pgcPadrao->setTabText(0, QStringLiteral("Notas Fiscais"));
    pgcPadrao->setTabVisible(1, false);
    mnuFormulario->setVisible(false);
    for (QWidget* w : {static_cast<QWidget*>(sbtIncluir), static_cast<QWidget*>(sbtAlterar),
                       static_cast<QWidget*>(sbtExcluir), static_cast<QWidget*>(sbtConfirmar),
                       static_cast<QWidget*>(sbtCancelar)})
        w->hide();
    for (QAction* a : {mnuIncluir, mnuAlterar, mnuExcluir, mnuConfirmar, mnuCancelar})
        a->setVisible(false);
    lblPedido = new QLabel(QStringLiteral("Filial %1 - Pedido %2").arg(branch, order), this);
    lblPedido->setObjectName(QStringLiteral("lblPedido"));
    rootLayout->insertWidget(rootLayout->indexOf(pgcPadrao), lblPedido);

    netNotaPed = new TNetConnection(this, QStringLiteral("netNotaPed"));
    netNotaPed->ServerName = QStringLiteral("Ped00103.rdmNotaPedido");
    netNotaPed->BeforeConnect = [](TNetConnection& c) {
        c.host = WebURL();
        c.Port = WebPort();
        c.Tls = WebTls();
    c.Tls = WebTls();
    };
}

void TfrmNotaPedido::FormCreate()
{
    TfrmPadrao::FormCreate();
    Carrega();
}

void TfrmNotaPedido::dtsPadraoStateChange()
{
    TfrmPadrao::dtsPadraoStateChange();
    for (QAction* a : {mnuIncluir, mnuAlterar, mnuExcluir, mnuConfirmar, mnuCancelar})
        a->setEnabled(false);
    copyMenusToButtons();
}

void TfrmNotaPedido::Carrega()
{
    BusyGuard busy(6);
    cdsNota.setData(CheckResultServ(netNotaPed->call(QStringLiteral("GetNota"), {m_branch, m_order}), true, 0));
}

namespace {
int registrations = 0;
}

extern "C" {

Q_DECL_EXPORT void Initialize()
{
    ++registrations;
}

Q_DECL_EXPORT void Finalize()
{
    if (registrations > 0)
        --registrations;
}

// Opens the invoices of an order: params are the branch code, then the
// order number.
Q_DECL_EXPORT void IniProcParams(const QVariantList* params)
{
    if (!params || params->size() < 2)
        throw Error(QStringLiteral("Nota Fiscal do Pedido: informe a filial e o número do pedido."));
    CursorGuard cursor;
    auto screen = std::make_unique<TfrmNotaPedido>(params->at(0).toString(), params->at(1).toString());
    screen->FormCreate();
    ShowChildWindow(screen.release(), DesktopSize() == QSize(640, 480));
}

Q_DECL_EXPORT void IniProc()
{
    throw Error(QStringLiteral("Nota Fiscal do Pedido é aberta a partir de um pedido."));
}
}
