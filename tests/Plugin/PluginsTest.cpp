// The three plug-ins of the tree, loaded into one IDE host one after another: each starts,
// keeps its settings under its own IDE's key, says in its version block which IDE it is for,
// and unloads without leaving anything behind for the next.
#include "testide/PluginHost.h"
#include <gtest/gtest.h>

#include "Platform/Registry/Registry.h"
#include "Platform/Version/Version.h"

#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

namespace krx::test {
namespace {

using testide::TPluginLoader;
using testide::TTestIDE;

struct TPlugin {
  std::string File;
  String SettingsKey; // below Software\Kestrune\Kestrune\11.0
  String IDEName;
};

std::vector<TPlugin> Plugins() {
  std::vector<String> keys = {u"BDS22Expert", u"BDS21Expert", u"BDS20Expert"};
  std::vector<String> names = {u"Delphi 11 Alexandria", u"Delphi 10.4 Sydney", u"Delphi 10.3 Rio"};
  std::vector<TPlugin> plugins;
  std::istringstream files(KRX_PLUGIN_FILES);
  std::string file;
  for (std::size_t i = 0; std::getline(files, file, ':'); ++i)
    plugins.push_back({file, keys.at(i), names.at(i)});
  return plugins;
}

void Pump(int milliseconds) { testide::PumpMessages(std::chrono::milliseconds(milliseconds)); }

String VersionString(const std::string &file, const Char *name) {
  const String path = Utf8ToString(file);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  std::vector<Byte> block(size);
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), handle, size, block.data()))
    return u"<no block>";
  void *value = nullptr;
  UINT length = 0;
  const String query = String(u"\\StringFileInfo\\040904E4\\") + name;
  if (!VerQueryValueW(block.data(), query.c_str(), &value, &length) || length == 0)
    return u"<none>";
  return String(static_cast<const Char *>(value), length - 1);
}

bool KeyExists(const String &key) {
  TRegistry reg(KEY_READ);
  return reg.KeyExists(u"Software\\Kestrune\\Kestrune\\11.0\\" + key);
}

TEST(Plugins, EachLoadsKeepsItsOwnIDEsSettingsAndUnloadsInTurn) {
  TRegistry().DeleteKey(u"Software\\Kestrune");
  TTestIDE IDE;
  const auto menu = IDE.NTA->MenuLines();
  const std::vector<TPlugin> plugins = Plugins();
  ASSERT_EQ(plugins.size(), 3u);
  for (int round = 0; round < 2; ++round) // and once more, in the same host
    for (const TPlugin &p : plugins) {
      SCOPED_TRACE(p.File);
      EXPECT_EQ(VersionString(p.File, u"Comments"), u"For " + p.IDEName);
      TPluginLoader loader(IDE);
      SplashScreenServices = &IDE;
      ASSERT_TRUE(loader.Load(p.File));
      SplashScreenServices = nullptr;
      EXPECT_EQ(IDE.NTA->Actions().size(), 13u);
      Pump(400); // the start-up timer reads the settings; the unload then saves them
      EXPECT_TRUE(loader.Unload()) << "the library is still loaded";
      EXPECT_TRUE(KeyExists(p.SettingsKey));
      EXPECT_EQ(IDE.RegistrationCount(), 0);
      EXPECT_TRUE(IDE.NTA->Actions().empty());
      EXPECT_EQ(IDE.NTA->MenuLines(), menu);
      if (round == 0 && &p == &plugins.front()) { // the older ones have not saved yet
        EXPECT_FALSE(KeyExists(u"BDS21Expert") || KeyExists(u"BDS20Expert"));
      }
    }
  EXPECT_EQ(IDE.Log.Find("wizard.remove").size(), 6u);
}

} // namespace
} // namespace krx::test
