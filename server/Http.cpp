#include "Http.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <vector>

namespace srv {

namespace {

// Fixed threads taking jobs in order; a full queue refuses more.
class WorkQueue {
public:
    WorkQueue(int threads, size_t maxQueued, const std::function<void()>& onStart) : m_max(maxQueued)
    {
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this, onStart] {
                if (onStart)
                    onStart();
                loop();
            });
    }
    ~WorkQueue() { finish(); }
    bool post(std::function<void()> job)
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_jobs.size() >= m_max)
            return false;
        m_jobs.push_back(std::move(job));
        m_wake.notify_one();
        return true;
    }
    // Runs what was posted, then ends the threads.
    void finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (auto& t : m_threads)
            if (t.joinable())
                t.join();
        m_threads.clear();
    }

private:
    void loop()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    size_t m_max;
    bool m_stopping = false;
};

// Per connection: its address and whether it came over a cap.
struct Peer {
    std::string address;
    bool over = false;
};

// Bytes of a streamed answer waiting for the client before the worker waits.
constexpr size_t kStreamWindow = 1u << 20;

// A body over its limit is read on and dropped up to this, so that a client
// that sends it whole still reads the refusal; past it the connection closes.
constexpr size_t kDrainLimit = 64u << 20;

} // namespace

// One request, from its headers to its answer. Shared by the connection,
// the worker serving it and a streamed answer's reader.
struct Exchange {
    HttpServer::Impl* srv = nullptr;
    MHD_Connection* conn = nullptr;
    HttpRequest req;
    enum class Phase { Checking, Body, Working, Answered };
    std::atomic<Phase> phase{Phase::Checking};
    size_t limit = 0;
    bool over = false;   // past its limit: the rest is dropped
    size_t drained = 0;
    // a streamed answer
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::string> pieces;
    size_t offset = 0, queued = 0;
    bool finished = false, waiting = false, gone = false;
};
using ExchangePtr = std::shared_ptr<Exchange>;

struct HttpServer::Impl {
    HttpOptions opt;
    HttpHandlers h;
    MHD_Daemon* daemon = nullptr;
    std::unique_ptr<WorkQueue> calls, signIns;
    std::atomic<bool> stopping{false};
    mutable std::mutex peersMutex;
    std::unordered_map<std::string, int> perAddress;
    int open = 0;

    static void resume(Exchange& ex) { MHD_resume_connection(ex.conn); }

    static MHD_Result queue(MHD_Connection* c, const HttpResponse& r)
    {
        MHD_Response* resp = MHD_create_response_from_buffer(r.body.size(), const_cast<char*>(r.body.data()),
                                                             MHD_RESPMEM_MUST_COPY);
        if (!resp)
            return MHD_NO;
        MHD_add_response_header(resp, MHD_HTTP_HEADER_CONTENT_TYPE, r.contentType.c_str());
        if (r.close)
            MHD_add_response_header(resp, MHD_HTTP_HEADER_CONNECTION, "close");
        const MHD_Result ok = MHD_queue_response(c, static_cast<unsigned>(r.status), resp);
        MHD_destroy_response(resp);
        return ok;
    }

    static HttpResponse tooLarge(bool close)
    {
        return made(413, R"({"error":"Requisição grande demais."})", close);
    }

    static HttpResponse made(int status, const char* body, bool close)
    {
        HttpResponse r;
        r.status = status;
        r.body = body;
        r.close = close;
        return r;
    }

    static HttpResponse busy() { return made(503, R"({"error":"Servidor ocupado. Tente novamente."})", true); }

    // A streamed answer's bytes, read by MHD when the socket can take them.
    static ssize_t readStream(void* cls, uint64_t, char* buf, size_t max)
    {
        Exchange& ex = **static_cast<ExchangePtr*>(cls);
        std::lock_guard lock(ex.m);
        if (!ex.pieces.empty()) {
            std::string& front = ex.pieces.front();
            const size_t n = std::min(max, front.size() - ex.offset);
            std::memcpy(buf, front.data() + ex.offset, n);
            ex.offset += n;
            ex.queued -= n;
            if (ex.offset == front.size()) {
                ex.pieces.pop_front();
                ex.offset = 0;
            }
            ex.cv.notify_all();
            return static_cast<ssize_t>(n);
        }
        if (ex.finished)
            return MHD_CONTENT_READER_END_OF_STREAM;
        // nothing yet: parked until the worker has more
        ex.waiting = true;
        MHD_suspend_connection(ex.conn);
        return 0;
    }
    static void freeStream(void* cls) { delete static_cast<ExchangePtr*>(cls); }

    struct Sink : StreamSink {
        Impl& srv;
        Exchange& ex;
        Sink(Impl& s, Exchange& e) : srv(s), ex(e) {}
        bool write(const char* data, size_t size) override
        {
            std::unique_lock lock(ex.m);
            // stopping is not signalled: looked at now and then
            while (!ex.cv.wait_for(lock, std::chrono::milliseconds(100),
                                   [&] { return ex.gone || srv.stopping || ex.queued < kStreamWindow; })) {
            }
            if (ex.gone || srv.stopping)
                return false;
            ex.pieces.emplace_back(data, size);
            ex.queued += size;
            if (ex.waiting) {
                ex.waiting = false;
                resume(ex);
            }
            return true;
        }
        void end()
        {
            std::lock_guard lock(ex.m);
            ex.finished = true;
            if (ex.waiting && !ex.gone) {
                ex.waiting = false;
                resume(ex);
            }
        }
    };

    // A response queued on a parked connection, which is then woken; from
    // any thread (MHD takes responses for suspended connections at any time).
    static void answerParked(Exchange& ex, const HttpResponse& r, const ExchangePtr* streamOwner = nullptr)
    {
        ex.phase = Exchange::Phase::Answered;
        if (streamOwner) {
            auto* holder = new ExchangePtr(*streamOwner);
            MHD_Response* resp = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64 * 1024, readStream, holder, freeStream);
            if (resp) {
                MHD_add_response_header(resp, MHD_HTTP_HEADER_CONTENT_TYPE, r.contentType.c_str());
                MHD_queue_response(ex.conn, static_cast<unsigned>(r.status), resp);
                MHD_destroy_response(resp);
            } else {
                delete holder;
            }
        } else {
            queue(ex.conn, r);
        }
        resume(ex);
    }

    HttpResponse respond(HttpRequest& req)
    {
        try {
            return h.handle(req);
        } catch (const std::exception&) {
            return made(500, R"({"error":"Erro interno do servidor."})", false);
        }
    }

    void work(const ExchangePtr& ex) { deliver(ex, respond(ex->req)); }

    // On a worker, to a parked connection.
    void deliver(const ExchangePtr& ex, HttpResponse r)
    {
        if (!r.stream) {
            answerParked(*ex, r);
            return;
        }
        // the headers go out now; the rows as they are produced
        auto stream = std::move(r.stream);
        answerParked(*ex, r, &ex);
        Sink sink(*this, *ex);
        try {
            stream(sink);
        } catch (const std::exception&) {
        }
        sink.end();
    }

    static MHD_Result onAccess(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                               const char* upload, size_t* uploadSize, void** conCls)
    {
        Impl& d = *static_cast<Impl*>(cls);
        if (!*conCls) {
            // An event thread opens its database connection before its first
            // request: opening may take a while, and the request's timeout
            // is started afresh below.
            static thread_local bool started = false;
            if (!started && d.h.onWorkerStart) {
                started = true;
                d.h.onWorkerStart();
            }
            auto ex = std::make_shared<Exchange>();
            ex->srv = &d;
            ex->conn = c;
            ex->req.method = method;
            ex->req.path = url;
            MHD_get_connection_values(
                c, MHD_HEADER_KIND,
                [](void* m, MHD_ValueKind, const char* key, const char* value) -> MHD_Result {
                    std::string k(key);
                    std::transform(k.begin(), k.end(), k.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
                    (*static_cast<std::map<std::string, std::string>*>(m))[k] = value ? value : "";
                    return MHD_YES;
                },
                &ex->req.headers);
            const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
            const Peer* peer = info ? static_cast<const Peer*>(info->socket_context) : nullptr;
            if (peer)
                ex->req.peer = peer->address;
            *conCls = new ExchangePtr(ex);
            // the request and its body are read under the read timeout, from
            // now (set to none first, setting it again restarts its clock)
            MHD_set_connection_option(c, MHD_CONNECTION_OPTION_TIMEOUT, 0u);
            MHD_set_connection_option(c, MHD_CONNECTION_OPTION_TIMEOUT, static_cast<unsigned>(std::max(1, d.opt.readTimeout)));
            if ((peer && peer->over) || d.stopping) {
                ex->phase = Exchange::Phase::Answered;
                return queue(c, busy());
            }
            // A client that sends its body apart waits (Nagle) for the ACK
            // of its headers, which the kernel holds back while we answer
            // nothing: send it now.
            if (const MHD_ConnectionInfo* fd = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD)) {
                const int one = 1;
                setsockopt(fd->connect_fd, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
            }
            // The headers are judged here, before any body is read (the
            // session is one indexed read): a refusal goes out at once.
            size_t limit = 0;
            std::optional<HttpResponse> refusal;
            try {
                refusal = d.h.onHeaders(ex->req, limit);
            } catch (const std::exception&) {
                refusal = made(500, R"({"error":"Erro interno do servidor."})", true);
            }
            const std::string declared = ex->req.header("content-length");
            const unsigned long long length = declared.empty() ? 0 : std::strtoull(declared.c_str(), nullptr, 10);
            if (!refusal && length > kDrainLimit)
                refusal = tooLarge(true);
            if (refusal) {
                ex->phase = Exchange::Phase::Answered;
                return queue(c, *refusal);
            }
            ex->limit = limit;
            if (length > 0 && length <= limit)
                ex->req.body.reserve(static_cast<size_t>(length));
            ex->phase = Exchange::Phase::Body;
            return MHD_YES;
        }
        const ExchangePtr ex = *static_cast<ExchangePtr*>(*conCls);
        if (ex->phase == Exchange::Phase::Answered) {
            *uploadSize = 0; // what body comes is dropped
            return MHD_YES;
        }
        if (ex->phase != Exchange::Phase::Body)
            return MHD_YES; // parked: MHD keeps the data until it is woken

        if (*uploadSize > 0) {
            std::string& body = ex->req.body;
            if (ex->over || body.size() + *uploadSize > ex->limit) {
                // nothing more is kept; what comes is dropped up to a point
                if (!ex->over) {
                    ex->over = true;
                    body.clear();
                    body.shrink_to_fit();
                }
                ex->drained += *uploadSize;
                *uploadSize = 0;
                if (ex->drained <= kDrainLimit)
                    return MHD_YES;
                ex->phase = Exchange::Phase::Answered;
                return queue(c, tooLarge(true));
            }
            // grown by hand: doubling past the limit would hold twice it
            if (body.size() + *uploadSize > body.capacity())
                body.reserve(std::min(ex->limit, std::max(body.capacity() * 2, body.size() + *uploadSize)));
            body.append(upload, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        if (ex->over) {
            ex->phase = Exchange::Phase::Answered;
            return queue(c, tooLarge(false));
        }
        if (!d.stopping && d.h.isQuick && d.h.isQuick(ex->req)) {
            HttpResponse r = d.respond(ex->req);
            if (!r.stream) {
                ex->phase = Exchange::Phase::Answered;
                return queue(c, r);
            }
            // rows to stream after all: a worker writes them
            ex->phase = Exchange::Phase::Working;
            MHD_suspend_connection(c);
            if (!d.calls->post([&d, ex, r] { d.deliver(ex, r); }))
                answerParked(*ex, busy());
            return MHD_YES;
        }
        ex->phase = Exchange::Phase::Working;
        MHD_suspend_connection(c);
        if (!(d.h.isSignIn(ex->req) ? d.signIns : d.calls)->post([&d, ex] { d.work(ex); }))
            answerParked(*ex, busy());
        return MHD_YES;
    }

    static void onCompleted(void* cls, MHD_Connection* c, void** conCls, MHD_RequestTerminationCode code)
    {
        // between requests a kept-alive connection may idle this long
        if (code == MHD_REQUEST_TERMINATED_COMPLETED_OK)
            MHD_set_connection_option(c, MHD_CONNECTION_OPTION_TIMEOUT,
                                      static_cast<unsigned>(std::max(1, static_cast<Impl*>(cls)->opt.keepAliveTimeout)));
        auto* holder = static_cast<ExchangePtr*>(*conCls);
        if (!holder)
            return;
        {
            std::lock_guard lock((*holder)->m);
            (*holder)->gone = true;
        }
        (*holder)->cv.notify_all();
        delete holder;
        *conCls = nullptr;
    }

    static void onConnection(void* cls, MHD_Connection* c, void** socketContext, MHD_ConnectionNotificationCode code)
    {
        Impl& d = *static_cast<Impl*>(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto* peer = new Peer;
            const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            if (info && info->client_addr) {
                char text[INET6_ADDRSTRLEN] = "";
                const sockaddr* sa = info->client_addr;
                if (sa->sa_family == AF_INET)
                    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, sizeof text);
                else if (sa->sa_family == AF_INET6)
                    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, text, sizeof text);
                peer->address = text;
            }
            std::lock_guard lock(d.peersMutex);
            const int mine = ++d.perAddress[peer->address];
            ++d.open;
            peer->over = mine > d.opt.maxPerAddress || d.open > d.opt.maxConnections;
            *socketContext = peer;
        } else if (auto* peer = static_cast<Peer*>(*socketContext)) {
            std::lock_guard lock(d.peersMutex);
            if (--d.perAddress[peer->address] <= 0)
                d.perAddress.erase(peer->address);
            --d.open;
            delete peer;
            *socketContext = nullptr;
        }
    }
};

HttpServer::HttpServer(HttpOptions options, HttpHandlers handlers) : d(std::make_unique<Impl>())
{
    d->opt = std::move(options);
    d->h = std::move(handlers);
}

HttpServer::~HttpServer()
{
    stop();
}

int HttpServer::start()
{
    const HttpOptions& o = d->opt;
    sockaddr_storage addr{};
    bool v6 = false;
    if (inet_pton(AF_INET, o.host.c_str(), &reinterpret_cast<sockaddr_in*>(&addr)->sin_addr) == 1) {
        auto* a = reinterpret_cast<sockaddr_in*>(&addr);
        a->sin_family = AF_INET;
        a->sin_port = htons(static_cast<uint16_t>(o.port));
    } else if (inet_pton(AF_INET6, o.host.c_str(), &reinterpret_cast<sockaddr_in6*>(&addr)->sin6_addr) == 1) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(static_cast<uint16_t>(o.port));
        v6 = true;
    } else {
        throw std::runtime_error("endereço de escuta inválido: " + o.host);
    }
    // the system's largest backlog: bursts of connections wait in the kernel
    unsigned backlog = 4096;
    if (std::ifstream f("/proc/sys/net/core/somaxconn"); f)
        f >> backlog;

    d->calls = std::make_unique<WorkQueue>(std::max(1, o.workers), 4096, d->h.onWorkerStart);
    d->signIns = std::make_unique<WorkQueue>(std::max(1, o.signInWorkers), 1024, d->h.onWorkerStart);
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
    if (v6)
        flags |= MHD_USE_IPv6;
    const bool tls = !o.tlsCertPem.empty();
    if (tls)
        flags |= MHD_USE_TLS;
    // MHD's own caps close the connection; ours, below them, answer 503 first
    const unsigned hardTotal = static_cast<unsigned>(o.maxConnections + o.maxConnections / 4 + 16);
    const unsigned hardPerAddress = static_cast<unsigned>(o.maxPerAddress + o.maxPerAddress / 4 + 4);
    std::vector<MHD_OptionItem> items = {
        {MHD_OPTION_SOCK_ADDR, 0, &addr},
        {MHD_OPTION_THREAD_POOL_SIZE, std::max(1, o.eventThreads), nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, std::max(1, o.readTimeout), nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(hardTotal), nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<intptr_t>(hardPerAddress), nullptr},
        {MHD_OPTION_LISTEN_BACKLOG_SIZE, static_cast<intptr_t>(backlog), nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, 64 * 1024, nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&Impl::onCompleted), d.get()},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&Impl::onConnection), d.get()},
    };
    if (tls) {
        items.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, const_cast<char*>(o.tlsCertPem.c_str())});
        items.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, const_cast<char*>(o.tlsKeyPem.c_str())});
    }
    items.push_back({MHD_OPTION_END, 0, nullptr});
    d->daemon = MHD_start_daemon(flags, static_cast<uint16_t>(o.port), nullptr, nullptr, &Impl::onAccess, d.get(),
                                 MHD_OPTION_ARRAY, items.data(), MHD_OPTION_END);
    if (!d->daemon) {
        d->calls.reset();
        d->signIns.reset();
        throw std::runtime_error(tls ? "não foi possível escutar (ou certificado e chave inválidos)" : "não foi possível escutar");
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(d->daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : o.port;
}

void HttpServer::stop()
{
    if (!d->daemon)
        return;
    d->stopping = true;
    // running requests finish and wake their connections before MHD stops
    d->calls->finish();
    d->signIns->finish();
    MHD_stop_daemon(d->daemon);
    d->daemon = nullptr;
    d->calls.reset();
    d->signIns.reset();
}

int HttpServer::openConnections() const
{
    std::lock_guard lock(d->peersMutex);
    return d->open;
}

} // namespace srv
