// The language-independent half of the Pascal source parser. It drives one parse, fetches
// tokens for the grammar while it collects comments, attributes and directives on the way,
// keeps the list of open blocks, the current scope and visibility, tracks $REGION nesting,
// follows include files and reports what it finds in the module's messages item. After the
// parse it links method implementations with their declarations. The grammar that decides
// which words start which declarations derives from it (DelphiExplorers).
//
// Lines of code items are 0-based; the tokenizer counts lines and columns from 1. The engine
// works with the tokenizer's positions (TSourcePos) and hands them to the items, which convert
// them (TCodeItem::SetStart and the like); messages show 1-based lines.
#pragma once

#include "Engine/CodeItems.h"
#include "Engine/KRX.ReservedWords.h"
#include "Engine/ModuleExplorers.h"
#include "Engine/GrammarTokens.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace krx {

// The options of the Pascal explorers.
class TCustomPascalExplorerOptions : public TModuleExplorerOptions {
public:
  static const TModuleExplorerOptionsClass &ClassRef();
  TSourceLanguageKind Language() const override { return lanPascal; }
};

// The record of an identifier the engine has read: where it stood and which comment or
// attribute line was pending in front of it.
//
// Its text is a view: of the source text where the tokenizer keeps that for the whole parse
// (so an identifier costs no copy), else of Own, which the record then holds. A copy of a
// record that holds its text views the copy's own string.
struct TIdentRecord {
  TIdentRecord() = default;
  TIdentRecord(const TIdentRecord &other) { *this = other; }
  TIdentRecord &operator=(const TIdentRecord &other) {
    if (this != &other) {
      Own = other.Own;
      Text = other.OwnsText() ? StringView(Own) : other.Text;
      Next = other.Next;
      PrologLine = other.PrologLine;
      Include = other.Include;
    }
    return *this;
  }

  StringView Text;
  String Own;
  TSourcePos Next;         // the scan position just behind the identifier
  Integer PrologLine = -1; // 0-based, -1 none
  const TCodeItem *Include = nullptr; // the item of the include file it was read from
  // Where the identifier starts.
  TSourcePos Start() const { return {Next.Line, Next.Column - Length(Text)}; }
  bool OwnsText() const { return Text.data() == Own.data() && Text.size() == Own.size(); }
  // Appends `s` to the text, which the record holds from then on.
  void Append(StringView s) {
    String joined;
    joined.reserve(Text.size() + s.size());
    joined.append(Text).append(s);
    Own = std::move(joined);
    Text = Own;
  }
};

// An open block: a code item whose body is being read, or the word that opened a block
// that has no item (begin, case, try, record, initialization ...).
struct TBlockEntry {
  TCodeItem *Item = nullptr; // null for a marker
  TReservedWord Word = rwBegin;
};

// The heading of a routine as the grammar met it.
struct TRoutineHeading {
  bool ClassMethod = false; // "class" came before the routine word
  TMethodKind MethodKind = mkProcedure;
  TSourcePos Start;
  Integer PrologLine = -1;
};

class TCustomPascalModuleExplorer : public TModuleExplorer, public TGrammarTokenizerContext {
public:
  // How deep declarations (routines in routines, types in types) and regions may nest in
  // the model. Real code nests a few levels; the walks over the model (freeing it, line
  // shifts, searches, rendering) recurse along the nesting, so a text must not make the
  // tree as deep as it likes. A routine or type that would stand deeper is kept without
  // its contents and marked, a region is not kept, each with the message "Nested deeper
  // than 256 levels".
  static constexpr Integer MaxNestingDepth = 256;

  ~TCustomPascalModuleExplorer() override;

  TSourceLanguageKind Language() const override { return lanPascal; }

  // ITokenizerContext: the explorer's life is governed by its owner alone.
  Integer _AddRef() override { return -1; }
  Integer _Release() override { return -1; }
  void UnexpectedToken() override { RaiseUnexpectedToken(); }
  void AttributeIdentifier() override {}
  void BracketIdentifier(Char openBracket) override { CheckWordAfterBracket(openBracket); }
  void CheckIdentifier() override { CheckNotReservedWord(); }
  String CompressText(String text) override { return CompressWhitespace(std::move(text)); }
  void AddMessage(const String &text) override { AddWarningAtLastToken(text); }
  TTokenKinds GetSkipKinds() override { return FParse.SkipKinds; }
  bool CurrentIsReservedWord() override {
    TReservedWord w;
    return IsReservedWordToken(w);
  }
  TTokenKind NextToken() override;
  void SetSkipKinds(TTokenKinds kinds) override { FParse.SkipKinds = kinds; }

protected:
  TCustomPascalModuleExplorer();
  void DoExplore(const TExploreSource &source, bool headerOnly) override;

  // ---- Grammar slots ----
  // True when the word starts a module (program, unit ...).
  virtual bool ModuleKindFromText(const String &text, TModuleType &moduleType) = 0;
  void BeginIncludeFile(const String &fileName) override;
  void EndIncludeFile() override;
  bool FollowsIncludeFiles() const override { return true; }
  String IncludingFileName() override;
  void IncludeFileNotFound(const String &fileName) override;
  virtual void ParseModule(bool &stop) = 0;
  // Reads a routine's local declarations and statement blocks from the current token on,
  // with `proc` as the current item. With wholeBody off it stops before the first token on
  // the routine's last header line (the line of its begin); `stop` is set when the progress
  // event cancels. A parse reads bodies through ParseModule; this is for callers that read
  // one body on its own.
  virtual void ParseProcBody(TProcItem *proc, bool wholeBody, bool &stop) = 0;
  virtual void StartMetrics();
  // Hint directives of an item; see the grammar for the flags.
  virtual void ParseHintDirectives(TCodeItem *item, bool atCurrent, bool multiple, bool strict);
  virtual void ParseProcSignature(TProcItem *item, TMethodKind methodKind, TSourcePos start,
                                  const String &name);
  virtual void ParseVariantPart();
  virtual void OpenGlobalDelegatesFile() {}
  virtual void LoadGlobalDelegates() {}

  // ---- Tokens ----
  TGrammarTokenizer &Tokenizer() { return FTokens->Tokenizer(); }
  TPascalTokenizerHelper &Helper() { return FTokens->Helper(); }
  TTokenKind TokenKind() { return Tokenizer().TokenKind(); }
  const String &Token() { return Tokenizer().Token(); }
  // Symbols are one or two characters long; most differ in the first.
  bool IsSymbol(StringView s) {
    const StringView t = TokenText();
    return TokenKind() == TTokenKind::tkSymbol && t.size() == s.size() && !t.empty() &&
           t[0] == s[0] && (t.size() == 1 || t == s);
  }
  bool IsIdent() { return TokenKind() == TTokenKind::tkIdent; }
  // The current token's text without a copy, valid until the next token is read.
  StringView TokenText() { return Tokenizer().TokenText(); }
  bool TokenIs(StringView upperWord) { return IsIdent() && SameText(TokenText(), upperWord); }
  // The next token that is not in the skip set, with directives reported even outside
  // declarations.
  TTokenKind NextTokenReportingDirectives();
  // The next token with comments delivered as tokens.
  TTokenKind NextTokenKeepComments();
  // Reads the next token unless one was pushed back for the grammar.
  TTokenKind NextStatementToken();
  void PushBackDeclarationStart();
  // The current token is read again by the next NextStatementToken, whatever its kind.
  void PushBackToken() { FParse.PushBack = true; }
  bool PushedBack() const { return FParse.PushBack; }
  void ClearPushBack() { FParse.PushBack = false; }
  // The current token is a structural keyword (up to rwUses), not one written as a dotted
  // name's part; "operator" counts only behind "class".
  bool IsReservedWordToken(TReservedWord &word) {
    TReservedWord w;
    if (TokenKind() != TTokenKind::tkIdent || !TokenWord(w) || w > rwUses ||
        (w == rwOperator && !OperatorIsKeyword()) || AfterDottedNameDot())
      return false;
    word = w;
    return true;
  }
  bool IsDirectiveWord(TReservedWord &word);
  void CheckNotReservedWord();
  void CheckWordAfterBracket(Char ch);

  // ---- Skipping and reading ----
  void SkipToDirectiveOrSemicolon(std::initializer_list<TReservedWord> words, String &text);
  void SkipExpression(std::initializer_list<TReservedWord> words, String &text);
  void ReadDesignator(String &text);
  void SkipTypeList(Char terminator, std::initializer_list<TReservedWord> words, String &text);
  void SkipAsmBlock();
  void SkipAttribute(Integer depth);

  // ---- Scope, blocks and declaration items ----
  void SetCurrentItem(TCodeItem *item);
  TCodeItem *CurrentItem() const { return FParse.CurrentItem; }
  // The class whose body the current item stands in: the current item itself, or the class
  // around the include file (or chain of them) that is being read in its body; else null.
  TClassItem *BodyClass() const;
  void UpdateCurrentScope();
  void PushBlock(TCodeItem *item);
  void PushMarker(TReservedWord word);
  void BeginBlock(TReservedWord word);
  void EndBlock(bool closed);
  void CloseOpenBlocks();
  // The innermost include file opened at module level, else the module item: where
  // module-level declarations go.
  TCodeItem *ModuleLevelScope();
  const std::vector<TBlockEntry> &Blocks() const { return FParse.Blocks; }
  void SetDeclarationMode(bool on);
  bool DeclarationMode() const { return FParse.DeclarationMode; }
  void SetSectionKind(TCodeSectionKind kind) { FParse.CodeSectionKind = kind; }
  TCodeSectionKind SectionKind() const { return FParse.CodeSectionKind; }
  TModuleSectionItem *AddModuleSection(TModuleSectionKind kind);
  static TModuleSectionKind ReservedWordToSectionKind(TReservedWord word);
  TModuleSectionKind LastModuleSection() const { return FModuleSectionKind; }
  void SetImplementationLine(Integer line);
  Integer GetImplementationLine() const;
  void SetModuleMarkLine(Integer line) { FParse.ModuleMarkLine = line; }
  Integer GetModuleMarkLine() const { return FParse.ModuleMarkLine; }
  void ParseModuleHeader();
  TProcData *ParseProcData(TMethodKind methodKind, const String &name, Integer prologLine,
                           TSourcePos start);
  TMethodItem *ParseMethodDeclaration(const TRoutineHeading &heading,
                                      const TGenericIdentPath &nameParts);
  TMethodImplItem *ParseMethodImplementation(const TRoutineHeading &heading,
                                             const TGenericIdentPath &nameParts);
  TClassItem *AddClassItem(TClassKind classKind, const TIdentRecord &declaredName);
  // False for an item that stands deeper than MaxNestingDepth below the module: it is then
  // marked BadFormat with the nesting message and must hold nothing (it does not become
  // the current item, a type's body is passed over).
  bool WithinNestingLimit(TCodeItem *item);
  // Sets the header end of an item behind the current token when it is ";", else before it.
  void SetHeaderEndAtToken(TCodeItem *item);

  // ---- Comments ----
  // The earlier of the pending comment's and the pending attribute's 0-based lines, -1 for
  // none.
  Integer GetPendingCommentLine() const {
    if (FParse.PendingAttributeLine < 0)
      return FParse.PendingCommentLine;
    if (FParse.PendingCommentLine < 0)
      return FParse.PendingAttributeLine;
    return std::min(FParse.PendingAttributeLine, FParse.PendingCommentLine);
  }
  Integer PendingCommentLine() const { return FParse.PendingCommentLine; }
  void ResetPendingComment() {
    FParse.PendingCommentLine = -1;
    FParse.PendingAttributeLine = -1;
  }
  void ReportIrregularComment(Integer line);

  // ---- Messages ----
  [[noreturn]] void RaiseUnexpectedToken();
  [[noreturn]] void RaiseBadFormat(const String &text);
  void AddWarningAtLastToken(const String &text);
  // A message with the position suffix at the place.
  void AddPositionMessage(const String &text, TSourcePos pos, TCodeMessageKind kind);

  // ---- State for the grammar ----
  TModuleItem &Module() { return *ModuleItem(); }
  bool HeaderOnly() const { return FParse.HeaderOnly; }
  bool AttributesEnabled() const { return FAttributesEnabled; }
  void SetAttributesEnabled(bool on) { FAttributesEnabled = on; }
  Integer AttributeDepth() const { return FParse.AttributeDepth; }
  void SetDottedNames(bool on) { FDottedNames = on; }
  TVisibility CurrentVisibility() const { return FParse.Visibility; }
  void SetCurrentVisibility(TVisibility v) { FParse.Visibility = v; }
  // The last identifier read (the one before the current token when that is an
  // identifier too) and the one before it.
  const TIdentRecord &CurrentIdent() const { return FParse.Idents[FParse.CurIdent]; }
  const TIdentRecord &PreviousIdent() const { return FParse.Idents[FParse.CurIdent ^ 1]; }
  // So that a later test for a word before the current token does not see it.
  void ForgetCurrentIdent();
  StringView PrevTokenText() const { return FParse.PrevTokenText; }
  TTokenKind PrevTokenKind() const { return FParse.PrevTokenKind; }

  // ---- Positions, as the tokenizer counts them ----
  // Where the current token starts.
  TSourcePos TokenPos() { return Tokenizer().TokenPos(); }
  Integer TokenLine() { return Tokenizer().TokenPos().Line; }
  // Where the tokenizer reads next, and the last character it read (the end of the current
  // token, or of the directive it handled last).
  TSourcePos ScanPos() { return {Tokenizer().LineNr(), Tokenizer().LinePos()}; }
  TSourcePos LastReadPos() { return LastCharBefore(ScanPos()); }
  // The last character before the current token: the end of the previous one.
  TSourcePos EndBeforeToken() const { return LastCharBefore(FParse.Before); }
  // Where a declaration left unclosed ends: the end of the line before the scan position.
  TSourcePos PreviousLineEnd();
  // Where the word "end" that was read last starts: three characters before the scan
  // position.
  TSourcePos ClosingEndStart();
  static TSourcePos LastCharBefore(TSourcePos scan) { return {scan.Line, scan.Column - 1}; }
  bool InRoutineBody() const { return FParse.InRoutineBody; }
  bool DirectiveSeen() const { return FParse.DirectiveSeen; }
  void SetDirectiveSeen(bool on) { FParse.DirectiveSeen = on; }

private:
  void HandleToken(TTokenKind kind);
  void HandleComment();
  void HandleDirective(const String &text);
  void HandleSymbol();
  void ApplyClassWarnings();
  void CloseRegions();
  void BlankLine();
  TProcItem *BodyRoutine() const;
  // The reserved word or directive the current token spells, looked up once per token.
  bool TokenWord(TReservedWord &word) {
    if (FParse.WordLookup == TWordLookup::Unknown)
      LookUpTokenWord();
    word = FParse.Word;
    return FParse.WordLookup == TWordLookup::Found;
  }
  void LookUpTokenWord();
  // The token follows the "." of a dotted name, where no word is reserved.
  bool AfterDottedNameDot() const {
    return FDottedNames && FParse.PrevTokenKind == TTokenKind::tkSymbol &&
           FParse.PrevTokenText == u".";
  }
  bool OperatorIsKeyword() const;
  void FinishProcData(TProcData *proc);
  static void Link(TProcItem *decl, TProcItem *impl);
  void CreateMissingDeclarations(std::vector<TProcItem *> &impls, TCodeItem *owner);
  // Links declarations with implementations of the same name. `shared`: the declarations are
  // those of several classifiers of one name, which may share a body.
  void Associate(std::vector<TProcItem *> &decls, std::vector<TProcItem *> &impls, TCodeItem *owner,
                 bool shared = false);
  void AssociateMethods();
  void AssociateRoutines();

  // One entry per open include file: the scope it interrupted, its item, and whether it
  // was opened at module level (directly in the module or in such an include file).
  struct TIncludeEntry {
    TCodeItem *Interrupted;
    TCodeItem *Item;
    bool ModuleLevel;
  };
  enum class TWordLookup : Byte { Unknown, None, Found };

  // What one parse reads and changes. A parse starts from a new value (ResetParseState), so
  // nothing of the previous parse is left behind by a field that a reset forgot.
  struct TParseState {
    bool HeaderOnly = false;
    // Outside a declaration part, ignored directives are not reported.
    bool OutsideDeclarations = true;
    bool DeclarationMode = false;
    bool DirectiveSeen = false;
    bool ConstSeen = false;
    bool InRoutineBody = false;
    bool InAsm = false;
    bool PushBack = false;
    Integer AttributeDepth = 0;
    // 0-based lines of the pending attribute and comment, -1 for none.
    Integer PendingAttributeLine = -1;
    Integer PendingCommentLine = -1;
    // The length of the comment signature in a signature mode, else 0.
    Integer SignatureLength = 0;
    TCodeItem *CurrentItem = nullptr;
    TVisibility Visibility = scDefault;
    TCodeSectionKind CodeSectionKind = cskUndefined;
    TSourceRegion *CurrentRegion = nullptr;
    Integer RegionDepth = 0;    // of the current region below the root
    Integer IgnoredRegions = 0; // open regions beyond the nesting limit, not kept
    // The item whose depth was measured last, and that depth: many declarations in a row
    // are checked with the same owner.
    const TCodeItem *DepthOwner = nullptr;
    Integer DepthOfOwner = 0;
    std::vector<TBlockEntry> Blocks;
    std::vector<TIncludeEntry> IncludeStack;
    // The lines of the include directives (outermost first) that hold the implementation
    // line.
    std::vector<Integer> ImplementationIncludes;
    Integer ModuleMarkLine = -1;
    // The previous token's text: a view of the source text it was read from (which the
    // tokenizer keeps for the whole parse), of the identifier record that holds it, or of
    // PrevToken when the tokenizer held the text in a string.
    StringView PrevTokenText;
    String PrevToken;
    TTokenKind PrevTokenKind = TTokenKind::tkNone;
    // The current and the previous identifier record; reading an identifier turns the older
    // one into the current one, so no record is copied or swapped.
    TIdentRecord Idents[2];
    Byte CurIdent = 0;
    // The scan position before the current token was read: just behind the previous token.
    TSourcePos Before;
    TTokenKinds SkipKinds;
    // The reserved word or directive the current token spells, looked up once per token.
    TWordLookup WordLookup = TWordLookup::Unknown;
    TReservedWord Word = rwBegin;
  };
  // Starts a parse of the module with a new parse state.
  void ResetParseState(bool headerOnly);

  TParseState FParse;
  // The last module section met. It is no part of the parse state: a parse reads the value
  // the previous parse of this explorer left until it meets a section of its own.
  TModuleSectionKind FModuleSectionKind = msInterface;
  std::unique_ptr<TGrammarTokens> FTokens;
  // Set by the grammar when a parse starts.
  bool FAttributesEnabled = false;
  bool FDottedNames = false;
  // The options, copied when the explorer is made (a signature mode without a signature
  // falls back to camEnabled at the first parse).
  TCommentAssociationMode FCommentMode = camEnabled;
  String FCommentSignature;
  bool FDetailedMetaDataHints = true;
  bool FEmptyLineUnassociatesComment = false;
  bool FEvaluateConditions = true;
};

} // namespace krx
