// The data grid: column enter/exit in the order screens rely on, a refused
// exit keeping the cell, the edit button, sorting by title, column helpers.
#include "core/Consiste.h"
#include "core/Context.h"
#include "core/FwError.h"
#include "support/ScriptedUi.h"
#include "widgets/DataGrid.h"
#include "widgets/Events.h"
#include "widgets/Pickers.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "support/Packets.h"
#include "support/QtPrint.h"

using namespace fw;

namespace {

struct Grid : ::testing::Test {
    ScriptedUi ui;
    RecordSet rs{QStringLiteral("cdsVendedor")};
    DataSource ds{&rs};
    QWidget form;
    QLineEdit* other = nullptr;
    TDBGrid* grid = nullptr;
    QStringList events;

    void SetUp() override
    {
        ctx().setUi(&ui);
        testsupport::declareLines(rs);
        rs.setData(Payload::fromJson(testsupport::linesPacket(6)));
        FocusTracker::markForm(&form);
        grid = new TDBGrid(&form, QStringLiteral("dbgVendedor"));
        grid->setGeometry(0, 0, 500, 250);
        other = new QLineEdit(&form);
        other->setGeometry(0, 260, 100, 24);
        grid->setColumns({{QStringLiteral("CDVENDEDOR"), {}, 0, {}, false, true},
                          {QStringLiteral("NMFANVEN"), {}, 0, {}, true, false},
                          {QStringLiteral("VRPECOMITPED"), {}, 0, Qt::AlignRight, false, false}});
        grid->setDataSource(&ds);
        grid->OnColEnter = [this](TDBGrid& g) { events << QStringLiteral("enter %1").arg(g.SelectedField()->fieldName()); };
        grid->OnColExit = [this](TDBGrid& g) { events << QStringLiteral("exit %1").arg(g.SelectedField()->fieldName()); };
        form.resize(520, 300);
        form.show();
        QApplication::setActiveWindow(&form);
        grid->setFocus();
        QApplication::processEvents();
        events.clear();
    }
    void TearDown() override { ctx().setUi(nullptr); }
};

TEST_F(Grid, ColumnExitRunsBeforeEnterAndSeesTheColumnBeingLeft)
{
    ASSERT_EQ(grid->SelectedIndex(), 0);
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(events, (QStringList{"exit CDVENDEDOR", "enter NMFANVEN"}));
    EXPECT_EQ(grid->SelectedIndex(), 1);
    events.clear();
    grid->setSelectedIndex(2);
    EXPECT_EQ(events, (QStringList{"exit NMFANVEN", "enter VRPECOMITPED"}));
    // A row move in the same column is no column change.
    events.clear();
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(rs.recNo(), 1);
}

TEST_F(Grid, AnExitThatAbortsKeepsTheCellAndTheFocus)
{
    QTest::keyClick(grid, Qt::Key_Down);
    grid->OnColExit = [this](TDBGrid& g) {
        events << QStringLiteral("exit %1").arg(g.SelectedField()->fieldName());
        MensErro(QStringLiteral("Código inválido."), true);
    };
    QTest::keyClick(grid, Qt::Key_Right);
    QApplication::processEvents();
    EXPECT_EQ(events, (QStringList{"exit CDVENDEDOR"}));
    EXPECT_EQ(ui.lastText(), QStringLiteral("Código inválido."));
    EXPECT_EQ(grid->currentIndex().column(), 0);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_EQ(grid->SelectedIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), grid);

    // Leaving the grid for another control runs the exit too; refused, the
    // focus comes back.
    events.clear();
    other->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(events, (QStringList{"exit CDVENDEDOR"}));
    EXPECT_EQ(QApplication::focusWidget(), grid);
}

TEST_F(Grid, EditButtonTitleClickAndReadOnlyColumns)
{
    int clicks = 0;
    grid->OnEditButtonClick = [&](TDBGrid& g) {
        ++clicks;
        EXPECT_EQ(g.SelectedField()->fieldName(), QStringLiteral("CDVENDEDOR"));
    };
    QTest::keyClick(grid, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_F9);
    EXPECT_EQ(clicks, 2);
    // Not a button column: nothing.
    grid->setSelectedIndex(2);
    QTest::keyClick(grid, Qt::Key_F9);
    EXPECT_EQ(clicks, 2);

    // A read-only column opens no editor; an editable one does.
    grid->setSelectedIndex(1);
    QTest::keyClick(grid, Qt::Key_X);
    EXPECT_FALSE(grid->cellEditorOpen());
    EXPECT_EQ(rs.state(), DataSetState::Browse);

    // Without a handler a title click sorts by the column's field.
    rs.edit();
    rs.fieldByName(u"NMFANVEN").setValue(QStringLiteral("AAA"));
    rs.post();
    rs.last();
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(grid->horizontalHeader()->sectionViewportPosition(1) + 5, 5));
    EXPECT_EQ(rs.indexFieldNames(), QStringLiteral("NMFANVEN"));
    rs.first();
    EXPECT_EQ(rs.fieldByName(u"NMFANVEN").asString(), QStringLiteral("AAA"));
}

TEST_F(Grid, ColumnsAddedRemovedAndFound)
{
    EXPECT_EQ(IndiceCol(*grid, QStringLiteral("vrpecomitped")), 2);
    DestroiColuna(*grid, QStringLiteral("NMFANVEN"));
    EXPECT_EQ(IndiceCol(*grid, QStringLiteral("NMFANVEN")), -1);
    EXPECT_EQ(grid->model()->columnCount(), 2);
    CriaColuna(*grid, QStringLiteral("NMFANVEN"), 0);
    EXPECT_EQ(IndiceCol(*grid, QStringLiteral("NMFANVEN")), 0);
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Nome"));
    CriaColuna(*grid, QStringLiteral("NMFANVEN"), 2); // already there
    EXPECT_EQ(grid->model()->columnCount(), 3);
}

TEST_F(Grid, ModelsPassTheModelTester)
{
    QAbstractItemModelTester t1(grid->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    CheckListModel list(rs, QStringLiteral("CDVENDEDOR"));
    QAbstractItemModelTester t2(&list, QAbstractItemModelTester::FailureReportingMode::Fatal);
    list.preselect({QStringLiteral("0002"), QStringLiteral("0005")});
    list.toggle(0);
    EXPECT_EQ(list.checkedKeys(), (QStringList{"0001", "0002", "0005"}));
    rs.append();
    rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("0100"));
    rs.post();
    rs.deleteRecord();
    rs.setData(Payload::fromJson(testsupport::linesPacket(3)));
    EXPECT_EQ(grid->model()->rowCount(), 3);
}

TEST_F(Grid, CellStyleComesFromTheDrawHandlerPerRow)
{
    grid->OnDrawColumnCell = [](TDBGrid&, const TColumn& col, Field& f, CellStyle& st) {
        if (col.FieldName == QLatin1String("VRPECOMITPED") && f.asFloat() == 0)
            st.foreground = Qt::red;
    };
    grid->resize(900, 300);
    const QImage img = grid->grab().toImage();
    EXPECT_FALSE(img.isNull());
    // Row 0 has 0,00 %: its value is drawn in red somewhere in its cell.
    const QRect cell = grid->visualRect(grid->model()->index(0, 2)).translated(grid->viewport()->pos());
    bool red = false;
    for (int x = cell.left(); x < cell.right() && !red; ++x)
        for (int y = cell.top(); y < cell.bottom() && !red; ++y) {
            const QColor c = img.pixelColor(x, y);
            red = c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    EXPECT_TRUE(red);
}

} // namespace

namespace {

// The current cell of a button column shows its search button before any
// editing; a click on it runs the search, a click beside it does not.
TEST_F(Grid, TheCurrentButtonCellShowsItsSearchWithoutEditing)
{
    int searches = 0;
    grid->OnEditButtonClick = [&](TDBGrid&) { ++searches; };
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QApplication::processEvents();
    ASSERT_FALSE(grid->cellEditorOpen());
    const QRect cell = grid->visualRect(grid->currentIndex());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(cell.right() - 3, cell.center().y()));
    QApplication::processEvents();
    EXPECT_EQ(searches, 1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 4, cell.center().y()));
    QApplication::processEvents();
    EXPECT_EQ(searches, 1);
    // another column's cell has no button
    grid->setCurrentIndex(grid->model()->index(1, 2));
    const QRect pct = grid->visualRect(grid->currentIndex());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(pct.right() - 3, pct.center().y()));
    QApplication::processEvents();
    EXPECT_EQ(searches, 1);
}

// Frozen columns stay in view beside whatever column the grid scrolls to;
// a click on them moves the current cell as on the grid itself.
TEST_F(Grid, FrozenColumnsStayInViewWhenTheGridScrollsSideways)
{
    std::vector<TColumn> cols = grid->columns();
    for (TColumn& c : cols)
        c.Width = 160;
    grid->setColumns(cols);
    grid->setFrozenColumns(1);
    grid->resize(380, 200);
    QApplication::processEvents();
    auto* frozen = grid->findChild<QTableView*>(QStringLiteral("dbgVendedorFixas"));
    ASSERT_NE(frozen, nullptr);
    EXPECT_TRUE(frozen->isVisible());
    EXPECT_EQ(frozen->width(), grid->columnWidth(0));
    EXPECT_TRUE(frozen->isColumnHidden(2));
    EXPECT_FALSE(frozen->isColumnHidden(0));
    for (int c : {2, 1, 2}) {
        grid->setCurrentIndex(grid->model()->index(0, c));
        QApplication::processEvents();
        const QRect r = grid->visualRect(grid->currentIndex());
        EXPECT_GE(r.left(), frozen->width()) << c; // beside the frozen column, not under it
        EXPECT_LE(r.right(), grid->viewport()->width()) << c;
    }
    EXPECT_GT(grid->horizontalScrollBar()->value(), 0);
    const QRect first = frozen->visualRect(frozen->model()->index(2, 0));
    QTest::mouseClick(frozen->viewport(), Qt::LeftButton, {}, first.center());
    QApplication::processEvents();
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(2, 0));
    EXPECT_EQ(rs.recNo(), 2);
}

} // namespace
