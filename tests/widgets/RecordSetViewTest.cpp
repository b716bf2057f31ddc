// A record set shown and edited through a real QTableView.
#include "core/Context.h"
#include "core/FwError.h"
#include "core/Packet.h"
#include "core/RecordSet.h"
#include "support/ScriptedUi.h"
#include "widgets/RecordSetView.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include "support/Packets.h"
#include "support/QtPrint.h"

#include <string>

using namespace fw;
using testsupport::linesPacket;

namespace {

struct View : ::testing::Test {
    ScriptedUi ui;
    RecordSet rs{QStringLiteral("cdsVendedor")};
    RecordSetView view;

    void SetUp() override
    {
        ctx().setUi(&ui);
        testsupport::declareLines(rs);
        rs.setData(Payload::fromJson(linesPacket(5)));
        view.setRecordSet(&rs);
        view.resize(500, 300);
        view.show();
        QApplication::setActiveWindow(&view);
        view.setFocus();
    }
    void TearDown() override { ctx().setUi(nullptr); }

    void typeInto(int row, int col, const QString& text)
    {
        view.setCurrentIndex(view.model()->index(row, col));
        QTest::keyClick(&view, Qt::Key_F2);
        auto* editor = view.findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents(); // the delegate commits through a queued call
    }
};

TEST_F(View, ShowsFormattedValuesAndCaptions)
{
    auto* m = view.model();
    EXPECT_EQ(m->rowCount(), 5);
    EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), "Comissão(%)");
    EXPECT_EQ(m->index(1, 2).data().toString(), "1,50 %");
    EXPECT_EQ(m->index(1, 2).data(Qt::EditRole).toString(), "1,50");
}

TEST_F(View, TypingStartsAnEditLeavingTheRowPostsAndTheCurrentRowFollows)
{
    typeInto(1, 2, QStringLiteral("7,25"));
    EXPECT_EQ(rs.recNo(), 1);
    EXPECT_EQ(rs.state(), DataSetState::Edit);
    EXPECT_EQ(rs.fieldByName(u"VRPECOMITPED").asFloat(), 7.25);
    view.setCurrentIndex(view.model()->index(3, 2));
    EXPECT_EQ(rs.state(), DataSetState::Browse);
    EXPECT_EQ(rs.recNo(), 3);
    EXPECT_EQ(rs.changeCount(), 1);
    rs.first();
    EXPECT_EQ(view.currentIndex().row(), 0);
}

TEST_F(View, EscCancelsTheEdit)
{
    typeInto(0, 1, QStringLiteral("Outro nome"));
    ASSERT_EQ(rs.state(), DataSetState::Edit);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(rs.state(), DataSetState::Browse);
    EXPECT_EQ(rs.fieldByName(u"NMFANVEN").asString(), "Vendedor 1");
    EXPECT_EQ(view.model()->index(0, 1).data().toString(), "Vendedor 1");
}

TEST_F(View, ARefusedPostKeepsTheViewOnTheRecordAndReportsTheMessage)
{
    rs.beforePost = [](RecordSet& r) {
        if (r.fieldByName(u"VRPECOMITPED").asFloat() > 100)
            throw Error(QStringLiteral("Percentual acima de 100."));
    };
    typeInto(2, 2, QStringLiteral("150"));
    view.setCurrentIndex(view.model()->index(4, 2));
    QApplication::processEvents();
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_EQ(rs.state(), DataSetState::Edit);
    EXPECT_EQ(view.currentIndex().row(), 2);
    EXPECT_EQ(ui.lastText(), "Percentual acima de 100.");
}

TEST_F(View, BadTypedNumbersAreReportedAndChangeNothing)
{
    typeInto(0, 2, QStringLiteral("12.5"));
    EXPECT_EQ(ui.lastText(), "'12.5' não é um valor numérico válido.");
    EXPECT_EQ(rs.fieldByName(u"VRPECOMITPED").asFloat(), 0.0);
}

TEST_F(View, ModelPassesQtsModelTesterThroughLoadsInsertsAndDeletes)
{
    QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    rs.append();
    rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("0099"));
    rs.post();
    rs.first();
    rs.deleteRecord();
    rs.insert();
    rs.cancel();
    rs.setData(Payload::fromJson(linesPacket(100000)));
    // the view gets a window of the rows, growing as it scrolls
    EXPECT_EQ(view.model()->rowCount(), RecordSetModel::kWindow);
    EXPECT_TRUE(view.model()->canFetchMore({}));
    view.model()->fetchMore({});
    QCoreApplication::processEvents();
    EXPECT_EQ(view.model()->rowCount(), 2 * RecordSetModel::kWindow);
    rs.setIndexFieldNames(QStringLiteral("NMFANVEN"));
    rs.last();
    EXPECT_EQ(view.currentIndex().row(), 99999);
    EXPECT_EQ(view.model()->rowCount(), 100000);
    rs.cancelUpdates();
    rs.emptyDataSet();
    EXPECT_EQ(view.model()->rowCount(), 0);
}

} // namespace
