// The order filter dialog, opened for the real commission screen against a
// real server: validation, the list pickers, what confirming writes,
// "Desfazer", saved options, and the orders a confirmed filter brings.
#include "HostFixture.h"

#include <QScrollBar>

#include "search/BuscaComissao.h"
#include "shared/Globals.h"
#include "core/DateUtil.h"
#include "widgets/Events.h"
#include "widgets/QtUi.h"

#include <QTimer>

#include <QAbstractButton>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>

using namespace testsupport;
using json = nlohmann::json;

namespace {

class FilterTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        sc = openLoaded();
        ASSERT_NE(sc, nullptr);
        ui.messages.clear();
        proxy.clear();
    }
    void TearDown() override
    {
        dlg.reset();
        HostFixture::TearDown();
    }

    // A dialog of the screen, shown and loaded from the filter record.
    TfrmFiltroComisVend& open()
    {
        dlg = std::make_unique<TfrmFiltroComisVend>(sc);
        dlg->FormCreate();
        dlg->show();
        settle();
        dlg->FormActivate();
        return *dlg;
    }
    bool confirm() { return fw::runHandler([&] { dlg->sbtConfirmaClick(); }); }
    void focus(QWidget* w)
    {
        w->setFocus();
        settle();
    }
    void expectRefused(const QString& text, QWidget* focused)
    {
        EXPECT_FALSE(confirm());
        EXPECT_EQ(ui.lastText(), text);
        EXPECT_EQ(QApplication::focusWidget(), focused) << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "");
    }

    TfrmComissaoVend* sc = nullptr;
    std::unique_ptr<TfrmFiltroComisVend> dlg;
};

TEST_F(FilterTest, DatesAreCheckedInPairsAndTheFocusedPairFirst)
{
    TfrmFiltroComisVend& d = open();
    EXPECT_EQ(d.depDeEmissao->GetDate(), fw::date::today() - 8);
    EXPECT_TRUE(d.depDeEntrega->isBlank());

    // an impossible date is reported on leaving the field, which keeps the focus
    focus(d.depDeEmissao);
    d.depDeEmissao->setText(QStringLiteral("31/02/2024"));
    focus(d.depAteEmissao);
    EXPECT_EQ(ui.lastText(), QStringLiteral("'31/02/2024' não é uma data válida."));
    EXPECT_EQ(QApplication::focusWidget(), d.depDeEmissao);

    // missing first and last dates of each pair
    d.depDeEmissao->clear();
    focus(d.chbPedido);
    expectRefused(QStringLiteral("Data pedido inicial deve ser informada. "), d.depDeEmissao);
    d.depDeEmissao->SetDate(46000);
    d.depAteEmissao->clear();
    focus(d.chbPedido);
    expectRefused(QStringLiteral("Data pedido final deve ser informada. "), d.depAteEmissao);
    d.depAteEmissao->SetDate(45999);
    focus(d.chbPedido);
    expectRefused(QStringLiteral("Data pedido inicial deve ser menor ou igual à data pedido final."), d.depDeEmissao);
    d.depAteEmissao->SetDate(46000); // equal dates pass
    d.depDeEntrega->SetDate(46000);
    focus(d.chbPedido);
    expectRefused(QStringLiteral("Data entrega final deve ser informada. "), d.depAteEntrega);
    d.depDeEntrega->clear();
    d.depAteEntrega->SetDate(46000);
    focus(d.chbPedido);
    expectRefused(QStringLiteral("Data entrega inicial deve ser informada. "), d.depDeEntrega);

    // both pairs wrong: the pair being typed in is reported first
    d.depDeEmissao->clear();
    focus(d.chbPedido);
    expectRefused(QStringLiteral("Data pedido inicial deve ser informada. "), d.depDeEmissao);
    focus(d.depAteEntrega);
    expectRefused(QStringLiteral("Data entrega inicial deve ser informada. "), d.depDeEntrega);

    d.depDeEmissao->SetDate(46000);
    d.depDeEntrega->SetDate(46000);
    EXPECT_TRUE(confirm()) << ui.lastText().toStdString();
    EXPECT_TRUE(d.boConfirma);
    EXPECT_EQ(Cli_ped03600::Filtro.dtDeEntrega, 46000.0);
    EXPECT_FALSE(Cli_ped03600::Filtro.boSemEntrega);
    EXPECT_FALSE(sc->cdsPedido.active()); // the screen's orders were closed
}

TEST_F(FilterTest, GroupsIntervalAndListsAreCheckedInTheirOrder)
{
    TfrmFiltroComisVend& d = open();
    // typing a number selects "Intervalo" and enables both edits
    ASSERT_TRUE(d.rbtTNrPedido->isChecked());
    EXPECT_FALSE(d.medAteIntervalo->isEnabled());
    d.medDeIntervalo->setText(QStringLiteral("15"));
    EXPECT_TRUE(d.rbtIntervalo->isChecked());
    EXPECT_TRUE(d.medAteIntervalo->isEnabled());
    EXPECT_FALSE(d.btnPesqNrPed->isEnabled());
    expectRefused(QStringLiteral("Intervalo final deve ser informado. "), d.medAteIntervalo);
    EXPECT_EQ(d.medDeIntervalo->text(), QStringLiteral("0000000015")); // adjusted at confirmation
    d.medAteIntervalo->setText(QStringLiteral("9"));
    expectRefused(QStringLiteral("Número pedido inicial deve ser menor ou igual ao número pedido final. "),
                  d.medAteIntervalo);
    d.medAteIntervalo->setText(QStringLiteral("15")); // equal numbers pass

    for (QCheckBox* c : {d.chbPPendente, d.chbPAndamento, d.chbPLiquidado, d.chbPCancelado, d.chbPParcialmente})
        c->setChecked(false);
    expectRefused(QStringLiteral("Situação do pedido deve ser informada. "), d.chbPPendente);
    d.chbPLiquidado->setChecked(true);
    for (QCheckBox* c : {d.chbIPendente, d.chbIConfirmado, d.chbIAprovado, d.chbILiquidado, d.chbICancelado,
                         d.chbIParcialmente})
        c->setChecked(false);
    expectRefused(QStringLiteral("Situação do item deve ser informada. "), d.chbIPendente);
    d.chbIAprovado->setChecked(true);

    // lists: the customer comes first
    d.rbtLCliente->setChecked(true);
    d.rbtLMuniciCli->setChecked(true);
    d.rbtLVendedor->setChecked(true);
    EXPECT_TRUE(d.sbtCliente->isEnabled());
    expectRefused(QStringLiteral("Cliente deve ser informado."), d.rbtLCliente);
    Cli_ped03601::stCliente = QStringLiteral("CLI00001");
    expectRefused(QStringLiteral("Município do cliente deve ser informado."), d.rbtLMuniciCli);
    d.rbtTMuniciCli->setChecked(true);
    EXPECT_FALSE(d.sbtMuniciCli->isEnabled());
    expectRefused(QStringLiteral("Vendedor deve ser informado."), d.rbtLVendedor);
    d.rbtTVendedor->setChecked(true);
    d.chbPedido->setChecked(false);
    expectRefused(QStringLiteral("Tipo do pedido deve ser informado."), d.chbPedido);
    d.chbOrcamento->setChecked(true);
    for (QCheckBox* c : {d.chbNormal, d.chbAlta, d.chbUrgente})
        c->setChecked(false);
    expectRefused(QStringLiteral("Prioridade deve ser informada. "), d.chbNormal);
    d.chbAlta->setChecked(true);
    d.edtOrdemCompra->setText(QStringLiteral("77"));

    EXPECT_TRUE(confirm()) << ui.lastText().toStdString();
    const TFiltro& f = Cli_ped03600::Filtro;
    EXPECT_TRUE(f.NrPedido.boTodos);
    EXPECT_TRUE(f.NrPedido.boIntervalo);
    EXPECT_EQ(f.NrPedido.stDe, QStringLiteral("0000000015"));
    EXPECT_EQ(f.NrPedido.stAte, QStringLiteral("0000000015"));
    EXPECT_FALSE(f.Cliente.boTodos);
    EXPECT_EQ(f.Cliente.stLista, QStringLiteral("CLI00001"));
    EXPECT_TRUE(f.boPLiquidado && !f.boPPendente && f.boIAprovado && !f.boIPendente);
    EXPECT_TRUE(f.boAlta && !f.boNormal && !f.boPedido && f.boOrcamento);
    EXPECT_EQ(f.Ordem.stOrdemCompra, QStringLiteral("000000000000077"));
}

TEST_F(FilterTest, PickersAskTheRightSourcesAndWriteRawKeys)
{
    TfrmFiltroComisVend& d = open();
    QString caption;
    std::function<bool(fw::RecordSet&, const QString&, QString&)> pick;
    ui.onPesquisaLista = [&](fw::RecordSet& rs, const QString& key, const QString& cap, QString& sel) {
        caption = cap;
        return pick ? pick(rs, key, sel) : false;
    };

    // customers: the document number shows its person's mask, the list gets the code
    pick = [&](fw::RecordSet& rs, const QString& key, QString& sel) {
        EXPECT_EQ(key, QStringLiteral("CDCLIENTE"));
        EXPECT_TRUE(rs.locate({QStringLiteral("IDTPIJURCLIE")}, {QStringLiteral("J")}));
        const QString shown = rs.fieldByName(u"NRINSJURCLIE").displayText();
        EXPECT_EQ(shown.size(), 18) << shown.toStdString(); // 99.999.999/9999-99
        EXPECT_EQ(shown.mid(10, 1), QStringLiteral("/"));
        sel = rs.fieldByName(u"CDCLIENTE").asString();
        return true;
    };
    d.rbtLCliente->setChecked(true);
    d.sbtClienteClick();
    EXPECT_EQ(caption, QStringLiteral("Cliente"));
    EXPECT_FALSE(Cli_ped03601::stCliente.isEmpty());
    EXPECT_FALSE(Cli_ped03601::stCliente.contains(QLatin1Char('.')));

    // municipalities with "Lista" but no customer picked: every customer's
    Cli_ped03601::stCliente.clear();
    pick = [&](fw::RecordSet& rs, const QString&, QString&) {
        EXPECT_FALSE(d.OnActivate); // detached while the picker runs
        EXPECT_GT(rs.recordCount(), 0);
        return false;
    };
    d.sbtMuniciCliClick();
    EXPECT_TRUE(d.OnActivate);
    EXPECT_EQ(proxy.params("GetMuniciCli").at(0), json::array({"", "T"}));
    EXPECT_EQ(caption, QStringLiteral("Município|Não há município para os clientes selecionados."));
    EXPECT_EQ(ui.busyKinds.back(), 6);

    // F9 on the salesman "Lista" option runs its picker, enabled or not
    pick = [&](fw::RecordSet& rs, const QString& key, QString& sel) {
        EXPECT_EQ(key, QStringLiteral("CDVENDEDOR"));
        sel = rs.fieldByName(u"CDVENDEDOR").asString();
        return true;
    };
    focus(d.rbtLVendedor);
    QTest::keyClick(d.rbtLVendedor, Qt::Key_F9);
    EXPECT_EQ(proxy.count("GetFiltraVend"), 1u);
    EXPECT_EQ(caption, QStringLiteral("Vendedor"));
    EXPECT_EQ(Cli_ped03601::stVendedor.size(), 4);

    // products follow the screen's branch
    auto countFor = [&](const char* code) {
        return s.db->scalar(QStringLiteral("SELECT COUNT(*) FROM PRODFILI WHERE CDFILIAL = ?"), {QLatin1String(code)}).toInt();
    };
    int rows = -1;
    pick = [&](fw::RecordSet& rs, const QString& key, QString&) {
        EXPECT_EQ(key, QStringLiteral("CDARVPROD"));
        rows = rs.recordCount();
        EXPECT_EQ(rs.fieldByName(u"CDARVPROD").displayText().count(QLatin1Char('.')), 3); // 9.99.999.9999
        return false;
    };
    d.sbtProdutoClick();
    EXPECT_EQ(rows, countFor("0002"));
    EXPECT_EQ(caption, QStringLiteral("Produto|Não há produto cadastrado para a filial 0002."));
    sc->medCdFilial->setText(QStringLiteral("0001"));
    d.sbtProdutoClick();
    EXPECT_EQ(rows, countFor("0001"));
    EXPECT_NE(countFor("0001"), countFor("0002"));

    // order numbers need the screen's branch
    sc->medCdFilial->clear();
    const int calls = ui.pesquisaListaCalls;
    d.btnPesqNrPedClick();
    EXPECT_EQ(ui.pesquisaListaCalls, calls);
    EXPECT_EQ(proxy.count("GetNrpedido"), 0u);
    sc->medCdFilial->setText(QStringLiteral("0002"));
    pick = nullptr;
    d.btnPesqNrPedClick();
    EXPECT_EQ(proxy.params("GetNrpedido").at(0), json::array({"0002"}));
    EXPECT_EQ(caption, QStringLiteral("Pedido|Não há pedido cadastrado para a filial."));
    d.resize(d.sizeHint().expandedTo(QSize(900, 430)));
    settle();
    shoot(d, "filtro-comissao.png");
}

TEST_F(FilterTest, CancelUndoAndOptionsLeaveTheRecordAlone)
{
    TFiltro& f = Cli_ped03600::Filtro;
    f.Cliente.boTodos = false;
    f.Cliente.stLista = QStringLiteral("CLI00001");
    // a new list picked, then cancelled: the record keeps the old one
    onFilter = [](TfrmFiltroComisVend& d) {
        EXPECT_TRUE(d.rbtLCliente->isChecked());
        EXPECT_TRUE(d.sbtCliente->isEnabled());
        Cli_ped03601::stCliente = QStringLiteral("CLI00002");
        d.sbtLimpaClick();
        EXPECT_TRUE(d.rbtTCliente->isChecked());
        EXPECT_FALSE(d.sbtCliente->isEnabled());
        EXPECT_TRUE(d.rbtTNrPedido->isChecked());
        EXPECT_FALSE(d.medDeIntervalo->isEnabled());
        EXPECT_EQ(d.depDeEmissao->GetDate(), fw::date::today() - 8);
    };
    cancelFilter = true;
    QPointer<TfrmFiltroComisVend> first;
    onFilter = [&, inner = onFilter](TfrmFiltroComisVend& d) {
        first = &d;
        inner(d);
    };
    sc->sbtFiltroClick();
    EXPECT_EQ(f.Cliente.stLista, QStringLiteral("CLI00001"));
    EXPECT_FALSE(f.Cliente.boTodos);
    settle();
    EXPECT_TRUE(first.isNull()); // released on close: every opening is a new dialog

    // reopening shows the old list again
    onFilter = [](TfrmFiltroComisVend& d) { EXPECT_EQ(Cli_ped03601::stCliente, QStringLiteral("CLI00001")); (void)d; };
    sc->sbtFiltroClick();

    // saved options bring the five lists back, even on "Todos"
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QCoreApplication::setOrganizationName(QStringLiteral("ped-tests")); // as the shell names itself
    TfrmFiltroComisVend& d = open();
    d.sbtLimpaClick();
    Cli_ped03601::stCliente = QStringLiteral("C1");
    Cli_ped03601::stMuniciCli = QStringLiteral("M1");
    Cli_ped03601::stNrPedido = QStringLiteral("N1");
    Cli_ped03601::stProduto = QStringLiteral("P1");
    Cli_ped03601::stVendedor = QStringLiteral("V1");
    d.btfSaveOpcClick();
    d.sbtLimpaClick();
    EXPECT_TRUE(Cli_ped03601::stCliente.isEmpty());
    d.btfLoadOpcClick();
    EXPECT_EQ(QStringList({Cli_ped03601::stCliente, Cli_ped03601::stMuniciCli, Cli_ped03601::stNrPedido,
                           Cli_ped03601::stProduto, Cli_ped03601::stVendedor}),
              QStringList({"C1", "M1", "N1", "P1", "V1"}));
    EXPECT_TRUE(d.rbtTCliente->isChecked());
}

TEST_F(FilterTest, OperatorSeeingOwnOrdersHasTheSalesmanForced)
{
    // the operator's salesman has a few orders of the branch
    s.db->exec(QStringLiteral("UPDATE PEDIDO SET CDVENDEDOR = '0001' WHERE CDFILIAL = '0002' AND NRPEDIDO IN (SELECT "
                              "NRPEDIDO FROM PEDIDO WHERE CDFILIAL = '0002' ORDER BY NRPEDIDO LIMIT 3)"));
    shell.logout();
    shell.login({QStringLiteral("127.0.0.1:%1").arg(proxy.port), QStringLiteral("sqlite:") + s.url.path,
                 QStringLiteral("VEND01"), s.password(QStringLiteral("VEND01")), QStringLiteral("0002")});
    sc->medCdFilial->setText(QStringLiteral("0001"));
    sc->medCdFilialExit();
    sc->medCdFilial->setText(QStringLiteral("0002"));
    onFilter = [](TfrmFiltroComisVend& d) {
        EXPECT_FALSE(d.grbVendedor->isEnabled());
        EXPECT_FALSE(d.rbtLVendedor->isEnabled());
        Cli_ped03601::stVendedor = QStringLiteral("0009");
        for (QCheckBox* c : {d.chbPPendente, d.chbPAndamento, d.chbPLiquidado, d.chbPCancelado, d.chbPParcialmente})
            c->setChecked(true);
        d.depDeEmissao->clear();
        d.depAteEmissao->clear();
        d.chbOrcamento->setChecked(true);
    };
    sc->medCdFilialExit();
    const TFiltro& f = Cli_ped03600::Filtro;
    EXPECT_FALSE(f.Vendedor.boTodos);
    EXPECT_EQ(f.Vendedor.stLista, QStringLiteral("0001"));
    EXPECT_EQ(proxy.params("GetPedido").back()[25], "VEND01"); // own orders asked for
    ASSERT_FALSE(sc->cdsPedido.isEmpty()) << proxy.params("GetPedido").back().dump();
    for (int r = 0; r < sc->cdsPedido.recordCount(); ++r)
        EXPECT_EQ(sc->cdsPedido.withRow(r, [&] { return sc->cdsPedido.fieldByName(u"CDVENDEDOR").asString(); }),
                  QStringLiteral("0001"));
}

TEST_F(FilterTest, ConfirmedFilterBringsExactlyTheMatchingOrders)
{
    const auto customers = s.db->rows(QStringLiteral(
        "SELECT CDCLIENTE FROM PEDIDO WHERE CDFILIAL = '0002' GROUP BY CDCLIENTE ORDER BY COUNT(*) DESC LIMIT 2"));
    ASSERT_EQ(customers.size(), 2u);
    const QString list = customers[0][0].toString() + QLatin1Char(',') + customers[1][0].toString();
    const double from = fw::date::today() - 30, to = fw::date::today();
    onFilter = [&](TfrmFiltroComisVend& d) {
        d.rbtLCliente->setChecked(true);
        Cli_ped03601::stCliente = list;
        d.depDeEmissao->SetDate(from);
        d.depAteEmissao->SetDate(to);
        for (QCheckBox* c : {d.chbPPendente, d.chbPAndamento, d.chbPLiquidado, d.chbPCancelado, d.chbPParcialmente})
            c->setChecked(true);
        d.chbOrcamento->setChecked(true);
    };
    sc->sbtFiltroClick();
    QStringList shown;
    for (int r = 0; r < sc->cdsPedido.recordCount(); ++r)
        shown << sc->cdsPedido.withRow(r, [&] { return sc->cdsPedido.fieldByName(u"NRPEDIDO").asString(); });
    QStringList expected;
    for (const auto& r : s.db->rows(QStringLiteral("SELECT NRPEDIDO FROM PEDIDO P WHERE CDFILIAL = '0002' AND CDCLIENTE "
                                                   "IN (?, ?) AND DTPEDIDO >= ? AND DTPEDIDO < ? AND EXISTS (SELECT 1 "
                                                   "FROM ITEMPEDIDO I WHERE I.CDFILIAL = P.CDFILIAL AND I.NRPEDIDO = "
                                                   "P.NRPEDIDO) ORDER BY NRPEDIDO"),
                                    {customers[0][0], customers[1][0], from, to + 1}))
        expected << r[0].toString();
    EXPECT_FALSE(expected.isEmpty());
    EXPECT_EQ(shown, expected);
}

} // namespace

namespace {

// The real modal path: the dialog is executed by the Qt user interface,
// loads itself when shown, and the user's clicks confirm it.
TEST_F(FilterTest, RealDialogLoadsWhenShownAndConfirmsByItsButton)
{
    fw::QtUserInterface real;
    fw::ctx().setUi(&real);
    Cli_ped03600::Filtro.boOrcamento = true;
    Cli_ped03600::Filtro.Cliente.boTodos = false;
    Cli_ped03600::Filtro.Cliente.stLista = QStringLiteral("CLI00001");
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TfrmFiltroComisVend*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(d->chbOrcamento->isChecked(), 3000); // loaded on activation
        EXPECT_TRUE(d->rbtLCliente->isChecked());
        EXPECT_TRUE(d->sbtCliente->isEnabled());
        d->chbOrcamento->setChecked(false);
        seen = true;
        QTest::mouseClick(d->sbtConfirma, Qt::LeftButton);
    });
    sc->sbtFiltroClick();
    fw::ctx().setUi(&ui);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(Cli_ped03600::Filtro.boOrcamento); // what the user left, written on confirm
    EXPECT_EQ(Cli_ped03600::Filtro.Cliente.stLista, QStringLiteral("CLI00001"));
    EXPECT_TRUE(sc->cdsPedido.active());
}

} // namespace

namespace {

TEST_F(FilterTest, F1OpensEachDialogsOwnHelpPage)
{
    QStringList pages;
    shell.showHelp = [&](int, const QString& p) { pages << QFileInfo(p).fileName(); };
    TfrmFiltroComisVend& d = open();
    QTest::keyClick(&d, Qt::Key_F1);
    TfrmBuscaComissao search(sc);
    search.FormCreate();
    QTest::keyClick(&search, Qt::Key_F1);
    EXPECT_EQ(pages, QStringList({"12203601.html", "12203602.html"}));
    for (const QString& p : pages)
        EXPECT_TRUE(QFile::exists(QStringLiteral(PED_SOURCE_DIR "/docs/help/") + p));

    // Esc cancels, Enter confirms
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_FALSE(d.boConfirma);
    TfrmFiltroComisVend& again = open();
    focus(again.chbNormal);
    QTest::keyClick(again.chbNormal, Qt::Key_Return);
    EXPECT_TRUE(again.boConfirma) << ui.lastText().toStdString();
}

} // namespace

namespace {

// What assistive tools read for a control: its accessible name, its own
// text, or the label it is the buddy of.
QString spokenName(QWidget* w)
{
    if (!w->accessibleName().isEmpty())
        return w->accessibleName();
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty() && b->text() != QStringLiteral("…"))
        return b->text();
    for (QLabel* l : w->window()->findChildren<QLabel*>())
        if (l->buddy() == w && !l->text().isEmpty())
            return l->text();
    return {};
}

int expectEveryControlNamed(QWidget* root)
{
    int checked = 0;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w)
            || qobject_cast<QAbstractItemView*>(w);
        if (!control || qobject_cast<QLineEdit*>(w->parentWidget()))
            continue;
        if (w->objectName().startsWith(QLatin1String("qt_")) || w->objectName().isEmpty())
            continue; // Qt's own parts (spin arrows, header buttons)
        ++checked;
        EXPECT_FALSE(spokenName(w).isEmpty()) << root->objectName().toStdString() << ": " << w->objectName().toStdString()
                                              << " (" << w->metaObject()->className() << ")";
    }
    return checked;
}

TEST_F(FilterTest, EveryControlHasANameAssistiveToolsCanRead)
{
    EXPECT_GT(expectEveryControlNamed(sc), 20);
    EXPECT_GT(expectEveryControlNamed(&open()), 40);
    TfrmBuscaComissao search(sc);
    search.FormCreate();
    EXPECT_GE(expectEveryControlNamed(&search), 4);

    // Tab goes top to bottom, left to right
    TfrmFiltroComisVend& d = *dlg;
    d.activateWindow();
    focus(d.depDeEmissao);
    QStringList visited;
    for (int i = 0; i < 9; ++i) {
        visited << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, QStringList({"depDeEmissao", "depAteEmissao", "depDeEntrega", "depAteEntrega", "chbPPendente",
                                    "chbPAndamento", "chbPLiquidado", "chbPCancelado", "chbPParcialmente"}));
}

} // namespace

namespace {

TEST_F(FilterTest, OnA640By480DesktopTheDialogFitsAndScrollsToTheFocus)
{
    fw::SetDesktopSize(QSize(640, 480));
    TfrmFiltroComisVend& d = open();
    const QSize desk(640, 480);
    EXPECT_LE(d.width(), desk.width());
    EXPECT_LE(d.height(), desk.height());
    // the buttons stay in sight; the criteria scroll to whatever has the focus
    for (QWidget* b : {static_cast<QWidget*>(d.sbtConfirma), static_cast<QWidget*>(d.sbtCancel)})
        EXPECT_TRUE(d.rect().contains(QRect(b->mapTo(&d, QPoint(0, 0)), b->size()))) << b->objectName().toStdString();
    d.activateWindow();
    focus(d.depDeEmissao);
    for (int i = 0; i < 60 && QApplication::focusWidget() != d.edtOrdemCompra; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        settle();
    }
    ASSERT_EQ(QApplication::focusWidget(), d.edtOrdemCompra);
    auto* area = d.findChild<QScrollArea*>(QStringLiteral("scrCriterios"));
    ASSERT_NE(area, nullptr);
    EXPECT_GT(area->verticalScrollBar()->value() + area->horizontalScrollBar()->value(), 0);
    const QRect seen(d.edtOrdemCompra->mapTo(area->viewport(), QPoint(0, 0)), d.edtOrdemCompra->size());
    EXPECT_TRUE(area->viewport()->rect().intersects(seen));
    shoot(d, "filtro-640x480.png");
    fw::SetDesktopSize(QSize(1280, 1024));
}

} // namespace

namespace {

// Confirming with the mouse checks from the control the user was typing in,
// as Enter does: with the focus in a delivery date, that pair comes first.
TEST_F(FilterTest, AMouseConfirmChecksTheFocusedDatePairFirst)
{
    TfrmFiltroComisVend& d = open();
    QApplication::setActiveWindow(&d);
    d.depDeEmissao->clear(); // entry pair wrong
    d.depAteEntrega->SetDate(46000); // delivery pair wrong
    focus(d.depAteEntrega);
    QTest::mouseClick(d.sbtConfirma, Qt::LeftButton);
    settle();
    EXPECT_EQ(ui.lastText(), QStringLiteral("Data entrega inicial deve ser informada. "));
    EXPECT_EQ(QApplication::focusWidget(), d.depDeEntrega);
    EXPECT_FALSE(d.boConfirma);
    // from anywhere else the entry pair is first
    focus(d.chbPedido);
    QTest::mouseClick(d.sbtConfirma, Qt::LeftButton);
    settle();
    EXPECT_EQ(ui.lastText(), QStringLiteral("Data pedido inicial deve ser informada. "));
    EXPECT_EQ(QApplication::focusWidget(), d.depDeEmissao);
}

// Coming back to the dialog from another window shows the record again
// (what was not confirmed is dropped), but the focus stays where it was.
TEST_F(FilterTest, ComingBackToTheDialogKeepsTheFocusWhereItWas)
{
    TFiltro& f = Cli_ped03600::Filtro;
    f.NrPedido.boIntervalo = true;
    f.NrPedido.stDe = QStringLiteral("0000000001");
    f.NrPedido.stAte = QStringLiteral("0000000100");
    TfrmFiltroComisVend& d = open();
    ASSERT_TRUE(d.rbtIntervalo->isChecked());
    QApplication::setActiveWindow(&d);
    focus(d.chbAlta);
    d.chbNormal->setChecked(!f.boNormal);
    QWidget other;
    other.show();
    for (int i = 0; i < 2; ++i) {
        QApplication::setActiveWindow(&other);
        settle();
        QApplication::setActiveWindow(&d);
        settle();
        EXPECT_EQ(d.chbNormal->isChecked(), f.boNormal) << "the record was not shown again";
        EXPECT_EQ(QApplication::focusWidget(), d.chbAlta)
            << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "");
        EXPECT_TRUE(d.medDeIntervalo->isEnabled());
    }
    // choosing the option itself does take the focus to the first number
    d.rbtTNrPedido->setChecked(true);
    d.rbtIntervalo->setChecked(true);
    settle();
    EXPECT_EQ(QApplication::focusWidget(), d.medDeIntervalo);
}

// "Intervalo" with its first number blank, or with both blank.
TEST_F(FilterTest, IntervalWithoutItsFirstNumberIsRefused)
{
    TfrmFiltroComisVend& d = open();
    d.rbtIntervalo->setChecked(true);
    d.medAteIntervalo->setText(QStringLiteral("20"));
    focus(d.chbPedido);
    expectRefused(QStringLiteral("Intervalo inicial deve ser informado."), d.medDeIntervalo);
    d.medAteIntervalo->clear();
    focus(d.chbPedido);
    expectRefused(QStringLiteral("Intervalo inicial deve ser informado."), d.medDeIntervalo);
    EXPECT_TRUE(d.rbtIntervalo->isChecked());
    EXPECT_FALSE(d.boConfirma);
}

// F9 on each "Lista" option opens that option's picker, selected or not.
TEST_F(FilterTest, F9OnEachListOptionOpensItsPicker)
{
    TfrmFiltroComisVend& d = open();
    QApplication::setActiveWindow(&d);
    QStringList keys;
    ui.onPesquisaLista = [&](fw::RecordSet& rs, const QString& key, const QString&, QString&) {
        keys << QStringLiteral("%1:%2").arg(key).arg(rs.recordCount() > 0);
        return false;
    };
    for (QRadioButton* option : {d.rbtLCliente, d.rbtLMuniciCli, d.rbtLNrPedido, d.rbtLProduto, d.rbtLVendedor}) {
        focus(option);
        QTest::keyClick(option, Qt::Key_F9);
    }
    EXPECT_EQ(keys, QStringList({"CDCLIENTE:1", "CONCATENADOS:1", "NRPEDIDO:1", "CDARVPROD:1", "CDVENDEDOR:1"}));
    EXPECT_TRUE(ui.messages.empty()) << ui.lastText().toStdString();
}

// With no customer registered the customer picker says so in words, not by
// a catalogue key, and opens nothing.
TEST_F(FilterTest, WithNoCustomerTheCustomerPickerSaysSo)
{
    s.db->exec(QStringLiteral("DELETE FROM ENDECLIE"));
    TfrmFiltroComisVend& d = open();
    QApplication::setActiveWindow(&d);
    const int picks = ui.pesquisaListaCalls;
    d.rbtLCliente->setChecked(true);
    QTest::mouseClick(d.sbtCliente, Qt::LeftButton);
    EXPECT_EQ(ui.lastText(), QStringLiteral("Não há cliente cadastrado."));
    EXPECT_EQ(ui.messages.back().type, fw::MsgType::Error);
    EXPECT_EQ(QApplication::focusWidget(), d.rbtLCliente);
    EXPECT_EQ(ui.pesquisaListaCalls, picks);
}

} // namespace
