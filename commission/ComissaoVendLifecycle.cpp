// Creation, first activation, pages and close of the screen.
#include "ComissaoVend.h"

#include "shared/Globals.h"
#include "core/Context.h"
#include "core/DateUtil.h"
#include "core/Services.h"
#include "widgets/Events.h"
#include "widgets/Mdi.h"

#include <QScopeGuard>
#include <memory>

using namespace fw;
using namespace Cli_ped03600;

void CriaComissaoVend()
{
    // The hourglass goes back on every path, a failed creation included.
    CursorGuard cursor;
    if (!boIdCriado) {
        auto created = std::make_unique<TfrmComissaoVend>();
        created->FormCreate();
        TfrmComissaoVend* screen = created.release();
        frmComissaoVend = screen;
        QObject::connect(screen, &QObject::destroyed, [screen] {
            if (frmComissaoVend == screen)
                frmComissaoVend = nullptr;
        });
        boIdCriado = true;
    }
    ShowChildWindow(frmComissaoVend, DesktopSize() == QSize(640, 480));
}

IComissaoVend* Cli_ped03600::ComissaoVend()
{
    return frmComissaoVend;
}

void TfrmComissaoVend::FormCreate()
{
    TfrmPadrao::FormCreate();
    boPrimVez = true;
    DefaultFiltro(Filtro, date::today());
    dtsPedido.onStateChange = [this](DataSource&) { guarded([this] { dtsPedidoStateChange(); }); };
    cdsPedido.beforeScroll = [this](RecordSet&) { cdsPedidoBeforeScroll(); };
    cdsPedido.afterScroll = [this](RecordSet&) { cdsPedidoAfterScroll(); };
    cdsPedido.afterOpen = [this](RecordSet&) { cdsPedidoAfterOpen(); };
    cdsItemPedido.onCalcFields = [this](RecordSet&) { cdsItemPedidoCalcFields(); };
    cdsItemPedido.afterScroll = [this](RecordSet&) { cdsItemPedidoAfterScroll(); };
    cdsPedido.fieldByName(u"IDSITPEDIDO").onGetText = [this](const Field& f, bool) {
        return orderStatusCaption(f.asString());
    };
    cdsItemPedido.fieldByName(u"IDSITITEMPED").onGetText = [this](const Field& f, bool) {
        return itemStatusCaption(f.asString());
    };
    cdsItemPedido.fieldByName(u"IDITPEDDIFER").onGetText = [this](const Field& f, bool) {
        if (f.dataSet().isEmpty())
            return QString();
        return msgPadrao.Msg(f.asString().isEmpty() ? QStringLiteral("N") : f.asString());
    };
    cdsPedido.beforeInsert = [this](RecordSet&) { cdsPedidoBeforeInsert(); };
    cdsPedido.beforeEdit = [this](RecordSet&) { cdsPedidoBeforeEdit(); };
    cdsPedido.beforePost = [this](RecordSet&) { cdsPedidoBeforePost(); };
    cdsPedido.afterPost = [this](RecordSet&) { cdsPedidoAfterPost(); };
    cdsPedido.afterCancel = [this](RecordSet&) { cdsPedidoAfterCancel(); };
    cdsPedido.fieldByName(u"CDVENDEDOR").onChange = [this](Field&) { cdsPedidoCDVENDEDORChange(); };
    cdsItemPedido.afterPost = [this](RecordSet&) { cdsItemPedidoAfterPost(); };
    cdsItemPedido.afterDelete = [this](RecordSet&) { cdsItemPedidoAfterPost(); };
    dbgPadrao->OnColExit = [this](TDBGrid&) { dbgPadraoColExit(); };
    dbgPadrao->OnEditButtonClick = [this](TDBGrid&) { dbgPadraoEditButtonClick(); };
    cdsVendedor.beforeInsert = [this](RecordSet&) { cdsVendedorBeforeInsert(); };
    cdsVendedor.afterInsert = [this](RecordSet&) { cdsVendedorAfterInsert(); };
    cdsVendedor.beforeEdit = [this](RecordSet&) { cdsVendedorBeforeEdit(); };
    cdsVendedor.beforePost = [this](RecordSet&) { cdsVendedorBeforePost(); };
    cdsVendedor.afterPost = [this](RecordSet&) { cdsVendedorAfterPost(); };
    cdsVendedor.beforeDelete = [this](RecordSet&) { cdsVendedorBeforeDelete(); };
    cdsVendedor.afterDelete = [this](RecordSet&) { cdsVendedorAfterDelete(); };
    cdsVendedor.afterCancel = [this](RecordSet&) { cdsVendedorAfterCancel(); };
    dbgVendedor->OnColEnter = [this](TDBGrid&) { dbgVendedorColEnter(); };
    dbgVendedor->OnColExit = [this](TDBGrid&) { dbgVendedorColExit(); };
    dbgVendedor->OnEditButtonClick = [this](TDBGrid&) { dbgVendedorEditButtonClick(); };
    // Esc gives a line up as Cancelar does, question included
    dbgPadrao->OnCancelLine = [this](TDBGrid&) { sbtCancelarClick(); };
    dbgVendedor->OnCancelLine = [this](TDBGrid&) { sbtCancelarClick(); };
    dbgVendedor->OnDeleteLine = [this](TDBGrid&) { sbtExcluirClick(); };
    dbgVendedor->OnDrawColumnCell = [this](TDBGrid&, const TColumn& c, Field& f, CellStyle& st) {
        dbgVendedorDrawColumnCell(c, f, st);
    };
    cdsVendedor.fieldByName(u"DSCARGOVEND").onGetText = [this](const Field& f, bool) {
        return roleCaption(f.dataSet().fieldByName(u"IDCARGOVEND").asString());
    };
    netComissaoVendedor->setConnected(true);
    netNotaPed->setConnected(true);
    dtsPedidoStateChange();
}

void TfrmComissaoVend::FormActivate()
{
    update();
    if (!boPrimVez)
        return;
    const auto firstDone = qScopeGuard([this] {
        boPrimVez = false;
        m_lastBranch.clear();
    });
    medCdFilial->setText(FiliProc());
    edtNmFilial->setText(NomeFiliProc());
    const bool fixed = ModuFili();
    for (QWidget* w : {static_cast<QWidget*>(lblFilial), static_cast<QWidget*>(medCdFilial),
                       static_cast<QWidget*>(btnFilial)}) {
        w->setEnabled(!fixed);
        w->setProperty("Tag", fixed ? 99 : 0);
    }
    if (fixed) {
        focusBack(dbgPadrao);
        medCdFilialExit();
    } else {
        showOrderCount(); // the hint to type a branch
    }
}

void TfrmComissaoVend::FormClose()
{
    netComissaoVendedor->setConnected(false);
    netNotaPed->setConnected(false);
    boIdCriado = false;
    TfrmPadrao::FormClose();
}

std::vector<RecordSet*> TfrmComissaoVend::pendingSets()
{
    // the order's salesman on the list page, the salesman lines on the items page
    return {&cdsPedido, &cdsVendedor};
}

void TfrmComissaoVend::pgcPadraoChange()
{
    TfrmPadrao::pgcPadraoChange();
    if (!onListPage()) {
        if (cdsPedido.active() && !cdsPedido.isEmpty())
            cdsPedidoAfterScroll();
    } else {
        dtsPedidoStateChange();
    }
    btnCancelaComissaoRule();
}

void TfrmComissaoVend::sbtConfirmarClick()
{
    if (onListPage()) {
        if (orderEditing()) {
            FinishCellEditors(this, &cdsPedido, true);
            cdsPedido.post();
        }
    } else {
        TfrmPadrao::sbtConfirmarClick();
    }
}

void TfrmComissaoVend::sbtCancelarClick()
{
    if (onListPage()) {
        if (orderEditing()
            && TMessages::baseCatalogue().ShowMsg(QStringLiteral("Canc"), MsgType::Confirmation, Buttons::YesNo) == mrYes) {
            FinishCellEditors(this, &cdsPedido, false);
            cdsPedido.cancel();
        }
    } else {
        TfrmPadrao::sbtCancelarClick();
        dtsPadraoStateChange();
    }
}

void TfrmComissaoVend::sbtProcurarClick()
{
    if (onListPage()) {
        if (cdsPedido.active() && !cdsPedido.isEmpty())
            Procura(cdsPedido);
    } else {
        TfrmPadrao::sbtProcurarClick();
    }
}
