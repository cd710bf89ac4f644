#include "KR4expt/JumpLocationParsers.h"

#include "Engine/ModuleExplorers.h"
#include "Engine/ParamLists.h"
#include "KR4expt/IDEPSAPI.h"

namespace krx {

namespace {

// Indices of the link's kind-name table.
enum TJumpKind : Byte {
  jkNone,
  jkModule,
  jkClass,
  jkField,
  jkConstructor,
  jkStaticCtor,
  jkDestructor,
  jkProcedure,
  jkFunction,
  jkOperator,
  jkProperty,
  jkEvent,
  jkResClause,
  jkModuleProc,
  jkEventType,
  jkNestedType
};
static_assert(jkNestedType + 1 == CodeItemKindNameCount);

TCodeItemKinds MemberKinds(Byte kind, TSourceLanguageKind language) {
  switch (kind) {
  case jkField:
    return {ckField};
  case jkConstructor:
  case jkStaticCtor:
  case jkDestructor:
  case jkProcedure:
  case jkFunction:
  case jkOperator:
    return {ckMethod};
  case jkProperty:
    return language == lanPascal ? TCodeItemKinds{ckProperty, ckEvent} : TCodeItemKinds{ckProperty};
  case jkEvent:
    return language == lanPascal ? TCodeItemKinds{ckProperty, ckEvent} : TCodeItemKinds{ckEvent};
  case jkResClause:
    return {ckResClause};
  case jkNestedType:
    return {ckDelegate, ckFunctionPointer, ckMethodReference, ckEnum, ckUnhandledType};
  default:
    return {};
  }
}

TMethodKind WantedMethodKind(Byte kind) {
  switch (kind) {
  case jkConstructor:
  case jkStaticCtor:
    return mkConstructor;
  case jkDestructor:
    return mkDestructor;
  case jkOperator:
    return mkOperator;
  default:
    return mkMethod;
  }
}

// A class constructor: the Delphi explorer marks it as a class method; other explorers may
// mark it static.
bool IsStaticCtor(const TCodeItem *item) {
  const auto *proc = dynamic_cast<const TProcItem *>(item);
  return proc && (proc->HasDirective(pdStatic) || proc->HasDirective(pdClassMethod));
}

// Positions of items read from an include file count in that file, not in the edited one:
// such an item is answered by the line of the outermost include directive that holds it.
const TCodeItem *OutermostInclude(const TCodeItem *item) {
  const TCodeItem *found = nullptr;
  for (const TCodeItem *p = item; p; p = p->Owner())
    if (dynamic_cast<const TIncludeFileItem *>(p))
      found = p;
  return found;
}

// The members a class (or the module) declares with the name, in text order: its direct
// children, and the items of include files that stand in its body (they are its own as if
// written there).
void CollectMembers(const TCodeItem &owner, StringView name, TCodeItemKinds kinds,
                    std::vector<TCodeItem *> &list) {
  const TSourceLanguage &language = *owner.GetLanguage();
  for (Integer i = 0; i < owner.ChildCount(); ++i) {
    TCodeItem *child = owner.GetChild(i);
    if (dynamic_cast<const TIncludeFileItem *>(child))
      CollectMembers(*child, name, kinds, list);
    else if (kinds.Contains(child->Kind()) && language.SameIdent(child->Name(), name))
      list.push_back(child);
  }
}

} // namespace

TJumpLocationParser::TJumpLocationParser(const String &ASource, const String &KindName,
                                         const String &AClassName, const String &AMemberName,
                                         const String &AParamText, TSourceLanguageKind ALanguage,
                                         const String &AFileName)
    : FSource(ASource), FClassName(AClassName),
      FJumpKind(static_cast<Byte>(CodeItemKindFromName(KindName))), FLanguage(ALanguage),
      FMemberName(AMemberName), FParamText(AParamText), FFileName(AFileName) {}

bool TJumpLocationParser::Locate(Integer &Line, Integer &BodyLine) {
  Line = 0;
  BodyLine = 0;
  if (FJumpKind < jkClass || FClassName.empty() || FSource.empty())
    return false;
  std::unique_ptr<TModuleExplorer> explorer = ModuleExplorerRegistry().CreateExplorer(FLanguage);
  String subMember;
  if (const std::size_t at = FMemberName.find(u"::"); at != String::npos) {
    subMember = FMemberName.substr(at + 2);
    FMemberName.resize(at);
  }
  explorer->ModuleItem()->SetFileName(FFileName);
  explorer->ExploreText(FSource);
  const TModuleItem &module = *explorer->ModuleItem();
  KR_ASSERT(module.GetLanguageKind() == FLanguage);

  const TCodeItem *element = FindMember(module, subMember);
  if (auto *proc = dynamic_cast<const TProcItem *>(element); proc && proc->ImplRef())
    element = proc->ImplRef();
  if (!element)
    return true;
  if (const TCodeItem *include = OutermostInclude(element)) {
    Line = BodyLine = include->LineNr();
  } else if (auto *proc = dynamic_cast<const TProcItem *>(element)) {
    Line = proc->LineNr();
    BodyLine = std::min(proc->GetLastHeaderLine() + 1, proc->GetLastLine());
  } else {
    Line = BodyLine = element->LineNr();
  }
  return true;
}

TCodeItem *TJumpLocationParser::FindMember(const TModuleItem &Module, StringView SubMember) const {
  TCandidates list;
  switch (FJumpKind) {
  case jkModuleProc:
    // Routines that include files hold at module level are the module's, in text order.
    CollectMembers(Module, FClassName, {ckProcedure}, list);
    return SelectByParams(list);
  case jkEventType:
    Module.CollectChildren(FClassName, list, {ckDelegate}, true);
    return list.empty() ? nullptr : list.front();
  default:
    break;
  }
  KR_ASSERT(FJumpKind >= jkClass && FJumpKind <= jkNestedType);
  Integer index = 0;
  if (!FindClass(Module, FClassName, index))
    return nullptr;
  TCodeItem *cls = Module.GetType(index);
  if (FJumpKind == jkClass)
    return cls;
  // A class declared more than once under one name (both branches of a conditional read):
  // the first declaration that has the member answers.
  for (Integer next = index; list.empty() && FindClass(Module, FClassName, next, next);)
    CollectCandidates(*Module.GetType(next++), list);
  TCodeItem *chosen = SelectByParams(list);
  if (!chosen)
    return cls;
  if (!SubMember.empty() && dynamic_cast<TPropertyItem *>(chosen)) {
    Integer sub = 0;
    if (chosen->FindChildOfKinds(SubMember, {ckMethod}, sub))
      return chosen->GetChild(sub);
  }
  return chosen;
}

void TJumpLocationParser::CollectCandidates(const TCodeItem &Class, TCandidates &List) const {
  CollectMembers(Class, FMemberName, MemberKinds(FJumpKind, FLanguage), List);
  if (FJumpKind >= jkConstructor && FJumpKind <= jkOperator) {
    const TMethodKind wanted = WantedMethodKind(FJumpKind);
    for (std::size_t i = List.size(); i-- > 0;) {
      const auto *proc = dynamic_cast<const TProcItem *>(List[i]);
      if (!proc || NormalizeMethodKind(proc->MethodKind()) != wanted)
        List.erase(List.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (wanted == mkConstructor && List.size() > 1)
      FilterHits(List);
  }
}

bool TJumpLocationParser::FindClass(const TModuleItem &Module, StringView Name, Integer &Index,
                                    Integer From) const {
  const TSourceLanguage &language = *Module.GetLanguage();
  for (Integer i = From; i < Module.GetTypeCount(); ++i) {
    const TTypeItem *type = Module.GetType(i);
    if (ClassifierItemKinds.Contains(type->Kind()) &&
        language.SameIdent(type->GetQualifiedName(), Name)) {
      Index = i;
      return true;
    }
  }
  return false;
}

void TJumpLocationParser::FilterHits(TCandidates &List) const {
  KR_ASSERT(FJumpKind == jkConstructor || FJumpKind == jkStaticCtor);
  std::size_t statics = 0;
  for (const TCodeItem *item : List)
    statics += IsStaticCtor(item) ? 1 : 0;
  // Keep the wanted sort only when it is there; otherwise every candidate stays.
  const bool wantStatic = FJumpKind == jkStaticCtor;
  if (wantStatic ? statics == 0 : statics == List.size())
    return;
  std::erase_if(List, [&](const TCodeItem *item) { return IsStaticCtor(item) != wantStatic; });
}

TCodeItem *TJumpLocationParser::SelectByParams(const TCandidates &List) const {
  if (List.empty())
    return nullptr;
  if (List.size() == 1)
    return List.front();
  const String wanted = ParamSignature(FParamText, FLanguage);
  for (TCodeItem *item : List) {
    if (auto *proc = dynamic_cast<const TProcItem *>(item)) {
      if (AnsiSameText(proc->GetParamText(), wanted))
        return item;
    } else if (auto *prop = dynamic_cast<const TPropertyItem *>(item)) {
      if (AnsiSameText(prop->GetArrayParamText(), wanted))
        return item;
    }
  }
  return List.front();
}

} // namespace krx
