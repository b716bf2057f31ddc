// Screens and dialogs closed in every order the shell allows, again and
// again: each window goes with all it holds, the module's globals forget it
// and the next opening starts clean. Under the sanitizer build any read of
// freed memory or anything left allocated fails the run.
#include "HostFixture.h"

#include "search/BuscaComissao.h"
#include "shared/Globals.h"

#include <QPointer>

using namespace testsupport;

namespace {

class ClosingTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        const auto rows = s.db->rows(QStringLiteral("SELECT CDFILIAL, NRPEDIDO FROM NOTAFISCAL ORDER BY 1, 2"));
        ASSERT_FALSE(rows.empty());
        invoiceBranch = rows[0][0].toString();
        invoiceOrder = rows[0][1].toString();
        baseline = QApplication::topLevelWidgets().size();
    }

    // The commission screen loaded, with an order's invoices open beside it.
    void openBoth(QPointer<QWidget>& screen, QPointer<QWidget>& invoice)
    {
        TfrmComissaoVend* sc = openLoaded();
        ASSERT_NE(sc, nullptr);
        sc->mnuFormularioClick(); // record sets of both pages in use
        settle();
        screen = sc;
        fw::LoadBPL(QStringLiteral("PED00103"), {invoiceBranch, invoiceOrder});
        settle();
        ASSERT_EQ(main->mdiArea()->subWindowList().size(), 2);
        for (QMdiSubWindow* sub : main->mdiArea()->subWindowList())
            if (sub->widget() != sc)
                invoice = sub->widget();
        ASSERT_FALSE(invoice.isNull());
    }
    static void closeWindowOf(const QPointer<QWidget>& w)
    {
        if (w)
            w->parentWidget()->close();
        settle();
    }
    void expectNothingLeft(const QPointer<QWidget>& screen, const QPointer<QWidget>& invoice)
    {
        EXPECT_TRUE(screen.isNull());
        EXPECT_TRUE(invoice.isNull());
        EXPECT_TRUE(main->mdiArea()->subWindowList().isEmpty());
        EXPECT_EQ(Cli_ped03600::frmComissaoVend, nullptr);
        EXPECT_FALSE(Cli_ped03600::boIdCriado);
        EXPECT_EQ(QApplication::topLevelWidgets().size(), baseline);
    }

    QString invoiceBranch, invoiceOrder;
    qsizetype baseline = 0;
};

TEST_F(ClosingTest, ScreenAndInvoicesClosedInEveryOrderLeaveNothingBehind)
{
    for (int round = 0; round < 2; ++round) {
        for (int way = 0; way < 4; ++way) {
            SCOPED_TRACE("round " + std::to_string(round) + ", way " + std::to_string(way));
            QPointer<QWidget> screen, invoice;
            openBoth(screen, invoice);
            if (HasFatalFailure())
                return;
            switch (way) {
            case 0: // the screen first, by its window
                closeWindowOf(screen);
                EXPECT_TRUE(screen.isNull());
                closeWindowOf(invoice);
                break;
            case 1: // the invoices first
                closeWindowOf(invoice);
                EXPECT_FALSE(screen.isNull());
                closeWindowOf(screen);
                break;
            case 2: // the screen by its own close command, then the rest
                qobject_cast<TfrmComissaoVend*>(screen.data())->sbtFecharClick();
                settle();
                closeWindowOf(invoice);
                break;
            case 3: // every window at once
                main->mdiArea()->closeAllSubWindows();
                settle();
                break;
            }
            expectNothingLeft(screen, invoice);
        }
    }
}

TEST_F(ClosingTest, DialogsOpenedAndClosedAgainAndAgainAreGone)
{
    TfrmComissaoVend* sc = openLoaded();
    ASSERT_NE(sc, nullptr);
    QList<QPointer<QObject>> dialogs;
    const auto previous = ui.onModal;
    ui.onModal = [&](QObject* d) {
        dialogs << QPointer<QObject>(d);
        if (qobject_cast<TfrmBuscaComissao*>(d))
            return 0; // closed with its cancel button
        return previous(d);
    };
    for (int i = 0; i < 3; ++i) {
        cancelFilter = i % 2 == 0; // cancelled, then confirmed
        QTest::mouseClick(sc->sbtFiltro, Qt::LeftButton);
        settle();
        QTest::mouseClick(sc->sbtBuscaComissao, Qt::LeftButton);
        settle();
    }
    ASSERT_EQ(dialogs.size(), 6);
    for (const auto& d : dialogs)
        EXPECT_TRUE(d.isNull()) << "a dialog outlived its use";
    EXPECT_GT(sc->cdsPedido.recordCount(), 0);
    ui.onModal = previous;
    sc->parentWidget()->close();
    settle();
    EXPECT_EQ(Cli_ped03600::frmComissaoVend, nullptr);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), baseline);
}

} // namespace
