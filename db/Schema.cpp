#include "Schema.h"

#include "Migrations.h"
#include "SchemaSql.h"

namespace peddb {

void createSchema(Db& db)
{
    if (db.dialect() == Dialect::SQLite) {
        db.exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        db.execScript(QString::fromUtf8(sql::kSchemaSqlite));
    } else {
        db.execScript(QString::fromUtf8(sql::kSchemaFirebird));
    }
    recordVersion(db, latestVersion());
}

} // namespace peddb
