// The IDE's two globals; the IDE sets them, the plug-in reads them.
#include "Platform/ToolsAPI/ToolsAPI.h"

namespace krx {

constinit IBorlandIDEServices *BorlandIDEServices = nullptr;
constinit IOTASplashScreenServices *SplashScreenServices = nullptr;

} // namespace krx
