// Every write with its Nth database call failing, for every N until the write
// gets through: a clear answer, the data as it was (or, when a retry got
// through, exactly as one clean run leaves it), and the next call served.
#include "support/ServerFixture.h"

#include "support/Faults.h"

#include <QRegularExpression>
#include <QSqlRecord>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

using namespace testsupport;
using srv::Row;
using Kind = testsupport::faults::Kind;

namespace {

const std::string kConflict = "Registro alterado por outro usuário. Recarregue os dados.";
const std::string kAuthDown = "Banco de dados indisponível. Tente novamente.";
const std::string kDetailsLogged = "Os detalhes estão no registro do servidor.";

// The tables the writes touch, with their columns.
struct Table {
    QString name;
    int keys; // leading key columns of a table others refer to; 0 for the others
    QStringList columns;
    std::vector<Row> rows;
};

class Faults : public ::testing::Test {
protected:
    void SetUp() override
    {
        s = std::make_unique<TestServer>(60, 17);
        tok = s->token();
        ASSERT_FALSE(tok.empty());
        const std::pair<const char*, int> names[] = {{"PEDIDO", 2},       {"ITEMPEDIDO", 3}, {"COMISITEMPED", 0},
                                                     {"HISTCOMISSAO", 0}, {"SESSAO", 0},     {"TENTLOGIN", 0}};
        for (const auto& [t, keys] : names) {
            Table tab{QString::fromLatin1(t), keys, {}, {}};
            const QSqlRecord rec = s->db->qdb().record(tab.name);
            for (int i = 0; i < rec.count(); ++i)
                tab.columns << rec.fieldName(i).toUpper();
            ASSERT_FALSE(tab.columns.isEmpty()) << t;
            tables.push_back(tab);
        }
    }
    void TearDown() override { testsupport::faults::disarm(); }

    std::vector<Table> take()
    {
        std::vector<Table> out = tables;
        for (Table& t : out)
            t.rows = s->db->rows(QStringLiteral("SELECT %1 FROM %2").arg(t.columns.join(QStringLiteral(", ")), t.name));
        return out;
    }
    // Puts back the rows a successful write changed.
    void restore(const std::vector<Table>& snap)
    {
        const auto now = take();
        srv::Transaction tx(*s->db);
        for (size_t k = 0; k < snap.size(); ++k) {
            const Table& t = snap[k];
            if (t.name == QLatin1String("SESSAO") || t.name == QLatin1String("TENTLOGIN"))
                continue; // the session of the test itself lives there
            if (text({t}, true) == text({now[k]}, true))
                continue;
            if (t.keys > 0) { // other tables refer to these rows: put their values back in place
                QStringList sets, where;
                for (qsizetype i = 0; i < t.columns.size(); ++i)
                    (i < t.keys ? where : sets) << t.columns[i] + QStringLiteral(" = ?");
                const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                        .arg(t.name, sets.join(QStringLiteral(", ")), where.join(QStringLiteral(" AND ")));
                for (const Row& r : t.rows) {
                    QVariantList p(r.begin() + t.keys, r.end());
                    p.append(QVariantList(r.begin(), r.begin() + t.keys));
                    s->db->exec(sql, p);
                }
                continue;
            }
            s->db->exec(QStringLiteral("DELETE FROM %1").arg(t.name));
            const QString marks = QStringList(t.columns.size(), QStringLiteral("?")).join(QStringLiteral(", "));
            for (const Row& r : t.rows)
                s->db->exec(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(t.name, t.columns.join(QStringLiteral(", ")), marks),
                            QVariantList(r.begin(), r.end()));
        }
        tx.commit();
    }
    // The rows as text, sorted; with exact false, without what differs
    // between two runs of the same write (audit numbers and times, stamps).
    static std::string text(const std::vector<Table>& snap, bool exact)
    {
        static const QRegularExpression stamp(QStringLiteral(" em \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d"));
        std::string out;
        for (const Table& t : snap) {
            if (!exact && (t.name == QLatin1String("SESSAO") || t.name == QLatin1String("TENTLOGIN")))
                continue;
            std::vector<std::string> lines;
            for (const Row& r : t.rows) {
                std::string line;
                for (qsizetype i = 0; i < t.columns.size(); ++i) {
                    const QString& c = t.columns[i];
                    if (!exact && (c == QLatin1String("NRHIST") || c == QLatin1String("DTHRALTER")))
                        continue;
                    QString v = r[static_cast<size_t>(i)].toString();
                    if (!exact && c == QLatin1String("DSMOTCANCCOMISPED"))
                        v.replace(stamp, QString());
                    line += v.toStdString() + "|";
                }
                lines.push_back(std::move(line));
            }
            std::sort(lines.begin(), lines.end());
            out += t.name.toStdString() + "\n";
            for (const auto& l : lines)
                out += l + "\n";
        }
        return out;
    }
    bool served()
    {
        const Row r = s->db->rows(QStringLiteral("SELECT CDFILIAL, NRPEDIDO, NRITEMPED FROM ITEMPEDIDO ORDER BY 1, 2, 3")).at(0);
        return s->call(tok, "GetToTiComi", {r[0].toString().toStdString(), r[1].toString().toStdString(), r[2].toString().toStdString()})
            .contains("result");
    }

    // Fails the write's Nth database call (the session check counts too),
    // from N = 1 on, in each way, until the write has fewer calls than N.
    // Returns the number of database calls of one whole run.
    long sweep(const std::string& what, const std::function<json()>& write)
    {
        const auto before = take();
        const json clean = write();
        EXPECT_TRUE(clean.contains("result")) << what << ": " << clean.dump();
        const std::string expected = text(take(), false);
        EXPECT_NE(expected, text(before, false)) << what << " wrote nothing";
        restore(before);
        const std::string original = text(before, true);
        // Which way a call fails decides only what the server does next, not
        // what the database does: on Firebird (slow to compare) one way will do.
        const std::vector<Kind> kinds = s->firebird() ? std::vector<Kind>{Kind::Io}
                                                      : std::vector<Kind>{Kind::Io, Kind::Busy, Kind::Constraint};
        for (long n = 1; n < 5000; ++n) {
            for (Kind kind : kinds) {
                const char* name = kind == Kind::Io ? "I/O" : kind == Kind::Busy ? "busy" : "constraint";
                SCOPED_TRACE(what + ", " + name + " at call " + std::to_string(n));
                testsupport::faults::arm(n, kind);
                const json answer = write();
                const bool fired = testsupport::faults::fired();
                testsupport::faults::disarm();
                if (!fired) { // the write needs fewer calls: done
                    EXPECT_TRUE(answer.contains("result")) << answer.dump();
                    EXPECT_EQ(text(take(), false), expected);
                    restore(before);
                    return n - 1;
                }
                if (!answer.contains("error")) {
                    ADD_FAILURE() << "not refused: " << answer.dump();
                    return 0;
                }
                EXPECT_EQ(answer["error"]["code"], -32000);
                const std::string msg = answer["error"].value("message", std::string());
                if (msg != kAuthDown) {
                    if (kind == Kind::Io)
                        EXPECT_NE(msg.find(kDetailsLogged), std::string::npos) << msg;
                    else
                        EXPECT_EQ(msg, kConflict);
                }
                EXPECT_EQ(text(take(), true), original);
                EXPECT_TRUE(served());
            }
            // a passing lock: the write is run again and gets through once
            SCOPED_TRACE(what + ", busy once at call " + std::to_string(n));
            testsupport::faults::arm(n, Kind::Busy, true);
            const json answer = write();
            testsupport::faults::disarm();
            if (answer.contains("result")) {
                EXPECT_EQ(text(take(), false), expected);
                restore(before);
            } else { // the session check itself (not run again)
                EXPECT_EQ(answer["error"].value("message", std::string()), kAuthDown) << answer.dump();
                EXPECT_EQ(text(take(), true), original);
            }
        }
        ADD_FAILURE() << what << " never got through";
        return 0;
    }

    std::unique_ptr<TestServer> s;
    std::string tok;
    std::vector<Table> tables;
};

TEST_F(Faults, EveryWriteFailingAtEachDatabaseCallLeavesTheDataAndServesTheNextCall)
{
    // an order of a branch that changes by line, without payables, whose
    // items are all open, with one line of one salesman on each item
    const auto orders = s->db->rows(QStringLiteral(
        "SELECT P.CDFILIAL, P.NRPEDIDO, P.CDVENDEDOR, P.DTENTPED FROM PEDIDO P JOIN PAREXPEDICAO X ON X.CDFILIAL = P.CDFILIAL "
        "WHERE X.IDCOMISPERIODO = 'N' AND NOT EXISTS (SELECT 1 FROM CONTAPAGA C WHERE C.CDFILIAL = P.CDFILIAL AND "
        "C.NRPEDIDO = P.NRPEDIDO) AND NOT EXISTS (SELECT 1 FROM ITEMPEDIDO J WHERE J.CDFILIAL = P.CDFILIAL AND "
        "J.NRPEDIDO = P.NRPEDIDO AND J.IDSITITEMPED NOT IN ('1', '2', '3')) AND (SELECT COUNT(*) FROM ITEMPEDIDO I "
        "WHERE I.CDFILIAL = P.CDFILIAL AND I.NRPEDIDO = P.NRPEDIDO) >= 3 ORDER BY P.CDFILIAL, P.NRPEDIDO"));
    ASSERT_FALSE(orders.empty());
    const QString branch = orders[0][0].toString(), order = orders[0][1].toString();
    const std::string b = branch.toStdString(), o = order.toStdString(), orderSalesman = orders[0][2].toString().toStdString();
    const auto items = s->db->rows(QStringLiteral("SELECT NRITEMPED, DTENTITPED, IDITPEDDIFER FROM ITEMPEDIDO WHERE "
                                                  "CDFILIAL = ? AND NRPEDIDO = ? ORDER BY NRITEMPED"),
                                   {branch, order});
    const std::string a = items[0][0].toString().toStdString(), c = items[1][0].toString().toStdString();
    s->db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ?"), {branch, order});
    for (const Row& i : items) // a percentage no rule gives, so that a recalculation writes
        s->db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) "
                                   "VALUES (?, ?, ?, '0002', 0.37)"),
                    {branch, order, i[0]});
    auto line = [&](const std::string& item, const std::string& v, double pct) { return json{b, o, item, v, "", pct}; };
    auto lines = [&](const json& changes) { return json{{"fields", commissionLineFields()}, {"changes", changes}}; };
    std::map<std::string, long> calls;

    calls["SetVendedor"] = sweep("SetVendedor", [&] {
        return s->call(tok, "SetVendedor",
                       {lines({{{"op", "modify"}, {"old", line(a, "0002", 0.37)}, {"new", line(a, "0002", 1.5)}},
                               {{"op", "insert"}, {"new", line(a, "0003", 2.25)}},
                               {{"op", "delete"}, {"old", line(c, "0002", 0.37)}}}),
                        "ADM", false, "1"});
    });
    calls["SetVendedor (all items)"] = sweep("SetVendedor, every item", [&] {
        return s->call(tok, "SetVendedor",
                       {lines({{{"op", "modify"}, {"old", line(a, "0002", 0.37)}, {"new", line(a, "0002", 4.0)}},
                               {{"op", "insert"}, {"new", line(a, "0003", 1.25)}}}),
                        "ADM", true, "1"});
    });
    const json orderFields = json::array({{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                                          {{"name", "NRPEDIDO"}, {"type", "string"}, {"size", 10}},
                                          {{"name", "CDVENDEDOR"}, {"type", "string"}, {"size", 4}}});
    const std::string otherSalesman = orderSalesman == "0005" ? "0006" : "0005";
    calls["SetPedido"] = sweep("SetPedido", [&] {
        return s->call(tok, "SetPedido",
                       {json{{"fields", orderFields},
                             {"changes", {{{"op", "modify"}, {"old", {b, o, orderSalesman}}, {"new", {b, o, otherSalesman}}}}}},
                        "ADM"});
    });
    const json itemFields = json::array({{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                                         {{"name", "NRPEDIDO"}, {"type", "string"}, {"size", 10}},
                                         {{"name", "NRITEMPED"}, {"type", "string"}, {"size", 10}},
                                         {{"name", "DTENTITPED"}, {"type", "datetime"}},
                                         {{"name", "IDITPEDDIFER"}, {"type", "string"}, {"size", 1}}});
    const json itemOld = {b, o, a, items[0][1].isNull() ? json(nullptr) : json(items[0][1].toDouble()),
                          items[0][2].toString().toStdString()};
    json itemNew = itemOld;
    itemNew[3] = 46100.0;
    itemNew[4] = itemOld[4] == "P" ? "S" : "P";
    calls["SetItemPedido"] = sweep("SetItemPedido", [&] {
        return s->call(tok, "SetItemPedido", json::array({json{{"fields", itemFields}, {"changes", {{{"op", "modify"}, {"old", itemOld}, {"new", itemNew}}}}}}));
    });
    calls["SetCancelaComissaoPed S"] = sweep("SetCancelaComissaoPed S", [&] { return s->call(tok, "SetCancelaComissaoPed", {o, b, "S"}); });
    calls["SetCancelaComissaoPed N"] = sweep("SetCancelaComissaoPed N", [&] { return s->call(tok, "SetCancelaComissaoPed", {o, b, "N"}); });
    const double day = std::floor(orders[0][3].toDouble());
    calls["SetBuscaComissao"] = sweep("SetBuscaComissao", [&] { return s->call(tok, "SetBuscaComissao", {day - 3, day + 3}); });
    for (const auto& [m, n] : calls) {
        EXPECT_GT(n, 3) << m;
        std::printf("%s: %ld database calls, each failed in %s\n", m.c_str(), n, s->firebird() ? "one way" : "three ways");
    }
}

// A write held up past the call's timeout (as by another writer's lock that
// the database waits on without looking at the clock) answers that it timed
// out and leaves nothing: not even when the hold-up was its last statement
// before the commit.
TEST(FaultsTimeout, AWriteHeldUpPastItsTimeoutIsNotCommitted)
{
    srv::ServerOptions opt;
    opt.callTimeout = 1;
    TestServer s(60, 17, opt);
    const std::string tok = s.token();
    const auto r = s.db->rows(QStringLiteral("SELECT I.CDFILIAL, I.NRPEDIDO, I.NRITEMPED FROM ITEMPEDIDO I JOIN PAREXPEDICAO P "
                                             "ON P.CDFILIAL = I.CDFILIAL WHERE I.IDSITITEMPED = '1' AND P.IDCOMISPERIODO = 'N' "
                                             "AND NOT EXISTS (SELECT 1 FROM CONTAPAGA C WHERE C.CDFILIAL = I.CDFILIAL AND "
                                             "C.NRPEDIDO = I.NRPEDIDO) ORDER BY 1, 2, 3"));
    ASSERT_FALSE(r.empty());
    s.db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"), {r[0][0], r[0][1], r[0][2]});
    const json set = {{"fields", commissionLineFields()},
                      {"changes", json::array({{{"op", "insert"}, {"new", json::array({r[0][0].toString().toStdString(),
                                                                                        r[0][1].toString().toStdString(),
                                                                                        r[0][2].toString().toStdString(), "0002",
                                                                                        "", 2.0})}}})}};
    auto stored = [&] { return s.checksum(QStringLiteral("COMISITEMPED")) + s.checksum(QStringLiteral("HISTCOMISSAO")); };
    const std::string before = stored();
    // how many database calls the write makes (the session check first)
    testsupport::faults::arm(1000000, Kind::Io);
    s.call(tok, "SetVendedor", json::array({set, "ADM", false, "1"}));
    const long calls = testsupport::faults::calls();
    testsupport::faults::disarm();
    ASSERT_GT(calls, 4);
    s.db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"), {r[0][0], r[0][1], r[0][2]});
    s.db->exec(QStringLiteral("DELETE FROM HISTCOMISSAO WHERE NRHIST > (SELECT MAX(NRHIST) - 1 FROM HISTCOMISSAO)"));
    ASSERT_EQ(stored(), before);
    for (long n : {calls / 2, calls - 1, calls}) { // one in the middle, the last statement, the commit
        SCOPED_TRACE("held up at call " + std::to_string(n) + " of " + std::to_string(calls));
        testsupport::faults::arm(n, Kind::Stall, true);
        const json answer = s.call(tok, "SetVendedor", json::array({set, "ADM", false, "1"}));
        testsupport::faults::disarm();
        EXPECT_EQ(answer.value("error", json::object()).value("message", std::string()), "Tempo limite excedido.") << answer.dump();
        EXPECT_EQ(stored(), before);
    }
    EXPECT_TRUE(s.call(tok, "SetVendedor", json::array({set, "ADM", false, "1"})).contains("result"));
}

// Sign-in and sign-out write the session table: a failing database is said
// as such, never as a wrong password or an invalid session, and nothing of
// the failed attempt stays.
TEST_F(Faults, SessionsWithAFailingDatabaseSayItAndKeepNothing)
{
    const std::string pw = s->password(QStringLiteral("GERENTE")).toStdString();
    const auto before = take();
    for (long n = 1;; ++n) {
        ASSERT_LT(n, 100);
        SCOPED_TRACE("login, call " + std::to_string(n));
        testsupport::faults::arm(n, Kind::Io);
        auto r = s->login(QStringLiteral("GERENTE"), QString::fromStdString(pw));
        const bool fired = testsupport::faults::fired();
        testsupport::faults::disarm();
        ASSERT_TRUE(r);
        if (!fired) {
            EXPECT_EQ(r->status, 200);
            break;
        }
        EXPECT_EQ(r->status, 503);
        EXPECT_EQ(json::parse(r->body)["error"], "Banco de dados indisponível.");
        EXPECT_EQ(text(take(), true), text(before, true));
    }
    const std::string other = s->token(QStringLiteral("GERENTE"));
    ASSERT_FALSE(other.empty());
    testsupport::faults::arm(1, Kind::Io);
    auto r = s->client->Delete("/session", {{"Authorization", "Bearer " + other}});
    testsupport::faults::disarm();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 503);
    EXPECT_TRUE(s->call(other, "GetFiltraVend", json::array()).contains("result")); // still signed in
    r = s->client->Delete("/session", {{"Authorization", "Bearer " + other}});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 204);
    EXPECT_TRUE(s->call(other, "GetFiltraVend", json::array()).contains("http"));
}

// What the server writes on its standard error while fn runs.
std::string capturedLog(const std::function<void()>& fn)
{
    std::fflush(stderr);
    FILE* tmp = std::tmpfile();
    const int saved = dup(fileno(stderr));
    dup2(fileno(tmp), fileno(stderr));
    fn();
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::string out;
    std::rewind(tmp);
    for (int ch; (ch = std::fgetc(tmp)) != EOF;)
        out += static_cast<char>(ch);
    std::fclose(tmp);
    return out;
}

// A write fails and so does its rollback: the rollback's failure is on the
// log, the connection that held the transaction is closed (its locks with
// it), nothing of the write stays and the next writes go through.
TEST_F(Faults, AFailedRollbackIsLoggedAndItsConnectionIsNotUsedAgain)
{
    const auto r = s->db->rows(QStringLiteral("SELECT NRPEDIDO, CDFILIAL FROM PEDIDO WHERE IDCANCCOMISPED <> 'S' "
                                              "ORDER BY 2, 1"));
    ASSERT_FALSE(r.empty());
    const std::string o = r[0][0].toString().toStdString(), b = r[0][1].toString().toStdString();
    bool seen = false;
    for (long n = 1; n < 200 && !seen; ++n) {
        // a fault after the commit leaves the write done: compare with the state before each call
        const auto before = take();
        json answer;
        testsupport::faults::arm(n, Kind::Io, true);
        testsupport::faults::failNextRollback();
        const std::string log = capturedLog([&] { answer = s->call(tok, "SetCancelaComissaoPed", {o, b, "S"}); });
        const bool fired = testsupport::faults::fired();
        testsupport::faults::disarm();
        ASSERT_TRUE(fired) << "the write never reached its transaction";
        seen = log.find("Falha ao desfazer transação: disk I/O error") != std::string::npos;
        if (!seen)
            continue; // the failed call came before the transaction

        EXPECT_TRUE(answer.contains("error")) << answer.dump();
        EXPECT_EQ(text(take(), true), text(before, true));
    }
    ASSERT_TRUE(seen);
    for (int i = 0; i < 4; ++i) { // every worker thread's connection writes again
        EXPECT_TRUE(s->call(tok, "SetCancelaComissaoPed", {o, b, i % 2 ? "N" : "S"}).contains("result"));
        EXPECT_TRUE(served());
    }
}

} // namespace
