#include "KR4expt/KR4Expert.h"

#include "KR4expt/KR4ExptDM.h"
#include "World/VersRes.h"

namespace krx {

constinit Integer WizardIndex = -1;

void KR4ExpertInitialization() { WizardIndex = -1; }

TKRD4Expert::TKRD4Expert() {
  FDataModule.reset(TDataModule::Create<TKR4ExptDataModule>(nullptr));
  KR4ExptDataModule = FDataModule.get();
}

TKRD4Expert::~TKRD4Expert() {
  WizardIndex = -1;
  FDataModule.reset();
}

String TKRD4Expert::GetIDString() { return u"Kestrune Tools.Kestrune Integration Wizard"; }

String TKRD4Expert::GetName() { return GetVersionRes().FileDescription(); }

} // namespace krx
