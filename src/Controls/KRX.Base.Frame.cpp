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

void TBaseFrame::SetImageList(TCustomImageList *Value) {
  if (Value == FImageList)
    return;
  FImageList = Value;
  ImageListChanged();
}

void TBaseFrame::ApplyTheme() {
  if (!TKRXStyle::IsIDEStyle())
    return;
  TKRXStyle::ApplyTheme(this);
  StyleChanged();
  Invalidate();
}

void TBaseFrame::SetParent(TWinControl *AParent) {
  TFrame::SetParent(AParent);
  if (AParent) {
    ApplyTheme();
    ImageListChanged();
  }
}

void TBaseFrame::ChangeScale(Integer M, Integer D, bool isDpiChange) {
  TFrame::ChangeScale(M, D, isDpiChange);
  ScaleChanged();
}

TCustomImageList *TBaseFrame::GetScaledImageList(Integer, TCustomImageList *Source,
                                                 TComponent *AOwner) {
  return CopyImageList(Source, AOwner ? AOwner : this);
}

TCustomImageList *TBaseFrame::GetImageList(Integer, TComponent *AOwner) {
  return AOwner ? nullptr : FImageList;
}

String TBaseFrame::GetImageName(Integer) { return {}; }

Integer TBaseFrame::ImageIndexByName(TCustomImageList *Images, const String &Name) {
  return Images ? Images->GetIndexByName(Name) : -1;
}

Integer TBaseFrame::ImageIndexById(TCustomImageList *Images, Integer ImageId) {
  return ImageIndexByName(Images, GetImageName(ImageId));
}

} // namespace krx
