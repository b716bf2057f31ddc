// Data packets and change sets: round trips and every kind of bad input.
#include "core/ChangeSet.h"
#include "core/FwError.h"
#include "core/Packet.h"
#include "core/RecordSet.h"

#include <gtest/gtest.h>

#include "support/QtPrint.h"

using namespace fw;

namespace {

const char* kGood = R"({"fields":[{"name":"CDFILIAL","type":"string","size":4},
    {"name":"VRPECOMVEN","type":"float"},{"name":"DTPEDIDO","type":"datetime"},{"name":"QT","type":"integer"}],
    "rows":[["0001",5.0,45999.5,3],["0002",null,null,null],["ção",1e-3,0,-7]]})";

TEST(PacketCodec, DecodesTypesNullsAndUnicode)
{
    RecordSet rs(QStringLiteral("t"));
    rs.setData(Payload::fromJson(kGood));
    ASSERT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.fieldByName(u"CDFILIAL").size(), 4);
    EXPECT_EQ(rs.fieldByName(u"DTPEDIDO").dataType(), FieldType::DateTime);
    EXPECT_EQ(rs.fieldByName(u"DTPEDIDO").asString(), "08/12/2025 12:00:00");
    rs.next();
    EXPECT_TRUE(rs.fieldByName(u"VRPECOMVEN").isNull());
    EXPECT_TRUE(rs.fieldByName(u"CDFILIAL").value().isValid());
    rs.next();
    EXPECT_EQ(rs.fieldByName(u"CDFILIAL").asString(), QStringLiteral("ção"));
    EXPECT_EQ(rs.fieldByName(u"QT").asInteger(), -7);
}

TEST(PacketCodec, RoundTripsThroughARecordSet)
{
    RecordSet a(QStringLiteral("a")), b(QStringLiteral("b"));
    a.setData(Payload::fromJson(kGood));
    const std::string once = a.toPacket();
    b.setData(Payload::fromJson(once));
    EXPECT_EQ(b.toPacket(), once);
    // control characters and quotes survive the trip
    RecordSet c(QStringLiteral("c"));
    c.addField(QStringLiteral("S"), FieldType::String, 20);
    c.createDataSet();
    c.append();
    c.fieldByName(u"S").setValue(QStringLiteral("a\"b\\c\n\t\x01é"));
    c.post();
    RecordSet d(QStringLiteral("d"));
    d.setData(Payload::fromJson(c.toPacket()));
    EXPECT_EQ(d.fieldByName(u"S").asString(), QStringLiteral("a\"b\\c\n\t\x01é"));
}

TEST(PacketCodec, DeclaredFieldsKeepTheirPropertiesAndExtraFieldsAreKeptHidden)
{
    RecordSet rs(QStringLiteral("cdsX"));
    rs.addField(QStringLiteral("CDFILIAL"), FieldType::String, 4).displayLabel = QStringLiteral("Filial");
    rs.addField(QStringLiteral("VRPECOMVEN"), FieldType::Float);
    rs.addField(QStringLiteral("DTPEDIDO"), FieldType::DateTime);
    rs.setData(Payload::fromJson(kGood));
    EXPECT_EQ(rs.fieldByName(u"CDFILIAL").label(), "Filial");
    ASSERT_NE(rs.findField(u"QT"), nullptr);
    EXPECT_FALSE(rs.fieldByName(u"QT").visible);
    // a declared field the server did not send is a clear error
    RecordSet miss(QStringLiteral("cdsY"));
    miss.addField(QStringLiteral("NOPE"), FieldType::String, 4);
    try {
        miss.setData(Payload::fromJson(kGood));
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains("NOPE")) << e.text().toStdString();
    }
}

struct Bad {
    const char* what;
    std::string json;
    const char* mentions; // part of the message naming the fault
};

class MalformedPacket : public ::testing::TestWithParam<Bad> {};

TEST_P(MalformedPacket, IsRefusedWithAClearMessageAndTheSetKeepsItsContents)
{
    RecordSet rs(QStringLiteral("cdsPedido"));
    rs.setData(Payload::fromJson(kGood));
    rs.moveTo(1);
    const std::string before = rs.toPacket();
    try {
        rs.setData(Payload::fromJson(GetParam().json));
        FAIL() << "accepted: " << GetParam().what;
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(QString::fromUtf8(GetParam().mentions)))
            << GetParam().what << ": " << e.text().toStdString();
        EXPECT_TRUE(e.text().contains("cdsPedido"));
    }
    EXPECT_EQ(rs.toPacket(), before);
    EXPECT_EQ(rs.recNo(), 1);
    EXPECT_EQ(rs.state(), DataSetState::Browse);
}

const std::string kF = R"({"fields":[{"name":"NRPEDIDO","type":"string","size":3},{"name":"VR","type":"float"}],"rows":)";

INSTANTIATE_TEST_SUITE_P(
    Codec, MalformedPacket,
    ::testing::Values(
        Bad{"text where a number goes", kF + R"([["001","x"]]})", "linha 1, campo VR"},
        Bad{"number where a text goes", kF + R"([["001",1],[5,2]]})", "linha 2, campo NRPEDIDO"},
        Bad{"short row", kF + R"([["001"]]})", "linha 1 com 1 valores"},
        Bad{"long row", kF + R"([["001",1,2]]})", "linha 1 com mais de 2"},
        Bad{"unknown type", R"({"fields":[{"name":"A","type":"blob"}],"rows":[]})", "tipo desconhecido"},
        Bad{"text over its size", kF + R"([["0001",1]]})", "4 caracteres, máximo 3"},
        Bad{"truncated", kF + R"([["001",1],["00)", "JSON"},
        Bad{"huge number", kF + R"([["001",1e999]]})", "número"},
        Bad{"invalid UTF-8", kF + "[[\"0\xC3\x28\",1]]}", "UTF-8"},
        Bad{"not an object", "[1,2]", "objeto"},
        Bad{"no fields", R"({"rows":[]})", "'fields' ausente"},
        Bad{"no rows", R"({"fields":[]})", "'rows' ausente"},
        Bad{"string without size", R"({"fields":[{"name":"A","type":"string"}],"rows":[]})", "sem tamanho"},
        Bad{"repeated field", R"({"fields":[{"name":"A","type":"float"},{"name":"a","type":"float"}],"rows":[]})", "repetido"},
        Bad{"trailing content", kF + R"([]} {})", "após o fim"},
        Bad{"row not an array", kF + R"([{"a":1}]})", "linha 1"},
        Bad{"empty input", "", "JSON"},
        Bad{"field name not a column name", R"({"fields":[{"name":"A;B","type":"float"}],"rows":[]})", "nome de campo inválido"},
        Bad{"malformed literal", kF + R"([["001",nudl]]})", "linha 1, campo VR"},
        Bad{"malformed literal in a text", kF + R"([[nul,1]]})", "linha 1, campo NRPEDIDO"}));

TEST(PacketCodec, FieldsMayFollowRowsAndUnknownMembersAreIgnored)
{
    RecordSet rs(QStringLiteral("t"));
    rs.setData(Payload::fromJson(R"({"rows":[["a"]],"x":{"y":[1]},"fields":[{"name":"A","type":"string","size":1}]})"));
    EXPECT_EQ(rs.fieldByName(u"A").asString(), "a");
}

TEST(PayloadTest, ArraysNumbersAndNull)
{
    const Payload p = Payload::fromJson(R"([{"fields":[],"rows":[]}, 12.5, [1,2], null])");
    ASSERT_TRUE(p.isArray());
    EXPECT_EQ(p.size(), 4u);
    EXPECT_EQ(p.at(1).toNumber(), 12.5);
    EXPECT_TRUE(p.at(3).isNull());
    EXPECT_EQ(p.at(2).json(), "[1,2]");
    EXPECT_THROW(p.at(9), Error);
    RecordSet rs(QStringLiteral("t"));
    rs.setData(p.at(0));
    EXPECT_TRUE(rs.isEmpty());
    EXPECT_THROW(Payload::fromJson("\"x\"").toNumber(), Error);
}

TEST(ChangeSetCodec, DecodesWhatARecordSetSends)
{
    RecordSet rs(QStringLiteral("cdsVendedor"));
    rs.setData(Payload::fromJson(R"({"fields":[{"name":"CDVENDEDOR","type":"string","size":4},{"name":"VR","type":"float"}],
        "rows":[["0001",5],["0002",2]]})"));
    rs.edit();
    rs.fieldByName(u"VR").setValue(6.0);
    rs.post();
    rs.append();
    rs.fieldByName(u"CDVENDEDOR").setValue(QStringLiteral("0003"));
    rs.post();
    rs.first();
    rs.next();
    rs.deleteRecord();
    const ChangeSet cs = decodeChangeSet(rs.delta());
    ASSERT_EQ(cs.changes.size(), 3u);
    EXPECT_EQ(cs.fieldIndex(u"vr"), 1);
    EXPECT_EQ(cs.changes[0].op, ChangeSet::Op::Modify);
    EXPECT_EQ(cs.changes[0].oldRow[1].toDouble(), 5.0);
    EXPECT_EQ(cs.changes[0].newRow[1].toDouble(), 6.0);
    EXPECT_EQ(cs.changes[1].op, ChangeSet::Op::Insert);
    EXPECT_TRUE(cs.changes[1].newRow[1].isNull());
    EXPECT_EQ(cs.changes[2].op, ChangeSet::Op::Delete);
    EXPECT_EQ(cs.changes[2].oldRow[0].toString(), "0002");
}

TEST(ChangeSetCodec, MemberOrderDoesNotMatter)
{
    const ChangeSet cs = decodeChangeSet(R"({"changes":[{"new":["x"],"op":"insert"}],"fields":[{"size":2,"type":"string","name":"A"}]})");
    ASSERT_EQ(cs.changes.size(), 1u);
    EXPECT_EQ(cs.changes[0].newRow[0].toString(), "x");
}

TEST(ChangeSetCodec, RefusesMalformedChangeSets)
{
    const std::string f = R"({"fields":[{"name":"A","type":"string","size":2}],"changes":)";
    const std::vector<std::pair<std::string, const char*>> cases = {
        {f + R"([{"op":"upsert","new":["x"]}]})", "operação desconhecida"},
        {f + R"([{"op":"insert"}]})", "não correspondem"},
        {f + R"([{"op":"delete","new":["x"]}]})", "não correspondem"},
        {f + R"([{"new":["x"]}]})", "sem 'op'"},
        {f + R"([{"op":"insert","new":["xyz"]}]})", "máximo 2"},
        {f + R"([{"op":"insert","new":["x","y"]}]})", "mais de 1"},
        {f + R"([{"op":"modify","old":[1],"new":["x"]}]})", "esperado texto"},
        {R"({"changes":[]})", "'fields' ausente"},
        {f + "[", "JSON"},
    };
    for (const auto& [json, mentions] : cases) {
        try {
            decodeChangeSet(json);
            ADD_FAILURE() << "accepted " << json;
        } catch (const Error& e) {
            EXPECT_TRUE(e.text().contains(QString::fromUtf8(mentions))) << json << " -> " << e.text().toStdString();
        }
    }
}

} // namespace
