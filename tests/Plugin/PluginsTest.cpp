// The three plug-ins of the tree, loaded into one IDE host one after another: each starts,
// keeps its settings under its own IDE's key, says in its version block which IDE it is for,
// works with its own revision of the units, and unloads without leaving anything behind for
// the next.
#include "testide/PluginHost.h"
#include <gtest/gtest.h>

#include "Platform/Registry/Registry.h"
#include "Platform/Shell/Dialogs.h"
#include "Platform/Version/Version.h"

#include <chrono>
#include <filesystem>
#include <fstream>
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

// A unit declaring its class in both branches of a conditional: the preprocessor of the current
// revision reads the second declaration (line 11), the older revision's tokenizer reads both and
// finds the first (line 7).
const char *const kConditionalUnit = "unit Cond;\n\ninterface\n\ntype\n{$IFDEF NEVER_DEFINED}\n"
                                     "  TShape = class\n  end;\n{$ELSE}\n\n  TShape = class\n"
                                     "  end;\n{$ENDIF}\n\nimplementation\n\nend.\n";

// Kestrune's request to jump to a class, as its endpoint sends it; returns once the cursor has
// left the first line.
void RequestClassJump(TTestIDE &IDE, const String &file, const String &className) {
  TStringList args;
  for (const String &a : {file, String(u"class"), className, String(), String()})
    args.Add(a);
  const HWND ide = FindWindowW(u"TPUtilWindow", u"_KR_BDS19_ENDPOINT");
  ASSERT_NE(ide, nullptr);
  const String call = u"@01028:" + args.CommaText();
  SendMessageW(ide, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(call.c_str()));
  testide::PumpMessages(std::chrono::seconds(10), // the call runs from the endpoint's queue
                        [&] { return IDE.TopView()->CursorPos().Line > 1; });
}

TEST(Plugins, EachWorksWithItsOwnRevisionOfTheUnits) {
  std::string pattern = (std::filesystem::temp_directory_path() / "krx-plugins-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path dir = pattern;
  std::ofstream(dir / "Cond.pas", std::ios::binary) << kConditionalUnit;
  const String unit = Utf8ToString((dir / "Cond.pas").string());
  TTestIDE IDE;
  // The line the jump lands on, and where the key-bindings frame's own PNG list (older
  // revision only) finds its "Warnings" image by name: -1 in the Delphi 10.3 build, whose
  // lists leave image names to the class library; -2 without such a list.
  const std::pair<Integer, Integer> expected[] = {{11, -2}, {7, 0}, {7, -1}};
  const std::vector<TPlugin> plugins = Plugins();
  ASSERT_EQ(plugins.size(), std::size(expected));
  for (std::size_t i = 0; i < plugins.size(); ++i) {
    SCOPED_TRACE(plugins[i].File);
    TPluginLoader loader(IDE);
    ASSERT_TRUE(loader.Load(plugins[i].File));
    ASSERT_TRUE(IDE.Open(unit));
    RequestClassJump(IDE, unit, u"TShape");
    Integer warnings = -2;
    {
      TScriptedModal options({[&](TCustomForm &form) {
        if (auto *list = dynamic_cast<TCustomImageList *>(FindNamedComponent(&form, u"ImageList1")))
          warnings = list->GetIndexByName(u"Warnings");
        PressKey(form, VK_ESCAPE);
      }});
      IDE.NTA->FindByCaptionPath(u"Kestrune/Integration Options...")->Click();
      EXPECT_EQ(options.Remaining(), 0u);
    }
    EXPECT_EQ(std::pair(IDE.TopView()->CursorPos().Line, warnings), expected[i]);
    IDE.Close(unit);
    EXPECT_TRUE(loader.Unload());
  }
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace krx::test
