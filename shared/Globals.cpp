#include "Globals.h"

#include <QStringList>

namespace Cli_ped03600 {
TfrmComissaoVend* frmComissaoVend = nullptr;
bool boIdCriado = false;
bool boPrimVez = false;
TFiltro Filtro;
QString stPrioridade, stStatusPedido, stStatusItemPedido;
QString stTVendedor;
QString stOperador;
QString stIdpedido, stOrcamento;
QString bost[2] = {QString(), QStringLiteral("T")};
bool boBuscarComis = false;
bool boAltItens = false;
double doVrpecomitped = 0;

void Initialization()
{
    boIdCriado = false;
    // the library may stay loaded across a finalisation: the constant
    // table is set again, not left released
    bost[0].clear();
    bost[1] = QStringLiteral("T");
}

void Finalization()
{
    for (QString* s : {&stOperador, &stOrcamento, &stIdpedido, &stTVendedor, &stStatusItemPedido, &stStatusPedido,
                       &stPrioridade, &bost[0], &bost[1]})
        s->clear();
    ClearFiltro(Filtro);
}
} // namespace Cli_ped03600

namespace Cli_ped03601 {
TfrmFiltroComisVend* frmFiltroComisVend = nullptr;
bool boFiltroCriado = false;
bool boPrimVez = false;
QString stNrPedido, stVendedor, stCliente, stProduto, stMuniciCli;

void Initialization()
{
    boFiltroCriado = false;
    for (QString* s : {&stNrPedido, &stVendedor, &stCliente, &stProduto, &stMuniciCli})
        s->clear();
}

void Finalization()
{
    for (QString* s : {&stNrPedido, &stVendedor, &stCliente, &stProduto, &stMuniciCli})
        s->clear();
}
} // namespace Cli_ped03601

namespace Cli_ped03602 {
TfrmBuscaComissao* frmBuscaComissao = nullptr;
bool boFiltroCriado = false;
bool boPrimVez = false;

void Initialization()
{
    boFiltroCriado = false;
}

void Finalization() {}
} // namespace Cli_ped03602

namespace PackageUnits {
namespace {

struct Unit {
    const char* name;
    void (*init)();
    void (*fini)();
    int counter;
};

// Dependency order: the dialogs' units before the screen's.
Unit units[] = {
    {"Cli_ped03602", Cli_ped03602::Initialization, Cli_ped03602::Finalization, 0},
    {"Cli_ped03601", Cli_ped03601::Initialization, Cli_ped03601::Finalization, 0},
    {"Cli_ped03600", Cli_ped03600::Initialization, Cli_ped03600::Finalization, 0},
};
QStringList unitLog;
int registered = 0;

} // namespace

void Register()
{
    ++registered;
    for (Unit& u : units)
        if (u.counter++ == 0) {
            u.init();
            unitLog << QLatin1String(u.name) + QLatin1Char('+');
        }
}

void Unregister()
{
    if (registered == 0)
        return;
    --registered;
    for (auto it = std::rbegin(units); it != std::rend(units); ++it)
        if (it->counter > 0 && --it->counter == 0) {
            it->fini();
            unitLog << QLatin1String(it->name) + QLatin1Char('-');
        }
}

const QStringList& Log()
{
    return unitLog;
}
} // namespace PackageUnits
