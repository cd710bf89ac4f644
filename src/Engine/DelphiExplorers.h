// The Delphi grammar of the source parser and the options of the Delphi explorer; the unit
// start-up that fills the Pascal language's reserved words and starts the generic identifier
// validator (GenericIdentValidators) and the global delegates file (GlobalDelegates).
//
// The grammar reads a module statement by statement. Every declaration that fails costs only
// itself: its item is marked BadFormat, a message names the token, and the next statement is
// read normally.
#pragma once

#include "Common/KRX.StringList.Helper.h"
#include "Engine/CustomPascalExplorers.h"
#include "Engine/DelphiKeywords.h"
#include "Engine/GenericIdentValidators.h"
#include "Engine/GlobalDelegates.h"

#include <span>

namespace krx {

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

// Unit start-up: the Pascal language's reserved words, the synchronizer and the global
// delegate list.
void DelphiExplorersInitialization();
void DelphiExplorersFinalization();

} // namespace krx
