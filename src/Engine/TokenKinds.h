// The token kinds and positions of the Pascal tokenizers, their errors, the last-comment
// record and the process-wide language switches: what every revision of the tokenizer shares.
#pragma once

#include "Common/KRX.Exceptions.h"
#include "Platform/Rtl/EnumSet.h"
#include "Platform/Rtl/SysUtils.h"

namespace krx {

#define KRX_TOKEN_KINDS(X)                                                                         \
  X(tkNone)                                                                                        \
  X(tkIdent)                                                                                       \
  X(tkComment)                                                                                     \
  X(tkDirective)                                                                                   \
  X(tkString)                                                                                      \
  X(tkSymbol)                                                                                      \
  X(tkNumber)                                                                                      \
  X(tkKRTag)                                                                                       \
  X(tkError)

enum class TTokenKind : Byte {
#define KRX_X(name) name,
  KRX_TOKEN_KINDS(KRX_X)
#undef KRX_X
};

using TTokenKinds = EnumSet<TTokenKind>;

// The declared name of a kind ("TTokenKind::tkIdent").
String TokenKindName(TTokenKind kind);

// A place in source text: the 1-based line and the 1-based column, counted in UTF-16 code
// units. A token's position is taken before its first character is consumed, so it is right
// for tokens that span lines too; positions are turned into text only where they are shown.
struct TSourcePos {
  Integer Line = 0;
  Integer Column = 0;
  friend bool operator==(const TSourcePos &, const TSourcePos &) = default;
};

// A tokenizer error; Pos is where the offending token starts.
class ETokenError : public EKRToolsException {
public:
  explicit ETokenError(String message = {}, TSourcePos pos = {})
      : EKRToolsException(std::move(message)), Pos(pos) {}
  const Char *ClassName() const noexcept override { return u"ETokenError"; }
  TSourcePos Pos;
};
KRX_DECLARE_EXCEPTION(ENoMoreTokens, ETokenError);

enum class TCommentKind : Byte { Brace, ParenStar, LineSlash };

// What a comment's token text holds: its opener ("{", "(*", "//"), the whole comment (lines
// joined by CR LF), or its first line. A directive always gets its whole text.
enum class TCommentTextMode : Byte { Opener, Whole, FirstLine };

// Where the last comment or directive was seen (written only while recording is on).
struct TLastComment {
  TCommentKind Kind = TCommentKind::Brace;
  bool StartsLine = false; // only characters up to #32 precede it on its line
  TSourcePos Pos;          // the comment's first character
};

class TKRBaseTokenizer;

// Collects the text of the tokens read while it lives (the tokenizer's mark, started unless
// `start` is off); a collection still running when the guard goes is stopped, also when a
// reader leaves by an exception. Taking the text (CollectedTextAsLine) stops it first.
template <class TTokenizer> class TCollectingGuard {
public:
  explicit TCollectingGuard(TTokenizer &tokenizer, bool start = true)
      : FTokenizer(tokenizer), FActive(start) {
    if (FActive)
      FTokenizer.StartCollecting();
  }
  ~TCollectingGuard() {
    if (FActive && FTokenizer.Collecting())
      FTokenizer.StopCollecting();
  }
  TCollectingGuard(const TCollectingGuard &) = delete;
  TCollectingGuard &operator=(const TCollectingGuard &) = delete;

private:
  TTokenizer &FTokenizer;
  bool FActive;
};

// Gives a tokenizer context another skip set while it lives, and the one it had back.
template <class TContext> class TSkipKindsGuard {
public:
  TSkipKindsGuard(TContext &context, TTokenKinds kinds)
      : FContext(context), FSaved(context.GetSkipKinds()) {
    FContext.SetSkipKinds(kinds);
  }
  ~TSkipKindsGuard() { FContext.SetSkipKinds(FSaved); }
  TSkipKindsGuard(const TSkipKindsGuard &) = delete;
  TSkipKindsGuard &operator=(const TSkipKindsGuard &) = delete;
  TTokenKinds Saved() const { return FSaved; }

private:
  TContext &FContext;
  TTokenKinds FSaved;
};

// Reads the tokenizer to its end (or its first invalid token) and joins the token texts, with a
// blank only between two words (identifiers or numbers) or two strings.
String JoinTokenTexts(TKRBaseTokenizer &tokenizer);

// The process-wide language switches of the tokenizers, both off when the system loads; the
// language observer sets them whenever the Pascal language mode changes.
bool EscapedIdentifiersEnabled();
void SetEscapedIdentifiersEnabled(bool on);
bool GenericNamesEnabled();
void SetGenericNamesEnabled(bool on);

// Restores both switches when it goes out of scope.
class TTokenizerSwitchesGuard {
public:
  TTokenizerSwitchesGuard();
  ~TTokenizerSwitchesGuard();
  TTokenizerSwitchesGuard(const TTokenizerSwitchesGuard &) = delete;
  TTokenizerSwitchesGuard &operator=(const TTokenizerSwitchesGuard &) = delete;

private:
  bool FEscaped;
  bool FGenerics;
};

} // namespace krx
