#pragma once

// The floor for any SQL fetch: sqlite3 prepare, bind, step and read every
// column, nothing else.
#include <QVariant>
#include <sqlite3.h>

#include <string>

namespace bench {

// Bare loop: prepare, bind, step and read every column.
// At most maxRows rows when given.
inline double bareFetch(sqlite3* h, const std::string& sql, const QVariantList& params, long maxRows = -1)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr);
    int i = 1;
    for (const QVariant& v : params) {
        if (v.typeId() == QMetaType::Double)
            sqlite3_bind_double(st, i++, v.toDouble());
        else {
            const QByteArray u = v.toString().toUtf8();
            sqlite3_bind_text(st, i++, u.constData(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
        }
    }
    double acc = 0;
    const int n = sqlite3_column_count(st);
    for (long got = 0; (maxRows < 0 || got < maxRows) && sqlite3_step(st) == SQLITE_ROW; ++got)
        for (int c = 0; c < n; ++c)
            acc += sqlite3_column_type(st, c) == SQLITE_TEXT ? sqlite3_column_bytes(st, c) : sqlite3_column_double(st, c);
    sqlite3_finalize(st);
    return acc;
}

} // namespace bench
