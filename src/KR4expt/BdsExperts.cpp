#include "KR4expt/BdsExperts.h"

#include "World/VersRes.h"

namespace krx {

namespace {

const Char *const STitle = u"Kestrune\u2122 11 Integration Addin";
const Char *const SDescription = u"Drummel Software\r\n"
                                 u"Links the IDE with Kestrune, the UML modelling tool.\r\n"
                                 u"Copyright Drummel Software. All rights reserved.";
const Char *const SStatusLabel = u"Registered with Kestrune";

String ExpertVersionText() { return GetVersionRes().VersionText(); }

} // namespace

std::unique_ptr<TBitmap> DrawExpertBitmap(Integer Size) {
  // A dark disc with a light ring on a transparent ground: the emblem scales to any size.
  auto bitmap = std::make_unique<TBitmap>(Size, Size, pf32bit);
  const double c = (Size - 1) / 2.0, r = Size / 2.0;
  for (Integer y = 0; y < Size; ++y)
    for (Integer x = 0; x < Size; ++x) {
      const double d2 = (x - c) * (x - c) + (y - c) * (y - c);
      if (d2 <= r * r)
        bitmap->SetPixel(x, y, d2 >= (r * 0.7) * (r * 0.7) ? 0xFFE8EEF4u : 0xFF1F4E79u);
    }
  return bitmap;
}

TKRBDSExpert::TKRBDSExpert() {
  RegisterAboutBoxEntry();
  RegisterSplashEntry();
}

TKRBDSExpert::~TKRBDSExpert() {
  FAboutBitmap.reset();
  FSplashBitmap.reset();
}

void TKRBDSExpert::RegisterAboutBoxEntry() {
  IPtr<IOTAAboutBoxServices> about = QueryServiceAs<IOTAAboutBoxServices>(BorlandIDEServices);
  if (!about)
    return;
  FAboutBitmap = DrawExpertBitmap(48);
  about->AddPluginInfo(STitle, SDescription, FAboutBitmap->Handle(), false, SStatusLabel,
                       ExpertVersionText(), String());
}

void TKRBDSExpert::RegisterSplashEntry() {
  if (!SplashScreenServices)
    return;
  FSplashBitmap = DrawExpertBitmap(24);
  SplashScreenServices->AddPluginBitmap(STitle, FSplashBitmap->Handle(), false, String(),
                                        LowerCase(ExpertVersionText()));
}

void WizardTerminate() {
  IPtr<IOTAWizardServices> wizards;
  if (WizardIndex != -1 && SupportsService(BorlandIDEServices, wizards))
    wizards->RemoveWizard(WizardIndex);
  WizardIndex = -1;
}

bool InitWizard(IBorlandIDEServices *Services, TWizardRegisterProc,
                TWizardTerminateProc *Terminate) {
  *Terminate = &WizardTerminate;
  IPtr<TKRBDSExpert> wizard = TKRBDSExpert::Create();
  IPtr<IOTAWizardServices> wizards = ServiceCast<IOTAWizardServices>(Services);
  WizardIndex = wizards->AddWizard(wizard.get());
  return true;
}

} // namespace krx
