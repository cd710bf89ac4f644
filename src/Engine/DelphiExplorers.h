// The Delphi grammar of the source parser, and what goes with it: the options of the Delphi
// explorer, an identifier validator that understands generic names, the observer that keeps
// the tokenizers and the validator in step with the language mode, and the file of global
// delegate type names (GlobalDelegates.txt) with its built-in default.
//
// The grammar reads a module statement by statement. Every declaration that fails costs only
// itself: its item is marked BadFormat, a message names the token, and the next statement is
// read normally.
#pragma once

#include "Engine/CustomPascalExplorers.h"
#include "Common/KRX.StringList.Helper.h"

#include <span>

namespace krx {

// Keyword mappers of the grammar; each answers False for a word outside its range.
bool ReservedWordToClassKind(TReservedWord w, TClassKind &kind);
bool ReservedWordToMethodKind(TReservedWord w, TMethodKind &kind);
bool ReservedWordToHintDirective(TReservedWord w, THintDirective &hint);
bool ReservedWordToCallingConvention(TReservedWord w, TCallConvention &cc);
bool ReservedWordToVisibility(TReservedWord w, TVisibility &v);
// Raises EKRXException "Reserved word %d is not a proc directive" for any other word.
TMethodDirective ReservedWordToProcDirective(TReservedWord w);
// The convention after `next` is met when `current` was set: a real convention replaces
// whatever came before; export and far only fill an empty slot.
TCallConvention MergeCallConvention(TCallConvention current, TCallConvention next);

class TDelphiExplorerOptions : public TCustomPascalExplorerOptions {
  KRX_PUBLISHED(TDelphiExplorerOptions)

public:
  TDelphiExplorerOptions();
  static const TModuleExplorerOptionsClass &ClassRef();

  bool FixEvents() const { return FFixEvents.load() != 0; }
  void SetFixEvents(bool value) { FFixEvents.exchange(value); }
  // The process-wide Pascal language's mode; the options hold none of their own.
  TDelphiLanguageMode LanguageMode() const;
  void SetLanguageMode(TDelphiLanguageMode value);

private:
  std::atomic<std::int32_t> FFixEvents{1};
};

// An identifier validator that reads names as dotted identifiers whose parts may carry
// generic parameter or argument lists ("TDictionary<String, TList<Integer>>").
class TPascalGenericsIdentValidator : public TPascalIdentValidator, public TGrammarTokenizerContext {
public:
  TPascalGenericsIdentValidator();
  ~TPascalGenericsIdentValidator() override;

  String UnqualifiedName(const String &text) override;
  bool IsValidName(TCodeItemKind kind, const String &text) override;
  bool IsValidFor(TCodeItemKind kind, const String &text) override;
  bool IsValidQualifiedFor(TCodeItemKind kind, const String &text) override;
  void SplitGenericName(const String &text, String &name, bool &isGeneric,
                        String &typeParams) override;
  bool SplitQualifiedName(const String &text, String &name, String &qualifier) override;
  bool SplitList(const String &text, TStrings &strings) override;

  // ITokenizerContext, without reference counting.
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
  void UnexpectedToken() override;
  void AttributeIdentifier() override {}
  void BracketIdentifier(Char openBracket) override;
  void CheckIdentifier() override;
  String CompressText(String text) override { return text; }
  void AddMessage(const String &) override {}
  TTokenKinds GetSkipKinds() override;
  bool CurrentIsReservedWord() override { return false; }
  TTokenKind NextToken() override;
  void SetSkipKinds(TTokenKinds kinds) override;

private:
  // Reads the text as a dotted generic name; False when reading failed. complete tells
  // whether the text ended right after the name.
  bool ReadPath(const String &text, bool checking, bool asText, TGenericIdentPath &path,
                bool &complete);

  bool FResult = true;
  bool FChecking = true;
  std::unique_ptr<TGrammarTokens> FTokens;
};

// Keeps the tokenizer switches and the language's validator in step with the language mode.
class TTokenizerSynchronizer : public TLanguageObserver {
public:
  explicit TTokenizerSynchronizer(TSourceLanguage *language);
  void LanguageChanged() override;
};

struct TPropertyDeclaration;

class TDelphiModuleExplorer : public TCustomPascalModuleExplorer {
public:
  static const TModuleExplorerClass &ClassRef();

  // The shared data folder's "GlobalDelegates.txt".
  static String GetGlobalDelegatesFileName();
  // Writes the built-in default beside the file and renames it into place, so a failed
  // write never leaves a partial file. Failures go to the application's exception handler.
  static void WriteDefaultGlobalDelegates();
  // Raises EKRToolsException when the file is missing, else opens it with the shell.
  void OpenGlobalDelegatesFile() override;
  void LoadGlobalDelegates() override;

  const TUniqueStringList &DelegateNames() const { return *FDelegateNames; }

protected:
  friend class TModuleExplorer;
  TDelphiModuleExplorer();

  bool ModuleKindFromText(const String &text, TModuleType &moduleType) override;
  void ParseModule(bool &stop) override;
  void ParseProcBody(TProcItem *proc, bool wholeBody, bool &stop) override;
  void StartMetrics() override;
  void ParseHintDirectives(TCodeItem *item, bool atCurrent, bool multiple, bool strict) override;
  void ParseProcSignature(TProcItem *item, TMethodKind methodKind, TSourcePos start,
                          const String &name) override;
  void ParseVariantPart() override;

private:
  // Reads the first token of the next statement; False when it was an invalid token, which
  // is consumed (raised when errors are not tolerated, as in a header-only parse).
  bool NextLoopToken(TTokenKind &kind);
  // One statement of a statement loop: the errors that cost only the statement are
  // swallowed, and a statement that made no progress does not leave its token to be read
  // again.
  void RunStatement(TTokenKind kind, void (TDelphiModuleExplorer::*statement)(TTokenKind));
  // False for a token that Statement would pass over: most tokens of a module (those of
  // routine bodies and expressions) then skip the statement's bookkeeping.
  bool StartsStatement(TTokenKind kind);
  void Statement(TTokenKind kind);
  void ProcBodyStatement(TTokenKind kind);
  void ProcBodyWord(TReservedWord word);
  // The declarations of a type section inside a routine are passed over up to the next
  // word that starts a section, a routine or a block.
  void SkipLocalTypes();
  // A label declaration: labels (identifiers or numbers) separated by "," up to ";".
  void SkipLabelList();
  // From "(" or "[" to the matching closer, nested groups included.
  void SkipBracketGroup();
  void ReservedWordStatement(TReservedWord word);
  void IdentifierStatement();
  bool InClassBody() const;
  bool AtModuleLevel() const;

  // Sections and uses.
  void ClassSection(TReservedWord word);
  void ModuleSection(TReservedWord word);
  void StartCodeSection(TReservedWord word);
  void ParseUsesClause();

  // Types.
  void ParseTypeDeclaration();
  void ParseGenericTypeDeclaration();
  void TypeAfterEquals(const TIdentRecord &declared);
  void SkipLocalTypeBody();
  // The next token with comments delivered with their first line of text.
  void NextTokenWithComments();
  // Reads past comment tokens; a brace comment "{IOMETADATA ...}" is kept in ioMetaData.
  void SkipCommentTokens(String *ioMetaData);
  void ParseTypeDefinition(TReservedWord word, TIdentRecord declared, bool afterEquals);
  void ParseUnhandledType(const TIdentRecord &declared, const String &prefix);
  TUnhandledTypeItem *NewUnhandledType(const TIdentRecord &declared, String text,
                                       Byte typeForm);
  void ParseAncestorList(TClassItem *cls);
  void ParseGUID(TClassItem *cls);
  void ParseVisibility(TReservedWord word);
  void SkipRecordBody();

  // Routines, fields and properties.
  void ParseRoutineHeading(TReservedWord word);
  void ParseResClause(const TRoutineHeading &heading, const TGenericIdentPath &nameParts);
  // True when a ";" was passed to look for directives after it and none came: the type then
  // ended at that ";" and the current token belongs to what follows.
  bool ParseProceduralType(TMethodKind methodKind, bool isReference, bool skipOnly,
                           const TIdentRecord *declared);
  void ParseMethodReference(const TIdentRecord &declared);
  // Reads past a (dotted, generic) type name without recording it; returns a placeholder.
  String SkipTypeName();
  void ParseFieldDeclaration(bool inClass);
  void ReadFieldType(String &text);
  void ReadInitializer(String &text);
  // A property declaration: it is read whole, then made a property item or, when it is an
  // event, an event item.
  void ParseProperty();
  // Reads the declaration from behind the property's name to its end. An error raises, with
  // what was read before it kept in `decl`.
  void ReadPropertyDeclaration(TPropertyDeclaration &decl, bool classProperty);
  // One specifier of a property (read, write, index ...) in `d`, which the caller takes into
  // the declaration once the specifier is read whole; False for a word that is none.
  bool ReadPropertySpecifier(TReservedWord word, bool redeclared, TPropertyDeclaration &decl,
                             TPropertyDirectives &d);
  bool IsEventProperty(const TPropertyDeclaration &decl) const;

  // What one parse of the grammar changes, reset at once when a parse starts (StartMetrics),
  // with the delegate names.
  struct TGrammarState {
    bool FixEvents = true;
    bool StopAtImplementation = false;
    // Entries of the block list when the routine body being read began (ParseProcBody).
    std::size_t BodyBlockBase = 1;
  };
  TGrammarState FGrammar;
  // The procedural types of the module parsed last.
  std::unique_ptr<TUniqueStringList> FDelegateNames;
  // The storage of a routine heading's name parts, kept from one heading to the next.
  TGenericIdentPath FRoutinePath;
};

// The built-in default of the global delegates file, byte for byte.
std::span<const Byte> DefaultGlobalDelegates();
// The delegate type names loaded at the start of the last parse.
const TStringList &GlobalDelegates();

// Unit start-up: the Pascal language's reserved words, the synchronizer and the global
// delegate list.
void DelphiExplorersInitialization();
void DelphiExplorersFinalization();

} // namespace krx
