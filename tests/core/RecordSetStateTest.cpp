// The record set's states, events, change log and sorting.
#include "core/FwError.h"
#include "core/Packet.h"
#include "core/RecordSet.h"

#include <gtest/gtest.h>

#include "support/QtPrint.h"

#include <nlohmann/json.hpp>

using namespace fw;

namespace {

// Salesman lines of one item, as the server sends them.
const char* kLines = R"({"fields":[{"name":"CDVENDEDOR","type":"string","size":4},
    {"name":"NMFANVEN","type":"string","size":50},{"name":"VRPECOMITPED","type":"float"}],
    "rows":[["0001","Ana",5.0],["0002","Bruno",2.5],["0003","Carla",null]]})";

struct Lines : ::testing::Test {
    RecordSet rs{QStringLiteral("cdsVendedor")};
    std::vector<std::string> events;

    void SetUp() override
    {
        rs.addField(QStringLiteral("CDVENDEDOR"), FieldType::String, 4);
        rs.addField(QStringLiteral("NMFANVEN"), FieldType::String, 50);
        rs.addField(QStringLiteral("VRPECOMITPED"), FieldType::Float).displayFormat = QStringLiteral("#,##0.00 %");
        auto log = [this](const char* n) { return [this, n](RecordSet&) { events.emplace_back(n); }; };
        rs.beforeInsert = log("beforeInsert");
        rs.afterInsert = log("afterInsert");
        rs.beforeEdit = log("beforeEdit");
        rs.afterEdit = log("afterEdit");
        rs.beforePost = log("beforePost");
        rs.afterPost = log("afterPost");
        rs.beforeCancel = log("beforeCancel");
        rs.afterCancel = log("afterCancel");
        rs.beforeDelete = log("beforeDelete");
        rs.afterDelete = log("afterDelete");
        rs.beforeScroll = log("beforeScroll");
        rs.afterScroll = log("afterScroll");
        rs.afterOpen = log("afterOpen");
        rs.setData(Payload::fromJson(kLines));
        events.clear();
    }
    QString code() const { return rs.fieldByName(u"CDVENDEDOR").asString(); }
    std::vector<QString> codes()
    {
        std::vector<QString> out;
        for (int r = 0; r < rs.recordCount(); ++r)
            out.push_back(rs.withRow(r, [&] { return rs.fieldByName(u"CDVENDEDOR").asString(); }));
        return out;
    }
    nlohmann::json delta() const { return nlohmann::json::parse(rs.delta()); }
};

TEST_F(Lines, LoadingOpensOnTheFirstRecordAndFiresOpenAndScroll)
{
    RecordSet other(QStringLiteral("x"));
    std::vector<std::string> seen;
    other.afterOpen = [&](RecordSet&) { seen.emplace_back("open"); };
    other.afterScroll = [&](RecordSet&) { seen.emplace_back("scroll"); };
    other.setData(Payload::fromJson(kLines));
    EXPECT_EQ(seen, (std::vector<std::string>{"open", "scroll"}));
    EXPECT_EQ(other.recordCount(), 3);
    EXPECT_EQ(other.state(), DataSetState::Browse);
    EXPECT_EQ(other.fieldByName(u"cdvendedor").asString(), "0001"); // names match in any case
}

TEST_F(Lines, EachBeforeEventThatThrowsLeavesStateAndDataUnchanged)
{
    struct Case {
        const char* name;
        RecordSet::Event RecordSet::*event;
        std::function<void(RecordSet&)> action;
        DataSetState startState;
    };
    const std::vector<Case> cases = {
        {"insert", &RecordSet::beforeInsert, [](RecordSet& r) { r.insert(); }, DataSetState::Browse},
        {"append", &RecordSet::beforeInsert, [](RecordSet& r) { r.append(); }, DataSetState::Browse},
        {"edit", &RecordSet::beforeEdit, [](RecordSet& r) { r.edit(); }, DataSetState::Browse},
        {"delete", &RecordSet::beforeDelete, [](RecordSet& r) { r.deleteRecord(); }, DataSetState::Browse},
        {"scroll", &RecordSet::beforeScroll, [](RecordSet& r) { r.next(); }, DataSetState::Browse},
        {"post", &RecordSet::beforePost, [](RecordSet& r) { r.post(); }, DataSetState::Edit},
        {"cancel", &RecordSet::beforeCancel, [](RecordSet& r) { r.cancel(); }, DataSetState::Edit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rs.setData(Payload::fromJson(kLines));
        const std::string before = rs.toPacket();
        if (c.startState == DataSetState::Edit) {
            rs.edit();
            rs.fieldByName(u"VRPECOMITPED").setValue(9.0);
        }
        const int changes = rs.changeCount();
        const int pos = rs.recNo();
        const QVariant typed = rs.fieldByName(u"VRPECOMITPED").value();
        auto saved = rs.*(c.event);
        rs.*(c.event) = [](RecordSet&) { throw Abort(); };
        EXPECT_THROW(c.action(rs), Abort);
        rs.*(c.event) = saved;
        EXPECT_EQ(rs.state(), c.startState);
        EXPECT_EQ(rs.recNo(), pos);
        EXPECT_EQ(rs.changeCount(), changes);
        EXPECT_EQ(rs.fieldByName(u"VRPECOMITPED").value(), typed);
        if (c.startState == DataSetState::Edit)
            rs.cancel();
        EXPECT_EQ(rs.toPacket(), before);
    }
}

TEST_F(Lines, EditPostKeepsTheOldValueUntilMerge)
{
    rs.next();
    rs.edit();
    rs.fieldByName(u"VRPECOMITPED").setAsString(QStringLiteral("3,75"));
    EXPECT_EQ(rs.fieldByName(u"VRPECOMITPED").asFloat(), 3.75);
    EXPECT_EQ(rs.fieldByName(u"VRPECOMITPED").oldValue().toDouble(), 2.5);
    rs.post();
    EXPECT_EQ(events, (std::vector<std::string>{"beforeScroll", "afterScroll", "beforeEdit", "afterEdit",
                                                "beforePost", "afterPost"}));
    EXPECT_EQ(rs.changeCount(), 1);
    EXPECT_EQ(rs.fieldByName(u"VRPECOMITPED").oldValue().toDouble(), 2.5);
    rs.mergeChangeLog();
    EXPECT_EQ(rs.changeCount(), 0);
    EXPECT_EQ(rs.fieldByName(u"VRPECOMITPED").oldValue().toDouble(), 3.75);
}

TEST_F(Lines, CancelDiscardsTheEditBufferAndAnInsertedRow)
{
    rs.edit();
    rs.fieldByName(u"NMFANVEN").setValue(QStringLiteral("Outro"));
    rs.cancel();
    EXPECT_EQ(rs.fieldByName(u"NMFANVEN").asString(), "Ana");
    rs.insert();
    EXPECT_EQ(rs.recordCount(), 4);
    EXPECT_TRUE(rs.fieldByName(u"CDVENDEDOR").isNull());
    rs.cancel();
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(code(), "0001");
    EXPECT_EQ(rs.changeCount(), 0);
}

TEST_F(Lines, DeltaCarriesInsertModifyAndDeleteInOrderWithStoredOldRows)
{
    rs.edit(); // modify 0001
    rs.fieldByName(u"VRPECOMITPED").setValue(6.0);
    rs.post();
    rs.append(); // insert 0009
    rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("0009"));
    rs.fieldByName(u"VRPECOMITPED").setValue(1.0);
    rs.post();
    rs.first();
    rs.next(); // delete 0002
    rs.deleteRecord();
    const auto d = delta();
    ASSERT_EQ(d["changes"].size(), 3u);
    EXPECT_EQ(d["fields"][0]["name"], "CDVENDEDOR");
    EXPECT_EQ(d["changes"][0]["op"], "modify");
    EXPECT_EQ(d["changes"][0]["old"], nlohmann::json::parse(R"(["0001","Ana",5])"));
    EXPECT_EQ(d["changes"][0]["new"], nlohmann::json::parse(R"(["0001","Ana",6])"));
    EXPECT_EQ(d["changes"][1]["op"], "insert");
    EXPECT_EQ(d["changes"][1]["new"], nlohmann::json::parse(R"(["0009",null,1])"));
    EXPECT_EQ(d["changes"][2]["op"], "delete");
    EXPECT_EQ(d["changes"][2]["old"], nlohmann::json::parse(R"(["0002","Bruno",2.5])"));
}

TEST_F(Lines, ChangesOfOneRowCollapseIntoOneEntry)
{
    rs.append();
    rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("0009"));
    rs.post();
    rs.edit();
    rs.fieldByName(u"VRPECOMITPED").setValue(4.0);
    rs.post();
    EXPECT_EQ(rs.changeCount(), 1);
    EXPECT_EQ(delta()["changes"][0]["op"], "insert");
    rs.deleteRecord(); // an inserted row removed leaves nothing to send
    EXPECT_EQ(rs.changeCount(), 0);

    rs.first();
    rs.edit();
    rs.fieldByName(u"VRPECOMITPED").setValue(8.0);
    rs.post();
    rs.deleteRecord(); // a modified row removed is a delete of the stored row
    ASSERT_EQ(rs.changeCount(), 1);
    EXPECT_EQ(delta()["changes"][0]["op"], "delete");
    EXPECT_EQ(delta()["changes"][0]["old"][2], 5.0);
}

TEST_F(Lines, PostingAnUnchangedRecordLogsNothing)
{
    rs.edit();
    rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("0001"));
    rs.post();
    EXPECT_EQ(rs.changeCount(), 0);
}

TEST_F(Lines, CancelUpdatesRestoresTheStoredStateInPlace)
{
    const auto before = codes();
    rs.edit();
    rs.fieldByName(u"NMFANVEN").setValue(QStringLiteral("Zeca"));
    rs.post();
    rs.next();
    rs.deleteRecord();
    rs.insert();
    rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("0007"));
    rs.post();
    rs.cancelUpdates();
    EXPECT_EQ(codes(), before);
    EXPECT_EQ(rs.changeCount(), 0);
    rs.first();
    EXPECT_EQ(rs.fieldByName(u"NMFANVEN").asString(), "Ana");
    // cancelling updates while inserting drops the insert too
    rs.append();
    rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("0008"));
    rs.cancelUpdates();
    EXPECT_EQ(rs.state(), DataSetState::Browse);
    EXPECT_EQ(codes(), before);
}

TEST_F(Lines, NavigationPostsAPendingEditFirst)
{
    rs.edit();
    rs.fieldByName(u"VRPECOMITPED").setValue(7.0);
    rs.next();
    EXPECT_EQ(rs.state(), DataSetState::Browse);
    EXPECT_EQ(rs.changeCount(), 1);
    // a post that aborts stops the move
    rs.edit();
    rs.fieldByName(u"VRPECOMITPED").setValue(1.0);
    rs.beforePost = [](RecordSet&) { throw Abort(); };
    EXPECT_THROW(rs.next(), Abort);
    EXPECT_EQ(rs.recNo(), 1);
    EXPECT_EQ(rs.state(), DataSetState::Edit);
}

TEST_F(Lines, EofLoopVisitsEveryRecordOnce)
{
    int n = 0;
    rs.first();
    while (!rs.eof()) {
        ++n;
        rs.next();
    }
    EXPECT_EQ(n, 3);
    rs.emptyDataSet();
    rs.first();
    EXPECT_TRUE(rs.eof());
    EXPECT_TRUE(rs.isEmpty());
}

TEST_F(Lines, EditOnAnEmptySetStartsAnInsert)
{
    rs.emptyDataSet();
    rs.edit();
    EXPECT_EQ(rs.state(), DataSetState::Insert);
}

TEST_F(Lines, RequiredFieldsAndSizesAreEnforced)
{
    rs.close();
    rs.fieldByName(u"CDVENDEDOR").required = true;
    rs.setData(Payload::fromJson(kLines));
    rs.append();
    EXPECT_THROW(rs.post(), Error);
    EXPECT_EQ(rs.state(), DataSetState::Insert);
    EXPECT_THROW(rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("12345")), Error);
    EXPECT_TRUE(rs.fieldByName(u"CDVENDEDOR").isNull());
    EXPECT_THROW(rs.fieldByName(u"VRPECOMITPED").setAsString(QStringLiteral("12.5")), Error);
    EXPECT_THROW(rs.fieldByName(u"VRPECOMITPED").setAsString(QStringLiteral("abc")), Error);
    rs.fieldByName(u"VRPECOMITPED").setAsString(QStringLiteral("1.234,5"));
    EXPECT_EQ(rs.fieldByName(u"VRPECOMITPED").asFloat(), 1234.5);
    EXPECT_EQ(rs.fieldByName(u"VRPECOMITPED").displayText(), "1.234,50 %");
}

TEST_F(Lines, WritingOutsideEditIsRefused)
{
    EXPECT_THROW(rs.fieldByName(u"NMFANVEN").setValue(QStringLiteral("x")), Error);
}

TEST(RecordSetCalc, CalculatedFieldsFollowLoadScrollEditAndPost)
{
    RecordSet rs(QStringLiteral("cdsItemPedido"));
    rs.addField(QStringLiteral("QTITEMPED"), FieldType::Float);
    rs.addField(QStringLiteral("VRPREUNITPED"), FieldType::Float);
    rs.addCalcField(QStringLiteral("VrTotal"), FieldType::Float);
    double factor = 1.0;
    int calls = 0;
    rs.onCalcFields = [&](RecordSet& r) {
        ++calls;
        r.fieldByName(u"VRTOTAL").setValue(r.fieldByName(u"QTITEMPED").asFloat()
                                           * r.fieldByName(u"VRPREUNITPED").asFloat() * factor);
    };
    rs.setData(Payload::fromJson(R"({"fields":[{"name":"QTITEMPED","type":"float"},{"name":"VRPREUNITPED","type":"float"}],
        "rows":[[2,1.5],[3,2]]})"));
    EXPECT_EQ(rs.fieldByName(u"VrTotal").asFloat(), 3.0);
    EXPECT_EQ(rs.withRow(1, [&] { return rs.fieldByName(u"VrTotal").asFloat(); }), 6.0);
    factor = 10.0;
    rs.next(); // recomputed on scroll
    EXPECT_EQ(rs.fieldByName(u"VrTotal").asFloat(), 60.0);
    rs.edit();
    rs.fieldByName(u"QTITEMPED").setValue(4.0); // and while typing
    EXPECT_EQ(rs.fieldByName(u"VrTotal").asFloat(), 80.0);
    rs.post();
    EXPECT_EQ(rs.fieldByName(u"VrTotal").asFloat(), 80.0);
    EXPECT_GT(calls, 4);
    // calculated values never travel in a delta
    EXPECT_EQ(nlohmann::json::parse(rs.delta())["fields"].size(), 2u);
}

TEST(RecordSetSort, IndexFieldNamesSortStablyAndKeepTheCurrentRecord)
{
    RecordSet rs(QStringLiteral("cdsPedido"));
    rs.setData(Payload::fromJson(R"({"fields":[{"name":"NRPEDIDO","type":"string","size":10},
        {"name":"NMFANTCLIE","type":"string","size":50},{"name":"DTPEDIDO","type":"datetime"}],
        "rows":[["1","Beta",3],["2","Alfa",null],["3","Beta",1],["4","Alfa",2],["5",null,5]]})"));
    rs.moveTo(2); // "3"
    rs.setIndexFieldNames(QStringLiteral("NMFANTCLIE"));
    std::vector<QString> order;
    for (int r = 0; r < rs.recordCount(); ++r)
        order.push_back(rs.withRow(r, [&] { return rs.fieldByName(u"NRPEDIDO").asString(); }));
    EXPECT_EQ(order, (std::vector<QString>{"5", "2", "4", "1", "3"})); // nulls first, ties in load order
    EXPECT_EQ(rs.fieldByName(u"NRPEDIDO").asString(), "3");
    rs.setIndexFieldNames(QStringLiteral("NMFANTCLIE;DTPEDIDO"));
    order.clear();
    for (int r = 0; r < rs.recordCount(); ++r)
        order.push_back(rs.withRow(r, [&] { return rs.fieldByName(u"NRPEDIDO").asString(); }));
    EXPECT_EQ(order, (std::vector<QString>{"5", "2", "4", "3", "1"}));
}

TEST(RecordSetLocate, FindsByOneOrMoreFields)
{
    RecordSet rs(QStringLiteral("r"));
    rs.setData(Payload::fromJson(R"({"fields":[{"name":"A","type":"string","size":4},{"name":"B","type":"integer"}],
        "rows":[["x",1],["y",2],["y",3]]})"));
    EXPECT_TRUE(rs.locate({QStringLiteral("A"), QStringLiteral("B")}, {QStringLiteral("y"), 3}));
    EXPECT_EQ(rs.recNo(), 2);
    EXPECT_FALSE(rs.locate({QStringLiteral("A")}, {QStringLiteral("z")}));
    EXPECT_EQ(rs.recNo(), 2);
}

TEST(DataSourceTest, StateChangeFiresOncePerChangeAndWaitsForEnabledControls)
{
    RecordSet rs(QStringLiteral("r"));
    rs.addField(QStringLiteral("A"), FieldType::String, 4);
    rs.createDataSet();
    DataSource ds(&rs);
    std::vector<DataSetState> seen;
    ds.onStateChange = [&](DataSource& d) { seen.push_back(d.state()); };
    rs.append();
    rs.fieldByName(u"A").setValue(QStringLiteral("1"));
    rs.post();
    EXPECT_EQ(seen, (std::vector<DataSetState>{DataSetState::Insert, DataSetState::Browse}));
    seen.clear();
    rs.disableControls();
    rs.edit();
    EXPECT_TRUE(seen.empty());
    rs.enableControls();
    EXPECT_EQ(seen, (std::vector<DataSetState>{DataSetState::Edit}));
}

} // namespace
