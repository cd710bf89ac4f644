// The type items and the members of classifiers: the type base that lists every type with its
// module, procedural types, classifiers, fields, properties and events with their rename
// checks, visibility sections, record variant parts and types kept only as text.
#include "Engine/CodeItems.h"

#include "Engine/CodeItemHelpers.h"
#include "Engine/ParamLists.h"
#include "World/WordScanners.h"

namespace krx {

namespace {
const Char *const SIndexerExists = u"An indexer property named %s already exists. Continue?";
const Char *const SIndexerSignatureExists =
    u"An indexer property named %s with identical signature already exists. Continue?";
const Char *const SInvalidFieldName = u"\"%s\" is not a valid field name identifier";
} // namespace

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

} // namespace krx
