// A source of images for controls, asked by size and by image name; forms and frames of the
// toolkit answer it for the controls placed on them.
#pragma once

#include "Platform/Rtl/Intf.h"
#include "Platform/Vcl/Controls.h"
#include "Platform/Vcl/ImgList.h"

namespace krx {

class IKRXImageProvider : public virtual IInterface {
public:
  KRX_GUID("{F53A687B-B70F-466A-AAAD-21B591EB1C7C}");
  virtual TCustomImageList *GetScaledImageList(Integer Size, TCustomImageList *Source,
                                               TComponent *AOwner) = 0;
  virtual TCustomImageList *GetImageList(Integer Size, TComponent *AOwner) = 0;
  virtual String GetImageName(Integer ImageId) = 0;
  // -1 when the name is not found.
  virtual Integer ImageIndexByName(TCustomImageList *Images, const String &Name) = 0;
  // -1 when the image is not found.
  virtual Integer ImageIndexById(TCustomImageList *Images, Integer ImageId) = 0;
};

// The first of the control's parents (not the control itself) that is an image provider;
// null when none is.
IPtr<IKRXImageProvider> FindImageProvider(TControl *AControl);

// A copy of Source (same class, owned by AOwner) with its images. The copy keeps Source's
// size: resizing an image list clears it.
TCustomImageList *CopyImageList(TCustomImageList *Source, TComponent *AOwner);

} // namespace krx
