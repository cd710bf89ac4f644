#include "Platform/Registry/Registry.h"
#include "Platform/Registry/RegistryHive.h"
#include "Platform/Rtl/Classes.h"
#include "Platform/Rtl/Encoding.h"
#include "Platform/Rtl/Files.h"
#include "support/KrxTest.h"

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace krx {
namespace {

using test::EnvGuard;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class RegistryTest : public ::testing::Test {
protected:
  TempDir Dir;
  EnvGuard Env{"KRX_REGISTRY_DIR", Dir.Path().string()};

  std::filesystem::path Hive(HKEY root = HKEY_CURRENT_USER) { return RegistryHiveFile(root); }
};

// Waits for a child process, killing it after the time-out; returns its exit code.
int WaitChild(pid_t pid, std::chrono::seconds timeout = std::chrono::seconds(60)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RegistryTest, ValuesPersistInTheRegFileFormat) {
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(u"\\Software\\Kestrune\\Kestrune\\11.0", true));
    reg.WriteString(u"InstallDir", u"C:\\Program Files\\Kestrune \"11\"");
    reg.WriteInteger(u"Count", 10);
    reg.WriteInteger(u"Minus", -1);
    reg.WriteBool(u"AutoRefresh", true);
    reg.WriteString(u"", u"default");
    reg.WriteString(u"Text", u"Größe ☃ 😀");
    reg.WriteString(u"Odd\\Name \"q\"", u"x"); // a value name may hold both
  }
  std::string text = ReadFileBytes(Hive());
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Kestrune\\Kestrune\\11.0]\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\"InstallDir\"=\"C:\\\\Program Files\\\\Kestrune \\\"11\\\"\"\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\"Count\"=dword:0000000a\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Minus\"=dword:ffffffff\r\n"), std::string::npos);
  EXPECT_NE(text.find("@=\"default\"\r\n"), std::string::npos);

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly(u"Software\\KESTRUNE\\kestrune\\11.0"));
  EXPECT_EQ(reg.ReadString(u"installdir"), u"C:\\Program Files\\Kestrune \"11\"");
  EXPECT_EQ(reg.ReadInteger(u"COUNT"), 10);
  EXPECT_EQ(reg.ReadInteger(u"Minus"), -1);
  EXPECT_TRUE(reg.ReadBool(u"AutoRefresh"));
  EXPECT_EQ(reg.ReadString(u""), u"default");
  EXPECT_EQ(reg.ReadString(u"Text"), u"Größe ☃ 😀");
  // Names keep the case they were created with.
  std::vector<String> names;
  reg.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<String>{u"InstallDir", u"Count", u"Minus", u"AutoRefresh", u"",
                                        u"Text", u"Odd\\Name \"q\""}));
}

TEST_F(RegistryTest, ReadsOfMissingOrMistypedValues) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(u"Software\\Test", true));
  reg.WriteInteger(u"Number", 5);
  reg.WriteString(u"Text", u"5");
  EXPECT_EQ(reg.ReadString(u"Missing"), u"");
  EXPECT_THROW(reg.ReadString(u"Number"), ERegistryException);
  EXPECT_THROW(reg.ReadInteger(u"Missing"), ERegistryException);
  EXPECT_THROW(reg.ReadInteger(u"Text"), ERegistryException);
  EXPECT_THROW(reg.ReadBool(u"Text"), ERegistryException);
  EXPECT_THROW(reg.ReadBool(u"Missing"), ERegistryException);
  reg.WriteInteger(u"Number", 7);
  EXPECT_TRUE(reg.ReadBool(u"Number"));
  reg.WriteBool(u"Number", false);
  EXPECT_FALSE(reg.ReadBool(u"Number"));
  // A value changes type when written with another type.
  reg.WriteString(u"Number", u"now text");
  EXPECT_EQ(reg.ReadString(u"Number"), u"now text");
  EXPECT_TRUE(reg.ValueExists(u"NUMBER"));
  EXPECT_TRUE(reg.DeleteValue(u"number"));
  EXPECT_FALSE(reg.DeleteValue(u"number"));
  EXPECT_FALSE(reg.ValueExists(u"Number"));
}

TEST_F(RegistryTest, OpeningKeysAbsoluteAndRelative) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(u"Software\\A\\B", false));
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_FALSE(reg.OpenKeyReadOnly(u"Software\\A"));
  ASSERT_TRUE(reg.OpenKey(u"\\Software\\A", true));
  EXPECT_EQ(reg.CurrentPath(), u"Software\\A");
  ASSERT_TRUE(reg.OpenKey(u"B\\C", true)); // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), u"Software\\A\\B\\C");
  EXPECT_TRUE(reg.KeyExists(u"\\Software\\A\\B"));
  EXPECT_FALSE(reg.KeyExists(u"B")); // relative to ...\B\C
  ASSERT_TRUE(reg.OpenKey(u"\\software\\a\\", false));
  EXPECT_EQ(reg.CurrentPath(), u"software\\a\\");
  EXPECT_TRUE(reg.KeyExists(u"B"));
  EXPECT_FALSE(reg.OpenKey(u"\\Software\\\\A", true)); // empty key name
  EXPECT_FALSE(reg.OpenKey(u"\\Software\\Bad\nName", true));
  String deep;
  for (int i = 0; i < 513; ++i)
    deep += u"\\k";
  EXPECT_FALSE(reg.OpenKey(deep, true)); // deeper than keys nest
  EXPECT_TRUE(reg.OpenKey(deep.substr(0, 2 * 512), true));
  reg.CloseKey();
  EXPECT_EQ(reg.CurrentPath(), u"");
  EXPECT_THROW(reg.WriteString(u"x", u"y"), ERegistryException); // no key open
  EXPECT_TRUE(reg.KeyExists(u"Software\\A\\B\\C"));

  // The two hives are separate.
  TRegistry machine;
  machine.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(machine.KeyExists(u"Software\\A"));
  ASSERT_TRUE(machine.OpenKey(u"Software\\M", true));
  machine.WriteString(u"v", u"m");
  EXPECT_TRUE(std::filesystem::exists(Hive(HKEY_LOCAL_MACHINE)));
  EXPECT_FALSE(reg.KeyExists(u"Software\\M"));
}

TEST_F(RegistryTest, ReadOnlyKeysRefuseWrites) {
  TRegistry writer;
  ASSERT_TRUE(writer.OpenKey(u"Software\\RO", true));
  writer.WriteString(u"v", u"1");

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly(u"Software\\RO"));
  EXPECT_EQ(reg.Access(), KEY_READ);
  EXPECT_THROW(reg.WriteString(u"v", u"2"), ERegistryException);
  EXPECT_FALSE(reg.DeleteValue(u"v"));
  EXPECT_FALSE(reg.OpenKey(u"Sub", true)); // cannot create below a read-only key
  EXPECT_EQ(reg.ReadString(u"v"), u"1");
  // Access stays read-only for later opens of the same object, as in the class library.
  ASSERT_TRUE(reg.OpenKey(u"\\Software\\RO", true));
  EXPECT_THROW(reg.WriteString(u"v", u"2"), ERegistryException);
}

TEST_F(RegistryTest, KeyNamesDeletionAndVanishedKeys) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(u"Software\\Tree", true));
  for (const Char *name : {u"beta", u"Alpha", u"gamma", u"ALPHA2"})
    reg.CreateKey(name);
  ASSERT_TRUE(reg.OpenKey(u"gamma\\deep\\deeper", true));
  reg.WriteString(u"x", u"y");
  ASSERT_TRUE(reg.OpenKey(u"\\Software\\Tree", false));
  std::vector<String> keys;
  reg.GetKeyNames(keys);
  EXPECT_EQ(keys, (std::vector<String>{u"Alpha", u"ALPHA2", u"beta", u"gamma"}));

  TRegistry other;
  ASSERT_TRUE(other.OpenKey(u"Software\\Tree\\gamma\\deep", false));
  EXPECT_TRUE(reg.DeleteKey(u"GAMMA")); // with everything below it
  EXPECT_FALSE(reg.DeleteKey(u"gamma"));
  EXPECT_FALSE(reg.DeleteKey(u""));
  EXPECT_FALSE(reg.KeyExists(u"\\Software\\Tree\\gamma\\deep\\deeper"));
  // A key deleted while another object has it open takes no more values.
  EXPECT_FALSE(other.ValueExists(u"x"));
  EXPECT_THROW(other.WriteString(u"x", u"y"), ERegistryException);
  EXPECT_FALSE(reg.KeyExists(u"\\Software\\Tree\\gamma"));
  TStringList list; // the class library's form
  list.Add(u"stale");
  reg.GetKeyNames(list);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[2], u"beta");
}

TEST_F(RegistryTest, UnusualDataSurvivesRewrites) {
  // A file as another tool may leave it: other value types, continuation lines, comments.
  WriteFileBytes(Hive(), "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n\n"
                         "; kept by hand\n"
                         "[HKEY_CURRENT_USER\\Software\\Odd]\n"
                         "\"Bin\"=hex:01,02,ff\n"
                         "\"Multi\"=hex(7):41,00,00,00,\\\n"
                         "  42,00,00,00,00,00\n"
                         "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\n"
                         "\"Empty\"=hex:\n");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(u"Software\\Odd", false));
  EXPECT_EQ(reg.ReadString(u"Expand"), u"%A%");
  EXPECT_EQ(reg.ReadString(u"Empty"), u"");
  EXPECT_THROW(reg.ReadString(u"Bin"), ERegistryException);
  reg.WriteString(u"Lines", u"one\r\ntwo\ttab");
  const String broken = String(u"lone ") + Char(0xD800) + u" surrogate";
  reg.WriteString(u"Broken", broken);

  TRegistry again;
  ASSERT_TRUE(again.OpenKey(u"Software\\Odd", false));
  EXPECT_EQ(again.ReadString(u"Lines"), u"one\r\ntwo\ttab");
  EXPECT_EQ(again.ReadString(u"Broken"), broken);
  auto root = reghive::LoadHive(HKEY_CURRENT_USER);
  reghive::TKey *key = root->Find({u"Software", u"Odd"});
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->FindValue(u"Bin")->Raw, (TBytes{1, 2, 0xFF}));
  EXPECT_EQ(key->FindValue(u"Multi")->Type, 7u);
  EXPECT_EQ(key->FindValue(u"Multi")->Raw, (TBytes{0x41, 0, 0, 0, 0x42, 0, 0, 0, 0, 0}));
  // The file stays parseable by the same rules, byte lists included.
  std::string text = ReadFileBytes(Hive());
  EXPECT_NE(text.find("\"Bin\"=hex:01,02,ff\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Lines\"=hex(1):"), std::string::npos);
}

TEST_F(RegistryTest, ReadsUtf16FilesAsTheEditorExportsThem) {
  std::string utf8 = "Windows Registry Editor Version 5.00\r\n\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Exported]\r\n"
                     "\"Name\"=\"Wert\"\r\n";
  TBytes bytes = EncodeUtf16LE(Utf8ToString(utf8));
  std::string file = "\xFF\xFE";
  file.append(bytes.begin(), bytes.end());
  WriteFileBytes(Hive(), file);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly(u"Software\\Exported"));
  EXPECT_EQ(reg.ReadString(u"Name"), u"Wert");
}

TEST_F(RegistryTest, DamagedFilesRaiseAndAreNotOverwritten) {
  const char *damaged[] = {
      "Not a registry file\n",
      "Windows Registry Editor Version 5.00\n\"orphan\"=\"value\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"unterminated\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:1,zz\n",
      "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"bad \\escape\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,\\\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=-\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"\xC3\x28\"\n",
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\\\\B]\n",
  };
  for (const char *content : damaged) {
    SCOPED_TRACE(content);
    WriteFileBytes(Hive(), content);
    TRegistry reg;
    try {
      reg.OpenKey(u"A", false);
      ADD_FAILURE() << "no exception";
    } catch (const ERegistryException &e) {
      EXPECT_NE(e.Message().find(u"is damaged"), String::npos);
      EXPECT_NE(e.Message().find(Utf8ToString(Hive().string())), String::npos);
    }
    EXPECT_THROW(reg.CreateKey(u"B"), ERegistryException);
    EXPECT_EQ(ReadFileBytes(Hive()), content);
  }
  std::string deep = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER";
  for (int i = 0; i < 600; ++i)
    deep += "\\k";
  WriteFileBytes(Hive(), deep + "]\n");
  EXPECT_THROW(TRegistry().KeyExists(u"k"), ERegistryException);
  WriteFileBytes(Hive(), damaged[2]);
  TRegistry reg;
  try {
    reg.KeyExists(u"A");
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryException &e) {
    EXPECT_NE(e.Message().find(u"line 3"), String::npos) << e.what();
  }
}

TEST_F(RegistryTest, TwoProcessesWritingKeepEachOthersKeys) {
  constexpr int kKeys = 40;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      int rc = 0;
      try {
        TRegistry reg;
        for (int i = 0; i < kKeys; ++i) {
          reg.OpenKey(Format(u"\\Software\\P%d\\K%d", {c, i}), true);
          reg.WriteInteger(u"i", i);
          reg.OpenKey(u"\\Software\\Shared", true);
          reg.WriteString(Format(u"P%dV%d", {c, i}), u"x");
        }
      } catch (...) {
        rc = 3;
      }
      ::_exit(rc);
    }
  }
  EXPECT_EQ(WaitChild(children[0]), 0);
  EXPECT_EQ(WaitChild(children[1]), 0);
  TRegistry reg;
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < kKeys; ++i) {
      ASSERT_TRUE(reg.OpenKeyReadOnly(Format(u"\\Software\\P%d\\K%d", {c, i})));
      EXPECT_EQ(reg.ReadInteger(u"i"), i);
    }
  ASSERT_TRUE(reg.OpenKeyReadOnly(u"\\Software\\Shared"));
  std::vector<String> names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.size(), 2u * kKeys);
}

TEST_F(RegistryTest, AWriterKilledMidWayLeavesAWholeFile) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      TRegistry reg;
      reg.OpenKey(u"Software\\Killed", true);
      for (int i = 0;; ++i)
        reg.WriteString(Format(u"V%d", {i}), String(200, u'x'));
    } catch (...) {
    }
    ::_exit(3);
  }
  // Kill it once it is busy writing (bounded wait: a loaded machine starts it late).
  for (int i = 0; i < 3000 && ReadFileBytes(Hive()).find("\"V5\"") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ::kill(child, SIGKILL);
  WaitChild(child);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(u"Software\\Killed", false));
  std::vector<String> names;
  reg.GetValueNames(names);
  ASSERT_FALSE(names.empty());
  // Every value written before the last one that made it is there.
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(names[i], Format(u"V%d", {static_cast<int>(i)}));
  reg.WriteString(u"After", u"ok"); // the lock died with the writer
  EXPECT_EQ(reg.ReadString(u"After"), u"ok");
}

TEST_F(RegistryTest, AWriteThatWouldMakeTheHiveUnreadableIsRefused) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(u"Software\\Big", true));
  reg.WriteString(u"Kept", u"value");
  const std::string before = ReadFileBytes(Hive());
  // Control characters are stored as UTF-16 bytes in hexadecimal: over 6 bytes of file for
  // each character, so this text passes the size a hive may have.
  const String huge(11u << 20, u'\x01');
  try {
    reg.WriteString(u"Huge", huge);
    FAIL() << "no exception";
  } catch (const ERegistryException &e) {
    EXPECT_NE(e.Message().find(u"larger than 64 MB"), String::npos);
  }
  EXPECT_EQ(ReadFileBytes(Hive()), before);
  EXPECT_EQ(reg.ReadString(u"Kept"), u"value");
}

TEST_F(RegistryTest, TemporaryFilesOfKilledWritersAreSweptUnderTheLock) {
  const std::filesystem::path dir = Hive().parent_path();
  std::filesystem::create_directories(dir);
  const std::string current = ReplaceTempPrefix(Hive().string());
  const std::string fresh = std::filesystem::path(current).filename().string() + "0123456789ab.tmp";
  const char *stale[] = {".HKEY_CURRENT_USER.reg.123456.tmp", ".HKEY_CURRENT_USER.reg.Ab12Cd",
                         fresh.c_str()};
  const char *others[] = {".HKEY_LOCAL_MACHINE.reg.1.tmp", "notes.txt"};
  for (const char *name : stale)
    WriteFileBytes(dir / name, "half a hive");
  for (const char *name : others)
    WriteFileBytes(dir / name, "x");
  TRegistry reg;
  reg.OpenKey(u"Software\\Swept", true);
  for (const char *name : stale)
    EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
  for (const char *name : others)
    EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
}

TEST_F(RegistryTest, APipeInPlaceOfTheHiveIsRefusedNotWaitedOn) {
  std::filesystem::create_directories(Hive().parent_path());
  test::MakeFifo(Hive());
  TRegistry reg;
  try {
    reg.OpenKeyReadOnly(u"Software");
    FAIL() << "no exception";
  } catch (const ERegistryException &e) {
    EXPECT_NE(e.Message().find(Utf8ToString(Hive().string()) + u"\": It is not a regular file"),
              String::npos);
  }
  EXPECT_THROW(reg.OpenKey(u"Software", true), ERegistryException);
}

TEST_F(RegistryTest, HiveFolderFollowsXdgWithoutOverride) {
  TempDir config;
  EnvGuard noOverride("KRX_REGISTRY_DIR", "");
  EnvGuard xdg("XDG_CONFIG_HOME", config.Path().string());
  EXPECT_EQ(RegistryHiveFile(HKEY_LOCAL_MACHINE),
            config.Path() / "krx" / "registry" / "HKEY_LOCAL_MACHINE.reg");
  EXPECT_THROW(RegistryHiveFile(0x80000000u), ERegistryException);
  TRegistry reg;
  reg.SetRootKey(0x80000000u); // a root that is not kept opens nothing
  EXPECT_FALSE(reg.OpenKey(u"Software", true));
}

} // namespace
} // namespace krx
