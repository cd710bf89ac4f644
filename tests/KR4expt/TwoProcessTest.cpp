// The link between two real processes: the Kestrune stand-in and the IDE side (krx-link),
// each on a desktop, registry and special-folder root of the test's own.
#include "ProcessSupport.h"

#include "support/KrxTest.h"

#include <gmock/gmock.h>

namespace krx {
namespace {

using namespace std::chrono_literals;
using test::ParseJson;
using test::RunTool;
using test::ToolPath;

const std::string kStandin = ToolPath("kestrune-standin").string();
const std::string kLink = ToolPath("krx-link").string();

// Arguments that the comma text must carry whole: spaces, quotes, commas, non-ASCII
// (also outside the Basic Multilingual Plane), leading blanks and an empty text.
const std::string kFile = "C:\\My Projects\\\xC3\x9Cnit \"one\", two.pas";
const std::string kOdd = "  \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80,\"\"";

class TwoProcessLink : public ::testing::Test {
protected:
  TwoProcessLink()
      : FDesktop("KRX_DESKTOP_DIR", (Dir / "desktop").string()),
        FRegistry("KRX_REGISTRY_DIR", (Dir / "registry").string()),
        FShell("KRX_SHELL_ROOT", (Dir / "shell").string()) {}

  int Run(const std::vector<std::string> &argv, std::string *error = nullptr) {
    return RunTool(argv, Dir.Path(), 30s, error);
  }
  // Sends each request once the one before it has run (a navigation request that is still
  // queued would give way to the next), then waits for the last.
  void SendInTurn(test::TChildProcess &ide, const std::vector<std::vector<std::string>> &requests) {
    for (std::size_t k = 0; k < requests.size(); ++k) {
      std::vector<std::string> argv = {kStandin, "--send"};
      argv.insert(argv.end(), requests[k].begin(), requests[k].end());
      std::string error;
      // The stand-in exits with the message result: 1 when the IDE took the call.
      EXPECT_EQ(Run(argv, &error), 1) << requests[k][0] << ": " << error;
      for (int i = 0; i < 500 && test::Lines(ide.Output()).size() <= k; ++i)
        std::this_thread::sleep_for(20ms);
    }
  }

  test::TempDir Dir;

private:
  test::EnvGuard FDesktop, FRegistry, FShell;
};

std::vector<test::TJson> JsonLines(const std::string &text) {
  std::vector<test::TJson> lines;
  for (const std::string &line : test::Lines(text))
    lines.push_back(ParseJson(line));
  return lines;
}

std::vector<String> Strings(const test::TJson &array) {
  std::vector<String> out;
  for (const test::TJson &v : array.Array())
    out.push_back(std::holds_alternative<Int64>(v.Value) ? IntToStr(v.Int()) : v.Str());
  return out;
}

TEST_F(TwoProcessLink, EveryCommandReachesKestrune) {
  const auto log = Dir / "kestrune.jsonl";
  test::TChildProcess kestrune({kStandin, "--log", log.string(), "--serve-seconds", "120"},
                               Dir / "standin.out", Dir / "standin.err");
  ASSERT_TRUE(kestrune.WaitForError("listening as _KR_PS_END_POINT", 20s)) << kestrune.Error();

  const std::vector<std::vector<std::string>> commands = {
      {"AddFile", kFile},
      {"ConvertFile", kOdd},
      {"JumpToModel", kFile, "42"},
      {"RefreshFile", "C:\\a b\\x.pas"},
      {"AddFiles", "/tmp/KRPrjBatch.imp"},
      {"FileChanged", kFile},
      {"OpenModel", kFile, "p, q.dproj"},
      {"VisualizeModule", kFile},
      {"CreateSequenceDiagram", "Auto-Sequence-Diagram.txt"},
      {"SynchronizeModel"},
      {"InvokeModelSearch", ""},
  };
  for (const auto &c : commands) {
    std::vector<std::string> argv = {kLink, "send"};
    argv.insert(argv.end(), c.begin(), c.end());
    std::string error;
    EXPECT_EQ(Run(argv, &error), 0) << c[0] << ": " << error;
  }
  EXPECT_EQ(kestrune.Stop(20s), 0);

  const std::string text = test::ReadFileBytes(log);
  // The stand-in's line format, byte for byte.
  EXPECT_THAT(text, ::testing::HasSubstr("{\"id\":1028,\"args\":[\"C:\\\\a b\\\\x.pas\"]}\n"));
  EXPECT_THAT(text, ::testing::HasSubstr("{\"id\":1034,\"args\":[]}\n"));
  const auto lines = JsonLines(text);
  ASSERT_EQ(lines.size(), commands.size()) << text;
  const String file = Utf8ToString(kFile), odd = Utf8ToString(kOdd);
  using V = std::vector<String>;
  const std::vector<std::pair<Int64, V>> expected = {
      {1025, V{file}},
      {1026, V{odd}},
      {1027, V{file, u"42"}},
      {1028, V{u"C:\\a b\\x.pas"}},
      {1029, V{u"/tmp/KRPrjBatch.imp"}},
      {1030, V{file}},
      {1031, V{file, u"p, q.dproj"}},
      {1032, V{file}},
      {1033, V{u"Auto-Sequence-Diagram.txt"}},
      {1034, V{}},
      {1035, V{u""}},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lines[i]["id"].Int(), expected[i].first);
    EXPECT_EQ(Strings(lines[i]["args"]), expected[i].second) << i;
  }
}

TEST_F(TwoProcessLink, EveryRequestReachesTheIDE) {
  test::TChildProcess ide({kLink, "listen", "--serve-seconds", "120"}, Dir / "link.out",
                          Dir / "link.err");
  ASSERT_TRUE(ide.WaitForError("listening as _KR_BDS19_ENDPOINT", 20s)) << ide.Error();

  const std::vector<std::vector<std::string>> requests = {
      {"1026", kFile},
      {"1027", kOdd},
      {"1028", kFile, "procedure", "TForm1", "Button1Click", "Sender: TObject; const A, B"},
      {"1029", kFile},
      {"1030", "/tmp/transfer file.ini"},
      {"1031", "3"},
      {"1032", kFile, "12", "5"},
      {"1033", ""},
      {"1034", "/tmp/update,1.xml"},
  };
  SendInTurn(ide, requests);
  EXPECT_EQ(ide.Stop(20s), 0);

  const auto lines = JsonLines(ide.Output());
  ASSERT_EQ(lines.size(), requests.size()) << ide.Output() << ide.Error();
  const String file = Utf8ToString(kFile), odd = Utf8ToString(kOdd);
  using V = std::vector<String>;
  const std::vector<std::tuple<std::string, Int64, V>> expected = {
      {"OnReloadFile", 1026, V{file}},
      {"OnShowHelp", 1027, V{odd}},
      {"OnJumpToLocation", 1028,
       V{file, u"procedure", u"TForm1", u"Button1Click", u"Sender: TObject; const A, B"}},
      {"OnOpenFile", 1029, V{file}},
      {"OnProjectFilesRequest", 1030, V{u"/tmp/transfer file.ini"}},
      {"OnBuildProject", 1031, V{u"3"}},
      {"OnGotoLine", 1032, V{file, u"12", u"5"}},
      {"OnEditorFilesRequest", 1033, V{u""}},
      {"OnUpdateProjectFiles", 1034, V{u"/tmp/update,1.xml"}},
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(StringToUtf8(lines[i]["event"].Str()), std::get<0>(expected[i]));
    EXPECT_EQ(lines[i]["id"].Int(), std::get<1>(expected[i]));
    EXPECT_EQ(Strings(lines[i]["args"]), std::get<2>(expected[i])) << i;
  }
  // Integers arrive as numbers, not texts.
  EXPECT_TRUE(std::holds_alternative<Int64>(lines[6]["args"].Array()[1].Value));
}

TEST_F(TwoProcessLink, OlderIDEVersionsListenUnderTheirOwnNames) {
  test::TChildProcess ide({kLink, "listen", "--version-index", "0", "--serve-seconds", "60"},
                          Dir / "link.out", Dir / "link.err");
  ASSERT_TRUE(ide.WaitForError("listening as _KR_BDS17_ENDPOINT", 20s)) << ide.Error();
  EXPECT_EQ(Run({kStandin, "--to", "_KR_BDS17_ENDPOINT", "--send", "1029", "x.pas"}), 1);
  std::string error;
  // Nobody listens under the Delphi 11 name now.
  EXPECT_EQ(Run({kStandin, "--send", "1029", "x.pas"}, &error), 2);
  EXPECT_THAT(error, ::testing::HasSubstr("Cannot find remote: _KR_BDS19_ENDPOINT"));
  EXPECT_EQ(ide.Stop(20s), 0);
}

TEST_F(TwoProcessLink, SendingWithoutAPeerOrWithBadArgumentsFailsClearly) {
  std::string error;
  EXPECT_EQ(Run({kLink, "send", "RefreshFile", "x.pas"}, &error), 2);
  EXPECT_THAT(error, ::testing::HasSubstr("Cannot find remote: _KR_PS_END_POINT"));
  EXPECT_EQ(Run({kLink, "send", "NoSuchCommand"}, &error), 2);
  EXPECT_THAT(error, ::testing::HasSubstr("unknown command"));
  EXPECT_EQ(Run({kLink, "send", "JumpToModel", "x.pas"}, &error), 2);
  EXPECT_EQ(Run({kStandin, "--send", "1025", "x"}, &error), 2);
  EXPECT_EQ(Run({kStandin, "--send", "1032", "x.pas", "12"}, &error), 2);
  // A call id has five digits.
  for (const auto &[id, why] : {std::pair{"99999", "Cannot find remote"},
                                {"100000", "not a call id: 100000"},
                                {"-1", "not a call id: -1"}}) {
    EXPECT_EQ(Run({kStandin, "--send-text", id, "x"}, &error), 2);
    EXPECT_THAT(error, ::testing::HasSubstr(why));
  }
}

TEST_F(TwoProcessLink, TheStandinStopsAfterItsServingTime) {
  test::TChildProcess kestrune({kStandin, "--serve-seconds", "0.3"}, Dir / "s.out", Dir / "s.err");
  EXPECT_EQ(kestrune.Wait(20s), 0);
}

// A serving time that is no finite number of seconds in range would end the loop at once.
TEST_F(TwoProcessLink, ServingTimesOutOfRangeAreRefused) {
  for (const std::vector<std::string> &tool : {std::vector<std::string>{kStandin},
                                               std::vector<std::string>{kLink, "listen"}})
    for (const char *seconds : {"inf", "1e19", "1000000001"}) {
      std::vector<std::string> argv = tool;
      argv.insert(argv.end(), {"--serve-seconds", seconds});
      std::string error;
      EXPECT_EQ(Run(argv, &error), 2) << tool[0] << " " << seconds;
      EXPECT_THAT(error, ::testing::HasSubstr(std::string("--serve-seconds takes a number of "
                                                          "seconds from 0 to 1000000000, not ") +
                                              seconds));
    }
  // The longest serving time itself is taken: the stand-in serves until it is stopped.
  test::TChildProcess kestrune({kStandin, "--serve-seconds", "1000000000"}, Dir / "s.out",
                               Dir / "s.err");
  EXPECT_TRUE(kestrune.WaitForError("listening as", 20s)) << kestrune.Error();
  EXPECT_EQ(kestrune.Stop(20s), 0);
}

// With a source root the IDE side resolves a jump on the file of that name (matched without
// regard to case when the path as sent does not exist) and prints 1-based lines; a file it
// cannot find or read gets no lines.
TEST_F(TwoProcessLink, JumpsResolveOnTheNamedFileUnderTheSourceRoot) {
  test::TChildProcess ide(
      {kLink, "listen", "--serve-seconds", "120", "--source-root", test::Fixture("jump").string()},
      Dir / "link.out", Dir / "link.err");
  ASSERT_TRUE(ide.WaitForError("listening as _KR_BDS19_ENDPOINT", 20s)) << ide.Error();
  const std::vector<std::vector<std::string>> requests = {
      {"1028", "C:\\Work\\jumpshapes.PAS", "function", "TShape", "Area", ""},
      {"1028", "C:\\Work\\Missing.pas", "class", "TShape", "", ""},
      {"1028", "/dev/zero", "class", "TShape", "", ""},
  };
  SendInTurn(ide, requests);
  EXPECT_EQ(ide.Stop(20s), 0);
  const auto lines = JsonLines(ide.Output());
  ASSERT_EQ(lines.size(), requests.size()) << ide.Output() << ide.Error();
  // "function TShape.Area: Double;" is line 116; its body starts on 118, after "begin".
  EXPECT_EQ(lines[0]["line"].Int(), 116);
  EXPECT_EQ(lines[0]["bodyLine"].Int(), 118);
  for (std::size_t i = 1; i < lines.size(); ++i)
    EXPECT_EQ((std::get<std::map<std::string, test::TJson>>(lines[i].Value).count("line")), 0u);
  EXPECT_THAT(ide.Error(), ::testing::HasSubstr("Missing.pas: not found under the source root"));
  EXPECT_THAT(ide.Error(), ::testing::HasSubstr("/dev/zero: is not a regular file"));
}

} // namespace
} // namespace krx
