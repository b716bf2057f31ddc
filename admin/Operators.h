#pragma once

#include "db/Database.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace pedadmin {

struct NewOperator {
    QString code;
    QString name;
    QString role;        // optional
    QStringList branches; // branches whose every order he sees (OPERTPED)
};

struct OperatorInfo {
    QString code, name, role;
    bool active = true;
    bool mustChange = false;
    QStringList branches;
    int sessions = 0; // live ones
};

// Each throws peddb::DbError with a text for the administrator and writes
// nothing when refused.

// Adds an operator with a generated first password, which is returned and
// must be changed at his first login.
QString addOperator(peddb::Db& db, const NewOperator& op);
// A new generated password to be changed at the next login; his sessions
// and failed tries end.
QString resetPassword(peddb::Db& db, const QString& code);
// A disabled operator signs in no more and his sessions end at once.
void setActive(peddb::Db& db, const QString& code, bool active);
std::vector<OperatorInfo> listOperators(peddb::Db& db);

} // namespace pedadmin
