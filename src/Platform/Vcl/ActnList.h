// Actions and action lists of the headless class library. An action holds what several
// clients (menu items, buttons) show and do; the clients follow its changes through an
// action link. An action list executes an action whose shortcut is pressed.
#pragma once

#include "Platform/Rtl/Classes.h"

#include <algorithm>
#include <vector>

namespace krx {

class TBasicAction;
class TCustomActionList;
class TCustomImageList;
struct TWMKey;

using TShortCut = Word;

// A client's link to an action. OnChange runs when the link gets its action: the client then
// takes every property the action has. Afterwards the action tells its links of each property
// that changes, before it changes (the Set* methods below, which do nothing here): a client
// follows a property only while it still shows the action's value, so what the client set on
// its own (a menu item's shortcut, say) survives the action's later changes.
class TBasicActionLink {
public:
  explicit TBasicActionLink(TObject *AClient) : FClient(AClient) {}
  TBasicActionLink(const TBasicActionLink &) = delete;
  TBasicActionLink &operator=(const TBasicActionLink &) = delete;
  virtual ~TBasicActionLink();

  TBasicAction *Action() const { return FAction; }
  void SetAction(TBasicAction *Value);
  TObject *Client() const { return FClient; }
  // Executes the action with the client as its component.
  bool Execute();

  virtual void SetCaption(const String &) {}
  virtual void SetChecked(bool) {}
  virtual void SetEnabled(bool) {}
  virtual void SetVisible(bool) {}
  virtual void SetHint(const String &) {}
  virtual void SetImageIndex(Integer) {}
  virtual void SetShortCut(TShortCut) {}

  std::function<void(TBasicAction *Action)> OnChange;

private:
  friend class TBasicAction;
  TObject *FClient;
  TBasicAction *FAction = nullptr;
};

using TActionEvent = std::function<void(TBasicAction *Action, bool &Handled)>;

class TBasicAction : public TComponent {
public:
  explicit TBasicAction(TComponent *AOwner);
  ~TBasicAction() override;

  // OnExecute when set (True), else False. The component that started it is in
  // ActionComponent while it runs.
  virtual bool Execute();
  // OnUpdate when set (True), else False.
  virtual bool Update();
  TComponent *ActionComponent() const { return FActionComponent; }
  void SetActionComponent(TComponent *Value) { FActionComponent = Value; }

  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;

protected:
  friend class TBasicActionLink;
  // Tells every client's link of a property about to change (a link may unlink itself).
  template <class F> void ForEachLink(F Tell) {
    for (TBasicActionLink *link : std::vector<TBasicActionLink *>(FClients))
      if (std::find(FClients.begin(), FClients.end(), link) != FClients.end())
        Tell(*link);
  }

private:
  std::vector<TBasicActionLink *> FClients;
  TComponent *FActionComponent = nullptr;
};

class TContainedAction : public TBasicAction {
public:
  explicit TContainedAction(TComponent *AOwner) : TBasicAction(AOwner) {}
  ~TContainedAction() override;

  TCustomActionList *ActionList() const { return FActionList; }
  void SetActionList(TCustomActionList *Value);
  const String &Category() const { return FCategory; }
  void SetCategory(const String &Value) { FCategory = Value; }
  // Position in the action list, -1 without one.
  Integer Index() const;

  // The list's OnExecute first (it may handle the action), then the action's own.
  bool Execute() override;
  bool Update() override;

private:
  friend class TCustomActionList;
  TCustomActionList *FActionList = nullptr;
  String FCategory;
};

class TCustomAction : public TContainedAction {
  KRX_PUBLISHED(TCustomAction)
public:
  explicit TCustomAction(TComponent *AOwner) : TContainedAction(AOwner) {}

  const String &Caption() const { return FCaption; }
  void SetCaption(const String &Value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  const String &Hint() const { return FHint; }
  void SetHint(const String &Value);
  Integer ImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  // Further shortcuts that execute the action (their texts, as the class library keeps them).
  std::vector<TShortCut> &SecondaryShortCuts() { return FSecondaryShortCuts; }
  bool HelpContext() const { return false; }

  // A disabled action does not execute (the list's Update runs first).
  bool Execute() override;

private:
  String FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  String FHint;
  Integer FImageIndex = -1;
  TShortCut FShortCut = 0;
  std::vector<TShortCut> FSecondaryShortCuts;
};

class TAction : public TCustomAction {
public:
  using TCustomAction::TCustomAction;
};

// The link of a client class: Follow sets one of the client's properties to the action's new
// value only while the client still shows the action's current one.
template <class TClient> class TActionLinkOf : public TBasicActionLink {
public:
  explicit TActionLinkOf(TClient *AClient) : TBasicActionLink(AClient), FClient(AClient) {}

protected:
  template <class Get, class ActionGet, class Set, class V>
  void Follow(Get Mine, ActionGet Theirs, Set SetMine, const V &Value) {
    auto *action = dynamic_cast<TCustomAction *>(Action());
    if (action && (FClient->*Mine)() == (action->*Theirs)())
      (FClient->*SetMine)(Value);
  }

  TClient *FClient;
};

enum TActionListState { asNormal, asSuspended, asSuspendedEnabled };

class TCustomActionList : public TComponent {
  KRX_PUBLISHED(TCustomActionList)
public:
  explicit TCustomActionList(TComponent *AOwner) : TComponent(AOwner) {}
  ~TCustomActionList() override;

  Integer ActionCount() const { return static_cast<Integer>(FActions.size()); }
  TContainedAction *Actions(Integer Index) const;
  TCustomImageList *Images() const { return FImages; }
  void SetImages(TCustomImageList *Value);
  TActionListState State() const { return FState; }
  void SetState(TActionListState Value) { FState = Value; }

  // The enabled action whose shortcut (or a secondary one) is the key with its shift state
  // is updated and executed; True when one was found and it executed. Nothing while the list
  // is suspended.
  virtual bool IsShortCut(TWMKey &Message);
  // OnExecute of the list; True when it handled the action.
  virtual bool ExecuteAction(TBasicAction *Action);
  virtual bool UpdateAction(TBasicAction *Action);

  TActionEvent OnExecute;
  TActionEvent OnUpdate;

protected:
  void Notification(TComponent *AComponent, TOperation Operation) override;

private:
  friend class TContainedAction;
  std::vector<TContainedAction *> FActions;
  TCustomImageList *FImages = nullptr;
  TActionListState FState = asNormal;
};

class TActionList : public TCustomActionList {
public:
  using TCustomActionList::TCustomActionList;
};

} // namespace krx
