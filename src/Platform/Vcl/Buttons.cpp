#include "Platform/Vcl/Buttons.h"

#include "Platform/Vcl/TextDraw.h"

namespace krx {

const TClassInfo &TSpeedButton::StaticClassInfo() {
  static const TClassInfo info = TClassInfoBuilder<TSpeedButton>(&TControl::StaticClassInfo())
                                     .Bool(u"Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat)
                                     .Default(0)
                                     .Build();
  return info;
}

TSpeedButton::TSpeedButton(TComponent *AOwner) : TGraphicControl(AOwner) {
  SetBounds(0, 0, 23, 22);
}

void TSpeedButton::Paint(TCanvas &Canvas) {
  Canvas.Font().Assign(Font());
  if (!FFlat)
    Canvas.FrameRect(ClientRect());
  TRect r = ClientRect();
  DrawTextW(Canvas, Caption(), r, DT_CENTER | DT_SINGLELINE);
}

} // namespace krx
