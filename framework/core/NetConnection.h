#pragma once

#include "ServerResult.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace httplib {
class Client;
}

namespace fw {

// A client of the application server. Over HTTPS the server's certificate is
// checked against the system's authorities, or those of the file named by
// the environment variable PED_CA_FILE (a server with its own certificate).
std::unique_ptr<httplib::Client> serverClient(const std::string& host, int port, bool tls);

// What the user is told when no connection to the server at where could be
// made (refused, unreachable, a certificate not accepted); empty for a
// failure once connected. error: an httplib::Error.
QString connectFailureText(int error, const QString& where);

// One argument of a remote call, already in its wire form.
class RpcArg {
public:
    RpcArg(const QString& text);
    RpcArg(const char* text);
    RpcArg(double v);
    RpcArg(int v);
    RpcArg(bool v);
    // A JSON value as it stands (a change set).
    static RpcArg json(std::string raw);

    const std::string& wire() const { return m_json; }

private:
    RpcArg() = default;
    std::string m_json;
};

// A connection to one remote data module of the application server. Calls
// are synchronous; with ThrowException off a failure comes back in the
// result (CheckResultServ raises it), with it on the call itself throws.
class TNetConnection : public QObject {
    Q_OBJECT
public:
    explicit TNetConnection(QObject* parent = nullptr, const QString& name = {});
    ~TNetConnection() override;

    QString ServerName;
    bool ThrowException = false;
    QString host;
    int Port = 0;
    bool Tls = false; // HTTPS, the server's certificate checked
    // Runs before every connection (sets host and port).
    std::function<void(TNetConnection&)> BeforeConnect;
    // How long a call waits for its answer.
    int timeoutMs = 60000;

    bool Connected() const { return m_connected; }
    void setConnected(bool on);

    // Calls a method of the server object; connects first when needed.
    ServerResult call(const QString& method, const std::vector<RpcArg>& params = {});

    // Calls a method whose result is one data packet and reads the answer as
    // it arrives: onPiece gets the rows in pieces on this thread (the first
    // piece may have none), while a local event loop without user input
    // keeps the windows painting; onProgress gets the rows read so far. A
    // failure, also one after some pieces, comes back as the result (or is
    // thrown with ThrowException); the caller discards what pieces gave.
    ServerResult callStream(const QString& method, const std::vector<RpcArg>& params,
                            const std::function<void(Table&&)>& onPiece,
                            const std::function<void(qint64 rows)>& onProgress = {});

    // Turns an HTTP answer into a result (public for tests of odd answers).
    static ServerResult parseAnswer(int httpStatus, std::string&& body);

private:
    ServerResult fail(const QString& text);
    std::string requestBody(const QString& method, const std::vector<RpcArg>& params);
    ServerResult transportFailure(int error, qint64 elapsedMs);
    std::unique_ptr<httplib::Client> m_client;
    bool m_connected = false;
    qint64 m_nextId = 1;
};

} // namespace fw
