// The code item base: the tree (adding, moving and freeing children), positions and the
// item at a line or column, line shifts, names and lookups, comments, tag data and declaration
// writing; and the unit's small routines that the items and the language renderers share
// (identifier rules, keyword tables, method and class kind mappings).
#include "Engine/CodeItems.h"

#include "Common/KRX.StringWrapper.h"
#include "Engine/CodeItemHelpers.h"
#include "Platform/Rtl/Character.h"
#include "World/ClassEx.h"
#include "World/KRStrUtils.h"
#include "World/PropInfo.h"

#include <algorithm>

namespace krx {

namespace {

const Char *const SRecursionDetected = u"Recursion detected";

// The room a child list starts with.
constexpr std::size_t kFirstChildren = 8;

bool IsAsciiLetter(Char c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiDigit(Char c) { return c >= u'0' && c <= u'9'; }

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

void TCodeItem::SetStart(TSourcePos Pos) {
  SetLineNr(ModelLine(Pos.Line));
  SetItemStartPos(Pos.Column);
}

void TCodeItem::SetHeaderEnd(TSourcePos Last) {
  FHeaderEndLineValue = ModelLine(Last.Line);
  FHeaderEndPos = Last.Column;
}

void TCodeItem::SetDeclarationEnd(TSourcePos Last) {
  FEndLineValue = ModelLine(Last.Line);
  FEndPos = Last.Column;
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
// The next owner above `p` whose name goes in front of a qualified name; null where the name
// ends. An include file's item adds no name: what an include file declares inside a class
// body belongs to the class, as if its text stood there.
const TCodeItem *NamedOwner(const TCodeItem *p, TCodeItemKinds crossed) {
  for (p = p->Owner(); p; p = p->Owner()) {
    if (p->Kind() == ckModuleSection && dynamic_cast<const TIncludeFileItem *>(p) && p->Owner() &&
        crossed.Contains(p->Owner()->Kind()))
      continue;
    return crossed.Contains(p->Kind()) ? p : nullptr;
  }
  return nullptr;
}

// Measured first, then written once from its end: a name costs its length, however deep the
// item stands.
String JoinOwnerNames(const TCodeItem &item, TCodeItemKinds crossed, bool lookup) {
  const auto nameOf = [lookup](const TCodeItem &i) -> const String & {
    return lookup ? i.GetLookupName() : i.Name();
  };
  const TCodeItem *outer = NamedOwner(&item, crossed);
  if (!outer)
    return nameOf(item);
  std::size_t length = nameOf(item).size();
  for (const TCodeItem *p = outer; p; p = NamedOwner(p, crossed))
    length += nameOf(*p).size() + 1;
  String result(length, u'.');
  std::size_t end = length;
  for (const TCodeItem *p = &item; p; p = NamedOwner(p, crossed)) {
    const String &part = nameOf(*p);
    end -= part.size();
    std::copy(part.begin(), part.end(), result.begin() + static_cast<std::ptrdiff_t>(end));
    if (end > 0)
      --end;
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

} // namespace krx
