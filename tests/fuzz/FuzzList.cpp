// Fuzz target: the code lists of the order query, split as the server does.
#include "server/Rpc.h"
#include "core/FwError.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const auto items = srv::splitList(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
        for (const QString& e : items) {
            // never empty, never a separator or a quote left in an element
            if (e.isEmpty() || e.contains(QLatin1Char(',')) || e.front().isSpace() || e.back().isSpace()
                || e.front() == QLatin1Char('\'') || e.back() == QLatin1Char('\''))
                std::abort();
        }
    } catch (const srv::RpcFailure&) {
    } catch (const fw::Error&) {
    }
    return 0;
}
