// Fuzz target: a JSON-RPC request body as the server receives it, through
// the envelope parser, the method table and the argument check; the answer
// envelope built with the request's id must stay valid JSON.
#include "server/Methods.h"
#include "server/Rpc.h"
#include "core/FwError.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string id = "null";
    try {
        const srv::Request r = srv::parseRequest(std::string_view(reinterpret_cast<const char*>(data), size), id);
        for (const char* server : {"Ped03600.rdmComissaoVend", "Ped00103.rdmNotaPedido"})
            if (const srv::MethodDef* m = srv::findMethod(QLatin1String(server), r.method))
                srv::checkSignature(*m, r.params);
    } catch (const srv::RpcFailure&) {
    } catch (const fw::Error&) {
    }
    const std::string answer = srv::errorEnvelope(id, -32600, QStringLiteral("x"));
    if (!nlohmann::json::accept(answer))
        std::abort();
    return 0;
}
