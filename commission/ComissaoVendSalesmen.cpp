// The salesmen of the current item and their commission lines: loading,
// gates, validation, the default percentage and sending each change.
#include "ComissaoVend.h"

#include "shared/Globals.h"
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/DateUtil.h"
#include "core/Services.h"
#include "widgets/Events.h"

#include <QScopedValueRollback>
#include <cmath>

using namespace fw;
using namespace Cli_ped03600;

namespace {

// Percentages compare in hundredths, as they are typed: binary floating
// point must not refuse a total that is exactly 100.
qint64 hundredths(double v)
{
    return std::llround(v * 100.0);
}

// The server's refusal of a change set made stale by another user.
const QString& conflictText()
{
    static const QString text = QStringLiteral("Registro alterado por outro usuário. Recarregue os dados.");
    return text;
}

} // namespace

bool TfrmComissaoVend::salesmanEditing() const
{
    return cdsVendedor.state() == DataSetState::Edit || cdsVendedor.state() == DataSetState::Insert;
}

QString TfrmComissaoVend::itemKey(const char* field) const
{
    return const_cast<RecordSet&>(cdsItemPedido).fieldByName(QString::fromLatin1(field)).asString();
}

void TfrmComissaoVend::cdsItemPedidoAfterScroll()
{
    const bool any = cdsItemPedido.active() && !cdsItemPedido.isEmpty();
    const QString status = any ? cdsItemPedido.fieldByName(u"IDSITITEMPED").asString() : QString();
    dbgVendedor->setEditing(any && status.compare(QLatin1String("3")) <= 0);
    const bool served = status == QLatin1String("4") || status == QLatin1String("6") || status == QLatin1String("7");
    edtDataSaida->setVisible(served);
    lblDataSaida->setVisible(served);
    applyPercentReadOnly();
    lblRegraComissao->clear();
    if (!any) {
        // The lines and invoice entries of the item left behind go too.
        for (RecordSet* rs : {&cdsLancNf, &cdsVendedor})
            if (rs->active())
                rs->emptyDataSet();
        loadHistory();
        return;
    }
    const Payload lanc = CheckResultServ(netComissaoVendedor->call(QStringLiteral("GetLanc"),
                                                                   {itemKey("CDFILIAL"), itemKey("NRPEDIDO"),
                                                                    itemKey("NRITEMPED")}),
                                         true, 0);
    setDataEach(lanc, {&cdsLancNf, &cdsVendedor});
    if (served) {
        edtDataSaida->clear();
        if (!cdsLancNf.isEmpty())
            edtDataSaida->setText(cdsLancNf.fieldByName(u"DTENTRSAID").displayText());
    }
    loadHistory();
}

void TfrmComissaoVend::applyPercentReadOnly()
{
    const bool liquidated = cdsPedido.active() && !cdsPedido.isEmpty()
        && cdsPedido.fieldByName(u"IDSITPEDIDO").asString() == QLatin1String("3");
    cdsVendedor.fieldByName(u"VRPECOMITPED").readOnly = liquidated;
}

void TfrmComissaoVend::dbgVendedorColEnter()
{
    const Field* f = dbgVendedor->SelectedField();
    if (!f)
        return;
    if (f->fieldName() == QLatin1String("NMFANVEN"))
        dbgVendedor->setEditing(false);
    else if (f->fieldName() == QLatin1String("CDVENDEDOR") || f->fieldName() == QLatin1String("VRPECOMITPED"))
        dbgVendedor->setEditing(true);
}

void TfrmComissaoVend::dbgVendedorDrawColumnCell(const TColumn& col, Field&, CellStyle&)
{
    if (col.FieldName == QLatin1String("VRPECOMITPED"))
        applyPercentReadOnly();
}

void TfrmComissaoVend::cdsVendedorBeforeInsert()
{
    if (cdsParExpedicao.fieldByName(u"IDCOMISPERIODO").asString() == QLatin1String("S"))
        MensErro(msgPadrao.Msg(QStringLiteral("Comis_Periodo")), true);
}

void TfrmComissaoVend::cdsVendedorBeforeDelete()
{
    cdsVendedorBeforeInsert();
}

void TfrmComissaoVend::cdsVendedorBeforeEdit()
{
    if (cdsParExpedicao.fieldByName(u"IDCOMISPERIODO").asString() != QLatin1String("N"))
        MensErro(msgPadrao.Msg(QStringLiteral("Comis_Periodo")), true);
    refuseWhenAccountsGenerated();
}

void TfrmComissaoVend::placeSalesmanColumn(const QString& field)
{
    // Validation already said what is wrong: moving there must not run the
    // exit check of the column being left again.
    const QScopedValueRollback placing(m_placing, true);
    if (onListPage())
        pgcPadrao->setCurrentWidget(tshFormulario);
    focusBack(dbgVendedor);
    dbgVendedor->setSelectedIndex(IndiceCol(*dbgVendedor, field));
}

void TfrmComissaoVend::sbtIncluirClick()
{
    if (onListPage()) {
        pgcPadrao->setCurrentWidget(tshFormulario);
        placeSalesmanColumn(QStringLiteral("CDVENDEDOR"));
    }
    TfrmPadrao::sbtIncluirClick();
    placeSalesmanColumn(QStringLiteral("CDVENDEDOR"));
}

void TfrmComissaoVend::sbtAlterarClick()
{
    if (onListPage())
        return;
    TfrmPadrao::sbtAlterarClick();
    placeSalesmanColumn(QStringLiteral("VRPECOMITPED"));
}

void TfrmComissaoVend::cdsVendedorAfterInsert()
{
    placeSalesmanColumn(QStringLiteral("CDVENDEDOR"));
}

void TfrmComissaoVend::dbgVendedorEditButtonClick()
{
    // The code column is read-only for an operator who sees only his
    // salesman's orders: its search would write it all the same.
    if (ownOrdersOnly())
        return;
    if (!salesmanEditing()) {
        if (cdsVendedor.isEmpty())
            cdsVendedor.insert();
        else
            cdsVendedor.edit();
    }
    cdsPesqVendedor.setData(
        CheckResultServ(netComissaoVendedor->call(QStringLiteral("GetPesqVendedor"), {QString()}), true, 0));
    if (Pesquisar(dtsPesqVendedor, msgPadrao.Msg(QStringLiteral("VEND")) + QLatin1Char('|')
                                       + msgPadrao.Msg(QStringLiteral("VEN_NCAD")),
                  false, true)) {
        cdsVendedor.fieldByName(u"CDVENDEDOR").setValue(cdsPesqVendedor.fieldByName(u"CDVENDEDOR").value());
        cdsVendedor.fieldByName(u"NMFANVEN").setValue(cdsPesqVendedor.fieldByName(u"NMFANVEN").value());
        cdsVendedor.fieldByName(u"IDCARGOVEND").setValue(cdsPesqVendedor.fieldByName(u"IDCARGOVEND").value());
        cdsVendedor.fieldByName(u"VRPECOMITPED").setValue(cdsPesqVendedor.fieldByName(u"VRPECOMVEN").value());
    }
}

void TfrmComissaoVend::Vd_CdVendedor(bool required)
{
    if (!salesmanEditing())
        return;
    try {
        Field& code = cdsVendedor.fieldByName(u"CDVENDEDOR");
        Field& name = cdsVendedor.fieldByName(u"NMFANVEN");
        if (code.asString().isEmpty()) {
            if (required)
                MensErro(msgPadrao.Msg(QStringLiteral("Vend_Inf")), true);
            // No code, no salesman: a name left from an earlier search
            // would show a salesman the line does not have.
            name.clear();
            return;
        }
        const QString c = Ajusta(code.asString(), 4);
        code.setValue(c);
        cdsPesqVendedor.setData(
            CheckResultServ(netComissaoVendedor->call(QStringLiteral("GetPesqVendedor"), {c}), true, 0));
        if (cdsPesqVendedor.isEmpty())
            MensErro(msgPadrao.Msg(QStringLiteral("Ven_Nao_Cad")), true);
        cdsPesqVendItem.setData(CheckResultServ(
            netComissaoVendedor->call(QStringLiteral("GetPesqVendItem"),
                                      {itemKey("CDFILIAL"), itemKey("NRPEDIDO"), itemKey("NRITEMPED"), c}),
            true, 0));
        const bool inserting = cdsVendedor.state() == DataSetState::Insert;
        const bool changed = inserting || code.oldValue().toString() != c;
        if (!cdsPesqVendItem.isEmpty() && changed)
            MensErro(msgPadrao.Msg(QStringLiteral("VEND_ITEM")), true);
        name.setValue(cdsPesqVendedor.fieldByName(u"NMFANVEN").value());
        // the role caption of a new line shows at once
        cdsVendedor.fieldByName(u"IDCARGOVEND").setValue(cdsPesqVendedor.fieldByName(u"IDCARGOVEND").value());

        const Field* column = dbgVendedor->SelectedField();
        if (column && column->fieldName() == QLatin1String("CDVENDEDOR") && changed && boBuscarComis) {
            const std::vector<RpcArg> lookup{itemKey("CDFILIAL"), c, itemKey("CDPRODUTO"),
                                             cdsItemPedido.fieldByName(u"VRPREUNITPED").asFloat(),
                                             itemKey("IDITPEDDIFER"), itemKey("CDCLIENTE")};
            const Payload pct = CheckResultServ(netComissaoVendedor->call(QStringLiteral("GetBuscaComissao"), lookup),
                                                true, 0);
            doVrpecomitped = pct.toNumber();
            cdsVendedor.fieldByName(u"VRPECOMITPED").setValue(doVrpecomitped);
            boBuscarComis = false;
            showCommissionRule(lookup);
        }
    } catch (...) {
        placeSalesmanColumn(QStringLiteral("CDVENDEDOR"));
        dbgVendedor->reopenCell();
        throw;
    }
}

void TfrmComissaoVend::Vd_Comissao()
{
    if (!salesmanEditing())
        return;
    try {
        Field& pct = cdsVendedor.fieldByName(u"VRPECOMITPED");
        if (hundredths(pct.asFloat()) != hundredths(doVrpecomitped))
            lblRegraComissao->clear();
        if (hundredths(pct.asFloat()) <= 0)
            MensErro(msgPadrao.Msg(QStringLiteral("PECOMISSAO")), true);
        cdsTotiComi.setData(CheckResultServ(
            netComissaoVendedor->call(QStringLiteral("GetToTiComi"),
                                      {itemKey("CDFILIAL"), itemKey("NRPEDIDO"), itemKey("NRITEMPED")}),
            true, 0));
        const QVariant stored = pct.oldValue();
        const double old = cdsVendedor.state() == DataSetState::Insert || stored.isNull() ? 0.0 : stored.toDouble();
        const double total = cdsTotiComi.isEmpty() ? 0.0 : cdsTotiComi.fieldByName(u"VRTOTALPERC").asFloat();
        const qint64 sum = hundredths(total) - hundredths(old) + hundredths(pct.asFloat());
        if (sum < 0 || sum > 10000)
            MensErro(msgPadrao.Msg(QStringLiteral("TOTAL_COMIS")), true);
    } catch (...) {
        placeSalesmanColumn(QStringLiteral("VRPECOMITPED"));
        dbgVendedor->reopenCell();
        throw;
    }
}

void TfrmComissaoVend::dbgVendedorColExit()
{
    if (m_placing)
        return;
    const Field* f = dbgVendedor->SelectedField();
    if (!f)
        return;
    if (f->fieldName() == QLatin1String("CDVENDEDOR"))
        Vd_CdVendedor(false);
    else if (f->fieldName() == QLatin1String("VRPECOMITPED"))
        Vd_Comissao();
}

void TfrmComissaoVend::cdsVendedorBeforePost()
{
    Vd_CdVendedor(true);
    Vd_Comissao();
    cdsVendedor.fieldByName(u"CDFILIAL").setValue(itemKey("CDFILIAL"));
    cdsVendedor.fieldByName(u"NRPEDIDO").setValue(itemKey("NRPEDIDO"));
    cdsVendedor.fieldByName(u"NRITEMPED").setValue(itemKey("NRITEMPED"));
    boAltItens = msgPadrao.ShowMsg(QStringLiteral("GRAVA_VEND_ITEM"), MsgType::Confirmation, Buttons::YesNo, 0) == mrYes;
    m_typedLine = {cdsVendedor.state() == DataSetState::Insert, cdsVendedor.recNo(), {}};
    for (const char* name : {"CDVENDEDOR", "NMFANVEN", "IDCARGOVEND", "VRPECOMITPED"})
        m_typedLine.values.emplace_back(QString::fromLatin1(name),
                                        cdsVendedor.fieldByName(QString::fromLatin1(name)).value());
}

void TfrmComissaoVend::restoreTypedLine()
{
    const TypedLine line = std::exchange(m_typedLine, {});
    if (line.values.empty() || salesmanEditing())
        return;
    if (line.inserted) {
        cdsVendedor.append();
    } else {
        if (line.recNo < 0 || line.recNo >= cdsVendedor.recordCount())
            return;
        cdsVendedor.moveTo(line.recNo);
        cdsVendedor.edit();
    }
    for (const auto& [name, value] : line.values)
        cdsVendedor.fieldByName(name).setValue(value);
    placeSalesmanColumn(QStringLiteral("VRPECOMITPED"));
    dbgVendedor->reopenCell();
}

void TfrmComissaoVend::sendSalesmen(bool allItems)
{
    if (cdsVendedor.changeCount() <= 0)
        return;
    try {
        BusyGuard busy(1);
        CheckResultServ(netComissaoVendedor->call(QStringLiteral("SetVendedor"),
                                                  {RpcArg::json(cdsVendedor.delta()), Operador(), allItems,
                                                   itemKey("IDSITITEMPED")}),
                        true, 0);
    } catch (...) {
        cdsVendedor.cancelUpdates();
        // Someone else changed the item's lines: show what is stored now.
        if (exceptionText(std::current_exception()) == conflictText())
            guarded([this] { cdsItemPedidoAfterScroll(); });
        throw;
    }
    cdsVendedor.mergeChangeLog();
    loadHistory();
}

void TfrmComissaoVend::cdsVendedorAfterPost()
{
    try {
        sendSalesmen(boAltItens);
    } catch (...) {
        // A refusal keeps what was typed for the user to correct; after a
        // second user's change the stored lines are what counts.
        if (exceptionText(std::current_exception()) != conflictText())
            guarded([this] { restoreTypedLine(); });
        m_typedLine = {};
        throw;
    }
    m_typedLine = {};
}

QString TfrmComissaoVend::deleteQuestion()
{
    if (onListPage() || !cdsVendedor.active() || cdsVendedor.isEmpty())
        return TfrmPadrao::deleteQuestion();
    return QStringLiteral("Confirma a exclusão do vendedor %1 - %2 do item %3?")
        .arg(cdsVendedor.fieldByName(u"CDVENDEDOR").asString(), cdsVendedor.fieldByName(u"NMFANVEN").asString().trimmed(),
             itemKey("NRITEMPED"));
}

void TfrmComissaoVend::cdsVendedorAfterDelete()
{
    sendSalesmen(false);
}

void TfrmComissaoVend::cdsVendedorAfterCancel()
{
    cdsVendedor.cancelUpdates();
    lblRegraComissao->clear();
}
