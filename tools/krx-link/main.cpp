// The IDE side of the link without the IDE.
//
//   krx-link listen [--version-index N] [--serve-seconds N] [--source-root DIR]
//   krx-link send COMMAND [ARG...]
//
// `listen` creates the IDE's endpoint for IDE version N (default 5, Delphi 11) and prints
// every request it decodes as one JSON line: {"event":"OnGotoLine","id":1032,"args":[...]};
// when other processes cannot reach it (an unusable desktop) it says why and exits with 2.
// With --source-root, a jump request (1028) is also resolved as the IDE would: the named file
// (or, when that path does not exist, the file of that name under DIR) is parsed and the
// 1-based "line" and "bodyLine" of the element are added to the printed object.
// `send` sends one command of the Kestrune command set (COMMAND is its operation name, for
// example RefreshFile) to Kestrune's endpoint; the exit code is 0 when Kestrune took the
// call, 1 when it did not answer, 2 for a usage error or a failed send.
#include "../common/Arguments.h"
#include "../common/LinkTool.h"
#include "../common/SourceFile.h"

#include "Common/KRX.DelphiVersions.h"
#include "Engine/SourceFileNames.h"
#include "KR4expt/DelphiIDEPS.h"
#include "KR4expt/DotNetKRPS.h"
#include "KR4expt/JumpLocationParsers.h"
#include "Units.h"

#include <cstring>
#include <iostream>
#include <string_view>

namespace krx {
namespace {

constexpr const char *kUsage = "usage: krx-link listen [--version-index N] [--serve-seconds N] "
                               "[--source-root DIR]\n"
                               "       krx-link send COMMAND [ARG...]\n";

// `more` holds further members of the object, each starting with a comma.
void Print(const char *event, Integer id, const std::vector<tool::JsonValue> &args,
           const std::string &more = {}) {
  std::cout << "{\"event\":\"" << event << "\",\"id\":" << id
            << ",\"args\":" << tool::JsonArray(args) << more << "}\n";
  std::cout.flush();
}

// The file a jump names: the path as written, else the file of that name (the last
// component after "\\" or "/") under the source root.
String FindJumpFile(const String &fileName, const String &sourceRoot) {
  if (FileExists(fileName))
    return fileName;
  const std::size_t slash = fileName.find_last_of(u"\\/");
  const String name = slash == String::npos ? fileName : fileName.substr(slash + 1);
  return name.empty() ? String() : ResolveSourceFileName(name, sourceRoot);
}

// ',"line":N,"bodyLine":M' (1-based, as the IDE opens the file) when the jump resolves;
// nothing when the file cannot be read or the request is unusable (said on stderr).
std::string ResolveJump(const String &sourceRoot, const String &f, const String &k, const String &c,
                        const String &m, const String &p) {
  const String path = FindJumpFile(f, sourceRoot);
  String text;
  std::string error = "not found under the source root";
  if (path.empty() || !tool::ReadSourceFile(path, text, error)) {
    std::cerr << "krx-link: jump file " << StringToUtf8(f) << ": " << error << "\n";
    return {};
  }
  Integer line = 0, bodyLine = 0;
  try {
    if (!TJumpLocationParser(text, k, c, m, p, lanPascal, path).Locate(line, bodyLine)) {
      std::cerr << "krx-link: the jump request is unusable\n";
      return {};
    }
  } catch (const std::exception &e) {
    std::cerr << "krx-link: jump in " << StringToUtf8(path) << ": " << e.what() << "\n";
    return {};
  }
  return ",\"line\":" + std::to_string(line + 1) + ",\"bodyLine\":" + std::to_string(bodyLine + 1);
}

void BindEvents(TCustomIDEStub &stub, const String &sourceRoot) {
  stub.OnReloadFile = [](const String &f) { Print("OnReloadFile", idReloadFile, {f}); };
  stub.OnShowHelp = [](const String &k) { Print("OnShowHelp", idShowHelp, {k}); };
  stub.OnJumpToLocation = [sourceRoot](const String &f, const String &k, const String &c,
                                       const String &m, const String &p) {
    Print("OnJumpToLocation", idJumpToLocation, {f, k, c, m, p},
          sourceRoot.empty() ? std::string() : ResolveJump(sourceRoot, f, k, c, m, p));
  };
  stub.OnOpenFile = [](const String &f) { Print("OnOpenFile", idOpenFile, {f}); };
  stub.OnProjectFilesRequest = [](const String &f) {
    Print("OnProjectFilesRequest", idRequestProjectFiles, {f});
  };
  stub.OnBuildProject = [](Integer mode) {
    Print("OnBuildProject", idBuildProject, {Int64{mode}});
  };
  stub.OnGotoLine = [](const String &f, Integer line, Integer column) {
    Print("OnGotoLine", idGotoLine, {f, Int64{line}, Int64{column}});
  };
  stub.OnEditorFilesRequest = [](const String &f) {
    Print("OnEditorFilesRequest", idRequestEditorFiles, {f});
  };
  stub.OnUpdateProjectFiles = [](const String &f) {
    Print("OnUpdateProjectFiles", idUpdateProjectFiles, {f});
  };
}

int Listen(int argc, char **argv) {
  double versionIndex = dvDelphi11Alexandria;
  double seconds = -1;
  String sourceRoot;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version-index") == 0 && i + 1 < argc &&
        tool::ParseNumber(argv[i + 1], versionIndex) && versionIndex < DelphiVersionCount &&
        versionIndex == static_cast<int>(versionIndex)) {
      ++i;
    } else if (std::strcmp(argv[i], "--serve-seconds") == 0 && i + 1 < argc) {
      if (!tool::ParseServeSeconds("krx-link", argv[++i], seconds))
        return 2;
    } else if (std::strcmp(argv[i], "--source-root") == 0 && i + 1 < argc && *argv[i + 1]) {
      if (!tool::TakeArgument("krx-link", argv[++i], sourceRoot))
        return 2;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  auto stub = TDotNetStub::Create<TDelphiIDEStub>(static_cast<Byte>(versionIndex));
  BindEvents(*stub, sourceRoot);
  if (!tool::AnnounceListening("krx-link", GetWindowCaption(stub->Handle())))
    return 2;
  tool::RunMessageLoop(seconds);
  return 0;
}

Integer ArgInt(const String &s) { return StrToInt(s); }

int Send(int argc, char **argv) {
  if (argc < 1) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string_view op = argv[0];
  std::vector<String> a;
  for (int i = 1; i < argc; ++i)
    if (!tool::TakeArgument("krx-link", argv[i], a.emplace_back()))
      return 2;
  const TDotNetKRProxy proxy(1);
  struct Command {
    const char *Name;
    std::size_t Args;
    Integer (*Run)(const TDotNetKRProxy &, const std::vector<String> &);
  };
  static const Command commands[] = {
      {"AddFile", 1, [](const TDotNetKRProxy &p, const auto &v) { return p.AddFile(v[0]); }},
      {"ConvertFile", 1,
       [](const TDotNetKRProxy &p, const auto &v) { return p.ConvertFile(v[0]); }},
      {"JumpToModel", 2,
       [](const TDotNetKRProxy &p, const auto &v) { return p.JumpToModel(v[0], ArgInt(v[1])); }},
      {"RefreshFile", 1,
       [](const TDotNetKRProxy &p, const auto &v) { return p.RefreshFile(v[0]); }},
      {"AddFiles", 1, [](const TDotNetKRProxy &p, const auto &v) { return p.AddFiles(v[0]); }},
      {"FileChanged", 1,
       [](const TDotNetKRProxy &p, const auto &v) { return p.FileChanged(v[0]); }},
      {"OpenModel", 2,
       [](const TDotNetKRProxy &p, const auto &v) { return p.OpenModel(v[0], v[1]); }},
      {"VisualizeModule", 1,
       [](const TDotNetKRProxy &p, const auto &v) { return p.VisualizeModule(v[0]); }},
      {"CreateSequenceDiagram", 1,
       [](const TDotNetKRProxy &p, const auto &v) { return p.CreateSequenceDiagram(v[0]); }},
      {"SynchronizeModel", 0,
       [](const TDotNetKRProxy &p, const auto &) { return p.SynchronizeModel(); }},
      {"InvokeModelSearch", 1,
       [](const TDotNetKRProxy &p, const auto &v) { return p.InvokeModelSearch(v[0]); }},
  };
  for (const Command &c : commands) {
    if (op != c.Name)
      continue;
    if (a.size() != c.Args) {
      std::cerr << "krx-link: " << c.Name << " takes " << c.Args << " argument(s), got " << a.size()
                << "\n";
      return 2;
    }
    return c.Run(proxy, a) == 1 ? 0 : 1;
  }
  std::cerr << "krx-link: unknown command " << op << "; one of:";
  for (const Command &c : commands)
    std::cerr << " " << c.Name;
  std::cerr << "\n";
  return 2;
}

int Main(int argc, char **argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout
        << kUsage
        << "\nThe IDE's side of the link without an IDE, on this user's desktop (KRX_DESKTOP_DIR\n"
           "re-roots it). `listen` takes the endpoint of IDE version N (default 5, Delphi 11) and\n"
           "prints every request it decodes as one JSON line, until it is interrupted or N\n"
           "seconds have passed; with --source-root a jump request (1028) is also resolved on\n"
           "the named file (or the file of that name under DIR) and its 1-based \"line\" and\n"
           "\"bodyLine\" are added. `send` sends one command to Kestrune's endpoint and exits\n"
           "with 0 when Kestrune took it, 1 when it did not answer, 2 for a usage error or a\n"
           "failed send. COMMAND is one of AddFile FILE, ConvertFile FILE, JumpToModel FILE\n"
           "POSITION, RefreshFile FILE, AddFiles BATCHFILE, FileChanged FILE, OpenModel FILE\n"
           "PROJECT, VisualizeModule FILE, CreateSequenceDiagram FILE, SynchronizeModel,\n"
           "InvokeModelSearch TEXT.\n";
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "listen") == 0)
    return Listen(argc - 2, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "send") == 0)
    return Send(argc - 2, argv + 2);
  std::cerr << kUsage;
  return 2;
}

} // namespace
} // namespace krx

int main(int argc, char **argv) { return krx::tool::RunTool("krx-link", krx::Main, argc, argv); }
