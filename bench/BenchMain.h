// The run of a benchmark program: the units started around Google Benchmark's own run.
#pragma once

#include "Units.h"

#include <benchmark/benchmark.h>

namespace krx {

inline int RunBenchmarks(int argc, char **argv) {
  InitializeUnits(AllUnits());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FinalizeUnits();
  return 0;
}

} // namespace krx
