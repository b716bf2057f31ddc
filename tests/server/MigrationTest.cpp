// Schema versions: a database of the previous version, made by its own
// checked-in script, is upgraded with every row kept; a newer one is refused.
#include "support/ServerFixture.h"

#include "db/Migrations.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <map>

using namespace testsupport;

namespace {

const char* kV1Password = "uzu7-uz32-mzuk-sfnr"; // of the fixture's operators

const char* kTables[] = {"FILIAL", "OPERADOR", "SESSAO", "TENTLOGIN", "MODULOFILIAL", "PARAMGERAL", "OPERTPED",
                         "PARAMPEDIDO", "PAREXPEDICAO", "VENDEDOR", "PAIS", "MUNICIPIO", "CLIENTE", "ENDECLIE",
                         "PRODUTO", "PRODFILI", "PEDIDO", "ITEMPEDIDO", "COMISITEMPED", "REGRACOMISSAO", "NOTAFISCAL",
                         "HISTCOMISSAO"};

// A database of version 1, in SQLite or (PED_TEST_FIREBIRD) Firebird.
struct V1Database {
    QTemporaryDir dir;
    srv::DbUrl url;
    explicit V1Database(const QString& extra = {})
    {
        url = TestServer::testDatabase(dir);
        const bool fb = url.dialect == srv::Dialect::Firebird;
        QFile f(QStringLiteral(PED_SOURCE_DIR "/tests/server/data/schema_v1_%1.sql").arg(fb ? "firebird" : "sqlite"));
        if (!f.open(QIODevice::ReadOnly))
            throw std::runtime_error("fixture missing");
        srv::Db db(url, QStringLiteral("v1"));
        db.execScript(QString::fromUtf8(f.readAll()));
        if (!extra.isEmpty())
            db.execScript(extra);
    }
    ~V1Database()
    {
        if (url.dialect == srv::Dialect::Firebird)
            TestServer::dropFirebird(url);
    }
    bool firebird() const { return url.dialect == srv::Dialect::Firebird; }
};

// Every row of the fixture's tables, as text in key order.
std::map<std::string, std::vector<std::string>> contents(const srv::DbUrl& url)
{
    srv::Db db(url, QStringLiteral("contents"));
    std::map<std::string, std::vector<std::string>> out;
    for (const char* t : kTables) {
        // the columns of version 1 only: later versions add their own
        const auto cols = db.rows(url.dialect == srv::Dialect::SQLite
                                      ? QStringLiteral("SELECT name FROM pragma_table_info('%1') WHERE name NOT IN "
                                                       "('IDTROCASENHA', 'IDATIVO') ORDER BY cid").arg(QLatin1String(t))
                                      : QStringLiteral("SELECT TRIM(RDB$FIELD_NAME) FROM RDB$RELATION_FIELDS WHERE "
                                                       "RDB$RELATION_NAME = '%1' AND RDB$FIELD_NAME NOT IN "
                                                       "('IDTROCASENHA', 'IDATIVO') ORDER BY RDB$FIELD_POSITION").arg(QLatin1String(t)));
        QStringList names;
        for (const auto& c : cols)
            names << c[0].toString();
        auto& rows = out[t];
        for (const auto& r : db.rows(QStringLiteral("SELECT %1 FROM %2").arg(names.join(QLatin1Char(',')), QLatin1String(t)))) {
            std::string line;
            for (const auto& v : r)
                line += (v.isNull() ? std::string("<null>") : v.toString().toStdString()) + "|";
            rows.push_back(line);
        }
        std::sort(rows.begin(), rows.end());
    }
    return out;
}

int version(const srv::DbUrl& url)
{
    srv::Db db(url, QStringLiteral("version"));
    return peddb::schemaVersion(db);
}

} // namespace

TEST(Migration, VersionOneIsUpgradedWithEveryRowKeptAfterACopyAndServesLogins)
{
    V1Database v1;
    EXPECT_EQ(version(v1.url), 1);
    const auto before = contents(v1.url);
    size_t rows = 0;
    for (const auto& [t, r] : before)
        rows += r.size();
    ASSERT_EQ(rows, 29u); // every INSERT of the script

    const auto r = peddb::upgrade(v1.url, {v1.dir.path(), {}});
    EXPECT_EQ(r.from, 1);
    EXPECT_EQ(r.to, peddb::latestVersion());
    EXPECT_EQ(version(v1.url), peddb::latestVersion());
    EXPECT_EQ(contents(v1.url), before);
    // the copy holds the database as it was
    ASSERT_TRUE(QFile::exists(r.backup)) << r.backup.toStdString();
    EXPECT_TRUE(r.backup.startsWith(v1.dir.path()));
    if (!v1.firebird()) {
        const auto copy = srv::DbUrl::parse(QStringLiteral("sqlite:") + r.backup);
        EXPECT_EQ(version(copy), 1);
        EXPECT_EQ(contents(copy), before);
    }

    {
        srv::Db db(v1.url, QStringLiteral("check"));
        // new columns take their defaults on the old rows
        for (const auto& row : db.rows(QStringLiteral("SELECT IDTROCASENHA, IDATIVO FROM OPERADOR"))) {
            EXPECT_EQ(row[0].toString(), QStringLiteral("N"));
            EXPECT_EQ(row[1].toString(), QStringLiteral("S"));
        }
        EXPECT_EQ(db.scalar(QStringLiteral("SELECT COUNT(*) FROM AUDITPEDIDO")).toInt(), 0);
    }

    // again: nothing to do, no copy
    const auto again = peddb::upgrade(v1.url, {v1.dir.path(), {}});
    EXPECT_EQ(again.from, again.to);
    EXPECT_TRUE(again.backup.isEmpty());

    // the upgraded database serves: a login and a call with its token
    srv::ServerOptions opt;
    opt.db = v1.url;
    opt.logLevel = srv::LogLevel::Error;
    srv::AppServer server(opt);
    const int port = server.bind();
    std::thread t([&] { server.run(); });
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(60, 0);
    auto login = c.Post("/session", json{{"operator", "ADM"}, {"password", kV1Password}}.dump(), "application/json");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->status, 200) << login->body;
    auto wrong = c.Post("/session", json{{"operator", "VEND01"}, {"password", "errada-errada"}}.dump(), "application/json");
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 401);
    server.stop();
    t.join();
}

TEST(Migration, AFlagAddedByAnOlderServerAndAFailedScriptAreHandled)
{
    // servers of version 1 added the forced-change flag on their first login
    {
        V1Database v1(QStringLiteral("ALTER TABLE OPERADOR ADD IDTROCASENHA CHAR(1) DEFAULT 'N' NOT NULL;\n"
                                     "UPDATE OPERADOR SET IDTROCASENHA = 'S' WHERE CDOPERADOR = 'VEND01';\n"));
        const auto before = contents(v1.url);
        EXPECT_EQ(peddb::upgrade(v1.url, {v1.dir.path(), {}}).to, peddb::latestVersion());
        EXPECT_EQ(contents(v1.url), before);
        srv::Db db(v1.url, QStringLiteral("check"));
        EXPECT_EQ(db.scalar(QStringLiteral("SELECT IDTROCASENHA FROM OPERADOR WHERE CDOPERADOR = 'VEND01'")).toString(),
                  QStringLiteral("S"));
    }
    // a script that fails halfway leaves the database as it was, and says so
    {
        V1Database v1(QStringLiteral("CREATE INDEX IX_SESSAO_EXPIRA ON SESSAO (NREXPIRA);\n"));
        const auto before = contents(v1.url);
        try {
            peddb::upgrade(v1.url, {v1.dir.path(), {}});
            ADD_FAILURE() << "upgrade succeeded";
        } catch (const srv::DbError& e) {
            EXPECT_TRUE(e.text().contains(QStringLiteral("versão 2"))) << e.what();
        }
        EXPECT_EQ(version(v1.url), 1);
        EXPECT_EQ(contents(v1.url), before);
        srv::Db db(v1.url, QStringLiteral("check"));
        EXPECT_THROW(db.scalar(QStringLiteral("SELECT COUNT(*) FROM AUDITPEDIDO")), srv::DbError);
        EXPECT_THROW(db.scalar(QStringLiteral("SELECT COUNT(IDTROCASENHA) FROM OPERADOR")), srv::DbError);
    }
}

TEST(Migration, ANewerDatabaseIsRefusedByTheServerAndLeftAlone)
{
    QTemporaryDir dir;
    const srv::DbUrl url = TestServer::testDatabase(dir);
    {
        srv::Db db(url, QStringLiteral("gen"));
        peddb::GenOptions g;
        g.orders = 5;
        peddb::generate(db, g);
        EXPECT_EQ(peddb::schemaVersion(db), peddb::latestVersion());
        peddb::recordVersion(db, peddb::latestVersion() + 1);
    }
    EXPECT_THROW(peddb::upgrade(url, {dir.path(), {}}), peddb::NewerSchema);
    EXPECT_EQ(version(url), peddb::latestVersion() + 1);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.bak"), QStringLiteral("*.fbk")}).isEmpty());

    if (url.dialect == srv::Dialect::SQLite) {
        QProcess server;
        server.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ped-server"),
                     {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"),
                      QStringLiteral("sqlite:") + url.path});
        ASSERT_TRUE(server.waitForFinished(30000));
        EXPECT_EQ(server.exitCode(), 1);
        const QString err = QString::fromUtf8(server.readAllStandardError());
        EXPECT_TRUE(err.contains(QStringLiteral("mais nova que a versão %1").arg(peddb::latestVersion()))) << err.toStdString();
        EXPECT_FALSE(QString::fromUtf8(server.readAllStandardOutput()).contains(QStringLiteral("listening")));
    }
    if (url.dialect == srv::Dialect::Firebird)
        TestServer::dropFirebird(url);
}
