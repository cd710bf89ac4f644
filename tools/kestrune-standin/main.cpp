// A stand-in for Kestrune in its own process. It listens as Kestrune's endpoint and writes
// every call it receives as one JSON line, or sends one request to the IDE's endpoint.
//
//   kestrune-standin [--log FILE] [--serve-seconds N]
//   kestrune-standin [--to NAME] --send ID [ARG...]
//   kestrune-standin [--to NAME] --send-text ID TEXT
//
// Listening, each call becomes {"id":1028,"args":["C:\\a b\\x.pas"]} on standard output or in
// FILE; an unusable desktop is reported and ends the stand-in with 2. Sending goes through the IDE
// request set to NAME (default "_KR_BDS19_ENDPOINT"); the exit code is the message result (1 when
// the IDE took the call, 0 when it did not answer), 2 for a usage error or a failed send. The
// texts are UTF-8; the three-byte form of a surrogate stands for that surrogate alone, so that
// a text may hold an unpaired one, as a faulty Kestrune's might. The stand-in never sends
// while it handles a message.
#include "../common/LinkTool.h"

#include "KR4expt/CustomIDEPS.h"
#include "KR4expt/DotNetKRPS.h"
#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/Files.h"
#include "Units.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>

namespace krx {
namespace {

constexpr const char *kUsage = "usage: kestrune-standin [--log FILE] [--serve-seconds N]\n"
                               "       kestrune-standin [--to NAME] --send ID [ARG...]\n"
                               "       kestrune-standin [--to NAME] --send-text ID TEXT\n";

// Kestrune's endpoint: records every call it is sent, arguments decoded by the marshaller.
class TStandinStub : public TDotNetStub {
public:
  std::ostream *Out = &std::cout;

protected:
  TStandinStub() = default;
  String GetEndpointName() const override { return KestruneEndpointName; }
  void Execute(Integer id, const String &args) override {
    Marshaller().SetArgs(args);
    std::vector<tool::JsonValue> values;
    for (Integer i = 0; i < Marshaller().Count(); ++i)
      values.emplace_back(Marshaller().GetString(i));
    *Out << "{\"id\":" << id << ",\"args\":" << tool::JsonArray(values) << "}\n";
    Out->flush();
  }

  friend class TDotNetStub;
};

// The request set's sender, aimed at one endpoint name.
class TStandinIDEProxy : public TCustomIDEProxy {
public:
  explicit TStandinIDEProxy(const String &name) { SetRemoteName(name); }
  String DisplayName() const override { return u"IDE endpoint " + RemoteName(); }
  void ShowHelp(const String &keyword) override { SendShowHelp(keyword); }
};

// A text as an argument gives it: UTF-8, where the three-byte form of a surrogate (ED A0 80 to
// ED BF BF, which UTF-8 has no use for) stands for that surrogate alone, so that a test can
// send what a faulty Kestrune might. Anything else that is not UTF-8 is refused, said on
// standard error.
bool TakeText(std::string_view arg, String &text) {
  text.clear();
  std::size_t from = 0;
  const auto flush = [&](std::size_t to) {
    String part;
    std::size_t at = 0;
    if (TryUtf8ToString(arg.substr(from, to - from), part, &at)) {
      text += part;
      return true;
    }
    std::cerr << "kestrune-standin: cannot take the argument \"" << ShownOSName(arg)
              << "\": it is not valid UTF-8 (byte " << (from + at) << ")\n";
    return false;
  };
  for (std::size_t i = 0; i < arg.size();) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(arg[k]); };
    if (b(i) == 0xED && i + 2 < arg.size() && (b(i + 1) & 0xE0) == 0xA0 &&
        (b(i + 2) & 0xC0) == 0x80) {
      if (!flush(i))
        return false;
      text += static_cast<Char>(0xD000 | ((b(i + 1) & 0x3F) << 6) | (b(i + 2) & 0x3F));
      from = i += 3;
    } else {
      ++i;
    }
  }
  return flush(arg.size());
}

Integer SendRequest(TCustomIDEProxy &p, Integer id, const std::vector<String> &a) {
  switch (id) {
  case idReloadFile:
    return p.ReloadFile(a[0]);
  case idShowHelp:
    return p.SendShowHelp(a[0]);
  case idJumpToLocation:
    return p.JumpToLocation(a[0], a[1], a[2], a[3], a[4]);
  case idOpenFile:
    return p.OpenFile(a[0]);
  case idRequestProjectFiles:
    return p.RequestProjectFiles(a[0]);
  case idBuildProject: {
    const Integer mode = StrToInt(a[0]);
    if (mode < 0 || mode > 255)
      throw EConvertError(Format(u"'%s' is not a build mode", {a[0]}));
    return p.BuildProject(static_cast<Byte>(mode));
  }
  case idGotoLine:
    return p.GotoLine(a[0], StrToInt(a[1]), StrToInt(a[2]));
  case idRequestEditorFiles:
    return p.RequestEditorFiles(a[0]);
  case idUpdateProjectFiles:
    return p.UpdateProjectFiles(a[0]);
  default:
    return 0;
  }
}

int Send(const String &to, const char *idText, int argc, char **argv) {
  Integer id = 0;
  if (!TryStrToInt(Utf8ToString(idText), id)) {
    std::cerr << "kestrune-standin: not a request id: " << idText << "\n";
    return 2;
  }
  const TRequestShape *shape = FindRequestShape(id);
  if (shape == nullptr) {
    std::cerr << "kestrune-standin: " << id << " is no request of the IDE request set "
              << "(1026 to 1034)\n";
    return 2;
  }
  if (argc != shape->Strings + shape->Integers) {
    std::cerr << "kestrune-standin: " << StringToUtf8(shape->Name) << " (" << id << ") takes "
              << shape->Strings + shape->Integers << " argument(s), got " << argc << "\n";
    return 2;
  }
  std::vector<String> args;
  for (int i = 0; i < argc; ++i)
    if (!TakeText(argv[i], args.emplace_back()))
      return 2;
  TStandinIDEProxy proxy(to);
  return SendRequest(proxy, id, args);
}

// A call whose argument text goes as it stands, unchecked: how a faulty Kestrune would send.
int SendText(const String &to, const char *idText, const char *text) {
  Integer id = 0;
  if (!TryStrToInt(Utf8ToString(idText), id) || id < 0 || id > 99999) {
    std::cerr << "kestrune-standin: not a call id: " << idText << "\n";
    return 2;
  }
  String args;
  if (!TakeText(text, args))
    return 2;
  return TStandinIDEProxy(to).Send(id, args);
}

int Listen(const char *logFile, double seconds) {
  std::ofstream log;
  auto stub = TDotNetStub::Create<TStandinStub>();
  if (logFile != nullptr) {
    log.open(logFile, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!log) {
      std::cerr << "kestrune-standin: cannot write " << logFile << "\n";
      return 2;
    }
    stub->Out = &log;
  }
  if (!tool::AnnounceListening("kestrune-standin", KestruneEndpointName))
    return 2;
  tool::RunMessageLoop(seconds);
  return 0;
}

void PrintHelp() {
  std::cout
      << kUsage
      << "\nA stand-in for Kestrune on this user's desktop (KRX_DESKTOP_DIR re-roots it).\n"
         "Listening, it takes Kestrune's endpoint "
      << StringToUtf8(KestruneEndpointName)
      << "\nand writes every command it receives as one JSON line,\n"
         "{\"id\":1028,\"args\":[\"C:\\\\a b\\\\x.pas\"]}, to standard output or FILE, until\n"
         "it is interrupted or N seconds have passed.\n"
         "With --send it sends one request to the IDE's endpoint NAME (default "
         "_KR_BDS19_ENDPOINT)\nand exits with the message result: 1 when the IDE took the "
         "call, 0 when it did not\nanswer in time or went away meanwhile; 2 for a usage "
         "error or an IDE that cannot be\nfound. --send-text sends the call ID with TEXT "
         "as its argument text, unchecked\n(as a faulty Kestrune might). Texts are UTF-8; the "
         "three-byte form of a surrogate\n(ED A0 80 to ED BF BF) stands for that surrogate "
         "alone. The requests:\n";
  for (const auto &r : RequestShapes) {
    std::cout << "  " << r.Id << " " << StringToUtf8(r.Name) << ": ";
    if (r.Strings > 0)
      std::cout << r.Strings << " text(s)" << (r.Integers > 0 ? ", then " : "");
    if (r.Integers > 0)
      std::cout << r.Integers << " number(s)";
    std::cout << "\n";
  }
}

int Main(int argc, char **argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    PrintHelp();
    return 0;
  }
  const char *logFile = nullptr;
  double seconds = -1;
  String to = u"_KR_BDS19_ENDPOINT";
  int i = 1;
  for (; i < argc; ++i) {
    const char *a = argv[i];
    if (std::strcmp(a, "--log") == 0 && i + 1 < argc) {
      logFile = argv[++i];
    } else if (std::strcmp(a, "--serve-seconds") == 0 && i + 1 < argc) {
      if (!tool::ParseServeSeconds("kestrune-standin", argv[++i], seconds))
        return 2;
    } else if (std::strcmp(a, "--to") == 0 && i + 1 < argc) {
      if (!TakeText(argv[++i], to))
        return 2;
    } else if (std::strcmp(a, "--send-text") == 0 && i + 3 == argc) {
      return SendText(to, argv[i + 1], argv[i + 2]);
    } else if (std::strcmp(a, "--send") == 0 && i + 1 < argc) {
      return Send(to, argv[i + 1], argc - i - 2, argv + i + 2);
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  return Listen(logFile, seconds);
}

} // namespace
} // namespace krx

int main(int argc, char **argv) {
  return krx::tool::RunTool("kestrune-standin", krx::Main, argc, argv);
}
