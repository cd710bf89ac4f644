#include "Controls/KRX.Base.Frame.h"

#include "Controls/KRX.StyleSupport.h"

namespace krx {

TBaseFrame::TBaseFrame(TComponent *AOwner) : TFrame(AOwner) {}

// The subscription ends before the frame's controls go.
TBaseFrame::~TBaseFrame() { FStyleIntf = nullptr; }

void TBaseFrame::AfterConstruction() {
  TFrame::AfterConstruction();
  if (TKRXStyle::IsIDEStyle()) {
    TKRXStyle::ApplyTheme(this);
    FStyleIntf = TKRXStyle::Subscribe([this] { ApplyTheme(); });
    StyleChanged();
  }
}

void TBaseFrame::ApplyTheme() {
  if (!TKRXStyle::IsIDEStyle())
    return;
  TKRXStyle::ApplyTheme(this);
  StyleChanged();
  Invalidate();
}

} // namespace krx
