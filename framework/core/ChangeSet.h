#pragma once

#include "RecordSet.h"

#include <QVariant>
#include <string_view>
#include <vector>

namespace fw {

// A decoded change set: what the server applies in one transaction.
struct ChangeSet {
    enum class Op { Insert, Modify, Delete };
    struct Change {
        Op op;
        std::vector<QVariant> oldRow; // modify, delete
        std::vector<QVariant> newRow; // insert, modify
    };
    std::vector<FieldDef> fields;
    std::vector<Change> changes;

    int fieldIndex(QStringView name) const; // -1 when absent
};

// Throws fw::Error naming the change or field at fault.
ChangeSet decodeChangeSet(std::string_view json);

} // namespace fw
