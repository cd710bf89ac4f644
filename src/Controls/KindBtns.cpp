#include "Controls/KindBtns.h"

#include "Platform/Vcl/FormDescription.h"

namespace krx {

namespace {

struct TKindInfo {
  const Char *Caption;
  TModalResult Result;
};

constexpr TKindInfo kKinds[] = {
    {u"", mrNone},       {u"OK", mrOk},         {u"Cancel", mrCancel}, {u"Help", mrNone},
    {u"Yes", mrYes},     {u"No", mrNo},         {u"Close", mrNone},    {u"Abort", mrAbort},
    {u"Retry", mrRetry}, {u"Ignore", mrIgnore}, {u"All", mrAll},
};

} // namespace

const TClassInfo &TKindButton::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TKindButton>(&TButton::StaticClassInfo())
          .Enum(u"Kind", TBitBtnKindNames, &TKindButton::Kind, &TKindButton::SetKind)
          .Stored(false)
          .Integer(u"Width", &TKindButton::Width, &TKindButton::SetWidth)
          .Default(81)
          .Build();
  return info;
}

TKindButton::TKindButton(TComponent *AOwner) : TButton(AOwner) { SetWidth(81); }

void TKindButton::SetKind(TBitBtnKind Value) {
  if (ComponentState().Contains(csLoading) || Value == FKind)
    return;
  FKind = Value;
  if (Value == bkCustom)
    return;
  SetDefault(Value == bkOK || Value == bkYes);
  SetCancel(Value == bkCancel || Value == bkNo);
  SetCaption(kKinds[Value].Caption);
  SetModalResult(kKinds[Value].Result);
  if (ComponentState().Contains(csDesigning)) {
    // The designer names the button after its caption ("OKBtn"); a name in use keeps the old.
    String name;
    for (Char c : Caption())
      if (c > u' ')
        name += c;
    try {
      SetName(name + u"Btn");
    } catch (const Exception &) {
    }
  }
}

void KindBtnsInitialization() { RegisterComponentClass<TKindButton>(u"TKindButton"); }
void KindBtnsFinalization() { UnregisterComponentClass(u"TKindButton"); }

} // namespace krx
