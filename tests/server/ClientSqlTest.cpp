// The client's own queries (branch, operator's salesman, customers,
// products, customer municipalities) run unchanged on the database.
#include "support/ServerFixture.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

TEST(ClientSql, TheDialectsTextsRunUnchanged)
{
    TestServer s(50);
    srv::Db& db = *s.db;
    // the default text on SQLite, the InterBase one on Firebird
    const QString filial = s.firebird()
        ? QStringLiteral("SELECT\nCDFILIAL,\nNMFILIAL\nFROM\nFILIAL,PARAM(?) P_CDFILIAL\nWHERE\nCDFILIAL = NVLSTR(P_CDFILIAL.PARAM, CDFILIAL)\nORDER BY\nCDFILIAL")
        : QStringLiteral("SELECT\nCDFILIAL,\nNMFILIAL\nFROM\nFILIAL\nWHERE\nCDFILIAL = NVL(?, CDFILIAL)\nORDER BY\nCDFILIAL");
    EXPECT_EQ(db.rows(filial, {QVariant(QMetaType(QMetaType::QString))}).size(), 3u); // null lists every branch
    const auto one = db.rows(filial, {QStringLiteral("0002")});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0][1].toString(), QStringLiteral("Filial Campinas"));
    EXPECT_TRUE(db.rows(filial, {QStringLiteral("9999")}).empty());

    const auto vend = db.rows(QStringLiteral("SELECT\nCDVENDEDOR, NMFANVEN\nFROM\nVENDEDOR\nWHERE\n(CDOPERADOR = ?)"), {QStringLiteral("VEND01")});
    ASSERT_EQ(vend.size(), 1u);
    EXPECT_EQ(vend[0][0].toString(), "0001");

    const QString cliente = QStringLiteral(
        "SELECT\n   C.CDCLIENTE , C.IDTPIJURCLIE, C.NRINSJURCLIE,\n   C.NMFANTCLIE, C.NMRAZSOCCLIE, P.NMPAIS, \n"
        "   M.SGESTADO  , M.NMMUNICIPIO , E.DSENDECLIE \nFROM\n   CLIENTE C, PAIS P, \n   MUNICIPIO M, ENDECLIE E\n"
        "WHERE \n   (C.CDCLIENTE   = E.CDCLIENTE  ) AND\n   (E.CDPAIS      = M.CDPAIS     ) AND\n"
        "   (E.SGESTADO    = M.SGESTADO   ) AND\n   (E.CDMUNICIPIO = M.CDMUNICIPIO) AND\n"
        "   (M.CDPAIS      = P.CDPAIS     ) AND\n   (IDTPENDECLIE  = 'P')\nORDER BY\n   NRINSJURCLIE");
    const auto clients = db.rows(cliente);
    EXPECT_EQ(clients.size(), 500u);
    for (const auto& c : clients)
        EXPECT_EQ(c[2].toString().size(), c[1].toString() == QLatin1String("J") ? 14 : 11);

    EXPECT_EQ(db.rows(QStringLiteral("SELECT\n   CDARVPROD,\n   NMPRODUTO\nFROM\n   PRODUTO\nORDER BY\n   CDARVPROD")).size(), 300u);

    const QString municipiosIb = QStringLiteral(
        "SELECT\n   DISTINCT M.CDMUNICIPIO, M.NMMUNICIPIO,\n   P.NMPAIS, M.SGESTADO,\n"
        "   (M.CDPAIS || M.SGESTADO || M.CDMUNICIPIO) AS CONCATENADOS\nFROM\n   MUNICIPIO M, ENDECLIE E, PAIS P,\n"
        "   PARAM(:P_CDCLIENTE) P_CDCLIENTE, PARAM(:P_TCDCLIENTE)P_TCDCLIENTE\nWHERE\n"
        "   (E.CDPAIS      = M.CDPAIS     ) AND\n   (E.SGESTADO    = M.SGESTADO   ) AND\n"
        "   (E.CDMUNICIPIO = M.CDMUNICIPIO) AND\n   ((INSTR(P_CDCLIENTE.PARAM,E.CDCLIENTE) <> 0) OR (P_TCDCLIENTE.PARAM = 'T')) AND\n"
        "   (P.CDPAIS      = M.CDPAIS     )\nORDER BY\n   M.NMMUNICIPIO");
    const QString municipios = QStringLiteral(
        "SELECT\n   DISTINCT M.CDMUNICIPIO, M.NMMUNICIPIO,\n   P.NMPAIS, M.SGESTADO,\n"
        "   (M.CDPAIS||M.SGESTADO||M.CDMUNICIPIO) AS CONCATENADOS\nFROM\n   MUNICIPIO M, ENDECLIE E, PAIS P\nWHERE\n"
        "   (E.CDPAIS      = M.CDPAIS     ) AND\n   (E.SGESTADO    = M.SGESTADO   ) AND\n"
        "   (E.CDMUNICIPIO = M.CDMUNICIPIO) AND\n   ((INSTR(:P_CDCLIENTE,E.CDCLIENTE) <> 0) OR (:P_TCDCLIENTE = 'T')) AND\n"
        "   (P.CDPAIS      = M.CDPAIS     )\nORDER BY\n   M.NMMUNICIPIO");
    QSqlQuery q(db.qdb());
    ASSERT_TRUE(q.prepare(s.firebird() ? municipiosIb : municipios));
    q.bindValue(QStringLiteral(":P_CDCLIENTE"), QStringLiteral("CLI00001,CLI00002"));
    q.bindValue(QStringLiteral(":P_TCDCLIENTE"), QString());
    ASSERT_TRUE(q.exec());
    int n = 0;
    while (q.next()) {
        EXPECT_EQ(q.value(4).toString().size(), 10);
        ++n;
    }
    EXPECT_GE(n, 1);
}

} // namespace
