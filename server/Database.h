#pragma once

#include "core/DbConnection.h"
#include "core/RecordSet.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace srv {

using fw::DbUrl;
using fw::Dialect;

// A database failure; text() names what failed without values or SQL.
class DbError : public std::runtime_error {
public:
    // shown: what a client may read; text (with the driver's detail) is for
    // the server's log.
    explicit DbError(const QString& text, const QString& shown = {})
        : std::runtime_error(text.toStdString()), m_text(text), m_shown(shown.isEmpty() ? text : shown)
    {
    }
    const QString& text() const { return m_text; }
    const QString& shown() const { return m_shown; }

private:
    QString m_text;
    QString m_shown;
};

// Another transaction holds or changed the rows this one writes; the same
// work may succeed when run again.
class DbConflict : public DbError {
public:
    using DbError::DbError;
};

// The call ran past its deadline.
class DbTimeout : public DbError {
public:
    DbTimeout() : DbError(QStringLiteral("Tempo limite excedido.")) {}
};

using Row = std::vector<QVariant>;

#ifdef PED_FAULT_INJECTION
// Test builds only: make database calls fail as the real ones do, to see that
// every way a call can fail leaves the data whole and the server serving.
namespace faults {
// Stall: the call is held up for 1.5 s (as by another writer's lock), then runs.
enum class Kind { Io, Busy, Constraint, Stall };
// From the nth database call after this on, every call fails with the kind's
// error (with once, only the nth), until disarmed.
void arm(long n, Kind kind, bool once = false);
void disarm();
bool fired();
long calls(); // database calls since armed
// The next rollback fails as a lost disk would make it.
void failNextRollback();
} // namespace faults
#endif

// One connection, used by one thread.
class Db {
public:
    Db(const DbUrl& url, const QString& connectionName);
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    Dialect dialect() const { return m_url.dialect; }
    QSqlDatabase& qdb() { return m_db; }

    // While set, packets are written in the streamed (line) form and handed
    // to it in pieces as rows are read; it empties what it is given.
    std::function<void(std::string& piece)> streamOut;

    // A SELECT streamed into a data packet with these fields (in column order).
    void packet(const QString& sql, const QVariantList& params, const std::vector<fw::FieldDef>& fields,
                std::string& out);
    std::vector<Row> rows(const QString& sql, const QVariantList& params = {});
    QVariant scalar(const QString& sql, const QVariantList& params = {});
    int exec(const QString& sql, const QVariantList& params = {});
    void execScript(const QString& script); // statements separated by ";" at line ends

    void begin();
    void commit();
    // A rollback that fails closes the connection (closing discards the
    // transaction) and throws; the pool then opens a new one.
    void rollback();
    bool inTransaction() const { return m_inTx; }
    bool closed() const { return m_closed; }

    // Calls past this moment fail with DbTimeout.
    void setDeadline(std::chrono::steady_clock::time_point t) { m_deadline = t; }
    void clearDeadline() { m_deadline = {}; }
    bool pastDeadline() const;
    bool hasDeadline() const { return m_deadline != std::chrono::steady_clock::time_point{}; }

    bool ping();
    sqlite3* sqliteHandle() const { return m_sqlite; }
    // The text of the last packet query (benchmarks compare with it).
    const QString& lastPacketSql() const { return m_lastSql; }
    const QVariantList& lastPacketParams() const { return m_lastParams; }

private:
    // Prepares, binds and runs; a failure names what failed.
    QSqlQuery run(const QString& sql, const QVariantList& params, const QString& failure);
    void nativePacket(const QString& sql, const QVariantList& params, const std::vector<fw::FieldDef>& fields,
                      std::string& out);
    // Prepared once per connection, reset and bound anew.
    sqlite3_stmt* nativeStatement(const QString& sql, const QVariantList& params, const QString& failure);
    std::vector<Row> nativeRows(const QString& sql, const QVariantList& params);
    int nativeExec(const QString& sql, const QVariantList& params);
    void flushPiece(std::string& out, size_t rows, bool last = false);
    [[noreturn]] void fail(const QString& what, const QString& detail);
#ifdef PED_FAULT_INJECTION
    void faultPoint(const QString& what);
#else
    void faultPoint(const QString&) {}
#endif

    DbUrl m_url;
    QString m_name;
    QSqlDatabase m_db;
    sqlite3* m_sqlite = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> m_stmts;
    bool m_inTx = false;
    bool m_closed = false;
    bool m_opening = false; // its own setup statements are no call's database calls
    QString m_lastSql;
    QVariantList m_lastParams;
    std::chrono::steady_clock::time_point m_deadline{};
};

// A rollback that failed, on the server's log (it happens in a destructor,
// where nobody else can hear of it).
void logRollbackFailure(const char* what);

// Rolls back unless committed: every early return or exception undoes the work.
class Transaction {
public:
    explicit Transaction(Db& db) : m_db(db) { m_db.begin(); }
    ~Transaction()
    {
        if (!m_done) {
            try {
                m_db.rollback();
            } catch (const std::exception& e) {
                logRollbackFailure(e.what());
            }
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit()
    {
        m_db.commit();
        m_done = true;
    }

private:
    Db& m_db;
    bool m_done = false;
};

// One connection per thread on one database.
class DbPool {
public:
    explicit DbPool(DbUrl url) : m_url(std::move(url)) {}
    ~DbPool();
    Db& get();
    const DbUrl& url() const { return m_url; }

private:
    DbUrl m_url;
    std::mutex m_mutex;
    std::unordered_map<std::thread::id, std::unique_ptr<Db>> m_conns;
};

} // namespace srv
