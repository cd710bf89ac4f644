// Helpers of the class library's tests: a form owned by the test, a small push button (the
// standard controls live elsewhere) and a control that takes typed characters.
#pragma once

#include "Platform/Vcl/Forms.h"

#include <gtest/gtest.h>

#include <memory>

namespace krx::test {

// A button for dialog tests: clicking sets the form's ModalResult; Enter clicks the default
// button and Escape the cancel button while they can take the focus.
class TTestButton : public TWinControl {
public:
  explicit TTestButton(TComponent *AOwner) : TWinControl(AOwner) { SetTabStop(true); }
  bool Default = false;
  bool Cancel = false;
  TModalResult ModalResult = mrNone;
  void Click() override {
    if (TCustomForm *form = GetParentForm(this); form && ModalResult != mrNone)
      form->SetModalResult(ModalResult);
    TWinControl::Click();
  }
  bool DialogKey(Word Key, TShiftState Shift) override {
    if (((Key == VK_RETURN && Default) || (Key == VK_ESCAPE && Cancel)) && Shift.Empty() &&
        CanFocus()) {
      Click();
      return true;
    }
    return false;
  }
};

// Keeps typed characters.
class TTestEdit : public TWinControl {
public:
  explicit TTestEdit(TComponent *AOwner) : TWinControl(AOwner) { SetTabStop(true); }
  void DefaultChar(Char Key) override { SetText(Text() + Key); }
};

template <class F = TForm> std::unique_ptr<F> NewForm() {
  return std::unique_ptr<F>(TCustomForm::CreateNew<F>(nullptr));
}

template <class C> C *Add(TWinControl *Parent, const String &Name, TRect Bounds) {
  auto *c = new C(GetParentForm(Parent) ? static_cast<TComponent *>(GetParentForm(Parent)) : Parent);
  c->SetName(Name);
  c->SetBoundsRect(Bounds);
  c->SetParent(Parent);
  return c;
}

} // namespace krx::test
