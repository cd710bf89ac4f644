// The routine items: the member base, routines (global procedures, methods and their
// implementations) with their declaration and implementation links, the duplicate checks of a
// rename, method resolution clauses and procedural types.
#include "Engine/CodeItems.h"

#include "Engine/CodeItemHelpers.h"
#include "Engine/ParamLists.h"
#include "Platform/Shell/Dialogs.h"
#include "World/KRStrUtils.h"

#include <algorithm>

namespace krx {

namespace {
const Char *const SOverloadExists = u"An overloaded procedure named %s already exists. Continue?";
const Char *const SNonOverloadExists =
    u"A non-overloaded procedure named %s already exists. Continue?";
const Char *const SOperatorSignatureExists =
    u"An operator %s with identical parameter signature already exists. Continue?";
const Char *const SSignatureExists =
    u"A procedure named %s with identical parameter signature already exists. Continue?";

bool HasResultKind(TMethodKind kind) {
  return kind == mkFunction || kind == mkOperator || kind == mkMethod;
}
} // namespace

void ConfirmOrAbort(const Char *question, const String &name) {
  if (MessageDlg(Format(question, {name}), mtWarning, {mbOK, mbCancel}, 0) != mrOk)
    Abort();
}

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

void TProcItem::SetBegin(TSourcePos Pos) {
  FBeginLineValue = ModelLine(Pos.Line);
  FBeginPos = Pos.Column;
}

void TProcItem::SetBodyEnd(TSourcePos Pos) {
  FBodyEndLineValue = ModelLine(Pos.Line);
  FBodyEndPos = Pos.Column;
}

Integer TProcItem::GetLastLine() const {
  return std::max(TCodeItem::GetLastLine(), GetLastBodyLine());
}

const String &TProcItem::ResultType() const {
  return HasDirective(pdMessage) ? FMessageResultType : DataName();
}

bool TProcItem::HasResultType() const {
  return HasResultKind(FMethodKind) && !ResultType().empty();
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
    FMessageResultType = source->FMessageResultType;
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
    text += u": " + ResultType();
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

} // namespace krx
