#include "Sessions.h"

#include "db/Password.h"

#include <nlohmann/json.hpp>
#include <sodium.h>

#include <QDateTime>
#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>

namespace srv {

namespace {

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

std::string errorBody(const QString& text)
{
    return nlohmann::json{{"error", text.toStdString()}}.dump();
}

const char* kInvalid = "Operador ou senha inválidos.";

// The operator and password of a sign-in body, or nothing.
struct Credentials {
    QString op, pw, newPw;
    bool hasNew = false;
};
std::optional<Credentials> credentials(const std::string& body)
{
    const nlohmann::json j = nlohmann::json::parse(body, nullptr, false);
    auto text = [&](const char* key) { return j.contains(key) && j[key].is_string(); };
    if (!j.is_object() || !text("operator") || !text("password"))
        return std::nullopt;
    Credentials c;
    c.op = QString::fromStdString(j["operator"].get<std::string>()).trimmed();
    c.pw = QString::fromStdString(j["password"].get<std::string>());
    if (j.contains("newPassword")) {
        if (!text("newPassword"))
            return std::nullopt;
        c.hasNew = true;
        c.newPw = QString::fromStdString(j["newPassword"].get<std::string>());
    }
    return c;
}

// The call's deadline on the thread's connection: waiting for another
// writer (a long recalculation) stretches up to it.
struct Deadline {
    Db& db;
    Deadline(Db& d, int seconds) : db(d) { db.setDeadline(std::chrono::steady_clock::now() + std::chrono::seconds(seconds)); }
    ~Deadline() { db.clearDeadline(); }
};

} // namespace

Sessions::Sessions(DbPool& pool, int ttlSeconds, LoginLimits limits)
    : m_pool(pool), m_ttl(ttlSeconds), m_limits(limits)
{
    // A hash of nothing anyone knows, with the same cost as the real ones.
    m_dummyHash = peddb::hashPassword(peddb::generatePassword());
}

std::mutex& Sessions::operatorLock(const QString& op)
{
    return m_opLocks[qHash(op) % m_opLocks.size()];
}

template <class F>
auto Sessions::withSlot(F&& work)
{
    if (!m_slots.try_acquire_for(std::chrono::seconds(m_limits.wait)))
        throw SignInBusy(QStringLiteral("Servidor ocupado com outras entradas."), QStringLiteral("Servidor ocupado. Tente novamente."));
    struct Release {
        std::counting_semaphore<2>& s;
        ~Release() { s.release(); }
    } release{m_slots};
    return work();
}

bool Sessions::slowCheck(const QString& hash, const QString& pw)
{
    return withSlot([&] {
        ++m_checks;
        return peddb::verifyPassword(hash, pw);
    });
}

QString Sessions::slowHash(const QString& pw)
{
    return withSlot([&] { return peddb::hashPassword(pw); });
}

void Sessions::upgradeSchema(Db& db)
{
    if (m_upgraded)
        return;
    // Databases made before first passwords had to be changed lack the flag.
    try {
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM OPERADOR WHERE IDTROCASENHA = 'S'"));
    } catch (const DbError&) {
        db.exec(QStringLiteral("ALTER TABLE OPERADOR ADD IDTROCASENHA CHAR(1) DEFAULT 'N' NOT NULL"));
    }
    m_upgraded = true;
}

std::optional<Sessions::Answer> Sessions::checkCredentials(Db& db, const QString& op, const QString& pw, bool& mustChange)
{
    const qint64 now = nowSeconds();
    const int failures = db.scalar(QStringLiteral("SELECT COUNT(*) FROM TENTLOGIN WHERE CDOPERADOR = ? AND NRMOMENTO > ?"),
                                   {op, now - m_limits.failureWindow})
                             .toInt();
    if (failures >= m_limits.maxFailures)
        return Answer{429, errorBody(QStringLiteral("Muitas tentativas de entrada sem sucesso. Aguarde %1 minutos.")
                                         .arg((m_limits.failureWindow + 59) / 60))};
    const auto rows = db.rows(QStringLiteral("SELECT DSSENHAHASH, IDTROCASENHA, IDATIVO FROM OPERADOR WHERE CDOPERADOR = ?"), {op});
    // An unknown operator is checked against a hash too: the time of the
    // answer must not tell which names exist.
    const bool matches = slowCheck(rows.empty() ? m_dummyHash : rows[0][0].toString(), pw);
    if (rows.empty() || !matches) {
        db.exec(QStringLiteral("INSERT INTO TENTLOGIN (CDOPERADOR, NRMOMENTO) VALUES (?, ?)"), {op, now});
        return Answer{401, errorBody(QString::fromUtf8(kInvalid))};
    }
    // told only to whoever knows the password
    if (rows[0][2].toString().trimmed() != QLatin1String("S"))
        return Answer{403, errorBody(QStringLiteral("Operador desativado. Procure o administrador do sistema."))};
    mustChange = rows[0][1].toString().trimmed() == QLatin1String("S");
    return std::nullopt;
}

Sessions::Answer Sessions::openSession(Db& db, const QString& op, bool endOthers)
{
    unsigned char raw[32];
    randombytes_buf(raw, sizeof raw);
    char hex[65];
    sodium_bin2hex(hex, sizeof hex, raw, sizeof raw);
    const std::string token(hex);
    const QString hash = tokenHash(token);
    const qint64 now = nowSeconds();
    const qint64 expires = now + m_ttl;
    Transaction tx(db);
    db.exec(QStringLiteral("DELETE FROM TENTLOGIN WHERE CDOPERADOR = ?"), {op});
    if (endOthers)
        db.exec(QStringLiteral("DELETE FROM SESSAO WHERE CDOPERADOR = ?"), {op});
    // created in milliseconds, so that the oldest of a quick series is known
    db.exec(QStringLiteral("INSERT INTO SESSAO (DSTOKENHASH, CDOPERADOR, NRCRIADO, NREXPIRA) VALUES (?, ?, ?, ?)"),
            {hash, op, QDateTime::currentMSecsSinceEpoch(), expires});
    const auto live = db.rows(QStringLiteral("SELECT DSTOKENHASH FROM SESSAO WHERE CDOPERADOR = ? AND NREXPIRA >= ? "
                                             "ORDER BY NRCRIADO DESC"),
                              {op, now});
    int kept = 1; // the new one
    for (const auto& r : live) {
        const QString h = r[0].toString();
        if (h == hash)
            continue;
        if (kept < m_limits.maxSessions)
            ++kept;
        else
            db.exec(QStringLiteral("DELETE FROM SESSAO WHERE DSTOKENHASH = ?"), {h});
    }
    tx.commit();
    return {200, nlohmann::json{{"token", token}, {"operator", op.toStdString()}, {"expires", expires}}.dump()};
}

Sessions::Answer Sessions::checked(const QString& op, const QString& pw,
                                   const std::function<Answer(Db&, bool mustChange)>& then)
{
    if (op.isEmpty() || op.size() > 32)
        return {401, errorBody(QString::fromUtf8(kInvalid))};
    Db& db = m_pool.get();
    Deadline deadline(db, m_limits.wait);
    upgradeSchema(db);
    // Counting, checking and recording one try is one step per operator:
    // parallel guesses queue here and meet the limit.
    std::lock_guard lock(operatorLock(op));
    bool mustChange = false;
    if (auto refused = checkCredentials(db, op, pw, mustChange))
        return *refused;
    return then(db, mustChange);
}

Sessions::Answer Sessions::login(const std::string& body)
{
    peddb::initCrypto();
    const auto c = credentials(body);
    if (!c)
        return {400, errorBody(QStringLiteral("Informe operador e senha."))};
    return checked(c->op, c->pw, [&](Db& db, bool mustChange) -> Answer {
        if (!mustChange)
            return openSession(db, c->op, false);
        db.exec(QStringLiteral("DELETE FROM TENTLOGIN WHERE CDOPERADOR = ?"), {c->op});
        return {403, nlohmann::json{{"error", "Senha provisória: troque a senha antes de entrar."}, {"mustChange", true}}.dump()};
    });
}

Sessions::Answer Sessions::changePassword(const std::string& body)
{
    peddb::initCrypto();
    const auto c = credentials(body);
    if (!c || !c->hasNew)
        return {400, errorBody(QStringLiteral("Informe operador, senha atual e nova senha."))};
    if (c->newPw.size() < m_limits.minPasswordLength)
        return {400, errorBody(QStringLiteral("A nova senha deve ter ao menos %1 caracteres.").arg(m_limits.minPasswordLength))};
    if (c->newPw.size() > 256)
        return {400, errorBody(QStringLiteral("A nova senha deve ter no máximo 256 caracteres."))};
    if (c->newPw == c->pw)
        return {400, errorBody(QStringLiteral("A nova senha deve ser diferente da atual."))};
    return checked(c->op, c->pw, [&](Db& db, bool) {
        const QString hash = slowHash(c->newPw);
        db.exec(QStringLiteral("UPDATE OPERADOR SET DSSENHAHASH = ?, IDTROCASENHA = 'N' WHERE CDOPERADOR = ?"), {hash, c->op});
        // whoever knew the old password is signed out
        return openSession(db, c->op, true);
    });
}

std::optional<QString> Sessions::authenticate(const std::string& authorization)
{
    const auto token = bearer(authorization);
    if (!token)
        return std::nullopt;
    Db& db = m_pool.get();
    // a disabled operator's sessions end at once, even one opened while he
    // was being disabled
    const auto rows = db.rows(QStringLiteral("SELECT S.CDOPERADOR, S.NREXPIRA FROM SESSAO S JOIN OPERADOR O ON "
                                             "O.CDOPERADOR = S.CDOPERADOR WHERE S.DSTOKENHASH = ? AND O.IDATIVO = 'S'"),
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

void Sessions::purge()
{
    Db& db = m_pool.get();
    const qint64 now = nowSeconds();
    db.exec(QStringLiteral("DELETE FROM SESSAO WHERE NREXPIRA < ?"), {now});
    db.exec(QStringLiteral("DELETE FROM TENTLOGIN WHERE NRMOMENTO <= ?"), {now - m_limits.failureWindow});
}

} // namespace srv
