#include "FiltroComisVend.h"

#include "ComissaoVend.h"
#include "Dialogs.h"
#include "Globals.h"

using namespace Cli_ped03601;

// The criteria controls are not built yet: confirming keeps the filter
// record as it stands and reloads the orders with it.
TfrmFiltroComisVend::TfrmFiltroComisVend(QWidget* parent)
    : TfrmFiltroPadrao(parent, QStringLiteral("PED03601"), QStringLiteral("Filtro de Comissão do Vendedor"))
{
    setObjectName(QStringLiteral("frmFiltroComisVend"));
    resize(520, 200);
}

void TfrmFiltroComisVend::FormClose()
{
    TfrmFiltroPadrao::FormClose();
    boFiltroCriado = false;
}

void TfrmFiltroComisVend::sbtConfirmaClick()
{
    if (TfrmComissaoVend* screen = Cli_ped03600::frmComissaoVend) {
        screen->cdsPedido.close();
        screen->cdsItemPedido.close();
    }
    Confirmado = true;
    accept();
}

bool CriaFiltroComissao()
{
    return RunUnitDialog(frmFiltroComisVend, boFiltroCriado, Cli_ped03600::frmComissaoVend).Confirmado;
}
