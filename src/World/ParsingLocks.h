// The parsing lock: the one lock of the system, a process-wide critical section around
// parsing and around changes of the code-style preferences. Calls nest on one thread; every
// enter is paired with a leave (TParsingLock does both).
#pragma once

namespace krx {

void EnterParsingLock();
void LeaveParsingLock();

// Holds the parsing lock for its lifetime.
class TParsingLock {
public:
  TParsingLock() { EnterParsingLock(); }
  ~TParsingLock() { LeaveParsingLock(); }
  TParsingLock(const TParsingLock &) = delete;
  TParsingLock &operator=(const TParsingLock &) = delete;
};

// Unit start-up and shutdown: the critical section exists in between.
void InitializeParsingLocks();
void FinalizeParsingLocks();

} // namespace krx
