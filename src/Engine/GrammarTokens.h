// How the Pascal grammar gets its tokens in this revision: the tokenizer type it reads with
// (one that applies conditional compilation and follows include files), the include-file half
// of its tokenizer context, and the tokenizer and helper that a parse owns. The grammar itself
// (CustomPascalExplorers, DelphiExplorers) is one source for every revision; a revision
// without a preprocessor has its own version of this header.
#pragma once

#include "Engine/ModuleExplorers.h"
#include "Engine/PascalTokenizerHelpers.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace krx {

using TGrammarTokenizer = TPreprocessedPascalTokenizer;

// How many include files the tokenizer is inside.
inline std::size_t IncludeDepth(const TGrammarTokenizer &t) { return t.IncludeDepth(); }

// Folders in which include files are searched when they are found neither as written nor
// beside the module; none by default. Process-wide, read at every include directive.
void SetIncludeSearchFolders(std::vector<String> folders);
std::vector<String> IncludeSearchFolders();

// A tokenizer context whose include-file operations go to hooks of its own. Include files
// are followed only when FollowsIncludeFiles says so; a relative name is looked up beside
// IncludingFileName, then in the search folders, never in the working directory.
//
// Within one parse (from one TGrammarTokens::SetSource to the next) a name is looked up once:
// a unit includes the same few files again and again, and the parse takes the file system
// as it was when it first looked.
class TGrammarTokenizerContext : public ITokenizerContext {
public:
  void IncludeFileStarted(const String &fileName) override { BeginIncludeFile(fileName); }
  void IncludeFileFinished(const String &) override { EndIncludeFile(); }
  bool ReadIncludeFile(String &fileName, TTokenizerTextPtr &source) override;

protected:
  virtual bool FollowsIncludeFiles() const { return false; }
  virtual String IncludingFileName() { return {}; }
  virtual void IncludeFileNotFound(const String &) {}
  virtual void BeginIncludeFile(const String &) {}
  virtual void EndIncludeFile() {}

private:
  friend class TGrammarTokens;
  String FindIncludeFile(const String &fileName);

  // Names as written -> the file found, empty when none; for the current parse.
  std::unordered_map<String, String> FFoundIncludes;
};

// The tokenizer and helper of one grammar object; the context is referenced, not owned.
class TGrammarTokens {
public:
  explicit TGrammarTokens(TGrammarTokenizerContext *context)
      : FContext(context), FHelper(IPtr<ITokenizerContext>(context)) {}

  TGrammarTokenizer &Tokenizer() { return FHelper.GetTokenizer(); }
  TPascalTokenizerHelper &Helper() { return FHelper; }
  void SetEvaluateConditions(bool on) { FHelper.SetEvaluateConditions(on); }
  // The text to parse (a text, lines, or nothing) and the file it came from.
  void SetSource(const TExploreSource &source, const String &fileName);

private:
  TGrammarTokenizerContext *FContext;
  TPascalTokenizerHelper FHelper;
};

} // namespace krx
