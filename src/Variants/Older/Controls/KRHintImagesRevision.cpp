// The members of this revision's hint glyph that differ from the other revision's (the rest is
// KRHintImages.cpp): the image is known by its index only.
#include "Controls/KRHintImages.h"

namespace krx {

const TClassInfo &TKRHintImage::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TKRHintImage>(&TControl::StaticClassInfo())
          .Integer(u"ImageIndex", &TKRHintImage::ImageIndex, &TKRHintImage::SetImageIndex)
          .Default(-1)
          .Build();
  return info;
}

void TKRHintImage::SetImageIndex(Integer Value) {
  if (Value == FImageIndex)
    return;
  FImageIndex = Value;
  Invalidate();
}

} // namespace krx
