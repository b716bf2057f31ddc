#pragma once

#include "Database.h"
#include "Sessions.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace httplib {
class Server;
}

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
    // Each open client connection holds a worker while it stays alive, and
    // every desktop keeps a few open: size this for the users, not the CPUs.
    int threads = 64;
    // With both set, the server speaks HTTPS only (PEM files).
    QString tlsCert, tlsKey;
};

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
    void routes();
    void log(LogLevel level, const QString& op, const std::string& method, double ms, const std::string& result);

    ServerOptions m_opt;
    DbPool m_pool;
    Sessions m_sessions;
    std::unique_ptr<httplib::Server> m_http;
    int m_port = 0;
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_finished{false};
};

} // namespace srv
