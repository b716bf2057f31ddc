#include "Server.h"

#include "Methods.h"
#include "Rpc.h"

#include "core/FwError.h"
#include "core/Packet.h"

#include <httplib.h>

#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace srv {

namespace {
std::mutex g_logMutex;
const char* levelName(LogLevel l)
{
    switch (l) {
    case LogLevel::Error: return "error";
    case LogLevel::Warn: return "warn";
    case LogLevel::Info: return "info";
    case LogLevel::Debug: return "debug";
    }
    return "info";
}

// The sessions' answer when the database cannot be reached.
const char* kDbDown = R"({"error":"Banco de dados indisponível."})";

std::unique_ptr<httplib::Server> makeHttp(const ServerOptions& o)
{
    if (o.tlsCert.isEmpty() && o.tlsKey.isEmpty())
        return std::make_unique<httplib::Server>();
    if (o.tlsCert.isEmpty() || o.tlsKey.isEmpty())
        throw DbError(QStringLiteral("Para HTTPS informe o certificado e a chave."));
    auto https = std::make_unique<httplib::SSLServer>(o.tlsCert.toLocal8Bit().constData(), o.tlsKey.toLocal8Bit().constData());
    if (!https->is_valid())
        throw DbError(QStringLiteral("Certificado ou chave inválidos ou ilegíveis: %1, %2.").arg(o.tlsCert, o.tlsKey));
    return https;
}

} // namespace

AppServer::AppServer(ServerOptions options)
    : m_opt(std::move(options)), m_pool(m_opt.db), m_sessions(m_pool, m_opt.sessionTtl),
      m_http(makeHttp(m_opt))
{
    m_http->set_tcp_nodelay(true);
    m_http->set_payload_max_length(m_opt.maxBody);
    m_http->set_read_timeout(60, 0);
    m_http->set_write_timeout(60, 0);
    m_http->set_keep_alive_max_count(100000);
    m_http->set_keep_alive_timeout(30);
    const auto workers = static_cast<size_t>(std::max(2, m_opt.threads));
    m_http->new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    routes();
}

AppServer::~AppServer() = default;

void AppServer::log(LogLevel level, const QString& op, const std::string& method, double ms, const std::string& result)
{
    if (level > m_opt.logLevel)
        return;
    const std::string when = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString();
    std::lock_guard lock(g_logMutex);
    std::fprintf(stderr, "%s %s operator=%s method=%s ms=%.1f result=%s\n", when.c_str(), levelName(level),
                 op.isEmpty() ? "-" : op.toUtf8().constData(), method.c_str(), ms, result.c_str());
}

std::string AppServer::handleRpc(const QString& serverName, const std::string& body, const QString& op,
                                 std::string& method, bool& ok)
{
    return runRpc(serverName, body, op, method, ok, nullptr);
}

bool AppServer::streamable(const QString& serverName, const std::string& body)
{
    // Only the order list is large enough to be worth streaming.
    std::string id;
    try {
        const Request req = parseRequest(body, id);
        return knownServer(serverName) && req.method == QLatin1String("GetPedido");
    } catch (const RpcFailure&) {
        return false;
    }
}

std::string AppServer::runRpc(const QString& serverName, const std::string& body, const QString& op,
                              std::string& method, bool& ok, const std::function<void(std::string&)>* streamOut,
                              std::string* outcome)
{
    std::string id = "null";
    ok = false;
    Db* used = nullptr;
    struct Clear {
        Db*& d;
        ~Clear()
        {
            if (d) {
                d->clearDeadline();
                d->streamOut = nullptr;
            }
        }
    } clear{used};
    auto failed = [&](int code, const QString& message) {
        if (outcome) { // a method's refusal is a decision; the rest are faults of the call
            // the text may carry the caller's values: one log line stays one line
            std::string text = message.toStdString();
            std::replace_if(text.begin(), text.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x20; }, ' ');
            *outcome = (code == rpc::kFailed ? "refused: " : "error: ") + text;
        }
        std::string answer = errorEnvelope(id, code, message);
        if (!streamOut)
            return answer;
        // in a stream the error is a line of its own
        std::string line = "{\"error\":{\"code\":" + std::to_string(code) + ",\"message\":";
        const QByteArray m = message.toUtf8();
        fw::appendJsonString(line, std::string_view(m.constData(), static_cast<size_t>(m.size())));
        line += "}}\n";
        (*streamOut)(line);
        return std::string();
    };
    try {
        Request req = parseRequest(body, id);
        method = req.method.toStdString();
        if (!knownServer(serverName))
            throw RpcFailure(rpc::kMethodNotFound, QStringLiteral("Servidor desconhecido: %1.").arg(serverName));
        const MethodDef* m = findMethod(serverName, req.method);
        if (!m)
            throw RpcFailure(rpc::kMethodNotFound, QStringLiteral("Método desconhecido: %1.").arg(req.method));
        checkSignature(*m, req.params);
        Db& db = m_pool.get();
        used = &db;
        db.setDeadline(std::chrono::steady_clock::now() + std::chrono::seconds(m_opt.callTimeout));
        if (streamOut)
            db.streamOut = *streamOut;
        CallContext ctx{db, op, req.params};
        // A write that met a concurrent writer is run again from the start
        // (its transaction was rolled back): its own checks of the stored
        // values then decide. Streams have begun answering: never again.
        std::string result;
        for (int attempt = 1;; ++attempt) {
            try {
                result = m->handler(ctx);
                break;
            } catch (const DbConflict&) {
                if (db.pastDeadline())
                    throw DbTimeout();
                if (streamOut || attempt == 3)
                    throw RpcFailure(rpc::kFailed, conflictRefusal());
                std::this_thread::sleep_for(std::chrono::milliseconds(5 * attempt));
            }
        }
        ok = true;
        if (outcome)
            *outcome = streamOut ? "ok (stream)" : "ok";
        return streamOut ? std::string() : resultEnvelope(id, result);
    } catch (const RpcFailure& f) {
        return failed(f.code(), f.message());
    } catch (const DbError& e) {
        if (e.shown() != e.text())
            log(LogLevel::Error, op, method, 0, "database: " + e.text().toStdString());
        return failed(rpc::kFailed, e.shown());
    } catch (const fw::Error& e) {
        return failed(rpc::kFailed, e.text());
    } catch (const std::exception& e) {
        log(LogLevel::Error, op, method, 0, std::string("internal: ") + e.what());
        return failed(rpc::kFailed, QStringLiteral("Erro interno do servidor."));
    }
}

void AppServer::routes()
{
    m_http->Get("/health", [this](const httplib::Request&, httplib::Response& res) {
        const bool up = [&] {
            try {
                return m_pool.get().ping();
            } catch (...) {
                return false;
            }
        }();
        res.status = up ? 200 : 503;
        res.set_content(up ? R"({"status":"ok"})" : R"({"status":"unavailable"})", "application/json");
    });

    m_http->Post("/session", [this](const httplib::Request& req, httplib::Response& res) {
        const auto t0 = std::chrono::steady_clock::now();
        Sessions::Answer a{500, R"({"error":"Erro interno do servidor."})"};
        try {
            a = m_sessions.login(req.body);
        } catch (const DbError& e) {
            a = {503, kDbDown};
            log(LogLevel::Error, {}, "login", 0, e.text().toStdString());
        }
        res.status = a.status;
        res.set_content(a.body, "application/json");
        log(LogLevel::Info, {}, "login",
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(),
            std::to_string(a.status));
    });

    m_http->Delete("/session", [this](const httplib::Request& req, httplib::Response& res) {
        bool done = false;
        try {
            done = m_sessions.logout(req.get_header_value("Authorization"));
        } catch (const DbError& e) {
            // not an invalid session: the session may still be there
            res.status = 503;
            res.set_content(kDbDown, "application/json");
            log(LogLevel::Error, {}, "logout", 0, e.text().toStdString());
            return;
        }
        res.status = done ? 204 : 401;
        if (!done)
            res.set_content(R"({"error":"Sessão expirada ou inválida."})", "application/json");
    });

    m_http->Post(R"(/rpc/([A-Za-z0-9_.]+))", [this](const httplib::Request& req, httplib::Response& res) {
        const auto t0 = std::chrono::steady_clock::now();
        std::optional<QString> op;
        try {
            op = m_sessions.authenticate(req.get_header_value("Authorization"));
        } catch (const DbError& e) {
            // an answer of the call, so that the desktop shows why
            std::string id = "null";
            try {
                parseRequest(req.body, id);
            } catch (const RpcFailure&) {
            }
            res.status = 200;
            res.set_content(errorEnvelope(id, rpc::kFailed, QStringLiteral("Banco de dados indisponível. Tente novamente.")),
                            "application/json");
            log(LogLevel::Error, {}, "-", 0, e.text().toStdString());
            return;
        }
        if (!op) {
            res.status = 401;
            res.set_content(R"({"error":"Sessão expirada ou inválida."})", "application/json");
            log(LogLevel::Warn, {}, "-", 0, "401");
            return;
        }
        std::string method = "-";
        bool ok = false;
        const QString serverName = QString::fromStdString(req.matches[1]);
        if (req.get_header_value("Accept").find("application/x-ndjson") != std::string::npos
            && streamable(serverName, req.body)) {
            // Rows go out as they are read; the call is logged when done.
            res.status = 200;
            res.set_chunked_content_provider(
                "application/x-ndjson",
                [this, serverName, body = req.body, who = *op, t0](size_t, httplib::DataSink& sink) {
                    std::string name = "-";
                    std::string outcome;
                    bool done = false;
                    bool open = true;
                    const std::function<void(std::string&)> out = [&](std::string& piece) {
                        if (open && !piece.empty())
                            open = sink.write(piece.data(), piece.size());
                        piece.clear();
                    };
                    runRpc(serverName, body, who, name, done, &out, &outcome);
                    sink.done();
                    log(done ? LogLevel::Info : LogLevel::Warn, who, name,
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(),
                        outcome);
                    return true;
                });
            return;
        }
        std::string outcome;
        std::string answer = runRpc(serverName, req.body, *op, method, ok, nullptr, &outcome);
        res.status = 200;
        res.set_content(std::move(answer), "application/json");
        log(ok ? LogLevel::Info : LogLevel::Warn, *op, method,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(), outcome);
    });
}

int AppServer::bind()
{
    const std::string host = m_opt.host.toStdString();
    if (m_opt.port == 0)
        m_port = m_http->bind_to_any_port(host);
    else
        m_port = m_http->bind_to_port(host, m_opt.port) ? m_opt.port : -1;
    if (m_port <= 0)
        throw DbError(QStringLiteral("Não foi possível escutar em %1:%2.").arg(m_opt.host).arg(m_opt.port));
    return m_port;
}

void AppServer::run()
{
    m_started = true;
    if (!m_stopping)
        m_http->listen_after_bind();
    m_finished = true;
}

void AppServer::stop()
{
    // A stop that comes before the listener runs would be lost: wait for it
    // to run (or for run() to have given up).
    m_stopping = true;
    if (!m_started)
        return; // run() will see the flag and not listen
    while (!m_http->is_running() && !m_finished)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    m_http->stop();
}

} // namespace srv
