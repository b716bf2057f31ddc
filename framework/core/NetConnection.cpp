#include "NetConnection.h"

#include "Context.h"
#include "FwError.h"
#include "Packet.h"

#include <httplib.h>
#include <simdjson.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <deque>
#include <mutex>
#include <thread>

namespace fw {

namespace od = simdjson::ondemand;

namespace {
httplib::Headers requestHeaders();
} // namespace

std::unique_ptr<httplib::Client> serverClient(const std::string& host, int port, bool tls)
{
    if (!tls)
        return std::make_unique<httplib::Client>(host, port);
    auto c = std::make_unique<httplib::Client>("https://" + host + ":" + std::to_string(port));
    const QByteArray ca = qgetenv("PED_CA_FILE");
    if (!ca.isEmpty())
        c->set_ca_cert_path(ca.constData());
    c->enable_server_certificate_verification(true);
    return c;
}

QString connectFailureText(int error, const QString& where)
{
    const auto err = static_cast<httplib::Error>(error);
    if (err == httplib::Error::Connection || err == httplib::Error::ConnectionTimeout)
        return QStringLiteral("Não foi possível conectar ao servidor %1.").arg(where);
    if (err == httplib::Error::SSLServerVerification || err == httplib::Error::SSLConnection)
        return QStringLiteral("Conexão segura com o servidor %1 recusada: certificado não reconhecido ou "
                              "servidor sem HTTPS.").arg(where);
    return {};
}

RpcArg::RpcArg(const QString& text) { appendJsonString(m_json, text.toStdString()); }
RpcArg::RpcArg(const char* text) { appendJsonString(m_json, text); }
RpcArg::RpcArg(double v) { appendJsonNumber(m_json, v); }
RpcArg::RpcArg(int v) : m_json(std::to_string(v)) {}
RpcArg::RpcArg(bool v) : m_json(v ? "true" : "false") {}

RpcArg RpcArg::json(std::string raw)
{
    RpcArg a;
    a.m_json = std::move(raw);
    return a;
}

TNetConnection::TNetConnection(QObject* parent, const QString& name) : QObject(parent)
{
    setObjectName(name);
}

TNetConnection::~TNetConnection() = default;

void TNetConnection::setConnected(bool on)
{
    if (on == m_connected)
        return;
    if (!on) {
        m_client.reset();
        m_connected = false;
        return;
    }
    if (BeforeConnect)
        BeforeConnect(*this);
    if (host.isEmpty() || Port <= 0 || Port > 65535)
        throw Error(QStringLiteral("Endereço do servidor de aplicação não informado."));
    m_client = serverClient(host.toStdString(), Port, Tls);
    m_client->set_keep_alive(true);
    m_client->set_tcp_nodelay(true);
    m_client->set_connection_timeout(5, 0);
    m_connected = true;
}

ServerResult TNetConnection::fail(const QString& text)
{
    if (ThrowException)
        throw ServerError(text, 0);
    return ServerResult::failure(0, text);
}

ServerResult TNetConnection::call(const QString& method, const std::vector<RpcArg>& params)
{
    if (!m_connected) {
        try {
            setConnected(true);
        } catch (const Error& e) {
            return fail(e.text());
        }
    }
    const std::string body = requestBody(method, params);
    m_client->set_read_timeout(timeoutMs / 1000, (timeoutMs % 1000) * 1000);
    m_client->set_write_timeout(timeoutMs / 1000, (timeoutMs % 1000) * 1000);
    const std::string path = "/rpc/" + ServerName.toStdString();

    QElapsedTimer clock;
    clock.start();
    auto res = m_client->Post(path, requestHeaders(), body, "application/json");
    if (!res) {
        // A dropped keep-alive connection is not the server's fault: the
        // next call opens a new one.
        m_client->stop();
        return transportFailure(static_cast<int>(res.error()), clock.elapsed());
    }
    if (res->status == 401) {
        if (ctx().sessionExpired)
            ctx().sessionExpired();
        return fail(QStringLiteral("Sessão expirada ou inválida. Entre novamente."));
    }
    ServerResult r = parseAnswer(res->status, std::move(res->body));
    if (!r.ok && ThrowException)
        throw ServerError(r.message, r.code);
    return r;
}

std::string TNetConnection::requestBody(const QString& method, const std::vector<RpcArg>& params)
{
    std::string body = "{\"jsonrpc\":\"2.0\",\"id\":" + std::to_string(m_nextId++) + ",\"method\":";
    appendJsonString(body, method.toStdString());
    body += ",\"params\":[";
    for (size_t i = 0; i < params.size(); ++i) {
        if (i)
            body += ',';
        body += params[i].wire();
    }
    body += "]}";
    return body;
}

namespace {

httplib::Headers requestHeaders()
{
    httplib::Headers headers;
    if (!ctx().login.token.isEmpty())
        headers.emplace("Authorization", "Bearer " + ctx().login.token.toStdString());
    return headers;
}

// What the reading thread hands to the caller's thread.
struct StreamShared {
    std::mutex mutex;
    std::deque<Table> pieces;
    qint64 rows = 0;
    bool finished = false;
    // the outcome, read once finished
    bool transportOk = true;
    int transportError = 0;
    int status = 0;
    bool plain = false;      // the server answered with the whole packet
    std::string plainBody;
    bool ended = false;      // the end line arrived
    QString error;           // a failure read from the stream
    int errorCode = 0;
};

// Reads the streamed lines: fields, rows (batched into pieces), end or error.
class LineReader {
public:
    explicit LineReader(StreamShared& shared) : m_shared(shared) {}

    bool feed(const char* data, size_t len)
    {
        m_buf.append(data, len);
        size_t start = 0;
        for (size_t nl; (nl = m_buf.find('\n', start)) != std::string::npos; start = nl + 1)
            if (!line(std::string_view(m_buf).substr(start, nl - start)))
                return false;
        m_buf.erase(0, start);
        return true;
    }
    void finish() { flush(true); }

private:
    bool line(std::string_view l)
    {
        if (l.empty())
            return true;
        if (l.front() == '[') {
            if (m_fields.empty())
                return fault(QStringLiteral("Resposta inválida do servidor."));
            if (m_rows)
                m_batch.push_back(',');
            m_batch.append(l);
            ++m_rows;
            // the first rows at once, then in larger pieces
            if ((m_pieces == 0 && m_rows >= 80) || m_rows >= 20000)
                flush(false);
            return true;
        }
        if (l.rfind("{\"fields\"", 0) == 0) {
            m_fields = std::string(l.substr(0, l.size() - 1)); // without its closing brace
            return true;
        }
        if (l.rfind("{\"end\"", 0) == 0) {
            flush(true);
            std::lock_guard lock(m_shared.mutex);
            m_shared.ended = true;
            return true;
        }
        if (l.rfind("{\"error\"", 0) == 0) {
            const ServerResult r = TNetConnection::parseAnswer(200, std::string(l));
            return fault(r.message, r.code);
        }
        return fault(QStringLiteral("Resposta inválida do servidor."));
    }
    void flush(bool last)
    {
        if (m_fields.empty() || (m_rows == 0 && (!last || m_pieces > 0)))
            return;
        std::string packet = m_fields + ",\"rows\":[" + m_batch + "]}";
        Table t = decodePacket(Payload::fromOwned(std::move(packet)));
        std::lock_guard lock(m_shared.mutex);
        m_shared.rows += m_rows;
        m_shared.pieces.push_back(std::move(t));
        ++m_pieces;
        m_batch.clear();
        m_rows = 0;
    }
    bool fault(const QString& text, int code = 0)
    {
        std::lock_guard lock(m_shared.mutex);
        m_shared.error = text;
        m_shared.errorCode = code;
        return false;
    }

    StreamShared& m_shared;
    std::string m_buf, m_fields, m_batch;
    size_t m_rows = 0;
    int m_pieces = 0;
};

// What the reader thread needs of the call, copied: the connection may go
// while the thread still runs its last steps.
struct StreamRequest {
    std::string body, path, hostName;
    int port = 0;
    bool tls = false;
    int timeout = 0;
    httplib::Headers headers;
};

// The reader thread: its own connection, the lines decoded into pieces.
void readStream(StreamShared& shared, const StreamRequest& rq)
{
    LineReader lines(shared);
    try {
        const auto client = serverClient(rq.hostName, rq.port, rq.tls);
        httplib::Client& cli = *client;
        cli.set_tcp_nodelay(true);
        cli.set_connection_timeout(5, 0);
        cli.set_read_timeout(rq.timeout / 1000, (rq.timeout % 1000) * 1000);
        httplib::Request req;
        req.method = "POST";
        req.path = rq.path;
        req.headers = rq.headers;
        req.body = rq.body;
        req.set_header("Content-Type", "application/json");
        req.response_handler = [&shared](const httplib::Response& r) {
            std::lock_guard lock(shared.mutex);
            shared.status = r.status;
            shared.plain = r.get_header_value("Content-Type").find("application/x-ndjson") == std::string::npos;
            return true;
        };
        req.content_receiver = [&shared, &lines](const char* data, size_t len, uint64_t, uint64_t) {
            bool plain = false;
            {
                std::lock_guard lock(shared.mutex);
                plain = shared.plain || shared.status != 200;
                if (plain)
                    shared.plainBody.append(data, len);
            }
            return plain || lines.feed(data, len);
        };
        httplib::Response res;
        httplib::Error err = httplib::Error::Success;
        const bool sent = cli.send(req, res, err);
        lines.finish();
        std::lock_guard lock(shared.mutex);
        if (!sent && shared.error.isEmpty()) {
            shared.transportOk = false;
            shared.transportError = static_cast<int>(err);
        }
    } catch (const std::exception& e) {
        std::lock_guard lock(shared.mutex);
        if (shared.error.isEmpty())
            shared.error = QStringLiteral("Resposta inválida do servidor.");
    }
    std::lock_guard lock(shared.mutex);
    shared.finished = true;
}

// Applies the pieces on this thread as they come, until the reader is done;
// user input waits. The first failure of onPiece stops the applying.
std::exception_ptr applyPieces(StreamShared& shared, const std::function<void(Table&&)>& onPiece,
                               const std::function<void(qint64)>& onProgress)
{
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    std::exception_ptr pieceFailure;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        std::deque<Table> ready;
        bool finished = false;
        qint64 rows = 0;
        {
            std::lock_guard lock(shared.mutex);
            ready.swap(shared.pieces);
            finished = shared.finished;
            rows = shared.rows;
        }
        for (Table& t : ready) {
            if (pieceFailure)
                break;
            try {
                onPiece(std::move(t));
            } catch (...) {
                pieceFailure = std::current_exception();
            }
        }
        if (!ready.empty() && onProgress && !pieceFailure)
            onProgress(rows);
        if (finished)
            loop.quit();
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return pieceFailure;
}

} // namespace

ServerResult TNetConnection::callStream(const QString& method, const std::vector<RpcArg>& params,
                                        const std::function<void(Table&&)>& onPiece,
                                        const std::function<void(qint64)>& onProgress)
{
    if (!m_connected) {
        try {
            setConnected(true);
        } catch (const Error& e) {
            return fail(e.text());
        }
    }
    StreamShared shared;
    StreamRequest rq{requestBody(method, params), "/rpc/" + ServerName.toStdString(), host.toStdString(), Port, Tls,
                     timeoutMs, requestHeaders()};
    rq.headers.emplace("Accept", "application/x-ndjson, application/json");

    QElapsedTimer clock;
    clock.start();
    // Its own connection on its own thread: this thread keeps painting.
    std::thread reader([&shared, rq] { readStream(shared, rq); });
    const std::exception_ptr pieceFailure = applyPieces(shared, onPiece, onProgress);
    reader.join();
    if (pieceFailure)
        std::rethrow_exception(pieceFailure);

    if (!shared.transportOk)
        return transportFailure(shared.transportError, clock.elapsed());
    if (shared.status == 401) {
        if (ctx().sessionExpired)
            ctx().sessionExpired();
        return fail(QStringLiteral("Sessão expirada ou inválida. Entre novamente."));
    }
    if (shared.plain || shared.status != 200) {
        // the whole packet at once
        ServerResult r = parseAnswer(shared.status, std::move(shared.plainBody));
        if (r.ok) {
            onPiece(decodePacket(r.payload));
            return r;
        }
        if (ThrowException)
            throw ServerError(r.message, r.code);
        return r;
    }
    QString failure = shared.error;
    int code = shared.errorCode;
    if (failure.isEmpty() && !shared.ended)
        failure = QStringLiteral("Comunicação com o servidor %1:%2 interrompida.").arg(host).arg(Port);
    if (!failure.isEmpty()) {
        if (ThrowException)
            throw ServerError(failure, code);
        return ServerResult::failure(code, failure);
    }
    return ServerResult::success(Payload());
}

ServerResult TNetConnection::transportFailure(int error, qint64 elapsedMs)
{
    const auto err = static_cast<httplib::Error>(error);
    const QString where = QStringLiteral("%1:%2").arg(host).arg(Port);
    if (const QString text = connectFailureText(error, where); !text.isEmpty())
        return fail(text);
    if (err == httplib::Error::Read && elapsedMs + 50 >= timeoutMs)
        return fail(QStringLiteral("Servidor não respondeu."));
    return fail(QStringLiteral("Comunicação com o servidor %1 interrompida.").arg(where));
}

ServerResult TNetConnection::parseAnswer(int httpStatus, std::string&& body)
{
    if (httpStatus == 413)
        return ServerResult::failure(0, QStringLiteral("Dados grandes demais para o servidor."));
    if (httpStatus != 200)
        return ServerResult::failure(0, QStringLiteral("O servidor respondeu com o código HTTP %1.").arg(httpStatus));
    const QString bad = QStringLiteral("Resposta inválida do servidor.");
    Payload whole = Payload::fromOwned(std::move(body));
    od::parser parser;
    od::document doc;
    if (parser.iterate(whole.data(), whole.json().size(), whole.capacityFrom()).get(doc))
        return ServerResult::failure(0, bad);
    od::object obj;
    if (doc.get_object().get(obj))
        return ServerResult::failure(0, bad);
    std::string_view raw;
    bool haveResult = false;
    for (auto member : obj) {
        std::string_view key;
        if (member.unescaped_key().get(key))
            return ServerResult::failure(0, bad);
        od::value v;
        if (member.value().get(v))
            return ServerResult::failure(0, bad);
        if (key == "result") {
            od::json_type t;
            if (v.type().get(t))
                return ServerResult::failure(0, bad);
            simdjson::error_code e = simdjson::SUCCESS;
            if (t == od::json_type::object) {
                od::object o;
                e = v.get_object().get(o);
                if (!e)
                    e = o.raw_json().get(raw);
            } else if (t == od::json_type::array) {
                od::array a;
                e = v.get_array().get(a);
                if (!e)
                    e = a.raw_json().get(raw);
            } else {
                raw = v.raw_json_token();
            }
            if (e)
                return ServerResult::failure(0, bad);
            haveResult = true;
        } else if (key == "error") {
            od::object eo;
            if (v.get_object().get(eo))
                return ServerResult::failure(0, bad);
            int64_t code = -32000;
            std::string_view msg;
            for (auto f : eo) {
                std::string_view k;
                if (f.unescaped_key().get(k))
                    return ServerResult::failure(0, bad);
                if (k == "code") {
                    if (f.value().get_int64().get(code))
                        return ServerResult::failure(0, bad);
                } else if (k == "message") {
                    if (f.value().get_string().get(msg))
                        return ServerResult::failure(0, bad);
                }
            }
            return ServerResult::failure(static_cast<int>(code), QString::fromUtf8(msg.data(), static_cast<qsizetype>(msg.size())));
        }
    }
    if (!haveResult)
        return ServerResult::failure(0, bad);
    return ServerResult::success(whole.slice(static_cast<size_t>(raw.data() - whole.data()), raw.size()));
}

} // namespace fw
