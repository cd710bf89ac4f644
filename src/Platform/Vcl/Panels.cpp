#include "Platform/Vcl/Panels.h"

#include "Platform/Vcl/TextDraw.h"

namespace krx {

const TClassInfo &TCustomPanel::StaticClassInfo() {
  static const TClassInfo info = TClassInfoBuilder<TCustomPanel>(&TWinControl::StaticClassInfo())
                                     .Enum(u"BevelOuter", TBevelCutNames, &TCustomPanel::BevelOuter,
                                           &TCustomPanel::SetBevelOuter)
                                     .Build();
  return info;
}

TCustomPanel::TCustomPanel(TComponent *AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 185, 41);
  SetControlStyle(TControlStyle(ControlStyle()).Include(csAcceptsControls));
}

void TCustomPanel::Paint(TCanvas &Canvas) {
  Canvas.Font().Assign(Font());
  if (FBevelOuter != bvNone)
    Canvas.FrameRect(ClientRect());
  TRect r = ClientRect();
  if (!Caption().empty())
    DrawTextW(Canvas, Caption(), r, DT_CENTER | DT_SINGLELINE);
}

TImage::TImage(TComponent *AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 105, 105); }

void TImage::SetPictureName(const String &Value) {
  FPictureName = Value;
  Invalidate();
}

void TImage::Paint(TCanvas &Canvas) { Canvas.DrawImage(0, 0, Width(), Height(), -1, FPictureName); }

const TClassInfo &TCustomRadioGroup::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCustomRadioGroup>(&TWinControl::StaticClassInfo())
          .Integer(u"ItemIndex", &TCustomRadioGroup::ItemIndex, &TCustomRadioGroup::SetItemIndex)
          .Default(-1)
          .Build();
  return info;
}

TCustomRadioGroup::TCustomRadioGroup(TComponent *AOwner)
    : TCustomGroupBox(AOwner), FItems(std::make_unique<TControlStrings>(TControlStrings::TListener{
                                   nullptr, nullptr, nullptr, [this] { UpdateButtons(); }})) {
  FItems->OnChange = [this](TObject *) { UpdateButtons(); };
}

// One radio button per item, stacked below the caption; the buttons belong to the group.
void TCustomRadioGroup::UpdateButtons() {
  for (TRadioButton *b : FButtons)
    delete b;
  FButtons.clear();
  for (Integer i = 0; i < FItems->Count(); ++i) {
    auto *b = new TRadioButton(nullptr);
    b->SetParent(this);
    b->SetBounds(8, 16 + i * 20, std::max(0, Width() - 16), 17);
    b->SetCaption(FItems->Get(i));
    b->OnClick = [this, i](TObject *) {
      if (!FUpdating)
        FItemIndex = i;
    };
    FButtons.push_back(b);
  }
  if (FItemIndex >= FItems->Count())
    FItemIndex = -1;
  SetItemIndex(FItemIndex);
}

void TCustomRadioGroup::SetItemIndex(Integer Value) {
  if (Value < -1 || Value >= FItems->Count())
    Value = -1;
  FItemIndex = Value;
  FUpdating = true;
  for (std::size_t i = 0; i < FButtons.size(); ++i)
    FButtons[i]->SetChecked(static_cast<Integer>(i) == Value);
  FUpdating = false;
}

TRadioButton *TCustomRadioGroup::Buttons(Integer Index) const {
  return FButtons.at(static_cast<std::size_t>(Index));
}

} // namespace krx
