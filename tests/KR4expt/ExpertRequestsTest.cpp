// Kestrune's requests answered by the real expert: the test IDE host (krx-ide) loads the
// plug-in, and the Kestrune stand-in, a process of its own, sends each request. Every effect
// is read from the host's event log, from the files the expert writes and from the registry,
// each run on a desktop, registry and special-folder root of the test's own.
#include "ProcessSupport.h"

#include "Platform/Registry/Registry.h"
#include "Platform/Rtl/Files.h"
#include "support/KrxTest.h"

#include <gmock/gmock.h>

#include <functional>
#include <random>
#include <sys/stat.h>
#include <thread>

namespace krx {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const std::string kIDE = test::ToolPath("testide/krx-ide").string();

// A unit whose name holds a space, quotes, a comma and a non-ASCII letter.
const std::string kUnitName = "\xC3\x9Cnit \"one\", two.pas";
const std::string kUnit = "unit Demo;\n"
                          "\n"
                          "interface\n"
                          "\n"
                          "type\n"
                          "  TShape = class\n"
                          "  private\n"
                          "    FName: string;\n"
                          "  public\n"
                          "    constructor Create(const AName: string);\n"
                          "    procedure Draw(Canvas: TObject); overload;\n"
                          "    procedure Draw(X, Y: Integer); overload;\n"
                          "    property Name: string read FName;\n"
                          "  end;\n"
                          "\n"
                          "implementation\n"
                          "\n"
                          "constructor TShape.Create(const AName: string);\n"
                          "begin\n"
                          "  FName := AName;\n"
                          "end;\n"
                          "\n"
                          "procedure TShape.Draw(Canvas: TObject);\n"
                          "begin\n"
                          "end;\n"
                          "\n"
                          "procedure TShape.Draw(X, Y: Integer);\n"
                          "begin\n"
                          "  Draw(nil);\n"
                          "end;\n"
                          "\n"
                          "end.\n";

const String kSettings = u"Software\\Kestrune\\Kestrune\\11.0\\BDS22Expert";

// A word of a krx-ide script: in double quotes, inner quotes doubled.
std::string Quoted(const std::string &s) {
  std::string out = "\"";
  for (char c : s)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

class ExpertRequests : public ::testing::Test {
protected:
  ExpertRequests()
      : FDesktop("KRX_DESKTOP_DIR", (Dir / "desktop").string()),
        FRegistry("KRX_REGISTRY_DIR", (Dir / "registry").string()),
        FShell("KRX_SHELL_ROOT", (Dir / "shell").string()) {
    std::filesystem::create_directories(Dir / "Mein Ordner");
    Unit = (Dir / "Mein Ordner" / kUnitName).string();
    test::WriteFileBytes(Unit, kUnit);
  }

  // Runs krx-ide with the plug-in on the script (through the command `prefix`, when given);
  // the event lines it printed.
  std::vector<std::string> RunIDE(const std::string &script, std::vector<std::string> prefix = {}) {
    test::WriteFileBytes(Dir / "script.ide", script);
    for (const std::string &word : {kIDE, std::string("--plugin"), std::string(KRX_PLUGIN_FILE),
                                    std::string("--script"), (Dir / "script.ide").string()})
      prefix.push_back(word);
    test::TChildProcess ide(prefix, Dir / "ide.out", Dir / "ide.err");
    EXPECT_EQ(ide.Wait(120s), 0) << ide.Error();
    std::vector<std::string> events;
    for (const std::string &line : test::Lines(ide.Output()))
      if (line.rfind("{\"event\":", 0) == 0)
        events.push_back(line);
    return events;
  }

  static void WriteSettings(const std::function<void(TRegistry &)> &f) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kSettings, true));
    f(reg);
  }

  test::TempDir Dir;
  std::string Unit;

private:
  test::EnvGuard FDesktop, FRegistry, FShell;
};

// The lines of one event name, as text.
std::vector<std::string> Named(const std::vector<std::string> &events, const std::string &name) {
  std::vector<std::string> out;
  for (const std::string &e : events)
    if (e.rfind("{\"event\":\"" + name + "\"", 0) == 0)
      out.push_back(e);
  return out;
}

std::string Joined(const std::vector<std::string> &lines) {
  std::string all;
  for (const auto &l : lines)
    all += l + "\n";
  return all;
}

// The text of a JSON string field of an event line.
String Field(const std::string &line, const std::string &name) {
  return test::ParseJson(line)[name].Str();
}

TEST_F(ExpertRequests, EveryRequestHasItsEffectInTheIDE) {
  const std::string second = (Dir / "Zweite, \"Datei\".pas").string();
  test::WriteFileBytes(second, "unit Zweite;\ninterface\nimplementation\nend.\n");
  const std::string transferP = (Dir / "project, files.ini").string();
  const std::string transferE = (Dir / "editor files.ini").string();
  // Kestrune adds one file and renames another to a new name; the second document names a
  // project the IDE does not have.
  test::WriteFileBytes(Dir / "update.xml",
                       "<Files language=\"Object Pascal\">"
                       "<File operation=\"add\" name=\"/x/Neu, \xC3\xA4.pas\"/>"
                       "<File operation=\"add\" name=\"" +
                           Unit.substr(0, Unit.find('"')) +
                           "&quot;one&quot;, two.pas\"/>"
                           "<File operation=\"rename\" name=\"/x/a.pas\" newname=\"/x/b.pas\"/>"
                           "<File operation=\"remove\" name=\"/x/c.pas\"/>"
                           "</Files>");
  test::WriteFileBytes(Dir / "other.xml",
                       "<Files language=\"Object Pascal\" project=\"/no/P.dproj\">"
                       "<File operation=\"add\" name=\"/x/z.pas\"/></Files>");
  const std::string d = Dir.Path().string();
  const auto events = RunIDE(
      "regset \"HKLM\\Software\\Embarcadero\\BDS\\22.0\" RootDir /opt/bds\n"
      "regset \"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dexplore.exe\" "
      "\"\" /opt/dexplore\n"
      "project " +
      d + "/P.dproj Delphi.Personality Application " + Quoted(Unit) + " " + d + "/Form1.dfm " + d +
      "/read.txt\n"
      "request 1032 " +
      Quoted(Unit) +
      " 9 3\n"
      "request 1032 " +
      Quoted(Unit) +
      " 0 0\n"
      "request 1029 " +
      Quoted(second) +
      "\n"
      "request 1029 " +
      Quoted(d + "/missing.pas") +
      "\n"
      "type x\n"
      "request 1033 " +
      Quoted(transferE) +
      "\n"
      "request 1030 " +
      Quoted(transferP) +
      "\n"
      "request 1031 1\nrequest 1031 3\nrequest 1031 7\n"
      "request 1027 TStringList\n"
      "request 1026 " +
      Quoted(second) +
      "\n"
      "request 1034 " +
      Quoted(d + "/update.xml") +
      "\n"
      "request 1034 " +
      Quoted(d + "/other.xml") +
      "\n"
      "pump 200\n");
  const String unit = Utf8ToString(Unit);

  // 1032: the cursor at the line and column, the line before at the top; 0, 0 is 1, 1.
  const auto cursors = Named(events, "view.cursor");
  ASSERT_EQ(cursors.size(), 2u) << Joined(events);
  EXPECT_EQ(Field(cursors[0], "file"), unit);
  EXPECT_THAT(cursors[0], HasSubstr("\"line\":9,\"col\":3"));
  EXPECT_THAT(cursors[1], HasSubstr("\"line\":1,\"col\":1"));
  const auto tops = Named(events, "view.top");
  ASSERT_EQ(tops.size(), 2u);
  EXPECT_THAT(tops[0], HasSubstr("\"line\":8,\"col\":1"));
  EXPECT_THAT(tops[1], HasSubstr("\"line\":1,\"col\":1"));

  // 1029: the existing file is opened, the missing one is not.
  const auto opened = Named(events, "file.open");
  ASSERT_EQ(opened.size(), 2u) << Joined(opened);
  EXPECT_EQ(Field(opened[1], "file"), Utf8ToString(second));

  // 1033 and 1030: the lists, then the ready mark last.
  const auto answer = [](const std::string &section, const std::string &file) {
    return "\xEF\xBB\xBF\r\n[" + section + "]\r\nFileCount=1\r\nFile_0=" + file +
           "\r\n\r\n[TransferControl]\r\nTransferReady=1\r\n\r\n";
  };
  EXPECT_EQ(test::ReadFileBytes(transferE), answer("EditorFiles", second));
  EXPECT_EQ(test::ReadFileBytes(transferP), answer("ProjectFiles", Unit));

  // 1031: build, then make for mode 3; mode 7 builds nothing.
  const auto builds = Named(events, "project.build");
  ASSERT_EQ(builds.size(), 2u);
  EXPECT_EQ(Field(builds[0], "mode"), u"build");
  EXPECT_EQ(Field(builds[1], "mode"), u"make");

  // 1027: the IDE's help in Document Explorer.
  const auto shell = Named(events, "shell.execute");
  ASSERT_EQ(shell.size(), 1u);
  EXPECT_EQ(Field(shell[0], "file"), u"/opt/dexplore");
  EXPECT_EQ(Field(shell[0], "parameters").rfind(u"/helpcol ms-help://", 0), 0u);

  // 1026 for the buffer with the user's own change: nothing reloaded, nothing saved.
  EXPECT_THAT(Named(events, "module.save"), IsEmpty());
  EXPECT_EQ(Named(events, "buffer.change").size(), 1u); // the typing

  // 1034: the added files the project does not hold yet, and the new name of the rename.
  const auto added = Named(events, "project.addfile");
  ASSERT_EQ(added.size(), 2u) << Joined(events);
  EXPECT_EQ(Field(added[0], "file"), u"/x/Neu, \u00E4.pas");
  EXPECT_EQ(Field(added[1], "file"), u"/x/b.pas");
  const auto messages = Named(events, "message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(Field(messages[0], "text"),
            u"Unable to update project file. Project file not found/no/P.dproj");
}

TEST_F(ExpertRequests, AProjectOfNoKnownLanguageAndAMissingProjectGroup) {
  const std::string transfer = (Dir / "files.ini").string();
  test::WriteFileBytes(Dir / "update.xml",
                       "<Files language=\"Object Pascal\" project=\"/p/P.dproj\">"
                       "<File operation=\"add\" name=\"/x/z.pas\"/></Files>");
  const auto events =
      RunIDE("project /p/P.dproj CBuilder.Personality Application " + Quoted(Unit) +
             " /p/Main.cpp\nrequest 1030 " + Quoted(transfer) + "\nnogroup\nrequest 1034 " +
             Quoted((Dir / "update.xml").string()) + "\n");
  // The project's files that no explorer claims; not its Pascal unit.
  EXPECT_EQ(test::ReadFileBytes(transfer),
            "\xEF\xBB\xBF\r\n[ProjectFiles]\r\nFileCount=1\r\nFile_0=/p/Main.cpp\r\n\r\n"
            "[TransferControl]\r\nTransferReady=1\r\n\r\n");
  const auto messages = Named(events, "message");
  ASSERT_EQ(messages.size(), 1u) << Joined(events);
  EXPECT_EQ(Field(messages[0], "text"),
            u"Unable to update project file. Project file not found/p/P.dproj");
  EXPECT_THAT(Named(events, "project.addfile"), IsEmpty());
}

TEST_F(ExpertRequests, AReloadTakesTheFileIntoTheBufferAndLeavesItsBytesAndTime) {
  // Kestrune wrote the file in the ANSI code page. A unit alone is reloaded by the IDE; a unit
  // with a form takes the text through a writer (decoded to the editor's UTF-8), so that its
  // form is not reloaded. Either way the file keeps Kestrune's bytes and its last-write time.
  const std::string ansi = "unit A; // Gr\xF6\xDF"
                           "e\n";
  struct TCase {
    std::string Open, Change;
  };
  for (const TCase &c :
       {TCase{"", "\"how\":\"reload\""},
        TCase{" form", "\"how\":\"writer\",\"bytes\":" + std::to_string(ansi.size() + 2)}}) {
    test::WriteFileBytes(Unit, ansi);
    const TFileTime old{1000000000, 5};
    ASSERT_TRUE(FileSetLastWriteTime(Utf8ToString(Unit), old));
    const auto events =
        RunIDE("open " + Quoted(Unit) + c.Open + "\nrequest 1026 " + Quoted(Unit) + "\n");
    const auto changes = Named(events, "buffer.change");
    ASSERT_EQ(changes.size(), 1u) << Joined(events);
    EXPECT_THAT(changes[0], HasSubstr(c.Change));
    const auto saves = Named(events, "module.save");
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_THAT(saves[0], HasSubstr("\"written\":true"));
    EXPECT_EQ(test::ReadFileBytes(Unit), ansi);
    TFileTime now;
    ASSERT_TRUE(FileGetLastWriteTime(Utf8ToString(Unit), now));
    EXPECT_EQ(now, old);
  }
}

// "UNIT1.pas" is another file than the user's open "Unit1.pas": a reload for it leaves the
// user's unit alone, a jump shows it, an update adds it to a project that holds "Unit1.pas".
TEST_F(ExpertRequests, ARequestReachesOnlyTheFileOfItsExactName) {
  const std::string user = (Dir / "Unit1.pas").string(), other = (Dir / "UNIT1.pas").string();
  test::WriteFileBytes(user, kUnit);
  test::WriteFileBytes(other, "unit UNIT1;\ninterface\nimplementation\nend.\n");
  test::WriteFileBytes(Dir / "update.xml", "<Files language=\"Object Pascal\"><File "
                                           "operation=\"add\" name=\"" +
                                               other + "\"/></Files>");
  const auto events =
      RunIDE("project " + Quoted((Dir / "P.dproj").string()) + " Delphi.Personality Application " +
             Quoted(user) + "\nopen " + Quoted(user) + "\nrequest 1026 " + Quoted(other) +
             "\nrequest 1034 " + Quoted((Dir / "update.xml").string()) + "\nrequest 1032 " +
             Quoted(other) + " 2 1\n");
  EXPECT_THAT(Named(events, "buffer.change"), IsEmpty()) << Joined(events);
  EXPECT_THAT(Named(events, "module.save"), IsEmpty());
  EXPECT_EQ(test::ReadFileBytes(user), kUnit);
  const auto added = Named(events, "project.addfile");
  ASSERT_EQ(added.size(), 1u) << Joined(events);
  EXPECT_EQ(Field(added[0], "file"), Utf8ToString(other));
  const auto cursors = Named(events, "view.cursor");
  ASSERT_EQ(cursors.size(), 1u);
  EXPECT_EQ(Field(cursors[0], "file"), Utf8ToString(other));
}

// Kestrune writes a unit in bursts and sends 1026 after each write. A second write landing at
// any moment of the first reload (1 MB with a byte-order mark, so that the reload puts
// Kestrune's bytes back after its save) keeps its bytes and its time.
TEST_F(ExpertRequests, ASecondWriteDuringAReloadIsNeverUndone) {
  namespace fs = std::filesystem;
  const std::string unit = (Dir / "Burst.pas").string(),
                    standin = test::ToolPath("kestrune-standin").string();
  const auto version = [](int k) {
    return "\xEF\xBB\xBF" + kUnit + "{" + std::string((1 << 20) + 13 * k, 'x') + "}\n";
  };
  // As a careful writer writes: beside the file, then renamed over it. The time it was written.
  const auto write = [&](const std::string &bytes) {
    test::WriteFileBytes(Dir / "next.tmp", bytes);
    TFileTime time;
    FileGetLastWriteTime(Dir.Str("next.tmp"), time);
    fs::rename(Dir / "next.tmp", unit);
    return time;
  };
  const auto send = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {standin, "--send"});
    EXPECT_EQ(test::RunTool(args, Dir.Path(), 20s), 1) << args[2];
  };
  write(version(0));
  test::WriteFileBytes(Dir / "burst.ide", "open " + Quoted(unit) + "\npump 60000\n");
  test::TChildProcess ide(
      {kIDE, "--plugin", KRX_PLUGIN_FILE, "--script", (Dir / "burst.ide").string()},
      Dir / "ide.out", Dir / "ide.err");
  const auto events = [&](const std::string &name) {
    return Named(test::Lines(ide.Output()), name);
  };
  // Each trial ends with a 1032, whose cursor event shows that the reloads before it ran.
  std::size_t shown = 0;
  const auto showAndWait = [&] {
    send({"1032", unit, "1", "1"});
    ++shown;
    for (int i = 0; i < 2000 && events("view.cursor").size() < shown; ++i)
      std::this_thread::sleep_for(10ms);
  };
  for (int i = 0; i < 3000 && events("file.open").empty(); ++i)
    std::this_thread::sleep_for(10ms);
  // How long a reload takes to be sent and done: the second write lands anywhere in it.
  const auto start = std::chrono::steady_clock::now();
  send({"1026", unit});
  showAndWait();
  const auto span = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  std::mt19937 random(20240611);
  int lost = 0;
  for (int trial = 1; trial <= 24; ++trial) {
    write(version(2 * trial));
    const std::string second = version(2 * trial + 1);
    TFileTime written;
    std::thread kestrune([&, delay = random() % span.count()] {
      std::this_thread::sleep_for(std::chrono::microseconds(delay));
      written = write(second);
    });
    send({"1026", unit});
    kestrune.join();
    send({"1026", unit});
    showAndWait();
    TFileTime now;
    FileGetLastWriteTime(Utf8ToString(unit), now);
    // The file as Kestrune wrote it last, and the editor showing it.
    const auto changes = events("buffer.change");
    lost += test::ReadFileBytes(unit) != second || !(now == written) || changes.empty() ||
            !changes.back().ends_with("\"bytes\":" + std::to_string(second.size() - 3) + "}");
  }
  EXPECT_EQ(lost, 0) << "of 24 trials";

  EXPECT_THAT(events("message"), IsEmpty());
}

// A reload that did not take the new text saves nothing: the editor's old text would go over
// the file Kestrune wrote. A FIFO in the unit's place, or a file past the read bound.
TEST_F(ExpertRequests, AReloadThatCannotTakeTheNewFileLeavesItAndSaysWhy) {
  namespace fs = std::filesystem;
  // What comes in the unit's place: a FIFO, or a file past the read bound (sparse).
  const auto fifo = [&] { test::MakeFifo(Dir / "new.pas"); };
  const auto big = [&] {
    test::WriteFileBytes(Dir / "new.pas", kUnit);
    fs::resize_file(Dir / "new.pas", MaxReadFileSize + 1);
  };
  const struct TCase {
    std::string Open, Why;
    std::function<void()> Prepare;
  } cases[] = {{"", "it is not a regular file", fifo},
               {"", "it is larger than 64 MB", big},
               {" form", "it is larger than 64 MB", big}};
  for (const TCase &c : cases) {
    test::WriteFileBytes(Unit, kUnit);
    c.Prepare();
    const auto events =
        RunIDE("open " + Quoted(Unit) + c.Open + "\nmove " + Quoted((Dir / "new.pas").string()) +
               " " + Quoted(Unit) + "\nrequest 1026 " + Quoted(Unit) + "\n");
    EXPECT_THAT(Named(events, "module.save"), IsEmpty()) << Joined(events);
    EXPECT_THAT(Named(events, "buffer.change"), IsEmpty());
    const auto messages = Named(events, "message");
    ASSERT_EQ(messages.size(), 1u) << Joined(events);
    EXPECT_EQ(Field(messages[0], "text"),
              u"The file \"" + Utf8ToString(Unit) + u"\" was not reloaded: " + Utf8ToString(c.Why) +
                  u". The editor keeps its text, and the file is left as it is.");
    EXPECT_TRUE(c.Why == "it is not a regular file"
                    ? fs::is_fifo(Unit)
                    : fs::file_size(Unit) == std::uintmax_t(MaxReadFileSize + 1))
        << c.Why;
    fs::remove(Unit);
  }
}

// Kestrune's file could not be read at first (a FIFO in its place) but was whole when the IDE
// reloaded it: what the IDE then saved stands, and nothing is put back over it.
TEST_F(ExpertRequests, AFileUnreadableAtFirstButReloadedKeepsWhatTheIDESaved) {
  const std::string newer = "unit A; // newer\n", next = (Dir / "new.pas").string();
  test::WriteFileBytes(next, newer);
  test::MakeFifo(Dir / "fifo");
  const auto events = RunIDE("open " + Quoted(Unit) + "\nmove " + Quoted((Dir / "fifo").string()) +
                             " " + Quoted(Unit) + "\nonreload move " + Quoted(next) + " " +
                             Quoted(Unit) + "\nrequest 1026 " + Quoted(Unit) + "\n");
  ASSERT_EQ(Named(events, "module.save").size(), 1u) << Joined(events);
  EXPECT_EQ(test::ReadFileBytes(Unit), newer);
}

// Kestrune may name any path for an answer: only a new file or an earlier answer takes it.
// Anything else stays as it was: the unit open in the editor, a file of blank lines, a file
// holding an answer's section beside another one, a FIFO, a folder, a device, a link that
// leads nowhere or to itself.
TEST_F(ExpertRequests, AnAnswerNamedAtAnythingButAnEarlierAnswerLeavesItAndSaysWhy) {
  namespace fs = std::filesystem;
  const std::pair<std::string, std::string> users[] = {
      {(Dir / ".gitignore").string(), "\n\n"},
      {(Dir / "mixed.ini").string(), "[Options]\r\nA=1\r\n[EditorFiles]\r\nFileCount=0\r\n"}};
  for (const auto &[name, bytes] : users)
    test::WriteFileBytes(name, bytes);
  test::MakeFifo(Dir / "fifo");
  fs::create_directory(Dir / "folder");
  fs::create_symlink("/dev/null", Dir / "device");
  fs::create_symlink("missing.ini", Dir / "dangling");
  fs::create_symlink("loop", Dir / "loop");
  const std::pair<std::string, std::string> cases[] = {
      {Unit, "holds something other than an earlier answer"},
      {users[0].first, "holds something other than an earlier answer"},
      {users[1].first, "holds something other than an earlier answer"},
      {(Dir / "fifo").string(), "is not a regular file (a FIFO, device or socket)"},
      {(Dir / "folder").string(), "is a folder"},
      {(Dir / "device").string(), "is not a regular file (a FIFO, device or socket)"},
      {(Dir / "dangling").string(), "is a link that does not resolve"},
      {(Dir / "loop").string(), "is a link that does not resolve"}};
  std::string script = "project " + Dir.Path().string() +
                       "/P.dproj Delphi.Personality Application " + Quoted(Unit) + "\nopen " +
                       Quoted(Unit) + "\n";
  for (const auto &[name, why] : cases)
    script += "request 1030 " + Quoted(name) + "\nrequest 1033 " + Quoted(name) + "\n";
  const auto messages = Named(RunIDE(script), "message");
  ASSERT_EQ(messages.size(), 2 * std::size(cases)) << Joined(messages);
  for (std::size_t i = 0; i < std::size(cases); ++i)
    for (std::size_t request = 0; request < 2; ++request)
      EXPECT_EQ(Field(messages[2 * i + request], "text"),
                Utf8ToString("The transfer file \"" + cases[i].first + "\" " + cases[i].second +
                             "; it is left as it is."));
  EXPECT_EQ(test::ReadFileBytes(Unit), kUnit);
  for (const auto &[name, bytes] : users)
    EXPECT_EQ(test::ReadFileBytes(name), bytes) << name;
  EXPECT_TRUE(fs::is_fifo(Dir / "fifo"));
  EXPECT_TRUE(fs::is_empty(Dir / "folder"));
  EXPECT_EQ(fs::read_symlink(Dir / "device"), "/dev/null");
  EXPECT_EQ(fs::read_symlink(Dir / "dangling"), "missing.ini");
  EXPECT_EQ(fs::read_symlink(Dir / "loop"), "loop");
  EXPECT_FALSE(fs::exists(Dir / "missing.ini"));
}

// A list that cannot be written (a name in the project holds a line break) is refused, and
// the answer is still marked ready, so that Kestrune does not wait for it.
TEST_F(ExpertRequests, AListThatCannotBeWrittenStillMarksTheAnswerReady) {
  const std::string transfer = (Dir / "files.ini").string();
  const auto messages = Named(RunIDE("project /p/P.dproj Delphi.Personality Application "
                                     "\"/p/a\rb.pas\"\nrequest 1030 " +
                                     Quoted(transfer) + "\n"),
                              "message");
  ASSERT_EQ(messages.size(), 1u) << Joined(messages);
  EXPECT_THAT(StringToUtf8(Field(messages[0], "text")),
              HasSubstr("\"/p/a#13b.pas\" holds a line break"));
  EXPECT_EQ(test::ReadFileBytes(transfer), "\xEF\xBB\xBF\r\n[ProjectFiles]\r\nFileCount=0\r\n\r\n"
                                           "[TransferControl]\r\nTransferReady=1\r\n\r\n");
}

// A name with a line break would make every later answer listing the project's files fail.
TEST_F(ExpertRequests, AnUpdateRefusesNamesWithLineBreaksAndTheProjectStaysListable) {
  const std::string d = Dir.Path().string(), transfer = (Dir / "files.ini").string();
  // Five names with line breaks, then a sixth: a message names five at most.
  std::string refused = "<File operation=\"add\" name=\"/x/b&#10;c.pas\"/>"
                        "<File operation=\"rename\" name=\"/x/r.pas\" newname=\"/x/d&#13;.pas\"/>";
  for (const char *name : {"f", "g", "h"})
    refused += "<File operation=\"add\" name=\"/x/" + std::string(name) + "&#10;.pas\"/>";
  const std::string a = "<File operation=\"add\" name=\"/x/a.pas\"/>",
                    e = "<File operation=\"add\" name=\"/x/e.pas\"/>";
  test::WriteFileBytes(Dir / "five.xml",
                       "<Files language=\"Object Pascal\">" + a + refused + e + "</Files>");
  test::WriteFileBytes(Dir / "six.xml", "<Files language=\"Object Pascal\">" + a + refused +
                                            "<File operation=\"add\" name=\"/x/i&#10;.pas\"/>" + e +
                                            "</Files>");
  // The second project, made active, holds none of the names the first one took.
  const auto events = RunIDE(
      "project " + d + "/P.dproj Delphi.Personality Application\nrequest 1034 " +
      Quoted(d + "/five.xml") + "\nproject " + d + "/Q.dproj Delphi.Personality Application\n" +
      "request 1034 " + Quoted(d + "/six.xml") + "\nrequest 1030 " + Quoted(transfer) + "\n");
  std::vector<String> added;
  for (const std::string &line : Named(events, "project.addfile"))
    added.push_back(Field(line, "file"));
  EXPECT_EQ(added, (std::vector<String>{u"/x/a.pas", u"/x/e.pas", u"/x/a.pas", u"/x/e.pas"}))
      << Joined(events);
  const auto messages = Named(events, "message");
  ASSERT_EQ(messages.size(), 2u) << Joined(events);
  const String names = u"\"/x/b#10c.pas\", \"/x/d#13.pas\", \"/x/f#10.pas\", \"/x/g#10.pas\", "
                       u"\"/x/h#10.pas\"";
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(Field(messages[i], "text"),
              u"Not added to the project \"" + Utf8ToString(d) + (i == 0 ? u"/P" : u"/Q") +
                  u".dproj\" (a file name must not hold a line break): " + names +
                  (i == 0 ? u"" : u" and 1 more."));
  EXPECT_THAT(test::ReadFileBytes(transfer), HasSubstr("FileCount=2\r\nFile_0=/x/a.pas\r\n"
                                                       "File_1=/x/e.pas\r\n\r\n"
                                                       "[TransferControl]\r\nTransferReady=1"));
}

// Malformed calls from Kestrune are refused in words that name the request; no internal
// check, and with it no build path, reaches the user.
TEST_F(ExpertRequests, AMalformedRequestIsRefusedNamingTheRequestAndTheFault) {
  std::string script;
  for (int id = 1026; id <= 1034; ++id)
    script += "request-text " + std::to_string(id) + " \"\"\n";
  script += "request-text 1032 \"x.pas,one,2\"\nrequest-text 1031 7x\n";
  const auto messages = Named(RunIDE(script), "message");
  ASSERT_EQ(messages.size(), 11u) << Joined(messages);
  const char *const names[] = {
      "ReloadFile",   "ShowHelp", "JumpToLocation",     "OpenFile",          "RequestProjectFiles",
      "BuildProject", "GotoLine", "RequestEditorFiles", "UpdateProjectFiles"};
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(StringToUtf8(Field(messages[i], "text"))
                  .rfind("Kestrune's request " + std::to_string(1026 + i) + " (" + names[i] +
                             ") is refused: it takes ",
                         0),
              0u)
        << messages[i];
  EXPECT_EQ(Field(messages[9], "text"),
            u"Kestrune's request 1032 (GotoLine) is refused: its Line \"one\" is not a number.");
  EXPECT_EQ(Field(messages[10], "text"),
            u"Kestrune's request 1031 (BuildProject) is refused: its Mode \"7x\" is not a number.");
  for (const std::string &m : messages)
    EXPECT_THAT(m, Not(HasSubstr(KRX_SOURCE_DIR)));
}

// A name the file system cannot take exactly is refused, naming the request, and never
// carried as another name: two transfer names that differ only in their unpaired surrogates
// would land in the one file that a substitute character names, and an open request would
// open that file.
TEST_F(ExpertRequests, ANameWithoutAnExactFormIsRefusedNamingTheRequest) {
  namespace fs = std::filesystem;
  const std::string d = Dir.Path().string();
  test::WriteFileBytes(d + "/u\xEF\xBF\xBD.pas", kUnit); // the name with U+FFFD
  const auto events = RunIDE("request 1030 " + Quoted(d + "/a\xED\xA0\x80.ini") +
                             "\nrequest 1033 " + Quoted(d + "/a\xED\xB0\x80.ini") +
                             "\nrequest 1029 " + Quoted(d + "/u\xED\xA0\x80.pas") + "\n");
  const auto messages = Named(events, "message");
  ASSERT_EQ(messages.size(), 3u) << Joined(events);
  const String dir = Utf8ToString(d);
  const std::pair<const char16_t *, String> refused[] = {
      {u"1030 (RequestProjectFiles) is refused: its TransferFile", dir + u"/a\xD800.ini"},
      {u"1033 (RequestEditorFiles) is refused: its TransferFile", dir + u"/a\xDC00.ini"},
      {u"1029 (OpenFile) is refused: its FileName", dir + u"/u\xD800.pas"}};
  for (std::size_t i = 0; i < std::size(refused); ++i)
    EXPECT_EQ(Field(messages[i], "text"),
              u"Kestrune's request " + String(refused[i].first) + u" \"" + refused[i].second +
                  u"\" holds an unpaired surrogate (U+" + (i == 1 ? u"DC00" : u"D800") +
                  u"), which no file name on this system can hold.");
  EXPECT_FALSE(fs::exists(d + "/a\xEF\xBF\xBD.ini"));
  EXPECT_THAT(Named(events, "file.open"), IsEmpty());
}

// Requests with nothing to work on: no project, no modified buffer, a file not open, a file
// that does not exist.
TEST_F(ExpertRequests, RequestsWithNothingToWorkOnChangeNothing) {
  const std::string transfer = (Dir / "editor.ini").string();
  test::WriteFileBytes(Dir / "update.xml", "<Files language=\"Object Pascal\">"
                                           "<File operation=\"add\" name=\"/x/z.pas\"/></Files>");
  const auto events =
      RunIDE("request 1034 " + Quoted((Dir / "update.xml").string()) + "\nrequest 1033 " +
             Quoted(transfer) + "\nrequest 1026 " + Quoted(Unit) + "\nrequest 1028 " +
             Quoted((Dir / "missing.pas").string()) + " class TShape \"\" \"\"\n");
  const auto messages = Named(events, "message");
  ASSERT_EQ(messages.size(), 1u) << Joined(events);
  EXPECT_EQ(Field(messages[0], "text"), u"Unable to update project file. No active project");
  EXPECT_EQ(test::ReadFileBytes(transfer), "\xEF\xBB\xBF\r\n[EditorFiles]\r\nFileCount=0\r\n\r\n"
                                           "[TransferControl]\r\nTransferReady=1\r\n\r\n");
  for (const char *effect : {"project.addfile", "file.open", "buffer.change", "module.save",
                             "view.cursor", "foreground"})
    EXPECT_THAT(Named(events, effect), IsEmpty()) << effect;
  EXPECT_EQ(test::ReadFileBytes(Unit), kUnit);
}

// Line numbers from Kestrune at the ends of the integer range keep the cursor and the top
// line in range.
TEST_F(ExpertRequests, ALineAtTheEndsOfTheIntegerRangeIsShownWithoutOverflow) {
  const auto events = RunIDE("request 1032 " + Quoted(Unit) + " -2147483648 -2147483648\n" +
                             "request 1032 " + Quoted(Unit) + " 2147483647 7\n");
  const auto cursors = Named(events, "view.cursor");
  const auto tops = Named(events, "view.top");
  ASSERT_EQ(cursors.size(), 2u) << Joined(events);
  ASSERT_EQ(tops.size(), 2u);
  EXPECT_THAT(cursors[0], HasSubstr("\"line\":1,\"col\":1"));
  EXPECT_THAT(tops[0], HasSubstr("\"line\":1,"));
  EXPECT_THAT(cursors[1], HasSubstr("\"line\":2147483647,\"col\":7"));
  EXPECT_THAT(tops[1], HasSubstr("\"line\":2147483646,"));
}

// A FIFO where Kestrune names a file is not opened, and no request waits for a writer.
TEST_F(ExpertRequests, AFifoNamedAsAFileIsNotOpenedAndNothingWaits) {
  const std::string fifo = (Dir / "pipe.pas").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto events = RunIDE("request 1029 " + Quoted(fifo) + "\nrequest 1032 " + Quoted(fifo) +
                             " 1 1\nrequest 1028 " + Quoted(fifo) + " class TShape \"\" \"\"\n");
  EXPECT_THAT(Named(events, "file.open"), IsEmpty()) << Joined(events);
  EXPECT_THAT(Named(events, "view.cursor"), IsEmpty());
}

TEST_F(ExpertRequests, TheJumpLandsOnTheDeclarationInTheEditorsText) {
  // Kind, class, member, parameters; the cursor line and the top line that follow.
  struct TCase {
    std::string Args;
    int Line, Top;
  };
  const TCase cases[] = {
      // The implementation's header at the top, the cursor in its body.
      {"procedure TShape Draw \"X, Y: Integer\"", 29, 27},
      {"procedure TShape Draw \"Canvas: TObject\"", 25, 23},
      {"constructor tshape create \"\"", 20, 18},
      {"class TShape \"\" \"\"", 6, 6},
      {"field TShape FName \"\"", 8, 8},
      {"class TNoSuchClass \"\" \"\"", 1, 1},
  };
  // The jump reads the editor's text, not the file: the file on disk has moved on by three
  // lines since the unit was opened.
  test::WriteFileBytes(Dir / "moved.pas", "{ one }\n{ two }\n{ three }\n" + kUnit);
  std::string script = "open " + Quoted(Unit) + "\ncopy " + Quoted((Dir / "moved.pas").string()) +
                       " " + Quoted(Unit) + "\n";
  for (const TCase &c : cases)
    script += "request 1028 " + Quoted(Unit) + " " + c.Args + "\n";
  // An unusable request only brings the IDE to the front.
  script += "request 1028 " + Quoted(Unit) + " module TShape \"\" \"\"\n";
  const auto events = RunIDE(script);
  const auto cursors = Named(events, "view.cursor");
  const auto tops = Named(events, "view.top");
  ASSERT_EQ(cursors.size(), std::size(cases)) << Joined(events);
  ASSERT_EQ(tops.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_THAT(cursors[i], HasSubstr("\"line\":" + std::to_string(cases[i].Line) + ",\"col\":1"))
        << cases[i].Args;
    EXPECT_THAT(tops[i], HasSubstr("\"line\":" + std::to_string(cases[i].Top) + ","))
        << cases[i].Args;
  }
}

// The value of a field of an event line, as it stands (a string without its quotes).
std::string Raw(const std::string &line, const std::string &name) {
  const std::string key = "\"" + name + "\":";
  const std::size_t at = line.find(key);
  if (at == std::string::npos)
    return {};
  std::size_t from = at + key.size(), to = line.find_first_of(",}", from);
  if (line[from] == '"')
    to = line.find('"', ++from);
  return line.substr(from, to - from);
}

// The foreground calls (and editor focus events) a run made, one word each.
std::vector<std::string> ForegroundTrace(const std::vector<std::string> &events) {
  std::vector<std::string> trace;
  for (const std::string &e : events) {
    if (e.rfind("{\"event\":\"editor.focus\"", 0) == 0) {
      trace.push_back("focus");
    } else if (e.rfind("{\"event\":\"foreground\"", 0) == 0) {
      std::string word = Raw(e, "call");
      if (const std::string w = Raw(e, "window"); !w.empty())
        word += ":" + w;
      if (const std::string v = Raw(e, "value"); !v.empty())
        word += "=" + v;
      trace.push_back(word);
    }
  }
  return trace;
}

TEST_F(ExpertRequests, TheIDEComesToTheFrontByTheConfiguredMethod) {
  struct TCase {
    const char *Name;
    std::string Mode;
    bool Delayed, Focus;
    std::string Simulation; // foreground words before the request
    std::string Request;
    std::vector<std::string> Trace;
  };
  const std::vector<TCase> cases = {
      {"simulated click",
       "0",
       false,
       false,
       "reset",
       "1031 0",
       {"IsIconic:ide", "mouse_event", "mouse_event", "SetForegroundWindow:ide"}},
      {"plain, minimised, editor focused",
       "1",
       false,
       true,
       "reset iconic elsewhere",
       "1031 0",
       {"IsIconic:ide", "ShowWindow:ide", "IsIconic:ide", "GetForegroundWindow",
        "SetForegroundWindow:ide", "focus"}},
      {"attach thread",
       "2",
       false,
       false,
       "reset elsewhere",
       "1031 0",
       {"IsIconic:ide", "IsIconic:ide", "GetForegroundWindow", "GetForegroundWindow",
        "AttachThreadInput", "BringWindowToTop:ide", "SetForegroundWindow:ide", "AttachThreadInput",
        "GetForegroundWindow", "GetForegroundWindow"}},
      {"attach thread under the foreground lock",
       "2",
       false,
       false,
       "reset locked elsewhere",
       "1031 0",
       {"IsIconic:ide", "IsIconic:ide", "GetForegroundWindow", "GetForegroundWindow",
        "AttachThreadInput", "BringWindowToTop:ide", "SetForegroundWindow:ide", "AttachThreadInput",
        "GetForegroundWindow", "SystemParametersInfoW=0", "SystemParametersInfoW=0",
        "BringWindowToTop:ide", "SetForegroundWindow:ide", "SystemParametersInfoW=200000",
        "GetForegroundWindow"}},
      {"once more 10 ms later",
       "1",
       true,
       true,
       "reset elsewhere",
       "1029 " + Quoted(Unit),
       {"IsIconic:ide", "IsIconic:ide", "GetForegroundWindow", "SetForegroundWindow:ide", "focus",
        "focus", "IsIconic:ide", "IsIconic:ide", "GetForegroundWindow", "focus"}},
      {"without focusing the editor",
       "1",
       true,
       false,
       "reset elsewhere",
       "1027 x",
       {"IsIconic:ide", "IsIconic:ide", "GetForegroundWindow", "SetForegroundWindow:ide"}},
  };
  for (const TCase &c : cases) {
    WriteSettings([&](TRegistry &r) {
      r.WriteString(u"ForeGndMode", Utf8ToString(c.Mode));
      r.WriteBool(u"ForeGndDelayed", c.Delayed);
      r.WriteBool(u"ForeGndFocusEditor", c.Focus);
    });
    const auto events = RunIDE(
        "project " + Dir.Path().string() + "/P.dproj Delphi.Personality Application\nopen " +
        Quoted(Unit) + "\nforeground " + c.Simulation + "\nrequest " + c.Request + "\npump 300\n");
    EXPECT_EQ(ForegroundTrace(events), c.Trace) << c.Name << "\n" << Joined(events);
  }
}

// ---- Answers that cannot be written whole --------------------------------------------------

// An earlier answer's list in a transfer file, and that file as a request that wrote no list
// of its own leaves it: the count 0 with the mark, never the old list under the mark.
std::string EarlierAnswer(const std::string &section) {
  return "[" + section +
         "]\r\nFileCount=2\r\nFile_0=/old/a.pas\r\nFile_1=/old/b.pas\r\n"
         "[TransferControl]\r\nTransferReady=0\r\n";
}
std::string EarlierAnswerMarkedEmpty(const std::string &section) {
  return "\xEF\xBB\xBF\r\n[" + section +
         "]\r\nFileCount=0\r\nFile_0=/old/a.pas\r\n"
         "File_1=/old/b.pas\r\n\r\n[TransferControl]\r\nTransferReady=1\r\n\r\n";
}

// Names that every ini reader trims would come back as other names; a list that would pass
// the read bound could not take its mark.
TEST_F(ExpertRequests, AListThatCannotBeCarriedIsRefusedAndTheEarlierListIsNotMarked) {
  const std::string d = Dir.Path().string();
  const std::pair<std::string, std::string> names[] = {{"/blank.pas ", "/blank.pas "},
                                                       {"/tab.pas\t", "/tab.pas#9"},
                                                       {"/ctl.pas\x1F", "/ctl.pas#31"}};
  std::string script;
  for (std::size_t i = 0; i < std::size(names); ++i) {
    const std::string unit = d + names[i].first, transfer = d + "/t" + std::to_string(i);
    test::WriteFileBytes(unit, kUnit);
    test::WriteFileBytes(transfer, EarlierAnswer("EditorFiles"));
    script += "open " + Quoted(unit) + "\ntype x\nrequest 1033 " + Quoted(transfer) + "\nsave " +
              Quoted(unit) + "\n";
  }
  // An earlier answer 40 bytes under the bound, which the list would push past it (in lines
  // of 1 KB, which cost the reader less than one line of 64 MB).
  const std::string big = d + "/big";
  std::string earlier = "[TransferControl]\r\nTransferReady=0\r\n[EditorFiles]\r\n";
  const std::size_t size = static_cast<std::size_t>(MaxReadFileSize) - 40;
  for (int i = 0; earlier.size() + 1100 < size; ++i)
    earlier += "Old_" + std::to_string(i) + "=" + std::string(1000, 'x') + "\r\n";
  earlier += "Pad=" + std::string(size - earlier.size() - 6, 'y') + "\r\n";
  test::WriteFileBytes(big, earlier);
  script += "open " + Quoted(Unit) + "\ntype x\nrequest 1033 " + Quoted(big) + "\n";

  const auto messages = Named(RunIDE(script), "message");
  ASSERT_EQ(messages.size(), std::size(names) + 1) << Joined(messages);
  for (std::size_t i = 0; i < std::size(names); ++i) {
    const std::string transfer = d + "/t" + std::to_string(i);
    EXPECT_EQ(StringToUtf8(Field(messages[i], "text")),
              "The file name \"" + d + names[i].second +
                  "\" begins or ends with a blank or control character and cannot be written "
                  "to \"" +
                  transfer + "\"");
    EXPECT_EQ(test::ReadFileBytes(transfer), EarlierAnswerMarkedEmpty("EditorFiles")) << i;
  }
  EXPECT_EQ(StringToUtf8(Field(messages.back(), "text")),
            "The list of 1 files would make the transfer file \"" + big +
                "\" larger than 64 MB; it is not written, and the answer lists no files.");
  const std::string bytes = test::ReadFileBytes(big);
  EXPECT_LT(bytes.size(), static_cast<std::size_t>(MaxReadFileSize));
  const std::string marked = "\xEF\xBB\xBF\r\n[TransferControl]\r\nTransferReady=1\r\n\r\n";
  EXPECT_EQ(bytes.substr(0, marked.size()), marked);
  EXPECT_EQ(bytes.substr(bytes.size() - 17), "\r\nFileCount=0\r\n\r\n");
}

// A full disk, as a limit on the size of the files the IDE writes (SIGXFSZ ignored, so writes
// past it fail with EFBIG): the long list cannot be written, the short mark can.
TEST_F(ExpertRequests, AFullDiskNeverLeavesAnEarlierListMarkedReady) {
  const std::string d = Dir.Path().string(), transfer = d + "/files.ini";
  test::WriteFileBytes(transfer, EarlierAnswer("ProjectFiles"));
  std::string project = "project " + d + "/P.dproj Delphi.Personality Application";
  for (int i = 0; i < 400; ++i)
    project +=
        " " + d + "/unit_with_a_name_long_enough_to_fill_the_disk_" + std::to_string(i) + ".pas";
  const auto messages =
      Named(RunIDE(project + "\nrequest 1030 " + Quoted(transfer) + "\n",
                   {"/bin/sh", "-c", "trap '' XFSZ; exec prlimit --fsize=16384 -- \"$@\"", "sh"}),
            "message");
  ASSERT_EQ(messages.size(), 1u) << Joined(messages);
  EXPECT_EQ(Field(messages[0], "text"), Utf8ToString("Cannot write file \"" + transfer + "\". ") +
                                            SysErrorMessage(EFBIG) +
                                            u" The file is left as it was.");
  EXPECT_EQ(test::ReadFileBytes(transfer), EarlierAnswerMarkedEmpty("ProjectFiles"));
}

// Where the folder takes no new file, the answer can only be rewritten in place, and a file
// of several names would change under the user's other name too. Permissions bind the host
// (as root it runs as "nobody").
TEST_F(ExpertRequests, AnAnswerFileWithAnotherNameIsNotRewrittenInPlace) {
  namespace fs = std::filesystem;
  fs::create_directory(Dir / "locked");
  const std::string transfer = (Dir / "locked" / "files.ini").string();
  test::WriteFileBytes(transfer, EarlierAnswer("EditorFiles"));
  fs::permissions(transfer, fs::perms(0666));
  fs::create_hard_link(transfer, Dir / "users.ini");
  bool ok = false;
  const std::vector<std::string> unprivileged = test::UnprivilegedCommand(Dir.Path(), ok);
  ASSERT_TRUE(ok);
  fs::permissions(Dir / "locked", fs::perms(0555));
  const auto messages =
      Named(RunIDE("open " + Quoted(Unit) + "\ntype x\nrequest 1033 " + Quoted(transfer) + "\n",
                   unprivileged),
            "message");
  ASSERT_EQ(messages.size(), 1u) << Joined(messages);
  EXPECT_EQ(StringToUtf8(Field(messages[0], "text")),
            "Cannot write file \"" + transfer +
                "\". It has another name (a hard link) that a rewrite would change too, and its "
                "folder takes no new file; it is left as it is.");
  EXPECT_EQ(test::ReadFileBytes(Dir / "users.ini"), EarlierAnswer("EditorFiles"));
}

// Temporary files have one length beside every file: a name of 255 bytes and a path just
// under the length limit get whole answers, and a unit of such a name is saved and reloaded.
TEST_F(ExpertRequests, NamesAndPathsAtTheLengthLimitsGetWholeAnswersAndSaves) {
  namespace fs = std::filesystem;
  const std::string unit = (Dir / (std::string(251, 'u') + ".pas")).string();
  test::WriteFileBytes(unit, kUnit);
  const std::string kestrunes = "unit Rewritten;\ninterface\nimplementation\nend.\n";
  test::WriteFileBytes(Dir / "kestrune.pas", kestrunes);
  const std::string named = (Dir / std::string(255, 't')).string();
  fs::path deep = Dir.Path();
  while (deep.string().size() + 201 < 4080)
    deep /= std::string(200, 'd');
  fs::create_directories(deep);
  const std::string nested = (deep / std::string(4089 - deep.string().size(), 't')).string();
  ASSERT_EQ(nested.size(), 4090u); // the limit is 4095 bytes
  const auto events =
      RunIDE("project " + Dir.Path().string() + "/P.dproj Delphi.Personality Application " +
             Quoted(unit) + "\nopen " + Quoted(unit) + "\ntype x\nrequest 1033 " + Quoted(named) +
             "\nrequest 1030 " + Quoted(nested) + "\nsave " + Quoted(unit) + "\ncopy " +
             Quoted((Dir / "kestrune.pas").string()) + " " + Quoted(unit) + "\nrequest 1026 " +
             Quoted(unit) + "\n");
  const auto answer = [&](const std::string &section) {
    return "\xEF\xBB\xBF\r\n[" + section + "]\r\nFileCount=1\r\nFile_0=" + unit +
           "\r\n\r\n[TransferControl]\r\nTransferReady=1\r\n\r\n";
  };
  EXPECT_EQ(test::ReadFileBytes(named), answer("EditorFiles"));
  EXPECT_EQ(test::ReadFileBytes(nested), answer("ProjectFiles"));
  const auto saves = Named(events, "module.save");
  ASSERT_EQ(saves.size(), 2u) << Joined(events);
  for (const std::string &save : saves)
    EXPECT_THAT(save, HasSubstr("\"written\":true")) << save;
  EXPECT_EQ(test::ReadFileBytes(unit), kestrunes);
  EXPECT_THAT(Named(events, "message"), IsEmpty());
}

} // namespace
} // namespace krx
