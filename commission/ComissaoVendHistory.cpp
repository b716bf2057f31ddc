// The audit trail of the current item's commission lines, and the rule that
// produced a default percentage. Both only inform: when the server cannot
// answer them, the panel says so and the commission work goes on.
#include "ComissaoVend.h"

#include "shared/Fields.h"
#include "core/Context.h"

#include <QGroupBox>
#include <QVBoxLayout>

using namespace fw;

namespace {

QString noReasonText()
{
    return QStringLiteral("o servidor não informou o motivo.");
}

} // namespace

void TfrmComissaoVend::declareHistory()
{
    declareField(cdsHistComissao, "DTHRALTER", FieldType::DateTime, 0, QStringLiteral("Data/Hora")).displayWidth = 19;
    declareField(cdsHistComissao, "CDOPERADOR", FieldType::String, 32, QStringLiteral("Operador")).displayWidth = 8;
    declareField(cdsHistComissao, "IDACAO", FieldType::String, 1, QStringLiteral("Ação")).displayWidth = 10;
    declareField(cdsHistComissao, "CDVENDEDOR", FieldType::String, 4, QStringLiteral("Vendedor")).displayWidth = 5;
    declareField(cdsHistComissao, "NMFANVEN", FieldType::String, 50, QStringLiteral("Nome")).displayWidth = 16;
    for (const char* n : {"VRPECOMITPEDANT", "VRPECOMITPED"}) {
        Field& f = declareField(cdsHistComissao, n, FieldType::Float, 0,
                                n[12] == 'A' ? QStringLiteral("Anterior(%)") : QStringLiteral("Novo(%)"));
        f.displayFormat = QStringLiteral("#,##0.00");
    }
    cdsHistComissao.fieldByName(u"IDACAO").onGetText = [this](const Field& f, bool) {
        return actionCaption(f.asString());
    };
    dtsHistComissao.setDataSet(&cdsHistComissao);

    declareField(cdsRegraComissao, "VRPECOMISSAO", FieldType::Float);
    declareField(cdsRegraComissao, "DSREGRA", FieldType::String, 100);
}

QString TfrmComissaoVend::actionCaption(const QString& code) const
{
    if (code == QLatin1String("I"))
        return QStringLiteral("Inclusão");
    if (code == QLatin1String("A"))
        return QStringLiteral("Alteração");
    if (code == QLatin1String("E"))
        return QStringLiteral("Exclusão");
    if (code == QLatin1String("G"))
        return QStringLiteral("Regeneração");
    if (code == QLatin1String("R"))
        return QStringLiteral("Recálculo por período");
    return code;
}

QWidget* TfrmComissaoVend::buildHistoryPanel(QWidget* parent)
{
    grpHistorico = new QGroupBox(QStringLiteral("Histórico da comissão do item"), parent);
    grpHistorico->setObjectName(QStringLiteral("grpHistorico"));
    auto* box = new QVBoxLayout(grpHistorico);
    box->setContentsMargins(4, 4, 4, 4);
    dbgHistComissao = new TDBGrid(grpHistorico, QStringLiteral("dbgHistComissao"));
    dbgHistComissao->setDataSource(&dtsHistComissao);
    dbgHistComissao->setEditing(false);
    dbgHistComissao->setAccessibleName(QStringLiteral("Histórico da comissão do item"));
    dbgHistComissao->setColumns({
        {QStringLiteral("DTHRALTER"), {}, 0, {}, true, false},
        {QStringLiteral("CDOPERADOR"), {}, 0, {}, true, false},
        {QStringLiteral("IDACAO"), {}, 0, {}, true, false},
        {QStringLiteral("CDVENDEDOR"), {}, 0, {}, true, false},
        {QStringLiteral("NMFANVEN"), {}, 0, {}, true, false},
        {QStringLiteral("VRPECOMITPEDANT"), {}, 0, Qt::AlignRight, true, false},
        {QStringLiteral("VRPECOMITPED"), {}, 0, Qt::AlignRight, true, false},
    });
    lblHistorico = new QLabel(grpHistorico);
    lblHistorico->setObjectName(QStringLiteral("lblHistorico"));
    lblHistorico->setWordWrap(true);
    lblHistorico->setVisible(false);
    box->addWidget(dbgHistComissao, 1);
    box->addWidget(lblHistorico);
    return grpHistorico;
}

void TfrmComissaoVend::loadHistory()
{
    lblHistorico->clear();
    lblHistorico->setVisible(false);
    const bool any = cdsItemPedido.active() && !cdsItemPedido.isEmpty();
    QString failure;
    bool failed = false;
    if (any) {
        const ServerResult r = netComissaoVendedor->call(
            QStringLiteral("GetHistComissao"), {itemKey("CDFILIAL"), itemKey("NRPEDIDO"), itemKey("NRITEMPED")});
        if (r.ok) {
            try {
                cdsHistComissao.setData(r.payload);
                return;
            } catch (...) {
                failure = exceptionText(std::current_exception());
            }
        } else {
            failure = r.message;
        }
        failed = true;
    }
    if (cdsHistComissao.active())
        cdsHistComissao.emptyDataSet();
    if (failed) {
        // a failure without a text of its own still says so
        lblHistorico->setText(QStringLiteral("Histórico indisponível: ")
                              + (failure.trimmed().isEmpty() ? noReasonText() : failure));
        lblHistorico->setVisible(true);
    }
}

void TfrmComissaoVend::showCommissionRule(const std::vector<RpcArg>& lookup)
{
    lblRegraComissao->clear();
    const ServerResult r = netComissaoVendedor->call(QStringLiteral("GetRegraComissao"), lookup);
    QString failure = r.message;
    if (r.ok) {
        try {
            cdsRegraComissao.setData(r.payload);
            if (!cdsRegraComissao.isEmpty())
                lblRegraComissao->setText(cdsRegraComissao.fieldByName(u"DSREGRA").asString());
            return;
        } catch (...) {
            failure = exceptionText(std::current_exception());
        }
    }
    // The percentage stands; only its explanation is missing, and says so.
    lblRegraComissao->setText(QStringLiteral("Regra indisponível: ")
                              + (failure.trimmed().isEmpty() ? noReasonText() : failure));
}
