#include "World/ParsingLocks.h"

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Win/Kernel.h"

namespace krx {

namespace {
// Trivially constructible: no static constructor; usable between the unit's start-up and
// shutdown.
TRTLCriticalSection gParsingLock;
} // namespace

void EnterParsingLock() {
  KR_ASSERT(gParsingLock.Initialized);
  EnterCriticalSection(gParsingLock);
}

void LeaveParsingLock() { LeaveCriticalSection(gParsingLock); }

void InitializeParsingLocks() { InitializeCriticalSection(gParsingLock); }

void FinalizeParsingLocks() { DeleteCriticalSection(gParsingLock); }

} // namespace krx
