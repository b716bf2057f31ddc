// Soak: drives a running ped-server at a fixed rate for a given time (90 %
// reads, 10 % change sets), and every minute prints the latency of the calls
// of that minute, the errors, and the server's resident memory and open
// files (from /proc). Exits 1 on any error, a p99 over 100 ms for the
// single-order calls, memory growing 10 % or more from minute 5 to the end,
// or open files growing.
// Usage: bench_soak PORT PASSWORD SERVER_PID [MINUTES] [RATE]
#include "BenchUtil.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

long openFiles(int pid)
{
    std::error_code ec;
    long n = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_soak PORT PASSWORD SERVER_PID [MINUTES] [RATE]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::string password = argv[2];
    const int pid = std::atoi(argv[3]);
    const double minutes = argc > 4 ? std::atof(argv[4]) : 30;
    const int rate = argc > 5 ? std::atoi(argv[5]) : 200;

    httplib::Client login("127.0.0.1", port);
    auto r = login.Post("/session", json{{"operator", "ADM"}, {"password", password}}.dump(), "application/json");
    if (!r || r->status != 200) {
        std::fprintf(stderr, "soak: login failed\n");
        return 1;
    }
    const httplib::Headers auth{{"Authorization", "Bearer " + json::parse(r->body)["token"].get<std::string>()}};
    auto call = [&](httplib::Client& c, const std::string& method, const json& params) {
        return c.Post("/rpc/Ped03600.rdmComissaoVend", auth,
                      json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", method}, {"params", params}}.dump(), "application/json");
    };
    // the orders and items the calls go to
    httplib::Client probe("127.0.0.1", port);
    auto orders = call(probe, "GetNrpedido", json::array({"0001"}));
    std::vector<std::string> numbers;
    const json list = orders && orders->status == 200 ? json::parse(orders->body, nullptr, false) : json();
    if (list.is_object() && list.contains("result"))
        for (const auto& row : list["result"]["rows"])
            numbers.push_back(row[1].get<std::string>());
    if (numbers.empty()) {
        std::fprintf(stderr, "soak: no orders in branch 0001: %s\n", orders ? orders->body.substr(0, 300).c_str() : "no answer");
        return 1;
    }

    std::mutex m;
    std::vector<double> minuteTimes;
    long errors = 0, totalErrors = 0, sent = 0;
    const int workers = 8;
    std::atomic<bool> stop{false};
    const auto begin = Clock::now();
    const auto interval = std::chrono::duration<double>(static_cast<double>(workers) / rate);
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            httplib::Client c("127.0.0.1", port);
            c.set_keep_alive(true);
            c.set_tcp_nodelay(true);
            c.set_read_timeout(30, 0);
            std::mt19937 rng(static_cast<unsigned>(w + 1));
            auto next = begin + std::chrono::duration_cast<Clock::duration>(interval * (static_cast<double>(w) / workers));
            while (!stop) {
                std::this_thread::sleep_until(next);
                next += std::chrono::duration_cast<Clock::duration>(interval);
                const std::string& order = numbers[rng() % numbers.size()];
                const auto t0 = Clock::now();
                bool ok = false;
                if (rng() % 10 != 0) { // reads of one order
                    auto a = rng() % 2 ? call(c, "GetItemPedido", json::array({"0001", order}))
                                       : call(c, "GetLanc", json::array({"0001", order, "001"}));
                    ok = a && a->status == 200 && a->body.find("\"result\"") != std::string::npos;
                } else { // the order's first item: a salesman's percentage set back and forth
                    auto lanc = call(c, "GetLanc", json::array({"0001", order, "001"}));
                    ok = lanc && lanc->status == 200;
                    if (ok) {
                        const json rows = json::parse(lanc->body)["result"][1]["rows"];
                        if (!rows.empty()) {
                            // the line's key, salesman and percentage: its first six fields
                            auto first6 = [](const json& a) {
                                json out = json::array();
                                for (size_t k = 0; k < 6 && k < a.size(); ++k)
                                    out.push_back(a[k]);
                                return out;
                            };
                            const json oldRow = first6(rows[0]);
                            json newRow = oldRow;
                            const double pct = newRow[5].get<double>();
                            newRow[5] = pct >= 5 ? pct - 0.5 : pct + 0.5;
                            const json fields = first6(json::parse(lanc->body)["result"][1]["fields"]);
                            auto a = call(c, "SetVendedor",
                                          json::array({{{"fields", fields}, {"changes", {{{"op", "modify"}, {"old", oldRow}, {"new", newRow}}}}},
                                                       "ADM", false, "1"}));
                            // a conflict with another worker is an answer, not an error
                            ok = a && a->status == 200;
                        }
                    }
                }
                const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                std::lock_guard lock(m);
                ++sent;
                minuteTimes.push_back(ms);
                if (!ok)
                    ++errors;
            }
        });
    }
    long rss5 = -1, files5 = -1, rssLast = 0, filesLast = 0;
    double worstP99 = 0;
    const int total = std::max(1, static_cast<int>(minutes * 60));
    std::printf("minute  calls  errors   p50 ms   p99 ms   RSS KB  open files\n");
    for (int s = 1; s <= total; ++s) {
        std::this_thread::sleep_until(begin + std::chrono::seconds(s));
        if (s % 60 != 0 && s != total)
            continue;
        std::vector<double> t;
        long e;
        {
            std::lock_guard lock(m);
            t.swap(minuteTimes);
            e = errors;
            totalErrors += errors;
            errors = 0;
        }
        std::sort(t.begin(), t.end());
        const double p50 = t.empty() ? 0 : t[t.size() / 2];
        const double p99 = t.empty() ? 0 : t[std::min(t.size() - 1, t.size() * 99 / 100)];
        rssLast = bench::residentKb(pid);
        filesLast = openFiles(pid);
        const int minute = (s + 59) / 60;
        if (minute >= 5 && rss5 < 0) {
            rss5 = rssLast;
            files5 = filesLast;
        }
        worstP99 = std::max(worstP99, p99);
        std::printf("%6d %6zu %7ld %8.2f %8.2f %8ld %11ld\n", minute, t.size(), e, p50, p99, rssLast, filesLast);
        std::fflush(stdout);
    }
    stop = true;
    for (auto& th : threads)
        th.join();
    const double growth = rss5 > 0 ? 100.0 * static_cast<double>(rssLast - rss5) / static_cast<double>(rss5) : 0;
    std::printf("soak: %ld calls, %ld errors, worst minute p99 %.2f ms (goal <= 100), memory %+.1f %% from minute 5 "
                "(goal < 10), open files %ld -> %ld\n",
                sent, totalErrors, worstP99, rss5 > 0 ? growth : 0.0, files5 > 0 ? files5 : filesLast, filesLast);
    const bool pass = totalErrors == 0 && worstP99 <= 100 && growth < 10 && (files5 < 0 || filesLast <= files5);
    return pass ? 0 : 1;
}
