#pragma once

// The application server running in the benchmark's own process on a
// loopback port, over the given SQLite file; stopped when it goes.
#include "server/Server.h"

#include <thread>

namespace bench {

class BenchServer {
public:
    explicit BenchServer(const QString& sqlitePath) : server(options(sqlitePath))
    {
        port = server.bind();
        m_thread = std::thread([this] { server.run(); });
    }
    ~BenchServer()
    {
        server.stop();
        m_thread.join();
    }
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    srv::AppServer server;
    int port = 0;

private:
    static srv::ServerOptions options(const QString& path)
    {
        srv::ServerOptions opt;
        opt.db = srv::DbUrl::parse(QStringLiteral("sqlite:") + path);
        opt.logLevel = srv::LogLevel::Error;
        return opt;
    }
    std::thread m_thread;
};

} // namespace bench
