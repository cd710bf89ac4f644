// Parameter lists of routines and indexed properties: parsed from the text between the
// brackets of a declaration, written back in a normal form, and reduced to the signature
// by which overloads are told apart.
#pragma once

#include "Common/DataTyp.h"
#include "Platform/Rtl/SysUtils.h"

#include <memory>
#include <vector>

namespace krx {

// Silent: carries its message, but the application's handler does not show it.
KRX_DECLARE_EXCEPTION(EParamListError, EAbort);

// 0 none, 1 const, 2 var, 3 out, 4 ref, 5 params, 6 this.
using TParamModifier = Byte;
inline constexpr TParamModifier pmNone = 0, pmConst = 1, pmVar = 2, pmOut = 3;

// The word of a modifier; the Pascal parser produces only 0 to 3, and any other value is an
// internal error here.
String ModifierText(TParamModifier modifier);

class TParam {
public:
  virtual ~TParam() = default;

  String Name;
  TParamModifier Modifier = pmNone;
  String TypeText;
  String DefaultValue;

  // The part of a parameter signature that this parameter contributes.
  virtual String TypeSignature() const = 0;
  virtual bool IsSupported() const = 0;
  // A value that is not blank must tokenize without an invalid token; stored trimmed.
  virtual void SetDefaultValue(StringView value);
  virtual String GetName() const { return Name; }
  virtual bool SameName(StringView name) const { return SameText(Name, name); }
  virtual String GetAsText() const = 0;
};

class TPascalParam : public TParam {
public:
  // The type ("&" when empty) with normalised white space, as its Hungarian prefix.
  String TypeSignature() const override;
  bool IsSupported() const override { return true; }
  // "const A: Integer = 0".
  String GetAsText() const override;
};

class TParamList {
public:
  explicit TParamList(TSourceLanguageKind language = lanPascal);

  void Clear();
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  TParam &Items(Integer index) const;
  TParam &operator[](Integer index) const { return Items(index); }
  void Insert(Integer index, std::unique_ptr<TParam> param);
  TParam &AddParam(Integer index, TParamModifier modifier, StringView defaultValue,
                   StringView typeText, StringView name);
  // Clears the list and fills it from a parameter text; raises EParamListError.
  void Parse(StringView text);
  // "+" followed by the parameters' type signatures joined by "+"; "+" for no parameters.
  String GetSignature() const;

  TSourceLanguageKind Language() const { return FLanguage; }
  // Set when the text held an attribute in square brackets.
  bool HasAttributes() const { return FHasAttributes; }
  void SetHasAttributes(bool value) { FHasAttributes = value; }

private:
  TSourceLanguageKind FLanguage;
  bool FHasAttributes = false;
  std::vector<std::unique_ptr<TParam>> FItems;
};

// A new list parsed from the text; raises EParamListError.
std::unique_ptr<TParamList> ParseParamList(StringView text, TSourceLanguageKind language);
// The signature of a parameter text: "+" for a blank text, "+" followed by the text unchanged
// when it does not parse. Never raises.
String ParamSignature(StringView text, TSourceLanguageKind language);
// Whether ParamSignature(text) is that of an empty list ("+"), found without writing the
// signature of more than the first parameters.
bool IsEmptyParamSignature(StringView text, TSourceLanguageKind language);

} // namespace krx
