// The base of the system's frames: follows the IDE theme like the base form (re-theming on
// every style change) and tells descendants when the theme changes. In this revision the
// frame carries no image list and answers no image questions.
#pragma once

#include "Platform/Rtl/Intf.h"
#include "Platform/Vcl/Forms.h"

namespace krx {

class TBaseFrame : public TFrame {
public:
  explicit TBaseFrame(TComponent *AOwner);
  ~TBaseFrame() override;

  // Applies the IDE theme, StyleChanged, Invalidate; only while the IDE style is in use.
  void ApplyTheme();
  // A new parent (not null) re-applies the theme.
  void SetParent(TWinControl *AParent) override;

  bool Subscribed() const { return static_cast<bool>(FStyleIntf); }

protected:
  virtual void StyleChanged() {}

  void AfterConstruction() override;

private:
  IPtr<IInterface> FStyleIntf;
};

} // namespace krx
