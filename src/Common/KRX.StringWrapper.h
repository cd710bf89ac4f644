// Breaks long lines of Pascal source into lines no wider than a wrap width, at delimiters in
// front of tokens, and indents the continuation lines.
#pragma once

#include "Common/DataTyp.h"
#include "Platform/Rtl/CharSet.h"
#include "Platform/Rtl/Classes.h"

namespace krx {

class TStringWrapper {
public:
  // `strings` receives the wrapped lines; it is not owned and must not be null.
  TStringWrapper(TStrings *strings, Integer indention, Integer wrapWidth, Integer tabWidth);
  virtual ~TStringWrapper() = default;

  // Appends the wrapped form of one line.
  void WrapString(StringView line);
  void WrapStrings(const TStrings &lines);

  Integer WrapWidth() const { return FWrapWidth; }
  // Values below 40 become 40.
  void SetWrapWidth(Integer value);
  Integer Indention() const { return FIndention; }
  // Capped to 0 .. half the current wrap width.
  void SetIndention(Integer value);
  Integer TabWidth() const { return FTabWidth; }
  // Values of 0 or less become 1.
  void SetTabWidth(Integer value);
  bool UseTabs() const { return FUseTabs; }
  void SetUseTabs(bool value) { FUseTabs = value; }
  TSourceLanguageKind Language() const { return FLanguage; }
  // Kept for the caller; breaks are always searched reading the text as Pascal.
  void SetLanguage(TSourceLanguageKind value) { FLanguage = value; }

protected:
  // The 1-based index of the delimiter after which the line is broken; the line's length
  // when there is none.
  virtual Integer FindBreak(StringView line);

  TSysCharSet FDelimiters;
  Integer FIndention = 0;
  TSourceLanguageKind FLanguage = lanPascal;
  TStrings *FStrings;
  Integer FTabWidth = 1;
  bool FUseTabs = false;
  Integer FWrapWidth = 40;
};

} // namespace krx
