// The base of the code model (defined in CodeItems.cpp): the model's enumerations and small
// unit routines, and TCodeItem, the node of the tree of code items that the Pascal parser
// builds from one source file. Every item knows its kind, name, visibility, the lines and
// columns of its declaration, its comment lines and its children; it answers which item lies
// at a position, follows line insertions and deletions, checks new names through its source
// language and writes its declaration back as wrapped source text.
//
// Ownership: an item owns its children (created under an owner, an item belongs to it); a
// root item (a module) belongs to whoever created it. Positions: lines are 0-based, -1 meaning
// "no position"; columns are 1-based. Users of the code model include CodeItems.h.
#pragma once

#include "Common/DataTyp.h"
#include "Common/KREngineDefs.h"
#include "Common/KRX.Exceptions.h"
#include "Engine/TokenKinds.h"
#include "Platform/Rtl/Classes.h"
#include "World/Editable.h"
#include "XML/Dictionaries.h"

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

} // namespace krx
