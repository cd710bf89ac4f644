// krx-tokenize FILE [--preprocess] [-D SYMBOL]... [-I DIR]...
// Prints one line per token, "LINE:COL KIND TEXT", the text escaped on one line. With
// --preprocess only the compiled text is shown, include files followed (beside the including
// file, beside FILE, then in each DIR). Exits 1 with the message and its position on a token
// or preprocessor error and when FILE cannot be read (as krx-explore and krx-jump do), 2 on a
// usage error (an argument that is not valid UTF-8 among them). Only regular files up to
// tool::MaxSourceFileSize (64 MB) are read, FILE as well as include files.
#include "../common/Arguments.h"
#include "../common/SourceFile.h"

#include "Engine/KRX.PascalPreprocessors.h"
#include "Engine/SourceFileNames.h"
#include "Platform/Rtl/Files.h"
#include "Units.h"
#include "World/ClassEx.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace krx;

namespace {

// Backslash, control characters and lone surrogates escaped; the rest as UTF-8.
std::string Escape(StringView s) {
  String out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    Char c = s[i];
    bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      out += c;
      out += s[++i];
    } else if (c == u'\\') {
      out += u"\\\\";
    } else if (c == u'\r') {
      out += u"\\r";
    } else if (c == u'\n') {
      out += u"\\n";
    } else if (c == u'\t') {
      out += u"\\t";
    } else if (c < 0x20 || c == 0x7F || high || low) {
      out += Format(u"\\u%.4x", {static_cast<unsigned>(c)});
    } else {
      out += c;
    }
  }
  return StringToUtf8(out);
}

int Usage() {
  std::cerr << "usage: krx-tokenize FILE [--preprocess] [-D SYMBOL]... [-I DIR]...\n";
  return 2;
}

// The system's units run for the life of the tokenizer, also when it leaves by an exception.
struct TUnitsGuard {
  TUnitsGuard() { InitializeUnits(AllUnits()); }
  ~TUnitsGuard() { FinalizeUnits(); }
  TUnitsGuard(const TUnitsGuard &) = delete;
  TUnitsGuard &operator=(const TUnitsGuard &) = delete;
};

std::string PosText(TSourcePos pos) {
  return std::to_string(pos.Line) + ":" + std::to_string(pos.Column);
}

int Run(const String &file, bool preprocess, const std::vector<String> &defines,
        const std::vector<String> &dirs);

} // namespace

int main(int argc, char **argv) {
  String file;
  bool preprocess = false;
  std::vector<String> defines, dirs;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    String text;
    if (a == "--preprocess")
      preprocess = true;
    else if ((a == "-D" || a == "-I") && i + 1 < argc) {
      if (!tool::TakeArgument("krx-tokenize", argv[++i], text))
        return 2;
      (a == "-D" ? defines : dirs).push_back(text);
    } else if (a.size() > 2 && (a.rfind("-D", 0) == 0 || a.rfind("-I", 0) == 0)) {
      if (!tool::TakeArgument("krx-tokenize", argv[i], text))
        return 2;
      (a[1] == 'D' ? defines : dirs).push_back(text.substr(2));
    } else if (!a.empty() && a[0] != '-' && file.empty()) {
      if (!tool::TakeArgument("krx-tokenize", a, file))
        return 2;
    } else
      return Usage();
  }
  if (file.empty())
    return Usage();
  try {
    return Run(file, preprocess, defines, dirs);
  } catch (const std::exception &e) {
    std::cerr << StringToUtf8(file) << ": " << e.what() << "\n";
    return 2;
  }
}

namespace {

int Run(const String &file, bool preprocess, const std::vector<String> &defines,
        const std::vector<String> &dirs) {
  String text;
  std::string error;
  if (!tool::ReadSourceFile(file, text, error)) {
    tool::SayCannotRead("krx-tokenize", file, error);
    return 1;
  }

  TUnitsGuard units;
  TPreprocessedPascalTokenizer t;
  t.SetNumbersAsNumbers(true);
  t.SetCommentTextMode(TCommentTextMode::Whole);
  t.SetRecordComments(true);
  const String fileDir = ExtractFileDir(ExpandFileName(file));
  // The main file's own name, in the form the include reader gives, so that a file that
  // includes itself is refused at once.
  const String mainName = ResolveSourceFileName(ExtractFileName(file), fileDir);
  t.SetFileName(mainName.empty() ? ExpandFileName(file) : mainName);
  if (preprocess) {
    t.SetEvaluateConditions(true);
    for (const String &d : defines)
      t.CompilerContext().SetDefine(d, true);
    t.OnReadIncludeFile = [&](String &name, TTokenizerTextPtr &source) {
      std::vector<String> where;
      where.push_back(t.FileName().empty() ? fileDir : ExtractFileDir(t.FileName()));
      where.push_back(fileDir);
      where.insert(where.end(), dirs.begin(), dirs.end());
      for (const String &dir : where) {
        String found = ResolveSourceFileName(name, dir);
        if (found.empty())
          continue;
        if (t.IsOpenFile(found))
          return false;
        std::string ignored;
        String included;
        if (tool::ReadSourceFile(found, included, ignored)) {
          source = SplitTokenizerText(std::move(included));
          name = found;
          return true;
        }
      }
      return false;
    };
  }
  t.SetText(text);

  std::string out;
  int rc = 0;
  try {
    while (t.NextToken() != TTokenKind::tkNone) {
      out += PosText(t.TokenPos()) + " " + StringToUtf8(TokenKindName(t.TokenKind())) + " " +
             Escape(t.Token()) + "\n";
      if (out.size() > (1 << 16)) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
      }
    }
  } catch (const Exception &e) {
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
    std::fflush(stdout);
    TSourcePos pos = t.TokenPos();
    if (auto *te = dynamic_cast<const ETokenError *>(&e))
      pos = te->Pos;
    else if (auto *ce = dynamic_cast<const ECompilationConditionError *>(&e))
      pos = ce->Pos;
    std::cerr << StringToUtf8(t.FileName()) << ":" << PosText(pos) << ": "
              << StringToUtf8(e.ClassName()) << ": " << e.what() << "\n";
    rc = 1;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return rc;
}

} // namespace
