#pragma once

#include "Packet.h"

#include <QString>

namespace fw {

// What a remote call gives back: a payload, or the server's failure.
struct ServerResult {
    bool ok = false;
    Payload payload;
    int code = 0;     // JSON-RPC error code, or 0 for a transport failure
    QString message;  // the text to show

    static ServerResult success(Payload p) { return {true, std::move(p), 0, {}}; }
    static ServerResult failure(int code, QString message) { return {false, Payload(), code, std::move(message)}; }
};

} // namespace fw
