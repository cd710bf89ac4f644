// The base of every dialog of the system: a form that follows the IDE theme (font, colours,
// re-theming on every change of the IDE theme), hides its controls during a per-monitor DPI
// change, lets Ctrl+Enter confirm the dialog through its default button, and answers the
// image questions for the controls placed on it. Also two small routines of the expert:
// SafeSetFocus and SetupLabelFont.
#pragma once

#include "Controls/KRX.FormDPIChangeHandler.h"
#include "Controls/KRX.ImageProvider.h"
#include "Platform/Vcl/Forms.h"

#include <memory>

namespace krx {

class TBaseForm : public TForm, public IKRXImageProvider {
public:
  explicit TBaseForm(TComponent *AOwner);
  ~TBaseForm() override;

  // Re-applies the IDE theme (register the form class, apply the theme, StyleChanged,
  // Invalidate) while the IDE style is in use; nothing otherwise.
  void ApplyTheme();

  // The form is no counted object: its owner frees it.
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
  TCustomImageList *GetScaledImageList(Integer Size, TCustomImageList *Source,
                                       TComponent *AOwner) override;
  TCustomImageList *GetImageList(Integer Size, TComponent *AOwner) override;
  String GetImageName(Integer ImageId) override;
  Integer ImageIndexByName(TCustomImageList *Images, const String &Name) override;
  Integer ImageIndexById(TCustomImageList *Images, Integer ImageId) override;

  // Whether a style-change subscription exists (for tests).
  bool Subscribed() const { return static_cast<bool>(FStyleIntf); }

  // Ctrl+Enter typed in a control that does not take it confirms (see KeyDown).
  bool DialogKey(Word Key, TShiftState Shift) override;

protected:
  // Hooks, empty here: after the IDE theme was applied; after the description was read and
  // before the DPI-change handler exists; at the end of ChangeScale.
  virtual void StyleChanged() {}
  virtual void InitForm() {}
  // Font of the IDE theme (only while the IDE style is in use).
  virtual void SetupFont();
  virtual void ScaleChanged() {}

  void Created() override;
  void AfterConstruction() override;
  void ChangeScale(Integer M, Integer D, bool isDpiChange) override;
  // Ctrl+Enter (exactly Ctrl) confirms through the default button when it is visible and
  // enabled; the key is then used up. The form sees it when it has the focus itself (or with
  // KeyPreview), and as a dialog key where the focused control does not take it.
  void KeyDown(Word &Key, TShiftState Shift) override;

  TCustomImageList *FImageList = nullptr; // not owned

private:
  bool ConfirmByCtrlEnter(Word Key, TShiftState Shift);

  IPtr<IInterface> FStyleIntf;
  std::unique_ptr<TFormDPIChangeHandler> FFormDpiChangeHandler;
};

// Focuses the control when it can take the focus; the class library's refusal
// (EInvalidOperation) is swallowed, other exceptions pass.
void SafeSetFocus(TWinControl *AControl);
// ParentFont on, then the font colour (unless clNone) and the style.
void SetupLabelFont(TControl *ALabel, TColor AColor, TFontStyles AStyle);

} // namespace krx
