#pragma once

#include "Database.h"

#include <QString>

namespace peddb {

// A consistent copy of a live database in file (SQLite's online backup, or
// Firebird's gbak), checked before it takes the file's name. Throws
// DbError with the reason.
void backupDatabase(const DbUrl& url, const QString& file);

// Puts a copy made by backupDatabase in the database's place while servers
// keep their connections (SQLite); Firebird's database is replaced by gbak
// and must have no other attachment. The copy is checked first, and a copy
// of an older schema is upgraded after.
void restoreDatabase(const DbUrl& url, const QString& file);

// "ok", or what SQLite's integrity check found (Firebird: gfix -v -full).
QString integrityCheck(const DbUrl& url);

} // namespace peddb
