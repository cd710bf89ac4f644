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
    // A missing or empty font name keeps the name; a size that is no size keeps the size.
    if (reg.ValueExists(u"FontName"))
      if (const String name = reg.ReadString(u"FontName"); !name.empty())
        Font().SetName(name);
    const Integer size = reg.ReadInteger(u"FontSize");
    if (size > 0 && size <= kMaxThemeFontSize)
      Font().SetSize(size);
  } catch (const ERegistryException &) {
    // a missing or unreadable "FontSize": what was set stays
  }
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
