// The type items of the code model (defined in CodeItemTypes.cpp): the type base that lists
// every type with its module, procedural types, classifiers, fields, properties and events,
// visibility sections, record variant parts and types kept only as text.
#pragma once

#include "Engine/CodeItemRoutines.h"

namespace krx {

// ===========================================================================================
// Types and members
// ===========================================================================================

// The base of type declarations: every type item is listed by the module it belongs to.
class TTypeItem : public TCodeItem {
  KRX_PUBLISHED(TTypeItem)

public:
  explicit TTypeItem(TCodeItem *AOwner);
  ~TTypeItem() override;

  // After Root moved: every type item below it is listed by the module it now belongs to
  // (by none when it left every module).
  static void FollowModule(TCodeItem *Root);

private:
  TModuleItem *FModule = nullptr;
};

// A procedural type: ckDelegate ("of object"), ckFunctionPointer or ckMethodReference.
class TDelegateItem : public TTypeItem {
  KRX_PUBLISHED(TDelegateItem)

public:
  explicit TDelegateItem(TCodeItem *AOwner);
  // One of the three procedural kinds.
  void SetKind(TCodeItemKind Value);
  TCallConvention CallConvention() const { return FCallConvention; }
  void SetCallConvention(TCallConvention Value) { FCallConvention = Value; }
  // The result type.
  const String &DataName() const { return FDataName; }
  void SetDataName(const String &Value) { FDataName = Value; }
  TDelegateDirectives Directives() const { return FDirectives; }
  void SetDirectives(TDelegateDirectives Value) { FDirectives = Value; }
  TMethodKind MethodKind() const { return FMethodKind; }
  void SetMethodKind(TMethodKind Value) { FMethodKind = Value; }
  const String &Parameters() const { return FParameters; }
  void SetParameters(const String &Value) { FParameters = Value; }
  bool IsMethodReference() const { return Kind() == ckMethodReference; }
  bool HasResult() const;

  Word EditorKind() const override { return 27; }
  String GetDeclaration() const override;
  void AssignProps(const TCodeItem &Source) override;
  void ValidateName(const String &OldName, const String &NewName) override;
  String GetDescription() const override;

private:
  String FDataName;
  String FParameters;
  TDelegateDirectives FDirectives;
  TCallConvention FCallConvention = ccDefault;
  TMethodKind FMethodKind = mkProcedure;
};

class TClassifierKind;

// A classifier: class, interface, record, object, dispinterface or helper.
class TClassItem : public TTypeItem {
  KRX_PUBLISHED(TClassItem)

public:
  explicit TClassItem(TCodeItem *AOwner);
  TClassItem *AsClassItem() override { return this; }

  const String &AdditionalAncestors() const { return FAdditionalAncestors; }
  void SetAdditionalAncestors(const String &Value) { FAdditionalAncestors = Value; }
  const String &Ancestor() const { return FAncestor; }
  void SetAncestor(const String &Value) { FAncestor = Value; }
  TClassKind ClassKind() const { return FClassKind; }
  // Kind follows the class kind.
  void SetClassKind(TClassKind Value);
  TClassDirectives Directives() const { return FDirectives; }
  void SetDirectives(TClassDirectives Value) { FDirectives = Value; }
  void SetDirective(TClassDirective D, bool On);
  void SetPacked(bool On) { SetDirective(cldPacked, On); }
  bool IsPacked() const { return FDirectives.Contains(cldPacked); }
  bool ForwardDecl() const { return FForwardDecl; }
  void SetForwardDecl(bool Value) { FForwardDecl = Value; }
  // One text under three names: an interface's GUID, a helper's target type or the
  // input/output metadata.
  const String &GUID() const { return FGUID; }
  void SetGUID(const String &Value) { FGUID = Value; }
  const String &HelperTarget() const { return FGUID; }
  void SetHelperTarget(const String &Value) { FGUID = Value; }
  const String &IOMetaData() const { return FGUID; }
  void SetIOMetaData(const String &Value) { FGUID = Value; }
  const String &Interfaces() const { return FInterfaces; }
  void SetInterfaces(const String &Value) { FInterfaces = Value; }
  bool Normalized() const { return FNormalized; }
  void SetNormalized(bool Value) { FNormalized = Value; }
  // A placeholder without source position: setting it also clears LineNr to -1.
  bool Stub() const { return FStub; }
  void SetStub(bool Value);
  TClassItemWarnings Warnings() const { return FWarnings; }
  void SetWarnings(TClassItemWarnings Value) { FWarnings = Value; }
  void SetWarning(TClassItemWarning W, bool On);
  // The language's rules for this class kind.
  TClassifierKind &GetClassifierKind() const;

  void Assign(const TPersistent *Source) override;
  using TCodeItem::Assign;
  Word EditorKind() const override { return 21; }
  String GetDeclaration() const override;
  void AssignProps(const TCodeItem &Source) override;
  void ValidateName(const String &OldName, const String &NewName) override;
  String GetDescription() const override { return Name(); }

private:
  String FAdditionalAncestors;
  String FAncestor;
  String FGUID;
  String FInterfaces;
  TClassDirectives FDirectives;
  TClassItemWarnings FWarnings;
  TClassKind FClassKind = clClass;
  bool FForwardDecl = false;
  bool FNormalized = false;
  bool FStub = false;
};

class TFieldItem : public TMemberItem {
  KRX_PUBLISHED(TFieldItem)

public:
  explicit TFieldItem(TCodeItem *AOwner);
  TFieldDirectives Directives() const { return FDirectives; }
  void SetDirectives(TFieldDirectives Value) { FDirectives = Value; }
  TFieldKind FieldKind() const { return FFieldKind; }
  void SetFieldKind(TFieldKind Value) { FFieldKind = Value; }
  const String &Initializer() const { return FInitializer; }
  void SetInitializer(const String &Value) { FInitializer = Value; }

  Word EditorKind() const override { return 22; }
  String GetDeclaration() const override;
  void AssignProps(const TCodeItem &Source) override;
  // NewNames may list several names of one declaration, separated by commas.
  void ValidateName(const String &OldName, const String &NewNames) override;
  String GetDescription() const override { return GetDeclaration(); }

private:
  String FInitializer;
  TFieldDirectives FDirectives;
  TFieldKind FFieldKind = fkInstance;
};

class TPropertyItem : public TMemberItem {
  KRX_PUBLISHED(TPropertyItem)

public:
  explicit TPropertyItem(TCodeItem *AOwner);

  // The index parameter list text.
  const String &ArrayStr() const { return FArrayStr; }
  void SetArrayStr(const String &Value) { FArrayStr = Value; }
  TDefaultSpecifier DefaultSpec() const { return FDefaultSpec; }
  void SetDefaultSpec(TDefaultSpecifier Value) { FDefaultSpec = Value; }
  const String &DefaultStr() const { return FDefaultStr; }
  void SetDefaultStr(const String &Value) { FDefaultStr = Value; }
  TPropertyDirectives Directives() const { return FDirectives; }
  void SetDirectives(TPropertyDirectives Value) { FDirectives = Value; }
  const String &ImplementsStr() const { return FImplementsStr; }
  void SetImplementsStr(const String &Value) { FImplementsStr = Value; }
  const String &IndexStr() const { return FIndexStr; }
  void SetIndexStr(const String &Value) { FIndexStr = Value; }
  const String &NotifyStr() const { return FNotifyStr; }
  void SetNotifyStr(const String &Value) { FNotifyStr = Value; }
  const String &ReadSpec() const { return FReadSpec; }
  void SetReadSpec(const String &Value) { FReadSpec = Value; }
  const String &StorageStr() const { return FStorageStr; }
  void SetStorageStr(const String &Value) { FStorageStr = Value; }
  const String &WriteSpec() const { return FWriteSpec; }
  void SetWriteSpec(const String &Value) { FWriteSpec = Value; }

  // A default array property, in modes after dlmDelphi7Win32.
  bool IsIndexer() const;
  // A class property.
  bool IsStatic() const { return FDirectives.Contains(prStatic); }
  String GetArrayParamText() const;
  // 0 no member of that name in Container, 1 only indexers, 2 an indexer with the identical
  // signature, 3 a clash that cannot be an overload.
  Integer IndexerDuplicateKind(const TCodeItem *Container, StringView AName) const;
  virtual bool CanImplement() const;

  void CheckUniqueName(const String &OldName, const String &NewName) override;
  Word EditorKind() const override { return 24; }
  String GetDeclaration() const override;
  void AssignProps(const TCodeItem &Source) override;
  void ValidateName(const String &OldName, const String &NewName) override;
  Integer CompareName(const TCodeItem &Other) const override;
  bool IsUniqueIn(const TCodeItem *Container) const override;
  String GetDescription() const override;

private:
  String FArrayStr;
  String FDefaultStr;
  String FImplementsStr;
  String FIndexStr;
  String FNotifyStr;
  String FReadSpec;
  String FStorageStr;
  String FWriteSpec;
  TPropertyDirectives FDirectives;
  TDefaultSpecifier FDefaultSpec = dsUnspecified;
};

class TEventItem : public TPropertyItem {
  KRX_PUBLISHED(TEventItem)

public:
  explicit TEventItem(TCodeItem *AOwner);
  const String &Initializer() const { return FInitializer; }
  void SetInitializer(const String &Value) { FInitializer = Value; }
  String GetDeclaration() const override;
  void AssignProps(const TCodeItem &Source) override;

private:
  String FInitializer;
};

// A visibility section of a classifier; its Visibility is the section's.
class TVisibilityItem : public TCodeItem {
  KRX_PUBLISHED(TVisibilityItem)

public:
  explicit TVisibilityItem(TCodeItem *AOwner);
  String GetDeclaration() const override;
  String GetDescription() const override;
};

// The variant part of a record; the variants' fields are its children.
class TRecordVariantSection : public TCodeItem {
  KRX_PUBLISHED(TRecordVariantSection)

public:
  explicit TRecordVariantSection(TCodeItem *AOwner);
};

// A type declaration kept only as its text.
class TUnhandledTypeItem : public TCodeItem {
  KRX_PUBLISHED(TUnhandledTypeItem)

public:
  explicit TUnhandledTypeItem(TCodeItem *AOwner);
  const String &DeclarationText() const { return FDeclarationText; }
  void SetDeclarationText(String Value) { FDeclarationText = std::move(Value); }
  // Type information the grammar records.
  Byte TypeInfo() const { return FTypeInfo; }
  void SetTypeInfo(Byte Value) { FTypeInfo = Value; }
  String GetDeclaration() const override { return FDeclarationText; }
  void AssignProps(const TCodeItem &Source) override;

private:
  String FDeclarationText;
  Byte FTypeInfo = 0;
};

} // namespace krx
