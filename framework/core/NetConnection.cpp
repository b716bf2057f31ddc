#include "NetConnection.h"

#include "Context.h"
#include "FwError.h"
#include "Packet.h"

#include <httplib.h>
#include <simdjson.h>

#include <QElapsedTimer>

namespace fw {

namespace od = simdjson::ondemand;

RpcArg::RpcArg(const QString& text) { appendJsonString(m_json, text.toStdString()); }
RpcArg::RpcArg(const char* text) { appendJsonString(m_json, text); }
RpcArg::RpcArg(double v) { appendJsonNumber(m_json, v); }
RpcArg::RpcArg(int v) : m_json(std::to_string(v)) {}
RpcArg::RpcArg(bool v) : m_json(v ? "true" : "false") {}

RpcArg RpcArg::json(std::string raw)
{
    RpcArg a;
    a.m_json = std::move(raw);
    return a;
}

TNetConnection::TNetConnection(QObject* parent, const QString& name) : QObject(parent)
{
    setObjectName(name);
}

TNetConnection::~TNetConnection() = default;

void TNetConnection::setConnected(bool on)
{
    if (on == m_connected)
        return;
    if (!on) {
        m_client.reset();
        m_connected = false;
        return;
    }
    if (BeforeConnect)
        BeforeConnect(*this);
    if (host.isEmpty() || Port <= 0 || Port > 65535)
        throw Error(QStringLiteral("Endereço do servidor de aplicação não informado."));
    m_client = std::make_unique<httplib::Client>(host.toStdString(), Port);
    m_client->set_keep_alive(true);
    m_client->set_tcp_nodelay(true);
    m_client->set_connection_timeout(5, 0);
    m_connected = true;
}

ServerResult TNetConnection::fail(const QString& text)
{
    if (ThrowException)
        throw ServerError(text, 0);
    return ServerResult::failure(0, text);
}

ServerResult TNetConnection::call(const QString& method, const std::vector<RpcArg>& params)
{
    if (!m_connected) {
        try {
            setConnected(true);
        } catch (const Error& e) {
            return fail(e.text());
        }
    }
    std::string body = "{\"jsonrpc\":\"2.0\",\"id\":" + std::to_string(m_nextId++) + ",\"method\":";
    appendJsonString(body, method.toStdString());
    body += ",\"params\":[";
    for (size_t i = 0; i < params.size(); ++i) {
        if (i)
            body += ',';
        body += params[i].wire();
    }
    body += "]}";

    m_client->set_read_timeout(timeoutMs / 1000, (timeoutMs % 1000) * 1000);
    m_client->set_write_timeout(timeoutMs / 1000, (timeoutMs % 1000) * 1000);
    httplib::Headers headers;
    if (!ctx().login.token.isEmpty())
        headers.emplace("Authorization", "Bearer " + ctx().login.token.toStdString());
    const std::string path = "/rpc/" + ServerName.toStdString();

    QElapsedTimer clock;
    clock.start();
    auto res = m_client->Post(path, headers, body, "application/json");
    if (!res) {
        const auto err = res.error();
        const QString where = QStringLiteral("%1:%2").arg(host).arg(Port);
        // A dropped keep-alive connection is not the server's fault: the
        // next call opens a new one.
        m_client->stop();
        if (err == httplib::Error::Connection || err == httplib::Error::ConnectionTimeout)
            return fail(QStringLiteral("Não foi possível conectar ao servidor %1.").arg(where));
        if (err == httplib::Error::Read && clock.elapsed() + 50 >= timeoutMs)
            return fail(QStringLiteral("Servidor não respondeu."));
        return fail(QStringLiteral("Comunicação com o servidor %1 interrompida.").arg(where));
    }
    if (res->status == 401) {
        if (ctx().sessionExpired)
            ctx().sessionExpired();
        return fail(QStringLiteral("Sessão expirada ou inválida. Entre novamente."));
    }
    ServerResult r = parseAnswer(res->status, std::move(res->body));
    if (!r.ok && ThrowException)
        throw ServerError(r.message, r.code);
    return r;
}

ServerResult TNetConnection::parseAnswer(int httpStatus, std::string&& body)
{
    if (httpStatus == 413)
        return ServerResult::failure(0, QStringLiteral("Dados grandes demais para o servidor."));
    if (httpStatus != 200)
        return ServerResult::failure(0, QStringLiteral("O servidor respondeu com o código HTTP %1.").arg(httpStatus));
    const QString bad = QStringLiteral("Resposta inválida do servidor.");
    Payload whole = Payload::fromOwned(std::move(body));
    od::parser parser;
    od::document doc;
    if (parser.iterate(whole.data(), whole.json().size(), whole.capacityFrom()).get(doc))
        return ServerResult::failure(0, bad);
    od::object obj;
    if (doc.get_object().get(obj))
        return ServerResult::failure(0, bad);
    std::string_view raw;
    bool haveResult = false;
    for (auto member : obj) {
        std::string_view key;
        if (member.unescaped_key().get(key))
            return ServerResult::failure(0, bad);
        od::value v;
        if (member.value().get(v))
            return ServerResult::failure(0, bad);
        if (key == "result") {
            od::json_type t;
            if (v.type().get(t))
                return ServerResult::failure(0, bad);
            simdjson::error_code e = simdjson::SUCCESS;
            if (t == od::json_type::object) {
                od::object o;
                e = v.get_object().get(o);
                if (!e)
                    e = o.raw_json().get(raw);
            } else if (t == od::json_type::array) {
                od::array a;
                e = v.get_array().get(a);
                if (!e)
                    e = a.raw_json().get(raw);
            } else {
                raw = v.raw_json_token();
            }
            if (e)
                return ServerResult::failure(0, bad);
            haveResult = true;
        } else if (key == "error") {
            od::object eo;
            if (v.get_object().get(eo))
                return ServerResult::failure(0, bad);
            int64_t code = -32000;
            std::string_view msg;
            for (auto f : eo) {
                std::string_view k;
                if (f.unescaped_key().get(k))
                    return ServerResult::failure(0, bad);
                if (k == "code") {
                    if (f.value().get_int64().get(code))
                        return ServerResult::failure(0, bad);
                } else if (k == "message") {
                    if (f.value().get_string().get(msg))
                        return ServerResult::failure(0, bad);
                }
            }
            return ServerResult::failure(static_cast<int>(code), QString::fromUtf8(msg.data(), static_cast<qsizetype>(msg.size())));
        }
    }
    if (!haveResult)
        return ServerResult::failure(0, bad);
    return ServerResult::success(whole.slice(static_cast<size_t>(raw.data() - whole.data()), raw.size()));
}

} // namespace fw
