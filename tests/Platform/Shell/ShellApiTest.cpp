#include "Platform/Shell/ShellApi.h"
#include "support/KrxTest.h"

#include <chrono>
#include <thread>

namespace krx {
namespace {

using test::EnvGuard;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

String Folder(int csidl, HRESULT *result = nullptr) {
  String path;
  HRESULT hr = SHGetFolderPathW(0, csidl, 0, SHGFP_TYPE_CURRENT, path);
  if (result)
    *result = hr;
  return path;
}

String U(const std::filesystem::path &p) { return Utf8ToString(p.string()); }

TEST(SpecialFolders, ReRootedBelowTheShellRoot) {
  TempDir root;
  EnvGuard env("KRX_SHELL_ROOT", root.Path().string() + "/");
  EXPECT_EQ(Folder(CSIDL_APPDATA), U(root.Path() / "AppData" / "Roaming"));
  EXPECT_EQ(Folder(CSIDL_LOCAL_APPDATA), U(root.Path() / "AppData" / "Local"));
  EXPECT_EQ(Folder(CSIDL_PROGRAM_FILES), U(root.Path() / "Program Files"));
  EXPECT_FALSE(std::filesystem::exists(root.Path() / "AppData"));
  EXPECT_EQ(Folder(CSIDL_APPDATA | CSIDL_FLAG_CREATE), U(root.Path() / "AppData" / "Roaming"));
  EXPECT_TRUE(std::filesystem::is_directory(root.Path() / "AppData" / "Roaming"));

  HRESULT hr = S_OK;
  EXPECT_EQ(Folder(0x0005 /* My Documents */, &hr), u"");
  EXPECT_EQ(hr, E_INVALIDARG);
  // A root whose name is not UTF-8 has no exact text: no folder rather than another one.
  EnvGuard bad("KRX_SHELL_ROOT", root.Path().string() + "/bad\xFF");
  EXPECT_EQ(Folder(CSIDL_APPDATA, &hr), u"");
  EXPECT_EQ(hr, E_FAIL);
}

TEST(SpecialFolders, XdgDefaults) {
  TempDir home;
  EnvGuard noRoot("KRX_SHELL_ROOT", "");
  EnvGuard homeEnv("HOME", home.Path().string());
  {
    EnvGuard config("XDG_CONFIG_HOME", "/xdg/config/");
    EnvGuard data("XDG_DATA_HOME", "/xdg/data");
    EXPECT_EQ(Folder(CSIDL_APPDATA), u"/xdg/config");
    EXPECT_EQ(Folder(CSIDL_LOCAL_APPDATA), u"/xdg/data");
    EXPECT_EQ(Folder(CSIDL_PROGRAM_FILES), u"/opt");
  }
  // Relative XDG values are not valid and fall back to the home folder.
  EnvGuard config("XDG_CONFIG_HOME", "relative/dir");
  EnvGuard data("XDG_DATA_HOME", "");
  EXPECT_EQ(Folder(CSIDL_APPDATA), U(home.Path() / ".config"));
  EXPECT_EQ(Folder(CSIDL_LOCAL_APPDATA), U(home.Path() / ".local" / "share"));
}

TEST(SpecialFolders, FixedBufferOfMaxPath) {
  TempDir root;
  Char buffer[MAX_PATH];
  {
    EnvGuard env("KRX_SHELL_ROOT", root.Path().string());
    ASSERT_EQ(SHGetFolderPathW(0, CSIDL_LOCAL_APPDATA, 0, 0, buffer), S_OK);
    EXPECT_EQ(String(buffer), U(root.Path() / "AppData" / "Local"));
  }
  EnvGuard env("KRX_SHELL_ROOT", "/" + std::string(300, 'x'));
  EXPECT_EQ(SHGetFolderPathW(0, CSIDL_APPDATA, 0, 0, buffer),
            HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
  EXPECT_EQ(buffer[0], 0);
}

// ---- ShellExecuteW ------------------------------------------------------------------------

class HookGuard {
public:
  explicit HookGuard(TShellExecuteHook hook) : FOld(SetShellExecuteHook(std::move(hook))) {}
  ~HookGuard() { SetShellExecuteHook(std::move(FOld)); }

private:
  TShellExecuteHook FOld;
};

TEST(ShellExecute, AHookRecordsTheCallsAndAnswers) {
  std::vector<TShellExecuteRequest> calls;
  {
    HookGuard hook([&](const TShellExecuteRequest &r) {
      calls.push_back(r);
      return static_cast<HINSTANCE>(calls.size() == 1 ? 42 : SE_ERR_NOASSOC);
    });
    EXPECT_EQ(ShellExecuteW(0, nullptr, u"/opt/dexplore.exe", u"/helpcol ms-help://x", nullptr, 1),
              42u);
    EXPECT_EQ(ShellExecuteW(0, u"print", u"doc.txt", nullptr, u"/tmp", 0),
              static_cast<HINSTANCE>(SE_ERR_NOASSOC));
  }
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].Operation, u"");
  EXPECT_EQ(calls[0].File, u"/opt/dexplore.exe");
  EXPECT_EQ(calls[0].Parameters, u"/helpcol ms-help://x");
  EXPECT_EQ(calls[0].ShowCmd, 1);
  EXPECT_EQ(calls[1].Operation, u"print");
  EXPECT_EQ(calls[1].Directory, u"/tmp");
  // Without the hook the real shell answers again.
  EXPECT_EQ(ShellExecuteW(0, u"print", u"doc.txt", nullptr, nullptr, 0),
            static_cast<HINSTANCE>(SE_ERR_NOASSOC));
}

void MakeScript(const std::filesystem::path &p, const std::string &body) {
  WriteFileBytes(p, "#!/bin/sh\n" + body);
  std::filesystem::permissions(p, std::filesystem::perms::owner_all);
}

// Waits (bounded) for a file that a started program writes.
std::string AwaitFile(const std::filesystem::path &p) {
  for (int i = 0; i < 1000 && !std::filesystem::exists(p); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return ReadFileBytes(p);
}

TEST(ShellExecute, StartsAProgramWithSplitArgumentsInItsFolder) {
  TempDir dir;
  std::filesystem::create_directory(dir / "work");
  MakeScript(dir / "prog", "for a in \"$@\"; do printf '<%s>\\n' \"$a\"; done > args.tmp\n"
                           "mv args.tmp args.txt\n");
  HINSTANCE r = ShellExecuteW(0, u"open", dir.Str("prog").c_str(),
                              u"a  \"b c\" d\\\"e \"\" f\\\\g \"say \"\"hi\"\"\"",
                              dir.Str("work").c_str(), 1);
  ASSERT_GT(r, 32u);
  EXPECT_EQ(AwaitFile(dir / "work" / "args.txt"),
            "<a>\n<b c>\n<d\"e>\n<>\n<f\\\\g>\n<say \"hi\">\n");
}

TEST(ShellExecute, FindsProgramsOnThePath) {
  TempDir dir;
  MakeScript(dir / "krx-test-tool", "pwd > \"$1\"\n");
  EnvGuard path("PATH", dir.Path().string() + ":/usr/bin:/bin");
  const std::string out = (dir / "out.txt").string();
  HINSTANCE r = ShellExecuteW(0, nullptr, u"krx-test-tool", Utf8ToString(out).c_str(), nullptr, 1);
  ASSERT_GT(r, 32u);
  EXPECT_FALSE(AwaitFile(out).empty());
}

TEST(ShellExecute, OpensDocumentsWithTheDesktopOpener) {
  TempDir dir;
  WriteFileBytes(dir / "readme.txt", "text");
  std::filesystem::create_directory(dir / "bin");
  MakeScript(dir / "bin" / "xdg-open",
             "printf '%s' \"$1\" > \"" + (dir / "opened").string() + "\"\n");
  {
    EnvGuard path("PATH", (dir / "bin").string() + ":/usr/bin:/bin");
    ASSERT_GT(ShellExecuteW(0, nullptr, dir.Str("readme.txt").c_str(), nullptr, nullptr, 1), 32u);
    EXPECT_EQ(AwaitFile(dir / "opened"), (dir / "readme.txt").string());
    std::filesystem::remove(dir / "opened");
    ASSERT_GT(ShellExecuteW(0, u"open", u"ms-help://embarcadero.rs_xe9", nullptr, nullptr, 1), 32u);
    EXPECT_EQ(AwaitFile(dir / "opened"), "ms-help://embarcadero.rs_xe9");
  }
  // Without an opener a document has no association.
  EnvGuard path("PATH", (dir / "nothing").string());
  EXPECT_EQ(ShellExecuteW(0, nullptr, dir.Str("readme.txt").c_str(), nullptr, nullptr, 1),
            static_cast<HINSTANCE>(SE_ERR_NOASSOC));
}

TEST(ShellExecute, ErrorResults) {
  TempDir dir;
  MakeScript(dir / "ok", "exit 0\n");
  WriteFileBytes(dir / "garbage", std::string("\x7f"
                                              "ELF garbage",
                                              12));
  std::filesystem::permissions(dir / "garbage", std::filesystem::perms::owner_all);
  auto run = [](const String &file, const Char *op = nullptr, const Char *folder = nullptr) {
    return static_cast<int>(ShellExecuteW(0, op, file.c_str(), nullptr, folder, 1));
  };
  EXPECT_EQ(run(dir.Str("missing")), SE_ERR_FNF);
  EXPECT_EQ(run(dir.Str("missing/prog")), SE_ERR_PNF);
  EXPECT_EQ(run(u"krx-no-such-program-anywhere"), SE_ERR_FNF);
  EXPECT_EQ(run(u""), SE_ERR_FNF);
  EXPECT_EQ(run(dir.Str("ok"), u"print"), SE_ERR_NOASSOC);
  EXPECT_EQ(run(dir.Str("ok"), u"explore"), SE_ERR_NOASSOC);
  EXPECT_EQ(run(dir.Str("ok"), nullptr, dir.Str("no-folder").c_str()), SE_ERR_PNF);
  EXPECT_EQ(run(dir.Str("garbage")), static_cast<int>(ERROR_BAD_FORMAT));
  // A name without an exact form does not start the program a substitute would name.
  MakeScript(dir / "ok\xEF\xBF\xBD", "exit 0\n");
  EXPECT_EQ(run(dir.Str("ok") + u"\xD800"), SE_ERR_FNF);
  EXPECT_GT(run(dir.Str("ok"), u"OPEN", dir.Str().c_str()), 32);
}

} // namespace
} // namespace krx
