// The wizard object the IDE holds while the expert is loaded. It does no work of its own: it
// owns the data module, whose creation installs the expert in the IDE and whose destruction
// removes it again.
#pragma once

#include "Platform/ToolsAPI/ToolsAPI.h"

#include <memory>

namespace krx {

class TKR4ExptDataModule;

// The index the IDE's wizard services gave the registered wizard; -1 while none is.
extern Integer WizardIndex;

class TKRD4Expert : public TInterfacedObject, public virtual IOTAWizard {
public:
  ~TKRD4Expert() override;

  void AfterSave() override {}
  void BeforeSave() override {}
  // The IDE lets go of the wizard: nothing is left to remove.
  void Destroyed() override { WizardIndex = -1; }
  void Modified() override {}
  String GetIDString() override;
  // The "FileDescription" of the expert's own version resource.
  String GetName() override;
  TWizardState GetState() override { return {}; }
  void Execute() override {}

protected:
  // Creates the data module and makes it the process-wide one.
  TKRD4Expert();

private:
  std::unique_ptr<TKR4ExptDataModule> FDataModule;
};

void KR4ExpertInitialization();

} // namespace krx
