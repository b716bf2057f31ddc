// The pickers on real Qt dialogs and through the scripted service; the
// screenshots of both pickers and of a base screen (PED_SCREENSHOTS=dir).
#include "core/Context.h"
#include "support/ScriptedUi.h"
#include "core/Services.h"
#include "widgets/Pickers.h"
#include "widgets/QtUi.h"
#include "widgets/TfrmPadrao.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/Packets.h"
#include "support/QtPrint.h"

#include <functional>

using namespace fw;

namespace {

// Runs fn on the modal dialog as soon as it is up.
template <typename D>
void whenOpen(std::function<void(D&)> fn)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, fn] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            fn(*d);
        }
    });
    poll->start(10);
}

void shoot(QWidget& w, const char* name)
{
    const QString dir = qEnvironmentVariable("PED_SCREENSHOTS");
    if (!dir.isEmpty())
        w.grab().save(dir + QLatin1Char('/') + QLatin1String(name));
}

void clickButton(QDialog& d, const QString& text)
{
    for (auto* b : d.findChildren<QPushButton*>())
        if (b->text().remove(QLatin1Char('&')) == text) {
            b->click();
            return;
        }
    ADD_FAILURE() << "no button " << text.toStdString();
}

struct Pickers : ::testing::Test {
    QtUserInterface qtUi;
    RecordSet rs{QStringLiteral("cdsFiltraVend")};
    void SetUp() override
    {
        ctx().setUi(&qtUi);
        rs.addField(QStringLiteral("IDMARCADO"), FieldType::String, 1).displayLabel = QStringLiteral("Check");
        testsupport::declareLines(rs);
        rs.setData(Payload::fromJson(testsupport::linesPacket(8, true)));
    }
    void TearDown() override { ctx().setUi(nullptr); }
};

TEST_F(Pickers, ListPickerChecksUnchecksAndWritesTheListText)
{
    QString list = QStringLiteral("0002,0004");
    whenOpen<TPesquisaListaDialog>([](TPesquisaListaDialog& d) {
        EXPECT_EQ(d.model()->checkedKeys(), (QStringList{"0002", "0004"}));
        EXPECT_EQ(d.model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Check"));
        EXPECT_EQ(d.model()->columnCount(), 4); // the check column replaces IDMARCADO
        d.view()->setFocus();
        d.view()->setCurrentIndex(d.model()->index(0, 1));
        QTest::keyClick(d.view(), Qt::Key_Space); // check 0001
        d.view()->setCurrentIndex(d.model()->index(3, 1));
        QTest::keyClick(d.view(), Qt::Key_Space); // uncheck 0004
        d.model()->setData(d.model()->index(6, 0), Qt::Checked, Qt::CheckStateRole);
        shoot(d, "picker-lista.png");
        clickButton(d, QStringLiteral("OK"));
    });
    EXPECT_TRUE(PesquisaLista(rs, QStringLiteral("CDVENDEDOR"), QStringLiteral("Vendedor"), false, list));
    EXPECT_EQ(list, QStringLiteral("0001,0002,0007"));

    // Cancel leaves the list as it was, whatever was marked.
    whenOpen<TPesquisaListaDialog>([](TPesquisaListaDialog& d) {
        clickButton(d, QStringLiteral("Marcar todos"));
        EXPECT_EQ(d.model()->checkedKeys().size(), 8);
        clickButton(d, QStringLiteral("Cancelar"));
    });
    EXPECT_FALSE(PesquisaLista(rs, QStringLiteral("CDVENDEDOR"), QStringLiteral("Vendedor"), false, list));
    EXPECT_EQ(list, QStringLiteral("0001,0002,0007"));

    // Unchecking everything gives the empty list.
    whenOpen<TPesquisaListaDialog>([](TPesquisaListaDialog& d) {
        clickButton(d, QStringLiteral("Desmarcar todos"));
        clickButton(d, QStringLiteral("OK"));
    });
    EXPECT_TRUE(PesquisaLista(rs, QStringLiteral("CDVENDEDOR"), QStringLiteral("Vendedor"), false, list));
    EXPECT_EQ(list, QString());
}

TEST_F(Pickers, EmptyListPickerShowsItsEmptyText)
{
    rs.emptyDataSet();
    QString list = QStringLiteral("0001");
    whenOpen<TPesquisaListaDialog>([](TPesquisaListaDialog& d) {
        auto* l = d.findChild<QLabel*>(QStringLiteral("lblVazio"));
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->text(), QStringLiteral("Não há pedido cadastrado."));
        clickButton(d, QStringLiteral("OK"));
    });
    EXPECT_TRUE(PesquisaLista(rs, QStringLiteral("CDVENDEDOR"), QStringLiteral("Pedido|Não há pedido cadastrado."), false, list));
    EXPECT_EQ(list, QString());
}

TEST_F(Pickers, SinglePickerSearchesAndPicks)
{
    whenOpen<TPesquisaDialog>([](TPesquisaDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Pesquisa - Vendedor"));
        QTest::keyClicks(d.searchEdit(), QStringLiteral("0005"));
        shoot(d, "picker-pesquisa.png");
        QTest::keyClick(d.searchEdit(), Qt::Key_Return);
    });
    EXPECT_TRUE(Pesquisar(rs, QStringLiteral("Vendedor|Não há vendedor cadastrado."), false, true));
    EXPECT_EQ(rs.fieldByName(u"CDVENDEDOR").asString(), QStringLiteral("0005"));

    whenOpen<TPesquisaDialog>([](TPesquisaDialog& d) { QTest::keyClick(d.grid(), Qt::Key_Escape); });
    EXPECT_FALSE(Pesquisar(rs, QStringLiteral("Vendedor|Não há vendedor cadastrado."), false, true));

    // An empty source with EmptyError says so instead of opening.
    rs.emptyDataSet();
    QString said;
    whenOpen<QMessageBox>([&](QMessageBox& m) {
        said = m.text();
        m.button(QMessageBox::Ok) ? m.button(QMessageBox::Ok)->click() : m.buttons().first()->click();
    });
    EXPECT_FALSE(Pesquisar(rs, QStringLiteral("Vendedor|Não há vendedor cadastrado."), false, true));
    EXPECT_EQ(said, QStringLiteral("Não há vendedor cadastrado."));
}

TEST_F(Pickers, SearchFindsPartOfAnyColumnIgnoringCaseAndAccentsAndSaysWhenNothingMatches)
{
    rs.moveTo(4);
    rs.edit();
    rs.fieldByName(u"NMFANVEN").setValue(QStringLiteral("José Araújo"));
    rs.post();
    rs.first();
    whenOpen<TPesquisaDialog>([this](TPesquisaDialog& d) {
        QTest::keyClicks(d.searchEdit(), QStringLiteral("ARAUJ")); // part of the name, without its accent
        EXPECT_EQ(rs.fieldByName(u"CDVENDEDOR").asString(), QStringLiteral("0005"));
        EXPECT_TRUE(d.searchStatus()->text().isEmpty());
        d.searchEdit()->clear();
        QTest::keyClicks(d.searchEdit(), QStringLiteral("0007"));
        EXPECT_EQ(rs.fieldByName(u"CDVENDEDOR").asString(), QStringLiteral("0007"));
        d.searchEdit()->clear();
        QTest::keyClicks(d.searchEdit(), QStringLiteral("xyz"));
        EXPECT_EQ(d.searchStatus()->text(), QStringLiteral("Nenhum registro contém \"xyz\"."));
        EXPECT_EQ(rs.fieldByName(u"CDVENDEDOR").asString(), QStringLiteral("0007")); // stays where it was
        QTest::keyClick(d.grid(), Qt::Key_Escape);
    });
    EXPECT_FALSE(Pesquisar(rs, QStringLiteral("Vendedor|Não há vendedor cadastrado."), false, true));

    QString list;
    whenOpen<TPesquisaListaDialog>([](TPesquisaListaDialog& d) {
        QTest::keyClicks(d.searchEdit(), QStringLiteral("jose"));
        EXPECT_EQ(d.view()->currentIndex().row(), 4);
        QTest::keyClicks(d.searchEdit(), QStringLiteral("!"));
        EXPECT_EQ(d.searchStatus()->text(), QStringLiteral("Nenhum registro contém \"jose!\"."));
        clickButton(d, QStringLiteral("Cancelar"));
    });
    EXPECT_FALSE(PesquisaLista(rs, QStringLiteral("CDVENDEDOR"), QStringLiteral("Vendedor"), false, list));
}

TEST_F(Pickers, MessageBoxesAnswerInPortuguese)
{
    whenOpen<QMessageBox>([](QMessageBox& m) {
        QStringList texts;
        for (auto* b : m.buttons())
            texts << b->text();
        EXPECT_TRUE(texts.contains(QStringLiteral("&Sim")));
        EXPECT_TRUE(texts.contains(QStringLiteral("&Não")));
        for (auto* b : m.buttons())
            if (b->text() == QStringLiteral("&Não"))
                b->click();
    });
    EXPECT_EQ(qtUi.showMessage(QStringLiteral("Continuar?"), MsgType::Confirmation, Buttons::YesNo, 0), mrNo);
    whenOpen<QMessageBox>([](QMessageBox& m) { QTest::keyClick(&m, Qt::Key_Return); });
    EXPECT_EQ(qtUi.showMessage(QStringLiteral("Continuar?"), MsgType::Confirmation, Buttons::YesNo, 0), mrYes);
}

TEST_F(Pickers, BusyPanelsDifferByKindAndStopOnEveryPath)
{
    QWidget main;
    main.resize(400, 300);
    main.show();
    ctx().mainWindow = &main;
    {
        BusyGuard busy(6);
        ASSERT_NE(qtUi.overlay(), nullptr);
        EXPECT_EQ(qtUi.overlay()->kind(), 6);
        const QImage reading = main.grab().toImage();
        busy.stop();
        BusyGuard sending(1);
        const QImage writing = main.grab().toImage();
        EXPECT_NE(reading, writing);
    }
    EXPECT_EQ(qtUi.busyDepth(), 0);
    try {
        BusyGuard busy(1);
        throw std::runtime_error("falha");
    } catch (const std::exception&) {
    }
    EXPECT_EQ(qtUi.busyDepth(), 0);
    ctx().mainWindow = nullptr;
}

TEST(Scripted, ListPickerThroughTheScriptedService)
{
    ScriptedUi ui;
    ctx().setUi(&ui);
    RecordSet rs(QStringLiteral("cdsNrPedido"));
    testsupport::declareLines(rs);
    rs.setData(Payload::fromJson(testsupport::linesPacket(3)));
    QString list = QStringLiteral("0009");
    ui.onPesquisaLista = [](RecordSet&, const QString& key, const QString& caption, QString& sel) {
        EXPECT_EQ(key, QStringLiteral("CDVENDEDOR"));
        EXPECT_EQ(caption, QStringLiteral("Pedido|Não há pedido cadastrado."));
        sel = joinListText({QStringLiteral(" 0001"), QString(), QStringLiteral("0003 ")});
        return true;
    };
    EXPECT_TRUE(PesquisaLista(rs, QStringLiteral("CDVENDEDOR"), QStringLiteral("Pedido|Não há pedido cadastrado."), false, list));
    EXPECT_EQ(list, QStringLiteral("0001,0003"));
    EXPECT_EQ(splitListText(QStringLiteral("'0001', ,0003,")), (QStringList{"0001", "0003"}));
    // A wrong key field fails before anything opens.
    EXPECT_THROW(PesquisaLista(rs, QStringLiteral("NOPE"), QStringLiteral("x"), false, list), std::exception);
    EXPECT_EQ(ui.pesquisaListaCalls, 1);
    ctx().setUi(nullptr);
}

TEST(Screenshot, BaseScreenWithGrid)
{
    ScriptedUi ui;
    ctx().setUi(&ui);
    RecordSet rs(QStringLiteral("cdsVendedor"));
    testsupport::declareLines(rs);
    rs.setData(Payload::fromJson(testsupport::linesPacket(12)));
    TfrmPadrao screen(nullptr, QStringLiteral("TST00100"), QStringLiteral("Tela padrão"));
    screen.dtsPadrao.setDataSet(&rs);
    screen.FormCreate();
    screen.resize(800, 400);
    screen.show();
    QApplication::processEvents();
    EXPECT_EQ(screen.dbgPadrao->model()->rowCount(), 12);
    shoot(screen, "tela-padrao.png");
    ctx().setUi(nullptr);
}

} // namespace
