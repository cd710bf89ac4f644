// Help of an installed IDE version, shown in Document Explorer with the IDE's help
// collection.
#pragma once

#include "Platform/Rtl/Types.h"

namespace krx {

// The default value of HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion\App
// Paths\dexplore.exe"; empty when it is missing or the registry cannot be read.
String DocumentExplorerPath();
// "HtmlHelp2NameSpace" under the IDE's "Help" key of the current user when it exists, else
// the built-in namespace of the IDE position; empty when the registry cannot be read.
String HelpNamespace(Integer ideVersion);
// Starts Document Explorer on the IDE's help collection; False when the IDE is not installed,
// Document Explorer or the namespace is unknown, or the shell reports a failure.
bool ShowBDSHelp(Integer ideVersion);

} // namespace krx
