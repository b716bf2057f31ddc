// A record set, its data source, a model, a grid and a navigator die in any
// order: none reaches another that is already gone (the sanitizer build
// turns any such read into a failure), and what is left behaves as empty.
#include "core/Context.h"
#include "core/RecordSetModel.h"
#include "support/ScriptedUi.h"
#include "widgets/DataGrid.h"
#include "widgets/Navigator.h"

#include <QApplication>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <array>
#include <gtest/gtest.h>

#include "support/Packets.h"

using namespace fw;

namespace {

struct Lifetime : ::testing::Test {
    ScriptedUi ui;
    void SetUp() override { ctx().setUi(&ui); }
    void TearDown() override { ctx().setUi(nullptr); }
};

// Everything bound to one record set, each part owned on its own.
struct Parts {
    std::unique_ptr<RecordSet> rs = std::make_unique<RecordSet>(QStringLiteral("cdsVendedor"));
    std::unique_ptr<DataSource> ds;
    std::unique_ptr<TDBGrid> grid;
    std::unique_ptr<TDBNavigator> nav;
    std::unique_ptr<RecordSetModel> model;
    std::unique_ptr<QTableView> view;

    Parts()
    {
        testsupport::declareLines(*rs);
        rs->setData(Payload::fromJson(testsupport::linesPacket(30)));
        ds = std::make_unique<DataSource>(rs.get());
        grid = std::make_unique<TDBGrid>(nullptr, QStringLiteral("dbgVendedor"));
        grid->setDataSource(ds.get());
        nav = std::make_unique<TDBNavigator>(nullptr, QStringLiteral("dbnVendedor"));
        nav->setDataSource(ds.get());
        model = std::make_unique<RecordSetModel>(rs.get());
        view = std::make_unique<QTableView>();
        view->setModel(model.get());
        grid->show();
        view->show();
        rs->moveTo(3);
        rs->edit(); // a record being changed as it all goes away
        rs->fieldByName(u"VRPECOMITPED").setValue(2.5);
    }

    // What each survivor shows once its record set or data source is gone.
    void checkSurvivors() const
    {
        if (!rs) {
            if (grid) {
                EXPECT_EQ(grid->recordSet(), nullptr);
                EXPECT_EQ(grid->model()->rowCount(), 0);
            }
            if (model) {
                EXPECT_EQ(model->rowCount(), 0);
                EXPECT_EQ(model->columnCount(), 0);
                EXPECT_FALSE(model->data(model->index(0, 0), Qt::DisplayRole).isValid());
            }
            if (ds) {
                EXPECT_EQ(ds->dataSet(), nullptr);
            }
        }
        if (!ds) {
            if (grid) {
                EXPECT_EQ(grid->dataSource(), nullptr);
            }
            if (nav) {
                EXPECT_EQ(nav->dataSource(), nullptr);
                nav->updateButtons();
                EXPECT_FALSE(nav->button(TDBNavigator::nbPost)->isEnabled());
            }
        }
    }

    void destroy(int part)
    {
        switch (part) {
        case 0: rs.reset(); break;
        case 1: ds.reset(); break;
        case 2: grid.reset(); break;
        case 3: nav.reset(); break;
        case 4: view.reset(); model.reset(); break;
        }
    }
};

TEST_F(Lifetime, RecordSetSourceModelGridAndNavigatorDieInEveryOrder)
{
    std::array<int, 5> order{0, 1, 2, 3, 4};
    int orders = 0;
    do {
        Parts p;
        QApplication::processEvents();
        for (int part : order) {
            p.destroy(part);
            QApplication::processEvents(); // queued work of the grids runs against what is left
            p.checkSurvivors();
        }
        ++orders;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(orders, 120);
}

// A screen's shape: a record set and a data source as members, the grid a
// child widget that Qt deletes only after the members are gone.
class Form : public QWidget {
public:
    Form()
    {
        testsupport::declareLines(cds);
        cds.setData(Payload::fromJson(testsupport::linesPacket(5)));
        grid = new TDBGrid(this, QStringLiteral("dbgPadrao"));
        grid->setDataSource(&dts);
        nav = new TDBNavigator(this, QStringLiteral("dbnPadrao"));
        nav->setDataSource(&dts);
        grid->OnColExit = [this](TDBGrid&) { ++exits; };
    }
    int exits = 0;
    RecordSet cds{QStringLiteral("cdsPadrao")};
    DataSource dts{&cds};
    TDBGrid* grid;
    TDBNavigator* nav;
};

TEST_F(Lifetime, AFormWithMemberSetsAndChildGridsClosesCleanlyAgainAndAgain)
{
    for (int i = 0; i < 3; ++i) {
        auto* form = new Form;
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->show();
        QApplication::setActiveWindow(form);
        form->grid->setFocus();
        QApplication::processEvents();
        if (i == 1)
            QTest::keyClick(form->grid, Qt::Key_7); // an open cell editor at the close
        QPointer<Form> alive(form);
        form->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        EXPECT_TRUE(alive.isNull());
    }
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()
                || std::none_of(QApplication::topLevelWidgets().begin(), QApplication::topLevelWidgets().end(),
                                [](QWidget* w) { return w->findChild<TDBGrid*>() != nullptr; }));
}

} // namespace
