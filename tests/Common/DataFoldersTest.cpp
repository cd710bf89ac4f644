#include "Common/DataFolders.h"
#include "Common/RegUtils.h"

#include "Platform/Registry/Registry.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Shell/ShellApi.h"
#include "support/KrxTest.h"

#include <gmock/gmock.h>

#include <filesystem>

namespace krx {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Re-roots the special folders and both registry hives below a fresh directory.
class DataFoldersTest : public ::testing::Test {
protected:
  DataFoldersTest()
      : FShell("KRX_SHELL_ROOT", (Root / "shell").string()),
        FRegistry("KRX_REGISTRY_DIR", (Root / "registry").string()) {}

  String Shell(const std::string &relative) const {
    return Utf8ToString((Root / "shell" / relative).string());
  }
  static void WriteValue(HKEY root, const String &key, const String &name, const String &value) {
    TRegistry reg;
    reg.SetRootKey(root);
    ASSERT_TRUE(reg.OpenKey(key, true));
    reg.WriteString(name, value);
  }
  static void CreateKey(HKEY root, const String &key) {
    TRegistry reg;
    reg.SetRootKey(root);
    ASSERT_TRUE(reg.OpenKey(key, true));
  }

  test::TempDir Root;

private:
  test::EnvGuard FShell;
  test::EnvGuard FRegistry;
};

TEST_F(DataFoldersTest, SpecialFoldersComeFromTheShell) {
  EXPECT_EQ(AppDataPath(), Shell("AppData/Roaming"));
  EXPECT_EQ(LocalAppDataPath(), Shell("AppData/Local"));
  EXPECT_EQ(ProgramFilesPath(), Shell("Program Files"));
  String path = u"stale";
  EXPECT_LT(GetSpecialFolder(12345, path), 0);
  EXPECT_EQ(path, u"");
}

TEST_F(DataFoldersTest, PathHelpers) {
  EXPECT_EQ(AddTrailingBackslash(u""), u"");
  EXPECT_EQ(AddTrailingBackslash(u"/a"), u"/a/");
  EXPECT_EQ(AddTrailingBackslash(u"/a/"), u"/a/");
  const String dir = Root.Str("d");
  fs::create_directory(Root / "d");
  test::WriteFileBytes(Root / "f", "x");
  EXPECT_TRUE(IsDirectory(dir));
  EXPECT_FALSE(IsDirectory(Root.Str("f")));
  EXPECT_FALSE(IsDirectory(Root.Str("missing")));
  EXPECT_TRUE(FileExistsQuiet(Root.Str("f")));
  EXPECT_FALSE(FileExistsQuiet(dir));
  EXPECT_FALSE(FileExistsQuiet(Root.Str("missing")));
}

TEST_F(DataFoldersTest, FolderNamesSwitchAt13) {
  EXPECT_EQ(MakerFolderName(12), u"KestruneTools");
  EXPECT_EQ(MakerFolderName(13), u"Drummel Software");
  EXPECT_EQ(ProductFolderName(12), u"Trail Scope");
  EXPECT_EQ(ProductFolderName(13), u"KRX Trail Scope");
}

TEST_F(DataFoldersTest, DataFoldersAreBuiltAndCreated) {
  const String local = LocalAppDataFolder(11);
  EXPECT_EQ(local, Shell("AppData/Local/KestruneTools/Kestrune/11.0/"));
  EXPECT_TRUE(IsDirectory(local));
  const String trail = TrailScopeAppDataFolder(14);
  EXPECT_EQ(trail, Shell("AppData/Roaming/Drummel Software/KRX Trail Scope/14.0/"));
  EXPECT_TRUE(IsDirectory(trail));
  EXPECT_EQ(ForceAppDataFolder(u"Other", 9), Shell("AppData/Roaming/KestruneTools/Other/9.0/"));
}

TEST_F(DataFoldersTest, ARootDeeperThanTheOldPathLimitHoldsTheFolders) {
  const std::string deep = "shell/" + std::string(100, 'a') + "/" + std::string(100, 'b') + "/" +
                           std::string(100, 'c');
  test::EnvGuard root("KRX_SHELL_ROOT", (Root / deep).string());
  const String local = LocalAppDataFolder(11);
  EXPECT_EQ(local, Utf8ToString((Root / deep / "AppData/Local/KestruneTools/Kestrune/11.0/").string()));
  EXPECT_TRUE(IsDirectory(local));
  EXPECT_EQ(SharedDataFolder(12),
            Utf8ToString((Root / deep / "AppData/Roaming/KestruneTools/Shared/").string()));
}

TEST_F(DataFoldersTest, AFolderIsLookedAtOncePerProcess) {
  const String path = ForceLocalAppDataFolder(u"Once", 11);
  ASSERT_TRUE(IsDirectory(path));
  fs::remove(fs::path(StringToUtf8(path)));
  // Listed already: returned as it is, without touching the disk again.
  EXPECT_EQ(ForceLocalAppDataFolder(u"Once", 11), path);
  EXPECT_FALSE(IsDirectory(path));
}

TEST_F(DataFoldersTest, AFolderThatCannotBeCreatedIsReportedOnce) {
  TScriptedMessages boxes;
  // A file where the maker's folder should be makes every folder below it impossible.
  fs::create_directories(Root / "shell/AppData/Roaming");
  test::WriteFileBytes(Root / "shell/AppData/Roaming/Drummel Software", "in the way");
  const String expected = Shell("AppData/Roaming/Drummel Software/Blocked/13.0/");
  EXPECT_EQ(ForceAppDataFolder(u"Blocked", 13), expected);
  EXPECT_EQ(ForceAppDataFolder(u"Blocked", 13), expected);
  auto shown = boxes.Requests();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Kind, TMessageKind::MessageBox);
  EXPECT_EQ(shown[0].Text, u"Unable to create App Data Directory:\r\n" + expected);
  EXPECT_EQ(shown[0].Flags & MB_ICONMASK, MB_ICONERROR);
  EXPECT_EQ(shown[0].Flags & MB_TYPEMASK, MB_OK);
  fs::create_directories(Root / "shell/AppData/Local");
  test::WriteFileBytes(Root / "shell/AppData/Local/Drummel Software", "in the way");
  ForceLocalAppDataFolder(u"Blocked", 13);
  shown = boxes.Requests();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].Text, u"Unable to create Local App Data Directory:\r\n" +
                               Shell("AppData/Local/Drummel Software/Blocked/13.0/"));
}

TEST_F(DataFoldersTest, SharedFolderFromVersion15IsTheTrailScopeFolder) {
  WriteValue(HKEY_CURRENT_USER, u"Software\\Drummel Software\\KRX\\15.0", u"RootDir",
             Root.Str("ignored"));
  const String expected = Shell("AppData/Roaming/Drummel Software/KRX Trail Scope/15.0/");
  EXPECT_EQ(SharedDataFolder(15), expected);
  EXPECT_EQ(SharedDataFolder(20), expected);
  EXPECT_TRUE(IsDirectory(expected));
}

TEST_F(DataFoldersTest, SharedFolderBeforeVersion15ComesFromTheRegistry) {
  WriteValue(HKEY_CURRENT_USER, u"Software\\Kestrune\\Shared", u"RootDir",
             u"  " + Root.Str("shared") + u"  ");
  EXPECT_EQ(SharedDataFolder(12), Root.Str("shared") + u"/");
  EXPECT_EQ(ReadSharedRootDir(HKEY_CURRENT_USER, 12), u"  " + Root.Str("shared") + u"  ");
  EXPECT_EQ(ReadSharedRootDir(HKEY_LOCAL_MACHINE, 12), u"");
  // Not created on this road.
  EXPECT_FALSE(IsDirectory(Root.Str("shared")));
  // No value: the default below the application data folder.
  EXPECT_EQ(SharedDataFolder(14), Shell("AppData/Roaming/Drummel Software/KRX Trail Scope/"));
}

TEST_F(DataFoldersTest, SharedFolderIsNeverBelowProgramFiles) {
  WriteValue(HKEY_CURRENT_USER, u"Software\\Kestrune\\Shared", u"RootDir",
             Shell("program files/Kestrune/Shared"));
  EXPECT_EQ(SharedDataFolder(12), Shell("AppData/Roaming/KestruneTools/Shared/"));
  // A sibling whose name extends the Program Files name shares the prefix: ignored too.
  WriteValue(HKEY_CURRENT_USER, u"Software\\Drummel Software\\Shared", u"RootDir",
             Shell("Program Files (x86)/Shared"));
  EXPECT_EQ(SharedDataFolder(13), Shell("AppData/Roaming/Drummel Software/KRX Trail Scope/"));
}

TEST_F(DataFoldersTest, SharedRootOfTheWrongTypeReadsEmpty) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(u"Software\\Kestrune\\Shared", true));
  reg.WriteInteger(u"RootDir", 7);
  EXPECT_EQ(ReadSharedRootDir(HKEY_CURRENT_USER, 12), u"");
  EXPECT_EQ(SharedDataFolder(12), Shell("AppData/Roaming/KestruneTools/Shared/"));
}

// ---- Installation lookups -----------------------------------------------------------------

TEST_F(DataFoldersTest, InstallDirPrefersTheMachineKey) {
  const String key = u"Software\\Kestrune\\Kestrune\\11.0";
  EXPECT_EQ(KestruneInstallDir(11), u"");
  WriteValue(HKEY_CURRENT_USER, key, u"InstallDir", u"/home/u/kestrune");
  EXPECT_EQ(KestruneInstallDir(11), u"/home/u/kestrune/");
  WriteValue(HKEY_LOCAL_MACHINE, key, u"InstallDir", u"/opt/kestrune/");
  EXPECT_EQ(KestruneInstallDir(11), u"/opt/kestrune/");
  EXPECT_EQ(ReadInstallDir(key), u"/opt/kestrune/");
}

TEST_F(DataFoldersTest, MachineKeyWithoutInstallDirGivesALoneDelimiter) {
  const String key = u"Software\\Kestrune\\Kestrune\\11.0";
  CreateKey(HKEY_LOCAL_MACHINE, key);
  WriteValue(HKEY_CURRENT_USER, key, u"InstallDir", u"/home/u/kestrune");
  EXPECT_EQ(KestruneInstallDir(11), u"/");
}

TEST_F(DataFoldersTest, InstallDirOfTheWrongTypeReadsEmpty) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(u"Software\\Kestrune\\Kestrune\\11.0", true));
  reg.WriteInteger(u"InstallDir", 1);
  EXPECT_EQ(KestruneInstallDir(11), u"");
}

TEST_F(DataFoldersTest, AnIDEIsInstalledOnlyUnderTheMachineHive) {
  EXPECT_EQ(BDSRegistryKey(5), u"Software\\Embarcadero\\BDS\\22.0");
  EXPECT_EQ(BDSRegistryKey(0), u"Software\\Embarcadero\\BDS\\17.0");
  EXPECT_THROW(BDSRegistryKey(6), EAssertionFailed);
  CreateKey(HKEY_CURRENT_USER, u"Software\\Embarcadero\\BDS\\22.0");
  EXPECT_FALSE(IsIDEInstalled(5));
  CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Embarcadero\\BDS\\22.0");
  EXPECT_TRUE(IsIDEInstalled(5));
  EXPECT_FALSE(IsIDEInstalled(4));
}

TEST_F(DataFoldersTest, ADamagedMachineHiveHoldsNoIDEAndNoInstallation) {
  CreateKey(HKEY_CURRENT_USER, u"Software\\Kestrune\\Kestrune\\11.0");
  const fs::path hive = RegistryHiveFile(HKEY_LOCAL_MACHINE);
  fs::create_directories(hive.parent_path());
  test::WriteFileBytes(hive, "this is no hive\n[\n");
  EXPECT_FALSE(IsIDEInstalled(5));
  EXPECT_EQ(KestruneInstallDir(11), u"");
  // Left as it was for whoever repairs it.
  EXPECT_EQ(test::ReadFileBytes(hive), "this is no hive\n[\n");
}

} // namespace
} // namespace krx
