// The tokenizer helper over the generic declarations of the Free Pascal sources (Debian
// package fpc-source-3.2.2): generic type declarations of both modes ("generic TFoo<T> =" and
// "TFoo<T> ="), generic routines and their implementations, specializations and their
// parameter lists, read through the helper as the grammar reads them. Sharded for ctest.
#include "Engine/PascalTokenizerHelpers.h"
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

std::vector<fs::path> ShardFiles(int shard) {
  std::vector<fs::path> all;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(kFpcRoot, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file())
      continue;
    String ext = LowerCase(Utf8ToString(it->path().extension().string()));
    if (ext == u".pas" || ext == u".pp" || ext == u".inc")
      all.push_back(it->path());
  }
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

bool IsIdentChar(Char c) {
  return c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') ||
         (c >= u'A' && c <= u'Z');
}

// The rest of the current line after the current token, blanks skipped: a look at the next
// token that does not move the tokenizer (which would replay directives when stepped back).
StringView RestOfLine(const TKRBaseTokenizer &t) {
  StringView line = t.Line();
  std::size_t pos = static_cast<std::size_t>(t.LinePos() - 1);
  while (pos < line.size() && line[pos] <= u' ')
    ++pos;
  return pos < line.size() ? line.substr(pos) : StringView();
}

String NextWord(const TKRBaseTokenizer &t) {
  StringView rest = RestOfLine(t);
  std::size_t n = 0;
  while (n < rest.size() && IsIdentChar(rest[n]))
    ++n;
  return LowerCase(rest.substr(0, n));
}

// "<" that is neither "<=" nor "<>".
bool IsAngleAt(StringView rest, std::size_t i) {
  return i + 1 < rest.size() && rest[i] == u'<' && rest[i + 1] != u'=' && rest[i + 1] != u'>';
}

bool NextIsAngle(const TKRBaseTokenizer &t) { return IsAngleAt(RestOfLine(t), 0); }

// A dotted name followed by "<" comes next.
bool NextIsGenericName(const TKRBaseTokenizer &t) {
  StringView rest = RestOfLine(t);
  std::size_t i = 0;
  while (i < rest.size() && (IsIdentChar(rest[i]) || rest[i] == u'.' || rest[i] == u'&'))
    ++i;
  while (i > 0 && i < rest.size() && rest[i] == u' ')
    ++i;
  return i > 0 && IsAngleAt(rest, i);
}

bool HasGenericPart(const TGenericIdentPath &path) {
  return std::any_of(path.begin(), path.end(),
                     [](const TGenericIdentifer &p) { return p.GenericCount > 0; });
}

bool IsRoutineWord(const String &w) {
  return w == u"function" || w == u"procedure" || w == u"constructor" || w == u"destructor";
}

struct TCounts {
  std::size_t Declarations = 0; // generic type declarations, both modes
  std::size_t Routines = 0;     // routine headings with generic parts
  std::size_t Specializations = 0;
  std::size_t TypeNames = 0; // "x: TFoo<...>"
  std::size_t Calls = 0;     // Delphi mode: "Foo<T>(x)" as a statement
  std::size_t ParamLists = 0;
  std::size_t Failures = 0;
};

class FpcGenericNames : public ::testing::TestWithParam<int> {
protected:
  TTokenizerSwitchesGuard Guard;

  void ReadFile(const fs::path &file, const String &text, TCounts &counts);
};

void FpcGenericNames::ReadFile(const fs::path &file, const String &text, TCounts &counts) {
  TPascalTokenizerHelper helper;
  TPreprocessedPascalTokenizer &t = helper.GetTokenizer();
  ITokenizerContext &c = helper.Context();
  t.SetSkipKinds(TTokenKinds{TTokenKind::tkComment, TTokenKind::tkDirective});
  t.SetTolerateErrors(true);
  helper.SetEvaluateConditions(true);
  t.SetText(text);

  auto fail = [&](const char *what, Integer line, const String &detail) {
    if (++counts.Failures <= 10)
      ADD_FAILURE() << file.lexically_relative(kFpcRoot).generic_string() << ":" << line << ": "
                    << what << " " << StringToUtf8(detail);
  };
  // A reading that aborts is a failure; the walk goes on after it.
  auto attempt = [&](const char *what, auto &&read) {
    const Integer line = t.LineNr();
    const String lineText(t.Line());
    try {
      if (!read())
        fail(what, line, u"wrong result at \"" + t.Token() + u"\" in: " + Trim(lineText));
    } catch (const EAbort &) {
      fail(what, line, u"aborted at \"" + t.Token() + u"\" in: " + Trim(lineText));
    }
  };
  auto routineParams = [&] {
    if (!t.IsSymbol(u"("))
      return true;
    helper.ReadBracketed(u'(', u')', false);
    ++counts.ParamLists;
    return t.IsSymbol(u")");
  };

  // A reading leaves the token after what it read current; that token is looked at next.
  String prev; // the token before the current one, lower case; empty after a reading
  for (TTokenKind kind = c.NextToken(); kind != TTokenKind::tkNone;) {
    const String word = kind == TTokenKind::tkIdent ? LowerCase(t.Token()) : String();
    const bool member = prev == u"."; // "x.generic" is a name, not a word
    bool read = true;
    if (kind == TTokenKind::tkIdent && !member && word == u"generic" && NextIsGenericName(t)) {
      // generic TFoo<T: class> = class ...
      attempt("generic declaration", [&] {
        TGenericIdentPath path;
        helper.ReadGenericIdentPath(path, false, false);
        ++counts.Declarations;
        return HasGenericPart(path) && t.IsSymbol(u"=");
      });
    } else if (kind == TTokenKind::tkIdent && !member && IsRoutineWord(word)) {
      // [generic] [class] function TFoo<T>.Bar<U>(...) or any other heading.
      attempt("routine heading", [&] {
        TGenericIdentPath path;
        helper.ReadGenericIdentPath(path, false, true);
        if (HasGenericPart(path))
          ++counts.Routines;
        return routineParams();
      });
    } else if (kind == TTokenKind::tkIdent && !member && word == u"specialize") {
      attempt("specialization", [&] {
        TGenericIdentPath path;
        helper.ReadGenericIdentPath(path, true, false);
        ++counts.Specializations;
        return HasGenericPart(path);
      });
    } else if (kind == TTokenKind::tkIdent && (prev == u";" || prev == u"type") &&
               word != u"operator" && NextIsAngle(t)) {
      // Delphi mode: TFoo<T> = class ...
      attempt("declaration", [&] {
        c.NextToken();
        TGenericParamList params;
        const Integer n = helper.ReadGenericParamList(&params);
        if (n < 1 || n != params.Count() || !t.IsSymbol(u">"))
          return false;
        // What the list writes reads back to the same list.
        TGenericParamList again;
        again.ParseText(params.GetAsText());
        if (again.GetAsText() != params.GetAsText())
          return false;
        // Else a generic routine called or a type cast in a statement.
        c.NextToken();
        if (t.IsSymbol(u"="))
          ++counts.Declarations;
        else
          ++counts.Calls;
        return true;
      });
    } else if (t.IsSymbol(u":") && IsIdentChar(NextWord(t).empty() ? u' ' : NextWord(t)[0]) &&
               !IsRoutineWord(NextWord(t))) {
      // x: TDictionary<string, TList<Integer>>; read as a type name when it is generic.
      StringView rest = RestOfLine(t);
      const std::size_t n = NextWord(t).size();
      read = n + 1 < rest.size() && rest[n] == u'<' && rest[n + 1] != u'=' && rest[n + 1] != u'>';
      if (read)
        attempt("type name", [&] {
          const String name = helper.ReadTypeIdent();
          ++counts.TypeNames;
          return Pos(u"<", name) > 0;
        });
    } else {
      read = false;
    }
    if (read) {
      prev.clear();
      kind = t.TokenKind();
    } else {
      prev = LowerCase(t.Token());
      kind = c.NextToken();
    }
  }
}

TEST_P(FpcGenericNames, DeclarationsAndSpecializationsReadWithoutError) {
  ASSERT_TRUE(fs::is_directory(kFpcRoot)) << kFpcRoot << " missing: run scripts/setup";
  SetGenericNamesEnabled(true);
  SetEscapedIdentifiersEnabled(true); // "TCompare.&String"
  auto files = ShardFiles(GetParam());
  ASSERT_FALSE(files.empty());
  TCounts counts;
  for (const fs::path &file : files) {
    String text;
    if (!ReadSource(file, text))
      continue;
    try {
      ReadFile(file, text, counts);
    } catch (const std::exception &e) {
      ADD_FAILURE() << file << ": " << e.what();
    }
  }
  EXPECT_EQ(counts.Failures, 0u);
  EXPECT_GT(counts.ParamLists, 0u);
  RecordProperty("declarations", static_cast<int>(counts.Declarations));
  RecordProperty("routines", static_cast<int>(counts.Routines));
  RecordProperty("specializations", static_cast<int>(counts.Specializations));
  RecordProperty("type_names", static_cast<int>(counts.TypeNames));
  std::printf("shard %d: %zu declarations, %zu generic routines, %zu specializations, %zu type "
              "names, %zu generic calls, %zu parameter lists\n",
              GetParam(), counts.Declarations, counts.Routines, counts.Specializations,
              counts.TypeNames, counts.Calls, counts.ParamLists);
}

INSTANTIATE_TEST_SUITE_P(Shards, FpcGenericNames, ::testing::Range(0, kShards));

} // namespace
} // namespace krx
