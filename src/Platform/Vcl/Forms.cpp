#include "Platform/Vcl/Forms.h"

#include "Platform/Rtl/ScopeExit.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Vcl/FormDescription.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>

namespace krx {

TApplication *Application = nullptr;
TScreen *Screen = nullptr;

namespace {

std::unique_ptr<TApplication> gApplication;
std::unique_ptr<TScreen> gScreen;
TDefaultModalService gDefaultModal;
TModalService *gModalService = nullptr;

// The program's file name without folder and extension, the class library's default title.
String ProgramTitle() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? String() : Utf8ToString(exe.stem().string());
}

} // namespace

// ---- Form classes ---------------------------------------------------------------------------

TCustomFormClass FormClassOf(const TCustomForm &Form) {
  static std::mutex lock;
  static std::map<std::type_index, std::unique_ptr<TFormClassInfo>> classes; // first use
  std::lock_guard g(lock);
  auto &entry = classes[std::type_index(typeid(Form))];
  if (!entry)
    entry = std::make_unique<TFormClassInfo>(Form.ClassName());
  return entry.get();
}

// ---- DPI awareness --------------------------------------------------------------------------

DPI_AWARENESS_CONTEXT GetWindowDpiAwarenessContext(HWND hwnd) {
  TCustomForm *form = Screen ? Screen->FindForm(hwnd) : nullptr;
  return form ? form->DpiAwarenessContext() : 0;
}

DPI_AWARENESS GetAwarenessFromDpiAwarenessContext(DPI_AWARENESS_CONTEXT value) {
  switch (value) {
  case DPI_AWARENESS_CONTEXT_UNAWARE:
    return DPI_AWARENESS_UNAWARE;
  case DPI_AWARENESS_CONTEXT_SYSTEM_AWARE:
    return DPI_AWARENESS_SYSTEM_AWARE;
  case DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE:
  case DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2:
    return DPI_AWARENESS_PER_MONITOR_AWARE;
  default:
    return DPI_AWARENESS_INVALID;
  }
}

// ---- TScreen --------------------------------------------------------------------------------

TScreen::TScreen(TComponent *AOwner) : TComponent(AOwner) {
  SetMonitors({{Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1040), 96}});
}

TScreen::~TScreen() = default;

TMonitor *TScreen::Monitors(Integer Index) const {
  if (Index < 0 || Index >= MonitorCount())
    throw EListError(Format(SListIndexError, {Index}));
  return FMonitors[static_cast<std::size_t>(Index)].get();
}

namespace {
Int64 DistanceSquared(const TRect &r, TPoint p) {
  const Int64 dx = p.X < r.Left ? r.Left - p.X : (p.X >= r.Right ? p.X - r.Right + 1 : 0);
  const Int64 dy = p.Y < r.Top ? r.Top - p.Y : (p.Y >= r.Bottom ? p.Y - r.Bottom + 1 : 0);
  return dx * dx + dy * dy;
}
} // namespace

TMonitor *TScreen::MonitorFromRect(const TRect &R, TMonitorDefaultTo Default) const {
  TMonitor *best = nullptr;
  Int64 bestArea = 0;
  for (auto &m : FMonitors) {
    TRect overlap;
    if (IntersectRect(overlap, R, m->BoundsRect())) {
      const Int64 area = Int64(overlap.Width()) * overlap.Height();
      if (area > bestArea)
        best = m.get(), bestArea = area;
    }
  }
  if (best || Default == mdNull)
    return best;
  if (Default == mdPrimary)
    return PrimaryMonitor();
  const TPoint centre{R.Left + R.Width() / 2, R.Top + R.Height() / 2};
  return MonitorFromPoint(centre, mdNearest);
}

TMonitor *TScreen::MonitorFromPoint(TPoint P, TMonitorDefaultTo Default) const {
  TMonitor *best = nullptr;
  Int64 bestDistance = 0;
  for (auto &m : FMonitors) {
    const Int64 d = DistanceSquared(m->BoundsRect(), P);
    if (d == 0)
      return m.get();
    if (!best || d < bestDistance)
      best = m.get(), bestDistance = d;
  }
  if (Default == mdNull)
    return nullptr;
  return Default == mdPrimary ? PrimaryMonitor() : best;
}

TRect TScreen::DesktopRect() const {
  TRect r = FMonitors.front()->BoundsRect();
  for (auto &m : FMonitors) {
    const TRect b = m->BoundsRect();
    r = {std::min(r.Left, b.Left), std::min(r.Top, b.Top), std::max(r.Right, b.Right),
         std::max(r.Bottom, b.Bottom)};
  }
  return r;
}

void TScreen::SetMonitors(const std::vector<TMonitorInfo> &Monitors, Integer SystemPixelsPerInch) {
  if (Monitors.empty())
    throw EInvalidOperation(u"A screen needs at least one monitor");
  FMonitors.clear();
  for (std::size_t i = 0; i < Monitors.size(); ++i)
    FMonitors.push_back(std::make_unique<TMonitor>(static_cast<Integer>(i), Monitors[i]));
  FPixelsPerInch = SystemPixelsPerInch > 0 ? SystemPixelsPerInch : Monitors.front().PixelsPerInch;
}

void TScreen::SetMonitorPixelsPerInch(Integer Index, Integer PixelsPerInch) {
  TMonitor *monitor = Monitors(Index);
  monitor->FInfo.PixelsPerInch = PixelsPerInch;
  for (TCustomForm *form : std::vector<TCustomForm *>(FForms))
    if (form->Parent() == nullptr && form->Monitor() == monitor &&
        form->CurrentPPI() != PixelsPerInch)
      DispatchInput(form, [form, PixelsPerInch] { form->MonitorDpiChanged(PixelsPerInch); });
}

Integer TScreen::FormCount() const {
  return static_cast<Integer>(std::count_if(FForms.begin(), FForms.end(), [](TCustomForm *f) {
    return dynamic_cast<TForm *>(f) != nullptr;
  }));
}

TForm *TScreen::Forms(Integer Index) const {
  for (TCustomForm *f : FForms)
    if (auto *form = dynamic_cast<TForm *>(f); form && Index-- == 0)
      return form;
  throw EListError(Format(SListIndexError, {Index}));
}

TForm *TScreen::ActiveForm() const { return dynamic_cast<TForm *>(FActiveForm); }

TWinControl *TScreen::ActiveControl() const {
  return FActiveForm ? FActiveForm->ActiveControl() : nullptr;
}

TCustomForm *TScreen::FindForm(HWND Handle) const {
  if (!Handle)
    return nullptr;
  for (TCustomForm *f : FForms)
    if (f->HandleAllocated() && f->Handle() == Handle)
      return f;
  return nullptr;
}

void TScreen::RemoveForm(TCustomForm *Form) {
  std::erase(FForms, Form);
  Deactivate(Form);
}

void TScreen::Activate(TCustomForm *Form) {
  if (FActiveForm == Form)
    return;
  TCustomForm *previous = FActiveForm;
  std::erase(FActivation, Form);
  FActivation.push_back(Form);
  FActiveForm = Form;
  if (previous && previous->OnDeactivate)
    previous->OnDeactivate(previous);
  if (Form->OnActivate)
    Form->OnActivate(Form);
}

void TScreen::Deactivate(TCustomForm *Form) {
  std::erase(FActivation, Form);
  if (FActiveForm != Form)
    return;
  FActiveForm = nullptr;
  // The last activated form that is still visible and enabled takes over.
  for (auto it = FActivation.rbegin(); it != FActivation.rend(); ++it)
    if ((*it)->Visible() && (*it)->Enabled()) {
      FActiveForm = *it;
      break;
    }
}

// ---- TApplication ---------------------------------------------------------------------------

TApplication::TApplication(TComponent *AOwner) : TComponent(AOwner), FTitle(ProgramTitle()) {
  SetDialogApplicationTitle(FTitle);
  // Exceptions leaving window handlers and timer procedures come here.
  FPreviousHandler = SetWindowExceptionHandler([this] { HandleCurrentException(this); });
}

TApplication::~TApplication() {
  FreeReleased();
  DestroyComponents(); // the forms go while the application is still whole
  SetWindowExceptionHandler(std::move(FPreviousHandler));
}

void TApplication::HandleException(TObject *Sender) { HandleCurrentException(Sender); }

void TApplication::HandleCurrentException(TObject *Sender) {
  auto current = std::current_exception();
  if (!current)
    return;
  try {
    std::rethrow_exception(current);
  } catch (const EAbort &) {
    // silent
  } catch (const Exception &e) {
    if (OnException)
      OnException(Sender, e);
    else
      ShowException(e);
  } catch (const std::exception &e) {
    // Not one of the class library's: shown the same way, with what() as its message.
    Exception wrapped(Utf8ToString(e.what()));
    if (OnException)
      OnException(Sender, wrapped);
    else
      ShowException(wrapped);
  } catch (...) {
    ShowException(Exception(u"Unknown exception"));
  }
}

void TApplication::ShowException(const Exception &E) {
  String msg = E.Message();
  if (!msg.empty() && msg.back() > u'.')
    msg += u'.';
  MessageBox(msg.c_str(), FTitle.c_str(), MB_OK | MB_ICONSTOP);
}

bool TApplication::ProcessMessage(MSG &msg) {
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    return false;
  if (msg.message == WM_QUIT) {
    FTerminated = true;
  } else {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
  FreeReleased();
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg))
    WaitMessage();
  FreeReleased();
}

void TApplication::Run() {
  do {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  } while (!FTerminated);
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::SetTitle(const String &value) {
  FTitle = value;
  SetDialogApplicationTitle(value);
}

Integer TApplication::MessageBox(const Char *Text, const Char *Caption, Integer Flags) {
  return MessageBoxW(nullptr, Text, Caption, static_cast<UINT>(Flags));
}

bool TApplication::IsShortCut(TWMKey &Message) {
  bool handled = false;
  if (OnShortCut)
    OnShortCut(Message, handled);
  if (!handled && FMainForm && FMainForm->Enabled() && FMainForm->Visible())
    handled = FMainForm->IsShortCut(Message);
  return handled;
}

void TApplication::Release(TCustomForm *Form) {
  if (std::find(FReleased.begin(), FReleased.end(), Form) == FReleased.end())
    FReleased.push_back(Form);
}

void TApplication::FreeReleased() {
  while (!FReleased.empty()) {
    TCustomForm *form = FReleased.front();
    FReleased.erase(FReleased.begin());
    delete form;
  }
}

void InitializeForms() {
  gScreen = std::make_unique<TScreen>(nullptr);
  Screen = gScreen.get();
  gApplication = std::make_unique<TApplication>(nullptr);
  Application = gApplication.get();
}

void FinalizeForms() {
  gApplication.reset();
  Application = nullptr;
  gScreen.reset();
  Screen = nullptr;
}

// ---- TCustomForm ----------------------------------------------------------------------------

const TClassInfo &TCustomForm::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomForm>(&TWinControl::StaticClassInfo())
          .Enum(u"BorderStyle", TFormBorderStyleNames, &TCustomForm::BorderStyle,
                &TCustomForm::SetBorderStyle)
          .Default(bsSizeable)
          .Integer(u"ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight)
          .Integer(u"ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth)
          .Enum(u"DefaultMonitor", TDefaultMonitorNames, &TCustomForm::DefaultMonitor,
                &TCustomForm::SetDefaultMonitor)
          .Default(dmActiveForm)
          .Bool(u"KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview)
          .Default(0)
          .Integer(u"PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch)
          .Enum(u"PopupMode", TPopupModeNames, &TCustomForm::PopupMode, &TCustomForm::SetPopupMode)
          .Default(pmNone)
          .Enum(u"Position", TPositionNames, &TCustomForm::Position, &TCustomForm::SetPosition)
          .Default(poDefaultPosOnly)
          .Bool(u"Scaled", &TCustomForm::Scaled, &TCustomForm::SetScaled)
          .Default(1)
          .Enum(u"WindowState", TWindowStateNames, &TCustomForm::WindowState,
                &TCustomForm::SetWindowState)
          .Default(wsNormal)
          .Build();
  return info;
}

TCustomForm::TCustomForm(TComponent *AOwner) : TWinControl(AOwner) {
  SetVisibleState(false);
  SetParentFont(false);
  SetParentColor(false);
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
  TWinControl::SetBounds(0, 0, 320, 240);
  if (Screen)
    Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      if (Application)
        Application->HandleException(this);
    }
  }
  if (Application) {
    std::erase(Application->FReleased, this);
    if (Application->FMainForm == this)
      Application->FMainForm = nullptr;
  }
  if (Screen)
    Screen->RemoveForm(this);
  FActiveControl = nullptr;
  Destroying();
  DestroyComponents(); // owned components see the form whole (as a TCustomForm)
}

void TCustomForm::SetVisibleState(bool Value) {
  // The form's own flag, without the realign and focus work of a control's SetVisible.
  if (Visible() != Value)
    TControl::SetVisible(Value);
}

void TCustomForm::Construct(bool WithDescription) {
  FFormState.Include(fsCreating);
  {
    TScopeExit done{[this] { FFormState.Exclude(fsCreating); }};
    InitializeNewForm();
    if (WithDescription) {
      const String text = Description();
      if (!text.empty())
        ReadComponentDescription(this, text);
    }
    Created();
  }
  // Laid out for the density of the monitor it is made on, before OnCreate sees it.
  if (FollowsMonitorDensity())
    if (TMonitor *monitor = Monitor(); monitor && monitor->PixelsPerInch() != CurrentPPI()) {
      FDpiChanging = true;
      TScopeExit done{[this] { FDpiChanging = false; }};
      ChangeScale(monitor->PixelsPerInch(), CurrentPPI(), true);
    }
  AfterConstruction();
}

void TCustomForm::InitializeNewForm() {}

void TCustomForm::AfterConstruction() { DoCreate(); }

void TCustomForm::DoCreate() {
  if (OnCreate)
    OnCreate(this);
}

void TCustomForm::SetMenu(TMainMenu *Value) {
  if (FMenu)
    FMenu->RemoveFreeNotification(this);
  FMenu = Value;
  if (FMenu) {
    FMenu->FreeNotification(this);
    if (HandleAllocated() && !FMenu->WindowHandle())
      FMenu->SetWindowHandle(Handle());
  }
}

void TCustomForm::CreateWnd() {
  if (FMenu && !FMenu->WindowHandle())
    FMenu->SetWindowHandle(Handle());
}

void TCustomForm::Notification(TComponent *AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation != opRemove)
    return;
  if (AComponent == FMenu)
    FMenu = nullptr;
  if (AComponent == FPopupParent)
    FPopupParent = nullptr;
  if (auto *c = dynamic_cast<TControl *>(AComponent))
    DefocusControl(c);
}

void TCustomForm::SetActiveControl(TWinControl *Control) {
  if (Control == FActiveControl)
    return;
  if (Control && (Control == this || GetParentForm(Control) != this ||
                  (!ComponentState().Contains(csLoading) && !Control->CanFocus())))
    throw EInvalidOperation(SCannotFocus);
  TWinControl *previous = FActiveControl;
  FActiveControl = Control;
  if (previous)
    previous->DoExit();
  if (Control && FActiveControl == Control)
    Control->DoEnter();
}

void TCustomForm::DefocusControl(TControl *Control) {
  if (!FActiveControl || !Control)
    return;
  const auto *w = dynamic_cast<const TWinControl *>(Control);
  if (Control == FActiveControl || (w && w->ContainsControl(FActiveControl)))
    FActiveControl = nullptr;
}

bool TCustomForm::Active() const { return Screen && Screen->ActiveCustomForm() == this; }

TMonitor *TCustomForm::Monitor() const {
  return Screen ? Screen->MonitorFromRect(BoundsRect(), mdNearest) : nullptr;
}

void TCustomForm::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  FollowMonitorDensity();
}

bool TCustomForm::FollowsMonitorDensity() const {
  return Screen && Parent() == nullptr && FScaled && !FDpiChanging &&
         GetAwarenessFromDpiAwarenessContext(FDpiAwarenessContext) ==
             DPI_AWARENESS_PER_MONITOR_AWARE &&
         !FFormState.Contains(fsCreating) && !ComponentState().Contains(csLoading) &&
         !ComponentState().Contains(csDestroying);
}

void TCustomForm::FollowMonitorDensity() {
  if (!FollowsMonitorDensity())
    return;
  if (TMonitor *monitor = Monitor(); monitor && monitor->PixelsPerInch() != CurrentPPI()) {
    const Integer ppi = monitor->PixelsPerInch();
    DispatchInput(this, [this, ppi] { MonitorDpiChanged(ppi); });
  }
}

TMonitor *TCustomForm::DefaultMonitorForPosition() const {
  const TCustomForm *other = nullptr;
  if (FDefaultMonitor == dmActiveForm)
    other = Screen->ActiveCustomForm();
  else if (FDefaultMonitor == dmMainForm && Application)
    other = Application->MainForm();
  return other && other != this ? other->Monitor() : Screen->PrimaryMonitor();
}

namespace {
// The window layer's default places step down and right by this much (at 96 pixels per
// inch), one step for each form already showing at a default place.
constexpr Integer kDefaultPlaceStep = 26;
} // namespace

TRect TCustomForm::PositionedBounds() const {
  const Integer w = Width(), h = Height();
  const auto centredOn = [w, h](const TRect &r) {
    return Bounds(r.Left + (r.Width() - w) / 2, r.Top + (r.Height() - h) / 2, w, h);
  };
  const TCustomForm *over = nullptr;
  switch (FPosition) {
  case poDesigned:
    return BoundsRect();
  case poDesktopCenter:
    return centredOn(Screen->DesktopRect());
  case poOwnerFormCenter:
    over = dynamic_cast<const TCustomForm *>(Owner());
    [[fallthrough]];
  case poMainFormCenter:
    if (!over && Application)
      over = Application->MainForm();
    if (over && over != this)
      return centredOn(over->BoundsRect());
    [[fallthrough]];
  case poScreenCenter:
    return centredOn(DefaultMonitorForPosition()->BoundsRect());
  case poDefault:
  case poDefaultPosOnly:
  case poDefaultSizeOnly:
    break;
  }
  // The window layer's default: three quarters of the work area as the size, the work area's
  // corner as the place, stepped past the forms already showing at a default place.
  const TMonitor *monitor = DefaultMonitorForPosition();
  const TRect area = monitor->WorkareaRect();
  const bool defaultSize = FPosition == poDefault || FPosition == poDefaultSizeOnly;
  const Integer width = defaultSize ? area.Width() * 3 / 4 : w;
  const Integer height = defaultSize ? area.Height() * 3 / 4 : h;
  if (FPosition == poDefaultSizeOnly)
    return Bounds(Left(), Top(), width, height);
  Integer placed = 0;
  for (const TCustomForm *f : Screen->FForms)
    placed += f != this && f->FDefaultPlaced && f->Visible() && f->Parent() == nullptr;
  const Integer step = placed * MulDiv(kDefaultPlaceStep, monitor->PixelsPerInch(), 96);
  if (area.Left + step + width > area.Right || area.Top + step + height > area.Bottom)
    return Bounds(area.Left, area.Top, width, height);
  return Bounds(area.Left + step, area.Top + step, width, height);
}

void TCustomForm::ApplyPosition() {
  FPositioned = true;
  if (!Screen || Parent() != nullptr || FPosition == poDesigned)
    return;
  FDefaultPlaced = FPosition == poDefault || FPosition == poDefaultPosOnly;
  const Integer ppi = CurrentPPI();
  SetBoundsRect(PositionedBounds());
  // Placed on a monitor of another density, the form was scaled: place it again at its size.
  if (CurrentPPI() != ppi)
    SetBoundsRect(PositionedBounds());
}

void TCustomForm::Show() {
  SetVisible(true);
  if (Screen && Parent() == nullptr)
    Screen->Activate(this);
}

void TCustomForm::VisibleChanged() {
  TWinControl::VisibleChanged();
  if (Visible()) {
    if (!FPositioned)
      ApplyPosition();
    HandleNeeded();
    FFormState.Include(fsVisible);
    if (!FActiveControl)
      if (TWinControl *first = FindNextControl(nullptr, true, true, false))
        FActiveControl = first;
    DoShow();
  } else {
    FFormState.Exclude(fsVisible);
    if (Screen)
      Screen->Deactivate(this);
    DoHide();
  }
}

void TCustomForm::DoShow() {
  if (OnShow)
    OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide)
    OnHide(this);
}

void TCustomForm::DoClose(TCloseAction &Action) {
  if (OnClose)
    OnClose(this, Action);
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery)
    OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (FFormState.Contains(fsModal)) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery())
    return;
  TCloseAction action = caHide;
  DoClose(action);
  switch (action) {
  case caHide:
    Hide();
    break;
  case caMinimize:
    FWindowState = wsMinimized;
    break;
  case caFree:
    Release();
    break;
  case caNone:
    break;
  }
}

void TCustomForm::Release() {
  if (Application)
    Application->Release(this);
}

void TCustomForm::CloseModal() {
  try {
    TCloseAction action = caNone;
    if (CloseQuery()) {
      action = caHide;
      DoClose(action);
    }
    if (action == caNone)
      FModalResult = mrNone;
    else if (action == caFree)
      Release();
  } catch (...) {
    FModalResult = mrNone;
    if (Application)
      Application->HandleException(this);
  }
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || FFormState.Contains(fsModal))
    throw EInvalidOperation(SCannotShowModal);
  FFormState.Include(fsModal);
  static Integer runs = 0; // main thread only
  FModalRunId = ++runs;
  if (Application)
    ++Application->FModalLevel;
  // The other forms take no input while this one is modal.
  std::vector<TCustomForm *> disabled;
  if (Screen)
    for (TCustomForm *f : Screen->FForms)
      if (f != this && f->Parent() == nullptr && f->Visible() && f->Enabled()) {
        f->SetEnabled(false);
        disabled.push_back(f);
      }
  TScopeExit restore{[this, disabled] {
    for (TCustomForm *f : disabled)
      if (Screen && std::find(Screen->FForms.begin(), Screen->FForms.end(), f) != Screen->FForms.end())
        f->SetEnabled(true);
    FFormState.Exclude(fsModal);
    if (Application)
      --Application->FModalLevel;
  }};
  Show();
  {
    TScopeExit hide{[this] { Hide(); }};
    FModalResult = mrNone;
    do {
      bool more = true;
      DispatchInput(this, [this, &more] { more = ModalService().Step(*this); });
      if (Application)
        Application->ProcessMessages();
      if (FModalResult == mrNone && (!more || (Application && Application->Terminated())))
        FModalResult = mrCancel;
      if (FModalResult != mrNone)
        CloseModal();
      if (FModalResult == mrNone && !more) {
        // Nobody is left to act and the form refused to close: the run ends anyway, so
        // that no modal run can hang.
        std::cerr << "[modal] " << StringToUtf8(Caption()) << ": ended without a result"
                  << std::endl;
        FModalResult = mrCancel;
      }
    } while (FModalResult == mrNone);
  }
  return FModalResult;
}

void TCustomForm::MakeFullyVisible(TMonitor *AMonitor) {
  if (!AMonitor)
    AMonitor = Monitor();
  if (!AMonitor)
    return;
  const TRect m = AMonitor->BoundsRect();
  Integer left = Left(), top = Top();
  if (left + Width() > m.Right)
    left = m.Right - Width();
  if (left < m.Left)
    left = m.Left;
  if (top + Height() > m.Bottom)
    top = m.Bottom - Height();
  if (top < m.Top)
    top = m.Top;
  SetBounds(left, top, Width(), Height());
}

namespace {
bool DispatchShortCut(const TComponent *Owner, TWMKey &Message) {
  for (Integer i = 0; i < Owner->ComponentCount(); ++i) {
    TComponent *c = Owner->Components(i);
    if (auto *list = dynamic_cast<TCustomActionList *>(c)) {
      if (list->IsShortCut(Message))
        return true;
    } else if (DispatchShortCut(c, Message)) {
      return true;
    }
  }
  return false;
}
} // namespace

bool TCustomForm::IsShortCut(TWMKey &Message) {
  bool handled = false;
  if (OnShortCut)
    OnShortCut(Message, handled);
  if (!handled && FMenu && FMenu->WindowHandle())
    handled = FMenu->IsShortCut(Message);
  if (!handled)
    handled = DispatchShortCut(this, Message);
  return handled;
}

bool TCustomForm::KeyDownPath(TWinControl *Target, Word Key, TShiftState Shift) {
  if (!Target)
    Target = this;
  const bool first = Target->WantsKeyFirst(Key, Shift);
  TWMKey message{WM_KEYDOWN, Key, Shift, 0};
  if (!first) {
    for (TControl *c = Target; c; c = c->Parent())
      if (c->PopupMenu() && c->PopupMenu()->IsShortCut(message))
        return true;
    if (IsShortCut(message))
      return true;
    if (Application && Application->MainForm() != this && Application->IsShortCut(message))
      return true;
  }
  Word key = Key;
  if (FKeyPreview && Target != this) {
    KeyDown(key, Shift);
    if (key == 0)
      return true;
  }
  Target->KeyDown(key, Shift);
  if (key == 0)
    return true;
  const bool special = key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE ||
                       (key >= VK_LEFT && key <= VK_DOWN);
  if (special && !first && !Target->WantsSpecialKey(key, Shift) && DialogKey(key, Shift))
    return true;
  // Alt with a letter or digit is the character an access key answers (the platform's
  // WM_SYSCHAR), whatever the focused control does with characters; with Ctrl it is none.
  const bool accel = (key >= u'A' && key <= u'Z') || (key >= u'0' && key <= u'9');
  if (accel && !first && Shift.Contains(ssAlt) && !Shift.Contains(ssCtrl) &&
      DialogChar(static_cast<Char>(key)))
    return true;
  Target->DefaultKeyDown(key, Shift);
  return false;
}

void TCustomForm::CharPath(TWinControl *Target, Char Key) {
  if (!Target)
    Target = this;
  if (FKeyPreview && Target != this) {
    KeyPress(Key);
    if (Key == 0)
      return;
  }
  Target->KeyPress(Key);
  if (Key == 0)
    return;
  if (Key > u' ' && !Target->WantsChars() && DialogChar(Key))
    return;
  Target->DefaultChar(Key);
}

namespace {

// The controls that may answer an access key, in order: visible and enabled ones, depth first
// through their parents (a hidden or disabled parent hides its children). Forms embedded in
// this one are passed through, not asked.
void CollectAccelOrder(const TWinControl &Parent, std::vector<TControl *> &Out) {
  for (Integer i = 0; i < Parent.ControlCount(); ++i) {
    TControl *c = Parent.Controls(i);
    if (!c->Visible() || !c->Enabled())
      continue;
    if (!dynamic_cast<TCustomForm *>(c))
      Out.push_back(c);
    if (auto *w = dynamic_cast<TWinControl *>(c))
      CollectAccelOrder(*w, Out);
  }
}

} // namespace

bool TCustomForm::DialogChar(Char Key) {
  std::vector<TControl *> order;
  CollectAccelOrder(*this, order);
  const auto count = static_cast<Integer>(order.size());
  const auto at = std::find(order.begin(), order.end(), FActiveControl);
  const Integer start = at == order.end() ? -1 : static_cast<Integer>(at - order.begin());
  for (Integer k = 1; k <= count; ++k)
    if (order[static_cast<std::size_t>((start + k) % count)]->DialogChar(Key))
      return true;
  return false;
}

bool IsAccel(Word VK, StringView Str) {
  const Char key = GetHotkey(Str);
  return key != 0 && AnsiSameText(String(1, static_cast<Char>(VK)), String(1, key));
}

bool TCustomForm::DialogKey(Word Key, TShiftState Shift) {
  if (!Shift.Contains(ssAlt)) {
    if (Key == VK_TAB && !Shift.Contains(ssCtrl)) {
      SelectNext(FActiveControl, !Shift.Contains(ssShift), true);
      return true;
    }
    if (Key >= VK_LEFT && Key <= VK_DOWN && FActiveControl) {
      if (TWinControl *parent = FActiveControl->Parent())
        parent->SelectNext(FActiveControl, Key == VK_RIGHT || Key == VK_DOWN, false);
      return true;
    }
  }
  return TWinControl::DialogKey(Key, Shift);
}

void TCustomForm::ChangeScale(Integer M, Integer D, bool isDpiChange) {
  // A top-level form keeps its place; its size, fonts and children scale.
  const Integer left = Left(), top = Top();
  TWinControl::ChangeScale(M, D, isDpiChange);
  if (Parent() == nullptr && (Left() != left || Top() != top))
    SetBounds(left, top, Width(), Height());
}

void TCustomForm::MonitorDpiChanged(Integer NewPPI) {
  const Integer oldPPI = CurrentPPI();
  if (NewPPI == oldPPI || NewPPI <= 0)
    return;
  if (OnBeforeMonitorDpiChanged)
    OnBeforeMonitorDpiChanged(this, oldPPI, NewPPI);
  // The after step also runs when the scaling raises, so whatever the before step hid is
  // shown again.
  TScopeExit after{[this, oldPPI, NewPPI] {
    if (OnAfterMonitorDpiChanged)
      OnAfterMonitorDpiChanged(this, oldPPI, NewPPI);
  }};
  if (FScaled) {
    // The scaling's own bounds changes are no moves to another monitor.
    const bool changing = FDpiChanging;
    FDpiChanging = true;
    TScopeExit done{[this, changing] { FDpiChanging = changing; }};
    DisableAlign();
    TScopeExit enable{[this] { EnableAlign(); }};
    ChangeScale(NewPPI, oldPPI, true);
  }
}

// ---- TCustomFrame ---------------------------------------------------------------------------

TCustomFrame::TCustomFrame(TComponent *AOwner) : TWinControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
  SetBounds(0, 0, 320, 240);
}

void TCustomFrame::Construct() {
  const String text = Description();
  if (!text.empty())
    ReadComponentDescription(this, text);
  Created();
  AfterConstruction();
}

// ---- TDataModule ----------------------------------------------------------------------------

TDataModule::TDataModule(TComponent *AOwner) : TComponent(AOwner) {
  if (Screen)
    Screen->FDataModules.push_back(this);
}

TDataModule::~TDataModule() {
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      if (Application)
        Application->HandleException(this);
    }
  }
  if (Screen)
    std::erase(Screen->FDataModules, this);
  Destroying();
  DestroyComponents();
}

void TDataModule::Construct() {
  const String text = Description();
  if (!text.empty())
    ReadComponentDescription(this, text);
  Created();
  AfterConstruction();
}

void TDataModule::AfterConstruction() {
  if (OnCreate)
    OnCreate(this);
}

// ---- Modal service --------------------------------------------------------------------------

bool TDefaultModalService::Step(TCustomForm &Form) {
  if (Form.ModalRunId() == FLastRun)
    return false;
  FLastRun = Form.ModalRunId();
  std::cerr << "[modal] " << StringToUtf8(Form.Caption()) << std::endl;
  PressKey(Form, VK_ESCAPE);
  return true;
}

TModalService &ModalService() { return gModalService ? *gModalService : gDefaultModal; }

TModalService *SetModalService(TModalService *Service) {
  TModalService *previous = gModalService;
  gModalService = Service;
  return previous;
}

TScriptedModal::TScriptedModal(std::vector<TStep> Steps)
    : FSteps(Steps.begin(), Steps.end()), FPrevious(SetModalService(this)) {}

TScriptedModal::~TScriptedModal() { SetModalService(FPrevious); }

bool TScriptedModal::Step(TCustomForm &Form) {
  if (FSteps.empty())
    return false;
  FCaptions.push_back(Form.Caption());
  TStep step = std::move(FSteps.front());
  FSteps.pop_front();
  step(Form);
  return true;
}

// ---- Input drivers --------------------------------------------------------------------------

void DispatchInput(TObject *Sender, const std::function<void()> &Action) {
  try {
    Action();
  } catch (...) {
    if (Application)
      Application->HandleException(Sender);
    else
      throw;
  }
}

TComponent *FindNamedComponent(const TComponent *Root, StringView Name) {
  if (!Root)
    return nullptr;
  if (TComponent *c = Root->FindComponent(Name))
    return c;
  for (Integer i = 0; i < Root->ComponentCount(); ++i)
    if (TComponent *c = FindNamedComponent(Root->Components(i), Name))
      return c;
  return nullptr;
}

TControl *FindControl(const TComponent *Root, StringView Name) {
  auto *c = dynamic_cast<TControl *>(FindNamedComponent(Root, Name));
  if (!c)
    throw EInvalidOperation(Format(u"No control named '%s'", {String(Name)}));
  return c;
}

void PressKey(TCustomForm &Form, Word Key, TShiftState Shift) {
  DispatchInput(&Form, [&] { Form.KeyDownPath(Form.ActiveControl(), Key, Shift); });
}

void TypeText(TCustomForm &Form, StringView Text) {
  for (Char ch : Text)
    DispatchInput(&Form, [&] { Form.CharPath(Form.ActiveControl(), ch); });
}

void ClickControl(TControl *Control) {
  if (!Control)
    return;
  for (const TControl *c = Control; c; c = c->Parent())
    if (!c->Enabled() || (!c->Visible()))
      return;
  DispatchInput(Control, [Control] { Control->Click(); });
}

} // namespace krx
