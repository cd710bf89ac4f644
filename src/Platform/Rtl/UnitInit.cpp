#include "Platform/Rtl/UnitInit.h"

#include "Platform/Rtl/ScopeExit.h"

#include <algorithm>
#include <vector>

namespace krx {
namespace {

struct TUnitGroup {
  const TUnitEntry *List; // identifies the group by the list it runs
  std::vector<TUnitEntry> Done;
};

std::vector<TUnitGroup> &Groups() {
  static std::vector<TUnitGroup> groups; // built on first use, never by a static constructor
  return groups;
}

void FinalizeGroup(TUnitGroup &group) {
  while (!group.Done.empty()) {
    TUnitEntry u = group.Done.back();
    group.Done.pop_back();
    try {
      if (u.Finalization)
        u.Finalization();
    } catch (...) {
      // Unloading goes on: one unit's failure must not leak the others' state.
    }
  }
}

std::vector<TUnitGroup>::iterator FindGroup(std::span<const TUnitEntry> units) {
  auto &groups = Groups();
  return std::find_if(groups.begin(), groups.end(),
                      [&](const TUnitGroup &g) { return g.List == units.data(); });
}

} // namespace

void InitializeUnits(std::span<const TUnitEntry> units) {
  auto &groups = Groups();
  if (FindGroup(units) != groups.end())
    return;
  groups.push_back({units.data(), {}});
  TScopeFail undo{[units] { FinalizeUnits(units); }};
  for (const TUnitEntry &u : units) {
    if (u.Initialization)
      u.Initialization();
    groups.back().Done.push_back(u);
  }
}

void FinalizeUnits(std::span<const TUnitEntry> units) {
  auto &groups = Groups();
  auto it = FindGroup(units);
  if (it == groups.end())
    return;
  TUnitGroup group = std::move(*it);
  groups.erase(it);
  FinalizeGroup(group);
}

void FinalizeUnits() {
  auto &groups = Groups();
  while (!groups.empty()) {
    TUnitGroup group = std::move(groups.back());
    groups.pop_back();
    FinalizeGroup(group);
  }
}

bool UnitsInitialized() { return !Groups().empty(); }

bool UnitsInitialized(std::span<const TUnitEntry> units) { return FindGroup(units) != Groups().end(); }

} // namespace krx
