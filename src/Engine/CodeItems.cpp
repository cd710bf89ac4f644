#include "Engine/CodeItems.h"

#include "Common/KRX.StringWrapper.h"
#include "Engine/ParamLists.h"
#include "Engine/Prefs.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Rtl/Character.h"
#include "World/ClassEx.h"
#include "World/KRStrUtils.h"
#include "World/PropInfo.h"
#include "World/WordScanners.h"

#include <algorithm>
#include <atomic>

namespace krx {

namespace {

const Char *const SRecursionDetected = u"Recursion detected";
const Char *const SAlreadyExists = u"\"%s\" already exists";
const Char *const SInterfaceUses = u"interface uses clause";
const Char *const SImplementationUses = u"implementation uses clause";
const Char *const SInvalidIdentifier = u"\"%s\" is not a valid identifier";

std::atomic<TDelphiLanguageMode> gLanguageMode{DefaultLanguageMode};
TPascalLanguage *gPascalLanguage = nullptr;

std::unique_ptr<TPascalLanguage> &OwnedPascalLanguage() {
  static std::unique_ptr<TPascalLanguage> language;
  return language;
}

std::unique_ptr<TCodeItemModel> &OwnedCodeItemModel() {
  static std::unique_ptr<TCodeItemModel> model;
  return model;
}

// The room a child list starts with.
constexpr std::size_t kFirstChildren = 8;

// Frees a list's storage once it is empty.
template <class V> void ReleaseStorage(V &list) { V().swap(list); }

// The process-wide Pascal language; the unit must have been started.
TPascalLanguage &PascalLanguage() {
  KR_ASSERT(gPascalLanguage != nullptr);
  return *gPascalLanguage;
}

bool IsAsciiLetter(Char c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiDigit(Char c) { return c >= u'0' && c <= u'9'; }

// Splits at every "." keeping empty parts.
std::vector<String> SplitAtDots(StringView text) {
  std::vector<String> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find(u'.', start);
    parts.emplace_back(text.substr(start, dot == StringView::npos ? StringView::npos : dot - start));
    if (dot == StringView::npos)
      return parts;
    start = dot + 1;
  }
}

} // namespace

// ===========================================================================================
// Unit routines
// ===========================================================================================

bool IsUnicodeIdent(StringView S) {
  if (S.empty() || !(S[0] == u'_' || IsLetter(S[0])))
    return false;
  return std::all_of(S.begin() + 1, S.end(),
                     [](Char c) { return c == u'_' || IsAsciiDigit(c) || IsLetter(c); });
}

bool IsAsciiIdent(StringView S) {
  if (S.empty() || !(S[0] == u'_' || IsAsciiLetter(S[0])))
    return false;
  return std::all_of(S.begin() + 1, S.end(),
                     [](Char c) { return c == u'_' || IsAsciiDigit(c) || IsAsciiLetter(c); });
}

TMethodKind NormalizeMethodKind(TMethodKind K) {
  return (K == mkProcedure || K == mkFunction) ? mkMethod : K;
}

bool MethodKindFromName(StringView S, TMethodKind &K) {
  if (S.size() < 6)
    return false;
  struct Entry {
    Char First;
    StringView Name;
    TMethodKind Kind;
  };
  static constexpr Entry kEntries[] = {{u'C', u"CONSTRUCTOR", mkConstructor},
                                       {u'D', u"DESTRUCTOR", mkDestructor},
                                       {u'F', u"FUNCTION", mkFunction},
                                       {u'O', u"OPERATOR", mkOperator},
                                       {u'P', u"PROCEDURE", mkProcedure}};
  const Char first = (S[0] >= u'a' && S[0] <= u'z') ? static_cast<Char>(S[0] - 32) : S[0];
  for (const Entry &e : kEntries)
    if (e.First == first) {
      if (!SameText(S, e.Name))
        return false;
      K = e.Kind;
      return true;
    }
  return false;
}

TClassKind ClassKindOfItemKind(TCodeItemKind K) {
  if (K >= ckClass && K <= ckRecordHelper)
    return static_cast<TClassKind>(clClass + (K - ckClass));
  return K == ckModule ? clModule : clUndefined;
}

TCodeItemKind ItemKindOfClassKind(TClassKind Kind) {
  if (Kind == clUndefined)
    return ckNone;
  if (Kind == clModule)
    return ckModule;
  return static_cast<TCodeItemKind>(ckClass + (Kind - clClass));
}

String ClassKindKeyword(TClassKind Kind) {
  static constexpr StringView kKeywords[] = {u"",       u"class",         u"interface",
                                             u"record", u"object",        u"dispinterface",
                                             u"class helper", u"record helper", u"module"};
  static_assert(std::size(kKeywords) == std::size(TClassKindNameTable));
  KR_ASSERT(Kind <= TClassKindLast);
  return String(kKeywords[Kind]);
}

String ModuleSectionKeyword(TModuleSectionKind S) {
  static constexpr StringView kKeywords[] = {u"interface", u"implementation", u"initialization",
                                             u"finalization", u"{$I %s}"};
  static_assert(std::size(kKeywords) == std::size(TModuleSectionKindNameTable));
  KR_ASSERT(S <= TModuleSectionKindLast);
  return String(kKeywords[S]);
}

String ClassDirectiveKeyword(TClassDirective D) {
  static constexpr StringView kKeywords[] = {u"abstract", u"pureabstract", u"sealed",
                                             u"new",      u"unsafe",       u"packed",
                                             u"static",   u"partial",      u"forward"};
  static_assert(std::size(kKeywords) == std::size(TClassDirectiveNameTable));
  KR_ASSERT(D <= TClassDirectiveLast);
  return String(kKeywords[D]);
}

String AbstractOrSealedKeyword(TClassDirectives Directives) {
  if (Directives.Contains(cldAbstract))
    return u"abstract";
  if (Directives.Contains(cldSealed))
    return u"sealed";
  return String();
}

String CodeSectionKeyword(TCodeSectionKind K) {
  static constexpr StringView kKeywords[] = {u"",      u"var",   u"class var",
                                             u"const", u"resourcestring", u"type",
                                             u"label", u"threadvar",      u"class threadvar"};
  static_assert(std::size(kKeywords) == std::size(TCodeSectionKindNameTable));
  KR_ASSERT(K != cskUndefined && K <= TCodeSectionKindLast);
  return String(kKeywords[K]);
}

String HintDirectivesText(THintDirectives Directives, StringView DeprecatedText,
                          StringView Separator) {
  String text = HintDirectivesToText(Directives, DeprecatedText, Separator);
  return text.empty() ? text : u" " + text;
}

namespace {
Integer HighestFlag(Byte Flags, Integer Highest) {
  for (Integer i = Highest; i > 0; --i)
    if (Flags & (1u << i))
      return i;
  return 0;
}
} // namespace

Integer HighestFlag7(Byte Flags) { return HighestFlag(Flags, 6); }
Integer HighestFlag3(Byte Flags) { return HighestFlag(Flags, 3); }

void CheckMethodKindNames() {
  for (Integer k = mkConstructor; k <= mkOperator; ++k) {
    TMethodKind found = mkMethod;
    const bool ok = MethodKindFromName(MethodKindName(static_cast<TMethodKind>(k)), found);
    KR_ASSERT(ok && found == static_cast<TMethodKind>(k));
  }
}

// ===========================================================================================
// TCodeItem
// ===========================================================================================

const TClassInfo &TCodeItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCodeItem>(&TPersistent::StaticClassInfo())
          .Bool(u"BadFormat", &TCodeItem::BadFormat, &TCodeItem::SetBadFormat)
          .Integer(u"ChildCount", &TCodeItem::ChildCount)
          .Str(u"Declaration", &TCodeItem::Declaration)
          .Integer(u"EndLineValue", &TCodeItem::EndLineValue, &TCodeItem::SetEndLineValue)
          .Integer(u"EndPos", &TCodeItem::EndPos, &TCodeItem::SetEndPos)
          .Integer(u"HeaderEndLineValue", &TCodeItem::HeaderEndLineValue,
                   &TCodeItem::SetHeaderEndLineValue)
          .Integer(u"HeaderEndPos", &TCodeItem::HeaderEndPos, &TCodeItem::SetHeaderEndPos)
          .Set(u"HintDirectives", THintDirectiveNames, &TCodeItem::HintDirectives,
               &TCodeItem::SetHintDirectives)
          .Integer(u"Indention", &TCodeItem::Indention, &TCodeItem::SetIndention)
          .Bool(u"IsPublic", &TCodeItem::IsPublic, &TCodeItem::SetIsPublic)
          .Integer(u"ItemStartPos", &TCodeItem::ItemStartPos, &TCodeItem::SetItemStartPos)
          .Enum(u"Kind", TCodeItemKindNames, &TCodeItem::Kind)
          .Integer(u"LineNr", &TCodeItem::LineNr, &TCodeItem::SetLineNr)
          .Str(u"Name", &TCodeItem::Name, &TCodeItem::SetName)
          .Integer(u"PrologLine", &TCodeItem::PrologLine, &TCodeItem::SetPrologLine)
          .Str(u"TypeConstraints", &TCodeItem::TypeConstraints, &TCodeItem::SetTypeConstraints)
          .Enum(u"Visibility", TVisibilityNames, &TCodeItem::Visibility, &TCodeItem::SetVisibility)
          .Build();
  return info;
}

TCodeItem::TCodeItem(TCodeItem *AOwner) {
  if (AOwner) {
    FLanguage = AOwner->FLanguage;
    // A new item cannot be an owner of AOwner, so no recursion check is needed. An owner
    // seldom has only one child: its list starts with room for a few.
    if (AOwner->FChildren.capacity() == 0)
      AOwner->FChildren.reserve(kFirstChildren);
    AOwner->FChildren.emplace_back(this);
    FOwner = AOwner;
  }
}

TCodeItem::~TCodeItem() {
  FreeChildren();
  if (FOwner)
    RemoveChild(FOwner, this).release(); // being destroyed already
}

void TCodeItem::FreeChildren() {
  while (!FChildren.empty()) {
    std::unique_ptr<TCodeItem> child = std::move(FChildren.back());
    FChildren.pop_back();
    child->FOwner = nullptr;
    child.reset();
  }
  ReleaseStorage(FChildren);
}

void TCodeItem::AddChild(TCodeItem *Owner, std::unique_ptr<TCodeItem> &&Child) {
  KR_ASSERT(Owner != nullptr && Child != nullptr);
  KR_ASSERT(Child->FOwner == nullptr);
  for (const TCodeItem *p = Owner; p; p = p->FOwner)
    if (p == Child.get())
      throw EKRToolsException(SRecursionDetected);
  Owner->FChildren.push_back(nullptr); // may throw; Child is still the caller's
  Child->FOwner = Owner;
  Owner->FChildren.back() = std::move(Child);
}

std::unique_ptr<TCodeItem> TCodeItem::RemoveChild(TCodeItem *Owner, TCodeItem *Child) {
  KR_ASSERT(Owner != nullptr && Child != nullptr);
  auto &list = Owner->FChildren;
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (it->get() == Child) {
      std::unique_ptr<TCodeItem> taken = std::move(*it);
      list.erase(std::next(it).base());
      if (list.empty())
        ReleaseStorage(list);
      Child->FOwner = nullptr;
      return taken;
    }
  KR_ASSERT(!"item is not a child of its owner");
  return nullptr;
}

std::unique_ptr<TCodeItem> TCodeItem::SetOwner(TCodeItem *NewOwner) {
  if (NewOwner == FOwner)
    return nullptr;
  KR_ASSERT(FOwner != nullptr); // an item without owner is handed over with AddChild
  // Checked before the item leaves its owner, so a refused move changes nothing.
  for (const TCodeItem *p = NewOwner; p; p = p->FOwner)
    if (p == this)
      throw EKRToolsException(SRecursionDetected);
  if (NewOwner)
    NewOwner->FChildren.reserve(NewOwner->FChildren.size() + 1);
  std::unique_ptr<TCodeItem> self = RemoveChild(FOwner, this);
  if (NewOwner) {
    NewOwner->FChildren.push_back(std::move(self));
    FOwner = NewOwner;
  }
  TTypeItem::FollowModule(this);
  return self;
}

TCodeItem *TCodeItem::GetChild(Integer i) const {
  KR_ASSERT(i >= 0 && i < ChildCount());
  return FChildren[static_cast<std::size_t>(i)].get();
}

TModuleItem *TCodeItem::GetModule() const {
  for (const TCodeItem *p = this; p; p = p->FOwner)
    // A module item has the module kind (a classifier may carry it too): the kind check
    // spares the cast for every other owner.
    if (p->Kind() == ckModule)
      if (auto *module = dynamic_cast<const TModuleItem *>(p))
        return const_cast<TModuleItem *>(module);
  return nullptr;
}

TSourceLanguage *TCodeItem::GetLanguage() const {
  for (const TCodeItem *p = this; p; p = p->FOwner)
    if (p->FLanguage)
      return p->FLanguage;
  KR_ASSERT(gPascalLanguage != nullptr); // the unit has not been started
  return gPascalLanguage;
}

TSourceLanguageKind TCodeItem::GetLanguageKind() const { return GetLanguage()->LanguageKind(); }

bool TCodeItem::IsPublic() const {
  return FVisibility != scStrictPrivate && FVisibility != scPrivate;
}

void TCodeItem::SetIsPublic(bool Value) {
  FVisibility = Value ? scPublic : GetLanguage()->DefaultNonPublicVisibility();
}

void TCodeItem::SetItemStartPos(Integer Value) {
  FItemStartPos = Value;
  FIndention = Value - 1;
}

void TCodeItem::SetEnd(Integer ALine, Integer APos) {
  FHeaderEndLineValue = ALine;
  FEndLineValue = ALine;
  FHeaderEndPos = APos;
  FEndPos = APos;
}

Integer TCodeItem::GetFirstLine() const {
  return FPrologLine < 0 ? FLineNr : std::min(FPrologLine, FLineNr);
}

Integer TCodeItem::GetHeaderLastLine() const { return std::max(FHeaderEndLineValue, FLineNr); }

Integer TCodeItem::GetLastLine() const { return std::max(FEndLineValue, GetHeaderLastLine()); }

// ---- Names

namespace {
// An include file's item adds no name: what an include file declares inside a class body
// belongs to the class, as if its text stood there.
String JoinOwnerNames(const TCodeItem &item, TCodeItemKinds crossed, bool lookup) {
  String result = lookup ? item.GetLookupName() : item.Name();
  for (const TCodeItem *p = item.Owner(); p; p = p->Owner()) {
    if (p->Kind() == ckModuleSection && dynamic_cast<const TIncludeFileItem *>(p) && p->Owner() &&
        crossed.Contains(p->Owner()->Kind()))
      continue;
    if (!crossed.Contains(p->Kind()))
      break;
    result = (lookup ? p->GetLookupName() : p->Name()) + u"." + result;
  }
  return result;
}
const TCodeItemKinds kScopeKinds = ClassifierItemKinds + TCodeItemKinds{ckNameSpace, ckEnum};
} // namespace

String TCodeItem::GetQualifiedName() const {
  return JoinOwnerNames(*this, ClassifierItemKinds, false);
}

String TCodeItem::GetScopedName() const { return JoinOwnerNames(*this, kScopeKinds, false); }

const String &TCodeItem::GetLookupName() const {
  return FGenericName.empty() ? FName : FGenericName;
}

String TCodeItem::GetQualifiedLookupName() const {
  return JoinOwnerNames(*this, kScopeKinds, true);
}

void TCodeItem::SetGenericArity(const String &AName, Integer N) {
  if (N <= 0) {
    FGenericName = AName;
    return;
  }
  FGenericName = Format(u"%s<%s>", {AName, String(static_cast<std::size_t>(N - 1), u',')});
}

bool TCodeItem::SameName(StringView AName) const { return GetLanguage()->SameIdent(FName, AName); }

bool TCodeItem::FindChild(StringView AName, Integer &Index) const {
  const TSourceLanguage *language = GetLanguage();
  for (Integer i = 0; i < ChildCount(); ++i)
    if (language->SameIdent(FChildren[static_cast<std::size_t>(i)]->GetLookupText(), AName)) {
      Index = i;
      return true;
    }
  Index = -1;
  return false;
}

bool TCodeItem::FindChildOfKinds(StringView AName, TCodeItemKinds Kinds, Integer &Index) const {
  const TSourceLanguage *language = GetLanguage();
  for (Integer i = 0; i < ChildCount(); ++i) {
    const TCodeItem &child = *FChildren[static_cast<std::size_t>(i)];
    if (Kinds.Contains(child.Kind()) && language->SameIdent(child.Name(), AName)) {
      Index = i;
      return true;
    }
  }
  Index = -1;
  return false;
}

void TCodeItem::CollectChildren(StringView AName, std::vector<TCodeItem *> &List,
                                TCodeItemKinds Kinds, bool Recursive) const {
  static const TCodeItemKinds kEntered = kScopeKinds + TCodeItemKinds{ckModule};
  const TSourceLanguage *language = GetLanguage();
  for (const auto &child : FChildren) {
    if (Kinds.Contains(child->Kind()) && language->SameIdent(child->Name(), AName))
      List.push_back(child.get());
    if (Recursive && kEntered.Contains(child->Kind()))
      child->CollectChildren(AName, List, Kinds, true);
  }
}

// ---- Comments

TStringList &TCodeItem::CommentLines() {
  if (!FCommentLines)
    FCommentLines = std::make_unique<TStringList>();
  return *FCommentLines;
}

void TCodeItem::SetCommentLines(const TStrings *Strings) {
  if (!Strings || Strings->Count() == 0) {
    FCommentLines.reset();
    return;
  }
  if (Strings == FCommentLines.get())
    return;
  CommentLines().Assign(Strings);
}

void TCodeItem::GetCommentLines(TStrings &Strings) const {
  if (FCommentLines)
    Strings.Assign(FCommentLines.get());
  else
    Strings.Clear();
}

// ---- Virtual operations

void TCodeItem::Assign(const TPersistent *Source) {
  const auto *source = dynamic_cast<const TCodeItem *>(Source);
  if (!source) {
    TPersistent::Assign(Source);
    return;
  }
  if (source == this)
    return;
  AssignProps(*source);
  SetCommentLines(source->HasComments() ? source->FCommentLines.get() : nullptr);
  FEndLineValue = source->FEndLineValue;
  FEndPos = source->FEndPos;
  FHeaderEndLineValue = source->FHeaderEndLineValue;
  FHeaderEndPos = source->FHeaderEndPos;
  FIndention = source->FIndention;
  FItemStartPos = source->FItemStartPos;
  FLineNr = source->FLineNr;
  FPrologLine = source->FPrologLine;
  FExtraText = source->GetExtraText();
  FBadFormat = source->FBadFormat;
}

void TCodeItem::AssignProps(const TCodeItem &Source) {
  FName = Source.FName;
  FVisibility = Source.FVisibility;
  FHintDirectives = Source.GetHintDirectives();
  FDeprecatedText = Source.FDeprecatedText;
  FLanguage = Source.FLanguage;
  FTypeConstraints = Source.FTypeConstraints;
  FGenericName = Source.FGenericName;
}

void TCodeItem::CheckUniqueName(const String &OldName, const String &NewName) {
  const TSourceLanguage *language = GetLanguage();
  if (language->SameIdent(OldName, NewName))
    return;
  Integer index = -1;
  if (FOwner && FOwner->FindChild(NewName, index))
    throw EKRToolsException(Format(SAlreadyExists, {NewName}));
}

String TCodeItem::GetDeclaration() const { return FName; }

String TCodeItem::GetOwnerName() const { return FOwner ? FOwner->FName : String(); }

TCodeItem *TCodeItem::ItemAtLine(Integer Line) {
  if (FLineNr < 0 || Line < GetFirstLine() || Line > GetLastLine())
    return nullptr;
  for (const auto &child : FChildren)
    if (TCodeItem *found = child->ItemAtLine(Line))
      return found;
  return this;
}

TCodeItem *TCodeItem::ItemAtPos(Integer Line, Integer Column) {
  if (FLineNr < 0 || Line < GetFirstLine() || Line > GetLastLine())
    return nullptr;
  if (FChildren.empty())
    return this;
  const Integer headerLast = GetHeaderLastLine();
  if (Line < headerLast || (Line == headerLast && Column < FHeaderEndPos))
    return this;
  // Of several answers, the last one (in child order) that starts at or before the column;
  // the first answer when none does.
  TCodeItem *first = nullptr;
  TCodeItem *lastStarted = nullptr;
  for (const auto &child : FChildren) {
    TCodeItem *found = child->ItemAtPos(Line, Column);
    if (!found)
      continue;
    if (!first)
      first = found;
    if (found->FItemStartPos - 1 <= Column)
      lastStarted = found;
  }
  if (!first)
    return this;
  return lastStarted ? lastStarted : first;
}

void TCodeItem::ValidateName(const String &OldName, const String &NewName) {
  GetLanguage()->IdentValidator().CheckName(FKind, NewName);
  CheckUniqueName(OldName, NewName);
}

void TCodeItem::Clear() { FreeChildren(); }

void TCodeItem::ShiftOwnLines(Integer Line, Integer Delta) {
  ShiftLine(FLineNr, Line, Delta);
  ShiftLine(FPrologLine, Line, Delta);
  ShiftLine(FHeaderEndLineValue, Line, Delta);
  ShiftLine(FEndLineValue, Line, Delta);
}

void TCodeItem::ShiftLines(const TCodeItem *Origin, Integer Line, Integer Delta) {
  if (this != Origin)
    ShiftOwnLines(Line, Delta);
  for (const auto &child : FChildren)
    if (Delta < 0)
      child->LinesDeleted(Origin, Line, -Delta);
    else
      child->LinesInserted(Origin, Line, Delta);
}

void TCodeItem::LinesDeleted(const TCodeItem *Origin, Integer Line, Integer Count) {
  ShiftLines(Origin, Line, -Count);
}

void TCodeItem::LinesInserted(const TCodeItem *Origin, Integer Line, Integer Count) {
  ShiftLines(Origin, Line, Count);
}

Integer TCodeItem::CompareName(const TCodeItem &Other) const {
  return GetLanguage()->CompareIdent(FName, Other.FName);
}

Integer TCodeItem::CompareQualifiedName(const TCodeItem &Other) const {
  return GetLanguage()->CompareIdent(GetQualifiedName(), Other.GetQualifiedName());
}

void TCodeItem::WriteTagData(TDictionary &Dictionary) const {
  TObjectAccess access;
  access.SetObject(this);
  for (Integer i = 0; i < access.PropCount(); ++i)
    if (access.IsReadable(i))
      SetStringsValue(Dictionary, access.PropName(i), access.PropValueText(i));
  SetStringsValue(Dictionary, u"EndLine", IntToStr(FEndLineValue));
  SetStringsValue(Dictionary, u"HeaderEndLine", IntToStr(FHeaderEndLineValue));
}

bool TCodeItem::IsUniqueIn(const TCodeItem *Container) const {
  Integer index = -1;
  return !Container || !Container->FindChild(FName, index);
}

bool TCodeItem::HasValidPositions() const {
  return FItemStartPos >= 1 && FHeaderEndPos >= 1 && FEndPos >= 1;
}

void TCodeItem::WriteDeclaration(TStrings &Strings, Integer AIndention, Integer AWrapWidth,
                                 Integer ATabWidth) const {
  const Integer first = Strings.Count();
  TStringWrapper wrapper(&Strings, AIndention, AWrapWidth, ATabWidth);
  wrapper.SetLanguage(GetLanguageKind());
  TStringList lines;
  lines.SetText(GetDeclaration());
  for (Integer i = 0; i < lines.Count(); ++i)
    wrapper.WrapString(lines[i]);
  // An item without a start column has an indention of -1: it is written unindented.
  IndentLines(Strings, first, Strings.Count() - 1, std::max<Integer>(FIndention, 0));
}

// ===========================================================================================
// Module item and its parts
// ===========================================================================================

const TClassInfo &TModuleItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TModuleItem>(&TCodeItem::StaticClassInfo())
          .Integer(u"ImplLineNr", &TModuleItem::ImplLineNr, &TModuleItem::SetImplLineNr)
          .Integer(u"IntfLineNr", &TModuleItem::IntfLineNr, &TModuleItem::SetIntfLineNr)
          .Enum(u"ModuleType", TModuleTypeNames, &TModuleItem::ModuleType,
                &TModuleItem::SetModuleType)
          .Build();
  return info;
}

TModuleItem::TModuleItem()
    : TCodeItem(nullptr), FMarkedLines(std::make_unique<TIntList>()),
      FCollection(std::make_unique<TKRXCollection>()),
      FRootRegion(std::make_unique<TSourceRegion>(nullptr)) {
  FCollection->SetOwnsObjects(true);
  FCollection->SetDuplicates(cdAccept);
  FKind = ckModule;
  SetLineNr(0);
  FRootRegion->Module = this;
}

TModuleItem::~TModuleItem() {
  FMarkedLines.reset();
  FCollection.reset();
  FDesignInfo.reset();
  FRootRegion.reset();
  // The type items leave the type list as they go, so it must outlive them.
  FreeChildren();
}

TModuleSectionItem *TModuleItem::AddSection(TModuleSectionKind Kind) {
  auto *section = new TModuleSectionItem(this);
  section->SetSection(Kind);
  return section;
}

TTypeItem *TModuleItem::GetType(Integer i) const {
  KR_ASSERT(i >= 0 && i < GetTypeCount());
  return FTypes[static_cast<std::size_t>(i)];
}

void TModuleItem::UnregisterType(TTypeItem *Item) {
  // Types go mostly in reverse order of creation, so the search starts at the end.
  auto it = std::find(FTypes.rbegin(), FTypes.rend(), Item);
  KR_ASSERT(it != FTypes.rend());
  FTypes.erase(std::next(it).base());
}

void TModuleItem::ClearCollection() { FCollection->Clear(); }

void TModuleItem::SetDesignInfo(std::unique_ptr<TModuleDesignInfo> Info) {
  if (Info.get() == FDesignInfo.get()) {
    Info.release(); // the same object, already held
    return;
  }
  FDesignInfo = std::move(Info);
}

void TModuleItem::Reset() {
  SetBadFormat(false);
  SetCommentLines(nullptr);
  SetEndLineValue(0);
  SetEndPos(0);
  SetHeaderEndLineValue(0);
  SetHeaderEndPos(0);
  SetHintDirectives({});
  SetDeprecatedText(String());
  SetName(String());
  SetExtraText(String());
  SetIndention(0);
  SetItemStartPos(0);
  SetIndention(0);
  SetLineNr(0);
  SetPrologLine(-1);
  SetVisibility(scPublic);
  FModuleType = mtNone;
  FImplLineNr = -1;
  FIntfLineNr = -1;
  FRootRegion->StartLine = 0;
  FRootRegion->EndLine = 0;
  FRootRegion->Name.clear();
}

void TModuleItem::Clear() {
  TCodeItem::Clear();
  FFileName.clear();
  FDesignInfo.reset();
  FRootRegion->Clear();
  FMarkedLines->Clear();
  FRootRegion->Module = this;
  KR_ASSERT(FTypes.empty());
  KR_ASSERT(ChildCount() == 0);
}

void TModuleItem::ShiftModuleLines(Integer Line, Integer Delta) {
  for (Integer *value : {&FIntfLineNr, &FImplLineNr})
    if (*value != -1 && *value >= Line)
      *value += Delta;
  if (Delta < 0) {
    FRootRegion->LinesDeleted(Line, -Delta);
    if (FDesignInfo)
      FDesignInfo->LinesDeleted(Line, -Delta);
  } else {
    FRootRegion->LinesInserted(Line, Delta);
    if (FDesignInfo)
      FDesignInfo->LinesInserted(Line, Delta);
  }
}

void TModuleItem::LinesDeleted(const TCodeItem *Origin, Integer Line, Integer Count) {
  TCodeItem::LinesDeleted(Origin, Line, Count);
  ShiftModuleLines(Line, -Count);
}

void TModuleItem::LinesInserted(const TCodeItem *Origin, Integer Line, Integer Count) {
  TCodeItem::LinesInserted(Origin, Line, Count);
  ShiftModuleLines(Line, Count);
}

const TClassInfo &TModuleSectionItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TModuleSectionItem>(&TCodeItem::StaticClassInfo())
          .Enum(u"Section", TModuleSectionKindNames, &TModuleSectionItem::Section)
          .Build();
  return info;
}

TModuleSectionItem::TModuleSectionItem(TCodeItem *AOwner) : TCodeItem(AOwner) {
  FKind = ckModuleSection;
}

void TModuleSectionItem::SetSection(TModuleSectionKind Kind) {
  FSection = Kind;
  SetIsPublic(Kind == msInterface);
  SetName(GetDescription());
}

void TModuleSectionItem::AssignProps(const TCodeItem &Source) {
  TCodeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TModuleSectionItem *>(&Source))
    SetSection(source->FSection);
}

String TModuleSectionItem::GetDescription() const { return ModuleSectionKeyword(FSection); }

const TClassInfo &TUsesClause::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TUsesClause>(&TCodeItem::StaticClassInfo())
          .Bool(u"ExternAlias", &TUsesClause::ExternAlias, &TUsesClause::SetExternAlias)
          .Bool(u"HasDirective", &TUsesClause::HasDirective, &TUsesClause::SetHasDirective)
          .Build();
  return info;
}

TUsesClause::TUsesClause(TCodeItem *AOwner) : TCodeItem(AOwner) {
  FKind = ckUses;
  SetVisibility(scPublic);
}

void TUsesClause::AddUnit(const String &UnitName, const String &ModulePath) {
  FUnitNames.Add(UnitName);
  FModulePaths.Add(ModulePath);
}

String TUsesClause::GetDeclaration() const { return GetLanguage()->UsesClauseText(*this); }

void TUsesClause::AssignProps(const TCodeItem &Source) {
  TCodeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TUsesClause *>(&Source)) {
    FUnitNames.Assign(&source->FUnitNames);
    FModulePaths.Assign(&source->FModulePaths);
    FUsesListText = source->FUsesListText;
    FHasDirective = source->FHasDirective;
    FExternAlias = source->FExternAlias;
  }
}

void TUsesClause::Clear() {
  TCodeItem::Clear();
  FUnitNames.Clear();
  FModulePaths.Clear();
  FUsesListText.clear();
  FHasDirective = false;
}

void TUsesClause::WriteTagData(TDictionary &Dictionary) const {
  TCodeItem::WriteTagData(Dictionary);
  SetStringsValue(Dictionary, u"Units", EscapeLineBreaks(FUnitNames.Text()));
  SetStringsValue(Dictionary, u"UsesList", EscapeLineBreaks(FUsesListText));
  SetStringsValue(Dictionary, u"ModulePaths", EscapeLineBreaks(FModulePaths.Text()));
}

String TUsesClause::GetDescription() const {
  return IsPublic() ? SInterfaceUses : SImplementationUses;
}

void TMessageDetails::Assign(const TPersistent *Source) {
  const auto *source = dynamic_cast<const TMessageDetails *>(Source);
  if (!source) {
    TPersistent::Assign(Source);
    return;
  }
  Text = source->Text;
  Detail = source->Detail;
  Line = source->Line;
  Column = source->Column;
  Kind = source->Kind;
}

const TClassInfo &TMessagesItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TMessagesItem>(&TCodeItem::StaticClassInfo())
          .Str(u"Category", &TMessagesItem::Category, &TMessagesItem::SetCategory)
          .Integer(u"MsgCount", &TMessagesItem::MsgCount)
          .Build();
  return info;
}

TMessagesItem::TMessagesItem() : TCodeItem(nullptr), FMessages(std::make_unique<TKRXCollection>()) {
  FMessages->SetOwnsObjects(true);
  // Without a duplicate search, adding stays constant-time however many messages there are.
  FMessages->SetDuplicates(cdAccept);
  FKind = ckError;
  SetLineNr(0);
}

TMessagesItem::~TMessagesItem() = default;

TMessageDetails &TMessagesItem::AddMessage(String Text, Integer Line, TCodeMessageKind Kind,
                                           Integer Column) {
  auto details = std::make_unique<TMessageDetails>(std::move(Text), Line, Kind, Column);
  FMessages->Add(details.get());
  return *details.release();
}

TMessageDetails &TMessagesItem::AddPositionMessage(const String &Text, Integer Line,
                                                   TCodeMessageKind Kind, Integer Column) {
  // "<text> in line <line> col <column>", put together without Format: a parse may add many.
  const String line = IntToStr(Line), column = IntToStr(Column);
  String message;
  message.reserve(Text.size() + 14 + line.size() + column.size());
  message.append(Text).append(StringView(u" in line ")).append(line);
  message.append(StringView(u" col ")).append(column);
  return AddMessage(std::move(message), Line, Kind, Column);
}

void TMessagesItem::ClearMessages() { FMessages->Clear(); }

TMessageDetails &TMessagesItem::GetMessage(Integer i) const {
  return *static_cast<TMessageDetails *>(FMessages->Items(i));
}

String TMessagesItem::GetMessagesText() const {
  String text;
  for (Integer i = 0; i < MsgCount(); ++i)
    text += GetMessage(i).Text + u"\r\n";
  return text;
}

void TMessagesItem::SetCategory(const String &Value) {
  if (Value != FCategory)
    FCategory = Value;
}

void TMessagesItem::Assign(const TPersistent *Source) {
  const auto *source = dynamic_cast<const TMessagesItem *>(Source);
  if (!source) {
    TCodeItem::Assign(Source);
    return;
  }
  if (source == this)
    return;
  ClearMessages();
  for (Integer i = 0; i < source->MsgCount(); ++i) {
    auto details = std::make_unique<TMessageDetails>();
    details->Assign(&source->GetMessage(i));
    FMessages->Add(details.get());
    details.release();
  }
  FCategory = source->FCategory;
}

void TMessagesItem::WriteTagData(TDictionary &Dictionary) const {
  TCodeItem::WriteTagData(Dictionary);
  SetStringsValue(Dictionary, u"Messages", EscapeLineBreaks(GetMessagesText()));
}

TModuleDesignInfo::TModuleDesignInfo(TModuleItem *AModule) : FModule(AModule) {
  KR_ASSERT(AModule != nullptr);
  AModule->SetDesignInfo(std::unique_ptr<TModuleDesignInfo>(this));
}

TDFMModuleDesignInfo::TDFMModuleDesignInfo(TModuleItem *AModule, Integer ALine)
    : TModuleDesignInfo(AModule), ResourceLine(ALine) {}

void TDFMModuleDesignInfo::LinesDeleted(Integer Line, Integer Count) {
  if (ResourceLine >= Line)
    ResourceLine -= Count;
}

void TDFMModuleDesignInfo::LinesInserted(Integer Line, Integer Count) {
  if (ResourceLine >= Line)
    ResourceLine += Count;
}

const TClassInfo &TTypeItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TTypeItem>(&TCodeItem::StaticClassInfo()).Build();
  return info;
}

TTypeItem::TTypeItem(TCodeItem *AOwner) : TCodeItem(AOwner) {
  FModule = GetModule();
  if (FModule)
    FModule->RegisterType(this);
}

TTypeItem::~TTypeItem() {
  if (FModule)
    FModule->UnregisterType(this);
}

void TTypeItem::FollowModule(TCodeItem *Root) {
  TModuleItem *module = Root->GetModule();
  std::vector<TCodeItem *> pending{Root};
  while (!pending.empty()) {
    TCodeItem *item = pending.back();
    pending.pop_back();
    if (auto *type = dynamic_cast<TTypeItem *>(item); type && type->FModule != module) {
      if (type->FModule)
        type->FModule->UnregisterType(type);
      type->FModule = module;
      if (module)
        module->RegisterType(type);
    }
    for (Integer i = item->ChildCount() - 1; i >= 0; --i)
      pending.push_back(item->GetChild(i));
  }
}

const TClassInfo &TKRTagData::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TKRTagData>(&TCodeItem::StaticClassInfo()).Build();
  return info;
}

TKRTagData::TKRTagData(TCodeItem *AOwner) : TCodeItem(AOwner) { FKind = ckKRTag; }

// ===========================================================================================
// Routine items
// ===========================================================================================

namespace {
const Char *const SOverloadExists = u"An overloaded procedure named %s already exists. Continue?";
const Char *const SNonOverloadExists =
    u"A non-overloaded procedure named %s already exists. Continue?";
const Char *const SOperatorSignatureExists =
    u"An operator %s with identical parameter signature already exists. Continue?";
const Char *const SSignatureExists =
    u"A procedure named %s with identical parameter signature already exists. Continue?";
const Char *const SIndexerExists = u"An indexer property named %s already exists. Continue?";
const Char *const SIndexerSignatureExists =
    u"An indexer property named %s with identical signature already exists. Continue?";
const Char *const SInvalidFieldName = u"\"%s\" is not a valid field name identifier";

// Shows the question in a warning dialog; anything but OK cancels silently.
void ConfirmOrAbort(const Char *question, const String &name) {
  if (MessageDlg(Format(question, {name}), mtWarning, {mbOK, mbCancel}, 0) != mrOk)
    Abort();
}

bool HasResultKind(TMethodKind kind) {
  return kind == mkFunction || kind == mkOperator || kind == mkMethod;
}
} // namespace

const TClassInfo &TMemberItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TMemberItem>(&TCodeItem::StaticClassInfo())
          .Str(u"DataName", &TMemberItem::DataName, &TMemberItem::SetDataName)
          .Str(u"DispID", &TMemberItem::DispID, &TMemberItem::SetDispID)
          .Build();
  return info;
}

void TMemberItem::AssignProps(const TCodeItem &Source) {
  TCodeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TMemberItem *>(&Source)) {
    FDataName = source->FDataName;
    FDispID = source->FDispID;
  }
}

const TClassInfo &TProcItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TProcItem>(&TMemberItem::StaticClassInfo())
          .Integer(u"BeginLineValue", &TProcItem::BeginLineValue, &TProcItem::SetBeginLineValue)
          .Integer(u"BeginPos", &TProcItem::BeginPos, &TProcItem::SetBeginPos)
          .Integer(u"BodyEndLineValue", &TProcItem::BodyEndLineValue,
                   &TProcItem::SetBodyEndLineValue)
          .Integer(u"BodyEndPos", &TProcItem::BodyEndPos, &TProcItem::SetBodyEndPos)
          .Enum(u"CallConvention", TCallConventionNames, &TProcItem::CallConvention,
                &TProcItem::SetCallConvention)
          .Set(u"Directives", TMethodDirectiveNames, &TProcItem::Directives,
               &TProcItem::SetDirectives)
          .Str(u"ExternalSpec", &TProcItem::ExternalSpec, &TProcItem::SetExternalSpec)
          .Bool(u"IsPureAsmProc", &TProcItem::IsPureAsmProc, &TProcItem::SetIsPureAsmProc)
          .Enum(u"MethodKind", TMethodKindNames, &TProcItem::MethodKind, &TProcItem::SetMethodKind)
          .Str(u"Parameters", &TProcItem::Parameters, &TProcItem::SetParameters)
          .Build();
  return info;
}

TProcItem::~TProcItem() {
  // Nested routines first, while this item is still whole.
  FreeChildren();
  for (TProcItem *referrer : FReferrers) {
    if (referrer->FDeclRef == this)
      referrer->FDeclRef = nullptr;
    if (referrer->FImplRef == this)
      referrer->FImplRef = nullptr;
  }
  if (FDeclRef)
    FDeclRef->DropReferrer(this);
  if (FImplRef)
    FImplRef->DropReferrer(this);
}

void TProcItem::Relink(TProcItem *&Field, TProcItem *Value) {
  if (Field == Value)
    return;
  if (Field)
    Field->DropReferrer(this);
  Field = Value;
  if (Value)
    Value->FReferrers.push_back(this);
}

void TProcItem::DropReferrer(TProcItem *Item) {
  auto it = std::find(FReferrers.begin(), FReferrers.end(), Item);
  if (it != FReferrers.end())
    FReferrers.erase(it);
}

String TProcItem::GetParamText() const { return ParamSignature(FParameters, GetLanguageKind()); }

String TProcItem::GetSignatureKey() const {
  String key = GetParamText();
  if (FMethodKind == mkOperator)
    key += u"+" + DataName();
  return key;
}

bool TProcItem::SameSignatureSource(const TProcItem &Other) const {
  // TMethodItem's key adds the class-method mark to this one's.
  const bool method = dynamic_cast<const TMethodItem *>(this) != nullptr;
  return FParameters == Other.FParameters && FMethodKind == Other.FMethodKind &&
         (FMethodKind != mkOperator || DataName() == Other.DataName()) &&
         method == (dynamic_cast<const TMethodItem *>(&Other) != nullptr) &&
         HasDirective(pdClassMethod) == Other.HasDirective(pdClassMethod) &&
         GetLanguageKind() == Other.GetLanguageKind();
}

void TProcItem::SetDirective(TMethodDirective D, bool On) {
  if (On)
    FDirectives.Include(D);
  else
    FDirectives.Exclude(D);
}

Integer TProcItem::GetLastHeaderLine() const {
  return std::max(FBeginLineValue, GetHeaderLastLine());
}

Integer TProcItem::GetLastBodyLine() const {
  return std::max(FBodyEndLineValue, GetLastHeaderLine());
}

Integer TProcItem::GetLastLine() const {
  return std::max(TCodeItem::GetLastLine(), GetLastBodyLine());
}

bool TProcItem::HasResultType() const {
  return HasResultKind(FMethodKind) && !DataName().empty();
}

THintDirectives TProcItem::GetHintDirectives() const {
  THintDirectives own = TCodeItem::GetHintDirectives();
  return FImplRef ? own + FImplRef->TCodeItem::GetHintDirectives() : own;
}

String TProcItem::GetExtraText() const {
  String own = TCodeItem::GetExtraText();
  if (own.empty() && FImplRef)
    return FImplRef->TCodeItem::GetExtraText();
  return own;
}

void TProcItem::GetCommentLines(TStrings &Strings) const {
  if (!HasComments() && FImplRef)
    FImplRef->TCodeItem::GetCommentLines(Strings);
  else
    TCodeItem::GetCommentLines(Strings);
}

void TProcItem::AssignProps(const TCodeItem &Source) {
  TMemberItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TProcItem *>(&Source)) {
    FCallConvention = source->FCallConvention;
    FDirectives = source->FDirectives;
    FMethodKind = source->FMethodKind;
    FParameters = source->FParameters;
    FExternalSpec = source->FExternalSpec;
    FIsPureAsmProc = source->FIsPureAsmProc;
  }
}

void TProcItem::Assign(const TPersistent *Source) {
  TCodeItem::Assign(Source);
  if (const auto *source = dynamic_cast<const TProcItem *>(Source); source && source != this) {
    FBeginLineValue = source->GetLastHeaderLine();
    SetImplRef(source->FImplRef);
    SetDeclRef(source->FDeclRef);
  }
}

Integer TProcItem::DuplicateKind(const TCodeItem *Container, StringView AName) const {
  if (!Container)
    return 0;
  const TSourceLanguage *language = GetLanguage();
  const bool own = IsOverload();
  const String ownText = GetParamText();
  Byte flags = 0;
  for (Integer i = 0; i < Container->ChildCount(); ++i) {
    const TCodeItem *child = Container->GetChild(i);
    if (!language->SameIdent(child->Name(), AName))
      continue;
    const auto *proc = dynamic_cast<const TProcItem *>(child);
    if (!proc)
      return 4;
    if (proc->FDeclRef)
      continue;
    if (language->SameIdent(proc->GetParamText(), ownText))
      flags |= 1u << 3;
    flags |= (own && proc->IsOverload()) ? 1u << 1 : 1u << 2;
  }
  return HighestFlag7(flags);
}

void TProcItem::CheckDuplicate(const String &OldName, const String &NewName) {
  if (GetLanguage()->SameIdent(OldName, NewName))
    return;
  TMethodDuplicateHandler handler;
  const Integer code = DuplicateKind(Owner(), NewName);
  if (code != 0)
    handler.HandleDuplicate(*this, OldName, code, NewName);
}

void TProcItem::CheckUniqueName(const String &OldName, const String &NewName) {
  CheckDuplicate(OldName, NewName);
}

void TProcItem::ValidateName(const String &OldName, const String &NewName) {
  GetLanguage()->IdentValidator().CheckName(Kind(), NewName);
  CheckDuplicate(OldName, NewName);
}

void TMethodDuplicateHandler::HandleDuplicate(const TCodeItem &Item, const String &,
                                              Integer Code, const String &NewName) {
  switch (Code) {
  case 0:
    return;
  case 1:
    ConfirmOrAbort(SOverloadExists, NewName);
    return;
  case 2:
    ConfirmOrAbort(SNonOverloadExists, NewName);
    return;
  case 3: {
    const auto *proc = dynamic_cast<const TProcItem *>(&Item);
    ConfirmOrAbort(proc && proc->MethodKind() == mkOperator ? SOperatorSignatureExists
                                                            : SSignatureExists,
                   NewName);
    return;
  }
  case 4:
    throw EKRToolsException(Format(SAlreadyExists, {NewName}));
  default:
    KR_ASSERT(!"unknown duplicate code");
  }
}

Integer TProcItem::CompareName(const TCodeItem &Other) const {
  if (&Other == this)
    return 0;
  const Integer result = TCodeItem::CompareName(Other);
  if (result != 0)
    return result;
  if (const auto *other = dynamic_cast<const TProcItem *>(&Other))
    return GetLanguage()->CompareIdent(GetParamText(), other->GetParamText());
  return 0;
}

void TProcItem::WriteTagData(TDictionary &Dictionary) const {
  TCodeItem::WriteTagData(Dictionary);
  SetStringsValue(Dictionary, u"BeginLine", IntToStr(FBeginLineValue));
  if (FDeclRef)
    SetStringsValue(Dictionary, u"DeclRef", FDeclRef->Name());
  if (FImplRef)
    SetStringsValue(Dictionary, u"ImplRef", FImplRef->Name());
}

bool TProcItem::IsUniqueIn(const TCodeItem *Container) const {
  if (FMethodKind == mkOperator)
    return true;
  const Integer code = DuplicateKind(Container, Name());
  return code == 0 || code == 1;
}

String TProcItem::GetDescription() const {
  String text = FParameters.empty() ? Name() + u"( )" : Format(u"%s(%s)", {Name(), FParameters});
  if (HasResultType())
    text += u": " + DataName();
  return text + u";";
}

bool TProcItem::HasValidPositions() const {
  if (!TCodeItem::HasValidPositions())
    return false;
  return (FBeginPos > 0 && FBodyEndPos > 0) || Kind() == ckMethod || FImplRef != nullptr ||
         HasDirective(pdForward) || HasDirective(pdExternal) || HasDirective(pdAbstract);
}

void TProcItem::ShiftOwnLines(Integer Line, Integer Delta) {
  TCodeItem::ShiftOwnLines(Line, Delta);
  ShiftLine(FBeginLineValue, Line, Delta);
  ShiftLine(FBodyEndLineValue, Line, Delta);
}

TBindingKind BindingOf(const TProcItem &Item) {
  if (Item.HasDirective(pdOverride))
    return bkOverride;
  if (Item.HasDirective(pdVirtual))
    return bkVirtual;
  if (Item.HasDirective(pdDynamic))
    return bkDynamic;
  if (Item.HasDirective(pdMessage))
    return bkMessage;
  return bkStatic;
}

bool IsAbstract(const TProcItem &Item) { return Item.HasDirective(pdAbstract); }
bool IsClassMethod(const TProcItem &Item) { return Item.HasDirective(pdClassMethod); }

const TClassInfo &TProcData::StaticClassInfo() {
  static const TClassInfo info = TClassInfoBuilder<TProcData>(&TProcItem::StaticClassInfo())
                                     .Bool(u"ShowPublic", &TProcData::ShowPublic,
                                           &TProcData::SetShowPublic)
                                     .Build();
  return info;
}

TProcData::TProcData(TCodeItem *AOwner) : TProcItem(AOwner) {
  FKind = ckProcedure;
  SetVisibility(GetLanguage()->DefaultNonPublicVisibility());
}

void TProcData::Assign(const TPersistent *Source) {
  TProcItem::Assign(Source);
  if (const auto *source = dynamic_cast<const TProcData *>(Source))
    FShowPublic = source->FShowPublic;
}

String TProcData::GetDeclaration() const {
  return PascalLanguage().MethodDeclarationText(*this);
}

const TClassInfo &TMethodItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TMethodItem>(&TProcItem::StaticClassInfo())
          .Bool(u"Stub", &TMethodItem::Stub, &TMethodItem::SetStub)
          .Build();
  return info;
}

TMethodItem::TMethodItem(TCodeItem *AOwner) : TProcItem(AOwner) { FKind = ckMethod; }

void TMethodItem::SetStub(bool Value) {
  FStub = Value;
  if (Value)
    SetLineNr(-1);
}

String TMethodItem::GetDeclaration() const {
  return GetLanguage()->MethodDeclarationText(*this);
}

String TMethodItem::GetSignatureKey() const {
  String key = TProcItem::GetSignatureKey();
  return HasDirective(pdClassMethod) ? u"class|" + key : key;
}

const TClassInfo &TMethodImplItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TMethodImplItem>(&TMethodItem::StaticClassInfo())
          .Str(u"BaseClass", &TMethodImplItem::BaseClass, &TMethodImplItem::SetBaseClass)
          .Str(u"RefBaseClass", &TMethodImplItem::RefBaseClass, &TMethodImplItem::SetRefBaseClass)
          .Build();
  return info;
}

TMethodImplItem::TMethodImplItem(TCodeItem *AOwner) : TMethodItem(AOwner) {
  FKind = ckMethodImpl;
}

void TMethodImplItem::Assign(const TPersistent *Source) {
  TProcItem::Assign(Source);
  const auto *source = dynamic_cast<const TMethodItem *>(Source);
  if (source && source->Owner()) {
    FBaseClass = source->Owner()->GetScopedName();
    FRefBaseClass = source->Owner()->GetQualifiedLookupName();
  }
}

const TClassInfo &TResClauseItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TResClauseItem>(&TMemberItem::StaticClassInfo())
          .Str(u"ImplMethod", &TResClauseItem::ImplMethod, &TResClauseItem::SetImplMethod)
          .Enum(u"MethodKind", TMethodKindNames, &TResClauseItem::MethodKind,
                &TResClauseItem::SetMethodKind)
          .Build();
  return info;
}

TResClauseItem::TResClauseItem(TCodeItem *AOwner) : TMemberItem(AOwner) { FKind = ckResClause; }

String TResClauseItem::GetDeclaration() const {
  return MethodKindName(FMethodKind) + u" " + Name() + u" = " + FImplMethod + u";";
}

void TResClauseItem::AssignProps(const TCodeItem &Source) {
  TMemberItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TResClauseItem *>(&Source)) {
    FImplMethod = source->FImplMethod;
    FMethodKind = source->FMethodKind;
  }
}

void TResClauseItem::ValidateName(const String &OldName, const String &NewName) {
  GetLanguage()->IdentValidator().CheckName(Kind(), NewName);
  TCodeItem::CheckUniqueName(OldName, NewName);
}

String TResClauseItem::GetDescription() const { return Name() + u"=" + FImplMethod + u";"; }

// ===========================================================================================
// Types and members
// ===========================================================================================

const TClassInfo &TDelegateItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TDelegateItem>(&TTypeItem::StaticClassInfo())
          .Enum(u"CallConvention", TCallConventionNames, &TDelegateItem::CallConvention,
                &TDelegateItem::SetCallConvention)
          .Str(u"DataName", &TDelegateItem::DataName, &TDelegateItem::SetDataName)
          .Set(u"Directives", TDelegateDirectiveNames, &TDelegateItem::Directives,
               &TDelegateItem::SetDirectives)
          .Enum(u"MethodKind", TMethodKindNames, &TDelegateItem::MethodKind,
                &TDelegateItem::SetMethodKind)
          .Str(u"Parameters", &TDelegateItem::Parameters, &TDelegateItem::SetParameters)
          .Build();
  return info;
}

TDelegateItem::TDelegateItem(TCodeItem *AOwner) : TTypeItem(AOwner) {
  FKind = ckDelegate;
  SetIsPublic(true);
}

void TDelegateItem::SetKind(TCodeItemKind Value) {
  KR_ASSERT(Value == ckDelegate || Value == ckFunctionPointer || Value == ckMethodReference);
  FKind = Value;
}

bool TDelegateItem::HasResult() const { return HasResultKind(FMethodKind); }

String TDelegateItem::GetDeclaration() const {
  return GetLanguage()->DelegateDeclarationText(*this);
}

void TDelegateItem::AssignProps(const TCodeItem &Source) {
  TTypeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TDelegateItem *>(&Source)) {
    FDataName = source->FDataName;
    FCallConvention = source->FCallConvention;
    FMethodKind = source->FMethodKind;
    FParameters = source->FParameters;
    FDirectives = source->FDirectives;
    FKind = source->Kind();
  }
}

void TDelegateItem::ValidateName(const String &OldName, const String &NewName) {
  GetLanguage()->IdentValidator().CheckFor(Kind(), NewName);
  TCodeItem::CheckUniqueName(OldName, NewName);
}

String TDelegateItem::GetDescription() const {
  String tail = u";";
  if (FMethodKind != mkProcedure && !FDataName.empty())
    tail = Format(u": %s;", {FDataName});
  return Format(u"%s (%s)%s", {Name(), FParameters, tail});
}

const TClassInfo &TClassItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TClassItem>(&TTypeItem::StaticClassInfo())
          .Str(u"AdditionalAncestors", &TClassItem::AdditionalAncestors,
               &TClassItem::SetAdditionalAncestors)
          .Str(u"Ancestor", &TClassItem::Ancestor, &TClassItem::SetAncestor)
          .Enum(u"ClassKind", TClassKindNames, &TClassItem::ClassKind, &TClassItem::SetClassKind)
          .Set(u"Directives", TClassDirectiveNames, &TClassItem::Directives,
               &TClassItem::SetDirectives)
          .Bool(u"ForwardDecl", &TClassItem::ForwardDecl, &TClassItem::SetForwardDecl)
          .Str(u"GUID", &TClassItem::GUID, &TClassItem::SetGUID)
          .Str(u"HelperTarget", &TClassItem::HelperTarget, &TClassItem::SetHelperTarget)
          .Str(u"IOMetaData", &TClassItem::IOMetaData, &TClassItem::SetIOMetaData)
          .Str(u"Interfaces", &TClassItem::Interfaces, &TClassItem::SetInterfaces)
          .Bool(u"Normalized", &TClassItem::Normalized, &TClassItem::SetNormalized)
          .Bool(u"Stub", &TClassItem::Stub, &TClassItem::SetStub)
          .Set(u"Warnings", TClassItemWarningNames, &TClassItem::Warnings,
               &TClassItem::SetWarnings)
          .Build();
  return info;
}

TClassItem::TClassItem(TCodeItem *AOwner) : TTypeItem(AOwner) {
  SetClassKind(clClass);
  SetVisibility(scPublic);
}

void TClassItem::SetClassKind(TClassKind Value) {
  FClassKind = Value;
  FKind = ItemKindOfClassKind(Value);
}

void TClassItem::SetDirective(TClassDirective D, bool On) {
  if (On)
    FDirectives.Include(D);
  else
    FDirectives.Exclude(D);
}

void TClassItem::SetStub(bool Value) {
  FStub = Value;
  if (Value)
    SetLineNr(-1);
}

void TClassItem::SetWarning(TClassItemWarning W, bool On) {
  if (On)
    FWarnings.Include(W);
  else
    FWarnings.Exclude(W);
}

TClassifierKind &TClassItem::GetClassifierKind() const {
  return GetLanguage()->GetClassifierKind(FClassKind);
}

void TClassItem::Assign(const TPersistent *Source) {
  TCodeItem::Assign(Source);
  if (const auto *source = dynamic_cast<const TClassItem *>(Source)) {
    FWarnings = source->FWarnings;
    FForwardDecl = source->FForwardDecl;
  }
}

String TClassItem::GetDeclaration() const { return GetLanguage()->ClassDeclarationText(*this); }

void TClassItem::AssignProps(const TCodeItem &Source) {
  TTypeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TClassItem *>(&Source)) {
    SetClassKind(source->FClassKind);
    FAncestor = source->FAncestor;
    FAdditionalAncestors = source->FAdditionalAncestors;
    FGUID = source->FGUID;
    FInterfaces = source->FInterfaces;
    FDirectives = source->FDirectives;
  }
}

void TClassItem::ValidateName(const String &OldName, const String &NewName) {
  GetLanguage()->IdentValidator().CheckFor(Kind(), NewName);
  CheckUniqueName(OldName, NewName);
}

const TClassInfo &TFieldItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TFieldItem>(&TMemberItem::StaticClassInfo())
          .Set(u"Directives", TFieldDirectiveNames, &TFieldItem::Directives,
               &TFieldItem::SetDirectives)
          .Enum(u"FieldKind", TFieldKindNames, &TFieldItem::FieldKind, &TFieldItem::SetFieldKind)
          .Str(u"Initializer", &TFieldItem::Initializer, &TFieldItem::SetInitializer)
          .Build();
  return info;
}

TFieldItem::TFieldItem(TCodeItem *AOwner) : TMemberItem(AOwner) { FKind = ckField; }

String TFieldItem::GetDeclaration() const { return GetLanguage()->FieldDeclarationText(*this); }

void TFieldItem::AssignProps(const TCodeItem &Source) {
  TMemberItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TFieldItem *>(&Source)) {
    FFieldKind = source->FFieldKind;
    FInitializer = source->FInitializer;
    FDirectives = source->FDirectives;
  }
}

void TFieldItem::ValidateName(const String &OldName, const String &NewNames) {
  TSourceLanguage *language = GetLanguage();
  if (language->SameIdent(OldName, NewNames))
    return;
  TWordScanner scanner;
  scanner.Delimiters = TSysCharSet{u','};
  scanner.QuoteChar = u'\0';
  const Integer count = scanner.Scan(NewNames);
  for (Integer i = 0; i < count; ++i) {
    const String name = Trim(scanner.GetWord(i));
    language->IdentValidator().CheckName(ckField, name);
    CheckUniqueName(OldName, name);
  }
  if (count == 0)
    throw EKRToolsException(Format(SInvalidFieldName, {NewNames}));
}

const TClassInfo &TPropertyItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TPropertyItem>(&TMemberItem::StaticClassInfo())
          .Str(u"ArrayStr", &TPropertyItem::ArrayStr, &TPropertyItem::SetArrayStr)
          .Enum(u"DefaultSpec", TDefaultSpecifierNames, &TPropertyItem::DefaultSpec,
                &TPropertyItem::SetDefaultSpec)
          .Str(u"DefaultStr", &TPropertyItem::DefaultStr, &TPropertyItem::SetDefaultStr)
          .Set(u"Directives", TPropertyDirectiveNames, &TPropertyItem::Directives,
               &TPropertyItem::SetDirectives)
          .Str(u"ImplementsStr", &TPropertyItem::ImplementsStr, &TPropertyItem::SetImplementsStr)
          .Str(u"IndexStr", &TPropertyItem::IndexStr, &TPropertyItem::SetIndexStr)
          .Str(u"NotifyStr", &TPropertyItem::NotifyStr, &TPropertyItem::SetNotifyStr)
          .Str(u"ReadSpec", &TPropertyItem::ReadSpec, &TPropertyItem::SetReadSpec)
          .Str(u"StorageStr", &TPropertyItem::StorageStr, &TPropertyItem::SetStorageStr)
          .Str(u"WriteSpec", &TPropertyItem::WriteSpec, &TPropertyItem::SetWriteSpec)
          .Build();
  return info;
}

TPropertyItem::TPropertyItem(TCodeItem *AOwner) : TMemberItem(AOwner) { FKind = ckProperty; }

bool TPropertyItem::IsIndexer() const {
  return DelphiLanguageMode() != dlmDelphi7Win32 && FDirectives.Contains(prArray) &&
         FDirectives.Contains(prDefaultArray);
}

String TPropertyItem::GetArrayParamText() const {
  return ParamSignature(FArrayStr, GetLanguageKind());
}

Integer TPropertyItem::CompareName(const TCodeItem &Other) const {
  if (&Other == this)
    return 0;
  const Integer result = TCodeItem::CompareName(Other);
  if (result != 0)
    return result;
  const auto *other = dynamic_cast<const TPropertyItem *>(&Other);
  if (other && IsIndexer() && other->IsIndexer())
    return GetLanguage()->CompareIdent(GetArrayParamText(), other->GetArrayParamText());
  return 0;
}

bool TPropertyItem::CanImplement() const {
  if (FDirectives.Contains(prAbstract) || FDirectives.Contains(prExternal) ||
      FDirectives.Contains(prAutoImplemented))
    return false;
  if (const auto *owner = dynamic_cast<const TClassItem *>(Owner()))
    return GetLanguage()->ClassifierForItemKind(owner->Kind()).HasVisibilitySections();
  return true;
}

String TPropertyItem::GetDescription() const {
  if (FDirectives.Contains(prOverride) && GetLanguage()->IsGlobalPascalLanguage())
    return Name() + u" override";
  String text = Name();
  if (FDirectives.Contains(prArray))
    text += u"[" + FArrayStr + u"] ";
  text += u": " + DataName();
  if (FDirectives.Contains(prIndex))
    text += u" index " + FIndexStr;
  return text;
}

void TPropertyItem::AssignProps(const TCodeItem &Source) {
  TMemberItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TPropertyItem *>(&Source)) {
    FArrayStr = source->FArrayStr;
    FDefaultSpec = source->FDefaultSpec;
    FDefaultStr = source->FDefaultStr;
    FImplementsStr = source->FImplementsStr;
    FIndexStr = source->FIndexStr;
    FDirectives = source->FDirectives;
    FReadSpec = source->FReadSpec;
    FStorageStr = source->FStorageStr;
    FWriteSpec = source->FWriteSpec;
    FNotifyStr = source->FNotifyStr;
  }
}

void TPropertyItem::ValidateName(const String &OldName, const String &NewName) {
  PascalLanguage().IdentValidator().CheckName(Kind(), NewName);
  CheckUniqueName(OldName, NewName);
}

Integer TPropertyItem::IndexerDuplicateKind(const TCodeItem *Container, StringView AName) const {
  if (!Container)
    return 0;
  const TSourceLanguage *language = GetLanguage();
  const bool own = IsIndexer();
  const String ownText = own ? GetArrayParamText() : String();
  Byte flags = 0;
  for (Integer i = 0; i < Container->ChildCount(); ++i) {
    const TCodeItem *child = Container->GetChild(i);
    if (!language->SameIdent(child->Name(), AName))
      continue;
    const auto *prop = dynamic_cast<const TPropertyItem *>(child);
    if (!own || !prop || !prop->IsIndexer())
      return 3;
    if (language->SameIdent(prop->GetArrayParamText(), ownText))
      flags |= 1u << 2;
    flags |= 1u << 1;
  }
  return HighestFlag3(flags);
}

void TPropertyItem::CheckUniqueName(const String &OldName, const String &NewName) {
  if (GetLanguage()->SameIdent(OldName, NewName))
    return;
  switch (IndexerDuplicateKind(Owner(), NewName)) {
  case 1:
    ConfirmOrAbort(SIndexerExists, NewName);
    break;
  case 2:
    ConfirmOrAbort(SIndexerSignatureExists, NewName);
    break;
  case 3:
    throw EKRToolsException(Format(SAlreadyExists, {NewName}));
  default:
    break;
  }
}

bool TPropertyItem::IsUniqueIn(const TCodeItem *Container) const {
  const Integer code = IndexerDuplicateKind(Container, Name());
  return code == 0 || code == 1;
}

String TPropertyItem::GetDeclaration() const {
  return GetLanguage()->PropertyDeclarationText(*this);
}

const TClassInfo &TEventItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TEventItem>(&TPropertyItem::StaticClassInfo())
          .Str(u"Initializer", &TEventItem::Initializer, &TEventItem::SetInitializer)
          .Build();
  return info;
}

TEventItem::TEventItem(TCodeItem *AOwner) : TPropertyItem(AOwner) { FKind = ckEvent; }

String TEventItem::GetDeclaration() const { return GetLanguage()->EventDeclarationText(*this); }

void TEventItem::AssignProps(const TCodeItem &Source) {
  TPropertyItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TEventItem *>(&Source))
    FInitializer = source->FInitializer;
}

const TClassInfo &TVisibilityItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TVisibilityItem>(&TCodeItem::StaticClassInfo()).Build();
  return info;
}

TVisibilityItem::TVisibilityItem(TCodeItem *AOwner) : TCodeItem(AOwner) { FKind = ckVisibility; }

String TVisibilityItem::GetDeclaration() const {
  return Visibility() == scDefault ? String() : GetLanguage()->VisibilityKeyword(Visibility());
}

String TVisibilityItem::GetDescription() const {
  return GetLanguage()->VisibilityKeyword(Visibility());
}

const TClassInfo &TRecordVariantSection::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TRecordVariantSection>(&TCodeItem::StaticClassInfo()).Build();
  return info;
}

TRecordVariantSection::TRecordVariantSection(TCodeItem *AOwner) : TCodeItem(AOwner) {
  FKind = ckVariantSection;
}

const TClassInfo &TUnhandledTypeItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TUnhandledTypeItem>(&TCodeItem::StaticClassInfo()).Build();
  return info;
}

TUnhandledTypeItem::TUnhandledTypeItem(TCodeItem *AOwner) : TCodeItem(AOwner) {
  FKind = ckUnhandledType;
}

void TUnhandledTypeItem::AssignProps(const TCodeItem &Source) {
  TCodeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TUnhandledTypeItem *>(&Source)) {
    FDeclarationText = source->FDeclarationText;
    FTypeInfo = source->FTypeInfo;
  }
}

const TClassInfo &TIncludeFileItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TIncludeFileItem>(&TModuleSectionItem::StaticClassInfo()).Build();
  return info;
}

TIncludeFileItem::TIncludeFileItem(TCodeItem *AOwner, const String &APath)
    : TModuleSectionItem(AOwner), FPath(APath) {
  SetSection(msIncludeFile);
}

String TIncludeFileItem::GetDescription() const {
  return Format(ModuleSectionKeyword(msIncludeFile), {ExtractFileName(FPath)});
}

// ===========================================================================================
// Code sections, regions, the code-item model
// ===========================================================================================

const TClassInfo &TCodeSectionItem::StaticClassInfo() {
  static const TClassInfo info =
      TClassInfoBuilder<TCodeSectionItem>(&TCodeItem::StaticClassInfo())
          .Enum(u"SectionKind", TCodeSectionKindNames, &TCodeSectionItem::SectionKind,
                &TCodeSectionItem::SetSectionKind)
          .Build();
  return info;
}

TCodeSectionItem::TCodeSectionItem(TCodeItem *AOwner) : TCodeItem(AOwner) {
  FKind = ckCodeSection;
}

void TCodeSectionItem::SetSectionKind(TCodeSectionKind Kind) {
  FSectionKind = Kind;
  SetName(GetDeclaration());
}

String TCodeSectionItem::GetDeclaration() const { return CodeSectionKeyword(FSectionKind); }

void TCodeSectionItem::AssignProps(const TCodeItem &Source) {
  TCodeItem::AssignProps(Source);
  if (const auto *source = dynamic_cast<const TCodeSectionItem *>(&Source))
    SetSectionKind(source->FSectionKind);
}

TSourceRegion::TSourceRegion(TSourceRegion *AParent) {
  if (AParent) {
    AParent->FChildren.emplace_back(this);
    FParent = AParent;
  }
}

TSourceRegion::~TSourceRegion() {
  Clear();
  if (!FParent)
    return;
  auto &list = FParent->FChildren;
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (it->get() == this) {
      it->release(); // being destroyed already
      list.erase(std::next(it).base());
      break;
    }
  if (list.empty())
    ReleaseStorage(list);
}

void TSourceRegion::Clear() {
  while (!FChildren.empty()) {
    std::unique_ptr<TSourceRegion> child = std::move(FChildren.back());
    FChildren.pop_back();
    child->FParent = nullptr;
  }
  ReleaseStorage(FChildren);
}

TSourceRegion *TSourceRegion::GetChild(Integer i) const {
  KR_ASSERT(i >= 0 && i < ChildCount());
  return FChildren[static_cast<std::size_t>(i)].get();
}

void TSourceRegion::Shift(Integer Line, Integer Delta) {
  if (StartLine >= Line)
    StartLine += Delta;
  if (EndLine >= Line)
    EndLine += Delta;
  for (const auto &child : FChildren)
    child->Shift(Line, Delta);
}

void TSourceRegion::LinesInserted(Integer Line, Integer Count) { Shift(Line, Count); }
void TSourceRegion::LinesDeleted(Integer Line, Integer Count) { Shift(Line, -Count); }

bool TCodeItemModel::IsEventTypeName(StringView) const { return false; }

TCodeItemModel *CodeItemModel() { return OwnedCodeItemModel().get(); }
void CreateCodeItemModel() { OwnedCodeItemModel() = std::make_unique<TCodeItemModel>(); }
void FreeCodeItemModel() { OwnedCodeItemModel().reset(); }

bool IsEventTypeNameOfModel(StringView TypeName) {
  const TCodeItemModel *model = CodeItemModel();
  return model && model->IsEventTypeName(TypeName);
}

// ===========================================================================================
// Classifier kinds
// ===========================================================================================

namespace {
bool ModeAtLeast(TDelphiLanguageMode mode) { return DelphiLanguageMode() >= mode; }

const TCodeItemKinds kMemberKinds{ckField, ckMethod, ckProperty, ckEvent, ckResClause};
const TCodeItemKinds kNestedTypeKinds =
    ClassifierItemKinds +
    TCodeItemKinds{ckDelegate, ckFunctionPointer, ckMethodReference, ckEnum, ckUnhandledType};
const TVisibilities kAllVisibilities{scDefault,   scStrictPrivate, scPrivate,   scStrictProtected,
                                     scProtected, scPublic,        scPublished, scAutomated};
} // namespace

TCodeItemKinds TDelphiClassifierKind::AllowedMemberKinds() const {
  switch (ClassKind) {
  case clClass:
    return ModeAtLeast(dlmDelphi9Win32) ? kMemberKinds + kNestedTypeKinds : kMemberKinds;
  case clInterface:
    return {ckMethod, ckProperty, ckEvent};
  case clRecord:
    return ModeAtLeast(dlmDelphi10Win32) ? kMemberKinds + kNestedTypeKinds
                                         : TCodeItemKinds{ckField};
  case clObject:
    return {ckField, ckMethod};
  case clHelper:
  case clRecordHelper:
    return {ckField, ckMethod, ckProperty};
  case clModule:
    return kNestedTypeKinds + TCodeItemKinds{ckUses, ckProcedure};
  default:
    return {};
  }
}

bool TDelphiClassifierKind::AllowsClassMembers() const {
  switch (ClassKind) {
  case clClass:
    return ModeAtLeast(dlmDelphi9Win32);
  case clRecord:
    return ModeAtLeast(dlmDelphi10Win32);
  case clHelper:
  case clRecordHelper:
    return true;
  default:
    return false;
  }
}

TVisibility TDelphiClassifierKind::MapVisibility(TVisibility V) const {
  if (DelphiLanguageMode() == dlmDelphi7Win32) {
    if (V == scStrictPrivate)
      V = scPrivate;
    else if (V == scStrictProtected)
      V = scProtected;
  }
  const bool publicSide = V == scPublished || V == scAutomated;
  switch (ClassKind) {
  case clInterface:
  case clDispInterface:
    return scDefault;
  case clRecord:
    if (!ModeAtLeast(dlmDelphi10Win32))
      return scDefault;
    return V == scProtected ? scPrivate : (publicSide ? scPublic : V);
  case clObject:
    return (V == scPrivate || V == scProtected || V == scStrictPrivate || V == scStrictProtected)
               ? scPrivate
               : scDefault;
  case clHelper:
  case clRecordHelper:
    if (V == scStrictPrivate)
      return scPrivate;
    if (V == scStrictProtected)
      return scProtected;
    return publicSide ? scPublic : V;
  case clModule:
    return (V == scDefault || V == scPublic || publicSide) ? scPublic : scPrivate;
  default:
    return V;
  }
}

String TDelphiClassifierKind::DefaultAncestor() const {
  if (ClassKind == clClass)
    return u"TObject";
  if (ClassKind == clInterface)
    return String(InterfaceRootKeywords[GetPreferences(lanPascal).InterfaceRoot]);
  return String();
}

bool TDelphiClassifierKind::HasVisibilitySections() const {
  switch (ClassKind) {
  case clClass:
  case clObject:
  case clHelper:
  case clRecordHelper:
  case clModule:
    return true;
  case clRecord:
    return ModeAtLeast(dlmDelphi10Win32);
  default:
    return false;
  }
}

bool TDelphiClassifierKind::IsDefaultAncestor(StringView Name) const {
  if (Name.empty())
    return true;
  if (ClassKind == clClass)
    return SameText(Name, u"TObject");
  if (ClassKind == clInterface)
    return SameText(Name, u"IInterface") || SameText(Name, u"IUnknown");
  return false;
}

TFieldKinds TDelphiClassifierKind::AllowedFieldKinds() const {
  const TFieldKinds modern{fkInstance, fkStatic, fkConst, fkStaticThread};
  switch (ClassKind) {
  case clClass:
    if (ModeAtLeast(dlmDelphi10Win32))
      return modern;
    return ModeAtLeast(dlmDelphi9Win32) ? TFieldKinds{fkInstance, fkConst}
                                        : TFieldKinds{fkInstance};
  case clRecord:
    return ModeAtLeast(dlmDelphi10Win32) ? modern : TFieldKinds{fkInstance};
  case clObject:
    return {fkInstance};
  case clHelper:
  case clRecordHelper:
    return {fkStatic};
  default:
    return {};
  }
}

TBindingKinds TDelphiClassifierKind::AllowedBindings() const {
  switch (ClassKind) {
  case clClass:
  case clHelper:
    return {bkStatic, bkVirtual, bkAbstract, bkOverride, bkDynamic, bkMessage};
  case clRecord:
    return {bkStatic, bkOverride};
  default:
    return {bkStatic};
  }
}

TMethodKinds TDelphiClassifierKind::AllowedMethodKinds() const {
  switch (ClassKind) {
  case clClass:
    return {mkConstructor, mkDestructor, mkProcedure, mkFunction};
  case clRecord:
    return ModeAtLeast(dlmDelphi10Win32)
               ? TMethodKinds{mkConstructor, mkProcedure, mkFunction, mkOperator}
               : TMethodKinds{mkConstructor, mkProcedure, mkFunction};
  case clHelper:
  case clRecordHelper:
    return {mkConstructor, mkProcedure, mkFunction};
  default:
    return {mkProcedure, mkFunction};
  }
}

TVisibilities TDelphiClassifierKind::AllowedVisibilities() const {
  TVisibilities allowed;
  switch (ClassKind) {
  case clClass:
    allowed = kAllVisibilities;
    break;
  case clRecord:
    allowed = ModeAtLeast(dlmDelphi10Win32)
                  ? TVisibilities{scDefault, scStrictPrivate, scPrivate, scPublic}
                  : TVisibilities{scDefault};
    break;
  case clObject:
    allowed = {scDefault, scPrivate};
    break;
  case clHelper:
    allowed = kAllVisibilities - TVisibilities{scAutomated};
    break;
  case clRecordHelper:
    allowed = {scDefault, scStrictPrivate, scPrivate, scStrictProtected, scProtected, scPublic};
    break;
  case clModule:
    allowed = {scPrivate, scPublic};
    break;
  case clInterface:
  case clDispInterface:
    allowed = {scDefault};
    break;
  default:
    break;
  }
  const TPascalLanguage *pascal = GlobalPascalLanguage();
  return pascal ? allowed * pascal->AllowedVisibilities() : allowed;
}

bool TDelphiClassifierKind::CanHaveAncestor() const {
  return ClassKind == clClass || ClassKind == clInterface || ClassKind == clObject ||
         ClassKind == clHelper;
}

bool TDelphiClassifierKind::CanImplementInterfaces() const {
  return ClassKind == clClass || ClassKind == clHelper;
}

bool TDelphiClassifierKind::AllowsClassProperties() const {
  switch (ClassKind) {
  case clClass:
  case clHelper:
  case clRecordHelper:
    return true;
  case clRecord:
    return ModeAtLeast(dlmDelphi10Win32);
  default:
    return false;
  }
}

bool TDelphiClassifierKind::AllowsMulticastEvents() const {
  return IsDotNetLanguageMode(DelphiLanguageMode()) && AllowedMemberKinds().Contains(ckEvent);
}

bool TDelphiClassifierKind::AllowsClassDirectives() const {
  return ClassKind == clClass && ModeAtLeast(dlmDelphi9Win32);
}

bool TDelphiClassifierKind::CanBePacked() const {
  return ClassKind == clClass || ClassKind == clRecord || ClassKind == clObject;
}

// ===========================================================================================
// Declaration rendering of the Pascal language
// ===========================================================================================

namespace {
// "(params)", "()" when the preferences ask for empty lists, else ''.
String ParamListText(const String &parameters) {
  if (!parameters.empty())
    return u"(" + parameters + u")";
  return GetPreferences(lanPascal).ShowEmptyParamLists ? u"()" : String();
}

String VisibleHints(const TCodeItem &item, StringView separator) {
  return HintDirectivesToText(item.GetHintDirectives() * TPascalLanguage::VisibleHintDirectives(),
                              item.DeprecatedText(), separator);
}

void AppendRoutineHints(String &text, const TCodeItem &item) {
  const String hints = VisibleHints(item, u"; ");
  if (!hints.empty())
    text = Format(u"%s %s;", {text, hints});
}

bool AfterDelphi7() { return DelphiLanguageMode() > dlmDelphi7Win32; }

String StandaloneHeading(const TProcData &item) {
  String text = MethodKindName(item.MethodKind()) + u" " + item.Name() +
                ParamListText(item.Parameters());
  if (item.HasResultType())
    text += u": " + item.DataName();
  text += u";";
  if (item.HasDirective(pdOverload))
    text += u" overload;";
  if (item.CallConvention() != ccDefault)
    text += u" " + CallConventionName(item.CallConvention()) + u";";
  if (item.HasDirective(pdInline) && AfterDelphi7())
    text += u" inline;";
  if (item.HasDirective(pdForward))
    text += u" forward;";
  if (item.HasDirective(pdExternal)) {
    text += item.ExternalSpec().empty() ? String(u" external") : u" external " + item.ExternalSpec();
    if (item.HasDirective(pdDelayed) && ModeAtLeast(dlmD2010Win32))
      text += u" delayed";
    text += u";";
  }
  AppendRoutineHints(text, item);
  return text;
}
} // namespace

String TPascalLanguage::ClassDeclarationText(const TClassItem &Item) const {
  const TClassifierKind &classifier = GetClassifierKind(Item.ClassKind());
  String text = Item.Name() + u" = ";
  if (Item.IsPacked() && classifier.CanBePacked())
    text += u"packed ";
  text += ClassKindKeyword(Item.ClassKind());
  if (classifier.AllowsClassDirectives()) {
    const String directive = AbstractOrSealedKeyword(Item.Directives());
    if (!directive.empty())
      text += u" " + directive;
  }
  String ancestors = Item.Ancestor();
  if (classifier.CanImplementInterfaces() && !Item.Interfaces().empty()) {
    if (Item.ClassKind() == clClass && ancestors.empty())
      ancestors = classifier.DefaultAncestor();
    ancestors += (ancestors.empty() ? String() : String(u", ")) + Item.Interfaces();
  }
  if (!ancestors.empty())
    text = Format(u"%s(%s)", {text, ancestors});
  if ((Item.ClassKind() == clInterface || Item.ClassKind() == clDispInterface) &&
      !Item.GUID().empty())
    text = Format(u"%s\r\n[%s]", {text, Item.GUID()});
  else if (Item.ClassKind() == clHelper || Item.ClassKind() == clRecordHelper)
    text = Format(u"%s for %s", {text, Item.HelperTarget()});
  return text;
}

String TPascalLanguage::DelegateDeclarationText(const TDelegateItem &Item) const {
  String text = Format(u"%s = %s%s", {Item.Name(),
                                      Item.IsMethodReference() ? u"reference to " : u"",
                                      MethodKindName(Item.MethodKind())});
  text += ParamListText(Item.Parameters());
  if (Item.HasResult() && !Item.DataName().empty())
    text += u": " + Item.DataName();
  if (Item.CallConvention() != ccDefault)
    text += u" " + CallConventionName(Item.CallConvention());
  text += Item.Kind() == ckDelegate ? u" of object;" : u";";
  return text;
}

String TPascalLanguage::FieldDeclarationText(const TFieldItem &Item) const {
  String text = Item.Name();
  if (!Item.DataName().empty())
    text = Format(u"%s: %s", {text, Item.DataName()});
  if (!Item.Initializer().empty())
    text = Format(u"%s = %s", {text, Item.Initializer()});
  // A blank separates the directives from the declaration ("A: Integer deprecated;").
  const String hints = VisibleHints(Item, u" ");
  if (!hints.empty())
    text += u" " + hints;
  return text + u";";
}

String TPascalLanguage::MethodDeclarationText(const TProcItem &Item) const {
  if (const auto *standalone = dynamic_cast<const TProcData *>(&Item))
    return StandaloneHeading(*standalone);
  const auto *impl = dynamic_cast<const TMethodImplItem *>(&Item);
  String text = IsClassMethod(Item) ? u"class " : u"";
  text += MethodKindName(Item.MethodKind()) + u" ";
  if (impl)
    text += impl->BaseClass() + u".";
  text += Item.Name() + ParamListText(Item.Parameters());
  if (Item.HasResultType())
    text += u": " + Item.DataName();
  text += u";";
  if (impl)
    return text;
  if (Item.HasDirective(pdReintroduce))
    text += u" reintroduce;";
  if (Item.HasDirective(pdOverload))
    text += u" overload;";
  const TBindingKind binding = BindingOf(Item);
  if (binding == bkMessage)
    text += Format(u" %s %s;", {BindingKindName(binding), Item.DataName()});
  else if (binding != bkStatic)
    text += Format(u" %s;", {BindingKindName(binding)});
  if (Item.HasDirective(pdStatic) && AfterDelphi7())
    text += u" static;";
  if (Item.CallConvention() != ccDefault)
    text += u" " + CallConventionName(Item.CallConvention()) + u";";
  if (Item.HasDirective(pdExternal))
    text += Item.ExternalSpec().empty() ? String(u" external;")
                                        : u" external " + Item.ExternalSpec() + u";";
  if (!Item.DispID().empty())
    text += Format(u" dispid %s;", {Item.DispID()});
  if (AfterDelphi7()) {
    if (Item.HasDirective(pdSealed))
      text += u" final;";
    if (Item.HasDirective(pdInline))
      text += u" inline;";
  }
  AppendRoutineHints(text, Item);
  if (IsAbstract(Item))
    text += u" abstract;";
  return text;
}

String TPascalLanguage::PropertyDeclarationText(const TPropertyItem &Item) const {
  const TPropertyDirectives d = Item.Directives();
  const bool classProperty = Item.IsStatic() && AfterDelphi7();
  String text = (classProperty ? u"class property " : u"property ") + Item.Name();
  if (!d.Contains(prOverride)) {
    if (d.Contains(prArray))
      text += u"[" + Item.ArrayStr() + u"]";
    if (!Item.DataName().empty())
      text += u": " + Item.DataName();
    if (d.Contains(prIndex))
      text += u" index " + Item.IndexStr();
  }
  if (!Item.ReadSpec().empty())
    text += u" read " + Item.ReadSpec();
  if (!Item.WriteSpec().empty())
    text += u" write " + Item.WriteSpec();
  if (d.Contains(prReadOnly))
    text += u" readonly";
  if (d.Contains(prWriteOnly))
    text += u" writeonly";
  if (!Item.IsStatic()) {
    if (d.Contains(prStored) || !Item.StorageStr().empty())
      text += u" stored " + Item.StorageStr();
    if (Item.DefaultSpec() == dsDefault)
      text += u" default " + Item.DefaultStr();
    else if (Item.DefaultSpec() == dsNoDefault)
      text += u" nodefault";
    if (!Item.DispID().empty())
      text += u" dispid " + Item.DispID();
  }
  if (!Item.ImplementsStr().empty())
    text += u" implements " + Item.ImplementsStr();
  if (d.Contains(prDefaultArray))
    text += u"; default";
  return text + u";";
}

// ===========================================================================================
// Identifier validators
// ===========================================================================================

String TIdentifierValidator::UnqualifiedName(const String &Text) {
  if (Text.empty())
    return String();
  String name, qualifier;
  SplitQualifiedName(Text, name, qualifier);
  return name;
}

bool TIdentifierValidator::IsValidName(TCodeItemKind, const String &Text) {
  return IsValidIdent(Text);
}

bool TIdentifierValidator::IsValidQualifiedIdent(const String &Text) {
  const std::vector<String> parts = SplitAtDots(Text);
  return std::all_of(parts.begin(), parts.end(), [this](const String &p) { return IsValidIdent(p); });
}

void TIdentifierValidator::SplitGenericName(const String &Text, String &Name, bool &IsGeneric,
                                            String &TypeParams) {
  // Names come from source text; trailing blanks are not part of the name.
  const String text = TrimRight(Text);
  Name = text;
  TypeParams.clear();
  IsGeneric = false;
  if (text.empty() || text.back() != u'>')
    return;
  IsGeneric = true;
  // The "<" that matches the closing ">", so that nested arguments ("TFoo<TBar<T>>") stay in
  // the parameters; a lone ">" or one that no "<" opens leaves the whole text as the name.
  std::size_t depth = 0;
  for (std::size_t i = text.size(); i-- > 0;) {
    if (text[i] == u'>') {
      ++depth;
    } else if (text[i] == u'<' && --depth == 0) {
      TypeParams = text.substr(i);
      Name = text.substr(0, i);
      return;
    }
  }
}

bool TIdentifierValidator::SplitQualifiedName(const String &Text, String &Name,
                                              String &Qualifier) {
  // The last "." outside generic arguments: "TFoo<A.B>" is one name, "TFoo<A.B>.M" splits
  // before "M".
  auto dot = String::npos;
  std::size_t depth = 0;
  for (std::size_t i = Text.size(); i-- > 0 && dot == String::npos;) {
    if (Text[i] == u'>')
      ++depth;
    else if (Text[i] == u'<' && depth > 0)
      --depth;
    else if (Text[i] == u'.' && depth == 0)
      dot = i;
  }
  if (dot == String::npos) {
    Name = Trim(Text);
    Qualifier.clear();
    return false;
  }
  Name = Trim(StringView(Text).substr(dot + 1));
  Qualifier = Trim(StringView(Text).substr(0, dot));
  return !Name.empty() && !Qualifier.empty();
}

bool TIdentifierValidator::SplitList(const String &Text, TStrings &Strings) {
  std::size_t start = 0;
  for (;;) {
    const auto comma = Text.find(u',', start);
    Strings.Add(Trim(StringView(Text).substr(
        start, comma == String::npos ? String::npos : comma - start)));
    if (comma == String::npos)
      return true;
    start = comma + 1;
  }
}

void TIdentifierValidator::CheckName(TCodeItemKind ItemKind, const String &Text) {
  if (!IsValidName(ItemKind, Text))
    throw EKRToolsException(Format(SInvalidIdentifier, {Text}));
}

void TIdentifierValidator::CheckIdent(const String &Text) {
  if (!IsValidIdent(Text))
    throw EKRToolsException(Format(SInvalidIdentifier, {Text}));
}

void TIdentifierValidator::CheckFor(TCodeItemKind ItemKind, const String &Text) {
  if (!IsValidFor(ItemKind, Text))
    throw EKRToolsException(Format(SInvalidIdentifier, {Text}));
}

bool TIdentifierValidator::HasDot(StringView Text) { return Text.find(u'.') != StringView::npos; }

TPascalIdentValidator::TPascalIdentValidator() {
  for (TVisibility v : {scPrivate, scProtected, scPublic, scPublished, scAutomated})
    FExtraNames.Add(VisibilityName(v));
  UpdateExtraNames(DelphiLanguageMode());
}

void TPascalIdentValidator::UpdateExtraNames(TDelphiLanguageMode Mode) {
  const Integer index = FExtraNames.IndexOf(u"strict");
  if (Mode > dlmDelphi7Win32 && index < 0)
    FExtraNames.Add(u"strict");
  else if (Mode == dlmDelphi7Win32 && index >= 0)
    FExtraNames.Delete(index);
}

bool TPascalIdentValidator::IsIdentText(const String &Text, bool RefuseReserved) {
  if (Text.empty())
    return false;
  if (DelphiLanguageMode() == dlmDelphi7Win32) {
    if (!IsAsciiIdent(Text))
      return false;
  } else {
    const StringView rest = Text[0] == u'&' ? StringView(Text).substr(1) : StringView(Text);
    if (!IsUnicodeIdent(rest))
      return false;
  }
  return !(RefuseReserved && gPascalLanguage && gPascalLanguage->IsReservedWord(Text));
}

bool TPascalIdentValidator::IsValidIdent(const String &Text) { return IsIdentText(Text, true); }

bool TPascalIdentValidator::IsValidName(TCodeItemKind ItemKind, const String &Text) {
  if (ItemKind == ckResClause)
    return HasDot(Text) && IsValidQualifiedIdent(Text);
  return IsValidIdent(Text) && FExtraNames.IndexOf(Text) < 0;
}

bool TPascalIdentValidator::IsValidQualifiedIdent(const String &Text) {
  const std::vector<String> parts = SplitAtDots(Text);
  if (parts.empty() || !IsValidIdent(parts[0]))
    return false;
  const bool refuseReserved = DelphiLanguageMode() == dlmDelphi7Win32;
  return std::all_of(parts.begin() + 1, parts.end(),
                     [&](const String &p) { return IsIdentText(p, refuseReserved); });
}

// ===========================================================================================
// Source languages
// ===========================================================================================

TSourceLanguage::TSourceLanguage(TSourceLanguageKind Kind, bool CaseSensitive)
    : FCaseSensitive(CaseSensitive), FLanguageKind(Kind),
      FReservedWords(dupIgnore, true, CaseSensitive) {}

TSourceLanguage::~TSourceLanguage() {
  // Observers outlive a language only by mistake; they must not keep pointing at it.
  for (TLanguageObserver *observer : std::vector<TLanguageObserver *>(FObservers))
    observer->SetLanguage(nullptr);
  if (gPascalLanguage == this)
    gPascalLanguage = nullptr;
}

void TSourceLanguage::Init() {
  for (std::size_t k = 0; k < FClassifiers.size(); ++k)
    FClassifiers[k] = CreateClassifierKind(static_cast<TClassKind>(k));
  FEnumClassifier = std::make_unique<TEnumClassifier>();
  FNameSpaceClassifier = CreateNameSpaceClassifier();
  FIdentValidator = CreateIdentValidator();
}

TClassifierKind &TSourceLanguage::GetClassifierKind(TClassKind ClassKind) const {
  KR_ASSERT(ClassKind <= TClassKindLast);
  return *FClassifiers[ClassKind];
}

TClassifierKind &TSourceLanguage::ClassifierForItemKind(TCodeItemKind ItemKind) const {
  if (ItemKind == ckNameSpace)
    return *FNameSpaceClassifier;
  if (ItemKind == ckEnum)
    return *FEnumClassifier;
  return GetClassifierKind(ClassKindOfItemKind(ItemKind));
}

Integer TSourceLanguage::CompareIdent(StringView A, StringView B) const {
  if (FCaseSensitive) {
    const int c = A.compare(B);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return AnsiCompareText(A, B);
}

bool TSourceLanguage::IsReservedWord(const String &Word) const {
  Integer index = -1;
  return FReservedWords.Find(Word, index);
}

void TSourceLanguage::SetIdentValidator(std::unique_ptr<TIdentifierValidator> Validator) {
  if (Validator.get() == FIdentValidator.get()) {
    Validator.release();
    return;
  }
  FIdentValidator = std::move(Validator);
}

void TSourceLanguage::AddObserver(TLanguageObserver *Observer) {
  if (std::find(FObservers.begin(), FObservers.end(), Observer) == FObservers.end())
    FObservers.push_back(Observer);
}

void TSourceLanguage::RemoveObserver(TLanguageObserver *Observer) {
  std::erase(FObservers, Observer);
}

void TSourceLanguage::NotifyObservers() {
  if (FUpdateCount > 0) {
    FChangePending = true;
    return;
  }
  FChangePending = false;
  // A copy: an observer may leave or join while it hears of the change.
  for (TLanguageObserver *observer : std::vector<TLanguageObserver *>(FObservers))
    observer->LanguageChanged();
}

void TSourceLanguage::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangePending)
    NotifyObservers();
}

TLanguageObserver *TSourceLanguage::GetObserver(Integer i) const {
  KR_ASSERT(i >= 0 && i < ObserverCount());
  return FObservers[static_cast<std::size_t>(i)];
}

bool TSourceLanguage::IsGlobalPascalLanguage() const { return this == gPascalLanguage; }

TVisibility TSourceLanguage::NearestAllowedVisibility(TVisibility V, TVisibilities S) const {
  if (S.Contains(V))
    return V;
  if (V >= scPublic) {
    for (Integer v = V; v >= scPublic; --v)
      if (S.Contains(static_cast<TVisibility>(v)))
        return static_cast<TVisibility>(v);
    return scDefault;
  }
  TVisibility v = V;
  if (v == scStrictPrivate) {
    v = scPrivate;
    if (S.Contains(v))
      return v;
  }
  if (v == scStrictProtected) {
    v = scProtected;
    if (S.Contains(v))
      return v;
  }
  if (v == scProtected) {
    v = scPrivate;
    if (S.Contains(v))
      return v;
  }
  return scDefault;
}

String TSourceLanguage::UsesClauseText(const TUsesClause &Item) const {
  return u"uses\r  " + Item.UsesListText() + u";";
}

TPascalLanguage::TPascalLanguage() : TSourceLanguage(lanPascal, false) {}

std::unique_ptr<TPascalLanguage> TPascalLanguage::Create() {
  std::unique_ptr<TPascalLanguage> language(new TPascalLanguage());
  language->Init();
  language->EquivalentTypeNames().Add(u"IUnknown=IInterface");
  return language;
}

std::unique_ptr<TIdentifierValidator> TPascalLanguage::CreateIdentValidator() const {
  return std::make_unique<TPascalIdentValidator>();
}

std::unique_ptr<TClassifierKind> TPascalLanguage::CreateClassifierKind(TClassKind Kind) const {
  return std::make_unique<TDelphiClassifierKind>(Kind);
}

std::unique_ptr<TClassifierKind> TPascalLanguage::CreateNameSpaceClassifier() const {
  return std::make_unique<TPascalNameSpaceClassifier>();
}

TDelphiLanguageMode TPascalLanguage::GetLanguageMode() { return DelphiLanguageMode(); }

void TPascalLanguage::SetLanguageMode(TDelphiLanguageMode Mode) {
  if (gLanguageMode.exchange(Mode) == Mode)
    return;
  if (auto *validator = dynamic_cast<TPascalIdentValidator *>(&IdentValidator()))
    validator->UpdateExtraNames(Mode);
  NotifyObservers();
}

THintDirectives TPascalLanguage::VisibleHintDirectives() {
  THintDirectives all{hdDeprecated, hdPlatform, hdLibrary, hdExperimental, hdAlign};
  if (DelphiLanguageMode() == dlmDelphi7Win32)
    all.Exclude(hdExperimental);
  return all;
}

TVisibilities TPascalLanguage::AllowedVisibilities() const {
  return {scDefault,   scStrictPrivate, scPrivate,   scStrictProtected,
          scProtected, scPublic,        scPublished, scAutomated};
}

bool TPascalLanguage::SupportsGenerics() const { return DelphiLanguageMode() >= dlmD2009Win32; }
bool TPascalLanguage::SupportsAttributes() const { return DelphiLanguageMode() >= dlmD2010Win32; }
bool TPascalLanguage::SupportsNestedTypes() const {
  return DelphiLanguageMode() > dlmDelphi7Win32;
}

TLanguageObserver::TLanguageObserver(TComponent *AOwner, TSourceLanguage *ALanguage)
    : TComponent(AOwner) {
  SetLanguage(ALanguage);
}

TLanguageObserver::~TLanguageObserver() { SetLanguage(nullptr); }

void TLanguageObserver::SetLanguage(TSourceLanguage *Value) {
  if (Value == FLanguage)
    return;
  if (FLanguage)
    FLanguage->RemoveObserver(this);
  FLanguage = Value;
  if (FLanguage)
    FLanguage->AddObserver(this);
}

void TLanguageObserver::LanguageChanged() {
  if (OnChange)
    OnChange(this);
}

TPascalLanguage *GlobalPascalLanguage() { return gPascalLanguage; }

TDelphiLanguageMode DelphiLanguageMode() { return gLanguageMode.load(); }

// ===========================================================================================
// Unit start-up
// ===========================================================================================

void CodeItemsInitialization() {
  OwnedPascalLanguage() = TPascalLanguage::Create();
  gPascalLanguage = OwnedPascalLanguage().get();
  CheckMethodKindNames();
}

void CodeItemsFinalization() {
  OwnedPascalLanguage().reset();
  gPascalLanguage = nullptr;
  FreeCodeItemModel();
}

} // namespace krx
