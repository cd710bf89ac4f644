// Fuzzes the Delphi explorer: UTF-8 text to a code model. Every parse must end normally with
// a model and messages; any exception that leaves ExploreText is a finding. Conditions are
// evaluated, so the preprocessor's paths are taken too; include names resolve against the
// working folder only (the module has no file name).
#include "Engine/DelphiExplorers.h"
#include "Units.h"

#include <cstddef>
#include <cstdlib>
#include <cstdint>

using namespace krx;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InitializeUnits(AllUnits());
  // Finalise before the static objects of the shared platform library are destroyed.
  std::atexit([] { FinalizeUnits(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const String text = Utf8ToString(std::string_view(reinterpret_cast<const char *>(data), size));
  std::unique_ptr<TModuleExplorer> explorer = ModuleExplorerRegistry().CreateExplorer(lanPascal);
  explorer->ExploreText(text);
  // The model answers position queries over the whole range it claims.
  TModuleItem &module = *explorer->ModuleItem();
  for (Integer line = 0; line <= module.GetLastLine() && line < 64; ++line)
    module.ItemAtPos(line, 1);
  explorer->ExploreText(text, true);
  return 0;
}
