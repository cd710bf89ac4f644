// The members of this revision's key-bindings frame that differ from the other revision's (the
// rest is KeyBindFrames.cpp): the frame makes its own PNG image list holding the "Warnings"
// image and gives it to the list view.
#include "Controls/KeyBindFrames.h"

#include "Platform/Rtl/Streams.h"

namespace krx {

namespace {

constexpr Byte kWarningsPng[] = {
#include "Controls/KeyBindWarnings.inc"
};

} // namespace

void TKRKeyBindingsFrame::CreateImages() {
  ImageList1 = new TPngImageList(this);
  ImageList1->SetName(u"ImageList1");
  TMemoryStream stream;
  stream.WriteBuffer(kWarningsPng, sizeof kWarningsPng);
  stream.SetPosition(0);
  TPngImage warnings;
  warnings.LoadFromStream(stream);
  const Integer index = ImageList1->AddPng(&warnings, clWindow);
  ImageList1->PngImages()->Items(index)->SetName(u"Warnings");
  FWarningsIndex = ImageList1->FindIndexByName(u"Warnings");
  ListView->SetSmallImages(ImageList1);
}

} // namespace krx
