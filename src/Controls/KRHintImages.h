// The hint glyph: a 16 x 16 graphic control placed right of the control it explains, whose hint
// comes up after a short pause. It draws an image of an image list, or the built-in glyph (the
// module's RCDATA resource "KRHintImage", loaded at unit start-up).
#pragma once

#include "Platform/Vcl/ImgList.h"
#include "Platform/Vcl/PngImage.h"
#include "Platform/Vcl/StdCtrls.h"

#include <memory>

namespace krx {

class TKRHintImage : public TGraphicControl {
  KRX_PUBLISHED(TKRHintImage)
public:
  explicit TKRHintImage(TComponent *AOwner);
  ~TKRHintImage() override;

  TControl *RefControl() const { return FRefControl; }
  void SetRefControl(TControl *Value);
  Integer ImageIndex() const { return FImageIndex; }
  void SetImageIndex(Integer Value);
  const String &ImageName() const { return FImageName; }
  void SetImageName(const String &Value);
  TCustomImageList *Images() const { return FImages; }
  void SetImages(TCustomImageList *Value);

  void SetParent(TWinControl *AParent) override;
  // Places the glyph right of its reference control, as loading the form does; a form built
  // in code, which loads nothing, calls it once its controls have their bounds.
  void AlignToRefControl();

protected:
  void Loaded() override;
  void Notification(TComponent *AComponent, TOperation Operation) override;
  void WndProc(TMessage &Message) override;
  void Paint(TCanvas &Canvas) override;

private:
  void ImageListChange();
  void SetupImages();

  std::unique_ptr<TChangeLink> FChangeLink;
  Integer FImageIndex = -1;
  String FImageName;
  TCustomImageList *FImages = nullptr;
  TControl *FRefControl = nullptr;
};

// The built-in glyph (null outside the unit's lifetime).
const TPngImage *HintGlyph();

// Loads the glyph from this module's resources; a missing resource raises EResNotFound.
void KRHintImagesInitialization();
void KRHintImagesFinalization();

} // namespace krx
