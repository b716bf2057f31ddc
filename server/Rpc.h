#pragma once

#include <QString>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace srv {

namespace rpc {
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kFailed = -32000;
} // namespace rpc

// A JSON-RPC failure answered to the caller.
class RpcFailure : public std::runtime_error {
public:
    RpcFailure(int code, const QString& message) : std::runtime_error(message.toStdString()), m_code(code), m_message(message) {}
    int code() const { return m_code; }
    const QString& message() const { return m_message; }

private:
    int m_code;
    QString m_message;
};

// A refusal of the method: the text to show (or a catalogue key).
inline RpcFailure refused(const QString& text) { return RpcFailure(rpc::kFailed, text); }
inline RpcFailure badParams(const QString& text) { return RpcFailure(rpc::kInvalidParams, text); }

struct Param {
    enum class Kind { String, Number, Bool, Object, Array, Null };
    Kind kind = Kind::Null;
    QString text;
    double number = 0;
    bool flag = false;
    std::string raw; // objects and arrays, as received
};

struct Request {
    std::string id = "null"; // the id's JSON text, echoed back
    QString method;
    std::vector<Param> params;
};

// Parses the envelope; throws RpcFailure (-32700, -32600), keeping the id
// when it could be read.
Request parseRequest(std::string_view body, std::string& idOut);

std::string resultEnvelope(const std::string& id, std::string_view resultJson);
std::string errorEnvelope(const std::string& id, int code, const QString& message);

// Splits a list text: commas, blanks and single quotes trimmed, empty
// elements dropped. Longer than maxElements is -32602.
std::vector<QString> splitList(const QString& list, size_t maxElements = 10000);

} // namespace srv
