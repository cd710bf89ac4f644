// How the Pascal grammar gets its tokens in this revision: it reads with a plain Pascal
// tokenizer, so directives reach it as tokens that it passes over (both branches of a
// conditional are read, no include file is followed); the tokenizer and the helper over it
// are owned here. The grammar itself (CustomPascalExplorers, DelphiExplorers) is one source
// for every revision.
#pragma once

#include "Engine/ModuleExplorers.h"
#include "Engine/PascalTokenizerHelpers.h"

#include <memory>

namespace krx {

using TGrammarTokenizer = TPascalTokenizer;

// No include files: the tokenizer is never inside one.
inline std::size_t IncludeDepth(const TGrammarTokenizer &) { return 0; }

// A tokenizer context. The include-file hooks of the grammar are declared so that the one
// grammar source compiles here; this revision never calls them.
class TGrammarTokenizerContext : public ITokenizerContext {
protected:
  virtual bool FollowsIncludeFiles() const { return false; }
  virtual String IncludingFileName() { return {}; }
  virtual void IncludeFileNotFound(const String &) {}
  virtual void BeginIncludeFile(const String &) {}
  virtual void EndIncludeFile() {}
};

// The tokenizer of one grammar object and the helper over it, made for the generic-names
// switch as it stands when the object is made; the context is referenced, not owned.
class TGrammarTokens {
public:
  explicit TGrammarTokens(ITokenizerContext *context)
      : FHelper(CreateTokenizerHelper(FTokenizer, IPtr<ITokenizerContext>(context))) {}

  TGrammarTokenizer &Tokenizer() { return FTokenizer; }
  TPascalTokenizerHelper &Helper() { return *FHelper; }
  // There is no conditional compilation to switch.
  void SetEvaluateConditions(bool) {}
  // The text to parse (a text, lines, or nothing); the file name is not needed.
  void SetSource(const TExploreSource &source, const String &fileName);

private:
  TPascalTokenizer FTokenizer;
  std::unique_ptr<TPascalTokenizerHelper> FHelper;
};

} // namespace krx
