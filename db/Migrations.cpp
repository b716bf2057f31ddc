#include "Migrations.h"

#include "Backup.h"
#include "MigrationsSql.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <cstring>

namespace peddb {

namespace {

const char* dialectName(Dialect d)
{
    return d == Dialect::SQLite ? "sqlite" : "firebird";
}

bool tableExists(Db& db, const QString& table)
{
    const QString sql = db.dialect() == Dialect::SQLite
        ? QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND UPPER(name) = ?")
        : QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE TRIM(RDB$RELATION_NAME) = ?");
    return db.scalar(sql, {table.toUpper()}).toInt() > 0;
}

bool columnExists(Db& db, const QString& table, const QString& column)
{
    const QString sql = db.dialect() == Dialect::SQLite
        ? QStringLiteral("SELECT COUNT(*) FROM pragma_table_info(?) WHERE UPPER(name) = ?")
        : QStringLiteral("SELECT COUNT(*) FROM RDB$RELATION_FIELDS WHERE TRIM(RDB$RELATION_NAME) = ? "
                         "AND TRIM(RDB$FIELD_NAME) = ?");
    return db.scalar(sql, {table.toUpper(), column.toUpper()}).toInt() > 0;
}

struct Statement {
    QString text;
    QString unlessColumn; // TABLE.COLUMN: skipped when that column exists
};

// Statements end with ";" at a line end; PSQL blocks with a line holding
// only "^". "--@ unless-column T.C" before a statement skips it when the
// column is there already.
std::vector<Statement> statements(const QString& script)
{
    std::vector<Statement> out;
    Statement cur;
    QString pendingUnless;
    auto flush = [&] {
        QString t = cur.text.trimmed();
        if (t.endsWith(QLatin1Char(';')))
            t.chop(1);
        if (!t.isEmpty())
            out.push_back({t, cur.unlessColumn});
        cur = {};
    };
    for (const QString& line : script.split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (cur.text.trimmed().isEmpty() && t.startsWith(QLatin1String("--"))) {
            if (t.startsWith(QLatin1String("--@ unless-column ")))
                pendingUnless = t.mid(18).trimmed();
            continue;
        }
        if (t == QLatin1String("^")) {
            flush();
            continue;
        }
        if (cur.text.trimmed().isEmpty() && !t.isEmpty()) {
            cur.unlessColumn = pendingUnless;
            pendingUnless.clear();
        }
        cur.text += line + QLatin1Char('\n');
        const QString s = cur.text.trimmed();
        const bool block = s.startsWith(QLatin1String("CREATE OR ALTER PROCEDURE"))
            || s.startsWith(QLatin1String("CREATE OR ALTER FUNCTION")) || s.startsWith(QLatin1String("EXECUTE BLOCK"));
        if (!block && t.endsWith(QLatin1Char(';')))
            flush();
    }
    flush();
    return out;
}

void runMigration(Db& db, int number, const QString& script)
{
    for (const Statement& st : statements(script)) {
        if (!st.unlessColumn.isEmpty()) {
            const auto parts = st.unlessColumn.split(QLatin1Char('.'));
            if (parts.size() == 2 && columnExists(db, parts[0], parts[1]))
                continue;
        }
        QSqlQuery q(db.qdb());
        if (!q.exec(st.text))
            throw DbError(QStringLiteral("Falha ao atualizar o esquema para a versão %1: %2 em: %3")
                                   .arg(number)
                                   .arg(q.lastError().databaseText(), st.text.left(80)));
    }
}

QString defaultBackupPath(const DbUrl& url, const QString& dir, int from)
{
    const QFileInfo db(url.path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const bool sqlite = url.dialect == Dialect::SQLite;
    const QString folder = !dir.isEmpty() ? dir : sqlite ? db.absolutePath() : QDir::currentPath();
    return QDir(folder).filePath(QStringLiteral("%1-v%2-%3.%4")
                                     .arg(db.completeBaseName())
                                     .arg(from)
                                     .arg(stamp, sqlite ? QStringLiteral("bak") : QStringLiteral("fbk")));
}

std::atomic<int> g_seq{0};

} // namespace

int latestVersion()
{
    int latest = 1;
    for (const auto& m : sql::kMigrations)
        if (m.dialect && m.number > latest)
            latest = m.number;
    return latest;
}

int schemaVersion(Db& db)
{
    if (tableExists(db, QStringLiteral("SCHEMAVERSAO"))) {
        const QVariant v = db.scalar(QStringLiteral("SELECT MAX(NRVERSAO) FROM SCHEMAVERSAO"));
        if (!v.isNull())
            return v.toInt();
    }
    if (!tableExists(db, QStringLiteral("OPERADOR")))
        throw DbError(QStringLiteral("O banco de dados não tem as tabelas do sistema; crie-o com ped-dbgen."));
    // made before versions were kept: the audit table came with version 2
    return tableExists(db, QStringLiteral("AUDITPEDIDO")) ? 2 : 1;
}

void recordVersion(Db& db, int version)
{
    db.exec(QStringLiteral("INSERT INTO SCHEMAVERSAO (NRVERSAO, DTHRAPLICADO) VALUES (?, ?)"),
            {version, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)});
}

UpgradeResult upgrade(const DbUrl& url, const UpgradeOptions& options)
{
    auto log = [&](const QString& s) {
        if (options.log)
            options.log(s);
    };
    UpgradeResult r;
    {
        Db db(url, QStringLiteral("upgrade-%1").arg(++g_seq));
        r.from = r.to = schemaVersion(db);
    }
    const int latest = latestVersion();
    if (r.from > latest)
        throw NewerSchema(QStringLiteral("O banco de dados %1 está na versão %2 do esquema, mais nova que a versão %3 "
                                         "que este programa conhece. Instale a versão mais nova do sistema.")
                              .arg(url.display())
                              .arg(r.from)
                              .arg(latest));
    if (r.from == latest)
        return r;
    r.backup = defaultBackupPath(url, options.backupDir, r.from);
    log(QStringLiteral("cópia do banco de dados antes da atualização: %1").arg(r.backup));
    backupDatabase(url, r.backup);

    Db db(url, QStringLiteral("upgrade-%1").arg(++g_seq));
    if (!tableExists(db, QStringLiteral("SCHEMAVERSAO")))
        runMigration(db, r.from, QStringLiteral("CREATE TABLE SCHEMAVERSAO (NRVERSAO INTEGER NOT NULL PRIMARY KEY, "
                                                "DTHRAPLICADO VARCHAR(30) NOT NULL);"));
    for (const auto& m : sql::kMigrations) {
        if (!m.dialect || std::strcmp(m.dialect, dialectName(url.dialect)) != 0 || m.number <= r.from)
            continue;
        Transaction tx(db);
        // another server may have got here first
        if (schemaVersion(db) >= m.number)
            continue;
        log(QStringLiteral("atualizando o esquema para a versão %1").arg(m.number));
        runMigration(db, m.number, QString::fromUtf8(m.text));
        recordVersion(db, m.number);
        tx.commit();
        r.to = m.number;
    }
    r.to = schemaVersion(db);
    if (r.to != latest)
        throw DbError(QStringLiteral("O esquema ficou na versão %1, não na %2: faltam scripts de atualização.")
                               .arg(r.to)
                               .arg(latest));
    return r;
}

} // namespace peddb
