// The door through which the IDE loads the expert: the exported entry INITWIZARD0001, the
// wizard object that also puts an entry into the IDE's About box and a line onto its splash
// screen, and the terminate procedure that removes the wizard when the IDE unloads it.
#pragma once

#include "KR4expt/KR4Expert.h"
#include "Platform/Vcl/Graphics.h"

namespace krx {

// The expert's emblem, drawn at the given size (48 for the About box, 24 for the splash).
std::unique_ptr<TBitmap> DrawExpertBitmap(Integer Size);

class TKRBDSExpert : public TKRD4Expert {
public:
  static IPtr<TKRBDSExpert> Create() { return IPtr<TKRBDSExpert>(new TKRBDSExpert()); }
  ~TKRBDSExpert() override;

  const TBitmap *AboutBitmap() const { return FAboutBitmap.get(); }
  const TBitmap *SplashBitmap() const { return FSplashBitmap.get(); }

private:
  TKRBDSExpert();
  void RegisterAboutBoxEntry();
  void RegisterSplashEntry();

  std::unique_ptr<TBitmap> FAboutBitmap;
  std::unique_ptr<TBitmap> FSplashBitmap;
};

// Removes the registered wizard (once); the IDE calls it when it unloads the expert.
void WizardTerminate();

bool InitWizard(IBorlandIDEServices *Services, TWizardRegisterProc RegisterProc,
                TWizardTerminateProc *Terminate);

} // namespace krx
