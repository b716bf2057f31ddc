// Fuzz target: change sets as the server receives them.
#include "core/ChangeSet.h"
#include "core/FwError.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const fw::ChangeSet cs = fw::decodeChangeSet(std::string_view(reinterpret_cast<const char*>(data), size));
        for (const auto& c : cs.changes) {
            const bool ok = (c.op == fw::ChangeSet::Op::Insert || c.oldRow.size() == cs.fields.size())
                && (c.op == fw::ChangeSet::Op::Delete || c.newRow.size() == cs.fields.size());
            if (!ok)
                std::abort();
        }
    } catch (const fw::Error&) {
    }
    return 0;
}
