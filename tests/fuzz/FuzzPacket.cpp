// Fuzz target: data packets. Whatever the bytes, decoding either fails with
// fw::Error or gives a table that survives an encode/decode round trip.
#include "core/FwError.h"
#include "core/Packet.h"
#include "core/RecordSet.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    fw::RecordSet rs(QStringLiteral("fuzz"));
    try {
        rs.setData(fw::Payload::fromJson(in));
    } catch (const fw::Error&) {
        return 0;
    }
    const std::string once = rs.toPacket();
    fw::RecordSet again(QStringLiteral("again"));
    try {
        again.setData(fw::Payload::fromJson(once));
    } catch (const fw::Error&) {
        std::abort(); // our own output must always decode
    }
    if (again.toPacket() != once || again.recordCount() != rs.recordCount())
        std::abort();
    // sorting and navigation over whatever arrived
    if (rs.fieldCount() > 0) {
        rs.setIndexFieldNames(rs.field(0).fieldName());
        rs.last();
        (void)rs.field(0).displayText();
    }
    return 0;
}
