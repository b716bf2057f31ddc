// Which commands are enabled as the orders and the salesman lines change
// state.
#include "ComissaoVend.h"

#include "shared/Globals.h"

#include <QApplication>

using namespace fw;
using namespace Cli_ped03600;

namespace {

bool editingState(DataSetState s)
{
    return s == DataSetState::Edit || s == DataSetState::Insert;
}

// Status codes compare as text; an empty status counts as lower.
bool statusAtMost(const RecordSet& rs, QStringView field, QStringView limit)
{
    const Field* f = rs.findField(field);
    const QString code = f && rs.active() ? f->asString() : QString();
    return QStringView(code).compare(limit) <= 0;
}

bool hasRows(const RecordSet& rs)
{
    return rs.active() && !rs.isEmpty();
}

// Branch controls fixed by the login (tag 99) stay disabled.
void enableBranch(std::initializer_list<QWidget*> controls, bool on)
{
    for (QWidget* w : controls)
        w->setEnabled(on && w->property("Tag").toInt() != 99);
}

} // namespace

bool TfrmComissaoVend::orderEditing() const
{
    return editingState(cdsPedido.state());
}

void TfrmComissaoVend::setPageEnabled(QWidget* page, bool on)
{
    pgcPadrao->setTabEnabled(pgcPadrao->indexOf(page), on);
}

void TfrmComissaoVend::dtsPedidoStateChange()
{
    const DataSetState p = cdsPedido.state();
    const bool editing = editingState(p);
    const bool browse = p == DataSetState::Browse;
    const bool items = hasRows(cdsItemPedido);
    const bool open = statusAtMost(cdsPedido, u"IDSITPEDIDO", u"2");
    const bool formPage = !onListPage();
    const bool branchFocused = QApplication::focusWidget() == medCdFilial;

    mnuConfirmar->setEnabled(editing && items && open);
    mnuCancelar->setEnabled(editing && items && open);
    const bool insertDelete = formPage && items && open && !branchFocused;
    mnuIncluir->setEnabled(insertDelete);
    mnuExcluir->setEnabled(insertDelete);
    mnuAlterar->setEnabled(insertDelete && hasRows(cdsVendedor));
    mnuProcurar->setEnabled(browse && hasRows(cdsPedido));
    mnuImprimir->setEnabled(browse && hasRows(cdsPedido));
    sbtFiltro->setEnabled(browse);
    sbtNotaPed->setEnabled(browse && hasRows(cdsPedido));
    enableBranch({medCdFilial, btnFilial, lblFilial}, !editing);
    dbnPadrao->setEnabled(!editing);
    const bool form = !editing && hasRows(cdsPedido);
    setPageEnabled(tshFormulario, form);
    mnuFormulario->setEnabled(form);
    copyMenusToButtons();
    mnuFiltrar->setEnabled(sbtFiltro->isEnabled());
    mnuNotaPed->setEnabled(sbtNotaPed->isEnabled());
    btnCancelaComissaoRule();
}

void TfrmComissaoVend::dtsPadraoStateChange()
{
    if (!onListPage()) {
        const DataSetState v = cdsVendedor.state();
        const bool editing = editingState(v);
        const bool browse = v == DataSetState::Browse;
        const bool items = hasRows(cdsItemPedido);
        const bool vendors = hasRows(cdsVendedor);
        const bool open = statusAtMost(cdsItemPedido, u"IDSITITEMPED", u"3");

        mnuConfirmar->setEnabled(editing && items && open);
        mnuCancelar->setEnabled(editing && items && open);
        mnuIncluir->setEnabled(browse && items && open);
        mnuAlterar->setEnabled(browse && items && vendors && open);
        mnuExcluir->setEnabled(browse && vendors && items && open);
        mnuProcurar->setEnabled(browse && vendors);
        mnuImprimir->setEnabled(browse && vendors);
        sbtFiltro->setEnabled(browse);
        sbtNotaPed->setEnabled(browse && hasRows(cdsPedido));
        enableBranch({medCdFilial, btnFilial, lblFilial}, browse);
        dbnPadrao->setEnabled(browse);
        setPageEnabled(tshFolhaDados, !editing);
        mnuFolhaDados->setEnabled(!editing);
        if (editing)
            boBuscarComis = true;
        copyMenusToButtons();
        mnuFiltrar->setEnabled(sbtFiltro->isEnabled());
        mnuNotaPed->setEnabled(sbtNotaPed->isEnabled());
    }
    btnCancelaComissaoRule();
}

void TfrmComissaoVend::btnCancelaComissaoRule()
{
    btnCancelaComissao->setEnabled(hasRows(cdsPedido) && cdsPedido.state() == DataSetState::Browse && onListPage());
}
