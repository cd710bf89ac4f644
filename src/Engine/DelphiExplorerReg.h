// Registers the Delphi explorer and its options with the module-explorer registry at start-up
// and unregisters them at shutdown (after the registry's own unit and DelphiExplorers).
#pragma once

namespace krx {

void DelphiExplorerRegInitialization();
void DelphiExplorerRegFinalization();

} // namespace krx
