// The anchor of a final module: HInstance() returns the module that holds this byte. Linked
// as a static library into every program and plug-in, never into the shared platform library.
#include "Platform/Win/Kernel.h"

extern "C" __attribute__((visibility("hidden"))) const char krx_module_anchor = 0;
