// The toolkit's one link to the IDE theme. It keeps the style services in use (the IDE's
// themed ones once the IDE side reports them, else the class library's), answers colour and
// state questions against them, and talks to the IDE side only through messages of the
// default message manager: requests to theme a component or to register a form class go
// out, and a change of the style services comes back as a broadcast that any control can
// subscribe to.
#pragma once

#include "Platform/Rtl/Intf.h"
#include "Platform/Rtl/Messaging.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Themes.h"

#include <functional>

namespace krx {

using TProc = std::function<void()>;

// Broadcast when the style services in use change; carries nothing.
class TStyleChangeMessage : public TMessageBase {};

// Asks the IDE side to apply its theme to a component (form, frame or control).
class TApplyThemeMessage : public TValueMessage<TComponent *> {
public:
  using TValueMessage::TValueMessage;
};

// Asks the IDE side to know a form class as a themed form class.
class TRegisterFormMessage : public TValueMessage<TCustomFormClass> {
public:
  using TValueMessage::TValueMessage;
};

class TKRXStyle {
public:
  // Send the request through the default message manager, with no sender; every
  // subscriber hears it before the call returns.
  static void ApplyTheme(TComponent *AComponent);
  static void RegisterFormClass(TCustomFormClass AFormClass);

  static TColor GetStyleColor(TStyleColor Color);
  static TColor GetStyleFontColor(TStyleFont Font);
  // The style's value of a system colour while the style services are enabled.
  static TColor MapSystemColor(TColor AColor);
  static bool IsStyled();
  // True only while the IDE has reported style services of its own (UpdateStyleServices)
  // that differ from the class library's current ones.
  static bool IsIDEStyle();
  static bool IsCustomStyleActive();
  // The procedure runs on every style change while the returned reference lives.
  static IPtr<IInterface> Subscribe(TProc AProc);
};

// Lives as long as its last reference; subscribed to TStyleChangeMessage meanwhile.
class TStyleMessageListener : public TInterfacedObject {
public:
  static IPtr<IInterface> Create(TProc AProc);
  ~TStyleMessageListener() override;

private:
  explicit TStyleMessageListener(TProc AProc);
  Integer FId = 0;
  TProc FProc;
};

// The IDE side reports its active style services (null: the IDE has none, theming is off).
// A change is stored and broadcast; the same services again change nothing.
void UpdateStyleServices(TCustomStyleServices *Services);

// The style services questions are answered against: fixed by the first question (the class
// library's current ones) until UpdateStyleServices replaces them.
TCustomStyleServices *StyleServicesInUse();

void StyleSupportFinalization();

} // namespace krx
