// Attack: what a hostile client on the same machine can throw at a running
// ped-server, one attack after another; for each, the server's peak resident
// memory and the latency of a real desktop's calls made meanwhile (a kept-
// alive GetToTiComi every 100 ms, and /health on a new connection).
// Usage: bench_attack PORT PASSWORD SERVER_PID [SECONDS]
#include "BenchUtil.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

int g_port = 0;


// A raw connection, from a loopback address of its own when asked.
int connectFrom(const char* from)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (from) {
        sockaddr_in src{};
        src.sin_family = AF_INET;
        inet_pton(AF_INET, from, &src.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr*>(&src), sizeof src);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(g_port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string& s)
{
    size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string rpcHead(const std::string& token, const std::string& framing)
{
    std::string h = "POST /rpc/Ped03600.rdmComissaoVend HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n";
    if (!token.empty())
        h += "Authorization: Bearer " + token + "\r\n";
    return h + framing + "\r\n";
}

// Sends a chunked body until the server stops taking it or the time is up.
void chunkedBody(const std::string& token, std::atomic<bool>& stop)
{
    static const std::string piece = [] {
        std::string p(1 << 20, 'x');
        char head[16];
        std::snprintf(head, sizeof head, "%zx\r\n", p.size());
        return head + p + "\r\n";
    }();
    while (!stop) {
        const int fd = connectFrom(nullptr);
        if (fd < 0)
            continue;
        if (sendAll(fd, rpcHead(token, "Transfer-Encoding: chunked\r\n")))
            for (int i = 0; i < 256 && !stop && sendAll(fd, piece); ++i) {
            }
        ::close(fd);
    }
}

struct Figures {
    long peakKb = 0;
    std::vector<double> callMs, healthMs;
    int failed = 0;
};

double pct(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

// Runs one attack for the time while a real client calls, and samples memory.
Figures during(int pid, const std::string& token, int seconds, const std::function<void(std::atomic<bool>&)>& attack)
{
    Figures f;
    std::atomic<bool> stop{false};
    std::thread attacker([&] { attack(stop); });
    std::thread sampler([&] {
        while (!stop) {
            f.peakKb = std::max(f.peakKb, bench::residentKb(pid));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    httplib::Client desk("127.0.0.1", g_port);
    desk.set_keep_alive(true);
    desk.set_read_timeout(60, 0);
    const httplib::Headers auth{{"Authorization", "Bearer " + token}};
    const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"GetToTiComi","params":["0001","0000000001","001"]})";
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the attack under way
    while (Clock::now() < until) {
        auto t0 = Clock::now();
        auto r = desk.Post("/rpc/Ped03600.rdmComissaoVend", auth, body, "application/json");
        if (!r || r->status != 200 || r->body.find("\"result\"") == std::string::npos)
            ++f.failed;
        f.callMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        t0 = Clock::now();
        httplib::Client fresh("127.0.0.1", g_port);
        fresh.set_read_timeout(60, 0);
        auto h = fresh.Get("/health");
        if (!h || h->status != 200)
            ++f.failed;
        f.healthMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stop = true;
    attacker.join();
    sampler.join();
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_attack PORT PASSWORD SERVER_PID [SECONDS]\n");
        return 2;
    }
    g_port = std::atoi(argv[1]);
    const std::string password = argv[2];
    const int pid = std::atoi(argv[3]);
    const int seconds = argc > 4 ? std::atoi(argv[4]) : 10;

    httplib::Client login("127.0.0.1", g_port);
    login.set_read_timeout(60, 0);
    auto r = login.Post("/session", json{{"operator", "ADM"}, {"password", password}}.dump(), "application/json");
    if (!r || r->status != 200) {
        std::fprintf(stderr, "bench_attack: cannot sign in\n");
        return 1;
    }
    const std::string token = json::parse(r->body)["token"];

    // a wrong password of a known operator and of an unknown one, timed
    auto timedLogin = [&](const char* op) {
        const auto t0 = Clock::now();
        httplib::Client c("127.0.0.1", g_port);
        c.set_read_timeout(60, 0);
        c.Post("/session", json{{"operator", op}, {"password", "palpite-errado"}}.dump(), "application/json");
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    };
    const double knownMs = timedLogin("CONSULTA");
    const double unknownMs = timedLogin("NINGUEM-AQUI");

    struct Row {
        const char* what;
        Figures f;
        std::string note;
    };
    std::vector<Row> rows;
    rows.push_back({"no attack", during(pid, token, seconds, [](std::atomic<bool>& stop) {
                        while (!stop)
                            std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    }), ""});

    for (const bool withToken : {false, true}) {
        rows.push_back({withToken ? "8 chunked bodies of 256 MiB, with a session" : "8 chunked bodies of 256 MiB, no session",
                        during(pid, token, seconds, [&](std::atomic<bool>& stop) {
                            std::vector<std::thread> t;
                            for (int i = 0; i < 8; ++i)
                                t.emplace_back([&] { chunkedBody(withToken ? token : std::string(), stop); });
                            for (auto& th : t)
                                th.join();
                        }), ""});
    }

    rows.push_back({"64 connections: Content-Length 1 GiB, 1 MiB sent", during(pid, token, seconds, [&](std::atomic<bool>& stop) {
                        std::vector<int> fds;
                        for (int i = 0; i < 64; ++i) {
                            const int fd = connectFrom("127.0.0.2");
                            if (fd >= 0 && sendAll(fd, rpcHead(token, "Content-Length: 1073741824\r\n") + std::string(1 << 20, 'x')))
                                fds.push_back(fd);
                            else if (fd >= 0)
                                ::close(fd);
                        }
                        while (!stop)
                            std::this_thread::sleep_for(std::chrono::milliseconds(10));
                        for (int fd : fds)
                            ::close(fd);
                    }), ""});

    rows.push_back({"200 connections sending headers slowly", during(pid, token, seconds, [&](std::atomic<bool>& stop) {
                        std::vector<int> fds;
                        for (int i = 0; i < 200; ++i) {
                            const int fd = connectFrom("127.0.0.2");
                            if (fd >= 0 && sendAll(fd, "POST /rpc/Ped03600.rdmComissaoVend HTTP/1.1\r\nHo"))
                                fds.push_back(fd);
                            else if (fd >= 0)
                                ::close(fd);
                        }
                        while (!stop) {
                            for (int fd : fds)
                                sendAll(fd, "x");
                            for (int i = 0; i < 100 && !stop; ++i)
                                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                        }
                        for (int fd : fds)
                            ::close(fd);
                    }), ""});

    rows.push_back({"500 idle connections", during(pid, token, seconds, [&](std::atomic<bool>& stop) {
                        std::vector<int> fds;
                        for (int i = 0; i < 500; ++i)
                            if (const int fd = connectFrom("127.0.0.3"); fd >= 0)
                                fds.push_back(fd);
                        while (!stop)
                            std::this_thread::sleep_for(std::chrono::milliseconds(10));
                        for (int fd : fds)
                            ::close(fd);
                    }), ""});

    std::atomic<int> refused{0}, limited{0}, other{0};
    rows.push_back({"40 parallel password guesses (VEND01)", during(pid, token, seconds, [&](std::atomic<bool>&) {
                        std::vector<std::thread> t;
                        for (int i = 0; i < 40; ++i)
                            t.emplace_back([&, i] {
                                httplib::Client c("127.0.0.1", g_port);
                                c.set_read_timeout(120, 0);
                                auto a = c.Post("/session", json{{"operator", "VEND01"}, {"password", "palpite-" + std::to_string(i)}}.dump(),
                                                "application/json");
                                const int st = a ? a->status : 0;
                                (st == 401 ? refused : st == 429 ? limited : other)++;
                            });
                        for (auto& th : t)
                            th.join();
                    }), ""});
    rows.back().note = std::to_string(refused.load()) + " checked (401), " + std::to_string(limited.load()) + " 429, "
        + std::to_string(other.load()) + " other";

    rows.push_back({"200 sign-ins of invented names", during(pid, token, seconds, [&](std::atomic<bool>&) {
                        std::vector<std::thread> t;
                        for (int i = 0; i < 200; ++i)
                            t.emplace_back([i] {
                                httplib::Client c("127.0.0.1", g_port);
                                c.set_read_timeout(120, 0);
                                c.Post("/session", json{{"operator", "X" + std::to_string(i)}, {"password", "x"}}.dump(),
                                       "application/json");
                            });
                        for (auto& th : t)
                            th.join();
                    }), ""});

    std::printf("| attack | peak memory (MB) | call p50 / max (ms) | /health max (ms) | failed | note |\n");
    std::printf("|---|---:|---:|---:|---:|---|\n");
    for (const auto& row : rows)
        std::printf("| %s | %.0f | %.1f / %.0f | %.0f | %d | %s |\n", row.what, static_cast<double>(row.f.peakKb) / 1024.0,
                    pct(row.f.callMs, 0.5), pct(row.f.callMs, 1.0), pct(row.f.healthMs, 1.0), row.f.failed, row.note.c_str());
    std::printf("\nwrong password: known operator %.0f ms, unknown operator %.0f ms\n", knownMs, unknownMs);
    return 0;
}
