#pragma once

// Makes the server's database calls fail as the real ones do, to see that
// every way a call can fail leaves the data whole and the server serving.
// Only the tests link this; the programs carry no way to arm it.
namespace testsupport::faults {

// Stall: the call is held up for 1.5 s (as by another writer's lock), then runs.
enum class Kind { Io, Busy, Constraint, Stall };
// From the nth database call after this on, every call fails with the kind's
// error (with once, only the nth), until disarmed.
void arm(long n, Kind kind, bool once = false);
void disarm();
bool fired();
long calls(); // database calls since armed
// The next rollback fails as a lost disk would make it.
void failNextRollback();

} // namespace testsupport::faults
