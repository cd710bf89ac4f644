// Forms of the headless class library: the application object, the screen with its
// monitors, forms, frames and data modules, modal runs and the headless input drivers.
//
// Construction. A form, frame or data module is made by its class's Create<T>(Owner): the
// C++ constructor, then (for forms) InitializeNewForm, then the description of its
// components when the class has one (Description(); loading state, then Loaded), then
// Created() (the rest of the class's constructor, where virtual calls work) and
// AfterConstruction() (OnCreate). CreateNew<T> makes a form without its description.
//
// Modal runs. ShowModal refuses a visible form, disables the other forms, shows the form and
// asks the modal service (ModalService()) to act on it until its ModalResult is set; a
// result is confirmed by CloseQuery and OnClose (caNone continues the run), then the form is
// hidden and the others enabled again. The headless default service writes the caption to
// standard error and presses Escape; tests install a scripted one (TScriptedModal).
//
// Placement and density. At its first show a form takes the place its Position asks for
// (centred on a monitor, the desktop, the main or owner form; the window layer's default
// place and size; or where it was designed). A per-monitor aware form that is scaled follows
// the density of its monitor: it is laid out for the monitor it is made on (after Created),
// and moving it onto a monitor of another density is a DPI change of its window.
//
// Input drivers. PressKey, TypeText and ClickControl enter the keyboard path and clicks as a
// dispatched message would: an exception they raise reaches Application->HandleException.
#pragma once

#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/Menus.h"
#include "Platform/Win/Windows.h"

#include <deque>
#include <functional>
#include <memory>
#include <typeindex>

namespace krx {

class TCustomForm;
class TForm;
class TDataModule;
class TMonitor;

using TExceptionEvent = std::function<void(TObject *Sender, const Exception &E)>;
using TShortCutEvent = std::function<void(TWMKey &Msg, bool &Handled)>;

// ---- Enumerations -------------------------------------------------------------------------

#define KRX_TFORMBORDERSTYLE(X) X(bsNone) X(bsSingle) X(bsSizeable) X(bsDialog) X(bsToolWindow) X(bsSizeToolWin)
KRX_DECLARE_ENUM(TFormBorderStyle, KRX_TFORMBORDERSTYLE);
#define KRX_TWINDOWSTATE(X) X(wsNormal) X(wsMinimized) X(wsMaximized)
KRX_DECLARE_ENUM(TWindowState, KRX_TWINDOWSTATE);
#define KRX_TPOSITION(X)                                                                           \
  X(poDesigned) X(poDefault) X(poDefaultPosOnly) X(poDefaultSizeOnly) X(poScreenCenter)            \
      X(poDesktopCenter) X(poMainFormCenter) X(poOwnerFormCenter)
KRX_DECLARE_ENUM(TPosition, KRX_TPOSITION);
#define KRX_TDEFAULTMONITOR(X) X(dmDesktop) X(dmPrimary) X(dmMainForm) X(dmActiveForm)
KRX_DECLARE_ENUM(TDefaultMonitor, KRX_TDEFAULTMONITOR);
#define KRX_TPOPUPMODE(X) X(pmNone) X(pmAuto) X(pmExplicit)
KRX_DECLARE_ENUM(TPopupMode, KRX_TPOPUPMODE);
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormStateFlag { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
// The class library calls this set TFormState; that name belongs to the system's form-state store.
using TFormStateFlags = EnumSet<TFormStateFlag>;
enum TMonitorDefaultTo { mdNearest, mdNull, mdPrimary };

// TModalResult and the mr... values come from Dialogs.h.

using TCloseEvent = std::function<void(TObject *Sender, TCloseAction &Action)>;
using TCloseQueryEvent = std::function<void(TObject *Sender, bool &CanClose)>;
using TMonitorDpiChangedEvent = std::function<void(TObject *Sender, Integer OldDPI, Integer NewDPI)>;

inline constexpr const Char *SCannotShowModal = u"Cannot make a visible window modal";

// A form class as a value (the class library's class reference TCustomFormClass): its name;
// one descriptor per C++ class, shared by every module of the process.
class TFormClassInfo {
public:
  explicit TFormClassInfo(String ClassName) : FClassName(std::move(ClassName)) {}
  const String &ClassName() const { return FClassName; }

private:
  String FClassName;
};
using TCustomFormClass = const TFormClassInfo *;
TCustomFormClass FormClassOf(const TCustomForm &Form);

// ---- DPI awareness of windows ---------------------------------------------------------------

using DPI_AWARENESS_CONTEXT = std::intptr_t;
inline constexpr DPI_AWARENESS_CONTEXT DPI_AWARENESS_CONTEXT_UNAWARE = -1;
inline constexpr DPI_AWARENESS_CONTEXT DPI_AWARENESS_CONTEXT_SYSTEM_AWARE = -2;
inline constexpr DPI_AWARENESS_CONTEXT DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE = -3;
inline constexpr DPI_AWARENESS_CONTEXT DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 = -4;
enum DPI_AWARENESS {
  DPI_AWARENESS_INVALID = -1,
  DPI_AWARENESS_UNAWARE = 0,
  DPI_AWARENESS_SYSTEM_AWARE = 1,
  DPI_AWARENESS_PER_MONITOR_AWARE = 2
};
// The awareness context of a form's window (0 for a handle of no form).
DPI_AWARENESS_CONTEXT GetWindowDpiAwarenessContext(HWND hwnd);
DPI_AWARENESS GetAwarenessFromDpiAwarenessContext(DPI_AWARENESS_CONTEXT value);

// ---- TMonitor and TScreen -------------------------------------------------------------------

struct TMonitorInfo {
  TRect Bounds;
  TRect WorkArea;
  Integer PixelsPerInch = 96;
};

class TMonitor : public TObject {
public:
  TMonitor(Integer Num, const TMonitorInfo &Info) : FNum(Num), FInfo(Info) {}
  Integer MonitorNum() const { return FNum; }
  bool Primary() const { return FNum == 0; }
  TRect BoundsRect() const { return FInfo.Bounds; }
  TRect WorkareaRect() const { return FInfo.WorkArea; }
  Integer Left() const { return FInfo.Bounds.Left; }
  Integer Top() const { return FInfo.Bounds.Top; }
  Integer Width() const { return FInfo.Bounds.Width(); }
  Integer Height() const { return FInfo.Bounds.Height(); }
  Integer PixelsPerInch() const { return FInfo.PixelsPerInch; }

private:
  friend class TScreen;
  Integer FNum;
  TMonitorInfo FInfo;
};

class TScreen : public TComponent {
public:
  explicit TScreen(TComponent *AOwner);
  ~TScreen() override;

  Integer MonitorCount() const { return static_cast<Integer>(FMonitors.size()); }
  TMonitor *Monitors(Integer Index) const;
  TMonitor *PrimaryMonitor() const { return FMonitors.front().get(); }
  // The monitor with the largest overlap; without overlap the nearest (mdNearest), the
  // primary one (mdPrimary) or null (mdNull).
  TMonitor *MonitorFromRect(const TRect &Rect, TMonitorDefaultTo Default = mdNearest) const;
  TMonitor *MonitorFromPoint(TPoint Point, TMonitorDefaultTo Default = mdNearest) const;
  TRect DesktopRect() const;
  TRect WorkAreaRect() const { return PrimaryMonitor()->WorkareaRect(); }
  // The system density (the primary monitor's at start-up), and the class library's default.
  Integer PixelsPerInch() const { return FPixelsPerInch; }
  Integer DefaultPixelsPerInch() const { return USER_DEFAULT_SCREEN_DPI; }

  // Replaces the monitors (the first is the primary one) and the system density; for tests
  // and hosts. Default: one 1920 x 1080 monitor at 96, its work area 40 pixels shorter.
  void SetMonitors(const std::vector<TMonitorInfo> &Monitors, Integer SystemPixelsPerInch = 0);
  // Driver: the monitor's density changes; every form on it is told (DPI change of its
  // window), through the exception boundary.
  void SetMonitorPixelsPerInch(Integer Index, Integer PixelsPerInch);

  Integer CustomFormCount() const { return static_cast<Integer>(FForms.size()); }
  TCustomForm *CustomForms(Integer Index) const { return FForms.at(static_cast<std::size_t>(Index)); }
  Integer FormCount() const;
  TForm *Forms(Integer Index) const;
  Integer DataModuleCount() const { return static_cast<Integer>(FDataModules.size()); }
  TDataModule *DataModules(Integer Index) const { return FDataModules.at(static_cast<std::size_t>(Index)); }
  TCustomForm *ActiveCustomForm() const { return FActiveForm; }
  TForm *ActiveForm() const;
  TWinControl *ActiveControl() const;
  // The form whose (synthetic) handle this is, or null.
  TCustomForm *FindForm(HWND Handle) const;

private:
  friend class TCustomForm;
  friend class TDataModule;
  void AddForm(TCustomForm *Form) { FForms.push_back(Form); }
  void RemoveForm(TCustomForm *Form);
  void Activate(TCustomForm *Form);
  void Deactivate(TCustomForm *Form);

  std::vector<std::unique_ptr<TMonitor>> FMonitors;
  Integer FPixelsPerInch = 96;
  std::vector<TCustomForm *> FForms;
  std::vector<TDataModule *> FDataModules;
  std::vector<TCustomForm *> FActivation; // forms in activation order, the active one last
  TCustomForm *FActiveForm = nullptr;
};

// ---- TApplication ---------------------------------------------------------------------------

class TApplication : public TComponent {
public:
  explicit TApplication(TComponent *AOwner);
  ~TApplication() override;

  // To be called inside a catch block. EAbort is silent; any other exception goes to
  // OnException when set, otherwise to ShowException. The process goes on.
  void HandleException(TObject *Sender);
  // Shows the exception's message (a full stop added unless it ends in one or in a
  // character below it) in an error message box captioned with the title.
  void ShowException(const Exception &E);

  // Handles every message waiting in the queue (and frees released forms), then returns.
  void ProcessMessages();
  // Handles one message, or waits for one when the queue is empty.
  void HandleMessage();
  // The message loop: handles messages until Terminate (or WM_QUIT).
  void Run();
  // Ends Run: posts WM_QUIT.
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Lets a program (or a test) that ended Run run the loop again.
  void ResetTerminated() { FTerminated = false; }

  const String &Title() const { return FTitle; }
  void SetTitle(const String &value);

  // MessageBoxW owned by the application (a null caption is Windows' "Error").
  Integer MessageBox(const Char *Text, const Char *Caption = nullptr, Integer Flags = 0);

  // The main form: the first form made by CreateForm, or the one a host sets.
  TForm *MainForm() const { return FMainForm; }
  void SetMainForm(TForm *Value) { FMainForm = Value; }
  // Whether the main form has the task-bar button (then it is the window brought to the
  // front), rather than a hidden application window.
  bool MainFormOnTaskBar() const { return FMainFormOnTaskBar; }
  void SetMainFormOnTaskBar(bool Value) { FMainFormOnTaskBar = Value; }
  // Makes a form owned by the application; the first becomes the main form.
  template <class F> F *CreateForm();
  // OnShortCut, then the main form's shortcuts while it is enabled.
  bool IsShortCut(TWMKey &Message);
  // Frees the forms whose Release was called.
  void FreeReleased();
  Integer ModalLevel() const { return FModalLevel; }

  TExceptionEvent OnException;
  TShortCutEvent OnShortCut;

private:
  friend class TCustomForm;
  bool ProcessMessage(MSG &msg);
  void HandleCurrentException(TObject *Sender);
  void Release(TCustomForm *Form);

  String FTitle;
  bool FTerminated = false;
  TWindowExceptionHandler FPreviousHandler;
  TForm *FMainForm = nullptr;
  bool FMainFormOnTaskBar = false;
  std::vector<TCustomForm *> FReleased;
  Integer FModalLevel = 0;
};

// The process-wide application and screen objects; exist while the unit "Forms" is
// initialised.
extern TApplication *Application;
extern TScreen *Screen;

void InitializeForms();
void FinalizeForms();

// ---- TCustomForm ----------------------------------------------------------------------------

class TCustomForm : public TWinControl {
  KRX_PUBLISHED(TCustomForm)
public:
  explicit TCustomForm(TComponent *AOwner);
  ~TCustomForm() override;

  // Makes a form with its description (see the top of this file).
  template <class F, class... A> static F *Create(TComponent *AOwner, A &&...Args);
  // Makes a form without its description.
  template <class F, class... A> static F *CreateNew(TComponent *AOwner, A &&...Args);

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value) { FBorderStyle = Value; }
  TWindowState WindowState() const { return FWindowState; }
  void SetWindowState(TWindowState Value) { FWindowState = Value; }
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  TDefaultMonitor DefaultMonitor() const { return FDefaultMonitor; }
  void SetDefaultMonitor(TDefaultMonitor Value) { FDefaultMonitor = Value; }
  TPopupMode PopupMode() const { return FPopupMode; }
  void SetPopupMode(TPopupMode Value) { FPopupMode = Value; }
  TCustomForm *PopupParent() const { return FPopupParent; }
  void SetPopupParent(TCustomForm *Value) { FPopupParent = Value; }
  bool KeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool Value) { FKeyPreview = Value; }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  bool Scaled() const { return FScaled; }
  void SetScaled(bool Value) { FScaled = Value; }
  // The density the form was designed at.
  Integer PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(Integer Value) { FPixelsPerInch = Value; }
  TFormStateFlags FormState() const { return FFormState; }
  // Tells modal runs apart: a new number for every ShowModal.
  Integer ModalRunId() const { return FModalRunId; }
  TMainMenu *Menu() const { return FMenu; }
  void SetMenu(TMainMenu *Value);
  // The awareness context of the form's window (per monitor, version 2, by default).
  DPI_AWARENESS_CONTEXT DpiAwarenessContext() const { return FDpiAwarenessContext; }
  void SetDpiAwarenessContext(DPI_AWARENESS_CONTEXT Value) { FDpiAwarenessContext = Value; }

  TWinControl *ActiveControl() const { return FActiveControl; }
  // Focuses a control of this form; EInvalidOperation when it cannot take the focus.
  void SetActiveControl(TWinControl *Control);
  void FocusControl(TWinControl *Control) { SetActiveControl(Control); }
  // A control that can no longer hold the focus (hidden, disabled, removed) gives it up.
  void DefocusControl(TControl *Control);
  // The form is the active form of the screen.
  bool Active() const;
  bool Showing() const override { return Visible(); }
  // The monitor that holds most of the form.
  TMonitor *Monitor() const;
  // Bounds set on a top-level form that bring it onto a monitor of another density change
  // the density of its window (MonitorDpiChanged), as a move of the window does.
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;

  void Show();
  void Close();
  TModalResult ShowModal();
  // Frees the form once the message loop runs again (Application->ProcessMessages).
  void Release();
  virtual bool CloseQuery();
  // Moves the form so that it lies inside the monitor's bounds (the form's monitor when
  // null), as far as its size allows.
  void MakeFullyVisible(TMonitor *AMonitor = nullptr);

  // OnShortCut, then the main menu (when its window exists), then the action lists owned by
  // the form and by its components (owned forms included).
  virtual bool IsShortCut(TWMKey &Message);

  // The keyboard path, from the focused control (the form itself without one): shortcuts
  // (popup menus up the parents, the form, the application), then the control's KeyDown
  // (the form's first when KeyPreview), then the dialog keys, then for Alt with a letter or
  // digit the access keys (DialogChar); True when a step used the key. A control that wants
  // the key first (WantsKeyFirst) or used it up in KeyDown keeps it from the dialog keys and
  // the access keys.
  bool KeyDownPath(TWinControl *Target, Word Key, TShiftState Shift);
  // A character typed into the focused control: KeyPress (the form's first when KeyPreview),
  // then, when the control takes no characters (WantsChars), the access keys, then the
  // control's own handling.
  void CharPath(TWinControl *Target, Char Key);

  // Tab and arrows move the focus; other keys go to the controls (default and cancel buttons).
  bool DialogKey(Word Key, TShiftState Shift) override;
  // An access key: the form's visible, enabled controls are asked in their order (depth
  // first through their parents), starting after the focused control and ending with it;
  // the first that answers takes the key.
  bool DialogChar(Char Key) override;

  // The window's density changes to NewPPI (a move to another monitor, or the monitor's own
  // change): OnBeforeMonitorDpiChanged, the scaling, OnAfterMonitorDpiChanged. The after
  // event runs even when scaling raises.
  void MonitorDpiChanged(Integer NewPPI);

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TShortCutEvent OnShortCut;
  TMonitorDpiChangedEvent OnBeforeMonitorDpiChanged;
  TMonitorDpiChangedEvent OnAfterMonitorDpiChanged;

protected:
  // Steps of construction (see the top of this file).
  virtual void InitializeNewForm();
  // The form's description (empty: none).
  virtual String Description() const { return {}; }
  virtual void Created() {}
  virtual void AfterConstruction();
  virtual void DoCreate();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction &Action);
  void ChangeScale(Integer M, Integer D, bool isDpiChange) override;
  void CreateWnd() override;
  void VisibleChanged() override;
  void Notification(TComponent *AComponent, TOperation Operation) override;

private:
  friend class TScreen;
  void Construct(bool WithDescription);
  void CloseModal();
  void SetVisibleState(bool Value);
  bool FollowsMonitorDensity() const;
  void FollowMonitorDensity();
  TMonitor *DefaultMonitorForPosition() const;
  TRect PositionedBounds() const;
  void ApplyPosition();

  TFormBorderStyle FBorderStyle = bsSizeable;
  TWindowState FWindowState = wsNormal;
  TPosition FPosition = poDefaultPosOnly;
  TDefaultMonitor FDefaultMonitor = dmActiveForm;
  TPopupMode FPopupMode = pmNone;
  TCustomForm *FPopupParent = nullptr;
  bool FKeyPreview = false;
  TModalResult FModalResult = mrNone;
  bool FScaled = true;
  Integer FPixelsPerInch = 96;
  TFormStateFlags FFormState;
  Integer FModalRunId = 0;
  TMainMenu *FMenu = nullptr;
  TWinControl *FActiveControl = nullptr;
  DPI_AWARENESS_CONTEXT FDpiAwarenessContext = DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2;
  bool FPositioned = false;    // the first show has placed the form
  bool FDefaultPlaced = false; // ... at the window layer's default place
  bool FDpiChanging = false;   // scaling for a density: its own bounds changes are no moves
};

class TForm : public TCustomForm {
public:
  using TCustomForm::TCustomForm;
};

// ---- TCustomFrame ---------------------------------------------------------------------------

class TCustomFrame : public TWinControl {
public:
  explicit TCustomFrame(TComponent *AOwner);

  // Makes a frame with its description, as TCustomForm::Create does.
  template <class F, class... A> static F *Create(TComponent *AOwner, A &&...Args);

protected:
  virtual String Description() const { return {}; }
  virtual void Created() {}
  virtual void AfterConstruction() {}

private:
  void Construct();
};

class TFrame : public TCustomFrame {
public:
  using TCustomFrame::TCustomFrame;
};

// ---- TDataModule ----------------------------------------------------------------------------

class TDataModule : public TComponent {
public:
  explicit TDataModule(TComponent *AOwner);
  ~TDataModule() override;

  template <class D, class... A> static D *Create(TComponent *AOwner, A &&...Args);

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;

protected:
  virtual String Description() const { return {}; }
  virtual void Created() {}
  virtual void AfterConstruction();

private:
  void Construct();
};

// Reads a description into its root component (Platform/Vcl/FormDescription.h).
void ReadComponentDescription(TComponent *Root, StringView Text);

template <class F, class... A> F *TCustomForm::Create(TComponent *AOwner, A &&...Args) {
  std::unique_ptr<F> form(new F(AOwner, std::forward<A>(Args)...));
  form->Construct(true);
  return form.release();
}

template <class F, class... A> F *TCustomForm::CreateNew(TComponent *AOwner, A &&...Args) {
  std::unique_ptr<F> form(new F(AOwner, std::forward<A>(Args)...));
  form->Construct(false);
  return form.release();
}

template <class F, class... A> F *TCustomFrame::Create(TComponent *AOwner, A &&...Args) {
  std::unique_ptr<F> frame(new F(AOwner, std::forward<A>(Args)...));
  frame->Construct();
  return frame.release();
}

template <class D, class... A> D *TDataModule::Create(TComponent *AOwner, A &&...Args) {
  std::unique_ptr<D> module(new D(AOwner, std::forward<A>(Args)...));
  module->Construct();
  return module.release();
}

template <class F> F *TApplication::CreateForm() {
  F *form = TCustomForm::Create<F>(this);
  if (!FMainForm)
    FMainForm = form;
  return form;
}

// ---- The modal service ----------------------------------------------------------------------

// Acts for the user while a form is modal.
class TModalService {
public:
  virtual ~TModalService() = default;
  // Called while Form is modal and its ModalResult is mrNone: acts on the form (keys,
  // clicks, another modal run). False when it has nothing more to do; the run then ends
  // with mrCancel (through CloseQuery and OnClose; when those refuse, it ends anyway), so no
  // modal run can hang.
  virtual bool Step(TCustomForm &Form) = 0;
};

// Writes "[modal] caption" to standard error and presses Escape, once per modal run; then it
// has nothing more to do.
class TDefaultModalService : public TModalService {
public:
  bool Step(TCustomForm &Form) override;

private:
  Integer FLastRun = 0;
};

// The service in use (the default one unless replaced); SetModalService returns the previous.
TModalService &ModalService();
TModalService *SetModalService(TModalService *Service);

// A test's script of what the user does in modal forms: every time a modal form waits, the
// next step runs on it (one step per wait, whichever form it is, so a step that opens a
// nested modal form hands the following steps to that one). Without steps left, a waiting
// form is closed. The caption of the form of each step is kept in order.
class TScriptedModal : public TModalService {
public:
  using TStep = std::function<void(TCustomForm &Form)>;
  explicit TScriptedModal(std::vector<TStep> Steps);
  ~TScriptedModal() override;
  TScriptedModal(const TScriptedModal &) = delete;
  TScriptedModal &operator=(const TScriptedModal &) = delete;

  bool Step(TCustomForm &Form) override;
  const std::vector<String> &Captions() const { return FCaptions; }
  // Steps not used yet.
  std::size_t Remaining() const { return FSteps.size(); }

private:
  std::deque<TStep> FSteps;
  std::vector<String> FCaptions;
  TModalService *FPrevious;
};

// Whether VK (a character code) is the access key of the caption, compared without regard to
// case.
bool IsAccel(Word VK, StringView Str);

// ---- Headless input drivers -------------------------------------------------------------------

// The component of that name owned by the root or, at any depth, by its components (frames
// own their controls); null when none.
TComponent *FindNamedComponent(const TComponent *Root, StringView Name);
// The same, as a control; EInvalidOperation naming it when there is none or it is no control.
TControl *FindControl(const TComponent *Root, StringView Name);
// A key pressed while the form has the focus (its active control, else the form).
void PressKey(TCustomForm &Form, Word Key, TShiftState Shift = {});
// Characters typed into the form's focused control.
void TypeText(TCustomForm &Form, StringView Text);
// A mouse click on a control: nothing unless it is showing and enabled up to its form.
void ClickControl(TControl *Control);
// Runs Action as a dispatched message does: an exception goes to HandleException(Sender).
void DispatchInput(TObject *Sender, const std::function<void()> &Action);

} // namespace krx
