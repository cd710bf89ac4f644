// The members of the key-bindings frame that differ between revisions (the rest is
// KeyBindFrames.cpp): in this revision the "Warnings" image comes from the frame's image list,
// which the base frame hands over when the frame gets a parent, and a scale change sets the
// duplicates label's font again.
#include "Controls/KeyBindFrames.h"

#include "Controls/KRX.Base.Form.h"

namespace krx {

// Nothing at creation: the images come with ImageListChanged.
void TKRKeyBindingsFrame::CreateImages() {}

void TKRKeyBindingsFrame::ScaleChanged() {
  TBaseFrame::ScaleChanged();
  SetupDuplicatesLabel();
}

// The frame's 16-pixel image list when it has a "Warnings" image; otherwise a list of the frame's
// own holding one, so duplicates always carry the image.
void TKRKeyBindingsFrame::ImageListChanged() {
  TBaseFrame::ImageListChanged();
  TCustomImageList *list = GetImageList(16, nullptr);
  FWarningsIndex = ImageIndexByName(list, u"Warnings");
  if (FWarningsIndex < 0) {
    if (!FOwnImages) {
      FOwnImages = new TImageList(this);
      FOwnImages->Add(u"Warnings");
    }
    list = FOwnImages;
    FWarningsIndex = 0;
  }
  if (ListView)
    ListView->SetSmallImages(list);
}

} // namespace krx
