// Speed buttons (flat tool buttons that take no focus) and the kinds of the class library's bitmap
// buttons, which the system's kind buttons reuse.
#pragma once

#include "Platform/Vcl/Controls.h"

namespace krx {

#define KRX_TBITBTNKIND(X)                                                                         \
  X(bkCustom)                                                                                      \
  X(bkOK)                                                                                          \
  X(bkCancel) X(bkHelp) X(bkYes) X(bkNo) X(bkClose) X(bkAbort) X(bkRetry) X(bkIgnore) X(bkAll)
KRX_DECLARE_ENUM(TBitBtnKind, KRX_TBITBTNKIND);

class TSpeedButton : public TGraphicControl {
  KRX_PUBLISHED(TSpeedButton)
public:
  explicit TSpeedButton(TComponent *AOwner);

  bool Flat() const { return FFlat; }
  void SetFlat(bool Value) { FFlat = Value; }

protected:
  void Paint(TCanvas &Canvas) override;

private:
  bool FFlat = false;
};

} // namespace krx
