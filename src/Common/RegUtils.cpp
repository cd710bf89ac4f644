#include "Common/RegUtils.h"

#include "Common/KREngineDefs.h"
#include "Common/KRX.DelphiVersions.h"
#include "Platform/Registry/Registry.h"
#include "Platform/Rtl/Files.h"
#include "Platform/Rtl/SysUtils.h"

namespace krx {

String BDSRegistryKey(Integer ideVersion) {
  KR_ASSERT(ideVersion >= 0 && ideVersion < DelphiVersionCount);
  return Format(u"Software\\Embarcadero\\BDS\\%d.0", {DelphiVersionToBDSVersion(ideVersion)});
}

String ReadInstallDir(const String &key) {
  try {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    bool opened = reg.OpenKeyReadOnly(key);
    if (!opened) {
      reg.SetRootKey(HKEY_CURRENT_USER);
      opened = reg.OpenKeyReadOnly(key);
    }
    if (!opened)
      return String();
    return IncludeTrailingPathDelimiter(reg.ReadString(u"InstallDir"));
  } catch (const ERegistryException &) {
    return String();
  }
}

String KestruneInstallDir(Integer version) { return ReadInstallDir(KestruneRegistryKey(version)); }

bool IsIDEInstalled(Integer ideVersion) {
  const String key = BDSRegistryKey(ideVersion);
  try {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    return reg.OpenKeyReadOnly(key);
  } catch (const ERegistryException &) {
    // A hive that cannot be read holds no installed IDE.
    return false;
  }
}

} // namespace krx
