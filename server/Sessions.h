#pragma once

#include "Storage.h"

#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>

namespace srv {

// Every password check slot stayed taken for the whole wait.
class SignInBusy : public DbError {
public:
    using DbError::DbError;
};

struct LoginLimits {
    int maxFailures = 5;          // failed checks of one operator within the window
    int failureWindow = 15 * 60;  // seconds
    int maxSessions = 10;         // live sessions per operator; the oldest goes
    int minPasswordLength = 10;   // of a new password
    int wait = 30;                // seconds a sign-in may wait for the database or a check slot
};

// Sessions live in the database, each token stored only as a hash, so
// several servers can share one database.
class Sessions {
public:
    Sessions(DbPool& pool, int ttlSeconds, LoginLimits limits = {});

    struct Answer {
        int status;
        std::string body;
    };
    Answer login(const std::string& body);
    // {"operator","password","newPassword"}: checked and limited as a login;
    // ends the operator's other sessions and answers as a login.
    Answer changePassword(const std::string& body);
    // The operator of a valid "Bearer <token>", or nothing.
    std::optional<QString> authenticate(const std::string& authorization);
    bool logout(const std::string& authorization);
    // Removes expired sessions and failures older than the window.
    void purge();

    // Password checks made since start (each is one slow hash).
    long passwordChecks() const { return m_checks.load(); }

private:
    // Count, check and record one try of an operator as one step; the
    // caller holds the operator's lock.
    std::optional<Answer> checkCredentials(Db& db, const QString& op, const QString& pw, bool& mustChange);
    // Runs a slow hash in one of the two slots (waiting at most the wait).
    template <class F>
    auto withSlot(F&& work);
    bool slowCheck(const QString& hash, const QString& pw);
    QString slowHash(const QString& pw);
    Answer openSession(Db& db, const QString& op, bool endOthers);
    // Checks the operator's password as one step with its limit, then runs
    // then with the database (whether the password must be changed).
    Answer checked(const QString& op, const QString& pw, const std::function<Answer(Db&, bool mustChange)>& then);
    std::mutex& operatorLock(const QString& op);
    void upgradeSchema(Db& db);

    DbPool& m_pool;
    int m_ttl;
    LoginLimits m_limits;
    QString m_dummyHash; // checked for unknown operators, so they cost the same
    std::array<std::mutex, 128> m_opLocks;
    // Each check takes 64 MiB for a moment: two at a time bounds the memory.
    std::counting_semaphore<2> m_slots{2};
    std::atomic<long> m_checks{0};
    std::atomic<bool> m_upgraded{false};
};

} // namespace srv
