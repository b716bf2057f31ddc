#pragma once

// A loopback proxy in front of the real server: it records every JSON-RPC
// request that reaches it and, when a script says so, answers a call itself
// (a failure the real server cannot be made to give on demand).
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class RecordingProxy {
public:
    using json = nlohmann::json;
    // Returns an answer body for a request it wants to answer itself.
    using Script = std::function<std::optional<json>(const json& request)>;
    // Answers a call with anything at all (a status, bytes that are not
    // JSON, a delay); true when it did.
    using RawScript = std::function<bool(const json& request, httplib::Response& res)>;

    explicit RecordingProxy(int upstreamPort) : m_upstream("127.0.0.1", upstreamPort)
    {
        m_upstream.set_read_timeout(60, 0);
        auto forward = [this](const httplib::Request& req, httplib::Response& res) {
            std::optional<json> scripted;
            RawScript raw;
            json body;
            if (req.path.rfind("/rpc/", 0) == 0) {
                body = json::parse(req.body, nullptr, false);
                std::lock_guard lock(m_mutex);
                m_calls.push_back(body);
                if (script)
                    scripted = script(body);
                raw = rawScript;
            }
            if (raw && raw(body, res))
                return;
            if (scripted) {
                res.set_content(scripted->dump(), "application/json");
                return;
            }
            httplib::Headers h;
            for (const char* name : {"Authorization", "Accept"})
                if (req.has_header(name))
                    h.emplace(name, req.get_header_value(name));
            auto r = req.method == "DELETE" ? m_upstream.Delete(req.path.c_str(), h)
                                            : m_upstream.Post(req.path.c_str(), h, req.body, "application/json");
            if (!r) {
                res.status = 502;
                return;
            }
            res.status = r->status;
            res.set_content(r->body, r->get_header_value("Content-Type").c_str());
        };
        m_http.Post(R"(/.*)", forward);
        m_http.Delete(R"(/.*)", forward);
        port = m_http.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_http.listen_after_bind(); });
    }
    ~RecordingProxy()
    {
        m_http.stop();
        m_thread.join();
    }

    // The parameters of every recorded call of this method, oldest first.
    std::vector<json> params(const std::string& method) const
    {
        std::lock_guard lock(m_mutex);
        std::vector<json> out;
        for (const auto& c : m_calls)
            if (c.is_object() && c.value("method", "") == method)
                out.push_back(c["params"]);
        return out;
    }
    size_t count(const std::string& method) const { return params(method).size(); }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }

    // A server refusal of one call, as the real server words its errors.
    static json refusal(const json& request, const std::string& text)
    {
        return json{{"jsonrpc", "2.0"}, {"id", request["id"]}, {"error", {{"code", -32000}, {"message", text}}}};
    }

    Script script;
    RawScript rawScript;
    int port = 0;

private:
    httplib::Server m_http;
    httplib::Client m_upstream;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<json> m_calls;
};

} // namespace testsupport
