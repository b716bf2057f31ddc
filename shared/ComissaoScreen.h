#pragma once

// What the filter and search dialogs may ask of the commission screen; they
// do not include it. The screen implements this, and the dialogs' creators
// are declared here for the screen to call.
#include <QString>

class QWidget;
namespace fw {
class TNetConnection;
}

class IComissaoVend {
public:
    virtual ~IComissaoVend() = default;

    // The branch typed on the screen.
    virtual QString branchCode() const = 0;
    // The branch's order parameters restrict this operator to the orders of
    // his own salesman.
    virtual bool ownOrdersOnly() const = 0;
    // The salesman linked to the operator ("" when none or not read yet).
    virtual QString linkedSalesman() const = 0;
    // Closes the order and item sets, which the next load fills again.
    virtual void closeOrderSets() = 0;
    // The commission server connection of the screen.
    virtual fw::TNetConnection& serverConnection() = 0;
    // The window the dialogs belong to.
    virtual QWidget* dialogParent() = 0;
};

namespace Cli_ped03600 {
// The open commission screen, or nullptr.
IComissaoVend* ComissaoVend();
} // namespace Cli_ped03600

// The filter dialog, shown modally; true when it was confirmed.
bool CriaFiltroComissao();
// The search-and-recalculate dialog, shown modally.
void CriaBuscaComissao();
