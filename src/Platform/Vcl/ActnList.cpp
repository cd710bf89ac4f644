#include "Platform/Vcl/ActnList.h"

#include "Platform/Vcl/ImgList.h"
#include "Platform/Vcl/Menus.h"

#include <algorithm>

namespace krx {

// ---- TBasicActionLink -----------------------------------------------------------------------

TBasicActionLink::~TBasicActionLink() { SetAction(nullptr); }

void TBasicActionLink::SetAction(TBasicAction *Value) {
  if (Value == FAction)
    return;
  if (FAction)
    std::erase(FAction->FClients, this);
  FAction = Value;
  if (FAction) {
    FAction->FClients.push_back(this);
    if (OnChange)
      OnChange(FAction);
  }
}

bool TBasicActionLink::Execute() {
  if (!FAction)
    return false;
  auto *component = dynamic_cast<TComponent *>(FClient);
  TComponent *previous = FAction->ActionComponent();
  FAction->SetActionComponent(component);
  struct TRestore {
    TBasicAction *Action;
    TComponent *Previous;
    ~TRestore() { Action->SetActionComponent(Previous); }
  } restore{FAction, previous};
  return FAction->Execute();
}

// ---- TBasicAction ---------------------------------------------------------------------------

TBasicAction::TBasicAction(TComponent *AOwner) : TComponent(AOwner) {}

TBasicAction::~TBasicAction() {
  for (TBasicActionLink *link : FClients)
    link->FAction = nullptr;
  FClients.clear();
}

bool TBasicAction::Execute() {
  if (!OnExecute)
    return false;
  OnExecute(this);
  return true;
}

bool TBasicAction::Update() {
  if (!OnUpdate)
    return false;
  OnUpdate(this);
  return true;
}

// ---- TContainedAction -----------------------------------------------------------------------

TContainedAction::~TContainedAction() { SetActionList(nullptr); }

void TContainedAction::SetActionList(TCustomActionList *Value) {
  if (Value == FActionList)
    return;
  if (FActionList)
    std::erase(FActionList->FActions, this);
  FActionList = Value;
  if (FActionList)
    FActionList->FActions.push_back(this);
}

Integer TContainedAction::Index() const {
  if (!FActionList)
    return -1;
  auto &list = FActionList->FActions;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<Integer>(it - list.begin());
}

bool TContainedAction::Execute() {
  if (FActionList && FActionList->State() != asNormal)
    return false;
  if (FActionList && FActionList->ExecuteAction(this))
    return true;
  return TBasicAction::Execute();
}

bool TContainedAction::Update() {
  if (FActionList && FActionList->State() != asNormal)
    return false;
  if (FActionList && FActionList->UpdateAction(this))
    return true;
  return TBasicAction::Update();
}

// ---- TCustomAction --------------------------------------------------------------------------

const TClassInfo &TCustomAction::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomAction>(&TComponent::StaticClassInfo())
          .Str(u"Caption", &TCustomAction::Caption, &TCustomAction::SetCaption)
          .Str(u"Category", &TCustomAction::Category, &TCustomAction::SetCategory)
          .Bool(u"Checked", &TCustomAction::Checked, &TCustomAction::SetChecked)
          .Default(0)
          .Bool(u"Enabled", &TCustomAction::Enabled, &TCustomAction::SetEnabled)
          .Default(1)
          .Str(u"Hint", &TCustomAction::Hint, &TCustomAction::SetHint)
          .Integer(u"ImageIndex", &TCustomAction::ImageIndex, &TCustomAction::SetImageIndex)
          .Default(-1)
          .Integer(u"ShortCut", &TCustomAction::ShortCut, &TCustomAction::SetShortCut)
          .Default(0)
          .Bool(u"Visible", &TCustomAction::Visible, &TCustomAction::SetVisible)
          .Default(1)
          .Build();
  return info;
}

void TCustomAction::SetCaption(const String &Value) {
  if (Value == FCaption)
    return;
  ForEachLink([&](TBasicActionLink &link) { link.SetCaption(Value); });
  FCaption = Value;
}
void TCustomAction::SetChecked(bool Value) {
  if (Value == FChecked)
    return;
  ForEachLink([&](TBasicActionLink &link) { link.SetChecked(Value); });
  FChecked = Value;
}
void TCustomAction::SetEnabled(bool Value) {
  if (Value == FEnabled)
    return;
  ForEachLink([&](TBasicActionLink &link) { link.SetEnabled(Value); });
  FEnabled = Value;
}
void TCustomAction::SetVisible(bool Value) {
  if (Value == FVisible)
    return;
  ForEachLink([&](TBasicActionLink &link) { link.SetVisible(Value); });
  FVisible = Value;
}
void TCustomAction::SetHint(const String &Value) {
  if (Value == FHint)
    return;
  ForEachLink([&](TBasicActionLink &link) { link.SetHint(Value); });
  FHint = Value;
}
void TCustomAction::SetImageIndex(Integer Value) {
  if (Value == FImageIndex)
    return;
  ForEachLink([&](TBasicActionLink &link) { link.SetImageIndex(Value); });
  FImageIndex = Value;
}
void TCustomAction::SetShortCut(TShortCut Value) {
  if (Value == FShortCut)
    return;
  ForEachLink([&](TBasicActionLink &link) { link.SetShortCut(Value); });
  FShortCut = Value;
}

bool TCustomAction::Execute() {
  Update();
  return FEnabled && TContainedAction::Execute();
}

// ---- TCustomActionList ----------------------------------------------------------------------

const TClassInfo &TCustomActionList::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomActionList>(&TComponent::StaticClassInfo()).Build();
  return info;
}

TCustomActionList::~TCustomActionList() {
  for (TContainedAction *a : FActions)
    a->FActionList = nullptr;
}

TContainedAction *TCustomActionList::Actions(Integer Index) const {
  if (Index < 0 || Index >= ActionCount())
    throw EListError(Format(SListIndexError, {Index}));
  return FActions[static_cast<std::size_t>(Index)];
}

void TCustomActionList::SetImages(TCustomImageList *Value) {
  if (FImages)
    FImages->RemoveFreeNotification(this);
  FImages = Value;
  if (FImages)
    FImages->FreeNotification(this);
}

bool TCustomActionList::IsShortCut(TWMKey &Message) {
  if (Message.CharCode == 0 || FState != asNormal)
    return false;
  const TShortCut sc = krx::ShortCut(Message.CharCode, Message.Shift);
  if (sc == scNone)
    return false;
  for (TContainedAction *a : std::vector<TContainedAction *>(FActions)) {
    auto *action = dynamic_cast<TCustomAction *>(a);
    if (!action)
      continue;
    const auto &more = action->SecondaryShortCuts();
    if (action->ShortCut() == sc || std::find(more.begin(), more.end(), sc) != more.end())
      return action->Execute();
  }
  return false;
}

bool TCustomActionList::ExecuteAction(TBasicAction *Action) {
  bool handled = false;
  if (OnExecute)
    OnExecute(Action, handled);
  return handled;
}

bool TCustomActionList::UpdateAction(TBasicAction *Action) {
  bool handled = false;
  if (OnUpdate)
    OnUpdate(Action, handled);
  return handled;
}

void TCustomActionList::Notification(TComponent *AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove)
    return;
  if (AComponent == FImages)
    FImages = nullptr;
  if (auto *a = dynamic_cast<TContainedAction *>(AComponent); a && a->ActionList() == this)
    a->SetActionList(nullptr);
}

} // namespace krx
