// The jump-location finder: Kestrune names a declared code element by a jump-kind name, a
// class name, a member name (optionally "property::method") and a parameter text; the finder
// parses the editor's text of the file with the explorer registered for its language and
// answers the 0-based line of the element and the line where its body begins.
//
// One finder serves one request: create it, call Locate once, free it. Nothing is cached.
#pragma once

#include "Common/DataTyp.h"
#include "Engine/CodeItems.h"

#include <vector>

namespace krx {

class TJumpLocationParser {
public:
  // JumpKind is the index of KindName in the link's code-item kind-name table (any case);
  // 0 when the name is empty or unknown. AFileName is the file the source text belongs to:
  // include files named in the text are looked up beside it (without it, only in the
  // explorer's include search folders). Nothing is parsed yet.
  TJumpLocationParser(const String &ASource, const String &KindName, const String &AClassName,
                      const String &AMemberName, const String &AParamText,
                      TSourceLanguageKind ALanguage, const String &AFileName = String());

  // False only for an unusable request (kind 0 or "module", empty class name or source).
  // Otherwise True, with both lines 0 when the element is not found. Errors in the source
  // do not stop the search. A language without an explorer raises the registry's exception.
  bool Locate(Integer &Line, Integer &BodyLine);

  const String &Source() const { return FSource; }
  const String &ClassName() const { return FClassName; }
  Byte JumpKind() const { return FJumpKind; }
  TSourceLanguageKind Language() const { return FLanguage; }
  const String &MemberName() const { return FMemberName; }
  const String &ParamText() const { return FParamText; }
  const String &FileName() const { return FFileName; }

private:
  using TCandidates = std::vector<TCodeItem *>;

  // The first registered classifier from index From on whose qualified name is Name.
  bool FindClass(const TModuleItem &Module, StringView Name, Integer &Index,
                 Integer From = 0) const;
  // The members of the class that may answer the request.
  void CollectCandidates(const TCodeItem &Class, TCandidates &List) const;
  // Constructors only: keeps the instance (or, for "static.ctor", the class) constructors
  // when there are any.
  void FilterHits(TCandidates &List) const;
  TCodeItem *SelectByParams(const TCandidates &List) const;
  TCodeItem *FindMember(const TModuleItem &Module, StringView SubMember) const;

  String FSource;
  String FClassName;
  Byte FJumpKind = 0;
  TSourceLanguageKind FLanguage = lanUndefined;
  String FMemberName;
  String FParamText;
  String FFileName;
};

} // namespace krx
