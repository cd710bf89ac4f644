// Object Pascal tokenizers: the token kinds, the line-based base tokenizer with its comment
// record, text mark and saved state, the Pascal scanner, the white-space normalising variant,
// and the context interface through which the tokenizer helper talks to its owner.
#pragma once

#include "Engine/TokenKinds.h"
#include "Platform/Rtl/Intf.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace krx {

// An allocator that leaves the elements a vector is resized to unwritten, for tables that are
// filled right after (a line table is as large as a sixth of its text).
template <class T> struct TNoInitAllocator : std::allocator<T> {
  template <class U> void construct(U *p) noexcept { ::new (static_cast<void *>(p)) U; }
  template <class U, class... TArgs> void construct(U *p, TArgs &&...args) {
    ::new (static_cast<void *>(p)) U(std::forward<TArgs>(args)...);
  }
};

// A source text and its lines, shared read-only between a tokenizer and its saved states, so
// that saving the state for an include file costs nothing in the size of the text. Lines are
// kept in 32 bits: texts of 2^32 code units and more are refused (ETokenError).
struct TTokenizerText {
  struct TLine {
    std::uint32_t Start;
    std::uint32_t Length;
  };
  using TLineTable = std::vector<TLine, TNoInitAllocator<TLine>>;
  // The whole text: Storage, or a text of the caller's that outlives every holder.
  StringView Text;
  TLineTable Lines;
  std::unique_ptr<Char[]> Storage; // null for a borrowed text
};
using TTokenizerTextPtr = std::shared_ptr<const TTokenizerText>;

// Copies a text and splits the copy into its lines (at CR LF, CR or LF) once; the result can
// be given to any number of tokenizers, as the texts of include files are.
TTokenizerTextPtr SplitTokenizerText(StringView text);
// Decodes a text of the ANSI code page (as DecodeAnsi does) and splits it into lines.
TTokenizerTextPtr DecodeAnsiTokenizerText(const Byte *data, std::size_t size);
// Splits a text without copying it: the caller keeps it alive and unchanged as long as the
// result (or a tokenizer given it) is held.
TTokenizerTextPtr BorrowTokenizerText(StringView text);

class TKRBaseTokenizer;

// The whole scanning state of a tokenizer, held by the tokenizer as one value: saving it is a
// copy, restoring it an assignment (the current line's view is recomputed from LineIndex).
struct TTokenizerState {
  TLastComment LastComment;
  Integer LineIndex = -1; // index of the current line in Text, -1 for none
  Integer LinePos = 1;    // 1-based index in the current line of the next character to scan
  String FileName;
  TTokenKinds GivenSkipKinds;
  TTokenKinds SkipKinds; // GivenSkipKinds without tkNone and tkError
  Integer LineNr = 0;    // lines consumed, which is the 1-based number of the current line
  String Collected;
  bool Collecting = false;
  TTokenizerTextPtr Text;
  // A token's text is a slice of Text for a token within one line, which costs no copy;
  // only a token whose text is not such a slice (a directive or whole comment spanning lines)
  // keeps it in Token, with TokenOwned set. TokenText points into one or the other; a restore
  // points it again at the restored Token when that is owned. The same holds for the
  // previous token.
  StringView PrevTokenText;
  String PrevToken;
  bool PrevTokenOwned = false;
  TTokenKind PrevTokenKind = TTokenKind::tkNone;
  TSourcePos PrevTokenPos;
  StringView TokenText;
  String Token;
  bool TokenOwned = false;
  TTokenKind TokenKind = TTokenKind::tkNone;
  TSourcePos TokenPos;
  bool DoubleQuotedStrings = false; // read by TPascalTokenizer
};

// Scans a list of source lines. Positions are 1-based: LineNr is the number of the current
// line, LinePos the index in it of the next character to scan, TokenPos where the current
// token starts.
class TKRBaseTokenizer {
public:
  explicit TKRBaseTokenizer(StringView text = {});
  virtual ~TKRBaseTokenizer() = default;
  TKRBaseTokenizer(const TKRBaseTokenizer &) = delete;
  TKRBaseTokenizer &operator=(const TKRBaseTokenizer &) = delete;

  void Clear();
  void SetText(StringView text);
  // Like SetText, without a copy of the text: the caller keeps `text` alive and unchanged
  // until the tokenizer is given another text or cleared.
  void SetBorrowedText(StringView text);
  // Takes lines already split, shared with whoever else holds them.
  void SetSharedText(TTokenizerTextPtr text);
  // Takes the lines as they are (a line break inside a line is not split again).
  void SetLines(const std::vector<String> &lines);
  // The whole text, lines joined by #13#10.
  String GetText() const;
  Integer LineCount() const;
  // The text of 1-based line `lineNr`; empty when there is no such line.
  StringView LineText(Integer lineNr) const;

  virtual TTokenKind NextToken();
  bool NextIsIdent() { return NextToken() == TTokenKind::tkIdent; }
  bool IsSymbol(StringView s) const {
    return FState.TokenKind == TTokenKind::tkSymbol && FState.TokenText == s;
  }
  // Where the current token starts (at the end of the text: where scanning stopped).
  TSourcePos TokenPos() const { return FState.TokenPos; }
  TSourcePos PrevTokenPos() const { return FState.PrevTokenPos; }
  // 1-based column where the current token starts.
  Integer TokenStartCol() const { return FState.TokenPos.Column; }
  Integer LineEndCol() const { return static_cast<Integer>(FLine.size()) + 1; }

  void SetSkipKinds(TTokenKinds kinds);
  TTokenKinds SkipKinds() const { return FState.GivenSkipKinds; }

  void StartCollecting();
  String StopCollecting();
  String CollectedTextAsLine(bool includeCurrentToken);
  bool Collecting() const { return FState.Collecting; }

  // Current and previous token. TokenText is the current token's text without a copy, valid
  // until the next token is read; Token copies it into a string on the first call for a token.
  StringView TokenText() const { return FState.TokenText; }
  const String &Token() const {
    if (FState.TokenOwned)
      return FState.Token;
    if (!FTokenCopied) {
      FTokenCopy.assign(FState.TokenText);
      FTokenCopied = true;
    }
    return FTokenCopy;
  }
  TTokenKind TokenKind() const { return FState.TokenKind; }
  StringView PrevTokenText() const { return FState.PrevTokenText; }
  const String &PrevToken() const;
  // Gives the current token's text to `into` (whose old text is dropped), moving it when the
  // tokenizer holds it in a string, for a reader that is done with the current token:
  // Token() is empty afterwards, and so is PrevToken() once the next token is read.
  void TakeToken(String &into);
  // Like TakeToken, but without a copy: the returned text is the token's slice of the source
  // text, valid as long as that text is, or `store` when the tokenizer held the text in a
  // string, which is then moved there.
  StringView TakeTokenText(String &store) {
    StringView text = FState.TokenText;
    if (FState.TokenOwned) {
      store.swap(FState.Token);
      FState.Token.clear();
      text = store;
    }
    ClearTokenText();
    return text;
  }
  TTokenKind PrevTokenKind() const { return FState.PrevTokenKind; }

  StringView Line() const { return FLine; }
  Integer LinePos() const { return FState.LinePos; }
  Integer LineNr() const { return FState.LineNr; }
  const TLastComment &LastComment() const { return FState.LastComment; }
  const String &FileName() const { return FState.FileName; }
  void SetFileName(StringView name) { FState.FileName = String(name); }

  TCommentTextMode CommentTextMode() const { return FCommentTextMode; }
  void SetCommentTextMode(TCommentTextMode mode) { FCommentTextMode = mode; }
  bool RecordComments() const { return FRecordComments; }
  void SetRecordComments(bool on) { FRecordComments = on; }
  bool NumbersAsNumbers() const { return FNumbersAsNumbers; }
  void SetNumbersAsNumbers(bool on) { FNumbersAsNumbers = on; }
  bool RaiseAtEnd() const { return FRaiseAtEnd; }
  void SetRaiseAtEnd(bool on) { FRaiseAtEnd = on; }
  bool TolerateErrors() const { return FTolerateErrors; }
  void SetTolerateErrors(bool on) { FTolerateErrors = on; }

  std::function<void(TKRBaseTokenizer &sender)> OnBlankLine;

  friend TTokenizerState SaveTokenizerState(const TKRBaseTokenizer &tokenizer);
  friend void RestoreTokenizerState(const TTokenizerState &state, TKRBaseTokenizer &tokenizer);

protected:
  // Per-class defaults; C++ runs no virtual call from a constructor, so the constructor of
  // each class that overrides Init calls its own.
  virtual void Init() {}
  virtual void ScanToken() = 0;

  // NextToken with an explicit skip set and end-of-text rule, for descendants that filter
  // the token stream themselves.
  TTokenKind ReadToken(TTokenKinds skip, bool raiseAtEnd);
  // ReadToken's loop with the scanner given: ReadToken calls the virtual one, a Pascal
  // tokenizer its own directly.
  template <class TScan> TTokenKind ReadTokenWith(TTokenKinds skip, bool raiseAtEnd, TScan scan);
  TTokenKinds EffectiveSkipKinds() const { return FState.SkipKinds; }
  // Gives the last `count` characters of the current one-line token back to the scanner
  // (and out of the collected text), so that they are scanned again as the next token.
  void ShortenToken(Integer count);

  // The scanners' view of the state. Makes the next line current with the position on its
  // first character above #32; see NextToken for blank lines and `notify`.
  bool NextLine(bool notify);
  Char CurChar() const { return FLine[FState.LinePos - 1]; }
  bool HasChar(Integer pos) const { return pos >= 1 && pos <= static_cast<Integer>(FLine.size()); }
  // Records the current token as the last comment.
  void RecordComment(TCommentKind kind);
  void Collect(StringView s) {
    if (FState.Collecting)
      FState.Collected.append(s);
  }
  // The line from position `from` (1-based) to `to` (exclusive).
  StringView LinePart(Integer from, Integer to) const {
    return StringView(FLine.data() + (from - 1), static_cast<std::size_t>(to - from));
  }
  // The current token's text is `s`, a slice of the current text. Only the scanners call it,
  // while they read a token: no Token() copy of the new token's text can exist yet.
  void SetTokenText(StringView s) {
    FState.TokenText = s;
    FState.TokenOwned = false;
  }
  // Appends `s` to the current token's text, which from then on is held in a string.
  void AppendTokenText(StringView s);
  // Empties the current token's text.
  void ClearTokenText() {
    SetTokenText({});
    FTokenCopied = false;
  }
  // The current token becomes the previous one; an owned text moves to PrevToken.
  void ShiftToken() {
    auto &s = FState;
    FTokenCopied = false;
    if (s.TokenOwned) {
      s.PrevToken.swap(s.Token);
      s.PrevTokenText = s.PrevToken;
    } else {
      s.PrevTokenText = s.TokenText;
    }
    s.PrevTokenOwned = s.TokenOwned;
    s.PrevTokenKind = s.TokenKind;
    s.PrevTokenPos = s.TokenPos;
  }

  TTokenizerState FState;
  StringView FLine; // the current line of FState.Text, derived from FState.LineIndex
  TCommentTextMode FCommentTextMode = TCommentTextMode::Opener;
  bool FRecordComments = false;
  bool FNumbersAsNumbers = false;
  bool FRaiseAtEnd = false;
  bool FTolerateErrors = false;

private:
  void SyncLine();
  // Makes line `index` of `text` current, with the position on its first character above
  // #32; false when there is none. Inlined into NextLine's loop, where a call per line cost
  // more than the work on most lines.
  [[gnu::always_inline]] bool EnterLine(const TTokenizerText &text, std::size_t index);
  // NextLine for a tokenizer that collects text or reports blank lines.
  bool NextLineReporting(bool notify);

  // Token() and PrevToken() copy a text that is a slice of the source into these; they are
  // no part of the state, only a cache of what the state says.
  mutable String FTokenCopy;
  mutable bool FTokenCopied = false;
  mutable String FPrevTokenCopy;
};

class TPascalTokenizer : public TKRBaseTokenizer {
public:
  explicit TPascalTokenizer(StringView text = {});

  bool DoubleQuotedStrings() const { return FState.DoubleQuotedStrings; }
  void SetDoubleQuotedStrings(bool on) { FState.DoubleQuotedStrings = on; }
  bool EscapedIdentifiers() const { return FEscapedIdentifiers; }
  void SetEscapedIdentifiers(bool on) { FEscapedIdentifiers = on; }

protected:
  void Init() override;
  void ScanToken() final;
  // ReadToken with this class's scanner called directly rather than through the virtual
  // slot, so that it is inlined.
  TTokenKind ReadPascalToken(TTokenKinds skip, bool raiseAtEnd);

private:
  // The scanner proper, inline in its own source file, where ScanToken and ReadPascalToken
  // run it: it runs for every token.
  [[gnu::always_inline]] inline void ScanPascalToken();
  void ScanComment(TCommentKind kind);
  void ScanLineComment();
  void ScanString();
  void ScanDoubleQuotedString();
  void ScanNumber();
  void ScanIdent(Integer start);

  bool FEscapedIdentifiers = false;
};

// Numbers as numbers, errors tolerated, whole comment texts: for comparing declarations.
class TWhiteSpaceTokenizer : public TPascalTokenizer {
public:
  explicit TWhiteSpaceTokenizer(StringView text = {});

  String JoinTokens();
  bool SameTokens(TWhiteSpaceTokenizer &other);
  bool SameAsText(StringView text);

protected:
  void Init() override;
};

TTokenizerState SaveTokenizerState(const TKRBaseTokenizer &tokenizer);
void RestoreTokenizerState(const TTokenizerState &state, TKRBaseTokenizer &tokenizer);

// Through this interface the tokenizer helper asks its owner (the parse engine, or a default
// context) to fetch tokens, report errors and open include files. UnexpectedToken is
// expected to raise; callers go on reading when it returns.
class ITokenizerContext : public virtual IInterface {
public:
  KRX_GUID("{C1C87197-95E5-4CB2-A394-66E479B3DE76}");
  virtual void UnexpectedToken() = 0;
  // For each identifier inside a skipped attribute bracket.
  virtual void AttributeIdentifier() = 0;
  // For each identifier inside a bracketed text; the opening bracket is given.
  virtual void BracketIdentifier(Char openBracket) = 0;
  // After an identifier was read.
  virtual void CheckIdentifier() = 0;
  virtual String CompressText(String text) = 0;
  virtual void AddMessage(const String &text) = 0;
  virtual TTokenKinds GetSkipKinds() = 0;
  virtual void IncludeFileStarted(const String &fileName) = 0;
  virtual void IncludeFileFinished(const String &fileName) = 0;
  virtual bool CurrentIsReservedWord() = 0;
  virtual TTokenKind NextToken() = 0;
  // May rewrite the name (to the full path of the file found). The text comes split into
  // lines, so that a file read before can be handed out again without copying it.
  virtual bool ReadIncludeFile(String &fileName, TTokenizerTextPtr &source) = 0;
  virtual void SetSkipKinds(TTokenKinds kinds) = 0;
};

class TPreprocessedPascalTokenizer;

// The context that the tokenizer helper uses when its owner gives none: syntax errors abort
// silently, the skip set and tokens come from the tokenizer, and no include file is read.
class TDefaultTokenizerContext : public TInterfacedObject, public ITokenizerContext {
public:
  // The tokenizer is referenced, not owned.
  explicit TDefaultTokenizerContext(TPreprocessedPascalTokenizer *tokenizer);

  void UnexpectedToken() override;
  void AttributeIdentifier() override {}
  void BracketIdentifier(Char) override {}
  void CheckIdentifier() override {}
  String CompressText(String text) override { return text; }
  void AddMessage(const String &) override {}
  TTokenKinds GetSkipKinds() override;
  void IncludeFileStarted(const String &) final {}
  void IncludeFileFinished(const String &) final {}
  bool CurrentIsReservedWord() override { return false; }
  TTokenKind NextToken() override;
  bool ReadIncludeFile(String &fileName, TTokenizerTextPtr &source) final;
  void SetSkipKinds(TTokenKinds kinds) override;

protected:
  TPreprocessedPascalTokenizer *Tokenizer() const { return FTokenizer; }

private:
  TPreprocessedPascalTokenizer *FTokenizer;
};

String NormalizeWhiteSpace(StringView text);
bool SameIgnoringWhiteSpace(StringView a, StringView b);
// Removes the delimiters of a brace, parenthesis-star or line comment; False when the text
// is no comment or nothing is left of it.
bool StripCommentDelimiters(String &text);

} // namespace krx
