// The source languages: identifier comparison, reserved words, language mode and observers;
// the classifier kinds of the Pascal language; the declaration rendering of classes, routines,
// procedural types, fields and properties; the identifier validators; and the unit's start-up,
// which creates the process-wide Pascal language.
#include "Engine/CodeItems.h"

#include "Engine/CodeItemHelpers.h"
#include "Engine/Prefs.h"
#include "World/KRStrUtils.h"

#include <algorithm>
#include <atomic>

namespace krx {

TPascalLanguage *gPascalLanguage = nullptr;

namespace {

const Char *const SInvalidIdentifier = u"\"%s\" is not a valid identifier";

std::atomic<TDelphiLanguageMode> gLanguageMode{DefaultLanguageMode};

std::unique_ptr<TPascalLanguage> &OwnedPascalLanguage() {
  static std::unique_ptr<TPascalLanguage> language;
  return language;
}

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

// The text as a Pascal string literal: printable runs quoted with their quotes doubled,
// control characters as "#n" ("it's"#13#10"gone" gives 'it''s'#13#10'gone').
String PascalStringLiteral(StringView text) {
  String literal;
  bool quoted = false;
  for (const Char c : text) {
    if (c < u' ') {
      if (quoted)
        literal += u'\'';
      quoted = false;
      literal += u'#' + IntToStr(c);
      continue;
    }
    if (!quoted)
      literal += u'\'';
    quoted = true;
    if (c == u'\'')
      literal += c;
    literal += c;
  }
  if (quoted)
    literal += u'\'';
  return literal;
}

// The deprecation message is kept as its value (the parser unquotes it) and written back as a
// string literal.
String VisibleHints(const TCodeItem &item, StringView separator) {
  return HintDirectivesToText(item.GetHintDirectives() * TPascalLanguage::VisibleHintDirectives(),
                              PascalStringLiteral(item.DeprecatedText()), separator);
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
    text += u": " + item.ResultType();
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
    text += u": " + Item.ResultType();
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
