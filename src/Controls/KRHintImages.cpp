#include "Controls/KRHintImages.h"

#include "Platform/Vcl/FormDescription.h"
#include "Platform/Vcl/Hints.h"
#include "Platform/Vcl/Resources.h"

#include <vector>

namespace krx {

namespace {

constexpr Byte kHintImagePng[] = {
#include "Controls/KRHintImage.inc"
};
KRX_EMBED_RESOURCE(kHintImageResource, RT_RCDATA, u"KRHintImage", kHintImagePng);

TPngImage *gGlyph = nullptr;
// The reference properties registered with the description reader.
std::vector<Integer> gReferences;

} // namespace

const TPngImage *HintGlyph() { return gGlyph; }

void KRHintImagesInitialization() {
  auto glyph = std::make_unique<TPngImage>();
  glyph->LoadFromResourceName(HInstance(), u"KRHintImage");
  gGlyph = glyph.release();
  RegisterComponentClass<TKRHintImage>(u"TKRHintImage");
  gReferences = {RegisterReferenceProperty<TKRHintImage, TControl>(u"RefControl",
                                                                   &TKRHintImage::SetRefControl),
                 RegisterReferenceProperty<TKRHintImage, TCustomImageList>(
                     u"Images", &TKRHintImage::SetImages)};
}

void KRHintImagesFinalization() {
  for (Integer id : gReferences)
    UnregisterReferenceProperty(id);
  gReferences.clear();
  UnregisterComponentClass(u"TKRHintImage");
  delete gGlyph;
  gGlyph = nullptr;
}

TKRHintImage::TKRHintImage(TComponent *AOwner)
    : TGraphicControl(AOwner), FChangeLink(std::make_unique<TChangeLink>()) {
  FChangeLink->OnChange = [this](TObject *) { ImageListChange(); };
  SetBounds(0, 0, gGlyph ? gGlyph->Width() : 16, gGlyph ? gGlyph->Height() : 16);
  SetControlStyle({});
  SetParentFont(true);
  SetColor(clBtnFace);
  SetShowHint(true);
}

TKRHintImage::~TKRHintImage() {
  SetRefControl(nullptr);
  SetImages(nullptr);
  FChangeLink.reset();
}

void TKRHintImage::Loaded() {
  TGraphicControl::Loaded();
  AlignToRefControl();
}

void TKRHintImage::Notification(TComponent *AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation != opRemove)
    return;
  if (AComponent == FRefControl)
    SetRefControl(nullptr);
  if (AComponent == FImages) {
    // The list is being destroyed (it has already let go of the change link): only forget it.
    FImages = nullptr;
    Invalidate();
  }
}

void TKRHintImage::SetRefControl(TControl *Value) {
  if (Value == FRefControl)
    return;
  if (FRefControl) {
    FRefControl->RemoveFreeNotification(this);
    // The label's resize handler is cleared only while it is still this glyph's.
    if (auto *label = dynamic_cast<TCustomLabel *>(FRefControl);
        label && label->OnResizeTarget == this) {
      label->OnResize = nullptr;
      label->OnResizeTarget = nullptr;
    }
  }
  FRefControl = Value;
  if (Value) {
    Value->FreeNotification(this);
    if (auto *label = dynamic_cast<TCustomLabel *>(Value)) {
      label->OnResize = [this](TObject *) { AlignToRefControl(); };
      label->OnResizeTarget = this;
    }
  }
}

void TKRHintImage::AlignToRefControl() {
  if (FRefControl)
    SetLeft(FRefControl->Left() + FRefControl->Width() + FRefControl->Margins().Right +
            Margins().Left);
}

void TKRHintImage::SetImages(TCustomImageList *Value) {
  if (Value == FImages)
    return;
  if (FImages) {
    FImages->UnRegisterChanges(FChangeLink.get());
    FImages->RemoveFreeNotification(this);
  }
  FImages = Value;
  if (Value) {
    Value->RegisterChanges(FChangeLink.get());
    Value->FreeNotification(this);
  }
  Invalidate();
}

void TKRHintImage::ImageListChange() {
  Integer w = 16, h = 16;
  if (FImages) {
    w = FImages->Width();
    h = FImages->Height();
  } else if (gGlyph) {
    w = gGlyph->Width();
    h = gGlyph->Height();
  }
  SetBounds(Left(), Top(), w, h);
  AlignToRefControl();
}

// The hint comes up after 100 ms instead of the application's pause.
void TKRHintImage::WndProc(TMessage &Message) {
  TGraphicControl::WndProc(Message);
  if (Message.Msg == CM_HINTSHOWPAUSE) {
    Message.Result = 1;
    if (auto *pause = reinterpret_cast<Integer *>(Message.LParam))
      *pause = 100;
  }
}

void TKRHintImage::Paint(TCanvas &Canvas) {
  if (FImages && FImageIndex >= 0)
    FImages->Draw(Canvas, 0, 0, FImageIndex, true);
  else
    Canvas.DrawImage(0, 0, gGlyph ? gGlyph->Width() : 16, gGlyph ? gGlyph->Height() : 16, -1,
                     u"KRHintImage");
  if (ComponentState().Contains(csDesigning) && FRefControl) {
    Canvas.Pen().Color = clRed;
    Canvas.Brush().Style = bsClear;
    Canvas.Rectangle(ClientRect());
  }
}

} // namespace krx
