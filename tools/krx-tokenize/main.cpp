// krx-tokenize FILE [--preprocess] [-D SYMBOL]... [-I DIR]...
// Prints one line per token, "LINE:COL KIND TEXT", the text escaped on one line. With
// --preprocess only the compiled text is shown, include files followed (beside the including
// file, beside FILE, then in each DIR). Exits 1 with the message and its position on a token
// or preprocessor error, 2 on a usage or file error.
#include "Engine/KRX.PascalPreprocessors.h"
#include "Engine/SourceFileNames.h"
#include "Platform/Rtl/Files.h"
#include "Units.h"
#include "World/ClassEx.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

using namespace krx;

namespace {

bool ReadSource(const String &fileName, String &text) {
  std::ifstream in(FileNameToOS(fileName), std::ios::binary);
  if (!in)
    return false;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  TTextEncoding enc;
  return DecodeTextBytes(reinterpret_cast<const Byte *>(bytes.data()), bytes.size(), text, enc);
}

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

// Comments and directives may span lines: their start is the recorded comment position.
void StartOf(const TKRBaseTokenizer &t, Integer &line, Integer &col) {
  TTokenKind k = t.TokenKind();
  bool comment =
      k == TTokenKind::tkComment || k == TTokenKind::tkDirective ||
      (k == TTokenKind::tkError && (StartsStr(u"{", t.Token()) || StartsStr(u"(*", t.Token())));
  if (comment) {
    line = t.LastComment().Line;
    col = t.LastComment().Column;
  } else {
    line = t.LineNr();
    col = t.TokenStartCol();
  }
}

} // namespace

int main(int argc, char **argv) {
  String file;
  bool preprocess = false;
  std::vector<String> defines, dirs;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--preprocess")
      preprocess = true;
    else if ((a == "-D" || a == "-I") && i + 1 < argc)
      (a == "-D" ? defines : dirs).push_back(Utf8ToString(argv[++i]));
    else if (a.size() > 2 && (a.rfind("-D", 0) == 0 || a.rfind("-I", 0) == 0))
      (a[1] == 'D' ? defines : dirs).push_back(Utf8ToString(a.substr(2)));
    else if (!a.empty() && a[0] != '-' && file.empty())
      file = Utf8ToString(a);
    else
      return Usage();
  }
  if (file.empty())
    return Usage();
  String text;
  if (!ReadSource(file, text)) {
    std::cerr << StringToUtf8(file) << ": cannot read the file\n";
    return 2;
  }

  InitializeUnits(AllUnits());
  TPreprocessedPascalTokenizer t;
  t.SetNumbersAsNumbers(true);
  t.SetCommentTextMode(1);
  t.SetRecordComments(true);
  const String fileDir = ExtractFileDir(ExpandFileName(file));
  if (preprocess) {
    t.SetEvaluateConditions(true);
    for (const String &d : defines)
      t.CompilerContext().SetDefine(d, true);
    t.OnReadIncludeFile = [&](String &name, String &source) {
      std::vector<String> where;
      where.push_back(t.FileName().empty() ? fileDir : ExtractFileDir(t.FileName()));
      where.push_back(fileDir);
      where.insert(where.end(), dirs.begin(), dirs.end());
      for (const String &dir : where) {
        String found = ResolveSourceFileName(name, dir);
        if (!found.empty() && ReadSource(found, source)) {
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
      Integer line, col;
      StartOf(t, line, col);
      out += std::to_string(line) + ":" + std::to_string(col) + " " +
             StringToUtf8(TokenKindName(t.TokenKind())) + " " + Escape(t.Token()) + "\n";
      if (out.size() > (1 << 16)) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
      }
    }
  } catch (const Exception &e) {
    Integer line, col;
    StartOf(t, line, col);
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
    std::fflush(stdout);
    String where = t.FileName().empty() ? file : t.FileName();
    std::cerr << StringToUtf8(where) << ":" << line << ":" << col << ": "
              << StringToUtf8(e.ClassName()) << ": " << e.what() << "\n";
    rc = 1;
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  FinalizeUnits();
  return rc;
}
