// The base of the system's frames: follows the IDE theme like the base form (re-theming on
// every style change), answers the image questions for its controls, carries an image list
// that its owner sets, and tells descendants when the list, the theme or the scale changes.
#pragma once

#include "Controls/KRX.ImageProvider.h"
#include "Platform/Vcl/Forms.h"

namespace krx {

class TBaseFrame : public TFrame, public IKRXImageProvider {
public:
  explicit TBaseFrame(TComponent *AOwner);
  ~TBaseFrame() override;

  TCustomImageList *ImageList() const { return FImageList; }
  // Not owned and not watched; a new list calls ImageListChanged.
  void SetImageList(TCustomImageList *Value);

  // Applies the IDE theme, StyleChanged, Invalidate; only while the IDE style is in use.
  void ApplyTheme();
  // A new parent (not null) re-applies the theme and calls ImageListChanged.
  void SetParent(TWinControl *AParent) override;

  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
  TCustomImageList *GetScaledImageList(Integer Size, TCustomImageList *Source,
                                       TComponent *AOwner) override;
  TCustomImageList *GetImageList(Integer Size, TComponent *AOwner) override;
  String GetImageName(Integer ImageId) override;
  Integer ImageIndexByName(TCustomImageList *Images, const String &Name) override;
  Integer ImageIndexById(TCustomImageList *Images, Integer ImageId) override;

  bool Subscribed() const { return static_cast<bool>(FStyleIntf); }

protected:
  virtual void ImageListChanged() {}
  virtual void StyleChanged() {}
  virtual void ScaleChanged() {}

  void AfterConstruction() override;
  void ChangeScale(Integer M, Integer D, bool isDpiChange) override;

private:
  IPtr<IInterface> FStyleIntf;
  TCustomImageList *FImageList = nullptr;
};

} // namespace krx
