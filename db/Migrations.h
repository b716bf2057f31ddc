#pragma once

#include "Database.h"

#include <QString>
#include <functional>
#include <stdexcept>

namespace peddb {

// The schema this program writes; createSchema records it.
int latestVersion();

// The database's schema version: the highest row of SCHEMAVERSAO; a database
// made before versions were kept is 2 when it has AUDITPEDIDO, else 1.
// Throws DbError for a database without the suite's tables.
int schemaVersion(Db& db);

// Records the version of a schema just created.
void recordVersion(Db& db, int version);

// A database newer than this program.
class NewerSchema : public DbError {
public:
    using DbError::DbError;
};

struct UpgradeOptions {
    // Where the copy made before upgrading goes; empty: beside a SQLite
    // database, the working folder for Firebird.
    QString backupDir;
    std::function<void(const QString&)> log;
};

struct UpgradeResult {
    int from = 0;
    int to = 0;
    QString backup; // the copy made before the first migration, if any
};

// Brings the database to latestVersion(): a copy first, then each numbered
// script of its dialect in a transaction of its own. Refuses (NewerSchema)
// a database newer than this program.
UpgradeResult upgrade(const DbUrl& url, const UpgradeOptions& options = {});

} // namespace peddb
