#include "Sessions.h"

#include <nlohmann/json.hpp>
#include <sodium.h>

#include <QDateTime>
#include <mutex>

namespace srv {

namespace {

constexpr int kMaxFailures = 5;
constexpr qint64 kFailureWindow = 15 * 60;

void initSodium()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0)
            throw DbError(QStringLiteral("Falha ao iniciar a biblioteca criptográfica."));
    });
}

qint64 nowSeconds()
{
    return QDateTime::currentSecsSinceEpoch();
}

QString tokenHash(const std::string& token)
{
    unsigned char h[32];
    crypto_generichash(h, sizeof h, reinterpret_cast<const unsigned char*>(token.data()), token.size(), nullptr, 0);
    char hex[65];
    sodium_bin2hex(hex, sizeof hex, h, sizeof h);
    return QString::fromLatin1(hex);
}

std::optional<std::string> bearer(const std::string& authorization)
{
    static const std::string prefix = "Bearer ";
    if (authorization.size() <= prefix.size() || authorization.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    std::string t = authorization.substr(prefix.size());
    if (t.size() != 64 || t.find_first_not_of("0123456789abcdef") != std::string::npos)
        return std::nullopt;
    return t;
}

std::string errorBody(const char* text)
{
    return nlohmann::json{{"error", text}}.dump();
}

} // namespace

QString Sessions::hashPassword(const QString& password)
{
    initSodium();
    const QByteArray pw = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, pw.constData(), static_cast<unsigned long long>(pw.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        throw DbError(QStringLiteral("Memória insuficiente para gerar o hash da senha."));
    return QString::fromLatin1(out);
}

bool Sessions::verifyPassword(const QString& hash, const QString& password)
{
    initSodium();
    const QByteArray h = hash.toLatin1();
    const QByteArray pw = password.toUtf8();
    return crypto_pwhash_str_verify(h.constData(), pw.constData(), static_cast<unsigned long long>(pw.size())) == 0;
}

Sessions::Answer Sessions::login(const std::string& body)
{
    initSodium();
    nlohmann::json j = nlohmann::json::parse(body, nullptr, false);
    if (!j.is_object() || !j.contains("operator") || !j["operator"].is_string() || !j.contains("password")
        || !j["password"].is_string())
        return {400, errorBody("Informe operador e senha.")};
    const QString op = QString::fromStdString(j["operator"].get<std::string>()).trimmed();
    const QString pw = QString::fromStdString(j["password"].get<std::string>());
    if (op.isEmpty() || op.size() > 32)
        return {401, errorBody("Operador ou senha inválidos.")};
    Db& db = m_pool.get();
    const qint64 now = nowSeconds();
    const int failures = db.scalar(QStringLiteral("SELECT COUNT(*) FROM TENTLOGIN WHERE CDOPERADOR = ? AND NRMOMENTO > ?"),
                                   {op, now - kFailureWindow})
                             .toInt();
    if (failures >= kMaxFailures)
        return {429, errorBody("Muitas tentativas de entrada sem sucesso. Aguarde 15 minutos.")};
    const auto rows = db.rows(QStringLiteral("SELECT DSSENHAHASH FROM OPERADOR WHERE CDOPERADOR = ?"), {op});
    if (rows.empty() || !verifyPassword(rows[0][0].toString(), pw)) {
        db.exec(QStringLiteral("INSERT INTO TENTLOGIN (CDOPERADOR, NRMOMENTO) VALUES (?, ?)"), {op, now});
        return {401, errorBody("Operador ou senha inválidos.")};
    }
    unsigned char raw[32];
    randombytes_buf(raw, sizeof raw);
    char hex[65];
    sodium_bin2hex(hex, sizeof hex, raw, sizeof raw);
    const std::string token(hex);
    const qint64 expires = now + m_ttl;
    {
        Transaction tx(db);
        db.exec(QStringLiteral("DELETE FROM TENTLOGIN WHERE CDOPERADOR = ?"), {op});
        db.exec(QStringLiteral("DELETE FROM SESSAO WHERE NREXPIRA < ?"), {now});
        db.exec(QStringLiteral("INSERT INTO SESSAO (DSTOKENHASH, CDOPERADOR, NRCRIADO, NREXPIRA) VALUES (?, ?, ?, ?)"),
                {tokenHash(token), op, now, expires});
        tx.commit();
    }
    return {200, nlohmann::json{{"token", token}, {"operator", op.toStdString()}, {"expires", expires}}.dump()};
}

std::optional<QString> Sessions::authenticate(const std::string& authorization)
{
    const auto token = bearer(authorization);
    if (!token)
        return std::nullopt;
    Db& db = m_pool.get();
    const auto rows = db.rows(QStringLiteral("SELECT CDOPERADOR, NREXPIRA FROM SESSAO WHERE DSTOKENHASH = ?"),
                              {tokenHash(*token)});
    if (rows.empty() || rows[0][1].toLongLong() < nowSeconds())
        return std::nullopt;
    return rows[0][0].toString();
}

bool Sessions::logout(const std::string& authorization)
{
    const auto token = bearer(authorization);
    if (!token)
        return false;
    return m_pool.get().exec(QStringLiteral("DELETE FROM SESSAO WHERE DSTOKENHASH = ?"), {tokenHash(*token)}) > 0;
}

} // namespace srv
