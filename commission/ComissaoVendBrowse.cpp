// Moving through orders and items: items of the order, the order total,
// captions, colours and sorting of both grids.
#include "ComissaoVend.h"

#include "core/Consiste.h"
#include "core/Context.h"
#include "core/DateUtil.h"
#include "core/FormatUtil.h"
#include "core/FwError.h"

#include <QApplication>
#include <QDebug>
#include <QPalette>
#include <QScopeGuard>
#include <cmath>

using namespace fw;

namespace {

// The standard 16-colour palette.
const QColor clBlue(0, 0, 255), clOlive(128, 128, 0), clPurple(128, 0, 128), clRed(255, 0, 0),
    clGreen(0, 128, 0), clTeal(0, 128, 128);

QColor orderColour(const QString& s)
{
    if (s == QLatin1String("1")) return clBlue;
    if (s == QLatin1String("2")) return clOlive;
    if (s == QLatin1String("4")) return clRed;
    if (s == QLatin1String("6")) return clTeal;
    return clPurple;
}

QColor itemColour(const QString& s)
{
    if (s == QLatin1String("1")) return clBlue;
    if (s == QLatin1String("2")) return clOlive;
    if (s == QLatin1String("3")) return clGreen;
    if (s == QLatin1String("5")) return clRed;
    if (s == QLatin1String("7")) return clTeal;
    return clPurple;
}

void paintBase(CellStyle& st, const QColor& font)
{
    const QPalette pal = QApplication::palette();
    if (st.selected) {
        st.background = pal.color(QPalette::Highlight);
        st.foreground = pal.color(QPalette::HighlightedText);
    } else {
        st.background = pal.color(QPalette::ToolTipBase);
        st.foreground = font;
    }
}

} // namespace

QString TfrmComissaoVend::orderStatusCaption(const QString& code) const
{
    static const char* keys[] = {"PE", "AN", "LQ", "CN", "LQ", "PA"};
    const int i = code.size() == 1 ? code.at(0).unicode() - '1' : -1;
    return i >= 0 && i < 6 ? msgPadrao.Msg(QLatin1String(keys[i])) : QString();
}

QString TfrmComissaoVend::itemStatusCaption(const QString& code) const
{
    static const char* keys[] = {"PE", "CF", "AP", "LQ", "CN", "LQ", "PA"};
    const int i = code.size() == 1 ? code.at(0).unicode() - '1' : -1;
    return i >= 0 && i < 7 ? msgPadrao.Msg(QLatin1String(keys[i])) : QString();
}

QString TfrmComissaoVend::roleCaption(const QString& letter) const
{
    if (letter == QLatin1String("S")) return msgPadrao.Msg(QStringLiteral("SUPERVISOR"));
    if (letter == QLatin1String("G")) return msgPadrao.Msg(QStringLiteral("GERENTE"));
    if (letter == QLatin1String("A")) return msgPadrao.Msg(QStringLiteral("AUXILIAR"));
    if (letter == QLatin1String("V")) return msgPadrao.Msg(QStringLiteral("VENDEDOR"));
    return {};
}

void TfrmComissaoVend::cdsPedidoBeforeScroll()
{
    nedTotal->SetNumber(0);
}

void TfrmComissaoVend::cdsPedidoAfterScroll()
{
    if (!cdsPedido.active() || cdsPedido.isEmpty()) {
        // No order: nothing to ask the server, and no items of an earlier
        // order may stay on screen.
        if (cdsItemPedido.active())
            cdsItemPedido.emptyDataSet();
        else
            cdsItemPedidoAfterScroll();
        nedTotal->SetNumber(0);
        dbgVendedor->setEditing(false);
        dtsPadraoStateChange();
        if (onListPage())
            dtsPedidoStateChange();
        btnCancelaComissao->SetDown(false);
        return;
    }
    try {
        BusyGuard busy(6);
        const Payload items = CheckResultServ(
            netComissaoVendedor->call(QStringLiteral("GetItemPedido"), {cdsPedido.fieldByName(u"CDFILIAL").asString(),
                                                                        cdsPedido.fieldByName(u"NRPEDIDO").asString()}),
            true, 0);
        cdsItemPedido.setData(items);
        dbgVendedor->setEditing(!cdsItemPedido.isEmpty()
                                && cdsItemPedido.fieldByName(u"IDSITITEMPED").asString().compare(QLatin1String("3")) <= 0);

        // Each item's total is rounded before it is added.
        try {
            if (!cdsSomatorio.active())
                cdsSomatorio.createDataSet();
            cdsSomatorio.emptyDataSet();
            nedTotal->SetNumber(0);
            // Rows are read in place: scrolling would fetch every item's
            // salesmen from the server only to come back to the first item.
            cdsItemPedido.disableControls();
            const auto release = qScopeGuard([this] { cdsItemPedido.enableControls(); });
            Field& itemTotal = cdsItemPedido.fieldByName(u"VrTotal");
            for (int r = 0; r < cdsItemPedido.recordCount(); ++r) {
                cdsSomatorio.append();
                cdsSomatorio.fieldByName(u"VRTOTAL").setValue(cdsItemPedido.withRow(r, [&] { return itemTotal.value(); }));
                cdsSomatorio.post();
            }
            double total = 0;
            for (cdsSomatorio.first(); !cdsSomatorio.eof(); cdsSomatorio.next())
                total = RoundDec(total, 2) + RoundDec(cdsSomatorio.fieldByName(u"VRTOTAL").asFloat(), 2);
            if (!std::isfinite(total))
                throw Error(QStringLiteral("soma dos itens fora do alcance"));
            nedTotal->SetNumber(total);
        } catch (...) {
            // The total is a convenience and the items are shown all the
            // same; but a total that could not be made is blank, never a
            // zero that reads as a real one, and the reason goes to the log.
            nedTotal->clear();
            qWarning().noquote() << QStringLiteral("Total do pedido %1 não calculado: %2")
                                        .arg(cdsPedido.fieldByName(u"NRPEDIDO").asString(),
                                             exceptionText(std::current_exception()));
        }
    } catch (...) {
        dtsPadraoStateChange();
        throw;
    }
    dtsPadraoStateChange();
    if (onListPage())
        dtsPedidoStateChange();
    const bool cancelled = cdsPedido.fieldByName(u"IDCANCCOMISPED").asString() == QLatin1String("S");
    btnCancelaComissao->SetDown(cancelled);
    btnCancelaComissao->setToolTip(cancelled ? QStringLiteral("Regerar Comissionamento")
                                             : QStringLiteral("Cancelar Comissionamento"));
}

void TfrmComissaoVend::cdsItemPedidoCalcFields()
{
    Field& qt = cdsItemPedido.fieldByName(u"QTITEMPED");
    Field& pr = cdsItemPedido.fieldByName(u"VRPREUNITPED");
    Field& total = cdsItemPedido.fieldByName(u"VrTotal");
    if (qt.isNull() || pr.isNull())
        total.clear();
    else
        total.setValue(qt.asFloat() * pr.asFloat());
}

void TfrmComissaoVend::dbgPadraoDrawColumnCell(const TColumn& col, Field& field, CellStyle& st)
{
    paintBase(st, orderColour(cdsPedido.fieldByName(u"IDSITPEDIDO").asString()));
    if (col.FieldName.compare(QLatin1String("CDVENDEDOR"), Qt::CaseInsensitive) != 0)
        return;
    const bool typing = (cdsPedido.state() == DataSetState::Browse || cdsPedido.state() == DataSetState::Edit)
        && dbgPadrao->editing() && st.selected && !st.focused;
    st.hasText = true;
    if (typing)
        st.text = field.asString();
    else
        st.text = field.asString().isEmpty() ? QString() : cdsPedido.fieldByName(u"NMFANVEN").asString();
}

void TfrmComissaoVend::dbgItemPedidoDrawColumnCell(const TColumn& col, Field& field, CellStyle& st)
{
    paintBase(st, itemColour(cdsItemPedido.fieldByName(u"IDSITITEMPED").asString()));
    const QString name = field.fieldName().toUpper();
    if (name == QLatin1String("CDARVPROD") && !field.isNull()) {
        const QString mask = DBPict(0);
        st.hasText = true;
        st.text = mask.isEmpty() ? field.asString() : fmt::applyMask(field.asString(), mask);
        st.alignment = Qt::AlignLeft;
        return;
    }
    const char* picture = nullptr;
    if (name == QLatin1String("QTITEMPED") || name == QLatin1String("QTITEMPED2"))
        picture = "##0.000";
    else if (name == QLatin1String("VRPREUNITPED"))
        picture = "###0.000";
    else if (name == QLatin1String("VRTOTAL"))
        picture = "###0.00";
    if (picture && !field.isNull()) {
        st.hasText = true;
        st.text = fmt::formatFloat(QLatin1String(picture), field.asFloat());
        st.alignment = Qt::AlignRight;
    }
    Q_UNUSED(col);
}

void TfrmComissaoVend::dbgPadraoTitleClick(TColumn& col)
{
    cdsPedido.setIndexFieldNames(col.FieldName);
}

void TfrmComissaoVend::dbgItemPedidoTitleClick(TColumn& col)
{
    cdsItemPedido.setIndexFieldNames(col.FieldName);
}

void TfrmComissaoVend::dbgItemPedidoKeyDown(int& key, Qt::KeyboardModifiers mods)
{
    if (key == Qt::Key_Delete && (mods & Qt::ControlModifier))
        key = 0;
}

void TfrmComissaoVend::netComissaoVendedorBeforeConnect(TNetConnection& c)
{
    c.host = WebURL();
    c.Port = WebPort();
    c.Tls = WebTls();
}

void TfrmComissaoVend::netNotaPedBeforeConnect(TNetConnection& c)
{
    c.host = WebURL();
    c.Port = WebPort();
    c.Tls = WebTls();
}
