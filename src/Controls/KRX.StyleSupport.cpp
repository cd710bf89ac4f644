#include "Controls/KRX.StyleSupport.h"

namespace krx {

namespace {
// Not owned: the style services belong to the class library or to the IDE.
TCustomStyleServices *gStyleServicesInUse = nullptr;
// The IDE side reported the services in use (not the class library's fallback).
bool gReportedByIDE = false;

TCustomStyleServices &InUse() {
  if (!gStyleServicesInUse)
    gStyleServicesInUse = StyleServices();
  return *gStyleServicesInUse;
}
} // namespace

TCustomStyleServices *StyleServicesInUse() { return gStyleServicesInUse; }

void TKRXStyle::ApplyTheme(TComponent *AComponent) {
  TMessageManager::DefaultManager().SendMessage(nullptr,
                                                std::make_unique<TApplyThemeMessage>(AComponent));
}

void TKRXStyle::RegisterFormClass(TCustomFormClass AFormClass) {
  TMessageManager::DefaultManager().SendMessage(
      nullptr, std::make_unique<TRegisterFormMessage>(AFormClass));
}

TColor TKRXStyle::GetStyleColor(TStyleColor Color) { return InUse().GetStyleColor(Color); }

TColor TKRXStyle::GetStyleFontColor(TStyleFont Font) { return InUse().GetStyleFontColor(Font); }

TColor TKRXStyle::MapSystemColor(TColor AColor) {
  TCustomStyleServices &s = InUse();
  return s.Enabled() ? s.GetSystemColor(AColor) : AColor;
}

bool TKRXStyle::IsStyled() { return InUse().Enabled(); }

bool TKRXStyle::IsIDEStyle() {
  return gReportedByIDE && gStyleServicesInUse && gStyleServicesInUse != StyleServices();
}

bool TKRXStyle::IsCustomStyleActive() {
  return IsIDEStyle() || TStyleManager::IsCustomStyleActive();
}

IPtr<IInterface> TKRXStyle::Subscribe(TProc AProc) {
  return TStyleMessageListener::Create(std::move(AProc));
}

IPtr<IInterface> TStyleMessageListener::Create(TProc AProc) {
  return IPtr<IInterface>(new TStyleMessageListener(std::move(AProc)));
}

TStyleMessageListener::TStyleMessageListener(TProc AProc) : FProc(std::move(AProc)) {
  FId = TMessageManager::DefaultManager().SubscribeToMessage<TStyleChangeMessage>(
      [this](const TObject *, const TMessageBase &) {
        if (FProc)
          FProc();
      });
}

TStyleMessageListener::~TStyleMessageListener() {
  TMessageManager::DefaultManager().Unsubscribe<TStyleChangeMessage>(FId);
  FId = 0;
}

void UpdateStyleServices(TCustomStyleServices *Services) {
  if (Services == gStyleServicesInUse)
    return;
  gStyleServicesInUse = Services;
  gReportedByIDE = Services != nullptr;
  TMessageManager::DefaultManager().SendMessage(nullptr, std::make_unique<TStyleChangeMessage>());
}

void StyleSupportFinalization() {
  gStyleServicesInUse = nullptr;
  gReportedByIDE = false;
}

} // namespace krx
