// krx-explore FILE [--header-only] [--no-conditions] [--json] [-D SYMBOL]... [-I DIR]...
// krx-explore --stats FILE... | --files-from LIST
//
// Parses a Pascal file with the Delphi explorer and prints the code model as an indented
// tree, one item a line: kind, qualified name, 1-based line:column of the declaration, its end
// line, visibility, method kind and parameters of routines, the line of the linked
// implementation and "BadFormat" when set; then the messages. --json prints one JSON object a
// line instead, with the model's own 0-based lines and 1-based columns.
//
// --stats parses every file as the jump finder does (whole text, a new explorer each; reading
// and decoding the files is not timed) and prints one summary line.
//
// Files (FILE, the files of a stats run and LIST) are read as the other tools read them:
// regular files of up to 64 MB. Exit status: 0 when the file was parsed (messages are no
// failure), 1 when it could not be read (said on standard error), 2 on a usage error (an
// argument or a line of LIST that is not valid UTF-8 among them).
#include "../common/Arguments.h"
#include "../common/SourceFile.h"

#include "Engine/DelphiExplorers.h"
#include "Engine/KRX.ProjectStorage.h"
#include "Platform/Rtl/Files.h"
#include "Units.h"
#include "World/ClassEx.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace krx;

namespace {

// Reads a unit as the other tools do (regular files of up to 64 MB); says why it cannot.
bool ReadSource(const String &fileName, String &text, std::size_t &bytes) {
  std::string error;
  if (tool::ReadSourceFile(fileName, text, error, &bytes))
    return true;
  tool::SayCannotRead("krx-explore", fileName, error);
  return false;
}

// A JSON string: quotes, backslashes and control characters escaped; lone surrogates become
// U+FFFD in the UTF-8 output.
std::string Json(StringView s) {
  String out;
  out.push_back(u'"');
  for (std::size_t i = 0; i < s.size(); ++i) {
    const Char c = s[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      out += c;
      out += s[++i];
    } else if (high || low) {
      out += u'\xFFFD';
    } else if (c == u'"' || c == u'\\') {
      out += u'\\';
      out += c;
    } else if (c < 0x20) {
      out += Format(u"\\u%.4x", {static_cast<unsigned>(c)});
    } else {
      out += c;
    }
  }
  out.push_back(u'"');
  return StringToUtf8(out);
}

std::string Utf8(StringView s) { return StringToUtf8(String(s)); }

// The project's conditional defines, as given with -D.
class TCommandLineStorage : public TProjectStorage {
public:
  static String Defines;

protected:
  String ReadString(const String &section, const String &ident, const String &aDefault) override {
    if (section == u"Parser" && ident == u"Defines")
      return Defines;
    return TProjectStorage::ReadString(section, ident, aDefault);
  }
};
String TCommandLineStorage::Defines;

void PrintTree(TCodeItem *item, int depth, bool json) {
  const auto *proc = dynamic_cast<const TProcItem *>(item);
  const String kind(TCodeItemKindNames[item->Kind()]);
  if (json) {
    std::string line = "{\"depth\":" + std::to_string(depth) + ",\"kind\":" + Json(kind) +
                       ",\"name\":" + Json(item->Name()) +
                       ",\"qualifiedName\":" + Json(item->GetQualifiedName()) +
                       ",\"line\":" + std::to_string(item->LineNr()) +
                       ",\"col\":" + std::to_string(item->ItemStartPos()) +
                       ",\"headerEndLine\":" + std::to_string(item->HeaderEndLineValue()) +
                       ",\"endLine\":" + std::to_string(item->EndLineValue()) +
                       ",\"visibility\":" + Json(TVisibilityNames[item->Visibility()]);
    if (proc) {
      line += ",\"methodKind\":" + Json(TMethodKindNames[proc->MethodKind()]);
      line += ",\"params\":" + Json(proc->Parameters());
      if (proc->ImplRef())
        line += ",\"implLine\":" + std::to_string(proc->ImplRef()->LineNr());
    }
    line += std::string(",\"badFormat\":") + (item->BadFormat() ? "true" : "false") + "}";
    std::cout << line << '\n';
  } else {
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    line += Utf8(kind) + " " + Utf8(item->GetQualifiedName()) + " " +
            std::to_string(item->LineNr() + 1) + ":" + std::to_string(item->ItemStartPos()) +
            " end " + std::to_string(item->EndLineValue() + 1) + " " +
            Utf8(TVisibilityNames[item->Visibility()]);
    if (proc) {
      line += " " + Utf8(TMethodKindNames[proc->MethodKind()]) + " (" +
              Utf8(proc->Parameters()) + ")";
      if (proc->ImplRef())
        line += " impl " + std::to_string(proc->ImplRef()->LineNr() + 1);
    }
    if (item->BadFormat())
      line += " BadFormat";
    std::cout << line << '\n';
  }
  for (Integer i = 0; i < item->ChildCount(); ++i)
    PrintTree(item->GetChild(i), depth + 1, json);
}

void PrintMessages(const TMessagesItem &messages, bool json) {
  for (Integer i = 0; i < messages.MsgCount(); ++i) {
    const TMessageDetails &m = messages.GetMessage(i);
    if (json)
      std::cout << "{\"message\":" << Json(m.Text) << ",\"kind\":" << static_cast<int>(m.Kind)
                << ",\"line\":" << m.Line << ",\"col\":" << m.Column << "}\n";
    else
      std::cout << "message " << static_cast<int>(m.Kind) << " " << Utf8(m.Text) << '\n';
  }
}

Integer CountItems(const TCodeItem &item) {
  Integer n = item.ChildCount();
  for (Integer i = 0; i < item.ChildCount(); ++i)
    n += CountItems(*item.GetChild(i));
  return n;
}

int Stats(const std::vector<String> &files) {
  std::size_t fileCount = 0, bytes = 0, items = 0, errors = 0, filesWithErrors = 0, raised = 0;
  double seconds = 0;
  for (const String &name : files) {
    String text;
    std::size_t size = 0;
    if (!ReadSource(name, text, size))
      continue;
    ++fileCount;
    bytes += size;
    const auto start = std::chrono::steady_clock::now();
    try {
      std::unique_ptr<TModuleExplorer> explorer =
          ModuleExplorerRegistry().CreateExplorer(lanPascal);
      explorer->ModuleItem()->SetFileName(ExpandFileName(name));
      explorer->ExploreText(text);
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      items += static_cast<std::size_t>(CountItems(*explorer->ModuleItem()));
      std::size_t e = 0;
      for (Integer i = 0; i < explorer->Messages()->MsgCount(); ++i)
        if (explorer->Messages()->GetMessage(i).Kind == TCodeMessageKind::Error)
          ++e;
      errors += e;
      if (e)
        ++filesWithErrors;
    } catch (const std::exception &ex) {
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      ++raised;
      std::cerr << "krx-explore: " << Utf8(name) << ": " << ex.what() << '\n';
    }
  }
  const double mbs = seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0;
  std::printf("files %zu bytes %zu seconds %.3f MB/s %.1f items %zu errors %zu "
              "files-with-errors %zu raised %zu\n",
              fileCount, bytes, seconds, mbs, items, errors, filesWithErrors, raised);
  return 0;
}

int Usage() {
  std::cerr << "usage: krx-explore FILE [--header-only] [--no-conditions] [--json] [-D SYMBOL]..."
               " [-I DIR]...\n"
               "       krx-explore --stats FILE... | --stats --files-from LIST\n";
  return 2;
}

int Run(int argc, char **argv) {
  String file;
  bool headerOnly = false, conditions = true, json = false, stats = false;
  std::vector<String> defines, includes, statFiles;
  // Every argument and every line of LIST is a text exactly, or the run stops.
  bool refused = false;
  const auto take = [&refused](std::string_view arg) {
    String text;
    refused = refused || !tool::TakeArgument("krx-explore", arg, text);
    return text;
  };
  for (int i = 1; i < argc && !refused; ++i) {
    const std::string a = argv[i];
    if (a == "--header-only")
      headerOnly = true;
    else if (a == "--no-conditions")
      conditions = false;
    else if (a == "--json")
      json = true;
    else if (a == "--stats")
      stats = true;
    else if (a == "--files-from" && i + 1 < argc) {
      std::string list, error;
      const String listName = take(argv[++i]);
      if (refused)
        break;
      if (!tool::ReadRegularFileBytes(listName, list, error)) {
        tool::SayCannotRead("krx-explore", listName, error);
        return 1;
      }
      std::istringstream lines(list);
      for (std::string line; std::getline(lines, line) && !refused;)
        if (!line.empty())
          statFiles.push_back(take(line));
    } else if (a == "-D" && i + 1 < argc)
      defines.push_back(take(argv[++i]));
    else if (a == "-I" && i + 1 < argc)
      includes.push_back(take(argv[++i]));
    else if (!a.empty() && a[0] == '-')
      return Usage();
    else if (stats)
      statFiles.push_back(take(a));
    else if (file.empty())
      file = take(a);
    else
      return Usage();
  }
  if (refused)
    return 2;
  String joined;
  for (const String &d : defines)
    joined += (joined.empty() ? u"" : u";") + d;
  TCommandLineStorage::Defines = joined;
  RegisterProjectStorageClass([] { return std::make_unique<TCommandLineStorage>(); });
  SetIncludeSearchFolders(includes);
  ModuleExplorerRegistry().Options(lanPascal).SetParserEvaluatesConditions(conditions);

  if (stats)
    return statFiles.empty() ? Usage() : Stats(statFiles);
  if (file.empty())
    return Usage();
  String text;
  std::size_t size = 0;
  if (!ReadSource(file, text, size))
    return 1;
  std::unique_ptr<TModuleExplorer> explorer = ModuleExplorerRegistry().CreateExplorer(lanPascal);
  explorer->ModuleItem()->SetFileName(ExpandFileName(file));
  explorer->ExploreText(text, headerOnly);
  PrintTree(explorer->ModuleItem(), 0, json);
  PrintMessages(*explorer->Messages(), json);
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  InitializeUnits(AllUnits());
  int rc;
  try {
    rc = Run(argc, argv);
  } catch (const std::exception &e) {
    std::cerr << "krx-explore: " << e.what() << '\n';
    rc = 1;
  }
  FinalizeUnits();
  return rc;
}
