// Several clients sending overlapping change sets on the same items at once:
// each set is applied whole or refused whole, nothing is lost, and the
// stored lines are what the audit trail says happened, in commit order.
#include "support/ServerFixture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

// The clients' calls go to port: the server's own, or a load balancer's in
// front of several servers on its database.
void overlappingChangeSets(TestServer& s, int port)
{
    const int clients = 8, perClient = qEnvironmentVariableIntValue("PED_CONCURRENCY_SETS") > 0
        ? qEnvironmentVariableIntValue("PED_CONCURRENCY_SETS")
        : 60;
    // every item of orders whose items are all open, without payables, in a
    // branch that changes by line: about 50 items, so that writes on every
    // item of an order stay among them
    const auto orderRows = s.db->rows(QStringLiteral(
        "SELECT P.CDFILIAL, P.NRPEDIDO, P.CDVENDEDOR FROM PEDIDO P JOIN PAREXPEDICAO X ON X.CDFILIAL = P.CDFILIAL "
        "WHERE X.IDCOMISPERIODO = 'N' AND NOT EXISTS (SELECT 1 FROM CONTAPAGA C WHERE C.CDFILIAL = P.CDFILIAL AND "
        "C.NRPEDIDO = P.NRPEDIDO) AND NOT EXISTS (SELECT 1 FROM ITEMPEDIDO J WHERE J.CDFILIAL = P.CDFILIAL AND "
        "J.NRPEDIDO = P.NRPEDIDO AND J.IDSITITEMPED NOT IN ('1', '2', '3')) AND (SELECT COUNT(*) FROM ITEMPEDIDO I "
        "WHERE I.CDFILIAL = P.CDFILIAL AND I.NRPEDIDO = P.NRPEDIDO) >= 2 ORDER BY P.CDFILIAL, P.NRPEDIDO"));
    auto salesmen = s.db->rows(QStringLiteral("SELECT CDVENDEDOR FROM VENDEDOR WHERE IDGERACOMISVEND = 'S' "
                                              "ORDER BY CDVENDEDOR"));
    ASSERT_GE(salesmen.size(), 3u);
    salesmen.resize(3);
    std::vector<Key> items;
    std::vector<std::pair<std::string, std::string>> orders;
    std::map<std::pair<std::string, std::string>, std::string> orderSalesman; // at the start
    std::map<Key, Lines> initial;
    for (const auto& o : orderRows) {
        if (items.size() >= 50)
            break;
        const std::string b = o[0].toString().toStdString(), n = o[1].toString().toStdString();
        orders.emplace_back(b, n);
        orderSalesman[{b, n}] = o[2].toString().toStdString();
        s.db->exec(QStringLiteral("DELETE FROM COMISITEMPED WHERE CDFILIAL = ? AND NRPEDIDO = ?"), {o[0], o[1]});
        for (const auto& r : s.db->rows(QStringLiteral("SELECT NRITEMPED FROM ITEMPEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ? "
                                                       "ORDER BY NRITEMPED"),
                                        {o[0], o[1]})) {
            const Key k{b, n, r[0].toString().toStdString()};
            items.push_back(k);
            s.db->exec(QStringLiteral("INSERT INTO COMISITEMPED (CDFILIAL, NRPEDIDO, NRITEMPED, CDVENDEDOR, VRPECOMITPED) "
                                      "VALUES (?, ?, ?, ?, 10)"),
                       {o[0], o[1], r[0], salesmen[0][0]});
            initial[k][salesmen[0][0].toString().toStdString()] = 1000;
        }
    }
    ASSERT_GE(items.size(), 50u);
    const long long histBefore = s.db->scalar(QStringLiteral("SELECT COALESCE(MAX(NRHIST), 0) FROM HISTCOMISSAO")).toLongLong();

    // Sets written on every item carry a percentage of their own (an odd
    // number of hundredths; every other set writes even ones), so that the
    // audit rows of each can be told apart.
    struct Spread {
        long long tag;
        size_t changes;
        bool accepted;
    };
    struct OrderChange {
        std::pair<std::string, std::string> order;
        std::string from, to;
    };
    struct Tally {
        int accepted = 0, conflicts = 0, business = 0, transport = 0, other = 0;
        long long auditRows = 0; // changes in the accepted sets not written on every item
        std::vector<Spread> spreads;
        std::vector<OrderChange> orderChanges; // accepted
        int orderSets = 0;
        std::string firstOther, firstTransport;
        long long slowestMs = 0; // of the writes
    };
    std::vector<Tally> tally(clients);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            Tally& t = tally[static_cast<size_t>(c)];
            const std::string tok = [&] {
                httplib::Client login("127.0.0.1", port);
                auto r = login.Post("/session", json{{"operator", "ADM"}, {"password", s.password(QStringLiteral("ADM")).toStdString()}}.dump(),
                                    "application/json");
                return r && r->status == 200 ? json::parse(r->body)["token"].get<std::string>() : std::string();
            }();
            httplib::Client cli("127.0.0.1", port);
            cli.set_keep_alive(true);
            cli.set_read_timeout(60, 0); // longer than the server's call timeout, as the desktop waits
            const httplib::Headers auth{{"Authorization", "Bearer " + tok}};
            std::mt19937 rng(static_cast<unsigned>(c + 1));
            auto post = [&](const std::string& method, const json& params) -> std::optional<json> {
                const auto t0 = std::chrono::steady_clock::now();
                auto r = cli.Post("/rpc/Ped03600.rdmComissaoVend", auth,
                                  json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", method}, {"params", params}}.dump(),
                                  "application/json");
                const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
                if (method.rfind("Set", 0) == 0)
                    t.slowestMs = std::max(t.slowestMs, ms);
                if (!r || r->status != 200) {
                    if (t.firstTransport.empty())
                        t.firstTransport = method + ": " + (r ? "HTTP " + std::to_string(r->status) : httplib::to_string(r.error()))
                            + " after " + std::to_string(ms) + " ms";
                    return std::nullopt;
                }
                return json::parse(r->body);
            };
            // accepted, a conflict, a business refusal or something else
            auto count = [&](const std::optional<json>& answer) {
                if (!answer) {
                    ++t.transport;
                    return false;
                }
                if (answer->contains("result")) {
                    ++t.accepted;
                    return true;
                }
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
                return false;
            };
            int spreads = 0;
            for (int n = 0; n < perClient; ++n) {
                const int setKind = static_cast<int>(rng() % 10);
                if (setKind == 0) { // the order's salesman, from what this client saw of it
                    const auto& ord = orders[rng() % orders.size()];
                    OrderFilter f;
                    f.branch = ord.first;
                    f.noInterval = "F";
                    f.from = f.to = ord.second;
                    const auto seen = post("GetPedido", f.params());
                    if (!seen || !seen->contains("result") || (*seen)["result"]["rows"].size() != 1) {
                        if (seen && t.firstTransport.empty())
                            t.firstTransport = "GetPedido: " + seen->dump().substr(0, 300);
                        ++t.transport;
                        continue;
                    }
                    const std::string from = column((*seen)["result"], "CDVENDEDOR").at(0);
                    std::string to = from;
                    while (to == from)
                        to = salesmen[rng() % 3][0].toString().toStdString();
                    const json cs = {{"fields", json::array({{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                                                             {{"name", "NRPEDIDO"}, {"type", "string"}, {"size", 10}},
                                                             {{"name", "CDVENDEDOR"}, {"type", "string"}, {"size", 4}}})},
                                     {"changes", {{{"op", "modify"}, {"old", {ord.first, ord.second, from}},
                                                   {"new", {ord.first, ord.second, to}}}}}};
                    ++t.orderSets;
                    if (count(post("SetPedido", json::array({cs, "ADM"}))))
                        t.orderChanges.push_back({ord, from, to});
                    continue;
                }
                const bool everyItem = setKind <= 2;
                const long long tag = 1 + 2 * ((spreads * clients + c) % 4000);
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
                    if (kind < 6 || cur.empty()) { // change a percentage, now and then past 100 in all
                        if (cur.empty()) {
                            changes.push_back({{"op", "insert"}, {"new", lineOf(extra, everyItem ? tag : 400)}});
                            continue;
                        }
                        const auto& [v, h] = *std::next(cur.begin(), static_cast<long>(rng() % cur.size()));
                        const long long next = everyItem ? tag : kind == 0 ? 9950 : 100 + 2 * static_cast<long long>(rng() % 1500);
                        changes.push_back({{"op", "modify"}, {"old", lineOf(v, h)}, {"new", lineOf(v, next)}});
                    } else if (kind < 8 || everyItem) { // add a salesman (maybe already there)
                        changes.push_back({{"op", "insert"}, {"new", lineOf(extra, everyItem ? tag : 250)}});
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
                const bool ok = count(post("SetVendedor", json::array({{{"fields", commissionLineFields()}, {"changes", changes}}, "ADM", everyItem, "1"})));
                if (everyItem) {
                    t.spreads.push_back({tag, changes.size(), ok});
                    ++spreads;
                } else if (ok) {
                    t.auditRows += static_cast<long long>(changes.size());
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
        sum.orderSets += t.orderSets;
        sum.spreads.insert(sum.spreads.end(), t.spreads.begin(), t.spreads.end());
        sum.orderChanges.insert(sum.orderChanges.end(), t.orderChanges.begin(), t.orderChanges.end());
        if (sum.firstOther.empty())
            sum.firstOther = t.firstOther;
        if (sum.firstTransport.empty())
            sum.firstTransport = t.firstTransport;
        sum.slowestMs = std::max(sum.slowestMs, t.slowestMs);
    }
    EXPECT_EQ(sum.transport, 0) << sum.firstTransport;
    EXPECT_EQ(sum.other, 0) << sum.firstOther;
    EXPECT_EQ(sum.accepted + sum.conflicts + sum.business, clients * perClient);
    EXPECT_GT(sum.accepted, 0);
    EXPECT_GT(sum.conflicts, 0); // the clients did overlap
    const auto spreadAccepted = std::count_if(sum.spreads.begin(), sum.spreads.end(), [](const Spread& x) { return x.accepted; });
    EXPECT_GT(spreadAccepted, 0);
    EXPECT_FALSE(sum.orderChanges.empty());
    std::printf("sent %d (%zu on every item, %d order salesman changes) on %zu items of %zu orders: accepted %d, "
                "conflicts %d, refused by rule %d; slowest write %lld ms\n",
                clients * perClient, sum.spreads.size(), sum.orderSets, items.size(), orders.size(), sum.accepted,
                sum.conflicts, sum.business, sum.slowestMs);
    // Every write answered well inside the call's timeout (30 s). Writers of
    // the same orders queue up; on Firebird a waiter may still sleep until its
    // DeadlockTimeout (10 s by default) before it sees the other end.
    EXPECT_LT(sum.slowestMs, 25000);

    // Replaying the audit trail in commit order from the first state gives the
    // stored lines; every change's old value is what was stored at that point.
    std::map<Key, Lines> replay = initial;
    long long plainAudited = 0;
    std::map<long long, long long> tagged; // audit rows by the odd percentage written
    for (const auto& h : s.db->rows(QStringLiteral("SELECT CDFILIAL, NRPEDIDO, NRITEMPED, IDACAO, CDVENDEDOR, VRPECOMITPEDANT, "
                                                   "VRPECOMITPED FROM HISTCOMISSAO WHERE NRHIST > ? ORDER BY NRHIST"),
                                    {histBefore})) {
        const Key k{h[0].toString().toStdString(), h[1].toString().toStdString(), h[2].toString().toStdString()};
        ASSERT_TRUE(initial.count(k)) << "a line written outside the shared items: " << k.order << "/" << k.item;
        Lines& l = replay[k];
        const std::string v = h[4].toString().toStdString();
        const std::string act = h[3].toString().toStdString();
        if (!h[6].isNull() && hundredths(h[6].toDouble()) % 2 == 1)
            ++tagged[hundredths(h[6].toDouble())];
        else
            ++plainAudited;
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
    // every accepted change, nothing of a refused set
    EXPECT_EQ(plainAudited, sum.auditRows);
    for (const Spread& x : sum.spreads) {
        if (x.accepted)
            EXPECT_GE(tagged[x.tag], static_cast<long long>(x.changes)) << "set " << x.tag;
        else
            EXPECT_EQ(tagged[x.tag], 0) << "a refused set wrote: " << x.tag;
    }
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

    // The accepted order salesman changes chain from the first salesman to
    // the stored one: each left every salesman as often as it arrived at
    // one, but for the first (one more departure) and the last (one more arrival).
    std::map<std::pair<std::string, std::string>, std::map<std::string, int>> balance;
    for (const OrderChange& oc : sum.orderChanges) {
        --balance[oc.order][oc.from];
        ++balance[oc.order][oc.to];
    }
    for (const auto& ord : orders) {
        const std::string now = s.db->scalar(QStringLiteral("SELECT CDVENDEDOR FROM PEDIDO WHERE CDFILIAL = ? AND NRPEDIDO = ?"),
                                             {QString::fromStdString(ord.first), QString::fromStdString(ord.second)})
                                    .toString()
                                    .toStdString();
        auto& b = balance[ord];
        ++b[orderSalesman[ord]];
        --b[now];
        for (const auto& [v, d] : b)
            EXPECT_EQ(d, 0) << "order " << ord.second << ", salesman " << v;
    }
}

TEST(Concurrency, OverlappingChangeSetsAreWholeOrRefusedAndNothingIsLost)
{
    TestServer s(600, 21);
    overlappingChangeSets(s, s.port);
}

// The address a server process is given for the test's database.
QString urlText(const srv::DbUrl& u)
{
    if (u.dialect == srv::Dialect::SQLite)
        return QStringLiteral("sqlite:") + u.path;
    return QStringLiteral("firebird://%1:%2@%3%4/%5")
        .arg(u.user, u.password, u.host, u.port ? QStringLiteral(":%1").arg(u.port) : QString(), u.path.mid(u.path.startsWith(QLatin1Char('/')) ? 1 : 0));
}

// A loopback port free now (the kernel's choice), for a program that
// cannot be told to take any.
int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

// A server process on the same database, logging every call.
struct Peer {
    QProcess proc;
    QString logFile;
    int port = 0;
    Peer(const QString& db, const QString& log) : logFile(log)
    {
        // to a file: a pipe nobody reads would stop the server once full
        proc.setStandardErrorFile(logFile);
        proc.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ped-server"),
                   {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"), db,
                    QStringLiteral("--log-level"), QStringLiteral("info")});
        if (proc.waitForReadyRead(60000)) {
            const auto m = QRegularExpression(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)")).match(QString::fromUtf8(proc.readLine()));
            port = m.hasMatch() ? m.captured(1).toInt() : 0;
        }
    }
    ~Peer()
    {
        proc.terminate();
        proc.waitForFinished(20000);
    }
    // Calls it answered (one log line each).
    int calls() const
    {
        QFile f(logFile);
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        const QString log = QString::fromUtf8(f.readAll());
        return int(log.count(QStringLiteral(" method=Get")) + log.count(QStringLiteral(" method=Set")));
    }
};

// Several servers on one database behind haproxy, each request balanced on
// its own: a session made on one holds on the others, and the concurrent
// change sets keep every invariant with each client's calls spread over them.
TEST(Concurrency, SeveralServersBehindALoadBalancerKeepEveryInvariant)
{
    const int servers = qEnvironmentVariableIntValue("PED_CLUSTER_SERVERS");
    if (servers < 2)
        GTEST_SKIP() << "run by scripts/cluster-test.sh (PED_CLUSTER_SERVERS=N)";
    const QString haproxy = QStandardPaths::findExecutable(QStringLiteral("haproxy"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    ASSERT_FALSE(haproxy.isEmpty()) << "haproxy is not installed";
    TestServer s(600, 21);
    std::vector<std::unique_ptr<Peer>> peers;
    std::vector<int> ports{s.port};
    for (int i = 1; i < servers; ++i) {
        peers.push_back(std::make_unique<Peer>(urlText(s.url), s.dir.filePath(QStringLiteral("server%1.log").arg(i))));
        ASSERT_GT(peers.back()->port, 0) << "a server did not start";
        ports.push_back(peers.back()->port);
    }
    const int lb = freePort();
    QString cfg = QStringLiteral("global\n  maxconn 512\ndefaults\n  mode http\n  timeout connect 5s\n  timeout client 90s\n"
                                 "  timeout server 90s\nfrontend ped\n  bind 127.0.0.1:%1\n  default_backend servers\n"
                                 "backend servers\n  balance roundrobin\n  option httpchk GET /health\n")
                      .arg(lb);
    for (size_t i = 0; i < ports.size(); ++i)
        cfg += QStringLiteral("  server s%1 127.0.0.1:%2 check inter 1s\n").arg(i).arg(ports[i]);
    QFile f(s.dir.filePath(QStringLiteral("haproxy.cfg")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(cfg.toUtf8());
    f.close();
    QProcess balancer;
    balancer.start(haproxy, {QStringLiteral("-db"), QStringLiteral("-f"), f.fileName()});
    ASSERT_TRUE(balancer.waitForStarted(10000));
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        auto r = httplib::Client("127.0.0.1", lb).Get("/health");
        up = r && r->status == 200;
        if (!up)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(up) << balancer.readAllStandardError().toStdString();

    // a session made on one server holds on every other, and ended on one it
    // is ended on all
    const std::string tok = s.token();
    ASSERT_FALSE(tok.empty());
    const std::string order = s.db->scalar(QStringLiteral("SELECT MIN(NRPEDIDO) FROM ITEMPEDIDO WHERE CDFILIAL = '0001'")).toString().toStdString();
    auto totalOn = [&](int port) {
        httplib::Client c("127.0.0.1", port);
        auto r = c.Post("/rpc/Ped03600.rdmComissaoVend", {{"Authorization", "Bearer " + tok}},
                        json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "GetToTiComi"}, {"params", {"0001", order, "001"}}}.dump(),
                        "application/json");
        return r ? r->status : 0;
    };
    for (int port : ports)
        EXPECT_EQ(totalOn(port), 200) << port;
    {
        httplib::Client c("127.0.0.1", ports.back());
        auto r = c.Delete("/session", {{"Authorization", "Bearer " + tok}});
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 204);
    }
    for (int port : ports)
        EXPECT_EQ(totalOn(port), 401) << port;

    overlappingChangeSets(s, lb);
    // every server had its share
    for (const auto& p : peers)
        EXPECT_GT(p->calls(), 100) << "server on " << p->port;
    std::printf("%d servers behind haproxy:", servers);
    for (const auto& p : peers)
        std::printf(" %d calls on %d;", p->calls(), p->port);
    std::printf(" the rest on %d\n", s.port);
    balancer.terminate();
    balancer.waitForFinished(10000);
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
