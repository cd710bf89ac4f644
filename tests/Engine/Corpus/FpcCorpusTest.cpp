// The tokenizer and the preprocessor over the Free Pascal sources (Debian package
// fpc-source-3.2.2). The files are split into shards so that ctest runs them in parallel.
#include "Engine/KRX.PascalPreprocessors.h"
#include "Engine/SourceFileNames.h"
#include "Platform/Rtl/Files.h"
#include "World/ClassEx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace krx {
namespace {

namespace fs = std::filesystem;

constexpr const char *kFpcRoot = "/usr/share/fpcsrc/3.2.2";
constexpr int kShards = 12;

bool HasExt(const fs::path &p, std::initializer_list<const char *> exts) {
  String ext = LowerCase(Utf8ToString(p.extension().string()));
  return std::any_of(exts.begin(), exts.end(),
                     [&](const char *e) { return ext == Utf8ToString(e); });
}

// The source files of one shard, in a stable order.
std::vector<fs::path> ShardFiles(int shard, std::initializer_list<const char *> exts) {
  std::vector<fs::path> all;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(kFpcRoot, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file() && HasExt(it->path(), exts))
      all.push_back(it->path());
  std::sort(all.begin(), all.end());
  std::vector<fs::path> mine;
  for (std::size_t i = static_cast<std::size_t>(shard); i < all.size(); i += kShards)
    mine.push_back(all[i]);
  return mine;
}

bool ReadSource(const fs::path &p, String &text) {
  std::ifstream in(p, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  TTextEncoding enc;
  return DecodeTextBytes(reinterpret_cast<const Byte *>(bytes.data()), bytes.size(), text, enc);
}

// The lines as an independent reader sees them.
std::vector<StringView> SplitLines(StringView text) {
  std::vector<StringView> lines;
  std::size_t start = 0, i = 0;
  while (i < text.size()) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      lines.push_back(text.substr(start, i - start));
      i += (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size())
    lines.push_back(text.substr(start));
  return lines;
}

// Units that no Delphi-compatible preprocessor can balance, each for a reason of its own
// source: comments nested inside comments (Free Pascal nests them, Delphi does not), Free
// Pascal macros whose body holds directives, MacPas conditionals ({$ifc} ... {$endif}), and
// one unit that leaves an $ifdef open.
const char *const kNotDelphiConditionals[] = {
    "packages/graph/src/win32/graph.pp",             // nested comment
    "packages/numlib/src/numlib.pas",                // nested comment
    "packages/rtl-objpas/tests/tests.rtti.impl.pas", // nested comment
    "rtl/java/system.pp",                            // nested comment (jsystem.inc)
    "rtl/unix/baseunix.pp",                          // nested comment (bunxovl.inc)
    "packages/rtl-objpas/src/inc/fmtbcd.pp",         // macros
    "packages/univint/src/AUComponent.pas",          // $ifc
    "packages/univint/src/CGFunction.pas",           // $ifc
    "packages/univint/src/CGPDFContext.pas",         // $ifc
    "packages/univint/src/CodeFragments.pas",        // $ifc
    "packages/univint/src/MIDISetup.pas",            // $ifc
    "packages/univint/src/MacOSAll.pas",             // $ifc
    "packages/univint/src/QLGenerator.pas",          // $ifc
    "rtl/inc/lstrings.pp",                           // $ifdef never closed
};

bool NotDelphiConditionals(const fs::path &file) {
  std::string rel = file.lexically_relative(kFpcRoot).generic_string();
  return std::any_of(std::begin(kNotDelphiConditionals), std::end(kNotDelphiConditionals),
                     [&](const char *f) { return rel == f; });
}

class FpcTokenizer : public ::testing::TestWithParam<int> {};
class FpcPreprocessor : public ::testing::TestWithParam<int> {};

TEST_P(FpcTokenizer, IdentifiersSitWhereTheyAreReported) {
  ASSERT_TRUE(fs::is_directory(kFpcRoot)) << kFpcRoot << " missing: run scripts/setup";
  auto files = ShardFiles(GetParam(), {".pas", ".pp", ".inc"});
  ASSERT_FALSE(files.empty());
  std::size_t identifiers = 0, tokenErrors = 0;
  for (const fs::path &file : files) {
    String text;
    if (!ReadSource(file, text))
      continue; // a byte-order mark of an encoding that is refused
    std::vector<StringView> lines = SplitLines(text);
    TPascalTokenizer t(text);
    t.SetNumbersAsNumbers(true);
    std::size_t mismatches = 0;
    for (;;) {
      TTokenKind k;
      try {
        k = t.NextToken();
      } catch (const ETokenError &) {
        ++tokenErrors;
        continue;
      } catch (const std::exception &e) {
        FAIL() << file << ": " << e.what();
      }
      if (k == TTokenKind::tkNone)
        break;
      if (k != TTokenKind::tkIdent)
        continue;
      ++identifiers;
      Integer line = t.LineNr(), col = t.TokenStartCol();
      bool ok =
          line >= 1 && static_cast<std::size_t>(line) <= lines.size() && col >= 1 &&
          lines[line - 1].substr(static_cast<std::size_t>(col - 1), t.Token().size()) == t.Token();
      if (!ok && ++mismatches <= 3)
        ADD_FAILURE() << file << ":" << line << ":" << col << " identifier \""
                      << StringToUtf8(t.Token()) << "\" is not there";
    }
  }
  EXPECT_GT(identifiers, 0u);
  RecordProperty("identifiers", static_cast<int>(identifiers));
  RecordProperty("token_errors", static_cast<int>(tokenErrors));
}

struct TUnitRun {
  std::vector<String> Errors;
  std::vector<String> Unresolved; // include names whose file exists but was not included
  std::size_t Included = 0;
  std::size_t Tokens = 0;
  bool Balanced = true;
};

// Include names are looked up beside the including file, then beside the unit.
TUnitRun PreprocessUnit(const fs::path &file, const String &text) {
  TUnitRun run;
  TPascalPreprocessor pp;
  auto &t = pp.Tokenizer();
  const String unitDir = Utf8ToString(file.parent_path().string());
  auto resolve = [&](const String &name) {
    String dir = t.FileName().empty() ? unitDir : ExtractFileDir(t.FileName());
    String found = ResolveSourceFileName(name, dir);
    return found.empty() ? ResolveSourceFileName(name, unitDir) : found;
  };
  t.SetTolerateErrors(true);
  t.OnError = [&](const String &m) { run.Errors.push_back(m); };
  t.OnIncludeStarted = [&](const String &) { ++run.Included; };
  t.OnReadIncludeFile = [&](String &name, TTokenizerTextPtr &source) {
    String found = resolve(name);
    String text;
    if (found.empty() || !ReadSource(fs::path(FileNameToOS(found)), text))
      return false;
    source = SplitTokenizerText(std::move(text));
    name = found;
    return true;
  };
  pp.SetText(text);
  for (TTokenKind k; (k = t.NextToken()) != TTokenKind::tkNone;) {
    ++run.Tokens;
    if (k != TTokenKind::tkDirective)
      continue;
    // An include directive that comes back was not followed: its file must be missing,
    // empty, or already on the way (a cycle).
    String body = UpperCase(t.Token());
    for (const Char *word : {u"{$I ", u"{$INCLUDE ", u"(*$I ", u"(*$INCLUDE "}) {
      if (!StartsStr(word, body))
        continue;
      String rest = Trim(t.Token().substr(Length(word), t.Token().size() - Length(word) -
                                                            (word[0] == u'{' ? 1 : 2)));
      String found = resolve(AnsiDequotedStr(rest, u'\''));
      String source;
      if (!found.empty() && found != t.FileName() && ReadSource(FileNameToOS(found), source) &&
          !source.empty() && t.IncludeDepth() < TPreprocessedPascalTokenizer::MaxIncludeDepth)
        run.Unresolved.push_back(rest);
    }
  }
  run.Balanced = t.Conditions().empty();
  return run;
}

TEST_P(FpcPreprocessor, UnitsEndBalancedWithTheirIncludes) {
  ASSERT_TRUE(fs::is_directory(kFpcRoot)) << kFpcRoot << " missing: run scripts/setup";
  auto files = ShardFiles(GetParam(), {".pas", ".pp"});
  ASSERT_FALSE(files.empty());
  std::size_t included = 0, tokens = 0, excluded = 0;
  for (const fs::path &file : files) {
    String text;
    if (!ReadSource(file, text))
      continue;
    TUnitRun run;
    try {
      run = PreprocessUnit(file, text);
    } catch (const std::exception &e) {
      ADD_FAILURE() << file << ": " << e.what();
      continue;
    }
    included += run.Included;
    tokens += run.Tokens;
    bool unmatched = std::any_of(run.Errors.begin(), run.Errors.end(),
                                 [](const String &e) { return StartsStr(u"Unmatched", e); });
    if (NotDelphiConditionals(file)) {
      ++excluded;
      EXPECT_TRUE(unmatched || !run.Balanced) << file << " balances: take it off the list";
      continue;
    }
    EXPECT_TRUE(run.Balanced) << file;
    for (const String &e : run.Errors)
      if (StartsStr(u"Unmatched", e))
        ADD_FAILURE() << file << ": " << StringToUtf8(e);
    for (const String &u : run.Unresolved)
      ADD_FAILURE() << file << ": include not followed: " << StringToUtf8(u);
  }
  EXPECT_GT(tokens, 0u);
  EXPECT_GT(included, 0u);
  RecordProperty("includes", static_cast<int>(included));
  RecordProperty("excluded", static_cast<int>(excluded));
}

INSTANTIATE_TEST_SUITE_P(Shards, FpcTokenizer, ::testing::Range(0, kShards));
INSTANTIATE_TEST_SUITE_P(Shards, FpcPreprocessor, ::testing::Range(0, kShards));

} // namespace
} // namespace krx
