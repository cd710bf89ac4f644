// The pieces of Pascal names that the tokenizer helper reads and every revision shares: the
// parts of a dotted name with their generic arguments, and the generic parameter list model.
#pragma once

#include "Platform/Rtl/Generics.h"
#include "Platform/Rtl/SysUtils.h"
#include "Platform/Rtl/System.h"

#include <memory>
#include <vector>

namespace krx {

// One part of a dotted name (the type's name is spelled so by design).
struct TGenericIdentifer {
  String Name;
  // The generic part in angle brackets that followed the name, or "<>"; empty if none.
  String GenericText;
  // Number of generic parameters or arguments, 0 if none.
  Integer GenericCount = 0;
};

// A dotted name read part by part.
using TGenericIdentPath = std::vector<TGenericIdentifer>;

class TGenericParam : public TObject {
public:
  TGenericParam() = default;
  TGenericParam(String attributes, String name, String constraints)
      : Attributes(std::move(attributes)), Constraints(std::move(constraints)),
        Name(std::move(name)) {}

  // Each attribute in square brackets followed by a blank, the trailing blank removed.
  String Attributes;
  // Joined by ", ".
  String Constraints;
  String Name;
};

class TGenericParamList : public TObject {
public:
  TGenericParamList() = default;

  void Clear() { FItems.Clear(); }
  Integer Count() const { return FItems.Count(); }
  // Raises EArgumentOutOfRangeException for a bad index.
  TGenericParam &Items(Integer index) const { return *FItems[index]; }
  TGenericParam &operator[](Integer index) const { return Items(index); }
  TGenericParam &Add(const String &attributes, const String &name, const String &constraints);
  void Insert(Integer index, std::unique_ptr<TGenericParam> item);

  // "<[A] T; U, V: class>": neighbours without attributes and with the same constraints are
  // written as one group; an empty list gives an empty text.
  String GetAsText() const;
  // Fills the list from a text such as "<T: class; U>". A blank text gives an empty list; a
  // malformed one raises EGenericParamListError and leaves the list empty.
  void ParseText(const String &text);

private:
  TObjectList<TGenericParam> FItems;
};

// A silent abort: the parser's callers treat a malformed list as no list.
KRX_DECLARE_EXCEPTION(EGenericParamListError, EAbort);

// The first n parts, each name followed by its generic text, joined with ".";
// path must hold at least n parts.
String GenericIdentPathText(const TGenericIdentPath &path, Integer n);
// The first n parts in the form of the code items' generic lookup names ("TDictionary<,>");
// path must hold more than n parts.
String GenericIdentPathLookupName(const TGenericIdentPath &path, Integer n);

} // namespace krx
