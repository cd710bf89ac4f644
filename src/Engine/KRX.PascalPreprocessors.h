// Conditional compilation while Pascal source is tokenized: the compiler context (defines,
// expressions that count as true, compiler version, the 26 single-letter switches), the
// preprocessing tokenizer that evaluates $IFDEF/$IFNDEF/$IFOPT/$IF/$ELSEIF/$ELSE/$ENDIF/
// $IFEND, applies $DEFINE, $UNDEF and switches and follows $I/$INCLUDE files, and a small
// preprocessor over one text.
#pragma once

#include "Engine/Tokenizers.h"

#include <array>
#include <functional>
#include <set>
#include <vector>

namespace krx {

// A conditional-compilation error; Pos is where the offending directive starts.
class ECompilationConditionError : public Exception {
public:
  explicit ECompilationConditionError(String message = {}, TSourcePos pos = {})
      : Exception(std::move(message)), Pos(pos) {}
  const Char *ClassName() const noexcept override { return u"ECompilationConditionError"; }
  TSourcePos Pos;
};

#define KRX_COMPILER_VERSIONS(X)                                                                   \
  X(dcmpDelphi10Win32, u"VER300", 30.0)                                                            \
  X(dcmpDelphi10_1Win32, u"VER310", 31.0)                                                          \
  X(dcmpDelphi10_2Win32, u"VER320", 32.0)                                                          \
  X(dcmpDelphi10_3Win32, u"VER330", 33.0)                                                          \
  X(dcmpDelphi10_4Win32, u"VER340", 34.0)                                                          \
  X(dcmpDelphi11Win32, u"VER350", 35.0)

enum TCompilerVersion : Byte {
#define KRX_X(name, symbol, number) name,
  KRX_COMPILER_VERSIONS(KRX_X)
#undef KRX_X
};

String CompilerVersionName(TCompilerVersion version);   // "dcmpDelphi11Win32"
String CompilerVersionSymbol(TCompilerVersion version); // "VER350"
double CompilerVersionNumber(TCompilerVersion version); // 35.0

// Reads a plain word of a directive body from `pos` on, after any blanks: ASCII letters,
// digits and underscores, starting with a letter or an underscore, which `word` is set to
// (a view of the body) and `pos` is moved past. False, with nothing changed, where a
// tokenizer over the upper-cased body would not read just that word in upper case as its
// next identifier (a number, a symbol, the end, a word that goes on beyond ASCII): such a
// body needs the tokenizer.
bool ReadPlainDirectiveWord(StringView body, std::size_t &pos, StringView &word);

// Orders define names ignoring case, as AnsiCompareText does; names are looked up as views.
struct TDefineNameLess {
  using is_transparent = void;
  bool operator()(StringView a, StringView b) const;
};

class TCompilerContext {
public:
  TCompilerContext();

  void Assign(const TCompilerContext &source);

  // A define, a symbol every build of the add-in has, or the compiler's version symbol.
  bool IsDefined(StringView name) const;
  // An if-expression, or a comparison of CompilerVersion or RTLVersion with a number.
  bool EvaluateCondition(StringView expression) const;
  void SetDefine(StringView name, bool on);
  // IsDefined("LEGACYIFEND"): $ENDIF then closes only $IFDEF, $IFNDEF and $IFOPT, and $IFEND
  // only $IF.
  bool LegacyIfEnd() const { return FLegacyIfEnd; }

  void ResetSwitches();
  // Switch states by letter A-Z; any other letter is an internal error.
  Byte Switch(Char letter) const;
  void SetSwitch(Char letter, Byte value);
  // "A8", "Z1", "YD", "R+", "B-".
  String SwitchText(Char letter) const;
  // "{$A8,B-,...,Z1}"; the setter reads a switch directive and takes its 26 states.
  String CompilerSwitches() const;
  void SetCompilerSwitches(StringView text);

  TCompilerVersion CompilerVersion() const { return FCompilerVersion; }
  void SetCompilerVersion(TCompilerVersion version) { FCompilerVersion = version; }

  // Joined with ";"; the setters split at ";" (blank entries are dropped).
  String Defines() const;
  void SetDefines(StringView text);
  String IfExpressions() const;
  void SetIfExpressions(StringView text);

private:
  TCompilerVersion FCompilerVersion = dcmpDelphi11Win32;
  // Unique, compared ignoring case. A tree, not a sorted array: a unit may define
  // hundreds of thousands of names, each added in logarithmic time.
  std::set<String, TDefineNameLess> FDefines;
  bool FLegacyIfEnd = false;
  std::vector<String> FIfExpressions;
  std::array<Byte, 26> FSwitches{};
};

enum class TConditionKind : Byte { IfDef, IfNDef, IfOpt, If };

// One open conditional.
struct TCompilationCondition {
  bool Active = false; // this branch is compiled
  bool Taken = false;  // some branch of this conditional was already active
  TConditionKind Kind = TConditionKind::IfDef;
};
using TConditionStack = std::vector<TCompilationCondition>;

class TPreprocessedPascalTokenizer : public TPascalTokenizer {
public:
  TPreprocessedPascalTokenizer();

  // Tokens of the compiled branches only (with EvaluateConditions set). The common case, a
  // token that is neither a directive nor the end of a text read while every conditional is
  // active, is taken inline (final, so a caller holding this class calls no function for it
  // but the reading).
  TTokenKind NextToken() final {
    if (FEvaluateConditions && Active()) {
      const TTokenKind k =
          ReadPascalToken(EffectiveSkipKinds() - TTokenKinds{TTokenKind::tkDirective}, false);
      if (k != TTokenKind::tkNone && k != TTokenKind::tkDirective)
        return k;
      return ReadOn(true, k);
    }
    return ReadOn(false, TTokenKind::tkNone);
  }

  TCompilerContext &CompilerContext() { return FContext; }
  const TCompilerContext &CompilerContext() const { return FContext; }
  bool EvaluateConditions() const { return FEvaluateConditions; }
  void SetEvaluateConditions(bool on) { FEvaluateConditions = on; }
  // True when every open conditional is active.
  bool Active() const { return FInactiveCount == 0; }
  const TConditionStack &Conditions() const { return FConditions; }
  std::size_t IncludeDepth() const { return FIncludeStack.size(); }

  // A new main text starts a new unit: no include file or conditional is open, its include
  // work is counted afresh, and the texts of its include files, kept while it was read, are
  // let go. Clear closes what a stopped read left open and keeps those texts.
  void Clear();
  void SetText(StringView text);
  void SetBorrowedText(StringView text);
  void SetLines(const std::vector<String> &lines);

  // True when `fileName` is the main text's file or an include file being read. A reader of
  // include files asks this after finding a file and before reading it, so that an include
  // cycle costs no read.
  bool IsOpenFile(StringView fileName) const;

  // Include files nested deeper than this are refused like unreadable ones.
  static constexpr std::size_t MaxIncludeDepth = 32;
  // The include work of one unit is bounded, since files that include each other
  // repeatedly (each including the next one twice) grow exponentially with the depth, and a
  // large file included many times makes text without end. Past either bound no further file
  // is included, and the first refusal is reported. Real units stay far below both: the
  // largest include trees of the Free Pascal run-time library read a few hundred files and a
  // few megabytes.
  static constexpr std::size_t MaxIncludeExpansions = 10000;
  // Code units of include text read (counted also for files then refused as a cycle).
  static constexpr std::size_t MaxIncludedText = std::size_t{32} << 20;

  std::function<void(const String &message)> OnError;
  std::function<void(const String &fileName)> OnIncludeStarted;
  std::function<void(const String &fileName)> OnIncludeFinished;
  // May rewrite the name (to the full path of the file found). The text is given split into
  // lines (SplitTokenizerText), so that a reader may hand out a text it read before.
  std::function<bool(String &fileName, TTokenizerTextPtr &source)> OnReadIncludeFile;

private:
  enum class TDirectiveWord : Byte;
  // The directive that a word names, in any letter case.
  static TDirectiveWord DirectiveWordOf(StringView word);

  void CloseOpenReads();
  void StartMainText();
  // NextToken's general case; `read` tells that `k` was just read while every conditional
  // was active.
  TTokenKind ReadOn(bool read, TTokenKind k);
  void SkipInactiveText();
  bool ProcessDirective();
  // A switch from the first two characters of its part ("R+", "A8", "YD").
  bool ParseSwitch(Char first, Char second, bool apply);
  bool NamedDirective(StringView body);
  // The general reading of a named directive: the upper-cased body through a tokenizer.
  bool NamedDirectiveByTokens(StringView body);
  // Acts on a named directive. `name` is the identifier after the word (null when there is
  // none), `rest` the body behind the word, `bt` reads on behind the word in the upper-cased
  // body (given for ELSEIF, IFOPT and IF).
  bool ApplyDirective(TDirectiveWord word, const String *name, StringView rest,
                      TPascalTokenizer *bt);
  void ApplyLongSwitch(TPascalTokenizer &bt, const String &word);
  bool IncludeFile(StringView rest);
  void EndIncludeFile();
  void Push(bool value, TConditionKind kind);
  bool IncludeBudgetLeft(const String &name, std::size_t moreText);
  void SetTopActive(bool active);
  void Close(bool endif);
  void Report(StringView text);
  bool EvaluateRest(TPascalTokenizer &bt);
  bool EvaluateLeaf(const String &leaf);

  TConditionStack FConditions;
  TCompilerContext FContext;
  std::size_t FInactiveCount = 0;
  std::vector<TTokenizerState> FIncludeStack;
  // The texts of the include files ended since the main text was set.
  std::vector<TTokenizerTextPtr> FEndedTexts;
  // A text in which SkipInactiveText found no directive ahead: not searched again.
  const TTokenizerText *FNoDirectiveAhead = nullptr;
  std::size_t FIncludeExpansions = 0;
  std::size_t FIncludedText = 0;
  bool FIncludeBudgetSpent = false;
  bool FEvaluateConditions = false;
  // The name after a directive word, kept to save an allocation per directive.
  String FName;
};

// Runs a conditionally evaluating tokenizer over one text.
class TPascalPreprocessor {
public:
  TPascalPreprocessor();

  TCompilerContext &CompilerContext() { return FTokenizer.CompilerContext(); }
  TPreprocessedPascalTokenizer &Tokenizer() { return FTokenizer; }
  void SetText(StringView text) { FTokenizer.SetText(text); }
  TTokenKind NextToken() { return FTokenizer.NextToken(); }

private:
  TPreprocessedPascalTokenizer FTokenizer;
};

} // namespace krx
