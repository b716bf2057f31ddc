#pragma once

#include "db/Database.h"

namespace srv {

// The server's methods and sessions name the database layer's types as their own.
using peddb::Db;
using peddb::DbConflict;
using peddb::DbError;
using peddb::DbPool;
using peddb::DbTimeout;
using peddb::DbUrl;
using peddb::Dialect;
using peddb::Row;
using peddb::Transaction;
using peddb::logRollbackFailure;

} // namespace srv
