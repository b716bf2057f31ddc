// Who may read and write which order, decided by the server from the
// session: every per-order method for each demo operator on his own order,
// another salesman's order and a missing one; and the gates of a direct line
// change on every path that changes lines (all items, regeneration, range).
#include "support/ServerFixture.h"

#include <gtest/gtest.h>

#include <functional>

using namespace testsupport;
using srv::Row;

namespace {

const std::string kNotFound = "Pedido não encontrado.";
const std::string kRestricted = "Operação não permitida. Nos pedidos do seu vendedor o operador só altera ou exclui "
                                "percentuais de comissão.";
const std::string kPeriod = "Operação bloqueada. A comissão está parametrizada para ser gerada por período na tela de "
                            "Cálculo de comissão do vendedor por período.";
const std::string kPayables = "Operação bloqueada. Já existe comissão gerada para o pedido.";
const std::string kTotal = "Valor total das comissões de um item deve estar entre 0 e 100%.";

struct Target {
    std::string branch, order, item, salesman;
};

class AuthFixture : public ::testing::Test {
protected:
    void SetUp() override { s = std::make_unique<TestServer>(300, 11); }

    // The n-th order of the branch with two items or more, made open: items
    // pending, no payables, commission in force, salesman's line at 1 % on
    // every item.
    Target prepare(const QString& branch, int n, const QString& salesman)
    {
        const auto r = s->db->rows(QStringLiteral("SELECT P.NRPEDIDO FROM PEDIDO P WHERE P.CDFILIAL = ? AND (SELECT COUNT(*) "
                                                  "FROM ITEMPEDIDO I WHERE I.CDFILIAL = P.CDFILIAL AND I.NRPEDIDO = "
                                                  "P.NRPEDIDO) >= 3 ORDER BY P.NRPEDIDO"),
                                   {branch});
        const QString order = r.at(static_cast<size_t>(n))[0].toString();
        const QVariantList key{branch, order};
        s->db->exec(QStringLiteral("UPDATE PEDIDO SET CDVENDEDOR = ?, IDCANCCOMISPED = 'N', DTENTPED = COALESCE(DTENTPED, 46000) "
                                   "WHERE CDFILIAL = ? AND NRPEDIDO = ?"),
                    {salesman, branch, order});
        s->db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '1', IDITPEDDIFER = 'N' WHERE CDFILIAL = ? AND NRPEDIDO = ?"), key);
        s->db->exec(QStringLiteral("DELETE FROM CONTAPAGA WHERE CDFILIAL = ? AND NRPEDIDO = ?"), key);
        s->db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ?"), key);
        const auto items = s->db->rows(QStringLiteral("SELECT NRITEMPED FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? "
                                                      "ORDER BY NRITEMPED"),
                                       key);
        for (const Row& i : items)
            s->db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) "
                                       "VALUES (?, ?, ?, ?, 1)"),
                        {branch, order, i[0], salesman});
        return {branch.toStdString(), order.toStdString(), items[0][0].toString().toStdString(), salesman.toStdString()};
    }

    json line(const Target& t, const std::string& vend, double pct, const std::string& item = {})
    {
        return {t.branch, t.order, item.empty() ? t.item : item, vend, "", pct};
    }
    json lines(const json& list) { return {{"fields", commissionLineFields()}, {"changes", list}}; }
    json modifyLine(const Target& t, double from, double to)
    {
        return lines({{{"op", "modify"}, {"old", line(t, t.salesman, from)}, {"new", line(t, t.salesman, to)}}});
    }
    double stored(const Target& t, const std::string& vend, const std::string& item)
    {
        const QVariant v = s->db->scalar(QStringLiteral("SELECT VRPECOMITPED FROM COMISITEMPED WHERE CDFILIAL = ? AND "
                                                        "NRPEDIDO = ? AND NRITEMPED = ? AND CDVENDEDOR = ?"),
                                         {QString::fromStdString(t.branch), QString::fromStdString(t.order),
                                          QString::fromStdString(item), QString::fromStdString(vend)});
        return v.isNull() ? -1 : v.toDouble();
    }
    std::vector<std::string> items(const Target& t)
    {
        std::vector<std::string> out;
        for (const Row& r : s->db->rows(QStringLiteral("SELECT NRITEMPED FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? "
                                                       "ORDER BY NRITEMPED"),
                                        {QString::fromStdString(t.branch), QString::fromStdString(t.order)}))
            out.push_back(r[0].toString().toStdString());
        return out;
    }
    // Every table a refused write must leave as it was.
    std::string business()
    {
        std::string out;
        for (const char* t : {"PEDIDO", "ITEMPEDIDO", "COMISITEMPED", "CONTAPAGA", "HISTCOMISSAO", "AUDITPEDIDO"})
            out += s->checksum(QString::fromLatin1(t));
        return out;
    }
    int auditRowsOf(const std::string& op)
    {
        const QString o = QString::fromStdString(op);
        return s->db->scalar(QStringLiteral("SELECT COUNT(*) FROM HISTCOMISSAO WHERE CDOPERADOR = ?"), {o}).toInt()
            + s->db->scalar(QStringLiteral("SELECT COUNT(*) FROM AUDITPEDIDO WHERE CDOPERADOR = ?"), {o}).toInt();
    }
    std::string message(const json& j) { return j.contains("error") ? j["error"].value("message", std::string()) : "ok"; }

    std::unique_ptr<TestServer> s;
};

class Authorization : public AuthFixture {};

struct Who {
    const char* op;
    bool seesOwn, seesOther, restricted;
};
// Branch 0002 shows each operator only his salesman's orders; ADM and
// GERENTE are its exceptions, VEND01 is linked to salesman 0001, CONSULTA to
// none.
const Who kOperators[] = {{"ADM", true, true, false},
                          {"GERENTE", true, true, false},
                          {"VEND01", true, false, true},
                          {"CONSULTA", false, false, true}};

TEST_F(Authorization, EveryPerOrderReadAnswersAnOrderOutOfSightAsAMissingOne)
{
    const Target own = prepare(QStringLiteral("0002"), 0, QStringLiteral("0001"));
    const Target other = prepare(QStringLiteral("0002"), 1, QStringLiteral("0002"));
    s->db->exec(QStringLiteral("INSERT INTO HISTCOMISSAO (CDFILIAL, NRPEDIDO, NRITEMPED, DTHRALTER, CDOPERADOR, IDACAO, "
                               "CDVENDEDOR, VRPECOMITPEDANT, VRPECOMITPED) VALUES ('0002', ?, ?, 46000, 'ADM', 'A', '0002', 1, 2)"),
                {QString::fromStdString(other.order), QString::fromStdString(other.item)});
    const Target missing{"0002", "9999999999", "001", "0001"};
    struct Read {
        const char* method;
        std::function<json(const Target&)> params;
        const char* server = kCommission;
    };
    const std::vector<Read> reads = {
        {"GetItemPedido", [](const Target& t) { return json{t.branch, t.order}; }},
        {"GetContaPaga", [](const Target& t) { return json{t.branch, t.order}; }},
        {"GetLanc", [](const Target& t) { return json{t.branch, t.order, t.item}; }},
        {"GetPesqVendItem", [](const Target& t) { return json{t.branch, t.order, t.item, t.salesman}; }},
        {"GetToTiComi", [](const Target& t) { return json{t.branch, t.order, t.item}; }},
        {"GetHistComissao", [](const Target& t) { return json{t.branch, t.order, t.item}; }},
        {"GetNota", [](const Target& t) { return json{t.branch, t.order}; }, "Ped00103.rdmNotaPedido"},
    };
    s->db->exec(QStringLiteral("INSERT INTO CONTAPAGA (CDFILIAL, NRPEDIDO, CDFILIALPAG, NRLANCTOPAG, NRSEQVENPAG, NRPARCELAPAG, "
                               "CDFILIALREC, NRLANCTOREC, NRSEQVENREC, NRPARCELAREC) VALUES ('0002', ?, '0002', '1', '1', '1', "
                               "'0002', '1', '1', '1')"),
                {QString::fromStdString(own.order)});
    const std::string admTok = s->token("ADM");
    for (const Who& w : kOperators) {
        const std::string tok = s->token(w.op);
        ASSERT_FALSE(tok.empty()) << w.op;
        for (const Read& r : reads) {
            const json asMissing = s->call(tok, r.method, r.params(missing), r.server);
            ASSERT_TRUE(asMissing.contains("result")) << w.op << " " << r.method << asMissing.dump();
            for (const auto& [target, sees] : {std::pair{own, w.seesOwn}, std::pair{other, w.seesOther}}) {
                const json got = s->call(tok, r.method, r.params(target), r.server);
                const json want = sees ? s->call(admTok, r.method, r.params(target), r.server) : asMissing;
                EXPECT_EQ(got.value("result", json("no result")), want["result"]) << w.op << " " << r.method << " " << target.order;
            }
        }
    }
    // what a visible order answers is not what a missing one does
    const std::string admTok2 = s->token("ADM");
    EXPECT_NE(s->call(admTok2, "GetItemPedido", {own.branch, own.order})["result"],
              s->call(admTok2, "GetItemPedido", {missing.branch, missing.order})["result"]);
    EXPECT_NE(s->call(admTok2, "GetContaPaga", {own.branch, own.order})["result"],
              s->call(admTok2, "GetContaPaga", {missing.branch, missing.order})["result"]);
    EXPECT_NE(s->call(admTok2, "GetHistComissao", {other.branch, other.order, other.item})["result"],
              s->call(admTok2, "GetHistComissao", {missing.branch, missing.order, missing.item})["result"]);
}

// Each write on each order: refused with one text for what the operator may
// not see or do, with every business table unchanged; accepted otherwise,
// with the operator named in the audit trail.
TEST_F(Authorization, EveryPerOrderWriteIsRefusedOutOfSightAndAuditedWhenAccepted)
{
    const json orderFields = json::array({{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                                          {{"name", "NRPEDIDO"}, {"type", "string"}, {"size", 10}},
                                          {{"name", "CDVENDEDOR"}, {"type", "string"}, {"size", 4}},
                                          {{"name", "NMFANVEN"}, {"type", "string"}, {"size", 50}}});
    const json itemFields = json::array({{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                                         {{"name", "NRPEDIDO"}, {"type", "string"}, {"size", 10}},
                                         {{"name", "NRITEMPED"}, {"type", "string"}, {"size", 10}},
                                         {{"name", "IDITPEDDIFER"}, {"type", "string"}, {"size", 1}}});
    enum class Kind { Ok, Refused, RestrictedRefused, MovedAway };
    struct Write {
        const char* what;
        std::function<json(const std::string& tok, const std::string& op, const Target&)> run;
        Kind forRestrictedOwn; // what a restricted operator gets on his own order
    };
    const std::vector<Write> writes = {
        {"change a percentage", [&](const std::string& tok, const std::string& op, const Target& t) {
             return s->call(tok, "SetVendedor", {modifyLine(t, 1, 2), op, false, "1"});
         }, Kind::Ok},
        {"change on every item", [&](const std::string& tok, const std::string& op, const Target& t) {
             return s->call(tok, "SetVendedor", {modifyLine(t, 2, 1.5), op, true, "1"});
         }, Kind::Ok},
        {"insert a line", [&](const std::string& tok, const std::string& op, const Target& t) {
             return s->call(tok, "SetVendedor", {lines({{{"op", "insert"}, {"new", line(t, "0003", 1)}}}), op, false, "1"});
         }, Kind::RestrictedRefused},
        {"change a line's salesman", [&](const std::string& tok, const std::string& op, const Target& t) {
             return s->call(tok, "SetVendedor", {lines({{{"op", "modify"}, {"old", line(t, t.salesman, 1.5)},
                                                           {"new", line(t, "0004", 1.5)}}}), op, false, "1"});
         }, Kind::RestrictedRefused},
        {"change an item", [&](const std::string& tok, const std::string&, const Target& t) {
             const json cs = {{"fields", itemFields}, {"changes", {{{"op", "modify"}, {"old", {t.branch, t.order, t.item, "N"}},
                                                                    {"new", {t.branch, t.order, t.item, "P"}}}}}};
             return s->call(tok, "SetItemPedido", json::array({cs}));
         }, Kind::RestrictedRefused},
        {"cancel the commission", [&](const std::string& tok, const std::string&, const Target& t) {
             return s->call(tok, "SetCancelaComissaoPed", {t.order, t.branch, "S"});
         }, Kind::Ok},
        {"regenerate the commission", [&](const std::string& tok, const std::string&, const Target& t) {
             return s->call(tok, "SetCancelaComissaoPed", {t.order, t.branch, "N"});
         }, Kind::Ok},
        {"move the order to another salesman", [&](const std::string& tok, const std::string& op, const Target& t) {
             const json cs = {{"fields", orderFields}, {"changes", {{{"op", "modify"}, {"old", {t.branch, t.order, t.salesman, ""}},
                                                                     {"new", {t.branch, t.order, "0005", ""}}}}}};
             return s->call(tok, "SetPedido", {cs, op});
         }, Kind::MovedAway},
    };
    const Target missing{"0002", "9999999999", "001", "0001"};
    int n = 0;
    for (const Who& w : kOperators) {
        // fresh orders for each operator, so that each write meets the state it expects
        const Target own = prepare(QStringLiteral("0002"), 2 * n, QStringLiteral("0001"));
        const Target other = prepare(QStringLiteral("0002"), 2 * n + 1, QStringLiteral("0002"));
        ++n;
        const std::string tok = s->token(w.op);
        for (const Write& wr : writes) {
            for (const auto& [target, sees] : {std::pair{own, w.seesOwn}, std::pair{other, w.seesOther}, std::pair{missing, false}}) {
                Kind want = sees ? Kind::Ok : Kind::Refused;
                if (sees && w.restricted)
                    want = wr.forRestrictedOwn;
                const std::string before = business();
                const int audited = auditRowsOf(w.op);
                const json got = wr.run(tok, w.op, target);
                const std::string where = std::string(w.op) + ": " + wr.what + " on " + target.order;
                switch (want) {
                case Kind::Ok:
                    EXPECT_EQ(message(got), "ok") << where;
                    EXPECT_GT(auditRowsOf(w.op), audited) << where;
                    continue;
                case Kind::Refused:
                case Kind::MovedAway: EXPECT_EQ(message(got), kNotFound) << where; break;
                case Kind::RestrictedRefused: EXPECT_EQ(message(got), kRestricted) << where; break;
                }
                EXPECT_EQ(business(), before) << where;
            }
        }
    }
}

TEST_F(Authorization, ARangeRecalculationChangesOnlyWhatTheOperatorCouldChangeLineByLine)
{
    const Target own = prepare(QStringLiteral("0002"), 0, QStringLiteral("0001"));
    const Target other = prepare(QStringLiteral("0002"), 1, QStringLiteral("0002"));
    const Target elsewhere = prepare(QStringLiteral("0001"), 0, QStringLiteral("0002"));
    const Target byPeriod = prepare(QStringLiteral("0003"), 0, QStringLiteral("0002"));
    s->db->exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = 0.01"));
    auto recalculated = [&](const Target& t) { return stored(t, t.salesman, t.item) != 0.01; };
    for (const Who& w : kOperators) {
        s->db->exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = 0.01"));
        const std::string tok = s->token(w.op);
        // the simulation shows the same orders, and only those (each asked
        // for its own delivery day, so that it is among the first lines)
        auto simulated = [&](const Target& t) {
            const double day = s->db->scalar(QStringLiteral("SELECT DTENTPED FROM PEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ?"),
                                             {QString::fromStdString(t.branch), QString::fromStdString(t.order)})
                                   .toDouble();
            const json sim = s->call(tok, "GetSimulaBuscaComissao", {day, day});
            EXPECT_EQ(message(sim), "ok") << w.op;
            for (const auto& row : sim["result"][2]["rows"])
                if (row[0] == t.branch && row[1] == t.order)
                    return true;
            return false;
        };
        EXPECT_EQ(simulated(own), w.seesOwn) << w.op;
        EXPECT_EQ(simulated(other), w.seesOther) << w.op;
        EXPECT_FALSE(simulated(byPeriod)) << w.op;
        EXPECT_FALSE(recalculated(own) || recalculated(other)) << w.op;
        ASSERT_EQ(message(s->call(tok, "SetBuscaComissao", {44000.0, 48000.0})), "ok") << w.op;
        EXPECT_EQ(recalculated(own), w.seesOwn) << w.op;
        EXPECT_EQ(recalculated(other), w.seesOther) << w.op;
        EXPECT_TRUE(recalculated(elsewhere)) << w.op; // branch 0001 shows every order
        EXPECT_FALSE(recalculated(byPeriod)) << w.op; // branch 0003 generates by period
    }
}

class Gates : public AuthFixture {
protected:
    void SetUp() override
    {
        AuthFixture::SetUp();
        tok = s->token("ADM");
        t = prepare(QStringLiteral("0001"), 0, QStringLiteral("0007"));
        all = items(t);
        // the branch's rules are the test's own: 60 % for 0007 and for 0008
        s->db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDVENDEDOR = '0008'"));
        s->db->exec(QStringLiteral("DELETE FROM REGRACOMISSAO WHERE CDFILIAL = '0001'"));
        s->db->exec(QStringLiteral("INSERT INTO REGRACOMISSAO (NRREGRA, CDFILIAL, CDVENDEDOR, VRPECOMISSAO, DSREGRA) VALUES "
                                   "(9001, '0001', '0007', 60, 'teste')"));
        s->db->exec(QStringLiteral("INSERT INTO REGRACOMISSAO (NRREGRA, CDFILIAL, CDVENDEDOR, VRPECOMISSAO, DSREGRA) VALUES "
                                   "(9002, '0001', '0008', 60, 'teste')"));
    }
    void setPeriod(const char* mode)
    {
        s->db->exec(QStringLiteral("UPDATE PAREXPEDICAO SET IDCOMISPERIODO = ? WHERE CDFILIAL = '0001'"), {mode});
    }
    void addPayable()
    {
        s->db->exec(QStringLiteral("INSERT INTO CONTAPAGA (CDFILIAL, NRPEDIDO, CDFILIALPAG, NRLANCTOPAG, NRSEQVENPAG, "
                                   "NRPARCELAPAG, CDFILIALREC, NRLANCTOREC, NRSEQVENREC, NRPARCELAREC) VALUES ('0001', ?, "
                                   "'0001', '1', '1', '1', '0001', '1', '1', '1')"),
                    {QString::fromStdString(t.order)});
    }
    // Salesman 0008 at 1 % on the first item only; every other item keeps 0007's line.
    json spread(double pct)
    {
        return s->call(tok, "SetVendedor", {lines({{{"op", "insert"}, {"new", line(t, "0008", pct)}}}), "ADM", true, "1"});
    }
    // Refused with the text, every table as it was.
    void expectRefused(const std::function<json()>& call, const std::string& text)
    {
        const std::string before = business();
        EXPECT_EQ(message(call()).substr(0, text.size()), text);
        EXPECT_EQ(business(), before);
    }
    std::string tok;
    Target t;
    std::vector<std::string> all;
};

TEST_F(Gates, EveryItemWriteMeetsTheGatesOfADirectChangeOfEachLine)
{
    // a period mode that is neither "S" nor "N" lets lines be added but not changed
    setPeriod("X");
    s->db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = '0001' AND NRPEDIDO = ? AND NRITEMPED <> ?"),
                {QString::fromStdString(t.order), QString::fromStdString(t.item)});
    s->db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) VALUES "
                               "('0001', ?, ?, '0008', 1)"),
                {QString::fromStdString(t.order), QString::fromStdString(all[1])});
    // the insert itself is allowed, but it would change item 2's line of 0008
    expectRefused([&] { return spread(2); }, kPeriod);
    setPeriod("N");

    // generated payables: adding is allowed, changing another item's line is not
    addPayable();
    expectRefused([&] { return spread(2); }, kPayables);
    s->db->exec(QStringLiteral("DELETE FROM CONTAPAGA WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"), {QString::fromStdString(t.order)});

    // the total of another item
    s->db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) VALUES "
                               "('0001', ?, ?, '0007', 98.5)"),
                {QString::fromStdString(t.order), QString::fromStdString(all[2])});
    expectRefused([&] { return spread(2); }, kTotal + " Pedido " + t.order + ", item " + all[2] + ": 100,50 %.");

    // items above status 3 are left alone; the rest get the line
    s->db->exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = 1 WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"),
                {QString::fromStdString(t.order)});
    s->db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '5' WHERE CDFILIAL = '0001' AND NRPEDIDO = ? AND NRITEMPED = ?"),
                {QString::fromStdString(t.order), QString::fromStdString(all[2])});
    ASSERT_EQ(message(spread(2)), "ok");
    EXPECT_EQ(stored(t, "0008", all[0]), 2);
    EXPECT_EQ(stored(t, "0008", all[1]), 2);
    EXPECT_EQ(stored(t, "0008", all[2]), -1);
}

TEST_F(Gates, ARegenerationMeetsEveryGateOfTheLinesItRewrites)
{
    const std::string o = t.order;
    auto regenerate = [&] { return s->call(tok, "SetCancelaComissaoPed", {o, "0001", "N"}); };
    ASSERT_EQ(message(s->call(tok, "SetCancelaComissaoPed", {o, "0001", "S"})), "ok");
    setPeriod("S");
    expectRefused(regenerate, kPeriod);
    setPeriod("X");
    expectRefused(regenerate, kPeriod);
    setPeriod("N");
    addPayable();
    expectRefused(regenerate, kPayables);
    s->db->exec(QStringLiteral("DELETE FROM CONTAPAGA WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"), {QString::fromStdString(o)});

    // the rules would take an item past 100 %: refused, naming the item
    s->db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) VALUES "
                               "('0001', ?, ?, '0008', 1)"),
                {QString::fromStdString(o), QString::fromStdString(all[1])});
    expectRefused(regenerate, kTotal + " Pedido " + o + ", item " + all[1] + ": 120,00 %.");

    // without the second line it goes through, leaving items above status 3 as they were
    s->db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDVENDEDOR = '0008'"));
    s->db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '4' WHERE CDFILIAL = '0001' AND NRPEDIDO = ? AND NRITEMPED = ?"),
                {QString::fromStdString(o), QString::fromStdString(all[2])});
    ASSERT_EQ(message(regenerate()), "ok");
    EXPECT_EQ(stored(t, "0007", all[0]), 60);
    EXPECT_EQ(stored(t, "0007", all[2]), 1);
}

TEST_F(Gates, ARangeRecalculationMeetsEveryGateOfTheLinesItRewrites)
{
    const QString o = QString::fromStdString(t.order);
    const double delivery = s->db->scalar(QStringLiteral("SELECT DTENTPED FROM PEDIDO WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"), {o})
                                .toDouble();
    auto recalc = [&] { return s->call(tok, "SetBuscaComissao", {delivery, delivery}); };
    s->db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) VALUES "
                               "('0001', ?, ?, '0008', 1)"),
                {o, QString::fromStdString(all[1])});
    expectRefused(recalc, kTotal + " Pedido " + t.order + ", item " + all[1] + ": 120,00 %.");
    s->db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDVENDEDOR = '0008'"));

    // each gate keeps the order's lines as they are
    const std::vector<std::pair<const char*, std::function<void(bool)>>> gates = {
        {"period", [&](bool on) { setPeriod(on ? "X" : "N"); }},
        {"payables", [&](bool on) {
             if (on)
                 addPayable();
             else
                 s->db->exec(QStringLiteral("DELETE FROM CONTAPAGA WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"), {o});
         }},
        {"cancelled", [&](bool on) {
             s->db->exec(QStringLiteral("UPDATE PEDIDO SET IDCANCCOMISPED = ? WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"),
                         {on ? "S" : "N", o});
         }},
        {"item status", [&](bool on) {
             s->db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = ? WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"),
                         {on ? "6" : "1", o});
         }},
    };
    for (const auto& [name, set] : gates) {
        set(true);
        ASSERT_EQ(message(recalc()), "ok") << name;
        EXPECT_EQ(stored(t, "0007", all[0]), 1) << name;
        set(false);
    }
    ASSERT_EQ(message(recalc()), "ok");
    EXPECT_EQ(stored(t, "0007", all[0]), 60);
}

} // namespace
