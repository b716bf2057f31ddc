#pragma once

// The last packet query the benchmark's own thread ran through the server,
// to time the same SQL in a bare sqlite3 loop.
#include "db/Database.h"

#include <thread>

namespace bench {

class LastQuery : public peddb::DbProbe {
public:
    LastQuery() { peddb::setDbProbe(this); }
    ~LastQuery() override { peddb::setDbProbe(nullptr); }
    LastQuery(const LastQuery&) = delete;
    LastQuery& operator=(const LastQuery&) = delete;

    void packetQuery(const QString& query, const QVariantList& values) override
    {
        // the server's workers run theirs on other connections
        if (std::this_thread::get_id() != m_owner)
            return;
        sql = query.toStdString();
        params = values;
    }

    std::string sql;
    QVariantList params;

private:
    std::thread::id m_owner = std::this_thread::get_id();
};

} // namespace bench
