#include "Controls/KRX.Base.Form.h"

#include "Common/KRX.DelphiVersions.h"
#include "Common/RegUtils.h"
#include "Controls/KRX.StyleSupport.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Vcl/StdCtrls.h"

namespace krx {

namespace {
// The largest theme font size taken, in points (two inches). The key is outside data: a
// larger value is damage, and a size near the integer range would wrap the font's height.
constexpr Integer kMaxThemeFontSize = 144;
} // namespace

TBaseForm::TBaseForm(TComponent *AOwner) : TForm(AOwner) {}

TBaseForm::~TBaseForm() {
  // The subscription ends before anything of the form goes; the handler puts the form's
  // monitor-DPI events back.
  FStyleIntf = nullptr;
  FFormDpiChangeHandler.reset();
}

void TBaseForm::Created() {
  TForm::Created();
  // Ctrl+Enter must reach the form from whichever control has the focus.
  SetKeyPreview(true);
  InitForm();
  FFormDpiChangeHandler = std::make_unique<TFormDPIChangeHandler>(this);
}

void TBaseForm::AfterConstruction() {
  TForm::AfterConstruction();
  SetupFont();
  if (TKRXStyle::IsIDEStyle()) {
    TKRXStyle::RegisterFormClass(FormClassOf(*this));
    TKRXStyle::ApplyTheme(this);
    FStyleIntf = TKRXStyle::Subscribe([this] { ApplyTheme(); });
    StyleChanged();
  }
}

void TBaseForm::ApplyTheme() {
  if (!TKRXStyle::IsIDEStyle())
    return;
  TKRXStyle::RegisterFormClass(FormClassOf(*this));
  TKRXStyle::ApplyTheme(this);
  StyleChanged();
  Invalidate();
}

void TBaseForm::SetupFont() {
  if (!TKRXStyle::IsIDEStyle())
    return;
  Font().SetName(u"Segoe UI");
  Font().SetSize(9);
  try {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (!reg.OpenKey(BDSRegistryKey(ThisIDEVersion()) + u"\\Theme", false))
      return;
    // A key without a font name, or with a size that is no size, leaves the font alone.
    if (!reg.ValueExists(u"FontName"))
      return;
    const String name = reg.ReadString(u"FontName");
    if (!name.empty())
      Font().SetName(name);
    const Integer size = reg.ReadInteger(u"FontSize");
    if (size > 0 && size <= kMaxThemeFontSize)
      Font().SetSize(size);
  } catch (const ERegistryException &) {
    // a missing or unreadable "FontSize": what was set stays
  }
}

void TBaseForm::ChangeScale(Integer M, Integer D, bool isDpiChange) {
  TForm::ChangeScale(M, D, isDpiChange);
  ScaleChanged();
}

namespace {

// The first default button among the controls, at any depth.
TButton *FindDefaultButton(const TWinControl &Parent) {
  for (Integer i = 0; i < Parent.ControlCount(); ++i) {
    TControl *c = Parent.Controls(i);
    if (auto *button = dynamic_cast<TButton *>(c); button && button->Default())
      return button;
    if (auto *inner = dynamic_cast<TWinControl *>(c))
      if (TButton *button = FindDefaultButton(*inner))
        return button;
  }
  return nullptr;
}

} // namespace

void TBaseForm::KeyDown(Word &Key, TShiftState Shift) {
  TForm::KeyDown(Key, Shift);
  // Ctrl+Enter confirms the dialog as its default button does, whichever control has the
  // focus; a default button that is hidden or disabled confirms nothing.
  if (Key != VK_RETURN || Shift != TShiftState{ssCtrl})
    return;
  TButton *button = FindDefaultButton(*this);
  if (button && button->CanFocus()) {
    button->Click();
    Key = 0;
  }
}

TCustomImageList *TBaseForm::GetScaledImageList(Integer, TCustomImageList *Source,
                                                TComponent *AOwner) {
  return CopyImageList(Source, AOwner ? AOwner : this);
}

TCustomImageList *TBaseForm::GetImageList(Integer, TComponent *AOwner) {
  return AOwner ? nullptr : FImageList;
}

String TBaseForm::GetImageName(Integer) { return {}; }

Integer TBaseForm::ImageIndexByName(TCustomImageList *, const String &) { return -1; }

Integer TBaseForm::ImageIndexById(TCustomImageList *Images, Integer ImageId) {
  return ImageIndexByName(Images, GetImageName(ImageId));
}

void SafeSetFocus(TWinControl *AControl) {
  if (!AControl || !AControl->CanFocus())
    return;
  try {
    AControl->SetFocus();
  } catch (const EInvalidOperation &) {
  }
}

void SetupLabelFont(TControl *ALabel, TColor AColor, TFontStyles AStyle) {
  ALabel->SetParentFont(true);
  if (AColor != clNone)
    ALabel->Font().SetColor(AColor);
  ALabel->Font().SetStyle(AStyle);
}

} // namespace krx
