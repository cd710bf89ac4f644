// Object Pascal tokenizers of this revision: a line-based base tokenizer that reads its lines
// from a text stream it owns, with its comment record and text mark, the Pascal scanner, and
// the context interface through which the tokenizer helper talks to its owner. There is no
// conditional compilation, no include file and no saved scanning state.
#pragma once

#include "Engine/TokenKinds.h"
#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/Intf.h"
#include "World/TextStrm.h"

#include <functional>
#include <memory>

namespace krx {

class TKRBaseTokenizer;
class TPascalTokenizerHelper;

// The scanning state of a tokenizer. LineNr mirrors the line count of the text stream.
struct TTokenizerScanState {
  TLastComment LastComment;
  Integer LinePos = 1; // 1-based index in the current line of the next character to scan
  TTokenKinds GivenSkipKinds;
  TTokenKinds SkipKinds; // GivenSkipKinds without tkNone and tkError
  Integer LineNr = 0;    // lines read from the stream: the 1-based number of the current line
  String Collected;
  bool Collecting = false;
  // The scanner moves the current token here when it reads the next; not offered outside.
  String PrevToken;
  TTokenKind PrevTokenKind = TTokenKind::tkNone;
  TSourcePos PrevTokenPos;
  String Token;
  TTokenKind TokenKind = TTokenKind::tkNone;
  TSourcePos TokenPos;
  bool DoubleQuotedStrings = false; // read by TPascalTokenizer
};

// Scans the lines of a text stream. Positions are 1-based: LineNr is the number of the
// current line, LinePos the index in it of the next character to scan, TokenPos where the
// current token starts.
class TKRBaseTokenizer {
public:
  // Over a TTextString of the text.
  explicit TKRBaseTokenizer(StringView text = {});
  // Over a read-only TStringsText of the list, which must be given and outlive the tokenizer.
  explicit TKRBaseTokenizer(TStrings *lines);
  // Over the list when one is given, else over the text.
  TKRBaseTokenizer(TStrings *lines, StringView text);
  // Over the stream, which must be given; the tokenizer owns it.
  explicit TKRBaseTokenizer(std::unique_ptr<TTextStream> stream);
  virtual ~TKRBaseTokenizer() = default;
  TKRBaseTokenizer(const TKRBaseTokenizer &) = delete;
  TKRBaseTokenizer &operator=(const TKRBaseTokenizer &) = delete;

  // A TTextString stream takes the text, any other stream is replaced by one; then the
  // current line is emptied and the current token cleared.
  void SetText(StringView text);
  void Clear() { SetText({}); }
  TTextStream &Stream() const { return *FStream; }

  virtual TTokenKind NextToken();
  bool NextIsIdent() { return NextToken() == TTokenKind::tkIdent; }
  bool IsSymbol(StringView s) const {
    return FState.TokenKind == TTokenKind::tkSymbol && FState.Token == s;
  }
  // Where the current token starts (at the end of the text: where scanning stopped).
  TSourcePos TokenPos() const { return FState.TokenPos; }
  Integer TokenStartCol() const { return FState.TokenPos.Column; }
  Integer LineEndCol() const { return static_cast<Integer>(FLine.size()) + 1; }

  void SetSkipKinds(TTokenKinds kinds);
  TTokenKinds SkipKinds() const { return FState.GivenSkipKinds; }

  void StartCollecting();
  String StopCollecting();
  String CollectedTextAsLine(bool includeCurrentToken);
  bool Collecting() const { return FState.Collecting; }

  const String &Token() const { return FState.Token; }
  StringView TokenText() const { return FState.Token; }
  TTokenKind TokenKind() const { return FState.TokenKind; }
  // Moves the current token's text into `into` (whose old text is dropped) instead of
  // copying it, for a reader that is done with the current token: Token() is empty afterwards.
  void TakeToken(String &into) {
    into.swap(FState.Token);
    FState.Token.clear();
  }
  // TakeToken giving back a view of `store`: this revision keeps every text in a string.
  StringView TakeTokenText(String &store) {
    TakeToken(store);
    return store;
  }

  StringView Line() const { return FLine; }
  Integer LinePos() const { return FState.LinePos; }
  Integer LineNr() const { return FState.LineNr; }
  const TLastComment &LastComment() const { return FState.LastComment; }

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

protected:
  // Per-class defaults; the constructor of each class that overrides Init calls its own.
  virtual void Init() {}
  virtual void ScanToken() = 0;

  TTokenKind ReadToken(TTokenKinds skip, bool raiseAtEnd);
  // ReadToken's loop with the scanner given: ReadToken calls the virtual one, a Pascal
  // tokenizer its own directly.
  template <class TScan> TTokenKind ReadTokenWith(TTokenKinds skip, bool raiseAtEnd, TScan scan);
  TTokenKinds EffectiveSkipKinds() const { return FState.SkipKinds; }
  // Gives the last `count` characters of the current one-line token back to the scanner.
  void ShortenToken(Integer count);

  bool NextLine(bool notify);
  Char CurChar() const { return FLine[FState.LinePos - 1]; }
  bool HasChar(Integer pos) const { return pos >= 1 && pos <= static_cast<Integer>(FLine.size()); }
  void RecordComment(TCommentKind kind);
  void Collect(StringView s) {
    if (FState.Collecting)
      FState.Collected.append(s);
  }
  StringView LinePart(Integer from, Integer to) const {
    return FLine.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from));
  }
  // The scanners' token text operations; this revision copies every text, since its current
  // line is replaced when the next one is read.
  void SetTokenText(StringView s) { FState.Token.assign(s); }
  void AppendTokenText(StringView s) { FState.Token.append(s); }
  void ClearTokenText() { FState.Token.clear(); }
  void ShiftToken() {
    FState.PrevToken.swap(FState.Token);
    FState.PrevTokenKind = FState.TokenKind;
    FState.PrevTokenPos = FState.TokenPos;
  }

  TTokenizerScanState FState;
  StringView FLine; // the line read last (FLineText)
  TCommentTextMode FCommentTextMode = TCommentTextMode::Opener;
  bool FRecordComments = false;
  bool FNumbersAsNumbers = false;
  bool FRaiseAtEnd = false;
  bool FTolerateErrors = false;

private:
  // The helper ends a generic parameter list at the ">" of a ">=".
  friend class TPascalTokenizerHelper;
  void ResetScan();

  std::unique_ptr<TTextStream> FStream;
  String FLineText;
};

class TPascalTokenizer : public TKRBaseTokenizer {
public:
  explicit TPascalTokenizer(StringView text = {});
  explicit TPascalTokenizer(TStrings *lines);
  TPascalTokenizer(TStrings *lines, StringView text);
  explicit TPascalTokenizer(std::unique_ptr<TTextStream> stream);

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

// Through this interface the tokenizer helper asks its owner (the parse engine, or a default
// context) to fetch tokens and report errors. UnexpectedToken is expected to raise; callers
// go on reading when it returns.
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
  virtual bool CurrentIsReservedWord() = 0;
  virtual TTokenKind NextToken() = 0;
  virtual void SetSkipKinds(TTokenKinds kinds) = 0;
};

// The context that the tokenizer helper uses when its owner gives none: syntax errors abort
// silently, the skip set and tokens come from the tokenizer.
class TDefaultTokenizerContext : public TInterfacedObject, public ITokenizerContext {
public:
  // The tokenizer is referenced, not owned.
  explicit TDefaultTokenizerContext(TPascalTokenizer *tokenizer) : FTokenizer(tokenizer) {}

  void UnexpectedToken() override;
  void AttributeIdentifier() override {}
  void BracketIdentifier(Char) override {}
  void CheckIdentifier() override {}
  String CompressText(String text) override { return text; }
  void AddMessage(const String &) override {}
  TTokenKinds GetSkipKinds() override { return FTokenizer->SkipKinds(); }
  bool CurrentIsReservedWord() override { return false; }
  TTokenKind NextToken() override { return FTokenizer->NextToken(); }
  void SetSkipKinds(TTokenKinds kinds) override { FTokenizer->SetSkipKinds(kinds); }

protected:
  TPascalTokenizer *Tokenizer() const { return FTokenizer; }

private:
  TPascalTokenizer *FTokenizer;
};

// Removes the delimiters of a comment, judged by its first character only: "(" takes two
// characters (and a final ")" two more), "/" two, "{" one (and a final "}"). False when the
// text starts otherwise or nothing is left of it.
bool StripCommentDelimiters(String &text);

} // namespace krx
