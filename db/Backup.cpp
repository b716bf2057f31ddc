#include "Backup.h"

#include "Migrations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdio>
#include <sqlite3.h>
#include <thread>

namespace peddb {

namespace {

// One raw SQLite handle, closed on every path.
struct Handle {
    sqlite3* h = nullptr;
    Handle(const QString& path, int flags)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &h, flags, nullptr) != SQLITE_OK) {
            const QString why = h ? QString::fromUtf8(sqlite3_errmsg(h)) : QStringLiteral("sem memória");
            sqlite3_close(h);
            h = nullptr;
            throw DbError(QStringLiteral("Não foi possível abrir %1: %2").arg(path, why));
        }
        sqlite3_busy_timeout(h, 30000);
    }
    ~Handle() { sqlite3_close(h); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

QStringList textRows(sqlite3* h, const char* sql)
{
    QStringList out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) != SQLITE_OK)
        return {QString::fromUtf8(sqlite3_errmsg(h))};
    while (sqlite3_step(st) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    if (sqlite3_errcode(h) != SQLITE_OK && sqlite3_errcode(h) != SQLITE_DONE && sqlite3_errcode(h) != SQLITE_ROW)
        out << QString::fromUtf8(sqlite3_errmsg(h));
    sqlite3_finalize(st);
    return out;
}

QString sqliteIntegrity(sqlite3* h)
{
    const QStringList r = textRows(h, "PRAGMA integrity_check");
    return r.join(QLatin1Char('\n'));
}

// Copies every page of from's main database into to's in one step, so that
// the copy is one moment of the source even while others write to it.
void sqliteCopy(sqlite3* from, sqlite3* to, const QString& what)
{
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b)
        throw DbError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(to))));
    int rc;
    for (int tries = 0;; ++tries) {
        rc = sqlite3_backup_step(b, -1);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || tries >= 1500)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        throw DbError(QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errstr(rc))));
}

bool hasSuiteTables(sqlite3* h)
{
    return textRows(h, "SELECT name FROM sqlite_master WHERE type = 'table' AND UPPER(name) = 'OPERADOR'").size() == 1;
}

// Runs one of Firebird's tools with the credentials in its environment (not
// on its command line, where every user could read them).
QString runTool(const DbUrl& url, const QString& tool, const QStringList& args, const QString& what)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ISC_USER"), url.user);
    env.insert(QStringLiteral("ISC_PASSWORD"), url.password);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool, args);
    if (!p.waitForStarted(10000))
        throw DbError(QStringLiteral("%1: não foi possível executar %2 (instale firebird3.0-utils).").arg(what, tool));
    p.waitForFinished(-1);
    const QString out = QString::fromLocal8Bit(p.readAll()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw DbError(QStringLiteral("%1: %2").arg(what, out.isEmpty() ? tool + QStringLiteral(" falhou") : out));
    return out;
}

QString firebirdName(const DbUrl& url)
{
    QString host = url.host.isEmpty() ? QStringLiteral("localhost") : url.host;
    if (url.port)
        host += QLatin1Char('/') + QString::number(url.port);
    return host + QLatin1Char(':') + url.path;
}

} // namespace

void backupDatabase(const DbUrl& url, const QString& file)
{
    // written under another name and renamed when whole: a failed backup
    // never leaves a half file where a good one was
    const QString partial = file + QStringLiteral(".parcial");
    QFile::remove(partial);
    const QString what = QStringLiteral("Falha na cópia de segurança de %1").arg(url.display());
    try {
        if (url.dialect == Dialect::SQLite) {
            if (!QFileInfo::exists(url.path))
                throw DbError(QStringLiteral("%1: o arquivo não existe.").arg(what));
            {
                Handle src(url.path, SQLITE_OPEN_READWRITE);
                Handle dst(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
                sqliteCopy(src.h, dst.h, what);
                const QString check = sqliteIntegrity(dst.h);
                if (check != QLatin1String("ok"))
                    throw DbError(QStringLiteral("%1: a cópia não passou na verificação: %2").arg(what, check));
            }
        } else {
            runTool(url, QStringLiteral("gbak"), {QStringLiteral("-b"), firebirdName(url), partial}, what);
        }
        if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(file).constData()) != 0)
            throw DbError(QStringLiteral("%1: não foi possível gravar %2.").arg(what, file));
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
}

void restoreDatabase(const DbUrl& url, const QString& file)
{
    const QString what = QStringLiteral("Falha ao restaurar %1").arg(file);
    if (!QFileInfo::exists(file))
        throw DbError(QStringLiteral("%1: o arquivo não existe.").arg(what));
    if (url.dialect == Dialect::SQLite) {
        Handle src(file, SQLITE_OPEN_READONLY);
        const QString check = sqliteIntegrity(src.h);
        if (check != QLatin1String("ok"))
            throw DbError(QStringLiteral("%1: o arquivo não é uma cópia íntegra: %2").arg(what, check.left(200)));
        if (!hasSuiteTables(src.h))
            throw DbError(QStringLiteral("%1: o arquivo não é uma cópia do banco de dados do sistema.").arg(what));
        // a copy newer than this program would leave servers on a schema they do not know
        const QStringList v = textRows(src.h, "SELECT MAX(NRVERSAO) FROM SCHEMAVERSAO");
        if (v.size() == 1 && v[0].toInt() > latestVersion())
            throw DbError(QStringLiteral("%1: a cópia é da versão %2 do esquema, mais nova que a %3 deste programa.")
                                   .arg(what)
                                   .arg(v[0].toInt())
                                   .arg(latestVersion()));
        // into the live database in one transaction: its servers see the old
        // state or the restored one, and keep their connections
        Handle dst(url.path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        sqliteCopy(src.h, dst.h, what);
        const QString after = sqliteIntegrity(dst.h);
        if (after != QLatin1String("ok"))
            throw DbError(QStringLiteral("%1: o banco restaurado não passou na verificação: %2").arg(what, after.left(200)));
    } else {
        runTool(url, QStringLiteral("gbak"), {QStringLiteral("-rep"), file, firebirdName(url)}, what);
    }
    upgrade(url);
}

QString integrityCheck(const DbUrl& url)
{
    if (url.dialect == Dialect::SQLite) {
        Handle h(url.path, SQLITE_OPEN_READONLY);
        return sqliteIntegrity(h.h);
    }
    const QString out = runTool(url, QStringLiteral("gfix"), {QStringLiteral("-v"), QStringLiteral("-full"), QStringLiteral("-n"), firebirdName(url)},
                                QStringLiteral("Falha na verificação de %1").arg(url.display()));
    return out.isEmpty() ? QStringLiteral("ok") : out;
}

} // namespace peddb
