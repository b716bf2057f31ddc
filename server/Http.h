#pragma once

// The server's HTTP/1.1 layer: event-driven (libmicrohttpd's epoll threads),
// so an idle or slow connection costs a socket and a little memory, never a
// thread. Requests run on worker threads of our own (the connection is
// parked while they work), except quick ones, answered where they were read.
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace srv {

struct HttpRequest {
    std::string method, path, peer;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    // Set by the application on the headers: the session's operator, or why
    // it could not be looked up.
    std::string who, whoUnavailable;
    std::string header(const std::string& lowerName) const
    {
        const auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

// Where a streamed answer goes; false once the client is gone.
class StreamSink {
public:
    virtual ~StreamSink() = default;
    virtual bool write(const char* data, size_t size) = 0;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    // Refused before the body was read: the connection is not reused.
    bool close = false;
    // Set: the body is written by this (on the worker) as it is produced.
    std::function<void(StreamSink&)> stream;
};

struct HttpOptions {
    std::string host = "127.0.0.1";
    int port = 0;
    std::string tlsCertPem, tlsKeyPem; // both set: HTTPS only
    int workers = 16;        // calls served at once
    int signInWorkers = 4;   // sign-ins, apart: their password checks wait
    int eventThreads = 2;
    int readTimeout = 5;     // seconds a request may stay silent while it is read
    int keepAliveTimeout = 30; // seconds an idle kept-alive connection stays
    int maxConnections = 1024;
    int maxPerAddress = 64;
};

struct HttpHandlers {
    // On the headers, on the event thread (keep it quick): an answer refuses
    // the request before any of its body is read; otherwise bodyLimit says
    // how much body it may have.
    std::function<std::optional<HttpResponse>(HttpRequest&, size_t& bodyLimit)> onHeaders;
    // The whole request, on a worker.
    std::function<HttpResponse(HttpRequest&)> handle;
    // Sign-ins run on their own workers.
    std::function<bool(const HttpRequest&)> isSignIn;
    // A request answered from a few indexed rows, never waiting on a lock:
    // handled on the event thread that read it, which saves the two thread
    // hand-offs that cost more than the call itself.
    std::function<bool(const HttpRequest&)> isQuick;
    // Run by each worker thread as it starts, and by an event thread before
    // its first request.
    std::function<void()> onWorkerStart;
};

class HttpServer {
public:
    HttpServer(HttpOptions options, HttpHandlers handlers);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and serves; the port. Throws std::runtime_error when it cannot.
    int start();
    // Stops taking requests, lets the running ones finish, closes everything.
    void stop();
    // Connections open now (tests and figures).
    int openConnections() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace srv
