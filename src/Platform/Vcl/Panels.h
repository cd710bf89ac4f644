// Panels and radio groups of the headless class library.
#pragma once

#include "Platform/Vcl/StdCtrls.h"

namespace krx {

#define KRX_TBEVELCUT(X) X(bvNone) X(bvLowered) X(bvRaised) X(bvSpace)
KRX_DECLARE_ENUM(TBevelCut, KRX_TBEVELCUT);

class TCustomPanel : public TWinControl {
  KRX_PUBLISHED(TCustomPanel)
public:
  explicit TCustomPanel(TComponent *AOwner);
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut Value) { FBevelOuter = Value; }

protected:
  void Paint(TCanvas &Canvas) override;

private:
  TBevelCut FBevelOuter = bvRaised;
};

class TPanel : public TCustomPanel {
public:
  using TCustomPanel::TCustomPanel;
};

// A picture on a form; only the picture's name is kept (the message dialogs' icons, glyphs).
class TImage : public TGraphicControl {
public:
  explicit TImage(TComponent *AOwner);
  const String &PictureName() const { return FPictureName; }
  void SetPictureName(const String &Value);

protected:
  void Paint(TCanvas &Canvas) override;

private:
  String FPictureName;
};

// A group of radio buttons, one per line of Items; ItemIndex is the checked one (-1 none).
class TCustomRadioGroup : public TCustomGroupBox {
  KRX_PUBLISHED(TCustomRadioGroup)
public:
  explicit TCustomRadioGroup(TComponent *AOwner);

  TStrings &Items() { return *FItems; }
  const TStrings &Items() const { return *FItems; }
  Integer ItemIndex() const { return FItemIndex; }
  void SetItemIndex(Integer Value);
  // The radio button of an item (the group makes one per item).
  TRadioButton *Buttons(Integer Index) const;

private:
  void UpdateButtons();

  std::unique_ptr<TControlStrings> FItems;
  std::vector<TRadioButton *> FButtons;
  Integer FItemIndex = -1;
  bool FUpdating = false;
};

class TRadioGroup : public TCustomRadioGroup {
public:
  using TCustomRadioGroup::TCustomRadioGroup;
};

} // namespace krx
