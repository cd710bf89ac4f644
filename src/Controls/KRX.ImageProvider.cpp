#include "Controls/KRX.ImageProvider.h"

namespace krx {

IPtr<IKRXImageProvider> FindImageProvider(TControl *AControl) {
  for (TControl *c = AControl ? AControl->Parent() : nullptr; c; c = c->Parent())
    if (auto *provider = dynamic_cast<IKRXImageProvider *>(c))
      return IPtr<IKRXImageProvider>(provider);
  return nullptr;
}

TCustomImageList *CopyImageList(TCustomImageList *Source, TComponent *AOwner) {
  if (!Source)
    return nullptr;
  TCustomImageList *copy = Source->NewInstance(AOwner);
  copy->Assign(Source);
  return copy;
}

} // namespace krx
