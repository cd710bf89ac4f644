#include "Common/BDSHelp.h"

#include "Common/RegUtils.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Shell/ShellApi.h"
#include "Platform/Win/Windows.h"

namespace krx {

String DocumentExplorerPath() {
  String path;
  try {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (reg.OpenKeyReadOnly(
            u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\dexplore.exe"))
      path = reg.ReadString(u"");
  } catch (const ERegistryException &) {
    path.clear();
  }
  return path;
}

String HelpNamespace(Integer ideVersion) {
  static constexpr StringView kBuiltIn[] = {u"embarcadero.rs_xe9", u"embarcadero.rs_xe10",
                                            u"embarcadero.rs_xe11", u"embarcadero.rs_xe12"};
  String ns;
  try {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CURRENT_USER);
    if (reg.OpenKeyReadOnly(BDSRegistryKey(ideVersion) + u"\\Help") &&
        reg.ValueExists(u"HtmlHelp2NameSpace"))
      ns = reg.ReadString(u"HtmlHelp2NameSpace");
    else if (ideVersion >= 0 && ideVersion < 4)
      ns = String(kBuiltIn[ideVersion]);
    else
      ns = u"borland.bds";
  } catch (const ERegistryException &) {
    ns.clear();
  }
  return ns;
}

bool ShowBDSHelp(Integer ideVersion) {
  try {
    if (!IsIDEInstalled(ideVersion))
      return false;
  } catch (const ERegistryException &) {
    return false;
  }
  const String path = DocumentExplorerPath();
  const String ns = HelpNamespace(ideVersion);
  if (path.empty() || ns.empty())
    return false;
  const String parameters = u"/helpcol ms-help://" + ns;
  const HINSTANCE result =
      ShellExecuteW(0, nullptr, path.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
  return result > 32;
}

} // namespace krx
