#pragma once

// The module's globals, per unit, and the units' start-up and shut-down.
#include "Filtro.h"

#include <QString>
#include <QStringList>

class TfrmComissaoVend;
class TfrmFiltroComisVend;
class TfrmBuscaComissao;

// The commission screen's unit: the screen, the filter record and the code
// lists the filter action builds for the order query.
namespace Cli_ped03600 {
extern TfrmComissaoVend* frmComissaoVend;
extern bool boIdCriado;
extern bool boPrimVez;
extern TFiltro Filtro;
extern QString stPrioridade, stStatusPedido, stStatusItemPedido;
extern QString stTVendedor;
extern QString stOperador;
extern QString stIdpedido, stOrcamento;
// Boolean as the server's flag text: bost[false] is "", bost[true] is "T".
extern QString bost[2];
extern bool boBuscarComis;
extern bool boAltItens;
extern double doVrpecomitped;

void Initialization();
void Finalization();
} // namespace Cli_ped03600

// The filter dialog's unit and its working lists.
namespace Cli_ped03601 {
extern TfrmFiltroComisVend* frmFiltroComisVend;
extern bool boFiltroCriado;
extern bool boPrimVez;
extern QString stNrPedido, stVendedor, stCliente, stProduto, stMuniciCli;

void Initialization();
void Finalization();
} // namespace Cli_ped03601

// The search-and-recalculate dialog's unit.
namespace Cli_ped03602 {
extern TfrmBuscaComissao* frmBuscaComissao;
extern bool boFiltroCriado;
extern bool boPrimVez; // declared by the unit, never used

void Initialization();
void Finalization();
} // namespace Cli_ped03602

// Registers the units (in dependency order) and unregisters them in reverse.
// Each unit starts and ends once however often the package is registered.
namespace PackageUnits {
void Register();
void Unregister();
// Order in which units started and ended since load, for diagnostics:
// "Cli_ped03602+", "Cli_ped03601+", ... "Cli_ped03600-".
const QStringList& Log();
} // namespace PackageUnits
