// Editing the salesmen of an item on the real screen against a real server:
// code and percentage validation, the default percentage, the gates, the
// question about every item, what reaches the database, failures and a
// second user's conflicting change.
#include "HostFixture.h"

#include "shared/Globals.h"
#include "core/FwError.h"
#include "widgets/Events.h"

#include <QLineEdit>
#include <QPointer>
#include <QTest>

using namespace testsupport;
using json = nlohmann::json;

namespace {

class SalesmenTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        sc = openLoaded();
        ASSERT_NE(sc, nullptr);
        ASSERT_FALSE(sc->cdsPedido.isEmpty());
        order = sc->cdsPedido.fieldByName(u"NRPEDIDO").asString();
        for (const auto& r : s.db->rows(QStringLiteral("SELECT CDVENDEDOR FROM VENDEDOR WHERE IDGERACOMISVEND = 'S' "
                                                       "ORDER BY CDVENDEDOR")))
            salesmen << r[0].toString();
        ASSERT_GE(salesmen.size(), 5);
        // every item pending, no lines, no invoices, no accounts; the first
        // item has one line of the first salesman at 5%
        const QVariantList key{order};
        s.db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), key);
        s.db->exec(QStringLiteral("DELETE FROM LANCNF WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), key);
        s.db->exec(QStringLiteral("DELETE FROM CONTAPAGA WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), key);
        s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '1' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), key);
        for (const auto& r : s.db->rows(QStringLiteral("SELECT NRITEMPED FROM ITEMPEDIDO WHERE CDFILIAL = '0002' AND "
                                                       "NRPEDIDO = ? ORDER BY NRITEMPED"),
                                        key))
            items << r[0].toString();
        ASSERT_GE(items.size(), 2);
        addLine(items[0], salesmen[0], 5);
        sc->mnuFormularioClick();
        settle();
        ASSERT_EQ(sc->cdsVendedor.recordCount(), 1);
        ui.messages.clear();
        proxy.clear();
    }

    void addLine(const QString& item, const QString& salesman, double pct)
    {
        s.db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) "
                                  "VALUES ('0002', ?, ?, ?, ?)"),
                   {order, item, salesman, pct});
    }
    // The stored lines of an item as "code=pct" in code order.
    QStringList stored(const QString& item)
    {
        QStringList out;
        for (const auto& r : s.db->rows(QStringLiteral("SELECT CDVENDEDOR, VRPECOMITPED FROM COMISITEMPED WHERE CDFILIAL "
                                                       "= '0002' AND NRPEDIDO = ? AND NRITEMPED = ? ORDER BY 1"),
                                        {order, item}))
            out << QStringLiteral("%1=%2").arg(r[0].toString()).arg(r[1].toDouble());
        return out;
    }

    int col(const char* field) const { return fw::IndiceCol(*sc->dbgVendedor, QLatin1String(field)); }
    // The user moves to a column of the salesman grid (its exit check runs).
    void goTo(const char* field)
    {
        sc->dbgVendedor->setSelectedIndex(col(field));
        settle();
    }
    // The user types into a cell of the current line.
    bool type(const char* field, const QString& text)
    {
        auto* m = sc->dbgVendedor->model();
        return m->setData(m->index(sc->cdsVendedor.recNo(), col(field)), text, Qt::EditRole);
    }
    QString value(const char* field) { return sc->cdsVendedor.fieldByName(QString::fromLatin1(field)).asString(); }
    bool editing() const
    {
        return sc->cdsVendedor.state() == fw::DataSetState::Edit || sc->cdsVendedor.state() == fw::DataSetState::Insert;
    }
    // The command as a click runs it: false when it aborted.
    bool run(const std::function<void()>& fn) { return fw::runHandler(fn); }
    // A refused action leaves the line being edited, on the given column.
    void expectKeptOn(const char* field, const QString& message)
    {
        EXPECT_EQ(ui.lastText(), message);
        EXPECT_TRUE(editing());
        settle();
        EXPECT_EQ(sc->dbgVendedor->SelectedIndex(), col(field));
        QWidget* f = QApplication::focusWidget();
        EXPECT_TRUE(f == sc->dbgVendedor || sc->dbgVendedor->isAncestorOf(f)) << (f ? f->objectName().toStdString() : "none");
    }
    // A branch whose operators see every order, so the code column is typed.
    void codesTyped()
    {
        s.db->exec(QStringLiteral("UPDATE PARAMPEDIDO SET IDEXIBPEDIDO = '1' WHERE CDFILIAL = '0002'"));
        for (const char* b : {"0001", "0002"}) {
            sc->medCdFilial->setText(QLatin1String(b));
            ASSERT_TRUE(run([&] { sc->medCdFilialExit(); }));
            settle();
        }
        ASSERT_EQ(sc->cdsPedido.fieldByName(u"NRPEDIDO").asString(), order);
        sc->mnuFormularioClick();
        settle();
        QApplication::setActiveWindow(main.get());
        sc->dbgVendedor->setFocus();
        settle();
        ui.messages.clear();
    }
    // Tab until the given column is current; the read-only role column is
    // never a stop.
    void tabTo(const char* field)
    {
        for (int i = 0; i < 4 && sc->dbgVendedor->SelectedIndex() != col(field); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            settle();
            EXPECT_NE(sc->dbgVendedor->SelectedIndex(), col("DSCARGOVEND"));
        }
        ASSERT_EQ(sc->dbgVendedor->SelectedIndex(), col(field));
    }
    void setPeriodMode(const QString& mode)
    {
        sc->cdsParExpedicao.edit();
        sc->cdsParExpedicao.fieldByName(u"IDCOMISPERIODO").setValue(mode.isEmpty() ? QVariant() : QVariant(mode));
        sc->cdsParExpedicao.post();
    }

    TfrmComissaoVend* sc = nullptr;
    QString order;
    QStringList salesmen, items;
};

TEST_F(SalesmenTest, CodeIsAdjustedLookedUpAndCheckedAgainstTheItsLines)
{
    // a short code is widened before it is looked up
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Insert);
    EXPECT_EQ(sc->dbgVendedor->SelectedIndex(), col("CDVENDEDOR"));
    const QString shortCode = QString::number(salesmen[1].toInt());
    ASSERT_TRUE(type("CDVENDEDOR", shortCode));
    goTo("VRPECOMITPED");
    EXPECT_EQ(value("CDVENDEDOR"), salesmen[1]);
    EXPECT_EQ(proxy.params("GetPesqVendedor").at(0)[0], salesmen[1].toStdString());
    EXPECT_FALSE(value("NMFANVEN").isEmpty());

    // a salesman the item already has is refused on a new line
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[0]));
    goTo("CDVENDEDOR"); // back to the code column
    goTo("VRPECOMITPED");
    expectKeptOn("CDVENDEDOR", QStringLiteral("Vendedor já cadastrado para o item do pedido."));
    EXPECT_EQ(value("CDVENDEDOR"), salesmen[0]); // what was typed stays
    // an unknown salesman
    ASSERT_TRUE(type("CDVENDEDOR", QStringLiteral("9999")));
    EXPECT_FALSE(run([&] { sc->Vd_CdVendedor(false); }));
    expectKeptOn("CDVENDEDOR", QStringLiteral("Vendedor não cadastrado ou sem permissão para gerar comissão."));
    // no code: mandatory on post, and the name goes with it
    ASSERT_TRUE(type("CDVENDEDOR", QString()));
    EXPECT_TRUE(run([&] { sc->Vd_CdVendedor(false); }));
    EXPECT_TRUE(value("NMFANVEN").isEmpty());
    EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
    expectKeptOn("CDVENDEDOR", QStringLiteral("Vendedor deve ser informado."));
    sc->cdsVendedor.cancel();

    // changing a line back to its own salesman is fine; to another of the
    // item's salesmen is not
    addLine(items[0], salesmen[2], 3);
    sc->cdsItemPedidoAfterScroll();
    ASSERT_EQ(sc->cdsVendedor.recordCount(), 2);
    sc->cdsVendedor.first();
    ASSERT_TRUE(run([&] { sc->sbtAlterarClick(); }));
    EXPECT_EQ(sc->dbgVendedor->SelectedIndex(), col("VRPECOMITPED"));
    goTo("CDVENDEDOR");
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[2]));
    EXPECT_FALSE(run([&] { sc->Vd_CdVendedor(false); }));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Vendedor já cadastrado para o item do pedido."));
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[0]));
    EXPECT_TRUE(run([&] { sc->Vd_CdVendedor(false); }));
    sc->cdsVendedor.cancel();
}

TEST_F(SalesmenTest, DefaultPercentageIsLookedUpOncePerEditFromTheCodeColumn)
{
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    EXPECT_TRUE(Cli_ped03600::boBuscarComis);
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[1]));
    goTo("VRPECOMITPED");
    ASSERT_EQ(proxy.count("GetBuscaComissao"), 1u);
    const json a = proxy.params("GetBuscaComissao")[0];
    EXPECT_EQ(a[1], salesmen[1].toStdString());
    EXPECT_EQ(a[2], sc->cdsItemPedido.fieldByName(u"CDPRODUTO").asString().toStdString());
    EXPECT_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), Cli_ped03600::doVrpecomitped);
    EXPECT_GT(Cli_ped03600::doVrpecomitped, 0);
    EXPECT_FALSE(Cli_ped03600::boBuscarComis);
    // a second code in the same insert keeps the percentage
    goTo("CDVENDEDOR");
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[3]));
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("4,5")));
    goTo("VRPECOMITPED");
    EXPECT_EQ(proxy.count("GetBuscaComissao"), 1u);
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 4.5);

    // posting from the percentage column looks nothing up
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(proxy.count("GetBuscaComissao"), 1u);
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5", salesmen[3] + "=4.5"}));

    // posting from the code column of a fresh insert does
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[4]));
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(proxy.count("GetBuscaComissao"), 2u);
    EXPECT_EQ(stored(items[0]).size(), 3);
}

TEST_F(SalesmenTest, PercentageMustBePositiveAndKeepTheItemWithinAHundred)
{
    ASSERT_TRUE(run([&] { sc->sbtAlterarClick(); }));
    for (const QString& bad : {QStringLiteral("0"), QString()}) {
        ASSERT_TRUE(type("VRPECOMITPED", bad));
        EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
        expectKeptOn("VRPECOMITPED", QStringLiteral("Percentual de comissão deve ser maior que zero."));
    }
    sc->cdsVendedor.cancel();

    // stored lines of 72.68 + 10.93 + 2.73: 13.66 more is exactly 100
    s.db->exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = 72.68 WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
    addLine(items[0], salesmen[1], 10.93);
    addLine(items[0], salesmen[2], 2.73);
    sc->cdsItemPedidoAfterScroll();
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[3]));
    goTo("VRPECOMITPED");
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("13,67")));
    EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
    expectKeptOn("VRPECOMITPED", QStringLiteral("Valor total das comissões de um item deve estar entre 0 e 100%."));
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("13,66")));
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); })) << ui.lastText().toStdString();
    EXPECT_EQ(stored(items[0]).size(), 4);
    // a change counts the line's old value out: 72.68 -> 72.69 is over
    sc->cdsVendedor.first();
    ASSERT_TRUE(run([&] { sc->sbtAlterarClick(); }));
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("72,69")));
    goTo("CDVENDEDOR");
    expectKeptOn("VRPECOMITPED", QStringLiteral("Valor total das comissões de um item deve estar entre 0 e 100%."));
    sc->cdsVendedor.cancel();
}

TEST_F(SalesmenTest, PeriodModeAndGeneratedAccountsGateTheChanges)
{
    const QString blocked = QStringLiteral(
        "Operação bloqueada. A comissão está parametrizada para ser gerada por período na tela de Cálculo de comissão do "
        "vendedor por período.");
    setPeriodMode(QStringLiteral("S"));
    EXPECT_FALSE(run([&] { sc->sbtIncluirClick(); }));
    EXPECT_EQ(ui.lastText(), blocked);
    EXPECT_FALSE(run([&] { sc->sbtAlterarClick(); }));
    ui.answers = {fw::mrYes};
    EXPECT_FALSE(run([&] { sc->sbtExcluirClick(); }));
    EXPECT_EQ(ui.lastText(), blocked);
    EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Browse);
    EXPECT_EQ(sc->cdsVendedor.recordCount(), 1);

    // neither "S" nor "N": only changes are blocked
    setPeriodMode(QString());
    ui.messages.clear();
    EXPECT_FALSE(run([&] { sc->sbtAlterarClick(); }));
    EXPECT_EQ(ui.lastText(), blocked);
    EXPECT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    sc->cdsVendedor.cancel();

    // accounts generated for the order: a change is refused, but a line can
    // still be added and removed, and both reach the database
    setPeriodMode(QStringLiteral("N"));
    s.db->exec(QStringLiteral("INSERT INTO CONTAPAGA (CDFILIAL, NRPEDIDO, CDFILIALPAG, NRLANCTOPAG, NRSEQVENPAG, "
                              "NRPARCELAPAG) VALUES ('0002', ?, '0002', '9999999999', '01', '01')"),
               {order});
    EXPECT_FALSE(run([&] { sc->sbtAlterarClick(); }));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Operação bloqueada. Já existe comissão gerada para o pedido."));
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[1]));
    goTo("VRPECOMITPED");
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("2")));
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); })) << ui.lastText().toStdString();
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5", salesmen[1] + "=2"}));
    sc->cdsVendedor.first();
    ui.answers = {fw::mrYes};
    ASSERT_TRUE(run([&] { sc->sbtExcluirClick(); }));
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[1] + "=2"}));
    EXPECT_EQ(proxy.params("SetVendedor").back()[2], false); // a delete never applies to all items
}

TEST_F(SalesmenTest, TheAnswerAboutEveryItemReachesTheServer)
{
    // No: this item only
    ASSERT_TRUE(run([&] { sc->sbtAlterarClick(); }));
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("6")));
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(ui.messages.back().text,
              QStringLiteral("Deseja gravar o percentual de comissão do vendedor para todos os itens do pedido? "));
    EXPECT_EQ(proxy.params("SetVendedor").back()[2], false);
    EXPECT_EQ(proxy.params("SetVendedor").back()[1], "ADM");
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=6"}));
    EXPECT_TRUE(stored(items[1]).isEmpty());
    EXPECT_EQ(sc->cdsVendedor.changeCount(), 0);
    EXPECT_EQ(ui.busyDepth, 0);

    // Yes: every item of the order gets the salesman at that percentage
    ASSERT_TRUE(run([&] { sc->sbtAlterarClick(); }));
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("7")));
    ui.answers = {fw::mrYes};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(proxy.params("SetVendedor").back()[2], true);
    for (const QString& item : items)
        EXPECT_EQ(stored(item), QStringList({salesmen[0] + "=7"})) << item.toStdString();
    EXPECT_EQ(ui.busyKinds.back(), 1);
    // the next item shows what the server stored
    sc->cdsItemPedido.moveTo(1);
    EXPECT_EQ(sc->cdsVendedor.recordCount(), 1);
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 7);
}

TEST_F(SalesmenTest, FailedSendsPutEveryLineBackAndAConflictShowsTheStoredState)
{
    proxy.script = [](const json& req) -> std::optional<json> {
        if (req["method"] == "SetVendedor")
            return RecordingProxy::refusal(req, "Falha de gravação.");
        return std::nullopt;
    };
    // a new line stays as it was typed; given up, nothing of it remains
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[1]));
    goTo("VRPECOMITPED");
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("2")));
    ui.answers = {fw::mrNo};
    EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Falha de gravação."));
    EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Insert);
    EXPECT_EQ(value("CDVENDEDOR"), salesmen[1]);
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 2);
    EXPECT_EQ(ui.busyDepth, 0);
    sc->cdsVendedor.cancel();
    EXPECT_EQ(sc->cdsVendedor.recordCount(), 1);
    EXPECT_EQ(sc->cdsVendedor.changeCount(), 0);
    // a changed line keeps the typed value; given up, the stored one is back
    ASSERT_TRUE(run([&] { sc->sbtAlterarClick(); }));
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("9")));
    ui.answers = {fw::mrNo};
    EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_TRUE(editing());
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 9);
    sc->cdsVendedor.cancel();
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 5);
    // a removed line comes back
    ui.answers = {fw::mrYes};
    EXPECT_FALSE(run([&] { sc->sbtExcluirClick(); }));
    EXPECT_EQ(sc->cdsVendedor.recordCount(), 1);
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5"}));
    proxy.script = nullptr;

    // a second user changes the line after this screen loaded it
    const std::string tok = s.token(QStringLiteral("GERENTE"));
    const json delta = json::parse(sc->cdsVendedor.delta()); // its fields, no changes yet
    json change = delta;
    json row = json::array();
    for (int i = 0; i < sc->cdsVendedor.fieldCount(); ++i)
        if (!sc->cdsVendedor.field(i).calculated())
            row.push_back(sc->cdsVendedor.field(i).value().typeId() == QMetaType::Double
                              ? json(sc->cdsVendedor.field(i).asFloat())
                              : json(sc->cdsVendedor.field(i).asString().toStdString()));
    json newRow = row;
    for (size_t i = 0; i < change["fields"].size(); ++i)
        if (change["fields"][i]["name"] == "VRPECOMITPED")
            newRow[i] = 8.0;
    change["changes"] = json::array({{{"op", "modify"}, {"old", row}, {"new", newRow}}});
    const json answer = s.call(tok, "SetVendedor", json::array({change, "GERENTE", false, "1"}));
    ASSERT_TRUE(answer.contains("result")) << answer.dump();
    ASSERT_EQ(stored(items[0]), QStringList({salesmen[0] + "=8"}));

    ASSERT_TRUE(run([&] { sc->sbtAlterarClick(); }));
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("6")));
    ui.answers = {fw::mrNo};
    EXPECT_FALSE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Registro alterado por outro usuário. Recarregue os dados."));
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 8); // reloaded
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=8"}));
}

TEST_F(SalesmenTest, ItemAndOrderStatusDecideWhatCanBeTyped)
{
    // a cancelled item: the grid is locked until the user enters the code or
    // percentage column
    s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '5' WHERE CDFILIAL = '0002' AND NRPEDIDO = ? AND "
                              "NRITEMPED = ?"),
               {order, items[1]});
    sc->sbtVerificarClick();
    sc->cdsItemPedido.moveTo(1);
    EXPECT_FALSE(sc->dbgVendedor->editing());
    goTo("NMFANVEN");
    EXPECT_FALSE(sc->dbgVendedor->editing());
    goTo("VRPECOMITPED");
    EXPECT_TRUE(sc->dbgVendedor->editing());

    // a liquidated item without invoice entries shows an empty exit date
    s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '4' WHERE CDFILIAL = '0002' AND NRPEDIDO = ? AND "
                              "NRITEMPED = ?"),
               {order, items[0]});
    sc->sbtVerificarClick();
    sc->cdsItemPedido.first();
    EXPECT_FALSE(sc->edtDataSaida->isHidden());
    EXPECT_TRUE(sc->edtDataSaida->text().isEmpty());

    // a liquidated order: the percentage cannot be typed
    goTo("VRPECOMITPED");
    ASSERT_TRUE(sc->dbgVendedor->editing());
    sc->cdsPedido.edit();
    sc->cdsPedido.fieldByName(u"IDSITPEDIDO").setValue(QStringLiteral("3"));
    sc->dbgVendedor->grab(); // painting applies the rule
    auto* m = sc->dbgVendedor->model();
    EXPECT_FALSE(m->flags(m->index(0, col("VRPECOMITPED"))) & Qt::ItemIsEditable);
    sc->cdsPedido.cancel();
    sc->dbgVendedor->grab();
    EXPECT_TRUE(m->flags(m->index(0, col("VRPECOMITPED"))) & Qt::ItemIsEditable);
}

TEST_F(SalesmenTest, SearchButtonFillsTheLineFromThePickedSalesman)
{
    ui.onPesquisar = [&](fw::RecordSet& rs, const QString& caption) {
        EXPECT_EQ(caption, QStringLiteral("Vendedor|Não há vendedor cadastrado."));
        return rs.locate({QStringLiteral("CDVENDEDOR")}, {salesmen[2]});
    };
    sc->dbgVendedor->setSelectedIndex(col("CDVENDEDOR"));
    sc->dbgVendedorEditButtonClick();
    EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Edit);
    EXPECT_EQ(proxy.params("GetPesqVendedor").at(0)[0], "");
    EXPECT_EQ(value("CDVENDEDOR"), salesmen[2]);
    EXPECT_FALSE(value("NMFANVEN").isEmpty());
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(),
                     sc->cdsPesqVendedor.fieldByName(u"VRPECOMVEN").asFloat());
    main->resize(1100, 640);
    settle();
    shoot(*main, "comissao-vendedor-edicao.png");
    sc->cdsVendedor.cancel();
}

} // namespace

// The rows of the item's audit panel as "operator action salesman old>new".
static QStringList historyRows(TfrmComissaoVend* sc)
{
    QStringList out;
    fw::RecordSet& h = sc->cdsHistComissao;
    for (int i = 0; i < h.recordCount(); ++i)
        h.withRow(i, [&] {
            out << QStringLiteral("%1 %2 %3 %4>%5")
                       .arg(h.fieldByName(u"CDOPERADOR").asString(), h.fieldByName(u"IDACAO").displayText(),
                            h.fieldByName(u"CDVENDEDOR").asString(), h.fieldByName(u"VRPECOMITPEDANT").displayText(),
                            h.fieldByName(u"VRPECOMITPED").displayText());
        });
    return out;
}

TEST_F(SalesmenTest, RuleOfALookedUpPercentageIsShownBesideTheLines)
{
    const QString product = sc->cdsItemPedido.fieldByName(u"CDPRODUTO").asString();
    s.db->exec(QStringLiteral("DELETE FROM REGRACOMISSAO WHERE CDFILIAL = '0002'"));
    s.db->exec(QStringLiteral("INSERT INTO REGRACOMISSAO (NRREGRA, CDFILIAL, CDVENDEDOR, CDPRODUTO, VRPECOMISSAO, "
                              "DSREGRA) VALUES (990001, '0002', ?, ?, 3.25, 'Vendedor e produto do teste')"),
               {salesmen[1], product});
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[1]));
    goTo("VRPECOMITPED");
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 3.25);
    EXPECT_EQ(sc->lblRegraComissao->text(), QStringLiteral("Vendedor e produto do teste"));
    // asked with the same arguments as the percentage, right after it
    ASSERT_EQ(proxy.params("GetRegraComissao").size(), 1u);
    EXPECT_EQ(proxy.params("GetRegraComissao")[0], proxy.params("GetBuscaComissao")[0]);
    // a typed percentage is no longer the rule's
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("4")));
    goTo("CDVENDEDOR");
    EXPECT_TRUE(sc->lblRegraComissao->text().isEmpty());
    ui.answers = {fw::mrYes};
    ASSERT_TRUE(run([&] { sc->sbtCancelarClick(); }));
    ASSERT_FALSE(editing());

    // no rule: the salesman's own percentage
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[2]));
    goTo("VRPECOMITPED");
    EXPECT_EQ(sc->lblRegraComissao->text(), QStringLiteral("Percentual padrão do vendedor"));
    ui.answers = {fw::mrYes};
    ASSERT_TRUE(run([&] { sc->sbtCancelarClick(); }));
    ASSERT_FALSE(editing());
    EXPECT_TRUE(sc->lblRegraComissao->text().isEmpty());

    // the description failing says so beside the lines and changes nothing else
    proxy.script = [](const json& req) -> std::optional<json> {
        if (req["method"] == "GetRegraComissao")
            return RecordingProxy::refusal(req, "Falha na regra.");
        return std::nullopt;
    };
    ui.messages.clear();
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[1]));
    goTo("VRPECOMITPED");
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 3.25);
    EXPECT_EQ(sc->lblRegraComissao->text(), QStringLiteral("Regra indisponível: Falha na regra."));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(editing());
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5", salesmen[1] + "=3.25"}));
}

TEST_F(SalesmenTest, AuditPanelShowsEveryChangeWithItsOperatorNewestFirst)
{
    EXPECT_TRUE(historyRows(sc).isEmpty());
    // added
    ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[1]));
    goTo("VRPECOMITPED");
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("2")));
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    EXPECT_EQ(historyRows(sc), QStringList({"ADM Inclusão " + salesmen[1] + " >2,00"}));
    // changed
    ASSERT_TRUE(run([&] { sc->sbtAlterarClick(); }));
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("2,5")));
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    ASSERT_EQ(historyRows(sc).size(), 2);
    EXPECT_EQ(historyRows(sc)[0], "ADM Alteração " + salesmen[1] + " 2,00>2,50");
    // another salesman on the same line: a removal and an addition
    ASSERT_TRUE(run([&] { sc->sbtAlterarClick(); }));
    goTo("CDVENDEDOR");
    ASSERT_TRUE(type("CDVENDEDOR", salesmen[3]));
    goTo("VRPECOMITPED");
    ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("2,5")));
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); }));
    QStringList rows = historyRows(sc);
    ASSERT_EQ(rows.size(), 4);
    EXPECT_TRUE(rows.mid(0, 2).contains("ADM Exclusão " + salesmen[1] + " 2,50>")) << rows.join('|').toStdString();
    EXPECT_TRUE(rows.mid(0, 2).contains("ADM Inclusão " + salesmen[3] + " >2,50")) << rows.join('|').toStdString();
    main->resize(1100, 640);
    settle();
    shoot(*main, "comissao-historico.png");

    // a second user's change shows with that user's code once the item is shown again
    const std::string tok = s.token(QStringLiteral("GERENTE"));
    s.db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = '0002' AND NRPEDIDO = ? AND NRITEMPED = ?"),
               {order, items[1]});
    const json lanc = s.call(tok, "GetLanc", json::array({"0002", order.toStdString(), items[1].toStdString()}));
    ASSERT_TRUE(lanc.contains("result")) << lanc.dump();
    json change = lanc["result"][1];
    change["changes"] = json::array({{{"op", "insert"},
                                      {"new", json::array({"0002", order.toStdString(), items[1].toStdString(),
                                                           salesmen[2].toStdString(), "", 1.5, "S", "V"})}}});
    const json answer = s.call(tok, "SetVendedor", json::array({change, "GERENTE", false, "1"}));
    ASSERT_TRUE(answer.contains("result")) << answer.dump();
    sc->cdsItemPedido.moveTo(1);
    settle();
    EXPECT_EQ(historyRows(sc), QStringList({"GERENTE Inclusão " + salesmen[2] + " >1,50"}));

    // no history from the server: the panel says why, the lines still load
    proxy.script = [](const json& req) -> std::optional<json> {
        if (req["method"] == "GetHistComissao")
            return RecordingProxy::refusal(req, "Método desconhecido.");
        return std::nullopt;
    };
    ui.messages.clear();
    sc->cdsItemPedido.moveTo(0);
    settle();
    EXPECT_TRUE(historyRows(sc).isEmpty());
    EXPECT_EQ(sc->lblHistorico->text(), QStringLiteral("Histórico indisponível: Método desconhecido."));
    EXPECT_EQ(sc->cdsVendedor.recordCount(), 2);
    EXPECT_TRUE(ui.messages.empty());
    // a failure without words of its own still shows as one
    proxy.script = [](const json& req) -> std::optional<json> {
        if (req["method"] == "GetHistComissao")
            return RecordingProxy::refusal(req, "");
        return std::nullopt;
    };
    sc->cdsItemPedido.moveTo(1);
    settle();
    EXPECT_TRUE(sc->lblHistorico->isVisibleTo(sc));
    EXPECT_EQ(sc->lblHistorico->text(), QStringLiteral("Histórico indisponível: o servidor não informou o motivo."));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SalesmenTest, ALineIsAddedChangedAndCancelledFromTheKeyboardAlone)
{
    codesTyped();
    // Insert opens a line on the code column; Tab walks the columns
    QTest::keyClick(sc->dbgVendedor, Qt::Key_Insert);
    settle();
    ASSERT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Insert);
    EXPECT_EQ(sc->dbgVendedor->SelectedIndex(), col("CDVENDEDOR"));
    typeKeys(salesmen[2]);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    settle();
    EXPECT_EQ(value("CDVENDEDOR"), salesmen[2]);
    EXPECT_FALSE(value("NMFANVEN").isEmpty()); // looked up on leaving the code
    while (sc->dbgVendedor->SelectedIndex() != col("VRPECOMITPED")) {
        const int before = sc->dbgVendedor->SelectedIndex();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        settle();
        ASSERT_GT(sc->dbgVendedor->SelectedIndex(), before);
    }
    typeKeys(QStringLiteral("3,5"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle();
    // F10 confirms; the question about every item is answered No
    ui.answers = {fw::mrNo};
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
    settle();
    EXPECT_FALSE(editing());
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5", salesmen[2] + "=3.5"}));

    // F3 changes the current line's percentage; F11 gives it up, even with
    // the cell still open
    sc->dbgVendedor->setFocus();
    QTest::keyClick(sc->dbgVendedor, Qt::Key_F3);
    settle();
    ASSERT_TRUE(editing());
    EXPECT_EQ(sc->dbgVendedor->SelectedIndex(), col("VRPECOMITPED"));
    typeKeys(QStringLiteral("9"));
    ASSERT_TRUE(sc->dbgVendedor->cellEditorOpen());
    ui.answers = {fw::mrYes};
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F11);
    settle();
    EXPECT_FALSE(editing());
    EXPECT_FALSE(sc->dbgVendedor->cellEditorOpen());
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 3.5);
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5", salesmen[2] + "=3.5"}));
    // ...and F10 stores what the open cell holds
    sc->dbgVendedor->setFocus();
    QTest::keyClick(sc->dbgVendedor, Qt::Key_F3);
    settle();
    typeKeys(QStringLiteral("4"));
    ui.answers = {fw::mrNo};
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
    settle();
    EXPECT_FALSE(editing());
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5", salesmen[2] + "=4"}));

    // Ctrl+Delete removes the current line after asking
    sc->dbgVendedor->setFocus();
    ui.answers = {fw::mrYes};
    QTest::keyClick(sc->dbgVendedor, Qt::Key_Delete, Qt::ControlModifier);
    settle();
    EXPECT_EQ(stored(items[0]).size(), 1);

    // Ctrl+1 / Ctrl+2 switch pages; Ctrl+L opens the filter, Ctrl+N the invoices
    QTest::keyClick(sc->dbgVendedor, Qt::Key_1, Qt::ControlModifier);
    settle();
    EXPECT_EQ(sc->pgcPadrao->currentWidget(), sc->tshFolhaDados);
    const int modalsBefore = modals;
    QTest::keyClick(sc->dbgPadrao, Qt::Key_L, Qt::ControlModifier);
    settle();
    EXPECT_EQ(modals, modalsBefore + 1);
    proxy.clear();
    QTest::keyClick(sc->dbgPadrao, Qt::Key_N, Qt::ControlModifier);
    settle();
    EXPECT_EQ(proxy.count("GetNota"), 1u);
}

namespace {

// A lookup failing while a line is typed: the server's words are shown and
// the line stays in edit, on the column whose check asked for it.
TEST_F(SalesmenTest, ALookupFailingKeepsTheLineInEditOnItsColumn)
{
    struct Case {
        const char* method;
        const char* column;
    };
    for (const Case& c : {Case{"GetPesqVendedor", "CDVENDEDOR"}, Case{"GetPesqVendItem", "CDVENDEDOR"},
                          Case{"GetBuscaComissao", "CDVENDEDOR"}, Case{"GetToTiComi", "VRPECOMITPED"}}) {
        SCOPED_TRACE(c.method);
        proxy.script = [m = std::string(c.method)](const json& req) -> std::optional<json> {
            if (req["method"] == m)
                return RecordingProxy::refusal(req, "Falha de teste.");
            return std::nullopt;
        };
        ui.messages.clear();
        ASSERT_TRUE(run([&] { sc->sbtIncluirClick(); }));
        ASSERT_TRUE(type("CDVENDEDOR", salesmen[1]));
        goTo("VRPECOMITPED"); // leaving the code runs its lookups
        if (QLatin1String(c.column) == QLatin1String("VRPECOMITPED")) {
            ASSERT_TRUE(ui.messages.empty()) << ui.lastText().toStdString();
            ASSERT_TRUE(type("VRPECOMITPED", QStringLiteral("2")));
            goTo("CDVENDEDOR"); // leaving the percentage asks for the item's total
        }
        expectKeptOn(c.column, QStringLiteral("Falha de teste."));
        EXPECT_EQ(ui.busyDepth, 0);
        proxy.script = nullptr;
        ui.answers = {fw::mrYes};
        ASSERT_TRUE(run([&] { sc->sbtCancelarClick(); }));
        ASSERT_FALSE(editing());
    }
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5"}));
}

// F9 in the salesman grid of an item without lines starts a new line and
// fills it from the picked salesman.
TEST_F(SalesmenTest, SearchOnAnItemWithoutLinesStartsANewLine)
{
    sc->cdsItemPedido.moveTo(1);
    settle();
    ASSERT_EQ(sc->cdsVendedor.recordCount(), 0);
    ui.onPesquisar = [&](fw::RecordSet& rs, const QString&) {
        return rs.locate({QStringLiteral("CDVENDEDOR")}, {salesmen[3]});
    };
    QApplication::setActiveWindow(sc->window());
    sc->dbgVendedor->setFocus();
    settle();
    QTest::keyClick(sc->dbgVendedor, Qt::Key_F9);
    settle();
    EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Insert) << ui.texts().join(QLatin1Char('/')).toStdString();
    EXPECT_EQ(value("CDVENDEDOR"), salesmen[3]);
    EXPECT_FALSE(value("NMFANVEN").isEmpty());
    ui.answers = {fw::mrNo};
    ASSERT_TRUE(run([&] { sc->sbtConfirmarClick(); })) << ui.lastText().toStdString();
    EXPECT_EQ(stored(items[1]).size(), 1);
    EXPECT_TRUE(stored(items[1]).first().startsWith(salesmen[3] + "="));
}

// Qt's warnings while a test runs (a grid losing track of its editors).
class WarningLog {
public:
    WarningLog() { s_lines = &lines; s_previous = qInstallMessageHandler(&WarningLog::handle); }
    ~WarningLog()
    {
        qInstallMessageHandler(s_previous);
        s_lines = nullptr;
    }
    QStringList lines;

private:
    static void handle(QtMsgType type, const QMessageLogContext& c, const QString& text)
    {
        if (type == QtWarningMsg && s_lines)
            *s_lines << text;
        if (s_previous)
            s_previous(type, c, text);
    }
    static inline QStringList* s_lines = nullptr;
    static inline QtMessageHandler s_previous = nullptr;
};

// The open cell editor of the salesman grid, when the focus is in it.
QLineEdit* openCell(fw::TDBGrid* grid)
{
    auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    return line && grid->isAncestorOf(line) && grid->cellEditorOpen() ? line : nullptr;
}

// A refused code or duplicate: the cell opens again on the code with its
// text selected, what is typed replaces it, every Tab checks once, and Esc
// gives the line up as Cancelar does.
TEST_F(SalesmenTest, ARefusedCodeReopensItsCellForTheUserToRetypeOrGiveUp)
{
    WarningLog warnings;
    codesTyped();
    const QString unknown = QStringLiteral("Vendedor não cadastrado ou sem permissão para gerar comissão.");
    const QString duplicate = QStringLiteral("Vendedor já cadastrado para o item do pedido.");
    for (const QString& bad : {QStringLiteral("9999"), salesmen[0]}) {
        SCOPED_TRACE(bad.toStdString());
        const QString expected = bad == salesmen[0] ? duplicate : unknown;
        ui.messages.clear();
        QTest::mouseClick(sc->sbtIncluir, Qt::LeftButton);
        settle();
        ASSERT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Insert);
        ASSERT_EQ(QApplication::focusWidget(), sc->dbgVendedor);
        typeKeys(bad);
        ASSERT_NE(openCell(sc->dbgVendedor), nullptr);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            settle();
            ASSERT_EQ(ui.messages.size(), static_cast<size_t>(attempt)); // once per Tab, no more
            EXPECT_EQ(ui.lastText(), expected);
            EXPECT_EQ(sc->dbgVendedor->SelectedIndex(), col("CDVENDEDOR"));
            QLineEdit* cell = openCell(sc->dbgVendedor);
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->text(), bad);
            EXPECT_EQ(cell->selectedText(), bad);
        }
        if (bad != salesmen[0])
            shoot(*main, "comissao-codigo-recusado.png");
        if (bad == salesmen[0]) {
            // Esc asks as Cancelar does; Sim gives the line up
            ui.answers = {fw::mrYes};
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            settle();
            EXPECT_EQ(ui.lastText(), QStringLiteral("Deseja cancelar as alterações?"));
            EXPECT_FALSE(editing());
            EXPECT_FALSE(sc->dbgVendedor->cellEditorOpen());
            EXPECT_EQ(sc->cdsVendedor.recordCount(), 2); // the first line and the one stored above
            continue;
        }
        // the next digits replace the refused code; Tab then goes on
        typeKeys(salesmen[1]);
        ASSERT_NE(openCell(sc->dbgVendedor), nullptr);
        EXPECT_EQ(openCell(sc->dbgVendedor)->text(), salesmen[1]);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        settle();
        EXPECT_EQ(ui.messages.size(), 2u) << ui.lastText().toStdString();
        EXPECT_EQ(value("CDVENDEDOR"), salesmen[1]);
        // the role shows at once, before the line is stored
        const QString role = s.db->scalar(QStringLiteral("SELECT IDCARGOVEND FROM VENDEDOR WHERE CDVENDEDOR = ?"),
                                          {salesmen[1]}).toString();
        EXPECT_EQ(value("IDCARGOVEND"), role);
        if (!role.isEmpty()) {
            EXPECT_FALSE(sc->cdsVendedor.fieldByName(u"DSCARGOVEND").displayText().isEmpty());
        }
        tabTo("VRPECOMITPED");
        typeKeys(QStringLiteral("2"));
        ui.answers = {fw::mrNo};
        QTest::mouseClick(sc->sbtConfirmar, Qt::LeftButton);
        settle();
        ASSERT_FALSE(editing()) << ui.lastText().toStdString();
        EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5", salesmen[1] + "=2"}));
    }
    for (const QString& w : warnings.lines)
        EXPECT_FALSE(w.contains(QLatin1String("editing failed")) || w.contains(QLatin1String("does not belong")))
            << w.toStdString();
}

// An every-item write the server refuses because another item would pass
// 100 %: its text names that item and the line keeps what was typed.
TEST_F(SalesmenTest, AnEveryItemRefusalKeepsTheTypedPercentageToCorrect)
{
    addLine(items[1], salesmen[1], 90);
    QApplication::setActiveWindow(main.get());
    QTest::mouseClick(sc->sbtAlterar, Qt::LeftButton);
    settle();
    ASSERT_TRUE(editing());
    ASSERT_EQ(sc->dbgVendedor->SelectedIndex(), col("VRPECOMITPED"));
    typeKeys(QStringLiteral("20"));
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->sbtConfirmar, Qt::LeftButton);
    settle();
    EXPECT_TRUE(ui.lastText().contains(QStringLiteral("item %1: 110,00 %").arg(items[1]))) << ui.lastText().toStdString();
    ASSERT_TRUE(editing());
    EXPECT_DOUBLE_EQ(sc->cdsVendedor.fieldByName(u"VRPECOMITPED").asFloat(), 20);
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5"}));
    // the cell is open on the percentage: the user corrects it and stores
    EXPECT_EQ(sc->dbgVendedor->SelectedIndex(), col("VRPECOMITPED"));
    QLineEdit* cell = openCell(sc->dbgVendedor);
    ASSERT_NE(cell, nullptr);
    EXPECT_FALSE(cell->selectedText().isEmpty());
    typeKeys(QStringLiteral("10"));
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->sbtConfirmar, Qt::LeftButton);
    settle();
    EXPECT_FALSE(editing()) << ui.lastText().toStdString();
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=10"}));
    EXPECT_EQ(stored(items[1]), QStringList({salesmen[0] + "=10", salesmen[1] + "=90"}));
}

// Closing over a line being typed asks first, on every way of closing:
// Cancelar stays with the line, Sim stores it, Não discards it.
TEST_F(SalesmenTest, ClosingOverALineBeingTypedAsksToStoreDiscardOrStay)
{
    const QString question = QStringLiteral("Há um registro sendo digitado. Deseja gravá-lo antes de fechar?\n\n"
                                            "Sim grava, Não descarta e Cancelar volta à tela.");
    codesTyped();
    QPointer<TfrmComissaoVend> screen = sc;
    QTest::mouseClick(sc->sbtIncluir, Qt::LeftButton);
    settle();
    typeKeys(salesmen[2]);
    tabTo("VRPECOMITPED");
    typeKeys(QStringLiteral("3"));
    ASSERT_TRUE(sc->dbgVendedor->cellEditorOpen());
    const std::vector<std::pair<const char*, std::function<void()>>> ways{
        {"Fechar", [&] { QTest::mouseClick(sc->sbtFechar, Qt::LeftButton); }},
        {"menu", [&] { sc->mnuFechar->trigger(); }},
        {"shell", [&] { main->close(); }},
    };
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        ui.messages.clear();
        ui.answers = {fw::mrCancel};
        close();
        settle();
        ASSERT_FALSE(screen.isNull());
        EXPECT_EQ(ui.texts(), QStringList({question}));
        EXPECT_TRUE(sc->isVisible());
        EXPECT_TRUE(main->isVisible());
        EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Insert);
        EXPECT_EQ(value("CDVENDEDOR"), salesmen[2]);
    }
    EXPECT_TRUE(stored(items[0]) == QStringList({salesmen[0] + "=5"}));
    // the window's frame: Sim stores the line (with the open cell's value),
    // then the screen closes
    ui.answers = {fw::mrYes, fw::mrNo};
    sc->parentWidget()->close();
    settle();
    EXPECT_TRUE(screen.isNull());
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5", salesmen[2] + "=3"}));

    // Não discards a changed line
    sc = openLoaded();
    ASSERT_NE(sc, nullptr);
    ASSERT_EQ(sc->cdsPedido.fieldByName(u"NRPEDIDO").asString(), order);
    sc->mnuFormularioClick();
    settle();
    screen = sc;
    QApplication::setActiveWindow(main.get());
    QTest::mouseClick(sc->sbtAlterar, Qt::LeftButton);
    settle();
    typeKeys(QStringLiteral("7"));
    ui.answers = {fw::mrNo};
    main->close();
    settle();
    EXPECT_TRUE(screen.isNull());
    EXPECT_EQ(stored(items[0]), QStringList({salesmen[0] + "=5", salesmen[2] + "=3"}));
    // nothing being typed: no question
    ui.messages.clear();
    main->show();
    sc = openLoaded();
    ASSERT_NE(sc, nullptr);
    sc->parentWidget()->close();
    settle();
    EXPECT_TRUE(ui.messages.empty()) << ui.lastText().toStdString();
}

} // namespace
