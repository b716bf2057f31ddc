#pragma once

#include "core/Packet.h"
#include "core/RecordSet.h"

#include <string>

namespace testsupport {

// A commission-line packet: CDVENDEDOR, NMFANVEN, VRPECOMITPED, after the
// pickers' IDMARCADO when asked.
inline std::string linesPacket(int rows, bool withMark = false)
{
    std::string out;
    fw::PacketWriter w(out);
    std::vector<fw::FieldDef> fields{{QStringLiteral("CDVENDEDOR"), fw::FieldType::String, 4},
                                     {QStringLiteral("NMFANVEN"), fw::FieldType::String, 50},
                                     {QStringLiteral("VRPECOMITPED"), fw::FieldType::Float, 0}};
    if (withMark)
        fields.insert(fields.begin(), {QStringLiteral("IDMARCADO"), fw::FieldType::String, 1});
    w.begin(fields);
    for (int i = 0; i < rows; ++i) {
        w.beginRow();
        if (withMark)
            w.addString(QStringLiteral("N"));
        w.addString(QStringLiteral("%1").arg(i % 9999 + 1, 4, 10, QLatin1Char('0')));
        w.addString(QStringLiteral("Vendedor %1").arg(i + 1));
        w.addDouble(1.5 * (i % 7));
        w.endRow();
    }
    w.end();
    return out;
}

// Declares the commission-line fields with their labels and formats.
inline void declareLines(fw::RecordSet& rs)
{
    rs.addField(QStringLiteral("CDVENDEDOR"), fw::FieldType::String, 4).displayLabel = QStringLiteral("Vendedor");
    rs.addField(QStringLiteral("NMFANVEN"), fw::FieldType::String, 50).displayLabel = QStringLiteral("Nome");
    fw::Field& pct = rs.addField(QStringLiteral("VRPECOMITPED"), fw::FieldType::Float);
    pct.displayLabel = QStringLiteral("Comissão(%)");
    pct.displayFormat = QStringLiteral("#,##0.00 %");
    pct.editFormat = QStringLiteral("#,##0.00");
}

} // namespace testsupport
