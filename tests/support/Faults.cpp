#include "support/Faults.h"

#include "db/Database.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace testsupport::faults {

namespace {

class Injector : public peddb::DbProbe {
public:
    std::optional<QString> beforeCall() override
    {
        if (at.load(std::memory_order_relaxed) <= 0)
            return std::nullopt;
        Kind k;
        {
            std::lock_guard lock(mutex);
            if (at <= 0)
                return std::nullopt;
            ++count;
            if (count < at || (once && count > at))
                return std::nullopt;
            hit = true;
            k = kind;
        }
        // the drivers' own words for these failures
        switch (k) {
        case Kind::Io:
            return QStringLiteral("disk I/O error");
        case Kind::Busy:
            return QStringLiteral("database is locked");
        case Kind::Constraint:
            return QStringLiteral("UNIQUE constraint failed: COMISITEMPED.CDVENDEDOR");
        case Kind::Stall:
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            break;
        }
        return std::nullopt;
    }
    bool failRollback() override { return rollback.exchange(false); }

    std::mutex mutex;
    std::atomic<long> at{0};
    long count = 0;
    Kind kind = Kind::Io;
    bool once = false, hit = false;
    std::atomic<bool> rollback{false};
};

Injector& injector()
{
    // installed for the whole test program, armed by the tests that want it
    static Injector* const probe = [] {
        auto* p = new Injector;
        peddb::setDbProbe(p);
        return p;
    }();
    return *probe;
}

} // namespace

void arm(long n, Kind kind, bool once)
{
    Injector& f = injector();
    std::lock_guard lock(f.mutex);
    f.at = n;
    f.count = 0;
    f.kind = kind;
    f.once = once;
    f.hit = false;
}

void disarm()
{
    Injector& f = injector();
    f.rollback = false;
    std::lock_guard lock(f.mutex);
    f.at = 0;
}

long calls()
{
    Injector& f = injector();
    std::lock_guard lock(f.mutex);
    return f.count;
}

void failNextRollback()
{
    injector().rollback = true;
}

bool fired()
{
    Injector& f = injector();
    std::lock_guard lock(f.mutex);
    return f.hit;
}

} // namespace testsupport::faults
