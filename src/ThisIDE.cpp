// The IDE a plug-in is made for. This unit is compiled once per plug-in, with KRX_THIS_IDE set
// to that plug-in's IDE by the build (cmake/KrxRevisions.cmake), so the rest of the tree is the
// same for every IDE.
#include "Common/KRX.DelphiVersions.h"

namespace krx {

TDelphiVersion ThisIDEVersion() { return KRX_THIS_IDE; }

} // namespace krx
