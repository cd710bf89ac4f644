// The base of every dialog of the system: a form that follows the IDE theme (font, colours,
// re-theming on every change of the IDE theme). Also two small routines of the expert:
// SafeSetFocus and SetupLabelFont. In this revision the form knows no per-monitor densities,
// answers no image questions, and Ctrl+Enter does not confirm a dialog.
#pragma once

#include "Platform/Rtl/Intf.h"
#include "Platform/Vcl/Forms.h"

namespace krx {

class TBaseForm : public TForm {
public:
  explicit TBaseForm(TComponent *AOwner);
  ~TBaseForm() override;

  // Re-applies the IDE theme (register the form class, apply the theme, StyleChanged,
  // Invalidate) while the IDE style is in use; nothing otherwise.
  void ApplyTheme();

  // Whether a style-change subscription exists (for tests).
  bool Subscribed() const { return static_cast<bool>(FStyleIntf); }

protected:
  // Hook, empty here: after the IDE theme was applied.
  virtual void StyleChanged() {}
  // Font of the IDE theme (only while the IDE style is in use).
  virtual void SetupFont();

  void AfterConstruction() override;

private:
  IPtr<IInterface> FStyleIntf;
};

// Focuses the control when it can take the focus; the class library's refusal
// (EInvalidOperation) is swallowed, other exceptions pass.
void SafeSetFocus(TWinControl *AControl);
// ParentFont on, then the font colour (unless clNone) and the style.
void SetupLabelFont(TControl *ALabel, TColor AColor, TFontStyles AStyle);

} // namespace krx
