// The base screen's pages and standard commands, its printing, and the base
// dialog's cancel and saved options.
#include "core/Context.h"
#include "core/FwError.h"
#include "support/ScriptedUi.h"
#include "widgets/TfrmFiltroPadrao.h"
#include "widgets/TfrmPadrao.h"

#include <QApplication>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "support/Packets.h"
#include "support/QtPrint.h"

using namespace fw;

namespace {

class Screen : public TfrmPadrao {
public:
    explicit Screen(RecordSet& rs) : TfrmPadrao(nullptr, QStringLiteral("TST00100"), QStringLiteral("Tela de teste"))
    {
        dtsPadrao.setDataSet(&rs);
        HelpContext = 12200100;
        FormCreate();
    }
    int pageChanges = 0, activations = 0, closes = 0;
    void pgcPadraoChange() override
    {
        TfrmPadrao::pgcPadraoChange();
        ++pageChanges;
    }
    void FormActivate() override { ++activations; }
    void FormClose() override
    {
        ++closes;
        TfrmPadrao::FormClose();
    }
};

struct Base : ::testing::Test {
    ScriptedUi ui;
    RecordSet rs{QStringLiteral("cdsVendedor")};
    std::unique_ptr<Screen> screen;
    std::vector<int> helps;

    void SetUp() override
    {
        ctx().setUi(&ui);
        ctx().help = [this](int h) { helps.push_back(h); };
        testsupport::declareLines(rs);
        rs.setData(Payload::fromJson(testsupport::linesPacket(4)));
        screen = std::make_unique<Screen>(rs);
        screen->resize(800, 400);
        screen->show();
        QApplication::setActiveWindow(screen.get());
        QApplication::processEvents();
    }
    void TearDown() override
    {
        screen.reset();
        ctx().help = nullptr;
        ctx().setUi(nullptr);
    }
};

TEST_F(Base, IncludeConfirmChangeAndCancelActOnTheMainRecordSet)
{
    EXPECT_EQ(screen->activations, 1);
    EXPECT_TRUE(screen->sbtIncluir->isEnabled());
    EXPECT_FALSE(screen->sbtConfirmar->isEnabled());

    screen->sbtIncluir->click();
    EXPECT_EQ(rs.state(), DataSetState::Insert);
    EXPECT_TRUE(screen->sbtConfirmar->isEnabled());
    EXPECT_FALSE(screen->sbtIncluir->isEnabled());
    EXPECT_FALSE(screen->mnuIncluir->isEnabled());
    rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("0099"));
    screen->sbtConfirmar->click();
    EXPECT_EQ(rs.state(), DataSetState::Browse);
    EXPECT_EQ(rs.recordCount(), 5);
    EXPECT_EQ(rs.changeCount(), 1);

    screen->sbtAlterar->click();
    EXPECT_EQ(rs.state(), DataSetState::Edit);
    rs.fieldByName(u"NMFANVEN").setValue(QStringLiteral("Outro"));
    // "Canc" asked; No keeps the edit, Yes cancels it.
    ui.answers = {mrNo};
    screen->sbtCancelar->click();
    EXPECT_EQ(ui.lastText(), QStringLiteral("Deseja cancelar as alterações?"));
    EXPECT_EQ(rs.state(), DataSetState::Edit);
    ui.answers = {mrYes};
    screen->mnuCancelar->trigger();
    EXPECT_EQ(rs.state(), DataSetState::Browse);
    EXPECT_NE(rs.fieldByName(u"NMFANVEN").asString(), QStringLiteral("Outro"));
}

TEST_F(Base, DeleteAsksFirst)
{
    rs.moveTo(1);
    ui.answers = {mrNo};
    screen->sbtExcluir->click();
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_EQ(ui.lastText(), QStringLiteral("Confirma a exclusão do registro?"));
    ui.answers = {mrYes};
    screen->sbtExcluir->click();
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(ui.unexpectedQuestions, 0);
}

TEST_F(Base, PagesMenusHelpAndClose)
{
    screen->mnuFormulario->trigger();
    EXPECT_EQ(screen->pgcPadrao->currentWidget(), screen->tshFormulario);
    EXPECT_EQ(screen->pageChanges, 1);
    EXPECT_TRUE(screen->mnuFormulario->isChecked());
    EXPECT_FALSE(screen->mnuFolhaDados->isChecked());
    screen->mnuFolhaDadosClick();
    EXPECT_EQ(screen->pgcPadrao->currentWidget(), screen->tshFolhaDados);
    EXPECT_EQ(screen->pageChanges, 2);

    screen->dbgPadrao->setFocus();
    QTest::keyClick(screen->dbgPadrao, Qt::Key_F1);
    screen->sbtAjuda->click();
    EXPECT_EQ(helps, (std::vector<int>{12200100, 12200100}));

    // Closing with a pending edit asks: Cancelar stays, Não discards it.
    rs.edit();
    ui.answers = {mrCancel};
    screen->sbtFechar->click();
    EXPECT_EQ(screen->closes, 0);
    EXPECT_EQ(rs.state(), DataSetState::Edit);
    EXPECT_TRUE(screen->isVisible());
    ui.answers = {mrNo};
    screen->sbtFechar->click();
    EXPECT_EQ(screen->closes, 1);
    EXPECT_EQ(rs.state(), DataSetState::Browse);
    EXPECT_FALSE(screen->isVisible());
    screen.release()->deleteLater(); // discarded on close
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(Base, PrintsTheGridToPdfAndThroughThePreview)
{
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("grade.pdf")));
    ASSERT_NE(screen->printGrid(), nullptr);
    screen->printTo(printer, *screen->printGrid());
    QFile f(dir.filePath(QStringLiteral("grade.pdf")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray pdf = f.readAll();
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_GT(pdf.size(), 1000);

    int previews = 0;
    ui.onModal = [&](QObject* d) {
        if (qobject_cast<QPrintPreviewDialog*>(d))
            ++previews;
        return mrCancel;
    };
    screen->sbtImprimir->click();
    EXPECT_EQ(previews, 1);

    // Nothing to print is said so.
    rs.emptyDataSet();
    screen->sbtImprimir->click();
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(ui.lastText(), QStringLiteral("Não há registros para imprimir."));
}

class Dialog : public TfrmFiltroPadrao {
public:
    Dialog() : TfrmFiltroPadrao(nullptr, QStringLiteral("TST00101"), QStringLiteral("Filtro de teste")) { FormCreate(); }
    int cancels = 0, closes = 0;
    void sbtCancelClick() override
    {
        ++cancels;
        TfrmFiltroPadrao::sbtCancelClick();
    }
    void FormClose() override { ++closes; }
};

struct Options : ::testing::Test {
    ScriptedUi ui;
    QTemporaryDir dir;
    void SetUp() override
    {
        ctx().setUi(&ui);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
        QCoreApplication::setOrganizationName(QStringLiteral("ped-tests"));
    }
    void TearDown() override
    {
        ctx().login.operador.clear();
        ctx().setUi(nullptr);
    }
};

TEST_F(Options, SavedAndLoadedPerOperatorAndScreen)
{
    ctx().login.operador = QStringLiteral("ADM");
    {
        Dialog d;
        d.setOpcao(QStringLiteral("stCliente"), QStringLiteral("CLI00001,CLI00007"));
        d.setOpcao(QStringLiteral("stVendedor"), QStringLiteral("0003"));
        d.setOpcao(QStringLiteral("stVendedor"), QString()); // empty removes
        d.btfSaveOpc->click();
        EXPECT_EQ(ui.lastText(), QStringLiteral("Opções salvas."));
    }
    ctx().login.operador = QStringLiteral("GERENTE");
    {
        Dialog d;
        d.btfLoadOpc->click();
        EXPECT_EQ(ui.lastText(), QStringLiteral("Não há opções salvas para esta tela."));
        EXPECT_TRUE(d.Opcoes.isEmpty());
    }
    ctx().login.operador = QStringLiteral("ADM");
    {
        Dialog d;
        d.btfLoadOpc->click();
        EXPECT_EQ(d.Opcoes, (QStringList{"stCliente=CLI00001,CLI00007"}));
        EXPECT_EQ(d.opcao(QStringLiteral("stCliente")), QStringLiteral("CLI00001,CLI00007"));
        EXPECT_EQ(d.opcao(QStringLiteral("stVendedor")), QString());
        ASSERT_EQ(d.cdsCarregaOpcoes.recordCount(), 1);
        EXPECT_EQ(d.cdsCarregaOpcoes.fieldByName(u"NMOPCAO").asString(), QStringLiteral("stCliente"));
    }
}

TEST_F(Options, EscCancelsThroughTheCancelHandlerAndClosesOnce)
{
    Dialog d;
    d.show();
    QApplication::setActiveWindow(&d);
    QApplication::processEvents();
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_EQ(d.cancels, 1);
    EXPECT_EQ(d.closes, 1);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
}

} // namespace
