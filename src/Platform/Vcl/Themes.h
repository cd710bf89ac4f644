// Style services and the style manager of the headless class library. A style is a named
// table of element colours and font colours plus a mapping of system colours; the style
// manager holds the registered styles and the active one. The system style (the platform's
// own look) is always registered and active until another style is set.
#pragma once

#include "Platform/Vcl/Graphics.h"

#include <map>
#include <memory>
#include <utility>

namespace krx {

#define KRX_TSTYLECOLOR(X)                                                                         \
  X(scBorder) X(scButtonDisabled) X(scButtonFocused) X(scButtonHot) X(scButtonNormal)             \
      X(scButtonPressed) X(scCategoryButtons) X(scCategoryButtonsGradientBase)                     \
          X(scCategoryButtonsGradientEnd) X(scCategoryPanelGroup) X(scComboBox)                    \
              X(scComboBoxDisabled) X(scEdit) X(scEditDisabled) X(scGrid)                          \
                  X(scGenericBackground) X(scGenericGradientBase) X(scGenericGradientEnd)          \
                      X(scHintGradientBase) X(scHintGradientEnd) X(scListBox)                      \
                          X(scListBoxDisabled) X(scListView) X(scPanel) X(scPanelDisabled)         \
                              X(scSplitter) X(scToolBarGradientBase) X(scToolBarGradientEnd)       \
                                  X(scTreeView) X(scWindow)
KRX_DECLARE_ENUM(TStyleColor, KRX_TSTYLECOLOR);

#define KRX_TSTYLEFONT(X)                                                                          \
  X(sfButtonTextDisabled) X(sfButtonTextFocused) X(sfButtonTextHot) X(sfButtonTextNormal)          \
      X(sfButtonTextPressed) X(sfCaptionTextInactive) X(sfCaptionTextNormal)                       \
          X(sfCheckBoxTextDisabled) X(sfCheckBoxTextNormal) X(sfComboBoxItemNormal)                \
              X(sfEditBoxTextDisabled) X(sfEditBoxTextNormal) X(sfEditBoxTextSelected)             \
                  X(sfHeaderSectionTextNormal) X(sfListItemTextDisabled)                           \
                      X(sfListItemTextNormal) X(sfListItemTextSelected) X(sfPanelTextDisabled)     \
                          X(sfPanelTextNormal) X(sfTabTextActiveNormal) X(sfTabTextInactiveNormal) \
                              X(sfTextLabelNormal) X(sfTextLabelDisabled) X(sfWindowTextNormal)    \
                                  X(sfWindowTextDisabled)
KRX_DECLARE_ENUM(TStyleFont, KRX_TSTYLEFONT);

// Elements of the platform's look that a style paints (the class library's element details):
// the hint window and the standard tooltip.
#define KRX_TTHEMEDELEMENT(X) X(thHintNormal) X(tttStandardNormal)
KRX_DECLARE_ENUM(TThemedElement, KRX_TTHEMEDELEMENT);
#define KRX_TELEMENTCOLOR(X) X(ecFillColor) X(ecGradientColor1) X(ecGradientColor2) X(ecTextColor)
KRX_DECLARE_ENUM(TElementColor, KRX_TELEMENTCOLOR);

class TCustomStyleServices : public TObject {
public:
  TCustomStyleServices(String Name, bool Enabled) : FName(std::move(Name)), FEnabled(Enabled) {}

  const String &Name() const { return FName; }
  // Whether the style paints the controls (a styled look); the system style is enabled
  // while the platform's themes are on.
  virtual bool Enabled() const { return FEnabled; }
  virtual TColor GetStyleColor(TStyleColor Color) const;
  virtual TColor GetStyleFontColor(TStyleFont Font) const;
  // The style's value of a system colour; other colours unchanged.
  virtual TColor GetSystemColor(TColor Color) const;
  bool IsSystemStyle() const;
  // A colour of an element; False, with Color unchanged, when the style gives none.
  virtual bool GetElementColor(TThemedElement Element, TElementColor ElementColor,
                               TColor &Color) const;
  // Paints the element over Rect: a fill in its fill colour (the platform's tooltip background,
  // clInfoBk, when the style gives none).
  virtual void DrawElement(TCanvas &Canvas, TThemedElement Element, const TRect &Rect) const;

  // Fill the style's tables (for styles built in code and for tests).
  void SetStyleColor(TStyleColor Color, TColor Value) { FColors[Color] = Value; }
  void SetStyleFontColor(TStyleFont Font, TColor Value) { FFontColors[Font] = Value; }
  void SetSystemColor(TColor SystemColor, TColor Value) { FSystemColors[SystemColor] = Value; }
  void SetElementColor(TThemedElement Element, TElementColor ElementColor, TColor Value) {
    FElementColors[{Element, ElementColor}] = Value;
  }
  void SetEnabled(bool Value) { FEnabled = Value; }

private:
  String FName;
  bool FEnabled;
  std::map<TStyleColor, TColor> FColors;
  std::map<TStyleFont, TColor> FFontColors;
  std::map<TColor, TColor> FSystemColors;
  std::map<std::pair<TThemedElement, TElementColor>, TColor> FElementColors;
};

// The registered styles and the active one. Process-wide; the unit "Themes" creates the
// system style ("Windows") and frees every registered style at its finalisation.
class TStyleManager {
public:
  static TCustomStyleServices *ActiveStyle();
  static TCustomStyleServices *SystemStyle();
  // A style other than the system style is active.
  static bool IsCustomStyleActive();
  // Takes the style; a style of that name already registered raises EStyleEngineException.
  static TCustomStyleServices *RegisterStyle(std::unique_ptr<TCustomStyleServices> Style);
  // Makes the registered style of that name (case ignored) active; False when none.
  static bool TrySetStyle(const String &Name);
  static void SetStyle(const String &Name);
  static std::vector<String> StyleNames();
  // Unregisters and frees a style that is not active.
  static void UnregisterStyle(TCustomStyleServices *Style);

  static void Initialize();
  static void Finalize();
};

KRX_DECLARE_EXCEPTION(EStyleEngineException, Exception);

// The class library's current style services (the active style).
TCustomStyleServices *StyleServices();

void InitializeThemes();
void FinalizeThemes();

} // namespace krx
