#include "Engine/DelphiExplorerReg.h"

#include "Engine/DelphiExplorers.h"

namespace krx {

void DelphiExplorerRegInitialization() {
  TModuleExplorerRegistry &r = ModuleExplorerRegistry();
  r.RegisterExplorerClass(TDelphiModuleExplorer::ClassRef());
  r.RegisterOptionsClass(TDelphiExplorerOptions::ClassRef());
}

void DelphiExplorerRegFinalization() {
  if (!ModuleExplorerRegistryExists())
    return;
  TModuleExplorerRegistry &r = ModuleExplorerRegistry();
  r.UnregisterExplorerClass(TDelphiModuleExplorer::ClassRef());
  r.UnregisterOptionsClass(TDelphiExplorerOptions::ClassRef());
}

} // namespace krx
