// The HTTP layer against hostile or careless clients: bodies past the
// limit in any encoding, calls without a session, slow and idle
// connections, too many connections.
#include "support/RawHttp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

using namespace testsupport;

namespace {

class HttpLimits : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s = new TestServer(50, 7); }
    static void TearDownTestSuite() { delete s; }
    static TestServer* s;
};
TestServer* HttpLimits::s = nullptr;

TEST_F(HttpLimits, BodiesOverTheLimitAre413WhateverTheEncodingAndRpcWithoutATokenIsRefusedOnItsHeaders)
{
    const std::string tok = s->token(QStringLiteral("ADM"));
    ASSERT_FALSE(tok.empty());
    {
        // a gigabyte declared: refused at once, not read
        RawConn c(s->port);
        const auto t0 = Clock::now();
        ASSERT_TRUE(c.send(rpcHead(tok, "Content-Length: 1073741824\r\n") + std::string(32 << 10, 'x')));
        EXPECT_EQ(RawConn::status(c.answer()), 413);
        EXPECT_LT(secondsSince(t0), 2.0);
        EXPECT_TRUE(c.closedWithin(2000));
    }
    {
        // chunked: past 16 MiB nothing more is kept, and the client that
        // sends it whole reads the refusal
        RawConn c(s->port);
        ASSERT_TRUE(c.send(rpcHead(tok, "Transfer-Encoding: chunked\r\n")));
        sendChunked(c, 20u << 20);
        ASSERT_TRUE(c.send("0\r\n\r\n"));
        EXPECT_EQ(RawConn::status(c.answer()), 413);
    }
    {
        // one that goes on and on is cut off
        RawConn c(s->port);
        ASSERT_TRUE(c.send(rpcHead(tok, "Transfer-Encoding: chunked\r\n")));
        EXPECT_LT(sendChunked(c, 256u << 20), 256u << 20);
    }
    {
        // without a token, whatever the body: 401 on the headers
        RawConn c(s->port);
        const auto t0 = Clock::now();
        ASSERT_TRUE(c.send(rpcHead("", "Content-Length: 1073741824\r\n")));
        EXPECT_EQ(RawConn::status(c.answer()), 401);
        RawConn chunked(s->port);
        ASSERT_TRUE(chunked.send(rpcHead(std::string(64, 'a'), "Transfer-Encoding: chunked\r\n")));
        EXPECT_EQ(RawConn::status(chunked.answer()), 401);
        EXPECT_LT(secondsSince(t0), 2.0);
    }
    {
        // sign-in bodies are small; unknown routes and bodies on GET are not read
        RawConn c(s->port);
        ASSERT_TRUE(c.send("POST /session HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"));
        sendChunked(c, 8u << 20);
        ASSERT_TRUE(c.send("0\r\n\r\n"));
        EXPECT_EQ(RawConn::status(c.answer()), 413);
        RawConn other(s->port);
        ASSERT_TRUE(other.send("POST /upload HTTP/1.1\r\nHost: x\r\nContent-Length: 100000000\r\n\r\n"));
        EXPECT_EQ(RawConn::status(other.answer()), 404);
        RawConn get(s->port);
        ASSERT_TRUE(get.send("GET /health HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"));
        EXPECT_EQ(RawConn::status(get.answer()), 413);
    }
    // a body at the limit's side is still served, and the server goes on
    const json big = json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "GetToTiComi"},
                          {"params", {"0001", "0000000001", "001"}}, {"pad", std::string(15u << 20, ' ')}};
    auto r = s->raw(tok, big.dump());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(json::parse(r->body).count("result"), 1u);
}

// Under AddressSanitizer every newly mapped block also touches its shadow
// (an eighth of its size): blocks mapped again at new addresses show as growth.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kSanitizerShadowKb = 32 * 1024;
#else
constexpr long kSanitizerShadowKb = 0;
#endif

TEST(Memory, AFloodOfChunkedBodiesHoldsNoMoreThanTheLimit)
{
    ServerProcess p;
    ASSERT_GT(p.port, 0);
    const std::string tok = p.token();
    ASSERT_FALSE(tok.empty());
    const long before = p.peakKb();
    ASSERT_GT(before, 0);
    // without a token: refused on the headers, nothing held
    for (int i = 0; i < 4; ++i) {
        RawConn c(p.port);
        ASSERT_TRUE(c.send(rpcHead("", "Transfer-Encoding: chunked\r\n")));
        sendChunked(c, 256u << 20);
        EXPECT_EQ(RawConn::status(c.answer()), 401);
    }
    EXPECT_LT(p.peakKb() - before, 4 * 1024);
    // with one: refused (413) once past the limit, having held at most the
    // 16 MiB a call may send, once per connection
    std::vector<std::thread> flood;
    for (int i = 0; i < 4; ++i)
        flood.emplace_back([&] {
            RawConn c(p.port);
            c.send(rpcHead(tok, "Transfer-Encoding: chunked\r\n"));
            sendChunked(c, 48u << 20);
            c.send("0\r\n\r\n");
            EXPECT_EQ(RawConn::status(c.answer(20000)), 413);
        });
    for (auto& t : flood)
        t.join();
    // (each held up to 16 MiB, and while it grew, the block it grew from)
    EXPECT_LT(p.peakKb() - before, 4 * 26 * 1024);
    // and four that never end: cut off, holding no more than the limit each
    // either (the freed bodies went back to the system, so a second flood
    // may map its 16 MiB again: the bound is the same, not "nothing more")
    for (int i = 0; i < 4; ++i)
        flood[size_t(i)] = std::thread([&] {
            RawConn c(p.port);
            c.send(rpcHead(tok, "Transfer-Encoding: chunked\r\n"));
            EXPECT_LT(sendChunked(c, 256u << 20), 256u << 20);
        });
    for (auto& t : flood)
        t.join();
    EXPECT_LT(p.peakKb() - before, 4 * 26 * 1024 + kSanitizerShadowKb);
}

TEST(SlowClients, TwoHundredSlowHeaderSendersDoNotDelayARealCall)
{
    TestServer t(20, 7);
    const std::string tok = t.token();
    ASSERT_FALSE(tok.empty());
    // another address's 200 connections, each sending its headers a byte at a time
    std::vector<std::unique_ptr<RawConn>> slow;
    for (int i = 0; i < 200; ++i) {
        slow.push_back(std::make_unique<RawConn>(t.port, "127.0.0.2"));
        slow.back()->send("POST /rpc/Ped03600.rdmComissaoVend HTTP/1.1\r\nHo");
    }
    std::atomic<bool> done{false};
    std::thread drip([&] {
        while (!done) {
            for (auto& c : slow)
                c->send("x");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
    });
    for (int i = 0; i < 5; ++i) {
        const auto t0 = Clock::now();
        EXPECT_EQ(t.call(tok, "GetToTiComi", {"0001", "0000000001", "001"}).count("result"), 1u);
        EXPECT_LT(secondsSince(t0), 1.0);
        auto health = httplib::Client("127.0.0.1", t.port).Get("/health");
        ASSERT_TRUE(health);
        EXPECT_EQ(health->status, 200);
        EXPECT_LT(secondsSince(t0), 1.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    done = true;
    drip.join();
}

TEST(SlowClients, AnOrdersReadsAnswerWhileEveryWorkerWaitsForTheWriteLock)
{
    srv::ServerOptions o;
    o.threads = 1;
    TestServer t(20, 7, o);
    if (t.firebird())
        GTEST_SKIP() << "SQLite's single writer";
    const std::string tok = t.token();
    ASSERT_FALSE(tok.empty());
    // another process's long write holds the lock; the only worker waits for it
    srv::Db writer(t.url, QStringLiteral("longwrite"));
    writer.begin();
    writer.exec(QStringLiteral("UPDATE PARAMGERAL SET DSVALOR = DSVALOR WHERE CDPARAM = 'DBPICT0'"));
    std::atomic<bool> written{false};
    std::thread write([&] {
        httplib::Client c("127.0.0.1", t.port);
        c.set_read_timeout(60, 0);
        const std::string body = R"({"jsonrpc":"2.0","id":1,"method":"SetCancelaComissaoPed","params":["9999999999","0001","S"]})";
        auto r = c.Post("/rpc/Ped03600.rdmComissaoVend", {{"Authorization", "Bearer " + tok}}, body, "application/json");
        EXPECT_TRUE(r && r->body.find("Pedido não encontrado.") != std::string::npos);
        written = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string order = t.db->scalar(QStringLiteral("SELECT MIN(NRPEDIDO) FROM ITEMPEDIDO WHERE CDFILIAL = '0001'")).toString().toStdString();
    for (const auto& [method, params] : {std::pair<std::string, json>{"GetItemPedido", {"0001", order}},
                                         {"GetToTiComi", {"0001", order, "001"}},
                                         {"GetHistComissao", {"0001", order, "001"}}}) {
        const auto t0 = Clock::now();
        EXPECT_EQ(t.call(tok, method, params).count("result"), 1u) << method;
        EXPECT_LT(secondsSince(t0), 1.0) << method;
    }
    EXPECT_FALSE(written);
    // the order list is not one of them: it waits for the worker
    auto list = std::async(std::launch::async, [&] {
        httplib::Client c("127.0.0.1", t.port);
        c.set_read_timeout(60, 0);
        return c.Post("/rpc/Ped03600.rdmComissaoVend", {{"Authorization", "Bearer " + tok}},
                      json{{"jsonrpc", "2.0"}, {"id", 2}, {"method", "GetNrpedido"}, {"params", {"0001"}}}.dump(), "application/json");
    });
    EXPECT_EQ(list.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout);
    writer.rollback();
    write.join();
    EXPECT_TRUE(written);
    auto r = list.get();
    ASSERT_TRUE(r);
    EXPECT_NE(r->body.find("\"result\""), std::string::npos);
}

TEST(SlowClients, ConnectionsOverTheCapsAre503AndSilentOrIdleOnesAreClosed)
{
    srv::ServerOptions o;
    o.maxPerAddress = 4;
    o.readTimeout = 1;
    o.keepAliveTimeout = 2;
    TestServer t(20, 7, o);
    std::vector<std::unique_ptr<RawConn>> mine;
    for (int i = 0; i < 4; ++i) {
        // each answered once, so the server is known to hold it before the fifth comes
        mine.push_back(std::make_unique<RawConn>(t.port, "127.0.0.3"));
        ASSERT_TRUE(mine.back()->send("GET /health HTTP/1.1\r\nHost: x\r\n\r\n"));
        ASSERT_EQ(RawConn::status(mine.back()->answer()), 200);
    }
    RawConn fifth(t.port, "127.0.0.3");
    ASSERT_TRUE(fifth.send("GET /health HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_EQ(RawConn::status(fifth.answer()), 503);
    // another address is served
    auto health = httplib::Client("127.0.0.1", t.port).Get("/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
    // headers that stop coming: closed after the read timeout
    RawConn silent(t.port);
    ASSERT_TRUE(silent.send("GET /health HTTP/1.1\r\nHo"));
    EXPECT_TRUE(silent.closedWithin(3000));
    // a kept-alive connection idle past its timeout is closed, not before
    RawConn idle(t.port);
    ASSERT_TRUE(idle.send("GET /health HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_EQ(RawConn::status(idle.answer()), 200);
    EXPECT_FALSE(idle.closedWithin(1000));
    EXPECT_TRUE(idle.closedWithin(3000));
}

} // namespace
