#include "Units.h"

#include "Common/DataFolders.h"
#include "Common/DataTyp.h"
#include "Controls/ComCtrlsEx.h"
#include "Controls/KRHintImages.h"
#include "Controls/KindBtns.h"
#include "Engine/CodeItems.h"
#include "Engine/KRX.ReservedWords.h"
#include "Engine/Prefs.h"
#include "KR4expt/IDEPSAPI.h"
#include "Platform/Rtl/Messaging.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/StdCtrls.h"
#include "Platform/Win/Windows.h"
#include "ToolsApi/OTAUtils.h"
#include "World/Editable.h"
#include "World/KRSuperHints.h"
#include "World/ParsingLocks.h"
#include "World/Timers.h"
#include "World/VersRes.h"

#include <array>

namespace krx {

// Add a unit here, after the units it depends on.
std::span<const TUnitEntry> AllUnits() {
  static constexpr TUnitEntry kUnits[] = {
      {"Rtl", nullptr, nullptr},
      {"Messaging", nullptr, &TMessageManager::FinalizeDefault},
      {"Win", InitializeWindows, FinalizeWindows},
      {"Dialogs", InitializeDialogs, FinalizeDialogs},
      {"Forms", InitializeForms, FinalizeForms},
      {"DataFolders", DataFoldersInitialization, DataFoldersFinalization},
      {"Timers", TimersInitialization, TimersFinalization},
      {"Editable", EditableInitialization, EditableFinalization},
      {"DataTyp", DataTypInitialization, DataTypFinalization},
      {"IDEPSAPI", IDEPSAPIInitialization, IDEPSAPIFinalization},
      {"DelphiIDEPS", DelphiIDEPSInitialization, nullptr},
      {"ParsingLocks", InitializeParsingLocks, FinalizeParsingLocks},
      {"VersRes", nullptr, FinalizeVersRes},
      {"KRX.ReservedWords", ReservedWordsInitialization, ReservedWordsFinalization},
      {"Prefs", nullptr, FinalizePrefs},
      {"StdCtrls", InitializeStdCtrls, FinalizeStdCtrls},
      {"KindBtns", KindBtnsInitialization, KindBtnsFinalization},
      {"ComCtrlsEx", ComCtrlsExInitialization, ComCtrlsExFinalization},
      {"KRHintImages", KRHintImagesInitialization, KRHintImagesFinalization},
      {"KRSuperHints", nullptr, KRSuperHintsFinalization},
      {"CodeItems", CodeItemsInitialization, CodeItemsFinalization},
      {"OTAUtils", OTAUtilsInitialization, OTAUtilsFinalization},
  };
  return kUnits;
}

} // namespace krx
