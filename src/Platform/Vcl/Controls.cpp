#include "Platform/Vcl/Controls.h"

#include "Platform/Vcl/ActnList.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/Menus.h"

#include <algorithm>
#include <atomic>

namespace krx {

namespace {

// Synthetic handles live above every address and every window-layer handle (whose high half
// is a process id), so the two never meet.
std::atomic<std::uintptr_t> gNextHandle{1};

HWND NewHandle() {
  return reinterpret_cast<HWND>((std::uintptr_t{0xC0DE} << 48) | gNextHandle.fetch_add(1));
}

} // namespace

// ---- TControl -------------------------------------------------------------------------------

const TClassInfo &TControl::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TControl>(&TComponent::StaticClassInfo())
          .Integer(u"Left", &TControl::Left, &TControl::SetLeft)
          .Integer(u"Top", &TControl::Top, &TControl::SetTop)
          .Integer(u"Width", &TControl::Width, &TControl::SetWidth)
          .Integer(u"Height", &TControl::Height, &TControl::SetHeight)
          .Enum(u"Align", TAlignNames, &TControl::Align, &TControl::SetAlign)
          .Default(alNone)
          .Set(u"Anchors", TAnchorKindNames, &TControl::Anchors, &TControl::SetAnchors)
          .Str(u"Caption", &TControl::Caption, &TControl::SetCaption)
          .Integer(u"Color", &TControl::Color, &TControl::SetColor)
          .Bool(u"Enabled", &TControl::Enabled, &TControl::SetEnabled)
          .Default(1)
          .Str(u"Hint", &TControl::Hint, &TControl::SetHint)
          .Bool(u"ParentColor", &TControl::ParentColor, &TControl::SetParentColor)
          .Bool(u"ParentFont", &TControl::ParentFont, &TControl::SetParentFont)
          .Default(1)
          .Bool(u"ShowHint", &TControl::ShowHint, &TControl::SetShowHint)
          .Default(0)
          .Bool(u"Visible", &TControl::Visible, &TControl::SetVisible)
          .Default(1)
          .Build();
  return info;
}

TControl::TControl(TComponent *AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>()) {
  FFont->OnChange = [this](TObject *) { FontChanged(); };
}

TControl::~TControl() {
  Destroying();
  FActionLink.reset();
  if (FParent)
    FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl *AParent) {
  if (AParent == FParent)
    return;
  if (AParent == this)
    throw EInvalidOperation(SControlParentSetToSelf);
  if (FParent)
    FParent->RemoveControl(this);
  if (AParent)
    AParent->InsertControl(this);
}

void TControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  const bool resized = AWidth != FWidth || AHeight != FHeight;
  const bool changed = resized || ALeft != FLeft || ATop != FTop;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  // Bounds set by the parent's alignment keep the anchoring origin.
  if (!FParent || !FParent->ControlState().Contains(csAligning))
    UpdateAnchorRules();
  if (!changed)
    return;
  Invalidate();
  if (resized)
    if (auto *self = dynamic_cast<TWinControl *>(this))
      self->Realign();
  RequestAlign();
  if (resized)
    Resize();
}

void TControl::Resize() {
  if (OnResize)
    OnResize(this);
}

void TControl::UpdateAnchorRules() {
  FExplicitBounds = BoundsRect();
  FAnchorParentSize = FParent ? TSize{FParent->ClientWidth(), FParent->ClientHeight()} : TSize{};
}

void TControl::Loaded() {
  TComponent::Loaded();
  UpdateAnchorRules();
}

void TWinControl::Loaded() {
  TControl::Loaded();
  if (ControlState().Contains(csAlignmentNeeded))
    Realign();
}

void TControl::SetClientWidth(Integer Value) { SetWidth(Value + FWidth - ClientWidth()); }

void TControl::SetClientHeight(Integer Value) { SetHeight(Value + FHeight - ClientHeight()); }

TPoint TControl::ClientToParentForm(TPoint P) const {
  for (const TControl *c = this; c->FParent; c = c->FParent)
    P = {P.X + c->FLeft, P.Y + c->FTop};
  return P;
}

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign)
    return;
  FAlign = Value;
  if (Value == alLeft || Value == alRight)
    FAnchors = {akLeft, akTop, akBottom};
  else if (Value == alTop || Value == alBottom)
    FAnchors = {akLeft, akTop, akRight};
  else if (Value == alClient)
    FAnchors = {akLeft, akTop, akRight, akBottom};
  else
    FAnchors = {akLeft, akTop};
  RequestAlign();
}

void TControl::RequestAlign() {
  if (FParent && !ComponentState().Contains(csDestroying))
    FParent->Realign();
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible)
    return;
  FVisible = Value;
  if (!Value)
    if (TCustomForm *form = GetParentForm(this, false); form && form != this)
      form->DefocusControl(this);
  VisibleChanged();
  Invalidate();
  if (FParent && (FAlign != alNone || Value))
    FParent->Realign();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled)
    return;
  FEnabled = Value;
  if (!Value)
    if (TCustomForm *form = GetParentForm(this, false); form && form != this)
      form->DefocusControl(this);
  EnabledChanged();
}

void TControl::SetText(const String &Value) {
  if (Value == FText)
    return;
  FText = Value;
  TextChanged();
}

void TControl::FontChanged() {
  if (!FApplyingParentFont)
    FParentFont = false;
  Invalidate();
}

void TControl::SetParentFont(bool Value) {
  if (Value == FParentFont)
    return;
  FParentFont = Value;
  if (Value)
    ParentFontChanged();
}

void TControl::ParentFontChanged() {
  if (!FParentFont || !FParent)
    return;
  FApplyingParentFont = true;
  struct TReset {
    bool &Flag;
    ~TReset() { Flag = false; }
  } reset{FApplyingParentFont};
  FFont->SetPixelsPerInch(FParent->Font().PixelsPerInch());
  FFont->Assign(FParent->Font());
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor && !FParentColor)
    return;
  FColor = Value;
  FParentColor = false;
  Invalidate();
  if (auto *self = dynamic_cast<TWinControl *>(this))
    for (Integer i = 0; i < self->ControlCount(); ++i)
      self->Controls(i)->ParentColorChanged();
}

void TControl::SetParentColor(bool Value) {
  if (Value == FParentColor)
    return;
  FParentColor = Value;
  if (Value)
    ParentColorChanged();
}

void TControl::ParentColorChanged() {
  if (!FParentColor || !FParent)
    return;
  SetColor(FParent->Color());
  FParentColor = true;
}

void TControl::SetPopupMenu(TPopupMenu *Value) {
  if (FPopupMenu)
    FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = Value;
  if (FPopupMenu)
    FPopupMenu->FreeNotification(this);
}

namespace {

class TControlActionLink : public TActionLinkOf<TControl> {
public:
  using TActionLinkOf::TActionLinkOf;
  void SetCaption(const String &V) override {
    Follow(&TControl::Caption, &TCustomAction::Caption, &TControl::SetCaption, V);
  }
  void SetEnabled(bool V) override {
    Follow(&TControl::Enabled, &TCustomAction::Enabled, &TControl::SetEnabled, V);
  }
  void SetVisible(bool V) override {
    Follow(&TControl::Visible, &TCustomAction::Visible, &TControl::SetVisible, V);
  }
  void SetHint(const String &V) override {
    Follow(&TControl::Hint, &TCustomAction::Hint, &TControl::SetHint, V);
  }
};

} // namespace

TBasicAction *TControl::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

void TControl::SetAction(TBasicAction *Value) {
  if (!Value) {
    FActionLink.reset();
    return;
  }
  if (!FActionLink) {
    FActionLink = std::make_unique<TControlActionLink>(this);
    FActionLink->OnChange = [this](TBasicAction *a) { ActionChange(a, false); };
  }
  FActionLink->SetAction(Value);
}

void TControl::ActionChange(TObject *Sender, bool) {
  auto *a = dynamic_cast<TCustomAction *>(Sender);
  if (!a)
    return;
  SetCaption(a->Caption());
  SetEnabled(a->Enabled());
  SetVisible(a->Visible());
  SetHint(a->Hint());
}

void TControl::Notification(TComponent *AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupMenu)
    FPopupMenu = nullptr;
}

void TControl::ScaleBy(Integer M, Integer D) {
  auto *self = dynamic_cast<TWinControl *>(this);
  if (self)
    self->DisableAlign();
  struct TEnable {
    TWinControl *Control;
    ~TEnable() {
      if (Control)
        Control->EnableAlign();
    }
  } enable{self};
  ChangeScale(M, D, false);
}

void TControl::ChangeScale(Integer M, Integer D, bool isDpiChange) {
  if (M == D || D == 0)
    return;
  const Integer left = MulDiv(FLeft, M, D);
  const Integer top = MulDiv(FTop, M, D);
  SetBounds(left, top, MulDiv(FLeft + FWidth, M, D) - left, MulDiv(FTop + FHeight, M, D) - top);
  if (isDpiChange)
    FCurrentPPI = MulDiv(FCurrentPPI, M, D);
  if (!FParentFont) {
    if (isDpiChange)
      FFont->SetPixelsPerInch(MulDiv(FFont->PixelsPerInch(), M, D));
    FFont->SetHeight(MulDiv(FFont->Height(), M, D));
    FParentFont = false;
  } else {
    ParentFontChanged();
  }
}

void TControl::BringToFront() {
  if (!FParent)
    return;
  auto &list = FParent->FControls;
  std::erase(list, this);
  list.push_back(this);
  FParent->Realign();
}

void TControl::SendToBack() {
  if (!FParent)
    return;
  auto &list = FParent->FControls;
  std::erase(list, this);
  list.insert(list.begin(), this);
  FParent->Realign();
}

void TControl::Click() {
  if (OnClick)
    OnClick(this);
  else if (FActionLink)
    FActionLink->Execute();
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m;
  m.Msg = Msg;
  m.WParam = WParam;
  m.LParam = LParam;
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage &) {}

bool TControl::DialogKey(Word, TShiftState) { return false; }

bool TControl::DialogChar(Char) { return false; }

void TControl::PaintTo(TCanvas &) {}

// ---- TWinControl ----------------------------------------------------------------------------

const TClassInfo &TWinControl::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TWinControl>(&TControl::StaticClassInfo())
          .Integer(u"TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder)
          .Bool(u"TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop)
          .Default(0)
          .Bool(u"ParentBackground", &TWinControl::ParentBackground,
                &TWinControl::SetParentBackground)
          .Build();
  return info;
}

TWinControl::TWinControl(TComponent *AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  Destroying();
  // The parent frees its children, whoever owns them.
  while (!FControls.empty()) {
    TControl *child = FControls.back();
    RemoveControl(child);
    delete child;
  }
}

TControl *TWinControl::Controls(Integer Index) const {
  if (Index < 0 || Index >= ControlCount())
    throw EListError(Format(SListIndexError, {Index}));
  return FControls[static_cast<std::size_t>(Index)];
}

bool TWinControl::ContainsControl(const TControl *Control) const {
  while (Control && Control != this)
    Control = Control->Parent();
  return Control == this;
}

TControl *TWinControl::FindChildControl(StringView ControlName) const {
  for (TControl *c : FControls)
    if (SameText(c->Name(), ControlName))
      return c;
  return nullptr;
}

void TWinControl::InsertControl(TControl *AControl) {
  KR_ASSERT(AControl != nullptr && AControl->FParent == nullptr);
  FControls.push_back(AControl);
  if (auto *w = dynamic_cast<TWinControl *>(AControl))
    FTabList.push_back(w);
  AControl->FParent = this;
  // A control placed on a parent laid out for another density is scaled to it.
  if (AControl->CurrentPPI() != CurrentPPI() && !AControl->ComponentState().Contains(csLoading))
    AControl->ChangeScale(CurrentPPI(), AControl->CurrentPPI(), true);
  AControl->ParentFontChanged();
  AControl->ParentColorChanged();
  AControl->UpdateAnchorRules();
  if (AControl->Align() != alNone)
    Realign();
}

void TWinControl::RemoveControl(TControl *AControl) {
  if (TCustomForm *form = GetParentForm(this, false))
    form->DefocusControl(AControl);
  std::erase(FControls, AControl);
  // Compared as controls: a windowed control being destroyed is no longer a TWinControl here.
  std::erase_if(FTabList, [AControl](TWinControl *w) { return w == AControl; });
  AControl->FParent = nullptr;
  if (AControl->Align() != alNone && !ComponentState().Contains(csDestroying))
    Realign();
}

Integer TWinControl::TabOrder() const {
  if (!Parent())
    return 0;
  const auto &list = Parent()->FTabList;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<Integer>(it - list.begin());
}

void TWinControl::SetTabOrder(Integer Value) {
  if (!Parent())
    return;
  auto &list = Parent()->FTabList;
  std::erase(list, this);
  Value = std::clamp(Value, 0, static_cast<Integer>(list.size()));
  list.insert(list.begin() + Value, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl *> &List) const {
  for (TWinControl *c : FTabList) {
    List.push_back(c);
    c->GetTabOrderList(List);
  }
}

void TWinControl::EnableAlign() {
  if (FAlignLevel == 0)
    return;
  if (--FAlignLevel == 0 && ControlState().Contains(csAlignmentNeeded))
    Realign();
}

void TWinControl::Realign() {
  if (ComponentState().Contains(csDestroying))
    return;
  if (AlignDisabled() || ComponentState().Contains(csLoading)) {
    SetControlState(ControlState() + TControlState{csAlignmentNeeded});
    return;
  }
  AlignControl(nullptr);
}

void TWinControl::AlignControl(TControl *AControl) {
  if (ControlState().Contains(csAligning))
    return;
  SetControlState((ControlState() - TControlState{csAlignmentNeeded}) + TControlState{csAligning});
  struct TDone {
    TWinControl *Self;
    ~TDone() { Self->SetControlState(Self->ControlState() - TControlState{csAligning}); }
  } done{this};
  TRect r = ClientRect();
  r = Rect(r.Left + FBorderWidth, r.Top + FBorderWidth,
           std::max(r.Left + FBorderWidth, r.Right - FBorderWidth),
           std::max(r.Top + FBorderWidth, r.Bottom - FBorderWidth));
  AlignControls(AControl, r);
}

void TWinControl::SetBorderWidth(Integer Value) {
  Value = std::max(0, Value);
  if (Value == FBorderWidth)
    return;
  FBorderWidth = Value;
  Realign();
}

void TWinControl::AlignControls(TControl *AControl, TRect &Rect) {
  // Aligned children, side by side from the edges inwards: top, bottom, left, right, then
  // the client one in what is left.
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl *> list;
    for (TControl *c : FControls)
      if (c->Align() == align && c->Visible())
        list.push_back(c);
    const auto key = [align](const TControl *c) {
      switch (align) {
      case alTop:
        return c->Top();
      case alBottom:
        return -(c->Top() + c->Height());
      case alLeft:
        return c->Left();
      case alRight:
        return -(c->Left() + c->Width());
      default:
        return 0;
      }
    };
    // The control that asked keeps its place before others at the same position.
    std::stable_sort(list.begin(), list.end(), [&](TControl *a, TControl *b) {
      if (key(a) != key(b))
        return key(a) < key(b);
      return a == AControl && b != AControl;
    });
    for (TControl *c : list) {
      switch (align) {
      case alTop:
        c->SetBounds(Rect.Left, Rect.Top, Rect.Width(), c->Height());
        Rect.Top += c->Height();
        break;
      case alBottom:
        c->SetBounds(Rect.Left, Rect.Bottom - c->Height(), Rect.Width(), c->Height());
        Rect.Bottom -= c->Height();
        break;
      case alLeft:
        c->SetBounds(Rect.Left, Rect.Top, c->Width(), Rect.Height());
        Rect.Left += c->Width();
        break;
      case alRight:
        c->SetBounds(Rect.Right - c->Width(), Rect.Top, c->Width(), Rect.Height());
        Rect.Right -= c->Width();
        break;
      default:
        c->SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
        break;
      }
    }
  }
  // Anchored children follow the change of the client size since their bounds were set:
  // anchored on both sides they stretch, on the far side only they move, on neither they
  // keep their centre in proportion.
  const TSize client{ClientWidth(), ClientHeight()};
  for (TControl *c : FControls) {
    // A control being loaded takes its anchoring origin when its loading ends.
    if (c->Align() != alNone || c->ComponentState().Contains(csLoading))
      continue;
    const TAnchors a = c->Anchors();
    const TRect e = c->FExplicitBounds;
    const Integer dw = client.cx - c->FAnchorParentSize.cx;
    const Integer dh = client.cy - c->FAnchorParentSize.cy;
    Integer left = e.Left, top = e.Top, width = e.Width(), height = e.Height();
    if (a.Contains(akRight))
      (a.Contains(akLeft) ? width : left) += dw;
    else if (!a.Contains(akLeft))
      left += dw / 2;
    if (a.Contains(akBottom))
      (a.Contains(akTop) ? height : top) += dh;
    else if (!a.Contains(akTop))
      top += dh / 2;
    if (left != c->Left() || top != c->Top() || width != c->Width() || height != c->Height())
      c->SetBounds(left, top, width, height);
  }
}

HWND TWinControl::Handle() {
  if (!FHandle) {
    FHandle = NewHandle();
    CreateWnd();
  }
  return FHandle;
}

void TWinControl::WndProc(TMessage &Message) {
  if (Message.Msg == WM_SETREDRAW) {
    FRedraw = Message.WParam != 0;
    Message.Result = 0;
    return;
  }
  TControl::WndProc(Message);
}

bool TWinControl::CanFocus() const {
  const TCustomForm *form = GetParentForm(this);
  if (!form)
    return false;
  for (const TControl *c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled())
      return false;
  return true;
}

bool TWinControl::Focused() const {
  const TCustomForm *form = GetParentForm(this);
  return form && form->ActiveControl() == this && form->Active();
}

void TWinControl::SetFocus() {
  TCustomForm *form = GetParentForm(this, false);
  if (!form || form == this)
    form = GetParentForm(this);
  if (!form)
    throw EInvalidOperation(Format(SParentRequired, {Name()}));
  form->FocusControl(this);
}

TWinControl *TWinControl::FindNextControl(TWinControl *CurControl, bool GoForward,
                                          bool CheckTabStop, bool CheckParent) const {
  std::vector<TWinControl *> list;
  GetTabOrderList(list);
  if (list.empty())
    return nullptr;
  const Integer count = static_cast<Integer>(list.size());
  auto it = std::find(list.begin(), list.end(), CurControl);
  Integer start = it == list.end() ? (GoForward ? count - 1 : 0)
                                   : static_cast<Integer>(it - list.begin());
  Integer i = start;
  do {
    i = GoForward ? (i + 1) % count : (i + count - 1) % count;
    TWinControl *c = list[static_cast<std::size_t>(i)];
    if (c->CanFocus() && (!CheckTabStop || c->TabStop()) && (!CheckParent || c->Parent() == this))
      return c;
  } while (i != start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl *CurControl, bool GoForward, bool CheckTabStop) {
  if (TWinControl *next = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop))
    next->SetFocus();
}

void TWinControl::SetParentBackground(bool Value) {
  TControlStyle style = ControlStyle();
  if (Value)
    style.Include(csParentBackground);
  else
    style.Exclude(csParentBackground);
  SetControlStyle(style);
}

void TWinControl::KeyDown(Word &Key, TShiftState Shift) {
  if (OnKeyDown)
    OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(Word &Key, TShiftState Shift) {
  if (OnKeyUp)
    OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(Char &Key) {
  if (OnKeyPress)
    OnKeyPress(this, Key);
}

bool TWinControl::WantsSpecialKey(Word, TShiftState) const { return false; }

bool TWinControl::WantsKeyFirst(Word, TShiftState) const { return false; }

bool TWinControl::WantsChars() const { return false; }

void TWinControl::RecreateWnd() {
  DestroyWnd();
  CreateWnd();
  Invalidate();
}

void TWinControl::DefaultKeyDown(Word, TShiftState) {}

void TWinControl::DefaultChar(Char) {}

bool TWinControl::DialogKey(Word Key, TShiftState Shift) {
  for (TControl *c : std::vector<TControl *>(FControls))
    if (ContainsControl(c) && c->DialogKey(Key, Shift))
      return true;
  return false;
}

void TWinControl::PaintTo(TCanvas &Canvas) {
  Paint(Canvas);
  const TPoint origin = Canvas.Origin();
  for (TControl *c : FControls) {
    if (!c->Visible())
      continue;
    Canvas.SetOrigin({origin.X + c->Left(), origin.Y + c->Top()});
    c->PaintTo(Canvas);
  }
  Canvas.SetOrigin(origin);
}

void TWinControl::ChangeScale(Integer M, Integer D, bool isDpiChange) {
  if (M == D || D == 0)
    return;
  DisableAlign();
  struct TEnable {
    TWinControl *Self;
    ~TEnable() { Self->EnableAlign(); }
  } enable{this};
  TControl::ChangeScale(M, D, isDpiChange);
  for (TControl *c : std::vector<TControl *>(FControls))
    c->ChangeScale(M, D, isDpiChange);
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl *c : std::vector<TControl *>(FControls))
    c->ParentFontChanged();
}

void TWinControl::VisibleChanged() { TControl::VisibleChanged(); }

void TWinControl::EnabledChanged() { TControl::EnabledChanged(); }

void TWinControl::DoEnter() {
  if (OnEnter)
    OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit)
    OnExit(this);
}

// ---- TGraphicControl ------------------------------------------------------------------------

void TGraphicControl::PaintTo(TCanvas &Canvas) { Paint(Canvas); }

void TGraphicControl::Paint(TCanvas &) {}

// ---- Forms of controls ----------------------------------------------------------------------

TCustomForm *GetParentForm(const TControl *Control, bool TopForm) {
  if (!Control)
    return nullptr;
  if (TopForm) {
    while (Control->Parent())
      Control = Control->Parent();
    return dynamic_cast<TCustomForm *>(const_cast<TControl *>(Control));
  }
  for (const TControl *c = Control; c; c = c->Parent())
    if (auto *form = dynamic_cast<const TCustomForm *>(c))
      return const_cast<TCustomForm *>(form);
  return nullptr;
}

TCustomForm *ValidParentForm(const TControl *Control, bool TopForm) {
  TCustomForm *form = GetParentForm(Control, TopForm);
  if (!form)
    throw EInvalidOperation(Format(SParentRequired, {Control ? Control->Name() : String()}));
  return form;
}

} // namespace krx
