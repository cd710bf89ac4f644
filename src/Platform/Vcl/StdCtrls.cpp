#include "Platform/Vcl/StdCtrls.h"

#include "Platform/Rtl/ScopeExit.h"
#include "Platform/Vcl/FormDescription.h"
#include "Platform/Vcl/Forms.h"
#include "Platform/Vcl/TextDraw.h"

#include "Platform/Vcl/Buttons.h"
#include "Platform/Vcl/Panels.h"

#include <algorithm>

namespace krx {

namespace {

void PrepareCanvas(TCanvas &canvas, const TFont &font) { canvas.Font().Assign(font); }

} // namespace

Integer TextWidthOf(const TFont &Font, StringView Text) {
  TCanvas canvas;
  PrepareCanvas(canvas, Font);
  return canvas.TextWidth(Text);
}

Integer TextHeightOf(const TFont &Font, StringView Text) {
  TCanvas canvas;
  PrepareCanvas(canvas, Font);
  return canvas.TextHeight(Text);
}

bool DragAndDrop(TControl *Source, TControl *Target, Integer X, Integer Y) {
  auto *client = dynamic_cast<TDragClient *>(Target);
  if (!Source || !client)
    return false;
  bool accept = false;
  DispatchInput(Target, [&] {
    if (client->OnDragOver)
      client->OnDragOver(Target, Source, X, Y, accept);
    if (accept && client->OnDragDrop)
      client->OnDragDrop(Target, Source, X, Y);
  });
  return accept;
}

namespace {

constexpr const Char *kRegistered[] = {
    u"TLabel",   u"TEdit",     u"TButton", u"TCheckBox",   u"TRadioButton", u"TComboBox",
    u"TListBox", u"TGroupBox", u"TPanel",  u"TRadioGroup", u"TImage",       u"TSpeedButton"};

} // namespace

void InitializeStdCtrls() {
  RegisterComponentClass<TLabel>(u"TLabel");
  RegisterComponentClass<TEdit>(u"TEdit");
  RegisterComponentClass<TButton>(u"TButton");
  RegisterComponentClass<TCheckBox>(u"TCheckBox");
  RegisterComponentClass<TRadioButton>(u"TRadioButton");
  RegisterComponentClass<TComboBox>(u"TComboBox");
  RegisterComponentClass<TListBox>(u"TListBox");
  RegisterComponentClass<TGroupBox>(u"TGroupBox");
  RegisterComponentClass<TPanel>(u"TPanel");
  RegisterComponentClass<TRadioGroup>(u"TRadioGroup");
  RegisterComponentClass<TImage>(u"TImage");
  RegisterComponentClass<TSpeedButton>(u"TSpeedButton");
}

void FinalizeStdCtrls() {
  for (const Char *name : kRegistered)
    UnregisterComponentClass(name);
}

// ---- TControlStrings -----------------------------------------------------------------------

TControlStrings::TControlStrings(TListener Listener) : FListener(std::move(Listener)) {
  OnChange = [this](TObject *) {
    if (FInOperation == 0 && FListener.Reset)
      FListener.Reset();
  };
}

template <class F> decltype(auto) TControlStrings::Quietly(F &&operation) {
  ++FInOperation;
  TScopeExit done{[this] { --FInOperation; }};
  return operation();
}

Integer TControlStrings::AddObject(const String &S, TObject *AObject) {
  const Integer before = Count();
  const Integer index = Quietly([&] { return TStringList::AddObject(S, AObject); });
  if (Count() > before && FListener.Inserted)
    FListener.Inserted(index);
  return index;
}

void TControlStrings::InsertObject(Integer Index, const String &S, TObject *AObject) {
  Quietly([&] { TStringList::InsertObject(Index, S, AObject); });
  if (FListener.Inserted)
    FListener.Inserted(Index);
}

void TControlStrings::Delete(Integer Index) {
  Quietly([&] { TStringList::Delete(Index); });
  if (FListener.Deleted)
    FListener.Deleted(Index);
}

void TControlStrings::Clear() {
  TStringList::Clear();
  if (FInOperation == 0 && FListener.Reset)
    FListener.Reset();
}

void TControlStrings::Exchange(Integer Index1, Integer Index2) {
  Quietly([&] { TStringList::Exchange(Index1, Index2); });
  if (FListener.Exchanged)
    FListener.Exchanged(Index1, Index2);
}

// ---- TCustomLabel --------------------------------------------------------------------------

const TClassInfo &TCustomLabel::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomLabel>(&TControl::StaticClassInfo())
          .Bool(u"AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize)
          .Default(1)
          .Bool(u"WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap)
          .Default(0)
          .Bool(u"ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar)
          .Default(1)
          .Build();
  return info;
}

TCustomLabel::TCustomLabel(TComponent *AOwner) : TGraphicControl(AOwner) {
  SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetAutoSize(bool Value) {
  if (FAutoSize == Value)
    return;
  FAutoSize = Value;
  AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool Value) {
  if (FWordWrap == Value)
    return;
  FWordWrap = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl *Value) {
  if (FFocusControl == Value)
    return;
  if (FFocusControl)
    FFocusControl->RemoveFreeNotification(this);
  FFocusControl = Value;
  if (Value)
    Value->FreeNotification(this);
}

bool TCustomLabel::DialogChar(Char Key) {
  if (!FFocusControl || !Enabled() || !FShowAccelChar || !IsAccel(Key, Caption()) ||
      !FFocusControl->CanFocus())
    return false;
  FFocusControl->SetFocus();
  return true;
}

void TCustomLabel::Notification(TComponent *AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusControl)
    FFocusControl = nullptr;
}

void TCustomLabel::TextChanged() {
  TGraphicControl::TextChanged();
  AdjustBounds();
}

void TCustomLabel::FontChanged() {
  TGraphicControl::FontChanged();
  AdjustBounds();
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

// An auto-sized label takes the extent of its caption: one line, or the caption word-wrapped to the
// current width.
void TCustomLabel::AdjustBounds() {
  if (!FAutoSize || ComponentState().Contains(csLoading))
    return;
  TCanvas canvas;
  PrepareCanvas(canvas, Font());
  const UINT format = (FWordWrap ? DT_WORDBREAK : 0) | (FShowAccelChar ? 0 : DT_NOPREFIX);
  TRect r = Rect(0, 0, FWordWrap ? Width() : 0, 0);
  DrawTextW(canvas, Caption().empty() ? StringView(u" ") : StringView(Caption()), r,
            format | DT_CALCRECT);
  SetBounds(Left(), Top(), FWordWrap ? Width() : r.Width(), r.Height());
}

void TCustomLabel::Paint(TCanvas &Canvas) {
  PrepareCanvas(Canvas, Font());
  TRect r = ClientRect();
  DrawTextW(Canvas, Caption(), r,
            (FWordWrap ? DT_WORDBREAK : 0) | (FShowAccelChar ? 0 : DT_NOPREFIX));
}

// ---- TCustomEdit ---------------------------------------------------------------------------

void TTextSelection::SetRange(Integer First, Integer End, Integer TextLength) {
  if (First < 0) { // no selection; the caret stays
    Length = 0;
    return;
  }
  if (End < 0 || End > TextLength)
    End = TextLength;
  First = std::min(First, TextLength);
  Start = std::min(First, End);
  Length = std::max(First, End) - Start;
}

void TTextSelection::Clamp(Integer TextLength) {
  Start = std::clamp(Start, 0, TextLength);
  Length = std::clamp(Length, 0, TextLength - Start);
}

const TClassInfo &TCustomEdit::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomEdit>(&TWinControl::StaticClassInfo())
          .Str(u"Text", &TCustomEdit::Text, &TCustomEdit::SetText)
          .Bool(u"ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly)
          .Default(0)
          .Integer(u"MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength)
          .Default(0)
          .Bool(u"AutoSelect", &TCustomEdit::AutoSelect, &TCustomEdit::SetAutoSelect)
          .Default(1)
          .Build();
  return info;
}

TCustomEdit::TCustomEdit(TComponent *AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
}

void TCustomEdit::TextChanged() {
  const auto length = static_cast<Integer>(Text().size());
  FSel = {FCaretAfterChange >= 0 ? FCaretAfterChange : length, 0};
  FSel.Clamp(length);
  TWinControl::TextChanged();
  if (OnChange)
    OnChange(this);
}

void TCustomEdit::SetSelStart(Integer Value) {
  FSel = {Value, 0};
  FSel.Clamp(static_cast<Integer>(Text().size()));
}

void TCustomEdit::SetSelLength(Integer Value) {
  FSel.Length = Value;
  FSel.Clamp(static_cast<Integer>(Text().size()));
}

String TCustomEdit::SelText() const {
  return Text().substr(static_cast<std::size_t>(FSel.Start), static_cast<std::size_t>(FSel.Length));
}

void TCustomEdit::SelectAll() { FSel = {0, static_cast<Integer>(Text().size())}; }

void TCustomEdit::WndProc(TMessage &Message) {
  if (Message.Msg == EM_SETSEL) {
    FSel.SetRange(static_cast<Integer>(static_cast<LPARAM>(Message.WParam)),
                  static_cast<Integer>(Message.LParam), static_cast<Integer>(Text().size()));
    Message.Result = 0;
  } else if (Message.Msg == EM_GETSEL) {
    Message.Result = FSel.Packed();
  } else {
    TWinControl::WndProc(Message);
  }
}

void TCustomEdit::ReplaceSelection(StringView Inserted) {
  String text = Text();
  text.replace(static_cast<std::size_t>(FSel.Start), static_cast<std::size_t>(FSel.Length),
               Inserted);
  FCaretAfterChange = FSel.Start + static_cast<Integer>(Inserted.size());
  struct TReset {
    Integer &Caret;
    ~TReset() { Caret = -1; }
  } reset{FCaretAfterChange};
  SetText(text);
}

void TCustomEdit::DefaultChar(Char Key) {
  if (FReadOnly || Key < u' ')
    return;
  if (FMaxLength > 0 && static_cast<Integer>(Text().size()) - FSel.Length >= FMaxLength)
    return;
  ReplaceSelection(StringView(&Key, 1));
}

void TCustomEdit::DefaultKeyDown(Word Key, TShiftState Shift) {
  if (Key != VK_BACK || !Shift.Empty() || FReadOnly)
    return;
  if (FSel.Length == 0 && FSel.Start > 0)
    FSel = {FSel.Start - 1, 1};
  if (FSel.Length > 0)
    ReplaceSelection({});
}

void TCustomEdit::Paint(TCanvas &Canvas) {
  PrepareCanvas(Canvas, Font());
  Canvas.Brush().Color = Color();
  Canvas.FillRect(ClientRect());
  Canvas.TextOut(2, 2, Text());
}

// ---- Buttons -------------------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent *AOwner) : TWinControl(AOwner) { SetTabStop(true); }

const TClassInfo &TButton::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TButton>(&TWinControl::StaticClassInfo())
          .Bool(u"Default", &TButton::Default, &TButton::SetDefault)
          .Default(0)
          .Bool(u"Cancel", &TButton::Cancel, &TButton::SetCancel)
          .Default(0)
          .Integer(u"ModalResult", &TButton::ModalResult, &TButton::SetModalResult)
          .Default(0)
          .Build();
  return info;
}

TButton::TButton(TComponent *AOwner) : TButtonControl(AOwner) { SetBounds(0, 0, 75, 25); }

void TButton::Click() {
  if (TCustomForm *form = GetParentForm(this); form && FModalResult != mrNone)
    form->SetModalResult(FModalResult);
  TButtonControl::Click();
}

bool TButton::DialogKey(Word Key, TShiftState Shift) {
  // Only the plain keys: Ctrl+Enter and Shift+Escape are no button's.
  if (!Shift.Empty() || !CanFocus())
    return false;
  bool mine = false;
  if (Key == VK_RETURN) {
    // The focused button takes Enter; otherwise the default one.
    const TCustomForm *form = GetParentForm(this);
    const TWinControl *focused = form ? form->ActiveControl() : nullptr;
    mine = focused == this || (FDefault && !dynamic_cast<const TButton *>(focused));
  } else if (Key == VK_ESCAPE) {
    mine = FCancel;
  }
  if (mine)
    Click();
  return mine;
}

bool TButton::WantsSpecialKey(Word, TShiftState) const { return false; }

bool TButton::DialogChar(Char Key) {
  if (!IsAccel(Key, Caption()) || !CanFocus())
    return false;
  Click();
  return true;
}

void TButton::DefaultKeyDown(Word Key, TShiftState Shift) {
  if (Key == VK_SPACE && Shift.Empty())
    Click();
}

void TButton::Paint(TCanvas &Canvas) {
  PrepareCanvas(Canvas, Font());
  TRect r = ClientRect();
  TRect measure = r;
  DrawTextW(Canvas, Caption(), measure, DT_CALCRECT | DT_SINGLELINE);
  r.Top = (r.Height() - measure.Height()) / 2;
  DrawTextW(Canvas, Caption(), r, DT_CENTER | DT_SINGLELINE);
}

const TClassInfo &TCustomCheckBox::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomCheckBox>(&TWinControl::StaticClassInfo())
          .Bool(u"Checked", &TCustomCheckBox::Checked, &TCustomCheckBox::SetChecked)
          .Default(0)
          .Bool(u"AllowGrayed", &TCustomCheckBox::AllowGrayed, &TCustomCheckBox::SetAllowGrayed)
          .Default(0)
          .Build();
  return info;
}

TCustomCheckBox::TCustomCheckBox(TComponent *AOwner) : TButtonControl(AOwner) {
  SetBounds(0, 0, 97, 17);
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
  if (FState == Value)
    return;
  FState = Value;
  Invalidate();
  // A description sets the state without clicking, as the class library's loading does.
  if (!ComponentState().Contains(csLoading))
    TButtonControl::Click();
}

void TCustomCheckBox::Toggle() {
  switch (FState) {
  case cbUnchecked:
    SetState(FAllowGrayed ? cbGrayed : cbChecked);
    break;
  case cbChecked:
    SetState(cbUnchecked);
    break;
  case cbGrayed:
    SetState(cbChecked);
    break;
  }
}

void TCustomCheckBox::Click() { Toggle(); }

namespace {

// Focuses the control for its access key; True when it then has the focus (an OnEnter handler
// may have moved it on).
bool FocusForAccel(TWinControl *Control) {
  Control->SetFocus();
  const TCustomForm *form = GetParentForm(Control);
  return form && form->ActiveControl() == Control;
}

} // namespace

bool TCustomCheckBox::DialogChar(Char Key) {
  if (!IsAccel(Key, Caption()) || !CanFocus())
    return false;
  if (FocusForAccel(this))
    Toggle();
  return true;
}

void TCustomCheckBox::DefaultKeyDown(Word Key, TShiftState Shift) {
  if (Key == VK_SPACE && Shift.Empty())
    Toggle();
}

void TCustomCheckBox::Paint(TCanvas &Canvas) {
  PrepareCanvas(Canvas, Font());
  Canvas.FrameRect(Rect(0, 2, 13, 15));
  if (FState != cbUnchecked)
    Canvas.TextOut(2, 1, FState == cbChecked ? u"x" : u"-");
  TRect r = Rect(17, 1, Width(), Height());
  DrawTextW(Canvas, Caption(), r, DT_SINGLELINE);
}

const TClassInfo &TRadioButton::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TRadioButton>(&TWinControl::StaticClassInfo())
          .Bool(u"Checked", &TRadioButton::Checked, &TRadioButton::SetChecked)
          .Default(0)
          .Build();
  return info;
}

TRadioButton::TRadioButton(TComponent *AOwner) : TButtonControl(AOwner) {
  SetBounds(0, 0, 113, 17);
}

void TRadioButton::SetChecked(bool Value) {
  if (FChecked == Value)
    return;
  FChecked = Value;
  Invalidate();
  if (!Value)
    return;
  if (TWinControl *parent = Parent())
    for (Integer i = 0; i < parent->ControlCount(); ++i)
      if (auto *other = dynamic_cast<TRadioButton *>(parent->Controls(i)); other && other != this)
        other->SetChecked(false);
  if (!ComponentState().Contains(csLoading))
    TButtonControl::Click();
}

void TRadioButton::Click() { SetChecked(true); }

// The platform's radio button checks itself when the keyboard gives it the focus.
bool TRadioButton::DialogChar(Char Key) {
  if (!IsAccel(Key, Caption()) || !CanFocus())
    return false;
  if (FocusForAccel(this))
    SetChecked(true);
  return true;
}

void TRadioButton::Paint(TCanvas &Canvas) {
  PrepareCanvas(Canvas, Font());
  Canvas.FrameRect(Rect(0, 2, 13, 15));
  if (FChecked)
    Canvas.TextOut(2, 1, u"o");
  TRect r = Rect(17, 1, Width(), Height());
  DrawTextW(Canvas, Caption(), r, DT_SINGLELINE);
}

// ---- TCustomComboBox -----------------------------------------------------------------------

const TClassInfo &TCustomComboBox::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomComboBox>(&TWinControl::StaticClassInfo())
          .Enum(u"Style", TComboBoxStyleNames, &TCustomComboBox::Style, &TCustomComboBox::SetStyle)
          .Str(u"Text", &TCustomComboBox::Text, &TCustomComboBox::SetText)
          .Integer(u"ItemIndex", &TCustomComboBox::ItemIndex, &TCustomComboBox::SetItemIndex)
          .Build();
  return info;
}

TCustomComboBox::TCustomComboBox(TComponent *AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TControlStrings>(TControlStrings::TListener{
                               nullptr, nullptr, nullptr, [this] { ItemsChanged(); }})) {
  FItems->OnChange = [this](TObject *) { ItemsChanged(); };
  SetBounds(0, 0, 145, 21);
  SetTabStop(true);
}

void TCustomComboBox::ItemsChanged() {
  if (FItemIndex >= FItems->Count())
    FItemIndex = -1;
  Invalidate();
}

void TCustomComboBox::SetItemIndex(Integer Value) {
  if (Value < -1 || Value >= FItems->Count())
    Value = -1;
  FItemIndex = Value;
  SetText(Value >= 0 ? FItems->Get(Value) : String());
}

void TCustomComboBox::SelectItem(Integer Index) {
  if (Index < 0 || Index >= FItems->Count() || Index == FItemIndex)
    return;
  SetItemIndex(Index);
  if (OnChange)
    OnChange(this);
  if (OnSelect)
    OnSelect(this);
}

void TCustomComboBox::SelectAll() {
  if (FStyle != csDropDownList)
    FSel = {0, static_cast<Integer>(Text().size())};
}

void TCustomComboBox::TextChanged() {
  FSel = {static_cast<Integer>(Text().size()), 0};
  TWinControl::TextChanged();
}

void TCustomComboBox::WndProc(TMessage &Message) {
  if (Message.Msg == CB_SETEDITSEL || Message.Msg == CB_GETEDITSEL) {
    if (FStyle == csDropDownList) { // no edit part
      Message.Result = CB_ERR;
    } else if (Message.Msg == CB_GETEDITSEL) {
      Message.Result = FSel.Packed();
    } else {
      const auto word = [](LPARAM v) { return v == 0xFFFF ? -1 : static_cast<Integer>(v); };
      FSel.SetRange(word(Message.LParam & 0xFFFF), word((Message.LParam >> 16) & 0xFFFF),
                    static_cast<Integer>(Text().size()));
      Message.Result = 1;
    }
    return;
  }
  TWinControl::WndProc(Message);
}

void TCustomComboBox::DefaultKeyDown(Word Key, TShiftState Shift) {
  if (!Shift.Empty())
    return;
  if (Key == VK_DOWN)
    SelectItem(std::min(FItemIndex + 1, FItems->Count() - 1));
  else if (Key == VK_UP)
    SelectItem(std::max(FItemIndex - 1, 0));
}

bool TCustomComboBox::WantsSpecialKey(Word Key, TShiftState) const {
  return Key == VK_UP || Key == VK_DOWN;
}

void TCustomComboBox::Paint(TCanvas &Canvas) {
  PrepareCanvas(Canvas, Font());
  Canvas.Brush().Color = Color();
  Canvas.FillRect(ClientRect());
  Canvas.TextOut(2, 2, Text());
}

// ---- TCustomListBox ------------------------------------------------------------------------

const TClassInfo &TCustomListBox::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomListBox>(&TWinControl::StaticClassInfo())
          .Bool(u"MultiSelect", &TCustomListBox::MultiSelect, &TCustomListBox::SetMultiSelect)
          .Default(0)
          .Enum(u"DragMode", TDragModeNames, &TCustomListBox::DragMode,
                &TCustomListBox::SetDragMode)
          .Build();
  return info;
}

TCustomListBox::TCustomListBox(TComponent *AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TControlStrings>(TControlStrings::TListener{
                               [this](Integer i) {
                                 FSelected.insert(FSelected.begin() + i, false);
                                 if (FItemIndex >= i)
                                   ++FItemIndex;
                                 Invalidate();
                               },
                               [this](Integer i) {
                                 FSelected.erase(FSelected.begin() + i);
                                 if (FItemIndex == i)
                                   FItemIndex = -1;
                                 else if (FItemIndex > i)
                                   --FItemIndex;
                                 Invalidate();
                               },
                               [this](Integer a, Integer b) {
                                 const bool t = FSelected[a];
                                 FSelected[a] = FSelected[b];
                                 FSelected[b] = t;
                                 Invalidate();
                               },
                               [this] { ItemsChanged(); }})) {
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clWindow);
}

void TCustomListBox::ItemsChanged() {
  // The lines were replaced: nothing stays selected.
  FSelected.assign(static_cast<std::size_t>(FItems->Count()), false);
  FItemIndex = -1;
  Invalidate();
}

void TCustomListBox::SetMultiSelect(bool Value) {
  FMultiSelect = Value;
  ClearSelection();
}

void TCustomListBox::SetItemIndex(Integer Value) {
  if (Value < -1 || Value >= FItems->Count())
    Value = -1;
  if (!FMultiSelect)
    std::fill(FSelected.begin(), FSelected.end(), false);
  FItemIndex = Value;
  if (Value >= 0)
    FSelected[static_cast<std::size_t>(Value)] = true;
  Invalidate();
}

bool TCustomListBox::Selected(Integer Index) const {
  if (Index < 0 || Index >= static_cast<Integer>(FSelected.size()))
    throw EListError(Format(u"List index out of bounds (%d)", {Index}));
  return FSelected[static_cast<std::size_t>(Index)];
}

void TCustomListBox::SetSelected(Integer Index, bool Value) {
  Selected(Index); // checks the index
  if (!FMultiSelect && Value)
    std::fill(FSelected.begin(), FSelected.end(), false);
  FSelected[static_cast<std::size_t>(Index)] = Value;
  if (!FMultiSelect)
    FItemIndex = Value ? Index : (FItemIndex == Index ? -1 : FItemIndex);
  Invalidate();
}

Integer TCustomListBox::SelCount() const {
  return FMultiSelect ? static_cast<Integer>(std::count(FSelected.begin(), FSelected.end(), true))
                      : -1;
}

void TCustomListBox::ClearSelection() {
  std::fill(FSelected.begin(), FSelected.end(), false);
  if (!FMultiSelect)
    FItemIndex = -1;
  Invalidate();
}

void TCustomListBox::SelectAll() {
  if (FMultiSelect)
    std::fill(FSelected.begin(), FSelected.end(), true);
  Invalidate();
}

TCanvas &TCustomListBox::Canvas() {
  if (!FCanvas)
    FCanvas = std::make_unique<TCanvas>();
  PrepareCanvas(*FCanvas, Font());
  return *FCanvas;
}

void TCustomListBox::ClickItem(Integer Index, TShiftState Shift) {
  DispatchInput(this, [&] {
    if (Index < 0 || Index >= FItems->Count())
      return;
    if (!FMultiSelect) {
      SetItemIndex(Index);
    } else if (Shift.Contains(ssCtrl)) {
      FSelected[static_cast<std::size_t>(Index)] = !FSelected[static_cast<std::size_t>(Index)];
      FItemIndex = Index;
    } else if (Shift.Contains(ssShift) && FItemIndex >= 0) {
      std::fill(FSelected.begin(), FSelected.end(), false);
      for (Integer i = std::min(FItemIndex, Index); i <= std::max(FItemIndex, Index); ++i)
        FSelected[static_cast<std::size_t>(i)] = true;
    } else {
      std::fill(FSelected.begin(), FSelected.end(), false);
      FSelected[static_cast<std::size_t>(Index)] = true;
      FItemIndex = Index;
    }
    Invalidate();
    Click();
  });
}

void TCustomListBox::DblClickItem(Integer Index) {
  ClickItem(Index);
  DispatchInput(this, [&] {
    if (OnDblClick)
      OnDblClick(this);
  });
}

void TCustomListBox::DefaultKeyDown(Word Key, TShiftState Shift) {
  if (!Shift.Empty() || FItems->Count() == 0)
    return;
  Integer next = FItemIndex;
  if (Key == VK_DOWN)
    next = std::min(FItemIndex + 1, FItems->Count() - 1);
  else if (Key == VK_UP)
    next = std::max(FItemIndex - 1, 0);
  else
    return;
  std::fill(FSelected.begin(), FSelected.end(), false);
  SetItemIndex(next);
  Click();
}

bool TCustomListBox::WantsSpecialKey(Word Key, TShiftState) const {
  return Key >= VK_LEFT && Key <= VK_DOWN;
}

void TCustomListBox::Paint(TCanvas &Canvas) {
  PrepareCanvas(Canvas, Font());
  Canvas.Brush().Color = Color();
  Canvas.FillRect(ClientRect());
  const Integer h = Canvas.TextHeight(u"Ag");
  for (Integer i = 0; i < FItems->Count(); ++i) {
    if (FSelected[static_cast<std::size_t>(i)]) {
      Canvas.Brush().Color = clHighlight;
      Canvas.FillRect(Rect(0, i * h, Width(), (i + 1) * h));
    }
    Canvas.TextOut(2, i * h, FItems->Get(i));
  }
}

// ---- TCustomGroupBox -----------------------------------------------------------------------

TCustomGroupBox::TCustomGroupBox(TComponent *AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 185, 105);
  SetControlStyle(TControlStyle(ControlStyle()).Include(csAcceptsControls));
}

void TCustomGroupBox::Paint(TCanvas &Canvas) {
  PrepareCanvas(Canvas, Font());
  Canvas.FrameRect(Rect(0, 6, Width(), Height()));
  Canvas.TextOut(8, 0, Caption());
}

} // namespace krx
