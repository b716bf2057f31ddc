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
#include <optional>
#include <thread>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace peddb {

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

// What a test or a benchmark may watch or break in every connection; the
// programs set none. Its methods run on the calling connection's thread.
class DbProbe {
public:
    virtual ~DbProbe() = default;
    // Before each database call a call makes (not a new connection's own
    // setup): a driver's error text makes it fail with that text.
    virtual std::optional<QString> beforeCall() { return std::nullopt; }
    // Whether this rollback fails, as a lost disk would make it.
    virtual bool failRollback() { return false; }
    // Each packet query, as run.
    virtual void packetQuery(const QString& /*sql*/, const QVariantList& /*params*/) {}
};
// Installs (or with nullptr removes) the one probe.
void setDbProbe(DbProbe* probe);

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
    bool closed() const { return m_closed; }

    // Calls past this moment fail with DbTimeout.
    void setDeadline(std::chrono::steady_clock::time_point t) { m_deadline = t; }
    void clearDeadline() { m_deadline = {}; }
    bool pastDeadline() const;
    bool hasDeadline() const { return m_deadline != std::chrono::steady_clock::time_point{}; }

    bool ping();
    sqlite3* sqliteHandle() const { return m_sqlite; }

private:
    // Prepares, binds and runs; a failure names what failed.
    QSqlQuery run(const QString& sql, const QVariantList& params, const QString& failure);
    void nativePacket(const QString& sql, const QVariantList& params, const std::vector<fw::FieldDef>& fields,
                      std::string& out);
    // Prepared once per connection, reset and bound anew.
    sqlite3_stmt* nativeStatement(const QString& sql, const QVariantList& params, const QString& failure);
    std::vector<Row> nativeRows(const QString& sql, const QVariantList& params);
    int nativeExec(const QString& sql, const QVariantList& params);
    // Resets a stepped statement; throws unless it ran to its end (rc).
    void finishStatement(sqlite3_stmt* st, int rc, const QString& failure);
    void flushPiece(std::string& out, size_t rows, bool last = false);
    [[noreturn]] void fail(const QString& what, const QString& detail);
    // Where a probe may make the call fail.
    void faultPoint(const QString& what);

    DbUrl m_url;
    QString m_name;
    QSqlDatabase m_db;
    sqlite3* m_sqlite = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> m_stmts;
    bool m_closed = false;
    bool m_opening = false; // its own setup statements are no call's database calls
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

} // namespace peddb
