// Backup while a server runs and writes, and restore: the copy is one moment
// of the database, holding exactly the writes acknowledged up to it.
#include "support/ServerFixture.h"

#include "db/Backup.h"

#include <QFile>
#include <atomic>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

constexpr int kBase = 1000000; // above the audit numbers the server gives

// Acknowledged writes, one transaction each, numbered from 1.
class Writer {
public:
    explicit Writer(const srv::DbUrl& url) : m_url(url)
    {
        m_thread = std::thread([this] { run(); });
    }
    ~Writer() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    int acked() const { return m_acked.load(); }
    void waitFor(int n) const
    {
        for (int i = 0; i < 3000 && m_acked.load() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::string error;

private:
    void run()
    {
        try {
            srv::Db db(m_url, QStringLiteral("writer"));
            for (int i = 1; !m_stop; ++i) {
                srv::Transaction tx(db);
                db.exec(QStringLiteral("INSERT INTO AUDITPEDIDO (NRAUDIT, DTHRALTER, CDOPERADOR, CDFILIAL, NRPEDIDO, DSACAO, "
                                       "DSDEPOIS) VALUES (?, ?, 'ADM', '0001', '0000000001', 'TESTE', ?)"),
                        {kBase + i, 45000.0 + i, QStringLiteral("escrita %1").arg(i)});
                tx.commit();
                m_acked = i;
            }
        } catch (const std::exception& e) {
            error = e.what();
        }
    }
    srv::DbUrl m_url;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_acked{0};
    std::thread m_thread;
};

// The stream's writes a database holds: 1..k with no gap, or -1.
int prefixHeld(srv::Db& db)
{
    const auto rows = db.rows(QStringLiteral("SELECT NRAUDIT, DSDEPOIS FROM AUDITPEDIDO WHERE DSACAO = 'TESTE' ORDER BY NRAUDIT"));
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i][0].toInt() != kBase + static_cast<int>(i) + 1
            || rows[i][1].toString() != QStringLiteral("escrita %1").arg(i + 1))
            return -1;
    return static_cast<int>(rows.size());
}

} // namespace

TEST(Backup, ACopyTakenDuringWritesRestoresWholeWithTheWritesAcknowledgedBeforeIt)
{
    TestServer s(200);
    const std::string early = s.token();
    ASSERT_FALSE(early.empty());
    const std::string lines = s.checksum(QStringLiteral("COMISITEMPED"));
    const QString file = s.dir.filePath(s.firebird() ? QStringLiteral("copia.fbk") : QStringLiteral("copia.bak"));

    Writer w(s.url);
    w.waitFor(30);
    const int before = w.acked();
    peddb::backupDatabase(s.url, file);
    const int after = w.acked();
    w.waitFor(after + 20);
    w.stop();
    ASSERT_TRUE(w.error.empty()) << w.error;
    ASSERT_GE(before, 30);
    const std::string late = s.token(); // its session is not in the copy

    // into a database of its own
    srv::DbUrl other = s.url;
    other.path = s.firebird() ? s.url.path + QStringLiteral(".restaurado.fdb") : s.dir.filePath(QStringLiteral("restaurado.db"));
    peddb::restoreDatabase(other, file);
    EXPECT_EQ(peddb::integrityCheck(other), QStringLiteral("ok"));
    int held;
    {
        srv::Db r(other, QStringLiteral("restored"));
        held = prefixHeld(r);
        EXPECT_GE(held, before);
        EXPECT_LE(held, after + 1); // the one committed as the copy began may not be acknowledged yet
        std::string restored;
        for (const auto& row : r.rows(QStringLiteral("SELECT * FROM COMISITEMPED ORDER BY 1, 2, 3"))) {
            for (const auto& v : row)
                restored += v.toString().toStdString() + "|";
            restored += "\n";
        }
        EXPECT_EQ(restored, lines);
    }
    if (s.firebird()) {
        TestServer::dropFirebird(other);
        return;
    }

    // over the live database while the server serves: its connections see
    // the copy's state at once
    EXPECT_GT(prefixHeld(*s.db), held);
    peddb::restoreDatabase(s.url, file);
    EXPECT_EQ(prefixHeld(*s.db), held);
    EXPECT_EQ(s.call(early, "GetFiltraVend", json::array()).value("http", 200), 200);
    EXPECT_EQ(s.call(late, "GetFiltraVend", json::array()).value("http", 200), 401);
    EXPECT_EQ(peddb::integrityCheck(s.url), QStringLiteral("ok"));
}

TEST(Backup, ABadCopyIsRefusedAndTheDatabaseKept)
{
    TestServer s(20);
    if (s.firebird())
        GTEST_SKIP() << "the copy's checks are SQLite's; gbak checks its own";
    const std::string lines = s.checksum(QStringLiteral("COMISITEMPED"));
    auto refused = [&](const QString& file, const QString& text) {
        try {
            peddb::restoreDatabase(s.url, file);
            ADD_FAILURE() << "restored " << file.toStdString();
        } catch (const srv::DbError& e) {
            EXPECT_TRUE(e.text().contains(text)) << e.what();
        }
        EXPECT_EQ(s.checksum(QStringLiteral("COMISITEMPED")), lines);
    };
    refused(s.dir.filePath(QStringLiteral("nao-existe.bak")), QStringLiteral("não existe"));
    QFile text(s.dir.filePath(QStringLiteral("texto.bak")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray(8192, 'x'));
    text.close();
    refused(text.fileName(), QStringLiteral("Falha ao restaurar"));
    // a database, but not the suite's
    {
        srv::Db other(srv::DbUrl::parse(QStringLiteral("sqlite:") + s.dir.filePath(QStringLiteral("outro.db"))), QStringLiteral("outro"));
        other.exec(QStringLiteral("CREATE TABLE T (A INTEGER)"));
    }
    refused(s.dir.filePath(QStringLiteral("outro.db")), QStringLiteral("não é uma cópia do banco"));
    // a backup that fails leaves no file under the name asked
    EXPECT_THROW(peddb::backupDatabase(s.url, s.dir.filePath(QStringLiteral("sem/pasta/copia.bak"))), srv::DbError);
    EXPECT_FALSE(QFile::exists(s.dir.filePath(QStringLiteral("sem/pasta/copia.bak"))));
}
