// The code model: a tree of code items, rooted in a module item, that the Pascal parser builds
// from one source file. Every item knows its kind, name, visibility, the 0-based lines and
// 1-based columns of its declaration, its comment lines and its children; it answers which
// item lies at a position, follows line insertions and deletions, checks new names through
// its source language and writes its declaration back as wrapped source text.
//
// The unit also holds the source languages (identifier rules, reserved words, classifier
// kinds, declaration rendering), the identifier validators, the regions tree of a module and
// the process-wide code-item model.
//
// Ownership: an item owns its children (created under an owner, an item belongs to it); a
// root item (a module) belongs to whoever created it. Positions: lines are 0-based, -1 meaning
// "no position"; columns are 1-based.
#pragma once

#include "Common/DataTyp.h"
#include "Common/KREngineDefs.h"
#include "Common/KRX.Exceptions.h"
#include "Engine/LanguageModes.h"
#include "Engine/SourceLanguageRevision.h"
#include "Engine/TokenKinds.h"
#include "Platform/Rtl/Classes.h"
#include "World/Containr.h"
#include "World/Editable.h"
#include "World/IntLists32.h"
#include "XML/Dictionaries.h"

#include <array>
#include <memory>
#include <vector>

namespace krx {

// clang-format off
#define KRX_TMODULETYPE(X) X(mtNone) X(mtUnknown) X(mtProgram) X(mtUnit) X(mtLibrary) X(mtPackage)
KRX_DECLARE_ENGINE_ENUM(TModuleType, KRX_TMODULETYPE);

#define KRX_TMODULESECTIONKIND(X) \
  X(msInterface) X(msImplementation) X(msInitialization) X(msFinalization) X(msIncludeFile)
KRX_DECLARE_ENGINE_ENUM(TModuleSectionKind, KRX_TMODULESECTIONKIND);

#define KRX_TCODESECTIONKIND(X) \
  X(cskUndefined) X(cskVar) X(cskClassVar) X(cskConst) X(cskResourceString) X(cskType) \
  X(cskLabel) X(cskThreadVar) X(cskClassThreadVar)
KRX_DECLARE_ENGINE_ENUM(TCodeSectionKind, KRX_TCODESECTIONKIND);

#define KRX_TCLASSITEMWARNING(X) X(cwRegion) X(cwDirective) X(cwAttribute) X(cwIrregularMetaData)
KRX_DECLARE_ENGINE_ENUM(TClassItemWarning, KRX_TCLASSITEMWARNING);
using TClassItemWarnings = EnumSet<TClassItemWarning>;

// clang-format on

using TVisibilities = EnumSet<TVisibility>;
using TFieldKinds = EnumSet<TFieldKind>;
using TMethodKinds = EnumSet<TMethodKind>;
using TBindingKinds = EnumSet<TBindingKind>;
using TModuleSectionKinds = EnumSet<TModuleSectionKind>;

// The kind of a parser message.
enum class TCodeMessageKind : Byte { Error = 0, Warning = 1, Hint = 2 };

// The item kinds of classifiers (ckClass .. ckRecordHelper).
inline constexpr TCodeItemKinds ClassifierItemKinds{
    ckClass, ckInterface, ckRecord, ckObject, ckDispInterface, ckHelper, ckRecordHelper};

class TCodeItem;
class TModuleItem;
class TSourceLanguage;
class TPascalLanguage;
class TSourceRegion;
class TTypeItem;
class TClassItem;
class TDelegateItem;
class TEventItem;
class TFieldItem;
class TProcItem;
class TPropertyItem;
class TUsesClause;

// ===========================================================================================
// Unit routines
// ===========================================================================================

// The model counts lines from 0, the tokenizers and the messages from 1 (TSourcePos); these
// two are the only conversions between them. Columns are 1-based in both.
constexpr Integer ModelLine(Integer SourceLine) { return SourceLine - 1; }
constexpr Integer SourceLine(Integer ModelLine) { return ModelLine + 1; }

// Not empty; "_" or a letter first, then digits 0-9, "_" or letters (any Unicode letter).
bool IsUnicodeIdent(StringView S);
// The same with the letters A-Z and a-z only.
bool IsAsciiIdent(StringView S);
// mkProcedure and mkFunction become mkMethod.
TMethodKind NormalizeMethodKind(TMethodKind K);
// "constructor", "destructor", "function", "operator", "procedure" (any case); K unchanged
// and False for any other text.
bool MethodKindFromName(StringView S, TMethodKind &K);
TClassKind ClassKindOfItemKind(TCodeItemKind K);
TCodeItemKind ItemKindOfClassKind(TClassKind Kind);
String ClassKindKeyword(TClassKind Kind);
// "{$I %s}" for an include file: a format for the file's name.
String ModuleSectionKeyword(TModuleSectionKind S);
String ClassDirectiveKeyword(TClassDirective D);
// "abstract", else "sealed", else ''.
String AbstractOrSealedKeyword(TClassDirectives Directives);
// cskUndefined has no keyword (internal error).
String CodeSectionKeyword(TCodeSectionKind K);
// HintDirectivesToText with one blank in front when the result is not empty.
String HintDirectivesText(THintDirectives Directives, StringView DeprecatedText,
                          StringView Separator);
// The highest member of a small set (bits 0-6, resp. 0-3), 0 for an empty set: the duplicate
// checks turn collected flags into one answer code with them.
Integer HighestFlag7(Byte Flags);
Integer HighestFlag3(Byte Flags);
// The self-check of the unit's start-up: every method kind's keyword reads back as that kind.
void CheckMethodKindNames();

// ===========================================================================================
// Code item base
// ===========================================================================================

class TCodeItem : public TEditable {
  KRX_PUBLISHED(TCodeItem)

public:
  // With an owner, the new item is its last child and belongs to it; it takes the owner's
  // own language. Without one, the caller owns it.
  explicit TCodeItem(TCodeItem *AOwner);
  // Frees the children (last to first), then leaves the owner's list.
  ~TCodeItem() override;
  TCodeItem(const TCodeItem &) = delete;
  TCodeItem &operator=(const TCodeItem &) = delete;

  // ---- Tree
  // Appends Child to Owner's children. Child has no owner yet (it is handed over) or already
  // belongs to Owner (nothing happens). Raises EKRToolsException "Recursion detected" when
  // Child is Owner or one of Owner's owners; the tree is then unchanged.
  // Child is taken only when AddChild succeeds.
  static void AddChild(TCodeItem *Owner, std::unique_ptr<TCodeItem> &&Child);
  // Takes Child out of Owner's children (searching from the end) and hands it back.
  static std::unique_ptr<TCodeItem> RemoveChild(TCodeItem *Owner, TCodeItem *Child);
  // Moves an owned item under NewOwner (nothing for its current owner). A move that would
  // put the item under itself raises "Recursion detected" and leaves it where it was. With
  // NewOwner nullptr the item leaves its owner and is handed to the caller. An item without
  // owner is handed over with AddChild instead.
  std::unique_ptr<TCodeItem> SetOwner(TCodeItem *NewOwner);
  TCodeItem *Owner() const { return FOwner; }
  Integer ChildCount() const { return static_cast<Integer>(FChildren.size()); }
  TCodeItem *GetChild(Integer i) const;
  // The item itself or the nearest owner that is a module item; nullptr when none.
  TModuleItem *GetModule() const;
  // The item's own language, else its owner's, else the process-wide Pascal language.
  TSourceLanguage *GetLanguage() const;
  TSourceLanguageKind GetLanguageKind() const;
  // The item's own language (nullptr: that of its owner).
  TSourceLanguage *Language() const { return FLanguage; }
  void SetLanguage(TSourceLanguage *Value) { FLanguage = Value; }

  // ---- Values
  TCodeItemKind Kind() const { return FKind; }
  // This item as a routine, or null; the parser asks for every token of a routine body, where
  // a dynamic_cast would cost more than the rest of the token's handling.
  virtual TProcItem *AsProcItem() { return nullptr; }
  // This item as a classifier, or null; the parser asks at every statement of a class body.
  virtual TClassItem *AsClassItem() { return nullptr; }
  const String &Name() const { return FName; }
  // By value: a name built for the item is moved in.
  void SetName(String Value) { FName = std::move(Value); }
  const String &GenericName() const { return FGenericName; }
  void SetGenericName(const String &Value) { FGenericName = Value; }
  const String &TypeConstraints() const { return FTypeConstraints; }
  void SetTypeConstraints(const String &Value) { FTypeConstraints = Value; }
  const String &DeprecatedText() const { return FDeprecatedText; }
  void SetDeprecatedText(const String &Value) { FDeprecatedText = Value; }
  TVisibility Visibility() const { return FVisibility; }
  void SetVisibility(TVisibility Value) { FVisibility = Value; }
  // scDefault counts as public.
  bool IsPublic() const;
  // True stores scPublic, False the language's default non-public visibility.
  void SetIsPublic(bool Value);
  bool BadFormat() const { return FBadFormat; }
  void SetBadFormat(bool Value) { FBadFormat = Value; }
  THintDirectives HintDirectives() const { return GetHintDirectives(); }
  void SetHintDirectives(THintDirectives Value) { FHintDirectives = Value; }
  const String &ExtraText() const { return FExtraText; }
  void SetExtraText(const String &Value) { FExtraText = Value; }

  // ---- Positions
  Integer LineNr() const { return FLineNr; }
  void SetLineNr(Integer Value) { FLineNr = Value; }
  Integer PrologLine() const { return FPrologLine; }
  // Values below -1 are stored as -1.
  void SetPrologLine(Integer Value) { FPrologLine = Value < -1 ? -1 : Value; }
  Integer EndLineValue() const { return FEndLineValue; }
  void SetEndLineValue(Integer Value) { FEndLineValue = Value; }
  Integer EndPos() const { return FEndPos; }
  void SetEndPos(Integer Value) { FEndPos = Value; }
  Integer HeaderEndLineValue() const { return FHeaderEndLineValue; }
  void SetHeaderEndLineValue(Integer Value) { FHeaderEndLineValue = Value; }
  Integer HeaderEndPos() const { return FHeaderEndPos; }
  void SetHeaderEndPos(Integer Value) { FHeaderEndPos = Value; }
  Integer ItemStartPos() const { return FItemStartPos; }
  // Also sets Indention to the value minus one.
  void SetItemStartPos(Integer Value);
  Integer Indention() const { return FIndention; }
  void SetIndention(Integer Value) { FIndention = Value; }
  // The header and the whole declaration end at ALine, column APos.
  void SetEnd(Integer ALine, Integer APos);
  // The same fields from source positions (1-based lines, as the tokenizers give them): where
  // the declaration starts (LineNr and ItemStartPos), and its last character (header and
  // declaration together, the header, or the declaration).
  void SetStart(TSourcePos Pos);
  TSourcePos Start() const { return {SourceLine(FLineNr), FItemStartPos}; }
  void SetEnd(TSourcePos Last) { SetEnd(ModelLine(Last.Line), Last.Column); }
  void SetHeaderEnd(TSourcePos Last);
  void SetDeclarationEnd(TSourcePos Last);
  // LineNr, or PrologLine when that is set and smaller.
  Integer GetFirstLine() const;
  // The larger of HeaderEndLineValue and LineNr.
  Integer GetHeaderLastLine() const;

  // ---- Names
  // Name preceded by the names of the enclosing classifiers, joined with ".".
  String GetQualifiedName() const;
  // The same, crossing name spaces and enumerations too.
  String GetScopedName() const;
  // GenericName when set, else Name.
  const String &GetLookupName() const;
  // GetScopedName built from the lookup names.
  String GetQualifiedLookupName() const;
  // GenericName becomes AName for N = 0, else AName with "<", N - 1 commas and ">".
  void SetGenericArity(const String &AName, Integer N);
  bool SameName(StringView AName) const;
  // The first child whose lookup text is AName by the language's identifier equality.
  bool FindChild(StringView AName, Integer &Index) const;
  bool FindChildOfKinds(StringView AName, TCodeItemKinds Kinds, Integer &Index) const;
  // Appends the children of those kinds named AName, in child order; Recursive descends into
  // modules, name spaces, enumerations and classifiers.
  void CollectChildren(StringView AName, std::vector<TCodeItem *> &List, TCodeItemKinds Kinds,
                       bool Recursive) const;

  // ---- Comments
  TStringList &CommentLines();
  bool HasComments() const { return FCommentLines && FCommentLines->Count() > 0; }
  // An empty or missing list drops the item's comment lines, else they become a copy.
  void SetCommentLines(const TStrings *Strings);

  // ---- Virtual operations
  void Assign(const TPersistent *Source) override;
  using TPersistent::Assign;
  virtual void CheckUniqueName(const String &OldName, const String &NewName);
  String Declaration() const { return GetDeclaration(); }
  virtual String GetDeclaration() const;
  virtual Integer GetLastLine() const;
  virtual THintDirectives GetHintDirectives() const { return FHintDirectives; }
  virtual String GetExtraText() const { return FExtraText; }
  virtual String GetOwnerName() const;
  // The item at a line: the deepest one whose lines hold it, nullptr when none.
  virtual TCodeItem *ItemAtLine(Integer Line);
  // The deepest item whose declaration holds the position.
  virtual TCodeItem *ItemAtPos(Integer Line, Integer Column);
  virtual String GetLookupText() const { return FName; }
  virtual bool IsSupported() const { return true; }
  virtual void AssignProps(const TCodeItem &Source);
  virtual void GetCommentLines(TStrings &Strings) const;
  // Checks NewName as an identifier of the item's kind, then CheckUniqueName.
  virtual void ValidateName(const String &OldName, const String &NewName);
  // Frees all children.
  virtual void Clear();
  // Count lines were deleted / inserted at the 0-based Line; called on the root. Origin's
  // own lines stay, its children's move.
  virtual void LinesDeleted(const TCodeItem *Origin, Integer Line, Integer Count);
  virtual void LinesInserted(const TCodeItem *Origin, Integer Line, Integer Count);
  virtual Integer CompareName(const TCodeItem &Other) const;
  virtual Integer CompareQualifiedName(const TCodeItem &Other) const;
  // The item's published properties as Name=Value pairs (in name order), then "EndLine" and
  // "HeaderEndLine".
  virtual void WriteTagData(TDictionary &Dictionary) const;
  virtual bool IsUniqueIn(const TCodeItem *Container) const;
  virtual String GetDescription() const { return GetDeclaration(); }
  virtual bool HasValidPositions() const;
  // Appends the declaration, wrapped at AWrapWidth and indented by the item's Indention.
  virtual void WriteDeclaration(TStrings &Strings, Integer AIndention, Integer AWrapWidth,
                                Integer ATabWidth) const;

protected:
  // Shifts one line field that lies at or after Line.
  static void ShiftLine(Integer &Value, Integer Line, Integer Delta) {
    if (Value >= Line)
      Value += Delta;
  }
  // Shifts the item's own line fields (not its children's).
  virtual void ShiftOwnLines(Integer Line, Integer Delta);
  void ShiftLines(const TCodeItem *Origin, Integer Line, Integer Delta);
  void FreeChildren();
  // Descendants' constructors set their kind.
  TCodeItemKind FKind = ckNone;

private:
  String FName;
  String FGenericName;
  String FTypeConstraints;
  String FDeprecatedText;
  String FExtraText;
  std::vector<std::unique_ptr<TCodeItem>> FChildren;
  std::unique_ptr<TStringList> FCommentLines;
  TCodeItem *FOwner = nullptr;
  TSourceLanguage *FLanguage = nullptr;
  Integer FLineNr = -1;
  Integer FPrologLine = -1;
  Integer FEndLineValue = 0;
  Integer FEndPos = 0;
  Integer FHeaderEndLineValue = 0;
  Integer FHeaderEndPos = 0;
  Integer FItemStartPos = 0;
  Integer FIndention = 0;
  THintDirectives FHintDirectives;
  TVisibility FVisibility = scDefault;
  bool FBadFormat = false;
};

// ===========================================================================================
// Module item, sections, uses clause, messages, design info
// ===========================================================================================

class TModuleDesignInfo;

class TModuleItem : public TCodeItem {
  KRX_PUBLISHED(TModuleItem)

public:
  TModuleItem();
  ~TModuleItem() override;

  Word EditorKind() const override { return 26; }

  // A new section item under the module.
  class TModuleSectionItem *AddSection(TModuleSectionKind Kind);
  Integer GetTypeCount() const { return static_cast<Integer>(FTypes.size()); }
  TTypeItem *GetType(Integer i) const;
  TIntList &MarkedLines() { return *FMarkedLines; }
  TKRXCollection &Collection() { return *FCollection; }
  void ClearCollection();
  const String &FileName() const { return FFileName; }
  void SetFileName(const String &Value) { FFileName = Value; }
  TModuleDesignInfo *DesignInfo() const { return FDesignInfo.get(); }
  // Frees the current design info unless it is Info, and keeps Info.
  void SetDesignInfo(std::unique_ptr<TModuleDesignInfo> Info);
  TSourceRegion &RootRegion() { return *FRootRegion; }
  const TSourceRegion &RootRegion() const { return *FRootRegion; }

  Integer ImplLineNr() const { return FImplLineNr; }
  void SetImplLineNr(Integer Value) { FImplLineNr = Value; }
  Integer IntfLineNr() const { return FIntfLineNr; }
  void SetIntfLineNr(Integer Value) { FIntfLineNr = Value; }
  TModuleType ModuleType() const { return FModuleType; }
  void SetModuleType(TModuleType Value) { FModuleType = Value; }

  // Back to the state before a parse (the explorer calls it before each one).
  void Reset();
  void Clear() override;
  void LinesDeleted(const TCodeItem *Origin, Integer Line, Integer Count) override;
  void LinesInserted(const TCodeItem *Origin, Integer Line, Integer Count) override;

private:
  friend class TTypeItem;
  void RegisterType(TTypeItem *Item) { FTypes.push_back(Item); }
  void UnregisterType(TTypeItem *Item);
  void ShiftModuleLines(Integer Line, Integer Delta);

  std::vector<TTypeItem *> FTypes;
  std::unique_ptr<TIntList> FMarkedLines;
  std::unique_ptr<TKRXCollection> FCollection;
  String FFileName;
  std::unique_ptr<TModuleDesignInfo> FDesignInfo;
  std::unique_ptr<TSourceRegion> FRootRegion;
  Integer FImplLineNr = -1;
  Integer FIntfLineNr = -1;
  TModuleType FModuleType = mtNone;
};

class TModuleSectionItem : public TCodeItem {
  KRX_PUBLISHED(TModuleSectionItem)

public:
  explicit TModuleSectionItem(TCodeItem *AOwner);

  TModuleSectionKind Section() const { return FSection; }
  // Also makes the section public for msInterface only and names it by its keyword.
  void SetSection(TModuleSectionKind Kind);
  void AssignProps(const TCodeItem &Source) override;
  String GetDescription() const override;

private:
  TModuleSectionKind FSection = msInterface;
};

class TUsesClause : public TCodeItem {
  KRX_PUBLISHED(TUsesClause)

public:
  explicit TUsesClause(TCodeItem *AOwner);

  // Appends a unit and the path given with "in" (or '').
  void AddUnit(const String &UnitName, const String &ModulePath);
  TStringList &UnitNames() { return FUnitNames; }
  const TStringList &UnitNames() const { return FUnitNames; }
  TStringList &ModulePaths() { return FModulePaths; }
  const TStringList &ModulePaths() const { return FModulePaths; }
  const String &UsesListText() const { return FUsesListText; }
  void SetUsesListText(const String &Value) { FUsesListText = Value; }
  bool ExternAlias() const { return FExternAlias; }
  void SetExternAlias(bool Value) { FExternAlias = Value; }
  bool HasDirective() const { return FHasDirective; }
  void SetHasDirective(bool Value) { FHasDirective = Value; }

  String GetDeclaration() const override;
  void AssignProps(const TCodeItem &Source) override;
  void Clear() override;
  void WriteTagData(TDictionary &Dictionary) const override;
  String GetDescription() const override;

private:
  TStringList FUnitNames;
  TStringList FModulePaths;
  String FUsesListText;
  bool FExternAlias = false;
  bool FHasDirective = false;
};

// One parser message: its text (and a second text kept beside it), 1-based line, column and
// kind.
class TMessageDetails : public TPersistent {
public:
  TMessageDetails() = default;
  TMessageDetails(String AText, Integer ALine, TCodeMessageKind AKind, Integer AColumn)
      : Text(std::move(AText)), Line(ALine), Column(AColumn), Kind(AKind) {}
  // Takes every field of another details object.
  void Assign(const TPersistent *Source) override;
  using TPersistent::Assign;

  String Text;
  String Detail;
  Integer Line = 0;
  Integer Column = 0;
  TCodeMessageKind Kind = TCodeMessageKind::Error;
};

class TMessagesItem : public TCodeItem {
  KRX_PUBLISHED(TMessagesItem)

public:
  TMessagesItem();
  ~TMessagesItem() override;

  TMessageDetails &AddMessage(String Text, Integer Line, TCodeMessageKind Kind, Integer Column);
  // Text completed by " in line %d col %d".
  TMessageDetails &AddPositionMessage(const String &Text, Integer Line, TCodeMessageKind Kind,
                                      Integer Column);
  void ClearMessages();
  TMessageDetails &GetMessage(Integer i) const;
  Integer MsgCount() const { return FMessages->Count(); }
  // Every text followed by CR LF.
  String GetMessagesText() const;
  const String &Category() const { return FCategory; }
  void SetCategory(const String &Value);

  void Assign(const TPersistent *Source) override;
  using TCodeItem::Assign;
  void WriteTagData(TDictionary &Dictionary) const override;

private:
  std::unique_ptr<TKRXCollection> FMessages;
  String FCategory;
};

// Design information about the form file of a module; the module owns it and tells it when
// lines move.
class TModuleDesignInfo : public TObject {
public:
  // Hands itself to Module, which owns it from then on. Module must not be nullptr.
  explicit TModuleDesignInfo(TModuleItem *AModule);
  TModuleItem *Module() const { return FModule; }
  virtual void LinesDeleted(Integer, Integer) {}
  virtual void LinesInserted(Integer, Integer) {}

private:
  TModuleItem *FModule;
};

class TDFMModuleDesignInfo : public TModuleDesignInfo {
public:
  TDFMModuleDesignInfo(TModuleItem *AModule, Integer ALine);
  // The line of the module's form-resource directive.
  Integer ResourceLine = 0;
  void LinesDeleted(Integer Line, Integer Count) override;
  void LinesInserted(Integer Line, Integer Count) override;
};

// The item of a tag comment.
class TKRTagData : public TCodeItem {
  KRX_PUBLISHED(TKRTagData)
public:
  explicit TKRTagData(TCodeItem *AOwner);
};

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

// ===========================================================================================
// Types and members
// ===========================================================================================

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

// The part of a module that came from an include file; its positions belong to that file,
// so position lookups pass it over.
class TIncludeFileItem : public TModuleSectionItem {
  KRX_PUBLISHED(TIncludeFileItem)

public:
  TIncludeFileItem(TCodeItem *AOwner, const String &APath);
  const String &Path() const { return FPath; }
  TCodeItem *ItemAtPos(Integer, Integer) override { return nullptr; }
  // "{$I name}" with the file name without its folder.
  String GetDescription() const override;

private:
  String FPath;
};

// ===========================================================================================
// Code sections, source regions, the code-item model
// ===========================================================================================

class TCodeSectionItem : public TCodeItem {
  KRX_PUBLISHED(TCodeSectionItem)

public:
  explicit TCodeSectionItem(TCodeItem *AOwner);

  TCodeSectionKind SectionKind() const { return FSectionKind; }
  // Also names the item by the section's keyword.
  void SetSectionKind(TCodeSectionKind Kind);
  String GetDeclaration() const override;
  String GetDescription() const override { return GetDeclaration(); }
  void AssignProps(const TCodeItem &Source) override;

private:
  TCodeSectionKind FSectionKind = cskVar;
};

// A $REGION block of a module; regions nest and follow line insertions and deletions.
class TSourceRegion : public TObject {
public:
  // With a parent, the region is its last child and belongs to it.
  explicit TSourceRegion(TSourceRegion *AParent);
  ~TSourceRegion() override;
  TSourceRegion(const TSourceRegion &) = delete;
  TSourceRegion &operator=(const TSourceRegion &) = delete;

  // Frees the children, last to first.
  void Clear();
  Integer ChildCount() const { return static_cast<Integer>(FChildren.size()); }
  TSourceRegion *GetChild(Integer i) const;
  TSourceRegion *Parent() const { return FParent; }
  void LinesInserted(Integer Line, Integer Count);
  void LinesDeleted(Integer Line, Integer Count);

  // Set on a module's root region only.
  TModuleItem *Module = nullptr;
  Integer EndLine = 0;
  Integer StartLine = -1;
  String Name;

private:
  void Shift(Integer Line, Integer Delta);

  std::vector<std::unique_ptr<TSourceRegion>> FChildren;
  TSourceRegion *FParent = nullptr;
};

// What the parser may ask of the host about the model it works for.
class TCodeItemModel : public TObject {
public:
  // Whether a type name names an event type; this system knows none.
  virtual bool IsEventTypeName(StringView TypeName) const;
};

// The process-wide model: exists while the IDE expert runs; nullptr otherwise.
TCodeItemModel *CodeItemModel();
// Creates the process-wide model (replacing one that exists) / frees it.
void CreateCodeItemModel();
void FreeCodeItemModel();
// IsEventTypeName of the process-wide model; False while there is none.
bool IsEventTypeNameOfModel(StringView TypeName);

// ===========================================================================================
// Classifier kinds
// ===========================================================================================

// What one kind of type declaration may hold. A language owns one per class kind, plus one
// for name spaces and one for enumerations. The base allows nothing.
class TClassifierKind : public TObject {
public:
  explicit TClassifierKind(TClassKind AClassKind) : ClassKind(AClassKind) {}

  const TClassKind ClassKind;

  virtual TCodeItemKinds AllowedMemberKinds() const { return {}; }
  // Class-level (static) members.
  virtual bool AllowsClassMembers() const { return false; }
  virtual String GetKeyword() const { return ClassKindKeyword(ClassKind); }
  // The visibility a member of this kind gets for V.
  virtual TVisibility MapVisibility(TVisibility V) const { return V; }
  virtual TCodeItemKind GetItemKind() const { return ItemKindOfClassKind(ClassKind); }
  virtual String DefaultAncestor() const { return String(); }
  virtual bool HasVisibilitySections() const { return false; }
  virtual bool IsDefaultAncestor(StringView Name) const { return Name.empty(); }
  virtual TFieldKinds AllowedFieldKinds() const { return {}; }
  virtual TBindingKinds AllowedBindings() const { return {}; }
  virtual TMethodKinds AllowedMethodKinds() const { return {}; }
  // Always within the allowed visibilities of the Pascal language.
  virtual TVisibilities AllowedVisibilities() const { return {}; }
  virtual bool CanHaveAncestor() const { return false; }
  virtual bool CanImplementInterfaces() const { return false; }
  virtual bool CanHaveSecondAncestor() const { return false; }
  virtual bool HasMethodBodies() const { return false; }
  virtual bool AllowsClassProperties() const { return false; }
  virtual bool AllowsClassSections() const { return false; }
  // "abstract" and "sealed" in a class header.
  virtual bool AllowsClassDirectives() const { return false; }
  virtual bool AllowsMulticastEvents() const { return false; }
  virtual bool AllowsMemberAttributes() const { return false; }
  virtual bool CanBePacked() const { return false; }
  virtual bool HasClassReferences() const { return false; }
  virtual bool AllowsVirtualConstructors() const { return false; }
};

class TPascalClassifierKind : public TClassifierKind {
public:
  using TClassifierKind::TClassifierKind;
  bool AllowsClassProperties() const override { return true; }
  bool AllowsClassSections() const override { return true; }
  bool AllowsClassDirectives() const override { return true; }
  bool AllowsMulticastEvents() const override { return true; }
  bool AllowsMemberAttributes() const override { return true; }
  bool AllowsVirtualConstructors() const override { return ClassKind == clClass; }
};

// The Delphi rules, which depend on the class kind and on the process-wide language mode.
class TDelphiClassifierKind : public TPascalClassifierKind {
public:
  using TPascalClassifierKind::TPascalClassifierKind;
  TCodeItemKinds AllowedMemberKinds() const override;
  bool AllowsClassMembers() const override;
  TVisibility MapVisibility(TVisibility V) const override;
  String DefaultAncestor() const override;
  bool HasVisibilitySections() const override;
  bool IsDefaultAncestor(StringView Name) const override;
  TFieldKinds AllowedFieldKinds() const override;
  TBindingKinds AllowedBindings() const override;
  TMethodKinds AllowedMethodKinds() const override;
  TVisibilities AllowedVisibilities() const override;
  bool CanHaveAncestor() const override;
  bool CanImplementInterfaces() const override;
  bool HasMethodBodies() const override { return HasVisibilitySections(); }
  bool AllowsClassProperties() const override;
  bool AllowsClassSections() const override { return AllowsClassMembers(); }
  bool AllowsClassDirectives() const override;
  // Only the dialects of the .NET platform have multicast events.
  bool AllowsMulticastEvents() const override;
  bool AllowsMemberAttributes() const override { return ClassKind != clObject; }
  bool CanBePacked() const override;
  bool HasClassReferences() const override { return ClassKind == clClass; }
};

// Name spaces hold no members of their own.
class TNameSpaceClassifier : public TClassifierKind {
public:
  TNameSpaceClassifier() : TClassifierKind(clUndefined) {}
  String GetKeyword() const override { return u"namespace"; }
  TCodeItemKind GetItemKind() const override { return ckNameSpace; }
};

class TPascalNameSpaceClassifier : public TNameSpaceClassifier {
public:
  TVisibility MapVisibility(TVisibility) const override { return scDefault; }
};

// Enumerations hold their values.
class TEnumClassifier : public TClassifierKind {
public:
  TEnumClassifier() : TClassifierKind(clUndefined) {}
  TCodeItemKinds AllowedMemberKinds() const override { return {ckEnumValue}; }
  String GetKeyword() const override { return u"enum"; }
  TCodeItemKind GetItemKind() const override { return ckEnum; }
  TVisibilities AllowedVisibilities() const override { return {scDefault}; }
};

// ===========================================================================================
// Identifier validators
// ===========================================================================================

class TIdentifierValidator : public TObject {
public:
  // The name part of a qualified name; '' for ''.
  virtual String UnqualifiedName(const String &Text);
  virtual bool IsValidName(TCodeItemKind ItemKind, const String &Text);
  virtual bool IsValidMethodName(const String &Text) { return IsValidName(ckMethod, Text); }
  virtual bool IsValidIdent(const String &Text) = 0;
  // Every part between dots is an identifier.
  virtual bool IsValidQualifiedIdent(const String &Text);
  // Valid as the name of an item of that kind (type names: generic forms where allowed).
  virtual bool IsValidFor(TCodeItemKind, const String &Text) { return IsValidIdent(Text); }
  virtual bool IsValidQualifiedFor(TCodeItemKind, const String &Text) {
    return IsValidQualifiedIdent(Text);
  }
  // "Name<T>" into Name "Name", TypeParams "<T>", IsGeneric True. Text must not end in blanks.
  virtual void SplitGenericName(const String &Text, String &Name, bool &IsGeneric,
                                String &TypeParams);
  // At the last ".": the trimmed parts after and before it; True when both are not empty.
  virtual bool SplitQualifiedName(const String &Text, String &Name, String &Qualifier);
  virtual bool SplitNames(const String &Text, TStrings &Strings) { return SplitList(Text, Strings); }
  // The pieces between commas, trimmed, appended to Strings.
  virtual bool SplitList(const String &Text, TStrings &Strings);

  // Raise EKRToolsException "\"%s\" is not a valid identifier" when the answer is False.
  void CheckName(TCodeItemKind ItemKind, const String &Text);
  void CheckIdent(const String &Text);
  void CheckFor(TCodeItemKind ItemKind, const String &Text);
  static bool HasDot(StringView Text);
};

class TPascalIdentValidator : public TIdentifierValidator {
public:
  TPascalIdentValidator();

  bool IsValidName(TCodeItemKind ItemKind, const String &Text) override;
  bool IsValidIdent(const String &Text) override;
  bool IsValidQualifiedIdent(const String &Text) override;
  // Lists "strict" in the modes after dlmDelphi7Win32 only.
  void UpdateExtraNames(TDelphiLanguageMode Mode);
  const TStringList &ExtraNames() const { return FExtraNames; }

protected:
  // The identifier rule of the mode, optionally refusing reserved words.
  static bool IsIdentText(const String &Text, bool RefuseReserved);

private:
  TStringList FExtraNames;
};

// ===========================================================================================
// Source languages
// ===========================================================================================

class TLanguageObserver;
class TClassifierKind;

class TSourceLanguage : public TPersistent, public TSourceLanguageRevision {
public:
  ~TSourceLanguage() override;
  TSourceLanguage(const TSourceLanguage &) = delete;
  TSourceLanguage &operator=(const TSourceLanguage &) = delete;

  bool CaseSensitive() const { return FCaseSensitive; }
  TSourceLanguageKind LanguageKind() const { return FLanguageKind; }

  // Identifiers compare exactly when the language is case-sensitive, else ignoring case.
  Integer CompareIdent(StringView A, StringView B) const;
  bool SameIdent(StringView A, StringView B) const { return CompareIdent(A, B) == 0; }
  bool IsReservedWord(const String &Word) const;
  // The sorted list of reserved words (filled by the parser's unit start-up).
  TStringList &ReservedWords() { return FReservedWords; }
  // Names that stand for the same type ("IUnknown" for "IInterface" in Pascal).
  TStringList &EquivalentTypeNames() { return FEquivalentTypeNames; }

  TIdentifierValidator &IdentValidator() const { return *FIdentValidator; }
  // Frees the current validator unless it is the same object.
  void SetIdentValidator(std::unique_ptr<TIdentifierValidator> Validator);

  // ---- Observers (not owned)
  void AddObserver(TLanguageObserver *Observer);
  void RemoveObserver(TLanguageObserver *Observer);
  // Outside an update every observer hears of the change, in order; inside one the change
  // is only marked as pending.
  void NotifyObservers();
  Integer ObserverCount() const { return static_cast<Integer>(FObservers.size()); }
  TLanguageObserver *GetObserver(Integer i) const;
  void BeginUpdate() { ++FUpdateCount; }
  // Ends an update; the last one reports a change that came up meanwhile.
  void EndUpdate();
  bool ChangePending() const { return FChangePending; }

  bool IsGlobalPascalLanguage() const;

  // ---- Classifier kinds (owned)
  TClassifierKind &GetClassifierKind(TClassKind ClassKind) const;
  // Name spaces and enumerations have their own; other kinds that of their class kind.
  TClassifierKind &ClassifierForItemKind(TCodeItemKind ItemKind) const;

  // ---- Language questions
  // The visibility an item has by default, and the one that stands for "not public".
  virtual TVisibility DefaultVisibility() const { return scDefault; }
  virtual TVisibility DefaultNonPublicVisibility() const { return scPrivate; }
  virtual TVisibilities AllowedVisibilities() const = 0;
  // The allowed visibility nearest to V within S.
  virtual TVisibility NearestAllowedVisibility(TVisibility V, TVisibilities S) const;
  virtual bool SupportsGenerics() const { return false; }
  virtual bool SupportsAttributes() const { return true; }
  virtual bool SupportsNestedTypes() const { return false; }
  virtual String VisibilityKeyword(TVisibility V) const { return VisibilityName(V); }
  // The text of an item in a list, and followed by the list's separator.
  virtual String ListElementText(const TCodeItem &Item) const { return Item.Name(); }
  virtual String ListElementTextSep(const TCodeItem &Item) const { return Item.Name() + u","; }
  virtual String UsesClauseText(const TUsesClause &Item) const;

  // ---- Declarations written back as source text
  virtual String ClassDeclarationText(const TClassItem &Item) const = 0;
  virtual String DelegateDeclarationText(const TDelegateItem &Item) const = 0;
  virtual String EventDeclarationText(const TEventItem &Item) const {
    return PropertyDeclarationText(Item);
  }
  virtual String FieldDeclarationText(const TFieldItem &Item) const = 0;
  // Routines, methods and method implementations.
  virtual String MethodDeclarationText(const TProcItem &Item) const = 0;
  virtual String PropertyDeclarationText(const TPropertyItem &Item) const = 0;

protected:
  TSourceLanguage(TSourceLanguageKind Kind, bool CaseSensitive);
  // Runs the virtual part of the construction: classifier kinds and the validator.
  void Init();
  virtual std::unique_ptr<TIdentifierValidator> CreateIdentValidator() const = 0;
  virtual std::unique_ptr<TClassifierKind> CreateClassifierKind(TClassKind Kind) const = 0;
  virtual std::unique_ptr<TClassifierKind> CreateNameSpaceClassifier() const = 0;

private:
  bool FCaseSensitive;
  std::array<std::unique_ptr<TClassifierKind>, TClassKindLast + 1> FClassifiers;
  std::unique_ptr<TClassifierKind> FEnumClassifier;
  TSourceLanguageKind FLanguageKind;
  std::unique_ptr<TIdentifierValidator> FIdentValidator;
  Integer FUpdateCount = 0;
  bool FChangePending = false;
  std::unique_ptr<TClassifierKind> FNameSpaceClassifier;
  std::vector<TLanguageObserver *> FObservers;
  TStringList FReservedWords;
  TStringList FEquivalentTypeNames;
};

class TPascalLanguage : public TSourceLanguage {
public:
  static std::unique_ptr<TPascalLanguage> Create();

  static TDelphiLanguageMode GetLanguageMode();
  // Switches the process-wide mode; the validator and the observers follow.
  void SetLanguageMode(TDelphiLanguageMode Mode);
  // The hint directives written into declarations in the current mode.
  static THintDirectives VisibleHintDirectives();

  TVisibilities AllowedVisibilities() const override;
  bool SupportsGenerics() const override;
  bool SupportsAttributes() const override;
  bool SupportsNestedTypes() const override;
  String ClassDeclarationText(const TClassItem &Item) const override;
  String DelegateDeclarationText(const TDelegateItem &Item) const override;
  String FieldDeclarationText(const TFieldItem &Item) const override;
  String MethodDeclarationText(const TProcItem &Item) const override;
  String PropertyDeclarationText(const TPropertyItem &Item) const override;

protected:
  TPascalLanguage();
  std::unique_ptr<TIdentifierValidator> CreateIdentValidator() const override;
  std::unique_ptr<TClassifierKind> CreateClassifierKind(TClassKind Kind) const override;
  std::unique_ptr<TClassifierKind> CreateNameSpaceClassifier() const override;
};

// Hears when a language changes.
class TLanguageObserver : public TComponent {
public:
  TLanguageObserver(TComponent *AOwner, TSourceLanguage *ALanguage);
  ~TLanguageObserver() override;

  TSourceLanguage *Language() const { return FLanguage; }
  // Leaves the previous language's observers and joins the new one's.
  void SetLanguage(TSourceLanguage *Value);
  // Calls OnChange when set.
  virtual void LanguageChanged();

  std::function<void(TObject *Sender)> OnChange;

private:
  TSourceLanguage *FLanguage = nullptr;
};

// The process-wide Pascal language, between the unit's start-up and shutdown.
TPascalLanguage *GlobalPascalLanguage();
// The process-wide language mode (DefaultLanguageMode at start).
TDelphiLanguageMode DelphiLanguageMode();

// Unit start-up: the global Pascal language and the self-check; shutdown: frees the
// language and the code-item model.
void CodeItemsInitialization();
void CodeItemsFinalization();

} // namespace krx
