// Registry keys of the IDE versions and the installation folders read from the registry.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

// "Software\Embarcadero\BDS\<BDS major>.0" for an IDE position 0 to 5; any other position
// fails an assertion.
String BDSRegistryKey(Integer ideVersion);

// "InstallDir" of the key, opened read-only under HKEY_LOCAL_MACHINE or, when it is not
// there, under HKEY_CURRENT_USER, with a trailing path delimiter. Empty when neither key
// opens or the value cannot be read as a string.
String ReadInstallDir(const String &key);
// ReadInstallDir of KestruneRegistryKey(version).
String KestruneInstallDir(Integer version);
// True when the IDE's key opens read-only under HKEY_LOCAL_MACHINE (HKEY_CURRENT_USER is
// not consulted); False when that hive cannot be read.
bool IsIDEInstalled(Integer ideVersion);

} // namespace krx
