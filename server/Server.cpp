#include "Server.h"

#include "Methods.h"
#include "Rpc.h"

#include "core/FwError.h"
#include "core/Packet.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <QDateTime>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <sys/socket.h>
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

// Sign-in bodies are a name and two passwords.
constexpr size_t kMaxSessionBody = 64 * 1024;

LoginLimits loginLimits(const ServerOptions& o)
{
    LoginLimits l = o.login;
    l.wait = o.callTimeout;
    return l;
}

void answer(httplib::Response& res, int status, const std::string& body)
{
    res.status = status;
    res.set_content(body, "application/json");
}

// Refused before its body is read: the rest of the body is not waited for.
void refuseUnread(httplib::Response& res, int status, const std::string& body)
{
    answer(res, status, body);
    res.set_header("Connection", "close");
}

const char* kTooLarge = R"({"error":"Requisição grande demais."})";

// A body over the limit is read on and dropped up to this, so that a client
// that sends it whole still reads the refusal; past it the connection closes.
constexpr size_t kDrainLimit = 64u * 1024u * 1024u;

// Reads a body of at most limit bytes, whatever its transfer encoding;
// false with the answer set when it is larger or broken off.
bool readBody(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader, size_t limit,
              std::string& body)
{
    const std::string declared = req.get_header_value("Content-Length");
    if (!declared.empty()) {
        const unsigned long long n = std::strtoull(declared.c_str(), nullptr, 10);
        if (n > kDrainLimit) {
            refuseUnread(res, 413, kTooLarge);
            return false;
        }
        if (n <= limit)
            body.reserve(static_cast<size_t>(n));
    }
    bool over = false;
    size_t seen = 0;
    const bool whole = reader([&](const char* data, size_t len) {
        seen += len;
        if (over || body.size() + len > limit) {
            if (!over) {
                over = true;
                body.clear();
                body.shrink_to_fit();
            }
            return seen <= kDrainLimit;
        }
        // grown by hand: doubling past the limit would hold twice it
        if (body.size() + len > body.capacity())
            body.reserve(std::min(limit, std::max(body.capacity() * 2, body.size() + len)));
        body.append(data, len);
        return true;
    });
    if (over) {
        if (whole)
            answer(res, 413, kTooLarge);
        else
            refuseUnread(res, 413, kTooLarge);
        return false;
    }
    if (!whole) {
        refuseUnread(res, 400, R"({"error":"Corpo da requisição incompleto."})");
        return false;
    }
    return true;
}

} // namespace

std::string logSafe(std::string_view value, bool lastField)
{
    std::string out;
    out.reserve(value.size());
    const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // C0 and C1 controls, DEL, the Unicode line and paragraph separators,
        // blanks (the line's fields are split on them) and the escape itself
        if (u < (lastField ? 0x20 : 0x21) || u == 0x7f || (u >= 0x80 && u < 0xa0) || u == 0x2028 || u == 0x2029 || u == '\\') {
            char buf[8];
            std::snprintf(buf, sizeof buf, u < 0x100 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(u));
            out += buf;
        } else {
            const QByteArray b = QString(c).toUtf8();
            out.append(b.constData(), static_cast<size_t>(b.size()));
        }
    }
    return out.empty() ? std::string("-") : out;
}

AppServer::AppServer(ServerOptions options)
    : m_opt(std::move(options)), m_pool(m_opt.db), m_sessions(m_pool, m_opt.sessionTtl, loginLimits(m_opt)),
      m_http(makeHttp(m_opt))
{
    m_http->set_tcp_nodelay(true);
    // the limits are the routes' own (readBody); this only bounds the drain
    m_http->set_payload_max_length(kDrainLimit);
    m_http->set_read_timeout(std::max(1, m_opt.readTimeout), 0);
    m_http->set_write_timeout(60, 0);
    m_http->set_keep_alive_max_count(100000);
    m_http->set_keep_alive_timeout(std::max(1, m_opt.keepAliveTimeout));
    const auto workers = static_cast<size_t>(std::max(2, m_opt.threads));
    m_http->new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    // The listening socket is kept, to give it the system's largest backlog.
    m_http->set_socket_options([this](int sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (m_listenSocket < 0)
            m_listenSocket = sock;
    });
    routes();
    m_purger = std::thread([this] { purgeLoop(); });
}

AppServer::~AppServer()
{
    {
        std::lock_guard lock(m_purgeMutex);
        m_purgeStop = true;
    }
    m_purgeWake.notify_all();
    if (m_purger.joinable())
        m_purger.join();
}

void AppServer::purgeLoop()
{
    std::unique_lock lock(m_purgeMutex);
    while (!m_purgeWake.wait_for(lock, std::chrono::seconds(std::max(1, m_opt.purgeInterval)), [this] { return m_purgeStop; })) {
        lock.unlock();
        try {
            m_sessions.purge();
        } catch (const DbError& e) {
            log(LogLevel::Warn, {}, "purge", 0, e.text().toStdString());
        }
        lock.lock();
    }
}

void AppServer::log(LogLevel level, const QString& op, const std::string& method, double ms, const std::string& result)
{
    if (level > m_opt.logLevel)
        return;
    const std::string when = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString();
    std::lock_guard lock(g_logMutex);
    const QByteArray who = op.toUtf8();
    std::fprintf(stderr, "%s %s operator=%s method=%s ms=%.1f result=%s\n", when.c_str(), levelName(level),
                 logSafe(std::string_view(who.constData(), static_cast<size_t>(who.size()))).c_str(),
                 logSafe(method).c_str(), ms, logSafe(result, true).c_str());
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
                              std::string& method, bool& ok, const std::function<void(std::string&)>* streamOut)
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
        if (!knownServer(serverName))
            throw RpcFailure(rpc::kMethodNotFound, QStringLiteral("Servidor desconhecido: %1.").arg(serverName));
        const MethodDef* m = findMethod(serverName, req.method);
        if (!m)
            throw RpcFailure(rpc::kMethodNotFound, QStringLiteral("Método desconhecido: %1.").arg(req.method));
        // the log names a method only once it is one of ours
        method = m->name;
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
    // Decided on the headers, before any body is read: unknown routes, a
    // declared body over the limit and a body where none belongs.
    m_http->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        const bool post = req.method == "POST";
        const bool known = (req.method == "GET" && req.path == "/health")
            || ((post || req.method == "DELETE") && req.path == "/session")
            || (post && req.path == "/session/password") || (post && req.path.rfind("/rpc/", 0) == 0);
        if (!known) {
            refuseUnread(res, 404, R"({"error":"Recurso desconhecido."})");
            return httplib::Server::HandlerResponse::Handled;
        }
        const bool hasBody = req.has_header("Transfer-Encoding")
            || (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0");
        if (!post && hasBody) {
            refuseUnread(res, 413, kTooLarge);
            return httplib::Server::HandlerResponse::Handled;
        }
        // a call's size is judged after its token
        const std::string declared = req.get_header_value("Content-Length");
        if (req.path.rfind("/rpc/", 0) != 0 && !declared.empty()
            && std::strtoull(declared.c_str(), nullptr, 10) > kMaxSessionBody) {
            refuseUnread(res, 413, kTooLarge);
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

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

    // Sign-in and password change: the same limits, the same log line.
    auto signIn = [this](const char* what, Sessions::Answer (Sessions::*step)(const std::string&)) {
        return [this, what, step](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
            const auto t0 = std::chrono::steady_clock::now();
            std::string body;
            if (!readBody(req, res, reader, kMaxSessionBody, body)) {
                log(LogLevel::Warn, {}, what, 0, std::to_string(res.status));
                return;
            }
            Sessions::Answer a{500, R"({"error":"Erro interno do servidor."})"};
            try {
                a = (m_sessions.*step)(body);
            } catch (const SignInBusy& e) {
                a = {503, nlohmann::json{{"error", e.shown().toStdString()}}.dump()};
                log(LogLevel::Warn, {}, what, 0, e.text().toStdString());
            } catch (const DbError& e) {
                a = {503, kDbDown};
                log(LogLevel::Error, {}, what, 0, e.text().toStdString());
            }
            answer(res, a.status, a.body);
            log(LogLevel::Info, {}, what,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(),
                std::to_string(a.status));
        };
    };
    m_http->Post("/session", signIn("login", &Sessions::login));
    m_http->Post("/session/password", signIn("password", &Sessions::changePassword));

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

    m_http->Post(R"(/rpc/([A-Za-z0-9_.]+))", [this](const httplib::Request& req, httplib::Response& res,
                                                     const httplib::ContentReader& reader) {
        const auto t0 = std::chrono::steady_clock::now();
        // The token is checked on the headers: without a session nothing of
        // the body is read or held.
        std::optional<QString> op;
        std::optional<std::string> dbDown;
        try {
            op = m_sessions.authenticate(req.get_header_value("Authorization"));
        } catch (const DbError& e) {
            dbDown = e.text().toStdString();
        }
        if (!op && !dbDown) {
            refuseUnread(res, 401, R"({"error":"Sessão expirada ou inválida."})");
            log(LogLevel::Warn, {}, "-", 0, "401");
            return;
        }
        std::string body;
        if (!readBody(req, res, reader, m_opt.maxBody, body)) {
            log(LogLevel::Warn, op.value_or(QString()), "-", 0, std::to_string(res.status));
            return;
        }
        if (dbDown) {
            // an answer of the call, so that the desktop shows why
            std::string id = "null";
            try {
                parseRequest(body, id);
            } catch (const RpcFailure&) {
            }
            answer(res, 200, errorEnvelope(id, rpc::kFailed, QStringLiteral("Banco de dados indisponível. Tente novamente.")));
            log(LogLevel::Error, {}, "-", 0, *dbDown);
            return;
        }
        std::string method = "-";
        bool ok = false;
        const QString serverName = QString::fromStdString(req.matches[1]);
        if (req.get_header_value("Accept").find("application/x-ndjson") != std::string::npos
            && streamable(serverName, body)) {
            // Rows go out as they are read; the call is logged when done.
            res.status = 200;
            res.set_chunked_content_provider(
                "application/x-ndjson",
                [this, serverName, body = std::move(body), who = *op, t0](size_t, httplib::DataSink& sink) {
                    std::string name = "-";
                    bool done = false;
                    bool open = true;
                    const std::function<void(std::string&)> out = [&](std::string& piece) {
                        if (open && !piece.empty())
                            open = sink.write(piece.data(), piece.size());
                        piece.clear();
                    };
                    runRpc(serverName, body, who, name, done, &out);
                    sink.done();
                    log(done ? LogLevel::Info : LogLevel::Warn, who, name,
                        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(),
                        done ? "ok (stream)" : "error");
                    return true;
                });
            return;
        }
        std::string result = handleRpc(serverName, body, *op, method, ok);
        answer(res, 200, result);
        log(ok ? LogLevel::Info : LogLevel::Warn, *op, method,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(),
            ok ? "ok" : "error");
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
    // Listening again only changes the backlog; the system caps it at its
    // own maximum (net.core.somaxconn).
    if (m_listenSocket >= 0)
        ::listen(m_listenSocket, 65535);
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
