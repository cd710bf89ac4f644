// The members of the hint glyph that differ between revisions (the rest is KRHintImages.cpp):
// this revision's glyph knows its image by name too, and takes the "Hint" image of the
// nearest image provider when it gets a parent.
#include "Controls/KRHintImages.h"

#include "Controls/KRX.ImageProvider.h"

namespace krx {

const TClassInfo &TKRHintImage::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TKRHintImage>(&TControl::StaticClassInfo())
          .Integer(u"ImageIndex", &TKRHintImage::ImageIndex, &TKRHintImage::SetImageIndex)
          .Default(-1)
          .Str(u"ImageName", &TKRHintImage::ImageName, &TKRHintImage::SetImageName)
          .Build();
  return info;
}

void TKRHintImage::SetParent(TWinControl *AParent) {
  TGraphicControl::SetParent(AParent);
  if (AParent)
    SetupImages();
}

// Outside the designer the glyph takes the "Hint" image of the nearest image provider.
void TKRHintImage::SetupImages() {
  if (ComponentState().Contains(csDesigning))
    return;
  const IPtr<IKRXImageProvider> provider = FindImageProvider(this);
  if (!provider)
    return;
  TCustomImageList *list = provider->GetImageList(16, nullptr);
  SetImages(list);
  SetImageIndex(provider->ImageIndexByName(list, u"Hint"));
}

void TKRHintImage::SetImageIndex(Integer Value) {
  if (Value == FImageIndex)
    return;
  FImageIndex = Value;
  if (FImages && FImages->IsImageNameAvailable())
    FImageName = FImages->GetNameByIndex(Value);
  Invalidate();
}

void TKRHintImage::SetImageName(const String &Value) {
  if (Value == FImageName)
    return;
  FImageName = Value;
  if (FImages && FImages->IsImageNameAvailable())
    FImageIndex = FImages->GetIndexByName(Value);
  Invalidate();
}

} // namespace krx
