// The door through which the IDE loads the expert: the exported entry INITWIZARD0001, the
// wizard object that also puts an entry into the IDE's About box and a line onto its splash
// screen, and the terminate procedure that removes the wizard when the IDE unloads it.
#pragma once

#include "KR4expt/KR4Expert.h"

namespace krx {

// A bitmap the expert draws itself: 32-bit pixels, row by row. Its address is its handle.
struct TExpertBitmap {
  Integer Width = 0;
  Integer Height = 0;
  std::vector<DWORD> Pixels;
  HBITMAP Handle() const { return reinterpret_cast<HBITMAP>(const_cast<TExpertBitmap *>(this)); }
};

// The expert's emblem, drawn at the given size (48 for the About box, 24 for the splash).
std::unique_ptr<TExpertBitmap> DrawExpertBitmap(Integer Size);

class TKRBDSExpert : public TKRD4Expert {
public:
  static IPtr<TKRBDSExpert> Create() { return IPtr<TKRBDSExpert>(new TKRBDSExpert()); }
  ~TKRBDSExpert() override;

  const TExpertBitmap *AboutBitmap() const { return FAboutBitmap.get(); }
  const TExpertBitmap *SplashBitmap() const { return FSplashBitmap.get(); }

private:
  TKRBDSExpert();
  void RegisterAboutBoxEntry();
  void RegisterSplashEntry();

  std::unique_ptr<TExpertBitmap> FAboutBitmap;
  std::unique_ptr<TExpertBitmap> FSplashBitmap;
};

// Removes the registered wizard (once); the IDE calls it when it unloads the expert.
void WizardTerminate();

bool InitWizard(IBorlandIDEServices *Services, TWizardRegisterProc RegisterProc,
                TWizardTerminateProc *Terminate);

} // namespace krx
