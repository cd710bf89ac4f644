#include "KR4expt/JumpLocationParsers.h"

#include "Engine/ModuleExplorers.h"
#include "Engine/ParamLists.h"
#include "KR4expt/IDEPSAPI.h"

namespace krx {

namespace {

static_assert(static_cast<Integer>(TJumpKind::NestedType) + 1 == CodeItemKindNameCount);

TCodeItemKinds MemberKinds(TJumpKind kind, TSourceLanguageKind language) {
  switch (kind) {
  case TJumpKind::Field:
    return {ckField};
  case TJumpKind::Constructor:
  case TJumpKind::StaticCtor:
  case TJumpKind::Destructor:
  case TJumpKind::Procedure:
  case TJumpKind::Function:
  case TJumpKind::Operator:
    return {ckMethod};
  case TJumpKind::Property:
    return language == lanPascal ? TCodeItemKinds{ckProperty, ckEvent} : TCodeItemKinds{ckProperty};
  case TJumpKind::Event:
    return language == lanPascal ? TCodeItemKinds{ckProperty, ckEvent} : TCodeItemKinds{ckEvent};
  case TJumpKind::ResClause:
    return {ckResClause};
  case TJumpKind::NestedType:
    return {ckDelegate, ckFunctionPointer, ckMethodReference, ckEnum, ckUnhandledType};
  default:
    return {};
  }
}

TMethodKind WantedMethodKind(TJumpKind kind) {
  switch (kind) {
  case TJumpKind::Constructor:
  case TJumpKind::StaticCtor:
    return mkConstructor;
  case TJumpKind::Destructor:
    return mkDestructor;
  case TJumpKind::Operator:
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
      FJumpKind(static_cast<TJumpKind>(CodeItemKindFromName(KindName))), FLanguage(ALanguage),
      FMemberName(AMemberName), FParamText(AParamText), FFileName(AFileName) {}

bool TJumpLocationParser::Locate(Integer &Line, Integer &BodyLine) const {
  Line = 0;
  BodyLine = 0;
  if (FJumpKind < TJumpKind::Class || FClassName.empty() || FSource.empty())
    return false;
  std::unique_ptr<TModuleExplorer> explorer = ModuleExplorerRegistry().CreateExplorer(FLanguage);
  StringView member = FMemberName, subMember;
  if (const std::size_t at = member.find(u"::"); at != StringView::npos) {
    subMember = member.substr(at + 2);
    member = member.substr(0, at);
  }
  explorer->ModuleItem()->SetFileName(FFileName);
  explorer->ExploreText(FSource);
  const TModuleItem &module = *explorer->ModuleItem();
  KR_ASSERT(module.GetLanguageKind() == FLanguage);

  const TCodeItem *element = FindMember(module, member, subMember);
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

TCodeItem *TJumpLocationParser::FindMember(const TModuleItem &Module, StringView Member,
                                           StringView SubMember) const {
  TCandidates list;
  switch (FJumpKind) {
  case TJumpKind::ModuleProc:
    // Routines that include files hold at module level are the module's, in text order.
    CollectMembers(Module, FClassName, {ckProcedure}, list);
    return SelectByParams(list);
  case TJumpKind::EventType:
    Module.CollectChildren(FClassName, list, {ckDelegate}, true);
    return list.empty() ? nullptr : list.front();
  default:
    break;
  }
  KR_ASSERT(FJumpKind >= TJumpKind::Class && FJumpKind <= TJumpKind::NestedType);
  Integer index = 0;
  if (!FindClass(Module, FClassName, index))
    return nullptr;
  TCodeItem *cls = Module.GetType(index);
  if (FJumpKind == TJumpKind::Class)
    return cls;
  // A class declared more than once under one name (both branches of a conditional read):
  // the first declaration that has the member answers.
  for (Integer next = index; list.empty() && FindClass(Module, FClassName, next, next);)
    CollectCandidates(*Module.GetType(next++), Member, list);
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

void TJumpLocationParser::CollectCandidates(const TCodeItem &Class, StringView Member,
                                            TCandidates &List) const {
  CollectMembers(Class, Member, MemberKinds(FJumpKind, FLanguage), List);
  if (FJumpKind >= TJumpKind::Constructor && FJumpKind <= TJumpKind::Operator) {
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
  KR_ASSERT(FJumpKind == TJumpKind::Constructor || FJumpKind == TJumpKind::StaticCtor);
  std::size_t statics = 0;
  for (const TCodeItem *item : List)
    statics += IsStaticCtor(item) ? 1 : 0;
  // Keep the wanted sort only when it is there; otherwise every candidate stays.
  const bool wantStatic = FJumpKind == TJumpKind::StaticCtor;
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
