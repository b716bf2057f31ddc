// An operator restricted to his salesman's orders works on them through the
// real screen: the server lets him do what the screen offers and no more.
#include "HostFixture.h"

#include "core/FwError.h"

using namespace testsupport;
using json = nlohmann::json;

namespace {

class RestrictedTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        // the first orders of the branch are his salesman's, open, one line of
        // his salesman at 5 % on every item
        for (const auto& r : s.db->rows(QStringLiteral("SELECT NRPEDIDO FROM PEDIDO WHERE CDFILIAL = '0002' ORDER BY "
                                                       "NRPEDIDO LIMIT 3")))
            mine << r[0].toString();
        for (const QString& o : mine) {
            const QVariantList key{o};
            s.db->exec(QStringLiteral("UPDATE PEDIDO SET CDVENDEDOR = '0001', IDCANCCOMISPED = 'N' WHERE CDFILIAL = '0002' "
                                      "AND NRPEDIDO = ?"),
                       key);
            s.db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '1' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), key);
            for (const char* t : {"COMISITEMPED", "CONTAPAGA", "LANCNF"})
                s.db->exec(QStringLiteral("DELETE FROM %1 WHERE CDFILIAL = '0002' AND NRPEDIDO = ?").arg(QLatin1String(t)), key);
            s.db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) "
                                      "SELECT CDFILIAL, NRPEDIDO, NRITEMPED, '0001', 5 FROM ITEMPEDIDO WHERE CDFILIAL = "
                                      "'0002' AND NRPEDIDO = ?"),
                       key);
        }
        s.db->exec(QStringLiteral("UPDATE PEDIDO SET CDVENDEDOR = '0002' WHERE CDFILIAL = '0002' AND CDVENDEDOR = '0001' "
                                  "AND NRPEDIDO > ?"),
                   {mine.last()});
        shell.logout();
        shell.login({QStringLiteral("127.0.0.1:%1").arg(proxy.port), QStringLiteral("sqlite:") + s.url.path,
                     QStringLiteral("VEND01"), s.password(QStringLiteral("VEND01")), QStringLiteral("0002")});
        onFilter = [](TfrmFiltroComisVend& d) {
            for (QCheckBox* c : {d.chbPPendente, d.chbPAndamento, d.chbPLiquidado, d.chbPCancelado, d.chbPParcialmente})
                c->setChecked(true);
            d.depDeEmissao->clear();
            d.depAteEmissao->clear();
            d.chbOrcamento->setChecked(true);
        };
        sc = openScreen();
        ASSERT_NE(sc, nullptr);
        sc->medCdFilial->setText(QStringLiteral("0002"));
        sc->medCdFilialExit();
        settle();
    }
    QStringList lines(const QString& order)
    {
        QStringList out;
        for (const auto& r : s.db->rows(QStringLiteral("SELECT NRITEMPED, CDVENDEDOR, VRPECOMITPED FROM COMISITEMPED WHERE "
                                                       "CDFILIAL = '0002' AND NRPEDIDO = ? ORDER BY 1, 2"),
                                        {order}))
            out << QStringLiteral("%1 %2=%3").arg(r[0].toString(), r[1].toString()).arg(r[2].toDouble());
        return out;
    }
    int col(const char* field) const { return fw::IndiceCol(*sc->dbgVendedor, QLatin1String(field)); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), k, m);
        settle();
    }

    TfrmComissaoVend* sc = nullptr;
    QStringList mine;
};

TEST_F(RestrictedTest, HisOwnOrdersTakeHisWorkAndTheSearchOffersNoWayAroundTheCodeColumn)
{
    QStringList shown;
    for (int r = 0; r < sc->cdsPedido.recordCount(); ++r)
        shown << sc->cdsPedido.withRow(r, [&] { return sc->cdsPedido.fieldByName(u"NRPEDIDO").asString(); });
    ASSERT_EQ(shown, mine);
    const QString order = mine.first();

    // cancel and regenerate his order's commission
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    settle();
    EXPECT_EQ(ui.lastText(), QStringLiteral("Cancelamento da comissão realizado com sucesso."));
    ui.answers = {fw::mrYes};
    QTest::mouseClick(sc->btnCancelaComissao, Qt::LeftButton);
    settle();
    EXPECT_EQ(ui.lastText(), QStringLiteral("Geração da comissão realizado com sucesso."));
    EXPECT_EQ(s.db->scalar(QStringLiteral("SELECT IDCANCCOMISPED FROM PEDIDO WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"),
                           {order}).toString(),
              QStringLiteral("N"));
    s.db->exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = 5 WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});

    sc->mnuFormularioClick();
    settle();
    sc->cdsItemPedido.first();
    settle();
    const QString item = sc->cdsItemPedido.fieldByName(u"NRITEMPED").asString();
    ASSERT_EQ(sc->cdsVendedor.recordCount(), 1);
    QApplication::setActiveWindow(main.get());
    sc->dbgVendedor->setFocus();
    sc->dbgVendedor->setSelectedIndex(col("CDVENDEDOR"));
    settle();

    // the code column is read-only for him: F9 picks no salesman into it
    bool picked = false;
    ui.onPesquisar = [&](fw::RecordSet&, const QString&) { return picked = true; };
    proxy.clear();
    key(Qt::Key_F9);
    EXPECT_FALSE(picked);
    EXPECT_EQ(proxy.count("GetPesqVendedor"), 0u);
    EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Browse);

    // he changes the percentage of a line of his order
    key(Qt::Key_F3);
    ASSERT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Edit);
    typeKeys(QStringLiteral("4"));
    ui.answers = {fw::mrNo};
    key(Qt::Key_F10);
    EXPECT_EQ(sc->cdsVendedor.state(), fw::DataSetState::Browse) << ui.lastText().toStdString();
    EXPECT_TRUE(lines(order).contains(item + QStringLiteral(" 0001=4"))) << lines(order).join(u';').toStdString();

    // another user gives the order to another salesman: his next change is
    // refused with the server's text, and the line shows what is stored
    s.db->exec(QStringLiteral("UPDATE PEDIDO SET CDVENDEDOR = '0002' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});
    const QStringList before = lines(order);
    sc->dbgVendedor->setFocus();
    key(Qt::Key_F3);
    typeKeys(QStringLiteral("6"));
    ui.answers = {fw::mrNo};
    key(Qt::Key_F10);
    EXPECT_EQ(ui.lastText(), QStringLiteral("Pedido não encontrado."));
    EXPECT_EQ(lines(order), before);
    if (sc->cdsVendedor.state() != fw::DataSetState::Browse)
        sc->cdsVendedor.cancel();
    s.db->exec(QStringLiteral("UPDATE PEDIDO SET CDVENDEDOR = '0001' WHERE CDFILIAL = '0002' AND NRPEDIDO = ?"), {order});

    // and he deletes a line of his order
    sc->dbgVendedor->setFocus();
    ui.answers = {fw::mrYes};
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_FALSE(lines(order).join(u';').contains(item + QStringLiteral(" 0001"))) << ui.lastText().toStdString();
}

} // namespace
