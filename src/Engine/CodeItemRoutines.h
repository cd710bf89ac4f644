// The routine items of the code model (defined in CodeItemRoutines.cpp): the member base,
// routines (global procedures, methods and their implementations) with their declaration and
// implementation links, method resolution clauses and the duplicate checks of a rename.
#pragma once

#include "Engine/CodeItemModules.h"

namespace krx {

// ===========================================================================================
// Routine items
// ===========================================================================================

// The common base of members and routines.
class TMemberItem : public TCodeItem {
  KRX_PUBLISHED(TMemberItem)

public:
  explicit TMemberItem(TCodeItem *AOwner) : TCodeItem(AOwner) {}

  // The member's type; a routine's result type, or a message method's message expression.
  const String &DataName() const { return FDataName; }
  // Takes the text by value: a parser hands over the text it built, without a copy.
  void SetDataName(String Value) { FDataName = std::move(Value); }
  const String &DispID() const { return FDispID; }
  void SetDispID(const String &Value) { FDispID = Value; }
  void AssignProps(const TCodeItem &Source) override;

private:
  String FDataName;
  String FDispID;
};

class TProcItem : public TMemberItem {
  KRX_PUBLISHED(TProcItem)

public:
  explicit TProcItem(TCodeItem *AOwner) : TMemberItem(AOwner) {}
  // Items linked to this one forget the link.
  ~TProcItem() override;
  TProcItem *AsProcItem() override { return this; }

  Integer BeginLineValue() const { return FBeginLineValue; }
  void SetBeginLineValue(Integer Value) { FBeginLineValue = Value; }
  Integer BeginPos() const { return FBeginPos; }
  void SetBeginPos(Integer Value) { FBeginPos = Value; }
  Integer BodyEndLineValue() const { return FBodyEndLineValue; }
  void SetBodyEndLineValue(Integer Value) { FBodyEndLineValue = Value; }
  Integer BodyEndPos() const { return FBodyEndPos; }
  void SetBodyEndPos(Integer Value) { FBodyEndPos = Value; }
  // Where the body's begin stands and where the body ends, as source positions.
  void SetBegin(TSourcePos Pos);
  void SetBodyEnd(TSourcePos Pos);
  TCallConvention CallConvention() const { return FCallConvention; }
  void SetCallConvention(TCallConvention Value) { FCallConvention = Value; }
  TMethodDirectives Directives() const { return FDirectives; }
  void SetDirectives(TMethodDirectives Value) { FDirectives = Value; }
  const String &ExternalSpec() const { return FExternalSpec; }
  void SetExternalSpec(const String &Value) { FExternalSpec = Value; }
  bool IsPureAsmProc() const { return FIsPureAsmProc; }
  void SetIsPureAsmProc(bool Value) { FIsPureAsmProc = Value; }
  TMethodKind MethodKind() const { return FMethodKind; }
  void SetMethodKind(TMethodKind Value) { FMethodKind = Value; }
  // The parameter list text without its parentheses.
  const String &Parameters() const { return FParameters; }
  void SetParameters(String Value) { FParameters = std::move(Value); }
  // A message method (pdMessage) carries its message expression in DataName; the result type
  // of a message function is kept here so that its declaration is written back as read.
  const String &MessageResultType() const { return FMessageResultType; }
  void SetMessageResultType(String Value) { FMessageResultType = std::move(Value); }
  // The result type: DataName, or MessageResultType for a message method.
  const String &ResultType() const;

  // The declaration of an implementation and the implementation of a declaration (not
  // owned). Whichever of two linked items is freed first, the other forgets the link.
  TProcItem *DeclRef() const { return FDeclRef; }
  void SetDeclRef(TProcItem *Value) { Relink(FDeclRef, Value); }
  TProcItem *ImplRef() const { return FImplRef; }
  void SetImplRef(TProcItem *Value) { Relink(FImplRef, Value); }

  // The parameter signature of Parameters.
  String GetParamText() const;
  // What tells overloads apart: the parameter signature ("+" and the result for operators).
  virtual String GetSignatureKey() const;
  // True when both have the same GetSignatureKey because they share everything it is made
  // from (no parameter parse needed); False says nothing.
  bool SameSignatureSource(const TProcItem &Other) const;
  bool HasDirective(TMethodDirective D) const { return FDirectives.Contains(D); }
  void SetDirective(TMethodDirective D, bool On);
  bool IsOverload() const { return HasDirective(pdOverload); }
  Integer GetLastHeaderLine() const;
  Integer GetLastBodyLine() const;
  bool HasResultType() const;
  // 0 no routine of that name in Container, 1 only overloaded ones, 2 a non-overloaded one,
  // 3 one with the identical signature, 4 the name is taken by a non-routine.
  Integer DuplicateKind(const TCodeItem *Container, StringView AName) const;

  void Assign(const TPersistent *Source) override;
  using TCodeItem::Assign;
  void CheckUniqueName(const String &OldName, const String &NewName) override;
  Integer GetLastLine() const override;
  THintDirectives GetHintDirectives() const override;
  String GetExtraText() const override;
  void AssignProps(const TCodeItem &Source) override;
  void GetCommentLines(TStrings &Strings) const override;
  void ValidateName(const String &OldName, const String &NewName) override;
  Integer CompareName(const TCodeItem &Other) const override;
  void WriteTagData(TDictionary &Dictionary) const override;
  bool IsUniqueIn(const TCodeItem *Container) const override;
  String GetDescription() const override;
  bool HasValidPositions() const override;

protected:
  void ShiftOwnLines(Integer Line, Integer Delta) override;

private:
  void Relink(TProcItem *&Field, TProcItem *Value);
  void DropReferrer(TProcItem *Item);
  void CheckDuplicate(const String &OldName, const String &NewName);

  String FExternalSpec;
  String FParameters;
  String FMessageResultType;
  TProcItem *FDeclRef = nullptr;
  TProcItem *FImplRef = nullptr;
  // The items whose DeclRef or ImplRef is this one.
  std::vector<TProcItem *> FReferrers;
  Integer FBeginLineValue = 0;
  Integer FBeginPos = 0;
  Integer FBodyEndLineValue = 0;
  Integer FBodyEndPos = 0;
  TMethodDirectives FDirectives;
  TCallConvention FCallConvention = ccDefault;
  TMethodKind FMethodKind = mkProcedure;
  bool FIsPureAsmProc = false;
};

// bkOverride, bkVirtual, bkDynamic or bkMessage by the directives, else bkStatic.
TBindingKind BindingOf(const TProcItem &Item);
bool IsAbstract(const TProcItem &Item);
bool IsClassMethod(const TProcItem &Item);

// A global procedure or function.
class TProcData : public TProcItem {
  KRX_PUBLISHED(TProcData)

public:
  explicit TProcData(TCodeItem *AOwner);
  bool ShowPublic() const { return FShowPublic; }
  void SetShowPublic(bool Value) { FShowPublic = Value; }
  Word EditorKind() const override { return 20; }
  void Assign(const TPersistent *Source) override;
  using TCodeItem::Assign;
  // Always written by the process-wide Pascal language.
  String GetDeclaration() const override;

private:
  bool FShowPublic = false;
};

// A method declared in a classifier.
class TMethodItem : public TProcItem {
  KRX_PUBLISHED(TMethodItem)

public:
  explicit TMethodItem(TCodeItem *AOwner);
  // A placeholder without source position: setting it also clears LineNr to -1.
  bool Stub() const { return FStub; }
  void SetStub(bool Value);
  void SetClassMethod(bool On) { SetDirective(pdClassMethod, On); }
  Word EditorKind() const override { return 23; }
  String GetDeclaration() const override;
  // "class|" in front for a class method.
  String GetSignatureKey() const override;

private:
  bool FStub = false;
};

// A method implementation in the implementation section.
class TMethodImplItem : public TMethodItem {
  KRX_PUBLISHED(TMethodImplItem)

public:
  explicit TMethodImplItem(TCodeItem *AOwner);
  // The class part written in front of the method name, and its lookup form.
  const String &BaseClass() const { return FBaseClass; }
  void SetBaseClass(String Value) { FBaseClass = std::move(Value); }
  const String &RefBaseClass() const { return FRefBaseClass; }
  void SetRefBaseClass(String Value) { FRefBaseClass = std::move(Value); }
  void Assign(const TPersistent *Source) override;
  using TCodeItem::Assign;
  String GetOwnerName() const override { return FBaseClass; }
  String GetLookupText() const override { return FBaseClass + u"." + Name(); }

private:
  String FBaseClass;
  String FRefBaseClass;
};

// A method resolution clause; Name is the interface method qualified by the interface.
class TResClauseItem : public TMemberItem {
  KRX_PUBLISHED(TResClauseItem)

public:
  explicit TResClauseItem(TCodeItem *AOwner);
  const String &ImplMethod() const { return FImplMethod; }
  void SetImplMethod(const String &Value) { FImplMethod = Value; }
  TMethodKind MethodKind() const { return FMethodKind; }
  void SetMethodKind(TMethodKind Value) { FMethodKind = Value; }
  Word EditorKind() const override { return 25; }
  String GetDeclaration() const override;
  void AssignProps(const TCodeItem &Source) override;
  void ValidateName(const String &OldName, const String &NewName) override;
  String GetDescription() const override;

private:
  String FImplMethod;
  TMethodKind FMethodKind = mkProcedure;
};

// Decides what a rename to a name already used by routines does.
class TMethodDuplicateHandler : public TObject {
public:
  // Code as DuplicateKind gives it: 1-3 ask the user (anything but OK aborts silently),
  // 4 raises "\"%s\" already exists".
  virtual void HandleDuplicate(const TCodeItem &Item, const String &OldName, Integer Code,
                               const String &NewName);
};

} // namespace krx
