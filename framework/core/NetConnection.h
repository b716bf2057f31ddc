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
    // Runs before every connection (sets host and port).
    std::function<void(TNetConnection&)> BeforeConnect;
    // How long a call waits for its answer.
    int timeoutMs = 60000;

    bool Connected() const { return m_connected; }
    void setConnected(bool on);

    // Calls a method of the server object; connects first when needed.
    ServerResult call(const QString& method, const std::vector<RpcArg>& params = {});

    // Turns an HTTP answer into a result (public for tests of odd answers).
    static ServerResult parseAnswer(int httpStatus, std::string&& body);

private:
    ServerResult fail(const QString& text);
    std::unique_ptr<httplib::Client> m_client;
    bool m_connected = false;
    qint64 m_nextId = 1;
};

} // namespace fw
