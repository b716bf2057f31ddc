#pragma once

#include "Database.h"

#include <QString>
#include <optional>
#include <string>

namespace srv {

// Sessions live in the database, each token stored only as a hash, so
// several servers can share one database.
class Sessions {
public:
    Sessions(DbPool& pool, int ttlSeconds) : m_pool(pool), m_ttl(ttlSeconds) {}

    struct Answer {
        int status;
        std::string body;
    };
    Answer login(const std::string& body);
    // The operator of a valid "Bearer <token>", or nothing.
    std::optional<QString> authenticate(const std::string& authorization);
    bool logout(const std::string& authorization);

    static QString hashPassword(const QString& password);
    static bool verifyPassword(const QString& hash, const QString& password);

private:
    DbPool& m_pool;
    int m_ttl;
};

} // namespace srv
