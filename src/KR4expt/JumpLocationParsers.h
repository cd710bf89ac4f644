// The jump-location finder: Kestrune names a declared code element by a jump-kind name, a
// class name, a member name (optionally "property::method") and a parameter text; the finder
// parses the editor's text of the file with the explorer registered for its language and
// answers the 0-based line of the element and the line where its body begins.
//
// A finder holds one request; Locate parses the text anew at each call and leaves the finder as
// it was. Nothing is cached.
#pragma once

#include "Common/DataTyp.h"
#include "Engine/CodeItems.h"

#include <vector>

namespace krx {

// What a request asks for: the index of its kind name in the link's code-item kind-name table.
enum class TJumpKind : Byte {
  None,
  Module,
  Class,
  Field,
  Constructor,
  StaticCtor,
  Destructor,
  Procedure,
  Function,
  Operator,
  Property,
  Event,
  ResClause,
  ModuleProc,
  EventType,
  NestedType
};

class TJumpLocationParser {
public:
  // JumpKind is the index of KindName in the link's code-item kind-name table (any case);
  // None when the name is empty or unknown. AFileName is the file the source text belongs to:
  // include files named in the text are looked up beside it (without it, only in the
  // explorer's include search folders). Nothing is parsed yet.
  TJumpLocationParser(const String &ASource, const String &KindName, const String &AClassName,
                      const String &AMemberName, const String &AParamText,
                      TSourceLanguageKind ALanguage, const String &AFileName = String());

  // False only for an unusable request (kind None or Module, empty class name or source).
  // Otherwise True, with both lines 0 when the element is not found. Errors in the source
  // do not stop the search. A language without an explorer raises the registry's exception.
  // A member name "Prop::Method" asks for the method Method of the property Prop.
  bool Locate(Integer &Line, Integer &BodyLine) const;

  const String &Source() const { return FSource; }
  const String &ClassName() const { return FClassName; }
  TJumpKind JumpKind() const { return FJumpKind; }
  TSourceLanguageKind Language() const { return FLanguage; }
  const String &MemberName() const { return FMemberName; }
  const String &ParamText() const { return FParamText; }
  const String &FileName() const { return FFileName; }

private:
  using TCandidates = std::vector<TCodeItem *>;

  // The first registered classifier from index From on whose qualified name is Name.
  bool FindClass(const TModuleItem &Module, StringView Name, Integer &Index,
                 Integer From = 0) const;
  // The members of the class named Member that may answer the request.
  void CollectCandidates(const TCodeItem &Class, StringView Member, TCandidates &List) const;
  // Constructors only: keeps the instance (or, for "static.ctor", the class) constructors
  // when there are any.
  void FilterHits(TCandidates &List) const;
  TCodeItem *SelectByParams(const TCandidates &List) const;
  TCodeItem *FindMember(const TModuleItem &Module, StringView Member, StringView SubMember) const;

  String FSource;
  String FClassName;
  TJumpKind FJumpKind = TJumpKind::None;
  TSourceLanguageKind FLanguage = lanUndefined;
  String FMemberName;
  String FParamText;
  String FFileName;
};

} // namespace krx
