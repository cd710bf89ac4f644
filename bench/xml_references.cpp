// Cost of decoding character references in hostile XML text: "&#1" repeated before a single
// ';' far away. The work per reference must not depend on the distance to the next ';'.
#include "XML/XMLFilers.h"

#include <benchmark/benchmark.h>

namespace {

void BM_DecodeUnterminatedReferences(benchmark::State &state) {
  krx::String text;
  while (text.size() < static_cast<std::size_t>(state.range(0)))
    text += u"&#1";
  text += u';';
  for (auto _ : state)
    benchmark::DoNotOptimize(krx::DecodeEntities(text));
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DecodeUnterminatedReferences)->Arg(1 << 20)->Arg(3 << 20)->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace

BENCHMARK_MAIN();
