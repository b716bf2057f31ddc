#include "Rpc.h"

#include <nlohmann/json.hpp>

#include "core/Packet.h"

#include <simdjson.h>

#include <cmath>
#include <type_traits>

namespace srv {

namespace od = simdjson::ondemand;

namespace {

QString sv(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

RpcFailure notJson()
{
    return RpcFailure(rpc::kParseError, QStringLiteral("Corpo da requisição não é JSON."));
}

// The id is echoed in the answer: written anew from its value, never from
// the raw bytes (on-demand parsing typed the token by its first byte only).
std::string parseId(od::value& v)
{
    od::json_type t;
    if (v.type().get(t))
        throw notJson();
    if (t != od::json_type::number && t != od::json_type::string && t != od::json_type::null)
        throw RpcFailure(rpc::kInvalidRequest, QStringLiteral("'id' inválido."));
    std::string_view tok = v.raw_json_token();
    while (!tok.empty() && (tok.back() == ' ' || tok.back() == '\n' || tok.back() == '\r' || tok.back() == '\t'))
        tok.remove_suffix(1);
    const auto id = nlohmann::json::parse(tok, nullptr, false);
    if (id.is_discarded() || !(id.is_number() || id.is_string() || id.is_null()))
        throw notJson();
    return id.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Objects and arrays are kept as received, for the method to decode.
template <class Container>
std::string rawOf(od::value& v)
{
    Container c;
    std::string_view raw;
    if constexpr (std::is_same_v<Container, od::object>) {
        if (v.get_object().get(c) || c.raw_json().get(raw))
            throw notJson();
    } else {
        if (v.get_array().get(c) || c.raw_json().get(raw))
            throw notJson();
    }
    return std::string(raw);
}

Param parseParam(od::value& pv)
{
    Param p;
    od::json_type t;
    if (pv.type().get(t))
        throw notJson();
    switch (t) {
    case od::json_type::string: {
        std::string_view s;
        if (pv.get_string().get(s))
            throw RpcFailure(rpc::kParseError, QStringLiteral("Texto inválido nos parâmetros."));
        p.kind = Param::Kind::String;
        p.text = sv(s);
        break;
    }
    case od::json_type::number: {
        double d;
        if (pv.get_double().get(d) || !std::isfinite(d))
            throw RpcFailure(rpc::kInvalidParams, QStringLiteral("Número inválido nos parâmetros."));
        p.kind = Param::Kind::Number;
        p.number = d;
        break;
    }
    case od::json_type::boolean:
        if (pv.get_bool().get(p.flag))
            throw notJson();
        p.kind = Param::Kind::Bool;
        break;
    case od::json_type::null: {
        bool isNull = false;
        if (pv.is_null().get(isNull) || !isNull)
            throw notJson();
        p.kind = Param::Kind::Null;
        break;
    }
    case od::json_type::object:
        p.kind = Param::Kind::Object;
        p.raw = rawOf<od::object>(pv);
        break;
    case od::json_type::array:
        p.kind = Param::Kind::Array;
        p.raw = rawOf<od::array>(pv);
        break;
    }
    return p;
}

std::vector<Param> parseParams(od::value& v)
{
    od::array arr;
    if (v.get_array().get(arr))
        throw RpcFailure(rpc::kInvalidRequest, QStringLiteral("'params' deve ser uma lista."));
    std::vector<Param> out;
    for (auto item : arr) {
        od::value pv;
        if (std::move(item).get(pv))
            throw notJson();
        out.push_back(parseParam(pv));
    }
    return out;
}

} // namespace

Request parseRequest(std::string_view body, std::string& idOut)
{
    const fw::Payload buf = fw::Payload::fromJson(body);
    thread_local od::parser parser;
    simdjson::padded_string_view psv(buf.data(), buf.json().size(), buf.capacityFrom());
    od::document doc;
    if (parser.iterate(psv).get(doc))
        throw notJson();
    od::object obj;
    if (auto e = doc.get_object().get(obj); e)
        throw e == simdjson::INCORRECT_TYPE ? RpcFailure(rpc::kInvalidRequest, QStringLiteral("Requisição JSON-RPC inválida."))
                                            : notJson();
    Request r;
    bool haveVersion = false, haveMethod = false, haveParams = false;
    for (auto member : obj) {
        od::field f;
        if (std::move(member).get(f))
            throw notJson();
        std::string_view key;
        if (f.unescaped_key().get(key))
            throw notJson();
        od::value v = f.value();
        if (key == "jsonrpc") {
            std::string_view ver;
            if (v.get_string().get(ver) || ver != "2.0")
                throw RpcFailure(rpc::kInvalidRequest, QStringLiteral("Só JSON-RPC 2.0 é aceito."));
            haveVersion = true;
        } else if (key == "id") {
            r.id = parseId(v);
            idOut = r.id;
        } else if (key == "method") {
            std::string_view m;
            if (v.get_string().get(m))
                throw RpcFailure(rpc::kInvalidRequest, QStringLiteral("'method' deve ser texto."));
            r.method = sv(m);
            haveMethod = true;
        } else if (key == "params") {
            r.params = parseParams(v);
            haveParams = true;
        }
    }
    const char* loc = nullptr;
    if (doc.current_location().get(loc) == simdjson::SUCCESS)
        throw RpcFailure(rpc::kParseError, QStringLiteral("Conteúdo após o fim da requisição."));
    if (!haveVersion || !haveMethod)
        throw RpcFailure(rpc::kInvalidRequest, QStringLiteral("Requisição JSON-RPC inválida."));
    if (!haveParams)
        throw RpcFailure(rpc::kInvalidRequest, QStringLiteral("'params' deve ser uma lista."));
    return r;
}

std::string resultEnvelope(const std::string& id, std::string_view resultJson)
{
    std::string out;
    out.reserve(resultJson.size() + id.size() + 40);
    out.append("{\"jsonrpc\":\"2.0\",\"id\":");
    out.append(id);
    out.append(",\"result\":");
    out.append(resultJson);
    out.push_back('}');
    return out;
}

std::string errorEnvelope(const std::string& id, int code, const QString& message)
{
    std::string out = "{\"jsonrpc\":\"2.0\",\"id\":" + id + ",\"error\":{\"code\":" + std::to_string(code)
        + ",\"message\":";
    const QByteArray m = message.toUtf8();
    fw::appendJsonString(out, std::string_view(m.constData(), static_cast<size_t>(m.size())));
    out.append("}}");
    return out;
}

std::vector<QString> splitList(const QString& list, size_t maxElements)
{
    std::vector<QString> out;
    for (QStringView part : QStringView(list).split(QLatin1Char(','))) {
        qsizetype a = 0, b = part.size();
        auto trim = [](QChar c) { return c.isSpace() || c == QLatin1Char('\''); };
        while (a < b && trim(part[a]))
            ++a;
        while (b > a && trim(part[b - 1]))
            --b;
        if (a == b)
            continue;
        const QString el = part.mid(a, b - a).toString();
        if (el.contains(QChar(0)))
            throw badParams(QStringLiteral("Lista com caractere inválido."));
        out.push_back(el);
        if (out.size() > maxElements)
            throw badParams(QStringLiteral("Lista com mais de %1 elementos.").arg(maxElements));
    }
    return out;
}

} // namespace srv
