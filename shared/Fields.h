#pragma once

#include "core/RecordSet.h"

// Declares a field of a record set with its label and visibility, as the
// module's screens and dialogs declare theirs.
inline fw::Field& declareField(fw::RecordSet& rs, const char* name, fw::FieldType type, int size = 0,
                               const QString& label = {}, bool visible = true)
{
    fw::Field& f = rs.addField(QLatin1String(name), type, size);
    f.displayLabel = label;
    f.visible = visible;
    return f;
}
