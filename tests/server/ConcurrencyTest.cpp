// Several clients sending overlapping change sets on the same items at once:
// each set is applied whole or refused whole, nothing is lost, and the
// stored lines are what the audit trail says happened, in commit order.
#include "support/ServerFixture.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace testsupport;

namespace {

const std::string kConflict = "Registro alterado por outro usuário. Recarregue os dados.";


struct Key {
    std::string branch, order, item;
    auto operator<=>(const Key&) const = default;
};
using Lines = std::map<std::string, long long>; // salesman -> percentage in hundredths

long long hundredths(double v)
{
    return std::llround(v * 100.0);
}

TEST(Concurrency, OverlappingChangeSetsAreWholeOrRefusedAndNothingIsLost)
{
    TestServer s(300, 21);
    const int clients = 8, perClient = qEnvironmentVariableIntValue("PED_CONCURRENCY_SETS") > 0
        ? qEnvironmentVariableIntValue("PED_CONCURRENCY_SETS")
        : 60;
    // open items of orders without payables, in a branch that changes by line
    auto rows = s.db->rows(QStringLiteral(
        "SELECT I.CDFILIAL, I.NRPEDIDO, I.NRITEMPED FROM ITEMPEDIDO I JOIN PAREXPEDICAO P ON P.CDFILIAL = I.CDFILIAL "
        "WHERE I.IDSITITEMPED IN ('1','2','3') AND P.IDCOMISPERIODO = 'N' AND NOT EXISTS (SELECT 1 FROM CONTAPAGA C "
        "WHERE C.CDFILIAL = I.CDFILIAL AND C.NRPEDIDO = I.NRPEDIDO) ORDER BY I.CDFILIAL, I.NRPEDIDO, I.NRITEMPED"));
    ASSERT_GE(rows.size(), 10u);
    rows.resize(10);
    auto salesmen = s.db->rows(QStringLiteral("SELECT CDVENDEDOR FROM VENDEDOR WHERE IDGERACOMISVEND = 'S' "
                                              "ORDER BY CDVENDEDOR"));
    ASSERT_GE(salesmen.size(), 3u);
    salesmen.resize(3);
    std::vector<Key> items;
    std::map<Key, Lines> initial;
    for (const auto& r : rows) {
        const Key k{r[0].toString().toStdString(), r[1].toString().toStdString(), r[2].toString().toStdString()};
        items.push_back(k);
        s.db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"),
                   {r[0], r[1], r[2]});
        s.db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) "
                                  "VALUES (?, ?, ?, ?, 10)"),
                   {r[0], r[1], r[2], salesmen[0][0]});
        initial[k][salesmen[0][0].toString().toStdString()] = 1000;
    }
    const long long histBefore = s.db->scalar(QStringLiteral("SELECT COALESCE(MAX(NRHIST), 0) FROM HISTCOMISSAO")).toLongLong();

    struct Tally {
        int accepted = 0, conflicts = 0, business = 0, transport = 0, other = 0;
        long long auditRows = 0; // changes in the accepted sets
        std::string firstOther;
    };
    std::vector<Tally> tally(clients);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            Tally& t = tally[static_cast<size_t>(c)];
            const std::string tok = [&] {
                httplib::Client login("127.0.0.1", s.port);
                auto r = login.Post("/session", json{{"operator", "ADM"}, {"password", s.password(QStringLiteral("ADM")).toStdString()}}.dump(),
                                    "application/json");
                return r && r->status == 200 ? json::parse(r->body)["token"].get<std::string>() : std::string();
            }();
            httplib::Client cli("127.0.0.1", s.port);
            cli.set_keep_alive(true);
            cli.set_read_timeout(30, 0);
            const httplib::Headers auth{{"Authorization", "Bearer " + tok}};
            std::mt19937 rng(static_cast<unsigned>(c + 1));
            auto post = [&](const std::string& method, const json& params) -> std::optional<json> {
                auto r = cli.Post("/rpc/Ped03600.rdmComissaoVend", auth,
                                  json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", method}, {"params", params}}.dump(),
                                  "application/json");
                if (!r || r->status != 200)
                    return std::nullopt;
                return json::parse(r->body);
            };
            for (int n = 0; n < perClient; ++n) {
                // what this client saw of one or two items a moment ago
                const size_t first = rng() % items.size();
                std::vector<Key> chosen{items[first]};
                if (rng() % 3 == 0)
                    chosen.push_back(items[(first + 1 + rng() % (items.size() - 1)) % items.size()]);
                json changes = json::array();
                bool readFailed = false;
                for (const Key& k : chosen) {
                    const auto seen = post("GetLanc", json::array({k.branch, k.order, k.item}));
                    if (!seen || !seen->contains("result")) {
                        readFailed = true;
                        break;
                    }
                    Lines cur;
                    for (const auto& row : (*seen)["result"][1]["rows"])
                        cur[row[3].get<std::string>()] = hundredths(row[5].get<double>());
                    auto lineOf = [&](const std::string& v, long long h) {
                        return json::array({k.branch, k.order, k.item, v, "", static_cast<double>(h) / 100.0});
                    };
                    const std::string extra = salesmen[1 + rng() % 2][0].toString().toStdString();
                    const int kind = static_cast<int>(rng() % 10);
                    if (kind < 6) { // change a percentage, now and then past 100 in all
                        const auto& [v, h] = *std::next(cur.begin(), static_cast<long>(rng() % cur.size()));
                        const long long next = kind == 0 ? 9950 : 100 + static_cast<long long>(rng() % 3000);
                        changes.push_back({{"op", "modify"}, {"old", lineOf(v, h)}, {"new", lineOf(v, next)}});
                    } else if (kind < 8) { // add a salesman (maybe already there)
                        changes.push_back({{"op", "insert"}, {"new", lineOf(extra, 250)}});
                    } else if (cur.count(extra)) { // remove one
                        changes.push_back({{"op", "delete"}, {"old", lineOf(extra, cur[extra])}});
                    } else {
                        changes.push_back({{"op", "insert"}, {"new", lineOf(extra, 300)}});
                    }
                }
                if (readFailed) {
                    ++t.transport;
                    continue;
                }
                const auto answer = post("SetVendedor", json::array({{{"fields", commissionLineFields()}, {"changes", changes}}, "ADM", false, "1"}));
                if (!answer) {
                    ++t.transport;
                } else if (answer->contains("result")) {
                    ++t.accepted;
                    t.auditRows += static_cast<long long>(changes.size());
                } else {
                    const std::string msg = (*answer)["error"].value("message", std::string());
                    if (msg == kConflict)
                        ++t.conflicts;
                    else if ((*answer)["error"].value("code", 0) == -32000 && msg.find("100") != std::string::npos)
                        ++t.business;
                    else {
                        ++t.other;
                        if (t.firstOther.empty())
                            t.firstOther = answer->dump();
                    }
                }
            }
        });
    }
    for (auto& th : threads)
        th.join();

    Tally sum;
    for (const Tally& t : tally) {
        sum.accepted += t.accepted;
        sum.conflicts += t.conflicts;
        sum.business += t.business;
        sum.transport += t.transport;
        sum.other += t.other;
        sum.auditRows += t.auditRows;
        if (sum.firstOther.empty())
            sum.firstOther = t.firstOther;
    }
    EXPECT_EQ(sum.transport, 0);
    EXPECT_EQ(sum.other, 0) << sum.firstOther;
    EXPECT_EQ(sum.accepted + sum.conflicts + sum.business, clients * perClient);
    EXPECT_GT(sum.accepted, 0);
    EXPECT_GT(sum.conflicts, 0); // the clients did overlap
    std::printf("sent %d: accepted %d, conflicts %d, refused by rule %d\n", clients * perClient, sum.accepted,
                sum.conflicts, sum.business);

    // Replaying the audit trail in commit order from the first state gives the
    // stored lines; every change's old value is what was stored at that point.
    std::map<Key, Lines> replay = initial;
    long long audited = 0;
    for (const auto& h : s.db->rows(QStringLiteral("SELECT CDFILIAL, NRPEDIDO, NRITEMPED, IDACAO, CDVENDEDOR, VRPECOMITPEDANT, "
                                                   "VRPECOMITPED FROM HISTCOMISSAO WHERE NRHIST > ? ORDER BY NRHIST"),
                                    {histBefore})) {
        ++audited;
        Lines& l = replay[{h[0].toString().toStdString(), h[1].toString().toStdString(), h[2].toString().toStdString()}];
        const std::string v = h[4].toString().toStdString();
        const std::string act = h[3].toString().toStdString();
        if (act == "I") {
            EXPECT_EQ(l.count(v), 0u) << "added twice: " << v;
            l[v] = hundredths(h[6].toDouble());
        } else {
            ASSERT_EQ(l.count(v), 1u) << act << " of a line not stored: " << v;
            EXPECT_EQ(l[v], hundredths(h[5].toDouble())) << "lost update on " << v;
            if (act == "E")
                l.erase(v);
            else
                l[v] = hundredths(h[6].toDouble());
        }
    }
    EXPECT_EQ(audited, sum.auditRows); // every accepted change, nothing of a refused set
    std::map<Key, Lines> stored;
    for (const Key& k : items) {
        Lines& l = stored[k];
        for (const auto& r : s.db->rows(QStringLiteral("SELECT CDVENDEDOR, VRPECOMITPED FROM COMISITEMPED WHERE CDFILIAL = ? "
                                                       "AND NRPEDIDO = ? AND NRITEMPED = ?"),
                                        {QString::fromStdString(k.branch), QString::fromStdString(k.order),
                                         QString::fromStdString(k.item)}))
            l[r[0].toString().toStdString()] = hundredths(r[1].toDouble());
        long long total = 0;
        for (const auto& [v, h] : l)
            total += h;
        EXPECT_LE(total, 10000);
    }
    EXPECT_EQ(stored, replay);
}

} // namespace

namespace {

TEST(Concurrency, ACallWaitingForAnotherWriterStopsAtItsTimeoutWithNothingWritten)
{
    srv::ServerOptions opt;
    opt.callTimeout = 1;
    TestServer s(200, 5, opt);
    if (s.url.dialect != fw::Dialect::SQLite)
        GTEST_SKIP() << "Firebird waits for the other transaction itself";
    const std::string tok = s.token();
    const auto r = s.db->rows(QStringLiteral("SELECT I.CDFILIAL, I.NRPEDIDO, I.NRITEMPED FROM ITEMPEDIDO I JOIN PAREXPEDICAO P "
                                             "ON P.CDFILIAL = I.CDFILIAL WHERE I.IDSITITEMPED = '1' AND P.IDCOMISPERIODO <> 'S' "
                                             "ORDER BY 1, 2, 3"));
    ASSERT_FALSE(r.empty());
    const std::string b = r[0][0].toString().toStdString(), o = r[0][1].toString().toStdString(),
                      i = r[0][2].toString().toStdString();
    s.db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ? AND NRITEMPED = ?"),
               {r[0][0], r[0][1], r[0][2]});
    const json set = {{"fields", commissionLineFields()},
                      {"changes", json::array({{{"op", "insert"}, {"new", json::array({b, o, i, "0002", "", 2.0})}}})}};
    const std::string before = s.checksum(QStringLiteral("COMISITEMPED")) + s.checksum(QStringLiteral("HISTCOMISSAO"));

    s.db->begin(); // another writer holds the database
    const auto t0 = std::chrono::steady_clock::now();
    const json answer = s.call(tok, "SetVendedor", json::array({set, "ADM", false, "1"}));
    const auto waited = std::chrono::steady_clock::now() - t0;
    s.db->rollback();
    EXPECT_EQ(answer["error"]["message"], "Tempo limite excedido.") << answer.dump();
    EXPECT_LT(waited, std::chrono::seconds(4));
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_EQ(s.checksum(QStringLiteral("COMISITEMPED")) + s.checksum(QStringLiteral("HISTCOMISSAO")), before);
    // once the other writer is gone the same call goes through
    EXPECT_TRUE(s.call(tok, "SetVendedor", json::array({set, "ADM", false, "1"})).contains("result"));
}

} // namespace
