// The expert as a plug-in library. Loading it runs the system half of the unit list, unloading
// it runs the list in reverse; the IDE then calls the one exported symbol, the wizard entry.
// Everything else stays inside the library (src/PluginEntry.map), and the library is built
// without unique symbols, so that unloading really unloads it and a second load starts afresh.
#include "KR4expt/BdsExperts.h"
#include "Units.h"

namespace {

bool GUnitsStarted = false;

__attribute__((constructor)) void LibraryLoaded() {
  try {
    krx::InitializeUnits(krx::SystemUnits());
    GUnitsStarted = true;
  } catch (...) {
    GUnitsStarted = false; // the entry answers False
  }
}

__attribute__((destructor)) void LibraryUnloaded() {
  if (GUnitsStarted)
    krx::FinalizeUnits(krx::SystemUnits());
}

} // namespace

extern "C" bool INITWIZARD0001(krx::IBorlandIDEServices *Services,
                               krx::TWizardRegisterProc RegisterProc,
                               krx::TWizardTerminateProc *Terminate) {
  if (!GUnitsStarted)
    return false;
  return krx::InitWizard(Services, RegisterProc, Terminate);
}
