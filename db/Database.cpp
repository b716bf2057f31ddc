#include "Database.h"

#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <sqlite3.h>

#include "core/FwError.h"
#include "core/Packet.h"

#include <atomic>
#include <cstdio>
#include <thread>

namespace peddb {

namespace {

int progress(void* p)
{
    return static_cast<const Db*>(p)->pastDeadline() ? 1 : 0;
}

// Waiting for another writer ends with the call's deadline (or after ten
// seconds outside a call), not after a fixed time of its own.
int busyWait(void* p, int count)
{
    const Db* db = static_cast<const Db*>(p);
    if (db->pastDeadline() || (!db->hasDeadline() && count >= 2000))
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(count < 10 ? 1 : 5));
    return 1;
}

std::atomic<int> g_connSeq{0};

std::atomic<DbProbe*> g_probe{nullptr};

} // namespace

void setDbProbe(DbProbe* probe)
{
    g_probe = probe;
}

void Db::faultPoint(const QString& what)
{
    // a call counts the same whichever worker, new connection or not, serves it
    DbProbe* probe = g_probe.load(std::memory_order_acquire);
    if (m_opening || !probe)
        return;
    if (const std::optional<QString> detail = probe->beforeCall())
        fail(what, *detail);
}

Db::Db(const DbUrl& url, const QString& connectionName) : m_url(url), m_name(connectionName)
{
    try {
        m_db = fw::openDatabase(url, m_name, &m_sqlite);
    } catch (const fw::Error& e) {
        throw DbError(e.text());
    }
    if (url.dialect == Dialect::SQLite) {
        sqlite3_progress_handler(m_sqlite, 1000, progress, this);
        sqlite3_busy_handler(m_sqlite, busyWait, this);
        m_opening = true;
        exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
        m_opening = false;
    }
}

Db::~Db()
{
    for (auto& [sql, st] : m_stmts)
        sqlite3_finalize(st);
    m_stmts.clear();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool Db::pastDeadline() const
{
    return m_deadline != std::chrono::steady_clock::time_point{} && std::chrono::steady_clock::now() > m_deadline;
}

void Db::fail(const QString& what, const QString& detail)
{
    if (pastDeadline())
        throw DbTimeout();
    const QString text = detail.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, detail);
    // Firebird reports a concurrent writer as an update or lock conflict, or
    // (two inserts of the same key, each checked in its own snapshot) as a
    // key violation; SQLite as a busy database once its wait ran out. The
    // writes check their keys first, so run again they refuse cleanly.
    for (const char* mark : {"update conflicts", "lock conflict", "deadlock", "database is locked",
                             "violation of PRIMARY or UNIQUE KEY", "UNIQUE constraint failed"})
        if (detail.contains(QLatin1String(mark), Qt::CaseInsensitive))
            throw DbConflict(text);
    // The driver's words can quote the statement: they stay in the log.
    throw DbError(text, what + QStringLiteral(". Os detalhes estão no registro do servidor."));
}

namespace {
// Fixed-width CHAR columns of Firebird come back blank-padded.
QString unpadded(QString s)
{
    while (s.endsWith(QLatin1Char(' ')))
        s.chop(1);
    return s;
}
} // namespace

QSqlQuery Db::run(const QString& sql, const QVariantList& params, const QString& failure)
{
    faultPoint(failure);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        fail(QStringLiteral("Falha ao preparar comando"), q.lastError().databaseText());
    for (const QVariant& v : params)
        q.addBindValue(v);
    if (!q.exec())
        fail(failure, q.lastError().databaseText());
    return q;
}

std::vector<Row> Db::rows(const QString& sql, const QVariantList& params)
{
    // SQLite's statements are prepared once per connection
    if (m_sqlite)
        return nativeRows(sql, params);
    QSqlQuery q = run(sql, params, QStringLiteral("Falha ao consultar o banco de dados"));
    std::vector<Row> out;
    const int n = q.record().count();
    const bool padded = m_url.dialect == Dialect::Firebird; // CHAR columns come back blank-padded
    while (q.next()) {
        Row r(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            QVariant v = q.value(i);
            if (padded && v.typeId() == QMetaType::QString && !v.isNull())
                v = unpadded(v.toString());
            r[static_cast<size_t>(i)] = std::move(v);
        }
        out.push_back(std::move(r));
    }
    return out;
}

QVariant Db::scalar(const QString& sql, const QVariantList& params)
{
    auto r = rows(sql, params);
    if (r.empty() || r[0].empty())
        return {};
    return r[0][0];
}

int Db::exec(const QString& sql, const QVariantList& params)
{
    if (m_sqlite)
        return nativeExec(sql, params);
    return run(sql, params, QStringLiteral("Falha ao gravar no banco de dados")).numRowsAffected();
}

void Db::execScript(const QString& script)
{
    // Statements end with ";" at a line end; PSQL blocks, which hold ";"
    // inside, end with a line holding only "^".
    QString stmt;
    auto run = [&] {
        stmt = stmt.trimmed();
        if (stmt.endsWith(QLatin1Char(';')))
            stmt.chop(1);
        if (!stmt.isEmpty()) {
            QSqlQuery q(m_db);
            if (!q.exec(stmt))
                fail(QStringLiteral("Falha ao criar o esquema"),
                     q.lastError().databaseText() + QStringLiteral(" em: ") + stmt.left(60));
        }
        stmt.clear();
    };
    for (const QString& line : script.split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1String("--")) && stmt.trimmed().isEmpty())
            continue;
        if (t == QLatin1String("^")) {
            run();
            continue;
        }
        stmt += line + QLatin1Char('\n');
        const bool block = stmt.trimmed().startsWith(QLatin1String("CREATE OR ALTER PROCEDURE"))
            || stmt.trimmed().startsWith(QLatin1String("CREATE OR ALTER FUNCTION"));
        if (!block && t.endsWith(QLatin1Char(';')))
            run();
    }
    run();
}

void Db::begin()
{
    faultPoint(QStringLiteral("Falha ao iniciar transação"));
    if (m_sqlite) {
        // Writers take the write lock first and wait for it: a transaction
        // that read before asking for it could not wait for another
        // writer's commit and would fail with "database is locked".
        if (sqlite3_exec(m_sqlite, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(QStringLiteral("Falha ao iniciar transação"), QString::fromUtf8(sqlite3_errmsg(m_sqlite)));
    } else if (!m_db.transaction()) {
        fail(QStringLiteral("Falha ao iniciar transação"), m_db.lastError().databaseText());
    }
}

void Db::commit()
{
    faultPoint(QStringLiteral("Falha ao confirmar transação"));
    // A call past its deadline has been given up by its caller (or soon will
    // be): what it wrote must not appear afterwards. A Firebird lock wait does
    // not see the deadline while it waits; this is where it is enforced.
    if (pastDeadline())
        throw DbTimeout();
    if (m_sqlite) {
        if (sqlite3_exec(m_sqlite, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(QStringLiteral("Falha ao confirmar transação"), QString::fromUtf8(sqlite3_errmsg(m_sqlite)));
    } else if (!m_db.commit()) {
        fail(QStringLiteral("Falha ao confirmar transação"), m_db.lastError().databaseText());
    }
}

void Db::rollback()
{
    QString failure;
    if (DbProbe* probe = g_probe.load(std::memory_order_acquire); probe && probe->failRollback())
        failure = QStringLiteral("disk I/O error");
    if (!failure.isEmpty()) {
    } else if (m_sqlite) {
        if (sqlite3_exec(m_sqlite, "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK)
            failure = QString::fromUtf8(sqlite3_errmsg(m_sqlite));
    } else if (!m_db.rollback()) {
        failure = m_db.lastError().databaseText();
    }
    if (failure.isEmpty())
        return;
    // What the transaction holds is unknown now: the connection is not
    // used again, and closing it discards the transaction and its locks.
    for (auto& [sql, st] : m_stmts)
        sqlite3_finalize(st);
    m_stmts.clear();
    m_db.close();
    m_sqlite = nullptr;
    m_closed = true;
    throw DbError(QStringLiteral("Falha ao desfazer transação: %1; a conexão foi fechada").arg(failure));
}

void logRollbackFailure(const char* what)
{
    const std::string when = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString();
    std::fprintf(stderr, "%s error %s\n", when.c_str(), what);
}

bool Db::ping()
{
    try {
        return scalar(m_url.dialect == Dialect::SQLite ? QStringLiteral("SELECT 1")
                                                       : QStringLiteral("SELECT 1 FROM RDB$DATABASE"))
                   .toInt()
            == 1;
    } catch (const DbError&) {
        return false;
    }
}

sqlite3_stmt* Db::nativeStatement(const QString& sql, const QVariantList& params, const QString& failure)
{
    const std::string key = sql.toStdString();
    sqlite3_stmt* st = nullptr;
    if (auto it = m_stmts.find(key); it != m_stmts.end()) {
        st = it->second;
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    } else {
        if (sqlite3_prepare_v3(m_sqlite, key.c_str(), static_cast<int>(key.size()), SQLITE_PREPARE_PERSISTENT, &st, nullptr)
            != SQLITE_OK)
            fail(QStringLiteral("Falha ao preparar comando"), QString::fromUtf8(sqlite3_errmsg(m_sqlite)));
        if (m_stmts.size() > 256) { // keep the cache bounded: lists make many texts
            for (auto& [k, s] : m_stmts)
                sqlite3_finalize(s);
            m_stmts.clear();
        }
        m_stmts.emplace(key, st);
    }
    int i = 1;
    for (const QVariant& v : params) {
        int rc = SQLITE_OK;
        if (!v.isValid() || v.isNull()) {
            rc = sqlite3_bind_null(st, i);
        } else if (v.typeId() == QMetaType::Double) {
            rc = sqlite3_bind_double(st, i, v.toDouble());
        } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
            rc = sqlite3_bind_int64(st, i, v.toLongLong());
        } else {
            const QByteArray u = v.toString().toUtf8();
            rc = sqlite3_bind_text(st, i, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            fail(failure, QString::fromUtf8(sqlite3_errmsg(m_sqlite)));
        ++i;
    }
    return st;
}

void Db::finishStatement(sqlite3_stmt* st, int rc, const QString& failure)
{
    const QString msg = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(m_sqlite));
    // reset at once: a statement left open would hold its read snapshot
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
        fail(failure, msg);
}

std::vector<Row> Db::nativeRows(const QString& sql, const QVariantList& params)
{
    const QString failure = QStringLiteral("Falha ao consultar o banco de dados");
    faultPoint(failure);
    sqlite3_stmt* st = nativeStatement(sql, params, failure);
    std::vector<Row> out;
    const int n = sqlite3_column_count(st);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        Row r(static_cast<size_t>(n));
        for (int c = 0; c < n; ++c) {
            QVariant& v = r[static_cast<size_t>(c)];
            // the values Qt's driver gives
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: v = static_cast<qlonglong>(sqlite3_column_int64(st, c)); break;
            case SQLITE_FLOAT: v = sqlite3_column_double(st, c); break;
            case SQLITE_BLOB:
                v = QByteArray(static_cast<const char*>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c));
                break;
            case SQLITE_NULL: v = QVariant(QMetaType::fromType<QString>()); break;
            default:
                v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)), sqlite3_column_bytes(st, c));
            }
        }
        out.push_back(std::move(r));
    }
    finishStatement(st, rc, failure);
    return out;
}

int Db::nativeExec(const QString& sql, const QVariantList& params)
{
    const QString failure = QStringLiteral("Falha ao gravar no banco de dados");
    faultPoint(failure);
    sqlite3_stmt* st = nativeStatement(sql, params, failure);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    finishStatement(st, rc, failure);
    return sqlite3_changes(m_sqlite);
}

void Db::packet(const QString& sql, const QVariantList& params, const std::vector<fw::FieldDef>& fields,
                std::string& out)
{
    if (DbProbe* probe = g_probe.load(std::memory_order_acquire))
        probe->packetQuery(sql, params);
    if (m_sqlite) {
        nativePacket(sql, params, fields, out);
        return;
    }
    QSqlQuery q = run(sql, params, QStringLiteral("Falha ao consultar o banco de dados"));
    fw::PacketWriter w(out, static_cast<bool>(streamOut));
    w.begin(fields);
    while (q.next()) {
        flushPiece(out, w.rows());
        w.beginRow();
        for (size_t i = 0; i < fields.size(); ++i) {
            const QVariant v = q.value(static_cast<int>(i));
            if (fields[i].type == fw::FieldType::String && !v.isNull()) {
                w.addString(unpadded(v.toString()));
            } else {
                w.addVariant(v, fields[i].type);
            }
        }
        w.endRow();
    }
    w.end();
    flushPiece(out, 0, true);
}

void Db::flushPiece(std::string& out, size_t rows, bool last)
{
    // The first rows go out at once so they can be shown; then in larger
    // pieces.
    if (streamOut && (last || rows == 80 || out.size() >= (1u << 18)))
        streamOut(out);
}

void Db::nativePacket(const QString& sql, const QVariantList& params, const std::vector<fw::FieldDef>& fields,
                      std::string& out)
{
    faultPoint(QStringLiteral("Falha ao consultar o banco de dados"));
    sqlite3_stmt* st = nativeStatement(sql, params, QStringLiteral("Falha ao consultar o banco de dados"));
    fw::PacketWriter w(out, static_cast<bool>(streamOut));
    w.begin(fields);
    const int n = static_cast<int>(fields.size());
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        flushPiece(out, w.rows());
        w.beginRow();
        for (int c = 0; c < n; ++c) {
            const int t = sqlite3_column_type(st, c);
            if (t == SQLITE_NULL) {
                w.addNull();
                continue;
            }
            switch (fields[static_cast<size_t>(c)].type) {
            case fw::FieldType::String: {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                w.addString(std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(st, c))));
                break;
            }
            case fw::FieldType::Integer: w.addInt(sqlite3_column_int64(st, c)); break;
            default: w.addDouble(sqlite3_column_double(st, c));
            }
        }
        w.endRow();
    }
    finishStatement(st, rc, QStringLiteral("Falha ao consultar o banco de dados"));
    w.end();
    flushPiece(out, 0, true);
}

DbPool::~DbPool()
{
    std::lock_guard lock(m_mutex);
    m_conns.clear();
}

Db& DbPool::get()
{
    const auto me = std::this_thread::get_id();
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_conns.find(me);
        if (it != m_conns.end() && !it->second->closed())
            return *it->second;
    }
    // Opened outside the lock: an attach to a database server takes a while,
    // and the other threads' connections must not wait for it.
    auto fresh = std::make_unique<Db>(m_url, QStringLiteral("ped-%1").arg(g_connSeq.fetch_add(1)));
    std::unique_ptr<Db> old;
    std::lock_guard lock(m_mutex);
    auto& slot = m_conns[me];
    old = std::move(slot);
    slot = std::move(fresh);
    return *slot;
}

} // namespace peddb
