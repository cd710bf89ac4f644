#include "Platform/Vcl/Themes.h"

#include <algorithm>

namespace krx {

namespace {

struct TStyleState {
  std::vector<std::unique_ptr<TCustomStyleServices>> Styles; // the system style first
  TCustomStyleServices *Active = nullptr;
};

std::unique_ptr<TStyleState> gStyles;

TStyleState &Styles() {
  if (!gStyles)
    throw EStyleEngineException(u"Style engine not initialised");
  return *gStyles;
}

TCustomStyleServices *FindStyle(const String &Name) {
  for (auto &s : Styles().Styles)
    if (SameText(s->Name(), Name))
      return s.get();
  return nullptr;
}

// The system style's element colours: the platform's light look.
TColor SystemStyleColor(TStyleColor Color) {
  switch (Color) {
  case scEdit:
  case scListBox:
  case scListView:
  case scTreeView:
  case scComboBox:
  case scGrid:
    return clWindow;
  case scBorder:
    return clGray;
  default:
    return clBtnFace;
  }
}

} // namespace

TColor TCustomStyleServices::GetStyleColor(TStyleColor Color) const {
  auto it = FColors.find(Color);
  return it != FColors.end() ? it->second : SystemStyleColor(Color);
}

TColor TCustomStyleServices::GetStyleFontColor(TStyleFont Font) const {
  auto it = FFontColors.find(Font);
  if (it != FFontColors.end())
    return it->second;
  const StringView name = TStyleFontNames[Font];
  return name.find(u"Disabled") != StringView::npos ? clGrayText : clWindowText;
}

TColor TCustomStyleServices::GetSystemColor(TColor Color) const {
  auto it = FSystemColors.find(Color);
  return it != FSystemColors.end() ? it->second : Color;
}

bool TCustomStyleServices::GetElementColor(TThemedElement Element, TElementColor ElementColor,
                                           TColor &Color) const {
  auto it = FElementColors.find({Element, ElementColor});
  if (it == FElementColors.end())
    return false;
  Color = it->second;
  return true;
}

void TCustomStyleServices::DrawElement(TCanvas &Canvas, TThemedElement Element,
                                       const TRect &Rect) const {
  TColor fill = clInfoBk;
  GetElementColor(Element, ecFillColor, fill);
  const TColor saved = Canvas.Brush().Color;
  Canvas.Brush().Color = fill;
  Canvas.FillRect(Rect);
  Canvas.Brush().Color = saved;
}

bool TCustomStyleServices::IsSystemStyle() const { return this == TStyleManager::SystemStyle(); }

TCustomStyleServices *TStyleManager::ActiveStyle() { return Styles().Active; }

TCustomStyleServices *TStyleManager::SystemStyle() { return Styles().Styles.front().get(); }

bool TStyleManager::IsCustomStyleActive() { return ActiveStyle() != SystemStyle(); }

TCustomStyleServices *TStyleManager::RegisterStyle(std::unique_ptr<TCustomStyleServices> Style) {
  KR_ASSERT(Style != nullptr);
  if (FindStyle(Style->Name()))
    throw EStyleEngineException(Format(u"Style '%s' already registered", {Style->Name()}));
  Styles().Styles.push_back(std::move(Style));
  return Styles().Styles.back().get();
}

bool TStyleManager::TrySetStyle(const String &Name) {
  TCustomStyleServices *s = FindStyle(Name);
  if (!s)
    return false;
  Styles().Active = s;
  return true;
}

void TStyleManager::SetStyle(const String &Name) {
  if (!TrySetStyle(Name))
    throw EStyleEngineException(Format(u"Style '%s' not found", {Name}));
}

std::vector<String> TStyleManager::StyleNames() {
  std::vector<String> names;
  for (auto &s : Styles().Styles)
    names.push_back(s->Name());
  return names;
}

void TStyleManager::UnregisterStyle(TCustomStyleServices *Style) {
  auto &list = Styles().Styles;
  if (Style == ActiveStyle() || Style == SystemStyle())
    throw EStyleEngineException(u"Cannot unregister the active or the system style");
  std::erase_if(list, [Style](const auto &s) { return s.get() == Style; });
}

void TStyleManager::Initialize() {
  gStyles = std::make_unique<TStyleState>();
  gStyles->Styles.push_back(std::make_unique<TCustomStyleServices>(u"Windows", true));
  gStyles->Active = gStyles->Styles.front().get();
}

void TStyleManager::Finalize() { gStyles.reset(); }

TCustomStyleServices *StyleServices() { return TStyleManager::ActiveStyle(); }

void InitializeThemes() { TStyleManager::Initialize(); }
void FinalizeThemes() { TStyleManager::Finalize(); }

} // namespace krx
