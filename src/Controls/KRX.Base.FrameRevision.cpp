// The members of the base frame that this revision's frame has beyond those every revision
// shares (KRX.Base.Frame.cpp): the image list, the image answers and the scale hook.
#include "Controls/KRX.Base.Frame.h"

namespace krx {

void TBaseFrame::SetImageList(TCustomImageList *Value) {
  if (Value == FImageList)
    return;
  FImageList = Value;
  ImageListChanged();
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
