#include "Platform/PlatformUnits.h"

#include "Platform/Rtl/Messaging.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/Vcl/Themes.h"
#include "Platform/Win/Windows.h"

namespace krx {

// Add a platform unit here, after the units it depends on.
std::span<const TUnitEntry> PlatformUnits() {
  static constexpr TUnitEntry kUnits[] = {
      {"Rtl", nullptr, nullptr},
      {"Messaging", nullptr, &TMessageManager::FinalizeDefault},
      {"Win", InitializeWindows, FinalizeWindows},
      {"Dialogs", InitializeDialogs, FinalizeDialogs},
      {"Themes", InitializeThemes, FinalizeThemes},
      {"Forms", InitializeForms, FinalizeForms},
      {"StdCtrls", InitializeStdCtrls, FinalizeStdCtrls},
  };
  return kUnits;
}

} // namespace krx
