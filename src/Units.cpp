#include "Units.h"

#include "Common/DataFolders.h"
#include "Common/DataTyp.h"
#include "Controls/ComCtrlsEx.h"
#include "Controls/KRHintImages.h"
#include "Controls/KRX.StyleSupport.h"
#include "Controls/KindBtns.h"
#include "Engine/CodeItems.h"
#include "Engine/DelphiExplorerReg.h"
#include "Engine/DelphiExplorers.h"
#include "Engine/KRX.ReservedWords.h"
#include "Engine/ModuleExplorers.h"
#include "Engine/Prefs.h"
#include "KR4expt/IDEPSAPI.h"
#include "Platform/PlatformUnits.h"
#include "RevisionUnits.h"
#include "ToolsApi/OTAUtils.h"
#include "World/Editable.h"
#include "World/KRSuperHints.h"
#include "World/ParsingLocks.h"
#include "World/Timers.h"
#include "World/VersRes.h"

#include <vector>

namespace krx {

// From Controls/FormStates.h, whose generic dictionary shares its name with the XML unit's
// dictionary class that other units here bring in.
void FormStatesInitialization();
void FormStatesFinalization();

namespace {

// Add a unit of the system here, after the units it depends on; the units only one revision
// has come after these (RevisionUnits.h).
constexpr TUnitEntry kUnits[] = {
    {"DataFolders", DataFoldersInitialization, DataFoldersFinalization},
    {"Timers", TimersInitialization, TimersFinalization},
    {"Editable", EditableInitialization, EditableFinalization},
    {"DataTyp", DataTypInitialization, DataTypFinalization},
    {"IDEPSAPI", IDEPSAPIInitialization, IDEPSAPIFinalization},
    {"DelphiIDEPS", DelphiIDEPSInitialization, nullptr},
    {"ParsingLocks", InitializeParsingLocks, FinalizeParsingLocks},
    {"VersRes", nullptr, FinalizeVersRes},
    {ReservedWordsUnitName, ReservedWordsInitialization, ReservedWordsFinalization},
    {"Prefs", nullptr, FinalizePrefs},
    {"CodeItems", CodeItemsInitialization, CodeItemsFinalization},
    {"ModuleExplorers", ModuleExplorersInitialization, ModuleExplorersFinalization},
    {"DelphiExplorers", DelphiExplorersInitialization, DelphiExplorersFinalization},
    {"DelphiExplorerReg", DelphiExplorerRegInitialization, DelphiExplorerRegFinalization},
    {"OTAUtils", OTAUtilsInitialization, OTAUtilsFinalization},
    {"KRX.StyleSupport", nullptr, StyleSupportFinalization},
    {"FormStates", FormStatesInitialization, FormStatesFinalization},
    {"KindBtns", KindBtnsInitialization, KindBtnsFinalization},
    {"ComCtrlsEx", ComCtrlsExInitialization, ComCtrlsExFinalization},
    {"KRHintImages", KRHintImagesInitialization, KRHintImagesFinalization},
    {"KRSuperHints", nullptr, KRSuperHintsFinalization},
};

} // namespace

std::span<const TUnitEntry> SystemUnits() {
  static const std::vector<TUnitEntry> units = [] { // built on first use
    std::vector<TUnitEntry> v(std::begin(kUnits), std::end(kUnits));
    v.insert(v.end(), RevisionUnits().begin(), RevisionUnits().end());
    return v;
  }();
  return units;
}

std::span<const TUnitEntry> AllUnits() {
  static const std::vector<TUnitEntry> all = [] { // built on first use
    std::vector<TUnitEntry> v(PlatformUnits().begin(), PlatformUnits().end());
    v.insert(v.end(), SystemUnits().begin(), SystemUnits().end());
    return v;
  }();
  return all;
}

} // namespace krx
