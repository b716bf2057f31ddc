#pragma once

#include "Database.h"

namespace peddb {

// Creates the schema and helper routines of the database's dialect.
void createSchema(Db& db);

} // namespace peddb
