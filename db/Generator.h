#pragma once

#include "Database.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace peddb {

struct GenOptions {
    long long orders = 2000;   // 0: reference data only
    uint64_t seed = 1;
    bool oneBranch = false;    // every order in branch 0001 (benchmarks)
    double newestDay = 0;      // the newest order date; 0 is today
    bool provisionalPasswords = false; // the operators must change theirs at first login
};

struct DemoOperator {
    QString code;
    QString password;
    QString branch;
    QString sees;
};

struct Municipality {
    const char* state;
    const char* code;
    const char* name;
};

// Real Brazilian municipalities (state, our 4-digit code, name).
const std::vector<Municipality>& municipalities();

// Fills an empty database with the schema and deterministic data.
std::vector<DemoOperator> generate(Db& db, const GenOptions& opt,
                                   const std::function<void(const QString&)>& progress = {});

} // namespace peddb
