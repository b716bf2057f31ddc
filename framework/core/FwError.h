#pragma once

#include <QString>
#include <stdexcept>

namespace fw {

// A failure with a text meant for the user. Carried as UTF-8 in what().
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const noexcept { return m_text; }

private:
    QString m_text;
};

// The server reported a failure; text() is the server's own message.
class ServerError : public Error {
public:
    ServerError(const QString& text, int code) : Error(text), m_code(code) {}
    int code() const noexcept { return m_code; }

private:
    int m_code;
};

// The silent abort: stops the current action after its message was shown.
class Abort : public std::exception {
public:
    const char* what() const noexcept override { return "Abort"; }
};

} // namespace fw
