// Edits, masks, flat buttons, the search button and control enter/exit.
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/DateUtil.h"
#include "core/FwError.h"
#include "support/ScriptedUi.h"
#include "widgets/Controls.h"
#include "widgets/Events.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "support/Packets.h"
#include "support/QtPrint.h"

using namespace fw;

namespace {

struct Controls : ::testing::Test {
    ScriptedUi ui;
    QWidget form;
    void SetUp() override
    {
        ctx().setUi(&ui);
        FocusTracker::markForm(&form);
    }
    void TearDown() override { ctx().setUi(nullptr); }
    void show()
    {
        form.resize(300, 200);
        form.show();
        QApplication::setActiveWindow(&form);
        QApplication::processEvents();
    }
};

TEST_F(Controls, DateEditIsStrictAndBlankIsEmpty)
{
    TDateEditPlus dep(&form, QStringLiteral("depDeEntrega"));
    show();
    dep.setFocus();
    EXPECT_TRUE(EmptyString(dep.text()));
    EXPECT_FALSE(dep.IsDateValid());
    EXPECT_EQ(dep.GetDate(), 0.0);

    dep.clear();
    QTest::keyClicks(&dep, QStringLiteral("29022024"));
    EXPECT_EQ(dep.displayText(), QStringLiteral("29/02/2024"));
    EXPECT_TRUE(dep.IsDateValid());
    EXPECT_EQ(dep.GetDate(), date::fromQDate(QDate(2024, 2, 29)));

    dep.clear();
    dep.setCursorPosition(0);
    QTest::keyClicks(&dep, QStringLiteral("31022024"));
    EXPECT_FALSE(dep.IsDateValid());
    EXPECT_EQ(dep.GetDate(), 0.0);
    EXPECT_FALSE(EmptyString(dep.text()));

    dep.SetDate(date::fromQDate(QDate(2026, 12, 8)));
    EXPECT_EQ(dep.displayText(), QStringLiteral("08/12/2026"));
    dep.SetDate(0);
    EXPECT_TRUE(EmptyString(dep.text()));
    // Letters do not get in.
    dep.setCursorPosition(0);
    QTest::keyClicks(&dep, QStringLiteral("ab"));
    EXPECT_TRUE(EmptyString(dep.text()));
}

TEST_F(Controls, MaskedFieldsTakeWhatIsTypedAfterAClickOrATab)
{
    auto* before = new QLineEdit(&form);
    before->setGeometry(10, 10, 100, 24);
    auto* date = new TDateEditPlus(&form, QStringLiteral("depDeEntrega"));
    date->setGeometry(10, 50, 120, 24);
    auto* number = new QLineEdit(&form);
    number->setInputMask(QStringLiteral("0000000000; "));
    caretToFirstFree(number);
    number->setGeometry(10, 90, 160, 24);
    show();
    // a click past the blanks of an empty field
    QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(date->width() - 8, date->height() / 2));
    QApplication::processEvents();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("10122026"));
    EXPECT_EQ(date->displayText(), QStringLiteral("10/12/2026"));
    // a click in the middle of a filled field stays where it landed
    QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(4, date->height() / 2));
    QApplication::processEvents();
    EXPECT_LT(date->cursorPosition(), 2);
    // Tab into a half-typed field goes on from where it stopped
    number->setText(QStringLiteral("123"));
    before->setFocus();
    QApplication::processEvents();
    QTest::keyClick(before, Qt::Key_Tab);
    QApplication::processEvents();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), number);
    QTest::keyClicks(number, QStringLiteral("45"));
    EXPECT_EQ(number->text().trimmed(), QStringLiteral("12345"));
}

TEST_F(Controls, BranchMaskUpperCasesAndTakesDigits)
{
    QLineEdit med(&form);
    med.setInputMask(QStringLiteral(">nnnn; "));
    show();
    med.setFocus();
    QTest::keyClicks(&med, QStringLiteral("a1-b2c"));
    EXPECT_EQ(med.text(), QStringLiteral("A1B2"));
    med.clear();
    QTest::keyClicks(&med, QStringLiteral("7"));
    EXPECT_EQ(Ajusta(med.text(), 4), QStringLiteral("0007"));
}

TEST_F(Controls, NumberEditReadsAndWritesPtBr)
{
    TNumberEdit ned(&form, QStringLiteral("nedValor"));
    ned.SetNumber(1234.5);
    EXPECT_EQ(ned.text(), QStringLiteral("1.234,50"));
    EXPECT_DOUBLE_EQ(ned.GetNumber(), 1234.5);
    ned.setText(QString());
    EXPECT_EQ(ned.GetNumber(), 0.0);
    ned.setText(QStringLiteral("1.2,3"));
    EXPECT_THROW(ned.GetNumber(), Error);
}

TEST_F(Controls, FlatButtonsToggleInGroups)
{
    TButtonFlat a(&form, QStringLiteral("a")), b(&form, QStringLiteral("b"));
    a.GroupIndex = b.GroupIndex = 1;
    a.setCheckable(true);
    b.setCheckable(true);
    a.SetDown(true);
    EXPECT_TRUE(a.Down());
    b.click();
    EXPECT_TRUE(b.Down());
    EXPECT_FALSE(a.Down());
    b.click(); // stays down without AllowAllUp
    EXPECT_TRUE(b.Down());
    b.AllowAllUp = true;
    b.click();
    EXPECT_FALSE(b.Down());

    // a button that stays down looks down, with the mouse away from it
    TButtonFlat t(&form, QStringLiteral("t"));
    t.setText(QStringLiteral("Cancelar Comissionamento"));
    t.resize(t.sizeHint());
    t.SetDown(false);
    const QImage up = t.grab().toImage();
    t.SetDown(true);
    const QImage down = t.grab().toImage();
    ASSERT_EQ(up.size(), down.size());
    int differing = 0;
    for (int y = 0; y < up.height(); ++y)
        for (int x = 0; x < up.width(); ++x)
            differing += up.pixel(x, y) != down.pixel(x, y);
    EXPECT_GT(differing, up.width() * up.height() / 2); // the whole face, not a hover frame
}

TEST_F(Controls, ExitRunsBeforeEnterAndAnAbortedExitKeepsTheFocus)
{
    QLineEdit a(&form), b(&form), c(&form);
    a.move(0, 0);
    b.move(0, 30);
    c.move(0, 60);
    QStringList log;
    bool refuse = false;
    onEnter(&a, [&] { log << QStringLiteral("enter a"); });
    onExit(&a, [&] {
        log << QStringLiteral("exit a");
        if (refuse)
            MensErro(QStringLiteral("Valor inválido."), true);
    });
    onEnter(&b, [&] { log << QStringLiteral("enter b"); });
    show();
    a.setFocus();
    QApplication::processEvents();
    b.setFocus();
    EXPECT_EQ(log, (QStringList{"enter a", "exit a", "enter b"}));

    // A message box of its own is no exit.
    log.clear();
    QWidget box;
    box.show();
    QApplication::setActiveWindow(&box);
    QApplication::processEvents();
    focusBack(&b);
    QApplication::processEvents();
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), &b);

    refuse = true;
    a.setFocus();
    log.clear();
    c.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(log, (QStringList{"exit a"}));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Valor inválido."));
    EXPECT_EQ(QApplication::focusWidget(), &a);
}

TEST_F(Controls, SearchButtonRunsItsHooksAroundThePick)
{
    RecordSet rs(QStringLiteral("qryFilial"));
    testsupport::declareLines(rs);
    rs.setData(Payload::fromJson(testsupport::linesPacket(3)));
    DataSource ds(&rs);
    QLineEdit med(&form);
    TBtnPesquisa btn(&form, QStringLiteral("btnFilial"));
    btn.setAssociate(&med);
    btn.Title = QStringLiteral("Filial|Não há filial cadastrada.");
    btn.dataSource = &ds;
    QStringList log;
    btn.OnBeforePesq = [&] { log << QStringLiteral("before"); };
    btn.OnAfterPesq = [&] { log << QStringLiteral("after ") + rs.fieldByName(u"CDVENDEDOR").asString(); };
    ui.onPesquisar = [&](RecordSet& r, const QString& caption) {
        EXPECT_EQ(caption, QStringLiteral("Filial|Não há filial cadastrada."));
        r.moveTo(2);
        return true;
    };
    show();
    med.setFocus();
    QTest::keyClick(&med, Qt::Key_F9);
    EXPECT_EQ(log, (QStringList{"before", "after 0003"}));
    ui.onPesquisar = [](RecordSet&, const QString&) { return false; };
    log.clear();
    btn.click();
    EXPECT_EQ(log, (QStringList{"before"}));
}

} // namespace
