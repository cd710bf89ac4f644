#include "World/Containr.h"

#include <utility>

namespace krx {

namespace {
[[noreturn]] void ContainerError(Integer code) {
  throw EContainerError(u"Container error: %s", {IntToStr(code)});
}
} // namespace

TKRXCollection::~TKRXCollection() {
  if (FOwnsObjects) {
    try {
      Clear();
    } catch (...) {
      // A destructor cannot raise; the items not yet freed are given up.
    }
  }
}

void TKRXCollection::CheckIndex(Integer index) const {
  if (index < 0 || index >= Count())
    throw EListError(SListIndexError, {index});
}

TObject *TKRXCollection::Items(Integer index) const {
  CheckIndex(index);
  return FItems[static_cast<std::size_t>(index)];
}

void TKRXCollection::SetCapacity(Integer capacity) {
  if (capacity < Count())
    throw EListError(SListCapacityError, {capacity});
  FItems.reserve(static_cast<std::size_t>(capacity));
}

Integer TKRXCollection::Add(TObject *item) { return AddItem(item, true); }

Integer TKRXCollection::AddItem(TObject *item, bool mayFree) {
  Integer index = Count();
  if (FDuplicates != cdAccept) {
    Integer found;
    if (FindItem(item, found)) {
      switch (FDuplicates) {
      case cdIgnore:
        return -1;
      case cdFreeError:
        if (mayFree)
          FreeItem(item);
        ContainerError(0);
      default:
        ContainerError(0);
      }
    }
    if (FSortActive)
      index = found;
  } else if (FSortActive) {
    FindItem(item, index);
  }
  FItems.insert(FItems.begin() + index, item);
  return index;
}

void TKRXCollection::Delete(Integer index) {
  CheckIndex(index);
  TObject *item = FItems[static_cast<std::size_t>(index)];
  FItems.erase(FItems.begin() + index);
  if (FOwnsObjects)
    FreeItem(item);
}

void TKRXCollection::Clear() {
  if (!FOwnsObjects) {
    FItems.clear();
    return;
  }
  Integer i = Count() - 1;
  while (i >= 0) {
    Delete(i);
    i = std::min(i, Count()) - 1;
  }
}

void TKRXCollection::Exchange(Integer index1, Integer index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(FItems[static_cast<std::size_t>(index1)], FItems[static_cast<std::size_t>(index2)]);
}

bool TKRXCollection::FindItem(TObject *item, Integer &index) { return Find(KeyOf(item), index); }

bool TKRXCollection::Find(TKey key, Integer &index) {
  bool result = false;
  if (FSortActive) {
    Integer low = 0, high = Count() - 1;
    while (low <= high) {
      const Integer mid = (low + high) >> 1;
      const Integer c = Compare(KeyOf(FItems[static_cast<std::size_t>(mid)]), key);
      if (c < 0) {
        low = mid + 1;
      } else {
        high = mid - 1;
        if (c == 0) {
          result = true;
          if (FDuplicates != cdAccept)
            low = mid;
        }
      }
    }
    index = low;
    return result;
  }
  for (Integer i = 0; i < Count(); ++i) {
    if (Compare(KeyOf(FItems[static_cast<std::size_t>(i)]), key) == 0) {
      index = i;
      return true;
    }
  }
  index = Count();
  return false;
}

void TKRXCollection::SetSorted(bool value) {
  FSorted = value;
  if (!value)
    FSortActive = false;
}

void TKRXCollection::SetSortActive(bool value) {
  const bool effective = value && FSorted;
  if (effective != FSortActive && effective)
    EnsureSorted();
  FSortActive = effective;
}

void TKRXCollection::EnsureSorted() {
  if (!FSortActive)
    Sort();
}

void TKRXCollection::Sort() {
  if (Count() > 1 && FSorted)
    QuickSort(0, Count() - 1);
}

void TKRXCollection::QuickSort(Integer low, Integer high) {
  // Recurses into the smaller part and loops over the larger, so the depth stays
  // logarithmic; the scans are bounded so that an inconsistent Compare cannot run off.
  while (low < high) {
    Integer i = low, j = high, p = (low + high) >> 1;
    do {
      while (i < high && Compare(KeyOf(FItems[i]), KeyOf(FItems[p])) < 0)
        ++i;
      while (j > low && Compare(KeyOf(FItems[j]), KeyOf(FItems[p])) > 0)
        --j;
      if (i <= j) {
        if (i != j)
          Exchange(i, j);
        if (p == i)
          p = j;
        else if (p == j)
          p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - low < high - i) {
      if (low < j)
        QuickSort(low, j);
      low = i;
    } else {
      if (i < high)
        QuickSort(i, high);
      high = j;
    }
  }
}

Integer TKRXCollection::Compare(TKey key1, TKey key2) { return key1 == key2 ? 0 : -1; }

void TKRXCollection::FreeItem(TObject *item) { delete item; }

TKRXCollection::TKey TKRXCollection::KeyOf(TObject *item) { return item; }

void TKRXCollection::Assign(const TPersistent *source) {
  const auto *src = dynamic_cast<const TKRXCollection *>(source);
  if (!src) {
    TPersistent::Assign(source);
    return;
  }
  if (src == this)
    return;
  // Both owning the same objects would free each of them twice.
  KR_ASSERT(!(FOwnsObjects && src->FOwnsObjects));
  Clear();
  if ((FDuplicates != cdAccept && src->FDuplicates == cdAccept) || FSortActive) {
    SetCapacity(src->Capacity());
    // The objects still belong to the source: a refused duplicate is never freed here.
    for (TObject *item : src->FItems)
      AddItem(item, false);
  } else {
    FItems.reserve(src->FItems.capacity());
    FItems = src->FItems;
  }
}

} // namespace krx
