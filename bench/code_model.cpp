// The code model under load: building, walking, shifting and freeing models of up to 200,000
// items (the cost must grow linearly with the items), and finding the item at a position in a
// module of 10,000 lines.
#include "Engine/CodeItems.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

using namespace krx;

// Classes of 20 members each (methods, fields, properties), one line per member, with a
// standalone routine between the classes; items counts every item made.
std::unique_ptr<TModuleItem> BuildModule(int items, int &lines) {
  auto module = std::make_unique<TModuleItem>();
  TModuleSectionItem *intf = module->AddSection(msInterface);
  int line = 2;
  int made = 2;
  while (made < items) {
    auto *cls = new TClassItem(intf);
    cls->SetName(u"TClass" + IntToStr(made));
    cls->SetLineNr(line++);
    cls->SetItemStartPos(3);
    cls->SetHeaderEndLineValue(cls->LineNr());
    cls->SetHeaderEndPos(30);
    ++made;
    for (int m = 0; m < 20 && made < items; ++m, ++made) {
      TMemberItem *member;
      if (m % 3 == 0) {
        auto *method = new TMethodItem(cls);
        method->SetParameters(u"const A: Integer");
        member = method;
      } else if (m % 3 == 1) {
        member = new TFieldItem(cls);
      } else {
        member = new TPropertyItem(cls);
      }
      member->SetName(u"Member" + IntToStr(m));
      member->SetDataName(u"Integer");
      member->SetLineNr(line);
      member->SetItemStartPos(5);
      member->SetEnd(line++, 40);
    }
    cls->SetEndLineValue(line++);
    cls->SetEndPos(8);
    if (made < items) {
      auto *proc = new TProcData(intf);
      proc->SetName(u"Proc" + IntToStr(made));
      proc->SetLineNr(line);
      proc->SetItemStartPos(1);
      proc->SetEnd(line, 20);
      proc->SetBeginLineValue(line + 1);
      proc->SetBodyEndLineValue(line + 3);
      line += 4;
      ++made;
    }
  }
  intf->SetLineNr(1);
  intf->SetEndLineValue(line);
  module->SetEndLineValue(line);
  lines = line;
  return module;
}

std::size_t Walk(const TCodeItem &item) {
  std::size_t count = 1;
  for (Integer i = 0; i < item.ChildCount(); ++i)
    count += Walk(*item.GetChild(i));
  return count;
}

void BM_BuildWalkShiftFree(benchmark::State &state) {
  const int items = static_cast<int>(state.range(0));
  for (auto _ : state) {
    int lines = 0;
    std::unique_ptr<TModuleItem> module = BuildModule(items, lines);
    benchmark::DoNotOptimize(Walk(*module));
    module->LinesInserted(module.get(), lines / 2, 3);
    module->LinesDeleted(module.get(), lines / 2, 3);
    module.reset();
  }
  state.SetItemsProcessed(state.iterations() * items);
  state.SetComplexityN(items);
}
BENCHMARK(BM_BuildWalkShiftFree)
    ->RangeMultiplier(2)
    ->Range(25000, 200000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// About 10,000 lines: ItemAtPos and ItemAtLine at random positions.
void BM_ItemAtPos(benchmark::State &state) {
  int lines = 0;
  std::unique_ptr<TModuleItem> module = BuildModule(8500, lines);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> lineOf(0, lines), columnOf(1, 60);
  for (auto _ : state)
    benchmark::DoNotOptimize(module->ItemAtPos(lineOf(random), columnOf(random)));
  state.counters["lines"] = lines;
}
BENCHMARK(BM_ItemAtPos);

void BM_ItemAtLine(benchmark::State &state) {
  int lines = 0;
  std::unique_ptr<TModuleItem> module = BuildModule(8500, lines);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> lineOf(0, lines);
  for (auto _ : state)
    benchmark::DoNotOptimize(module->ItemAtLine(lineOf(random)));
  state.counters["lines"] = lines;
}
BENCHMARK(BM_ItemAtLine);

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  krx::CodeItemsInitialization();
  benchmark::RunSpecifiedBenchmarks();
  krx::CodeItemsFinalization();
  benchmark::Shutdown();
  return 0;
}
