#pragma once

#include "Storage.h"
#include "Http.h"
#include "Sessions.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <string_view>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace srv {

enum class LogLevel { Error = 0, Warn = 1, Info = 2, Debug = 3 };

struct ServerOptions {
    QString host = QStringLiteral("127.0.0.1");
    int port = 0;
    DbUrl db;
    int sessionTtl = 28800;
    int callTimeout = 30;
    LogLevel logLevel = LogLevel::Info;
    size_t maxBody = 16u * 1024u * 1024u;
    // Calls served at once (each with its own database connection); open
    // connections cost no worker while they wait.
    int threads = 16;
    // Connections in all and from one address; more are answered 503.
    int maxConnections = 1024;
    int maxPerAddress = 128;
    // With both set, the server speaks HTTPS only (PEM files).
    QString tlsCert, tlsKey;
    // A connection must send something within this many seconds while its
    // request is being read; a kept-alive one is closed after idling this long.
    int readTimeout = 5;
    int keepAliveTimeout = 30;
    // Expired sessions and old failed logins are removed this often (seconds).
    int purgeInterval = 60;
    LoginLimits login;
};

// One value of a request as a log line may show it: control characters,
// blanks and backslashes escaped, so that no value can break or forge a line
// (the last field of a line keeps its blanks).
std::string logSafe(std::string_view value, bool lastField = false);

// The application server: sessions, health and the JSON-RPC endpoints.
class AppServer {
public:
    explicit AppServer(ServerOptions options);
    ~AppServer();

    int bind();  // the port it listens on; throws when it cannot
    void run();  // serves until stop()
    void stop();
    int port() const { return m_port; }
    DbPool& pool() { return m_pool; }
    Sessions& sessions() { return m_sessions; }

    // Handles one JSON-RPC body as the route does (for tests and benchmarks).
    std::string handleRpc(const QString& serverName, const std::string& body, const QString& op, std::string& method,
                          bool& ok);

    // True when the call may be answered as a stream of lines.
    static bool streamable(const QString& serverName, const std::string& body);

private:
    // One call; with streamOut the answer goes out through it as lines.
    // outcome: what the log line says of the call ("ok", "refused: <text>", "error: <text>").
    std::string runRpc(const QString& serverName, const std::string& body, const QString& op, std::string& method,
                       bool& ok, const std::function<void(std::string&)>* streamOut, std::string* outcome = nullptr);
    // The HTTP layer's two steps: on the headers, then the whole request.
    std::optional<HttpResponse> onHeaders(HttpRequest& req, size_t& limit);
    // The routes: GET /health, POST /session and /session/password,
    // DELETE /session, POST /rpc/<server>.
    HttpResponse handle(HttpRequest& req);
    HttpResponse health();
    HttpResponse signIn(const HttpRequest& req);
    HttpResponse logout(const HttpRequest& req);
    HttpResponse call(HttpRequest& req);
    void purgeLoop();
    void log(LogLevel level, const QString& op, const std::string& method, double ms, const std::string& result);

    ServerOptions m_opt;
    DbPool m_pool;
    Sessions m_sessions;
    std::unique_ptr<HttpServer> m_http;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::mutex m_runMutex;
    std::condition_variable m_runWake;
    std::thread m_purger;
    std::mutex m_purgeMutex;
    std::condition_variable m_purgeWake;
    bool m_purgeStop = false;
};

} // namespace srv
