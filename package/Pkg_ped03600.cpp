// The package's entry points, called by the host through QLibrary.
#include "commission/ComissaoVend.h"
#include "shared/Globals.h"

extern "C" {

// Registers the package's units; safe to call more than once.
Q_DECL_EXPORT void Initialize()
{
    PackageUnits::Register();
}

// Unregisters them; the units end when the last registration goes.
Q_DECL_EXPORT void Finalize()
{
    PackageUnits::Unregister();
}

// Opens the commission screen; failures go on to the host.
Q_DECL_EXPORT void IniProc()
{
    CriaComissaoVend();
}

// The filter record, for the host to print with its type information.
Q_DECL_EXPORT const void* PED03600_Filtro()
{
    return &Cli_ped03600::Filtro;
}
}
