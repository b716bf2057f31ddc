#include "Server.h"

#include "Methods.h"
#include "Rpc.h"

#include "core/FwError.h"
#include "core/Packet.h"

#include <nlohmann/json.hpp>

#include <QDateTime>
#include <QFile>
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
const char* kTooLarge = R"({"error":"Requisição grande demais."})";
const char* kNoSession = R"({"error":"Sessão expirada ou inválida."})";

// Sign-in bodies are a name and two passwords.
constexpr size_t kMaxSessionBody = 64 * 1024;

LoginLimits loginLimits(const ServerOptions& o)
{
    LoginLimits l = o.login;
    l.wait = o.callTimeout;
    return l;
}

std::string readPem(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().toStdString();
}

HttpOptions httpOptions(const ServerOptions& o)
{
    HttpOptions h;
    h.host = o.host.toStdString();
    h.port = o.port;
    h.workers = o.threads;
    h.readTimeout = o.readTimeout;
    h.keepAliveTimeout = o.keepAliveTimeout;
    h.maxConnections = o.maxConnections;
    h.maxPerAddress = o.maxPerAddress;
    if (o.tlsCert.isEmpty() && o.tlsKey.isEmpty())
        return h;
    if (o.tlsCert.isEmpty() || o.tlsKey.isEmpty())
        throw DbError(QStringLiteral("Para HTTPS informe o certificado e a chave."));
    h.tlsCertPem = readPem(o.tlsCert);
    h.tlsKeyPem = readPem(o.tlsKey);
    if (h.tlsCertPem.empty() || h.tlsKeyPem.empty())
        throw DbError(QStringLiteral("Certificado ou chave inválidos ou ilegíveis: %1, %2.").arg(o.tlsCert, o.tlsKey));
    return h;
}

HttpResponse reply(int status, std::string body, bool close = false)
{
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    r.close = close;
    return r;
}

bool isCall(const HttpRequest& req)
{
    return req.method == "POST" && req.path.rfind("/rpc/", 0) == 0;
}

bool isSignIn(const HttpRequest& req)
{
    return req.method == "POST" && (req.path == "/session" || req.path == "/session/password");
}

// The server name of a call's path, or empty when it is not one.
QString callServer(const std::string& path)
{
    const std::string name = path.substr(5);
    if (name.empty() || name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.")
                            != std::string::npos)
        return {};
    return QString::fromStdString(name);
}

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
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
    : m_opt(std::move(options)), m_pool(m_opt.db), m_sessions(m_pool, m_opt.sessionTtl, loginLimits(m_opt))
{
    HttpHandlers h;
    h.onHeaders = [this](HttpRequest& req, size_t& limit) { return onHeaders(req, limit); };
    h.handle = [this](HttpRequest& req) { return handle(req); };
    h.isSignIn = isSignIn;
    h.isQuick = [](const HttpRequest& req) {
        if (!isCall(req) || !req.whoUnavailable.empty() || req.header("accept").find("application/x-ndjson") != std::string::npos)
            return false;
        std::string id;
        try {
            const MethodDef* m = findMethod(callServer(req.path), parseRequest(req.body, id).method);
            return m && m->quick;
        } catch (const RpcFailure&) {
            return false;
        }
    };
    // each worker opens its database connection before its first request,
    // which then never pays for it (a database down now is tried again then)
    h.onWorkerStart = [this] {
        try {
            m_pool.get();
        } catch (const std::exception&) {
        }
    };
    m_http = std::make_unique<HttpServer>(httpOptions(m_opt), std::move(h));
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
        // A method's refusal is a decision and names its reason; a malformed
        // call is logged by its code only, since its text echoes what was sent.
        if (outcome)
            *outcome = code == rpc::kFailed ? "refused: " + message.toStdString() : "error " + std::to_string(code);
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

std::optional<HttpResponse> AppServer::onHeaders(HttpRequest& req, size_t& limit)
{
    // Decided before any body is read: unknown routes, a body where none
    // belongs, a call without a session.
    const bool known = (req.method == "GET" && req.path == "/health") || isSignIn(req)
        || (req.method == "DELETE" && req.path == "/session") || (isCall(req) && !callServer(req.path).isEmpty());
    if (!known)
        return reply(404, R"({"error":"Recurso desconhecido."})", true);
    if (isSignIn(req)) {
        limit = kMaxSessionBody;
        return std::nullopt;
    }
    if (!isCall(req)) {
        limit = 0;
        const std::string length = req.header("content-length");
        if (!req.header("transfer-encoding").empty() || (!length.empty() && length != "0"))
            return reply(413, kTooLarge, true);
        return std::nullopt;
    }
    limit = m_opt.maxBody;
    try {
        const auto op = m_sessions.authenticate(req.header("authorization"));
        if (!op) {
            log(LogLevel::Warn, {}, "-", 0, "401");
            return reply(401, kNoSession, true);
        }
        req.who = op->toStdString();
    } catch (const DbError& e) {
        // answered once the body is read, as the call's own failure
        req.whoUnavailable = e.text().toStdString();
    }
    return std::nullopt;
}

HttpResponse AppServer::handle(HttpRequest& req)
{
    if (req.path == "/health")
        return health();
    if (isSignIn(req))
        return signIn(req);
    if (req.method == "DELETE")
        return logout(req);
    return call(req);
}

HttpResponse AppServer::health()
{
    const bool up = [&] {
        try {
            return m_pool.get().ping();
        } catch (...) {
            return false;
        }
    }();
    return reply(up ? 200 : 503, up ? R"({"status":"ok"})" : R"({"status":"unavailable"})");
}

HttpResponse AppServer::signIn(const HttpRequest& req)
{
    const auto t0 = std::chrono::steady_clock::now();
    const bool login = req.path == "/session";
    const char* what = login ? "login" : "password";
    Sessions::Answer a{500, R"({"error":"Erro interno do servidor."})"};
    try {
        a = login ? m_sessions.login(req.body) : m_sessions.changePassword(req.body);
    } catch (const SignInBusy& e) {
        a = {503, nlohmann::json{{"error", e.shown().toStdString()}}.dump()};
        log(LogLevel::Warn, {}, what, 0, e.text().toStdString());
    } catch (const DbError& e) {
        a = {503, kDbDown};
        log(LogLevel::Error, {}, what, 0, e.text().toStdString());
    }
    log(LogLevel::Info, {}, what, msSince(t0), std::to_string(a.status));
    return reply(a.status, std::move(a.body));
}

HttpResponse AppServer::logout(const HttpRequest& req)
{
    try {
        if (m_sessions.logout(req.header("authorization")))
            return reply(204, {});
        return reply(401, kNoSession);
    } catch (const DbError& e) {
        // not an invalid session: the session may still be there
        log(LogLevel::Error, {}, "logout", 0, e.text().toStdString());
        return reply(503, kDbDown);
    }
}

HttpResponse AppServer::call(HttpRequest& req)
{
    const auto t0 = std::chrono::steady_clock::now();
    const QString serverName = callServer(req.path);
    if (!req.whoUnavailable.empty()) {
        // an answer of the call, so that the desktop shows why
        std::string id = "null";
        try {
            parseRequest(req.body, id);
        } catch (const RpcFailure&) {
        }
        log(LogLevel::Error, {}, "-", 0, req.whoUnavailable);
        return reply(200, errorEnvelope(id, rpc::kFailed, QStringLiteral("Banco de dados indisponível. Tente novamente.")));
    }
    const QString who = QString::fromStdString(req.who);
    if (req.header("accept").find("application/x-ndjson") != std::string::npos && streamable(serverName, req.body)) {
        // Rows go out as they are read; the call is logged when done.
        HttpResponse r;
        r.contentType = "application/x-ndjson";
        r.stream = [this, serverName, body = std::move(req.body), who, t0](StreamSink& sink) {
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
            log(done ? LogLevel::Info : LogLevel::Warn, who, name, msSince(t0), outcome);
        };
        return r;
    }
    std::string method = "-";
    std::string outcome;
    bool ok = false;
    std::string result = runRpc(serverName, req.body, who, method, ok, nullptr, &outcome);
    log(ok ? LogLevel::Info : LogLevel::Warn, who, method, msSince(t0), outcome);
    return reply(200, std::move(result));
}

int AppServer::bind()
{
    try {
        m_port = m_http->start();
    } catch (const std::exception& e) {
        throw DbError(QStringLiteral("Não foi possível escutar em %1:%2 (%3).").arg(m_opt.host).arg(m_opt.port).arg(QString::fromUtf8(e.what())));
    }
    return m_port;
}

void AppServer::run()
{
    // the HTTP layer serves on its own threads from bind() on
    std::unique_lock lock(m_runMutex);
    m_runWake.wait(lock, [this] { return m_stopping.load(); });
}

void AppServer::stop()
{
    {
        std::lock_guard lock(m_runMutex);
        m_stopping = true;
    }
    m_runWake.notify_all();
    m_http->stop();
}

} // namespace srv
