#pragma once

// Talking to a server below HTTP clients: raw connections for requests no
// client sends, and the real ped-server program with its log and memory.
#include "support/ServerFixture.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace testsupport {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// A plain TCP connection to the server, for requests no HTTP client sends.
class RawConn {
public:
    // from: the loopback address to connect from (127.0.0.2 is another client)
    explicit RawConn(int port, const char* from = nullptr)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (from) {
            sockaddr_in src{};
            src.sin_family = AF_INET;
            inet_pton(AF_INET, from, &src.sin_addr);
            ::bind(m_fd, reinterpret_cast<sockaddr*>(&src), sizeof src);
        }
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ok = ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawConn() { ::close(m_fd); }
    bool ok() const { return m_ok; }
    // False once the server has closed or refused more.
    bool send(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    // What arrives within the time, up to the end of the headers (and a little).
    std::string answer(int ms = 5000)
    {
        std::string out;
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until && out.find("\r\n\r\n") == std::string::npos) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buf[4096];
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }
    // True when the server closes the connection within the time.
    bool closedWithin(int ms)
    {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buf[4096];
            if (::recv(m_fd, buf, sizeof buf, 0) <= 0)
                return true;
        }
        return false;
    }
    static int status(const std::string& answer)
    {
        return answer.size() > 12 && answer.compare(0, 5, "HTTP/") == 0 ? std::atoi(answer.c_str() + 9) : 0;
    }

private:
    int m_fd = -1;
    bool m_ok = false;
};

inline std::string rpcHead(const std::string& token, const std::string& lengthOrChunked)
{
    std::string h = "POST /rpc/Ped03600.rdmComissaoVend HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n";
    if (!token.empty())
        h += "Authorization: Bearer " + token + "\r\n";
    return h + lengthOrChunked + "\r\n";
}

// Sends chunks of a body until the server stops taking them (or total bytes).
inline size_t sendChunked(RawConn& c, size_t total)
{
    const std::string piece(1 << 20, 'x');
    char head[32];
    std::snprintf(head, sizeof head, "%zx\r\n", piece.size());
    size_t sent = 0;
    while (sent < total && c.send(head + piece + "\r\n"))
        sent += piece.size();
    return sent;
}

// The real ped-server on a small generated database, stopped with the object.
class ServerProcess {
public:
    ServerProcess()
    {
        const srv::DbUrl url = srv::DbUrl::parse(QStringLiteral("sqlite:") + m_dir.path() + QStringLiteral("/p.db"));
        {
            srv::Db gen(url, QStringLiteral("procgen"));
            peddb::GenOptions g;
            g.orders = 20;
            ops = peddb::generate(gen, g);
        }
        // Under AddressSanitizer freed blocks wait in a quarantine, which a
        // memory figure would count as held: the server measured here has none.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) + QStringLiteral("quarantine_size_mb=0:thread_local_quarantine_size_kb=0"));
        m_proc.setProcessEnvironment(env);
        m_proc.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ped-server"),
                     {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"),
                      QStringLiteral("sqlite:") + m_dir.path() + QStringLiteral("/p.db")});
        if (m_proc.waitForReadyRead(20000)) {
            const auto m = QRegularExpression(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)")).match(QString::fromUtf8(m_proc.readLine()));
            port = m.hasMatch() ? m.captured(1).toInt() : 0;
        }
    }
    ~ServerProcess()
    {
        m_proc.terminate();
        m_proc.waitForFinished(20000);
    }
    std::string token()
    {
        httplib::Client c("127.0.0.1", port);
        auto r = c.Post("/session", json{{"operator", "ADM"}, {"password", ops[0].password.toStdString()}}.dump(), "application/json");
        return r && r->status == 200 ? json::parse(r->body)["token"].get<std::string>() : std::string();
    }
    // Peak resident memory so far, in KiB.
    long peakKb()
    {
        QFile f(QStringLiteral("/proc/%1/status").arg(m_proc.processId()));
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        const auto m = QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+)")).match(QString::fromLatin1(f.readAll()));
        return m.hasMatch() ? m.captured(1).toLong() : -1;
    }
    QString log()
    {
        m_proc.terminate();
        m_proc.waitForFinished(20000);
        return QString::fromUtf8(m_proc.readAllStandardError());
    }
    int port = 0;
    std::vector<peddb::DemoOperator> ops;

private:
    QTemporaryDir m_dir;
    QProcess m_proc;
};

} // namespace testsupport
