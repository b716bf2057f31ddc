// The write methods: change sets applied whole or refused whole, the
// refusals, the all-items write, audit rows, cancellation and the
// recalculation; and hostile input in every argument.
#include "support/ServerFixture.h"

#include "server/Methods.h"
#include "core/DateUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace testsupport;
using srv::Row;

namespace {

const QString kConflict = QStringLiteral("Registro alterado por outro usuário. Recarregue os dados.");


struct Item {
    QString branch, order, item;
};

class Writes : public ::testing::Test {
protected:
    void SetUp() override
    {
        s = std::make_unique<TestServer>(300, 11);
        tok = s->token();
    }
    std::unique_ptr<TestServer> s;
    std::string tok;

    // An open item (status up to 3) of an order without payables.
    Item openItem(const QString& branch = QStringLiteral("0001"), int skip = 0)
    {
        const auto r = s->db->rows(QStringLiteral("SELECT I.CDFILIAL, I.NRPEDIDO, I.NRITEMPED FROM ITEMPEDIDO I WHERE "
                                                  "I.CDFILIAL = ? AND I.IDSITITEMPED IN ('1','2','3') AND NOT EXISTS (SELECT 1 FROM "
                                                  "CONTAPAGA C WHERE C.CDFILIAL = I.CDFILIAL AND C.NRPEDIDO = I.NRPEDIDO) AND "
                                                  "(SELECT COUNT(*) FROM ITEMPEDIDO J WHERE J.CDFILIAL = I.CDFILIAL AND J.NRPEDIDO = I.NRPEDIDO) > 2 "
                                                  "ORDER BY I.NRPEDIDO, I.NRITEMPED"),
                                   {branch});
        const auto& row = r.at(static_cast<size_t>(skip));
        return {row[0].toString(), row[1].toString(), row[2].toString()};
    }
    json line(const Item& it, const QString& vend, const json& pct)
    {
        return {it.branch.toStdString(), it.order.toStdString(), it.item.toStdString(), vend.toStdString(), "", pct};
    }
    json changes(const json& list) { return {{"fields", commissionLineFields()}, {"changes", list}}; }
    json setVendedor(const json& cs, bool all = false, const std::string& op = "ADM")
    {
        return s->call(tok, "SetVendedor", {cs, op, all, "1"});
    }
    std::vector<Row> lines(const Item& it)
    {
        return s->db->rows(QStringLiteral("SELECT CDVENDEDOR, VRPECOMITPED FROM COMISITEMPED WHERE CDFILIAL = ? AND "
                                          "NRPEDIDO = ? AND NRITEMPED = ? ORDER BY CDVENDEDOR"),
                           {it.branch, it.order, it.item});
    }
    void clearLines(const Item& it)
    {
        s->db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"),
                    {it.branch, it.order, it.item});
    }
    QString errorText(const json& j) { return QString::fromStdString(j["error"].value("message", std::string())); }
    std::string state() { return s->checksum(QStringLiteral("COMISITEMPED")) + s->checksum(QStringLiteral("HISTCOMISSAO")); }
};

TEST_F(Writes, InsertModifyDeleteAreStoredRoundedAndAudited)
{
    const Item it = openItem();
    clearLines(it);
    ASSERT_TRUE(setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0002", 2.345)}}})).contains("result"));
    auto l = lines(it);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0][1].toDouble(), 2.35);
    ASSERT_TRUE(setVendedor(changes({{{"op", "modify"}, {"old", line(it, "0002", 2.35)}, {"new", line(it, "0002", 4.0)}}})).contains("result"));
    EXPECT_EQ(lines(it)[0][1].toDouble(), 4.0);
    ASSERT_TRUE(setVendedor(changes({{{"op", "delete"}, {"old", line(it, "0002", 4.0)}}})).contains("result"));
    EXPECT_TRUE(lines(it).empty());
    const auto hist = s->db->rows(QStringLiteral("SELECT IDACAO, CDOPERADOR, CDVENDEDOR, VRPECOMITPEDANT, VRPECOMITPED FROM "
                                                 "HISTCOMISSAO WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ? ORDER BY NRHIST"),
                                  {it.branch, it.order, it.item});
    ASSERT_EQ(hist.size(), 3u);
    EXPECT_EQ(hist[0][0].toString(), "I");
    EXPECT_EQ(hist[1][0].toString(), "A");
    EXPECT_EQ(hist[1][3].toDouble(), 2.35);
    EXPECT_EQ(hist[2][0].toString(), "E");
    EXPECT_EQ(hist[2][1].toString(), "ADM");
    // the history as the screen reads it, newest first
    const json h = s->call(tok, "GetHistComissao", {it.branch.toStdString(), it.order.toStdString(), it.item.toStdString()});
    EXPECT_EQ(column(h["result"], "IDACAO"), (std::vector<std::string>{"E", "A", "I"}));
}

TEST_F(Writes, StaleOldValuesAndDuplicatesAreConflictsAndNothingIsWritten)
{
    const Item it = openItem();
    clearLines(it);
    setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0002", 3.0)}}}));
    const std::string before = state();
    // someone else changed 3.00 to 3.50 meanwhile
    const json stale = setVendedor(changes({{{"op", "modify"}, {"old", line(it, "0002", 3.5)}, {"new", line(it, "0002", 1.0)}}}));
    EXPECT_EQ(errorText(stale), kConflict);
    EXPECT_EQ(errorText(setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0002", 1.0)}}}))), kConflict);
    EXPECT_EQ(errorText(setVendedor(changes({{{"op", "delete"}, {"old", line(it, "0009", 1.0)}}}))), kConflict);
    // a good change followed by a bad one: all or nothing
    const json mixed = setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0003", 1.0)}},
                                            {{"op", "modify"}, {"old", line(it, "0002", 9.0)}, {"new", line(it, "0002", 2.0)}}}));
    EXPECT_EQ(errorText(mixed), kConflict);
    EXPECT_EQ(state(), before);
}

TEST_F(Writes, TotalsMustStayBetweenZeroAndAHundredInHundredths)
{
    const Item it = openItem();
    clearLines(it);
    const json exact = setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0002", 72.68)}},
                                            {{"op", "insert"}, {"new", line(it, "0003", 10.93)}},
                                            {{"op", "insert"}, {"new", line(it, "0004", 2.73)}},
                                            {{"op", "insert"}, {"new", line(it, "0005", 13.66)}}}));
    EXPECT_TRUE(exact.contains("result")) << exact.dump();
    const std::string before = state();
    const json over = setVendedor(changes({{{"op", "modify"}, {"old", line(it, "0005", 13.66)}, {"new", line(it, "0005", 13.67)}}}));
    EXPECT_EQ(errorText(over), QStringLiteral("Valor total das comissões de um item deve estar entre 0 e 100%."));
    EXPECT_EQ(errorText(setVendedor(changes({{{"op", "modify"}, {"old", line(it, "0005", 13.66)}, {"new", line(it, "0005", 0.0)}}}))),
              QStringLiteral("Percentual de comissão deve ser maior que zero."));
    EXPECT_EQ(errorText(setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0013", 0.01)}}}))),
              QStringLiteral("Vendedor não cadastrado ou sem permissão para gerar comissão.")); // 0013 earns none
    EXPECT_EQ(state(), before);
}

TEST_F(Writes, PeriodParameterGatesInsertsDeletesAndChangesAsTheScreenDoes)
{
    const Item it = openItem();
    clearLines(it);
    setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0002", 3.0)}}}));
    const QString period = QStringLiteral("Operação bloqueada. A comissão está parametrizada para ser gerada por período na "
                                          "tela de Cálculo de comissão do vendedor por período.");
    auto setPeriod = [&](const char* v) { s->db->exec(QStringLiteral("UPDATE PAREXPEDICAO SET IDCOMISPERIODO = ? WHERE CDFILIAL = '0001'"), {v}); };
    const json ins = changes({{{"op", "insert"}, {"new", line(it, "0003", 1.0)}}});
    const json mod = changes({{{"op", "modify"}, {"old", line(it, "0002", 3.0)}, {"new", line(it, "0002", 2.0)}}});
    setPeriod("S");
    EXPECT_EQ(errorText(setVendedor(ins)), period);
    EXPECT_EQ(errorText(setVendedor(changes({{{"op", "delete"}, {"old", line(it, "0002", 3.0)}}}))), period);
    EXPECT_EQ(errorText(setVendedor(mod)), period);
    setPeriod("");
    EXPECT_EQ(errorText(setVendedor(mod)), period);
    EXPECT_TRUE(setVendedor(ins).contains("result"));
    setPeriod("N");
    EXPECT_TRUE(setVendedor(mod).contains("result"));
}

TEST_F(Writes, GeneratedPayablesBlockChangesButNotAddingOrRemoving)
{
    const Item it = openItem();
    clearLines(it);
    setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0002", 3.0)}}}));
    s->db->exec(QStringLiteral("INSERT INTO CONTAPAGA VALUES (?, ?, '0001', '9999999999', '01', '01', NULL, NULL, NULL, NULL)"),
                {it.branch, it.order});
    EXPECT_EQ(errorText(setVendedor(changes({{{"op", "modify"}, {"old", line(it, "0002", 3.0)}, {"new", line(it, "0002", 2.0)}}}))),
              QStringLiteral("Operação bloqueada. Já existe comissão gerada para o pedido."));
    EXPECT_TRUE(setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0003", 1.0)}}})).contains("result"));
    EXPECT_TRUE(setVendedor(changes({{{"op", "delete"}, {"old", line(it, "0002", 3.0)}}})).contains("result"));
    ASSERT_EQ(lines(it).size(), 1u);
    EXPECT_EQ(lines(it)[0][0].toString(), "0003");
}

TEST_F(Writes, AllItemsWritesTheLineOnEveryOtherOpenItemOnly)
{
    const Item it = openItem();
    s->db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ? AND CDVENDEDOR = '0007'"),
                {it.branch, it.order});
    // one other item is liquidated: it must not get the line
    const QString lockedItem = s->db->scalar(QStringLiteral("SELECT MAX(NRITEMPED) FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ?"),
                                             {it.branch, it.order}).toString();
    ASSERT_NE(lockedItem, it.item);
    s->db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = '4' WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"),
                {it.branch, it.order, lockedItem});
    s->db->exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = 1 WHERE CDFILIAL = ? AND NRPEDIDO = ?"), {it.branch, it.order});
    const json r = setVendedor(changes({{{"op", "insert"}, {"new", line(it, "0007", 2.5)}}}), true);
    ASSERT_TRUE(r.contains("result")) << r.dump();
    const auto rows = s->db->rows(QStringLiteral("SELECT I.NRITEMPED, I.IDSITITEMPED, C.VRPECOMITPED FROM ITEMPEDIDO I LEFT JOIN "
                                                 "COMISITEMPED C ON C.CDFILIAL = I.CDFILIAL AND C.NRPEDIDO = I.NRPEDIDO AND "
                                                 "C.NRITEMPED = I.NRITEMPED AND C.CDVENDEDOR = '0007' WHERE I.CDFILIAL = ? AND I.NRPEDIDO = ?"),
                                  {it.branch, it.order});
    for (const Row& row : rows) {
        if (row[1].toString() > "3")
            EXPECT_TRUE(row[2].isNull()) << row[0].toString().toStdString();
        else
            EXPECT_EQ(row[2].toDouble(), 2.5) << row[0].toString().toStdString();
    }
    // a locked item itself refuses the change
    const Item locked{it.branch, it.order, lockedItem};
    EXPECT_EQ(errorText(setVendedor(changes({{{"op", "insert"}, {"new", line(locked, "0008", 1.0)}}}))).left(19),
              QStringLiteral("Operação bloqueada."));
}

TEST_F(Writes, OrderSalesmanChangesAreCheckedAndStored)
{
    const json f = json::array({{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                                {{"name", "NRPEDIDO"}, {"type", "string"}, {"size", 10}},
                                {{"name", "CDVENDEDOR"}, {"type", "string"}, {"size", 4}},
                                {{"name", "NMFANVEN"}, {"type", "string"}, {"size", 50}}});
    const Item it = openItem();
    const std::string cur = s->db->scalar(QStringLiteral("SELECT CDVENDEDOR FROM PEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ?"),
                                          {it.branch, it.order}).toString().toStdString();
    const std::string b = it.branch.toStdString(), o = it.order.toStdString();
    auto cs = [&](const std::string& op, const std::string& from, const std::string& to) {
        return json{{"fields", f}, {"changes", {{{"op", op}, {"old", {b, o, from, ""}}, {"new", {b, o, to, "x"}}}}}};
    };
    const std::string target = cur == "0005" ? "0006" : "0005";
    EXPECT_TRUE(s->call(tok, "SetPedido", {cs("modify", cur, target), "ADM"}).contains("result"));
    EXPECT_EQ(s->db->scalar(QStringLiteral("SELECT CDVENDEDOR FROM PEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ?"), {it.branch, it.order}).toString().toStdString(), target);
    EXPECT_EQ(errorText(s->call(tok, "SetPedido", {cs("modify", cur, target), "ADM"})), kConflict);
    EXPECT_EQ(errorText(s->call(tok, "SetPedido", {cs("modify", target, "0013"), "ADM"})),
              QStringLiteral("Vendedor não cadastrado ou sem permissão para gerar comissão."));
    json ins = {{"fields", f}, {"changes", {{{"op", "insert"}, {"new", {b, o, "0002", ""}}}}}};
    EXPECT_EQ(s->call(tok, "SetPedido", {ins, "ADM"})["error"]["code"], -32602);
}

TEST_F(Writes, ItemChangesTouchOnlyDeliveryDateAndType)
{
    const Item it = openItem();
    const auto st = s->db->rows(QStringLiteral("SELECT DTENTITPED, IDITPEDDIFER, QTITEMPED FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"),
                                {it.branch, it.order, it.item});
    const json f = json::array({{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}}, {{"name", "NRPEDIDO"}, {"type", "string"}, {"size", 10}},
                                {{"name", "NRITEMPED"}, {"type", "string"}, {"size", 10}}, {{"name", "DTENTITPED"}, {"type", "datetime"}},
                                {{"name", "IDITPEDDIFER"}, {"type", "string"}, {"size", 1}}, {{"name", "QTITEMPED"}, {"type", "float"}}});
    const json oldRow = {it.branch.toStdString(), it.order.toStdString(), it.item.toStdString(),
                         st[0][0].isNull() ? json(nullptr) : json(st[0][0].toDouble()), st[0][1].toString().toStdString(), st[0][2].toDouble()};
    json newRow = oldRow;
    newRow[3] = 46000.0;
    newRow[4] = "P";
    EXPECT_TRUE(s->call(tok, "SetItemPedido", {{{"fields", f}, {"changes", {{{"op", "modify"}, {"old", oldRow}, {"new", newRow}}}}}}).contains("result"));
    EXPECT_EQ(s->db->scalar(QStringLiteral("SELECT IDITPEDDIFER FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"),
                            {it.branch, it.order, it.item}).toString(), "P");
    json qty = newRow;
    qty[5] = 1.0;
    EXPECT_EQ(s->call(tok, "SetItemPedido", {{{"fields", f}, {"changes", {{{"op", "modify"}, {"old", newRow}, {"new", qty}}}}}})["error"]["code"], -32602);
}

TEST_F(Writes, CancellationRefusesByItemStatusInOrderThenCancelsAndRegenerates)
{
    const Item it = openItem();
    const std::string o = it.order.toStdString();
    auto setStatus = [&](const QString& item, const char* st) {
        s->db->exec(QStringLiteral("UPDATE ITEMPEDIDO SET IDSITITEMPED = ? WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"),
                    {st, it.branch, it.order, item});
    };
    const auto items = s->db->rows(QStringLiteral("SELECT NRITEMPED FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? ORDER BY NRITEMPED"),
                                   {it.branch, it.order});
    for (const Row& r : items)
        setStatus(r[0].toString(), "1");
    setStatus(items[0][0].toString(), "7");
    EXPECT_EQ(errorText(s->call(tok, "SetCancelaComissaoPed", {o, "0001", "S"})), "Item_ParcA");
    setStatus(items[1][0].toString(), "5");
    EXPECT_EQ(errorText(s->call(tok, "SetCancelaComissaoPed", {o, "0001", "S"})), "Item_Canc");
    setStatus(items[2][0].toString(), "6");
    EXPECT_EQ(errorText(s->call(tok, "SetCancelaComissaoPed", {o, "0001", "S"})), "Item_Liq");
    for (const Row& r : items)
        setStatus(r[0].toString(), "2");
    ASSERT_TRUE(s->call(tok, "SetCancelaComissaoPed", {o, "0001", "S"}).contains("result"));
    auto order = s->db->rows(QStringLiteral("SELECT IDCANCCOMISPED, DSMOTCANCCOMISPED FROM PEDIDO WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"), {it.order});
    EXPECT_EQ(order[0][0].toString(), "S");
    EXPECT_TRUE(order[0][1].toString().contains("ADM"));
    // regeneration recomputes the lines from the rules
    s->db->exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = 0.01 WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"), {it.order});
    ASSERT_TRUE(s->call(tok, "SetCancelaComissaoPed", {o, "0001", "N"}).contains("result"));
    order = s->db->rows(QStringLiteral("SELECT IDCANCCOMISPED FROM PEDIDO WHERE CDFILIAL = '0001' AND NRPEDIDO = ?"), {it.order});
    EXPECT_EQ(order[0][0].toString(), "N");
    EXPECT_EQ(s->db->scalar(QStringLiteral("SELECT COUNT(*) FROM COMISITEMPED WHERE CDFILIAL = '0001' AND NRPEDIDO = ? AND VRPECOMITPED = 0.01"), {it.order}).toInt(), 0);
    // the history tells a regeneration from a recalculation of a range
    EXPECT_GT(s->db->scalar(QStringLiteral("SELECT COUNT(*) FROM HISTCOMISSAO WHERE CDFILIAL = '0001' AND NRPEDIDO = ? AND IDACAO = 'G'"), {it.order}).toInt(), 0);
    EXPECT_EQ(s->db->scalar(QStringLiteral("SELECT COUNT(*) FROM HISTCOMISSAO WHERE CDFILIAL = '0001' AND NRPEDIDO = ? AND IDACAO = 'R'"), {it.order}).toInt(), 0);
    EXPECT_EQ(s->call(tok, "SetCancelaComissaoPed", {o, "0001", "X"})["error"]["code"], -32602);
}

TEST_F(Writes, RecalculationChangesExactlyTheEligibleLinesOfTheRange)
{
    const double today = fw::date::today();
    // every line wrong on purpose, then recalculated for a window of delivery dates
    s->db->exec(QStringLiteral("UPDATE COMISITEMPED SET VRPECOMITPED = 0.01"));
    auto history = [&](char action) {
        return s->db->scalar(QStringLiteral("SELECT COUNT(*) FROM HISTCOMISSAO WHERE IDACAO = ?"), {QString(QLatin1Char(action))}).toInt();
    };
    const int rBefore = history('R'), gBefore = history('G');
    const double from = today + 3, to = today + 6;
    // the simulation first: what the run will do, and nothing written
    const std::string linesBefore = s->checksum(QStringLiteral("COMISITEMPED")), histBefore = s->checksum(QStringLiteral("HISTCOMISSAO"));
    const json sim = s->call(tok, "GetSimulaBuscaComissao", {from, to})["result"];
    ASSERT_TRUE(sim.is_array() && sim.size() == 3) << sim.dump();
    EXPECT_EQ(s->checksum(QStringLiteral("COMISITEMPED")), linesBefore);
    EXPECT_EQ(s->checksum(QStringLiteral("HISTCOMISSAO")), histBefore);
    const int simLines = sim[0]["rows"][0][0], simOrders = sim[0]["rows"][0][1];
    int perSalesman = 0;
    for (const auto& row : sim[1]["rows"]) {
        perSalesman += row[2].get<int>();
        EXPECT_NEAR(row[3].get<double>(), 0.01 * row[2].get<int>(), 0.005) << row.dump();
    }
    EXPECT_EQ(perSalesman, simLines);
    std::set<std::string> simulated;
    for (const auto& row : sim[2]["rows"]) {
        EXPECT_EQ(row[4], 0.01);
        simulated.insert(row[0].get<std::string>() + row[1].get<std::string>() + row[2].get<std::string>() + row[3].get<std::string>() + "="
                         + std::to_string(std::lround(row[5].get<double>() * 100)));
    }
    EXPECT_EQ(simulated.size(), std::min<size_t>(size_t(simLines), srv::kSimulatedLines));
    const int lastHist = s->db->scalar(QStringLiteral("SELECT COALESCE(MAX(NRHIST), 0) FROM HISTCOMISSAO")).toInt();
    const json run = s->call(tok, "SetBuscaComissao", {from, to});
    ASSERT_TRUE(run.contains("result")) << run.dump();
    EXPECT_EQ(run["result"], simLines);
    // the simulated lines are the written ones, with the written values
    for (const Row& r : s->db->rows(QStringLiteral("SELECT CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED FROM COMISITEMPED"))) {
        const std::string key = (r[0].toString() + r[1].toString() + r[2].toString() + r[3].toString()).toStdString();
        const auto it = simulated.lower_bound(key + "=");
        if (it != simulated.end() && it->rfind(key + "=", 0) == 0) {
            EXPECT_EQ(*it, key + "=" + std::to_string(std::lround(r[4].toDouble() * 100)));
        }
    }
    std::set<std::string> orders;
    for (const Row& r : s->db->rows(QStringLiteral("SELECT DISTINCT CDFILIAL, NRPEDIDO FROM HISTCOMISSAO WHERE IDACAO = 'R' AND NRHIST > ?"),
                                          {lastHist}))
        orders.insert((r[0].toString() + r[1].toString()).toStdString());
    EXPECT_EQ(int(orders.size()), simOrders);
    const auto rows = s->db->rows(QStringLiteral(
        "SELECT C.CDFILIAL, C.VRPECOMITPED, I.IDSITITEMPED, P.DTENTPED, P.IDCANCCOMISPED, "
        "(SELECT COUNT(*) FROM CONTAPAGA K WHERE K.CDFILIAL = P.CDFILIAL AND K.NRPEDIDO = P.NRPEDIDO), C.CDVENDEDOR, "
        "I.CDPRODUTO, I.VRPREUNITPED, I.IDITPEDDIFER, P.CDCLIENTE FROM COMISITEMPED C JOIN ITEMPEDIDO I ON I.CDFILIAL = C.CDFILIAL "
        "AND I.NRPEDIDO = C.NRPEDIDO AND I.NRITEMPED = C.NRITEMPED JOIN PEDIDO P ON P.CDFILIAL = I.CDFILIAL AND P.NRPEDIDO = I.NRPEDIDO"));
    int changed = 0, kept = 0;
    for (const Row& r : rows) {
        const bool inRange = !r[3].isNull() && r[3].toDouble() >= from && r[3].toDouble() < to + 1;
        // branch 0003 generates commission by period: its lines are not the recalculation's
        const bool eligible = inRange && r[2].toString() <= "3" && r[4].toString() != "S" && r[5].toInt() == 0
            && r[0].toString() != "0003";
        if (!eligible) {
            EXPECT_EQ(r[1].toDouble(), 0.01);
            ++kept;
            continue;
        }
        const double want = s->call(tok, "GetBuscaComissao", {r[0].toString().toStdString(), r[6].toString().toStdString(),
                                                              r[7].toString().toStdString(), r[8].toDouble(),
                                                              r[9].toString().toStdString(), r[10].toString().toStdString()})["result"];
        EXPECT_NEAR(r[1].toDouble(), want, 0.005);
        ++changed;
    }
    EXPECT_GT(changed, 0);
    EXPECT_GT(kept, 0);
    EXPECT_EQ(history('R') - rBefore, changed);
    EXPECT_EQ(simLines, changed);
    EXPECT_EQ(history('G'), gBefore);
    EXPECT_EQ(s->call(tok, "SetBuscaComissao", {to, from})["error"]["code"], -32602);
    EXPECT_EQ(s->call(tok, "SetBuscaComissao", {0, from})["error"]["code"], -32602);
}

TEST_F(Writes, HostileInputInEveryTextAndListArgumentChangesNothing)
{
    const std::vector<std::string> payloads = {
        "'", "' OR 1=1 --", "0001'; DROP TABLE PEDIDO; --", "%", "_", "\\", "\"", "0001) OR (1=1",
        std::string("a\0b", 3), std::string(5000, 'x'), "", ",,,,", "' , '",
    };
    std::string many;
    for (int i = 0; i < 10000; ++i)
        many += (i ? "," : "") + std::to_string(i);
    std::string tooMany = many + ",10001";
    const QStringList tables = {"PEDIDO", "ITEMPEDIDO", "COMISITEMPED", "VENDEDOR", "CLIENTE", "HISTCOMISSAO", "OPERADOR"};
    auto sums = [&] {
        std::string all;
        for (const QString& t : tables)
            all += s->checksum(t);
        return all;
    };
    const std::string before = sums();
    auto acceptable = [](const json& j) {
        return j.contains("result") || (j.contains("error") && (j["error"]["code"] == -32602 || j["error"]["code"] == -32000));
    };
    std::vector<std::string> all = payloads;
    all.push_back(many);
    for (const std::string& p : all) {
        for (size_t arg : {1u, 4u, 6u, 8u, 10u, 11u, 13u, 15u, 23u, 25u, 28u, 29u}) {
            OrderFilter f;
            f.allNumbers = f.allSalesmen = f.allCustomers = f.allProducts = f.allMunicipalities = "";
            json params = f.params();
            params[arg] = p;
            const json j = s->call(tok, "GetPedido", params);
            EXPECT_TRUE(acceptable(j)) << "arg " << arg + 1 << ": " << j.dump().substr(0, 200);
            if (j.contains("error")) {
                EXPECT_EQ(j["error"]["message"].get<std::string>().find("SELECT"), std::string::npos);
            }
        }
        for (const char* m : {"GetItemPedido", "GetContaPaga", "GetNrpedido", "GetPesqVendedor", "GetMuniciCli"}) {
            json params = std::string(m) == "GetItemPedido" || std::string(m) == "GetContaPaga" || std::string(m) == "GetMuniciCli"
                ? json{p, p}
                : json{p};
            EXPECT_TRUE(acceptable(s->call(tok, m, params))) << m;
        }
        EXPECT_TRUE(acceptable(s->call(tok, "SetCancelaComissaoPed", {p, p, "S"})));
    }
    OrderFilter big;
    big.allNumbers = "";
    big.numbers = tooMany;
    EXPECT_EQ(s->call(tok, "GetPedido", big.params())["error"]["code"], -32602);
    EXPECT_EQ(sums(), before);
}

} // namespace
